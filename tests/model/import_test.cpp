#include "model/importscan.h"
#include "model/tavomodel.h"
#include "modeltesting.h"

#include "platform/defaults.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"
#include "support/coverbytes.h"
#include "support/embedpicture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>
#include <sys/stat.h>

#include <flacfile.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>
#include <xiphcomment.h>

namespace {

QString testAudio(const QString &name)
{
    return QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + name;
}

QString corpusAudio(const QString &name)
{
    return QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/audio/") + name;
}

// Copies a fixture to `target`, making the folders on the way.
QString copyTo(const QString &source, const QString &target)
{
    QDir().mkpath(QFileInfo(target).path());
    EXPECT_TRUE(QFile::copy(source, target)) << target.toStdString();
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TagLib::String tagString(const QString &s)
{
    return TagLib::String(s.toStdString(), TagLib::String::UTF8);
}

// An MP3 with no tags at all.
QString untaggedMp3(const QString &target)
{
    copyTo(testAudio(u"tagged.mp3"_s), target);
    TagLib::MPEG::File file(QFile::encodeName(target).constData());
    EXPECT_TRUE(file.strip(TagLib::MPEG::File::AllTags));
    return target;
}

// Untagged MP3 carrying exactly the given ID3v2 text frames, in order.
QString mp3WithFrames(const QString &target, const QList<std::pair<QByteArray, QString>> &frames)
{
    untaggedMp3(target);
    TagLib::MPEG::File file(QFile::encodeName(target).constData());
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    for (const auto &[id, value] : frames) {
        auto *frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(id.constData(), uint(id.size())),
                                                                  TagLib::String::UTF8);
        frame->setText(tagString(value));
        tag->addFrame(frame);
    }
    EXPECT_TRUE(file.save(TagLib::MPEG::File::ID3v2));
    return target;
}

std::unique_ptr<TavoModel> importAndWait(const QStringList &urls, bool fromDevice = false, bool enqueue = true)
{
    auto model = makeModel();
    model->importURLs(urls, fromDevice, enqueue);
    EXPECT_TRUE(waitUntilIdle(*model));
    return model;
}

const Track *trackNamed(const TavoModel &model, const QString &fileName)
{
    for (const Track &track : model.tracks()) {
        if (QFileInfo(track.url).fileName() == fileName)
            return &track;
    }
    return nullptr;
}

class ImportTest : public ModelTest
{
protected:
    QTemporaryDir dir;
    QString root() const { return dir.path(); }
};

TEST_F(ImportTest, ImportWhileBusyChangesNothing)
{
    const QString file = untaggedMp3(root() + u"/A/B/01 a.mp3"_s);
    auto model = makeModel();
    model->setBusy(true);
    model->setStatus(u"Kopiuję"_s);
    model->importURLs({file}, false, true);
    EXPECT_EQ(model->status(), u"Kopiuję"_s);
    EXPECT_EQ(model->progress(), 0);
    QEventLoop loop;
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(model->tracks().isEmpty());
    EXPECT_EQ(model->status(), u"Kopiuję"_s);
    EXPECT_FALSE(Defaults::contains(u"libraryPaths"_s));
}

TEST_F(ImportTest, ProgressIsPostedForEveryTwentiethFileThenTheCount)
{
    const QString album = root() + u"/Artist/Album"_s;
    const QString first = untaggedMp3(album + u"/01.mp3"_s);
    for (int i = 2; i <= 45; ++i)
        copyTo(first, album + QString::asprintf("/%02d.mp3", i));

    auto model = makeModel();
    QStringList statuses;
    QObject::connect(model.get(), &TavoModel::statusChanged, [&] { statuses.append(model->status()); });
    model->importURLs({album}, false, true);
    ASSERT_TRUE(waitUntilIdle(*model));

    const QStringList expected = {u"Odczytuję albumy…"_s, u"Odczytuję utwory: 1 / 45"_s, u"Odczytuję utwory: 21 / 45"_s,
                                  u"Odczytuję utwory: 41 / 45"_s, u"Odczytano utwory: 45"_s};
    EXPECT_EQ(statuses, expected);
    EXPECT_DOUBLE_EQ(model->progress(), 41.0 / 45.0);
    ASSERT_EQ(model->tracks().size(), 45);
    // Read in Finder order of the paths.
    EXPECT_EQ(QFileInfo(model->tracks().first().url).fileName(), u"01.mp3"_s);
    EXPECT_EQ(QFileInfo(model->tracks().last().url).fileName(), u"45.mp3"_s);
    EXPECT_EQ(model->queued().size(), 45);
}

TEST_F(ImportTest, KnownFilesArePassedOverWithoutProgress)
{
    const QString album = root() + u"/Artist/Album"_s;
    const QString first = untaggedMp3(album + u"/01.mp3"_s);
    QStringList firstTwenty = {first};
    for (int i = 2; i <= 45; ++i) {
        const QString path = copyTo(first, album + QString::asprintf("/%02d.mp3", i));
        if (i <= 20)
            firstTwenty.append(path);
    }
    auto model = makeModel();
    model->importURLs(firstTwenty, false, false);
    ASSERT_TRUE(waitUntilIdle(*model));

    QStringList statuses;
    QObject::connect(model.get(), &TavoModel::statusChanged, [&] { statuses.append(model->status()); });
    model->importURLs({album}, false, false);
    ASSERT_TRUE(waitUntilIdle(*model));
    const QStringList expected = {u"Odczytuję albumy…"_s, u"Odczytuję utwory: 21 / 45"_s, u"Odczytuję utwory: 41 / 45"_s,
                                  u"Odczytano utwory: 25"_s};
    EXPECT_EQ(statuses, expected);
    EXPECT_EQ(model->tracks().size(), 45);
}

TEST_F(ImportTest, ReimportFindsNothingNewAndStillFinishes)
{
    const QString file = untaggedMp3(root() + u"/Artist/Album/01 a.mp3"_s);
    auto model = importAndWait({root()});
    ASSERT_EQ(model->tracks().size(), 1);
    const QStringList saved = Defaults::stringList(u"libraryPaths"_s).value_or(QStringList());
    EXPECT_EQ(saved, QStringList{file});

    model->setLibraryOnDevice(true);
    model->setDuplicateIssues({QualityIssue{u"Duplikaty"_s, u"x"_s, u"y"_s, {}}});
    model->setDuplicateStatus(u"Znaleziono"_s);
    model->setQueued({});
    model->importURLs({root(), file}, false, true);
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), u"Nie znaleziono nowych plików audio"_s);
    EXPECT_EQ(model->tracks().size(), 1);
    EXPECT_TRUE(model->queued().isEmpty());
    EXPECT_FALSE(model->libraryOnDevice());
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
    EXPECT_EQ(model->duplicateStatus(), u"Duplikaty nie zostały jeszcze sprawdzone."_s);
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), saved);
}

