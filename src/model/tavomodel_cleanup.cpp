// Removing the macOS companion files ("._name") from the device's music
// folders. The service keeps a copy of each in a "MacMetadata-" folder among
// the backups, which the closing refresh lists.

#include "model/tavomodel.h"

#include "device/cleanup.h"
#include "model/modeltasks.h"
#include "platform/appfolders.h"

using namespace Qt::StringLiterals;

void TavoModel::cleanupMacFiles()
{
    if (!m_device || m_busy)
        return;
    setBusy(true);
    setStatus(u"Porządkuję pliki pomocnicze macOS…"_s);

    const QString root = m_device->root;
    ModelTasks::run(
        this, ModelTasks::filePool(),
        [root] {
            // Not created here: the service makes its own folder inside it only
            // when there is something to keep.
            return Storage::cleanupMacMetadata(root, AppFolders::backups(), std::nullopt);
        },
        [this](const ModelTasks::Outcome<int> &outcome) {
            if (outcome.ok()) {
                const QString text = u"Usunięto pliki metadanych macOS: "_s + QString::number(*outcome.value)
                                     + u". Kopia jest na komputerze."_s;
                setStatus(text);
                setAlert(text);
            } else {
                setAlert(outcome.errorText());
                setStatus(u"Nie udało się ukończyć porządków"_s);
            }
            setBusy(false);
            refresh();
        });
}
