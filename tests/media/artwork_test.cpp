#include "media/artwork.h"
#include "media/jpegmarkers.h"
#include "media/records.h"
#include "platform/appfolders.h"
#include "platform/errors.h"
#include "support/imagefixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QImageReader>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString unreadable = u"Obraz jest nieczytelny — wybierz nową okładkę."_s;
const QString large = u"Duża okładka — przygotuj wersję 500 × 500 dla iPoda."_s;
const QString progressive = u"JPEG progresywny — przygotuj zwykły JPEG dla Rockbox."_s;
const QString conversion = u"Obraz wymaga konwersji do JPEG obsługiwanego przez Rockbox."_s;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString thrownMessage(const QByteArray &bytes)
{
    try {
        Artwork::baselineJPEG(bytes);
    } catch (const TavoError &error) {
        return error.message();
    }
    return u"(no error)"_s;
}

} // namespace

TEST(JpegMarkers, FindsTheFrameKindSizeAndComponents)
{
    const auto baseline = JpegMarkers::frame(fixtures::jpeg(320, 200));
    ASSERT_TRUE(baseline);
    EXPECT_EQ(baseline->marker, 0xC0);
    EXPECT_FALSE(baseline->progressive);
    EXPECT_EQ(baseline->width, 320);
    EXPECT_EQ(baseline->height, 200);
    EXPECT_EQ(baseline->components, 3);

    const auto progressiveFrame = JpegMarkers::frame(fixtures::jpeg(64, 48, true));
    ASSERT_TRUE(progressiveFrame);
    EXPECT_EQ(progressiveFrame->marker, 0xC2);
    EXPECT_TRUE(progressiveFrame->progressive);

    // The EXIF segment before the frame must be stepped over, not mistaken for one.
    const auto tagged = JpegMarkers::frame(fixtures::withExifOrientation(fixtures::jpeg(30, 20, true), 6));
    ASSERT_TRUE(tagged);
    EXPECT_TRUE(tagged->progressive);
    EXPECT_EQ(tagged->width, 30);
}

TEST(JpegMarkers, DamagedOrForeignStreamsHaveNoFrame)
{
    const QByteArray jpeg = fixtures::jpeg(16, 16);
    const QByteArray cases[] = {
        QByteArray(),
        QByteArray("\xFF\xD8", 2),
        jpeg.left(20),                                 // cut inside the headers
        fixtures::encode(fixtures::solid(8, 8), "png"),
        QByteArray("\xFF\xD8\xFF\xE0\x00\x01", 6),      // segment length below 2
        QByteArray("\xFF\xD8\xFF\xDA\x00\x04\x00\x00", 8), // scan before any frame
    };
    for (const QByteArray &bytes : cases)
        EXPECT_FALSE(JpegMarkers::frame(bytes)) << bytes.toHex().toStdString();
}

struct IssueCase {
    const char *name;
    QByteArray bytes;
    std::optional<QString> expected;
};

TEST(ArtworkCompatibility, TellsTheFirstReasonACoverWillNotShow)
{
    const IssueCase cases[] = {
        {"500x500 baseline", fixtures::jpeg(500, 500), std::nullopt},
        {"500x300 baseline", fixtures::jpeg(500, 300), std::nullopt},
        {"501x500", fixtures::jpeg(501, 500), large},
        {"500x501", fixtures::jpeg(500, 501), large},
        {"progressive 300", fixtures::jpeg(300, 300, true), progressive},
        {"progressive 800 (before size)", fixtures::jpeg(800, 800, true), progressive},
        {"small PNG", fixtures::encode(fixtures::solid(50, 50), "png"), conversion},
        {"large PNG", fixtures::encode(fixtures::solid(900, 900), "png"), conversion},
        {"TIFF", fixtures::encode(fixtures::solid(40, 40), "tiff"), conversion},
        {"BMP 400", fixtures::encode(fixtures::solid(400, 400), "bmp"), std::nullopt},
        {"BMP 600", fixtures::encode(fixtures::solid(600, 600), "bmp"), large},
        {"BMP 500x501", fixtures::encode(fixtures::solid(500, 501), "bmp"), large},
        {"empty", QByteArray(), unreadable},
        {"text", QByteArray("this is not a picture at all, just words"), unreadable},
        // An orientation tag does not change the stored size that is judged.
        {"rotated 500x300", fixtures::withExifOrientation(fixtures::jpeg(500, 300), 6), std::nullopt},
    };
    for (const IssueCase &c : cases) {
        ASSERT_FALSE(c.name == std::string_view("empty") ? false : c.bytes.isEmpty()) << c.name;
        EXPECT_EQ(Artwork::compatibilityIssue(c.bytes), c.expected) << c.name;
    }
}

