#include "media/audioinfo.h"
#include "media/flacreader.h"

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/text.h"
#include "platform/xiphcomment.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString badHeader()
{
    return u"Nieprawidłowy nagłówek FLAC."_s;
}

QString badMetadata()
{
    return u"Nieprawidłowe metadane FLAC."_s;
}

// Opens a FLAC file for reading. Unlike device reads, a library file may be
// reached through a link, so the final component is followed; a name that
// turned into a FIFO or device fails at once rather than making the scan wait.
posixfile::File openFollowing(const QString &path)
{
    return posixfile::openRegular(path);
}

// The file as the reader walks it. A regular file's size is asked once, and
// its head is read in large pieces, so a walk over many small blocks costs a
// few system calls rather than several per block; any other kind of file is
// read as it comes, never asked for more than the walk needs.
class Source
{
public:
    explicit Source(posixfile::File &file) : m_file(file)
    {
        struct stat st {};
        if (::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode))
            return;
        const off_t position = ::lseek(file.fd(), 0, SEEK_CUR);
        if (position >= 0)
            m_left = qint64(st.st_size) - qint64(position);
    }

    // Bytes between the current position and the end; none when unknown.
    std::optional<qint64> remaining() const
    {
        if (!m_left)
            return std::nullopt;
        return *m_left - m_taken;
    }

    // Reads until `size` bytes or the end of the file; returns the count.
    qint64 read(char *out, qint64 size)
    {
        if (!m_left)
            return m_file.read(out, size);
        qint64 done = 0;
        while (done < size) {
            if (m_at == m_buffer.size()) {
                const qint64 wanted = std::min<qint64>(std::max<qint64>(size - done, chunk), *m_left - m_taken
                                                       - (qint64(m_buffer.size()) - m_at));
                if (wanted <= 0)
                    break;
                // A read larger than a chunk goes straight to its destination.
                if (size - done >= chunk) {
                    const qint64 n = m_file.read(out + done, size - done);
                    done += n;
                    m_taken += n;
                    break;
                }
                m_buffer.resize(qsizetype(wanted));
                const qint64 n = m_file.read(m_buffer.data(), wanted);
                m_buffer.resize(qsizetype(n));
                m_at = 0;
                if (n == 0)
                    break;
            }
            const qint64 n = std::min<qint64>(size - done, qint64(m_buffer.size()) - m_at);
            std::memcpy(out + done, m_buffer.constData() + m_at, size_t(n));
            m_at += qsizetype(n);
            done += n;
            m_taken += n;
        }
        return done;
    }

    // Moves `size` bytes ahead; false when the file cannot seek.
    bool skip(qint64 size)
    {
        if (!m_left)
            return ::lseek(m_file.fd(), off_t(size), SEEK_CUR) >= 0;
        const qint64 buffered = qint64(m_buffer.size()) - m_at;
        if (size <= buffered) {
            m_at += qsizetype(size);
            m_taken += size;
            return true;
        }
        if (::lseek(m_file.fd(), off_t(size - buffered), SEEK_CUR) < 0)
            return false;
        m_buffer.clear();
        m_at = 0;
        m_taken += size;
        return true;
    }

private:
    static constexpr qint64 chunk = 64 * 1024;

    posixfile::File &m_file;
    std::optional<qint64> m_left; // bytes from where the walk started to the end
    qint64 m_taken = 0;
    QByteArray m_buffer;
    qsizetype m_at = 0;
};

quint64 bigEndian64(const uchar *p)
{
    quint64 v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | p[i];
    return v;
}

void readStreamInfo(const QByteArray &body, AudioInfo &info)
{
    if (body.size() != flac::streamInfoSize)
        return;
    const quint64 v = bigEndian64(reinterpret_cast<const uchar *>(body.constData()) + 10);
    const quint64 rate = v >> 44;
    const quint64 samples = v & ((quint64(1) << 36) - 1);
    info.sampleRate = qint64(rate);
    info.bitDepth = qint64((v >> 36) & 31) + 1;
    if (rate != 0)
        info.duration = double(samples) / double(rate);
}

