#include "device/device.h"

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/text.h"
#include "platform/volumes.h"

#include <QStringDecoder>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace DeviceCapacity {
namespace {
std::mutex probeMutex;
Probe probe;
} // namespace

VolumeCapacity of(const QString &path)
{
    Probe replacement;
    {
        std::lock_guard lock(probeMutex);
        replacement = probe;
    }
    if (replacement)
        return replacement(path);
    struct statvfs st;
    if (::statvfs(paths::encode(path).constData(), &st) != 0)
        PosixError::throwErrno();
    return {qint64(st.f_bavail) * qint64(st.f_frsize), qint64(st.f_blocks) * qint64(st.f_frsize)};
}

void setProbe(Probe replacement)
{
    std::lock_guard lock(probeMutex);
    probe = std::move(replacement);
}

} // namespace DeviceCapacity

namespace {

std::mutex observerMutex;
DeviceChecks::Observer observer;

void notifyObserver()
{
    DeviceChecks::Observer current;
    {
        std::lock_guard lock(observerMutex);
        current = observer;
    }
    if (current)
        current();
}

QString readInfoText(const QString &path)
{
    // Only a regular file is read (a link to one is followed): a FIFO would block
    // the inspection until someone writes to it, and a device node such as
    // /dev/zero never ends.
    const std::optional<QByteArray> bytes = posixfile::readRegular(path);
    if (!bytes)
        return QString();
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(*bytes);
    // Text that is not valid UTF-8 counts as unreadable.
    return decoder.hasError() ? QString() : text;
}

// "LINK/" names what the link points to, so the link test looks at the path
// without its trailing slashes.
QString withoutTrailingSlashes(const QString &path)
{
    QString bare = path;
    while (bare.size() > 1 && bare.endsWith(u'/'))
        bare.chop(1);
    return bare;
}

[[noreturn]] void refuseMissingMarker()
{
    throw TavoError(u"Ten folder nie zawiera katalogu .rockbox."_s);
}

[[noreturn]] void refuseLink()
{
    throw TavoError(u"Folder urządzenia nie może być dowiązaniem symbolicznym."_s);
}

} // namespace

QString Device::versionFromInfo(const QString &infoText)
{
    const QLatin1StringView key("Version:");
    qsizetype start = 0;
    const qsizetype n = infoText.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && !text::isNewline(infoText.at(end).unicode()))
            ++end;
        const QStringView line = QStringView(infoText).mid(start, end - start);
        if (line.startsWith(key)) {
            QString value = line.toString();
            value.remove(key);
            return text::trimmedBlanks(value);
        }
        start = end + 1;
    }
    return u"wersja nieznana"_s;
}

Device Device::inspect(const QString &root)
{
    notifyObserver();
    const QString marker = paths::appending(root, u".rockbox"_s);
    // The existence test follows links, so a link to a real folder passes here
    // and is refused by the link test below.
    struct stat st;
    if (::stat(paths::encode(marker).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        refuseMissingMarker();
    if (paths::isSymbolicLink(marker) || paths::isSymbolicLink(withoutTrailingSlashes(root)))
        refuseLink();

    const VolumeCapacity capacity = DeviceCapacity::of(root);

    Device device;
    device.root = root;
    device.name = paths::lastComponent(root);
    device.version = versionFromInfo(readInfoText(paths::appending(marker, u"rockbox-info.txt"_s)));
    device.available = capacity.available;
    device.total = capacity.total;
    device.isVolume = volumes::isVolume(root);
    return device;
}

DeviceCheck::DeviceCheck(const QString &root)
    : m_device(Device::inspect(root))
{
    struct stat st;
    if (::stat(paths::encode(paths::appending(root, u".rockbox"_s)).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        refuseMissingMarker();
    m_dev = st.st_dev;
    m_ino = st.st_ino;
}

void DeviceCheck::check() const
{
    notifyObserver();
    // Two looks at the disk on the way of every step: the marker without
    // following it, then the root. A link as marker is followed only to tell
    // which refusal the inspection would give.
    const QByteArray marker = paths::encode(paths::appending(m_device.root, u".rockbox"_s));
    struct stat st;
    if (::lstat(marker.constData(), &st) != 0)
        refuseMissingMarker();
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (::stat(marker.constData(), &target) != 0 || !S_ISDIR(target.st_mode))
            refuseMissingMarker();
        refuseLink();
    }
    if (!S_ISDIR(st.st_mode))
        refuseMissingMarker();
    if (paths::isSymbolicLink(withoutTrailingSlashes(m_device.root)))
        refuseLink();
    if (st.st_dev != m_dev || st.st_ino != m_ino)
        throw TavoError(u"Urządzenie zostało zamienione na inne."_s);
}

namespace DeviceChecks {
void setObserverForTesting(Observer replacement)
{
    std::lock_guard lock(observerMutex);
    observer = std::move(replacement);
}
} // namespace DeviceChecks
