#pragma once

// Shared ground of the album sheet tests: a model without device discovery
// whose player plays nothing, a loopback server standing in for the cover
// catalogue and archive, tracks made in memory, a workspace that only
// records, and saving what a sheet looks like.

#include "localization/applocalizer.h"
#include "media/coversearch.h"
#include "model/modeltasks.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "platform/http.h"
#include "platform/workspace.h"
#include "support/fakeaudio.h"
#include "support/httpserver.h"
#include "support/imagefixtures.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QThreadPool>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace albumtesting {

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

// Runs the event loop until the condition holds; false after 20 s.
inline bool waitUntil(const std::function<bool()> &condition, int ms = 20'000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Lets every started job end and what it posted run.
inline void drainWork()
{
    for (int round = 0; round < 5; ++round) {
        ModelTasks::networkPool()->waitForDone(60'000);
        QThreadPool::globalInstance()->waitForDone(60'000);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

struct TrackSpec {
    QString title;
    qint64 disc = 1;
    qint64 number = 0;
    double duration = 0;
    QString codec = u"FLAC"_s;
    QString year;
    qint64 bytes = 0;
    bool embedded = false;
};

// Tracks of one album in one folder, as the grouping puts them together. Their
// files exist (empty: the fake player never reads them).
inline QList<Track> albumTracks(const QString &folder, const QString &artist, const QString &album,
                                const QList<TrackSpec> &specs, std::optional<QByteArray> artwork = std::nullopt)
{
    QList<Track> tracks;
    int i = 0;
    for (const TrackSpec &spec : specs) {
        Track track;
        track.id = QUuid::createUuid();
        track.url = folder + u"/%1 %2.flac"_s.arg(++i, 2, 10, QChar(u'0')).arg(spec.title);
        track.title = spec.title;
        track.artist = artist;
        track.album = album;
        track.artwork = artwork;
        track.bytes = spec.bytes;
        track.hasEmbeddedArt = spec.embedded;
        track.info.codec = spec.codec;
        track.info.duration = spec.duration;
        track.info.trackNumber = spec.number;
        track.info.discNumber = spec.disc;
        track.info.year = spec.year;
        track.info.tags = {{u"ARTIST"_s, artist}, {u"ALBUM"_s, album}, {u"TITLE"_s, spec.title}};
        QDir().mkpath(folder);
        QFile file(track.url);
        if (file.open(QIODevice::WriteOnly))
            file.write("x");
        tracks.append(track);
    }
    return tracks;
}

inline QString screenshotPath(const QString &name)
{
    const QString dir = QCoreApplication::applicationDirPath() + u"/../screenshots"_s;
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

class SheetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        Defaults::setString(u"appLanguage"_s, u"pl"_s);
        QApplication::setPalette(kit::lightPalette());
        ServiceBase::setCoverArtArchive(server.base());
        ServiceBase::setMusicBrainz(server.base());
        CoverSearch::shared().resetForTesting();
        CoverSearch::shared().setTimingForTesting({std::chrono::milliseconds(0), std::chrono::milliseconds(10)});
        model = std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
        ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
        audio = installFakeAudio(*model->playback());
    }

    void TearDown() override
    {
        drainWork();
        model.reset();
        drainWork();
        ServiceBase::reset();
        CoverSearch::shared().resetForTesting();
        QApplication::setPalette(kit::lightPalette());
        Defaults::clear();
    }

    void setEnglish(bool english) { Defaults::setString(u"appLanguage"_s, english ? u"en"_s : u"pl"_s); }

    // A folder of its own for the tracks' files.
    QString folder(const QString &relative) const { return files.filePath(relative); }

    QTemporaryDir files;
    HttpServer server;
    std::unique_ptr<TavoModel> model;
    std::shared_ptr<FakeAudioState> audio;
    RecordingWorkspace workspace;
};

} // namespace albumtesting
