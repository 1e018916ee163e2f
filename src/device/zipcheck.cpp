#include "device/zipcheck.h"

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <QSet>
#include <QStringDecoder>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Storage {

namespace {

constexpr quint32 endSignature = 0x06054b50;
constexpr quint32 centralSignature = 0x02014b50;
constexpr quint32 localSignature = 0x04034b50;
constexpr qint64 endRecordSize = 22;
constexpr qint64 centralHeaderSize = 46;
constexpr qint64 localHeaderSize = 30;
constexpr qint64 maxCommentLength = 65535;

[[noreturn]] void refuse()
{
    throw TavoError(u"Nieprawidłowa lub niebezpieczna paczka ZIP."_s);
}

// Every field read is bounds-checked first: positions come from the archive
// itself and are never trusted. All arithmetic is in 64 bits, so no sum of
// 32-bit fields can wrap.
class Reader
{
public:
    explicit Reader(const QByteArray &bytes) : m_bytes(bytes) {}
    qint64 size() const { return m_bytes.size(); }

    quint16 u16(qint64 at) const
    {
        if (at < 0 || at + 2 > size())
            refuse();
        const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData()) + at;
        return quint16(p[0] | (p[1] << 8));
    }

    quint32 u32(qint64 at) const
    {
        if (at < 0 || at + 4 > size())
            refuse();
        const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData()) + at;
        return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
    }

    QByteArrayView slice(qint64 at, qint64 length) const
    {
        if (at < 0 || length < 0 || at + length > size())
            refuse();
        return QByteArrayView(m_bytes.constData() + at, length);
    }

private:
    const QByteArray &m_bytes;
};

std::optional<QString> strictUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

QByteArray readArchiveFile(const QString &path)
{
    const QByteArray encoded = paths::encode(path);
    const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        PosixError::throwErrno();
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            throw PosixError(code);
        }
        if (got == 0)
            break;
        bytes.append(chunk, got);
        // Stop reading at the limit: a larger archive is refused anyway.
        if (bytes.size() >= zipSizeLimit) {
            ::close(fd);
            refuse();
        }
    }
    ::close(fd);
    return bytes;
}

// The position of the end record, searched from the end backwards; only a
// record whose comment reaches exactly to the archive's end counts.
qint64 findEndRecord(const Reader &zip)
{
    const qint64 size = zip.size();
    const qint64 lowest = std::max<qint64>(0, size - endRecordSize - maxCommentLength);
    for (qint64 p = size - endRecordSize; p >= lowest; --p) {
        if (zip.u32(p) != endSignature)
            continue;
        if (p + endRecordSize + zip.u16(p + 20) == size)
            return p;
    }
    refuse();
}

} // namespace

QByteArray readZipArchive(const QString &path)
{
    return readArchiveFile(path);
}

void inspectZip(const QString &path)
{
    inspectZipData(readArchiveFile(path));
}

void inspectZipData(const QByteArray &archive)
{
    const Reader zip(archive);
    const qint64 size = zip.size();
    if (size < endRecordSize || size >= zipSizeLimit)
        refuse();

    const qint64 p = findEndRecord(zip);
    const qint64 total = zip.u16(p + 10);
    if (total < 1 || total > zipEntryLimit)
        refuse();
    if (zip.u16(p + 4) != 0 || zip.u16(p + 6) != 0 || zip.u16(p + 8) != total)
        refuse();
    const qint64 directorySize = zip.u32(p + 12);
    const qint64 directoryOffset = zip.u32(p + 16);
    if (directoryOffset + directorySize != p)
        refuse();

    QSet<QString> seen;
    qint64 uncompressed = 0;
    qint64 h = directoryOffset;
    for (qint64 index = 0; index < total; ++index) {
        if (zip.u32(h) != centralSignature)
            refuse();
        if (zip.u16(h + 8) & 0x0001) // encrypted
            refuse();
        uncompressed += zip.u32(h + 24);
        if (uncompressed > zipSizeLimit)
            throw TavoError(u"Rozpakowany motyw przekracza 100 MB."_s);

        const qint64 nameLength = zip.u16(h + 28);
        const qint64 extraLength = zip.u16(h + 30);
        const qint64 commentLength = zip.u16(h + 32);
        const quint32 external = zip.u32(h + 38);
        const qint64 localOffset = zip.u32(h + 42);
        const qint64 nameEnd = h + centralHeaderSize + nameLength;
        const qint64 next = nameEnd + extraLength + commentLength;
        if (nameEnd > size || next > p)
            refuse();

        const QByteArrayView nameBytes = zip.slice(h + centralHeaderSize, nameLength);
        const std::optional<QString> name = strictUtf8(nameBytes);
        if (!name || name->isEmpty() || name->contains(u'\n'))
            refuse();
        // Names are unique regardless of case (and of Unicode normal form):
        // the device's file system would merge them.
        const QString key = text::nfc(name->toLower());
        if (seen.contains(key))
            refuse();
        seen.insert(key);
        validateZipListing(*name);

        if (zip.u32(localOffset) != localSignature)
            refuse();
        if (zip.u16(localOffset + 26) != nameLength)
            refuse();
        if (zip.slice(localOffset + localHeaderSize, nameLength) != nameBytes)
            refuse();

        const quint32 type = (external >> 16) & 0xF000;
        if (type != 0 && type != 0x8000 && type != 0x4000)
            throw TavoError(u"Paczka zawiera dowiązanie lub plik specjalny."_s);
        h = next;
    }
    if (h != p)
        refuse();
}

void validateZipListing(const QString &listing)
{
    QStringList lines = listing.split(u'\n', Qt::SkipEmptyParts);
    if (lines.size() < 1 || lines.size() > zipEntryLimit)
        throw TavoError(u"Paczka jest pusta lub zawiera zbyt wiele plików."_s);
    for (const QString &line : std::as_const(lines)) {
        const bool unsafe = line.startsWith(u'/') || line.contains(u'\\') || line.contains(u'\r')
            || line.contains(QChar(0)) || line.split(u'/').contains(u".."_s);
        if (unsafe)
            throw TavoError(u"Paczka ZIP zawiera niebezpieczną ścieżkę."_s);
    }
}

} // namespace Storage
