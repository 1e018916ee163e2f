#include "platform/adts.h"
#include "platform/mediaasset.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

using namespace Qt::StringLiterals;

namespace {

QString fixture(const char *name)
{
    return QString::fromUtf8(VONTARO_TEST_DATA_DIR "/audio/") + QString::fromUtf8(name);
}

QString corpus(const char *name)
{
    return QString::fromUtf8(VONTARO_TEST_DATA_DIR "/corpus/audio/") + QString::fromUtf8(name);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList identifiers(const QList<MetadataItem> &items)
{
    QStringList out;
    for (const MetadataItem &item : items)
        out.append(item.identifier.mid(4));
    return out;
}

const MetadataItem *find(const QList<MetadataItem> &items, const QString &identifier)
{
    for (const MetadataItem &item : items)
        if (item.identifier == identifier)
            return &item;
    return nullptr;
}

TEST(MediaAsset, TechnicalDataOfEveryFormat)
{
    const struct {
        QString path;
        double duration;
        double sampleRate;
        quint32 format;
        quint32 flags;
        quint32 bits;
    } cases[] = {
        {fixture("tagged.mp3"), 1.045, 44100, audioformat::mp3, 0, 0},
        {fixture("aac.m4a"), 1.023, 44100, audioformat::aac, 0, 0},
        {fixture("alac.m4a"), 0.05, 48000, audioformat::alac, 3, 24},
        {fixture("vorbis.ogg"), 1.0, 22050, audioformat::vorbis, 0, 0},
        {fixture("opus.opus"), 1.0, 48000, audioformat::opus, 0, 0},
        {fixture("wav24.wav"), 0.02, 96000, audioformat::linearPCM, 0, 24},
        {fixture("adts.aac"), 45 * 1024 / 44100.0, 44100, audioformat::aac, 0, 0},
        {fixture("tagged.aiff"), 0.05, 44100, audioformat::linearPCM, 0, 16},
        {fixture("tagged.flac"), 0.1, 44100, audioformat::flac, 0, 16},
        {corpus("alac.m4a"), 3.685, 44100, audioformat::alac, 1, 16},
        {corpus("silence-2s-PCM-16000-08-ID3v23.wav"), 2.0, 16000, audioformat::linearPCM, 0, 8},
        {corpus("with-id3.aif"), 1.0, 8000, audioformat::linearPCM, 0, 16},
    };
    for (const auto &c : cases) {
        MediaAsset asset(c.path);
        const std::optional<double> duration = asset.duration();
        ASSERT_TRUE(duration) << qPrintable(c.path);
        EXPECT_NEAR(*duration, c.duration, 0.0015) << qPrintable(c.path);
        const std::optional<AudioStreamDescription> stream = asset.firstAudioStream();
        ASSERT_TRUE(stream) << qPrintable(c.path);
        EXPECT_EQ(*stream, (AudioStreamDescription{c.sampleRate, c.format, c.flags, c.bits})) << qPrintable(c.path);
    }
}

TEST(MediaAsset, UnreadableFilesAnswerNone)
{
    QTemporaryDir dir;
    const QString text = dir.filePath(u"notes.mp3"_s);
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4000, 'x'));
    file.close();
    QFile empty(dir.filePath(u"empty.aac"_s));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    // A FIFO named like audio answers at once: nothing ever writes to it.
    const QString fifo = dir.filePath(u"pipe.mp3"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path : {text, dir.filePath(u"absent.m4a"_s), dir.path(), empty.fileName(), fifo}) {
        MediaAsset asset(path);
        EXPECT_FALSE(asset.firstAudioStream()) << qPrintable(path);
        EXPECT_FALSE(asset.duration().value_or(0) > 0) << qPrintable(path);
    }
    EXPECT_FALSE(MediaAsset(dir.filePath(u"absent.m4a"_s)).metadata());
    EXPECT_FALSE(MediaAsset(fifo).metadata());
}