void readComments(const QByteArray &body, AudioInfo &info)
{
    for (const xiph::Comment &comment : xiph::comments(body))
        info.tags.insert(text::nfc(comment.name), comment.value);
}

void readPicture(const QByteArray &body, AudioInfo &info)
{
    const std::optional<xiph::Picture> picture = xiph::picture(body);
    if (!picture)
        return;
    // The last front cover wins; without one, the first picture of any type.
    if (picture->type == 3 || !info.picture)
        info.picture = picture->data;
}

// Taggers and rippers often put an ID3v2 tag ahead of the stream. Its header
// gives its size (a 28-bit "syncsafe" number, plus a 10-byte footer when the
// footer flag is set), so the marker is looked for right behind it. False when
// the bytes can't be an ID3v2 header or the file ends inside the tag.
bool skipID3v2(Source &file, const char *first4)
{
    uchar rest[6];
    if (file.read(reinterpret_cast<char *>(rest), 6) != 6)
        return false;
    // first4: "ID3", major version; rest: revision, flags, four size bytes.
    const uchar major = uchar(first4[3]);
    if (major == 0xFF || rest[0] == 0xFF)
        return false;
    for (int i = 2; i < 6; ++i) {
        if (rest[i] & 0x80)
            return false;
    }
    qint64 size = qint64(rest[2]) << 21 | qint64(rest[3]) << 14 | qint64(rest[4]) << 7 | qint64(rest[5]);
    if (rest[1] & 0x10)
        size += 10;
    if (const std::optional<qint64> left = file.remaining(); left && size > *left)
        return false;
    return file.skip(size);
}

} // namespace

std::optional<qint64> firstPieceNumber(const QString &text)
{
    for (const QStringView piece : QStringView(text).split(u'/', Qt::SkipEmptyParts))
        return text::parseDecimalInt64(piece);
    return std::nullopt;
}

AudioInfo AudioInfo::readFLAC(const QString &path)
{
    return flac::readFrom(openFollowing(path));
}

AudioInfo flac::readFrom(posixfile::File opened)
{
    Source file(opened);
    char marker[4];
    if (file.read(marker, 4) != 4)
        throw TavoError(badHeader());
    if (QByteArrayView(marker, 3) == "ID3") {
        if (!skipID3v2(file, marker) || file.read(marker, 4) != 4)
            throw TavoError(badHeader());
    }
    if (QByteArrayView(marker, 4) != "fLaC")
        throw TavoError(badHeader());

    AudioInfo info;
    info.codec = u"FLAC"_s;
    qint64 total = 0;
    for (;;) {
        uchar header[4];
        if (file.read(reinterpret_cast<char *>(header), 4) < 4)
            break; // the end of the file ends the walk
        const int type = header[0] & 0x7F;
        const bool last = header[0] & 0x80;
        const qint64 length = qint64(header[1]) << 16 | qint64(header[2]) << 8 | qint64(header[3]);
        total += length;
        if (total > flac::maxMetadataBytes)
            throw TavoError(badMetadata());
        // A body longer than the rest of the file can never be read in full:
        // refuse it before allocating room for it.
        if (const std::optional<qint64> left = file.remaining(); left && length > *left)
            throw TavoError(badMetadata());
        QByteArray body(length, Qt::Uninitialized);
        if (file.read(body.data(), length) != length)
            throw TavoError(badMetadata());
        switch (type) {
        case flac::streamInfo: readStreamInfo(body, info); break;
        case flac::vorbisComment: readComments(body, info); break;
        case flac::picture: readPicture(body, info); break;
        default: break;
        }
        if (last)
            break;
    }

    info.trackNumber = firstPieceNumber(info.tags.value(u"TRACKNUMBER"_s)).value_or(0);
    info.discNumber = firstPieceNumber(info.tags.value(u"DISCNUMBER"_s)).value_or(0);
    if (const auto date = info.tags.constFind(u"DATE"_s); date != info.tags.constEnd())
        info.year = text::firstGraphemes(*date, 4);
    else if (const auto year = info.tags.constFind(u"YEAR"_s); year != info.tags.constEnd())
        info.year = text::firstGraphemes(*year, 4);
    return info;
}
