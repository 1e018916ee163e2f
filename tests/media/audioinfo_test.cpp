#include "media/audioinfo.h"
#include "platform/errors.h"
#include "platform/mediaasset.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

QString fixture(const char *name)
{
    return QString::fromUtf8(VONTARO_TEST_DATA_DIR "/audio/") + QString::fromUtf8(name);
}

QString corpus(const char *name)
{
    return QString::fromUtf8(VONTARO_TEST_DATA_DIR "/corpus/audio/") + QString::fromUtf8(name);
}

AudioInfo readFile(const QString &path)
{
    MediaAsset asset(path);
    return AudioInfo::read(path, asset);
}

// Answers fixed values, as a media layer would for any file.
class FakeAsset : public MediaAsset
{
public:
    FakeAsset(const QString &path, std::optional<double> duration, std::optional<AudioStreamDescription> stream)
        : MediaAsset(path), m_duration(duration), m_stream(stream)
    {
    }
    std::optional<double> duration() override { return m_duration; }
    std::optional<AudioStreamDescription> firstAudioStream() override { return m_stream; }
    std::optional<QList<MetadataItem>> metadata() override { return std::nullopt; }

private:
    std::optional<double> m_duration;
    std::optional<AudioStreamDescription> m_stream;
};

TEST(AudioInfoRead, FlacGoesThroughTheOwnReader)
{
    const AudioInfo info = readFile(fixture("tagged.flac"));
    EXPECT_EQ(info, AudioInfo::readFLAC(fixture("tagged.flac")));
    EXPECT_EQ(info.bitrate, 0);
    EXPECT_EQ(info.parameters(), u"16-bit / 44.1 kHz");
    EXPECT_EQ(info.tags.value(u"ARTIST"_s), u"Wykonawca");
}

TEST(AudioInfoRead, RefusedFlacIsReadLikeAnyOtherFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"not really.FLAC"_s);
    ASSERT_TRUE(QFile::copy(fixture("tagged.mp3"), path));
    const AudioInfo info = readFile(path);
    EXPECT_EQ(info.codec, u"FLAC");
    EXPECT_TRUE(info.tags.isEmpty());
    EXPECT_FALSE(info.picture);
    EXPECT_EQ(info.trackNumber, 0);
    EXPECT_TRUE(info.year.isEmpty());
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.bitDepth, 0);
    EXPECT_NEAR(info.duration, 1.045, 0.002);
    EXPECT_GT(info.bitrate, 0);
}

TEST(AudioInfoRead, EveryFormatThroughTheMediaLayer)
{
    const struct {
        QString path;
        QString codec;
        qint64 rate;
        qint64 depth;
        QString parameters; // empty: the approximate bit-rate form, checked below
    } cases[] = {
        {fixture("wav24.wav"), u"WAV"_s, 96000, 24, u"24-bit / 96 kHz"_s},
        {fixture("tagged.mp3"), u"MP3"_s, 44100, 0, {}},
        {fixture("aac.m4a"), u"AAC"_s, 44100, 0, {}},
        {fixture("alac.m4a"), u"ALAC"_s, 48000, 24, u"24-bit / 48 kHz"_s},
        {corpus("alac.m4a"), u"ALAC"_s, 44100, 16, u"16-bit / 44.1 kHz"_s},
        {fixture("adts.aac"), u"AAC"_s, 44100, 0, {}},
        {fixture("vorbis.ogg"), u"OGG"_s, 22050, 0, {}},
        {fixture("opus.opus"), u"OPUS"_s, 48000, 0, {}},
        {fixture("tagged.aiff"), u"AIFF"_s, 44100, 16, u"16-bit / 44.1 kHz"_s},
        {corpus("with-id3.aif"), u"AIF"_s, 8000, 16, u"16-bit / 8 kHz"_s},
    };
    for (const auto &c : cases) {
        const AudioInfo info = readFile(c.path);
        EXPECT_EQ(info.codec, c.codec) << qPrintable(c.path);
        EXPECT_EQ(info.sampleRate, c.rate) << qPrintable(c.path);
        EXPECT_EQ(info.bitDepth, c.depth) << qPrintable(c.path);
        EXPECT_GT(info.duration, 0) << qPrintable(c.path);
        // The average over the whole file, container and pictures included.
        const qint64 expected = qint64(double(QFileInfo(c.path).size()) * 8 / info.duration / 1000);
        EXPECT_EQ(info.bitrate, expected) << qPrintable(c.path);
        const QString rate = QString::number(double(c.rate) / 1000.0);
        EXPECT_EQ(info.parameters(),
                  c.parameters.isEmpty() ? u"≈ "_s + QString::number(expected) + u" kb/s · "_s + rate + u" kHz"_s
                                         : c.parameters)
            << qPrintable(c.path);
        // No tags come from this road.
        EXPECT_TRUE(info.tags.isEmpty());
        EXPECT_EQ(info.trackNumber, 0);
        EXPECT_FALSE(info.picture);
    }
}

