#pragma once

// A reader for raw AAC streams in ADTS framing (".aac" files), which TagLib
// does not recognise: sample rate from the first frame header, duration from
// walking every frame header. Audio data is never decoded.

#include <QString>
#include <optional>

namespace adts {

struct StreamInfo {
    qint64 sampleRate = 0;
    int channels = 0;
    qint64 frames = 0;  // raw data blocks of 1,024 samples each
    double duration = 0; // seconds
};

// None when the file cannot be read or holds no ADTS frame after an optional
// leading ID3v2 tag. A damaged or truncated tail ends the walk.
std::optional<StreamInfo> read(const QString &path);

// The same over bytes already in memory (the whole file).
std::optional<StreamInfo> parse(const uchar *data, qint64 size);

} // namespace adts
