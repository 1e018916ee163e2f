#include "ui/quality/qualityview.h"

#include "model/tavomodel.h"
#include "platform/workspace.h"
#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"
#include "ui/kit/pageheader.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *textLabel(const QString &shown, const QFont &font, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(shown, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    kit::setTextColor(label, color);
    return label;
}

// A centred symbol, a headline and what follows it.
QWidget *emptyState(const QString &symbol, const QColor &tint, const QString &title, int spacing, QWidget *parent)
{
    auto *state = new QWidget(parent);
    auto *column = new QVBoxLayout(state);
    column->setSpacing(spacing);
    column->addStretch(1);
    auto *icon = new QLabel(state);
    icon->setPixmap(kit::symbolPixmap(symbol, kit::size::largeTitle + 8, tint, state->devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);
    column->addWidget(icon);
    auto *headline = textLabel(kit::tr(title), kit::font(kit::size::headline, QFont::DemiBold),
                               kit::primaryText(parent->palette()), state);
    headline->setObjectName(u"emptyTitle"_s);
    headline->setAlignment(Qt::AlignCenter);
    column->addWidget(headline);
    return state;
}

} // namespace

const QStringList &QualityView::filters()
{
    static const QStringList values{u"Wszystko"_s, u"Okładki"_s, u"Tagi"_s, u"Duplikaty"_s, u"Pliki"_s};
    return values;
}

