#pragma once

// The background half of importing music: collecting the audio files under the
// chosen files and folders, and reading each new one into a Track (technical
// data, tags, names from the folders, cover, size). Touches no model state;
// safe to run on a worker thread.

#include "media/records.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The audio files under the given files and folders, unsorted: the chosen items
// in their order, a folder's contents in directory order at its place. Links and
// hidden items are skipped, links are never followed, and only regular files
// whose lower-cased extension is an audio one are taken (a folder named like an
// audio file is searched, not taken). Never fails.
QStringList scanAudio(const QStringList &urls);

namespace ImportScan {

// Receives the 0-based position of a file read and the number of files collected.
using ProgressPost = std::function<void(qsizetype position, qsizetype total)>;

// Reads every audio file under `chosen` whose standardised path is not yet in
// `knownPaths` (files reached twice count once), in Finder order of their paths,
// calling `post` for each file read at a position that is a multiple of 20.
QList<Track> run(const QStringList &chosen, QSet<QString> knownPaths, const QMap<QString, QString> &overrides,
                 const ProgressPost &post);

// One file into a Track; `overrides` maps artist NUL album NUL folder to a cover file.
Track readFile(const QString &path, const QMap<QString, QString> &overrides);

// The run of numeric characters at the start of a file name read as a decimal
// integer ("07 Intro.mp3" → 7); 0 when there is none or it cannot be read.
qint64 leadingNumber(const QString &fileName);

// The whole file when it is a regular file (after following links) below
// 10,000,000 bytes and can be read; none otherwise.
std::optional<QByteArray> readImageFile(const QString &path);

} // namespace ImportScan
