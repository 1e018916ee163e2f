#include "device/themes.h"

#include "device/backup.h"
#include "device/device.h"
#include "device/storage.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/process.h"
#include "platform/text.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <optional>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Storage {

namespace {

const QString unzipPath = u"/usr/bin/unzip"_s;

// Gives the owner full access to every folder and read access to every file
// of the tree; links are left alone. The unzip tool restores the package's Unix
// modes, and a folder of mode 555 or a file of mode 000 would otherwise be
// unreadable, or impossible to remove, for anyone but root.
void makeOwnerAccessible(const QString &path)
{
    const QByteArray encoded = paths::encode(path);
    struct stat st;
    if (::lstat(encoded.constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        ::chmod(encoded.constData(), 0700);
        for (const QString &name : paths::list(path).value_or(QStringList()))
            makeOwnerAccessible(paths::appending(path, name));
    } else if (S_ISREG(st.st_mode)) {
        ::chmod(encoded.constData(), 0600);
    }
}

// Removes the working folder on every way out of the installation. It holds
// a private copy of the checked archive and, beside it, the unpacked files.
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
    ~WorkingFolder()
    {
        makeOwnerAccessible(m_path);
        QDir(m_path).removeRecursively();
    }
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;
    const QString &path() const { return m_path; }
    QString archive() const { return paths::appending(m_path, u"package.zip"_s); }
    QString unpacked() const { return paths::appending(m_path, u"unpacked"_s); }

private:
    QString m_path;
};

void writeNew(const QByteArray &bytes, const QString &path)
{
    posixfile::File file = posixfile::createExclusive(path);
    file.writeAll(bytes.constData(), bytes.size());
    file.close();
}

QByteArray readWhole(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throwFileError(file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError)
        throwFileError(file.errorString());
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

// One write of the installation and what stood at its target before, as the
// file system resolved the name: on a case-insensitive disk the package's
// "themes/cabbie.cfg" replaces the device's "Cabbie.cfg", which the backup
// holds under its own spelling only.
struct Written {
    QString target;
    std::optional<QString> original; // a private copy of the file replaced; none when the target was new
};

// Keeps a private copy of the file at target, if there is one, before it is replaced.
std::optional<QString> keepOriginal(const QString &target, const QString &folder, int index)
{
    struct stat st;
    if (::lstat(paths::encode(target).constData(), &st) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        PosixError::throwErrno();
    }
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    const QString copy = paths::appending(folder, QString::number(index));
    posixfile::File output = posixfile::createExclusive(copy);
    posixfile::File input = posixfile::openForReading(target);
    posixfile::copyData(input, output, 1 << 20);
    output.close();
    return copy;
}

// Puts the device back as it was before the writes, newest write first:
// a replaced file gets its old bytes back, a new one is removed. Best effort.
void undo(const QList<Written> &written)
{
    for (auto it = written.crbegin(); it != written.crend(); ++it) {
        try {
            if (it->original)
                writeBytes(readWhole(*it->original), it->target);
            else
                ::unlink(paths::encode(it->target).constData());
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
    QByteArray archive = readZipArchive(zip);
    inspectZipData(archive);

    const WorkingFolder work;
    // The tool unpacks the very bytes that were checked, from a private copy
    // that nobody can change meanwhile.
    writeNew(archive, work.archive());
    archive = QByteArray();
    validateZipListing(run(unzipPath, {u"-Z1"_s, work.archive()}));
    // The declared sizes were checked, but the compressed data decides what the
    // tool writes, and it writes it whatever the headers claim. The real size
    // is counted first, without writing anything.
    if (Process::countOutput(unzipPath, {u"-p"_s, work.archive()}, zipSizeLimit) > zipSizeLimit)
        throw TavoError(u"Rozpakowany motyw przekracza 100 MB."_s);
    const QString unpacked = work.unpacked();
    if (::mkdir(paths::encode(unpacked).constData(), 0700) != 0)
        PosixError::throwErrno();
    // -o: the folder is fresh, so nothing is overwritten, but unzip would
    // otherwise ask about entries that collide after its own name mapping.
    run(unzipPath, {u"-qq"_s, u"-o"_s, work.archive(), u"-d"_s, unpacked});
    makeOwnerAccessible(unpacked);
    rejectLinks(unpacked);

    const QString rockbox = paths::appending(unpacked, u".rockbox"_s);
    if (!paths::exists(rockbox))
        throw TavoError(u"ZIP musi zawierać folder .rockbox (paczka motywu Rockbox)."_s);
    const int themeCount = int(themes(unpacked).size());
    if (themeCount == 0)
        throw TavoError(u"Paczka nie zawiera motywu .cfg w .rockbox/themes."_s);
    const QList<PackageFile> files = packageFiles(rockbox);

    backup(root, backupFolder);

    const DeviceCheck device(root);
    // Partial files left in the theme folders by an interrupted write go first.
    QStringList folders;
    for (const PackageFile &file : files) {
        const QString folder = paths::appending(paths::appending(root, u".rockbox"_s), file.relative.section(u'/', 0, -2));
        if (!folders.contains(folder))
            folders.append(folder);
    }
    for (const QString &folder : std::as_const(folders)) {
        if (paths::isSymbolicLink(folder) || !paths::isDirectory(folder))
            continue;
        device.check();
        removeStalePartials(folder);
    }

    const QString originals = paths::appending(work.path(), u"originals"_s);
    if (::mkdir(paths::encode(originals).constData(), 0700) != 0)
        PosixError::throwErrno();
    QList<Written> written;
    try {
        for (const PackageFile &file : files) {
            const QString folder = directory(u".rockbox/"_s + file.relative.section(u'/', 0, -2), device);
            const QString target = paths::appending(folder, file.relative.section(u'/', -1));
            if (isSymbolicLink(target))
                throw TavoError(u"Docelowy zasób jest dowiązaniem."_s);
            const std::optional<QString> original = keepOriginal(target, originals, int(written.size()));
            device.check();
            writeBytes(readWhole(file.source), target);
            written.append({target, original});
        }
    } catch (...) {
        undo(written);
        throw;
    }
    return themeCount;
}

} // namespace Storage