TEST(AudioInfoRead, UnreadableFileSetsOnlyTheCodec)
{
    QTemporaryDir dir;
    const QString text = dir.filePath(u"notes.mp3"_s);
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(5000, 'x'));
    file.close();
    const struct {
        QString path;
        QString codec;
    } cases[] = {
        {text, u"MP3"_s},
        {dir.filePath(u"absent.m4a"_s), u"M4A"_s},
        {dir.filePath(u"absent.flac"_s), u"FLAC"_s},
        {dir.filePath(u"no-extension"_s), QString()},
    };
    for (const auto &c : cases) {
        AudioInfo expected;
        expected.codec = c.codec;
        EXPECT_EQ(readFile(c.path), expected) << qPrintable(c.path);
    }
}

TEST(AudioInfoRead, TheSameAssetServesTheMetadataAfterwards)
{
    MediaAsset asset(fixture("tagged.mp3"));
    const AudioInfo info = AudioInfo::read(asset.path(), asset);
    EXPECT_EQ(info.codec, u"MP3");
    const std::optional<QList<MetadataItem>> items = asset.metadata();
    ASSERT_TRUE(items);
    EXPECT_EQ(items->first().identifier, u"id3/TIT2");
}

TEST(AudioInfoRead, StreamDescriptionRules)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"track.m4a"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.resize(5'000'000);
    file.close();
    using D = AudioStreamDescription;
    const struct {
        const char *name;
        std::optional<double> duration;
        std::optional<D> stream;
        QString codec;
        qint64 rate;
        qint64 depth;
        double seconds;
        qint64 bitrate;
    } cases[] = {
        {"AAC of 5 MB and 200 s", 200.0, D{44100, audioformat::aac, 0, 0}, u"AAC"_s, 44100, 0, 200, 200},
        {"ALAC flags 3 win over the bits", 200.0, D{44100, audioformat::alac, 3, 16}, u"ALAC"_s, 44100, 24, 200, 200},
        {"ALAC flags 1", 200.0, D{44100, audioformat::alac, 1, 0}, u"ALAC"_s, 44100, 16, 200, 200},
        {"ALAC flags 2", 200.0, D{44100, audioformat::alac, 2, 0}, u"ALAC"_s, 44100, 20, 200, 200},
        {"ALAC flags 4", 200.0, D{44100, audioformat::alac, 4, 0}, u"ALAC"_s, 44100, 32, 200, 200},
        {"ALAC flags 0 keep the bits", 200.0, D{44100, audioformat::alac, 0, 20}, u"ALAC"_s, 44100, 20, 200, 200},
        {"other format keeps the extension", 200.0, D{48000, audioformat::mp3, 0, 0}, u"M4A"_s, 48000, 0, 200, 200},
        {"rate truncated", 200.0, D{44100.9, audioformat::aac, 0, 0}, u"AAC"_s, 44100, 0, 200, 200},
        {"NaN rate", 200.0, D{nan, audioformat::aac, 0, 0}, u"AAC"_s, 0, 0, 200, 200},
        {"infinite rate", 200.0, D{inf, audioformat::aac, 0, 0}, u"AAC"_s, 0, 0, 200, 200},
        {"rate beyond 64 bits", 200.0, D{1e30, audioformat::aac, 0, 0}, u"AAC"_s, 0, 0, 200, 200},
        {"negative rate beyond 64 bits", 200.0, D{-1e30, audioformat::aac, 0, 0}, u"AAC"_s, 0, 0, 200, 200},
        {"no stream", 200.0, std::nullopt, u"M4A"_s, 0, 0, 200, 200},
        {"indefinite duration", nan, D{44100, audioformat::aac, 0, 0}, u"AAC"_s, 44100, 0, 0, 0},
        {"infinite duration", inf, D{44100, audioformat::aac, 0, 0}, u"AAC"_s, 44100, 0, 0, 0},
        {"failed duration", std::nullopt, D{44100, audioformat::aac, 0, 0}, u"AAC"_s, 44100, 0, 0, 0},
        {"negative duration kept", -5.0, D{44100, audioformat::aac, 0, 0}, u"AAC"_s, 44100, 0, -5, 0},
        {"bit rate beyond 64 bits", 1e-300, D{44100, audioformat::aac, 0, 0}, u"AAC"_s, 44100, 0, 1e-300, 0},
    };
    for (const auto &c : cases) {
        FakeAsset asset(path, c.duration, c.stream);
        const AudioInfo info = AudioInfo::read(path, asset);
        EXPECT_EQ(info.codec, c.codec) << c.name;
        EXPECT_EQ(info.sampleRate, c.rate) << c.name;
        EXPECT_EQ(info.bitDepth, c.depth) << c.name;
        EXPECT_EQ(info.duration, c.seconds) << c.name;
        EXPECT_EQ(info.bitrate, c.bitrate) << c.name;
    }
    // A file whose size cannot be read has no bit rate.
    FakeAsset missing(dir.filePath(u"gone.m4a"_s), 200.0, D{44100, audioformat::aac, 0, 0});
    EXPECT_EQ(AudioInfo::read(missing.path(), missing).bitrate, 0);
}

