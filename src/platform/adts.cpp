#include "platform/adts.h"

#include "platform/errors.h"
#include "platform/posixfile.h"

#include <QFile>

namespace adts {
namespace {

constexpr qint64 sampleRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                  22050, 16000, 12000, 11025, 8000,  7350};
constexpr qint64 headerSize = 7;

struct Header {
    int rateIndex = 0;
    int channels = 0;
    qint64 length = 0; // whole frame, header included
    int blocks = 0;    // raw data blocks in the frame
};

std::optional<Header> header(const uchar *p, qint64 available)
{
    if (available < headerSize)
        return std::nullopt;
    // 12-bit sync word, then layer (always 0 in ADTS).
    if (p[0] != 0xFF || (p[1] & 0xF0) != 0xF0 || (p[1] & 0x06) != 0)
        return std::nullopt;
    Header h;
    h.rateIndex = (p[2] >> 2) & 0x0F;
    if (h.rateIndex >= int(std::size(sampleRates)))
        return std::nullopt;
    h.channels = ((p[2] & 0x01) << 2) | (p[3] >> 6);
    h.length = (qint64(p[3] & 0x03) << 11) | (qint64(p[4]) << 3) | (p[5] >> 5);
    h.blocks = (p[6] & 0x03) + 1;
    if (h.length < headerSize)
        return std::nullopt;
    return h;
}

// Length of the ID3v2 tags at the start (several may follow each other).
qint64 leadingTags(const uchar *p, qint64 size)
{
    qint64 offset = 0;
    while (size - offset >= 10 && p[offset] == 'I' && p[offset + 1] == 'D' && p[offset + 2] == '3') {
        const uchar *h = p + offset;
        if ((h[6] | h[7] | h[8] | h[9]) & 0x80)
            break; // not a syncsafe size: not a tag
        const qint64 body = (qint64(h[6]) << 21) | (qint64(h[7]) << 14) | (qint64(h[8]) << 7) | qint64(h[9]);
        const bool footer = h[5] & 0x10;
        offset += 10 + body + (footer ? 10 : 0);
    }
    return offset;
}

} // namespace

std::optional<StreamInfo> parse(const uchar *data, qint64 size)
{
    qint64 offset = leadingTags(data, size);
    if (offset >= size)
        return std::nullopt;
    const std::optional<Header> first = header(data + offset, size - offset);
    if (!first)
        return std::nullopt;
    StreamInfo info;
    info.sampleRate = sampleRates[first->rateIndex];
    info.channels = first->channels;
    while (offset < size) {
        const std::optional<Header> h = header(data + offset, size - offset);
        if (!h || h->rateIndex != first->rateIndex || h->length > size - offset)
            break;
        info.frames += h->blocks;
        offset += h->length;
    }
    if (info.frames == 0)
        return std::nullopt;
    info.duration = double(info.frames) * 1024.0 / double(info.sampleRate);
    return info;
}

std::optional<StreamInfo> read(const QString &path)
{
    // Opened without waiting and checked to be a plain file: a FIFO named
    // like a track never holds up the reader.
    std::optional<posixfile::File> opened;
    try {
        opened = posixfile::openRegular(path);
    } catch (const PosixError &) {
        return std::nullopt;
    }
    QFile file;
    if (!file.open(opened->fd(), QIODevice::ReadOnly) || file.size() < headerSize)
        return std::nullopt;
    const qint64 size = file.size();
    if (const uchar *mapped = file.map(0, size)) {
        std::optional<StreamInfo> info = parse(mapped, size);
        file.unmap(const_cast<uchar *>(mapped));
        return info;
    }
    const QByteArray bytes = file.readAll();
    return parse(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size());
}

} // namespace adts
