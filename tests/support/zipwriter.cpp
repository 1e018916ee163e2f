#include "support/zipwriter.h"

#include <QFile>
#include <array>

namespace {

const std::array<quint32, 256> &crcTable()
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

quint32 crc32(const QByteArray &data)
{
    const auto &table = crcTable();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// Bits in deflate order: fields least significant bit first, Huffman codes
// most significant bit first.
class BitWriter
{
public:
    void field(quint32 value, int count)
    {
        m_acc |= value << m_used;
        m_used += count;
        while (m_used >= 8) {
            m_out.append(char(m_acc & 0xFF));
            m_acc >>= 8;
            m_used -= 8;
        }
    }
    void code(quint32 code, int length)
    {
        quint32 reversed = 0;
        for (int i = 0; i < length; ++i)
            reversed |= ((code >> i) & 1u) << (length - 1 - i);
        field(reversed, length);
    }
    QByteArray finish()
    {
        if (m_used > 0)
            m_out.append(char(m_acc & 0xFF));
        m_used = 0;
        m_acc = 0;
        return m_out;
    }

private:
    QByteArray m_out;
    quint32 m_acc = 0;
    int m_used = 0;
};

void put16(QByteArray &out, quint32 value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void put32(QByteArray &out, quint32 value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

} // namespace

ZipWriter::Entry::Deflated ZipWriter::zeros(qint64 count, quint32 headerSize)
{
    // One block with the fixed Huffman codes: a literal 0, then copies of 258
    // bytes at distance 1 (length symbol 285, distance code 0), the remainder
    // as literals, and the end-of-block symbol.
    BitWriter bits;
    bits.field(1, 1); // last block
    bits.field(1, 2); // fixed codes
    qint64 left = count;
    if (left > 0) {
        bits.code(0x30, 8); // literal 0
        --left;
    }
    for (; left >= 258; left -= 258) {
        bits.code(0xC5, 8); // length 258
        bits.code(0, 5);    // distance 1
    }
    for (; left > 0; --left)
        bits.code(0x30, 8);
    bits.code(0, 7); // end of block

    const auto &table = crcTable();
    quint32 crc = 0xFFFFFFFFu;
    for (qint64 i = 0; i < count; ++i)
        crc = table[crc & 0xFF] ^ (crc >> 8);
    return {bits.finish(), crc ^ 0xFFFFFFFFu, headerSize};
}

ZipWriter &ZipWriter::file(const QByteArray &name, const QByteArray &data)
{
    Entry entry;
    entry.name = name;
    entry.data = data;
    return add(entry);
}

ZipWriter &ZipWriter::folder(const QByteArray &name)
{
    Entry entry;
    entry.name = name.endsWith('/') ? name : name + '/';
    entry.mode = 040755;
    return add(entry);
}

ZipWriter &ZipWriter::link(const QByteArray &name, const QByteArray &target)
{
    Entry entry;
    entry.name = name;
    entry.data = target;
    entry.mode = 0120777;
    return add(entry);
}

ZipWriter &ZipWriter::add(const Entry &entry)
{
    entries.append(entry);
    return *this;
}

QByteArray ZipWriter::build() const
{
    QByteArray out;
    QByteArray central;
    for (const Entry &entry : entries) {
        const quint32 offset = quint32(out.size());
        const QByteArray &payload = entry.deflated ? entry.deflated->stream : entry.data;
        const quint16 method = entry.deflated ? 8 : 0;
        const quint32 crc = entry.deflated ? entry.deflated->crc : crc32(entry.data);
        const quint32 size = entry.deflated ? entry.deflated->headerSize : quint32(entry.data.size());
        const QByteArray localName = entry.localName.value_or(entry.name);
        put32(out, 0x04034b50);
        put16(out, 20);           // version needed
        put16(out, entry.flags);
        put16(out, method);
        put16(out, 0);            // time
        put16(out, 0x21);         // date 1980-01-01
        put32(out, crc);
        put32(out, quint32(payload.size()));
        put32(out, size);
        put16(out, quint32(localName.size()));
        put16(out, 0);            // extra
        out += localName;
        out += payload;

        put32(central, 0x02014b50);
        put16(central, (3 << 8) | 20); // made by Unix
        put16(central, 20);
        put16(central, entry.flags);
        put16(central, method);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, crc);
        put32(central, quint32(payload.size()));
        put32(central, entry.declaredSize.value_or(size));
        put16(central, quint32(entry.name.size()));
        put16(central, 0);        // extra
        put16(central, 0);        // comment
        put16(central, 0);        // disk
        put16(central, 0);        // internal attributes
        put32(central, entry.externalAttributes.value_or(entry.mode << 16));
        put32(central, offset);
        central += entry.name;
    }
    const quint32 directoryOffset = quint32(out.size());
    out += central;
    const quint16 count = declaredCount.value_or(quint16(entries.size()));
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, count);
    put16(out, count);
    put32(out, quint32(central.size()));
    put32(out, directoryOffset);
    put16(out, declaredCommentLength.value_or(quint16(comment.size())));
    out += comment;
    return out;
}

QString ZipWriter::write(const QString &path) const
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(build());
    return path;
}