QualityView::QualityView(TavoModel *model, const QString &filter, Workspace *workspace, QWidget *parent)
    : QWidget(parent), m_model(model), m_workspace(workspace ? workspace : &Workspace::system()), m_filter(filter)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(26, 26, 26, 26);
    column->setSpacing(18);

    column->addWidget(new PageHeader(
        u"Porządek w kolekcji"_s,
        u"Sprawdź kolekcję i napraw okładki dla Rockbox. Poprzednie obrazy z iPoda są zachowywane w kopii na komputerze."_s,
        this));

    auto *scopeRow = new QHBoxLayout;
    m_scopePicker = segmented({u"Na komputerze"_s, u"Na iPodzie"_s}, m_scope, u"Biblioteka"_s);
    m_scopePicker->setObjectName(u"scopePicker"_s);
    m_scopePicker->setFixedWidth(300); // "Na komputerze" and "On this computer" whole
    connect(m_scope, &QButtonGroup::idClicked, this, [this](int id) { m_model->setLibraryOnDevice(id == 1); });
    m_readDevice = new QPushButton(kit::tr(u"Odczytaj iPoda"_s), this);
    m_readDevice->setObjectName(u"readDevice"_s);
    connect(m_readDevice, &QPushButton::clicked, m_model, &TavoModel::scanDeviceMusic);
    m_duplicates = new QPushButton(kit::tr(u"Sprawdź dokładne duplikaty"_s), this);
    m_duplicates->setObjectName(u"checkDuplicates"_s);
    connect(m_duplicates, &QPushButton::clicked, m_model, &TavoModel::checkDuplicates);
    scopeRow->addWidget(m_scopePicker);
    scopeRow->addWidget(m_readDevice);
    scopeRow->addStretch(1);
    scopeRow->addWidget(m_duplicates);
    column->addLayout(scopeRow);

    auto *coverRow = new QHBoxLayout;
    m_repair = new QPushButton(kit::tr(u"Napraw dostępne okładki"_s), this);
    m_repair->setObjectName(u"repairCovers"_s);
    // The prominent button of the page.
    kit::makeProminent(m_repair);
    connect(m_repair, &QPushButton::clicked, m_model, &TavoModel::repairAvailableCovers);
    m_findMissing = new QPushButton(kit::tr(u"Znajdź brakujące w sieci"_s), this);
    m_findMissing->setObjectName(u"findMissing"_s);
    connect(m_findMissing, &QPushButton::clicked, m_model, &TavoModel::findMissingCovers);
    coverRow->addWidget(m_repair);
    coverRow->addWidget(m_findMissing);
    // On a narrow page the note wraps beside the buttons rather than squeezing them.
    QLabel *onlyExact = textLabel(kit::tr(u"Tylko jednoznaczne dopasowania."_s), kit::font(kit::size::caption2),
                                  kit::secondaryText(palette()), this);
    onlyExact->setObjectName(u"onlyExactNote"_s);
    onlyExact->setWordWrap(true);
    coverRow->addWidget(onlyExact, 1);
    column->addLayout(coverRow);

    m_cleanup = new QPushButton(kit::tr(u"Posprzątaj pliki macOS (._)"_s), this);
    m_cleanup->setObjectName(u"cleanup"_s);
    m_cleanup->setToolTip(kit::tr(u"Przenosi potwierdzone pliki AppleDouble do kopii na komputerze; nie usuwa muzyki."_s));
    connect(m_cleanup, &QPushButton::clicked, m_model, &TavoModel::cleanupMacFiles);
    column->addWidget(m_cleanup, 0, Qt::AlignLeft);

    QWidget *filterPicker = segmented(filters(), m_filterGroup, u"Problemy"_s);
    filterPicker->setObjectName(u"filterPicker"_s);
    connect(m_filterGroup, &QButtonGroup::idClicked, this, [this](int id) { setFilter(filters().value(id)); });
    column->addWidget(filterPicker);

    m_status = textLabel(QString(), kit::font(kit::size::caption), kit::secondaryText(palette()), this);
    m_status->setObjectName(u"status"_s);
    column->addWidget(m_status);

    m_content = new QStackedWidget(this);
    QWidget *first = emptyState(u"sparkles"_s, kit::blue(palette()), u"Najpierw odczytaj kolekcję"_s, 14, this);
    first->setObjectName(u"firstEmptyState"_s);
    auto *openMusic = new QPushButton(kit::tr(u"Otwórz muzykę"_s), first);
    openMusic->setObjectName(u"openMusic"_s);
    connect(openMusic, &QPushButton::clicked, this, [this] { m_model->setSection(Section::music); });
    auto *firstColumn = static_cast<QVBoxLayout *>(first->layout());
    firstColumn->addWidget(openMusic, 0, Qt::AlignHCenter);
    firstColumn->addStretch(1);

    m_list = new QualityListView(this);
    m_list->setObjectName(u"problems"_s);
    m_rows = new QualityListModel(m_list);
    m_list->setModel(m_rows);
    auto *delegate = new QualityDelegate(m_list);
    m_list->setItemDelegate(delegate);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setResizeMode(QListView::Adjust);
    // Rows are measured a batch at a time, so a long list never holds up a frame.
    m_list->setLayoutMode(QListView::Batched);
    m_list->setBatchSize(200);
    m_list->setFrameShape(QFrame::NoFrame);
    // Rows take the list's width; long paths break or are shortened instead.
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->viewport()->setAutoFillBackground(false);
    connect(delegate, &QualityDelegate::buttonClicked, this, &QualityView::activate);

    QWidget *second = emptyState(u"checkmark.circle"_s, kit::green(palette()), u"Brak problemów w tej kategorii"_s, 12,
                                 this);
    second->setObjectName(u"secondEmptyState"_s);
    auto *secondColumn = static_cast<QVBoxLayout *>(second->layout());
    auto *detail = textLabel(kit::tr(u"Dokładne duplikaty wymagają osobnego sprawdzenia."_s),
                             kit::font(kit::size::caption), kit::secondaryText(palette()), second);
    detail->setAlignment(Qt::AlignCenter);
    secondColumn->addWidget(detail);
    secondColumn->addStretch(1);

    m_content->addWidget(first);
    m_content->addWidget(m_list);
    m_content->addWidget(second);
    column->addWidget(m_content, 1);

    // A change of the side shown makes earlier duplicate findings meaningless.
    connect(m_model, &TavoModel::libraryOnDeviceChanged, this, [this] {
        m_model->setDuplicateIssues({});
        m_model->setDuplicateStatus(u"Duplikaty nie zostały jeszcze sprawdzone."_s);
        requestInspection();
        refreshControls();
    });
    for (auto signal : {&TavoModel::tracksChanged, &TavoModel::deviceTracksChanged, &TavoModel::deviceChanged})
        connect(m_model, signal, this, &QualityView::requestInspection);
    connect(m_model, &TavoModel::collectionInspectionChanged, this, [this] {
        rebuildRows();
        refreshControls();
    });
    connect(m_model, &TavoModel::duplicateIssuesChanged, this, &QualityView::rebuildRows);
    connect(m_model, &TavoModel::duplicateStatusChanged, this,
            [this] { m_status->setText(kit::tr(m_model->duplicateStatus())); });
    connect(m_model, &TavoModel::busyChanged, this, &QualityView::refreshControls);
    for (auto signal : {&TavoModel::tracksChanged, &TavoModel::deviceTracksChanged, &TavoModel::deviceChanged})
        connect(m_model, signal, this, &QualityView::refreshControls);

    m_status->setText(kit::tr(m_model->duplicateStatus()));
    setFilter(m_filter);
    refreshControls();
}

QWidget *QualityView::segmented(const QStringList &labels, QButtonGroup *&group, const QString &name)
{
    auto *picker = new QWidget(this);
    picker->setAccessibleName(kit::tr(name));
    auto *row = new QHBoxLayout(picker);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    group = new QButtonGroup(picker);
    group->setExclusive(true);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        auto *segment = new QPushButton(kit::tr(labels[i]), picker);
        segment->setCheckable(true);
        segment->setFont(kit::font(kit::size::body));
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        // The chosen segment stands out in both palettes.
        // The chosen segment stays readable while the picker is off.
        segment->setStyleSheet(u"QPushButton { border: 1px solid palette(mid); padding: 3px 8px; background: palette(button); }"
                               "QPushButton:checked { background: palette(highlight); color: palette(highlighted-text); }"
                               "QPushButton:disabled { color: palette(mid); }"
                               "QPushButton:checked:disabled { background: %1; color: %2; }"_s
                                   .arg(kit::chosenOffFill(palette()).name(), kit::chosenOffText(palette()).name()));
        group->addButton(segment, int(i));
        row->addWidget(segment);
    }
    row->addStretch(0);
    return picker;
}

