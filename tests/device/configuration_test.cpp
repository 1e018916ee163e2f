#include "device/configuration.h"
#include "platform/defaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using Table = QMap<QString, QString>;

const QString corpus = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

Table parse(const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"x.cfg"_s);
    writeFile(path, bytes);
    return ThemePreview::configuration(path);
}

} // namespace

TEST(Configuration, LineRules)
{
    struct Case {
        const char *what;
        QByteArray text;
        Table expected;
    } cases[] = {
        {"missing colon and empty lines are ignored", "bare words\n\n", {}},
        {"blanks around the colon don't matter", "wps:/a\nsbs : /b \n", {{u"wps"_s, u"/a"_s}, {u"sbs"_s, u"/b"_s}}},
        {"only the first colon splits", "time: 12:30:00\n", {{u"time"_s, u"12:30:00"_s}}},
        {"comment with a colon", "# note: x\n  \t# key: y\n", {}},
        {"later line wins", "font: a\nfont: b\n", {{u"font"_s, u"b"_s}}},
        {"keys are case-sensitive", "Font: a\nfont: b\n", {{u"Font"_s, u"a"_s}, {u"font"_s, u"b"_s}}},
        {"empty key and value", ": v\nk:\t \n", {{QString(), u"v"_s}, {u"k"_s, QString()}}},
        {"CRLF and CR line ends", "a: 1\r\nb: 2\rc: 3", {{u"a"_s, u"1"_s}, {u"b"_s, u"2"_s}, {u"c"_s, u"3"_s}}},
        {"Unicode blanks and line separators", "\xC2\xA0key\xC2\xA0: v\xE2\x80\xA8k2: w\xC2\x85",
         {{u"key"_s, u"v"_s}, {u"k2"_s, u"w"_s}}},
        {"key with inner blanks", "line selector start color: 6BA6DE\n",
         {{u"line selector start color"_s, u"6BA6DE"_s}}},
        {"byte-order mark", "\xEF\xBB\xBFwps: /x\n", {{u"wps"_s, u"/x"_s}}},
        {"not UTF-8", "author: Zo\xEB\nwps: /w\n", {{u"author"_s, u"Zo\u00EB"_s}, {u"wps"_s, u"/w"_s}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parse(c.text), c.expected) << c.what;
}

TEST(Configuration, MissingFileGivesEmptyTable)
{
    EXPECT_TRUE(ThemePreview::configuration(u"/nonexistent/config.cfg"_s).isEmpty());
    QTemporaryDir dir;
    EXPECT_TRUE(ThemePreview::configuration(dir.path()).isEmpty()); // a folder
}

TEST(Configuration, SpecialFilesAreNeverOpenedForReading)
{
    // A FIFO named like a theme file would block a reader until someone writes to it.
    QTemporaryDir dir;
    for (const QString &name : {u"config.cfg"_s, u"theme.cfg"_s}) {
        const QString path = dir.filePath(name);
        ASSERT_EQ(::mkfifo(path.toUtf8().constData(), 0644), 0);
        auto reading = std::async(std::launch::async, [path] { return ThemePreview::configuration(path); });
        if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Unblock the reader so the test ends, and fail.
            const int fd = ::open(path.toUtf8().constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            reading.wait();
            FAIL() << "reading a FIFO blocked: " << qPrintable(name);
        }
        EXPECT_TRUE(reading.get().isEmpty());
    }
    // A device node is no settings file either.
    EXPECT_TRUE(ThemePreview::configuration(u"/dev/zero"_s).isEmpty());
}

TEST(Configuration, RealDeviceFiles)
{
    const Table info = ThemePreview::configuration(corpus + u"ipodvideo-budm-rockb0x/.rockbox/rockbox-info.txt"_s);
    EXPECT_EQ(info.value(u"Target"_s), u"ipodvideo"_s);
    EXPECT_EQ(info.value(u"Version"_s), u"modifiedf86f7883f5-200329"_s);

    // CRLF line ends: no carriage return survives in a value.
    const Table tape = ThemePreview::configuration(corpus + u"erosqnative-SoraBee/.rockbox/themes/retroTapeFixed.cfg"_s);
    EXPECT_EQ(tape.value(u"wps"_s), u"/.rockbox/wps/retroTapeFixed.wps"_s);
    EXPECT_EQ(tape.value(u"ui viewport"_s), u"-"_s);
    EXPECT_EQ(tape.value(u"selector type"_s), u"bar (gradient)"_s); // the commented line doesn't count
    EXPECT_FALSE(tape.contains(u"#selector type"_s));
    for (const QString &value : tape)
        EXPECT_FALSE(value.contains(u'\r'));

    // A repeated key, and comment lines that hold colons.
    const Table blk = ThemePreview::configuration(corpus + u"erosqnative-SoraBee/.rockbox/themes/ipodmod3blkFixed.cfg"_s);
    EXPECT_EQ(blk.value(u"line selector text color"_s), u"F4F4F4"_s);
    EXPECT_FALSE(blk.contains(u"# Theme"_s));
    EXPECT_EQ(blk.size(), 16);

    const Table classic = ThemePreview::configuration(corpus + u"ipodvideo-budm-rockb0x/.rockbox/themes/iClassic.cfg"_s);
    EXPECT_EQ(classic.value(u"font"_s), u"/.rockbox/fonts/24 iLike.fnt"_s);
    EXPECT_EQ(classic.value(u"viewers iconset"_s), u"-"_s); // last line without a line end

    const Table config = ThemePreview::configuration(corpus + u"rockbox-repo-sample/config.cfg"_s);
    EXPECT_EQ(config.value(u"qs top"_s), u"brightness"_s);
    EXPECT_EQ(config.size(), 4);
}

class LocalPreview : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        root = dir.path();
        themes = root + u"/.rockbox/themes/"_s;
        QDir().mkpath(themes);
    }
    void TearDown() override { Defaults::clear(); }

    Theme theme(const QByteArray &cfg, const QString &name = u"Night.cfg"_s)
    {
        writeFile(themes + name, cfg);
        return Theme{themes + name};
    }
    void touch(const QString &relative) { writeFile(root + u'/' + relative, "BM"); }

    QTemporaryDir dir;
    QString root;
    QString themes;
};

