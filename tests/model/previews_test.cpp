#include "operationstesting.h"

#include "device/configuration.h"
#include "platform/defaults.h"
#include "platform/sha256.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"

#include <QDir>

namespace {

const QString gallerySource = u"Zrzuty z katalogu Rockbox (wersja katalogowa)"_s;
const QString unavailable = u"Katalog jest niedostępny. Możesz dodać własne zrzuty."_s;
const QString offline = u"Brak połączenia z katalogiem motywów Rockbox. Możesz dodać własne zrzuty."_s;

QString galleryRow(const QString &id, const QString &title)
{
    return u"<tr><th class=\"t\">\n  <a href=\"index.php?themeid="_s + id + u"&amp;target=ipodvideo\">"_s + title
        + u"</a></th></tr>\n<tr><td><a href=\"index.php?themeid="_s + id
        + u"&target=ipodvideo\"><img src=\"themes/"_s + id + u"/shot.png\"></a></td></tr>\n"_s;
}

QString status(int count)
{
    return u"Podglądy katalogowe: "_s + QString::number(count)
        + u". Wersja motywu może różnić się od zainstalowanej."_s;
}

class Previews : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        themes = {Theme{device.path(u".rockbox/themes/Alpha.cfg"_s)}, Theme{device.path(u".rockbox/themes/Beta.cfg"_s)},
                  Theme{device.path(u".rockbox/themes/Gamma.cfg"_s)}};
        model->setImageChooser([this](const QString &prompt) -> std::optional<QString> {
            prompts.append(prompt);
            return chosen;
        });
    }

    void serveGallery(const QString &rows, int code = 200)
    {
        HttpServer::Response page;
        page.status = code;
        page.body = (u"<html><table>"_s + rows + u"</table></html>"_s).toUtf8();
        server.setResponse("/index.php", page);
    }

    // Starts a fetch and waits for its answer to be merged.
    void fetchAndWait()
    {
        model->fetchThemePreviews();
        ASSERT_EQ(model->themePreviewStatus(), u"Pobieram podglądy z Rockbox…"_s);
        ASSERT_TRUE(waitUntil([&] { return model->themePreviewStatus() != u"Pobieram podglądy z Rockbox…"_s; }));
    }

    static ThemePreview own(const QString &file)
    {
        return ThemePreview{QUrl::fromLocalFile(file), std::nullopt, u"Twój zrzut"_s, std::nullopt, std::nullopt};
    }

    QList<Theme> themes;
    QStringList prompts;
    std::optional<QString> chosen;
};

} // namespace

TEST_F(Previews, GalleryPicturesAreMergedAndOwnScreenshotsStay)
{
    model->setThemes(themes);
    const ThemePreview mine = own(device.outside(u"mine.png"_s));
    const ThemePreview packaged{QUrl::fromLocalFile(device.path(u".rockbox/themes/b.bmp"_s)), std::nullopt,
                                u"Zrzut z paczki"_s, std::nullopt, std::nullopt};
    const ThemePreview unrelated{std::nullopt, std::nullopt, u"Zrzut z paczki"_s, std::nullopt, std::nullopt};
    model->setThemePreviews({{themes[0].url, mine}, {themes[1].url, packaged}, {u"/elsewhere/Old.cfg"_s, unrelated}});
    serveGallery(galleryRow(u"1"_s, u"Alpha"_s) + galleryRow(u"2"_s, u"Beta"_s) + galleryRow(u"3"_s, u"Gamma"_s));

    fetchAndWait();
    EXPECT_EQ(model->themePreviewStatus(), status(3));
    const TavoModel::ThemePreviewMap previews = model->themePreviews();
    EXPECT_EQ(previews.size(), 4);
    EXPECT_EQ(previews.value(themes[0].url), mine);
    EXPECT_EQ(previews.value(themes[1].url).source, gallerySource);
    EXPECT_EQ(previews.value(themes[1].url).playing, server.base().resolved(QUrl(u"themes/2/shot.png"_s)));
    EXPECT_EQ(previews.value(themes[2].url).source, gallerySource);
    EXPECT_EQ(previews.value(u"/elsewhere/Old.cfg"_s), unrelated);
    EXPECT_FALSE(model->busy());

    // Without a "Target" line the gallery is asked for the iPod video's page.
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].target, "/index.php?target=ipodvideo");
}

