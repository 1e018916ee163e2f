#pragma once

// Device tracks for the Cover Flow tests: albums in folders of their own, with
// disc and track numbers and, where asked, a cover.

#include "media/records.h"
#include "support/imagefixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

namespace flowtesting {

// Runs the event loop until `done` holds or `ms` have passed; says whether it holds.
inline bool waitFor(const std::function<bool()> &done, int ms = 15'000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

inline Track track(const QString &artist, const QString &album, const QString &title, qint64 number = 1,
                   qint64 disc = 0, std::optional<Cover> artwork = std::nullopt, QString folder = QString())
{
    Track t;
    t.id = QUuid::createUuid();
    if (folder.isEmpty())
        folder = u"/dev/ipod/Music/"_qs + artist + u"/"_qs + album;
    t.url = folder + u"/"_qs + QString::number(disc) + u"-"_qs + QString::number(number) + u" "_qs + title +
            u".mp3"_qs;
    t.title = title;
    t.artist = artist;
    t.album = album;
    t.artwork = std::move(artwork);
    t.bytes = 1000;
    t.info.codec = u"MP3"_qs;
    t.info.trackNumber = number;
    t.info.discNumber = disc;
    return t;
}

// `count` albums "Album 000"… by "Artist 000"…, two tracks each, each with a
// cover of its own colour when `covers` is set.
inline QList<Track> albums(int count, bool covers = true, int coverSide = 64)
{
    QList<Track> tracks;
    for (int i = 0; i < count; ++i) {
        const QString n = QString::number(i).rightJustified(3, u'0');
        std::optional<QByteArray> art;
        if (covers)
            art = fixtures::encode(fixtures::solid(coverSide, coverSide, QColor::fromHsv((i * 37) % 360, 200, 220)),
                                   "jpeg");
        for (int t = 1; t <= 2; ++t)
            tracks.append(track(u"Artist "_qs + n, u"Album "_qs + n, u"Song "_qs + QString::number(t), t, 0, art));
    }
    return tracks;
}

} // namespace flowtesting
