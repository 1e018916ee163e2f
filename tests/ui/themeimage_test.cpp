#include "device/themeimage.h"
#include "platform/icons.h"
#include "support/httpserver.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using State = ThemeImageLoader::State;

namespace {

QByteArray png(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

// A valid PNG grown to exactly `size` bytes by data after its end, which
// decoders skip.
QByteArray paddedPng(qint64 size)
{
    QByteArray bytes = png(8, 6, Qt::darkCyan);
    bytes.append(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 15'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QImage painted(const ThemeImageLoader &loader, QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QPalette palette;
    palette.setColor(QPalette::WindowText, Qt::black);
    paintThemeImage(painter, QRectF(QPointF(0, 0), size), loader, palette);
    return image;
}

} // namespace

TEST(ThemeImageFrame, isTheLargestCentredFourToThree)
{
    const struct {
        QRectF available, expected;
    } cases[] = {
        {{0, 0, 400, 300}, {0, 0, 400, 300}},
        {{0, 0, 400, 150}, {100, 0, 200, 150}},
        {{0, 0, 100, 400}, {0, 162.5, 100, 75}},
        {{10, 20, 80, 60}, {10, 20, 80, 60}},
        {{0, 0, 0, 100}, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ThemeImage::fittedFrame(c.available), c.expected) << c.available.width() << "x" << c.available.height();
    EXPECT_EQ(ThemeImage::fittedImage({2, 1}, {0, 0, 400, 300}), QRectF(0, 50, 400, 200));
    EXPECT_EQ(ThemeImage::fittedImage({320, 240}, {0, 0, 400, 300}), QRectF(0, 0, 400, 300));

    ThemeImage widget;
    EXPECT_TRUE(widget.hasHeightForWidth());
    EXPECT_EQ(widget.heightForWidth(240), 180);
}

TEST(ThemeImageFile, readsOnlySmallEnoughPictures)
{
    QTemporaryDir dir;
    const QString picture = write(dir, u"wps.png"_s, png(320, 240, Qt::red));
    const QString text = write(dir, u"notes.txt"_s, "not a picture\n");
    const QString empty = write(dir, u"empty.png"_s, {});
    const QString largest = write(dir, u"largest.png"_s, paddedPng(9'999'999));
    const QString tooLarge = write(dir, u"too-large.png"_s, paddedPng(10'000'000));
    const struct {
        QString path;
        QSize size; // 0 × 0: no picture
    } cases[] = {
        {picture, {320, 240}},
        {largest, {8, 6}},
        {tooLarge, {}},
        {text, {}},
        {empty, {}},
        {dir.filePath(u"missing.png"_s), {}},
        {dir.path(), {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ThemeImageLoader::readFile(c.path).size(), c.size.isValid() ? c.size : QSize(0, 0))
            << c.path.toStdString();
}

TEST(ThemeImageLoading, fileTurnsFromLoadingToPicture)
{
    QTemporaryDir dir;
    const QString path = write(dir, u"menu.png"_s, png(40, 30, Qt::red));
    ThemeImageLoader loader;
    EXPECT_EQ(loader.state(), State::noPicture);
    int changes = 0;
    QObject::connect(&loader, &ThemeImageLoader::changed, [&] { ++changes; });
    loader.setUrl(QUrl::fromLocalFile(path));
    EXPECT_EQ(loader.state(), State::loading);
    EXPECT_TRUE(loader.isFile());
    ASSERT_TRUE(waitFor([&] { return loader.state() != State::loading; }));
    EXPECT_EQ(loader.state(), State::loaded);
    EXPECT_EQ(loader.image().size(), QSize(40, 30));
    EXPECT_GE(changes, 2);

    loader.setUrl(QUrl::fromLocalFile(dir.filePath(u"missing.png"_s)));
    ASSERT_TRUE(waitFor([&] { return loader.state() != State::loading; }));
    EXPECT_EQ(loader.state(), State::failed);
    EXPECT_TRUE(loader.image().isNull());

    loader.setUrl(std::nullopt);
    EXPECT_EQ(loader.state(), State::noPicture);
}

TEST(ThemeImageLoading, anOldPictureNeverComesBack)
{
    QTemporaryDir dir;
    const QString first = write(dir, u"first.png"_s, png(40, 30, Qt::red));
    const QString second = write(dir, u"second.png"_s, png(80, 60, Qt::blue));
    ThemeImageLoader loader;
    QList<QSize> shown;
    QObject::connect(&loader, &ThemeImageLoader::changed, [&] { shown.append(loader.image().size()); });

    loader.setUrl(QUrl::fromLocalFile(first));
    ASSERT_TRUE(waitFor([&] { return loader.state() == State::loaded; }));
    loader.setUrl(QUrl::fromLocalFile(second));
    // Until the new file is decoded, nothing of the old one is shown.
    EXPECT_EQ(loader.state(), State::loading);
    EXPECT_TRUE(loader.image().isNull());
    ASSERT_TRUE(waitFor([&] { return loader.state() == State::loaded; }));
    EXPECT_EQ(loader.image().size(), QSize(80, 60));

    // A change while the first read is still running drops that read's result.
    shown.clear();
    loader.setUrl(QUrl::fromLocalFile(first));
    loader.setUrl(QUrl::fromLocalFile(second));
    ASSERT_TRUE(waitFor([&] { return loader.state() == State::loaded; }));
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(shown.contains(QSize(40, 30)));
    EXPECT_EQ(loader.image().size(), QSize(80, 60));
}

TEST(ThemeImageLoading, remotePicturesAndTheirFailures)
{
    HttpServer server;
    server.setResponse("/wps.png", {200, {{"Content-Type", "image/png"}}, png(64, 48, Qt::green)});
    server.setResponse("/page.html", {200, {{"Content-Type", "text/html"}}, "<html></html>"});
    server.setResponse("/error.png", {500, {}, png(64, 48, Qt::green)});
    server.setResponse("/huge.png", {200, {}, paddedPng(10'000'000)});
    const struct {
        QUrl url;
        State state;
    } cases[] = {
        {server.base().resolved(QUrl(u"wps.png"_s)), State::loaded},
        {server.base().resolved(QUrl(u"page.html"_s)), State::failed},
        {server.base().resolved(QUrl(u"missing.png"_s)), State::failed}, // 404
        {server.base().resolved(QUrl(u"error.png"_s)), State::failed},   // a picture, but with a failing status
        {server.base().resolved(QUrl(u"huge.png"_s)), State::failed},
        {HttpServer::refusingBase().resolved(QUrl(u"wps.png"_s)), State::failed},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url.toString().toStdString());
        ThemeImageLoader loader;
        loader.setUrl(c.url);
        EXPECT_FALSE(loader.isFile());
        EXPECT_EQ(loader.state(), State::loading);
        ASSERT_TRUE(waitFor([&] { return loader.state() != State::loading; }));
        EXPECT_EQ(loader.state(), c.state);
        EXPECT_EQ(loader.image().isNull(), c.state != State::loaded);
    }
}

TEST(ThemeImagePainting, picturesArePixelExactAndCornersRounded)
{
    QTemporaryDir dir;
    QImage twoPixels(2, 1, QImage::Format_RGB32);
    twoPixels.setPixel(0, 0, qRgb(255, 0, 0));
    twoPixels.setPixel(1, 0, qRgb(0, 0, 255));
    const QString path = dir.filePath(u"two.png"_s);
    ASSERT_TRUE(twoPixels.save(path));
    ThemeImageLoader loader;
    loader.setUrl(QUrl::fromLocalFile(path));
    ASSERT_TRUE(waitFor([&] { return loader.state() == State::loaded; }));

    const QImage image = painted(loader, {400, 300});
    // Scaled without smoothing: the two halves meet without a blend.
    EXPECT_EQ(image.pixel(199, 150), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(200, 150), qRgb(0, 0, 255));
    // Outside the 2:1 picture only the faint background shows.
    EXPECT_LT(qAlpha(image.pixel(200, 20)), 20);
    EXPECT_GT(qAlpha(image.pixel(200, 20)), 0);
    // The rounded corner leaves the very corner empty.
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

TEST(ThemeImagePainting, placeholdersShowASymbolAndAText)
{
    ThemeImageLoader none;
    const QImage empty = painted(none, {200, 150});
    // Something darker than the faint background is drawn in the middle (symbol and caption).
    int marked = 0;
    for (int y = 40; y < 110; ++y) {
        for (int x = 40; x < 160; ++x)
            marked += qAlpha(empty.pixel(x, y)) > 60 ? 1 : 0;
    }
    EXPECT_GT(marked, 30);
    EXPECT_EQ(qAlpha(empty.pixel(0, 0)), 0);

    ThemeImage widget;
    widget.resize(200, 150);
    widget.grab().save(QCoreApplication::applicationDirPath() + u"/themeimage-none.png"_s);

    ThemeImageLoader missing;
    missing.setUrl(QUrl::fromLocalFile(u"/nonexistent/wps.png"_s));
    ASSERT_TRUE(waitFor([&] { return missing.state() == State::failed; }));
    const QImage failed = painted(missing, {200, 150});
    failed.save(QCoreApplication::applicationDirPath() + u"/themeimage-failed.png"_s);
    // The label is one line across the middle.
    bool markedInMiddle = false;
    for (int x = 20; x < 180; ++x)
        markedInMiddle = markedInMiddle || qAlpha(failed.pixel(x, 75)) > 60;
    EXPECT_TRUE(markedInMiddle);
}

TEST(SymbolIcons, everySymbolHasAnIcon)
{
    for (const QString &symbol : icons::symbols()) {
        const QString path = icons::path(symbol);
        ASSERT_TRUE(path.startsWith(u":/icons/"_s)) << symbol.toStdString();
        QSvgRenderer renderer(path);
        EXPECT_TRUE(renderer.isValid()) << path.toStdString();
    }
    EXPECT_EQ(icons::path(u"no.such.symbol"), QString());
    EXPECT_EQ(symbolSize(u"photo", 10), QSizeF(10, 10));
    EXPECT_EQ(symbolSize(u"playpause.fill", 10), QSizeF(15, 10));
    EXPECT_TRUE(QFile::exists(u":/icons/LICENSE-tabler.txt"_s));
}

TEST(ThemeImageLoading, goingAwayWhileLoadingIsHarmless)
{
    // The views drop pictures while they load (scrolling, changing pages); a late
    // result must find nothing to write to.
    QTemporaryDir dir;
    const QString path = write(dir, u"big.png"_s, png(1600, 1200, Qt::yellow));
    HttpServer server;
    server.setResponse("/slow.png", {200, {}, {}, true});
    for (int i = 0; i < 5; ++i)
        delete new ThemeImage(QUrl::fromLocalFile(path));
    // A download that is under way when its view goes.
    auto *remote = new ThemeImage(server.base().resolved(QUrl(u"slow.png"_s)));
    ASSERT_TRUE(waitFor([&] { return server.requests().size() == 1; }));
    delete remote;
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // Qt keeps the aborted request's connection cached and does not always free it
    // at exit; flush it so the leak checker sees a clean exit.
    for (auto *manager : QCoreApplication::instance()->findChildren<QNetworkAccessManager *>())
        manager->clearConnectionCache();
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    SUCCEED();
}

TEST(ThemeImageLoading, slowDownloadsGiveUpInTime)
{
    // A server that never answers, and one that keeps the download alive with
    // a byte now and then: both end as unavailable once the time is up.
    ThemeImageLoader::setDownloadTimeout(600);
    HttpServer server;
    server.setResponse("/silent.png", {200, {}, {}, true});
    HttpServer::Response trickle{200, {}, png(64, 48, Qt::green)};
    trickle.trickleMs = 100;
    server.setResponse("/trickle.png", trickle);
    for (const char *path : {"silent.png", "trickle.png"}) {
        SCOPED_TRACE(path);
        ThemeImageLoader loader;
        QElapsedTimer clock;
        clock.start();
        loader.setUrl(server.base().resolved(QUrl(QString::fromLatin1(path))));
        ASSERT_TRUE(waitFor([&] { return loader.state() != State::loading; }));
        EXPECT_EQ(loader.state(), State::failed);
        EXPECT_GE(clock.elapsed(), 500);
        EXPECT_LT(clock.elapsed(), 6'000);
    }
    ThemeImageLoader::setDownloadTimeout(0);
    EXPECT_EQ(ThemeImageLoader::downloadTimeout(), ThemeImageLoader::defaultDownloadTimeout);
    for (auto *manager : QCoreApplication::instance()->findChildren<QNetworkAccessManager *>())
        manager->clearConnectionCache();
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}
