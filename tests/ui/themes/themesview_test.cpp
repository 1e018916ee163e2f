#include "themetesting.h"

#include "device/themeimage.h"
#include "support/accessiblerows.h"
#include "ui/shell/pages.h"
#include "ui/themes/themegrid.h"
#include "ui/themes/themesview.h"
#include "ui/themes/themewidgets.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

const QString hint =
    u"Kliknij motyw, aby obejrzeć ekrany menu i odtwarzania. Podglądy katalogowe mogą przedstawiać inną wersję motywu."_s;
const QString fetching = u"Pobieram podglądy z Rockbox…"_s;

class ThemesPage : public ThemeViewTest
{
protected:
    std::unique_ptr<ThemesView> showPage(QSize size = {900, 700})
    {
        auto page = std::make_unique<ThemesView>(model.get(), nullptr, &workspace);
        page->resize(size);
        page->setAttribute(Qt::WA_DontShowOnScreen);
        page->show();
        settle();
        return page;
    }

    void clickAt(ThemeGrid *grid, const QRectF &contentRect)
    {
        const QPoint centre = grid->viewportRect(contentRect).center().toPoint();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
    }

    // The requests for the gallery's index, leaving out those for pictures.
    QList<QByteArray> galleryRequests() const
    {
        QList<QByteArray> found;
        for (const HttpServer::Request &request : server.requests()) {
            if (request.path() == "/index.php")
                found.append(request.target);
        }
        return found;
    }

    RecordingWorkspace workspace;
};

} // namespace

TEST_F(ThemesPage, WithoutADeviceNothingCanStart)
{
    auto page = showPage();
    EXPECT_FALSE(page->importButton()->isEnabled());
    EXPECT_FALSE(page->fetchButton()->isEnabled());
    EXPECT_EQ(page->grid()->count(), 0);
    EXPECT_TRUE(page->emptyLabel()->isVisible());
    EXPECT_EQ(page->emptyLabel()->text(), u"Podłącz urządzenie, aby zobaczyć zainstalowane motywy."_s);
    EXPECT_EQ(page->statusLabel()->text(), hint);
    // With nothing installed the automatic fetch does nothing and leaves the
    // status empty, so the next showing tries again.
    EXPECT_EQ(model->themePreviewStatus(), QString());
    settle();
    EXPECT_TRUE(server.requests().isEmpty());

    page->galleryButton()->click();
    ASSERT_EQ(workspace.opened.size(), 1);
    EXPECT_EQ(workspace.opened[0], server.base().resolved(QUrl(u"index.php?target=ipodvideo"_s)));
}

