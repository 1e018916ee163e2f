#include "caretesting.h"

#include "media/albumgrouping.h"
#include "media/jpegmarkers.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"
#include "support/coverbytes.h"

#include <QFile>
#include <QMutex>
#include <algorithm>
#include <chrono>

namespace {

using namespace std::chrono_literals;

const QByteArray searchPath = "/ws/2/release-group/";
// The release group of the captured one-result answer (Gråinheim, "Hexndeifl").
const QString uniqueGroup = u"4a9421e6-9def-4616-82bf-674d5a5c7a29"_s;
const QString advice = u"Przy pozostałych albumach użyj „Znajdź w sieci…” lub wybierz własny obraz."_s;

QByteArray capturedAnswer(const char *name)
{
    QFile file(QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/musicbrainz/captured-answers/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

QByteArray releaseGroup(const char *id, const char *title, const char *artist)
{
    return QByteArray(R"({"id":")") + id + R"(","score":100,"title":")" + title
           + R"(","primary-type":"Album","artist-credit":[{"name":")" + artist + R"("}]})";
}

// Two release groups that both pass the match test for "Twin Peaks Band" / "Twin".
QByteArray twoMatches()
{
    return R"({"count":2,"offset":0,"release-groups":[)"
           + releaseGroup("0b4ea8f4-7c8c-4b3a-9f55-2d8e3a1c5b77", "Twin", "Twin Peaks Band") + ","
           + releaseGroup("1c5fb905-8d9d-4c4b-8a66-3e9f4b2d6c88", "Twin", "Twin Peaks Band") + "]}";
}

HttpServer::Response json(const QByteArray &body)
{
    return {200, {{"Content-Type", "application/json"}}, body};
}

HttpServer::Response status(int code)
{
    HttpServer::Response response;
    response.status = code;
    return response;
}

QString summary(int added, int manual, int unavailable)
{
    return u"Dodano okładki: %1. Do wyboru ręcznie: %2. Niedostępne: %3."_s.arg(added).arg(manual).arg(unavailable);
}

class CoverFinder : public OperationsTest
{
protected:
    enum class Kind { unique, several, failing };

    struct Planned {
        QString artist;
        QString title;
        Kind kind;
    };

    const QList<Planned> planned = {
        {u"Gråinheim"_s, u"Hexndeifl"_s, Kind::unique},
        {u"Twin Peaks Band"_s, u"Twin"_s, Kind::several},
        {u"Lost Band"_s, u"Nowhere"_s, Kind::failing},
    };

    // Two tracks per planned album under `base`, none with artwork.
    QList<Track> makeTracks(const std::function<QString(const QString &)> &place)
    {
        QList<Track> tracks;
        for (const Planned &p : planned) {
            for (int n = 1; n <= 2; ++n) {
                tracks.append(libraryTrack(place(u"Music/%1/%2/0%3.mp3"_s.arg(p.artist, p.title).arg(n)), p.artist,
                                           p.title, 1, n));
            }
        }
        return tracks;
    }

    // Answers in the order the model will ask: the grouping's album order.
    QList<Kind> serveInAlbumOrder(const QList<Track> &tracks)
    {
        QList<Kind> order;
        for (const Album &album : AlbumGrouping::albums(tracks)) {
            const auto p = std::find_if(planned.cbegin(), planned.cend(),
                                        [&](const Planned &q) { return q.title == album.title; });
            EXPECT_NE(p, planned.cend()) << album.title.toStdString();
            if (p == planned.cend())
                continue;
            order.append(p->kind);
            switch (p->kind) {
            case Kind::unique:
                server.enqueueResponse(searchPath, json(capturedAnswer("search-hexndeifl-1-result.json")));
                break;
            case Kind::several:
                server.enqueueResponse(searchPath, json(twoMatches()));
                break;
            case Kind::failing:
                // Busy, and busy again on the one retry.
                server.enqueueResponse(searchPath, status(503));
                server.enqueueResponse(searchPath, status(503));
                break;
            }
        }
        server.setResponse("/release-group/" + uniqueGroup.toUtf8() + "/front-500",
                           {200, {{"Content-Type", "image/png"}}, fixtures::encode(fixtures::solid(900, 600), "png")});
        return order;
    }

