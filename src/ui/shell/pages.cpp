#include "ui/shell/pages.h"

#include "localization/applocalizer.h"
#include "ui/album/albumdetail.h"
#include "ui/album/coversearchview.h"
#include "ui/coverflow/coverflowwindow.h"
#include "ui/device/deviceinfoview.h"
#include "ui/guide/guideview.h"
#include "ui/kit/emptystate.h"
#include "ui/kit/pageheader.h"
#include "ui/backups/backupspage.h"
#include "ui/library/librarypage.h"
#include "ui/playback/miniplayer.h"
#include "ui/playlists/playlistspage.h"
#include "ui/quality/qualityview.h"
#include "model/tavomodel.h"
#include "ui/themes/themedetailview.h"
#include "ui/themes/themesview.h"

#include <QDialog>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// A page whose real content has not been built yet: its header and an empty state.
QWidget *placeholder(Section section, QWidget *parent)
{
    auto *page = new QWidget(parent);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->addWidget(new PageHeader(sections::rawValue(section), QString(), page));
    layout->addWidget(new EmptyState(sections::rawValue(section), u"sparkles"_s, QString(), page), 1);
    return page;
}

} // namespace

namespace pages {

QWidget *make(Section section, TavoModel *model, QWidget *parent)
{
    Q_UNUSED(model);
    switch (section) {
    case Section::device: return new DeviceInfoView(model, nullptr, parent);
    case Section::music: return new LibraryPage(model, parent);
    case Section::playlists: return new PlaylistsPage(model, parent);
    case Section::themes: return new ThemesView(model, parent);
    case Section::backups: return new BackupsPage(model, parent);
    case Section::quality: return new QualityView(model, u"Wszystko"_s, nullptr, parent);
    case Section::guide: return new GuideView(u"Poradnik"_s, AppLocalizer::language() == u"en"_s, parent);
    }
    return placeholder(section, parent);
}

QWidget *miniPlayer(TavoModel *model, QWidget *parent) { return new MiniPlayer(model->playback(), parent); }

} // namespace pages

namespace sheets {

QDialog *albumDetail(TavoModel *model, const Album &album, QWidget *parent)
{
    return new AlbumDetailView(model, album.id(), std::nullopt, parent);
}

QDialog *coverSearch(TavoModel *model, const Album &album, QWidget *parent)
{
    return new CoverSearchView(model, album, std::nullopt, parent);
}

QDialog *themeDetail(TavoModel *model, const Theme &theme, QWidget *parent)
{
    return new ThemeDetailView(model, theme, parent);
}
QDialog *albumDetail(TavoModel *model, const Album &album, QWidget *parent, bool onDevice)
{
    return new AlbumDetailView(model, album.id(), onDevice, parent);
}

void presentCoverFlow(TavoModel *model) { CoverFlowWindow::present(model); }

} // namespace sheets