TEST_F(ThemesPage, ARealDeviceShowsItsThemesAndFetchesTheGalleryOnce)
{
    server.setResponse("/index.php", {200, {{"Content-Type", "text/html"}},
                                      galleryPage({{u"7"_s, u"cabbiev2"_s, u"Jane Doe"_s}})});
    server.setResponse("/themes/7/wps.png", {200, {{"Content-Type", "image/png"}}, pngBytes(320, 240, Qt::darkBlue)});
    server.setResponse("/themes/7/menu.png", {200, {{"Content-Type", "image/png"}}, pngBytes(320, 240, Qt::darkRed)});
    selectRealDevice();
    ASSERT_EQ(model->themePreviewStatus(), QString());
    EXPECT_EQ(model->deviceInfo().value(u"Target"_s), u"ipodvideo"_s);

    auto page = std::make_unique<ThemesView>(model.get(), nullptr, &workspace);
    page->resize(900, 700);
    page->setAttribute(Qt::WA_DontShowOnScreen);
    page->show();
    // Showing the page with an empty status starts the fetch, which the status line shows.
    EXPECT_EQ(model->themePreviewStatus(), fetching);
    EXPECT_EQ(page->statusLabel()->text(), fetching);
    ASSERT_TRUE(waitUntil([&] { return model->themePreviewStatus() != fetching; }));
    const QString done = u"Podglądy katalogowe: 1. Wersja motywu może różnić się od zainstalowanej."_s;
    EXPECT_EQ(model->themePreviewStatus(), done);
    EXPECT_EQ(page->statusLabel()->text(), done);
    ASSERT_EQ(galleryRequests().size(), 1);
    EXPECT_EQ(galleryRequests()[0], "/index.php?target=ipodvideo");

    EXPECT_TRUE(page->importButton()->isEnabled());
    EXPECT_TRUE(page->fetchButton()->isEnabled());
    EXPECT_FALSE(page->emptyLabel()->isVisible());

    // One card per installed theme, in the model's order, named as the files are.
    ThemeGrid *grid = page->grid();
    ASSERT_EQ(grid->count(), 6);
    QStringList names;
    for (const Theme &theme : model->themes())
        names.append(ThemeGrid::themeName(theme));
    EXPECT_EQ(names, (QStringList{u"cabbiev2"_s, u"iClassic"_s, u"ipodmod3blkFixed"_s, u"retroTapeFixed"_s,
                                  u"rockbox_default_icons"_s, u"rockbox_failsafe"_s}));

    // The gallery's picture on its card, loaded through the loopback server.
    ASSERT_TRUE(waitUntil([&] {
        const ThemeImageLoader *loader = grid->loader(0);
        return loader && loader->state() == ThemeImageLoader::State::loaded;
    }));
    EXPECT_EQ(grid->loader(0)->image().size(), QSize(320, 240));
    EXPECT_EQ(ThemeGrid::sourceLine(*model, themeNamed(u"cabbiev2"_s)),
              u"Zrzuty z katalogu Rockbox (wersja katalogowa)"_s);
    // The theme's backdrop from the device, read from its BMP file.
    ASSERT_TRUE(waitUntil([&] {
        const ThemeImageLoader *loader = grid->loader(1);
        return loader && loader->state() == ThemeImageLoader::State::loaded;
    }));
    EXPECT_EQ(ThemeGrid::sourceLine(*model, themeNamed(u"iClassic"_s)), u"Tło motywu — bez elementów interfejsu"_s);
    // A theme with no picture at all.
    EXPECT_EQ(ThemeGrid::sourceLine(*model, themeNamed(u"rockbox_failsafe"_s)),
              u"Dodaj własny zrzut lub pobierz podgląd"_s);

    // A second showing does not fetch again: the status is no longer empty.
    page.reset();
    auto again = showPage();
    settle();
    EXPECT_EQ(galleryRequests().size(), 1);
    EXPECT_EQ(model->themePreviewStatus(), done);

    // The button fetches again on request.
    QTest::mouseClick(again->fetchButton(), Qt::LeftButton);
    EXPECT_EQ(model->themePreviewStatus(), fetching);
    ASSERT_TRUE(waitUntil([&] { return model->themePreviewStatus() != fetching; }));
    EXPECT_EQ(galleryRequests().size(), 2);

    saveScreenshots(u"themes-page"_s, [&] {
        auto *shown = new ThemesView(model.get(), nullptr, &workspace);
        shown->resize(1000, 760);
        return shown;
    }, [&](QWidget *shown) {
        auto *view = static_cast<ThemesView *>(shown);
        waitUntil([&] {
            for (int i = 0; i < 2; ++i) {
                const ThemeImageLoader *loader = view->grid()->loader(i);
                if (!loader || loader->state() == ThemeImageLoader::State::loading)
                    return false;
            }
            return true;
        });
    });
}