TEST_F(ImportTest, AFileReachedTwiceBecomesOneTrack)
{
    const QString folder = root() + u"/Artist/Album"_s;
    const QString file = untaggedMp3(folder + u"/01 a.mp3"_s);
    // The folder, a file inside it, the folder again and a non-standard spelling of the file.
    auto model = importAndWait({folder, file, folder, folder + u"/./../Album/01 a.mp3"_s});
    ASSERT_EQ(model->tracks().size(), 1);
    EXPECT_EQ(model->status(), u"Odczytano utwory: 1"_s);
}

TEST_F(ImportTest, UntaggedFilesTakeTheirNamesFromTheFolders)
{
    struct Case {
        QString relative;
        QString title, artist, album;
        qint64 track;
    };
    const Case cases[] = {
        {u"Artist/Album/CD 2/03 Song.mp3"_s, u"03 Song"_s, u"Artist"_s, u"CD 2"_s, 3},
        {u"Artist/Album/03 Song.mp3"_s, u"03 Song"_s, u"Artist"_s, u"Album"_s, 3},
        {u"Other/Record/Intro 07.mp3"_s, u"Intro 07"_s, u"Other"_s, u"Record"_s, 0},
        {u"Other/Record/2024.MP3"_s, u"2024"_s, u"Other"_s, u"Record"_s, 2024},
    };
    QStringList files;
    for (const Case &c : cases)
        files.append(untaggedMp3(root() + u'/' + c.relative));
    auto model = importAndWait(files);
    ASSERT_EQ(model->tracks().size(), qsizetype(std::size(cases)));
    for (const Case &c : cases) {
        const Track *track = nullptr;
        for (const Track &t : model->tracks())
            if (t.url == root() + u'/' + c.relative)
                track = &t;
        ASSERT_NE(track, nullptr) << c.relative.toStdString();
        EXPECT_EQ(track->title, c.title);
        EXPECT_EQ(track->artist, c.artist);
        EXPECT_EQ(track->album, c.album);
        EXPECT_EQ(track->info.trackNumber, c.track);
        EXPECT_EQ(track->info.discNumber, 0);
        EXPECT_TRUE(track->info.tags.isEmpty());
        EXPECT_FALSE(track->hasEmbeddedArt);
        EXPECT_FALSE(track->artwork.has_value());
        EXPECT_EQ(track->bytes, QFileInfo(track->url).size());
    }
}

TEST_F(ImportTest, FlacWithALeadingId3TagKeepsItsTags)
{
    const QString plain = copyTo(testAudio(u"tagged.flac"_s), root() + u"/A/Plain/01 plain.flac"_s);
    QFile source(plain);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    // An ID3v2.3 tag of 30 bytes (one title frame and padding) ahead of the stream.
    QByteArray id3("ID3\x03\x00\x00\x00\x00\x00\x1e", 10);
    id3 += QByteArray("TIT2\x00\x00\x00\x05\x00\x00\x00ID3!", 15) + QByteArray(15, '\0');
    const QString prefixed = root() + u"/A/Prefixed/01 prefixed.flac"_s;
    writeFile(prefixed, id3 + source.readAll());

    auto model = importAndWait({plain, prefixed});
    const Track *a = trackNamed(*model, u"01 plain.flac"_s);
    const Track *b = trackNamed(*model, u"01 prefixed.flac"_s);
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(a->info.tags.isEmpty());
    EXPECT_EQ(b->info.tags, a->info.tags);
    EXPECT_EQ(b->title, a->title);
    EXPECT_EQ(b->artist, a->artist);
    EXPECT_EQ(b->album, a->album);
    EXPECT_EQ(b->info.sampleRate, a->info.sampleRate);
    EXPECT_EQ(b->info.codec, u"FLAC"_s);
}

