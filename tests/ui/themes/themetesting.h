#pragma once

// Ground shared by the theme views' tests: a model without device discovery, a
// workspace that records what it was asked to open, pictures made on the spot,
// the loopback gallery, and PNGs of a widget in both languages and palettes.

#include "device/device.h"
#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "platform/http.h"
#include "platform/workspace.h"
#include "support/devicefixture.h"
#include "support/httpserver.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

class RecordingWorkspace : public Workspace
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    void reveal(const QStringList &paths) override { revealed.append(paths); }
    QList<QUrl> opened;
    QList<QStringList> revealed;
};

inline bool waitUntil(const std::function<bool()> &done, int ms = 20'000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Lets events already posted run (repaints, late loader results).
inline void settle(int rounds = 20)
{
    for (int i = 0; i < rounds; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

inline QByteArray pngBytes(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    // A few stripes, so a screenshot shows the picture is there and unsmoothed.
    for (int y = 0; y < height; y += 8)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(255, 255, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A gallery page with one entry per (id, title, submitter); each entry's
// pictures are served at themes/<id>/wps.png and themes/<id>/menu.png.
inline QByteArray galleryPage(const QList<std::array<QString, 3>> &entries)
{
    QString html = u"<html><body><table>"_s;
    for (const auto &[id, title, submitter] : entries) {
        html += u"<tr><th class=\"t\">\n  <a href=\"index.php?themeid="_s + id + u"&amp;target=ipodvideo\">"_s + title
            + u"</a></th></tr>\n<tr><td><a href=\"index.php?themeid="_s + id
            + u"&target=ipodvideo\"><img path=\"themes/"_s + id + u"/\" src=\"themes/"_s + id
            + u"/wps.png\" oversrc=\"menu.png\"></a><br><strong>Submitter:</strong>&nbsp;"_s + submitter
            + u"</td></tr>\n"_s;
    }
    html += u"</table></body></html>"_s;
    return html.toUtf8();
}

// Every test starts Polish, with empty settings and the gallery on loopback.
class ThemeViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        AppLocalizer::setPreferredLanguages([] { return QStringList{u"pl-PL"_s}; });
        ServiceBase::setThemeGallery(server.base());
        QApplication::setPalette(kit::lightPalette());
        model = std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
        // The start-up discovery finds nothing; it must be over before a test
        // sets the model up, or its ending would clear what the test set.
        ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
        settle();
    }
    void TearDown() override
    {
        model.reset();
        settle();
        ServiceBase::reset();
        AppLocalizer::setPreferredLanguages({});
        Defaults::clear();
    }

    static void setEnglish(bool english) { Defaults::setString(u"appLanguage"_s, english ? u"en"_s : u"pl"_s); }

    // A copy of a real device's folder from the test data, chosen as the device.
    void selectRealDevice()
    {
        DeviceFixture::copyTree(QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/ipodvideo-budm-rockb0x"),
                                device.root());
        // Two more real themes, of another player, beside the iPod's own.
        DeviceFixture::copyTree(
            QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/erosqnative-SoraBee/.rockbox/themes"),
            device.path(u".rockbox/themes"_s));
        model->select(Device::inspect(device.root()));
        ASSERT_TRUE(waitUntil([&] { return model->themes().size() == 6; }));
        // The model asks the gallery once the content is read; that answer is
        // not the page's doing, so it is awaited and forgotten.
        ASSERT_TRUE(waitUntil([&] {
            return !model->themePreviewStatus().isEmpty()
                && model->themePreviewStatus() != u"Pobieram podglądy z Rockbox…"_s;
        }));
        settle();
        model->setThemePreviewStatus(QString());
        server.clearRequests();
    }

    Theme themeNamed(const QString &name) const
    {
        for (const Theme &theme : model->themes()) {
            if (QFileInfo(theme.url).completeBaseName() == name)
                return theme;
        }
        ADD_FAILURE() << "no theme " << name.toStdString();
        return {};
    }

    // PNGs of the widget in Polish and English, light and dark, under the build
    // folder's screenshots; `make` builds the widget anew for each.
    static void saveScreenshots(const QString &name, const std::function<QWidget *()> &make,
                                const std::function<void(QWidget *)> &prepare = {})
    {
        const QString folder = QCoreApplication::applicationDirPath() + u"/../screenshots"_s;
        QDir().mkpath(folder);
        for (bool english : {false, true}) {
            for (bool dark : {false, true}) {
                setEnglish(english);
                QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
                std::unique_ptr<QWidget> widget(make());
                widget->setAttribute(Qt::WA_DontShowOnScreen);
                widget->show();
                if (prepare)
                    prepare(widget.get());
                settle(40);
                const QString file = folder + u"/"_s + name + (english ? u"-en"_s : u"-pl"_s)
                    + (dark ? u"-dark.png"_s : u"-light.png"_s);
                EXPECT_TRUE(widget->grab().save(file)) << file.toStdString();
            }
        }
        setEnglish(false);
        QApplication::setPalette(kit::lightPalette());
    }

    HttpServer server;
    DeviceFixture device;
    std::unique_ptr<TavoModel> model;
};
