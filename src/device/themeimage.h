#pragma once

// A theme picture (a screenshot of a Rockbox theme) in a 4:3 frame with rounded
// corners, read from a file or loaded from the network, with its own placeholders.
// Also the symbol painter shared by the drawings of this folder.

#include <QElapsedTimer>
#include <QFuture>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <optional>

class QNetworkReply;
class QPainter;
class QPalette;
class QPainterPath;

// Size of a symbol of the interface's symbol set drawn at a font size of
// `pointSize`: as tall as the size, as wide as the icon's proportions make it.
QSizeF symbolSize(QStringView symbol, double pointSize);

// Draws the symbol centred on `centre`. `weight` is the stroke of line icons in
// icon units (2 regular, 1.5 light, 2.3 medium); filled icons ignore it.
void paintSymbol(QPainter &painter, QStringView symbol, QPointF centre, double pointSize, const QColor &color,
                 double weight = 2.0);

// A rounded rectangle with continuous (curvature-smooth) corners, as Apple draws them.
QPainterPath continuousRoundedRect(const QRectF &rect, double radius);

// Loads the picture of one address and says what to show meanwhile. Lives on the
// main thread; files are read and pictures decoded on worker threads.
class ThemeImageLoader : public QObject
{
    Q_OBJECT
public:
    enum class State {
        noPicture, // no address
        loading,   // reading or downloading
        loaded,    // image() holds the picture
        failed,    // missing, unreadable, too large or not a picture
    };

    // Picture files above this size are never read, nor downloads kept.
    static constexpr qint64 maxFileSize = 9'999'999;

    // How long a remote picture may take in all, in milliseconds. Tests shorten
    // it; zero or less restores the default. Main thread only.
    static constexpr int defaultDownloadTimeout = 35'000;
    static void setDownloadTimeout(int milliseconds);
    static int downloadTimeout();

    explicit ThemeImageLoader(QObject *parent = nullptr);
    ~ThemeImageLoader() override;

    // Starts over for the new address (the old picture is dropped at once, and a
    // late result for an old address is ignored).
    void setUrl(const std::optional<QUrl> &url);
    const std::optional<QUrl> &url() const { return m_url; }
    bool isFile() const { return m_url && m_url->isLocalFile(); }

    State state() const { return m_state; }
    const QImage &image() const { return m_image; }
    // Turn of the busy indicator, 0 to 1, while a download runs.
    double spinnerPhase() const;

    // The picture of a file: empty when the file is missing, not a regular file,
    // larger than maxFileSize or not a decodable image. Safe on any thread.
    static QImage readFile(const QString &path);

signals:
    void changed();

private:
    void startDownload(const QUrl &url);
    void whenDone(QFuture<QImage> future, quint64 generation);
    void finish(quint64 generation, const QImage &image);

    std::optional<QUrl> m_url;
    State m_state = State::noPicture;
    QImage m_image;
    quint64 m_generation = 0;
    QPointer<QNetworkReply> m_reply;
    QTimer m_spinner;
    QElapsedTimer m_clock;
};

// Paints a theme picture in the largest 4:3 rectangle inside `available`, as
// ThemeImage shows it. `palette` gives the primary and secondary colours.
void paintThemeImage(QPainter &painter, const QRectF &available, const ThemeImageLoader &loader,
                     const QPalette &palette);

class ThemeImage : public QWidget
{
    Q_OBJECT
public:
    explicit ThemeImage(const std::optional<QUrl> &url = std::nullopt, QWidget *parent = nullptr);

    void setUrl(const std::optional<QUrl> &url);
    const std::optional<QUrl> &url() const { return m_loader.url(); }
    const ThemeImageLoader &loader() const { return m_loader; }

    // The largest rectangle of proportions 4:3 inside `available`, centred.
    static QRectF fittedFrame(const QRectF &available);
    // The largest rectangle of the image's proportions inside `frame`, centred.
    static QRectF fittedImage(const QSizeF &image, const QRectF &frame);

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ThemeImageLoader m_loader;
};