TEST_F(ImportTest, ACoverIsHeldOncePerImageFile)
{
    // Two albums with a folder cover each, one track with its own picture beside it.
    const QByteArray first = fixtures::jpeg(21, 21);
    const QByteArray second = fixtures::jpeg(22, 22);
    const QByteArray own = fixtures::jpeg(23, 23);
    QStringList files;
    for (int i = 1; i <= 4; ++i)
        files.append(untaggedMp3(root() + QString::asprintf("/A/One/%02d.mp3", i)));
    for (int i = 1; i <= 3; ++i)
        files.append(untaggedMp3(root() + QString::asprintf("/A/Two/%02d.mp3", i)));
    writeFile(root() + u"/A/One/cover.jpg"_s, first);
    writeFile(root() + u"/A/Two/folder.jpg"_s, second);
    writeFile(root() + u"/A/Two/02.jpeg"_s, own);
    auto model = importAndWait({root()});
    ASSERT_EQ(model->tracks().size(), 7);

    QHash<QByteArray, const void *> storage; // contents → the one cover made of them
    for (const Track &track : model->tracks()) {
        ASSERT_TRUE(track.artwork.has_value()) << track.url.toStdString();
        const QString name = QFileInfo(track.url).fileName();
        const bool inOne = track.url.contains(u"/One/"_s);
        const QByteArray &expected = inOne ? first : name == u"02.mp3"_s ? own : second;
        EXPECT_EQ(fixtures::coverBytes(track), expected) << track.url.toStdString();
        // Every track of a cover file shares one cover, not a copy of it,
        // and the cover names its file rather than holding the bytes.
        EXPECT_FALSE(track.artwork->isHeld());
        EXPECT_FALSE(track.artwork->file().isEmpty());
        const auto known = storage.constFind(expected);
        if (known == storage.constEnd())
            storage.insert(expected, track.artwork->address());
        else
            EXPECT_EQ(*known, track.artwork->address()) << track.url.toStdString();
    }
    EXPECT_EQ(storage.size(), 3);
}

TEST_F(ImportTest, AlbumsWithLargeCoversShareOneCoverEachAndKeepTheirOrder)
{
    // Covers large enough to have previews of their own, the tracks of each
    // album read at once by several threads: each album's tracks share its one
    // cover, whichever thread made it, in the order of their files.
    struct Case {
        const char *name;
        bool embedded; // in every track, else the folder's cover.jpg
    };
    for (const Case &c : {Case{"embedded", true}, Case{"cover file", false}}) {
        SCOPED_TRACE(c.name);
        QTemporaryDir here;
        constexpr int albums = 6;
        constexpr int perAlbum = 8;
        QStringList expected;
        QList<QByteArray> pictures;
        for (int a = 0; a < albums; ++a) {
            const QImage image = fixtures::solid(1024, 1024, QColor(30 * a, 200 - 20 * a, 90));
            pictures.append(fixtures::paddedTo(fixtures::encode(image, "jpeg"), 100 * 1024 + a));
            const QString folder = here.path() + QString::asprintf("/Band/Album %d", a);
            for (int t = 1; t <= perAlbum; ++t) {
                const QString file = untaggedMp3(folder + QString::asprintf("/%02d song.mp3", t));
                if (c.embedded) {
                    ASSERT_TRUE(fixtures::embedPicture(file, pictures.last()));
                }
                expected.append(file);
            }
            if (!c.embedded)
                writeFile(folder + u"/cover.jpg"_s, pictures.last());
        }
        auto model = importAndWait({here.path()});
        ASSERT_EQ(model->tracks().size(), expected.size());
        QSet<const void *> covers;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const Track &track = model->tracks().at(i);
            const Track &first = model->tracks().at(i - i % perAlbum);
            SCOPED_TRACE(track.url.toStdString());
            EXPECT_EQ(track.url, expected.at(i));
            ASSERT_TRUE(track.artwork.has_value());
            EXPECT_EQ(track.artwork->isEmbedded(), c.embedded);
            EXPECT_FALSE(track.artwork->previewIsWhole());
            EXPECT_FALSE(track.artwork->preview().isEmpty());
            EXPECT_EQ(track.artwork->facts().size, QSize(1024, 1024));
            EXPECT_EQ(track.artwork->address(), first.artwork->address());
            covers.insert(track.artwork->address());
            if (i % perAlbum == 0) {
                EXPECT_EQ(fixtures::coverBytes(track), pictures.at(i / perAlbum));
            }
        }
        EXPECT_EQ(covers.size(), albums);
    }
}

