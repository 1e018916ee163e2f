// Installing Rockbox themes from a ZIP package the user picks. The service
// checks the package, backs the device's settings up into a new folder among
// the backups and writes the theme files; the closing refresh lists the new
// themes and the backup.

#include "model/tavomodel.h"

#include "device/themes.h"
#include "localization/applocalizer.h"
#include "model/modeltasks.h"

#include <QPointer>

using namespace Qt::StringLiterals;

void TavoModel::installTheme()
{
    // The device read here is the one written to, whatever is chosen meanwhile.
    if (!m_device || m_busy)
        return;
    if (!m_packageChooser)
        return;
    const QString root = m_device->root;
    m_packageChooser(AppLocalizer::display(u"Zainstaluj motyw"_s),
                     [self = QPointer<TavoModel>(this), root](const std::optional<QString> &chosen) {
                         if (self && chosen && !chosen->isEmpty())
                             self->installChosenTheme(root, *chosen);
                     });
}

void TavoModel::installChosenTheme(const QString &root, const QString &zip)
{
    // The event loop ran while the dialog was open; two operations must still
    // never overlap, and the package goes to the device it was chosen for.
    if (m_busy || !m_device || m_device->root != root)
        return;

    QString backupFolder;
    try {
        backupFolder = newBackupURL();
    } catch (const std::exception &error) {
        setAlert(describe(error));
        return;
    }
    setBusy(true);
    setStatus(u"Sprawdzam i instaluję motyw…"_s);

    ModelTasks::run(
        this, ModelTasks::filePool(), [zip, root, backupFolder] { return Storage::installTheme(zip, root, backupFolder); },
        [this](const ModelTasks::Outcome<int> &outcome) {
            if (outcome.ok()) {
                setStatus(u"Zainstalowano motywy: "_s + QString::number(*outcome.value));
                setAlert(u"Motyw został wgrany, a poprzednie ustawienia mają kopię na komputerze.\n\n"
                         u"Aktywuj go na iPodzie: Settings → Theme Settings → Browse Themes."_s);
            } else {
                // A write that failed part-way was already rolled back by the service.
                setAlert(outcome.errorText());
                setStatus(u"Instalacja motywu przerwana"_s);
            }
            setBusy(false);
            refresh();
        });
}
