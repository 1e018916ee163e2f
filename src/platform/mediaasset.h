#pragma once

// One audio file as the media layer sees it: its technical data (duration and
// the first audio stream's description) and its metadata items, read through
// TagLib (and our own ADTS reader for ".aac"). A plain MP4 file's duration,
// stream and the items of the usual tags come from a lean walk of its atom
// headers, the answers TagLib would give; TagLib reads it only when asked for
// more. Items of every format carry
// ID3v2.4-style identifiers ("id3/TIT2", "id3/TRCK", "id3/TPOS", "id3/TDRC",
// "id3/TPE2", "id3/APIC" …) in the order the file stores them, so one set of
// identifier rules serves MP3, MP4, Ogg, Opus, FLAC, WAV, AIFF and APE files.
//
// One object is made per file and asked as often as needed: the file is opened
// once, on the first question, and never decoded. Every answer may be "none"
// (the file cannot be opened, has no audio stream, or no such value); nothing
// throws. The class is not thread-safe; use one object per thread.

#include <QByteArray>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

// The few common keys the library reads.
enum class MetadataCommonKey { none, title, artist, albumName, artwork, creationDate };

struct MetadataItem {
    QString identifier; // "id3/" + an ID3v2.4 frame name
    MetadataCommonKey commonKey = MetadataCommonKey::none;
    // None when the item has no such value (text items have no data value and
    // the artwork item has no text value); there is no other way to fail.
    std::optional<QString> stringValue;
    std::optional<QByteArray> dataValue;

    bool operator==(const MetadataItem &) const = default;
};

// Description of an audio stream, after the Core Audio basic description.
struct AudioStreamDescription {
    double sampleRate = 0;
    quint32 formatID = 0;       // four-character code, e.g. 'alac', 'aac '
    quint32 formatFlags = 0;    // for 'alac': source depth code 1 = 16, 2 = 20, 3 = 24, 4 = 32 bits
    quint32 bitsPerChannel = 0; // 0 for lossy codecs, which have no source depth

    bool operator==(const AudioStreamDescription &) const = default;
};

constexpr quint32 fourCharCode(const char (&code)[5])
{
    return quint32(uchar(code[0])) << 24 | quint32(uchar(code[1])) << 16 | quint32(uchar(code[2])) << 8 |
           quint32(uchar(code[3]));
}

namespace audioformat {
inline constexpr quint32 alac = fourCharCode("alac");
inline constexpr quint32 aac = fourCharCode("aac ");
inline constexpr quint32 mp3 = fourCharCode(".mp3");
inline constexpr quint32 flac = fourCharCode("flac");
inline constexpr quint32 vorbis = fourCharCode("vorb");
inline constexpr quint32 opus = fourCharCode("opus");
inline constexpr quint32 linearPCM = fourCharCode("lpcm");
inline constexpr quint32 wavpack = fourCharCode("wvpk");
inline constexpr quint32 monkeysAudio = fourCharCode("APE ");
inline constexpr quint32 musepack = fourCharCode("MPC ");
} // namespace audioformat

class MediaAsset
{
public:
    explicit MediaAsset(QString path);
    virtual ~MediaAsset();
    MediaAsset(const MediaAsset &) = delete;
    MediaAsset &operator=(const MediaAsset &) = delete;

    const QString &path() const { return m_path; }

    // Duration in seconds; none when the file cannot be read as audio.
    virtual std::optional<double> duration();
    // The first audio stream; none when the file has no readable audio stream.
    virtual std::optional<AudioStreamDescription> firstAudioStream();
    // Metadata items in stored order (at most one artwork item, the front
    // cover preferred); none when the file cannot be opened.
    virtual std::optional<QList<MetadataItem>> metadata();
    // Only the items of the given frames ("TIT2", "APIC" …): those metadata()
    // lists, in its order and with its values. The other frames' values are
    // never converted, so a caller that needs a few keys pays for those only.
    std::optional<QList<MetadataItem>> metadata(const QList<QLatin1StringView> &frames);

    // The file's size as its open descriptor told it, without another look at
    // the disk; none when no question opened the file yet or it could not be
    // opened (and for ".aac", which our own reader opens).
    std::optional<qint64> openedSize() const;

private:
    std::optional<QList<MetadataItem>> readItems(const QList<QLatin1StringView> *frames);

    struct Opened;
    Opened &opened();

    QString m_path;
    std::unique_ptr<Opened> m_opened;
};
