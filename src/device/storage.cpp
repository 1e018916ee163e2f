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
    if (trimmed.isEmpty() || trimmed == u"."_s || trimmed == u".."_s)
        return u"Bez nazwy"_s;
    return fitting(text::firstGraphemes(trimmed, maxNameCharacters), QString());
}

namespace Storage {

QString partialName()
{
    return u".vontaro-"_s + text::newUuid() + u".partial"_s;
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

QString directory(const QString &relativePath, const QString &root)
{
    Device::inspect(root);
    QString current = root;
    const QStringList pieces = relativePath.split(u'/', Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        if (piece == u"."_s || piece == u".."_s)
            throw TavoError(u"Nieprawidłowa ścieżka."_s);
        current = paths::appending(current, piece);
        if (isSymbolicLink(current))
            throw TavoError(u"Ścieżka zawiera dowiązanie: "_s + paths::lastComponent(current));
        struct stat st;
        if (::lstat(paths::encode(current).constData(), &st) != 0) {
            posixfile::makeDirectory(current);
        } else if (!S_ISDIR(st.st_mode)) {
            throw TavoError(u"Folder jest zajęty przez plik: "_s + paths::lastComponent(current));
        }
    }
    return current;
}

namespace {

// Writes data into a new partial file beside target and hands it to `finish`,
// which moves it into place. The partial file never outlives the call.
template<typename Finish>
void writeThroughPartial(const QByteArray &data, const QString &target, Finish finish)
{
    const QString partial = paths::appending(paths::parent(target), partialName());
    try {
        posixfile::File file = posixfile::createExclusive(partial);
        file.writeAll(data.constData(), data.size());
        file.sync();
        file.close();
        finish(partial);
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
        throw TavoError(file.errorString());
}

void copyAudioBytes(const QString &source, const QString &destination)
{
    posixfile::File input = posixfile::openForReading(source);
    posixfile::File output = posixfile::createExclusive(destination);
    std::unique_ptr<char[]> buffer(new char[chunkSize]);
    qint64 written = 0;
    for (;;) {
        const qint64 n = input.read(buffer.get(), chunkSize);
        if (n <= 0)
            break;
        output.writeAll(buffer.get(), n);
        // Writing back while copying keeps the closing sync short.
        output.startWriteback(written, n);
        written += n;
    }
    output.sync();
    // The data are on disk; a failing close of the copy is still reported rather
    // than taken as success. The source's close result does not matter.
    output.close();
}

QByteArray digest(const QString &path)
{
    return sha256::ofFile(path);
}

} // namespace Storage
