// The online cover search a sheet runs for one album: the catalogue is asked on
// a network worker, and the answer comes back on the main thread unless the
// sheet cancelled it or is gone.

#include "model/tavomodel.h"

#include "model/coverlookup.h"
#include "model/modeltasks.h"

void CoverSearchRequest::cancel()
{
    m_cancelled.store(true);
    // A search waiting for its turn or its retry notices at once.
    CoverSearch::shared().wakeWaiters();
}

std::shared_ptr<CoverSearchRequest> TavoModel::searchCovers(const QString &artist, const QString &title,
                                                            QObject *receiver, CoverSearchDone done)
{
    auto request = std::make_shared<CoverSearchRequest>();
    ModelTasks::run(
        receiver ? receiver : this, ModelTasks::networkPool(),
        [request, artist, title] { return CoverSearch::shared().search(artist, title, request->flag()); },
        [request, done = std::move(done)](const ModelTasks::Outcome<QList<CoverCandidate>> &outcome) {
            if (request->cancelled())
                return;
            CoverSearchResult result;
            if (outcome.ok())
                result.candidates = *outcome.value;
            else
                result.error = outcome.errorText();
            done(result);
        });
    return request;
}