TEST_F(LocalPreview, OwnScreenshotComesFirstWhileItExists)
{
    const Theme night = theme("backdrop: /.rockbox/backdrops/n.bmp\n");
    touch(u".rockbox/backdrops/n.bmp"_s);
    touch(u".rockbox/themes/Night.png"_s);
    const QString shot = root + u"/shot.png"_s;
    writeFile(shot, "png");
    Defaults::setString(themePreviewKey(night.url), shot);

    auto preview = ThemePreview::local(night, root);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->source, u"Twój zrzut"_s);
    EXPECT_EQ(preview->playing, QUrl::fromLocalFile(shot));
    EXPECT_FALSE(preview->menu || preview->detail || preview->author);

    // A deleted screenshot falls through to the package picture; the entry stays.
    QFile::remove(shot);
    preview = ThemePreview::local(night, root);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->source, u"Zrzut z paczki"_s);
    EXPECT_EQ(preview->playing, QUrl::fromLocalFile(themes + u"Night.png"_s));
    EXPECT_TRUE(Defaults::string(themePreviewKey(night.url)));
}

TEST_F(LocalPreview, KeyIsTheHexDigestOfThePath)
{
    EXPECT_EQ(themePreviewKey(u"/a"_s),
              u"theme-preview-"_s + u"6a50dc8584134c7de537c0052ff6d236bf874355e050c90523e0c5ff2a543a28"_s);
}

TEST_F(LocalPreview, PackagePictureSkipsLinks)
{
    const Theme night = theme("wps: -\n");
    touch(u"elsewhere.png"_s);
    ASSERT_EQ(::symlink((root + u"/elsewhere.png"_s).toUtf8().constData(),
                        (themes + u"Night.png"_s).toUtf8().constData()), 0);
    touch(u".rockbox/themes/Night.jpg"_s);
    touch(u".rockbox/themes/Night-preview.png"_s);
    auto preview = ThemePreview::local(night, root);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->playing, QUrl::fromLocalFile(themes + u"Night.jpg"_s));

    QFile::remove(themes + u"Night.jpg"_s);
    preview = ThemePreview::local(night, root);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->playing, QUrl::fromLocalFile(themes + u"Night-preview.png"_s));
    EXPECT_EQ(preview->source, u"Zrzut z paczki"_s);
}

