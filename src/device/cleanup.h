#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

class DeviceCheck;

namespace Storage {

// AppleDouble companions ("._name" starting with 00 05 16 07, beside an
// existing non-link "name") in the device's top-level folders whose name starts
// with "music" (any case), in walk order.
QStringList macMetadataFiles(const QString &root);

// Companions of given files inside the device (each "folder/._name" for a given
// "folder/name"), in order.
QStringList macMetadataCompanions(const QStringList &files, const QString &root);

// Backs every companion up into backupRoot/"MacMetadata-<UUID>" with a
// manifest.json, then deletes them from the device. Without candidates the
// music folders are searched. Returns the number removed; 0 creates nothing.
int cleanupMacMetadata(const QString &root, const QString &backupRoot,
                       const std::optional<QStringList> &candidates = std::nullopt);
// The same as one step of a longer operation on a device it inspected once:
// only the cheap check runs, at the start and before each removal.
int cleanupMacMetadata(const DeviceCheck &device, const QString &backupRoot,
                       const std::optional<QStringList> &candidates = std::nullopt);

// A manifest as the backups write it: one compact JSON object, name → path,
// with "/" written as "\/".
QByteArray encodeManifest(const QList<QPair<QString, QString>> &entries);

} // namespace Storage
