#pragma once

// Collection checks: albums without a cover Rockbox can show, tracks whose
// tags were not read, and tracks whose file has gone. Each finding is a
// QualityIssue that the quality page lists, filters by kind and repairs.
// Byte-identical duplicates are found by CollectionQuality::duplicates
// (media/duplicates.h).

#include "media/records.h"

#include <QList>
#include <QString>
#include <optional>

struct QualityIssue {
    QString kind;   // "Okładki", "Tagi", "Pliki" or "Duplikaty"
    QString title;  // an album title or a track title
    QString detail; // the explanation shown under the title
    QList<Track> tracks;

    // kind, NUL, then the tracks' paths in code-point order joined by NUL.
    QString id() const;
};

namespace CollectionQuality {

// The issues of the given tracks, sorted by kind + title + id in natural order.
// A device root only switches on the check for cover files beside the tracks.
// Never fails.
QList<QualityIssue> inspect(const QList<Track> &tracks, const std::optional<QString> &deviceRoot = std::nullopt);

} // namespace CollectionQuality
