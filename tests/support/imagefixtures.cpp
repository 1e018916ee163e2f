#include "support/imagefixtures.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <cstdlib>

namespace fixtures {

QImage solid(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QByteArray encode(const QImage &image, const char *format, bool progressive, int quality)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        return {};
    return out;
}

QByteArray paddedTo(const QByteArray &jpeg, int size)
{
    // One segment holds at most 65,533 bytes: as many as it takes.
    QByteArray padded = jpeg;
    while (padded.size() + 4 < size) {
        const int room = std::min(int(size - padded.size()) - 4, 65000);
        QByteArray segment("\xFF\xFE", 2);
        segment += char((room + 2) >> 8);
        segment += char((room + 2) & 0xFF);
        segment += QByteArray(room, 'c');
        padded.insert(2, segment);
    }
    return padded;
}

QByteArray withExifOrientation(const QByteArray &jpeg, quint16 orientation)
{
    // Big-endian TIFF header, one IFD with the single Orientation (0x0112) entry.
    QByteArray tiff;
    tiff.append("MM\x00\x2A\x00\x00\x00\x08", 8);
    tiff.append("\x00\x01", 2);                    // one entry
    tiff.append("\x01\x12\x00\x03\x00\x00\x00\x01", 8); // tag, SHORT, count 1
    tiff.append(char(orientation >> 8));
    tiff.append(char(orientation & 0xFF));
    tiff.append("\x00\x00", 2);                    // value padding
    tiff.append("\x00\x00\x00\x00", 4);            // no next IFD
    QByteArray payload("Exif\x00\x00", 6);
    payload.append(tiff);
    const int length = int(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8));
    segment.append(char(length & 0xFF));
    segment.append(payload);
    QByteArray out = jpeg.left(2);
    out.append(segment);
    out.append(jpeg.mid(2));
    return out;
}

QImage decode(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    return reader.read();
}

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace fixtures
