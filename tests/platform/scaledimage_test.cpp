#include "platform/scaledimage.h"

#include "support/imagefixtures.h"

#include <QImageReader>
#include <QPainter>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QColor red(220, 20, 20);
const QColor blue(20, 20, 220);
const QColor green(20, 200, 20);

// Left half red, right half blue, a green band over the bottom quarter.
QImage pattern(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(red);
    QPainter painter(&image);
    painter.fillRect(width / 2, 0, width - width / 2, height, blue);
    painter.fillRect(0, height * 3 / 4, width, height - height * 3 / 4, green);
    painter.end();
    return image;
}

// While alive, Qt's readers refuse any picture needing more than `megabytes`,
// so a decode that held the whole picture would fail.
class AllocationLimit
{
public:
    explicit AllocationLimit(int megabytes) : m_before(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(megabytes);
    }
    ~AllocationLimit() { QImageReader::setAllocationLimit(m_before); }

private:
    int m_before;
};

void expectPattern(const QImage &image, QSize size, const char *name)
{
    ASSERT_EQ(image.size(), size) << name;
    const int w = size.width(), h = size.height();
    EXPECT_TRUE(fixtures::near(image.pixelColor(w / 4, h / 4), red)) << name;
    EXPECT_TRUE(fixtures::near(image.pixelColor(w * 3 / 4, h / 4), blue)) << name;
    EXPECT_TRUE(fixtures::near(image.pixelColor(w / 4, h * 7 / 8), green)) << name;
    EXPECT_TRUE(fixtures::near(image.pixelColor(w * 3 / 4, h * 7 / 8), green)) << name;
}

// A top-down 16-bit BMP with 5-6-5 bit fields, written by hand (Qt writes
// neither form).
QByteArray bitFieldBmp(const QImage &source)
{
    const int w = source.width(), h = source.height();
    const qsizetype stride = ((qint64(w) * 16 + 31) / 32) * 4;
    const quint32 pixelsAt = 14 + 40 + 12;
    QByteArray bytes(pixelsAt + stride * h, '\0');
    auto *d = reinterpret_cast<uchar *>(bytes.data());
    d[0] = 'B';
    d[1] = 'M';
    qToLittleEndian<quint32>(quint32(bytes.size()), d + 2);
    qToLittleEndian<quint32>(pixelsAt, d + 10);
    qToLittleEndian<quint32>(40, d + 14);
    qToLittleEndian<qint32>(w, d + 18);
    qToLittleEndian<qint32>(-h, d + 22);
    qToLittleEndian<quint16>(1, d + 26);
    qToLittleEndian<quint16>(16, d + 28);
    qToLittleEndian<quint32>(3, d + 30);
    qToLittleEndian<quint32>(0xF800, d + 54);
    qToLittleEndian<quint32>(0x07E0, d + 58);
    qToLittleEndian<quint32>(0x001F, d + 62);
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const quint16 v = quint16((qRed(line[x]) >> 3) << 11 | (qGreen(line[x]) >> 2) << 5 | (qBlue(line[x]) >> 3));
            qToLittleEndian<quint16>(v, d + pixelsAt + stride * y + 2 * x);
        }
    }
    return bytes;
}

} // namespace

TEST(ScaledImage, LargePicturesOfEveryFormatAreDecodedScaled)
{
    // 4000 × 2000 needs 32 MB decoded whole; the readers may use only 8.
    const QImage big = pattern(4000, 2000);
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"bmp 24-bit", fixtures::encode(big, "bmp")},
        {"bmp 8-bit palette", fixtures::encode(big.convertToFormat(QImage::Format_Indexed8), "bmp")},
        {"bmp 16-bit bit fields, top-down", bitFieldBmp(big)},
        {"tiff", fixtures::encode(big, "tiff")},
        {"webp", fixtures::encode(big, "webp", false, 100)},
        {"png", fixtures::encode(big, "png")},
        {"jpeg", fixtures::encode(big, "jpeg")},
    };
    AllocationLimit limit(8);
    for (const auto &c : cases) {
        ASSERT_FALSE(c.bytes.isEmpty()) << c.name;
        // Whole, the reader refuses it: this is what a full-size decode would meet.
        if (std::string_view(c.name) != "jpeg" && std::string_view(c.name) != "png") {
            EXPECT_TRUE(QImage::fromData(c.bytes).isNull()) << c.name;
        }
        expectPattern(ScaledImage::decode(c.bytes, QSize(500, 500)), QSize(500, 250), c.name);
    }
}

TEST(ScaledImage, SmallPicturesAreNeverScaledUp)
{
    const QImage small = pattern(200, 100);
    for (const char *format : {"bmp", "tiff", "webp", "png", "jpeg"}) {
        const QByteArray bytes = fixtures::encode(small, format, false, 100);
        expectPattern(ScaledImage::decode(bytes, QSize(500, 500)), QSize(200, 100), format);
    }
}

TEST(ScaledImage, TheBoundIsFittedKeepingTheShape)
{
    const QByteArray tall = fixtures::encode(pattern(600, 1800), "bmp");
    expectPattern(ScaledImage::decode(tall, QSize(500, 500)), QSize(166, 500), "tall");
    const QByteArray wide = fixtures::encode(pattern(3000, 600), "tiff");
    expectPattern(ScaledImage::decode(wide, QSize(300, 300)), QSize(300, 60), "wide");
}

TEST(ScaledImage, TranslucentPixelsAverageWithTheirAlpha)
{
    // Half transparent, half opaque white: averaged premultiplied, never a dark fringe.
    QImage image(2000, 1000, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(1000, 0, 1000, 1000, Qt::white);
    painter.end();
    for (const char *format : {"tiff", "webp"}) {
        const QImage out = ScaledImage::decode(fixtures::encode(image, format, false, 100), QSize(100, 100));
        ASSERT_EQ(out.size(), QSize(100, 50)) << format;
        EXPECT_EQ(out.pixelColor(10, 25).alpha(), 0) << format;
        EXPECT_TRUE(fixtures::near(out.pixelColor(90, 25), Qt::white)) << format;
    }
}

TEST(ScaledImage, WhatIsNoPictureGivesANullImage)
{
    AllocationLimit limit(8);
    const QByteArray bmp = fixtures::encode(pattern(4000, 2000), "bmp");
    const QByteArray cases[] = {
        QByteArray(),
        QByteArray("not a picture at all"),
        // A BMP cut short: its pixels are missing.
        bmp.left(bmp.size() / 2),
        fixtures::encode(pattern(4000, 2000), "tiff").left(4096),
    };
    for (const QByteArray &bytes : cases)
        EXPECT_TRUE(ScaledImage::decode(bytes, QSize(500, 500)).isNull()) << bytes.left(16).toHex().constData();
    EXPECT_TRUE(ScaledImage::decode(fixtures::encode(pattern(10, 10), "png"), QSize()).isNull());
}