    // The per-album lines the run must publish for that order.
    static QStringList expectedLines(const QList<Kind> &order)
    {
        QStringList lines{u"Szukam brakujących okładek…"_s};
        int added = 0;
        for (qsizetype i = 0; i < order.size(); ++i) {
            if (order[i] == Kind::unique)
                ++added;
            lines.append(u"Sprawdzono albumy: %1 / %2 · dodano: %3"_s.arg(i + 1).arg(order.size()).arg(added));
        }
        return lines;
    }

    static std::optional<Album> albumTitled(const QList<Track> &tracks, const QString &title)
    {
        for (const Album &album : AlbumGrouping::albums(tracks)) {
            if (album.title == title)
                return album;
        }
        return std::nullopt;
    }
};

TEST_F(CoverFinder, AddsTheUniqueMatchAndCountsTheOthers)
{
    // Searches keep their real distance apart here.
    const auto spacing = 400ms;
    CoverSearch::shared().setTimingForTesting({spacing, 10ms});
    QMutex sendsMutex;
    QList<std::chrono::steady_clock::time_point> sends;
    CoverSearch::shared().setSendObserverForTesting([&](const QUrl &) {
        QMutexLocker lock(&sendsMutex);
        sends.append(std::chrono::steady_clock::now());
    });

    const QList<Track> tracks = makeTracks([this](const QString &relative) { return library(relative); });
    model->setTracks(tracks);
    const QList<Kind> order = serveInAlbumOrder(tracks);

    History history(*model);
    model->findMissingCovers();
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));

    QStringList lines = expectedLines(order);
    lines.append(summary(1, 1, 1));
    EXPECT_EQ(history.statuses, lines);
    EXPECT_EQ(history.progress, (QList<double>{0, 1.0 / 3, 2.0 / 3, 1}));
    EXPECT_EQ(model->alert(), std::optional<QString>(summary(1, 1, 1) + u"\n"_s + advice));

    // One search each, and a second for the busy catalogue, each in its own slot.
    // A send is noted when its thread wakes, which under load may be a little
    // after its slot; the margin allows for that, never for a missing spacing.
    {
        QMutexLocker lock(&sendsMutex);
        ASSERT_EQ(sends.size(), 4);
        for (qsizetype i = 1; i < sends.size(); ++i)
            EXPECT_GE(sends[i] - sends[i - 1], spacing - 150ms) << "between searches " << i << " and " << i + 1;
    }
    CoverSearch::shared().setSendObserverForTesting({});

    // The matched album has the converted cover and remembers where it came from.
    const std::optional<Album> found = albumTitled(model->tracks(), u"Hexndeifl"_s);
    ASSERT_TRUE(found.has_value());
    for (const Track &track : found->tracks) {
        ASSERT_TRUE(track.artwork.has_value());
        EXPECT_FALSE(JpegMarkers::isProgressive(fixtures::coverBytes(track)));
        EXPECT_EQ(fixtures::decode(fixtures::coverBytes(track)).size(), QSize(500, 500));
    }
    const auto sources = Defaults::stringMap(u"coverSources"_s).value_or(QMap<QString, QString>());
    EXPECT_EQ(sources.value(found->id()), server.base().toString() + u"release-group/"_s + uniqueGroup);
    EXPECT_EQ(sources.size(), 1);
    // The others are left as they were.
    for (const Track &track : model->tracks()) {
        if (track.album != u"Hexndeifl"_s) {
            EXPECT_FALSE(track.artwork.has_value()) << track.url.toStdString();
        }
    }
    // Nothing was written to a device.
    EXPECT_FALSE(model->device().has_value());
}

