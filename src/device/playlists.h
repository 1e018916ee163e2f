#pragma once

#include <QString>
#include <QStringList>

namespace Storage {

// Writes Playlists/<safeName(name)>.m3u8 on the device: "#EXTM3U" and one
// device-rooted path per track, each line ended by "\n". Never replaces an
// existing playlist. Returns the file's path.
QString playlist(const QString &name, const QStringList &tracks, const QString &root);

} // namespace Storage
