#include "device/playlists.h"

#include "device/storage.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <cerrno>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// safeName(name) + ".m3u8", the name shortened where needed so that the whole
// file name still fits FAT's 255 UTF-16 units and ext4's 255 bytes.
QString fileName(const QString &name)
{
    const QString extension = u".m3u8"_s;
    QString base = safeName(name);
    while (!base.isEmpty() && (QString(base + extension).size() > 255 || QString(base + extension).toUtf8().size() > 255)) {
        const qsizetype count = text::graphemeCount(base);
        base = count > 1 ? text::firstGraphemes(base, count - 1) : base.chopped(1);
    }
    return base + extension;
}

} // namespace

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
    const QString file = paths::appending(folder, fileName(name));
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
