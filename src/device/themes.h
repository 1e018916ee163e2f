#pragma once

// Installed Rockbox themes and the installation of theme packages (ZIP files
// from untrusted sources) onto a device.

#include "device/themetypes.h"
#include "device/zipcheck.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Storage {

// The folders of a package's ".rockbox" that may be installed, in order.
const QStringList &themeFolders();

// The ".cfg" files of root/.rockbox/themes (not links, not folders), sorted by
// name without extension in natural order. Empty when the folder is missing,
// unreadable or a link. Never throws.
QList<Theme> themes(const QString &root);

// Checks the package, unpacks it into a private working folder, backs the
// device's settings up into backupFolder (which must not exist yet) and copies
// the files below the six theme folders onto the device. When a write fails,
// every file written so far is restored from the backup (or removed when the
// device had none) and the failure is thrown. Returns the number of themes in
// the package. The working folder never outlives the call.
int installTheme(const QString &zip, const QString &root, const QString &backupFolder);

// Runs a system tool (see Process::run): its output, or TavoError with it.
QString run(const QString &tool, const QStringList &arguments);

} // namespace Storage
