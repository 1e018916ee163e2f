#include "ui/playlists/playlistspage.h"

#include "platform/defaults.h"
#include "support/pagetesting.h"
#include "ui/kit/emptystate.h"
#include "ui/kit/filelist.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUuid>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

class PlaylistsPageTest : public PageTest
{
protected:
    QString deviceFile(const QString &relative) { return device.writeFile(relative, "audio"); }

    // A device track read from the device and marked for a playlist.
    void markDeviceTrack(const QString &relative)
    {
        Track track;
        track.id = QUuid::createUuid();
        track.url = deviceFile(relative);
        track.title = relative;
        model->setDeviceTracks(model->deviceTracks() + QList<Track>{track});
        auto marked = model->selectedOnDevice();
        marked.insert(track.id);
        model->setSelectedOnDevice(marked);
    }
};

TEST_F(PlaylistsPageTest, EmptyPageWithNothingToSave)
{
    PlaylistsPage page(model.get(), nullptr, &workspace);
    EXPECT_TRUE(page.showsEmptyState());
    EXPECT_EQ(page.emptyState()->title(), u"Twoje składanki pojawią się tutaj"_s);
    EXPECT_EQ(page.emptyState()->detail(), u"Wgraj muzykę i zapisz playlistę z przesłanych utworów."_s);
    EXPECT_EQ(page.countLine()->text(), u"0 utworów: ostatnie transfery i zaznaczone albumy z iPoda."_s);
    EXPECT_FALSE(page.saveButton()->isEnabled());
    EXPECT_EQ(page.nameField()->text(), u"Moja playlista"_s);
    EXPECT_EQ(page.nameField()->placeholderText(), u"Nazwa playlisty"_s);
    EXPECT_EQ(page.saveButton()->text(), u"Zapisz M3U8"_s);
}

// The window builds its pages anew after a change of language: the default
// name comes back in the new language, a typed one stays.
TEST_F(PlaylistsPageTest, TheDefaultNameFollowsALanguageSwitch)
{
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    auto english = std::make_unique<PlaylistsPage>(model.get(), nullptr, &workspace);
    EXPECT_EQ(english->nameField()->text(), u"My playlist"_s);
    english.reset();
    Defaults::setString(u"appLanguage"_s, u"pl"_s);
    auto polish = std::make_unique<PlaylistsPage>(model.get(), nullptr, &workspace);
    EXPECT_EQ(polish->nameField()->text(), u"Moja playlista"_s);

    QTest::keyClicks(polish->nameField(), u" 2"_s);
    EXPECT_EQ(model->playlistName(), u"Moja playlista 2"_s);
    polish.reset();
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    PlaylistsPage again(model.get(), nullptr, &workspace);
    EXPECT_EQ(again.nameField()->text(), u"Moja playlista 2"_s);
    Defaults::setString(u"appLanguage"_s, u"pl"_s);
}

TEST_F(PlaylistsPageTest, SavingNeedsTracksADeviceAndNoBusyButNotAName)
{
    PlaylistsPage page(model.get(), nullptr, &workspace);
    struct Case {
        const char *name;
        bool tracks;
        bool device;
        bool busy;
        QString playlistName;
        bool enabled;
    };
    const Case cases[] = {
        {"nothing", false, false, false, u"Moja playlista"_s, false},
        {"no tracks", false, true, false, u"Moja playlista"_s, false},
        {"no device", true, false, false, u"Moja playlista"_s, false},
        {"busy", true, true, true, u"Moja playlista"_s, false},
        {"all there", true, true, false, u"Moja playlista"_s, true},
        {"empty name", true, true, false, QString(), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.device)
            connectDevice();
        else
            model->setDevice(std::nullopt);
        model->setTransferred(c.tracks ? QStringList{deviceFile(u"Music/A/x.mp3"_s)} : QStringList());
        model->setBusy(c.busy);
        model->setPlaylistName(c.playlistName);
        EXPECT_EQ(page.saveButton()->isEnabled(), c.enabled);
        // The field stays editable whatever the button does.
        EXPECT_TRUE(page.nameField()->isEnabled());
        model->setBusy(false);
        settle();
    }
}

TEST_F(PlaylistsPageTest, CountsTransfersAndMarkedDeviceTracksOnce)
{
    PlaylistsPage page(model.get(), nullptr, &workspace);
    connectDevice();
    settle();
    const QString shared = deviceFile(u"Music/B/x.mp3"_s);
    model->setTransferred({shared});
    EXPECT_EQ(page.countLine()->text(), u"1 utwór: ostatnie transfery i zaznaczone albumy z iPoda."_s);
    markDeviceTrack(u"Music/B/x.mp3"_s); // the same file: counted once
    markDeviceTrack(u"Music/A/y.mp3"_s);
    EXPECT_EQ(page.countLine()->text(), u"2 utwory: ostatnie transfery i zaznaczone albumy z iPoda."_s);
    EXPECT_TRUE(page.saveButton()->isEnabled());
}

