#include "ui/album/coversearchview.h"

#include "albumtesting.h"
#include "media/albumgrouping.h"
#include "ui/album/clampedtext.h"
#include "ui/shell/pages.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QCloseEvent>
#include <QWindow>

using namespace albumtesting;

namespace {

const QByteArray searchPath = "/ws/2/release-group/";
const char *const ids[] = {"4a9421e6-9def-4616-82bf-674d5a5c7a29", "0b4ea8f4-7c8c-4b3a-9f55-2d8e3a1c5b77",
                           "1c5fb905-8d9d-4c4b-8a66-3e9f4b2d6c88", "2d6ac016-9e0e-4d5c-9b77-4f0a5c3e7d99"};

QByteArray group(const char *id, const QByteArray &title, const QByteArray &artist, const QByteArray &date)
{
    QByteArray entry = QByteArray(R"({"id":")") + id + R"(","score":100,"title":")" + title +
                       R"(","primary-type":"Album","artist-credit":[{"name":")" + artist + R"("}])";
    if (!date.isEmpty())
        entry += R"(,"first-release-date":")" + date + '"';
    return entry + '}';
}

HttpServer::Response json(const QByteArray &body)
{
    return {200, {{"Content-Type", "application/json"}}, body};
}

HttpServer::Response picture(const QByteArray &bytes)
{
    return {200, {{"Content-Type", "image/jpeg"}}, bytes};
}

QByteArray coverPath(int i)
{
    return "/release-group/" + QByteArray(ids[i]) + "/front-500";
}

