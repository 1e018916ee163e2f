#include "device/themegallery.h"
#include "platform/errors.h"
#include "platform/http.h"
#include "support/httpserver.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString gallerySource = u"Zrzuty z katalogu Rockbox (wersja katalogowa)"_s;
const QString unreadable = u"Nie można odczytać katalogu motywów."_s;

QString row(const QString &id, const QString &title, const QString &img, const QString &cell = QString())
{
    return u"<tr><th class=\"t\">\n  <a href=\"index.php?themeid="_s + id + u"&amp;target=ipodvideo\">"_s + title
        + u"</a></th></tr>\n<tr><td><a href=\"index.php?themeid="_s + id + u"&target=ipodvideo\"><img "_s + img
        + u"></a>"_s + cell + u"</td></tr>\n"_s;
}

Theme theme(const QString &file)
{
    return Theme{u"/dev/ipod/.rockbox/themes/"_s + file};
}

class Gallery : public ::testing::Test
{
protected:
    void SetUp() override { ServiceBase::setThemeGallery(QUrl(u"https://gallery.test/"_s)); }
    void TearDown() override { ServiceBase::reset(); }
    QUrl at(const QString &relative) { return QUrl(u"https://gallery.test/"_s + relative); }
};

} // namespace

TEST(ThemeGalleryText, Decoded)
{
    struct Case {
        QString input;
        QString expected;
    } cases[] = {
        {u"Tom &amp; Jerry"_s, u"Tom & Jerry"_s},
        {u"&quot;x&quot; &#039;y&#039; &lt;b&gt;"_s, u"\"x\" 'y' <b>"_s},
        {u"&#379;&#243;&#322;w"_s, u"Żółw"_s},
        {u"&#128512;"_s, u"😀"_s},
        {u"&amp;#65;"_s, u"A"_s}, // decoded twice on purpose
        {u"&amp;lt;"_s, u"<"_s},
        {u"&#55357;"_s, u"&#55357;"_s},       // a surrogate
        {u"&#1114112;"_s, u"&#1114112;"_s},   // beyond Unicode
        {u"&#4294967296;"_s, u"&#4294967296;"_s}, // beyond 32 bits
        {u"&#99999999999999999999999;"_s, u"&#99999999999999999999999;"_s},
        {u"&nbsp;&#x41;"_s, u"&nbsp;&#x41;"_s},
        {u"&#65;&#66;"_s, u"AB"_s},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ThemePreview::decoded(c.input), c.expected) << c.input.toStdString();
}