TEST(ArtworkBaseline, WidePictureBecomesABandWithWhiteAboveAndBelow)
{
    const QColor red(200, 30, 30);
    const QByteArray out = Artwork::baselineJPEG(fixtures::encode(fixtures::solid(1000, 500, red), "png"));
    const QImage image = fixtures::decode(out);
    ASSERT_EQ(image.size(), QSize(500, 500));
    // The picture is 500 × 250 at vertical offset 125.
    for (int x : {5, 250, 494}) {
        EXPECT_TRUE(fixtures::near(image.pixelColor(x, 3), Qt::white)) << x;
        EXPECT_TRUE(fixtures::near(image.pixelColor(x, 120), Qt::white)) << x;
        EXPECT_TRUE(fixtures::near(image.pixelColor(x, 130), red)) << x;
        EXPECT_TRUE(fixtures::near(image.pixelColor(x, 250), red)) << x;
        EXPECT_TRUE(fixtures::near(image.pixelColor(x, 369), red)) << x;
        EXPECT_TRUE(fixtures::near(image.pixelColor(x, 380), Qt::white)) << x;
        EXPECT_TRUE(fixtures::near(image.pixelColor(x, 496), Qt::white)) << x;
    }
}

TEST(ArtworkBaseline, LargePicturesOfAnyFormatBecomeCovers)
{
    // Decoded whole, 3000 × 3000 needs 36 MB; Qt's readers may use only 8 here,
    // as a 6,000-pixel picture meets their default limit.
    const QColor red(200, 30, 30);
    const QImage big = fixtures::solid(3000, 3000, red);
    const int before = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(8);
    for (const char *format : {"bmp", "tiff", "webp", "png", "jpeg"}) {
        const QByteArray out = Artwork::baselineJPEG(fixtures::encode(big, format, false, 95));
        EXPECT_FALSE(Artwork::compatibilityIssue(out).has_value()) << format;
        const QImage image = fixtures::decode(out);
        ASSERT_EQ(image.size(), QSize(500, 500)) << format;
        EXPECT_TRUE(fixtures::near(image.pixelColor(250, 250), red)) << format;
        EXPECT_TRUE(fixtures::near(image.pixelColor(3, 3), red)) << format;
    }
    QImageReader::setAllocationLimit(before);
}

TEST(ArtworkBaseline, TallPictureIsScaledUpAndCentredSideways)
{
    const QColor blue(20, 40, 210);
    const QImage image = fixtures::decode(Artwork::baselineJPEG(fixtures::encode(fixtures::solid(100, 200, blue), "jpeg")));
    ASSERT_EQ(image.size(), QSize(500, 500));
    // Scaled up to 250 × 500 at horizontal offset 125.
    for (int y : {4, 250, 495}) {
        EXPECT_TRUE(fixtures::near(image.pixelColor(120, y), Qt::white)) << y;
        EXPECT_TRUE(fixtures::near(image.pixelColor(130, y), blue)) << y;
        EXPECT_TRUE(fixtures::near(image.pixelColor(369, y), blue)) << y;
        EXPECT_TRUE(fixtures::near(image.pixelColor(380, y), Qt::white)) << y;
    }
}

TEST(ArtworkBaseline, OrientationTagIsApplied)
{
    // Stored 200 × 100, red on the left, blue on the right; orientation 6 turns
    // it a quarter clockwise, so upright it is 100 × 200 with red on top.
    QImage stored = fixtures::solid(200, 100, QColor(210, 20, 20));
    for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x)
            stored.setPixelColor(x, y, QColor(20, 20, 210));
    const QByteArray tagged = fixtures::withExifOrientation(fixtures::encode(stored, "jpeg", false, 95), 6);
    const QImage image = fixtures::decode(Artwork::baselineJPEG(tagged));
    ASSERT_EQ(image.size(), QSize(500, 500));
    EXPECT_TRUE(fixtures::near(image.pixelColor(250, 100), QColor(210, 20, 20)));
    EXPECT_TRUE(fixtures::near(image.pixelColor(250, 400), QColor(20, 20, 210)));
    EXPECT_TRUE(fixtures::near(image.pixelColor(60, 250), Qt::white));
    EXPECT_TRUE(fixtures::near(image.pixelColor(440, 250), Qt::white));
}

TEST(ArtworkBaseline, OutputIsAFitThreeComponentBaselineJpeg)
{
    QImage translucent(300, 300, QImage::Format_ARGB32);
    translucent.fill(Qt::transparent);
    QImage grey(640, 480, QImage::Format_Grayscale8);
    grey.fill(90);
    const QByteArray inputs[] = {
        fixtures::jpeg(3000, 3000),
        fixtures::jpeg(800, 800, true),
        fixtures::encode(fixtures::solid(1200, 700), "bmp"),
        fixtures::encode(translucent, "png"),
        fixtures::encode(grey, "jpeg"),
        fixtures::encode(fixtures::solid(1, 1), "png"),
    };
    for (const QByteArray &input : inputs) {
        const QByteArray out = Artwork::baselineJPEG(input);
        EXPECT_EQ(Artwork::compatibilityIssue(out), std::nullopt);
        const auto frame = JpegMarkers::frame(out);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->marker, 0xC0); // baseline DCT, Huffman
        EXPECT_LE(frame->components, 3);
        EXPECT_EQ(frame->width, 500);
        EXPECT_EQ(frame->height, 500);
    }
    // A fully transparent picture lies on white.
    const QImage white = fixtures::decode(Artwork::baselineJPEG(fixtures::encode(translucent, "png")));
    EXPECT_TRUE(fixtures::near(white.pixelColor(250, 250), Qt::white, 3));
}

