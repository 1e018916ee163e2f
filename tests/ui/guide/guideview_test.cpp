#include "device/ipodillustration.h"
#include "device/ipodprofile.h"
#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "platform/workspace.h"
#include "ui/guide/guideview.h"
#include "ui/kit/kit.h"
#include "ui/shell/pages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

class RecordingWorkspace : public Workspace
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    void reveal(const QStringList &) override {}
    QList<QUrl> opened;
};

void settle(int rounds = 20)
{
    for (int i = 0; i < rounds; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

QString resourceText(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll());
}

class Guide : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        AppLocalizer::setPreferredLanguages([] { return QStringList{u"pl-PL"_s}; });
        QApplication::setPalette(kit::lightPalette());
    }
    void TearDown() override
    {
        settle();
        AppLocalizer::setPreferredLanguages({});
        Defaults::clear();
    }

    std::unique_ptr<GuideView> showGuide(const QString &page, bool english, QSize size = {1000, 760})
    {
        auto view = std::make_unique<GuideView>(page, english, nullptr, &workspace);
        view->resize(size);
        view->setAttribute(Qt::WA_DontShowOnScreen);
        view->show();
        settle();
        return view;
    }

    // Clicks the first link whose text is `text`, scrolled into view first.
    void clickLink(GuideBrowser *browser, const QString &text)
    {
        QTextCursor found = browser->document()->find(text);
        ASSERT_FALSE(found.isNull()) << text.toStdString();
        ASSERT_TRUE(found.charFormat().isAnchor()) << text.toStdString();
        QTextCursor inside(browser->document());
        inside.setPosition(found.selectionStart() + 1);
        browser->setTextCursor(inside);
        browser->ensureCursorVisible();
        settle(5);
        const QRect at = browser->cursorRect(inside);
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, at.center());
        settle(5);
    }

    // `fragments`: the places in the Polish and English guide ("pl|en") to show instead of the top.
    static void saveScreenshots(const QString &name, const QString &page, const QString &fragments = QString())
    {
        const QString folder = QCoreApplication::applicationDirPath() + u"/../screenshots"_s;
        QDir().mkpath(folder);
        for (bool english : {false, true}) {
            for (bool dark : {false, true}) {
                Defaults::setString(u"appLanguage"_s, english ? u"en"_s : u"pl"_s);
                QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
                GuideView view(page, english);
                view.resize(1000, 760);
                view.setAttribute(Qt::WA_DontShowOnScreen);
                view.show();
                settle(30);
                if (!fragments.isEmpty() && view.browser()) {
                    view.browser()->scrollToAnchor(fragments.section(u'|', english ? 1 : 0, english ? 1 : 0));
                    settle(10);
                }
                const QString file = folder + u"/"_s + name + (english ? u"-en"_s : u"-pl"_s)
                    + (dark ? u"-dark.png"_s : u"-light.png"_s);
                EXPECT_TRUE(view.grab().save(file)) << file.toStdString();
            }
        }
        Defaults::setString(u"appLanguage"_s, u"pl"_s);
        QApplication::setPalette(kit::lightPalette());
    }

    RecordingWorkspace workspace;
};

} // namespace

TEST_F(Guide, BothEditionsAreCompiledInAndWrittenWithoutScripts)
{
    for (bool english : {false, true}) {
        const std::optional<QUrl> url = GuideBrowser::documentUrl(english);
        ASSERT_TRUE(url.has_value());
        EXPECT_EQ(*url, QUrl(english ? u"qrc:/Guide/en.html"_s : u"qrc:/Guide/index.html"_s));
        const QString html = resourceText(english ? u":/Guide/en.html"_s : u":/Guide/index.html"_s);
        EXPECT_FALSE(html.contains(u"<script"_s, Qt::CaseInsensitive));
        EXPECT_FALSE(html.contains(u"javascript:"_s, Qt::CaseInsensitive));
        EXPECT_FALSE(html.contains(QRegularExpression(u"\\son[a-z]+\\s*="_s)));
        // Every outside address is a secure one, so it leaves the application.
        EXPECT_FALSE(html.contains(u"href=\"http:"_s));
        // Every in-page link has its target.
        const QRegularExpression anchor(u"href=\"#([^\"]+)\""_s);
        for (auto m = anchor.globalMatch(html); m.hasNext();) {
            const QString name = m.next().captured(1);
            EXPECT_TRUE(html.contains(u"name=\""_s + name + u"\""_s)) << name.toStdString();
        }
    }
    // The topics a Rockbox iPod owner needs, in both languages.
    const QString polish = resourceText(u":/Guide/index.html"_s);
    for (const QString &topic : {u"Czym jest Rockbox"_s, u"Przygotowanie iPoda"_s, u"Przenoszenie muzyki"_s,
                                 u"Okładki, które Rockbox pokaże"_s, u"Motywy"_s, u"Kopie zapasowe"_s,
                                 u"Rozwiązywanie problemów"_s})
        EXPECT_TRUE(polish.contains(topic)) << topic.toStdString();
    const QString english = resourceText(u":/Guide/en.html"_s);
    for (const QString &topic : {u"What Rockbox is"_s, u"Preparing the iPod"_s, u"Transferring music"_s,
                                 u"Covers Rockbox can show"_s, u"Themes"_s, u"Backups"_s, u"Troubleshooting"_s})
        EXPECT_TRUE(english.contains(topic)) << topic.toStdString();
}

