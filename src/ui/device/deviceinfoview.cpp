#include "ui/device/deviceinfoview.h"

#include "device/ipodillustration.h"
#include "model/tavomodel.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/workspace.h"
#include "ui/device/storagebar.h"
#include "ui/kit/kit.h"
#include "ui/kit/wheelguard.h"
#include "ui/shell/ipodview.h"

#include <QComboBox>
#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyleHints>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QScrollArea>
#include <QStackedLayout>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Three clicks in a row on the drawing reveal the device's albums in Cover
// Flow, as on the inspector's drawing; the second click of a run arrives as a
// double click.
class TripleClickReveal : public QObject
{
public:
    TripleClickReveal(TavoModel *model, QObject *parent)
        : QObject(parent), m_model(model),
          m_clicks(QGuiApplication::styleHints()->mouseDoubleClickInterval(),
                   std::max(4, QGuiApplication::styleHints()->mouseDoubleClickDistance()))
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton
                && m_clicks.press(qint64(mouse->timestamp()), mouse->position()) == 3)
                m_model->revealCoverFlow();
        }
        return false;
    }

private:
    TavoModel *m_model;
    ClickCounter m_clicks;
};

const QColor white(Qt::white);

QColor faded(QColor color, double opacity)
{
    color.setAlphaF(float(opacity));
    return color;
}

QColor purple(const QPalette &palette)
{
    return kit::isDark(palette) ? QColor(0xBF, 0x5A, 0xF2) : QColor(0xAF, 0x52, 0xDE);
}

QColor gray() { return QColor(0x8E, 0x8E, 0x93); }

QLabel *label(const QFont &font, const QColor &color, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    kit::setTextColor(l, color);
    return l;
}

QFont tracked(QFont font, double spacing)
{
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return font;
}

// A rounded card painted in one colour under its children.
class Card : public QWidget
{
public:
    Card(std::function<QColor(const QPalette &)> fill, QWidget *parent) : QWidget(parent), m_fill(std::move(fill)) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_fill(palette()));
        painter.drawRoundedRect(QRectF(rect()), 16, 16);
    }

private:
    std::function<QColor(const QPalette &)> m_fill;
};

// The hero's night-blue backdrop with its soft blue glow, clipped to its corners.
class HeroBackdrop : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), 24, 24);
        painter.setClipPath(clip);
        QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
        gradient.setColorAt(0, QColor::fromRgbF(0.075f, 0.09f, 0.17f));
        gradient.setColorAt(1, QColor::fromRgbF(0.13f, 0.12f, 0.26f));
        painter.fillRect(rect(), gradient);
        // A 280-wide blue circle blurred by 65, 230 right of and 15 below the centre.
        const QPointF centre = QRectF(rect()).center() + QPointF(230, 15);
        const double radius = 140 + 65;
        QRadialGradient glow(centre, radius);
        glow.setColorAt(0, faded(QColor(0x0A, 0x84, 0xFF), 0.25));
        glow.setColorAt(140.0 / radius * 0.6, faded(QColor(0x0A, 0x84, 0xFF), 0.2));
        glow.setColorAt(1, faded(QColor(0x0A, 0x84, 0xFF), 0));
        painter.fillRect(rect(), glow);
    }
};

struct FinishOption {
    const char16_t *value;
    const char16_t *label;
};

constexpr FinishOption finishOptions[] = {
    {u"auto", u"Domyślny"},  {u"white", u"Biały"},         {u"black", u"Czarny"},    {u"silver", u"Srebrny"},
    {u"blue", u"Niebieski"}, {u"green", u"Zielony"},       {u"orange", u"Pomarańczowy"},
    {u"purple", u"Fioletowy"}, {u"pink", u"Różowy"},       {u"gold", u"Złoty"},      {u"u2", u"U2"},
};

// Selects the option whose value is `value`; none when no option has it.
void selectValue(QComboBox *picker, const QString &value)
{
    picker->setCurrentIndex(picker->findData(value));
}

} // namespace

