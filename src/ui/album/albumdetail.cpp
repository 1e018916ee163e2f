#include "ui/album/albumdetail.h"

#include "device/themeimage.h"
#include "media/albumgrouping.h"
#include "media/audioinfo.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "platform/scaledimage.h"
#include "platform/text.h"
#include "platform/workspace.h"
#include "ui/album/clampedtext.h"
#include "ui/album/coversearchview.h"
#include "ui/album/disctracklist.h"
#include "ui/album/sheetparts.h"
#include "ui/kit/kit.h"
#include "ui/library/tracklist.h"
#include "ui/shell/pages.h"

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

namespace {

using sheetparts::button;
using sheetparts::label;

QString linkHtml(const QUrl &url, const QString &text, const QColor &color)
{
    return u"<a href=\"%1\" style=\"color: %2; text-decoration: none;\">%3</a>"_s.arg(
        url.toString(QUrl::FullyEncoded).toHtmlEscaped(), color.name(), text.toHtmlEscaped());
}

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http"_s || scheme == u"https"_s);
}

} // namespace

// ---------------------------------------------------------------------------

DetailCover::DetailCover(int side, QWidget *parent)
    : QWidget(parent)
    , m_side(side)
{
    setFixedSize(side, side);
}

DetailCover::~DetailCover() = default;

void DetailCover::setArtwork(const CoverSource &source)
{
    if (source.cover == m_source.cover && source.track == m_source.track)
        return;
    m_source = source;
    const quint64 generation = ++m_generation;
    if (!source.cover) {
        m_image = QImage();
        m_decoding = false;
        update();
        emit imageChanged();
        return;
    }
    m_decoding = true;
    const int pixels = qCeil(m_side * devicePixelRatioF());
    // Wide pictures still fill the square once cropped, so the bound is generous.
    QFuture<QImage> future = QtConcurrent::run([source, pixels] {
        const QImage decoded = ScaledImage::decode(source.bytesFor(pixels), QSize(pixels * 4, pixels * 4));
        if (decoded.isNull())
            return QImage();
        const QImage filled =
            decoded.scaled(pixels, pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        return filled.copy((filled.width() - pixels) / 2, (filled.height() - pixels) / 2, pixels, pixels);
    });
    // The watcher belongs to the tile: a tile that goes first never hears of the result.
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        m_image = watcher->result();
        m_image.setDevicePixelRatio(devicePixelRatioF());
        m_decoding = false;
        update();
        emit imageChanged();
    });
    watcher->setFuture(future);
}

void DetailCover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF square(0, 0, m_side, m_side);
    painter.setClipPath(continuousRoundedRect(square, 7));
    if (!m_image.isNull()) {
        painter.drawImage(square, m_image);
        return;
    }
    QLinearGradient gradient(square.topLeft(), square.bottomRight());
    QColor indigo(0x58, 0x56, 0xD6), blue(0x00, 0x7A, 0xFF), cyan(0x32, 0xAD, 0xE6);
    indigo.setAlphaF(0.8f);
    blue.setAlphaF(0.4f);
    cyan.setAlphaF(0.2f);
    gradient.setColorAt(0, indigo);
    gradient.setColorAt(0.5, blue);
    gradient.setColorAt(1, cyan);
    painter.fillRect(square, gradient);
    QColor white(Qt::white);
    white.setAlphaF(0.85f);
    const QPixmap disc = kit::symbolPixmap(u"opticaldisc"_s, 55, white, devicePixelRatioF());
    const QSizeF size = QSizeF(disc.size()) / disc.devicePixelRatio();
    painter.drawPixmap(QPointF((m_side - size.width()) / 2, (m_side - size.height()) / 2), disc);
}

// ---------------------------------------------------------------------------