TEST_F(ThemesPage, BusyOnlyStopsTheImport)
{
    selectRealDevice();
    model->setThemePreviewStatus(u"Katalog jest niedostępny. Możesz dodać własne zrzuty."_s);
    auto page = showPage();
    // A status is there already: no automatic fetch.
    settle();
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(page->statusLabel()->text(), u"Katalog jest niedostępny. Możesz dodać własne zrzuty."_s);

    model->setBusy(true);
    EXPECT_FALSE(page->importButton()->isEnabled());
    EXPECT_TRUE(page->fetchButton()->isEnabled());
    model->setBusy(false);
    EXPECT_TRUE(page->importButton()->isEnabled());

    // The import asks the model for a package; a cancelled choice changes nothing.
    int asked = 0;
    model->setPackageChooser([&](const QString &) -> std::optional<QString> {
        ++asked;
        return std::nullopt;
    });
    QTest::mouseClick(page->importButton(), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(model->busy());
}

TEST_F(ThemesPage, TheGalleryLinkCarriesTheDeviceTarget)
{
    const QUrl index = server.base().resolved(QUrl(u"index.php"_s));
    const struct {
        std::optional<QString> target;
        QByteArray query;
    } cases[] = {
        {std::nullopt, "target=ipodvideo"},
        {u"ipod6g"_s, "target=ipod6g"},
        {u"ipodnano2g"_s, "target=ipodnano2g"},
        {u""_s, "target=ipodvideo"},
        // What a device writes there can't break out of the one query value.
        {u"ipod video&x=1#top"_s, "target=ipod%20video%26x%3D1%23top"},
        {u"żółw/..?"_s, "target=%C5%BC%C3%B3%C5%82w%2F..%3F"},
    };
    auto page = showPage();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        TavoModel::StringMap info{{u"CPU"_s, u"PP5022"_s}};
        if (c.target)
            info.insert(u"Target"_s, *c.target);
        model->setDeviceInfo(info);
        const QUrl link = ThemesView::galleryLink(info);
        EXPECT_TRUE(link.isValid());
        EXPECT_EQ(link.adjusted(QUrl::RemoveQuery), index);
        EXPECT_EQ(link.query(QUrl::FullyEncoded).toLatin1(), c.query);
        workspace.opened.clear();
        QTest::mouseClick(page->galleryButton(), Qt::LeftButton);
        ASSERT_EQ(workspace.opened.size(), 1);
        EXPECT_EQ(workspace.opened[0], link);
    }
    // The public gallery when nothing replaces it.
    ServiceBase::reset();
    EXPECT_EQ(ThemesView::galleryLink({}).toString(), u"https://themes.rockbox.org/index.php?target=ipodvideo"_s);
}

// A screen reader finds each theme card by name and can press its details
// button; the keyboard opens the current card.
TEST_F(ThemesPage, AScreenReaderFindsEachCardAndItsButton)
{
    selectRealDevice();
    model->setThemePreviewStatus(u"x"_s); // no fetch
    auto page = showPage({820, 600});
    ThemeGrid *grid = page->grid();
    const QList<Theme> themes = model->themes();
    const std::vector<AccessibleRow> cards = accessibleRows(grid);
    ASSERT_EQ(int(cards.size()), themes.size());
    for (int i = 0; i < themes.size(); ++i) {
        EXPECT_EQ(cards[size_t(i)].name, ThemeGrid::themeName(themes[i]));
        EXPECT_EQ(cards[size_t(i)].role, QAccessible::ListItem);
        EXPECT_EQ(cards[size_t(i)].buttons, QStringList{u"Szczegóły i podgląd"_s});
    }
    ASSERT_TRUE(pressAccessible(grid, 2, 0));
    ASSERT_TRUE(model->openTheme().has_value());
    EXPECT_EQ(*model->openTheme(), themes[2]);
    EXPECT_EQ(grid->currentIndex(), 2);
    model->setOpenTheme(std::nullopt);
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Return);
    ASSERT_TRUE(model->openTheme().has_value());
    EXPECT_EQ(*model->openTheme(), themes[3]);
}

