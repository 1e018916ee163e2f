#pragma once

// A small reader of JPEG marker segments. Qt's image reader tells neither
// whether a JPEG is progressive nor how many components it carries, and
// Rockbox's decoder shows only baseline frames: both facts live in the
// start-of-frame (SOF) segment, which this finds without decoding pixels.

#include <QByteArray>
#include <optional>

namespace JpegMarkers {

struct Frame {
    quint8 marker = 0;      // the SOF marker byte, 0xC0 … 0xCF
    bool progressive = false; // SOF2, SOF6, SOF10 or SOF14
    int components = 0;
    int width = 0;
    int height = 0;
};

// The first start-of-frame segment of a JPEG stream; none when the bytes do not
// begin with SOI or no frame header comes before the scan data or the end.
std::optional<Frame> frame(const QByteArray &bytes);

// True only when the stream's frame header is one of the progressive kinds.
bool isProgressive(const QByteArray &bytes);

} // namespace JpegMarkers
