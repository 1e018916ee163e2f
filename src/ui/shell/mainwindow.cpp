#include "ui/shell/mainwindow.h"

#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "platform/workspace.h"
#include "ui/kit/kit.h"
#include "ui/shell/inspector.h"
#include "ui/shell/pages.h"
#include "ui/shell/sidebar.h"
#include "ui/shell/transferbar.h"

#include <QAction>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// A one-pixel line in the separator colour between the columns.
QWidget *divider(Qt::Orientation orientation, QWidget *parent)
{
    auto *line = new QWidget(parent);
    if (orientation == Qt::Vertical)
        line->setFixedWidth(1);
    else
        line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, kit::separator(parent->palette()));
    line->setPalette(pal);
    return line;
}

QString storedLanguage()
{
    return Defaults::string(u"appLanguage"_s).value_or(u"system"_s);
}

} // namespace

MainWindow::MainWindow(TavoModel *model, Workspace *workspace, QWidget *parent)
    : QMainWindow(parent), m_model(model), m_workspace(workspace)
{
    m_openingSize = kit::fittedToScreen(defaultSize, this);
    resize(m_openingSize);
    m_coverFlowShown = model->showCoverFlow();

    // The refresh button sits at the end of the menu bar rather than on a
    // toolbar row of its own, which would take the height the inspector needs.
    m_refreshTool = new QAction(this);
    auto *refresh = new QToolButton(this);
    refresh->setDefaultAction(m_refreshTool);
    refresh->setAutoRaise(true);
    refresh->setIconSize({16, 16});
    menuBar()->setCornerWidget(refresh, Qt::TopRightCorner);
    m_refreshTool->setObjectName(u"Odśwież urządzenie"_s);
    connect(m_refreshTool, &QAction::triggered, model, &TavoModel::refresh);

    // Every view opens and reveals through this desktop; when nothing answers
    // the status line says what could not be opened. A late answer may come
    // after the model is gone.
    m_workspace->setFailureHandler([model = QPointer<TavoModel>(model)](Workspace::Failure failure, const QString &target) {
        if (!model)
            return;
        model->setStatus(failure == Workspace::Failure::open
                             ? u"Nie udało się otworzyć: %1"_s.arg(target)
                             : u"Nie udało się pokazać w menedżerze plików: %1"_s.arg(target));
    });

    build();

    for (auto signal : {&TavoModel::busyChanged, &TavoModel::deviceChanged, &TavoModel::queuedChanged,
                        &TavoModel::tracksChanged, &TavoModel::objectWillChange})
        connect(model, signal, this, &MainWindow::updateActions);
    connect(model, &TavoModel::sectionChanged, this, &MainWindow::showPage);
    connect(model, &TavoModel::alertChanged, this, &MainWindow::showAlert);
    connect(model, &TavoModel::openAlbumChanged, this, [this] {
        followSheet<TavoModel::OptionalAlbum>("openAlbum", m_model->openAlbum(), [this] { m_model->setOpenAlbum(std::nullopt); },
                                              [this] { return sheets::albumDetail(m_model, *m_model->openAlbum(), this); });
    });
    connect(model, &TavoModel::coverLookupChanged, this, [this] {
        followSheet<TavoModel::OptionalAlbum>("coverLookup", m_model->coverLookup(), [this] { m_model->setCoverLookup(std::nullopt); },
                                              [this] { return sheets::coverSearch(m_model, *m_model->coverLookup(), this); });
    });
    connect(model, &TavoModel::openThemeChanged, this, [this] {
        followSheet<TavoModel::OptionalTheme>("openTheme", m_model->openTheme(), [this] { m_model->setOpenTheme(std::nullopt); },
                                              [this] { return sheets::themeDetail(m_model, *m_model->openTheme(), this); });
    });
    connect(model, &TavoModel::showCoverFlowChanged, this, [this] {
        const bool shown = m_model->showCoverFlow();
        if (shown && !m_coverFlowShown)
            sheets::presentCoverFlow(m_model);
        m_coverFlowShown = shown;
    });
    connect(model, &TavoModel::coverFlowRaiseRequested, this, [this] { sheets::presentCoverFlow(m_model); });
    showAlert();
}

MainWindow::~MainWindow()
{
    m_workspace->setFailureHandler({});
}

