#include "caretesting.h"

#include "support/qtprinters.h"

#include <QDir>
#include <QFile>

namespace {

const QString working = u"Porządkuję pliki pomocnicze macOS…"_s;
const QString failed = u"Nie udało się ukończyć porządków"_s;

QString removed(int count)
{
    return u"Usunięto pliki metadanych macOS: "_s + QString::number(count) + u". Kopia jest na komputerze."_s;
}

QByteArray appleDouble()
{
    return QByteArray("\x00\x05\x16\x07", 4) + QByteArray("\x00\x02\x00\x00Mac OS X        ", 20);
}

class Cleanup : public OperationsTest
{
protected:
    // A track and its macOS companion in the device's music folder.
    void putPair(const QString &folder, const QString &name)
    {
        device.writeFile(folder + u'/' + name, DeviceFixture::bytes(64));
        device.writeFile(folder + u"/._"_s + name, appleDouble());
    }

    QStringList metadataBackups() const
    {
        QStringList found;
        for (const QString &entry : model->backups()) {
            if (QFileInfo(entry).fileName().startsWith(u"MacMetadata-"_s))
                found.append(entry);
        }
        return found;
    }
};

TEST_F(Cleanup, CompanionsAreRemovedAndTheirCopiesListedAmongTheBackups)
{
    connectDevice();
    putPair(u"Music/A/X"_s, u"01.mp3"_s);
    putPair(u"Music/A/X"_s, u"02.mp3"_s);
    putPair(u"Music/B/Y"_s, u"01.flac"_s);
    putPair(u"music2/C"_s, u"01.ogg"_s);
    putPair(u"MUSIC/D"_s, u"01.wav"_s);
    // Outside the music folders nothing is touched.
    putPair(u"Podcasts"_s, u"talk.mp3"_s);
    // The backups folder does not exist yet: the service makes it.
    ASSERT_FALSE(QFileInfo::exists(support(u"Backups"_s)));

    History history(*model);
    model->cleanupMacFiles();
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));

    EXPECT_EQ(history.statuses, (QStringList{working, removed(5)}));
    EXPECT_EQ(model->alert(), std::optional<QString>(removed(5)));
    EXPECT_TRUE(history.progress.isEmpty());
    EXPECT_FALSE(device.exists(u"Music/A/X/._01.mp3"_s));
    EXPECT_FALSE(device.exists(u"MUSIC/D/._01.wav"_s));
    EXPECT_TRUE(device.exists(u"Music/A/X/01.mp3"_s));
    EXPECT_TRUE(device.exists(u"Podcasts/._talk.mp3"_s));

    // The refresh lists the folder holding the copies and their manifest.
    const QStringList copies = metadataBackups();
    ASSERT_EQ(copies.size(), 1);
    EXPECT_TRUE(QFileInfo(copies.first() + u"/manifest.json"_s).isFile());
    EXPECT_EQ(QDir(copies.first()).entryList(QDir::Files).size(), 6);
}

TEST_F(Cleanup, NothingToRemoveStillReportsAndCreatesNoFolder)
{
    connectDevice();
    device.writeFile(u"Music/A/X/01.mp3"_s, DeviceFixture::bytes(64));
    model->cleanupMacFiles();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), removed(0));
    EXPECT_EQ(model->alert(), std::optional<QString>(removed(0)));
    EXPECT_FALSE(QFileInfo::exists(support(u"Backups"_s)));
    EXPECT_TRUE(model->backups().isEmpty());
}

TEST_F(Cleanup, FailuresAreReportedAndTheDeviceRefreshed)
{
    struct Case {
        const char *name;
        std::function<void()> arrange;
    };
    const QList<Case> cases = {
        // The device no longer passes inspection when the files are to go.
        {"device gone", [&] { ASSERT_TRUE(QDir(device.path(u".rockbox"_s)).removeRecursively()); }},
        // The copies cannot be kept: a file stands where the backups folder belongs.
        {"backups blocked",
         [&] {
             QDir().mkpath(support(QString()));
             QFile blocker(support(u"Backups"_s));
             ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        connectDevice();
        putPair(u"Music/A/X"_s, u"01.mp3"_s);
        c.arrange();
        History history(*model);
        model->cleanupMacFiles();
        ASSERT_TRUE(waitUntilIdle(*model));
        ASSERT_TRUE(model->alert().has_value());
        EXPECT_FALSE(model->alert()->isEmpty());
        EXPECT_NE(model->alert(), std::optional<QString>(removed(0)));
        EXPECT_EQ(history.statuses, (QStringList{working, failed}));
        EXPECT_FALSE(model->busy());
        // The refresh that follows ends like any other.
        EXPECT_TRUE(waitUntil([&] { return !model->refreshing(); }));
        // Undo the arrangement for the next case.
        QDir().mkpath(device.path(u".rockbox"_s));
        QFile::remove(support(u"Backups"_s));
        model->setAlert(std::nullopt);
    }
}

TEST_F(Cleanup, RefusedCallsChangeNothing)
{
    putPair(u"Music/A/X"_s, u"01.mp3"_s);
    {
        SCOPED_TRACE("no device");
        ChangeCounter changes(*model);
        model->cleanupMacFiles();
        EXPECT_EQ(changes.count(), 0);
    }
    {
        SCOPED_TRACE("another operation runs");
        connectDevice();
        model->setBusy(true);
        ChangeCounter changes(*model);
        model->cleanupMacFiles();
        EXPECT_EQ(changes.count(), 0);
        model->setBusy(false);
    }
    EXPECT_TRUE(device.exists(u"Music/A/X/._01.mp3"_s));
}

} // namespace
