#include "model/tavomodel.h"

#include "localization/applocalizer.h"
#include "platform/defaults.h"
#include "platform/mountmonitor.h"
#include "platform/paths.h"

#include <QDir>

using namespace Qt::StringLiterals;

TavoModel::TavoModel(DeviceDiscovery deviceDiscovery, bool restoreLibrary, QObject *parent)
    : QObject(parent)
    , m_playback(new Playback(this))
    , m_duplicateStatus(u"Duplikaty nie zostały jeszcze sprawdzone."_s)
    , m_status(u"Gotowy na Twoją muzykę"_s)
    , m_formatFilter(u"Wszystko"_s)
    , m_deviceDiscovery(std::move(deviceDiscovery))
    , m_contentGeneration(QUuid::createUuid())
{
    // Taken once: a later change of the interface language keeps the name the user saw.
    const QString defaultName = u"Moja playlista"_s;
    m_playlistName = AppLocalizer::language() == u"en"_s ? AppLocalizer::translateEnglish(defaultName, 0) : defaultName;

    m_viewMode = Defaults::string(u"viewMode"_s).value_or(u"Albumy"_s);
    m_sortMode = Defaults::string(u"sortMode"_s).value_or(u"Wykonawca"_s);
    const double storedTile = Defaults::number(u"tileSize"_s).value_or(0);
    m_tileSize = storedTile > 0 ? storedTile : 170;

    refresh();

    if (restoreLibrary)
        this->restoreLibrary();

    // Disks being mounted and unmounted start a refresh (tavomodel_devices.cpp).
    observeMounts(new MountMonitor(this));
}

TavoModel::~TavoModel()
{
    // The scan posts progress to this object from its worker; it must end first.
    if (m_importScan.isValid())
        m_importScan.waitForFinished();
}

const QSet<QString> &TavoModel::audioExtensions()
{
    return ::audioExtensions();
}

void TavoModel::restoreLibrary()
{
    QStringList existing;
    for (const QString &path : Defaults::stringList(u"libraryPaths"_s).value_or(QStringList())) {
        // Gone files simply drop out; the next save of the library forgets them.
        // Only absolute paths: an empty or relative one would name the working folder.
        if (QDir::isAbsolutePath(path) && paths::exists(path))
            existing.append(path);
    }
    if (!existing.isEmpty())
        importURLs(existing, false, false);
}