TEST_F(ThemesPage, EachClickablePartOfACardOpensThatTheme)
{
    selectRealDevice();
    model->setThemePreviewStatus(u"x"_s); // no fetch
    auto page = showPage({820, 600});
    ThemeGrid *grid = page->grid();
    EXPECT_EQ(ThemeGrid::columnCount(grid->viewport()->width()), 3);
    const QList<Theme> themes = model->themes();

    const struct {
        int index;
        ThemeGrid::Part part;
    } clicks[] = {
        {0, ThemeGrid::Part::picture},
        {1, ThemeGrid::Part::name},
        {2, ThemeGrid::Part::button},
        {4, ThemeGrid::Part::picture},
    };
    for (const auto &c : clicks) {
        SCOPED_TRACE(c.index);
        model->setOpenTheme(std::nullopt);
        const ThemeGrid::Card card = grid->card(c.index);
        const QRectF target = c.part == ThemeGrid::Part::picture ? card.picture
            : c.part == ThemeGrid::Part::name                   ? card.name
                                                                : card.button;
        // A card below the visible part is scrolled to first.
        grid->verticalScrollBar()->setValue(int(std::max(0.0, card.frame.top() - 10)));
        const ThemeGrid::Hit hit = grid->hitTest(grid->viewportRect(target).center());
        EXPECT_EQ(hit.index, c.index);
        EXPECT_EQ(int(hit.part), int(c.part));
        clickAt(grid, target);
        ASSERT_TRUE(model->openTheme().has_value());
        EXPECT_EQ(*model->openTheme(), themes[c.index]);
    }

    // The source line and the gaps between cards open nothing.
    grid->verticalScrollBar()->setValue(0);
    model->setOpenTheme(std::nullopt);
    clickAt(grid, grid->card(0).source);
    const ThemeGrid::Card first = grid->card(0);
    clickAt(grid, QRectF(first.frame.right() + 2, first.frame.top() + 10, 10, 10));
    EXPECT_FALSE(model->openTheme().has_value());

    // The keyboard reaches every card: arrows move, Return opens.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Home);
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentIndex(), 4);
    QTest::keyClick(grid, Qt::Key_Return);
    ASSERT_TRUE(model->openTheme().has_value());
    EXPECT_EQ(*model->openTheme(), themes[4]);
}

TEST_F(ThemesPage, ALongSourceIsCutToTwoLines)
{
    const QString longSource = u"Zrzuty z katalogu Rockbox (wersja katalogowa), "_s.repeated(6).trimmed();
    const QStringList lines = ThemeGrid::sourceLines(longSource, 230);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(longSource.startsWith(lines[0]));
    EXPECT_TRUE(lines[1].endsWith(u"…"_s));
    EXPECT_EQ(ThemeGrid::sourceLines(u"Twój zrzut"_s, 230), QStringList{u"Twój zrzut"_s});
    EXPECT_TRUE(ThemeGrid::sourceLines(QString(), 230).size() <= 1);
}

TEST_F(ThemesPage, ColumnsAdaptToTheWidth)
{
    const struct {
        double width;
        int columns;
    } cases[] = {{100, 1}, {229, 1}, {477, 1}, {478, 2}, {726, 3}, {1000, 4}};
    for (const auto &c : cases) {
        EXPECT_EQ(ThemeGrid::columnCount(c.width), c.columns) << c.width;
        const double column = ThemeGrid::columnWidth(c.width);
        EXPECT_GE(column, ThemeGrid::minimumColumnWidth);
        if (c.width >= ThemeGrid::minimumColumnWidth) {
            EXPECT_NEAR(column * c.columns + ThemeGrid::columnSpacing * (c.columns - 1), c.width, 1e-6);
        }
    }
}