AlbumDetailView::AlbumDetailView(TavoModel *model, const QString &albumID, std::optional<bool> onDeviceOverride,
                                 QWidget *parent, Workspace *workspace)
    : QDialog(parent)
    , m_model(model)
    , m_albumID(albumID)
    , m_onDeviceOverride(onDeviceOverride)
    , m_workspace(workspace ? workspace : &Workspace::system())
{
    Q_ASSERT(model);
    setWindowTitle(kit::tr(u"Szczegóły albumu"_s));
    setFixedSize(kit::fittedToScreen({860, 660}, parent ? parent : this));
    if (parent)
        setWindowModality(Qt::WindowModal);
    buildContent();

    // The album is looked up again only when what it is made of can have changed.
    connect(m_model, &TavoModel::tracksChanged, this, [this] {
        if (!side())
            lookUp();
    });
    connect(m_model, &TavoModel::deviceTracksChanged, this, [this] {
        if (side())
            lookUp();
    });
    connect(m_model, &TavoModel::libraryOnDeviceChanged, this, [this] {
        if (!m_onDeviceOverride)
            lookUp();
    });
    connect(m_model, &TavoModel::busyChanged, this, &AlbumDetailView::updateBusy);
    connect(m_model, &TavoModel::deviceChanged, this, &AlbumDetailView::updateBusy);
    connect(m_model, &TavoModel::statusChanged, this, &AlbumDetailView::updateStatus);
    lookUp();
    updateStatus();
}

AlbumDetailView::~AlbumDetailView() = default;

bool AlbumDetailView::side() const
{
    return m_onDeviceOverride.value_or(m_model->libraryOnDevice());
}

std::optional<Album> AlbumDetailView::find(const QList<Track> &tracks, const QString &albumID)
{
    for (const Album &album : AlbumGrouping::albums(tracks)) {
        if (album.id() == albumID)
            return album;
    }
    return std::nullopt;
}

QString AlbumDetailView::infoLine(const Album &album)
{
    QString line;
    if (!album.tracks.isEmpty() && !album.tracks.first().info.year.isEmpty())
        line = album.tracks.first().info.year + u" · "_s;
    double seconds = 0;
    qint64 bytes = 0;
    for (const Track &track : album.tracks) {
        seconds += track.info.duration;
        bytes += track.bytes;
    }
    return line + u"Utwory: "_s + QString::number(album.tracks.size()) + u" · "_s + durationLabel(seconds) +
           u" · "_s + text::byteCount(bytes);
}

std::optional<QUrl> AlbumDetailView::coverSource(const QString &albumID)
{
    const std::optional<QMap<QString, QString>> sources = Defaults::stringMap(u"coverSources"_s);
    if (!sources || !sources->contains(albumID))
        return std::nullopt;
    const QUrl url(sources->value(albumID), QUrl::StrictMode);
    if (!isWebAddress(url))
        return std::nullopt;
    return url;
}

