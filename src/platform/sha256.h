#pragma once

#include <QByteArray>
#include <QString>

namespace sha256 {

// Digest of bytes in memory (32 raw bytes).
QByteArray of(const QByteArray &bytes);
// Lower-case hexadecimal digest of bytes in memory.
QString hex(const QByteArray &bytes);
// Digest of a file's contents, read in 1 MiB chunks without following a final link.
// Throws PosixError when the file cannot be opened or read.
QByteArray ofFile(const QString &path);

} // namespace sha256
