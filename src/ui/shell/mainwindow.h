#pragma once

// The main window: the sidebar, the page of the chosen section with the mini
// player and the transfer bar below it, and the inspector; the menus, the
// toolbar's refresh button, the sheets and the one alert.

#include "media/records.h"

#include <QMainWindow>
#include <QPointer>

class Inspector;
class QAction;
class QDialog;
class QMenu;
#include <QMessageBox>
class Sidebar;
class TavoModel;
class TransferBar;
class Workspace;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr QSize defaultSize{1260, 820};
    static constexpr QSize minimumContentSize{1050, 690};
    // The width an alert's text is laid out in.
    static constexpr int alertWidth = 440;

    MainWindow(TavoModel *model, Workspace *workspace, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Stores the language ("pl", "en" or "system") and, when the stored value
    // changed, rebuilds every text of the window in the language it resolves to.
    void chooseLanguage(const QString &code);

    // What the window shows now (tests).
    Sidebar *sidebar() const { return m_sidebar; }
    TransferBar *transferBar() const { return m_transferBar; }
    Inspector *inspector() const { return m_inspector; }
    QWidget *page() const { return m_page; }
    QWidget *miniPlayer() const { return m_miniPlayer; }
    QAction *action(const QString &polishTitle) const; // a menu or toolbar action by its Polish title
    QMessageBox *alertBox() const { return m_alert; }
    QDialog *sheet(const char *property) const;         // "openAlbum", "coverLookup" or "openTheme"

signals:
    // The window's content was built anew (after a language change).
    void rebuilt();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void build();
    void buildMenus();
    void showPage();
    void updateActions();
    void showAlert();
    template <typename Value>
    void followSheet(const char *property, const Value &value, std::function<void()> clear,
                     std::function<QDialog *()> make);

    TavoModel *m_model;
    Workspace *m_workspace;
    QString m_builtLanguage; // the stored value the content was built for
    bool m_coverFlowShown = false;
    bool m_placed = false; // sized for its screen at the first show
    QSize m_openingSize;

    Sidebar *m_sidebar = nullptr;
    QWidget *m_column = nullptr;
    QWidget *m_page = nullptr;
    QWidget *m_miniPlayer = nullptr;
    TransferBar *m_transferBar = nullptr;
    QWidget *m_inspectorDivider = nullptr;
    Inspector *m_inspector = nullptr;
    QList<QMenu *> m_menus;
    QList<QAction *> m_actions;
    QAction *m_refreshTool = nullptr;
    QPointer<QMessageBox> m_alert;
    QMap<QByteArray, QPointer<QDialog>> m_sheets;
    QList<QMetaObject::Connection> m_contentConnections;
};
