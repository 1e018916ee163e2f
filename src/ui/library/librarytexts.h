#pragma once

// The texts and small facts the library's album cards, track list and folder
// tree show, as plain functions of the records: Polish as written (the views
// pass them through the display rule), computed the same way everywhere.

#include "media/records.h"

#include <QSet>
#include <QString>
#include <QUuid>

namespace library {

// The album's distinct codecs in code-point order, joined by " / " ("FLAC / MP3").
QString formatsText(const Album &album);
// Some track of the album is high-resolution (the library's Hi-Res test).
bool isHiRes(const Album &album);
// Every track id of the album is in `selection` (a partly chosen album is not selected).
bool isSelected(const Album &album, const QSet<QUuid> &selection);
// "2 CD · jeden album".
QString discBadge(qsizetype discs);
// The album card's selection button: "Zaznaczono", "Do kolejki" or "Do playlisty".
QString selectionLabel(bool selected, bool onDevice);
// The symbol of a selection button.
QString selectionSymbol(bool selected);
// The track list's selection tooltip for the side shown.
QString trackToggleTip(bool onDevice);
// "07  " for track 7, "123  " for 123, nothing for 0 or less.
QString numberPrefix(qint64 trackNumber);
// The first line of a track row: the number prefix and the title.
QString firstLine(const Track &track);
// The second line of a track row: "artist · album".
QString secondLine(const Track &track);
// The page's count line: "Albumy: 3 · Utwory: 27".
QString countLine(qsizetype albums, qsizetype tracks);
// A path with doubled slashes collapsed, so "//home/a" stays a local path and
// never reads as a host name once it becomes a URL.
QString cleanedPath(const QString &path);

} // namespace library
