// The check for byte-identical files among the tracks of the side shown. The
// hashing runs on a worker with its own copy of the track list; progress comes
// back for one file in twenty and for the last, so a large library never
// floods the main thread.

#include "model/tavomodel.h"

#include "media/duplicates.h"
#include "model/modeltasks.h"

using namespace Qt::StringLiterals;

void TavoModel::checkDuplicates()
{
    if (m_busy)
        return;
    // Taken once: later changes of the library do not reach the running check.
    const QList<Track> examined = activeTracks();
    if (examined.isEmpty())
        return;
    const bool onDevice = m_libraryOnDevice;

    setDuplicateIssues({});
    setDuplicateStatus(u"Sprawdzam zawartość plików…"_s);
    setBusy(true);
    setProgress(0);
    setStatus(u"Porównuję zawartość plików…"_s);

    const auto post = ModelTasks::progressPoster(this, [](TavoModel *model, int done, int total) {
        model->setProgress(double(done) / double(std::max(total, 1)));
    });
    ModelTasks::run(
        this, ModelTasks::filePool(),
        [examined, post] {
            return CollectionQuality::duplicates(examined, [&post](qsizetype done, qsizetype total) {
                if (done % 20 == 0 || done == total)
                    post(int(done), int(total));
            });
        },
        [this, onDevice](const ModelTasks::Outcome<QList<QualityIssue>> &outcome) {
            // Findings belong to the side they were made on: when the other side
            // is shown by now, they would describe files the page does not show.
            const bool sameSide = m_libraryOnDevice == onDevice;
            if (!outcome.ok()) {
                // No partial list: an interrupted check would hide duplicates it never reached.
                setAlert(outcome.errorText());
                if (sameSide)
                    setDuplicateStatus(u"Sprawdzanie przerwane — wynik nie jest kompletny."_s);
                setBusy(false);
                return;
            }
            if (sameSide) {
                setDuplicateIssues(*outcome.value);
                setDuplicateStatus(u"Znaleziono grup identycznych plików: "_s + QString::number(outcome.value->size())
                                   + u". Sprawdzone przez SHA-256."_s);
            }
            setStatus(u"Sprawdzanie duplikatów zakończone"_s);
            setBusy(false);
        });
}
