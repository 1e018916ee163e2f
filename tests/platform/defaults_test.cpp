#include "platform/defaults.h"
#include "platform/statefile.h"
#include "support/qtprinters.h"
#include "support/specialfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QChar nul(u'\0');

// Keys as the application builds them: fixed names, device paths, SHA-256 hex,
// and characters that settings files treat specially.
QStringList awkwardKeys()
{
    return {
        u"appLanguage"_s,
        u"deviceDescription-/media/root/IPOD"_s,
        u"appearance-/run/media/ja/Mój iPod"_s,
        u"theme-preview-9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"_s,
        u"back\\slash"_s,
        u"100%"_s,
        u"a=b;c#d"_s,
        u"[group]"_s,
        u"with space "_s,
        u"nul"_s + nul + u"inside"_s,
    };
}

class DefaultsTest : public ::testing::Test
{
protected:
    void SetUp() override { Defaults::clear(); }
    void TearDown() override { Defaults::clear(); }
};

} // namespace

TEST_F(DefaultsTest, StringsRoundTripAndPersistAcrossReload)
{
    const QStringList values{u"pl"_s, u""_s, u"Zażółć gęślą jaźń"_s, u"a, b"_s, u" padded "_s,
                             u"@Invalid()"_s, u"line\nbreak"_s, u"nul"_s + nul + u"value"_s, u"/a/b"_s, u"\"quoted\""_s};
    const QStringList keys = awkwardKeys();
    for (qsizetype i = 0; i < keys.size(); ++i)
        Defaults::setString(keys[i], values[i % values.size()]);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "in memory" : "after reload");
        for (qsizetype i = 0; i < keys.size(); ++i) {
            EXPECT_TRUE(Defaults::contains(keys[i])) << keys[i].toStdString();
            EXPECT_EQ(Defaults::string(keys[i]), values[i % values.size()]) << keys[i].toStdString();
        }
        Defaults::reload();
    }
    // Every value too, under one key.
    for (const QString &value : values) {
        Defaults::setString(u"appLanguage"_s, value);
        Defaults::reload();
        EXPECT_EQ(Defaults::string(u"appLanguage"_s), value);
    }
}

TEST_F(DefaultsTest, ListsRoundTripIncludingEmptyAndSingle)
{
    const QList<QStringList> lists{
        {},
        {u"/home/ja/Muzyka"_s},
        {u""_s},
        {u"/a, b"_s, u"/c"_s, u"Żółć"_s},
        {u"x"_s + nul + u"y"_s, u"@Invalid()"_s},
    };
    for (const QStringList &list : lists) {
        Defaults::setStringList(u"libraryPaths"_s, list);
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), list);
        Defaults::reload();
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), list);
    }
}

TEST_F(DefaultsTest, MapsKeepKeysWithNulAndSlash)
{
    const QMap<QString, QString> map{
        {u"Artist"_s + nul + u"Album"_s + nul + u"/music/Artist/Album"_s, u"/cache/Artwork/ab.jpg"_s},
        {u"release"_s + nul + u"/m/Release"_s, u"https://musicbrainz.org/release-group/x"_s},
        {u"żółć"_s, u""_s},
    };
    Defaults::setStringMap(u"artworkOverrides"_s, map);
    Defaults::setStringMap(u"coverSources"_s, {});
    EXPECT_EQ(Defaults::stringMap(u"artworkOverrides"_s), map);
    Defaults::reload();
    EXPECT_EQ(Defaults::stringMap(u"artworkOverrides"_s), map);
    EXPECT_EQ(Defaults::stringMap(u"coverSources"_s), (QMap<QString, QString>{}));
}

