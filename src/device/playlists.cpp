#include "device/playlists.h"

#include "device/storage.h"
#include "platform/errors.h"
#include "platform/paths.h"

#include <cerrno>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace Storage {

QString playlist(const QString &name, const QStringList &tracks, const QString &root)
{
    if (tracks.isEmpty())
        throw TavoError(u"Najpierw wgraj utwory na iPoda."_s);

    QString prefix = paths::standardized(root);
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    for (const QString &track : tracks) {
        if (!paths::standardized(track).startsWith(prefix) || track.contains(u'\n') || track.contains(u'\r'))
            throw TavoError(u"Playlista może zawierać wyłącznie utwory z wybranego iPoda."_s);
    }

    const QString folder = directory(u"Playlists"_s, root);
    const QString file = paths::appending(folder, safeName(name) + u".m3u8"_s);
    const auto taken = [] { return TavoError(u"Playlista o tej nazwie już istnieje. Wybierz inną nazwę."_s); };
    struct stat st;
    if (::lstat(paths::encode(file).constData(), &st) == 0)
        throw taken();

    QString content = u"#EXTM3U\n"_s;
    for (const QString &track : tracks)
        content += u'/' + paths::standardized(track).mid(prefix.size()) + u'\n';

    // Written whole beside the target and moved in without replacing, so a
    // playlist made meanwhile under the same name is never overwritten either.
    try {
        createWithBytes(content.toUtf8(), file);
    } catch (const PosixError &error) {
        if (error.code() == EEXIST)
            throw taken();
        throw;
    }
    return file;
}

} // namespace Storage