QPushButton *button(QWidget *root, const QString &text)
{
    for (QPushButton *b : root->findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

QList<QPushButton *> buttons(QWidget *root, const QString &text)
{
    QList<QPushButton *> found;
    for (QPushButton *b : root->findChildren<QPushButton *>())
        if (b->text() == text)
            found.append(b);
    return found;
}

class CoverSheet : public SheetTest
{
protected:
    // The searches the catalogue was asked (the server also serves the thumbnails).
    QList<HttpServer::Request> searches() const
    {
        QList<HttpServer::Request> found;
        for (const HttpServer::Request &request : server.requests())
            if (request.path() == searchPath)
                found.append(request);
        return found;
    }

    void SetUp() override
    {
        SheetTest::SetUp();
        tracks = albumTracks(folder(u"Gråinheim/Hexndeifl"_s), u"Gråinheim"_s, u"Hexndeifl"_s,
                             {{u"Eins"_s, 1, 1, 300}, {u"Zwei"_s, 1, 2, 280}});
        album = AlbumGrouping::albums(tracks).first();
        model->setTracks(tracks);
    }

    // Three candidates: the second without a date and with a long title.
    void serveThree()
    {
        server.setResponse(searchPath,
                           json(R"({"count":3,"offset":0,"release-groups":[)" +
                                group(ids[0], "Hexndeifl", "Gr\u00e5inheim", "2019-05-17") + "," +
                                group(ids[1],
                                      "Hexndeifl (Deluxe Edition with Bonus Tracks, Demos, Live Recordings and "
                                      "Rehearsals from the Years 2014 to 2018)",
                                      "Gr\u00e5inheim", "") +
                                "," + group(ids[2], "Hexndeifl", "Gr\u00e5inheim & Guests", "2019") + "]}"));
    }

    std::unique_ptr<CoverSearchView> open(std::optional<bool> side = std::nullopt)
    {
        auto sheet = std::make_unique<CoverSearchView>(model.get(), album, side, nullptr, &workspace);
        sheet->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
        return sheet;
    }

    static bool settled(const CoverSearchView &sheet)
    {
        for (RemoteThumbnail *thumbnail : sheet.thumbnails())
            if (thumbnail->state() == RemoteThumbnail::State::loading)
                return false;
        return !sheet.searching();
    }

    static QLabel *messageLabel(QWidget *root, const QString &text)
    {
        for (QLabel *l : root->findChildren<QLabel *>())
            if (l->text() == text)
                return l;
        return nullptr;
    }

    QList<Track> tracks;
    Album album;
};

} // namespace

TEST(CoverSearchGrid, threeColumnsFitTheSheetButNotFour)
{
    const struct {
        int width, columns;
    } cases[] = {{100, 1}, {190, 1}, {387, 1}, {388, 2}, {698, 3}, {712, 3}, {783, 3}, {784, 4}};
    for (const auto &c : cases)
        EXPECT_EQ(CoverSearchView::columnsFor(c.width, 8), c.columns) << c.width;
}

TEST_F(CoverSheet, showingSearchesTheAlbumsNamesAndListsTheCandidatesInThreeColumns)
{
    serveThree();
    server.setResponse(coverPath(0), picture(fixtures::jpeg(500, 500)));
    server.setResponse(coverPath(1), {404, {}, {}});
    server.setResponse(coverPath(2), picture(fixtures::encode(fixtures::solid(600, 300, Qt::darkGreen), "png")));
    // The search state is read before any event is processed: the loopback
    // answer may otherwise arrive while the window is being exposed.
    auto sheet = std::make_unique<CoverSearchView>(model.get(), album, std::nullopt, nullptr, &workspace);
    sheet->show();
    const QList<QLineEdit *> fields = sheet->findChildren<QLineEdit *>();
    ASSERT_EQ(fields.size(), 2);
    EXPECT_TRUE(sheet->searching());
    EXPECT_EQ(sheet->message(), u"Szukam wydań…"_s);
    EXPECT_FALSE(button(sheet.get(), u"Szukaj"_s)->isEnabled());
    EXPECT_TRUE(sheet->findChild<QProgressBar *>()->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
    ASSERT_TRUE(waitUntil([&] { return settled(*sheet); }));

    ASSERT_EQ(searches().size(), 1);
    const QByteArray query = QByteArray::fromPercentEncoding(searches().first().query());
    EXPECT_TRUE(query.contains("releasegroup:\"Hexndeifl\" AND artist:\"Gr\xc3\xa5inheim\"")) << query.constData();

    EXPECT_EQ(sheet->message(),
              u"Wyniki: 3. Brak grafiki oznacza, że wydanie nie ma okładki w archiwum."_s);
    EXPECT_FALSE(sheet->findChild<QProgressBar *>()->isVisible());
    const QList<RemoteThumbnail *> thumbnails = sheet->thumbnails();
    ASSERT_EQ(thumbnails.size(), 3);
    QList<RemoteThumbnail::State> states;
    QSet<int> columns;
    for (RemoteThumbnail *thumbnail : thumbnails) {
        states.append(thumbnail->state());
        columns.insert(thumbnail->parentWidget()->x());
        EXPECT_EQ(thumbnail->height(), 170);
        EXPECT_GE(thumbnail->parentWidget()->width(), 190);
    }
    EXPECT_EQ(columns.size(), 3) << "one row of three cards";
    EXPECT_EQ(states.count(RemoteThumbnail::State::loaded), 2);
    EXPECT_EQ(states.count(RemoteThumbnail::State::failed), 1);

    // A candidate without a date ends its artist line with the separator.
    QStringList artistLines;
    for (ClampedText *text : sheet->findChildren<ClampedText *>())
        artistLines.append(text->text());
    EXPECT_TRUE(artistLines.contains(u"Gråinheim · "_s));
    EXPECT_TRUE(artistLines.contains(u"Gråinheim & Guests · 2019"_s));
    // Long titles stop at two lines.
    for (ClampedText *text : sheet->findChildren<ClampedText *>())
        EXPECT_LE(text->visibleLines().size(), 2);

    // Every candidate can be taken, and its page opened.
    EXPECT_EQ(buttons(sheet.get(), u"Pobierz i dodaj"_s).size(), 3);
    for (QPushButton *b : buttons(sheet.get(), u"Pobierz i dodaj"_s))
        EXPECT_TRUE(b->isEnabled());
    QList<QLabel *> links;
    for (QLabel *l : sheet->findChildren<QLabel *>())
        if (l->text().contains(u">Źródło<"_s))
            links.append(l);
    ASSERT_EQ(links.size(), 3);
    emit links.first()->linkActivated(server.base().toString() + u"release-group/"_s + QString::fromLatin1(ids[0]));
    ASSERT_EQ(workspace.opened.size(), 1);
    emit links.first()->linkActivated(u"file:///etc/passwd"_s);
    EXPECT_EQ(workspace.opened.size(), 1) << "only web addresses are opened";
}

TEST_F(CoverSheet, theMessageTellsOfNoResultsOfBlankNamesAndOfErrors)
{
    const struct {
        HttpServer::Response answer;
        QString artist;
        QString message;
        QString english;
    } cases[] = {
        {json(R"({"count":0,"offset":0,"release-groups":[]})"), u"Gråinheim"_s,
         u"Brak wyników. Popraw nazwy lub wybierz obraz ręcznie w albumie."_s,
         u"No results. Correct the names or choose an image by hand in the album."_s},
        {json("{}"), u" \n "_s, u"Podaj wykonawcę i tytuł albumu."_s, u"Enter the artist and the album title."_s},
        {{404, {}, {}}, u"Gråinheim"_s,
         u"Katalog okładek jest chwilowo niedostępny (HTTP 404). Spróbuj ponownie później."_s,
         u"The cover catalogue is temporarily unavailable (HTTP 404). Try again later."_s},
    };
    for (const auto &c : cases) {
        CoverSearch::shared().resetForTesting();
        CoverSearch::shared().setTimingForTesting({std::chrono::milliseconds(0), std::chrono::milliseconds(10)});
        server.setResponse(searchPath, c.answer);
        album.artist = c.artist;
        for (bool english : {false, true}) {
            setEnglish(english);
            auto sheet = open();
            ASSERT_TRUE(waitUntil([&] { return !sheet->searching(); }));
            EXPECT_EQ(sheet->message(), c.message);
            EXPECT_TRUE(messageLabel(sheet.get(), english ? c.english : c.message)) << c.message.toStdString();
            EXPECT_TRUE(sheet->thumbnails().isEmpty());
            EXPECT_TRUE(button(sheet.get(), kit::tr(u"Szukaj"_s))->isEnabled());
        }
        setEnglish(false);
    }
}

// Without a connection to the catalogue the sheet says so and names the server,
// in the interface's language.
TEST_F(CoverSheet, aMissingConnectionIsNamedInTheInterfaceLanguage)
{
    CoverSearch::shared().resetForTesting();
    CoverSearch::shared().setTimingForTesting({std::chrono::milliseconds(0), std::chrono::milliseconds(10)});
    ServiceBase::setMusicBrainz(HttpServer::refusingBase());
    for (bool english : {false, true}) {
        setEnglish(english);
        auto sheet = open();
        ASSERT_TRUE(waitUntil([&] { return !sheet->searching(); }));
        EXPECT_EQ(sheet->message(), u"Serwer 127.0.0.1 odmówił połączenia. Spróbuj ponownie później."_s);
        EXPECT_TRUE(messageLabel(sheet.get(), english ? u"The server 127.0.0.1 refused the connection. Try again later."_s
                                                      : sheet->message()));
    }
    setEnglish(false);
    ServiceBase::setMusicBrainz(server.base());
}

TEST_F(CoverSheet, onlyTheSearchButtonSearchesAgainWithTheEditedFields)
{
    serveThree();
    auto sheet = open();
    ASSERT_TRUE(waitUntil([&] { return !sheet->searching(); }));
    ASSERT_EQ(searches().size(), 1);
    QLineEdit *title = sheet->findChildren<QLineEdit *>().at(1);
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, u"Other Title"_s);
    QTest::keyClick(title, Qt::Key_Return);
    QTest::keyClick(sheet->findChildren<QLineEdit *>().at(0), Qt::Key_Enter);
    drainWork();
    EXPECT_EQ(searches().size(), 1) << "Return starts no search";
    EXPECT_TRUE(sheet->isVisible());

    QTest::mouseClick(button(sheet.get(), u"Szukaj"_s), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !sheet->searching(); }));
    ASSERT_EQ(searches().size(), 2);
    EXPECT_TRUE(QByteArray::fromPercentEncoding(searches().last().query()).contains("Other Title"));
    // The album line keeps the album's own names.
    EXPECT_TRUE(messageLabel(sheet.get(), u"Gråinheim · Hexndeifl"_s));
}

