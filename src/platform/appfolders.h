#pragma once

#include <QString>

namespace AppFolders {

// The user's Application Support folder for Vontaro ("…/.local/share/Vontaro").
// Throws TavoError when the platform names no data location.
QString applicationSupport();
QString backups();  // applicationSupport() + "/Backups"
QString artwork();  // applicationSupport() + "/Artwork"

// Tests point the folder somewhere else; an empty path restores the default.
void setApplicationSupportOverride(const QString &path);

} // namespace AppFolders
