#include "device/themes.h"

#include "device/backup.h"
#include "device/device.h"
#include "device/storage.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Storage {

namespace {

const QString unzipPath = u"/usr/bin/unzip"_s;

// Removes the working folder on every way out of the installation.
class WorkingFolder
{
public:
    WorkingFolder()
    {
        const QString temp = paths::resolvingLinks(QDir::tempPath());
        m_path = paths::appending(temp, u"Vontaro-"_s + text::newUuid());
        if (::mkdir(paths::encode(m_path).constData(), 0700) != 0)
            PosixError::throwErrno();
    }
    ~WorkingFolder() { QDir(m_path).removeRecursively(); }
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;
    const QString &path() const { return m_path; }

private:
    QString m_path;
};

QByteArray readWhole(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TavoError(file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError)
        throw TavoError(file.errorString());
    return bytes;
}

struct PackageFile {
    QString relative; // below the package's .rockbox
    QString source;   // in the working folder
};

// The regular files of the unpacked .rockbox, every entry checked against the
// theme folders. Entries are taken in code-point order of their relative paths,
// which keeps every folder before its contents and makes the order of the
// writes the same on every file system.
QList<PackageFile> packageFiles(const QString &rockbox)
{
    if (!paths::isDirectory(rockbox) || !paths::list(rockbox))
        throw TavoError(u"Nie można odczytać motywu."_s);
    QList<paths::WalkEntry> entries;
    paths::walk(rockbox, false, [&](const paths::WalkEntry &entry) {
        entries.append(entry);
        return true;
    });
    const qsizetype prefix = rockbox.size() + 1;
    std::stable_sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return text::plainLess(a.path, b.path);
    });
    QList<PackageFile> files;
    for (const paths::WalkEntry &entry : std::as_const(entries)) {
        const QString relative = entry.path.mid(prefix);
        const QStringList parts = relative.split(u'/', Qt::SkipEmptyParts);
        // Only what lies below a theme folder is installed: a file that takes a
        // theme folder's own name would stand where the device keeps that folder.
        const bool inside = themeFolders().contains(parts.value(0)) && (entry.isDirectory || parts.size() > 1);
        if (!inside)
            throw TavoError(u"Paczka zawiera pliki poza katalogami motywów: "_s + relative);
        if (entry.isRegular)
            files.append({relative, entry.path});
    }
    return files;
}

// Puts the device back as the backup shows it: files the backup holds are
// written back, files it doesn't hold were new and are removed. Best effort.
void undo(const QStringList &written, const QString &root, const QString &backupFolder)
{
    const QString rockbox = paths::appending(root, u".rockbox"_s);
    for (auto it = written.crbegin(); it != written.crend(); ++it) {
        const QString &target = *it;
        const QString relative = target.mid(rockbox.size() + 1);
        const QString saved = paths::appending(backupFolder, relative);
        try {
            if (paths::isRegularFile(saved))
                writeBytes(readWhole(saved), target);
            else
                ::unlink(paths::encode(target).constData());
        } catch (...) {
        }
    }
}

} // namespace

const QStringList &themeFolders()
{
    static const QStringList folders{u"themes"_s, u"wps"_s, u"sbs"_s, u"fonts"_s, u"icons"_s, u"backdrops"_s};
    return folders;
}

QList<Theme> themes(const QString &root)
{
    const QString folder = paths::appending(paths::appending(root, u".rockbox"_s), u"themes"_s);
    if (paths::isSymbolicLink(folder))
        return {};
    const std::optional<QStringList> names = paths::list(folder);
    if (!names)
        return {};
    QList<Theme> found;
    for (const QString &name : *names) {
        if (paths::extension(name).toLower() != u"cfg"_s)
            continue;
        const QString path = paths::appending(folder, name);
        // A folder named like a theme file is no theme.
        if (paths::isSymbolicLink(path) || paths::isDirectory(path))
            continue;
        found.append(Theme{path});
    }
    std::stable_sort(found.begin(), found.end(), [](const Theme &a, const Theme &b) {
        return text::finderLess(paths::deletingExtension(paths::lastComponent(a.url)),
                                paths::deletingExtension(paths::lastComponent(b.url)));
    });
    return found;
}

QString run(const QString &tool, const QStringList &arguments)
{
    return Process::run(tool, arguments);
}

int installTheme(const QString &zip, const QString &root, const QString &backupFolder)
{
    Device::inspect(root);
    inspectZip(zip);

    const WorkingFolder work;
    validateZipListing(run(unzipPath, {u"-Z1"_s, zip}));
    // -o: the folder is fresh, so nothing is overwritten, but unzip would
    // otherwise ask about entries that collide after its own name mapping.
    run(unzipPath, {u"-qq"_s, u"-o"_s, zip, u"-d"_s, work.path()});
    rejectLinks(work.path());

    const QString rockbox = paths::appending(work.path(), u".rockbox"_s);
    if (!paths::exists(rockbox))
        throw TavoError(u"ZIP musi zawierać folder .rockbox (paczka motywu Rockbox)."_s);
    const int themeCount = int(themes(work.path()).size());
    if (themeCount == 0)
        throw TavoError(u"Paczka nie zawiera motywu .cfg w .rockbox/themes."_s);
    const QList<PackageFile> files = packageFiles(rockbox);

    backup(root, backupFolder);

    QStringList written;
    try {
        for (const PackageFile &file : files) {
            const QString folder = directory(u".rockbox/"_s + file.relative.section(u'/', 0, -2), root);
            const QString target = paths::appending(folder, file.relative.section(u'/', -1));
            if (isSymbolicLink(target))
                throw TavoError(u"Docelowy zasób jest dowiązaniem."_s);
            Device::inspect(root);
            writeBytes(readWhole(file.source), target);
            written.append(target);
        }
    } catch (...) {
        undo(written, root, backupFolder);
        throw;
    }
    return themeCount;
}

} // namespace Storage