TEST_F(CoverSheet, whileTheModelIsBusyNothingClosesOrStartsTheSheet)
{
    serveThree();
    auto sheet = open();
    ASSERT_TRUE(waitUntil([&] { return !sheet->searching(); }));
    model->setBusy(true);
    EXPECT_FALSE(button(sheet.get(), u"Zamknij"_s)->isEnabled());
    EXPECT_FALSE(button(sheet.get(), u"Szukaj"_s)->isEnabled());
    for (QPushButton *b : buttons(sheet.get(), u"Pobierz i dodaj"_s))
        EXPECT_FALSE(b->isEnabled());
    EXPECT_TRUE(sheet->findChild<QProgressBar *>()->isVisible());

    QSignalSpy finished(sheet.get(), &QDialog::finished);
    QTest::keyClick(sheet.get(), Qt::Key_Escape);
    // The window's own close button: the window system asks the window.
    QCloseEvent fromWindowSystem;
    QCoreApplication::sendEvent(sheet->windowHandle(), &fromWindowSystem);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(finished.size(), 0);

    model->setBusy(false);
    EXPECT_TRUE(button(sheet.get(), u"Zamknij"_s)->isEnabled());
    QTest::keyClick(sheet.get(), Qt::Key_Escape);
    EXPECT_EQ(finished.size(), 1);

    // Whoever presented the sheet can always close it.
    auto again = open();
    model->setBusy(true);
    again->close();
    EXPECT_FALSE(again->isVisible());
    model->setBusy(false);
    // And the window system's close works once the model is idle.
    auto third = open();
    QCloseEvent again2;
    QCoreApplication::sendEvent(third->windowHandle(), &again2);
    EXPECT_FALSE(third->isVisible());
}

TEST_F(CoverSheet, takingACandidateKeepsTheSheetOpenAndShowsTheModelsOutcome)
{
    serveThree();
    server.setResponse(coverPath(0), picture(fixtures::jpeg(600, 600)));
    model->setLibraryOnDevice(true);
    // From the album sheet of the computer's album: the download is for the computer.
    auto sheet = open(false);
    ASSERT_TRUE(waitUntil([&] { return settled(*sheet); }));
    QTest::mouseClick(buttons(sheet.get(), u"Pobierz i dodaj"_s).first(), Qt::LeftButton);
    EXPECT_TRUE(model->busy());
    EXPECT_TRUE(messageLabel(sheet.get(), u"Pobieram okładkę…"_s));
    ASSERT_TRUE(waitUntil([&] { return !model->busy(); }));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(model->status(), u"Pobrano okładkę; zostanie wgrana razem z albumem."_s);
    EXPECT_TRUE(messageLabel(sheet.get(), model->status()));
    EXPECT_EQ(sheet->thumbnails().size(), 3) << "the grid stays";
    ASSERT_TRUE(model->tracks().first().artwork);
}

TEST_F(CoverSheet, closingStopsTheSearchAndAbortsTheThumbnails)
{
    HttpServer::Response never;
    never.hang = true;
    server.setResponse(searchPath, never);
    auto sheet = open();
    ASSERT_TRUE(waitUntil([&] { return !server.requests().isEmpty(); }));
    QTest::mouseClick(button(sheet.get(), u"Zamknij"_s), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    drainWork();
    EXPECT_EQ(sheet->message(), u"Szukam wydań…"_s) << "a cancelled search shows nothing later";
    EXPECT_TRUE(sheet->results().isEmpty());

    // Thumbnails still on their way when the sheet closes.
    serveThree();
    for (int i = 0; i < 3; ++i)
        server.setResponse(coverPath(i), never);
    CoverSearch::shared().resetForTesting();
    auto second = open();
    ASSERT_TRUE(waitUntil([&] { return second->thumbnails().size() == 3; }));
    for (RemoteThumbnail *thumbnail : second->thumbnails())
        EXPECT_TRUE(thumbnail->downloading());
    second->close();
    for (RemoteThumbnail *thumbnail : second->thumbnails())
        EXPECT_FALSE(thumbnail->downloading());
}

TEST_F(CoverSheet, destroyingTheSheetMidRequestNeverCrashesAndChangesNothing)
{
    HttpServer::Response never;
    never.hang = true;
    // A search waiting for the catalogue.
    server.setResponse(searchPath, never);
    {
        auto sheet = open();
        ASSERT_TRUE(waitUntil([&] { return !server.requests().isEmpty(); }));
    }
    drainWork();

    // Thumbnails half received, and their decoding under way.
    serveThree();
    CoverSearch::shared().resetForTesting();
    server.setResponse(coverPath(0), never);
    server.setResponse(coverPath(1), picture(fixtures::jpeg(1200, 1200)));
    server.setResponse(coverPath(2), picture(fixtures::jpeg(900, 900)));
    {
        auto sheet = open();
        ASSERT_TRUE(waitUntil([&] { return sheet->thumbnails().size() == 3; }));
    }
    drainWork();

    // A cover download the sheet started.
    server.setResponse(coverPath(0), picture(fixtures::jpeg(500, 500)));
    {
        auto sheet = open();
        ASSERT_TRUE(waitUntil([&] { return settled(*sheet); }));
        QTest::mouseClick(buttons(sheet.get(), u"Pobierz i dodaj"_s).first(), Qt::LeftButton);
        EXPECT_TRUE(model->busy());
    }
    ASSERT_TRUE(waitUntil([&] { return !model->busy(); }));
    EXPECT_EQ(model->status(), u"Pobrano okładkę; zostanie wgrana razem z albumem."_s);
    EXPECT_EQ(model->tracks().size(), 2);
}

TEST_F(CoverSheet, aThumbnailLargerThanTheCapIsRefused)
{
    serveThree();
    QByteArray huge = fixtures::jpeg(64, 64);
    huge.append(QByteArray(RemoteThumbnail::maxBytes + 1 - huge.size(), '\0'));
    server.setResponse(coverPath(0), picture(huge));
    QByteArray fits = fixtures::jpeg(64, 64);
    fits.append(QByteArray(RemoteThumbnail::maxBytes - fits.size(), '\0'));
    server.setResponse(coverPath(1), picture(fits));
    auto sheet = open();
    ASSERT_TRUE(waitUntil([&] { return settled(*sheet); }));
    QMap<QString, RemoteThumbnail::State> states;
    for (RemoteThumbnail *thumbnail : sheet->thumbnails())
        states.insert(thumbnail->url().path(), thumbnail->state());
    EXPECT_EQ(states.value(QString::fromLatin1(coverPath(0))), RemoteThumbnail::State::failed);
    EXPECT_EQ(states.value(QString::fromLatin1(coverPath(1))), RemoteThumbnail::State::loaded);
    EXPECT_EQ(states.value(QString::fromLatin1(coverPath(2))), RemoteThumbnail::State::failed) << "404";
}

TEST_F(CoverSheet, aThumbnailThatTakesTooLongInAllGivesUp)
{
    EXPECT_EQ(RemoteThumbnail::timeout(), 35'000);
    RemoteThumbnail::setTimeoutForTesting(600);
    serveThree();
    HttpServer::Response never;
    never.hang = true;
    server.setResponse(coverPath(0), never);
    // Alive all the time, one byte every 50 ms: never silent long enough for a transfer time-out.
    HttpServer::Response trickle = picture(fixtures::jpeg(64, 64));
    trickle.trickleMs = 50;
    server.setResponse(coverPath(1), trickle);
    server.setResponse(coverPath(2), picture(fixtures::jpeg(64, 64)));
    auto sheet = open();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return settled(*sheet); }));
    EXPECT_LT(clock.elapsed(), 10'000);
    QMap<QString, RemoteThumbnail::State> states;
    for (RemoteThumbnail *thumbnail : sheet->thumbnails()) {
        states.insert(thumbnail->url().path(), thumbnail->state());
        EXPECT_FALSE(thumbnail->downloading());
    }
    EXPECT_EQ(states.value(QString::fromLatin1(coverPath(0))), RemoteThumbnail::State::failed);
    EXPECT_EQ(states.value(QString::fromLatin1(coverPath(1))), RemoteThumbnail::State::failed);
    EXPECT_EQ(states.value(QString::fromLatin1(coverPath(2))), RemoteThumbnail::State::loaded);
    RemoteThumbnail::setTimeoutForTesting(0);
    EXPECT_EQ(RemoteThumbnail::timeout(), 35'000);
}

TEST_F(CoverSheet, theShellsHookBuildsASheetThatFollowsTheWindow)
{
    std::unique_ptr<QDialog> sheet(sheets::coverSearch(model.get(), album, nullptr));
    auto *search = qobject_cast<CoverSearchView *>(sheet.get());
    ASSERT_TRUE(search);
    EXPECT_FALSE(search->onDeviceOverride());
}

TEST_F(CoverSheet, screenshots)
{
    server.setResponse(searchPath,
                       json(R"({"count":4,"offset":0,"release-groups":[)" +
                            group(ids[0], "Hexndeifl", "Gr\u00e5inheim", "2019-05-17") + "," +
                            group(ids[1],
                                  "Hexndeifl (Deluxe Edition with Bonus Tracks, Demos, Live Recordings and "
                                  "Rehearsals from the Years 2014 to 2018)",
                                  "Gr\u00e5inheim", "") +
                            "," + group(ids[2], "Hexndeifl", "Gr\u00e5inheim & Żółta Łódź", "2019") + "," +
                            group(ids[3], "Hexndeifl (Live)", "Gr\u00e5inheim", "2021") + "]}"));
    server.setResponse(coverPath(0), picture(fixtures::jpeg(500, 500)));
    server.setResponse(coverPath(1), {404, {}, {}});
    server.setResponse(coverPath(2), picture(fixtures::encode(fixtures::solid(600, 300, QColor(30, 110, 60)), "png")));
    server.setResponse(coverPath(3), picture(fixtures::encode(fixtures::solid(300, 500, QColor(40, 60, 160)), "jpeg")));
    model->setStatus(u"Pobrano okładkę; zostanie wgrana razem z albumem."_s);
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
        for (bool english : {false, true}) {
            setEnglish(english);
            auto sheet = open();
            ASSERT_TRUE(waitUntil([&] { return settled(*sheet); }));
            const QString suffix = QString(english ? u"-en"_s : u"-pl"_s) + (dark ? u"-dark"_s : u"-light"_s);
            EXPECT_TRUE(sheet->grab().save(screenshotPath(u"coversearch-results"_s + suffix + u".png"_s)));
        }
    }
}
