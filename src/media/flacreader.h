#pragma once

// Limits of the FLAC metadata reader (AudioInfo::readFLAC).

#include <QtGlobal>

namespace flac {

// The metadata block bodies of one file may add up to this many bytes at most.
inline constexpr qint64 maxMetadataBytes = 31'999'999;

enum BlockType : quint8 { streamInfo = 0, padding = 1, application = 2, seekTable = 3, vorbisComment = 4,
                          cueSheet = 5, picture = 6 };

inline constexpr qint64 streamInfoSize = 34;

} // namespace flac
