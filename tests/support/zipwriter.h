#pragma once

// Writes small ZIP archives for tests: stored (uncompressed) entries with real
// CRCs, so the unzip tool unpacks them, and every field the structure check
// reads settable, so broken and hostile archives can be made on purpose.
// A deflated entry of zero bytes can be added too, with its headers free to
// understate how much it unpacks to.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class ZipWriter
{
public:
    struct Entry {
        QByteArray name;        // as stored in both headers
        QByteArray data;
        quint16 flags = 0x0800; // UTF-8 names
        quint32 mode = 0100644; // Unix mode in the upper half of the external attributes
        std::optional<quint32> externalAttributes;  // overrides `mode` when set
        std::optional<quint32> declaredSize;        // uncompressed size in the central header
        std::optional<QByteArray> localName;        // a different name in the local header
        // A deflated payload stored in place of `data` (method 8).
        struct Deflated {
            QByteArray stream;          // raw deflate data
            quint32 crc = 0;            // CRC-32 of what it unpacks to
            quint32 headerSize = 0;     // uncompressed size written to both headers
        };
        std::optional<Deflated> deflated;
    };

    // A deflate stream that unpacks to `count` zero bytes (a few hundred
    // kilobytes for 100 MB), with its true CRC and `headerSize` as the size the
    // headers claim.
    static Entry::Deflated zeros(qint64 count, quint32 headerSize);

    // Conveniences: a regular file, a folder ("name/"), a symbolic link to `target`.
    ZipWriter &file(const QByteArray &name, const QByteArray &data = QByteArray("x"));
    ZipWriter &folder(const QByteArray &name);
    ZipWriter &link(const QByteArray &name, const QByteArray &target);
    ZipWriter &add(const Entry &entry);

    QByteArray comment;
    std::optional<quint16> declaredCommentLength; // in the end record
    std::optional<quint16> declaredCount;         // total entries in the end record

    QByteArray build() const;
    // Writes the archive to `path` and returns the path.
    QString write(const QString &path) const;

    QList<Entry> entries;
};
