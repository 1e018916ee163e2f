#include "device/backup.h"

#include "device/device.h"
#include "device/storage.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/text.h"

#include <QDir>
#include <QLocale>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

bool inside(const QString &path, const QString &root)
{
    return path == root || path.startsWith(root.endsWith(u'/') ? root : root + u'/');
}

// Names in a folder without "." and ".."; a folder that can't be read is an error here.
QStringList listOrThrow(const QString &folder)
{
    DIR *dir = ::opendir(paths::encode(folder).constData());
    if (!dir)
        PosixError::throwErrno();
    QStringList names;
    errno = 0;
    while (dirent *entry = ::readdir(dir)) {
        const char *n = entry->d_name;
        if (!(n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))))
            names.append(QFile::decodeName(n));
        errno = 0;
    }
    const int code = errno;
    ::closedir(dir);
    if (code != 0)
        throw PosixError(code);
    return names;
}

void copyFile(const QString &source, const QString &destination)
{
    constexpr qint64 chunk = 1 << 20;
    posixfile::File input = posixfile::openForReading(source);
    posixfile::File output = posixfile::createExclusive(destination);
    std::unique_ptr<char[]> buffer(new char[chunk]);
    for (;;) {
        const qint64 n = input.read(buffer.get(), chunk);
        if (n <= 0)
            break;
        output.writeAll(buffer.get(), n);
    }
    output.close();
}

} // namespace

namespace Storage {

const QStringList &backupEntries()
{
    static const QStringList entries{u"config.cfg"_s, u"themes"_s, u"wps"_s, u"sbs"_s, u"fonts"_s,
                                     u"icons"_s, u"backdrops"_s, u"eqs"_s, u"fmpresets"_s};
    return entries;
}

void copyTree(const QString &source, const QString &destination)
{
    struct stat st;
    if (::lstat(paths::encode(source).constData(), &st) != 0)
        PosixError::throwErrno();
    if (S_ISLNK(st.st_mode))
        throw TavoError(u"Paczka zawiera dowiązanie symboliczne."_s);
    if (S_ISDIR(st.st_mode)) {
        posixfile::makeDirectory(destination);
        for (const QString &name : listOrThrow(source))
            copyTree(paths::appending(source, name), paths::appending(destination, name));
    } else if (S_ISREG(st.st_mode)) {
        copyFile(source, destination);
    }
    // Sockets, FIFOs and device nodes hold no settings; opening a FIFO would block.
}

QString backupReadme(const QString &deviceName, const QDateTime &when)
{
    const QString moment = QLocale::c().toString(when.toUTC(), u"yyyy-MM-dd HH:mm:ss"_s) + u" +0000"_s;
    return u"Kopia ustawień i motywów Rockbox — Vontaro\n"_s + moment + u'\n' + u"Urządzenie: "_s + deviceName
         + u"\nNie zawiera muzyki ani firmware.\n"_s;
}

void backup(const QString &root, const QString &destination)
{
    const Device device = Device::inspect(root);
    const QString rootPath = paths::standardized(root);
    const QString target = paths::standardized(destination);
    // Also with links resolved, so a link on the computer pointing into the device is no way in.
    if (inside(target, rootPath) || inside(paths::resolvingLinks(target), paths::resolvingLinks(rootPath)))
        throw TavoError(u"Zapisz kopię poza iPodem."_s);
    struct stat st;
    if (::lstat(paths::encode(target).constData(), &st) == 0)
        throw TavoError(u"Folder kopii już istnieje."_s);

    const QString partial = paths::appending(paths::parent(target), u".vontaro-backup-"_s + text::newUuid() + u".partial"_s);
    posixfile::makeDirectory(partial);
    try {
        const QString marker = paths::appending(rootPath, u".rockbox"_s);
        for (const QString &entry : backupEntries()) {
            const QString item = paths::appending(marker, entry);
            if (::lstat(paths::encode(item).constData(), &st) != 0)
                continue;
            rejectLinks(item);
            copyTree(item, paths::appending(partial, entry));
        }
        writeAtomically(backupReadme(device.name, QDateTime::currentDateTimeUtc()).toUtf8(),
                        paths::appending(partial, u"README.txt"_s));
        posixfile::renameNoReplace(partial, target);
    } catch (...) {
        QDir(partial).removeRecursively();
        throw;
    }
}

} // namespace Storage