TEST_F(ImportTest, ManyFilesKeepTheirOrderAndTheirOwnData)
{
    // Enough files for several threads and batches: every track still belongs
    // to its own file, in Finder order.
    QStringList expected;
    for (int i = 0; i < 700; ++i) {
        const QString file = root() + QString::asprintf("/Band/Album %d/%d song.mp3", i / 50, i % 50 + 1);
        untaggedMp3(file);
        expected.append(file);
    }
    auto model = importAndWait({root()});
    ASSERT_EQ(model->tracks().size(), 700);
    QStringList urls;
    QSet<QUuid> ids;
    for (const Track &track : model->tracks()) {
        urls.append(track.url);
        // Each track its own random id, a well-formed one.
        EXPECT_EQ(track.id.version(), QUuid::Random);
        EXPECT_EQ(track.id.variant(), QUuid::DCE);
        ids.insert(track.id);
        EXPECT_EQ(track.title, QFileInfo(track.url).completeBaseName());
        EXPECT_EQ(track.info.trackNumber, QFileInfo(track.url).fileName().section(u' ', 0, 0).toLongLong());
        EXPECT_EQ(track.album, QFileInfo(track.url).dir().dirName());
    }
    // Finder order: album 2 before album 10, song 2 before song 10.
    QStringList sorted = urls;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        const QString albumA = QFileInfo(a).dir().dirName(), albumB = QFileInfo(b).dir().dirName();
        const int na = albumA.section(u' ', 1).toInt(), nb = albumB.section(u' ', 1).toInt();
        if (na != nb)
            return na < nb;
        return QFileInfo(a).fileName().section(u' ', 0, 0).toInt() < QFileInfo(b).fileName().section(u' ', 0, 0).toInt();
    });
    EXPECT_EQ(urls, sorted);
    EXPECT_EQ(ids.size(), 700);
    QStringList all = urls;
    all.sort();
    expected.sort();
    EXPECT_EQ(all, expected);
}

TEST_F(ImportTest, Id3FramesFillNumbersYearAndAlbumArtist)
{
    struct Case {
        const char *name;
        QList<std::pair<QByteArray, QString>> frames;
        QString artist;
        qint64 track, disc;
        QString year;
    };
    const Case cases[] = {
        {"album artist wins", {{"TPE1", u"Solo"_s}, {"TPE2", u"Band"_s}}, u"Band"_s, 0, 0, QString()},
        {"empty album artist", {{"TPE1", u"Solo"_s}, {"TPE2", QString()}}, QString(), 0, 0, QString()},
        {"artist only", {{"TPE1", u"Solo"_s}}, u"Solo"_s, 0, 0, QString()},
        {"disc one of two", {{"TPOS", u"1/2"_s}}, u"Artist"_s, 0, 1, QString()},
        {"disc x", {{"TPOS", u"x"_s}}, u"Artist"_s, 0, 0, QString()},
        {"disc slash three", {{"TPOS", u"/3"_s}}, u"Artist"_s, 0, 3, QString()},
        {"track four of ten", {{"TRCK", u"4/10"_s}}, u"Artist"_s, 4, 0, QString()},
        {"track x", {{"TRCK", u"x"_s}}, u"Artist"_s, 0, 0, QString()},
        // A later value that is not a number sets the disc to 0 but leaves the
        // track number as the earlier value made it (the leading 9 of the file
        // name would show if it were reset).
        {"09 disc 2 then x", {{"TPOS", u"2"_s}, {"TPOS", u"x"_s}}, u"Artist"_s, 9, 0, QString()},
        {"09 track 4 then x", {{"TRCK", u"4"_s}, {"TRCK", u"x"_s}}, u"Artist"_s, 4, 0, QString()},
        {"09 disc 2 then 3", {{"TPOS", u"2"_s}, {"TPOS", u"3/4"_s}}, u"Artist"_s, 9, 3, QString()},
        {"year", {{"TDRC", u"2003-05-12"_s}}, u"Artist"_s, 0, 0, u"2003"_s},
        {"short year", {{"TDRC", u"99"_s}}, u"Artist"_s, 0, 0, u"99"_s},
    };
    QStringList files;
    for (const Case &c : cases)
        files.append(mp3WithFrames(root() + u"/Artist/Album/"_s + QString::fromLatin1(c.name) + u".mp3"_s, c.frames));
    auto model = importAndWait(files);
    for (const Case &c : cases) {
        const Track *track = trackNamed(*model, QString::fromLatin1(c.name) + u".mp3"_s);
        ASSERT_NE(track, nullptr) << c.name;
        EXPECT_EQ(track->artist, c.artist) << c.name;
        EXPECT_EQ(track->info.trackNumber, c.track) << c.name;
        EXPECT_EQ(track->info.discNumber, c.disc) << c.name;
        EXPECT_EQ(track->info.year, c.year) << c.name;
    }
}

TEST_F(ImportTest, TitleItemsDecideTheTitle)
{
    const QString empty = mp3WithFrames(root() + u"/A/B/05 empty.mp3"_s, {{"TIT2", QString()}});
    const QString named = mp3WithFrames(root() + u"/A/B/06 named.mp3"_s, {{"TIT2", u"Name"_s}, {"TRCK", u"9"_s}});
    auto model = importAndWait({empty, named});
    const Track *first = trackNamed(*model, u"05 empty.mp3"_s);
    const Track *second = trackNamed(*model, u"06 named.mp3"_s);
    ASSERT_TRUE(first && second);
    // An empty title item gives an empty title, not the file name, and no tag.
    EXPECT_FALSE(first->info.tags.contains(u"TITLE"_s));
    EXPECT_TRUE(first->title.isEmpty());
    EXPECT_EQ(first->info.trackNumber, 5);
    EXPECT_EQ(second->title, u"Name"_s);
    EXPECT_EQ(second->info.tags.value(u"TITLE"_s), u"Name"_s);
    EXPECT_EQ(second->info.trackNumber, 9);
}

