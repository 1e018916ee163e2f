#include "ui/backups/backupspage.h"

#include "model/tavomodel.h"
#include "platform/paths.h"
#include "platform/workspace.h"
#include "ui/kit/emptystate.h"
#include "ui/kit/filelist.h"
#include "ui/kit/kit.h"
#include "ui/kit/pageheader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

BackupsPage::BackupsPage(TavoModel *model, QWidget *parent, Workspace *workspace)
    : QWidget(parent), m_model(model), m_workspace(workspace ? workspace : &Workspace::system())
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(22);

    auto *top = new QHBoxLayout;
    top->addWidget(
        new PageHeader(u"Kopie zapasowe"_s, u"Ustawienia i motywy bezpiecznie na Twoim komputerze."_s, this), 1,
        Qt::AlignVCenter);
    m_backup = new QPushButton(kit::tr(u"Utwórz kopię"_s), this);
    m_backup->setObjectName(u"backup"_s);
    m_backup->setAutoDefault(false);
    m_backup->setFont(kit::font(kit::size::body, QFont::Medium));
    kit::makeProminent(m_backup);
    top->addWidget(m_backup, 0, Qt::AlignVCenter);
    layout->addLayout(top);

    m_explanation = new QLabel(this);
    m_explanation->setObjectName(u"explanation"_s);
    m_explanation->setFont(kit::font(13));
    m_explanation->setWordWrap(true);
    m_explanation->setTextFormat(Qt::RichText);
    const QString explanation = kit::tr(u"Kopie zawierają konfigurację, motywy, fonty i ich zasoby. Muzyka oraz "
                                        u"firmware nie są częścią kopii. Przywracanie jest na razie ręczne, w menedżerze plików."_s);
    // Four pixels between lines on top of the font's own leading.
    const int lineHeight = QFontMetrics(m_explanation->font()).lineSpacing() + 4;
    m_explanation->setText(u"<div style=\"line-height: %1px\">%2</div>"_s.arg(lineHeight).arg(explanation.toHtmlEscaped()));
    m_explanation->setAccessibleName(explanation);
    kit::setTextColor(m_explanation, kit::secondaryText(palette()));
    layout->addWidget(m_explanation);

    m_stack = new QStackedWidget(this);
    m_list = new FileList(u"archivebox"_s, u"Otwórz"_s, m_stack);
    m_empty = new EmptyState(u"Spokojnie eksperymentuj z motywami"_s, u"clock.arrow.circlepath"_s,
                             u"Przed instalacją motywu kopia tworzy się automatycznie."_s, m_stack);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_empty);
    layout->addWidget(m_stack, 1);

    connect(m_backup, &QPushButton::clicked, this, [this] {
        if (m_model)
            m_model->backup();
    });
    connect(m_list, &FileList::triggered, this,
            [this](const QString &path) { m_workspace->openUrl(QUrl::fromLocalFile(path)); });
    if (m_model) {
        connect(m_model, &TavoModel::deviceChanged, this, &BackupsPage::followGuards);
        connect(m_model, &TavoModel::busyChanged, this, &BackupsPage::followGuards);
        connect(m_model, &TavoModel::backupsChanged, this, &BackupsPage::followBackups);
    }
    followGuards();
    followBackups();
}

bool BackupsPage::showsEmptyState() const { return m_stack->currentWidget() == m_empty; }

void BackupsPage::followGuards() { m_backup->setEnabled(m_model && m_model->device() && !m_model->busy()); }

void BackupsPage::followBackups()
{
    const QStringList entries = m_model ? m_model->backups() : QStringList();
    QStringList names;
    for (const QString &entry : entries)
        names << paths::lastComponent(entry);
    m_list->setEntries(entries, names);
    m_stack->setCurrentWidget(entries.isEmpty() ? static_cast<QWidget *>(m_empty) : m_list);
}
