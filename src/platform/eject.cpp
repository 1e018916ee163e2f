#include "platform/eject.h"

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/volumes.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>
#include <QVariantMap>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The reason UDisks2 gives for a refused unmount, in the user's words; its own
// message (English, naming the device node) only where no text of ours fits.
QString unmountFailure(const QDBusMessage &reply)
{
    const QString name = reply.errorName();
    if (name == u"org.freedesktop.UDisks2.Error.DeviceBusy")
        return u"Nie udało się odmontować dysku: inny program używa plików z tego dysku. Zamknij je i spróbuj ponownie."_s;
    if (name.startsWith(u"org.freedesktop.UDisks2.Error.NotAuthorized"))
        return u"Nie udało się odmontować dysku: brak uprawnień."_s;
    return u"Nie udało się odmontować dysku: nieznany błąd ("_s + reply.errorMessage() + u')';
}

const QString kService = u"org.freedesktop.UDisks2"_s;
const QString kManagerPath = u"/org/freedesktop/UDisks2/Manager"_s;
const QString kBlockPrefix = u"/org/freedesktop/UDisks2/block_devices/"_s;
const QString kManager = u"org.freedesktop.UDisks2.Manager"_s;
const QString kBlock = u"org.freedesktop.UDisks2.Block"_s;
const QString kFilesystem = u"org.freedesktop.UDisks2.Filesystem"_s;
const QString kDrive = u"org.freedesktop.UDisks2.Drive"_s;
const QString kProperties = u"org.freedesktop.DBus.Properties"_s;

[[noreturn]] void throwUnavailable()
{
    throw TavoError(u"Usługa UDisks2 jest niedostępna, więc nie można wysunąć dysku."_s);
}

[[noreturn]] void throwNotMounted(const QString &path)
{
    throw TavoError(u"Nie znaleziono dysku zamontowanego w "_s + path);
}

// Errors that say the service itself is not there (not installed, not running,
// failed to start, or not answering).
bool serviceMissing(const QDBusMessage &reply)
{
    const QString name = reply.errorName();
    return name == u"org.freedesktop.DBus.Error.ServiceUnknown" || name == u"org.freedesktop.DBus.Error.NameHasNoOwner" ||
           name == u"org.freedesktop.DBus.Error.Disconnected" || name == u"org.freedesktop.DBus.Error.NoReply" ||
           name == u"org.freedesktop.DBus.Error.Timeout" || name.startsWith(u"org.freedesktop.DBus.Error.Spawn");
}

QDBusMessage call(QDBusConnection &bus, const QString &path, const QString &interface, const QString &method,
                  const QVariantList &arguments, int timeout)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    // Block, not BlockWithGui: no events are handled while waiting.
    return bus.call(message, QDBus::Block, timeout);
}

QVariant unwrapped(QVariant value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

std::optional<QVariant> property(QDBusConnection &bus, const QString &path, const QString &interface, const QString &name)
{
    const QDBusMessage reply = call(bus, path, kProperties, u"Get"_s, {interface, name}, UDisksEjector::lookupTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return unwrapped(reply.arguments().constFirst());
}

QVariantMap properties(QDBusConnection &bus, const QString &path, const QString &interface)
{
    const QDBusMessage reply = call(bus, path, kProperties, u"GetAll"_s, {interface}, UDisksEjector::lookupTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const QVariant value = reply.arguments().constFirst();
    if (value.metaType() == QMetaType::fromType<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

QString objectPathOf(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

// The UDisks2 object of the block device behind `source` ("/dev/sdb1").
QString blockObject(QDBusConnection &bus, const QString &source)
{
    const QDBusMessage reply = call(bus, kManagerPath, kManager, u"ResolveDevice"_s,
                                    {QVariantMap{{u"path"_s, source}}, QVariantMap{}}, UDisksEjector::lookupTimeout);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        const QVariant value = reply.arguments().constFirst();
        QList<QDBusObjectPath> found;
        if (value.metaType() == QMetaType::fromType<QDBusArgument>())
            found = qdbus_cast<QList<QDBusObjectPath>>(value.value<QDBusArgument>());
        else
            found = value.value<QList<QDBusObjectPath>>();
        if (!found.isEmpty())
            return found.constFirst().path();
    } else if (serviceMissing(reply)) {
        throwUnavailable();
    }
    // Older UDisks2 has no ResolveDevice: its objects are named after the kernel device.
    const QString resolved = QFileInfo(source).canonicalFilePath();
    const QString kernelName = paths::lastComponent(resolved.isEmpty() ? source : resolved);
    const QString path = kBlockPrefix + UDisksEjector::objectPathElement(kernelName);
    if (!property(bus, path, kBlock, u"Device"_s))
        return {};
    return path;
}

} // namespace

UDisksEjector::UDisksEjector() : UDisksEjector(QDBusConnection::systemBus(), &volumes::readMountInfo) {}

UDisksEjector::UDisksEjector(QDBusConnection bus, std::function<QByteArray()> mountTable)
    : m_bus(std::move(bus)), m_mountTable(std::move(mountTable))
{
}

QString UDisksEjector::objectPathElement(const QString &kernelName)
{
    QString element;
    for (const char c : QFile::encodeName(kernelName)) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            element += QLatin1Char(c);
        else
            element += u'_' + QString::asprintf("%02x", unsigned(static_cast<unsigned char>(c)));
    }
    return element;
}

void UDisksEjector::unmountAndEject(const QString &mountPoint)
{
    const QString path = paths::standardized(mountPoint);
    std::optional<volumes::MountEntry> volume;
    for (const volumes::MountEntry &entry : volumes::userVolumes(m_mountTable ? m_mountTable() : QByteArray()))
        if (entry.mountPoint == path && path != u"/")
            volume = entry;
    if (!volume)
        throwNotMounted(path);
    if (!m_bus.isConnected())
        throwUnavailable();

    const QString block = blockObject(m_bus, volume->source);
    if (block.isEmpty())
        throwNotMounted(path);

    const QDBusMessage unmounted = call(m_bus, block, kFilesystem, u"Unmount"_s, {QVariantMap{}}, unmountTimeout);
    if (unmounted.type() != QDBusMessage::ReplyMessage) {
        if (serviceMissing(unmounted) && unmounted.errorName() != u"org.freedesktop.DBus.Error.NoReply")
            throwUnavailable();
        throw TavoError(unmountFailure(unmounted));
    }

    // The file system is safely unmounted now: the disk may be unplugged even if
    // the drive refuses to eject or power off, so neither refusal is an error.
    const std::optional<QVariant> drive = property(m_bus, block, kBlock, u"Drive"_s);
    const QString drivePath = drive ? objectPathOf(*drive) : QString();
    if (drivePath.isEmpty() || drivePath == u"/")
        return;
    const QVariantMap abilities = properties(m_bus, drivePath, kDrive);
    if (abilities.value(u"Ejectable"_s).toBool())
        call(m_bus, drivePath, kDrive, u"Eject"_s, {QVariantMap{}}, ejectTimeout);
    else if (abilities.value(u"CanPowerOff"_s).toBool())
        call(m_bus, drivePath, kDrive, u"PowerOff"_s, {QVariantMap{}}, ejectTimeout);
}