TEST_F(Previews, TheDeviceTargetChoosesTheGalleryPage)
{
    model->setThemes(themes);
    model->setDeviceInfo({{u"Target"_s, u"ipod6g"_s}});
    serveGallery(QString());
    fetchAndWait();
    EXPECT_EQ(model->themePreviewStatus(), status(0));
    EXPECT_TRUE(model->themePreviews().isEmpty());
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].target, "/index.php?target=ipod6g");
}

TEST_F(Previews, AnUnavailableGalleryLeavesThePreviewsAlone)
{
    model->setThemes(themes);
    const TavoModel::ThemePreviewMap before{{themes[0].url, own(device.outside(u"mine.png"_s))}};
    model->setThemePreviews(before);
    model->setAlert(std::nullopt);

    for (int code : {500, 404}) {
        serveGallery(galleryRow(u"1"_s, u"Alpha"_s), code);
        fetchAndWait();
        EXPECT_EQ(model->themePreviewStatus(), unavailable) << code;
        EXPECT_EQ(model->themePreviews(), before) << code;
        EXPECT_FALSE(model->alert()) << code;
    }
    // Without a connection the status says so.
    ServiceBase::setThemeGallery(HttpServer::refusingBase());
    fetchAndWait();
    EXPECT_EQ(model->themePreviewStatus(), offline);
    EXPECT_EQ(model->themePreviews(), before);
}

TEST_F(Previews, WithoutThemesNothingIsFetched)
{
    model->fetchThemePreviews();
    EXPECT_TRUE(model->themePreviewStatus().isEmpty());
    drainWork();
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(Previews, AnAnswerForADeviceNoLongerChosenIsDropped)
{
    // Device A asks the gallery by itself once its content is read; device B
    // is chosen before A's answer is back. A's answer (two pictures) must
    // neither show its count nor stop B's own automatic fetch (one picture).
    device.writeFile(u".rockbox/themes/Alpha.cfg"_s, "wps: /.rockbox/wps/Alpha.wps\n");
    device.writeFile(u".rockbox/themes/Gamma.cfg"_s, "wps: /.rockbox/wps/Gamma.wps\n");
    device.writeInfo("Target: ipodvideo\n");
    DeviceFixture other(u"OTHER"_s);
    other.writeFile(u".rockbox/themes/Beta.cfg"_s, "wps: /.rockbox/wps/Beta.wps\n");
    other.writeInfo("Target: ipod6g\n");
    serveGallery(galleryRow(u"1"_s, u"Alpha"_s) + galleryRow(u"2"_s, u"Beta"_s) + galleryRow(u"3"_s, u"Gamma"_s));

    const Device b = Device::inspect(other.root());
    bool switched = false;
    // Queued: the switch runs after the fetch for A has started and before its
    // answer (which needs a round trip to the server) can be applied.
    QObject::connect(model.get(), &TavoModel::themePreviewStatusChanged, model.get(), [&] {
        if (!switched && model->themePreviewStatus() == u"Pobieram podglądy z Rockbox…"_s) {
            switched = true;
            model->select(b);
        }
    }, Qt::QueuedConnection);
    connectDevice();
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() == 2 && model->themePreviewStatus() == status(1); }));
    ASSERT_TRUE(switched);
    // The two requests may reach the server in either order.
    QSet<QByteArray> targets;
    for (const HttpServer::Request &request : server.requests())
        targets.insert(request.target);
    EXPECT_EQ(targets, (QSet<QByteArray>{"/index.php?target=ipodvideo", "/index.php?target=ipod6g"}));
    // Let anything late arrive, then check nothing of A's answer was applied.
    drainWork();
    EXPECT_EQ(model->themePreviewStatus(), status(1));
    ASSERT_TRUE(model->device());
    EXPECT_EQ(model->device()->root, other.root());
    EXPECT_FALSE(model->themePreviews().contains(device.path(u".rockbox/themes/Alpha.cfg"_s)));
    EXPECT_EQ(model->themePreviews().value(other.path(u".rockbox/themes/Beta.cfg"_s)).source, gallerySource);
}

