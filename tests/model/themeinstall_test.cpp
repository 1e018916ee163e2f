#include "caretesting.h"

#include "support/qtprinters.h"
#include "support/zipwriter.h"

#include <QDir>
#include <QFile>

namespace {

const QString working = u"Sprawdzam i instaluję motyw…"_s;
const QString interrupted = u"Instalacja motywu przerwana"_s;
const QString activation = u"Motyw został wgrany, a poprzednie ustawienia mają kopię na komputerze.\n\n"
                           u"Aktywuj go na iPodzie: Settings → Theme Settings → Browse Themes."_s;

QStringList themeNames(const QList<Theme> &themes)
{
    QStringList names;
    for (const Theme &theme : themes)
        names.append(QFileInfo(theme.url).fileName());
    return names;
}

class ThemeInstall : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        model->setPackageChooser([this](const QString &prompt) -> std::optional<QString> {
            prompts.append(prompt);
            return chosen;
        });
    }

    // The dated settings backups (not the clean-up or cover folders).
    QStringList settingsBackups() const
    {
        QStringList found;
        for (const QString &entry : model->backups()) {
            if (QFileInfo(entry).fileName().front().isDigit())
                found.append(entry);
        }
        return found;
    }

    QStringList prompts;
    std::optional<QString> chosen;
};

TEST_F(ThemeInstall, APackageOfThreeThemesIsInstalledAfterABackup)
{
    device.writeFile(u".rockbox/config.cfg"_s, "wps: /.rockbox/wps/old.wps\n");
    device.writeFile(u".rockbox/themes/Old.cfg"_s, "wps: /.rockbox/wps/old.wps\n");
    connectDevice();
    ASSERT_TRUE(waitUntil([&] { return model->themes().size() == 1; }));

    ZipWriter package;
    package.folder(".rockbox/").folder(".rockbox/themes/").folder(".rockbox/wps/")
        .file(".rockbox/themes/Dawn.cfg", "wps: /.rockbox/wps/dawn.wps\n")
        .file(".rockbox/themes/Dusk.cfg", "wps: /.rockbox/wps/dusk.wps\n")
        .file(".rockbox/themes/Night.cfg", "wps: /.rockbox/wps/night.wps\n")
        .file(".rockbox/wps/dawn.wps", "%s\n")
        .file(".rockbox/wps/dusk.wps", "%s\n")
        .file(".rockbox/wps/night.wps", "%s\n");
    chosen = package.write(device.outside(u"three.zip"_s));

    History history(*model);
    model->installTheme();
    EXPECT_EQ(prompts, QStringList{u"Zainstaluj motyw"_s});
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));

    EXPECT_EQ(history.statuses, (QStringList{working, u"Zainstalowano motywy: 3"_s}));
    EXPECT_EQ(model->alert(), std::optional<QString>(activation));
    EXPECT_TRUE(history.progress.isEmpty());
    EXPECT_EQ(device.read(u".rockbox/wps/night.wps"_s), "%s\n");

    // The settings as they were before are kept in the new backup, which the refresh lists.
    const QStringList backups = settingsBackups();
    ASSERT_EQ(backups.size(), 1);
    EXPECT_TRUE(QFileInfo(backups.first() + u"/README.txt"_s).isFile());
    EXPECT_TRUE(QFileInfo(backups.first() + u"/themes/Old.cfg"_s).isFile());
    EXPECT_FALSE(QFileInfo::exists(backups.first() + u"/themes/Night.cfg"_s));

    // The refresh reads the device's themes again.
    ASSERT_TRUE(waitUntil([&] { return model->themes().size() == 4; }));
    EXPECT_EQ(themeNames(model->themes()),
              (QStringList{u"Dawn.cfg"_s, u"Dusk.cfg"_s, u"Night.cfg"_s, u"Old.cfg"_s}));
}

