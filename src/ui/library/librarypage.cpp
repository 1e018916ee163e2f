#include "ui/library/librarypage.h"

#include "model/tavomodel.h"
#include "ui/kit/kit.h"
#include "ui/library/albumgrid.h"
#include "ui/library/covercache.h"
#include "ui/library/foldertree.h"
#include "ui/library/librarytexts.h"
#include "ui/library/segmentedpicker.h"
#include "ui/library/tracklist.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QComboBox *picker(const QStringList &options, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    // Each label is translated on its own; the value kept is the Polish text.
    for (const QString &option : options)
        combo->addItem(kit::tr(option), option);
    return combo;
}

void choose(QComboBox *combo, const QString &value)
{
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(combo->findData(value));
}

QLabel *label(const QString &text, const QFont &font, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

const QStringList &LibraryPage::formatOptions()
{
    static const QStringList options{u"Wszystko"_s, u"MP3"_s, u"FLAC"_s, u"Pozostałe"_s};
    return options;
}

const QStringList &LibraryPage::viewOptions()
{
    static const QStringList options{u"Albumy"_s, u"Utwory"_s, u"Foldery"_s};
    return options;
}

const QStringList &LibraryPage::sortOptions()
{
    static const QStringList options{u"Wykonawca"_s, u"Album"_s, u"Rok"_s, u"Rozmiar"_s};
    return options;
}

LibraryPage::LibraryPage(TavoModel *model, QWidget *parent, Workspace *workspace, CoverCache *covers)
    : QWidget(parent), m_model(model)
{
    setAcceptDrops(true);
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(24, 24, 24, 24);
    page->setSpacing(15);

    // 1. Header: title and counts, the add button.
    auto *header = new QHBoxLayout;
    auto *titles = new QVBoxLayout;
    titles->setSpacing(5);
    titles->addWidget(label(kit::tr(u"Twoja muzyka"_s), kit::font(28, QFont::Bold), this));
    m_count = label(QString(), kit::font(kit::size::caption), this);
    kit::setTextColor(m_count, kit::secondaryText(palette()));
    titles->addWidget(m_count);
    header->addLayout(titles);
    header->addStretch(1);
    m_add = new QPushButton(kit::tr(u"Dodaj muzykę…"_s), this);
    kit::makeProminent(m_add);
    connect(m_add, &QPushButton::clicked, model, &TavoModel::importMusic);
    header->addWidget(m_add);
    page->addLayout(header);

    // 2. Side: the computer or the device, and reading the device.
    auto *sourceRow = new QHBoxLayout;
    m_source = new SegmentedPicker({u"Na komputerze"_s, u"Na iPodzie"_s}, this);
    m_source->setAccessibleName(kit::tr(u"Źródło"_s));
    m_source->setFixedWidth(300); // "Na komputerze" and "On this computer" whole
    connect(m_source, &SegmentedPicker::activated, model, [model](int index) { model->setLibraryOnDevice(index == 1); });
    sourceRow->addWidget(m_source);
    sourceRow->addStretch(1);
    m_readDevice = new QPushButton(kit::tr(u"Odczytaj iPoda"_s), this);
    connect(m_readDevice, &QPushButton::clicked, model, &TavoModel::scanDeviceMusic);
    sourceRow->addWidget(m_readDevice);
    page->addLayout(sourceRow);

    // 3. Filters.
    auto *filterRow = new QHBoxLayout;
    m_format = new SegmentedPicker(formatOptions(), this);
    m_format->setAccessibleName(kit::tr(u"Format"_s));
    connect(m_format, &SegmentedPicker::activated, model,
            [model](int index) { model->setFormatFilter(formatOptions().value(index)); });
    filterRow->addWidget(m_format);
    m_hiRes = new QCheckBox(kit::tr(u"Hi-Res"_s), this);
    m_hiRes->setToolTip(
        kit::tr(u"Pliki powyżej 16-bit lub 48 kHz. Parametry pliku, niezależnie od możliwości wyjścia iPoda."_s));
    connect(m_hiRes, &QCheckBox::toggled, model, &TavoModel::setHiResOnly);
    filterRow->addWidget(m_hiRes);
    filterRow->addStretch(1);
    page->addLayout(filterRow);

    // 4. Search.
    auto *searchBox = new QFrame(this);
    searchBox->setObjectName(u"searchBox"_s);
    QColor fill = kit::primaryText(palette());
    fill.setAlphaF(0.05f);
    searchBox->setStyleSheet(QStringLiteral("#searchBox { background: %1; border-radius: 7px; }")
                                 .arg(fill.name(QColor::HexArgb)));
    auto *searchRow = new QHBoxLayout(searchBox);
    searchRow->setContentsMargins(9, 9, 9, 9);
    auto *glass = new QLabel(searchBox);
    glass->setPixmap(kit::symbolPixmap(u"magnifyingglass"_s, 14, kit::secondaryText(palette()), devicePixelRatioF()));
    searchRow->addWidget(glass);
    m_search = new QLineEdit(searchBox);
    m_search->setFrame(false);
    m_search->setAcceptDrops(false);
    m_search->setPlaceholderText(kit::tr(u"Szukaj albumu, wykonawcy lub utworu"_s));
    // A style sheet takes the field's colours from the application; give it the page's own.
    m_search->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; color: %1; }")
                                .arg(kit::primaryText(palette()).name(QColor::HexArgb)));
    QPalette searchPalette = m_search->palette();
    searchPalette.setColor(QPalette::PlaceholderText, kit::secondaryText(palette()));
    m_search->setPalette(searchPalette);
    connect(m_search, &QLineEdit::textEdited, model, &TavoModel::setSearch);
    searchRow->addWidget(m_search, 1);
    page->addWidget(searchBox);

    // 5. View, sort and tile size.
    auto *viewRow = new QHBoxLayout;
    m_view = picker(viewOptions(), this);
    m_view->setAccessibleName(kit::tr(u"Widok"_s));
    m_view->setFixedWidth(120);
    connect(m_view, &QComboBox::activated, model,
            [this, model](int index) { model->setViewMode(m_view->itemData(index).toString()); });
    viewRow->addWidget(m_view);
    auto *sortBox = new QWidget(this);
    auto *sortRow = new QHBoxLayout(sortBox);
    sortRow->setContentsMargins(0, 0, 0, 0);
    sortRow->addWidget(label(kit::tr(u"Sortuj"_s), kit::font(kit::size::body), sortBox));
    m_sort = picker(sortOptions(), sortBox);
    m_sort->setAccessibleName(kit::tr(u"Sortuj"_s));
    connect(m_sort, &QComboBox::activated, model,
            [this, model](int index) { model->setSortMode(m_sort->itemData(index).toString()); });
    sortRow->addWidget(m_sort, 1);
    sortBox->setFixedWidth(185);
    viewRow->addWidget(sortBox);
    viewRow->addStretch(1);
    m_tileSymbol = new QLabel(this);
    m_tileSymbol->setPixmap(
        kit::symbolPixmap(u"square.grid.2x2"_s, 14, kit::secondaryText(palette()), devicePixelRatioF()));
    viewRow->addWidget(m_tileSymbol);
    m_tile = new QSlider(Qt::Horizontal, this);
    m_tile->setRange(minimumTile, maximumTile);
    m_tile->setFixedWidth(85);
    m_tile->setToolTip(kit::tr(u"Rozmiar okładek"_s));
    connect(m_tile, &QSlider::valueChanged, model, [model](int value) { model->setTileSize(value); });
    viewRow->addWidget(m_tile);
    page->addLayout(viewRow);

    // 6. Content.
    m_stack = new QStackedWidget(this);
    m_empty = makeEmptyState();
    m_grid = new AlbumGridView(model, covers ? covers : &CoverCache::shared(), workspace, m_stack);
    m_tracks = new TrackListView(model, workspace, m_stack);
    m_folders = new FolderTreeView(model, workspace, m_stack);
    for (QWidget *w : {m_empty, static_cast<QWidget *>(m_grid), static_cast<QWidget *>(m_tracks),
                       static_cast<QWidget *>(m_folders)})
        m_stack->addWidget(w);
    page->addWidget(m_stack, 1);

    // 7. The Hi-Res note.
    m_hiResNote = label(
        kit::tr(u"Hi-Res opisuje plik źródłowy. Odtwarzanie i wyjście audio zależą od sprzętu i Rockbox."_s),
        kit::font(kit::size::caption2), this);
    kit::setTextColor(m_hiResNote, kit::secondaryText(palette()));
    m_hiResNote->setWordWrap(true);
    page->addWidget(m_hiResNote);

    for (auto signal : {&TavoModel::tracksChanged, &TavoModel::deviceTracksChanged,
                        &TavoModel::libraryOnDeviceChanged, &TavoModel::formatFilterChanged,
                        &TavoModel::hiResOnlyChanged, &TavoModel::searchChanged, &TavoModel::viewModeChanged,
                        &TavoModel::sortModeChanged, &TavoModel::tileSizeChanged, &TavoModel::busyChanged,
                        &TavoModel::deviceChanged, &TavoModel::objectWillChange})
        connect(model, signal, this, &LibraryPage::reload);
    reload();
}

