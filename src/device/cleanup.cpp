#include "device/cleanup.h"

#include "device/backup.h"
#include "device/device.h"
#include "device/storage.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/text.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cerrno>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

bool lstatOk(const QString &path, struct stat &st)
{
    return ::lstat(paths::encode(path).constData(), &st) == 0;
}

// The first four bytes of an AppleDouble file: 00 05 16 07.
bool hasAppleDoubleMagic(const QString &path)
{
    try {
        posixfile::File file = posixfile::openForReading(path);
        char magic[4];
        const qint64 n = file.read(magic, 4);
        return n == 4 && magic[0] == 0x00 && magic[1] == 0x05 && magic[2] == 0x16 && magic[3] == 0x07;
    } catch (const PosixError &) {
        return false;
    }
}

QStringList listOrThrow(const QString &folder)
{
    errno = 0;
    const auto names = paths::list(folder);
    if (!names)
        throw PosixError(errno);
    return *names;
}

QByteArray readWhole(const QString &path)
{
    posixfile::File file = posixfile::openForReading(path);
    QByteArray bytes;
    constexpr qint64 chunk = 64 * 1024;
    for (;;) {
        const qsizetype at = bytes.size();
        bytes.resize(at + chunk);
        const qint64 n = file.read(bytes.data() + at, chunk);
        bytes.resize(at + n);
        if (n < chunk)
            break;
    }
    file.close();
    return bytes;
}

// mkdir -p, keeping errno of the level that failed.
void makePath(const QString &path)
{
    struct stat st;
    if (::stat(paths::encode(path).constData(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            throw PosixError(ENOTDIR);
        return;
    }
    const QString up = paths::parent(path);
    if (!up.isEmpty() && up != path)
        makePath(up);
    try {
        posixfile::makeDirectory(path);
    } catch (const PosixError &error) {
        if (error.code() != EEXIST)
            throw;
    }
}

// AppleDouble companions in the music folders, in walk order; the folders
// holding partial files of this application are gathered on the way.
QStringList scanMusicFolders(const QString &root, QStringList *partialFolders)
{
    QStringList found;
    for (const QString &name : listOrThrow(root)) {
        if (!name.toLower().startsWith(u"music"_s))
            continue;
        const QString top = paths::appending(root, name);
        if (isSymbolicLink(top))
            continue;
        paths::walk(top, false, [&](const paths::WalkEntry &entry) {
            if (!entry.isRegular)
                return true;
            const QString fileName = paths::lastComponent(entry.path);
            if (partialFolders && fileName.startsWith(u".vontaro-"_s) && fileName.endsWith(u".partial"_s)) {
                const QString folder = paths::parent(entry.path);
                if (!partialFolders->contains(folder))
                    partialFolders->append(folder);
                return true;
            }
            // "._" alone has no counterpart: its folder is not the file it would describe.
            if (!fileName.startsWith(u"._"_s) || fileName.size() == 2)
                return true;
            struct stat st;
            const QString counterpart = paths::appending(paths::parent(entry.path), fileName.mid(2));
            if (!lstatOk(counterpart, st) || S_ISLNK(st.st_mode))
                return true;
            if (hasAppleDoubleMagic(entry.path))
                found.append(entry.path);
            return true;
        });
    }
    return found;
}

} // namespace

namespace Storage {

QStringList macMetadataFiles(const QString &root)
{
    Device::inspect(root);
    return scanMusicFolders(root, nullptr);
}

QStringList macMetadataCompanions(const QStringList &files, const QString &root)
{
    QString prefix = paths::resolvingLinks(root);
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    QStringList found;
    for (const QString &file : files) {
        if (!paths::resolvingLinks(file).startsWith(prefix))
            continue;
        const QString companion = paths::appending(paths::parent(file), u"._"_s + paths::lastComponent(file));
        struct stat st;
        if (!lstatOk(companion, st) || !S_ISREG(st.st_mode))
            continue;
        if (hasAppleDoubleMagic(companion))
            found.append(companion);
    }
    return found;
}

QByteArray encodeManifest(const QList<QPair<QString, QString>> &entries)
{
    QJsonObject object;
    for (const auto &[name, path] : entries)
        object.insert(name, path);
    // Keys and values are the only text in the document, so every "/" is inside a string.
    return QJsonDocument(object).toJson(QJsonDocument::Compact).replace("/", "\\/");
}

namespace {

// The clean-up of a device inspected or checked a moment ago.
int cleanupOn(const DeviceCheck &device, const QString &backupRoot, const std::optional<QStringList> &candidates)
{
    const QString &root = device.root();
    QStringList partialFolders;
    QStringList companions;
    if (candidates) {
        companions = macMetadataCompanions(*candidates, root);
        for (const QString &file : *candidates) {
            const QString folder = paths::parent(file);
            if (!partialFolders.contains(folder) && !isSymbolicLink(folder) && paths::isDirectory(folder))
                partialFolders.append(folder);
        }
    } else {
        companions = scanMusicFolders(root, &partialFolders);
    }
    // Partial files left by an interrupted write are removed with the rest of
    // the clutter; only folders inside the device are looked at.
    QString prefix = paths::resolvingLinks(root);
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    for (const QString &folder : std::as_const(partialFolders)) {
        if (!paths::resolvingLinks(folder).startsWith(prefix))
            continue;
        device.check();
        removeStalePartials(folder);
    }
    // A file given twice has one companion, removed once.
    companions.removeDuplicates();
    if (companions.isEmpty())
        return 0;

    const QString folder = paths::appending(backupRoot, u"MacMetadata-"_s + text::newUuid());
    makePath(folder);
    QList<QPair<QString, QString>> manifest;
    for (const QString &companion : companions) {
        const QByteArray bytes = readWhole(companion);
        const QString copyName = text::newUuid() + u".appledouble"_s;
        writeBytes(bytes, paths::appending(folder, copyName));
        manifest.append({copyName, companion});
    }
    writeBytes(encodeManifest(manifest), paths::appending(folder, u"manifest.json"_s));

    for (const QString &companion : companions) {
        device.check();
        posixfile::unlink(companion);
    }
    return int(companions.size());
}

} // namespace

int cleanupMacMetadata(const QString &root, const QString &backupRoot, const std::optional<QStringList> &candidates)
{
    return cleanupOn(DeviceCheck(root), backupRoot, candidates);
}

int cleanupMacMetadata(const DeviceCheck &device, const QString &backupRoot, const std::optional<QStringList> &candidates)
{
    device.check();
    return cleanupOn(device, backupRoot, candidates);
}

} // namespace Storage
