#include "media/audioinfo.h"
#include "media/flacreader.h"
#include "platform/errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(char(v & 0xFF));
    return out;
}

QByteArray be32(quint32 v)
{
    return bytes({int(v >> 24), int(v >> 16), int(v >> 8), int(v)});
}

QByteArray le32(quint32 v)
{
    return bytes({int(v), int(v >> 8), int(v >> 16), int(v >> 24)});
}

QByteArray blockHeader(int type, quint32 length, bool last)
{
    return bytes({(last ? 0x80 : 0) | type, int(length >> 16), int(length >> 8), int(length)});
}

QByteArray block(int type, const QByteArray &body, bool last = false)
{
    return blockHeader(type, quint32(body.size()), last) + body;
}

QByteArray streamInfo(quint64 rate, int bits, quint64 samples, int channels = 2)
{
    QByteArray body(34, '\0');
    const quint64 v = rate << 44 | quint64(channels - 1) << 41 | quint64(bits - 1) << 36 | samples;
    for (int i = 0; i < 8; ++i)
        body[10 + i] = char(v >> (56 - 8 * i));
    return body;
}

QByteArray comments(const QList<QByteArray> &texts, std::optional<quint32> count = std::nullopt)
{
    QByteArray body = le32(6) + "vendor" + le32(count.value_or(quint32(texts.size())));
    for (const QByteArray &text : texts)
        body += le32(quint32(text.size())) + text;
    return body;
}

QByteArray picture(quint32 type, const QByteArray &data, std::optional<quint32> announced = std::nullopt)
{
    return be32(type) + be32(10) + "image/jpeg" + be32(4) + "desc" + be32(8) + be32(8) + be32(24) + be32(0) +
           be32(announced.value_or(quint32(data.size()))) + data;
}

class FlacReader : public ::testing::Test
{
protected:
    QString write(const QByteArray &bytes, const QString &name = u"test.flac"_s)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    AudioInfo readBytes(const QByteArray &bytes) { return AudioInfo::readFLAC(write(bytes)); }

    QString failure(const QByteArray &bytes)
    {
        try {
            AudioInfo::readFLAC(write(bytes));
        } catch (const TavoError &error) {
            return error.message();
        }
        return u"(no error)"_s;
    }

    QTemporaryDir dir;
};

// An ID3v2.4 tag of `size` bytes behind its header (frames filled with
// padding-like bytes that would read as nothing else), with or without footer.
QByteArray id3(int size, bool footer)
{
    QByteArray tag("ID3\x04\x00", 5);
    tag += char(footer ? 0x10 : 0x00);
    tag += char((size >> 21) & 0x7F);
    tag += char((size >> 14) & 0x7F);
    tag += char((size >> 7) & 0x7F);
    tag += char(size & 0x7F);
    tag += QByteArray(size, 'f'); // 'f' so a reader that stops early meets "ff…", never the marker
    if (footer)
        tag += QByteArray("3DI\x04\x00\x10", 6) + tag.mid(6, 4);
    return tag;
}

TEST_F(FlacReader, MarkerOnlyGivesDefaults)
{
    AudioInfo expected;
    expected.codec = u"FLAC"_s;
    EXPECT_EQ(readBytes("fLaC"), expected);
}

TEST_F(FlacReader, StreamInfoGivesRateDepthAndDuration)
{
    const AudioInfo info = readBytes("fLaC" + block(0, streamInfo(44100, 16, 13'230'000), true));
    EXPECT_EQ(info.codec, u"FLAC");
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.bitDepth, 16);
    EXPECT_DOUBLE_EQ(info.duration, 300.0);
    EXPECT_EQ(info.bitrate, 0);
    EXPECT_EQ(info.parameters(), u"16-bit / 44.1 kHz");
}

TEST_F(FlacReader, StreamInfoEdgeCases)
{
    // Sample rate 0: the rate is stored, the duration stays 0.
    AudioInfo info = readBytes("fLaC" + block(0, streamInfo(0, 24, 1000), true));
    EXPECT_EQ(info.sampleRate, 0);
    EXPECT_EQ(info.bitDepth, 24);
    EXPECT_EQ(info.duration, 0);
    // Widest fields: 20-bit rate, 32 bits, 36-bit sample count.
    info = readBytes("fLaC" + block(0, streamInfo(0xFFFFF, 32, (quint64(1) << 36) - 1), true));
    EXPECT_EQ(info.sampleRate, 0xFFFFF);
    EXPECT_EQ(info.bitDepth, 32);
    EXPECT_DOUBLE_EQ(info.duration, double((quint64(1) << 36) - 1) / double(0xFFFFF));
    // A STREAMINFO of another length is dropped; a later one overwrites an earlier one.
    info = readBytes("fLaC" + block(0, streamInfo(44100, 16, 44100).left(33)) + block(1, QByteArray(10, '\0'), true));
    EXPECT_EQ(info.sampleRate, 0);
    info = readBytes("fLaC" + block(0, streamInfo(44100, 16, 44100)) + block(0, streamInfo(96000, 24, 96000), true));
    EXPECT_EQ(info.sampleRate, 96000);
    EXPECT_EQ(info.bitDepth, 24);
    EXPECT_DOUBLE_EQ(info.duration, 1.0);
}

