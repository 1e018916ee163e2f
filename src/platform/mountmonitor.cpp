#include "platform/mountmonitor.h"

#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <optional>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

using volumes::MountEntry;

bool sameMount(const MountEntry &a, const MountEntry &b)
{
    return a.id == b.id && a.mountPoint == b.mountPoint;
}

bool containsMount(const QList<MountEntry> &list, const MountEntry &entry)
{
    return std::any_of(list.begin(), list.end(), [&](const MountEntry &e) { return sameMount(e, entry); });
}

MountMonitor::Changes changes(const QList<MountEntry> &before, const QList<MountEntry> &after)
{
    MountMonitor::Changes result;
    for (const MountEntry &entry : before) {
        if (!containsMount(after, entry))
            result.unmounted.append(entry.mountPoint);
    }
    for (const MountEntry &entry : after) {
        if (!containsMount(before, entry))
            result.mounted.append(entry.mountPoint);
    }
    return result;
}

} // namespace

MountMonitor::MountMonitor(QObject *parent) : QObject(parent)
{
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        m_volumes = volumes::userVolumes(volumes::readMountInfo());
        return;
    }
    m_volumes = volumes::userVolumes(volumes::readMountInfoFrom(m_fd).value_or(volumes::readMountInfo()));
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MountMonitor::tableChanged);
}

MountMonitor::MountMonitor(const QByteArray &table, QObject *parent)
    : QObject(parent), m_volumes(volumes::userVolumes(table))
{
}

MountMonitor::~MountMonitor()
{
    delete m_notifier; // before its descriptor goes
    if (m_fd >= 0)
        ::close(m_fd);
}

QStringList MountMonitor::volumes() const
{
    QStringList points;
    for (const MountEntry &entry : m_volumes)
        points.append(entry.mountPoint);
    return points;
}

MountMonitor::Changes MountMonitor::compare(const QByteArray &before, const QByteArray &after)
{
    return changes(volumes::userVolumes(before), volumes::userVolumes(after));
}

void MountMonitor::update(const QByteArray &table)
{
    QList<MountEntry> now = volumes::userVolumes(table);
    const Changes found = changes(m_volumes, now);
    // Keep the new table before signalling, so a receiver that asks sees it.
    m_volumes = std::move(now);
    // A receiver may delete the monitor; stop signalling then.
    const QPointer<MountMonitor> alive(this);
    for (const QString &point : found.unmounted) {
        emit unmounted(point);
        if (!alive)
            return;
    }
    for (const QString &point : found.mounted) {
        emit mounted(point);
        if (!alive)
            return;
    }
}

void MountMonitor::tableChanged()
{
    if (const std::optional<QByteArray> table = volumes::readMountInfoFrom(m_fd))
        update(*table);
}