TEST_F(ImportTest, FlacTagsComeFromTheFlacReaderAndAlbumArtistWins)
{
    const QString flac = copyTo(testAudio(u"tagged.flac"_s), root() + u"/X/Y/01 flac.flac"_s);
    {
        TagLib::FLAC::File file(QFile::encodeName(flac).constData());
        TagLib::Ogg::XiphComment *comment = file.xiphComment(true);
        comment->addField("ARTIST", tagString(u"Wykonawca"_s), true);
        comment->addField("ALBUMARTIST", tagString(u"Zespół"_s), true);
        ASSERT_TRUE(file.save());
    }
    auto model = importAndWait({flac});
    ASSERT_EQ(model->tracks().size(), 1);
    const Track &track = model->tracks().first();
    EXPECT_EQ(track.artist, u"Zespół"_s);
    EXPECT_EQ(track.title, u"Tytuł"_s);
    EXPECT_EQ(track.album, u"Album"_s);
    EXPECT_EQ(track.info.trackNumber, 4);
    EXPECT_EQ(track.info.discNumber, 2);
    EXPECT_EQ(track.info.year, u"2011"_s);
    // The embedded picture moves to the artwork and leaves the record.
    EXPECT_TRUE(track.hasEmbeddedArt);
    EXPECT_TRUE(track.artwork.has_value());
    EXPECT_FALSE(track.info.picture.has_value());
}

TEST_F(ImportTest, MpegBytesNamedFlacGetNamesFromTheFolders)
{
    // The metadata items are never asked for a ".flac" file, even when our reader refuses it.
    const QString fake = copyTo(testAudio(u"tagged.mp3"_s), root() + u"/Band/Live/02 fake.flac"_s);
    auto model = importAndWait({fake});
    ASSERT_EQ(model->tracks().size(), 1);
    const Track &track = model->tracks().first();
    EXPECT_EQ(track.title, u"02 fake"_s);
    EXPECT_EQ(track.artist, u"Band"_s);
    EXPECT_EQ(track.album, u"Live"_s);
    EXPECT_EQ(track.info.trackNumber, 2);
    EXPECT_FALSE(track.hasEmbeddedArt);
}

TEST_F(ImportTest, OtherFormatsYieldTheirTags)
{
    struct Case {
        QString source;
        QString title, artist, album;
        qint64 track, disc;
        QString year;
    };
    const Case cases[] = {
        {testAudio(u"tagged.mp3"_s), u"Tytuł"_s, u"Album Artist"_s, u"Album"_s, 4, 2, u"2011"_s},
        {testAudio(u"vorbis.ogg"_s), u"Tytuł"_s, u"Album Artist"_s, u"Album"_s, 4, 2, u"2011"_s},
        {testAudio(u"opus.opus"_s), u"Tytuł"_s, u"Album Artist"_s, u"Album"_s, 4, 2, u"2011"_s},
        {corpusAudio(u"full.m4a"_s), u"full"_s, u"the album artist"_s, u"the album"_s, 2, 4, u"2001"_s},
        {corpusAudio(u"full.ogg"_s), u"full"_s, u"the artist"_s, u"the album"_s, 2, 4, u"2001"_s},
        {corpusAudio(u"full.opus"_s), u"full"_s, u"the artist"_s, u"the album"_s, 2, 4, u"2001"_s},
        {corpusAudio(u"date.mp3"_s), u"full"_s, u"the album artist"_s, u"the album"_s, 2, 4, u"1987"_s},
    };
    QStringList files;
    for (qsizetype i = 0; i < qsizetype(std::size(cases)); ++i)
        files.append(copyTo(cases[i].source, root() + u"/F/G/"_s + QString::number(i) + u'_' +
                                                 QFileInfo(cases[i].source).fileName()));
    auto model = importAndWait(files);
    for (qsizetype i = 0; i < qsizetype(std::size(cases)); ++i) {
        const Case &c = cases[i];
        const Track *track = trackNamed(*model, QFileInfo(files[i]).fileName());
        ASSERT_NE(track, nullptr) << c.source.toStdString();
        SCOPED_TRACE(c.source.toStdString());
        EXPECT_EQ(track->title, c.title);
        EXPECT_EQ(track->artist, c.artist);
        EXPECT_EQ(track->album, c.album);
        EXPECT_EQ(track->info.trackNumber, c.track);
        EXPECT_EQ(track->info.discNumber, c.disc);
        EXPECT_EQ(track->info.year, c.year);
        EXPECT_EQ(track->info.tags.value(u"TITLE"_s), c.title);
        EXPECT_EQ(track->info.tags.value(u"ALBUM"_s), c.album);
    }
}

