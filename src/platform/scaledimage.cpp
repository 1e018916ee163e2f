#include "platform/scaledimage.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include <tiffio.h>
#include <webp/decode.h>

namespace ScaledImage {
namespace {

// Averages a picture of source size down to the target size as its pixels
// arrive, in any order (TIFF tiles come bottom-up within each tile). Pixels
// are premultiplied ARGB; each target pixel is the mean of the source pixels
// that fall into it.
class BoxAverage
{
public:
    BoxAverage(QSize source, QSize target)
        : m_target(target)
        , m_sums(size_t(target.width()) * size_t(target.height()) * 4, 0)
        , m_counts(size_t(target.width()) * size_t(target.height()), 0)
        , m_column(size_t(source.width()))
        , m_row(size_t(source.height()))
    {
        for (int x = 0; x < source.width(); ++x)
            m_column[size_t(x)] = int(qint64(x) * target.width() / source.width());
        for (int y = 0; y < source.height(); ++y)
            m_row[size_t(y)] = int(qint64(y) * target.height() / source.height());
    }

    // One source pixel at (x, y) as premultiplied a, r, g, b.
    void add(int x, int y, uint a, uint r, uint g, uint b)
    {
        const size_t cell = size_t(m_row[size_t(y)]) * size_t(m_target.width()) + size_t(m_column[size_t(x)]);
        quint64 *sum = &m_sums[cell * 4];
        sum[0] += a;
        sum[1] += r;
        sum[2] += g;
        sum[3] += b;
        ++m_counts[cell];
    }

    QImage image() const
    {
        QImage out(m_target, QImage::Format_ARGB32_Premultiplied);
        if (out.isNull())
            return out;
        for (int y = 0; y < m_target.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
            for (int x = 0; x < m_target.width(); ++x) {
                const size_t cell = size_t(y) * size_t(m_target.width()) + size_t(x);
                const quint64 n = std::max<quint64>(m_counts[cell], 1);
                const quint64 *sum = &m_sums[cell * 4];
                line[x] = qRgba(int(sum[1] / n), int(sum[2] / n), int(sum[3] / n), int(sum[0] / n));
            }
        }
        return out;
    }

private:
    QSize m_target;
    std::vector<quint64> m_sums;
    std::vector<quint32> m_counts;
    std::vector<int> m_column;
    std::vector<int> m_row;
};

QSize fitted(QSize stored, QSize bound)
{
    return stored.scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// --- BMP: uncompressed and bit-field pictures, read in place from the bytes ---

quint32 le32(const uchar *p) { return qFromLittleEndian<quint32>(p); }
quint16 le16(const uchar *p) { return qFromLittleEndian<quint16>(p); }

// The value of `pixel` under `mask`, widened to 0…255.
uint channel(quint32 pixel, quint32 mask)
{
    if (mask == 0)
        return 255;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const quint32 max = mask >> shift;
    const quint32 value = (pixel & mask) >> shift;
    return uint(quint64(value) * 255 / max);
}

// None when the picture uses a form this reader leaves to Qt (run-length
// coding, embedded JPEG or PNG, OS/2 headers).
std::optional<QImage> bmp(const QByteArray &bytes, QSize target)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 14 + 40 || data[0] != 'B' || data[1] != 'M')
        return std::nullopt;
    const quint32 pixelsAt = le32(data + 10);
    const quint32 headerSize = le32(data + 14);
    if (headerSize < 40 || 14 + qint64(headerSize) > size)
        return std::nullopt;
    const qint32 width = qint32(le32(data + 18));
    const qint32 rawHeight = qint32(le32(data + 22));
    const int bits = le16(data + 28);
    const quint32 compression = le32(data + 30);
    quint32 colours = le32(data + 46);
    if (width <= 0 || rawHeight == 0 || rawHeight == std::numeric_limits<qint32>::min())
        return std::nullopt;
    const bool topDown = rawHeight < 0;
    const qint64 height = topDown ? -qint64(rawHeight) : rawHeight;

