#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <optional>

class MediaAsset;

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

    // Reads one file; never fails. A ".flac" file goes through our own FLAC
    // reader (technical data, tags and picture); every other file, and a FLAC
    // file that reader refuses, gets only its technical data from `asset`
    // (made for the same path), with empty tags. The same asset can then be
    // asked for the file's metadata items.
    static AudioInfo read(const QString &path, MediaAsset &asset);

    // Our own reader of the metadata blocks at the head of a FLAC file. Throws
    // TavoError "Nieprawidłowy nagłówek FLAC." or "Nieprawidłowe metadane FLAC.",
    // or PosixError when the file cannot be opened or read.
    static AudioInfo readFLAC(const QString &path);

    // The quality line: "16-bit / 44.1 kHz", "≈ 256 kb/s · 44.1 kHz", "48 kHz"
    // or "Parametry nieznane".
    QString parameters() const;

    // JSON form with the field names as keys ("picture" as Base64, written only
    // when present). Decoding requires every other key with its exact type and
    // throws TavoError otherwise.
    QJsonObject toJson() const;
    static AudioInfo fromJson(const QJsonObject &object);
    // The same as text, keys in field order.
    QByteArray encode() const;
    static AudioInfo decode(const QByteArray &json);
};

// "m:ss" below an hour, "h:mm:ss" from an hour on; "—" for a negative or
// non-finite value and for values too large to count in whole seconds.
QString durationLabel(double seconds);

// The number a track or disc tag spells: the first non-empty "/"-separated
// piece as a strict decimal integer ("3/12" → 3, "/12" → 12, "3 of 12" → none).
std::optional<qint64> firstPieceNumber(const QString &text);
