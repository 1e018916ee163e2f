#include "ui/album/coversearchview.h"

#include "device/themeimage.h"
#include "model/coverlookup.h"
#include "model/tavomodel.h"
#include "platform/scaledimage.h"
#include "platform/workspace.h"
#include "ui/album/clampedtext.h"
#include "ui/album/sheetparts.h"
#include "ui/kit/kit.h"

#include <QCloseEvent>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int minimumCardWidth = 190;
constexpr int columnSpacing = 8;
constexpr int rowSpacing = 20;
int thumbnailTimeoutMs = RemoteThumbnail::timeoutMs;

using sheetparts::button;
using sheetparts::label;

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http"_s || scheme == u"https"_s);
}

void paintSpinner(QPainter &painter, QPointF centre, double size, const QColor &color, double phase)
{
    // Twelve spokes, the leading one darkest, turning once a second.
    constexpr int spokes = 12;
    const int lead = int(phase * spokes) % spokes;
    painter.save();
    painter.translate(centre);
    for (int i = 0; i < spokes; ++i) {
        QColor c = color;
        const int age = (lead - i + spokes) % spokes;
        c.setAlphaF(float(color.alphaF() * (1.0 - age / double(spokes) * 0.85)));
        QPen pen(c, size / 10, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        const double angle = i * 2 * M_PI / spokes;
        const QPointF dir(std::sin(angle), -std::cos(angle));
        painter.drawLine(dir * size * 0.25, dir * size * 0.5);
    }
    painter.restore();
}

} // namespace

// ---------------------------------------------------------------------------

RemoteThumbnail::RemoteThumbnail(QNetworkAccessManager *network, const QUrl &url, QWidget *parent)
    : QWidget(parent)
    , m_url(url)
{
    setFixedHeight(frameHeight);
    setMinimumWidth(minimumCardWidth - 20);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    m_spinner.setInterval(80);
    connect(&m_spinner, &QTimer::timeout, this, qOverload<>(&QWidget::update));

    QNetworkRequest request(url);
    request.setTransferTimeout(thumbnailTimeoutMs);
    request.setRawHeader("User-Agent", "Vontaro/0.6");
    QNetworkReply *reply = network->get(request);
    m_reply = reply;
    // A picture larger than any cover is refused rather than held in memory.
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBytes)
            abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > maxBytes)
            abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply != m_reply)
            return;
        m_reply = nullptr;
        m_deadline.stop();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const bool httpOk = status.isValid() && status.toInt() >= 200 && status.toInt() < 300;
        if (reply->error() != QNetworkReply::NoError || !httpOk) {
            finish({});
            return;
        }
        const QByteArray bytes = reply->readAll();
        if (bytes.size() > maxBytes) {
            finish({});
            return;
        }
        const QSize bound = QSize(qMax(width(), minimumCardWidth) * 2, frameHeight * 2);
        QFuture<QImage> future = QtConcurrent::run([bytes, bound] { return ScaledImage::decode(bytes, bound); });
        // The watcher belongs to the thumbnail: one that goes first never hears of the result.
        auto *watcher = new QFutureWatcher<QImage>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
            watcher->deleteLater();
            finish(watcher->result());
        });
        watcher->setFuture(future);
    });
    // The transfer time-out counts only silence; the whole download has the same time in all.
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &RemoteThumbnail::abort);
    m_deadline.start(thumbnailTimeoutMs);
    m_clock.start();
    m_spinner.start();
}

void RemoteThumbnail::setTimeoutForTesting(int milliseconds)
{
    thumbnailTimeoutMs = milliseconds > 0 ? milliseconds : timeoutMs;
}

int RemoteThumbnail::timeout()
{
    return thumbnailTimeoutMs;
}

