#include "device/storage.h"

#include "device/device.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/sha256.h"
#include "platform/text.h"

#include <QSaveFile>
#include <QTextBoundaryFinder>
#include <cerrno>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 chunkSize = 1 << 20;
constexpr qsizetype maxNameCharacters = 160;
// FAT long names hold 255 UTF-16 units, ext4 names 255 bytes.
constexpr qsizetype maxNameUnits = 255;
constexpr qsizetype maxNameBytes = 255;

bool refusedInName(char16_t c)
{
    switch (c) {
    case u'/': case u'\\': case u':': case u'?': case u'*':
    case u'<': case u'>': case u'|': case u'"':
        return true;
    default:
        return c < 0x20; // line feed, carriage return, NUL and every other control character
    }
}

bool fitsFileSystems(QStringView name)
{
    return name.size() <= maxNameUnits && name.toUtf8().size() <= maxNameBytes;
}

// The longest prefix of `name` ending at a character boundary whose length,
// together with `suffix`, fits FAT and ext4 name limits.
QString fitting(const QString &name, const QString &suffix)
{
    if (fitsFileSystems(QString(name + suffix)))
        return name;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, name);
    qsizetype best = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype at = finder.position();
        if (!fitsFileSystems(QString(QStringView(name).left(at) + suffix)))
            break;
        best = at;
    }
    if (best == 0) {
        // One character too long on its own (a huge combining sequence): cut by code point.
        qsizetype at = 0;
        while (at < name.size()) {
            const qsizetype next = at + (name.at(at).isHighSurrogate() && at + 1 < name.size() ? 2 : 1);
            if (!fitsFileSystems(QString(QStringView(name).left(next) + suffix)))
                break;
            at = next;
        }
        best = at;
    }
    return name.left(best);
}

QString withoutFatTail(const QString &name)
{
    qsizetype end = name.size();
    while (end > 0 && (name.at(end - 1) == u'.' || text::isBlankOrNewline(name.at(end - 1).unicode())))
        --end;
    return name.left(end);
}

bool isPartialName(QStringView name)
{
    static constexpr qsizetype uuidLength = 36;
    const QLatin1StringView prefix(".vontaro-");
    const QLatin1StringView suffix(".partial");
    if (name.size() != prefix.size() + uuidLength + suffix.size() || !name.startsWith(prefix) || !name.endsWith(suffix))
        return false;
    const QStringView uuid = name.mid(prefix.size(), uuidLength);
    for (qsizetype i = 0; i < uuidLength; ++i) {
        const char16_t c = uuid.at(i).unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-')
                return false;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) {
            return false;
        }
    }
    return true;
}

} // namespace

bool isSymbolicLink(const QString &path)
{
    return paths::isSymbolicLink(path);
}

QString safeName(const QString &text)
{
    QString replaced = text;
    for (QChar &c : replaced) {
        if (refusedInName(c.unicode()))
            c = u'-';
    }
    const QString trimmed = text::trimmedBlanksAndNewlines(replaced);
    // FAT refuses a name ending in a blank and silently drops trailing dots
    // (so a name of dots only is no name at all). Both are taken off after the
    // cut too, so the name recorded is the name the disk keeps.
    QString name = withoutFatTail(fitting(text::firstGraphemes(trimmed, maxNameCharacters), QString()));
    return name.isEmpty() ? u"Bez nazwy"_s : name;
}

