#pragma once

// What the model reads from the chosen device (its themes with their pictures
// and settings, the firmware's info and settings files, the playlists) and the
// list of settings backups kept on the computer. Blocking functions that touch
// only files: the model runs the device reading on a worker thread.

#include "device/device.h"
#include "device/themetypes.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

struct DeviceContent {
    QList<Theme> themes;
    QMap<QString, ThemePreview> previews;        // by theme file path; only themes that have a picture
    QMap<QString, QString> info;                 // .rockbox/rockbox-info.txt
    QMap<QString, QString> config;               // .rockbox/config.cfg
    QMap<QString, QMap<QString, QString>> settings; // by theme file path
    QStringList playlists;                       // .m3u/.m3u8 files of Playlists, by name
};

namespace DeviceContentReader {

// The folders directly under a device root that never hold music.
const QStringList &excludedMusicFolders();

// Reads everything above from the device at root. Never throws: what can't be
// read is empty.
DeviceContent read(const QString &root);

// The .m3u and .m3u8 entries (any letter case, hidden ones included) of a
// folder, sorted by name in plain code-point order; empty when unreadable.
QStringList playlists(const QString &folder);

// The non-hidden entries of the backups folder, newest name first (plain
// code-point order, descending); empty when the folder is missing or unreadable.
QStringList backups(const QString &folder);

// The folders directly under root (not hidden, not links, none of the excluded
// names) in listing order: where the device's music is read from.
QStringList musicFolders(const QString &root);

// Every mounted user volume that Device::inspect accepts, in mount-table order.
QList<Device> discoverVolumes();

} // namespace DeviceContentReader