TEST(ThemeGalleryText, Normalize)
{
    struct Case {
        QString input;
        QString expected;
    } cases[] = {
        {u"Optimal Info"_s, u"optimalinfo"_s},
        {u"optimal_info-2.0!"_s, u"optimalinfo20"_s},
        {u"Żółw Ⅻ ½"_s, u"żółwⅻ½"_s},
        {u"Cafe\u0301"_s, u"café"_s}, // a decomposed accent stays with its letter
        {u"♥ ★"_s, QString()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ThemePreview::normalize(c.input), c.expected) << c.input.toStdString();
    EXPECT_NE(ThemePreview::normalize(u"Café"_s), ThemePreview::normalize(u"Cafe"_s));
}

TEST_F(Gallery, RowsBecomePreviewsKeyedByThemePath)
{
    const QString html = row(u"1626"_s, u"Optimal &amp; Info"_s,
                             u"src=\"themes/1626/shot 1.png\" path=\"themes/1626/\" oversrc=\"menu.png\""_s,
                             u"<br><strong>Submitter:</strong>&nbsp; Daniel &quot;W&quot;\n<br>"_s);
    const QList<Theme> themes{theme(u"Optimal & Info.cfg"_s), theme(u"optimal-info.cfg"_s), theme(u"Other.cfg"_s)};
    const auto previews = ThemePreview::parseCatalog(html, themes);
    ASSERT_EQ(previews.size(), 2);
    for (const Theme &t : {themes[0], themes[1]}) {
        ASSERT_TRUE(previews.contains(t.url));
        const ThemePreview &p = previews[t.url];
        EXPECT_EQ(p.playing, at(u"themes/1626/shot%201.png"_s));
        EXPECT_EQ(p.menu, at(u"themes/1626/menu.png"_s));
        EXPECT_EQ(p.detail, at(u"index.php?themeid=1626&target=ipodvideo"_s));
        EXPECT_EQ(p.author, u"Daniel \"W\""_s);
        EXPECT_EQ(p.source, gallerySource);
    }
}

TEST_F(Gallery, ParseCatalogEdgeCases)
{
    const QString cafe = u"Café.cfg"_s;
    struct Case {
        const char *what;
        QString html;
        QList<Theme> themes;
        std::optional<ThemePreview> expected; // for themes[0]
    } cases[] = {
        {"no title rows: nothing", u"<a href=\"index.php?themeid=1\"><img src=\"themes/a.png\">"_s,
         {theme(u"a.cfg"_s)}, std::nullopt},
        {"accent must match", row(u"2"_s, u"Cafe"_s, u"src=\"themes/c.png\""_s), {theme(cafe)}, std::nullopt},
        {"src outside themes/", row(u"3"_s, u"A"_s, u"src=\"images/a.png\""_s), {theme(u"a.cfg"_s)},
         ThemePreview{std::nullopt, std::nullopt, gallerySource, QUrl(u"https://gallery.test/index.php?themeid=3&target=ipodvideo"_s), std::nullopt}},
        {"src with ..", row(u"4"_s, u"A"_s, u"src=\"themes/../etc/a.png\""_s), {theme(u"a.cfg"_s)},
         ThemePreview{std::nullopt, std::nullopt, gallerySource, QUrl(u"https://gallery.test/index.php?themeid=4&target=ipodvideo"_s), std::nullopt}},
        {"oversrc without path", row(u"5"_s, u"A"_s, u"oversrc=\"themes/m.png\" src=\"themes/p.png\""_s),
         {theme(u"a.cfg"_s)},
         ThemePreview{QUrl(u"https://gallery.test/themes/p.png"_s), QUrl(u"https://gallery.test/themes/m.png"_s),
                      gallerySource, QUrl(u"https://gallery.test/index.php?themeid=5&target=ipodvideo"_s), std::nullopt}},
        {"empty oversrc, src not inside oversrc", row(u"6"_s, u"A"_s, u"oversrc=\"\" path=\"themes/\""_s),
         {theme(u"a.cfg"_s)},
         ThemePreview{std::nullopt, std::nullopt, gallerySource, QUrl(u"https://gallery.test/index.php?themeid=6&target=ipodvideo"_s), std::nullopt}},
        {"submitter after the cell end",
         row(u"7"_s, u"A"_s, u"src=\"themes/p.png\""_s) + u"<strong>Submitter:</strong>&nbsp;Late"_s,
         {theme(u"a.cfg"_s)},
         ThemePreview{QUrl(u"https://gallery.test/themes/p.png"_s), std::nullopt, gallerySource,
                      QUrl(u"https://gallery.test/index.php?themeid=7&target=ipodvideo"_s), std::nullopt}},
        {"submitter past 10,000 characters",
         row(u"8"_s, u"A"_s, u"src=\"themes/p.png\""_s, QString(10000, u'x') + u"<strong>Submitter:</strong>&nbsp;Far"_s),
         {theme(u"a.cfg"_s)},
         ThemePreview{QUrl(u"https://gallery.test/themes/p.png"_s), std::nullopt, gallerySource,
                      QUrl(u"https://gallery.test/index.php?themeid=8&target=ipodvideo"_s), std::nullopt}},
        {"blank submitter is kept empty",
         row(u"9"_s, u"A"_s, u"src=\"themes/p.png\""_s, u"<strong>Submitter:</strong>&nbsp; \n"_s),
         {theme(u"a.cfg"_s)},
         ThemePreview{QUrl(u"https://gallery.test/themes/p.png"_s), std::nullopt, gallerySource,
                      QUrl(u"https://gallery.test/index.php?themeid=9&target=ipodvideo"_s), QString()}},
        {"later row for the same title wins",
         row(u"10"_s, u"A"_s, u"src=\"themes/old.png\""_s) + row(u"11"_s, u"a"_s, u"src=\"themes/new.png\""_s),
         {theme(u"a.cfg"_s)},
         ThemePreview{QUrl(u"https://gallery.test/themes/new.png"_s), std::nullopt, gallerySource,
                      QUrl(u"https://gallery.test/index.php?themeid=11&target=ipodvideo"_s), std::nullopt}},
    };
    for (const Case &c : cases) {
        const auto previews = ThemePreview::parseCatalog(c.html, c.themes);
        if (!c.expected) {
            EXPECT_TRUE(previews.isEmpty()) << c.what;
            continue;
        }
        ASSERT_TRUE(previews.contains(c.themes[0].url)) << c.what;
        EXPECT_EQ(previews[c.themes[0].url], *c.expected) << c.what;
    }
}

TEST(ThemeGalleryFetch, PageFromTheServer)
{
    HttpServer server;
    ServiceBase::setThemeGallery(server.base());
    HttpServer::Response page;
    page.body = row(u"1626"_s, u"OptimalInfo"_s, u"src=\"themes/1626/p.png\""_s).toUtf8();
    server.setResponse("/index.php", page);

    const auto previews = ThemePreview::catalog({theme(u"OptimalInfo.cfg"_s)}, u"ipod video&x=1"_s);
    ServiceBase::reset();
    ASSERT_EQ(previews.size(), 1);
    const ThemePreview &p = previews.first();
    EXPECT_EQ(p.playing, server.base().resolved(QUrl(u"themes/1626/p.png"_s)));
    EXPECT_EQ(p.detail, server.base().resolved(QUrl(u"index.php?themeid=1626&target=ipodvideo"_s)));
    ASSERT_EQ(server.requests().size(), 1);
    // The target travels as one query value, whatever it holds.
    EXPECT_EQ(server.requests()[0].target, "/index.php?target=ipod%20video%26x%3D1");
}

TEST(ThemeGalleryFetch, UnusableAnswers)
{
    HttpServer server;
    ServiceBase::setThemeGallery(server.base());
    struct Case {
        int status;
        QByteArray body;
    } cases[] = {{500, "<html></html>"}, {404, ""}, {200, "bad \xFF\xFE utf-8"}, {204, ""}};
    for (const Case &c : cases) {
        HttpServer::Response answer;
        answer.status = c.status;
        answer.body = c.body;
        server.setResponse("/index.php", answer);
        try {
            ThemePreview::catalog({theme(u"a.cfg"_s)}, u"ipodvideo"_s);
            ADD_FAILURE() << c.status;
        } catch (const TavoError &error) {
            EXPECT_EQ(error.message(), unreadable) << c.status;
        }
    }
    // A page without rows is no error.
    HttpServer::Response empty;
    empty.body = "<html>nothing here</html>";
    server.setResponse("/index.php", empty);
    EXPECT_TRUE(ThemePreview::catalog({theme(u"a.cfg"_s)}, u"ipodvideo"_s).isEmpty());
    ServiceBase::reset();
}

TEST(ThemeGalleryFetch, RefusedConnectionPassesTheNetworkErrorOn)
{
    ServiceBase::setThemeGallery(HttpServer::refusingBase());
    EXPECT_THROW(ThemePreview::catalog({theme(u"a.cfg"_s)}, u"ipodvideo"_s), NetworkError);
    ServiceBase::reset();
}