TEST(AudioInfoLabels, Parameters)
{
    const struct {
        qint64 depth;
        qint64 bitrate;
        qint64 rate;
        QString text;
    } cases[] = {
        {16, 0, 44100, u"16-bit / 44.1 kHz"_s},
        {24, 900, 44100, u"24-bit / 44.1 kHz"_s},
        {0, 256, 44100, u"≈ 256 kb/s · 44.1 kHz"_s},
        {0, 200, 44100, u"≈ 200 kb/s · 44.1 kHz"_s},
        {0, 0, 48000, u"48 kHz"_s},
        {0, 0, 22050, u"22.05 kHz"_s},
        {0, 0, 88200, u"88.2 kHz"_s},
        {0, 0, 8000, u"8 kHz"_s},
        {0, 0, 1, u"0.001 kHz"_s},
        {0, 0, 123456789, u"123457 kHz"_s},
        {0, 0, 1234567890, u"1.23457e+06 kHz"_s},
        {0, 0, 0, u"Parametry nieznane"_s},
        {24, 0, 0, u"24-bit / Parametry nieznane"_s},
        {0, 128, 0, u"≈ 128 kb/s · Parametry nieznane"_s},
        {-1, -1, -1, u"Parametry nieznane"_s},
    };
    for (const auto &c : cases) {
        AudioInfo info;
        info.bitDepth = c.depth;
        info.bitrate = c.bitrate;
        info.sampleRate = c.rate;
        EXPECT_EQ(info.parameters(), c.text);
    }
}

TEST(AudioInfoLabels, DurationLabel)
{
    const struct {
        double seconds;
        QString text;
    } cases[] = {
        {0, u"0:00"_s},
        {-0.0, u"0:00"_s},
        {59.99, u"0:59"_s},
        {61.9, u"1:01"_s},
        {3599.5, u"59:59"_s},
        {3600, u"1:00:00"_s},
        {45296, u"12:34:56"_s},
        {360000, u"100:00:00"_s},
        {-1, u"—"_s},
        {-0.5, u"—"_s},
        {nan, u"—"_s},
        {inf, u"—"_s},
        {-inf, u"—"_s},
        {9223372036854775808.0, u"—"_s}, // 2^63
        {1e300, u"—"_s},
        {9223372036854774784.0, u"2562047788015215:13:04"_s}, // the largest double below 2^63
    };
    for (const auto &c : cases)
        EXPECT_EQ(durationLabel(c.seconds), c.text) << c.seconds;
}

