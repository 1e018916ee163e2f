#pragma once

// Writes small ZIP archives for tests: stored (uncompressed) entries with real
// CRCs, so the unzip tool unpacks them, and every field the structure check
// reads settable, so broken and hostile archives can be made on purpose.

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
    };

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
