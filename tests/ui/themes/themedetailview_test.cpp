#include "themetesting.h"

#include "device/themeimage.h"
#include "ui/shell/pages.h"
#include "ui/themes/themedetailview.h"
#include "ui/themes/themewidgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString unknownAuthor = u"Nieznany — sprawdź plik motywu"_s;
const QString gallerySource = u"Zrzuty z katalogu Rockbox (wersja katalogowa)"_s;
const QString galleryNote =
    u"To przykład z katalogu; zainstalowana wersja i Twoje ustawienia mogą wyglądać inaczej."_s;

class ThemeDetail : public ThemeViewTest
{
protected:
    void SetUp() override
    {
        ThemeViewTest::SetUp();
        theme = Theme{device.writeFile(u".rockbox/themes/Night Drive.v2.cfg"_s, "wps: /.rockbox/wps/nd.wps\n")};
        model->setThemes({Theme{device.path(u".rockbox/themes/Another.cfg"_s)}, theme});
    }

    std::unique_ptr<ThemeDetailView> openSheet()
    {
        auto sheet = std::make_unique<ThemeDetailView>(model.get(), theme, nullptr, &workspace);
        sheet->setAttribute(Qt::WA_DontShowOnScreen);
        sheet->open();
        settle();
        return sheet;
    }

    void setPreview(const ThemePreview &preview)
    {
        TavoModel::ThemePreviewMap previews = model->themePreviews();
        previews.insert(theme.url, preview);
        model->setThemePreviews(previews);
    }

    ThemePreview galleryPreview() const
    {
        return ThemePreview{server.base().resolved(QUrl(u"themes/7/wps.png"_s)),
                            server.base().resolved(QUrl(u"themes/7/menu.png"_s)), gallerySource,
                            server.base().resolved(QUrl(u"index.php?themeid=7&target=ipodvideo"_s)),
                            u"Jane Doe"_s};
    }

    void serveGalleryPictures()
    {
        server.setResponse("/themes/7/wps.png", {200, {}, pngBytes(320, 240, Qt::darkBlue)});
        server.setResponse("/themes/7/menu.png", {200, {}, pngBytes(320, 240, Qt::darkRed)});
    }

    static bool settled(const ThemeImage *image)
    {
        return image->loader().state() != ThemeImageLoader::State::loading;
    }

    Theme theme;
    RecordingWorkspace workspace;
};

} // namespace

TEST_F(ThemeDetail, WithoutPreviewOrSettingsEverythingFallsBack)
{
    auto sheet = openSheet();
    EXPECT_FALSE(sheet->showsNotice());
    EXPECT_EQ(sheet->windowTitle(), u"Night Drive.v2"_s);
    EXPECT_EQ(sheet->size(), QSize(820, 720));
    EXPECT_EQ(sheet->playingImage()->loader().state(), ThemeImageLoader::State::noPicture);
    EXPECT_EQ(sheet->menuImage()->loader().state(), ThemeImageLoader::State::noPicture);
    EXPECT_EQ(sheet->sourceLabel()->text(), u"Nie znaleziono zrzutu tego motywu."_s);
    EXPECT_FALSE(sheet->catalogNote()->isVisible());
    EXPECT_EQ(sheet->configurationValues(),
              (QStringList{unknownAuthor, u"320 × 240"_s, u"Domyślny"_s, u"Domyślny"_s, u"Domyślny"_s}));
    // Only the two buttons: no source link without a gallery page.
    EXPECT_TRUE(sheet->screenshotButton()->isVisible());
    EXPECT_TRUE(sheet->revealButton()->isVisible());
    EXPECT_FALSE(sheet->sourceLink()->isVisible());
    auto *box = sheet->findChild<QGroupBox *>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->title(), u"Konfiguracja"_s);
}

