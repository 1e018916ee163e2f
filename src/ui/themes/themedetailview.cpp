#include "ui/themes/themedetailview.h"

#include "device/themeimage.h"
#include "model/tavomodel.h"
#include "platform/workspace.h"
#include "ui/kit/kit.h"
#include "ui/themes/themegrid.h"
#include "ui/themes/themewidgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Both screens are this high; the picture takes the largest 4:3 frame in it.
constexpr int screenHeight = 270;

QLabel *caption(const QString &text, QWidget *parent, bool secondary = true)
{
    auto *label = new QLabel(text, parent);
    label->setFont(kit::font(kit::size::caption));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    if (secondary)
        kit::setTextColor(label, kit::secondaryText(parent->palette()));
    return label;
}

QLabel *heading(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(kit::font(kit::size::headline, QFont::DemiBold));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel *titleLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(kit::font(kit::size::title, QFont::Bold));
    label->setTextFormat(Qt::PlainText);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

} // namespace

ThemeDetailView::ThemeDetailView(TavoModel *model, const Theme &theme, QWidget *parent, Workspace *workspace)
    : QDialog(parent), m_model(model), m_theme(theme), m_workspace(workspace)
{
    setWindowModality(Qt::WindowModal);
    setFixedSize(kit::fittedToScreen({sheetWidth, sheetHeight}, parent ? parent : this));
    const QString name = ThemeGrid::themeName(theme);
    setWindowTitle(name);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_pages = new QStackedWidget(this);
    outer->addWidget(m_pages);

    // The theme's page.
    auto *scroll = new QScrollArea(m_pages);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(scroll);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(25, 25, 25, 25);
    layout->setSpacing(20);

    auto *header = new QHBoxLayout;
    header->addWidget(titleLabel(name, content), 1);
    m_done = new QPushButton(kit::tr(u"Gotowe"_s), content);
    m_done->setObjectName(u"done"_s);
    m_done->setAutoDefault(false);
    m_done->setMinimumSize(m_done->sizeHint() + QSize(16, 6));
    connect(m_done, &QPushButton::clicked, this, &QDialog::accept);
    header->addWidget(m_done);
    layout->addLayout(header);

    auto *screens = new QHBoxLayout;
    screens->setSpacing(18);
    auto addScreen = [&](const QString &title, ThemeImage *&image) {
        auto *column = new QVBoxLayout;
        column->setSpacing(6);
        column->addWidget(heading(kit::tr(title), content));
        image = new ThemeImage(std::nullopt, content);
        image->setFixedSize(screenHeight * 4 / 3, screenHeight);
        column->addWidget(image, 0, Qt::AlignLeft);
        screens->addLayout(column, 1);
    };
    addScreen(u"Ekran odtwarzania"_s, m_playing);
    addScreen(u"Menu"_s, m_menu);
    layout->addLayout(screens);

    m_source = caption(QString(), content);
    m_source->setObjectName(u"source"_s);
    layout->addWidget(m_source);
    m_note = caption(kit::tr(u"To przykład z katalogu; zainstalowana wersja i Twoje ustawienia mogą wyglądać inaczej."_s),
                     content);
    m_note->setObjectName(u"catalogNote"_s);
    layout->addWidget(m_note);

    auto *box = new QGroupBox(kit::tr(u"Konfiguracja"_s), content);
    auto *rows = new QGridLayout(box);
    rows->setContentsMargins(10, 10, 10, 10);
    rows->setVerticalSpacing(10);
    rows->setHorizontalSpacing(16);
    const QString labels[] = {u"Autor / zgłaszający w katalogu"_s, u"Rozdzielczość iPoda Video"_s, u"Font"_s,
                              u"WPS"_s, u"SBS"_s};
    int row = 0;
    for (const QString &label : labels) {
        QLabel *name = caption(kit::tr(label), box, false);
        name->setWordWrap(false);
        rows->addWidget(name, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        auto *value = caption(QString(), box, false);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        rows->addWidget(value, row, 1);
        m_values.append(value);
        ++row;
    }
    rows->setColumnStretch(1, 1);
    layout->addWidget(box);

    auto *actions = new QHBoxLayout;
    m_screenshot = new QPushButton(kit::tr(u"Dodaj własny zrzut…"_s), content);
    m_screenshot->setObjectName(u"addScreenshot"_s);
    m_screenshot->setAutoDefault(false);
    m_screenshot->setMinimumSize(m_screenshot->sizeHint() + QSize(16, 6));
    connect(m_screenshot, &QPushButton::clicked, this, [this] { m_model->chooseThemePreview(m_theme); });
    actions->addWidget(m_screenshot);
    m_reveal = new QPushButton(kit::tr(u"Pokaż plik"_s), content);
    m_reveal->setObjectName(u"reveal"_s);
    m_reveal->setAutoDefault(false);
    m_reveal->setMinimumSize(m_reveal->sizeHint() + QSize(16, 6));
    connect(m_reveal, &QPushButton::clicked, this,
            [this] { (m_workspace ? *m_workspace : Workspace::system()).reveal({m_theme.url}); });
    actions->addWidget(m_reveal);
    m_link = new LinkButton(u"Źródło i autor ↗"_s, workspace, content);
    m_link->setObjectName(u"sourceLink"_s);
    actions->addWidget(m_link);
    actions->addStretch(1);
    layout->addLayout(actions);

    layout->addWidget(caption(kit::tr(u"Motyw aktywujesz na iPodzie: Settings → Theme Settings → Browse Themes."_s),
                              content));
    layout->addStretch(1);
    scroll->setWidget(content);
    m_pages->addWidget(scroll);

    // Shown instead once the theme is gone from the device.
    auto *gone = new QWidget(m_pages);
    auto *goneLayout = new QVBoxLayout(gone);
    goneLayout->setContentsMargins(25, 25, 25, 25);
    goneLayout->setSpacing(20);
    auto *goneHeader = new QHBoxLayout;
    goneHeader->addWidget(titleLabel(name, gone), 1);
    auto *goneDone = new QPushButton(kit::tr(u"Gotowe"_s), gone);
    goneDone->setAutoDefault(false);
    connect(goneDone, &QPushButton::clicked, this, &QDialog::accept);
    goneHeader->addWidget(goneDone);
    goneLayout->addLayout(goneHeader);
    goneLayout->addWidget(caption(kit::tr(u"Tego motywu nie ma już na urządzeniu."_s), gone));
    goneLayout->addStretch(1);
    m_pages->addWidget(gone);

    for (auto signal : {&TavoModel::themesChanged, &TavoModel::themePreviewsChanged, &TavoModel::themeSettingsChanged,
                        &TavoModel::objectWillChange})
        connect(model, signal, this, &ThemeDetailView::refresh);
    refresh();
}

bool ThemeDetailView::showsNotice() const
{
    return m_pages->currentIndex() == 1;
}

QStringList ThemeDetailView::configurationValues() const
{
    QStringList values;
    for (const QLabel *label : m_values)
        values.append(label->text());
    return values;
}

void ThemeDetailView::refresh()
{
    m_pages->setCurrentIndex(m_model->themes().contains(m_theme) ? 0 : 1);

    const auto found = m_model->themePreviews().constFind(m_theme.url);
    const std::optional<ThemePreview> preview =
        found == m_model->themePreviews().constEnd() ? std::nullopt : std::optional<ThemePreview>(*found);
    const TavoModel::StringMap config = m_model->themeSettings().value(m_theme.url);

    m_playing->setUrl(preview ? preview->playing : std::nullopt);
    m_menu->setUrl(preview ? preview->menu : std::nullopt);
    m_source->setText(preview ? kit::tr(preview->source) : kit::tr(u"Nie znaleziono zrzutu tego motywu."_s));
    // Only the gallery's pictures are examples of another version of the theme.
    m_note->setVisible(preview && preview->source.contains(u"katalogu"_s));

    // The values are the theme's data, shown as written; only our own
    // fallbacks are interface texts.
    auto setting = [&](const QString &key) {
        const auto value = config.constFind(key);
        return value == config.constEnd() ? kit::tr(u"Domyślny"_s) : *value;
    };
    const QString values[] = {
        preview && preview->author ? *preview->author : kit::tr(u"Nieznany — sprawdź plik motywu"_s),
        u"320 × 240"_s,
        setting(u"font"_s),
        setting(u"wps"_s),
        setting(u"sbs"_s),
    };
    for (int i = 0; i < m_values.size(); ++i)
        m_values[i]->setText(values[i]);

    const bool linked = preview && preview->detail;
    m_link->setVisible(linked);
    m_link->setUrl(linked ? *preview->detail : QUrl());
}
