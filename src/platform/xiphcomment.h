#pragma once

// The two structures that FLAC and Ogg streams share: the Vorbis comment list
// (NAME=value texts, little-endian lengths) and the FLAC picture record
// (big-endian fields). Both parsers are defensive: a malformed body gives
// nothing (or the comments read before the damage), never an error.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace xiph {

// Comments with a count outside 1 … maxComments are ignored as a whole.
inline constexpr quint32 maxComments = 9'999;
// Picture data longer than this is dropped.
inline constexpr quint32 maxPictureBytes = 10'000'000;

struct Comment {
    QString name;  // upper-cased (full Unicode mapping)
    QString value; // everything after the first "=", possibly empty
};

// The comments of a Vorbis comment body (vendor string first), in stored order.
// Texts without "=" and texts that are not valid UTF-8 are skipped; a length
// running past the end stops the list there.
QList<Comment> comments(QByteArrayView body);

struct Picture {
    quint32 type = 0; // 3 = front cover
    QByteArray data;
};

// The picture of a FLAC PICTURE body; none when the body is malformed or the
// data is larger than maxPictureBytes.
std::optional<Picture> picture(QByteArrayView body);

} // namespace xiph