TEST_F(CoverFinder, OnTheDeviceSideTheCoverGoesOntoTheDeviceOrFailsWithoutOne)
{
    struct Case {
        const char *name;
        bool connected;
        QString summary;
    };
    // Without a device the unique match cannot be applied; then one is connected.
    const QList<Case> cases = {
        {"no device", false, summary(0, 1, 2)},
        {"device connected", true, summary(1, 1, 1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CoverSearch::shared().resetForTesting();
        CoverSearch::shared().setTimingForTesting({0ms, 10ms});
        if (c.connected)
            connectDevice();
        const QList<Track> tracks = makeTracks([this](const QString &relative) { return device.path(relative); });
        model->setDeviceTracks(tracks);
        model->setLibraryOnDevice(true);
        serveInAlbumOrder(tracks);

        model->findMissingCovers();
        ASSERT_TRUE(waitUntilIdle(*model));
        EXPECT_EQ(model->status(), c.summary);
        EXPECT_EQ(device.exists(u"Music/Gråinheim/Hexndeifl/cover.jpeg"_s), c.connected);
        // The computer side is not touched.
        EXPECT_TRUE(model->tracks().isEmpty());
        model->setLibraryOnDevice(false);
    }
}

// Without a connection every album is unavailable, and the summary says why,
// in both languages.
TEST_F(CoverFinder, WithoutAConnectionTheSummaryNamesTheService)
{
    CoverSearch::shared().setTimingForTesting({0ms, 10ms});
    ServiceBase::setMusicBrainz(HttpServer::refusingBase());
    model->setTracks(makeTracks([this](const QString &relative) { return library(relative); }));
    model->findMissingCovers();
    ASSERT_TRUE(waitUntilIdle(*model));
    const QString offline = summary(0, 0, 3)
                            + u" Brak połączenia z usługą okładek (MusicBrainz / Cover Art Archive). Sprawdź połączenie "
                              u"z internetem."_s;
    EXPECT_EQ(model->status(), offline);
    EXPECT_EQ(model->alert(), std::optional<QString>(offline + u"\n"_s + advice));
    EXPECT_EQ(AppLocalizer::translateEnglish(*model->alert(), 0),
              u"Covers added: 0. To choose by hand: 0. Unavailable: 3. No connection to the cover service "
              u"(MusicBrainz / Cover Art Archive). Check the internet connection.\n"
              u"For the remaining albums, use “Find Online…” or choose your own image."_s);

    // A busy catalogue is no missing connection: the summary stays as it was.
    CoverSearch::shared().resetForTesting();
    CoverSearch::shared().setTimingForTesting({0ms, 10ms});
    ServiceBase::setMusicBrainz(server.base());
    for (int i = 0; i < 6; ++i)
        server.enqueueResponse(searchPath, status(503));
    model->findMissingCovers();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), summary(0, 0, 3));
}

TEST_F(CoverFinder, AlbumsWithAnyPictureAreNotSearched)
{
    // Even a picture Rockbox cannot show counts as a cover here.
    model->setTracks({
        libraryTrack(library(u"A/X/01.mp3"_s), u"A"_s, u"X"_s, 1, 1, fixtures::jpeg(800, 800, true)),
        libraryTrack(library(u"A/X/02.mp3"_s), u"A"_s, u"X"_s, 1, 2),
        libraryTrack(library(u"B/Y/01.mp3"_s), u"B"_s, u"Y"_s, 1, 1, QByteArray("not an image")),
    });
    const QString status = model->status();
    ChangeCounter changes(*model);
    model->findMissingCovers();
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(model->status(), status);
    EXPECT_FALSE(model->alert().has_value());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(CoverFinder, RefusedCallsChangeNothing)
{
    model->setTracks(makeTracks([this](const QString &relative) { return library(relative); }));
    struct Case {
        const char *name;
        std::function<void()> arrange;
    };
    const QList<Case> cases = {
        {"another operation runs", [&] { model->setBusy(true); }},
        {"the device side is empty", [&] { model->setLibraryOnDevice(true); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        ChangeCounter changes(*model);
        model->findMissingCovers();
        EXPECT_EQ(changes.count(), 0);
        model->setBusy(false);
        model->setLibraryOnDevice(false);
    }
    drainWork();
    EXPECT_TRUE(server.requests().isEmpty());
}

} // namespace
