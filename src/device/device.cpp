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

QString readInfoText(const QString &path)
{
    // Only a regular file is read (a link to one is followed): a FIFO would block
    // the inspection until someone writes to it, and a device node such as
    // /dev/zero never ends. O_NONBLOCK keeps the open itself from waiting on a FIFO.
    int fd;
    do
        fd = ::open(paths::encode(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return QString();
    posixfile::File file(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return QString();
    QByteArray bytes;
    try {
        constexpr qint64 chunk = 64 * 1024;
        for (;;) {
            const qsizetype at = bytes.size();
            bytes.resize(at + chunk);
            const qint64 n = file.read(bytes.data() + at, chunk);
            bytes.resize(at + n);
            if (n < chunk)
                break;
        }
    } catch (const PosixError &) {
        return QString();
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    // Text that is not valid UTF-8 counts as unreadable.
    return decoder.hasError() ? QString() : text;
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
    const QString marker = paths::appending(root, u".rockbox"_s);
    // The existence test follows links, so a link to a real folder passes here
    // and is refused by the link test below.
    struct stat st;
    if (::stat(paths::encode(marker).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw TavoError(u"Ten folder nie zawiera katalogu .rockbox."_s);
    if (paths::isSymbolicLink(marker) || paths::isSymbolicLink(root))
        throw TavoError(u"Folder urządzenia nie może być dowiązaniem symbolicznym."_s);

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