TEST_F(ImportTest, CoverComesFromTheFirstSourceThatHasOne)
{
    const QByteArray overrideImage = fixtures::jpeg(10, 10);
    const QByteArray besideJpeg = fixtures::jpeg(11, 11);
    const QByteArray besideJpg = fixtures::jpeg(12, 12);
    const QByteArray folderJpg = fixtures::jpeg(13, 13);
    const QByteArray folderPng = fixtures::encode(fixtures::solid(14, 14), "png");

    // Each album folder holds one track with a different set of sources.
    const QString embeddedOnly = copyTo(testAudio(u"tagged.mp3"_s), root() + u"/A/Embedded/t.mp3"_s);
    writeFile(root() + u"/A/Embedded/cover.jpg"_s, folderJpg);

    const QString besideWins = copyTo(testAudio(u"tagged.mp3"_s), root() + u"/A/Beside/t.mp3"_s);
    writeFile(root() + u"/A/Beside/t.jpg"_s, besideJpg);

    const QString jpegFirst = untaggedMp3(root() + u"/A/Both/t.mp3"_s);
    writeFile(root() + u"/A/Both/t.jpeg"_s, besideJpeg);
    writeFile(root() + u"/A/Both/t.jpg"_s, besideJpg);

    const QString overridden = copyTo(testAudio(u"tagged.mp3"_s), root() + u"/A/Override/t.mp3"_s);
    writeFile(root() + u"/A/Override/t.jpeg"_s, besideJpeg);
    writeFile(root() + u"/covers/chosen.jpg"_s, overrideImage);

    const QString bigCover = untaggedMp3(root() + u"/A/Big/t.mp3"_s);
    writeFile(root() + u"/A/Big/cover.jpg"_s, QByteArray(12'000'000, 'x'));
    writeFile(root() + u"/A/Big/folder.png"_s, folderPng);

    const QString atLimit = untaggedMp3(root() + u"/A/Limit/t.mp3"_s);
    writeFile(root() + u"/A/Limit/cover.jpeg"_s, QByteArray(10'000'000, 'x'));
    writeFile(root() + u"/A/Limit/cover.jpg"_s, QByteArray(9'999'999, 'y'));

    const QString none = untaggedMp3(root() + u"/A/None/t.mp3"_s);

    // The override key: resolved artist, album and the track's folder.
    Defaults::setStringMap(u"artworkOverrides"_s,
                           {{u"Album Artist"_s + QChar(u'\0') + u"Album"_s + QChar(u'\0') + root() + u"/A/Override"_s,
                             root() + u"/covers/chosen.jpg"_s}});

    auto model = importAndWait({root() + u"/A"_s});
    auto find = [&](const QString &path) -> const Track & {
        for (const Track &t : model->tracks())
            if (t.url == path)
                return t;
        ADD_FAILURE() << path.toStdString();
        static Track missing;
        return missing;
    };

    const Track &embedded = find(embeddedOnly);
    EXPECT_TRUE(embedded.hasEmbeddedArt);
    ASSERT_TRUE(embedded.artwork.has_value());
    EXPECT_NE(fixtures::coverBytes(embedded), folderJpg);
    EXPECT_FALSE(embedded.info.picture.has_value());

    const Track &beside = find(besideWins);
    EXPECT_TRUE(beside.hasEmbeddedArt);
    EXPECT_EQ(beside.artwork, besideJpg);

    EXPECT_EQ(find(jpegFirst).artwork, besideJpeg);
    EXPECT_FALSE(find(jpegFirst).hasEmbeddedArt);

    EXPECT_EQ(find(overridden).artwork, overrideImage);
    EXPECT_TRUE(find(overridden).hasEmbeddedArt);

    EXPECT_EQ(find(bigCover).artwork, folderPng);
    EXPECT_EQ(find(atLimit).artwork, QByteArray(9'999'999, 'y'));
    EXPECT_FALSE(find(none).artwork.has_value());
}

TEST_F(ImportTest, OnlyRegularSmallFilesServeAsCovers)
{
    // An override that is a folder or too big, and a folder or FIFO named like the
    // image beside the track, are passed over; the folder's cover file is taken.
    const QByteArray folderJpg = fixtures::jpeg(13, 13);
    const QString first = untaggedMp3(root() + u"/A/One/t.mp3"_s);
    QDir().mkpath(root() + u"/A/One/t.jpeg"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(root() + u"/A/One/t.jpg"_s).constData(), 0644), 0);
    writeFile(root() + u"/A/One/cover.jpg"_s, folderJpg);

    const QString second = untaggedMp3(root() + u"/A/Two/t.mp3"_s);
    writeFile(root() + u"/A/Two/cover.jpg"_s, folderJpg);
    writeFile(root() + u"/huge.jpg"_s, QByteArray(10'000'000, 'x'));
    ASSERT_EQ(::mkfifo(QFile::encodeName(root() + u"/A/Two/cover.jpeg"_s).constData(), 0644), 0);

    const QString nul = QString(QChar(u'\0'));
    Defaults::setStringMap(u"artworkOverrides"_s, {{u"A"_s + nul + u"One"_s + nul + root() + u"/A/One"_s, root()},
                                                   {u"A"_s + nul + u"Two"_s + nul + root() + u"/A/Two"_s,
                                                    root() + u"/huge.jpg"_s}});
    auto model = importAndWait({first, second});
    ASSERT_EQ(model->tracks().size(), 2);
    for (const Track &track : model->tracks())
        EXPECT_EQ(track.artwork, folderJpg) << track.url.toStdString();
}

