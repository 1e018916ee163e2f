#include "ui/themes/themesview.h"

#include "model/tavomodel.h"
#include "platform/http.h"
#include "ui/kit/kit.h"
#include "ui/themes/themegrid.h"
#include "ui/themes/themewidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ThemesView::ThemesView(TavoModel *model, QWidget *parent, Workspace *workspace)
    : QWidget(parent), m_model(model)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 26, 26, 26);
    layout->setSpacing(16);

    auto *header = new QHBoxLayout;
    auto *title = new QLabel(kit::tr(u"Motywy"_s), this);
    title->setFont(kit::font(kit::size::pageTitle, QFont::Bold));
    header->addWidget(title);
    header->addStretch(1);
    m_import = new QPushButton(kit::tr(u"Importuj ZIP…"_s), this);
    m_import->setObjectName(u"importZip"_s);
    kit::makeProminent(m_import);
    connect(m_import, &QPushButton::clicked, model, &TavoModel::installTheme);
    header->addWidget(m_import);
    layout->addLayout(header);

    auto *actions = new QHBoxLayout;
    m_fetch = new QPushButton(kit::tr(u"Pobierz podglądy z Rockbox"_s), this);
    m_fetch->setObjectName(u"fetchPreviews"_s);
    m_fetch->setMinimumSize(m_fetch->sizeHint() + QSize(16, 6));
    connect(m_fetch, &QPushButton::clicked, model, &TavoModel::fetchThemePreviews);
    actions->addWidget(m_fetch);
    m_gallery = new LinkButton(u"Katalog motywów ↗"_s, workspace, this);
    m_gallery->setObjectName(u"galleryLink"_s);
    actions->addWidget(m_gallery);
    actions->addStretch(1);
    layout->addLayout(actions);

    m_status = new QLabel(this);
    m_status->setObjectName(u"status"_s);
    m_status->setFont(kit::font(kit::size::caption));
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
    kit::setTextColor(m_status, kit::secondaryText(palette()));
    layout->addWidget(m_status);

    m_grid = new ThemeGrid(model, this);
    m_grid->setObjectName(u"themeGrid"_s);
    layout->addWidget(m_grid, 1);

    m_empty = new QLabel(kit::tr(u"Podłącz urządzenie, aby zobaczyć zainstalowane motywy."_s), this);
    m_empty->setObjectName(u"emptyHint"_s);
    m_empty->setFont(kit::font(kit::size::caption));
    m_empty->setWordWrap(true);
    kit::setTextColor(m_empty, kit::secondaryText(palette()));
    layout->addWidget(m_empty);

    for (auto signal : {&TavoModel::deviceChanged, &TavoModel::busyChanged, &TavoModel::themesChanged,
                        &TavoModel::themePreviewStatusChanged, &TavoModel::deviceInfoChanged,
                        &TavoModel::objectWillChange})
        connect(model, signal, this, &ThemesView::refresh);
    refresh();
}

QUrl ThemesView::galleryLink(const QMap<QString, QString> &deviceInfo)
{
    // A target is a short build name such as "ipodvideo"; anything else a
    // device writes there is encoded so the address stays one query value.
    QString target = deviceInfo.value(u"Target"_s).trimmed();
    if (target.isEmpty())
        target = u"ipodvideo"_s;
    QUrl link = ServiceBase::themeGallery().resolved(QUrl(u"index.php"_s));
    link.setQuery(u"target="_s + QString::fromLatin1(QUrl::toPercentEncoding(target)), QUrl::StrictMode);
    return link;
}

void ThemesView::refresh()
{
    const bool noThemes = m_model->themes().isEmpty();
    m_import->setEnabled(m_model->device().has_value() && !m_model->busy());
    m_fetch->setEnabled(!noThemes);
    m_gallery->setUrl(galleryLink(m_model->deviceInfo()));
    const QString status = m_model->themePreviewStatus();
    m_status->setText(status.isEmpty()
                          ? kit::tr(u"Kliknij motyw, aby obejrzeć ekrany menu i odtwarzania. Podglądy katalogowe mogą przedstawiać inną wersję motywu."_s)
                          : kit::tr(status));
    m_empty->setVisible(noThemes);
}

void ThemesView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Once per showing of the page, and only while no fetch has run for this
    // device: the model ignores the call when there is nothing installed, and
    // the next showing tries again.
    if (!event->spontaneous() && m_model->themePreviewStatus().isEmpty())
        m_model->fetchThemePreviews();
}
