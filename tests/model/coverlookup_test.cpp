#include "operationstesting.h"

#include "model/coverlookup.h"
#include "support/qtprinters.h"

#include <QFile>

namespace {

const QByteArray searchPath = "/ws/2/release-group/";

QByteArray capturedAnswer(const char *name)
{
    QFile file(QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/musicbrainz/captured-answers/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

HttpServer::Response json(const QByteArray &body)
{
    return {200, {{"Content-Type", "application/json"}}, body};
}

class CoverLookup : public OperationsTest
{
protected:
    // Starts a search and records what reaches the receiver.
    std::shared_ptr<CoverSearchRequest> start(const QString &artist, const QString &title, QObject *receiver)
    {
        return model->searchCovers(artist, title, receiver, [this](const CoverSearchResult &result) {
            results.append(result);
        });
    }

    QList<CoverSearchResult> results;
};

} // namespace

TEST_F(CoverLookup, deliversTheCandidatesOnTheMainThreadInTheServicesOrder)
{
    server.setResponse(searchPath, json(capturedAnswer("search-in-times-before-the-light-25-results.json")));
    QObject receiver;
    start(u"The Kovenant"_s, u"In Times Before the Light"_s, &receiver);
    EXPECT_TRUE(results.isEmpty()) << "the answer never arrives inside the call";
    ASSERT_TRUE(waitUntil([&] { return !results.isEmpty(); }));

    ASSERT_EQ(results.size(), 1);
    EXPECT_FALSE(results[0].error);
    ASSERT_EQ(results[0].candidates.size(), 25);
    EXPECT_EQ(results[0].candidates[0].id, u"ba62217c-c12f-4eae-859e-5202936914ff"_s);
    EXPECT_EQ(results[0].candidates[1].firstReleaseDate, u"1997"_s);
    EXPECT_FALSE(model->busy()) << "a search of a sheet is no long model operation";
}

TEST_F(CoverLookup, reportsFailuresAsTheirDescription)
{
    const struct {
        QString artist, title;
        HttpServer::Response answer;
        QString error;
    } cases[] = {
        {u"  "_s, u"Album"_s, json("{}"), u"Podaj wykonawcę i tytuł albumu."_s},
        {u"Band"_s, u"Album"_s, {404, {}, {}}, u"Katalog okładek jest chwilowo niedostępny (HTTP 404). Spróbuj ponownie później."_s},
    };
    for (const auto &c : cases) {
        results.clear();
        server.setResponse(searchPath, c.answer);
        QObject receiver;
        start(c.artist, c.title, &receiver);
        ASSERT_TRUE(waitUntil([&] { return !results.isEmpty(); }));
        ASSERT_TRUE(results[0].error);
        EXPECT_EQ(*results[0].error, c.error);
        EXPECT_TRUE(results[0].candidates.isEmpty());
    }
}

TEST_F(CoverLookup, aCancelledOrOrphanedSearchDeliversNothing)
{
    HttpServer::Response slow = json(capturedAnswer("search-no-results.json"));
    server.setResponse(searchPath, slow);
    {
        QObject receiver;
        std::shared_ptr<CoverSearchRequest> request = start(u"Band"_s, u"Album"_s, &receiver);
        request->cancel();
        drainWork();
    }
    {
        auto *receiver = new QObject;
        start(u"Band"_s, u"Other"_s, receiver);
        delete receiver;
        drainWork();
    }
    EXPECT_TRUE(results.isEmpty());
}

TEST_F(CoverLookup, cancellingEndsASearchThatWaitsForTheServer)
{
    HttpServer::Response never;
    never.hang = true;
    server.setResponse(searchPath, never);
    QObject receiver;
    std::shared_ptr<CoverSearchRequest> request = start(u"Band"_s, u"Album"_s, &receiver);
    ASSERT_TRUE(waitUntil([&] { return !server.requests().isEmpty(); }));
    QElapsedTimer clock;
    clock.start();
    request->cancel();
    ModelTasks::networkPool()->waitForDone(60'000);
    EXPECT_LT(clock.elapsed(), 5'000) << "the worker is free long before the 25 s time-out";
    drainWork();
    EXPECT_TRUE(results.isEmpty());
}

TEST_F(CoverLookup, aTrackToggleActsOnTheSideItIsGiven)
{
    Track library;
    library.id = QUuid::createUuid();
    Track onDevice;
    onDevice.id = QUuid::createUuid();
    model->setLibraryOnDevice(false);

    model->toggleTrack(onDevice, true);
    EXPECT_EQ(model->selectedOnDevice(), TavoModel::UuidSet({onDevice.id}));
    EXPECT_TRUE(model->queued().isEmpty());

    model->setLibraryOnDevice(true);
    model->toggleTrack(library, false);
    EXPECT_EQ(model->queued(), TavoModel::UuidSet({library.id}));
    model->toggleTrack(onDevice, true);
    EXPECT_TRUE(model->selectedOnDevice().isEmpty());

    // Without a side the side shown decides, as before.
    model->toggleTrack(onDevice);
    EXPECT_EQ(model->selectedOnDevice(), TavoModel::UuidSet({onDevice.id}));
    EXPECT_EQ(model->queued(), TavoModel::UuidSet({library.id}));
}