TEST_F(Previews, TheFetchRunsBesideAnotherOperation)
{
    model->setThemes(themes);
    model->setBusy(true);
    serveGallery(galleryRow(u"1"_s, u"Alpha"_s));
    fetchAndWait();
    EXPECT_EQ(model->themePreviewStatus(), status(1));
    EXPECT_TRUE(model->busy());
    model->setBusy(false);
}

TEST_F(Previews, AnOwnScreenshotIsKeptByteForByteAndFoundAgain)
{
    const QByteArray picture = fixtures::encode(fixtures::solid(320, 240), "png");
    chosen = device.outside(u"Pictures/shot.png"_s);
    QDir().mkpath(QFileInfo(*chosen).path());
    QFile file(*chosen);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(picture);
    file.close();
    device.writeFile(u".rockbox/themes/Alpha.cfg"_s, "wps: /.rockbox/wps/Alpha.wps\n");

    model->chooseThemePreview(themes[0]);
    EXPECT_EQ(prompts, QStringList{u"Dodaj zrzut motywu"_s});
    const QString cached = support(u"Artwork/theme-"_s + sha256::hex(themes[0].url.toUtf8()) + u".jpg"_s);
    QFile stored(cached);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), picture);
    EXPECT_EQ(Defaults::string(themePreviewKey(themes[0].url)), cached);
    EXPECT_EQ(model->themePreviews().value(themes[0].url), own(cached));
    EXPECT_FALSE(model->alert());

    // The next reading of the device finds the same screenshot.
    EXPECT_EQ(ThemePreview::local(themes[0], device.root()), own(cached));

    // And a gallery answer for that theme does not replace it.
    model->setThemes(themes);
    serveGallery(galleryRow(u"1"_s, u"Alpha"_s));
    fetchAndWait();
    EXPECT_EQ(model->themePreviews().value(themes[0].url), own(cached));
    EXPECT_EQ(model->themePreviewStatus(), status(1));
}

TEST_F(Previews, NoScreenshotWithoutAPicture)
{
    const QString text = device.outside(u"notes.txt"_s);
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    for (const std::optional<QString> &pick : {std::optional<QString>(), std::optional<QString>(text),
                                               std::optional<QString>(device.outside(u"missing.png"_s))}) {
        chosen = pick;
        model->chooseThemePreview(themes[0]);
        EXPECT_TRUE(model->themePreviews().isEmpty());
        EXPECT_FALSE(model->alert());
        EXPECT_FALSE(Defaults::contains(themePreviewKey(themes[0].url)));
    }
    EXPECT_FALSE(QDir(support(u"Artwork"_s)).exists());
}

TEST_F(Previews, AnUnwritableCacheShowsTheError)
{
    const QByteArray picture = fixtures::encode(fixtures::solid(32, 32), "png");
    chosen = device.outside(u"shot.png"_s);
    QFile file(*chosen);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(picture);
    file.close();
    // A file stands where the application's data folder belongs.
    QFile blocker(device.outside(u"Support"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    model->chooseThemePreview(themes[0]);
    ASSERT_TRUE(model->alert());
    EXPECT_FALSE(model->alert()->isEmpty());
    EXPECT_TRUE(model->themePreviews().isEmpty());
    EXPECT_FALSE(Defaults::contains(themePreviewKey(themes[0].url)));
}

TEST(PreviewTexts, ReadInEnglish)
{
    Defaults::clear();
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    EXPECT_EQ(AppLocalizer::display(status(4)), u"Gallery previews: 4. The theme version may differ from the installed one."_s);
    for (const QString &text : {u"Pobieram podglądy z Rockbox…"_s, unavailable, offline, u"Dodaj zrzut motywu"_s})
        EXPECT_NE(AppLocalizer::display(text), text) << text.toStdString();
    Defaults::clear();
}