namespace Storage {

QString partialName()
{
    return u".vontaro-"_s + text::newUuid() + u".partial"_s;
}

posixfile::File createPartial(const QString &path)
{
    posixfile::File file = posixfile::createExclusive(path);
    // Held until the file is closed: the lock tells a live partial file from
    // one left behind by a process that died or a device that went away.
    file.tryLock();
    return file;
}

void finishRename(posixfile::File &file, const QString &folder)
{
    // On FAT the rename writes a new directory entry holding neither size nor
    // first cluster; the file's own sync fills them in, the folder's makes the
    // new name last. Until both are on the disk a failing device leaves an
    // empty file under the final name.
    file.sync();
    file.close();
    posixfile::syncFolder(folder);
}

qint64 removeStalePartials(const QString &folder)
{
    const std::optional<QStringList> names = paths::list(folder);
    if (!names)
        return 0;
    qint64 freed = 0;
    for (const QString &name : *names) {
        if (!isPartialName(name))
            continue;
        const QString path = paths::appending(folder, name);
        struct stat before;
        if (::lstat(paths::encode(path).constData(), &before) != 0 || !S_ISREG(before.st_mode))
            continue;
        try {
            // O_NOFOLLOW: never a link; the same inode as seen above: never
            // something swapped in meanwhile; the lock: never a live write.
            posixfile::File file = posixfile::openForReading(path);
            struct stat opened;
            if (::fstat(file.fd(), &opened) != 0 || opened.st_dev != before.st_dev || opened.st_ino != before.st_ino
                || !S_ISREG(opened.st_mode) || !file.tryLock())
                continue;
            if (::unlink(paths::encode(path).constData()) == 0)
                freed += qint64(opened.st_blocks) * 512;
        } catch (const PosixError &) {
        }
    }
    return freed;
}

void rejectLinks(const QString &path)
{
    const auto refuse = [] { throw TavoError(u"Paczka zawiera dowiązanie symboliczne."_s); };
    if (isSymbolicLink(path))
        refuse();
    paths::walk(path, false, [&](const paths::WalkEntry &entry) {
        if (entry.isLink)
            refuse();
        return true;
    });
}

namespace {

QString makeFolders(const QString &relativePath, const QString &root)
{
    QString current = root;
    const QStringList pieces = relativePath.split(u'/', Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        if (piece == u"."_s || piece == u".."_s)
            throw TavoError(u"Nieprawidłowa ścieżka."_s);
        current = paths::appending(current, piece);
        struct stat st;
        if (::lstat(paths::encode(current).constData(), &st) != 0) {
            posixfile::makeDirectory(current);
        } else if (S_ISLNK(st.st_mode)) {
            throw TavoError(u"Ścieżka zawiera dowiązanie: "_s + paths::lastComponent(current));
        } else if (!S_ISDIR(st.st_mode)) {
            throw TavoError(u"Folder jest zajęty przez plik: "_s + paths::lastComponent(current));
        }
    }
    return current;
}

} // namespace

QString directory(const QString &relativePath, const QString &root)
{
    Device::inspect(root);
    return makeFolders(relativePath, root);
}

QString directory(const QString &relativePath, const DeviceCheck &device)
{
    device.check();
    return makeFolders(relativePath, device.root());
}

namespace {

// Writes data into a new partial file beside target and hands it to `finish`,
// which moves it into place; then the new name lasts. The partial file never
// outlives the call.
template<typename Finish>
void writeThroughPartial(const QByteArray &data, const QString &target, Finish finish)
{
    const QString folder = paths::parent(target);
    const QString partial = paths::appending(folder, partialName());
    try {
        posixfile::File file = createPartial(partial);
        file.writeAll(data.constData(), data.size());
        file.sync();
        finish(partial);
        finishRename(file, folder);
    } catch (...) {
        posixfile::unlinkQuietly(partial);
        throw;
    }
    posixfile::unlinkQuietly(partial);
}

} // namespace

void writeBytes(const QByteArray &data, const QString &target)
{
    writeThroughPartial(data, target, [&](const QString &partial) { posixfile::renameReplacing(partial, target); });
}

void createWithBytes(const QByteArray &data, const QString &target)
{
    writeThroughPartial(data, target, [&](const QString &partial) { posixfile::renameNoReplace(partial, target); });
}

void writeAtomically(const QByteArray &data, const QString &target)
{
    // QSaveFile writes through a link to wherever it points.
    if (isSymbolicLink(target))
        throw PosixError(ELOOP);
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throwFileError(file.errorString());
}

void copyAudioInto(posixfile::File &input, posixfile::File &output)
{
    // Writing back while copying keeps the closing sync short.
    posixfile::copyData(input, output, chunkSize,
                        [&](qint64 offset, qint64 length) { output.startWriteback(offset, length); });
    output.sync();
}

void copyAudioBytes(const QString &source, const QString &destination)
{
    posixfile::File input = posixfile::openForReading(source);
    posixfile::File output = posixfile::createExclusive(destination);
    copyAudioInto(input, output);
    // The data are on disk; a failing close of the copy is still reported rather
    // than taken as success. The source's close result does not matter.
    output.close();
}

QByteArray digest(const QString &path)
{
    return sha256::ofFile(path);
}

} // namespace Storage