void MainWindow::build()
{
    m_builtLanguage = storedLanguage();
    // Qt's own texts (file choosers, text field menus) follow the language too.
    AppLocalizer::applyQtTranslations();
    setWindowTitle(kit::tr(u"Vontaro"_s));
    m_refreshTool->setIcon(kit::symbolIcon(u"arrow.clockwise"_s, kit::primaryText(palette()), 18));
    m_refreshTool->setText(kit::tr(u"Odśwież urządzenie"_s));
    m_refreshTool->setToolTip(kit::tr(u"Odśwież urządzenie"_s));

    auto *content = new QWidget(this);
    // Controls use the system blue as their accent, whatever the desktop's.
    QPalette accented = palette();
    accented.setColor(QPalette::Highlight, kit::blue(palette()));
    content->setPalette(accented);
    auto *row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    m_sidebar = new Sidebar(m_model, content);
    connect(m_sidebar, &Sidebar::languageChosen, this, &MainWindow::chooseLanguage);
    row->addWidget(m_sidebar);
    row->addWidget(divider(Qt::Vertical, content));

    m_column = new QWidget(content);
    m_column->setAutoFillBackground(true);
    m_column->setBackgroundRole(QPalette::Base);
    auto *column = new QVBoxLayout(m_column);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_page = pages::make(m_model->section(), m_model, m_column);
    column->addWidget(m_page, 1);
    column->addWidget(divider(Qt::Horizontal, m_column));
    m_miniPlayer = pages::miniPlayer(m_model, m_column);
    if (m_miniPlayer)
        column->addWidget(m_miniPlayer);
    m_transferBar = new TransferBar(m_model, m_column);
    column->addWidget(m_transferBar);
    row->addWidget(m_column, 1);

    m_inspectorDivider = divider(Qt::Vertical, content);
    row->addWidget(m_inspectorDivider);
    m_inspector = new Inspector(m_model, m_workspace, content);
    row->addWidget(m_inspector);

    QWidget *old = takeCentralWidget();
    setCentralWidget(content);
    if (old)
        old->deleteLater();

    buildMenus();
    // The menu bar sits inside the window here, so it counts within the
    // smallest height rather than on top of it.
    content->setMinimumSize(minimumContentSize.width(),
                            minimumContentSize.height() - menuBar()->sizeHint().height());
    showPage();
    updateActions();
}

void MainWindow::showEvent(QShowEvent *event)
{
    // The screen the window opens on is known only now: unless someone sized
    // the window meanwhile, the default size is made to fit its free area.
    if (!m_placed) {
        m_placed = true;
        if (size() == m_openingSize)
            resize(kit::fittedToScreen(defaultSize, this));
    }
    QMainWindow::showEvent(event);
}

void MainWindow::buildMenus()
{
    for (QMenu *menu : std::as_const(m_menus))
        menu->deleteLater();
    m_menus.clear();
    m_actions.clear();
    menuBar()->clear();
    menuBar()->cornerWidget(Qt::TopRightCorner)->show();

    auto add = [this](QMenu *menu, const QString &polish, bool translated, const QKeySequence &shortcut,
                      std::function<void()> act) {
        auto *action = menu->addAction(translated ? kit::tr(polish) : polish);
        action->setObjectName(polish);
        if (!shortcut.isEmpty())
            action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, std::move(act));
        m_actions.append(action);
        return action;
    };

    QMenu *file = menuBar()->addMenu(kit::tr(u"Plik"_s));
    add(file, u"Dodaj muzykę…"_s, true, QKeySequence(Qt::CTRL | Qt::Key_O), [this] { m_model->importMusic(); });

    QMenu *language = menuBar()->addMenu(kit::tr(u"Język"_s));
    add(language, u"Polski"_s, false, {}, [this] { chooseLanguage(u"pl"_s); });
    add(language, u"English"_s, false, {}, [this] { chooseLanguage(u"en"_s); });
    add(language, u"Zgodnie z systemem"_s, true, {}, [this] { chooseLanguage(u"system"_s); });

    QMenu *ipod = menuBar()->addMenu(kit::tr(u"iPod"_s));
    add(ipod, u"Wybierz urządzenie…"_s, true, {}, [this] { m_model->chooseDevice(); });
    add(ipod, u"Odśwież"_s, true, QKeySequence(Qt::CTRL | Qt::Key_R), [this] { m_model->refresh(); });
    add(ipod, u"Wgraj muzykę"_s, true, {}, [this] { m_model->transfer(); });
    add(ipod, u"Wysuń iPoda"_s, true, {}, [this] { m_model->eject(); });
    m_menus = {file, language, ipod};
}

