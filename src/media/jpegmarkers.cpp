#include "media/jpegmarkers.h"

namespace JpegMarkers {
namespace {

quint8 at(const QByteArray &bytes, qsizetype i)
{
    return static_cast<quint8>(bytes.at(i));
}

bool isFrameMarker(quint8 m)
{
    // 0xC4 (Huffman tables), 0xC8 (reserved) and 0xCC (arithmetic conditioning)
    // share the range but are not frame headers.
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool isStandalone(quint8 m)
{
    return m == 0x01 || (m >= 0xD0 && m <= 0xD7);
}

} // namespace

std::optional<Frame> frame(const QByteArray &bytes)
{
    const qsizetype n = bytes.size();
    if (n < 4 || at(bytes, 0) != 0xFF || at(bytes, 1) != 0xD8)
        return std::nullopt;
    qsizetype i = 2;
    while (i < n) {
        if (at(bytes, i) != 0xFF)
            return std::nullopt; // not at a marker: the stream is damaged
        // Any number of 0xFF fill bytes may precede the marker code.
        while (i < n && at(bytes, i) == 0xFF)
            ++i;
        if (i >= n)
            return std::nullopt;
        const quint8 marker = at(bytes, i);
        ++i;
        if (isStandalone(marker))
            continue;
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA || marker == 0x00)
            return std::nullopt; // a second SOI, the end, or scan data before any frame
        if (i + 2 > n)
            return std::nullopt;
        const int length = (at(bytes, i) << 8) | at(bytes, i + 1);
        if (length < 2 || i + length > n)
            return std::nullopt;
        if (isFrameMarker(marker)) {
            // Length, precision, height (2), width (2), component count.
            if (length < 8)
                return std::nullopt;
            Frame f;
            f.marker = marker;
            f.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            f.height = (at(bytes, i + 3) << 8) | at(bytes, i + 4);
            f.width = (at(bytes, i + 5) << 8) | at(bytes, i + 6);
            f.components = at(bytes, i + 7);
            return f;
        }
        i += length;
    }
    return std::nullopt;
}

bool isProgressive(const QByteArray &bytes)
{
    const auto f = frame(bytes);
    return f && f->progressive;
}

} // namespace JpegMarkers
