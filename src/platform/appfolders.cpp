#include "platform/appfolders.h"

#include "platform/errors.h"
#include "platform/paths.h"

#include <QStandardPaths>
#include <mutex>

using namespace Qt::StringLiterals;

namespace AppFolders {
namespace {
std::mutex overrideMutex;
QString overridePath;
} // namespace

QString applicationSupport()
{
    {
        std::lock_guard lock(overrideMutex);
        if (!overridePath.isEmpty())
            return overridePath;
    }
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        throw TavoError(u"Nie można ustalić folderu danych aplikacji."_s);
    return paths::appending(base, u"Vontaro"_s);
}

QString backups()
{
    return paths::appending(applicationSupport(), u"Backups"_s);
}

QString artwork()
{
    return paths::appending(applicationSupport(), u"Artwork"_s);
}

void setApplicationSupportOverride(const QString &path)
{
    std::lock_guard lock(overrideMutex);
    overridePath = path;
}

} // namespace AppFolders