TEST_F(LocalPreview, WpsBackdrops)
{
    const Theme night = theme("wps: /.rockbox/wps/night.wps\nbackdrop: /.rockbox/backdrops/n.bmp\n");
    touch(u".rockbox/backdrops/n.bmp"_s);
    touch(u".rockbox/wps/night/backdrop_wps.bmp"_s);
    auto preview = ThemePreview::local(night, root);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->source, u"Tło motywu — bez elementów interfejsu"_s);
    EXPECT_EQ(preview->playing, QUrl::fromLocalFile(root + u"/.rockbox/wps/night/backdrop_wps.bmp"_s));
    EXPECT_FALSE(preview->menu);

    touch(u".rockbox/wps/night/backdrop_sbs.bmp"_s);
    preview = ThemePreview::local(night, root);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->menu, QUrl::fromLocalFile(root + u"/.rockbox/wps/night/backdrop_sbs.bmp"_s));
}

TEST_F(LocalPreview, ValuesOutsideTheDeviceFolderAreSkipped)
{
    touch(u".rockbox/wps/backdrop_wps.bmp"_s);
    touch(u".rockbox/wps/x/backdrop_wps.bmp"_s);
    touch(u".rockbox/backdrops/n.bmp"_s);
    for (const QByteArray &wps : {QByteArray("/.rockbox/wps/../wps/x.wps"), QByteArray(".rockbox/wps/x.wps"),
                                  QByteArray("/.ROCKBOX/wps/x.wps"), QByteArray("-")}) {
        const Theme night = theme("wps: " + wps + "\nbackdrop: /.rockbox/backdrops/n.bmp\n");
        auto preview = ThemePreview::local(night, root);
        ASSERT_TRUE(preview) << wps.toStdString();
        EXPECT_EQ(preview->playing, QUrl::fromLocalFile(root + u"/.rockbox/backdrops/n.bmp"_s)) << wps.toStdString();
    }
    for (const QByteArray &backdrop : {QByteArray("/.rockbox/backdrops/../backdrops/n.bmp"), QByteArray("-"),
                                       QByteArray("/etc/passwd"), QByteArray("/.rockbox/backdrops/missing.bmp")}) {
        const Theme night = theme("backdrop: " + backdrop + "\n");
        EXPECT_FALSE(ThemePreview::local(night, root)) << backdrop.toStdString();
    }
}

TEST_F(LocalPreview, NothingFound)
{
    EXPECT_FALSE(ThemePreview::local(theme("font: -\n"), root));
    // An unreadable theme file still allows the package picture.
    const Theme gone{themes + u"Gone.cfg"_s};
    EXPECT_FALSE(ThemePreview::local(gone, root));
    touch(u".rockbox/themes/Gone.png"_s);
    EXPECT_TRUE(ThemePreview::local(gone, root));
}

TEST(LocalPreviewOnRealDevice, BackdropsOfTheInstalledThemes)
{
    const QString root = corpus + u"ipodvideo-budm-rockb0x"_s;
    const QString themes = root + u"/.rockbox/themes/"_s;
    struct Case {
        QString theme;
        std::optional<QString> playing;
    } cases[] = {
        {u"cabbiev2.cfg"_s, root + u"/.rockbox/backdrops/cabbiev2.bmp"_s},
        {u"iClassic.cfg"_s, root + u"/.rockbox/backdrops/iClassic_bd.bmp"_s},
        {u"rockbox_failsafe.cfg"_s, std::nullopt},
        {u"rockbox_default_icons.cfg"_s, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto preview = ThemePreview::local(Theme{themes + c.theme}, root);
        ASSERT_EQ(bool(preview), bool(c.playing)) << c.theme.toStdString();
        if (preview) {
            EXPECT_EQ(preview->playing, QUrl::fromLocalFile(*c.playing));
            EXPECT_EQ(preview->source, u"Tło motywu — bez elementów interfejsu"_s);
        }
    }
}