TEST_F(Guide, TheSwitchChoosesTheEditionAndTheSameOneIsNotLoadedAgain)
{
    auto view = showGuide(u"Poradnik"_s, false);
    GuideBrowser *browser = view->browser();
    ASSERT_NE(browser, nullptr);
    EXPECT_FALSE(view->englishSwitch()->isChecked());
    EXPECT_EQ(browser->loaded(), GuideBrowser::documentUrl(false));
    EXPECT_EQ(browser->loadCount(), 1);
    EXPECT_TRUE(browser->toPlainText().contains(u"Czym jest Rockbox"_s));

    // The same edition again (as when the window is redrawn) keeps the place.
    browser->verticalScrollBar()->setValue(400);
    browser->setEnglish(false);
    EXPECT_EQ(browser->loadCount(), 1);
    EXPECT_EQ(browser->verticalScrollBar()->value(), 400);

    QTest::mouseClick(view->englishSwitch(), Qt::LeftButton);
    EXPECT_TRUE(view->english());
    EXPECT_EQ(browser->loaded(), GuideBrowser::documentUrl(true));
    EXPECT_EQ(browser->loadCount(), 2);
    EXPECT_TRUE(browser->toPlainText().contains(u"What Rockbox is"_s));

    QTest::mouseClick(view->englishSwitch(), Qt::LeftButton);
    EXPECT_FALSE(view->english());
    EXPECT_EQ(browser->loadCount(), 3);
    EXPECT_TRUE(browser->toPlainText().contains(u"Czym jest Rockbox"_s));

    // The keyboard works the switch too.
    view->englishSwitch()->setFocus();
    QTest::keyClick(view->englishSwitch(), Qt::Key_Space);
    EXPECT_TRUE(view->english());
}

