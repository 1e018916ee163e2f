#pragma once

// The whole application as it runs: the one model (discovering devices and
// restoring the saved library), the main window on the system's desktop, the
// file choosers and the rule that closing the main window quits. The entry
// point makes one; so does a test that drives the real application.

#include "model/tavomodel.h"

#include <QObject>
#include <memory>

class MainWindow;
class Workspace;

class AppSession
{
public:
    // How devices are found and which desktop opens and reveals files; the
    // defaults are the running system's.
    explicit AppSession(TavoModel::DeviceDiscovery discovery = TavoModel::defaultDeviceDiscovery,
                        Workspace *workspace = nullptr);
    ~AppSession();
    AppSession(const AppSession &) = delete;
    AppSession &operator=(const AppSession &) = delete;

    TavoModel *model() const { return m_model.get(); }
    MainWindow *window() const { return m_window.get(); }

private:
    std::unique_ptr<TavoModel> m_model;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<QObject> m_quitOnClose;
};