TEST(ArtworkBaseline, RefusesWhatIsNoPicture)
{
    EXPECT_EQ(thrownMessage(QByteArray()), u"Nie można odczytać obrazu."_s);
    EXPECT_EQ(thrownMessage(QByteArray("garbage garbage garbage garbage")), u"Nie można odczytać obrazu."_s);
    // Looks like a JPEG, but the stream breaks off in its headers.
    EXPECT_EQ(thrownMessage(fixtures::jpeg(100, 100).left(30)), u"Obraz jest nieobsługiwany."_s);
}

TEST(ArtworkCache, WritesKeyDotJpgUnderApplicationSupportAndReplacesIt)
{
    QTemporaryDir home;
    const QString support = home.path() + u"/deep/Vontaro"_s;
    AppFolders::setApplicationSupportOverride(support);
    EXPECT_EQ(Artwork::cacheRoot(), support + u"/Artwork"_s);

    const QString path = Artwork::cache(QByteArray("first"), u"ab12"_s);
    EXPECT_EQ(path, support + u"/Artwork/ab12.jpg"_s);
    EXPECT_EQ(readFile(path), QByteArray("first"));

    EXPECT_EQ(Artwork::cache(QByteArray("second, longer"), u"ab12"_s), path);
    EXPECT_EQ(readFile(path), QByteArray("second, longer"));
    EXPECT_EQ(QDir(support + u"/Artwork"_s).entryList(QDir::Files | QDir::Hidden), QStringList{u"ab12.jpg"_s});

    const QString theme = Artwork::cache(QByteArray("t"), u"theme-00ff"_s);
    EXPECT_EQ(theme, support + u"/Artwork/theme-00ff.jpg"_s);
    AppFolders::setApplicationSupportOverride(QString());
}

TEST(ArtworkCache, FileSystemErrorsComeThroughAsPosixErrors)
{
    QTemporaryDir home;
    // A file stands where the Vontaro folder should be.
    writeFile(home.path() + u"/Vontaro"_s, "x");
    AppFolders::setApplicationSupportOverride(home.path() + u"/Vontaro"_s);
    EXPECT_THROW(Artwork::cache(QByteArray("a"), u"k"_s), PosixError);

    // A folder stands where the cache file should be: the write itself fails,
    // and nothing is left behind beside it.
    AppFolders::setApplicationSupportOverride(home.path() + u"/ok"_s);
    QDir().mkpath(home.path() + u"/ok/Artwork/k.jpg"_s);
    EXPECT_THROW(Artwork::cache(QByteArray("a"), u"k"_s), PosixError);
    EXPECT_EQ(QDir(home.path() + u"/ok/Artwork"_s).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList{u"k.jpg"_s});
    AppFolders::setApplicationSupportOverride(QString());
}

TEST(ArtworkCache, KeysThatWouldLeaveTheCacheFolderAreRefused)
{
    QTemporaryDir home;
    AppFolders::setApplicationSupportOverride(home.path() + u"/Vontaro"_s);
    for (const QString &key : QStringList{u"../escape"_s, u"a/b"_s, QString(), u"x"_s + QChar(u'\0') + u"y"_s}) {
        try {
            Artwork::cache(QByteArray("a"), key);
            ADD_FAILURE() << key.toStdString();
        } catch (const TavoError &error) {
            EXPECT_EQ(error.message(), u"Nieprawidłowa ścieżka."_s);
        }
    }
    EXPECT_FALSE(QFile::exists(home.path() + u"/Vontaro/escape.jpg"_s));
    AppFolders::setApplicationSupportOverride(QString());
}

TEST(ArtworkExternalCover, LooksBesideTheTrackAndInItsFolder)
{
    struct Case {
        const char *file;
        bool expected;
    };
    const Case cases[] = {
        {"01 Song.jpeg", true}, {"01 Song.jpg", true}, {"01 Song.bmp", true}, {"cover.jpeg", true},
        {"cover.jpg", true},    {"cover.bmp", true},   {"folder.jpg", true},  {"folder.jpeg", false},
        {"cover.png", false},   {"01 Song.png", false}, {"02 Other.jpg", false}, {nullptr, false},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        Track track;
        track.url = dir.path() + u"/01 Song.flac"_s;
        writeFile(track.url, "audio");
        if (c.file)
            writeFile(dir.path() + u'/' + QString::fromUtf8(c.file), "img");
        EXPECT_EQ(Artwork::externalCoverExists(track), c.expected) << (c.file ? c.file : "(none)");
    }
}
