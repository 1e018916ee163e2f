#include "ui/coverflow/coverflowview.h"

#include "model/modeltasks.h"
#include "model/tavomodel.h"
#include "platform/text.h"
#include "ui/coverflow/flowgeometry.h"
#include "ui/coverflow/flowstage.h"
#include "ui/kit/kit.h"
#include "ui/shell/pages.h"

#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *label(const QString &text, double size, QFont::Weight weight, const QColor &color, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setFont(kit::font(size, weight));
    l->setTextFormat(Qt::PlainText);
    kit::setTextColor(l, color);
    return l;
}

// The count in the header: "12 albumów", translated as one text.
QString albumCount(qsizetype count)
{
    return kit::tr(text::count(count, u"{0} album"_s, u"{0} albumy"_s, u"{0} albumów"_s));
}

} // namespace

CoverFlowView::CoverFlowView(TavoModel *model, bool reduceMotion, std::function<void()> close, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_reduceMotion(reduceMotion)
    , m_close(std::move(close))
{
    // The page is dark whatever the rest of the program uses.
    setPalette(kit::darkPalette());
    setMinimumSize(800, 640);
    const QPalette dark = palette();
    const QColor primary = kit::primaryText(dark);
    const QColor secondary = kit::secondaryText(dark);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(18);

    // Header.
    auto *header = new QHBoxLayout;
    header->setContentsMargins(28, 24, 28, 0);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(label(u"Cover Flow"_s, kit::size::title2, QFont::Bold, primary, this));
    titles->addWidget(
        label(kit::tr(u"Sekret z 2007 · albumy z Twojego iPoda"_s), kit::size::caption, QFont::Normal, secondary, this));
    header->addLayout(titles);
    header->addStretch(1);
    m_count = label(albumCount(0), kit::size::caption, QFont::Normal, secondary, this);
    header->addWidget(m_count);
    m_fullScreenButton = new QPushButton(this);
    m_fullScreenButton->setEnabled(false);
    connect(m_fullScreenButton, &QPushButton::clicked, this, &CoverFlowView::toggleFullScreen);
    header->addWidget(m_fullScreenButton);
    m_closeButton = new QPushButton(kit::tr(u"Zamknij"_s), this);
    m_closeButton->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(m_closeButton, &QPushButton::clicked, this, &CoverFlowView::closeOrLeaveFullScreen);
    header->addWidget(m_closeButton);
    page->addLayout(header);

    // Empty page.
    m_emptyPage = new QWidget(this);
    auto *empty = new QVBoxLayout(m_emptyPage);
    empty->setContentsMargins(0, 0, 0, 0);
    empty->setSpacing(18);
    empty->addStretch(1);
    auto *symbol = new QLabel(m_emptyPage);
    symbol->setPixmap(kit::symbolPixmap(u"rectangle.stack"_s, 60, secondary, devicePixelRatioF()));
    symbol->setAlignment(Qt::AlignCenter);
    empty->addWidget(symbol);
    auto *invitation = label(kit::tr(u"Twoje okładki czekają po drugiej stronie kabla."_s), kit::size::headline,
                             QFont::DemiBold, primary, m_emptyPage);
    invitation->setAlignment(Qt::AlignCenter);
    empty->addWidget(invitation);
    m_loadingRow = new QWidget(m_emptyPage);
    {
        auto *row = new QHBoxLayout(m_loadingRow);
        row->setContentsMargins(0, 0, 0, 0);
        row->addStretch(1);
        auto *spinner = new QProgressBar(m_loadingRow);
        spinner->setRange(0, 0); // indeterminate
        spinner->setTextVisible(false);
        spinner->setFixedWidth(120);
        row->addWidget(spinner);
        // Shown as written in every language.
        row->addWidget(label(u"Przygotowuję okładki…"_s, kit::size::caption, QFont::Normal, secondary, m_loadingRow));
        row->addStretch(1);
    }
    empty->addWidget(m_loadingRow);
    m_scanButton = new QPushButton(kit::tr(u"Odczytaj albumy z iPoda"_s), m_emptyPage);
    m_scanButton->setDefault(true);
    kit::makeProminent(m_scanButton);
    connect(m_scanButton, &QPushButton::clicked, m_model, &TavoModel::scanDeviceMusic);
    empty->addWidget(m_scanButton, 0, Qt::AlignHCenter);
    m_progress = new QProgressBar(m_emptyPage);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->setFixedWidth(320);
    empty->addWidget(m_progress, 0, Qt::AlignHCenter);
    m_status = label(QString(), kit::size::caption, QFont::Normal, primary, m_emptyPage);
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setWordWrap(true);
    empty->addWidget(m_status);
    empty->addStretch(1);
    page->addWidget(m_emptyPage, 1);

    // Stage page.
    m_flowPage = new QWidget(this);
    auto *flow = new QVBoxLayout(m_flowPage);
    flow->setContentsMargins(0, 0, 0, 0);
    flow->setSpacing(18);
    m_stage = new FlowStage(m_flowPage);
    m_stage->setReduceMotion(m_reduceMotion);
    flow->addWidget(m_stage, 1);
    auto *caption = new QVBoxLayout;
    caption->setContentsMargins(24, 0, 24, 0);
    caption->setSpacing(7);
    m_title = label(QString(), 23, QFont::DemiBold, primary, m_flowPage);
    m_artist = label(QString(), kit::size::title3, QFont::Normal, secondary, m_flowPage);
    m_info = label(QString(), kit::size::caption, QFont::Normal, secondary, m_flowPage);
    for (QLabel *l : {m_title, m_artist, m_info}) {
        l->setAlignment(Qt::AlignCenter);
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // one line, cut when too long
        caption->addWidget(l);
    }
    flow->addLayout(caption);
    auto *controls = new QHBoxLayout;
    controls->setSpacing(22);
    controls->addStretch(1);
    m_previous = new QPushButton(m_flowPage);
    m_previous->setIcon(kit::symbolIcon(u"chevron.left"_s, primary));
    m_previous->setShortcut(QKeySequence(Qt::Key_Left));
    m_open = new QPushButton(kit::tr(u"Otwórz album"_s), m_flowPage);
    m_open->setShortcut(QKeySequence(Qt::Key_Return));
    m_listen = new QPushButton(kit::tr(u"Odsłuchaj"_s), m_flowPage);
    m_next = new QPushButton(m_flowPage);
    m_next->setIcon(kit::symbolIcon(u"chevron.right"_s, primary));
    m_next->setShortcut(QKeySequence(Qt::Key_Right));
    for (QPushButton *b : {m_previous, m_open, m_listen, m_next})
        controls->addWidget(b);
    controls->addStretch(1);
    flow->addLayout(controls);
    connect(m_previous, &QPushButton::clicked, this, [this] { select(m_index - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { select(m_index + 1); });
    connect(m_open, &QPushButton::clicked, this, &CoverFlowView::openCentred);
    connect(m_listen, &QPushButton::clicked, this, &CoverFlowView::listen);
    auto *hint = label(kit::tr(u"Przesuwaj okładki gestem lub strzałkami. Kliknij środkową, aby zajrzeć do środka."_s),
                       kit::size::caption2, QFont::Normal, secondary, m_flowPage);
    hint->setAlignment(Qt::AlignCenter);
    flow->addWidget(hint);
    if (QWidget *player = pages::miniPlayer(m_model, m_flowPage))
        flow->addWidget(player);
    flow->addSpacing(8);
    page->addWidget(m_flowPage, 1);

    connect(m_stage, &FlowStage::itemClicked, this, [this](int position) {
        if (position == m_index)
            openCentred();
        else
            select(position);
    });
    connect(m_stage, &FlowStage::dragged, this, [this](int step) { select(m_index + step); });

    // The model.
    for (auto signal : {&TavoModel::busyChanged, &TavoModel::progressChanged, &TavoModel::statusChanged,
                        &TavoModel::deviceChanged})
        connect(m_model, signal, this, &CoverFlowView::refreshEmptyPage);
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(debounceMilliseconds);
    connect(&m_debounce, &QTimer::timeout, this, [this] { rebuild(m_model->deviceTracks()); });
    connect(m_model, &TavoModel::deviceTracksChanged, &m_debounce, qOverload<>(&QTimer::start));
    // The current list is built as soon as the view exists, after the same delay.
    m_debounce.start();

    refreshFullScreen();
    refreshPage();
}

CoverFlowView::~CoverFlowView()
{
    if (m_window)
        m_window->removeEventFilter(this);
}

void CoverFlowView::shutDown()
{
    m_shutDown = true;
    ++m_generation; // a build still running applies nothing
    m_debounce.stop();
    disconnect(m_model, nullptr, this, nullptr);
    disconnect(m_model, nullptr, &m_debounce, nullptr);
    if (m_detailSheet)
        m_detailSheet->close();
}

void CoverFlowView::rebuild(const QList<Track> &tracks)
{
    if (m_shutDown)
        return;
    const int generation = ++m_generation;
    ++m_buildsStarted;
    std::optional<QString> centred;
    if (m_index >= 0 && m_index < m_items.size())
        centred = m_items[m_index].id;
    m_loading = true;
    refreshEmptyPage();
    // The continuation never runs once the view is gone (the window closed).
    ModelTasks::run(
        this, QThreadPool::globalInstance(), [prepare = m_prepare, tracks] { return prepare(tracks); },
        [this, generation, centred](const ModelTasks::Outcome<QList<FlowAlbum>> &outcome) {
            // Only the last build started is applied; a newer one or a
            // closing window has moved the generation on.
            if (generation != m_generation || !outcome.value)
                return;
            applyItems(*outcome.value, centred);
        });
}

void CoverFlowView::applyItems(const QList<FlowAlbum> &items, const std::optional<QString> &centred)
{
    m_items = items;
    m_index = 0;
    if (centred) {
        for (qsizetype i = 0; i < m_items.size(); ++i) {
            if (m_items[i].id == *centred) {
                m_index = int(i);
                break;
            }
        }
    }
    m_loading = false;
    m_stage->setItems(m_items, m_index); // in place at once, no animation
    refreshPage();
    emit itemsApplied();
}

void CoverFlowView::select(int i)
{
    if (m_items.isEmpty())
        return;
    m_index = flowgeometry::clampIndex(i, int(m_items.size()));
    m_stage->setIndex(m_index);
    refreshCaption();
}

void CoverFlowView::openCentred()
{
    if (m_index >= 0 && m_index < m_items.size())
        openDetail(m_items[m_index].album);
}

void CoverFlowView::openDetail(const Album &album)
{
    if (m_detailSheet)
        return; // one sheet at a time, as the page shows one
    m_detail = album;
    // Cover Flow shows the device's albums, so the sheet works on the device
    // side whatever side the library page shows.
    QDialog *sheet = sheets::albumDetail(m_model, album, this, true);
    if (!sheet)
        return;
    m_detailSheet = sheet;
    connect(sheet, &QDialog::finished, this, [this, sheet] {
        m_detail.reset();
        sheet->deleteLater();
    });
    sheet->open();
}

void CoverFlowView::listen()
{
    if (m_index < 0 || m_index >= m_items.size())
        return;
    const QList<Track> &tracks = m_items[m_index].album.tracks;
    if (tracks.isEmpty())
        return;
    m_model->playback()->play(tracks.first(), tracks);
}

void CoverFlowView::refreshPage()
{
    const bool empty = m_items.isEmpty();
    m_emptyPage->setVisible(empty);
    m_flowPage->setVisible(!empty);
    m_count->setText(albumCount(m_items.size()));
    refreshEmptyPage();
    refreshCaption();
}

void CoverFlowView::refreshEmptyPage()
{
    m_loadingRow->setVisible(m_loading);
    m_scanButton->setEnabled(!m_model->busy() && !m_loading && m_model->device().has_value());
    m_progress->setVisible(m_model->busy());
    m_progress->setValue(int(std::lround(std::clamp(m_model->progress(), 0.0, 1.0) * 1000)));
    m_status->setText(kit::tr(m_model->status()));
}

void CoverFlowView::refreshCaption()
{
    const int count = int(m_items.size());
    m_previous->setEnabled(count > 0 && m_index > 0);
    m_next->setEnabled(count > 0 && m_index < count - 1);
    if (count == 0) {
        m_stage->setAccessibleName(QString());
        return;
    }
    const FlowAlbum &item = m_items[m_index];
    m_title->setText(item.album.title);
    m_artist->setText(kit::artistName(item.album.artist));
    m_info->setText(kit::tr(flowgeometry::infoLine(m_index, count, int(item.album.tracks.size()), item.discCount)));
    m_stage->setAccessibleName(kit::artistName(item.album.artist) + u", "_s + item.album.title);
}

void CoverFlowView::refreshFullScreen()
{
    m_fullScreenButton->setEnabled(!m_window.isNull());
    if (m_fullScreen) {
        m_fullScreenButton->setText(kit::tr(u"Wyjdź z pełnego ekranu"_s));
        m_fullScreenButton->setIcon(kit::symbolIcon(u"arrow.down.right.and.arrow.up.left"_s, kit::primaryText(palette())));
    } else {
        m_fullScreenButton->setText(kit::tr(u"Pełny ekran"_s));
        m_fullScreenButton->setIcon(kit::symbolIcon(u"arrow.up.left.and.arrow.down.right"_s, kit::primaryText(palette())));
    }
    // A new text replaces a button's shortcut with its mnemonic: set it again.
    m_fullScreenButton->setShortcut(QKeySequence(Qt::CTRL | Qt::META | Qt::Key_F));
}

void CoverFlowView::toggleFullScreen()
{
    if (!m_window)
        return;
    m_window->setWindowState(m_window->windowState() ^ Qt::WindowFullScreen);
}

void CoverFlowView::closeOrLeaveFullScreen()
{
    if (m_fullScreen)
        toggleFullScreen(); // the window stays open
    else if (m_close)
        m_close();
}

void CoverFlowView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_window)
        return;
    // The window is known one turn of the event loop after the view is shown;
    // until then the full-screen button stays disabled.
    QTimer::singleShot(0, this, [this] {
        if (m_window || !isVisible())
            return;
        m_window = window();
        m_window->installEventFilter(this);
        m_fullScreen = m_window->windowState().testFlag(Qt::WindowFullScreen);
        refreshFullScreen();
    });
}

bool CoverFlowView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::WindowStateChange) {
        m_fullScreen = m_window->windowState().testFlag(Qt::WindowFullScreen);
        refreshFullScreen();
    }
    return QWidget::eventFilter(watched, event);
}

void CoverFlowView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor::fromRgbF(0.12f, 0.12f, 0.12f));
    gradient.setColorAt(1, Qt::black);
    // Under the stage this is painted with every frame: in bands, as the
    // stage itself, so that the frame waits for no other thread.
    const QRect area = event->rect() & rect();
    FlowStage::paintInBands(painter, area, [&] { painter.fillRect(area, gradient); });
}