TEST_F(ThemeInstall, RealPackagesInstallTheirTheme)
{
    struct Case {
        const char *package;
        QString cfg;
    };
    const Case cases[] = {
        {"OptimalInfo_iPodVideo5G.zip", u"OptimalInfo.cfg"_s},
        {"sprocket.zip", u"sprocket.cfg"_s},
    };
    connectDevice();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.package);
        chosen = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-themes/") + QString::fromUtf8(c.package);
        model->installTheme();
        ASSERT_TRUE(waitUntilIdle(*model));
        EXPECT_EQ(model->status(), u"Zainstalowano motywy: 1"_s) << model->alert().value_or(QString()).toStdString();
        EXPECT_EQ(model->alert(), std::optional<QString>(activation));
        EXPECT_TRUE(waitUntil([&] { return themeNames(model->themes()).contains(c.cfg); }));
        // Each installation names a backup of its own.
        ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
    }
    EXPECT_EQ(settingsBackups().size(), 2);
}

TEST_F(ThemeInstall, ARefusedPackageReportsTheReason)
{
    struct Case {
        const char *name;
        ZipWriter package;
        QString message;
    };
    const QList<Case> cases = {
        {"no .rockbox", ZipWriter().file("themes/a.cfg", "wps: -\n"),
         u"ZIP musi zawierać folder .rockbox (paczka motywu Rockbox)."_s},
        {"no theme", ZipWriter().file(".rockbox/wps/a.wps", "%s\n"),
         u"Paczka nie zawiera motywu .cfg w .rockbox/themes."_s},
    };
    connectDevice();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        chosen = c.package.write(device.outside(u"refused.zip"_s));
        History history(*model);
        model->installTheme();
        ASSERT_TRUE(waitUntilIdle(*model));
        EXPECT_EQ(model->alert(), std::optional<QString>(c.message));
        EXPECT_EQ(history.statuses, (QStringList{working, interrupted}));
        EXPECT_FALSE(device.exists(u".rockbox/themes"_s));
        ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
        QFile::remove(*chosen);
    }
}

TEST_F(ThemeInstall, AnUnusableBackupsFolderOnlyAlerts)
{
    connectDevice();
    chosen = ZipWriter().file(".rockbox/themes/a.cfg", "wps: -\n").write(device.outside(u"a.zip"_s));
    // A file stands where the backups folder belongs.
    QDir().mkpath(support(QString()));
    QFile blocker(support(u"Backups"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const QString status = model->status();
    model->installTheme();
    ASSERT_TRUE(model->alert().has_value());
    EXPECT_FALSE(model->alert()->isEmpty());
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(model->status(), status);
    EXPECT_FALSE(device.exists(u".rockbox/themes/a.cfg"_s));
}

TEST_F(ThemeInstall, RefusedOrCancelledCallsChangeNothing)
{
    chosen = ZipWriter().file(".rockbox/themes/a.cfg", "wps: -\n").write(device.outside(u"a.zip"_s));
    {
        SCOPED_TRACE("no device: no dialog");
        ChangeCounter changes(*model);
        model->installTheme();
        EXPECT_EQ(changes.count(), 0);
        EXPECT_TRUE(prompts.isEmpty());
    }
    connectDevice();
    ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
    {
        SCOPED_TRACE("another operation runs: no dialog");
        model->setBusy(true);
        ChangeCounter changes(*model);
        model->installTheme();
        EXPECT_EQ(changes.count(), 0);
        EXPECT_TRUE(prompts.isEmpty());
        model->setBusy(false);
    }
    {
        SCOPED_TRACE("another operation started while the dialog was open");
        model->setPackageChooser([this](const QString &prompt) -> std::optional<QString> {
            prompts.append(prompt);
            model->setBusy(true);
            return chosen;
        });
        model->installTheme();
        EXPECT_TRUE(model->busy());
        EXPECT_NE(model->status(), working);
        EXPECT_FALSE(QFileInfo::exists(support(u"Backups"_s)));
        model->setBusy(false);
        prompts.clear();
        model->setPackageChooser([this](const QString &prompt) -> std::optional<QString> {
            prompts.append(prompt);
            return chosen;
        });
    }
    {
        SCOPED_TRACE("cancelled");
        chosen = std::nullopt;
        ChangeCounter changes(*model);
        model->installTheme();
        EXPECT_EQ(changes.count(), 0);
        EXPECT_EQ(prompts.size(), 1);
        // No backup folder was even named.
        EXPECT_FALSE(QFileInfo::exists(support(u"Backups"_s)));
    }
    EXPECT_FALSE(device.exists(u".rockbox/themes/a.cfg"_s));
}

TEST_F(ThemeInstall, OnlyThePromptIsTranslatedByTheModel)
{
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    connectDevice();
    chosen = ZipWriter().file("themes/a.cfg", "wps: -\n").write(device.outside(u"a.zip"_s));
    model->installTheme();
    EXPECT_EQ(prompts, QStringList{u"Install Theme"_s});
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), interrupted);
}

