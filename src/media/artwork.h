#pragma once

// Cover images for Rockbox: why a picture will not show on the player, the
// conversion into the one form that always shows (a 500 × 500 baseline JPEG),
// whether a track already has a cover file beside it, the cache of prepared
// covers on this computer, and the installation of a cover on the device.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class DeviceCheck;
struct CoverFacts;

struct Track;

namespace Artwork {

// The cover cache: Application Support "Vontaro/Artwork". Not created here.
QString cacheRoot();

// Writes the bytes atomically to cacheRoot()/<key>.jpg, creating the folders and
// replacing an earlier file of that key; returns the file's path. Throws the
// file system's error (PosixError).
QString cache(const QByteArray &image, const QString &key);

// The first reason the image will not show on the player, or none when it is fit.
// Reads only the header; never decodes pixels.
std::optional<QString> compatibilityIssue(const QByteArray &image);
// The same from what the picture's header said.
std::optional<QString> compatibilityIssue(const CoverFacts &facts);

// Any decodable picture as a 500 × 500 baseline JPEG (quality 90, sRGB, no alpha),
// aspect-fit and centred on white, with the EXIF orientation applied.
// Throws TavoError.
QByteArray baselineJPEG(const QByteArray &image);

// Whether an image file lies beside the track or a cover file in its folder.
bool externalCoverExists(const Track &track);

// Writes the prepared cover into the album's folders on the device (a folder
// "cover.jpeg", or one "<track>.jpeg" beside each track when the folder holds
// other albums' audio too), backing every replaced or removed image up under
// backupRoot/"Covers-<UUID>" with a manifest, and undoing its changes when a
// step fails. Throws TavoError, the device inspection's or the file system's error.
void install(const QByteArray &image, const QStringList &tracks, const QString &root, const QString &backupRoot);
// The same as one step of a longer operation on a device it inspected once
// (a transfer, a run over many albums): the device is only checked cheaply, at
// the start and before each write or removal, and still refused when it went
// away or another stands in its place.
void install(const QByteArray &image, const QStringList &tracks, const DeviceCheck &device,
             const QString &backupRoot);

} // namespace Artwork
