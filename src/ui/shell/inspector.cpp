#include "ui/shell/inspector.h"

#include "model/tavomodel.h"
#include "platform/text.h"
#include "platform/workspace.h"
#include "ui/kit/kit.h"
#include "ui/shell/ipodview.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *makeLabel(const QString &polish, double size, QFont::Weight weight, QWidget *parent, bool secondary = false)
{
    auto *label = new QLabel(polish.isEmpty() ? QString() : kit::tr(polish), parent);
    label->setFont(kit::font(size, weight));
    if (secondary)
        kit::setTextColor(label, kit::secondaryText(parent->palette()));
    return label;
}

QPixmap dot(const QColor &color)
{
    QPixmap pixmap(14, 14);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, 7, 7));
    return pixmap;
}

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

} // namespace

double Inspector::usedFraction(qint64 total, qint64 available)
{
    if (total < 1)
        return 0;
    return std::clamp((double(total) - double(available)) / double(total), 0.0, 1.0);
}

Inspector::Inspector(TavoModel *model, Workspace *workspace, QWidget *parent)
    : QWidget(parent), m_model(model), m_workspace(workspace)
{
    setFixedWidth(fixedWidth);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    // A short window makes the drawing smaller so that everything else stays
    // in view; only when even the smallest drawing leaves too little room (a
    // very large font) does the column scroll.
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(m_scroll);
    m_body = new QWidget(m_scroll);
    m_body->setAutoFillBackground(false);
    m_scroll->setWidget(m_body);
    auto *layout = new QVBoxLayout(m_body);
    layout->setContentsMargins(24, 20, 24, 18);
    layout->setSpacing(14);

    layout->addWidget(makeLabel(u"Twój iPod"_s, 25, QFont::Bold, this));

    auto *connectionRow = new QHBoxLayout;
    connectionRow->setSpacing(7);
    m_dot = new QLabel(this);
    m_dot->setFixedSize(7, 7);
    m_connection = makeLabel(QString(), 12, QFont::Normal, this, true);
    connectionRow->addWidget(m_dot);
    connectionRow->addWidget(m_connection, 1);
    layout->addLayout(connectionRow);

    auto *ipodBox = new QWidget(this);
    auto *ipodLayout = new QVBoxLayout(ipodBox);
    ipodLayout->setContentsMargins(0, 8, 0, 8);
    m_ipod = new IPodView(model, std::nullopt, 200, ipodBox);
    ipodLayout->addWidget(m_ipod, 0, Qt::AlignHCenter);
    ipodBox->setToolTip(
        kit::tr(u"Podgląd zapisanego motywu, bez odczytu ekranu na żywo. Rok 2007… niektóre wspomnienia budzą się za trzecim razem."_s));
    layout->addWidget(ipodBox);

    // With a device: its facts, the file-manager button, a divider and the themes.
    m_deviceBlock = new QWidget(this);
    auto *deviceLayout = new QVBoxLayout(m_deviceBlock);
    deviceLayout->setContentsMargins(0, 0, 0, 0);
    deviceLayout->setSpacing(18);
    auto *facts = new QVBoxLayout;
    facts->setSpacing(9);
    m_name = makeLabel(QString(), 16, QFont::DemiBold, m_deviceBlock);
    m_version = makeLabel(QString(), 11, QFont::Normal, m_deviceBlock, true);
    m_version->setWordWrap(true);
    m_capacity = makeLabel(QString(), 12, QFont::Normal, m_deviceBlock, true);
    m_usage = new QProgressBar(m_deviceBlock);
    m_usage->setRange(0, 1000);
    m_usage->setTextVisible(false);
    m_usage->setMaximumHeight(6);
    m_testFolder = new QLabel(m_deviceBlock);
    {
        auto *row = new QHBoxLayout;
        row->setSpacing(5);
        auto *icon = new QLabel(m_deviceBlock);
        icon->setPixmap(kit::symbolPixmap(u"folder"_s, 12, kit::orange(palette()), devicePixelRatioF()));
        m_testFolder->setText(kit::tr(u"Folder testowy"_s));
        m_testFolder->setFont(kit::font(kit::size::caption));
        kit::setTextColor(m_testFolder, kit::orange(palette()));
        row->addWidget(icon);
        row->addWidget(m_testFolder, 1);
        auto *holder = new QWidget(m_deviceBlock);
        holder->setLayout(row);
        row->setContentsMargins(0, 0, 0, 0);
        holder->setObjectName(u"testFolderRow"_s);
        facts->addWidget(m_name);
        facts->addWidget(m_version);
        facts->addWidget(m_capacity);
        facts->addWidget(m_usage);
        facts->addWidget(holder);
    }
    deviceLayout->addLayout(facts);
    m_open = new QPushButton(kit::symbolIcon(u"folder"_s, kit::blue(palette())), kit::tr(u"Otwórz w menedżerze plików"_s), m_deviceBlock);
    m_open->setFlat(true);
    m_open->setCursor(Qt::PointingHandCursor);
    m_open->setStyleSheet(u"QPushButton { text-align: left; border: none; padding: 0; color: %1; }"_s.arg(kit::blue(palette()).name()));
    deviceLayout->addWidget(m_open, 0, Qt::AlignLeft);
    deviceLayout->addWidget(divider(m_deviceBlock));
    auto *themes = new QVBoxLayout;
    themes->setSpacing(8);
    {
        auto *row = new QHBoxLayout;
        row->setSpacing(6);
        auto *icon = new QLabel(m_deviceBlock);
        icon->setPixmap(kit::symbolPixmap(u"paintbrush"_s, 14, kit::blue(palette()), devicePixelRatioF()));
        row->addWidget(icon);
        row->addWidget(makeLabel(u"Motywy Rockbox"_s, 13, QFont::DemiBold, m_deviceBlock), 1);
        themes->addLayout(row);
    }
    m_themeCount = makeLabel(QString(), 12, QFont::Normal, m_deviceBlock, true);
    themes->addWidget(m_themeCount);
    m_themes = new QPushButton(kit::tr(u"Przeglądaj motywy"_s), m_deviceBlock);
    themes->addWidget(m_themes, 0, Qt::AlignLeft);
    deviceLayout->addLayout(themes);
    layout->addWidget(m_deviceBlock);

    m_hint = makeLabel(u"Podłącz iPoda przez USB. Rockbox powinien być widoczny jako dysk na komputerze."_s, 12, QFont::Normal, this, true);
    m_hint->setWordWrap(true);
    layout->addWidget(m_hint);

    layout->addStretch(1);
    layout->addSpacing(4);
    m_choose = new QPushButton(kit::tr(u"Wybierz urządzenie…"_s), this);
    layout->addWidget(m_choose);
    m_eject = new QPushButton(kit::symbolIcon(u"eject.fill"_s, kit::primaryText(palette())), kit::tr(u"Wysuń iPoda"_s), this);
    m_eject->setMinimumHeight(34);
    layout->addWidget(m_eject);

    connect(m_open, &QPushButton::clicked, this, [this] {
        if (m_model->device())
            m_workspace->openUrl(QUrl::fromLocalFile(m_model->device()->root));
    });
    connect(m_themes, &QPushButton::clicked, this, [this] { m_model->setSection(Section::themes); });
    connect(m_choose, &QPushButton::clicked, this, [this] { m_model->chooseDevice(); });
    connect(m_eject, &QPushButton::clicked, this, [this] { m_model->eject(); });
    for (auto signal : {&TavoModel::deviceChanged, &TavoModel::busyChanged, &TavoModel::themesChanged,
                        &TavoModel::objectWillChange})
        connect(model, signal, this, &Inspector::update);
    // The configured theme is found through the themes' own settings too, which
    // are read after the themes: the drawing follows them as the device page does.
    for (auto signal : {&TavoModel::themePreviewsChanged, &TavoModel::themesChanged, &TavoModel::deviceConfigChanged,
                        &TavoModel::themeSettingsChanged, &TavoModel::deviceChanged})
        connect(model, signal, this, &Inspector::showPreview);
    update();
    showPreview();
}

