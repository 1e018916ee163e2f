#pragma once

// Byte-identical audio files. Only files that share their exact size with
// another are read, each once, to compute its SHA-256; every set of identical
// files becomes one QualityIssue of kind "Duplikaty".

#include "media/collectionquality.h"

#include <functional>

namespace CollectionQuality {

// progress(done, total) is called on the calling thread after every candidate
// (a file whose size occurs at least twice and is not 0). The result's order is
// not fixed. Throws the digest's error for the first file that cannot be read.
using DuplicateProgress = std::function<void(qsizetype done, qsizetype total)>;
QList<QualityIssue> duplicates(const QList<Track> &tracks, const DuplicateProgress &progress = {});

} // namespace CollectionQuality
