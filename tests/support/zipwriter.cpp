#include "support/zipwriter.h"

#include <QFile>
#include <array>

namespace {

quint32 crc32(const QByteArray &data)
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
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

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
        const quint32 crc = crc32(entry.data);
        const QByteArray localName = entry.localName.value_or(entry.name);
        put32(out, 0x04034b50);
        put16(out, 20);           // version needed
        put16(out, entry.flags);
        put16(out, 0);            // stored
        put16(out, 0);            // time
        put16(out, 0x21);         // date 1980-01-01
        put32(out, crc);
        put32(out, quint32(entry.data.size()));
        put32(out, quint32(entry.data.size()));
        put16(out, quint32(localName.size()));
        put16(out, 0);            // extra
        out += localName;
        out += entry.data;

        put32(central, 0x02014b50);
        put16(central, (3 << 8) | 20); // made by Unix
        put16(central, 20);
        put16(central, entry.flags);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, crc);
        put32(central, quint32(entry.data.size()));
        put32(central, entry.declaredSize.value_or(quint32(entry.data.size())));
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