// The tags every tagged fixture carries, in whatever container.
TEST(MediaAsset, SameIdentifiersInEveryFormat)
{
    const struct {
        const char *file;
        bool artwork;
    } cases[] = {
        {"tagged.mp3", true}, {"aac.m4a", true},     {"alac.m4a", false}, {"vorbis.ogg", false},
        {"opus.opus", false}, {"tagged.aiff", false}, {"adts.aac", true},  {"tagged.flac", true},
    };
    const struct {
        QString identifier;
        MetadataCommonKey key;
        QString value;
    } expected[] = {
        {u"id3/TIT2"_s, MetadataCommonKey::title, u"Tytuł"_s},
        {u"id3/TPE1"_s, MetadataCommonKey::artist, u"Wykonawca"_s},
        {u"id3/TALB"_s, MetadataCommonKey::albumName, u"Album"_s},
        {u"id3/TPE2"_s, MetadataCommonKey::none, u"Album Artist"_s},
        {u"id3/TRCK"_s, MetadataCommonKey::none, u"4/10"_s},
        {u"id3/TPOS"_s, MetadataCommonKey::none, u"2/2"_s},
        {u"id3/TDRC"_s, MetadataCommonKey::creationDate, u"2011-03-04"_s},
    };
    for (const auto &c : cases) {
        MediaAsset asset(fixture(c.file));
        const std::optional<QList<MetadataItem>> items = asset.metadata();
        ASSERT_TRUE(items) << c.file;
        for (const auto &e : expected) {
            const MetadataItem *item = find(*items, e.identifier);
            ASSERT_TRUE(item) << c.file << " " << qPrintable(e.identifier);
            EXPECT_EQ(item->commonKey, e.key) << c.file << " " << qPrintable(e.identifier);
            EXPECT_EQ(item->stringValue, e.value) << c.file << " " << qPrintable(e.identifier);
            EXPECT_FALSE(item->dataValue) << c.file;
        }
        qsizetype artworks = 0;
        for (const MetadataItem &item : *items) {
            if (item.commonKey != MetadataCommonKey::artwork)
                continue;
            ++artworks;
            EXPECT_EQ(item.identifier, u"id3/APIC");
            EXPECT_FALSE(item.stringValue);
            ASSERT_TRUE(item.dataValue);
            EXPECT_TRUE(item.dataValue->startsWith("\xff\xd8")) << c.file; // the JPEG cover
        }
        EXPECT_EQ(artworks, c.artwork ? 1 : 0) << c.file;
        // The asset answers again from what it read.
        EXPECT_EQ(asset.metadata(), items);
    }
}

TEST(MediaAsset, ItemsComeInStoredOrder)
{
    const struct {
        QString path;
        QStringList order;
    } cases[] = {
        {fixture("tagged.mp3"),
         {u"TIT2"_s, u"TPE1"_s, u"TALB"_s, u"TPE2"_s, u"TRCK"_s, u"TPOS"_s, u"TDRC"_s, u"TSSE"_s, u"APIC"_s}},
        // TagLib sorts MP4 items and Vorbis comments by name; the file's order is kept.
        {fixture("aac.m4a"),
         {u"TIT2"_s, u"TPE1"_s, u"TPE2"_s, u"TALB"_s, u"TDRC"_s, u"TSSE"_s, u"APIC"_s, u"TRCK"_s, u"TPOS"_s}},
        {fixture("vorbis.ogg"),
         {u"TSSE"_s, u"TIT2"_s, u"TPE1"_s, u"TALB"_s, u"TPE2"_s, u"TRCK"_s, u"TPOS"_s, u"TDRC"_s}},
        {corpus("partial.mp3"),
         {u"COMM"_s, u"TENC"_s, u"COMM"_s, u"COMM"_s, u"TPE1"_s, u"TALB"_s, u"TRCK"_s, u"TPOS"_s, u"TIT2"_s}},
    };
    for (const auto &c : cases) {
        MediaAsset asset(c.path);
        EXPECT_EQ(identifiers(asset.metadata().value_or(QList<MetadataItem>{})), c.order) << qPrintable(c.path);
    }
}

