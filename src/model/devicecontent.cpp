#include "model/devicecontent.h"

#include "device/themes.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/volumes.h"

#include <QException>
#include <algorithm>
#include <exception>

using namespace Qt::StringLiterals;

namespace DeviceContentReader {
namespace {

// Names compare as the user sees them: canonically equivalent spellings are
// equal, whatever normalisation the file system kept.
void sortByName(QStringList &entries, bool descending)
{
    std::stable_sort(entries.begin(), entries.end(), [descending](const QString &a, const QString &b) {
        const int order = text::plainCompare(text::nfc(paths::lastComponent(a)), text::nfc(paths::lastComponent(b)));
        return descending ? order > 0 : order < 0;
    });
}

} // namespace

const QStringList &excludedMusicFolders()
{
    static const QStringList names = {
        u"Calendars"_s, u"Contacts"_s, u"Notes"_s, u"Photos"_s, u"System Volume Information"_s, u"Android"_s, u"LOST.DIR"_s,
    };
    return names;
}

QStringList playlists(const QString &folder)
{
    QStringList found;
    for (const QString &name : paths::list(folder).value_or(QStringList())) {
        const QString extension = paths::extension(name).toLower();
        if (extension == u"m3u"_s || extension == u"m3u8"_s)
            found.append(paths::appending(folder, name));
    }
    sortByName(found, false);
    return found;
}

QStringList backups(const QString &folder)
{
    QStringList found;
    for (const QString &name : paths::list(folder).value_or(QStringList())) {
        if (!name.startsWith(u'.'))
            found.append(paths::appending(folder, name));
    }
    // Backup folders are named by their time stamp: the newest comes first.
    sortByName(found, true);
    return found;
}

QStringList musicFolders(const QString &root)
{
    QStringList folders;
    for (const QString &name : paths::list(root).value_or(QStringList())) {
        if (name.startsWith(u'.') || excludedMusicFolders().contains(name))
            continue;
        const QString path = paths::appending(root, name);
        // lstat: a link is not a folder here, so the scan never leaves the device.
        if (paths::isDirectory(path))
            folders.append(path);
    }
    return folders;
}

DeviceContent read(const QString &root)
{
    DeviceContent content;
    content.themes = Storage::themes(root);
    for (const Theme &theme : std::as_const(content.themes)) {
        if (std::optional<ThemePreview> preview = ThemePreview::local(theme, root))
            content.previews.insert(theme.url, *preview);
        content.settings.insert(theme.url, ThemePreview::configuration(theme.url));
    }
    const QString rockbox = paths::appending(root, u".rockbox"_s);
    content.info = ThemePreview::configuration(paths::appending(rockbox, u"rockbox-info.txt"_s));
    content.config = ThemePreview::configuration(paths::appending(rockbox, u"config.cfg"_s));
    content.playlists = playlists(paths::appending(root, u"Playlists"_s));
    return content;
}

QList<Device> discoverVolumes()
{
    QList<Device> devices;
    for (const QString &mountPoint : volumes::mountedVolumes()) {
        try {
            devices.append(Device::inspect(mountPoint));
        } catch (const std::exception &) {
            // A volume without Rockbox (or one that can't be read) is simply no device.
        }
    }
    return devices;
}

} // namespace DeviceContentReader