TEST_F(ThemeDetail, SettingsFillTheirRowsAndMissingOnesStayDefault)
{
    const struct {
        TavoModel::StringMap settings;
        QStringList shown; // font, WPS, SBS
    } cases[] = {
        {{{u"font"_s, u"/.rockbox/fonts/15-Adobe-Helvetica.fnt"_s}},
         {u"/.rockbox/fonts/15-Adobe-Helvetica.fnt"_s, u"Domyślny"_s, u"Domyślny"_s}},
        {{{u"wps"_s, u"/.rockbox/wps/iClassic.wps"_s}, {u"sbs"_s, u"/.rockbox/wps/iClassic.sbs"_s},
          {u"backdrop"_s, u"/.rockbox/backdrops/iClassic_bd.bmp"_s}},
         {u"Domyślny"_s, u"/.rockbox/wps/iClassic.wps"_s, u"/.rockbox/wps/iClassic.sbs"_s}},
        {{}, {u"Domyślny"_s, u"Domyślny"_s, u"Domyślny"_s}},
    };
    auto sheet = openSheet();
    for (const auto &c : cases) {
        // The open sheet follows the model.
        model->setThemeSettings({{theme.url, c.settings}, {u"/elsewhere.cfg"_s, {{u"font"_s, u"other"_s}}}});
        EXPECT_EQ(sheet->configurationValues().mid(2), c.shown);
    }
}

TEST_F(ThemeDetail, AGalleryPreviewShowsBothScreensTheNoteTheAuthorAndTheLink)
{
    serveGalleryPictures();
    setPreview(galleryPreview());
    auto sheet = openSheet();
    ASSERT_TRUE(waitUntil([&] { return settled(sheet->playingImage()) && settled(sheet->menuImage()); }));
    EXPECT_EQ(sheet->playingImage()->loader().state(), ThemeImageLoader::State::loaded);
    EXPECT_EQ(sheet->menuImage()->loader().state(), ThemeImageLoader::State::loaded);
    EXPECT_EQ(sheet->playingImage()->url(), galleryPreview().playing);
    EXPECT_EQ(sheet->menuImage()->url(), galleryPreview().menu);
    EXPECT_EQ(sheet->sourceLabel()->text(), gallerySource);
    EXPECT_TRUE(sheet->catalogNote()->isVisible());
    EXPECT_EQ(sheet->catalogNote()->text(), galleryNote);
    EXPECT_EQ(sheet->configurationValues().first(), u"Jane Doe"_s);
    ASSERT_TRUE(sheet->sourceLink()->isVisible());

    QTest::mouseClick(sheet->sourceLink(), Qt::LeftButton);
    ASSERT_EQ(workspace.opened.size(), 1);
    EXPECT_EQ(workspace.opened[0], *galleryPreview().detail);

    saveScreenshots(u"theme-detail"_s, [&] { return new ThemeDetailView(model.get(), theme, nullptr, &workspace); },
                    [&](QWidget *shown) {
                        auto *view = static_cast<ThemeDetailView *>(shown);
                        waitUntil([&] { return settled(view->playingImage()) && settled(view->menuImage()); });
                    });
}

TEST_F(ThemeDetail, OnlyGallerySourcesCarryTheNote)
{
    const struct {
        QString source;
        bool note;
    } cases[] = {
        {gallerySource, true},
        {u"Twój zrzut"_s, false},
        {u"Zrzut z paczki"_s, false},
        {u"Tło motywu — bez elementów interfejsu"_s, false},
        {u"Z KATALOGU"_s, false}, // the test is case-sensitive
        {u"coś z katalogu"_s, true},
    };
    auto sheet = openSheet();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.source.toStdString());
        setPreview(ThemePreview{std::nullopt, std::nullopt, c.source, std::nullopt, std::nullopt});
        EXPECT_EQ(sheet->catalogNote()->isVisible(), c.note);
        EXPECT_EQ(sheet->sourceLabel()->text(), c.source);
        EXPECT_FALSE(sheet->sourceLink()->isVisible());
        EXPECT_EQ(sheet->configurationValues().first(), unknownAuthor);
    }
}