TEST_F(ImportTest, ScanTakesOnlyRegularAudioFiles)
{
    const QString music = root() + u"/Music"_s;
    const QString song = untaggedMp3(music + u"/Band/01 Song.mp3"_s);
    untaggedMp3(music + u"/Band/Live.flac/02 Inside.mp3"_s); // a folder named like a track is searched
    untaggedMp3(music + u"/Band/.hidden.mp3"_s);
    untaggedMp3(music + u"/.Hidden folder/03.mp3"_s);
    untaggedMp3(music + u"/Band/04 Upper.MP3"_s);
    writeFile(music + u"/Band/list.m3u"_s, "#EXTM3U\n");
    writeFile(music + u"/Band/notes.txt"_s, "x");
    ASSERT_EQ(::mkfifo(QFile::encodeName(music + u"/Band/pipe.mp3"_s).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(song, music + u"/Band/link.mp3"_s));
    ASSERT_TRUE(QFile::link(music + u"/Band"_s, music + u"/Linked band"_s));
    const QString outside = untaggedMp3(root() + u"/Elsewhere/05.mp3"_s);
    ASSERT_TRUE(QFile::link(root() + u"/Elsewhere"_s, music + u"/Band/elsewhere"_s));

    QStringList found = scanAudio({music});
    found.sort();
    const QStringList expected = {music + u"/Band/01 Song.mp3"_s, music + u"/Band/04 Upper.MP3"_s,
                                  music + u"/Band/Live.flac/02 Inside.mp3"_s};
    EXPECT_EQ(found, expected);

    // Chosen items directly: links, hidden names, other extensions, a FIFO and a
    // missing path yield nothing; a chosen file keeps its spelling; duplicates stay.
    const QStringList direct = scanAudio({music + u"/Band/link.mp3"_s, music + u"/Linked band"_s,
                                          music + u"/Band/.hidden.mp3"_s, music + u"/Band/list.m3u"_s,
                                          music + u"/Band/pipe.mp3"_s, music + u"/Band/missing.mp3"_s, song,
                                          outside, song});
    EXPECT_EQ(direct, (QStringList{song, outside, song}));
    EXPECT_TRUE(scanAudio({}).isEmpty());

    // Many chosen items (a saved library passes each of its files) are told
    // apart on several threads and still come out in their order.
    QStringList many, expectedMany;
    for (int i = 0; i < 40; ++i) {
        many += {music + u"/Band/link.mp3"_s, music + u"/Band/.hidden.mp3"_s, music + u"/Band/pipe.mp3"_s,
                 music + u"/Band/missing.mp3"_s, song, music + u"/Linked band"_s, outside};
        expectedMany += {song, outside};
        if (i == 20) {
            many.append(music + u"/Band/Live.flac"_s);
            expectedMany.append(music + u"/Band/Live.flac/02 Inside.mp3"_s);
        }
    }
    ASSERT_GT(many.size(), 256);
    EXPECT_EQ(scanAudio(many), expectedMany);

    // Through the model the folder yields three tracks and the FIFO never blocks it.
    auto model = importAndWait({music});
    EXPECT_EQ(model->tracks().size(), 3);
}

TEST_F(ImportTest, ListsAfterAnImportAreThoseOfItsTracks)
{
    // The albums and the track list after an import (made on the worker with
    // the tracks) are those the tracks give, in every order and with a search.
    for (int i = 0; i < 6; ++i)
        untaggedMp3(root() + QString::asprintf("/Old/Album %d/%02d song.mp3", i % 2, i + 1));
    for (int i = 0; i < 9; ++i)
        untaggedMp3(root() + QString::asprintf("/New/Album %d/%02d song.mp3", i % 3, i + 1));
    auto model = makeModel();
    model->importURLs({root() + u"/Old"_s}, false, false);
    ASSERT_TRUE(waitUntilIdle(*model));
    model->setSortMode(u"Rozmiar"_s);
    EXPECT_EQ(model->albums().size(), 2);
    model->setSearch(u"album 1"_s);
    model->importURLs({root() + u"/New"_s}, false, true);
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_EQ(model->tracks().size(), 15);
    EXPECT_EQ(model->queued().size(), 9);
    model->setSearch(QString());
    model->setSortMode(u"Wykonawca"_s);

    auto reference = makeModel();
    reference->setTracks(model->tracks());
    EXPECT_EQ(listLinesInEveryOrder(*model, u"album 1"_s), listLinesInEveryOrder(*reference, u"album 1"_s));
    EXPECT_EQ(model->albums().size(), 5);
}

TEST_F(ImportTest, FilesAreReadInFinderOrder)
{
    const QString folder = root() + u"/Artist/Album"_s;
    for (const QString &name : {u"Track 10.mp3"_s, u"b.mp3"_s, u"Track 2.mp3"_s, u"A.mp3"_s})
        untaggedMp3(folder + u'/' + name);
    auto model = importAndWait({folder});
    QStringList names;
    for (const Track &track : model->tracks())
        names.append(QFileInfo(track.url).fileName());
    EXPECT_EQ(names, (QStringList{u"A.mp3"_s, u"b.mp3"_s, u"Track 2.mp3"_s, u"Track 10.mp3"_s}));
}

TEST_F(ImportTest, LibraryAndDeviceSidesAreKeptApart)
{
    const QString first = untaggedMp3(root() + u"/Lib/A/01.mp3"_s);
    const QString onDevice = untaggedMp3(root() + u"/Device/Music/A/01.mp3"_s);

    auto model = makeModel();
    model->importURLs({first}, false, false);
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_TRUE(model->queued().isEmpty());
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), QStringList{first});

    const QString second = untaggedMp3(root() + u"/Lib/A/02.mp3"_s);
    model->importURLs({second}, false, true);
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_EQ(model->tracks().size(), 2);
    EXPECT_EQ(model->queued(), TavoModel::UuidSet{model->tracks().at(1).id});
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), (QStringList{first, second}));

    // Device music goes to its own list: the library, the queue and the saved paths stay.
    model->setLibraryOnDevice(true);
    model->importURLs({root() + u"/Device/Music"_s, first}, true, true);
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_EQ(model->deviceTracks().size(), 2); // the library's copy is no device track yet
    EXPECT_EQ(model->tracks().size(), 2);
    EXPECT_EQ(model->queued().size(), 1);
    EXPECT_TRUE(model->libraryOnDevice());
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), (QStringList{first, second}));
    EXPECT_EQ(model->status(), u"Odczytano utwory: 2"_s);
    (void)onDevice;
}

