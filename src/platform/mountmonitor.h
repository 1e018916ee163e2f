#pragma once

// Follows disks being mounted and unmounted.
//
// The kernel flags /proc/self/mountinfo as exceptional (POLLPRI) whenever the
// mount table changes; the monitor then reads the table again, compares its
// user volumes (see volumes.h) with the previous reading and emits one signal
// per mount point that went away or appeared. Lives on the thread that made it.

#include "platform/volumes.h"

#include <QObject>
#include <QStringList>

class QSocketNotifier;

class MountMonitor : public QObject
{
    Q_OBJECT

public:
    // Watches the mount table of this process.
    explicit MountMonitor(QObject *parent = nullptr);
    // Starts from the given table text and watches nothing; feed it with update().
    explicit MountMonitor(const QByteArray &table, QObject *parent = nullptr);
    ~MountMonitor() override;

    // Whether the kernel's change notification is in use.
    bool isWatching() const { return m_notifier != nullptr; }

    // The mount points of the user volumes in the last table read.
    QStringList volumes() const;

    struct Changes {
        QStringList unmounted; // in the order of the earlier table
        QStringList mounted;   // in the order of the later table
    };
    // The user volumes that went away and appeared between two table texts. A
    // mount point that was unmounted and mounted again in between (a new mount
    // id) counts as both.
    static Changes compare(const QByteArray &before, const QByteArray &after);

    // Takes a new table text: emits unmounted() for each volume gone, then
    // mounted() for each volume new, and keeps the text for the next comparison.
    void update(const QByteArray &table);

signals:
    void mounted(const QString &mountPoint);
    void unmounted(const QString &mountPoint);

private:
    void tableChanged();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QList<volumes::MountEntry> m_volumes;
};
