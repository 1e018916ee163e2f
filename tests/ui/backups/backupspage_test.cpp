#include "ui/backups/backupspage.h"

#include "support/accessiblerows.h"
#include "support/pagetesting.h"
#include "ui/kit/emptystate.h"
#include "ui/kit/filelist.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class BackupsPageTest : public PageTest
{
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        device.writeFile(u".rockbox/config.cfg"_s, "volume: -20\n");
        device.writeFile(u".rockbox/themes/Alpha.cfg"_s, "wps: /.rockbox/wps/Alpha.wps\n");
    }
    // Backup folders already on the computer; the model lists them at its next refresh.
    void keepBackups(const QStringList &names)
    {
        for (const QString &name : names)
            QDir().mkpath(backupsFolder() + u'/' + name);
        model->refresh();
        settle();
    }
};

TEST_F(BackupsPageTest, EmptyStateWithoutBackups)
{
    BackupsPage page(model.get(), nullptr, &workspace);
    EXPECT_TRUE(page.showsEmptyState());
    EXPECT_EQ(page.emptyState()->title(), u"Spokojnie eksperymentuj z motywami"_s);
    EXPECT_EQ(page.emptyState()->detail(), u"Przed instalacją motywu kopia tworzy się automatycznie."_s);
    EXPECT_EQ(page.backupButton()->text(), u"Utwórz kopię"_s);
    EXPECT_FALSE(page.backupButton()->isEnabled()); // no device
    EXPECT_EQ(page.explanation()->accessibleName(),
              u"Kopie zawierają konfigurację, motywy, fonty i ich zasoby. Muzyka oraz firmware nie są częścią "
              u"kopii. Przywracanie jest na razie ręczne, w menedżerze plików."_s);
}

TEST_F(BackupsPageTest, TheListWorksWithoutADeviceNewestFirst)
{
    keepBackups({u"2024-05-01_10-00-00_1A2B3C"_s, u"2025-01-02_09-30-00_FFEE00"_s, u"MacMetadata-20250101"_s});
    BackupsPage page(model.get(), nullptr, &workspace);
    page.resize(800, 600);
    page.show();
    ASSERT_FALSE(page.showsEmptyState());
    EXPECT_EQ(page.list()->names(), (QStringList{u"MacMetadata-20250101"_s, u"2025-01-02_09-30-00_FFEE00"_s,
                                                 u"2024-05-01_10-00-00_1A2B3C"_s}));
    EXPECT_FALSE(page.backupButton()->isEnabled());

    QTest::mouseClick(page.list()->viewport(), Qt::LeftButton, {}, page.list()->buttonRect(1).center());
    ASSERT_EQ(workspace.opened.size(), 1);
    EXPECT_EQ(workspace.opened.first(), QUrl::fromLocalFile(backupsFolder() + u"/2025-01-02_09-30-00_FFEE00"_s));
    EXPECT_TRUE(workspace.revealed.isEmpty());
}

// The list takes focus; Return opens the current backup; a screen reader
// finds each backup by name with its button.
TEST_F(BackupsPageTest, TheKeyboardAndAScreenReaderReachEachBackup)
{
    keepBackups({u"2024-05-01_10-00-00_1A2B3C"_s, u"2025-01-02_09-30-00_FFEE00"_s});
    BackupsPage page(model.get(), nullptr, &workspace);
    page.resize(800, 600);
    page.show();
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    FileList *list = page.list();
    ASSERT_NE(list->focusPolicy() & Qt::TabFocus, 0);
    list->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(list->currentIndex().row(), 0);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_EQ(workspace.opened.size(), 1);
    EXPECT_EQ(workspace.opened.first(), QUrl::fromLocalFile(backupsFolder() + u"/2024-05-01_10-00-00_1A2B3C"_s));

    const std::vector<AccessibleRow> rows = accessibleRows(list);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, u"2025-01-02_09-30-00_FFEE00"_s);
    EXPECT_EQ(rows[0].role, QAccessible::ListItem);
    EXPECT_EQ(rows[0].buttons, QStringList{u"Otwórz"_s});
    ASSERT_TRUE(pressAccessible(list, 0, 0));
    ASSERT_EQ(workspace.opened.size(), 2);
    EXPECT_EQ(workspace.opened.last(), QUrl::fromLocalFile(backupsFolder() + u"/2025-01-02_09-30-00_FFEE00"_s));
}

