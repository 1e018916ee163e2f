#include "device/transfer.h"

#include "device/device.h"
#include "device/storage.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/text.h"

#include <QSet>
#include <atomic>
#include <vector>
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

// What one lstat of a source says, looked at once before anything is written.
struct SourceFacts {
    qint64 size = 0;
    bool link = false;
};

SourceFacts sourceFacts(const QString &source)
{
    struct stat st;
    if (::lstat(paths::encode(source).constData(), &st) != 0)
        PosixError::throwErrno();
    return {qint64(st.st_size), S_ISLNK(st.st_mode)};
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

std::atomic<int> batchFiles{128};
constexpr qint64 batchBytes = 64 * 1024 * 1024;

// Jobs done since the last commit: copies lie in partial files whose data
// are written but not yet durable, skipped jobs wait only for their progress.
// A commit makes the data durable with one flush of the device's file system,
// moves every copy to its name (checking the device before each), makes the
// names durable with a second flush, and only then reports the jobs, in
// order. Two flushes per batch instead of three per file keep small files
// near the speed of a plain copy, and nothing is reported before it would
// survive the device failing.
class Batch
{
public:
    Batch(const DeviceCheck &device, TransferResult &result, int total, const std::function<void(int, int)> &progress)
        : m_device(device), m_result(result), m_total(total), m_progress(progress)
    {
    }
    ~Batch() { discard(); }

    bool full() const { return m_copies >= batchFiles.load() || m_bytes >= batchBytes; }
    bool isEmpty() const { return m_jobs.empty(); }

    // True when a copy waiting in this batch takes this name in this folder;
    // FAT compares names without case.
    bool holds(const QString &candidate) const
    {
        for (const Job &job : m_jobs) {
            if (job.copy && job.candidate.compare(candidate, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }

    void addSkipped() { m_jobs.push_back(Job{}); }
    void addCopy(posixfile::File file, const QString &partial, const QString &candidate, bool replace, qint64 size)
    {
        m_jobs.push_back(Job{true, std::move(file), partial, candidate, replace});
        ++m_copies;
        m_bytes += size;
    }

    void commit()
    {
        if (m_jobs.empty())
            return;
        posixfile::File *any = nullptr;
        for (Job &job : m_jobs)
            if (job.copy)
                any = &job.file;
        if (any)
            any->syncFileSystem();
        std::size_t moved = 0;
        try {
            for (; moved < m_jobs.size(); ++moved) {
                Job &job = m_jobs[moved];
                if (!job.copy)
                    continue;
                m_device.check();
                if (job.replace)
                    posixfile::renameReplacing(job.partial, job.candidate);
                else
                    posixfile::renameNoReplace(job.partial, job.candidate);
                job.partial.clear();
            }
            if (any)
                any->syncFileSystem();
        } catch (...) {
            // What was moved is reported if it can still be made durable.
            try {
                if (any)
                    any->syncFileSystem();
                report(moved);
            } catch (...) {
            }
            discard();
            throw;
        }
        report(m_jobs.size());
    }

private:
    struct Job {
        bool copy = false;    // false for a skipped job
        posixfile::File file; // open until the job is reported
        QString partial;      // empty once moved to its name
        QString candidate;
        bool replace = false;
    };

    // Reports the first `count` jobs and forgets the whole batch. Their
    // copies are closed together first: the data and names are already on the
    // disk, and on a FAT file system mounted with "flush" each close waits.
    void report(std::size_t count)
    {
        std::vector<posixfile::File *> files;
        for (std::size_t i = 0; i < count; ++i)
            files.push_back(&m_jobs[i].file);
        posixfile::closeTogether(files, &m_closesWait);
        for (std::size_t i = 0; i < count; ++i) {
            if (m_jobs[i].copy) {
                ++m_result.copied;
            } else {
                ++m_result.skipped;
            }
            ++m_reported;
            if (m_progress)
                m_progress(m_reported, m_total);
        }
        discard();
    }

    void discard() noexcept
    {
        for (Job &job : m_jobs)
            if (!job.partial.isEmpty())
                posixfile::unlinkQuietly(job.partial);
        std::vector<posixfile::File *> files;
        for (Job &job : m_jobs)
            files.push_back(&job.file);
        try {
            posixfile::closeTogether(files, &m_closesWait);
        } catch (...) {
            // What is discarded has nothing left to report.
        }
        m_jobs.clear();
        m_copies = 0;
        m_bytes = 0;
    }

    const DeviceCheck &m_device;
    TransferResult &m_result;
    const int m_total;
    const std::function<void(int, int)> &m_progress;
    std::vector<Job> m_jobs;
    int m_copies = 0;
    qint64 m_bytes = 0;
    int m_reported = 0;
    bool m_closesWait = false; // a close waited: the next batches close together at once
};

} // namespace

namespace Storage {

void setTransferBatchForTesting(int files)
{
    batchFiles.store(files > 0 ? files : 128);
}

namespace {

// The transfer onto a device inspected or checked a moment ago.
TransferResult transferTo(const QList<TransferFile> &jobs, const DeviceCheck &device,
                          const std::function<void(int, int)> &progress)
{
    const QString &root = device.root();

    // Partial files of an earlier transfer that never finished hold space the
    // new one may need.
    for (const QString &folder : existingFolders(jobs, root)) {
        device.check();
        removeStalePartials(folder);
    }

    qint64 needed = 0;
    std::vector<SourceFacts> sources;
    sources.reserve(std::size_t(jobs.size()));
    for (const TransferFile &job : jobs) {
        sources.push_back(sourceFacts(job.source));
        if (!probablyOnDevice(job, root, sources.back().size))
            needed += sources.back().size;
    }
    device.check();
    if (needed >= DeviceCapacity::of(root).available)
        throw TavoError(u"Za mało wolnego miejsca na cały transfer."_s);

    TransferResult result;
    const int total = int(jobs.size());
    Batch batch(device, result, total, progress);
    for (int position = 0; position < total; ++position) {
        const TransferFile &job = jobs.at(position);
        try {
            if (sources[std::size_t(position)].link)
                throw TavoError(u"Import dowiązań nie jest obsługiwany."_s);

            // The device is checked here, before its folders are made.
            const QString folder = directory(folderFor(job), device);
            const QString sourceName = paths::lastComponent(job.source);
            const qint64 size = sources[std::size_t(position)].size;
            QString candidate = paths::appending(folder, firstName(sourceName));
            int number = 2;
            bool skipped = false;
            bool replaceEmpty = false;
            for (;;) {
                // A name a waiting copy will take is decided once that copy
                // has it: the batch is committed and the name looked at again.
                if (batch.holds(candidate))
                    batch.commit();
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
                batch.addSkipped();
            } else {
                const QString partial = paths::appending(folder, partialName());
                try {
                    posixfile::File input = posixfile::openForReading(job.source);
                    posixfile::File file = createPartial(partial);
                    // A large file is written back while it is copied, so the
                    // batch's flush has little left to wait for; small ones are
                    // left to that flush, which writes them together.
                    posixfile::copyData(input, file, 1 << 20, [&](qint64 offset, qint64 length) {
                        if (size > (1 << 20))
                            file.startWriteback(offset, length);
                    });
                    batch.addCopy(std::move(file), partial, candidate, replaceEmpty, size);
                } catch (...) {
                    posixfile::unlinkQuietly(partial);
                    throw;
                }
            }
            result.destinations.append(candidate);
            if (batch.full())
                batch.commit();
        } catch (...) {
            // The jobs before this one still land, as far as the device allows.
            try {
                batch.commit();
            } catch (...) {
            }
            throw;
        }
    }
    batch.commit();
    return result;
}

} // namespace

TransferResult transfer(const QList<TransferFile> &jobs, const QString &root,
                        const std::function<void(int, int)> &progress)
{
    // The full inspection runs once; every later step checks cheaply that the
    // same device is still there.
    return transferTo(jobs, DeviceCheck(root), progress);
}

TransferResult transfer(const QList<TransferFile> &jobs, const DeviceCheck &device,
                        const std::function<void(int, int)> &progress)
{
    device.check();
    return transferTo(jobs, device, progress);
}

} // namespace Storage
