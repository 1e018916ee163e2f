#pragma once

// Decoding a picture at the size it will be shown at. A very large picture
// decoded whole needs width × height × 4 bytes (a 10,000-pixel square: 400 MB)
// and Qt's readers refuse such allocations, so a big BMP, TIFF, WebP or PNG
// could never become a cover. Here a picture larger than the bound is never
// held at full size: JPEG scales in its own decoder, WebP in libwebp, and BMP,
// TIFF and PNG are read a row (or strip, or tile) at a time and averaged down
// as they are read. Safe on any thread; returns QImage only.

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace ScaledImage {

// The picture in `bytes`, scaled down (aspect ratio kept, never up) to fit
// `bound`; its orientation tag applied. A null image when it can't be read.
QImage decode(const QByteArray &bytes, QSize bound);

} // namespace ScaledImage