TEST_F(ThemesPage, CardsFollowTheirPreviewsAndNeverShowAnOldPicture)
{
    selectRealDevice();
    model->setThemePreviewStatus(u"x"_s);
    const Theme theme = themeNamed(u"rockbox_failsafe"_s);
    auto page = showPage({900, 1400});
    ThemeGrid *grid = page->grid();
    const int index = int(model->themes().indexOf(theme));
    ASSERT_NE(grid->loader(index), nullptr);
    EXPECT_EQ(grid->loader(index)->state(), ThemeImageLoader::State::noPicture);

    const QString first = device.writeFile(u"../first.png"_s, pngBytes(40, 30, Qt::red));
    const QString second = device.writeFile(u"../second.png"_s, pngBytes(80, 60, Qt::blue));
    auto showPicture = [&](const std::optional<QUrl> &url, const QString &source) {
        TavoModel::ThemePreviewMap previews = model->themePreviews();
        previews.insert(theme.url, ThemePreview{url, std::nullopt, source, std::nullopt, std::nullopt});
        model->setThemePreviews(previews);
    };
    showPicture(QUrl::fromLocalFile(first), u"Twój zrzut"_s);
    ASSERT_TRUE(waitUntil([&] { return grid->loader(index)->state() == ThemeImageLoader::State::loaded; }));
    EXPECT_EQ(grid->loader(index)->image().size(), QSize(40, 30));
    EXPECT_EQ(ThemeGrid::sourceLine(*model, theme), u"Twój zrzut"_s);

    QList<QSize> seen;
    QObject::connect(grid->loader(index), &ThemeImageLoader::changed,
                     [&] { seen.append(grid->loader(index)->image().size()); });
    showPicture(QUrl::fromLocalFile(second), u"Zrzut z paczki"_s);
    EXPECT_TRUE(grid->loader(index)->image().isNull());
    ASSERT_TRUE(waitUntil([&] { return grid->loader(index)->state() == ThemeImageLoader::State::loaded; }));
    settle();
    EXPECT_EQ(grid->loader(index)->image().size(), QSize(80, 60));
    EXPECT_FALSE(seen.contains(QSize(40, 30)));

    // A picture that is not one, and one over the size limit, show as unavailable.
    const QString notPicture = device.writeFile(u"../notes.png"_s, "just text\n");
    QByteArray large = pngBytes(8, 6, Qt::green);
    large.append(QByteArray(10'000'000 - large.size(), '\0'));
    const QString tooLarge = device.writeFile(u"../large.png"_s, large);
    for (const QString &path : {notPicture, tooLarge}) {
        showPicture(QUrl::fromLocalFile(path), u"Twój zrzut"_s);
        ASSERT_TRUE(waitUntil([&] { return grid->loader(index)->state() != ThemeImageLoader::State::loading; }));
        EXPECT_EQ(grid->loader(index)->state(), ThemeImageLoader::State::failed) << path.toStdString();
    }

    // A theme that goes away takes its card with it.
    QList<Theme> fewer = model->themes();
    fewer.removeAt(index);
    model->setThemes(fewer);
    EXPECT_EQ(grid->count(), 5);
}

TEST_F(ThemesPage, TheShellBuildsThisPageForTheThemesSection)
{
    std::unique_ptr<QWidget> page(pages::make(Section::themes, model.get(), nullptr));
    EXPECT_NE(dynamic_cast<ThemesView *>(page.get()), nullptr);

    setEnglish(true);
    ThemesView english(model.get(), nullptr, &workspace);
    EXPECT_EQ(english.importButton()->text(), u"Import ZIP…"_s);
    EXPECT_EQ(english.fetchButton()->text(), u"Download Previews from Rockbox"_s);
    EXPECT_EQ(english.galleryButton()->text(), u"Theme Gallery ↗"_s);
    EXPECT_EQ(english.emptyLabel()->text(), u"Connect a device to see the installed themes."_s);
    // The model's status is translated like the hint.
    model->setThemePreviewStatus(u"Katalog jest niedostępny. Możesz dodać własne zrzuty."_s);
    EXPECT_FALSE(english.statusLabel()->text().contains(u"Katalog"_s));
    setEnglish(false);

    saveScreenshots(u"themes-page-empty"_s, [&] {
        model->setThemePreviewStatus(QString());
        auto *shown = new ThemesView(model.get(), nullptr, &workspace);
        shown->resize(900, 560);
        return shown;
    });
}