// The import asks each file only for the frames it uses. Over every audio
// file of the test data, and over files whose frames repeat, mix dates and
// carry frames the import never reads, that reading keeps exactly the items
// the full list has of those frames, and the track gets the same values as
// from the full list.
TEST_F(ImportTest, TheImportsFramesGiveWhatTheFullItemListGives)
{
    QStringList files;
    QDirIterator it(QStringLiteral(VONTARO_TEST_DATA_DIR), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (hasAudioExtension(file))
            files.append(file);
    }
    ASSERT_GE(files.size(), 40);
    files.append(mp3WithFrames(root() + u"/mixed dates.mp3"_s, {{"TYER", u"1999"_s},
                                                                {"TIT2", u"First"_s},
                                                                {"TDRC", u"2004-01-02"_s},
                                                                {"TCON", u"Rock"_s},
                                                                {"TYER", u"2001"_s},
                                                                {"TIT2", u"Second"_s},
                                                                {"TRCK", u"7"_s},
                                                                {"TRCK", u"x"_s},
                                                                {"TPE2", u"Band"_s},
                                                                {"TPE2", QString()}}));
    files.append(mp3WithFrames(root() + u"/unread frames.mp3"_s,
                               {{"TCOM", u"Composer"_s}, {"TSSE", u"Encoder"_s}, {"TPOS", u"3"_s}, {"TPOS", u"y"_s}}));
    files.sort();

    const QList<QLatin1StringView> &frames = ImportScan::tagFrames();
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        MediaAsset whole(file);
        MediaAsset some(file);
        const std::optional<QList<MetadataItem>> all = whole.metadata();
        const std::optional<QList<MetadataItem>> kept = some.metadata(frames);
        ASSERT_EQ(all.has_value(), kept.has_value());
        if (!all)
            continue;
        QList<MetadataItem> expected;
        for (const MetadataItem &item : *all)
            if (frames.contains(QStringView(item.identifier).sliced(4)))
                expected.append(item);
        EXPECT_EQ(*kept, expected);
        EXPECT_EQ(ImportScan::tagValues(*kept), ImportScan::tagValues(*all));
        // The same asset answers the narrow question from what it read whole.
        EXPECT_EQ(whole.metadata(frames), kept);
    }
    // The mixed file: the last date, title and readable track number decide.
    MediaAsset mixed(root() + u"/mixed dates.mp3"_s);
    const ImportScan::TagValues values = ImportScan::tagValues(mixed.metadata(frames).value());
    EXPECT_EQ(values.info.year, u"2001"_s);
    EXPECT_EQ(values.title, u"Second"_s);
    EXPECT_EQ(values.info.trackNumber, 7);
    EXPECT_EQ(values.info.tags.value(u"ALBUMARTIST"_s, u"none"_s), QString());
}

TEST(ImportNumbers, LeadingNumberOfAFileName)
{
    struct Case {
        QString name;
        qint64 expected;
    };
    const Case cases[] = {
        {u"07 - Intro.mp3"_s, 7}, {u"Intro.mp3"_s, 0},     {u"2024.flac"_s, 2024},
        {u"Intro 07.mp3"_s, 0},   {u"½ time.mp3"_s, 0},    {u"99999999999999999999 x.mp3"_s, 0},
        {u"１２ wide.mp3"_s, 0},  {u"003.mp3"_s, 3},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ImportScan::leadingNumber(c.name), c.expected) << c.name.toStdString();
}

} // namespace

TEST_F(ImportTest, AnImportOfLargeCoversEndsWhenTheFilePoolHasASingleThread)
{
    // As on a computer with one core: the import's own job takes the file
    // pool's only thread, and the covers' previews are scaled on it too.
    QThreadPool *pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    struct Restore {
        QThreadPool *pool;
        int threads;
        ~Restore() { pool->setMaxThreadCount(threads); }
    } restore{pool, threads};

    QImage photo(1000, 1000, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixelColor(x, y, QColor(x % 256, y % 256, (x + y) % 256));
    }
    const QByteArray folderCover = fixtures::paddedTo(fixtures::encode(photo, "jpeg"), 300 * 1024);
    untaggedMp3(root() + u"/A/One/01.mp3"_s);
    untaggedMp3(root() + u"/A/One/02.mp3"_s);
    writeFile(root() + u"/A/One/cover.jpg"_s, folderCover);

    auto model = makeModel();
    model->importURLs({root()}, false, false);
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_EQ(model->tracks().size(), 2);
    for (const Track &track : model->tracks()) {
        ASSERT_TRUE(track.artwork.has_value()) << track.url.toStdString();
        EXPECT_EQ(track.artwork->facts().size, QSize(1000, 1000));
        EXPECT_FALSE(track.artwork->previewIsWhole());
    }
}