QWidget *LibraryPage::makeEmptyState()
{
    auto *empty = new QWidget(this);
    auto *layout = new QVBoxLayout(empty);
    layout->setSpacing(13);
    layout->addStretch(1);
    auto *icon = new QLabel(empty);
    icon->setPixmap(kit::symbolPixmap(u"square.stack"_s, 42, kit::blue(palette()), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    m_emptyHeadline = label(QString(), kit::font(kit::size::headline, QFont::DemiBold), empty);
    m_emptyHeadline->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_emptyHeadline);
    auto *hint = label(kit::tr(u"Kliknięcie albumu otwiera listę utworów.\nKolejkę i playlistę wybierasz osobnymi "
                               u"przyciskami."_s),
                       kit::font(kit::size::caption), empty);
    hint->setAlignment(Qt::AlignCenter);
    kit::setTextColor(hint, kit::secondaryText(palette()));
    layout->addWidget(hint);
    layout->addStretch(1);
    return empty;
}

LibraryPage::Content LibraryPage::content() const
{
    QWidget *shown = m_stack->currentWidget();
    if (shown == m_grid)
        return Content::albums;
    if (shown == m_tracks)
        return Content::tracks;
    if (shown == m_folders)
        return Content::folders;
    return Content::empty;
}

void LibraryPage::reload()
{
    TavoModel *model = m_model;
    const bool busy = model->busy();
    const bool onDevice = model->libraryOnDevice();
    // The album view needs only the number of filtered tracks, not their list.
    const qsizetype albumCount = model->albums().size();
    const qsizetype filteredCount = model->filteredCount();
    const QList<Track> &active = model->activeTracks();

    m_count->setText(kit::tr(library::countLine(albumCount, filteredCount)));
    m_add->setEnabled(!busy);
    m_source->setCurrentIndex(onDevice ? 1 : 0);
    m_source->setEnabled(!busy);
    m_readDevice->setVisible(onDevice);
    m_readDevice->setEnabled(model->device().has_value() && !busy);
    m_format->setCurrentIndex(int(formatOptions().indexOf(model->formatFilter())));
    {
        const QSignalBlocker block(m_hiRes);
        m_hiRes->setChecked(model->hiResOnly());
    }
    if (m_search->text() != model->search())
        m_search->setText(model->search());
    choose(m_view, model->viewMode());
    choose(m_sort, model->sortMode());
    {
        const QSignalBlocker block(m_tile);
        m_tile->setValue(qRound(model->tileSize()));
    }
    const bool albumView = model->viewMode() == u"Albumy"_s;
    m_tileSymbol->setVisible(albumView);
    m_tile->setVisible(albumView);
    m_hiResNote->setVisible(model->hiResOnly());

    if (active.isEmpty() || filteredCount == 0) {
        m_emptyHeadline->setText(active.isEmpty() ? kit::tr(u"Dodaj muzykę lub odczytaj iPoda"_s)
                                                  : kit::tr(u"Brak utworów dla tych filtrów"_s));
        m_stack->setCurrentWidget(m_empty);
    } else if (albumView) {
        m_grid->setTileSize(model->tileSize());
        m_grid->refresh();
        m_stack->setCurrentWidget(m_grid);
    } else if (model->viewMode() == u"Utwory"_s) {
        m_tracks->setTracks(model->filteredTracks());
        m_stack->setCurrentWidget(m_tracks);
    } else {
        const std::optional<QString> root =
            onDevice && model->device() ? std::optional<QString>(model->device()->root) : std::nullopt;
        m_folders->setTracks(model->filteredTracks(), root);
        m_stack->setCurrentWidget(m_folders);
    }
}

void LibraryPage::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void LibraryPage::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void LibraryPage::dropEvent(QDropEvent *event)
{
    // Refused while another operation runs; nothing is read then.
    if (m_model->busy() || !event->mimeData()->hasUrls()) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The files in the order they were dropped; an item that is no local file adds nothing.
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    importDropped(paths);
}

void LibraryPage::importDropped(const QStringList &paths)
{
    m_model->importURLs(paths, false, true);
}
