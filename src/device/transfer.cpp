#include "device/transfer.h"

#include "device/device.h"
#include "device/storage.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/text.h"

#include <QSet>
#include <cerrno>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QString folderFor(const TransferFile &job)
{
    QString relative = u"Music/"_s + safeName(job.artist) + u'/' + safeName(job.album);
    if (job.discFolder)
        relative += u'/' + safeName(*job.discFolder);
    return relative;
}

// The numbered name after a clash: "song (2).flac". The stem is shortened where
// needed so the whole name still fits the device's name limits.
QString numberedName(const QString &sourceName, int number)
{
    const QString extension = paths::extension(sourceName);
    QString suffix = u" ("_s + QString::number(number) + u')';
    if (!extension.isEmpty())
        suffix += u'.' + extension;
    QString stem = safeName(paths::deletingExtension(sourceName));
    while (!stem.isEmpty() && (QString(stem + suffix).size() > 255 || QString(stem + suffix).toUtf8().size() > 255))
        stem.chop(stem.size() >= 2 && stem.at(stem.size() - 1).isLowSurrogate() ? 2 : 1);
    return stem + suffix;
}

bool fitsNameLimits(const QString &name)
{
    return name.size() <= 255 && name.toUtf8().size() <= 255;
}

// The first name tried for a source file. safeName keeps at most 160 characters
// (fewer where FAT or ext4 limits bite), which would cut the extension off a long
// name, and the player ignores files without a known extension: such a name is
// cut in its stem instead.
QString firstName(const QString &sourceName)
{
    const QString whole = safeName(sourceName);
    const QString extension = paths::extension(sourceName);
    const QString suffix = u'.' + extension;
    // With an extension that safeName leaves alone, a name that no longer ends
    // with it was cut.
    if (extension.isEmpty() || safeName(extension) != extension || whole.endsWith(suffix))
        return whole;
    const qsizetype room = 160 - text::graphemeCount(suffix);
    if (room <= 0)
        return whole;
    QString stem = text::firstGraphemes(safeName(paths::deletingExtension(sourceName)), room);
    while (!stem.isEmpty() && !fitsNameLimits(stem + suffix))
        stem = text::firstGraphemes(stem, text::graphemeCount(stem) - 1);
    return stem.isEmpty() ? whole : stem + suffix;
}

qint64 sourceSize(const QString &source)
{
    struct stat st;
    if (::lstat(paths::encode(source).constData(), &st) != 0)
        PosixError::throwErrno();
    return qint64(st.st_size);
}

// True when the job's first candidate already lies on the device with the
// source's size: a retry after a partial transfer will skip it, so it needs no room.
bool probablyOnDevice(const TransferFile &job, const QString &root, qint64 size)
{
    const QString candidate = paths::appending(paths::appending(root, folderFor(job)),
                                               firstName(paths::lastComponent(job.source)));
    struct stat st;
    return ::lstat(paths::encode(candidate).constData(), &st) == 0 && S_ISREG(st.st_mode)
        && qint64(st.st_size) == size;
}

// The job folders that already exist as real folders (no level a link), once each.
QStringList existingFolders(const QList<TransferFile> &jobs, const QString &root)
{
    QStringList found;
    QSet<QString> seen;
    for (const TransferFile &job : jobs) {
        const QString relative = folderFor(job);
        if (seen.contains(relative))
            continue;
        seen.insert(relative);
        QString current = root;
        bool real = true;
        for (const QString &piece : relative.split(u'/', Qt::SkipEmptyParts)) {
            current = paths::appending(current, piece);
            struct stat st;
            if (piece == u"."_s || piece == u".."_s || ::lstat(paths::encode(current).constData(), &st) != 0
                || !S_ISDIR(st.st_mode)) {
                real = false;
                break;
            }
        }
        if (real)
            found.append(current);
    }
    return found;
}

} // namespace

namespace Storage {

TransferResult transfer(const QList<TransferFile> &jobs, const QString &root,
                        const std::function<void(int, int)> &progress)
{
    // The full inspection runs once; every later step checks cheaply that the
    // same device is still there.
    const DeviceCheck device(root);

    // Partial files of an earlier transfer that never finished hold space the
    // new one may need.
    for (const QString &folder : existingFolders(jobs, root)) {
        device.check();
        removeStalePartials(folder);
    }

    qint64 needed = 0;
    for (const TransferFile &job : jobs) {
        const qint64 size = sourceSize(job.source);
        if (!probablyOnDevice(job, root, size))
            needed += size;
    }
    device.check();
    if (needed >= DeviceCapacity::of(root).available)
        throw TavoError(u"Za mało wolnego miejsca na cały transfer."_s);

    TransferResult result;
    const int total = int(jobs.size());
    for (int position = 0; position < total; ++position) {
        const TransferFile &job = jobs.at(position);
        device.check();
        if (isSymbolicLink(job.source))
            throw TavoError(u"Import dowiązań nie jest obsługiwany."_s);

        const QString folder = directory(folderFor(job), device);
        const QString sourceName = paths::lastComponent(job.source);
        const qint64 size = sourceSize(job.source);
        QString candidate = paths::appending(folder, firstName(sourceName));
        int number = 2;
        bool skipped = false;
        bool replaceEmpty = false;
        for (;;) {
            struct stat st;
            if (::lstat(paths::encode(candidate).constData(), &st) != 0) {
                if (errno != ENOENT)
                    PosixError::throwErrno();
                break;
            }
            if (S_ISLNK(st.st_mode))
                throw TavoError(u"Plik docelowy jest dowiązaniem symbolicznym."_s);
            // An empty file where a track should be is what a device that failed
            // right after an earlier copy leaves behind on FAT: it holds nothing
            // to keep, and the retry puts the track under its own name.
            if (S_ISREG(st.st_mode) && st.st_size == 0 && size > 0) {
                replaceEmpty = true;
                break;
            }
            // Only a regular file of the same size can hold the same bytes; anything
            // else (another size, a folder of that name) just takes the next number.
            if (S_ISREG(st.st_mode) && qint64(st.st_size) == size && digest(job.source) == digest(candidate)) {
                skipped = true;
                break;
            }
            candidate = paths::appending(folder, numberedName(sourceName, number));
            ++number;
        }

        if (skipped) {
            ++result.skipped;
        } else {
            const QString partial = paths::appending(folder, partialName());
            try {
                posixfile::File input = posixfile::openForReading(job.source);
                posixfile::File file = createPartial(partial);
                copyAudioInto(input, file);
                device.check();
                if (replaceEmpty)
                    posixfile::renameReplacing(partial, candidate);
                else
                    posixfile::renameNoReplace(partial, candidate);
                finishRename(file, folder);
            } catch (...) {
                posixfile::unlinkQuietly(partial);
                throw;
            }
            ++result.copied;
        }
        result.destinations.append(candidate);
        if (progress)
            progress(position + 1, total);
    }
    return result;
}

} // namespace Storage