RemoteThumbnail::~RemoteThumbnail()
{
    if (QNetworkReply *reply = m_reply.data()) {
        m_reply = nullptr;
        // Aborting finishes the reply at once; nothing of this thumbnail may hear it.
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void RemoteThumbnail::abort()
{
    QNetworkReply *reply = m_reply.data();
    if (!reply)
        return;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    finish({});
}

void RemoteThumbnail::finish(const QImage &image)
{
    m_deadline.stop();
    m_spinner.stop();
    m_image = image;
    m_state = image.isNull() ? State::failed : State::loaded;
    update();
    emit stateChanged();
}

void RemoteThumbnail::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF frame(rect());
    QColor fill = kit::primaryText(palette());
    fill.setAlphaF(0.04f);
    painter.fillPath(continuousRoundedRect(frame, 8), fill);
    switch (m_state) {
    case State::loading:
        paintSpinner(painter, frame.center(), 22, kit::secondaryText(palette()),
                     std::fmod(double(m_clock.elapsed()) / 1000.0, 1.0));
        break;
    case State::loaded: {
        QSizeF size = m_image.size();
        size.scale(frame.size(), Qt::KeepAspectRatio);
        const QRectF target(frame.center().x() - size.width() / 2, frame.center().y() - size.height() / 2,
                            size.width(), size.height());
        painter.drawImage(target, m_image);
        break;
    }
    case State::failed: {
        const QPixmap symbol = kit::symbolPixmap(u"photo.badge.exclamationmark"_s, kit::size::largeTitle,
                                                 kit::secondaryText(palette()), devicePixelRatioF());
        const QSizeF size = QSizeF(symbol.size()) / symbol.devicePixelRatio();
        painter.drawPixmap(QPointF(frame.center().x() - size.width() / 2, frame.center().y() - size.height() / 2),
                           symbol);
        break;
    }
    }
}

// ---------------------------------------------------------------------------

CoverSearchView::CoverSearchView(TavoModel *model, const Album &album, std::optional<bool> onDeviceOverride,
                                 QWidget *parent, Workspace *workspace)
    : QDialog(parent)
    , m_model(model)
    , m_album(album)
    , m_onDeviceOverride(onDeviceOverride)
    , m_workspace(workspace ? workspace : &Workspace::system())
    , m_network(new QNetworkAccessManager(this))
{
    Q_ASSERT(model);
    setWindowTitle(kit::tr(u"Znajdź okładkę"_s));
    setFixedSize(kit::fittedToScreen({760, 630}, parent ? parent : this));
    if (parent)
        setWindowModality(Qt::WindowModal);
    const QPalette pal = palette();

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_content = new QWidget(this);
    outer->addWidget(m_content);
    auto *layout = new QVBoxLayout(m_content);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);

    auto *header = new QHBoxLayout;
    header->addWidget(label(kit::tr(u"Znajdź okładkę"_s), kit::size::title2, m_content, QFont::Bold));
    header->addStretch(1);
    m_close = button(kit::tr(u"Zamknij"_s), m_content);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    header->addWidget(m_close);
    layout->addLayout(header);

    QLabel *albumLine = label(kit::artistName(album.artist) + u" · "_s + album.title, kit::size::caption, m_content);
    kit::setTextColor(albumLine, kit::secondaryText(pal));
    layout->addWidget(albumLine);

    auto *query = new QHBoxLayout;
    m_artist = new QLineEdit(m_content);
    m_artist->setPlaceholderText(kit::tr(u"Wykonawca"_s));
    m_title = new QLineEdit(m_content);
    m_title->setPlaceholderText(kit::tr(u"Album"_s));
    m_search = button(kit::tr(u"Szukaj"_s), m_content);
    connect(m_search, &QPushButton::clicked, this, &CoverSearchView::search);
    query->addWidget(m_artist, 1);
    query->addWidget(m_title, 1);
    query->addWidget(m_search);
    layout->addLayout(query);

    QLabel *privacy = label(kit::tr(u"MusicBrainz / Cover Art Archive · wysyłamy wyłącznie wykonawcę i tytuł. Wybierz grafikę pasującą do Twojego wydania."_s),
                            kit::size::caption, m_content);
    privacy->setWordWrap(true);
    kit::setTextColor(privacy, kit::secondaryText(pal));
    layout->addWidget(privacy);

    m_progress = new QProgressBar(m_content);
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(6);
    m_progress->setVisible(false);
    layout->addWidget(m_progress);

    m_messageLabel = label(QString(), kit::size::caption, m_content);
    m_messageLabel->setWordWrap(true);
    kit::setTextColor(m_messageLabel, kit::secondaryText(pal));
    layout->addWidget(m_messageLabel);

    m_scroll = new QScrollArea(m_content);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid = new QWidget(m_scroll);
    m_gridLayout = new QGridLayout(m_grid);
    // A little room between the last column and the scroll bar.
    m_gridLayout->setContentsMargins(0, 0, 6, 0);
    m_gridLayout->setHorizontalSpacing(columnSpacing);
    m_gridLayout->setVerticalSpacing(rowSpacing);
    m_gridLayout->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    m_scroll->setWidget(m_grid);
    m_scroll->viewport()->installEventFilter(this);
    layout->addWidget(m_scroll, 1);

    m_status = label(QString(), kit::size::caption, m_content);
    kit::setTextColor(m_status, kit::secondaryText(pal));
    layout->addWidget(m_status);

    connect(m_model, &TavoModel::busyChanged, this, &CoverSearchView::updateBusy);
    connect(m_model, &TavoModel::statusChanged, this,
            [this] { m_status->setText(kit::tr(m_model->status())); });
    m_status->setText(kit::tr(m_model->status()));
    // Closing by any way ends the search and the downloads.
    connect(this, &QDialog::finished, this, &CoverSearchView::stop);
    updateBusy();
}

CoverSearchView::~CoverSearchView()
{
    stop();
}

int CoverSearchView::columnsFor(int width, int spacing)
{
    return qMax(1, (width + spacing) / (minimumCardWidth + spacing));
}

QList<RemoteThumbnail *> CoverSearchView::thumbnails() const
{
    return m_grid->findChildren<RemoteThumbnail *>();
}

