#pragma once

#include <QString>
#include <functional>
#include <sys/types.h>

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

// A device inspected once at the start of a long operation and then checked
// cheaply before every write step: the ".rockbox" folder must still be the
// very folder (same file system, same inode) that the inspection saw, and
// neither it nor the root may have become a link. An unplugged, swapped or
// linked device is refused as the inspection would refuse it, without
// re-reading the mount table or the info file for every file.
class DeviceCheck
{
public:
    // Runs Device::inspect (its refusals are thrown unchanged).
    explicit DeviceCheck(const QString &root);

    const Device &device() const { return m_device; }
    const QString &root() const { return m_device.root; }

    // Throws TavoError: "Ten folder nie zawiera katalogu .rockbox." when it is
    // gone, the link message of the inspection, or "Urządzenie zostało
    // zamienione na inne." when another folder or disk now stands there.
    void check() const;

private:
    Device m_device;
    dev_t m_dev = 0;
    ino_t m_ino = 0;
};

namespace DeviceChecks {
// Tests watch every inspection and every cheap check: the observer runs at the
// start of each, before anything is looked at, and may change the device.
using Observer = std::function<void()>;
void setObserverForTesting(Observer observer);
} // namespace DeviceChecks

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
