#include "device/device.h"
#include "media/artwork.h"
#include "platform/errors.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString locationRefusal = u"Okładka musi być zapisana w folderze muzyki na wybranym iPodzie."_s;
const QByteArray appleDoubleMagic("\x00\x05\x16\x07", 4);

class ArtworkInstallTest : public ::testing::Test
{
protected:
    QTemporaryDir temp;
    QString root;
    QString backups;
    const QByteArray image = QByteArray("new cover bytes");

    void SetUp() override
    {
        root = temp.path() + u"/IPOD"_s;
        backups = temp.path() + u"/Backups"_s;
        QDir().mkpath(root + u"/.rockbox"_s);
    }
    void TearDown() override { DeviceCapacity::setProbe({}); }

    QString put(const QString &relative, const QByteArray &bytes = "audio")
    {
        const QString path = root + u'/' + relative;
        QDir().mkpath(path.left(path.lastIndexOf(u'/')));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    QString at(const QString &relative) const { return root + u'/' + relative; }
    static std::optional<QByteArray> read(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }
    QStringList entries(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    // The one cover backup folder: its manifest (path → backed-up bytes).
    QMap<QString, QByteArray> coverBackup() const
    {
        QMap<QString, QByteArray> result;
        const QStringList folders = QDir(backups).entryList({u"Covers-*"_s}, QDir::Dirs);
        EXPECT_EQ(folders.size(), 1);
        if (folders.size() != 1)
            return result;
        const QString folder = backups + u'/' + folders[0];
        const auto manifest = read(folder + u"/manifest.json"_s);
        EXPECT_TRUE(manifest);
        const QJsonObject object = QJsonDocument::fromJson(manifest.value_or(QByteArray())).object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            EXPECT_TRUE(it.key().endsWith(u".jpg"_s));
            result.insert(it.value().toString(), read(folder + u'/' + it.key()).value_or("(missing)"));
        }
        EXPECT_EQ(entries(folder).size(), object.size() + 1);
        return result;
    }
    QString refusal(const QStringList &tracks)
    {
        try {
            Artwork::install(image, tracks, root, backups);
        } catch (const TavoError &error) {
            return error.message();
        }
        return u"(no refusal)"_s;
    }
};

} // namespace

TEST_F(ArtworkInstallTest, FolderOfOneAlbumGetsAFolderCover)
{
    const QString a = put(u"Music/Artist/Album/01 One.flac"_s);
    const QString b = put(u"Music/Artist/Album/02 Two.flac"_s);
    put(u"Music/Artist/Album/album.cue"_s, "cue");
    put(u"Music/Artist/Album/rip.log"_s, "log");
    put(u"Music/Artist/Album/notes.txt"_s, "txt");
    put(u"Music/Artist/Album/._01 One.flac"_s, appleDoubleMagic + "meta");
    // A stray AppleDouble companion of the cover itself is cleared afterwards.
    put(u"Music/Artist/Album/._cover.jpeg"_s, appleDoubleMagic + "meta");

    Artwork::install(image, {a, b}, root, backups);

    EXPECT_EQ(read(at(u"Music/Artist/Album/cover.jpeg"_s)), image);
    EXPECT_EQ(entries(at(u"Music/Artist/Album"_s)),
              (QStringList{u"._01 One.flac"_s, u"01 One.flac"_s, u"02 Two.flac"_s, u"album.cue"_s, u"cover.jpeg"_s,
                           u"notes.txt"_s, u"rip.log"_s}));
    EXPECT_TRUE(coverBackup().isEmpty());
    EXPECT_EQ(QDir(backups).entryList({u"MacMetadata-*"_s}, QDir::Dirs).size(), 1);
}

TEST_F(ArtworkInstallTest, FolderSharedWithAnotherAlbumGetsPerTrackImages)
{
    const QString a = put(u"Music/Mixed/01 One.mp3"_s);
    const QString b = put(u"Music/Mixed/02 Two.ogg"_s);
    put(u"Music/Mixed/99 Stranger.M4A"_s);
    put(u"Music/Mixed/cover.jpeg"_s, "their cover");

    Artwork::install(image, {a, b}, root, backups);

    EXPECT_EQ(read(at(u"Music/Mixed/01 One.jpeg"_s)), image);
    EXPECT_EQ(read(at(u"Music/Mixed/02 Two.jpeg"_s)), image);
    EXPECT_EQ(read(at(u"Music/Mixed/cover.jpeg"_s)), QByteArray("their cover"));
    EXPECT_FALSE(read(at(u"Music/Mixed/99 Stranger.jpeg"_s)));
}

