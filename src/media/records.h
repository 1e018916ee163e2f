#pragma once

// The library's value records: one audio file, an album, one disc of an album,
// and the sidebar sections.

#include "media/audioinfo.h"
#include "media/coverpicture.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QSet>
#include <QUuid>
#include <array>
#include <optional>

// One audio file of the library or of the device. Two tracks are the same
// track only when their ids are equal.
struct Track {
    QUuid id;
    QString url; // absolute file path
    QString title;
    QString artist;
    QString album;
    std::optional<Cover> artwork; // its facts and preview; the whole bytes stay on disk
    qint64 bytes = 0;
    AudioInfo info;
    bool hasEmbeddedArt = false;
};

// A cover with the track whose file it is read from again when a step needs
// the whole picture (an embedded one lies in that track's file).
struct CoverSource {
    std::optional<Cover> cover;
    QString track;

    CoverSource() = default;
    CoverSource(const QByteArray &bytes) : cover(Cover(bytes)) {} // NOLINT: bytes at hand
    static CoverSource of(const Track &track) { return CoverSource(track.artwork, track.url); }
    // An image file not read yet.
    static CoverSource file(const QString &path) { return CoverSource(Cover::inFile(path), QString()); }

    // Cover::bytes and Cover::bytesFor for the track; none or empty without a
    // cover. They read the disk: never on the main thread.
    std::optional<QByteArray> bytes() const;
    QByteArray bytesFor(int pixels) const;

private:
    CoverSource(const std::optional<Cover> &c, const QString &t) : cover(c), track(t) {}
};

struct AlbumDisc {
    qint64 number = 0;
    QList<Track> tracks;
};

struct Album {
    QString artist;
    QString title;
    QList<Track> tracks;
    std::optional<QString> groupID;

    // groupID, or artist NUL title NUL folder of the first track.
    QString id() const;
    // The image of the first track that has a cover, read whole (from the disk
    // unless held); null when those bytes don't decode. Blocks.
    QImage artwork() const;
    // The cover of the first track that has one, with that track.
    CoverSource coverSource() const;
    // Tracks split by the disc number of their grouping description, ascending.
    QList<AlbumDisc> discs() const;
};

// The lower-case file extensions the library treats as audio (13 of them).
const QSet<QString> &audioExtensions();
// True when the path's extension, lower-cased, is one of them.
bool hasAudioExtension(const QString &path);

enum class Section { device, music, playlists, themes, backups, quality, guide };

namespace sections {
inline constexpr std::array<Section, 7> all = {Section::device, Section::music, Section::playlists, Section::themes,
                                               Section::backups, Section::quality, Section::guide};
QString rawValue(Section section); // the Polish page title
std::optional<Section> fromRawValue(const QString &raw);
} // namespace sections