TEST(MediaAsset, OlderID3VersionsUseTheNewFrameNames)
{
    // ID3v2.2 "TT2", "TYE", "TRK" become TIT2, TDRC, TRCK.
    MediaAsset asset(corpus("id3v22-test.mp3"));
    const QList<MetadataItem> items = asset.metadata().value();
    ASSERT_TRUE(find(items, u"id3/TDRC"_s));
    EXPECT_EQ(find(items, u"id3/TDRC"_s)->stringValue, u"2004");
    EXPECT_EQ(find(items, u"id3/TDRC"_s)->commonKey, MetadataCommonKey::creationDate);
    EXPECT_EQ(find(items, u"id3/TRCK"_s)->stringValue, u"3/11");
    EXPECT_EQ(find(items, u"id3/TIT2"_s)->stringValue, u"cosmic american");
}

TEST(MediaAsset, OtherContainersMapToTheSameNames)
{
    const struct {
        QString path;
        QString identifier;
        QString value;
    } cases[] = {
        {fixture("wav24.wav"), u"id3/TIT2"_s, u"Tytuł"_s}, // RIFF INFO
        {fixture("wav24.wav"), u"id3/TPE1"_s, u"Wykonawca"_s},
        {corpus("discc.ogg"), u"id3/TPOS"_s, u"4"_s},
        {corpus("year.ogg"), u"id3/TDRC"_s, u"2000"_s}, // YEAR
        {corpus("full.alac.m4a"), u"id3/TRCK"_s, u"2/3"_s},
        {corpus("full.alac.m4a"), u"id3/TPE2"_s, u"the album artist"_s},
        {corpus("full.opus"), u"id3/TCON"_s, u"the genre"_s},
        {corpus("silence-2s-PCM-16000-08-ID3v23.wav"), u"id3/TRCK"_s, u"02/10"_s}, // ID3 in WAV
        {corpus("with-id3.aif"), u"id3/TIT2"_s, u"AIFF title"_s},
    };
    for (const auto &c : cases) {
        MediaAsset asset(c.path);
        const QList<MetadataItem> items = asset.metadata().value_or(QList<MetadataItem>{});
        const MetadataItem *item = find(items, c.identifier);
        ASSERT_TRUE(item) << qPrintable(c.path) << " " << qPrintable(c.identifier);
        EXPECT_EQ(item->stringValue, c.value) << qPrintable(c.path);
    }
    for (const char *name : {"image.ogg", "coverart.ogg", "image.m4a", "image.mp3", "image_unknown_type.mp3"}) {
        MediaAsset asset(corpus(name));
        const QList<MetadataItem> items = asset.metadata().value_or(QList<MetadataItem>{});
        const MetadataItem *artwork = find(items, u"id3/APIC"_s);
        ASSERT_TRUE(artwork) << name;
        EXPECT_EQ(artwork->commonKey, MetadataCommonKey::artwork);
        EXPECT_GT(artwork->dataValue.value_or(QByteArray()).size(), 100) << name;
    }
}

TEST(MediaAsset, OneArtworkItemPreferringTheFrontCover)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"covers.mp3"_s);
    ASSERT_TRUE(QFile::copy(fixture("tagged.mp3"), path));
    {
        // Pictures stored as: other, (existing front cover), back.
        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
        auto *other = new TagLib::ID3v2::AttachedPictureFrame;
        other->setType(TagLib::ID3v2::AttachedPictureFrame::Other);
        other->setPicture(TagLib::ByteVector("other", 5));
        auto *back = new TagLib::ID3v2::AttachedPictureFrame;
        back->setType(TagLib::ID3v2::AttachedPictureFrame::BackCover);
        back->setPicture(TagLib::ByteVector("back", 4));
        TagLib::ID3v2::FrameList frames = tag->frameList();
        for (TagLib::ID3v2::Frame *frame : frames)
            tag->removeFrame(frame, false);
        tag->addFrame(other);
        for (TagLib::ID3v2::Frame *frame : frames)
            tag->addFrame(frame);
        tag->addFrame(back);
        ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2));
    }
    MediaAsset asset(path);
    const QList<MetadataItem> items = asset.metadata().value();
    QList<QByteArray> pictures;
    for (const MetadataItem &item : items)
        if (item.commonKey == MetadataCommonKey::artwork)
            pictures.append(item.dataValue.value_or("none"));
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_TRUE(pictures.first().startsWith("\xff\xd8"));
    EXPECT_EQ(identifiers(items).last(), u"APIC"); // where the front cover is stored
}

