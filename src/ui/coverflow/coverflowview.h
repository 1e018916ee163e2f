#pragma once

// The whole content of the Cover Flow window: a dark page with a header, and
// either the stage with the centred album's caption, the buttons to move,
// open and listen, and a hint; or, while there are no albums, an invitation
// to read them from the iPod.
//
// The albums come from the model's device tracks: every change of them is
// followed, 100 ms after the last change of a burst, by a build of the list
// on a worker; only the last build started is ever applied, and the album in
// the centre stays there when it is still in the new list.

#include "media/records.h"
#include "ui/coverflow/flowalbum.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class FlowStage;
class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class TavoModel;

class CoverFlowView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int debounceMilliseconds = 100;

    // `close` closes the window that shows this view.
    CoverFlowView(TavoModel *model, bool reduceMotion, std::function<void()> close, QWidget *parent = nullptr);
    ~CoverFlowView() override;

    const QList<FlowAlbum> &items() const { return m_items; }
    int index() const { return m_index; }
    bool loading() const { return m_loading; }
    bool fullScreen() const { return m_fullScreen; }
    // The album whose detail sheet is open.
    const std::optional<Album> &detail() const { return m_detail; }
    // How many builds have started (each debounced burst of changes makes one).
    int buildsStarted() const { return m_buildsStarted; }
    FlowStage *stage() const { return m_stage; }

    // Moves the centre to position i (clamped), animated unless motion is reduced.
    void select(int i);
    // Opens the centred album's detail sheet, for the device's tracks.
    void openCentred();
    // Plays the centred album on this computer from its first track.
    void listen();
    // Stops following the model and drops any running build (the window closes).
    void shutDown();

    // How the list is made from the tracks, on a worker: FlowAlbum::prepare
    // unless replaced (tests hold a build back with it).
    using Preparation = std::function<QList<FlowAlbum>(const QList<Track> &)>;
    void setPreparation(Preparation preparation) { m_prepare = std::move(preparation); }

signals:
    // A build's list was put in place.
    void itemsApplied();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild(const QList<Track> &tracks);
    void applyItems(const QList<FlowAlbum> &items, const std::optional<QString> &centred);
    void refreshPage();
    void refreshCaption();
    void refreshEmptyPage();
    void refreshFullScreen();
    void toggleFullScreen();
    void closeOrLeaveFullScreen();
    void openDetail(const Album &album);

    TavoModel *m_model;
    bool m_reduceMotion;
    Preparation m_prepare = &FlowAlbum::prepare;
    std::function<void()> m_close;

    QList<FlowAlbum> m_items;
    int m_index = 0;
    bool m_loading = false;
    std::optional<Album> m_detail;
    QPointer<QWidget> m_window;
    bool m_fullScreen = false;
    int m_generation = 0;
    int m_buildsStarted = 0;
    bool m_shutDown = false;
    QTimer m_debounce;
    QPointer<QDialog> m_detailSheet;

    // Header.
    QLabel *m_count;
    QPushButton *m_fullScreenButton;
    QPushButton *m_closeButton;
    // Empty page.
    QWidget *m_emptyPage;
    QWidget *m_loadingRow;
    QPushButton *m_scanButton;
    QProgressBar *m_progress;
    QLabel *m_status;
    // Stage page.
    QWidget *m_flowPage;
    FlowStage *m_stage;
    QLabel *m_title;
    QLabel *m_artist;
    QLabel *m_info;
    QPushButton *m_previous;
    QPushButton *m_open;
    QPushButton *m_listen;
    QPushButton *m_next;
};
