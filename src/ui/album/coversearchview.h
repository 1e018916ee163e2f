#pragma once

// The cover search sheet: the album's names in two fields, a search of the
// online catalogue started at once and by "Szukaj", the candidates as cards in
// a grid (thumbnail, title, artist and date, "Pobierz i dodaj", "Źródło"), and
// the model's status. The search runs as a cancellable request and the
// thumbnails as network replies owned by their cards: closing or destroying
// the sheet cancels the one and aborts the others, and nothing arrives later.

#include "media/coversearch.h"
#include "media/records.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QNetworkReply>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

class ClampedText;
class CoverSearchRequest;
class QGridLayout;
class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QProgressBar;
class QPushButton;
class QScrollArea;
class TavoModel;
class Workspace;

// A candidate's front cover fetched over the network and decoded on a worker
// at display size: a spinner while it loads, the picture fitted, or a
// warning symbol when it could not be had.
class RemoteThumbnail : public QWidget
{
    Q_OBJECT
public:
    enum class State { loading, loaded, failed };

    // Larger answers are refused; a download that takes longer in all (even
    // one that keeps trickling) gives up.
    static constexpr qint64 maxBytes = 10 * 1024 * 1024;
    static constexpr int timeoutMs = 35'000;
    // Tests shorten the time allowed; 0 restores it.
    static void setTimeoutForTesting(int milliseconds);
    static int timeout();
    static constexpr int frameHeight = 170;

    RemoteThumbnail(QNetworkAccessManager *network, const QUrl &url, QWidget *parent = nullptr);
    ~RemoteThumbnail() override;

    State state() const { return m_state; }
    const QImage &image() const { return m_image; }
    const QUrl &url() const { return m_url; }
    // Aborts the download; the thumbnail then shows the failure symbol.
    void abort();
    bool downloading() const { return m_reply != nullptr; }

    QSize sizeHint() const override { return {190, frameHeight}; }

signals:
    void stateChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void finish(const QImage &image);

    QUrl m_url;
    State m_state = State::loading;
    QImage m_image;
    QPointer<QNetworkReply> m_reply;
    QTimer m_spinner;
    QTimer m_deadline;
    QElapsedTimer m_clock;
};

class CoverSearchView : public QDialog
{
    Q_OBJECT
public:
    // onDeviceOverride is handed unchanged to the model's download.
    // `workspace` opens the catalogue pages; absent, the desktop's own.
    CoverSearchView(TavoModel *model, const Album &album, std::optional<bool> onDeviceOverride,
                    QWidget *parent = nullptr, Workspace *workspace = nullptr);
    ~CoverSearchView() override;

    // Starts a search with the two fields' texts as they are.
    void search();
    bool searching() const { return m_searching; }
    const QList<CoverCandidate> &results() const { return m_results; }
    // The message line's text, still in Polish.
    const QString &message() const { return m_message; }
    const std::optional<bool> &onDeviceOverride() const { return m_onDeviceOverride; }
    // The album has gone: the search stops and the sheet shows nothing.
    void showNothing();

    // Columns of the grid for a width: as many cards of at least 190 as fit.
    static int columnsFor(int width, int spacing);
    QList<RemoteThumbnail *> thumbnails() const;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void stop();
    void showResults();
    void layOutCards();
    void updateBusy();
    void setMessage(const QString &message);

    TavoModel *m_model;
    Album m_album;
    std::optional<bool> m_onDeviceOverride;
    Workspace *m_workspace;
    QNetworkAccessManager *m_network;

    QList<CoverCandidate> m_results;
    QString m_message;
    bool m_searching = false;
    bool m_shown = false;
    std::shared_ptr<CoverSearchRequest> m_request;

    QWidget *m_content = nullptr;
    QPushButton *m_close = nullptr;
    QLineEdit *m_artist = nullptr;
    QLineEdit *m_title = nullptr;
    QPushButton *m_search = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_messageLabel = nullptr;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_grid = nullptr;
    QGridLayout *m_gridLayout = nullptr;
    QList<QWidget *> m_cards;
    QList<QPushButton *> m_downloads;
    QLabel *m_status = nullptr;
    int m_columns = 0;
};