TEST_F(ArtworkInstallTest, EachDiscFolderIsDecidedOnItsOwn)
{
    const QString a = put(u"Music/A/Album/CD1/01.flac"_s);
    const QString b = put(u"Music/A/Album/CD2/01.flac"_s);
    const QString c = put(u"Music/A/Album/CD3/01.flac"_s);
    put(u"Music/A/Album/CD3/other.flac"_s);
    Artwork::install(image, {a, b, c}, root, backups);
    EXPECT_EQ(read(at(u"Music/A/Album/CD1/cover.jpeg"_s)), image);
    EXPECT_EQ(read(at(u"Music/A/Album/CD2/cover.jpeg"_s)), image);
    EXPECT_FALSE(read(at(u"Music/A/Album/CD3/cover.jpeg"_s)));
    EXPECT_EQ(read(at(u"Music/A/Album/CD3/01.jpeg"_s)), image);
}

TEST_F(ArtworkInstallTest, OldImagesAreBackedUpAndRepeatsOfTheOldCoverRemoved)
{
    const QString a = put(u"Music/B/01 a.flac"_s);
    const QString b = put(u"Music/B/02 b.flac"_s);
    const QString cover = put(u"Music/B/cover.jpeg"_s, "old cover");
    const QString first = put(u"Music/B/01 a.jpeg"_s, "old cover");
    const QString second = put(u"Music/B/02 b.jpeg"_s, "a picture of its own");

    Artwork::install(image, {a, b}, root, backups);

    EXPECT_EQ(read(cover), image);
    EXPECT_FALSE(read(first));
    EXPECT_EQ(read(second), QByteArray("a picture of its own"));
    const auto backup = coverBackup();
    EXPECT_EQ(backup, (QMap<QString, QByteArray>{{cover, "old cover"}, {first, "old cover"}}));
}

TEST_F(ArtworkInstallTest, InstallingTheSameImageTwiceStillBacksUpAndClearsRepeats)
{
    const QString a = put(u"Music/C/01 a.flac"_s);
    Artwork::install(image, {a}, root, backups);
    // Someone copies the new cover beside the track, then the cover is installed again.
    const QString own = put(u"Music/C/01 a.jpeg"_s, image);
    QDir(backups).removeRecursively();

    Artwork::install(image, {a}, root, backups);

    EXPECT_EQ(read(at(u"Music/C/cover.jpeg"_s)), image);
    EXPECT_FALSE(read(own));
    EXPECT_EQ(coverBackup(), (QMap<QString, QByteArray>{{at(u"Music/C/cover.jpeg"_s), image}, {own, image}}));
}

TEST_F(ArtworkInstallTest, TrackNamedCoverKeepsTheFolderCoverAsTarget)
{
    const QString a = put(u"Music/D/cover.flac"_s);
    put(u"Music/D/cover.jpeg"_s, "old");
    Artwork::install(image, {a}, root, backups);
    EXPECT_EQ(read(at(u"Music/D/cover.jpeg"_s)), image);
}

TEST_F(ArtworkInstallTest, LinksAndPlacesOutsideTheDeviceAreRefusedBeforeAnyChange)
{
    QTemporaryDir outside;
    QFile(outside.path() + u"/x.flac"_s).open(QIODevice::WriteOnly);
    QFile(outside.path() + u"/elsewhere.jpeg"_s).open(QIODevice::WriteOnly);

    struct Case {
        const char *name;
        std::function<QStringList()> arrange;
    };
    const Case cases[] = {
        {"track folder is a link",
         [&] {
             QDir().mkpath(at(u"Music"_s));
             QFile::link(outside.path(), at(u"Music/Linked"_s));
             return QStringList{at(u"Music/Linked/x.flac"_s)};
         }},
        {"folder linked inside the device",
         [&] {
             const QString real = put(u"Music/Real/x.flac"_s);
             QFile::link(at(u"Music/Real"_s), at(u"Music/Alias"_s));
             Q_UNUSED(real);
             return QStringList{at(u"Music/Alias/x.flac"_s)};
         }},
        {"existing cover is a link",
         [&] {
             const QString t = put(u"Music/E/x.flac"_s);
             QFile::link(outside.path() + u"/elsewhere.jpeg"_s, at(u"Music/E/cover.jpeg"_s));
             return QStringList{t};
         }},
        {"per-track target is a link",
         [&] {
             const QString t = put(u"Music/F/x.flac"_s);
             put(u"Music/F/other.flac"_s);
             QFile::link(outside.path() + u"/elsewhere.jpeg"_s, at(u"Music/F/x.jpeg"_s));
             return QStringList{t};
         }},
        {"track outside the device", [&] { return QStringList{outside.path() + u"/x.flac"_s}; }},
        {"sibling whose name starts like the root",
         [&] {
             QDir().mkpath(root + u"AB/Music"_s);
             return QStringList{root + u"AB/Music/x.flac"_s};
         }},
    };
    for (const Case &c : cases) {
        const QStringList tracks = c.arrange();
        const QStringList before = entries(outside.path());
        EXPECT_EQ(refusal(tracks), locationRefusal) << c.name;
        EXPECT_FALSE(QDir(backups).exists()) << c.name;
        EXPECT_EQ(entries(outside.path()), before) << c.name;
        EXPECT_FALSE(QFile::exists(outside.path() + u"/cover.jpeg"_s)) << c.name;
        EXPECT_EQ(read(outside.path() + u"/elsewhere.jpeg"_s), QByteArray()) << c.name;
    }
    EXPECT_FALSE(QFile::exists(at(u"Music/Real/cover.jpeg"_s)));
    EXPECT_FALSE(QFile::exists(root + u"AB/Music/cover.jpeg"_s));
}

TEST_F(ArtworkInstallTest, NoTracksIsRefusedAfterTheDeviceIsChecked)
{
    EXPECT_EQ(refusal({}), u"Album nie ma utworów."_s);
    QDir(root + u"/.rockbox"_s).removeRecursively();
    EXPECT_EQ(refusal({}), u"Ten folder nie zawiera katalogu .rockbox."_s);
    EXPECT_FALSE(QDir(backups).exists());
}

TEST_F(ArtworkInstallTest, FailingSecondWriteRestoresTheFirstAndStops)
{
    for (bool firstExisted : {true, false}) {
        SCOPED_TRACE(firstExisted);
        const QString folder = firstExisted ? u"Music/G"_s : u"Music/H"_s;
        put(folder + u"/stranger.wav"_s); // per-track images, in the given order
        const QString a = put(folder + u"/01.ogg"_s);
        // 251 + ".ogg" is a legal name; 251 + ".jpeg" is one byte too long, so
        // the second write fails where the file system refuses the name.
        const QString b = at(folder + u'/' + QString(251, u'b') + u".ogg"_s);
        const QString c = put(folder + u"/03.ogg"_s);
        if (firstExisted)
            put(folder + u"/01.jpeg"_s, "before");
        try {
            Artwork::install(image, {a, b, c}, root, backups);
            ADD_FAILURE() << "the second write should fail";
        } catch (const PosixError &error) {
            EXPECT_EQ(error.code(), ENAMETOOLONG);
        }
        EXPECT_EQ(read(at(folder + u"/01.jpeg"_s)), firstExisted ? std::optional<QByteArray>("before") : std::nullopt);
        EXPECT_FALSE(QFile::exists(at(folder + u"/03.jpeg"_s)));
        for (const QString &name : entries(at(folder)))
            EXPECT_FALSE(name.endsWith(u".partial"_s)) << name.toStdString();
    }
}

TEST_F(ArtworkInstallTest, DeviceThatVanishesAtAnyCheckStopsTheWritesAndUndoesThem)
{
    // The device is looked at by the inspection, then before each write and
    // removal, and by the clean-up of companions: at its start, before each
    // folder's stale partial files and before each companion goes. Wherever it
    // vanishes, nothing more is written and what was changed is undone; the
    // backup made before the first change stays.
    struct Case {
        int vanishAt;
        bool changed; // the installation finished before the vanishing
    };
    const Case cases[] = {{1, false}, {2, false}, {3, false}, {4, false}, {5, false},
                          {6, false}, {7, false}, {8, false}, {9, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.vanishAt);
        root = temp.path() + u"/IPOD-"_s + QString::number(c.vanishAt);
        backups = temp.path() + u"/Backups-"_s + QString::number(c.vanishAt);
        QDir().mkpath(root + u"/.rockbox"_s);
        const QString a = put(u"Music/K/CD1/01.flac"_s);
        const QString b = put(u"Music/K/CD2/01.flac"_s);
        const QString cover = put(u"Music/K/CD1/cover.jpeg"_s, "before");
        const QString repeat = put(u"Music/K/CD1/01.jpeg"_s, "before");
        const QString companion = put(u"Music/K/CD1/._cover.jpeg"_s, appleDoubleMagic + "meta");

        int seen = 0;
        DeviceChecks::setObserverForTesting([&] {
            if (++seen == c.vanishAt)
                QDir().rename(root + u"/.rockbox"_s, root + u"/.gone"_s);
        });
        QString message = u"(no error)"_s;
        try {
            Artwork::install(image, {a, b}, root, backups);
        } catch (const TavoError &error) {
            message = error.message();
        }
        DeviceChecks::setObserverForTesting({});

        EXPECT_EQ(message, c.changed ? u"(no error)"_s : u"Ten folder nie zawiera katalogu .rockbox."_s);
        EXPECT_EQ(seen, c.changed ? 8 : c.vanishAt);
        EXPECT_EQ(read(cover), c.changed ? image : QByteArray("before"));
        EXPECT_EQ(read(at(u"Music/K/CD2/cover.jpeg"_s)), c.changed ? std::optional<QByteArray>(image) : std::nullopt);
        EXPECT_EQ(read(repeat), c.changed ? std::nullopt : std::optional<QByteArray>("before"));
        EXPECT_EQ(QFile::exists(companion), !c.changed);
        if (c.vanishAt == 1)
            EXPECT_FALSE(QDir(backups).exists());
        else
            EXPECT_EQ(coverBackup(), (QMap<QString, QByteArray>{{cover, "before"}, {repeat, "before"}}));
        for (const QString &folder : {u"Music/K/CD1"_s, u"Music/K/CD2"_s})
            for (const QString &name : entries(at(folder)))
                EXPECT_FALSE(name.endsWith(u".partial"_s)) << name.toStdString();
    }
}

TEST_F(ArtworkInstallTest, OneInspectionServesEveryAlbumOfAnOperationAndAReplacedDeviceIsRefused)
{
    int inspections = 0;
    DeviceCapacity::setProbe([&](const QString &) -> VolumeCapacity {
        ++inspections;
        return {1000, 2000};
    });
    const QString one = put(u"Music/L/One/01.flac"_s);
    const QString two = put(u"Music/L/Two/01.flac"_s);
    const QString three = put(u"Music/L/Three/01.flac"_s);
    const DeviceCheck device(root);
    Artwork::install(image, {one}, device, backups);
    Artwork::install(image, {two}, device, backups);
    EXPECT_EQ(inspections, 1);
    EXPECT_EQ(read(at(u"Music/L/One/cover.jpeg"_s)), image);
    EXPECT_EQ(read(at(u"Music/L/Two/cover.jpeg"_s)), image);

    // Another device now stands where the inspected one was.
    QDir().rename(root + u"/.rockbox"_s, root + u"/.old"_s);
    QDir().mkpath(root + u"/.rockbox"_s);
    try {
        Artwork::install(image, {three}, device, backups);
        ADD_FAILURE() << "the replaced device should be refused";
    } catch (const TavoError &error) {
        EXPECT_EQ(error.message(), u"Urządzenie zostało zamienione na inne."_s);
    }
    EXPECT_FALSE(QFile::exists(at(u"Music/L/Three/cover.jpeg"_s)));
    EXPECT_EQ(inspections, 1);
}
