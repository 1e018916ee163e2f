#pragma once

// Our own check of a theme package's ZIP structure, made before any tool
// unpacks it: the package comes from an untrusted source.

#include <QByteArray>
#include <QString>

namespace Storage {

// Largest archive, and largest sum of declared uncompressed sizes (100 MiB).
inline constexpr qint64 zipSizeLimit = 104857600;
// Largest number of entries of a package.
inline constexpr int zipEntryLimit = 5000;

// Reads the archive's end record, central directory and local headers and
// throws TavoError at the first violation; a read failure throws PosixError.
void inspectZip(const QString &path);
// The whole archive file, as inspectZip reads it: PosixError when it can't be
// read, TavoError once it reaches zipSizeLimit (the rest is never read).
QByteArray readZipArchive(const QString &path);
// The same check on an archive already in memory.
void inspectZipData(const QByteArray &archive);

// Checks entry names, one per line (as the unzip tool lists them): 1 to 5,000
// names, none absolute, with a backslash, a ".." component, a carriage return
// or a NUL character.
void validateZipListing(const QString &listing);

} // namespace Storage
