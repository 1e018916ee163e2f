#pragma once

// Unmounting and ejecting a disk, as the file manager's "Eject" does.

#include <QDBusConnection>
#include <QString>
#include <functional>

class Ejector
{
public:
    virtual ~Ejector() = default;
    // Unmounts the volume mounted at `mountPoint` and ejects (or powers off) its
    // drive. Blocks until done; throws TavoError when the volume stays mounted.
    virtual void unmountAndEject(const QString &mountPoint) = 0;
};

// Through UDisks2 on the system D-Bus: the block device of the mount point,
// Filesystem.Unmount, then Drive.Eject or Drive.PowerOff. Every call has a
// time-out, so an unanswering service can't hang the caller for good.
class UDisksEjector final : public Ejector
{
public:
    // The system bus and this process's mount table.
    UDisksEjector();
    // Another bus and mount table (tests).
    UDisksEjector(QDBusConnection bus, std::function<QByteArray()> mountTable);

    void unmountAndEject(const QString &mountPoint) override;

    // Time-outs in milliseconds. Unmounting writes the disk's cached data
    // first, which takes a while on a slow USB disk.
    static constexpr int lookupTimeout = 10'000;
    static constexpr int unmountTimeout = 60'000;
    static constexpr int ejectTimeout = 30'000;

    // UDisks2's object path element for a kernel device name ("sdb1", "dm-0" → "dm_2d0").
    static QString objectPathElement(const QString &kernelName);

private:
    QDBusConnection m_bus;
    std::function<QByteArray()> m_mountTable;
};