TEST_F(Guide, SecureAndMailLinksOpenOutsideAndOthersStayInside)
{
    const struct {
        QUrl url;
        bool outside;
    } cases[] = {
        {QUrl(u"https://www.rockbox.org/manual.shtml"_s), true},
        {QUrl(u"mailto:someone@example.org"_s), true},
        {QUrl(u"http://www.rockbox.org/"_s), false},
        {QUrl(u"qrc:/Guide/en.html"_s), false},
        {QUrl(u"qrc:/Guide/index.html#okladki"_s), false},
        {QUrl(u"file:///tmp/page.html"_s), false},
        {QUrl(u"#top"_s), false},
        {QUrl(u"ftp://example.org/"_s), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(GuideBrowser::opensOutside(c.url), c.outside) << c.url.toString().toStdString();

    auto view = showGuide(u"Poradnik"_s, false);
    GuideBrowser *browser = view->browser();
    ASSERT_NE(browser, nullptr);

    // A real link of the document: handed to the desktop; the guide stays.
    clickLink(browser, u"themes.rockbox.org"_s);
    ASSERT_EQ(workspace.opened.size(), 1);
    EXPECT_EQ(workspace.opened[0], QUrl(u"https://themes.rockbox.org/"_s));
    EXPECT_EQ(browser->source(), QUrl(u"qrc:/Guide/index.html"_s));

    // A link within the guide is followed inside it.
    browser->verticalScrollBar()->setValue(0);
    clickLink(browser, u"Okładki, które Rockbox pokaże"_s);
    EXPECT_EQ(workspace.opened.size(), 1);
    EXPECT_EQ(browser->source().fragment(), u"okladki"_s);
    EXPECT_GT(browser->verticalScrollBar()->value(), 0);
    EXPECT_EQ(browser->loadCount(), 1);

    // Another edition's page, linked from inside, opens inside too.
    browser->setSource(QUrl(u"qrc:/Guide/en.html"_s));
    EXPECT_TRUE(browser->toPlainText().contains(u"What Rockbox is"_s));
    EXPECT_TRUE(workspace.opened.size() == 1);
}

TEST_F(Guide, TheGalleryShowsEveryModelOnceInOrder)
{
    auto view = showGuide(u"Modele"_s, false);
    EXPECT_EQ(view->browser(), nullptr);
    ModelGallery *gallery = view->gallery();
    ASSERT_NE(gallery, nullptr);
    EXPECT_TRUE(view->modelsSegment()->isChecked());
    EXPECT_FALSE(view->guideSegment()->isChecked());

    const QList<IPodProfile> &all = IPodProfile::all();
    ASSERT_EQ(all.size(), 32);
    const QList<ModelCard *> cards = gallery->cards();
    ASSERT_EQ(cards.size(), all.size());
    QSet<QString> ids;
    const QPalette palette = kit::lightPalette();
    for (int i = 0; i < cards.size(); ++i) {
        SCOPED_TRACE(all[i].id.toStdString());
        ModelCard *card = cards[i];
        EXPECT_EQ(card->profile(), all[i]);
        ids.insert(card->profile().id);
        EXPECT_EQ(card->nameLabel()->text(), all[i].name);
        EXPECT_EQ(card->supportLabel()->text(), all[i].support);
        const QColor color = card->supportLabel()->palette().color(QPalette::WindowText);
        EXPECT_EQ(color, all[i].target ? kit::blue(palette) : kit::secondaryText(palette));
        // The model's own finish, the empty screen, 120 wide and at most 190 high.
        IPodIllustration *drawing = card->illustration();
        EXPECT_FALSE(drawing->finish().has_value());
        EXPECT_FALSE(drawing->preview().has_value());
        const QSizeF drawn = IPodIllustration::drawnSize(all[i].ratio, 120, 190);
        EXPECT_LE(drawn.width(), 120.0);
        EXPECT_LE(drawn.height(), 190.0 + 1e-9);
        EXPECT_EQ(drawing->parentWidget()->height(), ModelCard::illustrationSlot);
        // Cards keep the list's order: left to right, then top to bottom.
        if (i > 0) {
            const QRect previous = cards[i - 1]->geometry();
            const QRect current = card->geometry();
            EXPECT_TRUE(current.top() > previous.top()
                        || (current.top() == previous.top() && current.left() > previous.left()));
        }
        EXPECT_GE(card->width(), int(ModelGallery::minimumColumnWidth));
    }
    EXPECT_EQ(ids.size(), 32);
    // 1000 − 2 × 24 of margins leaves room for four columns of 180 and more.
    EXPECT_EQ(cards[3]->geometry().top(), cards[0]->geometry().top());
    EXPECT_GT(cards[4]->geometry().top(), cards[0]->geometry().top() + ModelCard::illustrationSlot);

    // The gallery scrolls: its height follows its width.
    auto *scroll = view->findChild<QScrollArea *>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_GE(gallery->height(), gallery->heightForWidth(gallery->width()));
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
}

TEST_F(Guide, SwitchingSubPagesBuildsTheGuideAnew)
{
    auto view = showGuide(u"Poradnik"_s, true);
    GuideBrowser *first = view->browser();
    ASSERT_NE(first, nullptr);
    first->verticalScrollBar()->setValue(300);

    QTest::mouseClick(view->modelsSegment(), Qt::LeftButton);
    EXPECT_EQ(view->page(), u"Modele"_s);
    EXPECT_EQ(view->browser(), nullptr);
    ASSERT_NE(view->gallery(), nullptr);

    QTest::mouseClick(view->guideSegment(), Qt::LeftButton);
    EXPECT_EQ(view->page(), u"Poradnik"_s);
    GuideBrowser *second = view->browser();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(view->gallery(), nullptr);
    // A new view, at the top of the edition still chosen.
    EXPECT_EQ(second->loadCount(), 1);
    EXPECT_EQ(second->loaded(), GuideBrowser::documentUrl(true));
    EXPECT_EQ(second->verticalScrollBar()->value(), 0);
}

TEST_F(Guide, TheShellOpensTheGuideInTheInterfaceLanguage)
{
    auto model = std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
    for (const bool english : {false, true}) {
        Defaults::setString(u"appLanguage"_s, english ? u"en"_s : u"pl"_s);
        std::unique_ptr<QWidget> page(pages::make(Section::guide, model.get(), nullptr));
        auto *guide = dynamic_cast<GuideView *>(page.get());
        ASSERT_NE(guide, nullptr);
        EXPECT_EQ(guide->page(), u"Poradnik"_s);
        EXPECT_EQ(guide->english(), english);
        EXPECT_EQ(guide->englishSwitch()->isChecked(), english);
        ASSERT_NE(guide->browser(), nullptr);
        EXPECT_EQ(guide->browser()->loaded(), GuideBrowser::documentUrl(english));
        EXPECT_EQ(guide->guideSegment()->text(), english ? u"Rockbox Guide"_s : u"Poradnik Rockbox"_s);
        EXPECT_EQ(guide->modelsSegment()->text(), english ? u"All Models"_s : u"Wszystkie modele"_s);
    }
    model.reset();

    saveScreenshots(u"guide"_s, u"Poradnik"_s);
    saveScreenshots(u"guide-models"_s, u"Modele"_s);
    saveScreenshots(u"guide-table"_s, u"Poradnik"_s, u"modele|models"_s);
}
