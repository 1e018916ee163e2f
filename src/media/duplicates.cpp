#include "media/duplicates.h"

#include "device/storage.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <QHash>
#include <QSet>
#include <map>

using namespace Qt::StringLiterals;

namespace CollectionQuality {

QList<QualityIssue> duplicates(const QList<Track> &tracks, const DuplicateProgress &progress)
{
    // Size groups keep input order; std::map gives them a stable order of their own.
    std::map<qint64, QList<qsizetype>> bySize;
    for (qsizetype i = 0; i < tracks.size(); ++i)
        bySize[tracks[i].bytes].append(i);

    QList<qsizetype> candidates;
    for (const auto &[size, members] : bySize) {
        if (size >= 1 && members.size() >= 2)
            candidates.append(members);
    }
    const qsizetype total = candidates.size();

    QSet<QString> seen;
    QList<QString> digestOrder;
    QHash<QString, QList<qsizetype>> byDigest;
    for (qsizetype index = 0; index < total; ++index) {
        const Track &track = tracks[candidates[index]];
        // The same file listed twice ("a/./b", "a/x/../b") is read once and
        // never counts as a duplicate of itself.
        const QString path = paths::standardized(track.url);
        if (!seen.contains(path)) {
            seen.insert(path);
            const QString digest = QString::fromLatin1(Storage::digest(track.url).toHex());
            auto it = byDigest.find(digest);
            if (it == byDigest.end()) {
                digestOrder.append(digest);
                it = byDigest.insert(digest, {});
            }
            it->append(candidates[index]);
        }
        if (progress)
            progress(index + 1, total);
    }

    QList<QualityIssue> issues;
    for (const QString &digest : digestOrder) {
        const QList<qsizetype> &members = byDigest[digest];
        if (members.size() < 2)
            continue;
        QualityIssue issue;
        issue.kind = u"Duplikaty"_s;
        const Track &first = tracks[members.first()];
        issue.title = text::count(members.size(), u"{0} identyczny plik"_s, u"{0} identyczne pliki"_s,
                                  u"{0} identycznych plików"_s)
                      + u" · "_s + first.title;
        const qint64 extra = first.bytes * qint64(members.size() - 1);
        issue.detail = u"Zgodne bajt w bajt (SHA-256). Zajętość dodatkowych kopii: "_s + text::byteCount(extra) + u"."_s;
        for (qsizetype i : members)
            issue.tracks.append(tracks[i]);
        issues.append(std::move(issue));
    }
    return issues;
}

} // namespace CollectionQuality