TEST(Adts, WalksEveryFrameAfterLeadingTags)
{
    const QByteArray bytes = readAll(fixture("adts.aac"));
    ASSERT_FALSE(bytes.isEmpty());
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const std::optional<adts::StreamInfo> info = adts::parse(data, bytes.size());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->sampleRate, 44100);
    EXPECT_EQ(info->channels, 1);
    EXPECT_EQ(info->frames, 45);
    EXPECT_DOUBLE_EQ(info->duration, 45 * 1024 / 44100.0);
    // A truncated last frame is not counted.
    EXPECT_EQ(adts::parse(data, bytes.size() - 1)->frames, 44);
    // Without a frame after the tag, or with garbage first: no stream.
    const qsizetype tag = bytes.indexOf("\xff\xf1");
    EXPECT_FALSE(adts::parse(data, tag + 3));
    const QByteArray garbage = "RIFF" + bytes.mid(tag);
    EXPECT_FALSE(adts::parse(reinterpret_cast<const uchar *>(garbage.constData()), garbage.size()));
    EXPECT_FALSE(adts::parse(data, 0));
    EXPECT_FALSE(adts::read(fixture("missing.aac")));
}

} // namespace

namespace {

// The frames an import asks an asset for.
const QList<QLatin1StringView> importFrames = {"TIT2"_L1, "TPE1"_L1, "TALB"_L1, "APIC"_L1, "TDRC"_L1,
                                                "TYER"_L1, "TPOS"_L1, "TRCK"_L1, "TPE2"_L1};

struct Answers {
    std::optional<double> duration;
    std::optional<AudioStreamDescription> stream;
    std::optional<QList<MetadataItem>> items;
    std::optional<QList<MetadataItem>> titleOnly;
    bool operator==(const Answers &) const = default;
};

void PrintTo(const Answers &a, std::ostream *out)
{
    *out << "duration " << (a.duration ? std::to_string(*a.duration) : "none");
    if (a.stream)
        *out << ", stream " << a.stream->sampleRate << " Hz " << a.stream->formatID << " " << a.stream->bitsPerChannel
             << " bits";
    else
        *out << ", no stream";
    for (const auto *items : {&a.items, &a.titleOnly}) {
        *out << "; items:";
        if (!*items) {
            *out << " none";
            continue;
        }
        for (const MetadataItem &item : **items)
            *out << " " << item.identifier.toStdString() << "="
                 << (item.stringValue ? item.stringValue->toStdString()
                                      : std::to_string(item.dataValue ? item.dataValue->size() : -1) + " bytes");
    }
}

Answers answersOf(const QString &path)
{
    MediaAsset asset(path);
    Answers a;
    a.duration = asset.duration();
    a.stream = asset.firstAudioStream();
    a.items = asset.metadata(importFrames);
    a.titleOnly = asset.metadata(QList<QLatin1StringView>{"TIT2"_L1});
    return a;
}

// The bytes cut short every `cutStep` bytes, and with one byte changed every
// `byteStep` bytes: what a reader must take apart without reading astray.
std::vector<QByteArray> cutAndDamaged(const QByteArray &bytes, qsizetype cutStep, qsizetype byteStep)
{
    std::vector<QByteArray> variants;
    for (qsizetype cut = 7; cut < bytes.size(); cut += cutStep)
        variants.push_back(bytes.left(cut));
    for (qsizetype at = 0; at < bytes.size(); at += byteStep) {
        QByteArray damaged = bytes;
        damaged[at] = char(uchar(damaged[at]) ^ (at % 2 ? 0xFF : 0x01));
        variants.push_back(damaged);
    }
    return variants;
}

// A copy of the bytes under the given ending: ".m4a" for the lean reading,
// ".media", a name TagLib does not take for MP4, so that it finds the format
// from the content and reads the file all by itself.
QString copyAs(const QTemporaryDir &dir, const QByteArray &bytes, int n, const char *ending)
{
    const QString path = dir.filePath(QString::asprintf("copy%d%s", n, ending));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

} // namespace

// An MP4 file's duration, stream and the items an import reads are the same
// whichever way the asset reads it: for real files of several encoders, and
// for the same files cut short or with a damaged byte, which must come out as
// TagLib would have them (usually unreadable) rather than half-read.
TEST(MediaAsset, MP4AnswersAreThoseOfTheFullReading)
{
    const QString files[] = {fixture("aac.m4a"),         fixture("alac.m4a"),     corpus("alac.m4a"),
                             corpus("empty.alac.m4a"),   corpus("empty.m4a"),     corpus("full.alac.m4a"),
                             corpus("full.m4a"),         corpus("image.m4a"),     corpus("min.m4a"),
                             corpus("partial.m4a")};
    QTemporaryDir dir;
    int n = 0;
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray bytes = readAll(path);
        ASSERT_FALSE(bytes.isEmpty());
        const Answers direct = answersOf(path);
        ASSERT_TRUE(direct.duration && direct.stream && direct.items);
        EXPECT_EQ(direct, answersOf(copyAs(dir, bytes, n++, ".media")));

        // Cut short at many places, and one byte changed at many places.
        const std::vector<QByteArray> variants = cutAndDamaged(bytes, 61, 53);
        for (const QByteArray &variant : variants) {
            SCOPED_TRACE(n);
            EXPECT_EQ(answersOf(copyAs(dir, variant, n, ".m4a")), answersOf(copyAs(dir, variant, n, ".media")));
            ++n;
        }
    }
}

