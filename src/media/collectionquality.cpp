#include "media/collectionquality.h"

#include "media/albumgrouping.h"
#include "media/artwork.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QString QualityIssue::id() const
{
    QStringList trackPaths;
    trackPaths.reserve(tracks.size());
    for (const Track &track : tracks)
        trackPaths.append(track.url);
    std::sort(trackPaths.begin(), trackPaths.end(), [](const QString &a, const QString &b) { return text::plainLess(a, b); });
    return kind + QChar(u'\0') + trackPaths.join(QChar(u'\0'));
}

namespace CollectionQuality {
namespace {

std::optional<QString> coverProblem(const Album &album, bool onDevice)
{
    const auto withArt = std::find_if(album.tracks.cbegin(), album.tracks.cend(),
                                      [](const Track &t) { return t.artwork.has_value(); });
    if (withArt == album.tracks.cend())
        return u"Brak odczytanej okładki. Wybierz obraz, aby naprawić album."_s;
    // One picture speaks for the album: the first one present.
    if (auto issue = Artwork::compatibilityIssue(withArt->artwork->facts()))
        return issue;
    if (onDevice) {
        for (const Track &track : album.tracks) {
            if (!Artwork::externalCoverExists(track))
                return u"Okładka dostępna w bibliotece, ale brakuje pliku przy części utworów na iPodzie. Zapisz wersję dla Rockbox."_s;
        }
    }
    return std::nullopt;
}

std::optional<QualityIssue> trackProblem(const Track &track)
{
    if (!paths::exists(track.url))
        return QualityIssue{u"Pliki"_s, track.title, u"Plik nie jest już dostępny w zapisanej lokalizacji."_s, {track}};
    struct Tag {
        QString name;
        QString label;
    };
    static const Tag tags[] = {{u"TITLE"_s, u"tytuł"_s}, {u"ARTIST"_s, u"wykonawca"_s}, {u"ALBUM"_s, u"album"_s}};
    QStringList missing;
    for (const Tag &tag : tags) {
        const auto it = track.info.tags.constFind(tag.name);
        if (it == track.info.tags.cend() || text::trimmedBlanksAndNewlines(*it).isEmpty())
            missing.append(tag.label);
    }
    if (missing.isEmpty())
        return std::nullopt;
    return QualityIssue{u"Tagi"_s, track.title,
                        u"Nie odczytano tagów: "_s + missing.join(u", "_s) + u". Nazwy w bibliotece mogą pochodzić z folderów."_s,
                        {track}};
}

} // namespace

QList<QualityIssue> inspect(const QList<Track> &tracks, const std::optional<QString> &deviceRoot)
{
    QList<QualityIssue> issues;
    for (const Album &album : AlbumGrouping::albums(tracks)) {
        if (auto detail = coverProblem(album, deviceRoot.has_value()))
            issues.append(QualityIssue{u"Okładki"_s, album.title, *detail, album.tracks});
    }
    for (const Track &track : tracks) {
        if (auto issue = trackProblem(track))
            issues.append(std::move(*issue));
    }

    // Sort keys are made once: the identity sorts paths, and the natural order is not cheap.
    std::vector<std::pair<QString, qsizetype>> keys;
    keys.reserve(size_t(issues.size()));
    for (qsizetype i = 0; i < issues.size(); ++i)
        keys.emplace_back(issues[i].kind + issues[i].title + issues[i].id(), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return text::finderLess(a.first, b.first); });
    QList<QualityIssue> sorted;
    sorted.reserve(issues.size());
    for (const auto &key : keys)
        sorted.append(std::move(issues[key.second]));
    return sorted;
}

} // namespace CollectionQuality