TEST_F(BackupsPageTest, ButtonNeedsADeviceAndNoBusy)
{
    BackupsPage page(model.get(), nullptr, &workspace);
    const struct {
        bool device;
        bool busy;
        bool enabled;
    } cases[] = {{false, false, false}, {false, true, false}, {true, true, false}, {true, false, true}};
    for (const auto &c : cases) {
        if (c.device)
            connectDevice();
        else
            model->setDevice(std::nullopt);
        model->setBusy(c.busy);
        EXPECT_EQ(page.backupButton()->isEnabled(), c.enabled) << c.device << c.busy;
        model->setBusy(false);
        settle();
    }
}

TEST_F(BackupsPageTest, MakingABackupListsItFirst)
{
    keepBackups({u"2001-01-01_00-00-00_AAAAAA"_s});
    connectDevice();
    settle();
    BackupsPage page(model.get(), nullptr, &workspace);
    page.resize(800, 600);
    page.show();
    QTest::mouseClick(page.backupButton(), Qt::LeftButton);
    EXPECT_TRUE(model->busy());
    EXPECT_FALSE(page.backupButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !model->busy() && page.list()->names().size() == 2; }));
    EXPECT_EQ(model->status(), u"Kopia ustawień zapisana na komputerze"_s);
    const QString newest = page.list()->names().first();
    EXPECT_TRUE(QRegularExpression(u"^[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}_[0-9A-F]{6}$"_s)
                    .match(newest)
                    .hasMatch())
        << newest.toStdString();
    EXPECT_TRUE(QFile::exists(backupsFolder() + u'/' + newest + u"/config.cfg"_s));
    EXPECT_EQ(page.list()->names().last(), u"2001-01-01_00-00-00_AAAAAA"_s);
    EXPECT_TRUE(page.backupButton()->isEnabled());
}

TEST_F(BackupsPageTest, ReadsEnglish)
{
    setLanguage(u"en"_s);
    BackupsPage page(model.get(), nullptr, &workspace);
    EXPECT_EQ(page.backupButton()->text(), u"Back Up Now"_s);
    EXPECT_EQ(page.emptyState()->title(), u"Experiment with themes without worry"_s);
    EXPECT_TRUE(page.explanation()->accessibleName().startsWith(u"Backups contain"_s));
}

TEST_F(BackupsPageTest, Pictures)
{
    for (const QString &language : {u"pl"_s, u"en"_s}) {
        for (bool dark : {false, true}) {
            for (bool filled : {false, true}) {
                setLanguage(language);
                const QPalette before = QApplication::palette();
                QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
                QDir(backupsFolder()).removeRecursively();
                if (filled) {
                    keepBackups({u"2025-03-14_18-02-11_9C41D2"_s, u"2025-01-02_09-30-00_FFEE00"_s,
                                 u"MacMetadata-2025-03-14_18-05-40_1B2C3D"_s, u"Okładki-2025-02-01_12-00-00_ABCDEF"_s});
                    connectDevice();
                    settle();
                } else {
                    model->setDevice(std::nullopt);
                    model->refresh();
                    settle();
                }
                BackupsPage page(model.get(), nullptr, &workspace);
                page.setAutoFillBackground(true);
                page.resize(820, 560);
                page.show();
                QCoreApplication::processEvents();
                const QString name = u"backups-%1-%2-%3.png"_s.arg(filled ? u"filled"_s : u"empty"_s, language,
                                                                   dark ? u"dark"_s : u"light"_s);
                EXPECT_TRUE(page.grab().save(screenshotPath(name)));
                QApplication::setPalette(before);
            }
        }
    }
}

} // namespace
