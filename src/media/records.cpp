#include "media/records.h"

#include "media/albumgrouping.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QString Album::id() const
{
    if (groupID)
        return *groupID;
    const QString folder = tracks.isEmpty() ? QString() : paths::parent(tracks.first().url);
    return artist + QChar(u'\0') + title + QChar(u'\0') + folder;
}

QImage Album::artwork() const
{
    // Only the first track that carries bytes counts: a broken image there is
    // not replaced by a later track's picture.
    const CoverSource source = coverSource();
    if (!source.cover)
        return QImage();
    return QImage::fromData(source.bytes().value_or(QByteArray()));
}

CoverSource Album::coverSource() const
{
    for (const Track &track : tracks) {
        if (track.artwork)
            return CoverSource::of(track);
    }
    return CoverSource();
}

std::optional<QByteArray> CoverSource::bytes() const
{
    if (!cover)
        return std::nullopt;
    return cover->bytes(track);
}

QByteArray CoverSource::bytesFor(int pixels) const
{
    if (!cover)
        return QByteArray();
    return cover->bytesFor(pixels, track);
}

QList<AlbumDisc> Album::discs() const
{
    QList<AlbumDisc> result;
    for (const Track &track : tracks) {
        const qint64 number = AlbumGrouping::describe(track).disc;
        auto it = std::find_if(result.begin(), result.end(), [&](const AlbumDisc &d) { return d.number == number; });
        if (it == result.end())
            result.append(AlbumDisc{number, {track}});
        else
            it->tracks.append(track);
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const AlbumDisc &a, const AlbumDisc &b) { return a.number < b.number; });
    return result;
}

namespace sections {

QString rawValue(Section section)
{
    switch (section) {
    case Section::device:
        return u"Twój iPod"_s;
    case Section::music:
        return u"Muzyka"_s;
    case Section::playlists:
        return u"Playlisty"_s;
    case Section::themes:
        return u"Motywy"_s;
    case Section::backups:
        return u"Kopie zapasowe"_s;
    case Section::quality:
        return u"Porządek"_s;
    case Section::guide:
        return u"Poradnik"_s;
    }
    return QString();
}

std::optional<Section> fromRawValue(const QString &raw)
{
    // Canonically equivalent spellings (a decomposed "ó") name the same page.
    for (Section section : all) {
        if (text::equivalent(rawValue(section), raw))
            return section;
    }
    return std::nullopt;
}

} // namespace sections

const QSet<QString> &audioExtensions()
{
    static const QSet<QString> extensions = {
        u"mp3"_s, u"flac"_s, u"m4a"_s,  u"aac"_s, u"ogg"_s, u"opus"_s, u"wav"_s,
        u"aiff"_s, u"aif"_s, u"alac"_s, u"ape"_s, u"wv"_s,  u"mpc"_s,
    };
    return extensions;
}

bool hasAudioExtension(const QString &path)
{
    return audioExtensions().contains(paths::extension(path).toLower());
}
