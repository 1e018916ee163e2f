#include "model/tavomodel.h"

#include "localization/applocalizer.h"
#include "platform/defaults.h"

using namespace Qt::StringLiterals;

// Plain published properties: store and notify, on every assignment.
void TavoModel::setCoverLookup(const OptionalAlbum &value) { publish(m_coverLookup, value, &TavoModel::coverLookupChanged); }
void TavoModel::setShowCoverFlow(bool value) { publish(m_showCoverFlow, value, &TavoModel::showCoverFlowChanged); }
void TavoModel::setDuplicateIssues(const QList<QualityIssue> &value) { publish(m_duplicateIssues, value, &TavoModel::duplicateIssuesChanged); }
void TavoModel::setDuplicateStatus(const QString &value) { publish(m_duplicateStatus, value, &TavoModel::duplicateStatusChanged); }
void TavoModel::setSection(Section value) { publish(m_section, value, &TavoModel::sectionChanged); }
void TavoModel::setDevices(const QList<Device> &value) { publish(m_devices, value, &TavoModel::devicesChanged); }
void TavoModel::setDevice(const OptionalDevice &value) { publish(m_device, value, &TavoModel::deviceChanged); }
void TavoModel::setTracks(const QList<Track> &value) { publish(m_tracks, value, &TavoModel::tracksChanged); }
void TavoModel::setDeviceTracks(const QList<Track> &value) { publish(m_deviceTracks, value, &TavoModel::deviceTracksChanged); }
void TavoModel::setSelectedOnDevice(const UuidSet &value) { publish(m_selectedOnDevice, value, &TavoModel::selectedOnDeviceChanged); }
void TavoModel::setQueued(const UuidSet &value) { publish(m_queued, value, &TavoModel::queuedChanged); }
void TavoModel::setSearch(const QString &value) { publish(m_search, value, &TavoModel::searchChanged); }
void TavoModel::setBusy(bool value) { publish(m_busy, value, &TavoModel::busyChanged); }
void TavoModel::setProgress(double value) { publish(m_progress, value, &TavoModel::progressChanged); }
void TavoModel::setStatus(const QString &value) { publish(m_status, value, &TavoModel::statusChanged); }
void TavoModel::setAlert(const OptionalString &value) { publish(m_alert, value, &TavoModel::alertChanged); }
void TavoModel::setThemes(const QList<Theme> &value) { publish(m_themes, value, &TavoModel::themesChanged); }
void TavoModel::setPlaylists(const QStringList &value) { publish(m_playlists, value, &TavoModel::playlistsChanged); }
void TavoModel::setBackups(const QStringList &value) { publish(m_backups, value, &TavoModel::backupsChanged); }
void TavoModel::setTransferred(const QStringList &value) { publish(m_transferred, value, &TavoModel::transferredChanged); }
void TavoModel::setPlaylistName(const QString &value) { publish(m_playlistName, value, &TavoModel::playlistNameChanged); }

void TavoModel::followLanguage()
{
    // A name the user typed is theirs in any language; only the default, as
    // either language writes it, is renamed.
    const QString polish = u"Moja playlista"_s;
    const QString english = AppLocalizer::translateEnglish(polish, 0);
    if (m_playlistName == polish || m_playlistName == english)
        setPlaylistName(AppLocalizer::language() == u"en"_s ? english : polish);
}
void TavoModel::setOpenAlbum(const OptionalAlbum &value) { publish(m_openAlbum, value, &TavoModel::openAlbumChanged); }
void TavoModel::setFormatFilter(const QString &value) { publish(m_formatFilter, value, &TavoModel::formatFilterChanged); }
void TavoModel::setHiResOnly(bool value) { publish(m_hiResOnly, value, &TavoModel::hiResOnlyChanged); }
void TavoModel::setThemePreviews(const ThemePreviewMap &value) { publish(m_themePreviews, value, &TavoModel::themePreviewsChanged); }
void TavoModel::setThemePreviewStatus(const QString &value) { publish(m_themePreviewStatus, value, &TavoModel::themePreviewStatusChanged); }
void TavoModel::setOpenTheme(const OptionalTheme &value) { publish(m_openTheme, value, &TavoModel::openThemeChanged); }
void TavoModel::setDeviceInfo(const StringMap &value) { publish(m_deviceInfo, value, &TavoModel::deviceInfoChanged); }
void TavoModel::setDeviceConfig(const StringMap &value) { publish(m_deviceConfig, value, &TavoModel::deviceConfigChanged); }
void TavoModel::setThemeSettings(const ThemeSettingsMap &value) { publish(m_themeSettings, value, &TavoModel::themeSettingsChanged); }

void TavoModel::setLibraryOnDevice(bool value)
{
    const bool changed = value != m_libraryOnDevice;
    publish(m_libraryOnDevice, value, &TavoModel::libraryOnDeviceChanged);
    // Duplicate findings belong to the side they were made on.
    if (changed)
        forgetDuplicates();
}

void TavoModel::forgetDuplicates()
{
    setDuplicateIssues({});
    setDuplicateStatus(u"Duplikaty nie zostały jeszcze sprawdzone."_s);
}

void TavoModel::setViewMode(const QString &value)
{
    publish(m_viewMode, value, &TavoModel::viewModeChanged);
    Defaults::setString(u"viewMode"_s, m_viewMode);
}

void TavoModel::setSortMode(const QString &value)
{
    publish(m_sortMode, value, &TavoModel::sortModeChanged);
    Defaults::setString(u"sortMode"_s, m_sortMode);
}

void TavoModel::setTileSize(double value)
{
    publish(m_tileSize, value, &TavoModel::tileSizeChanged);
    Defaults::setNumber(u"tileSize"_s, m_tileSize);
}