void Inspector::update()
{
    const auto &device = m_model->device();
    const bool busy = m_model->busy();
    m_dot->setPixmap(dot(device ? kit::green(palette()) : kit::tertiaryText(palette())));
    m_connection->setText(kit::tr(device ? u"Połączony"_s : u"Czeka na połączenie"_s));
    m_deviceBlock->setVisible(device.has_value());
    m_hint->setVisible(!device);
    if (device) {
        const QFontMetrics metrics(m_name->font());
        m_name->setText(metrics.elidedText(device->name, Qt::ElideRight, fixedWidth - 48));
        m_name->setToolTip(device->name);
        // The fallback "wersja nieznana" is a text of ours; a real version stays as it is.
        m_version->setText(kit::tr(u"Rockbox · "_s + kit::tr(device->version)));
        m_capacity->setText(kit::tr(text::byteCount(device->total) + u" · "_s + text::byteCount(device->available) + u" wolne"_s));
        m_usage->setValue(int(usedFraction(device->total, device->available) * 1000));
        m_deviceBlock->findChild<QWidget *>(u"testFolderRow"_s)->setVisible(!device->isVolume);
        m_themeCount->setText(kit::tr(text::count(m_model->themes().size(), u"{0} zainstalowany motyw"_s,
                                                u"{0} zainstalowane motywy"_s, u"{0} zainstalowanych motywów"_s)));
    }
    m_choose->setEnabled(!busy);
    m_eject->setEnabled(!busy && device && device->isVolume);
    scheduleFit();
}

void Inspector::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    scheduleFit();
}

void Inspector::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    scheduleFit();
}

void Inspector::scheduleFit()
{
    // Once what changed has been laid out; several changes fit once.
    if (m_fitPending)
        return;
    m_fitPending = true;
    QTimer::singleShot(0, this, [this] {
        m_fitPending = false;
        fitDrawing();
    });
}

void Inspector::fitDrawing()
{
    // Everything but the drawing at its natural height; the drawing takes what is left.
    QLayout *layout = m_body->layout();
    const int width = fixedWidth;
    const int natural = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
    const int drawing = m_ipod->sizeHint().height();
    const int room = height() - (natural - drawing);
    m_ipod->setMaxHeight(std::clamp(double(room), double(smallestDrawing), IPodView::maxHeight));
}

void Inspector::showPreview()
{
    std::optional<ThemePreview> preview;
    if (const auto theme = m_model->configuredTheme()) {
        const auto &previews = m_model->themePreviews();
        if (auto it = previews.find(theme->url); it != previews.end())
            preview = *it;
    }
    m_ipod->setPreview(preview);
}
