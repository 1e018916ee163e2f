// The model may be closed while its background work still runs (the window
// closes during a transfer, a gallery request or a discovery). The work then
// ends on its own and its results, progress reports included, are dropped:
// nothing may reach the model that is gone. The sanitizer build turns any
// such access into a failure.

#include "caretesting.h"

#include "model/modeltasks.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <functional>

namespace {

// Lets every worker end and every continuation it posted run.
void drain()
{
    for (int round = 0; round < 3; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        ModelTasks::networkPool()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

class Lifetime : public OperationsTest
{
protected:
    // A fresh model, its start-up refresh done, with a library of `count` tracks
    // of one size (so the duplicate check hashes them all) and a cover each.
    void prepare(int count)
    {
        model = makeModel();
        ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
        QList<Track> tracks;
        for (int i = 0; i < count; ++i)
            tracks.append(libraryTrack(library(u"Band/Album/%1.mp3"_s.arg(i + 1, 2, 10, QChar(u'0'))), u"Band"_s,
                                       u"Album"_s, 1, i + 1, fixtures::jpeg(600, 600)));
        model->setTracks(tracks);
        TavoModel::UuidSet ids;
        for (const Track &track : tracks)
            ids.insert(track.id);
        model->setQueued(ids);
        connectDevice();
    }
};

TEST_F(Lifetime, WorkOutlivingTheModelReachesNothing)
{
    HttpServer::Response cover;
    cover.body = fixtures::jpeg(500, 500);
    server.setResponse("/release-group/0b4ea8f4-7c8c-4b3a-9f55-2d8e3a1c5b77/front-500", cover);
    const QString importFolder = library(u"Import"_s);
    for (int i = 0; i < 41; ++i)
        libraryTrack(importFolder + u"/%1.mp3"_s.arg(i + 1, 2, 10, QChar(u'0')), u"X"_s, u"Y"_s);

    struct Case {
        const char *what;
        std::function<void(TavoModel &)> start;
        std::function<void()> check; // what the work itself left behind
    } cases[] = {
        {"import", [&](TavoModel &m) { m.importURLs({importFolder}, false, true); }, [] {}},
        {"transfer",
         [](TavoModel &m) { m.transfer(); },
         [&] { EXPECT_TRUE(device.exists(u"Music/Band/Album/cover.jpeg"_s)); }},
        {"duplicate check", [](TavoModel &m) { m.checkDuplicates(); }, [] {}},
        {"cover download",
         [](TavoModel &m) {
             CoverCandidate candidate;
             candidate.id = u"0b4ea8f4-7c8c-4b3a-9f55-2d8e3a1c5b77"_s;
             candidate.title = u"Album"_s;
             m.downloadCover(candidate, m.albums().first(), true);
         },
         [] {}},
        {"cover repair", [](TavoModel &m) { m.repairAvailableCovers(); }, [] {}},
        {"backup", [](TavoModel &m) { m.backup(); }, [] {}},
        {"clean-up", [](TavoModel &m) { m.cleanupMacFiles(); }, [] {}},
        {"device music", [](TavoModel &m) { m.scanDeviceMusic(); }, [] {}},
        {"device content and refresh",
         [](TavoModel &m) {
             m.loadDeviceContent();
             m.refresh();
         },
         [] {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        prepare(3);
        c.start(*model);
        ASSERT_TRUE(model->busy() || std::string(c.what) == "device content and refresh");
        model.reset();
        drain();
        c.check();
    }
}

TEST_F(Lifetime, ADiscoveryOutlivingTheModelReachesNothing)
{
    auto slow = std::make_unique<TavoModel>(
        [] {
            QThread::msleep(200);
            return QList<Device>();
        },
        false);
    slow->setWatchdogDelay(50);
    EXPECT_TRUE(slow->refreshing());
    slow.reset();
    drain();
    // The watchdog's delay passes too with the model gone.
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace
