#include "model/importscan.h"
#include "model/librarystore.h"
#include "model/tavomodel.h"
#include "modeltesting.h"

#include "platform/appfolders.h"
#include "platform/defaults.h"
#include "platform/sha256.h"
#include "support/coverbytes.h"
#include "support/embedpicture.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <utime.h>

namespace {

class LibraryStoreTest : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        AppFolders::setApplicationSupportOverride(dir.path() + u"/Support"_s);
    }
    void TearDown() override
    {
        AppFolders::setApplicationSupportOverride(QString());
        ModelTest::TearDown();
    }

    QString copy(const QString &fixture, const QString &relative)
    {
        const QString target = dir.path() + u"/Music/"_s + relative;
        QDir().mkpath(QFileInfo(target).path());
        EXPECT_TRUE(QFile::copy(QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + fixture, target));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        return target;
    }

    // A library of a few albums, imported and saved; returns the model's tracks.
    QList<Track> importLibrary()
    {
        copy(u"tagged.mp3"_s, u"A/One/01 a.mp3"_s);
        copy(u"tagged.flac"_s, u"A/One/02 b.flac"_s);
        copy(u"vorbis.ogg"_s, u"B/Two/01 c.ogg"_s);
        copy(u"aac.m4a"_s, u"B/Two/02 d.m4a"_s);
        QFile cover(dir.path() + u"/Music/B/Two/cover.jpg"_s);
        EXPECT_TRUE(cover.open(QIODevice::WriteOnly));
        cover.write(fixtures::jpeg(30, 30));
        cover.close();
        auto model = makeModel();
        model->importURLs({dir.path() + u"/Music"_s}, false, false);
        EXPECT_TRUE(waitUntilIdle(*model));
        const QList<Track> tracks = model->tracks();
        model.reset(); // the records are written by the time the model is gone
        Defaults::flush();
        return tracks;
    }

    std::unique_ptr<TavoModel> restore()
    {
        Defaults::reload();
        auto model = makeModel(true);
        EXPECT_TRUE(waitUntilIdle(*model));
        return model;
    }

    static void expectSameTracks(const QList<Track> &a, const QList<Track> &b)
    {
        ASSERT_EQ(a.size(), b.size());
        for (qsizetype i = 0; i < a.size(); ++i) {
            SCOPED_TRACE(a[i].url.toStdString());
            EXPECT_EQ(a[i].url, b[i].url);
            EXPECT_EQ(a[i].title, b[i].title);
            EXPECT_EQ(a[i].artist, b[i].artist);
            EXPECT_EQ(a[i].album, b[i].album);
            EXPECT_EQ(a[i].bytes, b[i].bytes);
            EXPECT_EQ(a[i].hasEmbeddedArt, b[i].hasEmbeddedArt);
            EXPECT_EQ(a[i].artwork, b[i].artwork);
            EXPECT_EQ(a[i].info, b[i].info);
        }
    }

    QTemporaryDir dir;
};

TEST_F(LibraryStoreTest, AStartFromRecordsGivesWhatAFullReadGives)
{
    const QList<Track> imported = importLibrary();
    ASSERT_EQ(imported.size(), 4);
    ASSERT_TRUE(QFile::exists(LibraryStore::defaultFile()));
    const auto records = LibraryStore::load(LibraryStore::defaultFile());
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(records->size(), 4);

    auto model = restore();
    expectSameTracks(model->tracks(), imported);
    EXPECT_TRUE(model->queued().isEmpty());
}

TEST_F(LibraryStoreTest, ARecordIsUsedOnlyWhileItsFileIsUnchanged)
{
    const QList<Track> imported = importLibrary();
    // Give one record a title of its own: shown while the file keeps its size
    // and time, so the record really is what the start used.
    LibraryStore::Records records = *LibraryStore::load(LibraryStore::defaultFile());
    const QString path = imported.first().url;
    records[path].track.title = u"Z zapisu"_s;
    ASSERT_TRUE(LibraryStore::save(LibraryStore::defaultFile(), records));
    {
        auto model = restore();
        ASSERT_EQ(model->tracks().size(), 4);
        EXPECT_EQ(model->tracks().first().title, u"Z zapisu"_s);
    }

    // A new modification time: the file is read again.
    ASSERT_TRUE(LibraryStore::save(LibraryStore::defaultFile(), records));
    struct utimbuf times {1'000'000, 1'000'000};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
    auto model = restore();
    expectSameTracks(model->tracks(), imported);
}

// The records file as it lies on disk: its bytes and its modification time.
std::pair<QByteArray, qint64> fileState(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return {file.readAll(), qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

TEST_F(LibraryStoreTest, AStartThatFindsNothingChangedWritesNothing)
{
    const QList<Track> imported = importLibrary();
    // A time in the past, so that any write would show in it.
    struct utimbuf times {1'000'000, 1'000'000};
    ASSERT_EQ(::utime(QFile::encodeName(LibraryStore::defaultFile()).constData(), &times), 0);
    const auto before = fileState(LibraryStore::defaultFile());
    ASSERT_FALSE(before.first.isEmpty());
    for (int start = 0; start < 2; ++start) {
        auto model = restore();
        expectSameTracks(model->tracks(), imported);
        model.reset(); // waits for any write
        Defaults::flush();
        EXPECT_EQ(fileState(LibraryStore::defaultFile()), before) << "start " << start;
    }

    // A changed file is read again, and what was read is kept for the next start.
    const QString path = imported.first().url;
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
    {
        auto model = restore();
        expectSameTracks(model->tracks(), imported);
    }
    Defaults::flush();
    const auto after = fileState(LibraryStore::defaultFile());
    EXPECT_NE(after.second, before.second);
    const auto records = LibraryStore::load(LibraryStore::defaultFile());
    ASSERT_TRUE(records.has_value());
    ASSERT_TRUE(records->contains(path));
    EXPECT_EQ(records->value(path).stamp, LibraryStore::stamp(path));
    {
        auto model = restore();
        expectSameTracks(model->tracks(), imported);
    }
    EXPECT_EQ(fileState(LibraryStore::defaultFile()), after);

    // An album forgotten is written away and stays away after a restart.
    {
        auto model = restore();
        const QList<Album> albums = model->albums();
        ASSERT_FALSE(albums.isEmpty());
        model->forget(albums.first());
        ASSERT_TRUE(waitUntilIdle(*model));
        EXPECT_EQ(model->tracks().size(), imported.size() - albums.first().tracks.size());
    }
    Defaults::flush();
    EXPECT_NE(fileState(LibraryStore::defaultFile()).first, after.first);
    auto model = restore();
    EXPECT_LT(model->tracks().size(), imported.size());
}

TEST_F(LibraryStoreTest, TheScanTakesWhatTheStartSawOfEachFile)
{
    const QList<Track> imported = importLibrary();
    LibraryStore::Records records = *LibraryStore::load(LibraryStore::defaultFile());
    const QString path = imported.first().url;
    records[path].track.title = u"Z zapisu"_s;
    const std::optional<LibraryStore::Seen> seen = LibraryStore::look(path);
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->kind, LibraryStore::Seen::Kind::regular);
    EXPECT_EQ(seen->stamp, LibraryStore::stamp(path));
    EXPECT_EQ(LibraryStore::look(dir.path())->kind, LibraryStore::Seen::Kind::folder);
    EXPECT_FALSE(LibraryStore::look(dir.path() + u"/nie ma.mp3"_s).has_value());

    // The file changes after the look: the scan goes by the look (the change
    // is seen at the next start), and the record of that look is kept.
    struct utimbuf times {1'000'000, 1'000'000};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
    const LibraryStore::SeenItems items = {{path, *seen}};
    LibraryStore::Records read;
    const QList<Track> tracks =
        ImportScan::run({path}, {}, {}, {}, &records, &read, nullptr, &items);
    ASSERT_EQ(tracks.size(), 1);
    EXPECT_EQ(tracks.first().title, u"Z zapisu"_s);
    EXPECT_EQ(read.value(path).stamp, seen->stamp);

    // Without it the disk is asked, and the changed file read.
    const QList<Track> again = ImportScan::run({path}, {}, {}, {}, &records, &read);
    ASSERT_EQ(again.size(), 1);
    EXPECT_EQ(again.first().title, imported.first().title);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// An old time, so that the folder and its files count as long settled.
void age(const QString &path, time_t when = 1'000'000)
{
    struct utimbuf times {when, when};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0) << path.toStdString();
}

TEST_F(LibraryStoreTest, TheChosenCoverIsKeptWhileItsFolderAndFileAreUnchanged)
{
    const QString folder = dir.path() + u"/Music/C/Three"_s;
    const QString first = copy(u"vorbis.ogg"_s, u"C/Three/01 c.ogg"_s);
    const QString second = copy(u"vorbis.ogg"_s, u"C/Three/02 d.ogg"_s);
    const QString coverFile = folder + u"/cover.jpg"_s;
    writeFile(coverFile, fixtures::jpeg(30, 30));
    for (const QString &path : {first, second, coverFile, folder})
        age(path);
    {
        auto model = makeModel();
        model->importURLs({folder}, false, false);
        ASSERT_TRUE(waitUntilIdle(*model));
    }
    Defaults::flush();

    // The record keeps the choice, with the folder's time and the file's stamp.
    LibraryStore::Records records = *LibraryStore::load(LibraryStore::defaultFile());
    ASSERT_EQ(records.size(), 2);
    for (const LibraryStore::Record &record : records) {
        SCOPED_TRACE(record.track.url.toStdString());
        EXPECT_FALSE(record.track.hasEmbeddedArt);
        EXPECT_EQ(record.folder, qint64(1'000'000) * 1'000'000'000);
        ASSERT_TRUE(record.cover.has_value());
        EXPECT_EQ(record.cover->file(), coverFile);
        EXPECT_EQ(record.cover->facts().size, QSize(30, 30));
        EXPECT_EQ(record.coverFile, LibraryStore::stamp(coverFile));
    }

    auto coverSizes = [&] {
        auto model = restore();
        QList<QSize> sizes;
        for (const Track &track : model->tracks())
            sizes.append(track.artwork ? track.artwork->facts().size : QSize());
        return sizes;
    };
    // A start takes the kept cover without reading the folder or the picture:
    // a record that says otherwise is believed while nothing changed.
    const QByteArray other = fixtures::jpeg(44, 44);
    for (LibraryStore::Record &record : records)
        record.cover = Cover::read(other, coverFile, Cover::identityOf(other));
    ASSERT_TRUE(LibraryStore::save(LibraryStore::defaultFile(), records));
    EXPECT_EQ(coverSizes(), (QList<QSize>{QSize(44, 44), QSize(44, 44)}));

    // The picture changed in place (the folder keeps its time): read again.
    writeFile(coverFile, fixtures::jpeg(50, 50));
    age(coverFile, 2'000'000);
    age(folder);
    EXPECT_EQ(coverSizes(), (QList<QSize>{QSize(50, 50), QSize(50, 50)}));
    // ... and that is kept for the next start.
    EXPECT_EQ(LibraryStore::load(LibraryStore::defaultFile())->value(first).coverFile, LibraryStore::stamp(coverFile));
    EXPECT_EQ(coverSizes(), (QList<QSize>{QSize(50, 50), QSize(50, 50)}));

    // A picture named like the first track added: the folder's time tells.
    writeFile(folder + u"/01 c.jpg"_s, fixtures::jpeg(60, 60));
    age(folder + u"/01 c.jpg"_s);
    age(folder, 3'000'000);
    EXPECT_EQ(coverSizes(), (QList<QSize>{QSize(60, 60), QSize(50, 50)}));

    // The folder's cover removed, another named otherwise added.
    ASSERT_TRUE(QFile::remove(coverFile));
    writeFile(folder + u"/folder.png"_s, QByteArray());
    {
        QImage image(70, 70, QImage::Format_RGB32);
        image.fill(Qt::blue);
        ASSERT_TRUE(image.save(folder + u"/folder.png"_s, "PNG"));
    }
    age(folder + u"/folder.png"_s);
    age(folder, 4'000'000);
    EXPECT_EQ(coverSizes(), (QList<QSize>{QSize(60, 60), QSize(70, 70)}));

    // Every cover file gone: no cover, and none comes back from the records.
    ASSERT_TRUE(QFile::remove(folder + u"/folder.png"_s));
    ASSERT_TRUE(QFile::remove(folder + u"/01 c.jpg"_s));
    age(folder, 5'000'000);
    EXPECT_EQ(coverSizes(), (QList<QSize>{QSize(), QSize()}));
    EXPECT_EQ(coverSizes(), (QList<QSize>{QSize(), QSize()}));

    // A folder changed just now is not trusted: its listing is not kept, and
    // each start chooses from the folder as it is.
    writeFile(coverFile, fixtures::jpeg(80, 80));
    EXPECT_EQ(coverSizes(), (QList<QSize>{QSize(80, 80), QSize(80, 80)}));
    EXPECT_EQ(LibraryStore::load(LibraryStore::defaultFile())->value(first).folder, 0);
}

// The records as the previous format stored them: each distinct embedded
// picture once as its facts and preview, and no cover choice.
void writePreviousFormat(const QString &path, const LibraryStore::Records &records)
{
    QList<Cover> pictures;
    QByteArray chunk;
    {
        QDataStream out(&chunk, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        for (const LibraryStore::Record &record : records) {
            qint32 picture = -1;
            if (record.embedded) {
                picture = qint32(pictures.indexOf(*record.embedded));
                if (picture < 0) {
                    picture = qint32(pictures.size());
                    pictures.append(*record.embedded);
                }
            }
            const Track &t = record.track;
            const AudioInfo &i = t.info;
            out << record.stamp.size << record.stamp.modified << t.url << t.title << t.artist << t.album << t.bytes
                << t.hasEmbeddedArt << i.codec << i.sampleRate << i.bitDepth << i.duration << i.bitrate
                << i.trackNumber << i.discNumber << i.year << i.tags << picture;
        }
    }
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << quint32(3) << quint32(pictures.size());
        for (const Cover &cover : pictures) {
            const CoverFacts &facts = cover.facts();
            out << cover.identity() << facts.readable << facts.format << facts.progressive << facts.size
                << facts.bytes << cover.preview() << cover.previewIsWhole() << cover.file();
        }
        out << quint32(records.size()) << quint32(1) << quint32(records.size()) << chunk;
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("VONTARO-LIBRARY\n");
    file.write(payload);
    file.write(sha256::of(payload));
}

TEST_F(LibraryStoreTest, RecordsOfThePreviousFormatAreReadThenWrittenOnceInTheNewOne)
{
    const QList<Track> imported = importLibrary();
    const LibraryStore::Records records = *LibraryStore::load(LibraryStore::defaultFile());
    writePreviousFormat(LibraryStore::defaultFile(), records);
    age(LibraryStore::defaultFile());
    bool current = true;
    const auto loaded = LibraryStore::load(LibraryStore::defaultFile(), &current);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_FALSE(current);
    ASSERT_EQ(loaded->size(), records.size());
    for (const LibraryStore::Record &record : records) {
        SCOPED_TRACE(record.track.url.toStdString());
        const LibraryStore::Record &back = loaded->value(record.track.url);
        EXPECT_EQ(back.stamp, record.stamp);
        EXPECT_EQ(back.track.title, record.track.title);
        EXPECT_EQ(back.track.info, record.track.info);
        EXPECT_EQ(back.embedded, record.embedded);
        EXPECT_EQ(back.folder, 0);
        EXPECT_FALSE(back.cover.has_value());
    }

    // The first start shows what a full read gives and writes the new format...
    const auto before = fileState(LibraryStore::defaultFile());
    {
        auto model = restore();
        expectSameTracks(model->tracks(), imported);
    }
    Defaults::flush();
    const auto after = fileState(LibraryStore::defaultFile());
    EXPECT_NE(after.second, before.second);
    ASSERT_TRUE(LibraryStore::load(LibraryStore::defaultFile(), &current).has_value());
    EXPECT_TRUE(current);
    // ... which the next start leaves as it is.
    {
        auto model = restore();
        expectSameTracks(model->tracks(), imported);
    }
    Defaults::flush();
    EXPECT_EQ(fileState(LibraryStore::defaultFile()), after);
}

TEST_F(LibraryStoreTest, ADamagedOrForeignFileIsIgnored)
{
    const QList<Track> imported = importLibrary();
    QFile file(LibraryStore::defaultFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    file.close();
    LibraryStore::Records records = *LibraryStore::load(LibraryStore::defaultFile());
    for (LibraryStore::Record &record : records)
        record.track.title = u"Z zapisu"_s;
    ASSERT_TRUE(LibraryStore::save(LibraryStore::defaultFile(), records));
    QFile poisoned(LibraryStore::defaultFile());
    ASSERT_TRUE(poisoned.open(QIODevice::ReadOnly));
    const QByteArray trusted = poisoned.readAll();
    poisoned.close();

    QByteArray flipped = trusted;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x01);
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"one bit changed", flipped},
        {"cut short", trusted.left(trusted.size() - 10)},
        {"another program's file", QByteArray("{\"tracks\": []}")},
        {"empty", QByteArray()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(LibraryStore::load(LibraryStore::defaultFile() + u".x"_s).has_value());
        QFile target(LibraryStore::defaultFile());
        ASSERT_TRUE(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        target.write(c.bytes);
        target.close();
        EXPECT_FALSE(LibraryStore::load(LibraryStore::defaultFile()).has_value());
        auto model = restore();
        expectSameTracks(model->tracks(), imported);
    }
    (void)good;
}

// A cover of `side` pixels padded with a comment segment to 100 KB, as large
// as real covers are, so that it has a preview of its own.
QByteArray largeCover(int side, QColor colour)
{
    QByteArray jpeg = fixtures::encode(fixtures::solid(side, side, colour), "jpeg");
    const int room = 100 * 1024 - int(jpeg.size());
    QByteArray segment("\xFF\xFE", 2);
    segment += char((room + 2) >> 8);
    segment += char((room + 2) & 0xFF);
    segment += QByteArray(room, 'c');
    jpeg.insert(2, segment);
    return jpeg;
}

TEST_F(LibraryStoreTest, EmbeddedCoversComeBackAfterARestartWithoutTheirBytes)
{
    const QByteArray picture = largeCover(800, QColor(20, 160, 40));
    const QStringList files = {copy(u"tagged.mp3"_s, u"A/One/01 a.mp3"_s), copy(u"tagged.flac"_s, u"A/One/02 b.flac"_s),
                               copy(u"aac.m4a"_s, u"A/One/03 c.m4a"_s)};
    for (const QString &file : files)
        ASSERT_TRUE(fixtures::embedPicture(file, picture)) << file.toStdString();

    auto check = [&](const QList<Track> &tracks) {
        ASSERT_EQ(tracks.size(), 3);
        for (const Track &track : tracks) {
            SCOPED_TRACE(track.url.toStdString());
            ASSERT_TRUE(track.artwork.has_value());
            const Cover &cover = *track.artwork;
            // One cover for the three files, which holds none of their bytes.
            EXPECT_EQ(cover.address(), tracks.first().artwork->address());
            EXPECT_TRUE(cover.isEmbedded());
            EXPECT_FALSE(cover.isHeld());
            EXPECT_EQ(cover.facts().size, QSize(800, 800));
            EXPECT_EQ(cover.facts().format, QByteArray("jpeg"));
            EXPECT_FALSE(cover.facts().progressive);
            EXPECT_EQ(cover.facts().bytes, picture.size());
            EXPECT_LT(cover.preview().size(), picture.size() / 2);
            const QImage preview = fixtures::decode(cover.preview());
            EXPECT_EQ(preview.size(), QSize(Cover::previewSide, Cover::previewSide));
            EXPECT_TRUE(fixtures::near(preview.pixelColor(200, 200), QColor(20, 160, 40)));
            // The whole picture is read again from the track's own file.
            EXPECT_EQ(fixtures::coverBytes(track), picture);
            EXPECT_EQ(CoverSource::of(track).bytesFor(100), cover.preview());
            EXPECT_EQ(CoverSource::of(track).bytesFor(600), picture);
        }
    };
    auto model = makeModel();
    model->importURLs({dir.path() + u"/Music"_s}, false, false);
    ASSERT_TRUE(waitUntilIdle(*model));
    const QList<Track> imported = model->tracks();
    check(imported);
    model.reset();
    Defaults::flush();

    // The records keep the picture once, as its facts and preview.
    EXPECT_LT(QFileInfo(LibraryStore::defaultFile()).size(), picture.size() / 2);
    auto restored = restore();
    check(restored->tracks());
    expectSameTracks(restored->tracks(), imported);
}

TEST_F(LibraryStoreTest, RecordsOfTheEarlierFormatStillLoad)
{
    // The earlier format stored each distinct picture's whole bytes; its
    // covers are made again from them, and the records read as before.
    const QByteArray picture = largeCover(600, QColor(200, 40, 40));
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        QByteArray chunk;
        {
            QDataStream records(&chunk, QIODevice::WriteOnly);
            records.setVersion(QDataStream::Qt_6_4);
            for (int i = 0; i < 2; ++i) {
                Track track;
                track.url = u"/m/A/"_s + QString::number(i) + u".mp3"_s;
                track.title = u"Tytuł "_s + QString::number(i);
                track.hasEmbeddedArt = true;
                const AudioInfo &info = track.info;
                records << qint64(100 + i) << qint64(1'700'000'000'000'000'000LL) << track.url << track.title
                        << track.artist << track.album << track.bytes << track.hasEmbeddedArt << info.codec
                        << info.sampleRate << info.bitDepth << info.duration << info.bitrate << info.trackNumber
                        << info.discNumber << info.year << info.tags << qint32(i == 0 ? 0 : -1);
            }
        }
        out << quint32(2) << quint32(1) << picture << quint32(2) << quint32(1) << quint32(2) << chunk;
    }
    QDir().mkpath(QFileInfo(LibraryStore::defaultFile()).path());
    QFile file(LibraryStore::defaultFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("VONTARO-LIBRARY\n");
    file.write(payload);
    file.write(sha256::of(payload));
    file.close();

    bool current = true;
    const auto loaded = LibraryStore::load(LibraryStore::defaultFile(), &current);
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->size(), 2);
    // Worth writing again in the current format, which then reads as current.
    EXPECT_FALSE(current);
    const QString rewritten = dir.path() + u"/again.records"_s;
    ASSERT_TRUE(LibraryStore::save(rewritten, *loaded));
    const auto again = LibraryStore::load(rewritten, &current);
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(current);
    EXPECT_TRUE(LibraryStore::same(*again, *loaded));
    const LibraryStore::Record &first = loaded->value(u"/m/A/0.mp3"_s);
    EXPECT_EQ(first.track.title, u"Tytuł 0"_s);
    EXPECT_EQ(first.stamp, (LibraryStore::Stamp{100, 1'700'000'000'000'000'000LL}));
    ASSERT_TRUE(first.embedded.has_value());
    EXPECT_EQ(*first.embedded, Cover(picture));
    EXPECT_TRUE(first.embedded->isEmbedded());
    EXPECT_EQ(first.embedded->facts().size, QSize(600, 600));
    EXPECT_EQ(fixtures::decode(first.embedded->preview()).size(), QSize(Cover::previewSide, Cover::previewSide));
    EXPECT_FALSE(loaded->value(u"/m/A/1.mp3"_s).embedded.has_value());
}

TEST_F(LibraryStoreTest, RecordsRoundTripWithTheirPicturesOnce)
{
    LibraryStore::Records records;
    const QByteArray picture = fixtures::jpeg(40, 40) + QByteArray(100000, 'p');
    for (int i = 0; i < 3; ++i) {
        LibraryStore::Record record;
        record.stamp = {1000 + i, 1'700'000'000'123'456'789LL + i};
        record.track.url = u"/m/Żółć/"_s + QString::number(i) + u".flac"_s;
        record.track.title = u"Tytuł "_s + QString::number(i);
        record.track.artist = u"Wykonawca"_s;
        record.track.album = u"Album"_s;
        record.track.bytes = 1000 + i;
        record.track.hasEmbeddedArt = i < 2;
        record.track.info.codec = u"FLAC"_s;
        record.track.info.sampleRate = 96000;
        record.track.info.duration = 12.5 + i;
        record.track.info.tags = {{u"TITLE"_s, u"Tytuł"_s}};
        if (i < 2)
            record.embedded = picture;
        records.insert(record.track.url, record);
    }
    const QString file = dir.path() + u"/x/Library.records"_s;
    ASSERT_TRUE(LibraryStore::save(file, records));
    const auto loaded = LibraryStore::load(file);
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->size(), 3);
    for (const auto &record : records) {
        const LibraryStore::Record &back = loaded->value(record.track.url);
        EXPECT_EQ(back.stamp, record.stamp);
        EXPECT_EQ(back.track.title, record.track.title);
        EXPECT_EQ(back.track.info, record.track.info);
        EXPECT_EQ(back.track.hasEmbeddedArt, record.track.hasEmbeddedArt);
        EXPECT_EQ(back.embedded, record.embedded);
    }
    // The picture shared by two records is stored once.
    EXPECT_LT(QFileInfo(file).size(), 2 * picture.size());
}

TEST_F(LibraryStoreTest, ManyRecordsRoundTripThroughSeveralChunks)
{
    // Records are written in chunks that are read on several threads: every
    // record comes back whole, whichever chunk held it, the last one short.
    for (const int count : {0, 1, 2048, 5001}) {
        SCOPED_TRACE(count);
        LibraryStore::Records records;
        for (int i = 0; i < count; ++i) {
            LibraryStore::Record record;
            record.stamp = {i, 1'700'000'000'000'000'000LL + i};
            record.track.url = u"/m/Album %1/%2.mp3"_s.arg(i / 10).arg(i);
            record.track.title = u"Tytuł %1"_s.arg(i);
            record.track.info.trackNumber = i % 10 + 1;
            record.track.info.tags = {{u"TITLE"_s, record.track.title}, {u"N"_s, QString::number(i)}};
            if (i % 7 == 0)
                record.embedded = QByteArray(1 + i % 3, char('a' + i % 3));
            records.insert(record.track.url, record);
        }
        const QString file = dir.path() + u"/many.records"_s;
        ASSERT_TRUE(LibraryStore::save(file, records));
        const auto loaded = LibraryStore::load(file);
        ASSERT_TRUE(loaded.has_value());
        ASSERT_EQ(loaded->size(), records.size());
        for (const auto &record : records) {
            const auto back = loaded->constFind(record.track.url);
            ASSERT_NE(back, loaded->constEnd()) << record.track.url.toStdString();
            EXPECT_EQ(back->stamp, record.stamp);
            EXPECT_EQ(back->track.title, record.track.title);
            EXPECT_EQ(back->track.info, record.track.info);
            EXPECT_EQ(back->embedded, record.embedded);
        }
    }
}

TEST_F(LibraryStoreTest, TagsComeBackWholeWithRecurringTextsHeldOnce)
{
    // Every tag comes back as it was (names in order, empty values, a value
    // equal to the title, artist or album); the texts that recur across the
    // records are held once, not once per track.
    LibraryStore::Records records;
    for (int i = 0; i < 40; ++i) {
        LibraryStore::Record record;
        record.stamp = {i, i};
        Track &t = record.track;
        t.url = u"/m/%1.flac"_s.arg(i);
        t.title = u"Tytuł %1"_s.arg(i);
        t.artist = u"Wykonawca %1"_s.arg(i % 3);
        t.album = i % 2 ? u"Płyta"_s : QString();
        t.info.codec = u"FLAC"_s;
        t.info.year = u"2001"_s;
        t.info.tags = {{u"ALBUM"_s, t.album},
                       {u"ALBUMARTIST"_s, t.artist},
                       {u"ARTIST"_s, t.artist},
                       {u"COMMENT"_s, QString()},
                       {u"TITLE"_s, t.title},
                       {u"TRACKNUMBER"_s, QString::number(i)},
                       {u"ZWYKŁY %1"_s.arg(i), u"Tytuł %1"_s.arg(i + 1)}};
        records.insert(t.url, record);
    }
    const QString file = dir.path() + u"/tags.records"_s;
    ASSERT_TRUE(LibraryStore::save(file, records));
    const auto loaded = LibraryStore::load(file);
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->size(), records.size());
    for (const auto &record : records) {
        SCOPED_TRACE(record.track.url.toStdString());
        const LibraryStore::Record &back = loaded->value(record.track.url);
        EXPECT_EQ(back.track.info, record.track.info);
        EXPECT_EQ(back.track.info.tags.keys(), record.track.info.tags.keys());
        EXPECT_TRUE(back.track.info.tags.value(u"TITLE"_s).isSharedWith(back.track.title));
        EXPECT_TRUE(back.track.info.tags.value(u"ARTIST"_s).isSharedWith(back.track.artist));
    }
    const Track &a = loaded->value(u"/m/1.flac"_s).track;
    const Track &b = loaded->value(u"/m/2.flac"_s).track;
    EXPECT_TRUE(a.info.codec.isSharedWith(b.info.codec));
    EXPECT_TRUE(a.info.year.isSharedWith(b.info.year));
    EXPECT_TRUE(a.info.tags.firstKey().isSharedWith(b.info.tags.firstKey()));
}

// One record as the current format stores it, its tags' count given apart
// from the one tag that follows it.
QByteArray recordBytes(quint32 tagsClaimed)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << qint64(12) << qint64(34) << u"/m/Żółć.flac"_s << u""_s << u"Wykonawca"_s << QString() << qint64(5) << true
        << u"FLAC"_s << qint64(96000) << qint64(24) << 1.25 << qint64(900) << qint64(3) << qint64(1) << u"1999"_s;
    out << tagsClaimed << u"ARTIST"_s << u"Wykonawca"_s;
    out << qint32(-1) << qint64(0) << qint32(-1) << qint64(0) << qint64(0);
    return bytes;
}

TEST_F(LibraryStoreTest, RecordsThatAreNotWhatTheySayAreNotUsedThoughTheDigestHolds)
{
    const QByteArray whole = recordBytes(1);
    QByteArray oddText = whole;
    oddText[19] = char(oddText[19] | 1); // the path's byte count
    const struct {
        const char *name;
        QByteArray chunk;
        quint32 count;
        bool loads;
    } cases[] = {
        {"whole", whole, 1, true},
        {"one record more than the chunk holds", whole, 2, false},
        {"a stray byte after the records", whole + 'x', 1, false},
        {"cut inside a text", whole.left(30), 1, false},
        {"a text of an odd byte count", oddText, 1, false},
        {"more tags than it holds", recordBytes(2), 1, false},
    };
    const QString path = dir.path() + u"/made.records"_s;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray payload;
        {
            QDataStream out(&payload, QIODevice::WriteOnly);
            out.setVersion(QDataStream::Qt_6_4);
            out << quint32(4) << quint32(0) << c.count << quint32(1) << c.count << c.chunk;
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("VONTARO-LIBRARY\n");
        file.write(payload);
        file.write(sha256::of(payload));
        file.close();
        const auto loaded = LibraryStore::load(path);
        ASSERT_EQ(loaded.has_value(), c.loads);
        if (!loaded)
            continue;
        ASSERT_EQ(loaded->size(), 1);
        const LibraryStore::Record &record = *loaded->cbegin();
        EXPECT_EQ(record.stamp, (LibraryStore::Stamp{12, 34}));
        const Track &t = record.track;
        EXPECT_EQ(t.url, u"/m/Żółć.flac"_s);
        // As a stream reads them: an empty text is empty, a null one null.
        EXPECT_TRUE(t.title.isEmpty());
        EXPECT_FALSE(t.title.isNull());
        EXPECT_TRUE(t.album.isNull());
        EXPECT_EQ(t.artist, u"Wykonawca"_s);
        EXPECT_EQ(t.bytes, 5);
        EXPECT_TRUE(t.hasEmbeddedArt);
        EXPECT_EQ(t.info.codec, u"FLAC"_s);
        EXPECT_EQ(t.info.sampleRate, 96000);
        EXPECT_EQ(t.info.bitDepth, 24);
        EXPECT_EQ(t.info.duration, 1.25);
        EXPECT_EQ(t.info.bitrate, 900);
        EXPECT_EQ(t.info.trackNumber, 3);
        EXPECT_EQ(t.info.discNumber, 1);
        EXPECT_EQ(t.info.year, u"1999"_s);
        EXPECT_EQ(t.info.tags, (QMap<QString, QString>{{u"ARTIST"_s, u"Wykonawca"_s}}));
        EXPECT_FALSE(record.embedded.has_value());
        EXPECT_FALSE(record.cover.has_value());
    }
}

// What the model saves: the records of the library's paths alone, each once,
// whatever else the table holds.
TEST_F(LibraryStoreTest, SavingByPathKeepsOnlyThoseRecordsOnce)
{
    LibraryStore::Records records;
    for (int i = 0; i < 3000; ++i) {
        LibraryStore::Record record;
        record.stamp = {i, i};
        record.track.url = u"/m/%1.flac"_s.arg(i);
        record.track.title = u"Tytuł %1"_s.arg(i);
        records.insert(record.track.url, record);
    }
    QStringList paths;
    for (int i = 2999; i >= 0; i -= 2)
        paths.append(u"/m/%1.flac"_s.arg(i));
    paths.append(u"/m/1.flac"_s);       // twice
    paths.append(u"/m/nie ma.flac"_s); // no record
    const QString file = dir.path() + u"/paths.records"_s;
    ASSERT_TRUE(LibraryStore::save(file, records, paths));
    const auto loaded = LibraryStore::load(file);
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->size(), 1500);
    for (int i = 1; i < 3000; i += 2) {
        const auto back = loaded->constFind(u"/m/%1.flac"_s.arg(i));
        ASSERT_NE(back, loaded->constEnd()) << i;
        EXPECT_EQ(back->track.title, u"Tytuł %1"_s.arg(i));
        EXPECT_EQ(back->stamp, (LibraryStore::Stamp{i, i}));
    }
}

} // namespace
