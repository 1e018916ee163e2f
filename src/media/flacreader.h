#pragma once

// Limits of the FLAC metadata reader (AudioInfo::readFLAC).

#include "media/audioinfo.h"
#include "platform/posixfile.h"

#include <QtGlobal>

namespace flac {

// The metadata block bodies of one file may add up to this many bytes at most.
inline constexpr qint64 maxMetadataBytes = 31'999'999;

enum BlockType : quint8 { streamInfo = 0, padding = 1, application = 2, seekTable = 3, vorbisComment = 4,
                          cueSheet = 5, picture = 6 };

inline constexpr qint64 streamInfoSize = 34;

// AudioInfo::readFLAC from an open file, read from its current position. Any
// kind of file is read to its end, also a pipe that hands over a few bytes at
// a time; by name, only regular files are opened.
AudioInfo readFrom(posixfile::File file);

} // namespace flac