DeviceInfoView::DeviceInfoView(TavoModel *model, Workspace *workspace, QWidget *parent)
    : QWidget(parent), m_model(model), m_workspace(workspace ? workspace : &Workspace::system())
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outer->addWidget(scroll);

    auto *content = new QWidget(scroll);
    content->setAutoFillBackground(true);
    content->setBackgroundRole(QPalette::Base);
    m_states = new QStackedLayout(content);
    m_noDevice = buildNoDevice();
    m_withDevice = buildDevice();
    m_states->addWidget(m_noDevice);
    m_states->addWidget(m_withDevice);
    scroll->setWidget(content);
    kit::keepWheelsForPage(content);

    const auto again = [this] { refresh(); };
    for (auto signal : {&TavoModel::deviceChanged, &TavoModel::deviceInfoChanged, &TavoModel::deviceConfigChanged,
                        &TavoModel::themesChanged, &TavoModel::themeSettingsChanged,
                        &TavoModel::themePreviewsChanged, &TavoModel::backupsChanged, &TavoModel::busyChanged,
                        &TavoModel::objectWillChange, &TavoModel::deviceVolumeChanged})
        connect(model, signal, this, again);
    connect(model, &TavoModel::deviceTracksChanged, this, [this] {
        recountMusic();
        refresh();
    });
    recountMusic();
    refresh();
}

