#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace paths {

QByteArray encode(const QString &path)
{
    return QFile::encodeName(path);
}

QString lastComponent(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    if (p == u"/"_s)
        return p;
    const qsizetype slash = p.lastIndexOf(u'/');
    return slash < 0 ? p : p.mid(slash + 1);
}

QString extension(const QString &path)
{
    const QString name = lastComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0 || dot == name.size() - 1)
        return QString();
    return name.mid(dot + 1);
}

QString deletingExtension(const QString &path)
{
    const QString ext = extension(path);
    if (ext.isEmpty())
        return path;
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p.left(p.size() - ext.size() - 1);
}

QString parent(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    if (slash == 0)
        return u"/"_s;
    return p.left(slash);
}

QString appending(const QString &path, const QString &component)
{
    if (path.isEmpty())
        return component;
    if (path.endsWith(u'/'))
        return path + component;
    return path + u'/' + component;
}

QString standardized(const QString &path)
{
    QString clean = QDir::cleanPath(path);
    // Above the root there is only the root: "/.." and "/../a" are "/" and "/a".
    while (clean.startsWith(u"/.."_s) && (clean.size() == 3 || clean[3] == u'/'))
        clean = clean.size() == 3 ? u"/"_s : clean.mid(3);
    return clean;
}

QString resolvingLinks(const QString &path)
{
    const QString clean = standardized(path);
    QString prefix = clean;
    QString rest;
    while (!prefix.isEmpty()) {
        const QString canonical = QFileInfo(prefix).canonicalFilePath();
        if (!canonical.isEmpty())
            return rest.isEmpty() ? canonical : appending(canonical, rest);
        const QString last = lastComponent(prefix);
        rest = rest.isEmpty() ? last : last + u'/' + rest;
        const QString up = parent(prefix);
        if (up == prefix)
            break;
        prefix = up;
    }
    return clean;
}

namespace {
bool lstatOk(const QString &path, struct stat &st)
{
    return ::lstat(encode(path).constData(), &st) == 0;
}
} // namespace

bool isSymbolicLink(const QString &path)
{
    struct stat st;
    return lstatOk(path, st) && S_ISLNK(st.st_mode);
}

bool isRegularFile(const QString &path)
{
    struct stat st;
    return lstatOk(path, st) && S_ISREG(st.st_mode);
}

bool isDirectory(const QString &path)
{
    struct stat st;
    return lstatOk(path, st) && S_ISDIR(st.st_mode);
}

bool exists(const QString &path)
{
    struct stat st;
    return ::stat(encode(path).constData(), &st) == 0;
}

std::optional<qint64> fileSize(const QString &path)
{
    struct stat st;
    if (!lstatOk(path, st))
        return std::nullopt;
    return qint64(st.st_size);
}

namespace {
// A folder's entries without "." and ".." (and hidden ones when asked), each
// with the type its directory entry gives (DT_UNKNOWN where the file system
// gives none); none when the folder cannot be read.
struct Named {
    QString name;
    unsigned char type;
    QByteArray bytes; // the name as stored, kept only when `name` does not give it back
};
std::optional<std::vector<Named>> entriesOf(const QString &folder, bool skipHidden,
                                            std::vector<Named> *unreadable = nullptr)
{
    DIR *dir = ::opendir(encode(folder).constData());
    if (!dir)
        return std::nullopt;
    std::vector<Named> entries;
    while (dirent *entry = ::readdir(dir)) {
        const char *n = entry->d_name;
        if ((n[0] == '.' && n[1] == 0) || (n[0] == '.' && n[1] == '.' && n[2] == 0) || (skipHidden && n[0] == '.'))
            continue;
        QString name = QFile::decodeName(n);
        // Bytes that are not UTF-8 decode to U+FFFD; such a name does not come back.
        if (unreadable && name.contains(QChar::ReplacementCharacter) && encode(name) != n) {
            unreadable->push_back({std::move(name), entry->d_type, QByteArray(n)});
            continue;
        }
        entries.push_back({std::move(name), entry->d_type, {}});
    }
    ::closedir(dir);
    return entries;
}
} // namespace

std::optional<QStringList> list(const QString &folder)
{
    const std::optional<std::vector<Named>> entries = entriesOf(folder, false);
    if (!entries)
        return std::nullopt;
    QStringList names;
    names.reserve(qsizetype(entries->size()));
    for (const Named &named : *entries)
        names.append(named.name);
    return names;
}

namespace {
// Returns false when the visitor asked to stop.
// The kind of an entry from its directory type, else from lstat of `name`.
void classify(WalkEntry &entry, unsigned char type, const QByteArray &name)
{
    if (type == DT_UNKNOWN) {
        struct stat st;
        if (::lstat(name.constData(), &st) == 0) {
            entry.isLink = S_ISLNK(st.st_mode);
            entry.isDirectory = S_ISDIR(st.st_mode);
            entry.isRegular = S_ISREG(st.st_mode);
        }
    } else {
        entry.isLink = type == DT_LNK;
        entry.isDirectory = type == DT_DIR;
        entry.isRegular = type == DT_REG;
    }
}

bool walkFolder(const QString &folder, bool skipHidden, const std::function<bool(const WalkEntry &)> &visit,
                std::vector<WalkEntry> *unreadable)
{
    // The directory's own entry types spare a stat per entry (a library of
    // 50,000 files otherwise spends most of its walk in lstat); only a file
    // system that leaves them unknown is asked entry by entry.
    std::vector<Named> unnamed;
    const std::optional<std::vector<Named>> entries = entriesOf(folder, skipHidden, unreadable ? &unnamed : nullptr);
    if (!entries)
        return true;
    for (const Named &named : unnamed) {
        WalkEntry entry;
        entry.path = appending(folder, named.name);
        classify(entry, named.type, encode(folder) + '/' + named.bytes);
        unreadable->push_back(std::move(entry));
    }
    for (const Named &named : *entries) {
        WalkEntry entry;
        entry.path = appending(folder, named.name);
        classify(entry, named.type, named.type == DT_UNKNOWN ? encode(entry.path) : QByteArray());
        if (!visit(entry))
            return false;
        if (entry.isDirectory && !walkFolder(entry.path, skipHidden, visit, unreadable))
            return false;
    }
    return true;
}
} // namespace

void walk(const QString &root, bool skipHidden, const std::function<bool(const WalkEntry &)> &visit,
          std::vector<WalkEntry> *unreadable)
{
    walkFolder(root, skipHidden, visit, unreadable);
}

} // namespace paths