void QualityView::setFilter(const QString &filter)
{
    m_filter = filter;
    if (QAbstractButton *button = m_filterGroup->button(int(filters().indexOf(filter))))
        button->setChecked(true);
    rebuildRows();
}

int QualityView::contentState() const
{
    return m_content->currentIndex();
}

void QualityView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_stale = true;
    requestInspection();
}

void QualityView::requestInspection()
{
    // Hidden pages wait until they are shown; one inspection then covers every change.
    if (!isVisible()) {
        m_stale = true;
        return;
    }
    m_stale = false;
    m_model->inspectCollection();
}

void QualityView::rebuildRows()
{
    const TavoModel::CollectionInspection &inspection = m_model->collectionInspection();
    std::vector<QualityRow> rows;
    // Details and kinds repeat; each is translated once.
    QHash<QString, QString> shown;
    const auto display = [&](const QString &text) {
        auto found = shown.constFind(text);
        if (found == shown.constEnd())
            found = shown.insert(text, kit::tr(text));
        return *found;
    };
    const auto add = [&](const QualityIssue &issue, const std::optional<Album> &album) {
        if (m_filter != u"Wszystko"_s && issue.kind != m_filter)
            return;
        QualityRow row;
        row.issue = issue;
        row.album = album;
        if (album)
            row.albumHasArtwork = std::any_of(album->tracks.cbegin(), album->tracks.cend(),
                                              [](const Track &t) { return t.artwork.has_value(); });
        row.badge = display(issue.kind.toUpper());
        row.title = issue.kind == u"Duplikaty"_s ? kit::tr(issue.title) : issue.title;
        row.detail = display(issue.detail);
        rows.push_back(std::move(row));
    };
    rows.reserve(size_t(inspection.issues.size() + m_model->duplicateIssues().size()));
    for (qsizetype i = 0; i < inspection.issues.size(); ++i)
        add(inspection.issues[i], inspection.coverAlbums.value(i));
    for (const QualityIssue &issue : m_model->duplicateIssues())
        add(issue, std::nullopt);
    const bool any = !rows.empty();
    m_rows->setRows(std::move(rows));

    if (m_model->activeTracks().isEmpty())
        m_content->setCurrentIndex(0);
    else
        m_content->setCurrentIndex(any ? 1 : 2);
}

void QualityView::refreshControls()
{
    const bool busy = m_model->busy();
    const bool onDevice = m_model->libraryOnDevice();
    const bool hasDevice = m_model->device().has_value();
    const bool empty = m_model->activeTracks().isEmpty();
    const TavoModel::CollectionInspection &inspection = m_model->collectionInspection();

    if (QAbstractButton *side = m_scope->button(onDevice ? 1 : 0))
        side->setChecked(true);
    m_scopePicker->setEnabled(!busy);
    m_readDevice->setVisible(onDevice);
    m_readDevice->setEnabled(!busy && hasDevice);
    m_duplicates->setEnabled(!busy && !empty);
    // While busy the cover rules are not looked at.
    m_repair->setEnabled(!busy && !empty && inspection.repairableCovers);
    m_findMissing->setEnabled(!busy && !empty && inspection.albumWithoutArtwork);
    m_cleanup->setVisible(onDevice);
    m_cleanup->setEnabled(!busy && hasDevice);
    m_rows->setBusy(busy);
    if (empty)
        m_content->setCurrentIndex(0);
    else if (m_content->currentIndex() == 0)
        m_content->setCurrentIndex(m_rows->rowCount() > 0 ? 1 : 2);
}

void QualityView::activate(int index, QualityListModel::Button button)
{
    if (index < 0 || index >= m_rows->rowCount())
        return;
    // A copy: the operations below may change the list.
    const QualityRow row = m_rows->row(index);
    switch (button) {
    case QualityListModel::repair:
        if (row.album)
            m_model->chooseArtwork(*row.album, true);
        break;
    case QualityListModel::searchOnline:
        if (row.album)
            m_model->setCoverLookup(row.album);
        break;
    case QualityListModel::chooseCover:
        if (row.album)
            m_model->chooseArtwork(*row.album, false);
        break;
    case QualityListModel::openAlbum:
        m_model->setOpenAlbum(m_model->albumOf(row.issue.tracks));
        break;
    case QualityListModel::showFiles: {
        QStringList paths;
        paths.reserve(row.issue.tracks.size());
        for (const Track &track : row.issue.tracks)
            paths.append(track.url);
        m_workspace->reveal(paths);
        break;
    }
    }
}
