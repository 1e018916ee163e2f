#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Storage {

// The entries of ".rockbox" that a settings backup copies, in order.
const QStringList &backupEntries();

// Copies the device's settings and look (config.cfg, themes, wps, sbs, fonts,
// icons, backdrops, eqs, fmpresets) and a README.txt into destination, which must
// not exist and must lie outside the device. Built under a hidden partial folder
// beside destination, renamed into place when complete; nothing is left behind
// after a failure.
void backup(const QString &root, const QString &destination);

// Recursive copy of a file or folder to a new path that must not exist,
// refusing symbolic links. Files are created exclusively with mode 0644.
void copyTree(const QString &source, const QString &destination);

// The four lines of README.txt for a device name and a moment.
QString backupReadme(const QString &deviceName, const QDateTime &when);

} // namespace Storage
