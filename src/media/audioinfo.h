#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

// Technical data and tags of one audio file.
struct AudioInfo {
    QString codec;              // "FLAC", "ALAC", "AAC" or the extension in upper case
    qint64 sampleRate = 0;      // Hz
    qint64 bitDepth = 0;        // bits per sample of the source; 0 for lossy codecs
    double duration = 0;        // seconds
    qint64 bitrate = 0;         // kb/s averaged over the whole file
    qint64 trackNumber = 0;
    qint64 discNumber = 0;
    QString year;               // at most four characters of the date tag
    QMap<QString, QString> tags; // upper-case tag names → values
    std::optional<QByteArray> picture;

    bool operator==(const AudioInfo &) const = default;
};
