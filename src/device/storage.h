#pragma once

// The primitives every write onto a device rests on: link checks, folder
// creation one level at a time, safe names, whole-file replacement through a
// hidden partial file, bounded-memory copies and SHA-256 digests.

#include "platform/posixfile.h"

#include <QByteArray>
#include <QString>

class DeviceCheck;

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

// Creates a partial file (exclusively, 0644) and keeps an advisory lock on it
// while it is open, so removeStalePartials passes it over.
posixfile::File createPartial(const QString &path);

// After a synchronised partial file was renamed to its final name in folder:
// synchronises the file again and the folder, so that the name, the size and
// the data all last; closes the file.
void finishRename(posixfile::File &file, const QString &folder);

// Removes partial files of this application (its exact partial-name pattern,
// regular files only, links never followed, none still being written) left in
// a folder by a killed process or a vanished device. Returns the bytes freed.
qint64 removeStalePartials(const QString &folder);

// Throws TavoError("Paczka zawiera dowiązanie symboliczne.") when the item or
// anything below it is a symbolic link.
void rejectLinks(const QString &path);

// Creates the folders of a relative path below root one level at a time (after
// inspecting the device) and returns the deepest one. Refuses "." and "..",
// links and files standing in the way; levels made before a refusal stay.
QString directory(const QString &relativePath, const QString &root);
// The same after the cheap check of a device inspected once.
QString directory(const QString &relativePath, const DeviceCheck &device);

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
// Copies the rest of an open source to the end of an open file (inside the
// kernel where possible) in 1 MiB steps and synchronises it.
void copyAudioInto(posixfile::File &input, posixfile::File &output);

// SHA-256 (32 raw bytes) of a file's contents, read in 1 MiB chunks.
QByteArray digest(const QString &path);

} // namespace Storage
