#include "device/playlists.h"
#include "platform/errors.h"
#include "support/devicefixture.h"
#include "support/errorcapture.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
} // namespace

TEST(Playlist, ExactBytesOfTheFile)
{
    DeviceFixture device;
    const QString first = device.writeFile(u"Music/A/B/01 x.flac"_s, "1");
    const QString second = device.writeFile(u"Music/Zażółć/Gęślą/02 jaźń.mp3"_s, "2");
    const QString file = Storage::playlist(u"Road trip"_s, {first, second}, device.root());
    EXPECT_EQ(file, device.path(u"Playlists/Road trip.m3u8"_s));
    EXPECT_EQ(device.read(file),
              QByteArray("#EXTM3U\n/Music/A/B/01 x.flac\n/Music/Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87/"
                         "G\xc4\x99\xc5\x9bl\xc4\x85/02 ja\xc5\xba\xc5\x84.mp3\n"));
    EXPECT_EQ(device.entriesBelow(u"Playlists"_s), QStringList{u"Road trip.m3u8"_s}); // no partial file left
}

TEST(Playlist, PathsAreStandardisedAgainstTheRoot)
{
    DeviceFixture device;
    const QString track = device.root() + u"/Music/./A//B/../B/song.flac"_s;
    const QString file = Storage::playlist(u"x"_s, {track}, device.root() + u"/"_s);
    EXPECT_EQ(device.read(file), "#EXTM3U\n/Music/A/B/song.flac\n");
}

TEST(Playlist, NamesAreSafeNames)
{
    DeviceFixture device;
    const QString track = device.path(u"Music/a.flac"_s);
    EXPECT_EQ(Storage::playlist(u"AC/DC"_s, {track}, device.root()), device.path(u"Playlists/AC-DC.m3u8"_s));
    EXPECT_EQ(Storage::playlist(QString(), {track}, device.root()), device.path(u"Playlists/Bez nazwy.m3u8"_s));
}

TEST(Playlist, LongNamesStillFitTheFileSystemWithTheExtension)
{
    const auto repeated = [](const QString &piece, int times) {
        QString out;
        for (int i = 0; i < times; ++i)
            out += piece;
        return out;
    };
    DeviceFixture device;
    const QString track = device.path(u"Music/a.flac"_s);
    const struct {
        QString name;
        QString fileName;
    } cases[] = {
        // 160 two-byte letters: 125 of them and ".m3u8" make 255 bytes.
        {repeated(u"ł"_s, 160), repeated(u"ł"_s, 125) + u".m3u8"_s},
        // 63 four-byte emoji would leave no room for ".m3u8": 62 remain.
        {repeated(u"\U0001F3B5"_s, 160), repeated(u"\U0001F3B5"_s, 62) + u".m3u8"_s},
        // Short enough names keep all of their 160 characters.
        {repeated(u"a"_s, 200), repeated(u"a"_s, 160) + u".m3u8"_s},
    };
    for (const auto &c : cases) {
        const QString file = Storage::playlist(c.name, {track}, device.root());
        EXPECT_EQ(file, device.path(u"Playlists/"_s + c.fileName));
        EXPECT_EQ(device.read(file), "#EXTM3U\n/Music/a.flac\n");
    }
}

TEST(Playlist, Refusals)
{
    DeviceFixture device(u"IPOD"_s);
    DeviceFixture other(u"IPOD2"_s);
    EXPECT_EQ(tavoMessage([&] { Storage::playlist(u"x"_s, {}, device.root()); }), u"Najpierw wgraj utwory na iPoda."_s);

    const QString outsideMessage = u"Playlista może zawierać wyłącznie utwory z wybranego iPoda."_s;
    // A sibling whose path merely starts with the root's letters is another device.
    const QString sibling = device.outside(u"IPOD2/Music/a.flac"_s);
    const QString elsewhere = other.path(u"Music/a.flac"_s);
    const QString escaping = device.path(u"Music/../../IPOD2/a.flac"_s);
    const QString lineBreak = device.path(u"Music/a\nb.flac"_s);
    const QString carriageReturn = device.path(u"Music/a\rb.flac"_s);
    for (const QString &track : {sibling, elsewhere, escaping, lineBreak, carriageReturn, device.root()})
        EXPECT_EQ(tavoMessage([&] { Storage::playlist(u"x"_s, {device.path(u"Music/ok.flac"_s), track}, device.root()); }),
                  outsideMessage) << qPrintable(track);
    EXPECT_FALSE(device.exists(u"Playlists"_s)); // the checks come before anything is made

    DeviceFixture notADevice(u"IPOD"_s, false);
    EXPECT_EQ(tavoMessage([&] { Storage::playlist(u"x"_s, {notADevice.path(u"a.flac"_s)}, notADevice.root()); }),
              u"Ten folder nie zawiera katalogu .rockbox."_s);

    DeviceFixture linked;
    linked.makeLink(u"Playlists"_s, linked.makeFolder(linked.outside(u"elsewhere"_s)));
    EXPECT_EQ(tavoMessage([&] { Storage::playlist(u"x"_s, {linked.path(u"a.flac"_s)}, linked.root()); }),
              u"Ścieżka zawiera dowiązanie: Playlists"_s);
}

TEST(Playlist, NeverReplacesAnExistingPlaylist)
{
    DeviceFixture device;
    const QString a = device.path(u"Music/a.flac"_s);
    const QString b = device.path(u"Music/b.flac"_s);
    const QString file = Storage::playlist(u"Mix"_s, {a}, device.root());
    const QByteArray before = device.read(file);
    EXPECT_EQ(tavoMessage([&] { Storage::playlist(u"Mix"_s, {b}, device.root()); }),
              u"Playlista o tej nazwie już istnieje. Wybierz inną nazwę."_s);
    EXPECT_EQ(device.read(file), before);

    // A dangling link of that name counts as taken, and is not written through.
    device.makeLink(u"Playlists/Linked.m3u8"_s, device.outside(u"target.m3u8"_s));
    EXPECT_EQ(tavoMessage([&] { Storage::playlist(u"Linked"_s, {a}, device.root()); }),
              u"Playlista o tej nazwie już istnieje. Wybierz inną nazwę."_s);
    EXPECT_FALSE(device.exists(device.outside(u"target.m3u8"_s)));
}
