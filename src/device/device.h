#pragma once

#include <QString>
#include <functional>

// A folder recognised as a Rockbox device. Only Device::inspect builds one;
// it is checked again before every write step, so an unplugged, replaced or
// linked device stops an operation between two steps.
struct Device {
    QString root;       // the folder as the caller gave it
    QString name;       // last path component of root
    QString version;    // firmware version from .rockbox/rockbox-info.txt, or "wersja nieznana"
    qint64 available = 0; // free bytes of the volume holding root
    qint64 total = 0;     // capacity of that volume
    bool isVolume = false; // root is the mount point of a user volume other than "/"

    QString id() const { return root; }
    bool operator==(const Device &) const = default;

    // Throws TavoError when root holds no real ".rockbox" folder or when root or
    // its ".rockbox" is a symbolic link; PosixError when the capacities can't be read.
    static Device inspect(const QString &root);

    // The version line rule applied to the text of rockbox-info.txt.
    static QString versionFromInfo(const QString &infoText);
};

// Free and total bytes of the volume that holds a path.
struct VolumeCapacity {
    qint64 available = 0;
    qint64 total = 0;
};

namespace DeviceCapacity {
// statvfs of the path (f_bavail·f_frsize, f_blocks·f_frsize), or the test probe when set.
// Throws PosixError on failure.
VolumeCapacity of(const QString &path);
// Tests replace the capacity query (e.g. to fake a nearly full device); an empty
// function restores statvfs.
using Probe = std::function<VolumeCapacity(const QString &path)>;
void setProbe(Probe probe);
} // namespace DeviceCapacity