TEST_F(ThemeDetail, AnOwnScreenshotReplacesTheGalleryPreviewAtOnce)
{
    serveGalleryPictures();
    setPreview(galleryPreview());
    auto sheet = openSheet();
    const QString picture = device.writeFile(u"../mine.png"_s, pngBytes(320, 240, Qt::darkGreen));
    QStringList prompts;
    std::optional<QString> answer; // cancelled first
    model->setImageChooser([&](const QString &prompt) {
        prompts.append(prompt);
        return answer;
    });

    QTest::mouseClick(sheet->screenshotButton(), Qt::LeftButton);
    EXPECT_EQ(prompts, QStringList{u"Dodaj zrzut motywu"_s});
    EXPECT_EQ(model->themePreviews().value(theme.url), galleryPreview());
    EXPECT_TRUE(sheet->catalogNote()->isVisible());

    answer = picture;
    QTest::mouseClick(sheet->screenshotButton(), Qt::LeftButton);
    ASSERT_EQ(model->themePreviews().value(theme.url).source, u"Twój zrzut"_s);
    ASSERT_TRUE(sheet->playingImage()->url().has_value());
    EXPECT_TRUE(sheet->playingImage()->url()->isLocalFile());
    ASSERT_TRUE(waitUntil([&] { return settled(sheet->playingImage()); }));
    EXPECT_EQ(sheet->playingImage()->loader().state(), ThemeImageLoader::State::loaded);
    EXPECT_EQ(sheet->menuImage()->loader().state(), ThemeImageLoader::State::noPicture);
    EXPECT_EQ(sheet->sourceLabel()->text(), u"Twój zrzut"_s);
    EXPECT_FALSE(sheet->catalogNote()->isVisible());
    EXPECT_FALSE(sheet->sourceLink()->isVisible());
    EXPECT_EQ(sheet->configurationValues().first(), unknownAuthor);
}

TEST_F(ThemeDetail, TheFileIsShownAndTheSheetClosesByDoneOrEscape)
{
    auto sheet = openSheet();
    QTest::mouseClick(sheet->revealButton(), Qt::LeftButton);
    ASSERT_EQ(workspace.revealed.size(), 1);
    EXPECT_EQ(workspace.revealed[0], QStringList{theme.url});

    QSignalSpy finished(sheet.get(), &QDialog::finished);
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_FALSE(sheet->isVisible());

    sheet->open();
    settle();
    ASSERT_TRUE(sheet->isVisible());
    QTest::keyClick(sheet.get(), Qt::Key_Escape);
    EXPECT_EQ(finished.size(), 2);
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(ThemeDetail, ATheThemeThatIsGoneShowsANotice)
{
    auto sheet = openSheet();
    EXPECT_FALSE(sheet->showsNotice());
    model->setThemes({});
    EXPECT_TRUE(sheet->showsNotice());
    bool noticeShown = false;
    for (const QLabel *label : sheet->findChildren<QLabel *>())
        noticeShown = noticeShown || (label->isVisible() && label->text() == u"Tego motywu nie ma już na urządzeniu."_s);
    EXPECT_TRUE(noticeShown);
    model->setThemes({theme});
    EXPECT_FALSE(sheet->showsNotice());
}

// The theme's own values are data and stay as written; our fallbacks for what
// is missing are interface texts and read in English.
TEST_F(ThemeDetail, InEnglishLabelsAndFallbacksAreTranslatedAndValuesAreNot)
{
    setEnglish(true);
    setPreview(ThemePreview{std::nullopt, std::nullopt, u"Zrzut z paczki"_s, std::nullopt, std::nullopt});
    auto sheet = openSheet();
    EXPECT_EQ(sheet->doneButton()->text(), u"Done"_s);
    EXPECT_EQ(sheet->screenshotButton()->text(), u"Add Your Own Screenshot…"_s);
    EXPECT_EQ(sheet->findChild<QGroupBox *>()->title(), u"Configuration"_s);
    QStringList labels;
    for (const QLabel *label : sheet->findChildren<QLabel *>())
        labels.append(label->text());
    for (const QString &expected : {u"Playing Screen"_s, u"Author / gallery submitter"_s, u"iPod Video resolution"_s,
                                    u"Font"_s, u"WPS"_s, u"SBS"_s, u"Night Drive.v2"_s})
        EXPECT_TRUE(labels.contains(expected)) << expected.toStdString();
    EXPECT_EQ(sheet->sourceLabel()->text(), AppLocalizer::translateEnglish(u"Zrzut z paczki"_s));
    EXPECT_EQ(sheet->configurationValues(),
              (QStringList{u"Unknown — check the theme file"_s, u"320 × 240"_s, u"Default"_s, u"Default"_s, u"Default"_s}));
}

TEST_F(ThemeDetail, TheShellGetsThisSheetForTheOpenTheme)
{
    std::unique_ptr<QDialog> dialog(sheets::themeDetail(model.get(), theme, nullptr));
    auto *detail = dynamic_cast<ThemeDetailView *>(dialog.get());
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->theme(), theme);
    EXPECT_EQ(detail->windowModality(), Qt::WindowModal);

    saveScreenshots(u"theme-detail-empty"_s,
                    [&] { return new ThemeDetailView(model.get(), theme, nullptr, &workspace); });
}