AudioInfo sample()
{
    AudioInfo info;
    info.codec = u"FLAC"_s;
    info.sampleRate = 96000;
    info.bitDepth = 24;
    info.duration = 123.456789;
    info.bitrate = 0;
    info.trackNumber = -1;
    info.discNumber = 9'007'199'254'740'993; // beyond a double's exact integers
    info.year = u"2011"_s;
    info.tags = {{u"TITLE"_s, u"Zażółć = gęślą"_s}, {u"ALBUMARTIST"_s, QString()}};
    info.picture = QByteArray("\xff\xd8\x00binary\xff", 10);
    return info;
}

TEST(AudioInfoJson, RoundTrip)
{
    const AudioInfo info = sample();
    EXPECT_EQ(AudioInfo::decode(info.encode()), info);
    EXPECT_EQ(AudioInfo::fromJson(info.toJson()), info);
    AudioInfo plain;
    plain.codec = u"MP3"_s;
    EXPECT_EQ(AudioInfo::decode(plain.encode()), plain);
}

TEST(AudioInfoJson, KeysInFieldOrderAndPictureOnlyWhenPresent)
{
    AudioInfo info = sample();
    const QByteArray text = info.encode();
    qsizetype last = -1;
    for (const char *key : {"\"codec\"", "\"sampleRate\"", "\"bitDepth\"", "\"duration\"", "\"bitrate\"",
                            "\"trackNumber\"", "\"discNumber\"", "\"year\"", "\"tags\"", "\"picture\""}) {
        const qsizetype at = text.indexOf(key);
        EXPECT_GT(at, last) << key;
        last = at;
    }
    EXPECT_TRUE(text.contains("\"discNumber\":9007199254740993"));
    info.picture.reset();
    EXPECT_FALSE(info.encode().contains("picture"));
}

TEST(AudioInfoJson, DecodingRules)
{
    const QJsonObject full = sample().toJson();
    // Without "picture" (or with null) there is no picture.
    QJsonObject object = full;
    object.remove(u"picture"_s);
    EXPECT_FALSE(AudioInfo::fromJson(object).picture);
    object.insert(u"picture"_s, QJsonValue::Null);
    EXPECT_FALSE(AudioInfo::fromJson(object).picture);

    // Every other key is required, with its exact type.
    const struct {
        QString key;
        QJsonValue value; // Undefined: the key is removed
    } failures[] = {
        {u"codec"_s, QJsonValue::Undefined},    {u"sampleRate"_s, QJsonValue::Undefined},
        {u"bitDepth"_s, QJsonValue::Undefined}, {u"duration"_s, QJsonValue::Undefined},
        {u"bitrate"_s, QJsonValue::Undefined},  {u"trackNumber"_s, QJsonValue::Undefined},
        {u"discNumber"_s, QJsonValue::Undefined}, {u"year"_s, QJsonValue::Undefined},
        {u"tags"_s, QJsonValue::Undefined},     {u"year"_s, QJsonValue::Null},
        {u"year"_s, 2011},                      {u"codec"_s, QJsonArray{}},
        {u"sampleRate"_s, 44100.5},             {u"sampleRate"_s, u"44100"_s},
        {u"sampleRate"_s, 1e300},               {u"bitDepth"_s, true},
        {u"duration"_s, u"3"_s},                {u"tags"_s, QJsonArray{}},
        {u"tags"_s, QJsonObject{{u"TITLE"_s, 1}}}, {u"picture"_s, 5},
        {u"picture"_s, u"not base64!"_s},
    };
    for (const auto &f : failures) {
        QJsonObject broken = full;
        if (f.value.isUndefined())
            broken.remove(f.key);
        else
            broken.insert(f.key, f.value);
        try {
            AudioInfo::fromJson(broken);
            ADD_FAILURE() << "decoded without a valid " << qPrintable(f.key);
        } catch (const TavoError &error) {
            EXPECT_EQ(error.message(), u"Nieprawidłowe dane techniczne utworu: "_s + f.key);
        }
    }
    EXPECT_THROW(AudioInfo::decode("[1,2]"), TavoError);
    EXPECT_THROW(AudioInfo::decode("{\"codec\":"), TavoError);
    // Whole numbers written with a fraction part are still integers.
    object = full;
    object.insert(u"sampleRate"_s, 44100.0);
    EXPECT_EQ(AudioInfo::fromJson(object).sampleRate, 44100);
}

} // namespace
