#pragma once

// Small file helpers shared by the cover cache and the cover installation.

#include <QByteArray>
#include <QString>
#include <optional>

namespace Artwork::files {

// Creates the folder with every missing parent; throws PosixError.
void makeFolders(const QString &path);
// Creates or truncates the file and writes the bytes (not atomically); throws PosixError.
void writePlain(const QString &path, const QByteArray &bytes);
// The whole file, or none when it cannot be opened or read.
std::optional<QByteArray> readAll(const QString &path);

} // namespace Artwork::files