TEST_F(DefaultsTest, ABadMapValueDropsOnlyItsOwnEntry)
{
    struct Case {
        const char *stored;
        std::optional<QMap<QString, QString>> expected;
    };
    const Case cases[] = {
        {R"({"a":"1","b":2,"c":"3"})", QMap<QString, QString>{{u"a"_s, u"1"_s}, {u"c"_s, u"3"_s}}},
        {R"({"a":null,"b":["x"],"c":{"d":"e"},"f":true,"g":"ok"})", QMap<QString, QString>{{u"g"_s, u"ok"_s}}},
        {R"({"a":5})", QMap<QString, QString>{}},
        // Not a map at all: absent, as before.
        {R"(["a","b"])", std::nullopt},
        {"not json", std::nullopt},
    };
    for (const Case &c : cases) {
        Defaults::setString(u"artworkOverrides"_s, QString::fromUtf8(c.stored));
        EXPECT_EQ(Defaults::stringMap(u"artworkOverrides"_s), c.expected) << c.stored;
        Defaults::reload();
        EXPECT_EQ(Defaults::stringMap(u"artworkOverrides"_s), c.expected) << c.stored;
    }
}

TEST_F(DefaultsTest, NumbersAndBooleans)
{
    const qint64 integers[] = {0, -1, 180, std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()};
    for (qint64 value : integers) {
        Defaults::setInteger(u"tileSize"_s, value);
        EXPECT_EQ(Defaults::integer(u"tileSize"_s), value);
        Defaults::reload();
        EXPECT_EQ(Defaults::integer(u"tileSize"_s), value);
    }
    const double numbers[] = {0.1, -2.5, 1e300, 0.6};
    for (double value : numbers) {
        Defaults::setNumber(u"volume"_s, value);
        EXPECT_EQ(Defaults::number(u"volume"_s), value);
        Defaults::reload();
        EXPECT_EQ(Defaults::number(u"volume"_s), value);
    }
    for (bool value : {true, false}) {
        Defaults::setBoolean(u"flag"_s, value);
        EXPECT_EQ(Defaults::boolean(u"flag"_s), value);
        Defaults::reload();
        EXPECT_EQ(Defaults::boolean(u"flag"_s), value);
    }
    Defaults::setString(u"flag"_s, u"maybe"_s);
    EXPECT_FALSE(Defaults::boolean(u"flag"_s).has_value());
    EXPECT_FALSE(Defaults::integer(u"flag"_s).has_value());
}

TEST_F(DefaultsTest, RemoveAndClear)
{
    const QString key = u"deviceDescription-/media/root/IPOD"_s;
    Defaults::setString(key, u"x"_s);
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    Defaults::remove(key);
    EXPECT_FALSE(Defaults::contains(key));
    Defaults::reload();
    EXPECT_FALSE(Defaults::string(key).has_value());
    EXPECT_EQ(Defaults::string(u"appLanguage"_s), u"en"_s);

    Defaults::clear();
    EXPECT_FALSE(Defaults::contains(u"appLanguage"_s));
    Defaults::reload();
    EXPECT_FALSE(Defaults::contains(u"appLanguage"_s));
    EXPECT_FALSE(Defaults::stringList(u"libraryPaths"_s).has_value());
    EXPECT_FALSE(Defaults::stringMap(u"coverSources"_s).has_value());
}

TEST_F(DefaultsTest, RapidAssignmentsReachTheFileInOrder)
{
    // Assignments return before the file is written; the file must still end
    // with the last value of each key, and removals must not be overtaken.
    for (int i = 0; i < 500; ++i) {
        Defaults::setNumber(u"tileSize"_s, 100 + i);
        Defaults::setString(u"sortMode"_s, QString::number(i));
        if (i % 2)
            Defaults::remove(u"viewMode"_s);
        else
            Defaults::setString(u"viewMode"_s, u"Albumy"_s);
    }
    EXPECT_EQ(Defaults::number(u"tileSize"_s), 599.0); // the in-memory copy answers at once
    Defaults::reload();
    EXPECT_EQ(Defaults::number(u"tileSize"_s), 599.0);
    EXPECT_EQ(Defaults::string(u"sortMode"_s), u"499"_s);
    EXPECT_FALSE(Defaults::contains(u"viewMode"_s));
}

namespace {

QString configFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/Vontaro"_s;
}

QString settingsFile()
{
    return configFolder() + u"/Vontaro.conf"_s;
}

