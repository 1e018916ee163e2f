#pragma once

// Encoded test pictures made in memory, so each test states the exact size,
// format and colours it needs.

#include <QByteArray>
#include <QColor>
#include <QImage>

namespace fixtures {

// A picture of one colour.
QImage solid(int width, int height, QColor color = QColor(200, 30, 30));
// Encodes with Qt's writers; format "jpeg", "png", "bmp"…
QByteArray encode(const QImage &image, const char *format, bool progressive = false, int quality = 90);
inline QByteArray jpeg(int width, int height, bool progressive = false)
{
    return encode(solid(width, height), "jpeg", progressive);
}
// Inserts an EXIF APP1 segment carrying the given orientation (1…8) right after SOI.
QByteArray withExifOrientation(const QByteArray &jpeg, quint16 orientation);
// The JPEG brought to `size` bytes, as large as real covers are, by comment
// segments right after SOI; the picture stays the same.
QByteArray paddedTo(const QByteArray &jpeg, int size);
// Decodes encoded bytes (no orientation applied).
QImage decode(const QByteArray &bytes);
// True when the two colours differ by at most `tolerance` in each channel.
bool near(QColor a, QColor b, int tolerance = 24);

} // namespace fixtures