    quint32 masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
    if (compression == 3 || compression == 6) {
        const qint64 at = 14 + 40;
        const int count = compression == 6 ? 4 : 3;
        // In a V4/V5 header the masks are part of it; after a plain one they follow it.
        if (at + 4 * count > size)
            return std::nullopt;
        for (int i = 0; i < count; ++i)
            masks[i] = le32(data + at + 4 * i);
        if (headerSize >= 56 && count == 3)
            masks[3] = le32(data + at + 12);
    } else if (compression == 0) {
        if (bits == 16) {
            masks[0] = 0x7C00;
            masks[1] = 0x03E0;
            masks[2] = 0x001F;
        } else if (bits == 32 || bits == 24) {
            masks[0] = 0x00FF0000;
            masks[1] = 0x0000FF00;
            masks[2] = 0x000000FF;
        }
    } else {
        return std::nullopt;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return std::nullopt;
    if ((compression == 3 || compression == 6) && bits != 16 && bits != 32)
        return std::nullopt;

    // The colour table follows the header (and the masks of a plain header).
    std::vector<QRgb> palette;
    if (bits <= 8) {
        if (colours == 0 || colours > (1u << bits))
            colours = 1u << bits;
        const qint64 at = 14 + qint64(headerSize) + (compression == 3 && headerSize == 40 ? 12 : 0);
        if (at + 4 * qint64(colours) > size)
            return std::nullopt;
        for (quint32 i = 0; i < colours; ++i) {
            const uchar *entry = data + at + 4 * i;
            palette.push_back(qRgb(entry[2], entry[1], entry[0]));
        }
    }

    const qint64 stride = ((qint64(width) * bits + 31) / 32) * 4;
    // Cut short: nothing to show (and never a full-size decode of what is there).
    if (pixelsAt > quint64(size) || stride * height > size - qint64(pixelsAt))
        return QImage();

    // A 32-bit picture whose alpha is all zero is an opaque one (as Qt reads it).
    const bool alpha = masks[3] != 0;
    BoxAverage average(QSize(width, int(height)), target);
    for (qint64 y = 0; y < height; ++y) {
        const uchar *row = data + pixelsAt + stride * (topDown ? y : height - 1 - y);
        for (qint32 x = 0; x < width; ++x) {
            QRgb colour;
            if (bits <= 8) {
                const int perByte = 8 / bits;
                const uchar byte = row[x / perByte];
                const int shift = 8 - bits * (x % perByte + 1);
                const uint index = (byte >> shift) & ((1u << bits) - 1);
                colour = index < palette.size() ? palette[index] : qRgb(0, 0, 0);
            } else {
                quint32 pixel;
                if (bits == 16)
                    pixel = le16(row + 2 * x);
                else if (bits == 24)
                    pixel = quint32(row[3 * x]) | quint32(row[3 * x + 1]) << 8 | quint32(row[3 * x + 2]) << 16;
                else
                    pixel = le32(row + 4 * x);
                colour = qRgba(int(channel(pixel, masks[0])), int(channel(pixel, masks[1])),
                               int(channel(pixel, masks[2])), alpha ? int(channel(pixel, masks[3])) : 255);
            }
            const uint a = uint(qAlpha(colour));
            average.add(int(x), int(y), a, uint(qRed(colour)) * a / 255, uint(qGreen(colour)) * a / 255,
                        uint(qBlue(colour)) * a / 255);
        }
    }
    return average.image();
}

// --- WebP: libwebp scales while it decodes ---

std::optional<QImage> webp(const QByteArray &bytes, QSize target)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return std::nullopt;
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.constData());
    if (WebPGetFeatures(data, size_t(bytes.size()), &config.input) != VP8_STATUS_OK)
        return std::nullopt;
    if (config.input.has_animation)
        return std::nullopt; // animations go through Qt's reader (first frame)
    QImage out(target, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return QImage();
    config.options.use_scaling = 1;
    config.options.scaled_width = target.width();
    config.options.scaled_height = target.height();
    // Premultiplied B, G, R, A bytes: Qt's premultiplied ARGB32 in memory on a
    // little-endian machine.
    config.output.colorspace = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_bgrA : MODE_Argb;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out.bits();
    config.output.u.RGBA.stride = int(out.bytesPerLine());
    config.output.u.RGBA.size = size_t(out.sizeInBytes());
    const VP8StatusCode status = WebPDecode(data, size_t(bytes.size()), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        return QImage();
    return out;
}

// --- TIFF: libtiff hands out one strip or tile at a time ---

struct MemoryFile {
    const QByteArray *bytes;
    toff_t position = 0;
};

tsize_t tiffRead(thandle_t handle, tdata_t buffer, tsize_t size)
{
    auto *file = static_cast<MemoryFile *>(handle);
    const toff_t total = toff_t(file->bytes->size());
    if (file->position >= total)
        return 0;
    const toff_t n = std::min<toff_t>(toff_t(size), total - file->position);
    std::memcpy(buffer, file->bytes->constData() + file->position, size_t(n));
    file->position += n;
    return tsize_t(n);
}

tsize_t tiffWrite(thandle_t, tdata_t, tsize_t) { return 0; }

toff_t tiffSeek(thandle_t handle, toff_t offset, int whence)
{
    auto *file = static_cast<MemoryFile *>(handle);
    const toff_t total = toff_t(file->bytes->size());
    toff_t base = 0;
    if (whence == SEEK_CUR)
        base = file->position;
    else if (whence == SEEK_END)
        base = total;
    file->position = base + offset;
    return file->position;
}

int tiffClose(thandle_t) { return 0; }
toff_t tiffSize(thandle_t handle) { return toff_t(static_cast<MemoryFile *>(handle)->bytes->size()); }
int tiffMap(thandle_t, tdata_t *, toff_t *) { return 0; }
void tiffUnmap(thandle_t, tdata_t, toff_t) {}

// libtiff reports problems on stderr by default; a picture that can't be read
// is simply not shown.
void tiffQuiet(const char *, const char *, va_list) {}

std::optional<QImage> tiff(const QByteArray &bytes, QSize target)
{
    TIFFSetErrorHandler(tiffQuiet);
    TIFFSetWarningHandler(tiffQuiet);
    MemoryFile file{&bytes};
    TIFF *tif = TIFFClientOpen("picture", "rm", &file, tiffRead, tiffWrite, tiffSeek, tiffClose, tiffSize,
                               tiffMap, tiffUnmap);
    if (!tif)
        return std::nullopt;
    struct Closer {
        TIFF *tif;
        ~Closer() { TIFFClose(tif); }
    } closer{tif};

    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    if (width == 0 || height == 0 || width > 1'000'000 || height > 1'000'000)
        return std::nullopt;
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message))
        return std::nullopt;

