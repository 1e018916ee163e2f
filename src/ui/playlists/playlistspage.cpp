#include "ui/playlists/playlistspage.h"

#include "model/tavomodel.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/workspace.h"
#include "ui/kit/emptystate.h"
#include "ui/kit/filelist.h"
#include "ui/kit/kit.h"
#include "ui/kit/pageheader.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PlaylistsPage::PlaylistsPage(TavoModel *model, QWidget *parent, Workspace *workspace)
    : QWidget(parent), m_model(model), m_workspace(workspace ? workspace : &Workspace::system())
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(22);
    layout->addWidget(new PageHeader(u"Playlisty"_s, u"Zestawy na drogę, spacer i długie wieczory."_s, this));

    auto *box = new QGroupBox(kit::tr(u"Nowa playlista z wybranych albumów i transferów"_s), this);
    auto *rows = new QVBoxLayout(box);
    rows->setContentsMargins(12, 12, 12, 12);
    rows->setSpacing(13);
    m_count = new QLabel(box);
    m_count->setObjectName(u"count"_s);
    m_count->setFont(kit::font(kit::size::caption));
    m_count->setTextFormat(Qt::PlainText);
    m_count->setWordWrap(true);
    kit::setTextColor(m_count, kit::secondaryText(palette()));
    rows->addWidget(m_count);
    auto *row = new QHBoxLayout;
    m_name = new QLineEdit(box);
    m_name->setObjectName(u"name"_s);
    m_name->setPlaceholderText(kit::tr(u"Nazwa playlisty"_s));
    m_save = new QPushButton(kit::tr(u"Zapisz M3U8"_s), box);
    m_save->setObjectName(u"save"_s);
    m_save->setAutoDefault(false);
    row->addWidget(m_name, 1);
    row->addWidget(m_save);
    rows->addLayout(row);
    layout->addWidget(box);

    m_stack = new QStackedWidget(this);
    m_list = new FileList(u"music.note.list"_s, u"Pokaż"_s, m_stack);
    m_empty = new EmptyState(u"Twoje składanki pojawią się tutaj"_s, u"music.note.list"_s,
                             u"Wgraj muzykę i zapisz playlistę z przesłanych utworów."_s, m_stack);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_empty);
    layout->addWidget(m_stack, 1);

    // Each edit goes to the model at once; Return does nothing of its own.
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_model)
            m_model->setPlaylistName(text);
    });
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (m_model)
            m_model->makePlaylist();
    });
    connect(m_list, &FileList::triggered, this, [this](const QString &path) { m_workspace->reveal({path}); });

    if (m_model) {
        for (auto signal : {&TavoModel::transferredChanged, &TavoModel::deviceTracksChanged,
                            &TavoModel::selectedOnDeviceChanged, &TavoModel::deviceChanged, &TavoModel::busyChanged})
            connect(m_model, signal, this, &PlaylistsPage::followTracks);
        connect(m_model, &TavoModel::playlistNameChanged, this, &PlaylistsPage::followName);
        connect(m_model, &TavoModel::playlistsChanged, this, &PlaylistsPage::followPlaylists);
        // The page is built anew after a change of language.
        m_model->followLanguage();
    }
    followTracks();
    followName();
    followPlaylists();
}

bool PlaylistsPage::showsEmptyState() const { return m_stack->currentWidget() == m_empty; }

void PlaylistsPage::followTracks()
{
    const qsizetype count = m_model ? m_model->playlistTracks().size() : 0;
    m_count->setText(kit::tr(text::count(count, u"{0} utwór"_s, u"{0} utwory"_s, u"{0} utworów"_s)
                             + u": ostatnie transfery i zaznaczone albumy z iPoda."_s));
    m_save->setEnabled(m_model && count > 0 && m_model->device() && !m_model->busy());
}

void PlaylistsPage::followName()
{
    // The field's own edits come back unchanged: leave the field (and its cursor) alone.
    if (m_model && m_name->text() != m_model->playlistName())
        m_name->setText(m_model->playlistName());
}

void PlaylistsPage::followPlaylists()
{
    const QStringList files = m_model ? m_model->playlists() : QStringList();
    QStringList names;
    for (const QString &file : files)
        names << QFileInfo(file).completeBaseName();
    m_list->setEntries(files, names);
    m_stack->setCurrentWidget(files.isEmpty() ? static_cast<QWidget *>(m_empty) : m_list);
}