void AlbumDetailView::buildContent()
{
    const QPalette pal = palette();
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(24, 24, 24, 24);
    m_layout->setSpacing(18);

    auto *header = new QHBoxLayout;
    header->addWidget(label(kit::tr(u"Szczegóły albumu"_s), kit::size::headline, this, QFont::DemiBold));
    header->addStretch(1);
    QPushButton *done = button(kit::tr(u"Gotowe"_s), this);
    done->setObjectName(u"done"_s);
    // Escape closes the dialog as this button does.
    connect(done, &QPushButton::clicked, this, &QDialog::reject);
    header->addWidget(done);
    m_layout->addLayout(header);

    m_missing = label(kit::tr(u"Album nie jest już dostępny w tej bibliotece."_s), kit::size::body, this);
    m_missing->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_layout->addWidget(m_missing, 0);

    m_content = new QWidget(this);
    auto *content = new QVBoxLayout(m_content);
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(18);
    m_layout->addWidget(m_content, 1);

    // Cover panel.
    auto *panel = new QHBoxLayout;
    panel->setSpacing(22);
    m_cover = new DetailCover(155, m_content);
    panel->addWidget(m_cover, 0, Qt::AlignTop);
    auto *facts = new QVBoxLayout;
    facts->setSpacing(8);
    m_title = new ClampedText(2, m_content);
    m_title->setFont(kit::font(24, QFont::Bold));
    facts->addWidget(m_title);
    m_artist = label(QString(), kit::size::title3, m_content);
    kit::setTextColor(m_artist, kit::secondaryText(pal));
    facts->addWidget(m_artist);
    m_info = label(QString(), kit::size::caption, m_content);
    facts->addWidget(m_info);

    auto *tools = new QHBoxLayout;
    m_chooseCover = button(kit::tr(u"Dodaj / zmień okładkę…"_s), m_content);
    m_findCover = button(kit::tr(u"Znajdź w sieci…"_s), m_content);
    m_prepareCover = button(kit::tr(u"Przygotuj obecną dla Rockbox"_s), m_content);
    tools->addWidget(m_chooseCover);
    tools->addWidget(m_findCover);
    tools->addWidget(m_prepareCover);
    tools->addStretch(1);
    facts->addLayout(tools);
    // The side is the one of the moment of the press, always given as a value.
    connect(m_chooseCover, &QPushButton::clicked, this, [this] {
        if (m_album)
            m_model->chooseArtwork(*m_album, false, side());
    });
    connect(m_prepareCover, &QPushButton::clicked, this, [this] {
        if (m_album)
            m_model->chooseArtwork(*m_album, true, side());
    });
    connect(m_findCover, &QPushButton::clicked, this, &AlbumDetailView::openCoverSearch);

    m_source = label(QString(), kit::size::caption, m_content);
    m_source->setTextFormat(Qt::RichText);
    m_source->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_source->setOpenExternalLinks(false);
    connect(m_source, &QLabel::linkActivated, this, [this](const QString &link) {
        const QUrl url(link);
        if (isWebAddress(url))
            m_workspace->openUrl(url);
    });
    facts->addWidget(m_source);

    QLabel *note = label(kit::tr(u"JPEG 500 × 500 bez kodowania progresywnego. Na iPodzie wcześniejsze obrazy trafiają do kopii na komputerze."_s),
                         kit::size::caption2, m_content);
    note->setWordWrap(true);
    kit::setTextColor(note, kit::secondaryText(pal));
    facts->addWidget(note);
    facts->addStretch(1);
    panel->addLayout(facts, 1);
    content->addLayout(panel);
    connect(m_cover, &DetailCover::imageChanged, this, [this] {
        m_prepareCover->setVisible(!m_cover->image().isNull());
    });

    // Embedded-artwork note.
    m_embeddedNote = new QWidget(m_content);
    auto *noteRow = new QHBoxLayout(m_embeddedNote);
    noteRow->setContentsMargins(0, 0, 0, 0);
    auto *icon = new QLabel(m_embeddedNote);
    icon->setPixmap(kit::symbolPixmap(u"info.circle"_s, 12, kit::secondaryText(pal), devicePixelRatioF()));
    noteRow->addWidget(icon, 0, Qt::AlignTop);
    QLabel *embedded = label(kit::tr(u"Rockbox może najpierw wyświetlić okładkę osadzoną w utworze. Ta operacja zapisuje pliki obrazów, nie zmienia tagów audio."_s),
                             kit::size::caption, m_embeddedNote);
    embedded->setWordWrap(true);
    kit::setTextColor(embedded, kit::secondaryText(pal));
    noteRow->addWidget(embedded, 1);
    content->addWidget(m_embeddedNote);

    // Actions.
    m_actions = new QWidget(m_content);
    auto *actions = new QHBoxLayout(m_actions);
    actions->setContentsMargins(0, 0, 0, 0);
    m_listen = button(kit::tr(u"Odsłuchaj album"_s), m_actions);
    m_enqueue = button(kit::tr(u"Dodaj album do kolejki"_s), m_actions);
    m_upload = button(kit::tr(u"Wgraj album"_s), m_actions);
    kit::makeProminent(m_upload);
    m_addToPlaylist = button(kit::tr(u"Dodaj album do playlisty"_s), m_actions);
    m_reveal = button(kit::tr(u"Pokaż w menedżerze plików"_s), m_actions);
    actions->addWidget(m_listen);
    actions->addWidget(m_enqueue);
    actions->addWidget(m_upload);
    actions->addWidget(m_addToPlaylist);
    actions->addStretch(1);
    actions->addWidget(m_reveal);
    content->addWidget(m_actions);
    connect(m_listen, &QPushButton::clicked, this, [this] {
        if (m_album && !m_album->tracks.isEmpty() && m_model->playback())
            m_model->playback()->play(m_album->tracks.first(), m_album->tracks);
    });
    connect(m_enqueue, &QPushButton::clicked, this, [this] {
        if (!m_album)
            return;
        TavoModel::UuidSet queued = m_model->queued();
        for (const Track &track : m_album->tracks)
            queued.insert(track.id);
        m_model->setQueued(queued);
    });
    connect(m_upload, &QPushButton::clicked, this, [this] {
        if (m_album)
            m_model->transfer(m_album->tracks);
    });
    connect(m_addToPlaylist, &QPushButton::clicked, this, &AlbumDetailView::addToPlaylist);
    connect(m_reveal, &QPushButton::clicked, this, [this] {
        if (!m_album)
            return;
        QStringList paths;
        for (const Track &track : m_album->tracks)
            paths.append(track.url);
        m_workspace->reveal(paths);
    });

    m_tracks = new DiscTrackListView(m_model, m_onDeviceOverride, m_content, m_workspace);
    content->addWidget(m_tracks, 1);
    m_flat = new TrackListView(m_model, m_workspace, m_content);
    m_flat->rows()->setSideOverride(m_onDeviceOverride);
    m_flat->hide();
    content->addWidget(m_flat, 1);

    if (QWidget *player = pages::miniPlayer(m_model, m_content))
        content->addWidget(player);

    m_status = label(QString(), kit::size::caption, m_content);
    kit::setTextColor(m_status, kit::secondaryText(pal));
    content->addWidget(m_status);
}

