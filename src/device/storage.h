#pragma once

// The primitives every write onto a device rests on: link checks, folder
// creation one level at a time, safe names, whole-file replacement through a
// hidden partial file, bounded-memory copies and SHA-256 digests.

#include <QByteArray>
#include <QString>

// True only when lstat says the item is a symbolic link; false when nothing is there.
bool isSymbolicLink(const QString &path);

// The one sanitiser for names of folders and files created on the device:
// path separators, ':' and the characters FAT refuses (? * < > | " and controls)
// become "-", blanks are trimmed, empty/"."/".." become "Bez nazwy"; at most 160
// characters, and short enough for 255 UTF-16 units and 255 UTF-8 bytes.
QString safeName(const QString &text);

namespace Storage {

// ".vontaro-" + canonical upper-case UUID + ".partial".
QString partialName();

// Throws TavoError("Paczka zawiera dowiązanie symboliczne.") when the item or
// anything below it is a symbolic link.
void rejectLinks(const QString &path);

// Creates the folders of a relative path below root one level at a time (after
// inspecting the device) and returns the deepest one. Refuses "." and "..",
// links and files standing in the way; levels made before a refusal stay.
QString directory(const QString &relativePath, const QString &root);

// Replaces or creates target with data through a hidden partial file in the
// same folder (exclusive create 0644, fsync, rename). No partial file survives.
void writeBytes(const QByteArray &data, const QString &target);

// Creates target with data through a hidden partial file and a rename that
// never replaces: PosixError(EEXIST) when something is already there.
void createWithBytes(const QByteArray &data, const QString &target);

// Writes a small file with QSaveFile (for playlists and text files on the
// computer). Refuses a symbolic link at target with PosixError(ELOOP); throws
// TavoError with the platform's error text when the write fails.
void writeAtomically(const QByteArray &data, const QString &target);

// Copies source's bytes into a new file at destination (exclusive create 0644,
// 1 MiB chunks, fsync). An existing destination fails with PosixError(EEXIST).
// A failure may leave a partial destination: the caller removes it.
void copyAudioBytes(const QString &source, const QString &destination);

// SHA-256 (32 raw bytes) of a file's contents, read in 1 MiB chunks.
QByteArray digest(const QString &path);

} // namespace Storage
