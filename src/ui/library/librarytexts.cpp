#include "ui/library/librarytexts.h"

#include "model/tavomodel.h"
#include "platform/text.h"

#include <QStringList>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace library {

QString formatsText(const Album &album)
{
    QSet<QString> codecs;
    for (const Track &track : album.tracks)
        codecs.insert(track.info.codec);
    QStringList sorted(codecs.cbegin(), codecs.cend());
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return text::plainLess(a, b); });
    return sorted.join(u" / "_s);
}

bool isHiRes(const Album &album)
{
    return std::any_of(album.tracks.cbegin(), album.tracks.cend(),
                       [](const Track &track) { return TavoModel::isHiRes(track.info); });
}

bool isSelected(const Album &album, const QSet<QUuid> &selection)
{
    return std::all_of(album.tracks.cbegin(), album.tracks.cend(),
                       [&](const Track &track) { return selection.contains(track.id); });
}

QString discBadge(qsizetype discs)
{
    return QString::number(discs) + u" CD · jeden album"_s;
}

QString selectionLabel(bool selected, bool onDevice)
{
    if (selected)
        return u"Zaznaczono"_s;
    return onDevice ? u"Do playlisty"_s : u"Do kolejki"_s;
}

QString selectionSymbol(bool selected)
{
    return selected ? u"checkmark.circle.fill"_s : u"plus.circle"_s;
}

QString trackToggleTip(bool onDevice)
{
    return onDevice ? u"Dodaj / usuń z playlisty"_s : u"Dodaj / usuń z kolejki"_s;
}

QString numberPrefix(qint64 trackNumber)
{
    if (trackNumber < 1)
        return QString();
    return QString::number(trackNumber).rightJustified(2, u'0') + u"  "_s;
}

QString firstLine(const Track &track)
{
    return numberPrefix(track.info.trackNumber) + track.title;
}

QString secondLine(const Track &track)
{
    return track.artist + u" · "_s + track.album;
}

QString countLine(qsizetype albums, qsizetype tracks)
{
    return u"Albumy: "_s + QString::number(albums) + u" · Utwory: "_s + QString::number(tracks);
}

QString cleanedPath(const QString &path)
{
    QString out;
    out.reserve(path.size());
    for (QChar c : path) {
        if (c == u'/' && out.endsWith(u'/'))
            continue;
        out.append(c);
    }
    return out;
}

} // namespace library