void AlbumDetailView::lookUp()
{
    m_album = find(side() ? m_model->deviceTracks() : m_model->tracks(), m_albumID);
    showAlbum();
}

void AlbumDetailView::showAlbum()
{
    const bool found = m_album.has_value();
    m_content->setVisible(found);
    m_missing->setVisible(!found);
    m_layout->setStretchFactor(m_missing, found ? 0 : 1);
    if (!found) {
        // An open cover search has no album to look for any more.
        if (m_coverSearch)
            m_coverSearch->showNothing();
        return;
    }
    const Album &album = *m_album;
    m_title->setText(album.title);
    m_artist->setText(kit::artistName(album.artist));
    m_info->setText(kit::tr(infoLine(album)));

    const CoverSource artwork = album.coverSource();
    bool embedded = false;
    for (const Track &track : album.tracks)
        embedded = embedded || track.hasEmbeddedArt;
    m_cover->setArtwork(artwork);
    m_prepareCover->setVisible(!m_cover->image().isNull() && artwork.cover.has_value());

    const std::optional<QUrl> source = coverSource(m_albumID);
    m_source->setVisible(source.has_value());
    if (source)
        m_source->setText(linkHtml(*source, kit::tr(u"Źródło pobranej okładki"_s), kit::blue(palette())));
    m_embeddedNote->setVisible(embedded);

    const bool onDevice = side();
    m_enqueue->setVisible(!onDevice);
    m_upload->setVisible(!onDevice);
    m_addToPlaylist->setVisible(onDevice);

    // One disc reads best as the library's list, with its columns and each
    // track's own artist (a compilation's); several discs group by disc.
    const bool byDisc = album.discs().size() >= 2;
    m_tracks->setVisible(byDisc);
    m_flat->setVisible(!byDisc);
    if (byDisc)
        m_tracks->setAlbum(album, true);
    else
        m_flat->setTracks(album.tracks);
    updateBusy();
}

void AlbumDetailView::updateBusy()
{
    const bool busy = m_model->busy();
    for (QPushButton *tool : {m_chooseCover, m_findCover, m_prepareCover})
        tool->setEnabled(!busy);
    m_actions->setEnabled(!busy);
    m_upload->setEnabled(m_model->device().has_value());
    // The cover source may have been recorded by a download that just ended.
    if (!busy && m_album) {
        const std::optional<QUrl> source = coverSource(m_albumID);
        m_source->setVisible(source.has_value());
        if (source)
            m_source->setText(linkHtml(*source, kit::tr(u"Źródło pobranej okładki"_s), kit::blue(palette())));
    }
}

void AlbumDetailView::updateStatus()
{
    m_status->setText(kit::tr(m_model->status()));
}

void AlbumDetailView::openCoverSearch()
{
    if (!m_album)
        return;
    if (m_coverSearch) {
        m_coverSearch->raise();
        return;
    }
    m_coverSearch = new CoverSearchView(m_model, *m_album, side(), this, m_workspace);
    connect(m_coverSearch, &QDialog::finished, m_coverSearch, &QObject::deleteLater);
    m_coverSearch->open();
}

void AlbumDetailView::addToPlaylist()
{
    if (!m_album)
        return;
    TavoModel *model = m_model;
    TavoModel::UuidSet chosen = model->selectedOnDevice();
    for (const Track &track : m_album->tracks)
        chosen.insert(track.id);
    model->setSelectedOnDevice(chosen);
    // Whoever presented the sheet may delete it as it finishes: nothing of it is used after.
    accept();
    model->setSection(Section::playlists);
}
