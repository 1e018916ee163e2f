// Playlists of device files and backups of the device's settings on the computer.

#include "model/tavomodel.h"

#include "device/backup.h"
#include "device/playlists.h"
#include "media/artworkfiles.h"
#include "model/modeltasks.h"
#include "platform/appfolders.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <QDateTime>
#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

QStringList TavoModel::playlistTracks() const
{
    QStringList files;
    QSet<QString> seen;
    const auto add = [&](const QString &file) {
        if (!seen.contains(file)) {
            seen.insert(file);
            files.append(file);
        }
    };
    for (const QString &file : m_transferred)
        add(file);
    for (const Track &track : m_deviceTracks) {
        if (m_selectedOnDevice.contains(track.id))
            add(track.url);
    }
    std::stable_sort(files.begin(), files.end(), [](const QString &a, const QString &b) { return text::plainLess(a, b); });
    return files;
}

void TavoModel::makePlaylist()
{
    if (!m_device)
        return;
    // Written here and now, even while another operation runs: it is one small file.
    try {
        const QString written = Storage::playlist(m_playlistName, playlistTracks(), m_device->root);
        setStatus(u"Zapisano "_s + paths::lastComponent(written));
    } catch (const std::exception &error) {
        setAlert(describe(error));
        return;
    }
    refresh();
}

QString TavoModel::newBackupURL()
{
    const QString folder = AppFolders::backups();
    Artwork::files::makeFolders(folder);
    // Time first, so that the names sort by age; the UUID part keeps two
    // backups of the same second apart.
    const QString name = text::timestamp(QDateTime::currentDateTime()) + u"_"_s + text::newUuid().left(6);
    return paths::appending(folder, name);
}

void TavoModel::backup()
{
    if (!m_device || m_busy)
        return;
    QString destination;
    try {
        destination = newBackupURL();
    } catch (const std::exception &error) {
        setAlert(describe(error));
        return;
    }
    setBusy(true);
    setStatus(u"Tworzę kopię ustawień…"_s);

    const QString root = m_device->root;
    ModelTasks::run(
        this, ModelTasks::filePool(), [root, destination] { Storage::backup(root, destination); },
        [this](const ModelTasks::Outcome<ModelTasks::Done> &outcome) {
            if (outcome.ok()) {
                setStatus(u"Kopia ustawień zapisana na komputerze"_s);
            } else {
                setAlert(outcome.errorText());
                setStatus(u"Nie udało się zapisać kopii"_s);
            }
            setBusy(false);
            refresh();
        });
}