TEST_F(PlaylistsPageTest, SavingWritesThePlaylistAndListsIt)
{
    PlaylistsPage page(model.get(), nullptr, &workspace);
    page.resize(800, 600);
    page.show();
    connectDevice();
    settle();
    model->setTransferred({deviceFile(u"Music/Ala/Kot/01.mp3"_s), deviceFile(u"Music/Ala/Kot/02.mp3"_s)});
    ASSERT_TRUE(page.saveButton()->isEnabled());

    QTest::mouseClick(page.saveButton(), Qt::LeftButton);
    const QString written = device.path(u"Playlists/Moja playlista.m3u8"_s);
    ASSERT_TRUE(QFile::exists(written));
    EXPECT_FALSE(model->alert());
    EXPECT_EQ(model->status(), u"Zapisano Moja playlista.m3u8"_s);
    ASSERT_TRUE(waitFor([&] { return !page.showsEmptyState(); }));
    EXPECT_EQ(page.list()->names(), QStringList{u"Moja playlista"_s});
    EXPECT_EQ(page.list()->paths(), QStringList{written});

    // "Pokaż" shows that one file in the file manager.
    QTest::mouseClick(page.list()->viewport(), Qt::LeftButton, {}, page.list()->buttonRect(0).center());
    ASSERT_EQ(workspace.revealed.size(), 1);
    EXPECT_EQ(workspace.revealed.first(), QStringList{written});

    // A second save under the same name is refused by the model's alert.
    QTest::mouseClick(page.saveButton(), Qt::LeftButton);
    EXPECT_EQ(model->alert(), u"Playlista o tej nazwie już istnieje. Wybierz inną nazwę."_s);
}

TEST_F(PlaylistsPageTest, RowsOfTheSameTitleRevealTheirOwnFiles)
{
    PlaylistsPage page(model.get(), nullptr, &workspace);
    page.resize(800, 600);
    page.show();
    const QString m3u = device.path(u"Playlists/Droga.m3u"_s);
    const QString m3u8 = device.path(u"Playlists/Droga.m3u8"_s);
    model->setPlaylists({m3u, m3u8});
    EXPECT_EQ(page.list()->names(), (QStringList{u"Droga"_s, u"Droga"_s}));
    QTest::mouseClick(page.list()->viewport(), Qt::LeftButton, {}, page.list()->buttonRect(1).center());
    // Pressing the row's name is not pressing its button.
    QTest::mouseClick(page.list()->viewport(), Qt::LeftButton, {}, QPoint(40, page.list()->buttonRect(0).center().y()));
    ASSERT_EQ(workspace.revealed.size(), 1);
    EXPECT_EQ(workspace.revealed.first(), QStringList{m3u8}); // not checked for existence
    model->setPlaylists({});
    EXPECT_TRUE(page.showsEmptyState());
}

TEST_F(PlaylistsPageTest, TypingGoesToTheModelAndNeverMovesTheCursor)
{
    PlaylistsPage page(model.get(), nullptr, &workspace);
    page.show();
    QLineEdit *field = page.nameField();
    field->setFocus();
    field->setCursorPosition(4); // "Moja| playlista"
    QTest::keyClicks(field, u"XY"_s);
    EXPECT_EQ(model->playlistName(), u"MojaXY playlista"_s);
    EXPECT_EQ(field->cursorPosition(), 6);
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(model->playlistName(), u"MojaX playlista"_s);
    EXPECT_EQ(field->cursorPosition(), 5);
    // A name set by the model itself shows in the field.
    model->setPlaylistName(u"Spacer"_s);
    EXPECT_EQ(field->text(), u"Spacer"_s);
    // Return saves nothing.
    connectDevice();
    settle();
    model->setTransferred({deviceFile(u"Music/A/x.mp3"_s)});
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(QFile::exists(device.path(u"Playlists/Spacer.m3u8"_s)));
}

TEST_F(PlaylistsPageTest, ReadsEnglish)
{
    setLanguage(u"en"_s);
    PlaylistsPage page(model.get(), nullptr, &workspace);
    EXPECT_EQ(page.countLine()->text(), u"0 tracks: recent transfers and albums marked on the iPod."_s);
    EXPECT_EQ(page.saveButton()->text(), u"Save M3U8"_s);
    EXPECT_EQ(page.emptyState()->title(), u"Your mixes will appear here"_s);
    EXPECT_EQ(page.list()->buttonText(), u"Pokaż"_s); // shown through the display rule when drawn
}

TEST_F(PlaylistsPageTest, Pictures)
{
    for (const QString &language : {u"pl"_s, u"en"_s}) {
        for (bool dark : {false, true}) {
            for (bool filled : {false, true}) {
                setLanguage(language);
                const QPalette before = QApplication::palette();
                QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
                if (filled) {
                    // A device with three playlists and two transferred files.
                    for (const QString &file : {u"Na drogę.m3u8"_s, u"Spacer po Łodzi.m3u8"_s, u"Wieczór.m3u"_s})
                        device.writeFile(u"Playlists/"_s + file, "#EXTM3U\n");
                    connectDevice();
                    settle();
                    model->setTransferred({deviceFile(u"Music/A/1.mp3"_s), deviceFile(u"Music/A/2.mp3"_s)});
                } else {
                    model->setDevice(std::nullopt);
                    model->setPlaylists({});
                    model->setTransferred({});
                }
                model->setPlaylistName(kit::tr(u"Moja playlista"_s));
                PlaylistsPage page(model.get(), nullptr, &workspace);
                page.setAutoFillBackground(true);
                page.resize(820, 560);
                page.show();
                QCoreApplication::processEvents();
                const QString name = u"playlists-%1-%2-%3.png"_s.arg(filled ? u"filled"_s : u"empty"_s, language,
                                                                     dark ? u"dark"_s : u"light"_s);
                EXPECT_TRUE(page.grab().save(screenshotPath(name)));
                QApplication::setPalette(before);
            }
        }
    }
}

} // namespace