QString pathsFile()
{
    return configFolder() + u"/Library.paths"_s;
}

QStringList manyPaths(int count, const QString &prefix = u"/home/ja/Muzyka/"_s)
{
    QStringList paths;
    paths.reserve(count);
    for (int i = 0; i < count; ++i)
        paths.append(prefix + u"Wykonawca %1/Album/%2 Utwór.flac"_s.arg(i / 12).arg(i % 12));
    return paths;
}

// The outcome of every save, as the model hears them.
class SaveReports
{
public:
    SaveReports()
    {
        m_id = statefile::addListener([this](statefile::Kind kind, std::exception_ptr failure) {
            std::lock_guard lock(m_mutex);
            m_reports.push_back({kind, failure ? statefile::failureCause(failure) : QString()});
        });
    }
    ~SaveReports() { statefile::removeListener(m_id); }
    // The causes of the failures of one kind, in order (an empty string: a success).
    QStringList of(statefile::Kind kind)
    {
        std::lock_guard lock(m_mutex);
        QStringList causes;
        for (const auto &[k, cause] : m_reports) {
            if (k == kind)
                causes.append(cause);
        }
        return causes;
    }

private:
    int m_id = 0;
    std::mutex m_mutex;
    std::vector<std::pair<statefile::Kind, QString>> m_reports;
};

const QString refused = u"W miejscu pliku jest łącze lub plik specjalny, więc nie został zastąpiony."_s;

class DefaultsFilesTest : public DefaultsTest
{
protected:
    void TearDown() override
    {
        // Whatever stood in the settings file's place goes before the wipe.
        Defaults::flush();
        QFile::remove(settingsFile());
        QFile::remove(pathsFile());
        Defaults::reload();
        DefaultsTest::TearDown();
    }
};

} // namespace

// A FIFO or an endless device in the settings file's place reads as no
// settings, at once; saves are refused and told, and the FIFO stays a FIFO.
TEST_F(DefaultsFilesTest, ASettingsFileThatIsNoFileReadsAsEmptyAndIsNeverReplaced)
{
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "link to /dev/zero");
        Defaults::setString(u"viewMode"_s, u"Utwory"_s);
        Defaults::flush();
        ASSERT_TRUE(QFile::remove(settingsFile()));
        ASSERT_TRUE(fifo ? special::makeFifo(settingsFile()) : special::makeEndless(settingsFile()));
        Defaults::reload();
        EXPECT_FALSE(Defaults::string(u"viewMode"_s).has_value());

        SaveReports reports;
        Defaults::setString(u"sortMode"_s, u"Rok"_s);
        Defaults::flush();
        EXPECT_EQ(Defaults::string(u"sortMode"_s), u"Rok"_s) << "kept in memory";
        EXPECT_EQ(reports.of(statefile::Kind::settings), QStringList{refused});
        EXPECT_TRUE(fifo ? special::isFifo(settingsFile()) : QFileInfo(settingsFile()).isSymLink());
        QFile::remove(settingsFile());
        Defaults::reload();
    }
}

// The settings file linked to a device node (a common way to stop a program
// saving): the save is refused and the node stays a device.
TEST_F(DefaultsFilesTest, ASettingsFileLinkedToADeviceIsNeverReplaced)
{
    QTemporaryDir dir;
    const QString node = dir.filePath(u"null"_s);
    if (!special::makeNullDevice(node))
        GTEST_SKIP() << "device nodes need root";
    Defaults::flush();
    QDir().mkpath(configFolder());
    QFile::remove(settingsFile());
    ASSERT_TRUE(QFile::link(node, settingsFile()));
    Defaults::reload();
    SaveReports reports;
    Defaults::setNumber(u"tileSize"_s, 200);
    Defaults::flush();
    EXPECT_EQ(reports.of(statefile::Kind::settings), QStringList{refused});
    EXPECT_TRUE(special::isCharDevice(node));
    EXPECT_TRUE(QFileInfo(settingsFile()).isSymLink());
}