TEST_F(FlacReader, MissingLastFlagEndingAtEndOfFileIsAccepted)
{
    const AudioInfo info = readBytes("fLaC" + block(0, streamInfo(48000, 16, 96000)) + block(1, QByteArray(5, '\0')));
    EXPECT_EQ(info.sampleRate, 48000);
    EXPECT_DOUBLE_EQ(info.duration, 2.0);
    // A partial header at the end is the end of the walk too.
    EXPECT_EQ(readBytes("fLaC" + block(0, streamInfo(48000, 16, 96000)) + "\x01\x00").sampleRate, 48000);
}

TEST_F(FlacReader, StopsAtTheLastBlockWithoutReadingFurther)
{
    // Whatever follows the last metadata block (audio frames) is never parsed.
    const AudioInfo info = readBytes("fLaC" + block(0, streamInfo(44100, 16, 441), true) + blockHeader(4, 0xFFFFFF, false));
    EXPECT_EQ(info.sampleRate, 44100);
}

TEST_F(FlacReader, ZeroLengthBlockIsAccepted)
{
    const AudioInfo info = readBytes("fLaC" + block(1, {}) + block(0, streamInfo(44100, 16, 441), true));
    EXPECT_EQ(info.sampleRate, 44100);
}

TEST_F(FlacReader, LeadingID3v2TagIsSkipped)
{
    const QByteArray stream = "fLaC" + block(0, streamInfo(44100, 16, 88200)) +
                              block(4, comments({"TITLE=Za tagiem", "ARTIST=Ktoś", "TRACKNUMBER=3"}), true);
    const struct {
        const char *name;
        QByteArray head;
    } cases[] = {
        {"small tag", id3(20, false)},
        {"tag with footer", id3(20, true)},
        // 0x81 as a syncsafe number reads 129 bytes, not 0x81 itself.
        {"size over 127", id3(129, false)},
        {"empty tag", id3(0, false)},
        // Tags longer than the pieces the head is read in, and one ending just at a piece's end.
        {"tag of 200 KB", id3(200'000, false)},
        {"tag ending at 64 KB", id3(64 * 1024 - 10 - 4, false)},
    };
    for (const auto &c : cases) {
        const AudioInfo info = readBytes(c.head + stream);
        EXPECT_EQ(info.codec, u"FLAC"_s) << c.name;
        EXPECT_EQ(info.sampleRate, 44100) << c.name;
        EXPECT_EQ(info.duration, 2.0) << c.name;
        EXPECT_EQ(info.tags.value(u"TITLE"_s), u"Za tagiem"_s) << c.name;
        EXPECT_EQ(info.tags.value(u"ARTIST"_s), u"Ktoś"_s) << c.name;
        EXPECT_EQ(info.trackNumber, 3) << c.name;
    }
}

TEST_F(FlacReader, RefusesBadMarkersAndTruncatedBlocks)
{
    const struct {
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"", u"Nieprawidłowy nagłówek FLAC."_s},
        {"fLa", u"Nieprawidłowy nagłówek FLAC."_s},
        {"ID3\x04", u"Nieprawidłowy nagłówek FLAC."_s},
        // An ID3v2 tag that runs past the end, has a size that is not syncsafe,
        // or hides something else than the marker.
        {id3(8, false) + "fLa", u"Nieprawidłowy nagłówek FLAC."_s},
        {QByteArray("ID3\x03\x00\x00\x00\x00\x00\x80", 10) + QByteArray(128, 'x') + "fLaC", u"Nieprawidłowy nagłówek FLAC."_s},
        {id3(16, false) + "OggS" + block(0, streamInfo(44100, 16, 1), true), u"Nieprawidłowy nagłówek FLAC."_s},
        {QByteArray("ID3\x03\x00\x00\x00\x00\x01", 9), u"Nieprawidłowy nagłówek FLAC."_s},
        {"flac" + block(0, streamInfo(44100, 16, 1), true), u"Nieprawidłowy nagłówek FLAC."_s},
        {"fLaC" + blockHeader(0, 34, true) + QByteArray(33, '\0'), u"Nieprawidłowe metadane FLAC."_s},
        {"fLaC" + blockHeader(4, 0xFFFFFF, true), u"Nieprawidłowe metadane FLAC."_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(failure(c.bytes), c.message) << c.bytes.toHex().constData();
}

TEST_F(FlacReader, MetadataTotalIsLimited)
{
    // Two large blocks (sparse, so the test stays small on disk) sum to
    // 31,999,999 bytes and pass; one more byte fails before it is read.
    const QByteArray head = "fLaC" + blockHeader(1, 16'000'000, false);
    const auto makeFile = [&](const QByteArray &tail) {
        const QString path = dir.filePath(u"big.flac"_s);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(head);
        file.seek(head.size() + 16'000'000);
        file.write(blockHeader(1, 15'999'999, tail.isEmpty()));
        file.seek(file.pos() + 15'999'999);
        if (tail.isEmpty())
            file.resize(file.pos());
        else
            file.write(tail);
        return path;
    };
    AudioInfo expected;
    expected.codec = u"FLAC"_s;
    EXPECT_EQ(AudioInfo::readFLAC(makeFile({})), expected);
    for (const bool last : {false, true}) {
        try {
            AudioInfo::readFLAC(makeFile(blockHeader(1, 1, last) + "x"));
            ADD_FAILURE() << "accepted 32,000,000 bytes of metadata";
        } catch (const TavoError &error) {
            EXPECT_EQ(error.message(), u"Nieprawidłowe metadane FLAC.");
        }
    }
}

TEST_F(FlacReader, EveryWayOutClosesTheFile)
{
    const auto openDescriptors = [] {
        return QDir(u"/proc/self/fd"_s).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
    };
    const QString good = write("fLaC" + block(0, streamInfo(44100, 16, 441), true), u"good.flac"_s);
    const QString header = write("ID3\x04", u"header.flac"_s);
    const QString metadata = write("fLaC" + blockHeader(4, 100, true) + "short", u"metadata.flac"_s);
    const QString folder = dir.filePath(u"folder.flac"_s);
    ASSERT_TRUE(QDir().mkdir(folder));
    const auto before = openDescriptors();
    EXPECT_NO_THROW(AudioInfo::readFLAC(good));
    EXPECT_THROW(AudioInfo::readFLAC(header), TavoError);
    EXPECT_THROW(AudioInfo::readFLAC(metadata), TavoError);
    EXPECT_THROW(AudioInfo::readFLAC(folder), PosixError); // opened, then the read fails
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(FlacReader, MissingFileThrowsThePosixError)
{
    try {
        AudioInfo::readFLAC(dir.filePath(u"absent.flac"_s));
        ADD_FAILURE() << "no error";
    } catch (const PosixError &error) {
        EXPECT_EQ(error.code(), ENOENT);
    }
}

TEST_F(FlacReader, ReadsAcrossShortReads)
{
    // A pipe hands the reader a few bytes at a time: every read must be continued.
    const QString path = dir.filePath(u"pipe.flac"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const QByteArray bytes = "fLaC" + block(4, comments({"TITLE=Krótki odczyt"})) +
                             block(0, streamInfo(44100, 16, 13'230'000), true);
    std::thread writer([&] {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        for (qsizetype i = 0; i < bytes.size(); i += 3) {
            out.write(bytes.mid(i, 3));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    // A pipe is no library file (a FIFO by a track's name is refused, never
    // waited on), so it is opened here and handed over as an open file.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const AudioInfo info = flac::readFrom(posixfile::File(fd));
    writer.join();
    EXPECT_EQ(info.tags.value(u"TITLE"_s), u"Krótki odczyt");
    EXPECT_DOUBLE_EQ(info.duration, 300.0);
    EXPECT_THROW(AudioInfo::readFLAC(path), PosixError) << "by name, a FIFO is refused at once";
}

TEST_F(FlacReader, CommentRules)
{
    const struct {
        const char *name;
        QByteArray body;
        QMap<QString, QString> tags;
        qint64 trackNumber;
    } cases[] = {
        {"names upper-cased, values keep =, no = skipped",
         comments({"tracknumber=4/10", "Artist=A=B", "TITLE"}),
         {{u"TRACKNUMBER"_s, u"4/10"_s}, {u"ARTIST"_s, u"A=B"_s}},
         4},
        {"later wins", comments({"ALBUM=x", "album=y"}), {{u"ALBUM"_s, u"y"_s}}, 0},
        {"empty value", comments({"GENRE="}), {{u"GENRE"_s, QString()}}, 0},
        {"full upper-casing", comments({"straße=x"}), {{u"STRASSE"_s, u"x"_s}}, 0},
        {"UTF-8 values", comments({"TITLE=Zażółć gęślą jaźń"}), {{u"TITLE"_s, u"Zażółć gęślą jaźń"_s}}, 0},
        {"invalid UTF-8 skipped", comments({"TITLE=\xff\xfe", "ALBUM=ok"}), {{u"ALBUM"_s, u"ok"_s}}, 0},
        {"count 0", comments({"TITLE=x"}, 0), {}, 0},
        {"count 10,000", comments({"TITLE=x"}, 10'000), {}, 0},
        {"count 9,999 reads what is there", comments({"TITLE=x"}, 9'999), {{u"TITLE"_s, u"x"_s}}, 0},
        {"overlong comment stops the block",
         le32(6) + "vendor" + le32(2) + le32(7) + "TITLE=x" + le32(100) + "ARTIST=y",
         {{u"TITLE"_s, u"x"_s}},
         0},
        {"vendor longer than the body", le32(100) + "vendor", {}, 0},
        {"no room for the count", le32(2) + "ve" + "\x01\x00", {}, 0},
        {"three bytes", "abc", {}, 0},
    };
    for (const auto &c : cases) {
        const AudioInfo info = readBytes("fLaC" + block(4, c.body, true));
        EXPECT_EQ(info.tags, c.tags) << c.name;
        EXPECT_EQ(info.trackNumber, c.trackNumber) << c.name;
    }
}

TEST_F(FlacReader, TenThousandWellFormedCommentsGiveNone)
{
    QList<QByteArray> texts;
    for (int i = 0; i < 10'000; ++i)
        texts.append("C" + QByteArray::number(i) + "=v");
    EXPECT_TRUE(readBytes("fLaC" + block(4, comments(texts), true)).tags.isEmpty());
    texts.removeLast();
    EXPECT_EQ(readBytes("fLaC" + block(4, comments(texts), true)).tags.size(), 9'999);
}

TEST_F(FlacReader, LaterCommentBlockReplacesValues)
{
    const AudioInfo info = readBytes("fLaC" + block(4, comments({"ALBUM=x", "ARTIST=a"})) +
                                     block(4, comments({"album=y"}), true));
    EXPECT_EQ(info.tags.value(u"ALBUM"_s), u"y");
    EXPECT_EQ(info.tags.value(u"ARTIST"_s), u"a");
}

TEST_F(FlacReader, PictureChoice)
{
    const QByteArray a = "first", b = "second";
    const struct {
        const char *name;
        QByteArray blocks;
        std::optional<QByteArray> expected;
    } cases[] = {
        {"other then front", block(6, picture(0, a)) + block(6, picture(3, b)), b},
        {"front then other", block(6, picture(3, a)) + block(6, picture(0, b)), a},
        {"two fronts: the last", block(6, picture(3, a)) + block(6, picture(3, b)), b},
        {"no front: the first", block(6, picture(4, a)) + block(6, picture(4, b)), a},
        {"pictures larger than a read piece", block(6, picture(4, QByteArray(70'000, 'a')))
                                                  + block(6, picture(3, QByteArray(300'000, 'b'))),
         QByteArray(300'000, 'b')},
        {"data length past the body", block(6, picture(3, a, 100)), std::nullopt},
        {"MIME length past the body", block(6, be32(3) + be32(1000) + "x"), std::nullopt},
        {"no type", block(6, "abc"), std::nullopt},
        {"fields cut short", block(6, be32(3) + be32(0) + be32(0) + be32(8)), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(readBytes("fLaC" + c.blocks + block(1, {}, true)).picture, c.expected) << c.name;
}

TEST_F(FlacReader, PictureSizeLimit)
{
    const QByteArray tenMillion(10'000'000, 'p');
    AudioInfo info = readBytes("fLaC" + block(6, picture(3, tenMillion), true));
    ASSERT_TRUE(info.picture.has_value());
    EXPECT_EQ(info.picture->size(), 10'000'000);
    // 10,000,001 announced bytes (all present) are dropped; the walk goes on.
    info = readBytes("fLaC" + block(6, picture(3, tenMillion + "p")) + block(0, streamInfo(44100, 16, 1), true));
    EXPECT_FALSE(info.picture.has_value());
    EXPECT_EQ(info.sampleRate, 44100);
}

TEST_F(FlacReader, NumbersAndYearFromTags)
{
    const struct {
        QList<QByteArray> texts;
        qint64 track;
        qint64 disc;
        QString year;
    } cases[] = {
        {{"TRACKNUMBER=3/12", "DISCNUMBER=2/2", "DATE=2001-05-03"}, 3, 2, u"2001"_s},
        {{"TRACKNUMBER=07", "DISCNUMBER=II", "YEAR=1999"}, 7, 0, u"1999"_s},
        {{"TRACKNUMBER=/12", "DATE=", "YEAR=1999"}, 12, 0, QString()},
        {{"TRACKNUMBER=3 of 12", "DISCNUMBER=-1"}, 0, -1, QString()},
        {{"TRACKNUMBER=+5", "DISCNUMBER= 1"}, 5, 0, QString()},
        {{"TRACKNUMBER=99999999999999999999", "DATE=99"}, 0, 0, u"99"_s},
        {{"TRACKNUMBER=//"}, 0, 0, QString()},
    };
    for (const auto &c : cases) {
        const AudioInfo info = readBytes("fLaC" + block(4, comments(c.texts), true));
        EXPECT_EQ(info.trackNumber, c.track) << c.texts.join(' ').constData();
        EXPECT_EQ(info.discNumber, c.disc) << c.texts.join(' ').constData();
        EXPECT_EQ(info.year, c.year) << c.texts.join(' ').constData();
    }
}

TEST(FlacCorpus, RealFiles)
{
    const struct {
        const char *file;
        qint64 rate;
        qint64 bits;
        double duration;
        bool picture;
    } cases[] = {
        {"01 - blocksize 4096.flac", 44100, 16, 308700.0 / 44100, false},
        {"28 - high resolution audio, default settings.flac", 96000, 24, 838036.0 / 96000, false},
        {"45 - no total number of samples set.flac", 48000, 16, 0, false},
        {"47 - only STREAMINFO.flac", 48000, 16, 232608.0 / 48000, false},
        {"56 - JPG PICTURE.flac", 44100, 16, 220026.0 / 44100, true},
        {"full.flac", 44100, 16, 1.0, false},
    };
    for (const auto &c : cases) {
        const QString path = QString::fromUtf8(VONTARO_TEST_DATA_DIR "/corpus/flac/") + QString::fromUtf8(c.file);
        const AudioInfo info = AudioInfo::readFLAC(path);
        EXPECT_EQ(info.codec, u"FLAC") << c.file;
        EXPECT_EQ(info.sampleRate, c.rate) << c.file;
        EXPECT_EQ(info.bitDepth, c.bits) << c.file;
        EXPECT_DOUBLE_EQ(info.duration, c.duration) << c.file;
        EXPECT_EQ(info.picture.has_value(), c.picture) << c.file;
    }
    const AudioInfo picture = AudioInfo::readFLAC(QString::fromUtf8(VONTARO_TEST_DATA_DIR "/corpus/flac/56 - JPG PICTURE.flac"));
    ASSERT_TRUE(picture.picture);
    EXPECT_EQ(picture.picture->size(), 432368);
    EXPECT_TRUE(picture.picture->startsWith("\xff\xd8"));

    const AudioInfo full = AudioInfo::readFLAC(QString::fromUtf8(VONTARO_TEST_DATA_DIR "/corpus/flac/full.flac"));
    EXPECT_EQ(full.tags.value(u"TITLE"_s), u"full");
    EXPECT_EQ(full.tags.value(u"LYRICS"_s), u"the lyrics"); // stored as "lyrics"
    EXPECT_EQ(full.trackNumber, 2);
    EXPECT_EQ(full.discNumber, 4);
    EXPECT_EQ(full.year, u"2001");
}

TEST(FlacCorpus, OwnFixture)
{
    const AudioInfo info = AudioInfo::readFLAC(QString::fromUtf8(VONTARO_TEST_DATA_DIR "/audio/tagged.flac"));
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.bitDepth, 16);
    EXPECT_DOUBLE_EQ(info.duration, 0.1);
    EXPECT_EQ(info.tags.value(u"TITLE"_s), u"Tytuł");
    EXPECT_EQ(info.tags.value(u"ALBUMARTIST"_s), u"Album Artist");
    EXPECT_EQ(info.trackNumber, 4);
    EXPECT_EQ(info.discNumber, 2);
    EXPECT_EQ(info.year, u"2011");
    ASSERT_TRUE(info.picture);
    EXPECT_TRUE(info.picture->startsWith("\xff\xd8"));
}

} // namespace
