#pragma once

// Helpers for driving the model in tests: a model with no device discovery and
// no library restore, and waiting on the event loop until an operation ends.

#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

inline TavoModel::DeviceDiscovery noDiscovery()
{
    return [] { return QList<Device>(); };
}

inline std::unique_ptr<TavoModel> makeModel(bool restoreLibrary = false)
{
    return std::make_unique<TavoModel>(noDiscovery(), restoreLibrary);
}

// Runs the event loop until `busy` is false; false when that took over 60 s.
inline bool waitUntilIdle(TavoModel &model)
{
    if (!model.busy())
        return true;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    QObject::connect(&model, &TavoModel::busyChanged, &loop, [&] {
        if (!model.busy())
            loop.exit(0);
    });
    timeout.start(60'000);
    return loop.exec() == 0;
}

// One line per album (its id, artist, title and tracks) and per track of the
// filtered list, with every field the lists carry: two models whose lists
// give the same lines show the same thing.
inline QStringList listLines(const TavoModel &model)
{
    auto trackLine = [](const Track &t) -> QString {
        return t.id.toString() + u'|' + t.url + u'|' + t.title + u'|' + t.artist + u'|' + t.album + u'|'
               + QString::number(t.bytes) + u'|' + t.info.codec + u'|' + t.info.year + u'|'
               + QString::number(t.info.trackNumber) + u'|' + QString::number(t.info.discNumber) + u'|'
               + (t.artwork ? QString::fromLatin1(t.artwork->identity().toHex()) : u"-"_s);
    };
    QStringList lines;
    for (const Album &album : model.albums()) {
        lines.append(u"album "_s + album.id() + u'|' + album.artist + u'|' + album.title);
        for (const Track &t : album.tracks)
            lines.append(u"  "_s + trackLine(t));
    }
    for (const Track &t : model.filteredTracks())
        lines.append(u"track "_s + trackLine(t));
    return lines;
}

// listLines() in every sort order, with and without a search.
inline QStringList listLinesInEveryOrder(TavoModel &model, const QString &search)
{
    QStringList lines;
    for (const QString &mode : {u"Wykonawca"_s, u"Album"_s, u"Rok"_s, u"Rozmiar"_s}) {
        model.setSortMode(mode);
        for (const QString &text : {QString(), search}) {
            model.setSearch(text);
            lines.append(u"== "_s + mode + u' ' + text);
            lines += listLines(model);
        }
    }
    model.setSearch(QString());
    model.setSortMode(u"Wykonawca"_s);
    return lines;
}

// Every test starts with empty settings and a Polish interface.
class ModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        AppLocalizer::setPreferredLanguages([] { return QStringList{u"pl-PL"_s}; });
    }
    void TearDown() override
    {
        AppLocalizer::setPreferredLanguages({});
        Defaults::clear();
    }
};