// The library's paths live in a file of their own: a change of a small
// setting leaves them alone, the settings file stays small, and a damaged
// settings file does not shorten the library.
TEST_F(DefaultsFilesTest, LibraryPathsSurviveADamagedSettingsFile)
{
    const QStringList paths = manyPaths(20'000);
    Defaults::setStringList(u"libraryPaths"_s, paths);
    Defaults::setNumber(u"tileSize"_s, 200);
    Defaults::setString(u"sortMode"_s, u"Rok"_s);
    Defaults::flush();
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    EXPECT_LT(bytes.size(), 4096);
    EXPECT_FALSE(bytes.contains("Muzyka"));
    EXPECT_TRUE(QFileInfo(pathsFile()).isFile());

    const QByteArray damages[] = {QByteArray(), QByteArray("\xff\xfe[[[=\n", 8) + "garbage", bytes.left(bytes.size() / 2)};
    for (const QByteArray &damage : damages) {
        SCOPED_TRACE(damage.toStdString());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damage);
        file.close();
        Defaults::reload();
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), paths);
    }
    // A damaged paths file is not taken for a shorter library.
    QFile own(pathsFile());
    ASSERT_TRUE(own.open(QIODevice::ReadWrite));
    own.resize(own.size() / 2);
    own.close();
    Defaults::reload();
    EXPECT_FALSE(Defaults::stringList(u"libraryPaths"_s).has_value());
}

// A library kept in the settings file by an earlier version is read from there
// once, moved to its own file, and the settings file then holds small settings only.
TEST_F(DefaultsFilesTest, PathsInTheSettingsFileAreMovedToTheirOwn)
{
    const QStringList paths = manyPaths(3000);
    Defaults::flush();
    QFile::remove(pathsFile());
    QFile::remove(settingsFile());
    {
        QSettings old(settingsFile(), QSettings::IniFormat);
        old.setValue(u"libraryPaths"_s, paths);
        old.setValue(u"viewMode"_s, u"Foldery"_s);
    }
    Defaults::reload();
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), paths);
    EXPECT_EQ(Defaults::string(u"viewMode"_s), u"Foldery"_s);
    Defaults::flush();
    EXPECT_TRUE(QFileInfo(pathsFile()).isFile());
    {
        QSettings now(settingsFile(), QSettings::IniFormat);
        EXPECT_FALSE(now.contains(u"libraryPaths"_s));
        EXPECT_EQ(now.value(u"viewMode"_s).toString(), u"Foldery"_s);
    }
    Defaults::reload();
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), paths);
}

// A full disk: the save is told as such, and the files keep what they held.
TEST_F(DefaultsFilesTest, AFullDiskKeepsTheEarlierPathsAndSettings)
{
    special::SmallDisk disk(512 * 1024);
    if (!disk.available())
        GTEST_SKIP() << "mounting a small file system needs root";
    Defaults::flush();
    const QByteArray home = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(disk.path()));
    Defaults::reload();
    const QStringList before = manyPaths(1000);
    Defaults::setStringList(u"libraryPaths"_s, before);
    Defaults::setString(u"sortMode"_s, u"Rok"_s);
    Defaults::flush();
    disk.fill();

    SaveReports reports;
    Defaults::setStringList(u"libraryPaths"_s, manyPaths(4000));
    Defaults::setString(u"sortMode"_s, QString(200'000, u'x'));
    Defaults::flush();
    EXPECT_EQ(reports.of(statefile::Kind::libraryPaths), QStringList{u"Na dysku zabrakło miejsca."_s});
    EXPECT_EQ(reports.of(statefile::Kind::settings), QStringList{u"Na dysku zabrakło miejsca."_s});
    Defaults::reload();
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), before);
    EXPECT_EQ(Defaults::string(u"sortMode"_s), u"Rok"_s);

    QFile::remove(disk.path() + u"/filler"_s);
    QFile::remove(pathsFile());
    QFile::remove(settingsFile());
    qputenv("XDG_CONFIG_HOME", home);
    Defaults::reload();
}