QWidget *DeviceInfoView::buildNoDevice()
{
    auto *block = new QWidget(this);
    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(28 + 50, 28 + 50, 28 + 50, 28 + 50);
    layout->setSpacing(18);
    layout->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    m_placeholderIPod = new IPodIllustration(m_model->deviceProfile(), m_model->deviceFinish(), std::nullopt, 220, 370,
                                             block);
    m_placeholderIPod->setObjectName(u"placeholderIPod"_s);
    layout->addWidget(m_placeholderIPod, 0, Qt::AlignHCenter);
    auto *title = label(kit::font(kit::size::title2, QFont::Bold), kit::primaryText(palette()), block);
    title->setObjectName(u"waitingTitle"_s);
    title->setText(kit::tr(u"Twój iPod czeka na połączenie"_s));
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    auto *choose = new QPushButton(kit::tr(u"Wybierz urządzenie…"_s), block);
    choose->setObjectName(u"chooseDevice"_s);
    connect(choose, &QPushButton::clicked, m_model, &TavoModel::chooseDevice);
    layout->addWidget(choose, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return block;
}

QWidget *DeviceInfoView::buildDevice()
{
    auto *page = new QWidget(this);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(22);
    layout->addWidget(buildHero());
    layout->addWidget(buildStatistics());
    layout->addWidget(buildStorage());
    layout->addWidget(buildCards());
    layout->addStretch(1);
    return page;
}

QWidget *DeviceInfoView::buildHero()
{
    auto *hero = new HeroBackdrop(this);
    hero->setObjectName(u"hero"_s);
    // The controls inside draw in the dark appearance.
    QPalette dark = kit::darkPalette();
    dark.setColor(QPalette::WindowText, white);
    hero->setPalette(dark);
    hero->setMinimumHeight(450);
    auto *row = new QHBoxLayout(hero);
    row->setContentsMargins(30, 30, 30, 30);
    row->setSpacing(28);

    auto *left = new QWidget(hero);
    auto *column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(15);

    m_badge = label(tracked(kit::font(10, QFont::Bold), 1.8), QColor(0x63, 0xE6, 0xE2), left);
    m_badge->setObjectName(u"badge"_s);
    auto *badgeRow = new QHBoxLayout;
    badgeRow->setSpacing(5);
    auto *dot = new QLabel(left);
    dot->setPixmap(kit::symbolPixmap(u"circle.fill"_s, 8, QColor(0x63, 0xE6, 0xE2), devicePixelRatioF()));
    badgeRow->addWidget(dot);
    badgeRow->addWidget(m_badge);
    badgeRow->addStretch(1);
    column->addLayout(badgeRow);

    QFont nameFont = kit::font(38, QFont::Bold);
    nameFont.setFamilies({u"SF Pro Rounded"_s, u"Nunito"_s, nameFont.family()});
    m_modelName = label(nameFont, white, left);
    m_modelName->setObjectName(u"modelName"_s);
    m_modelName->setWordWrap(true);
    column->addWidget(m_modelName);

    m_capacity = label(kit::font(kit::size::subheadline), faded(white, 0.7), left);
    m_capacity->setObjectName(u"capacity"_s);
    column->addWidget(m_capacity);

    auto *grid = new QGridLayout;
    grid->setContentsMargins(0, 7, 0, 7);
    grid->setVerticalSpacing(14);
    grid->setHorizontalSpacing(16);
    for (int i = 0; i < 8; ++i) {
        auto *cell = new QVBoxLayout;
        cell->setSpacing(4);
        auto *name = label(tracked(kit::font(9, QFont::Medium), 0.7), faded(white, 0.5), left);
        auto *value = label(kit::font(12, QFont::Medium), faded(white, 0.9), left);
        value->setObjectName(u"fact%1"_s.arg(i));
        value->setWordWrap(true);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        cell->addWidget(name);
        cell->addWidget(value);
        m_factLabels.append(name);
        m_factValues.append(value);
        // The whole column's width: a value that wraps (a long font name) keeps every line.
        grid->addLayout(cell, i / 2, i % 2, Qt::AlignTop);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    column->addLayout(grid);

    m_rootPath = label(kit::font(kit::size::caption2), faded(white, 0.55), left);
    m_rootPath->setObjectName(u"rootPath"_s);
    m_rootPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_rootPath);

    auto *pickers = new QHBoxLayout;
    const QFont caption = kit::font(kit::size::caption);
    auto *modelTitle = label(caption, white, left);
    modelTitle->setText(kit::tr(u"Model / grafika"_s));
    m_modelPicker = new QComboBox(left);
    m_modelPicker->setObjectName(u"modelPicker"_s);
    m_modelPicker->setFont(caption);
    m_modelPicker->setMaximumWidth(420);
    m_modelPicker->addItem(kit::tr(u"Automatycznie z Rockbox"_s), u"auto"_s);
    for (const IPodProfile &profile : IPodProfile::all())
        m_modelPicker->addItem(kit::tr(profile.name), profile.id);
    connect(m_modelPicker, &QComboBox::activated, this,
            [this](int index) { m_model->setAppearance(m_modelPicker->itemData(index).toString()); });
    auto *finishTitle = label(caption, white, left);
    finishTitle->setText(kit::tr(u"Kolor"_s));
    m_finishPicker = new QComboBox(left);
    m_finishPicker->setObjectName(u"finishPicker"_s);
    m_finishPicker->setFont(caption);
    m_finishPicker->setMaximumWidth(220);
    for (const FinishOption &option : finishOptions)
        m_finishPicker->addItem(kit::tr(QString::fromUtf16(option.label)), QString::fromUtf16(option.value));
    connect(m_finishPicker, &QComboBox::activated, this,
            [this](int index) { m_model->setFinish(m_finishPicker->itemData(index).toString()); });
    pickers->addWidget(modelTitle);
    pickers->addWidget(m_modelPicker, 1);
    pickers->addWidget(finishTitle);
    pickers->addWidget(m_finishPicker);
    column->addLayout(pickers);

    m_appearanceNote = label(kit::font(kit::size::caption2), faded(white, 0.65), left);
    m_appearanceNote->setObjectName(u"appearanceNote"_s);
    m_appearanceNote->setWordWrap(true);
    column->addWidget(m_appearanceNote);

    m_description = new QLineEdit(left);
    m_description->setObjectName(u"description"_s);
    m_description->setFont(caption);
    m_description->setPlaceholderText(kit::tr(u"Twój opis sprzętu: model, iFlash, bateria…"_s));
    // Stored on every edit, per device, so it survives restarts.
    connect(m_description, &QLineEdit::textEdited, m_model, &TavoModel::setDeviceDescription);
    column->addWidget(m_description);

    auto *buttons = new QHBoxLayout;
    auto *music = new QPushButton(kit::symbolIcon(u"music.note"_s, white), kit::tr(u"Otwórz muzykę"_s), left);
    music->setObjectName(u"openMusic"_s);
    music->setDefault(true);
    kit::makeProminent(music);
    connect(music, &QPushButton::clicked, this, [this] {
        m_model->setLibraryOnDevice(true);
        m_model->setSection(Section::music);
        if (m_model->deviceTracks().isEmpty() && !m_model->busy())
            m_model->scanDeviceMusic();
    });
    auto *folder = new QToolButton(left);
    folder->setObjectName(u"openFolder"_s);
    folder->setIcon(kit::symbolIcon(u"folder"_s, white));
    folder->setToolTip(kit::tr(u"Otwórz dysk w menedżerze plików"_s));
    connect(folder, &QToolButton::clicked, this, [this] {
        if (const auto &device = m_model->device())
            m_workspace->openUrl(QUrl::fromLocalFile(device->root));
    });
    buttons->addWidget(music);
    buttons->addWidget(folder);
    buttons->addStretch(1);
    column->addLayout(buttons);
    column->addStretch(1);
    row->addWidget(left, 1);

    auto *right = new QWidget(hero);
    right->setFixedWidth(250);
    auto *rightColumn = new QVBoxLayout(right);
    rightColumn->setContentsMargins(0, 0, 0, 0);
    rightColumn->setSpacing(12);
    rightColumn->addStretch(1);
    auto *frame = new QWidget(right);
    frame->setFixedSize(230, 340);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    // Drawn at 0.9 of its 220-point width, centred in its frame.
    m_heroIPod = new IPodIllustration(m_model->deviceProfile(), m_model->deviceFinish(), std::nullopt, 220 * 0.9,
                                      370 * 0.9, frame);
    m_heroIPod->setObjectName(u"heroIPod"_s);
    m_heroIPod->installEventFilter(new TripleClickReveal(m_model, m_heroIPod));
    m_heroIPod->setToolTip(kit::tr(u"Rok 2007… niektóre wspomnienia budzą się za trzecim razem."_s));
    auto *shadow = new QGraphicsDropShadowEffect(m_heroIPod);
    shadow->setColor(faded(QColor(0x0A, 0x84, 0xFF), 0.4));
    shadow->setBlurRadius(32);
    shadow->setOffset(0, 16);
    m_heroIPod->setGraphicsEffect(shadow);
    frameLayout->addWidget(m_heroIPod, 0, Qt::AlignCenter);
    rightColumn->addWidget(frame, 0, Qt::AlignHCenter);
    m_themeName = label(kit::font(kit::size::caption, QFont::Bold), white, right);
    m_themeName->setObjectName(u"themeName"_s);
    m_themeName->setAlignment(Qt::AlignCenter);
    rightColumn->addWidget(m_themeName);
    m_previewSource = label(kit::font(10), faded(white, 0.55), right);
    m_previewSource->setObjectName(u"previewSource"_s);
    m_previewSource->setAlignment(Qt::AlignCenter);
    m_previewSource->setWordWrap(true);
    rightColumn->addWidget(m_previewSource);
    auto *note = label(kit::font(9), faded(white, 0.4), right);
    note->setText(kit::tr(u"Podgląd motywu, bez odczytu ekranu na żywo"_s));
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    rightColumn->addWidget(note);
    rightColumn->addStretch(1);
    row->addWidget(right, 0, Qt::AlignVCenter);
    return hero;
}

QWidget *DeviceInfoView::buildStatistics()
{
    auto *rowWidget = new QWidget(this);
    auto *row = new QHBoxLayout(rowWidget);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    struct TileSpec {
        const char16_t *title;
        const char16_t *symbol;
        QColor (*tint)(const QPalette &);
        QLabel **value;
        const char16_t *name;
    };
    const TileSpec tiles[] = {
        {u"Wolne miejsce", u"internaldrive", &kit::blue, &m_freeValue, u"freeTile"},
        {u"Twoja muzyka", u"music.note", &purple, &m_musicValue, u"musicTile"},
        {u"Motywy", u"paintbrush.pointed", &kit::orange, &m_themesValue, u"themesTile"},
    };
    for (const TileSpec &spec : tiles) {
        auto tint = spec.tint;
        auto *tile = new Card([tint](const QPalette &p) { return faded(tint(p), 0.07); }, rowWidget);
        auto *column = new QVBoxLayout(tile);
        column->setContentsMargins(20, 20, 20, 20);
        column->setSpacing(9);
        auto *icon = new QLabel(tile);
        icon->setPixmap(kit::symbolPixmap(QString::fromUtf16(spec.symbol), kit::size::title2 + 3, tint(palette()),
                                          devicePixelRatioF()));
        column->addWidget(icon);
        QFont valueFont = kit::font(22, QFont::DemiBold);
        valueFont.setFamilies({u"SF Pro Rounded"_s, u"Nunito"_s, valueFont.family()});
        auto *value = label(valueFont, kit::primaryText(palette()), tile);
        value->setObjectName(QString::fromUtf16(spec.name));
        value->setMinimumWidth(40);
        *spec.value = value;
        column->addWidget(value);
        auto *title = label(kit::font(kit::size::caption), kit::secondaryText(palette()), tile);
        title->setText(kit::tr(QString::fromUtf16(spec.title)));
        column->addWidget(title);
        row->addWidget(tile, 1);
    }
    return rowWidget;
}

QWidget *DeviceInfoView::buildStorage()
{
    auto *card = new Card([](const QPalette &p) { return faded(kit::primaryText(p), 0.035); }, this);
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(15);
    auto *header = new QHBoxLayout;
    auto *title = label(kit::font(kit::size::headline, QFont::DemiBold), kit::primaryText(palette()), card);
    title->setText(kit::tr(u"Miejsce na kolejne odkrycia"_s));
    m_storageFree = label(kit::font(kit::size::caption), kit::secondaryText(palette()), card);
    m_storageFree->setObjectName(u"storageFree"_s);
    header->addWidget(title);
    header->addStretch(1);
    header->addWidget(m_storageFree);
    column->addLayout(header);
    m_bar = new StorageBar(card);
    m_bar->setObjectName(u"storageBar"_s);
    column->addWidget(m_bar);

    auto *legend = new QHBoxLayout;
    legend->setSpacing(22);
    const auto entry = [&](const QString &text, const QColor &color) {
        auto *box = new QHBoxLayout;
        box->setSpacing(6);
        auto *dot = new QLabel(card);
        dot->setPixmap(kit::symbolPixmap(u"circle.fill"_s, 6, color, devicePixelRatioF()));
        auto *name = label(kit::font(kit::size::caption), kit::secondaryText(palette()), card);
        name->setText(text);
        box->addWidget(dot);
        box->addWidget(name);
        legend->addLayout(box);
        return name;
    };
    // Format names, the same in every language.
    entry(u"MP3"_s, kit::blue(palette()));
    entry(u"FLAC"_s, purple(palette()));
    m_otherLegend = entry(QString(), gray());
    m_otherLegend->setObjectName(u"otherLegend"_s);
    m_totalLegend = label(kit::font(kit::size::caption), kit::secondaryText(palette()), card);
    m_totalLegend->setObjectName(u"totalLegend"_s);
    legend->addWidget(m_totalLegend);
    legend->addStretch(1);
    column->addLayout(legend);
    return card;
}

QWidget *DeviceInfoView::buildCards()
{
    auto *rowWidget = new QWidget(this);
    auto *row = new QHBoxLayout(rowWidget);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    const auto makeCard = [&](const QString &symbol, const QString &heading, QLabel *&big, const QString &note,
                              const QString &button, const QString &buttonName) {
        auto *card = new Card([](const QPalette &p) { return faded(kit::primaryText(p), 0.035); }, rowWidget);
        auto *column = new QVBoxLayout(card);
        column->setContentsMargins(20, 20, 20, 20);
        column->setSpacing(12);
        auto *head = new QHBoxLayout;
        head->setSpacing(6);
        auto *icon = new QLabel(card);
        icon->setPixmap(kit::symbolPixmap(symbol, 15, kit::blue(palette()), devicePixelRatioF()));
        auto *headText = label(kit::font(kit::size::headline, QFont::DemiBold), kit::primaryText(palette()), card);
        headText->setText(kit::tr(heading));
        head->addWidget(icon);
        head->addWidget(headText);
        head->addStretch(1);
        column->addLayout(head);
        big = label(kit::font(kit::size::title3, QFont::Bold), kit::primaryText(palette()), card);
        column->addWidget(big);
        auto *noteLabel = label(kit::font(kit::size::caption), kit::secondaryText(palette()), card);
        noteLabel->setText(kit::tr(note));
        column->addWidget(noteLabel);
        auto *action = new QPushButton(kit::tr(button), card);
        action->setObjectName(buttonName);
        column->addWidget(action, 0, Qt::AlignLeft);
        row->addWidget(card, 1, Qt::AlignTop);
        return action;
    };
    QPushButton *gallery = makeCard(u"paintpalette"_s, u"Twój styl"_s, m_themeCardName,
                                    u"Motyw zapisany w konfiguracji Rockbox"_s, u"Otwórz galerię motywów"_s,
                                    u"openGallery"_s);
    m_themeCardName->setObjectName(u"themeCardName"_s);
    connect(gallery, &QPushButton::clicked, this, [this] { m_model->setSection(Section::themes); });
    m_backupButton = makeCard(u"checkmark.shield"_s, u"Kopie ustawień"_s, m_backupTitle,
                              u"Konfiguracja, fonty i zasoby motywów"_s, u"Utwórz kopię"_s, u"makeBackup"_s);
    m_backupTitle->setObjectName(u"backupTitle"_s);
    connect(m_backupButton, &QPushButton::clicked, m_model, &TavoModel::backup);
    return rowWidget;
}

void DeviceInfoView::recountMusic()
{
    const StorageBytes music = StorageBytes::of(0, 0, m_model->deviceTracks());
    m_mp3Bytes = music.mp3;
    m_flacBytes = music.flac;
}

void DeviceInfoView::refresh()
{
    const bool hasDevice = m_model->device().has_value();
    m_states->setCurrentWidget(hasDevice ? m_withDevice : m_noDevice);
    if (!hasDevice) {
        m_placeholderIPod->setProfile(m_model->deviceProfile());
        m_placeholderIPod->setFinish(m_model->deviceFinish());
        m_descriptionRoot.clear();
        return;
    }
    refreshHero();
    refreshLower();
}

void DeviceInfoView::refreshHero()
{
    const Device &device = *m_model->device();
    const IPodProfile profile = m_model->deviceProfile();
    const TavoModel::StringMap &info = m_model->deviceInfo();
    const TavoModel::StringMap &config = m_model->deviceConfig();
    const std::optional<Theme> theme = m_model->configuredTheme();
    std::optional<ThemePreview> preview;
    if (theme) {
        const auto found = m_model->themePreviews().constFind(theme->url);
        if (found != m_model->themePreviews().constEnd())
            preview = *found;
    }

    m_badge->setText(kit::tr(device.isVolume ? u"POŁĄCZONY"_s : u"FOLDER TESTOWY"_s));
    m_modelName->setText(kit::tr(profile.name));
    // The version is data, or our own fallback ("wersja nieznana") that reads in the interface language.
    m_capacity->setText(kit::tr(text::byteCount(device.total) + u" · Rockbox "_s + kit::tr(device.version)));

    const auto value = [&](const TavoModel::StringMap &map, const QString &key) -> std::optional<QString> {
        const auto found = map.constFind(key);
        return found == map.constEnd() ? std::nullopt : std::optional<QString>(*found);
    };
    QString savedTheme = kit::tr(u"Domyślny"_s); // our fallback is translated, a theme name never
    if (theme)
        savedTheme = paths::deletingExtension(paths::lastComponent(theme->url));
    else if (const auto wps = value(config, u"wps"_s))
        savedTheme = paths::deletingExtension(paths::lastComponent(*wps));
    QString fileSystem = u"Nieznany"_s;
    bool writable = false;
    if (const auto &volume = m_model->deviceVolume(); volume && volume->root == device.root) {
        if (!volume->fileSystem.isEmpty())
            fileSystem = volume->fileSystem;
        writable = volume->writable;
    }
    const auto memory = value(info, u"Memory"_s);
    const auto font = value(config, u"font"_s);
    struct Fact {
        QString label;
        QString value;
        bool translated;
    };
    const Fact facts[8] = {
        {u"Nazwa dysku"_s, device.name, false},
        {u"Platforma"_s, value(info, u"Target"_s).value_or(u"Nieznana"_s), true},
        {u"CPU wg kompilacji"_s, value(info, u"CPU"_s).value_or(u"Nieznane"_s), true},
        {u"RAM wg kompilacji"_s, memory ? *memory + u" MB"_s : u"Nieznany"_s, true},
        {u"System plików"_s, fileSystem, true},
        {u"Dostęp"_s, writable ? u"Odczyt i zapis"_s : u"Tylko odczyt"_s, true},
        {u"Font"_s, font ? paths::lastComponent(*font) : u"Domyślny"_s, true},
        {u"Motyw zapisany"_s, savedTheme, false},
    };
    for (int i = 0; i < 8; ++i) {
        m_factLabels[i]->setText(kit::tr(facts[i].label).toUpper());
        m_factValues[i]->setText(facts[i].translated ? kit::tr(facts[i].value) : facts[i].value);
    }
    m_rootPath->setText(device.root);

    selectValue(m_modelPicker, m_model->storedAppearance());
    selectValue(m_finishPicker, m_model->storedFinish());
    // The support note is one of our own texts too, rendered on its own.
    m_appearanceNote->setText(kit::tr(u"Wybór grafiki nie zmienia sprzętu ani firmware. "_s) + kit::tr(profile.support));
    if (m_descriptionRoot != device.root) {
        m_descriptionRoot = device.root;
        m_description->setText(m_model->deviceDescription());
    }

    m_heroIPod->setProfile(profile);
    m_heroIPod->setFinish(m_model->deviceFinish());
    if (m_heroIPod->preview() != preview)
        m_heroIPod->setPreview(preview);
    m_themeName->setText(theme ? paths::deletingExtension(paths::lastComponent(theme->url))
                               : kit::tr(u"Motyw domyślny"_s));
    m_previewSource->setText(kit::tr(preview ? preview->source : u"Brak podglądu — dodaj zrzut w Motywach"_s));
}

void DeviceInfoView::refreshLower()
{
    const Device &device = *m_model->device();
    const QList<Track> &tracks = m_model->deviceTracks();
    m_freeValue->setText(kit::tr(text::byteCount(device.available)));
    m_musicValue->setText(tracks.isEmpty() ? kit::tr(u"Do odczytania"_s)
                                           : kit::tr(text::count(tracks.size(), u"{0} utwór"_s, u"{0} utwory"_s, u"{0} utworów"_s)));
    m_themesValue->setText(kit::tr(QString::number(m_model->themes().size()) + u" do wyboru"_s));

    m_storageFree->setText(kit::tr(text::byteCount(device.available) + u" wolne"_s));
    m_bar->setBytes(StorageBytes::from(device.total, device.available, m_mp3Bytes, m_flacBytes), device.total);
    m_otherLegend->setText(kit::tr(tracks.isEmpty() ? u"Zajęte — odczytaj bibliotekę"_s : u"Pozostałe"_s));
    m_totalLegend->setText(kit::tr(text::byteCount(device.total) + u" łącznie"_s));

    const auto wps = m_model->deviceConfig().constFind(u"wps"_s);
    m_themeCardName->setText(wps != m_model->deviceConfig().constEnd()
                                 ? paths::deletingExtension(paths::lastComponent(*wps))
                                 : kit::tr(u"Motyw domyślny"_s));
    const qsizetype backups = m_model->backups().size();
    m_backupTitle->setText(backups == 0 ? kit::tr(u"Zapisz pierwszą kopię"_s)
                                        : kit::tr(text::count(backups, u"{0} kopia na komputerze"_s, u"{0} kopie na komputerze"_s,
                                                                u"{0} kopii na komputerze"_s)));
    m_backupButton->setEnabled(!m_model->busy());
}

QString DeviceInfoView::fact(int index) const
{
    return m_factValues.value(index) ? m_factValues.value(index)->text() : QString();
}

void DeviceInfoView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Once the model has a preview status for the device, coming back does not fetch again.
    if (m_model->themePreviewStatus().isEmpty())
        m_model->fetchThemePreviews();
}