void CoverSearchView::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    m_artist->setText(kit::artistName(m_album.artist));
    m_title->setText(m_album.title);
    search();
}

void CoverSearchView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_model->busy()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CoverSearchView::closeEvent(QCloseEvent *event)
{
    // The window's own close button waits for the model's work, as "Zamknij" does;
    // a presenter closing the sheet is always obeyed.
    if (event->spontaneous() && m_model->busy()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool CoverSearchView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize) {
        if (columnsFor(m_scroll->viewport()->width() - 6, columnSpacing) != m_columns)
            layOutCards();
    }
    return QDialog::eventFilter(watched, event);
}

void CoverSearchView::search()
{
    m_searching = true;
    setMessage(u"Szukam wydań…"_s);
    m_results.clear();
    showResults();
    const QString artist = m_artist->text();
    const QString title = m_title->text();
    m_request = m_model->searchCovers(artist, title, this, [this](const CoverSearchResult &result) {
        if (result.error) {
            setMessage(*result.error);
        } else {
            m_results = result.candidates;
            setMessage(m_results.isEmpty()
                           ? u"Brak wyników. Popraw nazwy lub wybierz obraz ręcznie w albumie."_s
                           : u"Wyniki: "_s + QString::number(m_results.size()) +
                                 u". Brak grafiki oznacza, że wydanie nie ma okładki w archiwum."_s);
            showResults();
        }
        m_searching = false;
        updateBusy();
    });
    updateBusy();
}

void CoverSearchView::stop()
{
    if (m_request) {
        m_request->cancel();
        m_request.reset();
    }
    m_searching = false;
    for (RemoteThumbnail *thumbnail : thumbnails())
        thumbnail->abort();
}

void CoverSearchView::showNothing()
{
    stop();
    m_content->hide();
}

void CoverSearchView::setMessage(const QString &message)
{
    m_message = message;
    m_messageLabel->setText(kit::tr(message));
}

void CoverSearchView::showResults()
{
    for (QWidget *card : std::as_const(m_cards))
        delete card; // its thumbnail aborts its download
    m_cards.clear();
    m_downloads.clear();
    const QPalette pal = palette();
    for (const CoverCandidate &candidate : std::as_const(m_results)) {
        auto *card = new QWidget(m_grid);
        card->setMinimumWidth(minimumCardWidth);
        auto *column = new QVBoxLayout(card);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(8);
        column->addWidget(new RemoteThumbnail(m_network, candidate.artworkURL(), card));
        auto *title = new ClampedText(2, card);
        title->setFont(kit::font(kit::size::headline, QFont::DemiBold));
        title->setText(candidate.title);
        column->addWidget(title);
        auto *artist = new ClampedText(2, card);
        artist->setFont(kit::font(kit::size::caption));
        artist->setColor(kit::secondaryText(pal));
        artist->setText(candidate.artist() + u" · "_s + candidate.firstReleaseDate.value_or(QString()));
        column->addWidget(artist);
        auto *row = new QHBoxLayout;
        QPushButton *download = button(kit::tr(u"Pobierz i dodaj"_s), card);
        connect(download, &QPushButton::clicked, this, [this, candidate] {
            m_model->downloadCover(candidate, m_album, m_onDeviceOverride);
        });
        m_downloads.append(download);
        row->addWidget(download);
        QLabel *source = label(u"<a href=\"%1\" style=\"color: %2; text-decoration: none;\">%3</a>"_s.arg(
                                   candidate.pageURL().toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                   kit::blue(pal).name(), kit::tr(u"Źródło"_s).toHtmlEscaped()),
                               kit::size::caption, card);
        source->setTextFormat(Qt::RichText);
        source->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        connect(source, &QLabel::linkActivated, this, [this](const QString &link) {
            const QUrl url(link);
            if (isWebAddress(url))
                m_workspace->openUrl(url);
        });
        row->addWidget(source);
        row->addStretch(1);
        column->addLayout(row);
        column->addStretch(1);
        m_cards.append(card);
    }
    layOutCards();
    updateBusy();
}

void CoverSearchView::layOutCards()
{
    m_columns = columnsFor(m_scroll->viewport()->width() - 6, columnSpacing);
    for (QWidget *card : std::as_const(m_cards))
        m_gridLayout->removeWidget(card);
    for (int c = 0; c < m_gridLayout->columnCount(); ++c)
        m_gridLayout->setColumnStretch(c, 0);
    for (int i = 0; i < m_cards.size(); ++i)
        m_gridLayout->addWidget(m_cards[i], i / m_columns, i % m_columns);
    for (int c = 0; c < m_columns; ++c)
        m_gridLayout->setColumnStretch(c, 1);
}

void CoverSearchView::updateBusy()
{
    const bool busy = m_model->busy();
    m_close->setEnabled(!busy);
    m_search->setEnabled(!busy && !m_searching);
    for (QPushButton *download : std::as_const(m_downloads))
        download->setEnabled(!busy && !m_searching);
    m_progress->setVisible(busy || m_searching);
}
