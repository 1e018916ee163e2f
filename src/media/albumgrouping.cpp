#include "media/albumgrouping.h"

#include "platform/paths.h"
#include "platform/text.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <unordered_map>
#include <vector>

using namespace Qt::StringLiterals;

namespace AlbumGrouping {
namespace {

const QChar nul(u'\0');

// Compiled once per thread, so that no compiled pattern is shared between the
// threads that group (the model's main thread and background jobs).
const QRegularExpression &discFolderPattern()
{
    thread_local const QRegularExpression pattern =
        text::regex(u"^(?:cd|disc|disk|płyta)\\s*[-_. ]*([0-9]+)(?:\\b|[_-])"_s,
                    QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

const QRegularExpression &discSuffixPattern()
{
    // (*ANY) lets "$" also match before a final line break of any kind (CR LF,
    // U+2028 …), as titles read from tags sometimes end with one.
    thread_local const QRegularExpression pattern = text::regex(
        u"(*ANY)\\s*(?:[-–:]\\s*)?[\\[(]?\\s*(?:cd|disc|disk)\\s*[0-9]+(?:\\s*(?:of|/)\\s*[0-9]+)?\\s*[\\])]?$"_s,
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// The path without its last component, as paths::parent, without a copy.
QStringView folderOf(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == u'/')
        --end;
    const qsizetype slash = QStringView(path).left(end).lastIndexOf(u'/');
    if (slash < 0)
        return QStringView();
    return QStringView(path).left(slash == 0 ? 1 : slash);
}

// The last component, as paths::lastComponent, without a copy.
QStringView nameOf(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == u'/')
        --end;
    const QStringView trimmed = QStringView(path).left(end);
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

QString lowerKey(const QString &s)
{
    return text::nfc(text::lower(text::nfc(s)));
}

// What the grouping derives from a track's folder, from its album title and
// from its artist. Many tracks share each of them, so albums() works them out
// once per distinct value.
struct FolderFacts {
    QString folder;      // the track's folder path
    QString folderKey;   // its NFC form
    QString folderName;  // its last component
    QString release;     // the folder above it
    QString releaseKey;  // its NFC form
    QString releaseName; // its last component
    std::optional<qint64> disc; // when the folder is a disc folder
};

struct TitleFacts {
    QString stripped;    // album title without its disc suffix
    QString strippedKey; // lower-cased, NFC
    bool namesDisc = false; // the title itself reads as a disc folder name ("CD1")
};

FolderFacts folderFactsOf(const QString &folder)
{
    FolderFacts f;
    f.folder = folder;
    f.folderKey = text::nfc(folder);
    f.folderName = paths::lastComponent(folder);
    f.release = paths::parent(folder);
    f.releaseKey = text::nfc(f.release);
    f.releaseName = paths::lastComponent(f.release);
    f.disc = folderDisc(f.folderName);
    return f;
}

TitleFacts titleFactsOf(const QString &album)
{
    TitleFacts t;
    t.stripped = strippedTitle(album);
    t.strippedKey = lowerKey(t.stripped);
    t.namesDisc = folderDisc(album).has_value();
    return t;
}

// Per-call memo of the derivations above (describe() alone uses none). A
// node-based map, so references to its values stay valid as it grows. Tracks
// of one folder usually come one after another, so the last hit is checked
// before hashing a long path again.
template <typename Value, typename Make>
class MemoMap
{
public:
    MemoMap(Make make, qsizetype expected) : m_make(make) { m_values.reserve(size_t(expected)); }
    const Value &operator()(QStringView key)
    {
        if (m_last && m_lastKey == key)
            return *m_last;
        m_lastKey = key.toString();
        auto [it, inserted] = m_values.try_emplace(m_lastKey);
        if (inserted)
            it->second = m_make(m_lastKey);
        m_last = &it->second;
        return *m_last;
    }

private:
    Make m_make;
    std::unordered_map<QString, Value> m_values;
    QString m_lastKey;
    const Value *m_last = nullptr;
};

QString keyOf(const FolderFacts &f, const TitleFacts &t, const QString &artistKey)
{
    if (f.disc)
        return u"release"_s + nul + f.releaseKey;
    return u"album"_s + nul + f.folderKey + nul + artistKey + nul + t.strippedKey;
}

Description describeWith(const Track &track, const FolderFacts &f, const TitleFacts &t, QString key)
{
    Description d;
    d.key = std::move(key);
    d.artist = track.artist;
    if (f.disc) {
        d.disc = *f.disc;
        if (t.namesDisc || t.stripped.isEmpty() || text::equivalent(track.album, f.folderName))
            d.title = f.releaseName;
        else
            d.title = t.stripped;
    } else {
        d.title = t.stripped.isEmpty() ? f.folderName : t.stripped;
        d.disc = track.info.discNumber >= 2 ? track.info.discNumber : 1;
    }
    return d;
}

} // namespace

std::optional<qint64> folderDisc(const QString &name)
{
    const QRegularExpressionMatch match = discFolderPattern().match(text::nfc(name));
    if (!match.hasMatch() || match.capturedStart(1) < 0)
        return std::nullopt;
    const QStringView digits = match.capturedView(1);
    if (digits.isEmpty())
        return std::nullopt;
    return text::parseDecimalInt64(digits);
}

QString strippedTitle(const QString &album)
{
    QString title = album;
    title.replace(discSuffixPattern(), QString());
    return text::trimmedBlanksAndNewlines(title);
}

Description describe(const Track &track)
{
    const FolderFacts f = folderFactsOf(paths::parent(track.url));
    const TitleFacts t = titleFactsOf(track.album);
    return describeWith(track, f, t, keyOf(f, t, lowerKey(track.artist)));
}

QString neighbourhood(const Track &track)
{
    // As folderFactsOf(folderOf(url)).releaseKey, without the disc pattern.
    return text::nfc(paths::parent(folderOf(track.url).toString()));
}

QList<Album> albums(const QList<Track> &tracks)
{
    const qsizetype n = tracks.size();
    MemoMap<FolderFacts, FolderFacts (*)(const QString &)> folderFacts(&folderFactsOf, n / 8);
    MemoMap<TitleFacts, TitleFacts (*)(const QString &)> titleFacts(&titleFactsOf, n / 8);
    MemoMap<QString, QString (*)(const QString &)> artistKeys(&lowerKey, n / 16);
    struct Facts {
        const FolderFacts *folder;
        const TitleFacts *title;
        const QString *artistKey;
        Description description;
    };
    std::vector<Facts> facts;
    facts.reserve(size_t(n));
    for (const Track &track : tracks) {
        const FolderFacts &f = folderFacts(folderOf(track.url));
        const TitleFacts &t = titleFacts(track.album);
        const QString &a = artistKeys(track.artist);
        // Neighbours from one folder with the same artist and title share the
        // key string instead of building it again.
        const Facts *previous = facts.empty() ? nullptr : &facts.back();
        QString key = previous && previous->folder == &f && previous->title == &t && previous->artistKey == &a
                          ? previous->description.key
                          : keyOf(f, t, a);
        facts.push_back({&f, &t, &a, describeWith(track, f, t, std::move(key))});
    }

    // Tracks spread over sibling folders that the tags say are discs of one
    // album ("Part A" disc 1, "Part B" disc 2) are merged.
    struct Candidates {
        std::vector<qsizetype> members;
        QSet<QString> folders;
        QSet<QString> releases;
        QSet<qint64> discs;
    };
    QHash<QString, Candidates> candidates;
    for (qsizetype i = 0; i < n; ++i) {
        if (tracks[i].info.discNumber <= 0)
            continue;
        const Facts &f = facts[size_t(i)];
        Candidates &c = candidates[f.folder->releaseKey + nul + *f.artistKey + nul + f.title->strippedKey];
        c.members.push_back(i);
        c.folders.insert(f.folder->folderKey);
        c.releases.insert(f.folder->releaseKey);
        c.discs.insert(tracks[i].info.discNumber);
    }
    // Disc folders of one release always stay one album: a merge that would take
    // only some of a release's tracks (one artist of a compilation without an
    // album-artist tag) would split the release in two. A merge that takes all
    // of them only renames their key.
    QHash<QString, qsizetype> releaseSizes;
    for (const Facts &f : facts) {
        if (f.folder->disc)
            ++releaseSizes[f.description.key];
    }
    auto splitsARelease = [&](const Candidates &c) {
        QHash<QString, qsizetype> taken;
        for (qsizetype i : c.members) {
            const Facts &f = facts[size_t(i)];
            if (f.folder->disc)
                ++taken[f.description.key];
        }
        for (auto it = taken.cbegin(); it != taken.cend(); ++it) {
            if (it.value() != releaseSizes.value(it.key()))
                return true;
        }
        return false;
    };
    for (auto it = candidates.cbegin(); it != candidates.cend(); ++it) {
        const Candidates &c = it.value();
        if (c.folders.size() > 1 && c.releases.size() == 1 && c.discs.size() > 1 && !splitsARelease(c)) {
            const QString key = u"tagged"_s + nul + it.key();
            for (qsizetype i : c.members)
                facts[size_t(i)].description.key = key;
        }
    }

    // Groups in order of first appearance, members in input order.
    QHash<QString, qsizetype> groupOf;
    groupOf.reserve(n);
    std::vector<std::vector<qsizetype>> groups;
    const QString *lastKey = nullptr;
    qsizetype lastGroup = -1;
    for (qsizetype i = 0; i < n; ++i) {
        const QString &key = facts[size_t(i)].description.key;
        if (!lastKey || *lastKey != key) {
            auto it = groupOf.constFind(key);
            if (it == groupOf.constEnd()) {
                lastGroup = qsizetype(groups.size());
                groupOf.insert(key, lastGroup);
                groups.emplace_back();
            } else {
                lastGroup = *it;
            }
            lastKey = &key;
        }
        groups[size_t(lastGroup)].push_back(i);
    }

    QList<Album> result;
    result.reserve(qsizetype(groups.size()));
    // File names break ties of disc and track number; each is found once, as a
    // view into the track's own path.
    std::vector<QStringView> names(static_cast<size_t>(n));
    auto fileName = [&](qsizetype i) {
        QStringView &name = names[size_t(i)];
        if (name.isNull())
            name = nameOf(tracks[i].url);
        return name;
    };
    for (auto &members : groups) {
        std::stable_sort(members.begin(), members.end(), [&](qsizetype a, qsizetype b) {
            const qint64 discA = facts[size_t(a)].description.disc, discB = facts[size_t(b)].description.disc;
            if (discA != discB)
                return discA < discB;
            const qint64 trackA = tracks[a].info.trackNumber, trackB = tracks[b].info.trackNumber;
            if (trackA != trackB)
                return trackA < trackB;
            return text::finderLess(fileName(a), fileName(b));
        });

        const qsizetype first = members.front();
        const Description &head = facts[size_t(first)].description;
        Album album;
        album.tracks.reserve(qsizetype(members.size()));
        bool oneArtist = true, oneTitle = true;
        for (qsizetype i : members) {
            album.tracks.append(tracks[i]);
            // Distinct values: more than one exists exactly when one differs from the first.
            oneArtist = oneArtist && text::equivalent(tracks[i].artist, tracks[first].artist);
            oneTitle = oneTitle && text::equivalent(facts[size_t(i)].description.title, head.title);
        }
        album.artist = oneArtist ? tracks[first].artist : u"Różni wykonawcy"_s;
        album.title = oneTitle ? head.title : facts[size_t(first)].folder->releaseName;
        album.groupID = head.key;
        result.append(std::move(album));
    }
    return result;
}

} // namespace AlbumGrouping