    BoxAverage average(QSize(int(width), int(height)), target);
    // libtiff's RGBA pixels are premultiplied A B G R (red in the low byte).
    auto addPixel = [&](uint32_t x, uint32_t y, uint32_t abgr) {
        average.add(int(x), int(y), TIFFGetA(abgr), TIFFGetR(abgr), TIFFGetG(abgr), TIFFGetB(abgr));
    };
    if (TIFFIsTiled(tif)) {
        uint32_t tileWidth = 0, tileHeight = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
        if (tileWidth == 0 || tileHeight == 0 || quint64(tileWidth) * tileHeight > 64'000'000)
            return std::nullopt;
        std::vector<uint32_t> tile(size_t(tileWidth) * tileHeight);
        for (uint32_t ty = 0; ty < height; ty += tileHeight) {
            for (uint32_t tx = 0; tx < width; tx += tileWidth) {
                if (!TIFFReadRGBATile(tif, tx, ty, tile.data()))
                    return QImage();
                // A tile's raster starts with its bottom row.
                const uint32_t rows = std::min(tileHeight, height - ty);
                const uint32_t columns = std::min(tileWidth, width - tx);
                for (uint32_t r = 0; r < rows; ++r) {
                    const uint32_t *line = tile.data() + size_t(tileHeight - 1 - r) * tileWidth;
                    for (uint32_t c = 0; c < columns; ++c)
                        addPixel(tx + c, ty + r, line[c]);
                }
            }
        }
    } else {
        uint32_t rowsPerStrip = 0;
        if (!TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) || rowsPerStrip == 0)
            return std::nullopt;
        rowsPerStrip = std::min(rowsPerStrip, height);
        if (quint64(width) * rowsPerStrip > 64'000'000)
            return std::nullopt;
        std::vector<uint32_t> strip(size_t(width) * rowsPerStrip);
        for (uint32_t y = 0; y < height; y += rowsPerStrip) {
            if (!TIFFReadRGBAStrip(tif, y, strip.data()))
                return QImage();
            // A strip's raster starts with its bottom row.
            const uint32_t rows = std::min(rowsPerStrip, height - y);
            for (uint32_t r = 0; r < rows; ++r) {
                const uint32_t *line = strip.data() + size_t(rows - 1 - r) * width;
                for (uint32_t c = 0; c < width; ++c)
                    addPixel(c, y + r, line[c]);
            }
        }
    }
    return average.image();
}

} // namespace

QImage decode(const QByteArray &bytes, QSize bound)
{
    if (bytes.isEmpty() || bound.isEmpty())
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return QImage();
    const QByteArray format = reader.format();
    QSize stored = reader.size();
    // Qt gives a top-down BMP a negative height; its header says the truth.
    if (format == "bmp" && bytes.size() >= 26 && stored.height() < 0)
        stored.setHeight(-stored.height());
    const bool large = stored.isValid() && (stored.width() > bound.width() || stored.height() > bound.height());
    if (large) {
        const QSize target = fitted(stored, bound);
        std::optional<QImage> own;
        if (format == "bmp")
            own = bmp(bytes, target);
        else if (format == "webp")
            own = webp(bytes, target);
        else if (format == "tiff" || format == "tif")
            own = tiff(bytes, target);
        if (own) {
            // The orientation tag of a TIFF is not applied by the strip reader;
            // JPEG and PNG below go through Qt, which applies it.
            return *own;
        }
        // JPEG scales in its decoder and PNG row by row; other formats are
        // rarely this large and decode as Qt reads them.
        reader.setScaledSize(target);
    }
    QImage image = reader.read();
    if (!image.isNull() && (image.width() > bound.width() || image.height() > bound.height()))
        image = image.scaled(bound, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace ScaledImage
