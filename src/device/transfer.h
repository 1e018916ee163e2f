#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// One file to copy onto the device.
struct TransferFile {
    QString source;                    // the audio file on the computer
    QString artist;                    // text for the artist folder
    QString album;                     // text for the album folder
    std::optional<QString> discFolder; // text for a disc sub-folder, if any
    bool operator==(const TransferFile &) const = default;
};

// What a transfer did: counts, and for every job in order the device file that holds it.
struct TransferResult {
    int copied = 0;
    int skipped = 0;
    QStringList destinations;
    bool operator==(const TransferResult &) const = default;
};

namespace Storage {

// Copies the jobs into Music/<artist>/<album>[/<disc>]/ on the device at root,
// never overwriting: identical files (SHA-256) are skipped, clashes get
// "name (2).ext", "name (3).ext"…; each copy lands through a synchronised
// hidden partial file. progress(done, total) runs after every job on the
// caller's thread.
TransferResult transfer(const QList<TransferFile> &jobs, const QString &root,
                        const std::function<void(int, int)> &progress = {});

} // namespace Storage
