#include "model/tavomodel.h"
#include "model/modeltasks.h"

using namespace Qt::StringLiterals;

void TavoModel::eject()
{
    if (!m_device || m_busy || !m_device->isVolume || m_ejecting)
        return;
    const QString root = m_device->root;
    // A track read from the device would hold the volume open.
    if (const auto &current = m_playback->current(); current && current->url.startsWith(root + u'/'))
        m_playback->stop();
    if (!m_ejector)
        m_ejector = std::make_shared<UDisksEjector>();
    // Unmounting writes the disk's cached data first, which can take long: the
    // window keeps answering, and no other operation may start on the volume
    // meanwhile.
    m_ejecting = true;
    emit ejectingChanged();
    setBusy(true);
    ModelTasks::run(
        this, ModelTasks::filePool(), [ejector = m_ejector, root] { ejector->unmountAndEject(root); },
        [this](const ModelTasks::Outcome<ModelTasks::Done> &outcome) {
            m_ejecting = false;
            emit ejectingChanged();
            setBusy(false);
            if (!outcome.ok()) {
                setAlert(outcome.errorText());
                return;
            }
            setDevice(std::nullopt);
            m_playback->stop();
            setTransferred({});
            setDeviceTracks({});
            setSelectedOnDevice({});
            setStatus(u"Możesz odłączyć iPoda"_s);
            refresh();
        });
}

void TavoModel::revealCoverFlow()
{
    if (!m_device || m_busy)
        return;
    setLibraryOnDevice(true);
    if (m_showCoverFlow)
        emit coverFlowRaiseRequested();
    else
        setShowCoverFlow(true);
}
