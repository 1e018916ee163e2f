#pragma once

// What the library's widget tests share: a model with no device discovery,
// tracks and albums made in memory, a workspace that records what it was asked
// to reveal, and screenshots in both languages and palettes.

#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "platform/workspace.h"
#include "support/imagefixtures.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>
#include <QUuid>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace librarytesting {

inline std::unique_ptr<TavoModel> makeModel()
{
    return std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
}

struct Spec {
    QString artist = u"Wykonawca"_s;
    QString album = u"Album"_s;
    QString title = u"Utwór"_s;
    QString codec = u"FLAC"_s;
    qint64 bitDepth = 16;
    qint64 sampleRate = 44100;
    qint64 trackNumber = 1;
    qint64 disc = 0;
    double duration = 200;
    QString folder; // empty: /muzyka/<artist>/<album>
    std::optional<QByteArray> artwork;
};

inline Track track(const Spec &spec)
{
    Track t;
    t.id = QUuid::createUuid();
    const QString folder = spec.folder.isEmpty() ? u"/muzyka/"_s + spec.artist + u'/' + spec.album : spec.folder;
    t.url = folder + u'/' + QString::number(spec.trackNumber).rightJustified(2, u'0') + u' ' + spec.title + u'.'
            + spec.codec.toLower();
    t.title = spec.title;
    t.artist = spec.artist;
    t.album = spec.album;
    t.bytes = 1000;
    t.artwork = spec.artwork;
    t.info.codec = spec.codec;
    t.info.bitDepth = spec.bitDepth;
    t.info.sampleRate = spec.sampleRate;
    t.info.trackNumber = spec.trackNumber;
    t.info.discNumber = spec.disc;
    t.info.duration = spec.duration;
    t.info.year = u"2001"_s;
    return t;
}

// `count` tracks of one album.
inline QList<Track> album(const QString &artist, const QString &title, int count, Spec base = {})
{
    QList<Track> tracks;
    base.artist = artist;
    base.album = title;
    for (int i = 1; i <= count; ++i) {
        Spec s = base;
        s.trackNumber = i;
        s.title = u"Utwór "_s + QString::number(i);
        tracks.append(track(s));
    }
    return tracks;
}

// A cover: left half one colour, right half another, with a band in the
// middle so a centred crop can be told from a squeeze.
inline QByteArray cover(int width, int height, QColor left = QColor(200, 40, 40), QColor right = QColor(40, 40, 200))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(left);
    QPainter painter(&image);
    painter.fillRect(width / 2, 0, width - width / 2, height, right);
    return fixtures::encode(image, "jpeg");
}

class RecordingWorkspace : public Workspace
{
public:
    QList<QStringList> revealed;
    bool openUrl(const QUrl &) override { return true; }
    void reveal(const QStringList &paths) override { revealed.append(paths); }
};

inline bool waitFor(const std::function<bool()> &done, int ms = 10'000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

inline void setLanguage(const QString &language)
{
    Defaults::setString(u"appLanguage"_s, language);
}

// Saves a picture of the widget under build/…/screenshots.
inline QString screenshot(QWidget &widget, const QString &name)
{
    const QString dir = QCoreApplication::applicationDirPath() + u"/../screenshots"_s;
    QDir().mkpath(dir);
    const QString path = QDir(dir).filePath(name + u".png"_s);
    widget.grab().save(path);
    return path;
}

// Every test starts with empty settings, Polish and the light palette.
class LibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        setLanguage(u"pl"_s);
        model = makeModel();
    }
    void TearDown() override
    {
        model.reset();
        Defaults::clear();
    }
    std::unique_ptr<TavoModel> model;
};

} // namespace librarytesting
