#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class DeviceCheck;

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
// "name (2).ext", "name (3).ext"…; each copy lands through a hidden partial
// file and is reported only once its data and its name are on the disk.
// progress(done, total) runs once for every job, in order, on the caller's
// thread, after the job's batch was made durable.
TransferResult transfer(const QList<TransferFile> &jobs, const QString &root,
                        const std::function<void(int, int)> &progress = {});
// The same as the first step of a longer operation that inspected the device
// once: the transfer only checks it cheaply, at its start and before each step.
TransferResult transfer(const QList<TransferFile> &jobs, const DeviceCheck &device,
                        const std::function<void(int, int)> &progress = {});

// Copies are made durable and reported in batches of at most this many files
// (128 by default) and 64 MiB; tests set 1 to see every file committed on its own, 0 restores
// the default.
void setTransferBatchForTesting(int files);

} // namespace Storage