// The texts of the collection-care operations read in English where the views show them.
TEST(CollectionCareTexts, ReadInEnglish)
{
    Defaults::clear();
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    const struct {
        QString polish;
        QString english;
    } rows[] = {
        {u"Znaleziono grup identycznych plików: 2. Sprawdzone przez SHA-256."_s,
         u"Groups of identical files found: 2. Checked with SHA-256."_s},
        {u"Sprawdzono albumy: 1 / 3 · dodano: 1"_s, u"Albums checked: 1 / 3 · added: 1"_s},
        {u"Dodano okładki: 1. Do wyboru ręcznie: 1. Niedostępne: 1.\n"
         u"Przy pozostałych albumach użyj „Znajdź w sieci…” lub wybierz własny obraz."_s,
         u"Covers added: 1. To choose by hand: 1. Unavailable: 1.\n"
         u"For the remaining albums, use “Find Online…” or choose your own image."_s},
        {u"Naprawione albumy: 2. Nie udało się naprawić: 0.\nOkładki są gotowe do wgrania razem z albumami.\n"
         u"Brakujące lub nieczytelne obrazy wymagają wyboru nowej okładki."_s,
         u"Albums repaired: 2. Could not repair: 0.\nThe covers are ready to be sent with the albums.\n"
         u"Choose a new cover for missing or unreadable images."_s},
        {u"Naprawione albumy: 0. Nie udało się naprawić: 1.\nPoprzednie obrazy z iPoda mają kopię na komputerze.\n"
         u"Brakujące lub nieczytelne obrazy wymagają wyboru nowej okładki."_s,
         u"Albums repaired: 0. Could not repair: 1.\nThe iPod's previous images are backed up on this computer.\n"
         u"Choose a new cover for missing or unreadable images."_s},
        {u"Usunięto pliki metadanych macOS: 5. Kopia jest na komputerze."_s,
         u"macOS metadata files removed: 5. A copy is on this computer."_s},
        {u"Zainstalowano motywy: 3"_s, u"Themes installed: 3"_s},
        {activation, u"The theme has been installed, and the previous settings are backed up on this computer.\n\n"
                     u"Activate it on the iPod: Settings → Theme Settings → Browse Themes."_s},
    };
    for (const auto &row : rows)
        EXPECT_EQ(AppLocalizer::display(row.polish), row.english);
    const QString plain[] = {
        u"Sprawdzam zawartość plików…"_s,
        u"Porównuję zawartość plików…"_s,
        u"Sprawdzanie duplikatów zakończone"_s,
        u"Sprawdzanie przerwane — wynik nie jest kompletny."_s,
        u"Szukam brakujących okładek…"_s,
        u"Naprawiam dostępne okładki…"_s,
        u"Poprzednie obrazy z iPoda mają kopię na komputerze."_s,
        u"Brak dostępnych obrazów do automatycznej naprawy. Przy brakującej okładce wybierz plik obrazu."_s,
        u"Porządkuję pliki pomocnicze macOS…"_s,
        u"Nie udało się ukończyć porządków"_s,
        u"Sprawdzam i instaluję motyw…"_s,
        u"Instalacja motywu przerwana"_s,
    };
    for (const QString &text : plain)
        EXPECT_NE(AppLocalizer::display(text), text) << text.toStdString();
    Defaults::clear();
}

} // namespace
