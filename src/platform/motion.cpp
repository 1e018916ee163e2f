#include "platform/motion.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <atomic>

using namespace Qt::StringLiterals;

namespace motion {
namespace {

std::atomic<int> answer{-1}; // -1 not known, 0 no, 1 yes
std::atomic<bool> asked{false};
std::optional<bool> fixed;

// The portal wraps the value in one or two variants, depending on its version.
QVariant unwrapped(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

void ask()
{
    if (asked.exchange(true) || !QCoreApplication::instance())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.portal.Desktop"_s,
                                                       u"/org/freedesktop/portal/desktop"_s,
                                                       u"org.freedesktop.portal.Settings"_s, u"Read"_s);
    call << u"org.gnome.desktop.interface"_s << u"enable-animations"_s;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QVariant> reply = *w;
        if (!reply.isError()) {
            const QVariant value = unwrapped(reply.value());
            if (value.typeId() == QMetaType::Bool)
                answer.store(value.toBool() ? 0 : 1);
        }
        w->deleteLater();
    });
}

} // namespace

bool reduceMotion()
{
    if (fixed)
        return *fixed;
    ask();
    return answer.load() == 1;
}

void setReduceMotionForTesting(std::optional<bool> value)
{
    fixed = value;
}

} // namespace motion