QAction *MainWindow::action(const QString &polishTitle) const
{
    if (polishTitle == m_refreshTool->objectName())
        return m_refreshTool;
    for (QAction *a : m_actions)
        if (a->objectName() == polishTitle)
            return a;
    return nullptr;
}

void MainWindow::updateActions()
{
    const bool busy = m_model->busy();
    const auto &device = m_model->device();
    const bool queueEmpty = m_model->queueCount() == 0;
    for (QAction *a : std::as_const(m_actions)) {
        const QString name = a->objectName();
        if (name == u"Dodaj muzykę…"_s || name == u"Wybierz urządzenie…"_s)
            a->setEnabled(!busy);
        else if (name == u"Wgraj muzykę"_s)
            a->setEnabled(!busy && device && !queueEmpty);
        else if (name == u"Wysuń iPoda"_s)
            a->setEnabled(!busy && device && device->isVolume);
    }
    m_refreshTool->setEnabled(!busy);
}

void MainWindow::showPage()
{
    if (!m_column)
        return;
    const Section section = m_model->section();
    QWidget *page = pages::make(section, m_model, m_column);
    auto *column = static_cast<QVBoxLayout *>(m_column->layout());
    delete column->replaceWidget(m_page, page);
    m_page->hide();
    m_page->deleteLater();
    m_page = page;
    column->setStretchFactor(m_page, 1);
    const bool inspector = section != Section::device;
    m_inspector->setVisible(inspector);
    m_inspectorDivider->setVisible(inspector);
}

void MainWindow::chooseLanguage(const QString &code)
{
    const bool changed = storedLanguage() != code;
    Defaults::setString(u"appLanguage"_s, code);
    emit m_model->objectWillChange();
    if (!changed && m_builtLanguage == code)
        return;
    // The sidebar's picker or a menu item may be the sender: the content goes
    // once their signal has been handled.
    QTimer::singleShot(0, this, [this] {
        if (m_builtLanguage == storedLanguage())
            return;
        build();
        // The alert's texts follow the language too.
        if (m_alert)
            showAlert();
        emit rebuilt();
    });
}

void MainWindow::showAlert()
{
    const auto &alert = m_model->alert();
    if (!alert) {
        if (m_alert) {
            QMessageBox *box = m_alert;
            m_alert = nullptr;
            box->close();
        }
        return;
    }
    if (!m_alert) {
        auto *box = new QMessageBox(this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->setIcon(QMessageBox::NoIcon);
        box->setStandardButtons(QMessageBox::Ok);
        // Any way the alert goes (the button, Esc, the window's close button) clears the model's.
        connect(box, &QDialog::finished, this, [this, box] {
            if (m_alert == box) {
                m_alert = nullptr;
                m_model->setAlert(std::nullopt);
            }
        });
        m_alert = box;
        box->setWindowTitle(u"Vontaro"_s);
        box->setText(u"Vontaro"_s);
        box->setInformativeText(kit::tr(*alert));
        box->button(QMessageBox::Ok)->setText(kit::tr(u"OK"_s));
        // The box sizes itself to its text; a short message would leave it so
        // narrow that the text wraps every few words and the title bar cuts the
        // name. A strut across its layout (laid out anew with the texts, so it
        // comes last) gives it a readable width.
        if (auto *grid = qobject_cast<QGridLayout *>(box->layout()))
            grid->addItem(new QSpacerItem(alertWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0,
                          1, grid->columnCount());
        box->open();
        return;
    }
    m_alert->setInformativeText(kit::tr(*alert));
    m_alert->button(QMessageBox::Ok)->setText(kit::tr(u"OK"_s));
}

QDialog *MainWindow::sheet(const char *property) const
{
    return m_sheets.value(QByteArray(property));
}

template <typename Value>
void MainWindow::followSheet(const char *property, const Value &value, std::function<void()> clear,
                             std::function<QDialog *()> make)
{
    const QByteArray key(property);
    QPointer<QDialog> open = m_sheets.value(key);
    if (!value) {
        if (open) {
            m_sheets.remove(key);
            open->close();
        }
        return;
    }
    if (open) {
        // Another value while one is shown: the shown sheet gives way.
        m_sheets.remove(key);
        open->close();
    }
    QDialog *dialog = make();
    if (!dialog)
        return;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    m_sheets.insert(key, dialog);
    connect(dialog, &QDialog::finished, this, [this, key, dialog, clear] {
        if (m_sheets.value(key) != dialog)
            return;
        m_sheets.remove(key);
        clear();
    });
    dialog->open();
}