// The items an import asks an Ogg file for are those of the whole list, in its
// order: for real Vorbis and Opus files, and for the same files cut short or
// with a damaged byte.
TEST(MediaAsset, OggItemsForAFewFramesAreThoseOfTheWholeList)
{
    const QString files[] = {fixture("vorbis.ogg"),  fixture("opus.opus"),          corpus("coverart.ogg"),
                             corpus("date_with_slashes.ogg"), corpus("discc.ogg"), corpus("empty.ogg"),
                             corpus("empty.opus"),   corpus("full.ogg"),            corpus("full.opus"),
                             corpus("image.ogg"),    corpus("year.ogg")};
    auto filtered = [](const QString &path) -> std::optional<QList<MetadataItem>> {
        MediaAsset asset(path);
        const std::optional<QList<MetadataItem>> all = asset.metadata();
        if (!all)
            return std::nullopt;
        QList<MetadataItem> kept;
        for (const MetadataItem &item : *all)
            if (importFrames.contains(QStringView(item.identifier).sliced(4)))
                kept.append(item);
        return kept;
    };
    QTemporaryDir dir;
    int n = 0;
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray bytes = readAll(path);
        ASSERT_FALSE(bytes.isEmpty());
        const std::optional<QList<MetadataItem>> items = MediaAsset(path).metadata(importFrames);
        ASSERT_TRUE(items);
        EXPECT_EQ(items, filtered(path));
        const std::vector<QByteArray> variants = cutAndDamaged(bytes, 67, 59);
        for (const QByteArray &variant : variants) {
            SCOPED_TRACE(n);
            const QString copy = dir.filePath(QString::asprintf("copy%d.%s", n++, path.endsWith(u".opus") ? "opus" : "ogg"));
            QFile file(copy);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(variant);
            file.close();
            EXPECT_EQ(MediaAsset(copy).metadata(importFrames), filtered(copy));
        }
    }
}
