// The application's own translation table, as compiled into the program:
// every form of message the program composes must come out wholly English,
// and the table itself must hold together (placeholders, letter case).

#include "localization/applocalizer.h"

#include "platform/defaults.h"
#include "support/qtprinters.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Case {
    const char *polish;
    const char *english;
};

class EnglishCoverage : public ::testing::Test
{
protected:
    void SetUp() override { AppLocalizer::resetTables(); }
    void TearDown() override { Defaults::clear(); }

    static void expectAll(const Case *begin, const Case *end)
    {
        for (const Case *c = begin; c != end; ++c) {
            const QString polish = QString::fromUtf8(c->polish);
            EXPECT_EQ(AppLocalizer::translateEnglish(polish, 0), QString::fromUtf8(c->english))
                << "for: " << c->polish;
        }
    }
};

#define EXPECT_ALL(cases) expectAll(std::begin(cases), std::end(cases))

TEST_F(EnglishCoverage, LibraryAndImport)
{
    const Case cases[] = {
        {"Gotowy na Twoją muzykę", "Ready for your music"},
        {"Odczytuję albumy…", "Reading albums…"},
        {"Odczytuję utwory: 3 / 12", "Reading tracks: 3 / 12"},
        {"Odczytano utwory: 12", "Tracks read: 12"},
        {"Nie znaleziono nowych plików audio", "No new audio files found"},
        {"Dodaj muzykę", "Add Music"},
        {"Wszystko", "All"},
        {"Pozostałe", "Other"},
        {"Albumy", "Albums"},
        {"Wykonawca", "Artist"},
        {"Rok", "Year"},
        {"Rozmiar", "Size"},
        {"Różni wykonawcy", "Various Artists"},
        {"Moja playlista", "My playlist"},
        {"16-bit / Parametry nieznane", "16-bit / unknown parameters"},
        {"≈ 320 kb/s · Parametry nieznane", "≈ 320 kb/s · unknown parameters"},
        {"Parametry nieznane", "Unknown parameters"},
        {"Nieprawidłowe metadane FLAC.", "Invalid FLAC metadata."},
        {"Odsłuch na Macu · Zażółć gęślą jaźń", "Playing on the Mac · Zażółć gęślą jaźń"},
    };
    EXPECT_ALL(cases);
}

TEST_F(EnglishCoverage, SectionsAndDevice)
{
    const Case cases[] = {
        {"Twój iPod", "Your iPod"},
        {"Porządek", "Tidy Up"},
        {"Kopie zapasowe", "Backups"},
        {"TWÓJ IPOD", "YOUR IPOD"}, // a capitalised caller gets capitals back
        {"Wybrano: IPOD", "Selected: IPOD"},
        {"iPod został odłączony", "iPod disconnected"},
        {"Urządzenie nie odpowiada. Możesz nadal korzystać z biblioteki i poradnika.",
         "The device is not responding. You can keep using the library and the guide."},
        {"Wybierz dysk iPoda lub folder testowy zawierający .rockbox.",
         "Choose the iPod's disk or a test folder that contains .rockbox."},
        {"Ten folder nie zawiera katalogu .rockbox.", "This folder does not contain a .rockbox folder."},
        {"wersja nieznana", "unknown version"},
        {"Nie znaleziono dysku zamontowanego w /media/IPOD", "No disk is mounted at /media/IPOD"},
        {"Nie udało się odmontować dysku: target is busy", "Could not unmount the disk: target is busy"},
        {"Zapisano Drive.m3u8", "Saved Drive.m3u8"},
        {"Playlista o tej nazwie już istnieje. Wybierz inną nazwę.",
         "A playlist with this name already exists. Choose another name."},
        {"iPod touch · 5. generacji", "iPod touch · 5th generation"},
        {"iPod classic · 6. generacji", "iPod classic · 6th generation"},
        {"Port w rozwoju · sprawdź NAND i aktualną instrukcję",
         "Port in development · check the NAND and the current instructions"},
        {"Wybór grafiki nie zmienia sprzętu ani firmware. iPod Video",
         "Choosing a picture changes neither the hardware nor the firmware. iPod Video"},
    };
    EXPECT_ALL(cases);
}

TEST_F(EnglishCoverage, Transfer)
{
    const Case cases[] = {
        {"Wgrano: 3. Pominięto identyczne: 1.\n\n"
         "Utwory są dostępne w Files → Music. Jeśli używasz Database, zaktualizuj bazę w menu Rockbox na iPodzie.",
         "Uploaded: 3. Identical files skipped: 1.\n\n"
         "The tracks are in Files → Music. If you use Database, update it in the Rockbox menu on the iPod."},
        // The reason in front of the advice is itself rendered.
        {"Ścieżka zawiera dowiązanie: Music\n\n"
         "Część utworów mogła już zostać wgrana. Możesz ponowić transfer — identyczne pliki zostaną pominięte.",
         "The path contains a symbolic link: Music\n\n"
         "Some tracks may already have been uploaded. You can retry the transfer — identical files will be skipped."},
        {"Za mało wolnego miejsca na cały transfer.\n\n"
         "Część utworów mogła już zostać wgrana. Możesz ponowić transfer — identyczne pliki zostaną pominięte.",
         "Not enough free space for the whole transfer.\n\n"
         "Some tracks may already have been uploaded. You can retry the transfer — identical files will be skipped."},
        // A summary with the cover and clean-up warnings after it.
        {"Wgrano: 2. Pominięto identyczne: 0.\n\n"
         "Utwory są dostępne w Files → Music. Jeśli używasz Database, zaktualizuj bazę w menu Rockbox na iPodzie.\n\n"
         "Nie zapisano okładki albumu „Kind of Blue”:\nObraz jest nieobsługiwany.\n\n"
         "Nie usunięto plików pomocniczych macOS:\nFolder jest zajęty przez plik: Music\n\n"
         "Muzyka została wgrana mimo tych błędów",
         "Uploaded: 2. Identical files skipped: 0.\n\n"
         "The tracks are in Files → Music. If you use Database, update it in the Rockbox menu on the iPod.\n\n"
         "The cover of the album “Kind of Blue” was not saved:\nThe image format is not supported.\n\n"
         "The macOS helper files were not removed:\nA file already has the folder's name: Music\n\n"
         "The music was uploaded despite these errors"},
        {"Wgrywam muzykę…", "Uploading music…"},
        {"Transfer przerwany", "Transfer interrupted"},
        {"Plik docelowy jest dowiązaniem symbolicznym.", "The destination file is a symbolic link."},
    };
    EXPECT_ALL(cases);
}

TEST_F(EnglishCoverage, Covers)
{
    const Case cases[] = {
        {"Pobieram okładkę…", "Downloading the cover…"},
        // The download status names its reason after a fixed text.
        {"Nie udało się pobrać okładki: Archiwum nie udostępniło obrazu (HTTP 503). Spróbuj ponownie później.",
         "Could not download the cover: The cover archive did not return the image (HTTP 503). Try again later."},
        {"Nie udało się pobrać okładki: To wydanie nie ma dostępnej przedniej okładki. Wybierz inny wynik lub "
         "własny obraz.",
         "Could not download the cover: This release has no front cover available. Choose another result or your "
         "own image."},
        {"Nie udało się pobrać okładki: Okładka musi być zapisana w folderze muzyki na wybranym iPodzie.",
         "Could not download the cover: The cover must be saved in a music folder on the selected iPod."},
        {"Nie udało się pobrać okładki: The request timed out.",
         "Could not download the cover: The request timed out."},
        {"Katalog okładek jest chwilowo niedostępny (HTTP 429). Spróbuj ponownie później.",
         "The cover catalog is temporarily unavailable (HTTP 429). Try again later."},
        {"Podaj wykonawcę i tytuł albumu.", "Enter the artist and the album title."},
        {"Sprawdzono albumy: 2 / 5 · dodano: 1", "Albums checked: 2 / 5 · added: 1"},
        {"Dodano okładki: 1. Do wyboru ręcznie: 3. Niedostępne: 1.\n"
         "Przy pozostałych albumach użyj „Znajdź w sieci…” lub wybierz własny obraz.",
         "Covers added: 1. To choose by hand: 3. Unavailable: 1.\n"
         "For the remaining albums, use “Find Online…” or choose your own image."},
        {"Naprawione albumy: 4. Nie udało się naprawić: 1.\nPoprzednie obrazy z iPoda mają kopię na Macu.\n"
         "Brakujące lub nieczytelne obrazy wymagają wyboru nowej okładki.",
         "Albums repaired: 4. Could not repair: 1.\nThe iPod's previous images are backed up on the Mac.\n"
         "Missing or unreadable images need a new cover to be chosen."},
        {"Okładka zapisana na iPodzie. Poprzednie obrazy mają kopię na Macu.",
         "Cover saved on the iPod. The previous images are backed up on the Mac."},
    };
    EXPECT_ALL(cases);
}

TEST_F(EnglishCoverage, CollectionQuality)
{
    const Case cases[] = {
        {"Okładki", "Covers"},
        {"Tagi", "Tags"},
        {"Pliki", "Files"},
        {"Duplikaty", "Duplicates"},
        // The missing tags are named in the list, and the names are rendered too.
        {"Nie odczytano tagów: tytuł, wykonawca, album. Nazwy w bibliotece mogą pochodzić z folderów.",
         "Tags not found: title, artist, album. Names in the library may come from folder names."},
        {"Nie odczytano tagów: wykonawca. Nazwy w bibliotece mogą pochodzić z folderów.",
         "Tags not found: artist. Names in the library may come from folder names."},
        {"3 identyczne pliki · Intro", "3 identical files · Intro"},
        {"Zgodne bajt w bajt (SHA-256). Zajętość dodatkowych kopii: 8.41 MB.",
         "Identical byte for byte (SHA-256). Space used by the extra copies: 8.41 MB."},
        {"Znaleziono grup identycznych plików: 2. Sprawdzone przez SHA-256.",
         "Groups of identical files found: 2. Checked with SHA-256."},
        {"Sprawdzanie przerwane — wynik nie jest kompletny.", "Check interrupted — the result is incomplete."},
        {"Duża okładka — przygotuj wersję 500 × 500 dla iPoda.",
         "Large cover — prepare a 500 × 500 version for the iPod."},
        {"JPEG progresywny — przygotuj zwykły JPEG dla Rockbox.",
         "Progressive JPEG — prepare a baseline JPEG for Rockbox."},
        {"Plik nie jest już dostępny w zapisanej lokalizacji.", "The file is no longer at its saved location."},
    };
    EXPECT_ALL(cases);
}

TEST_F(EnglishCoverage, ThemesBackupsAndCleanUp)
{
    const Case cases[] = {
        {"Zainstalowano motywy: 2", "Themes installed: 2"},
        {"Motyw został wgrany, a poprzednie ustawienia mają kopię na Macu.\n\n"
         "Aktywuj go na iPodzie: Settings → Theme Settings → Browse Themes.",
         "The theme has been installed, and the previous settings are backed up on the Mac.\n\n"
         "Activate it on the iPod: Settings → Theme Settings → Browse Themes."},
        {"Paczka zawiera pliki poza katalogami motywów: readme.txt",
         "The package contains files outside the theme folders: readme.txt"},
        {"ZIP musi zawierać folder .rockbox (paczka motywu Rockbox).",
         "The ZIP file must contain a .rockbox folder (a Rockbox theme package)."},
        {"Podglądy katalogowe: 4. Wersja motywu może różnić się od zainstalowanej.",
         "Gallery previews: 4. The theme version may differ from the installed one."},
        {"Katalog jest niedostępny. Możesz dodać własne zrzuty.",
         "The theme gallery is unavailable. You can add your own screenshots."},
        {"Zrzuty z katalogu Rockbox (wersja katalogowa)",
         "Screenshots from the Rockbox theme gallery (gallery version)"},
        {"Tworzę kopię ustawień…", "Backing up settings…"},
        {"Zapisz kopię poza iPodem.", "Save the backup outside the iPod."},
        {"Usunięto pliki metadanych macOS: 5. Kopia jest na Macu.",
         "macOS metadata files removed: 5. A copy is on the Mac."},
        {"Nie udało się ukończyć porządków", "Could not finish cleaning up"},
        {"Usługa UDisks2 jest niedostępna, więc nie można wysunąć dysku.",
         "The UDisks2 service is unavailable, so the disk cannot be ejected."},
    };
    EXPECT_ALL(cases);
}

// The display rule goes through the same table when English is chosen.
TEST_F(EnglishCoverage, DisplayUsesTheTable)
{
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    EXPECT_EQ(AppLocalizer::display(u"Odczytuję utwory: 1 / 2"_s), u"Reading tracks: 1 / 2"_s);
    Defaults::setString(u"appLanguage"_s, u"pl"_s);
    EXPECT_EQ(AppLocalizer::display(u"Odczytuję utwory: 1 / 2"_s), u"Odczytuję utwory: 1 / 2"_s);
}

TEST_F(EnglishCoverage, TableHoldsTogether)
{
    const QHash<QString, QString> &table = AppLocalizer::english();
    ASSERT_FALSE(table.isEmpty());
    static const QRegularExpression placeholder(u"\\{([0-9]+)\\}"_s);
    static const QRegularExpression polishLetter(u"[ąćęłńóśźżĄĆĘŁŃÓŚŹŻ„]"_s);
    const auto numbers = [](const QString &text) {
        QSet<QString> found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();)
            found.insert(it.next().captured(1));
        return found;
    };
    QHash<QString, QString> byUpperKey;
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        const QString &key = it.key();
        const QString &value = it.value();
        // A number the key lacks would show as "{n}" on screen.
        EXPECT_TRUE(numbers(key).contains(numbers(value)) || numbers(value).isEmpty())
            << key.toStdString() << " → " << value.toStdString();
        EXPECT_FALSE(value.contains(polishLetter)) << key.toStdString() << " → " << value.toStdString();
        EXPECT_FALSE(value.trimmed().isEmpty()) << key.toStdString();
        // Keys that meet in capitals must give the same capitals, whichever wins.
        const QString upperKey = key.toUpper();
        const auto other = byUpperKey.constFind(upperKey);
        if (other != byUpperKey.constEnd())
            EXPECT_EQ(*other, value.toUpper()) << key.toStdString();
        else
            byUpperKey.insert(upperKey, value.toUpper());
    }
    // The fixed prefixes each have a row of their own.
    for (const QString &prefix : {u"Nie odczytano tagów: "_s, u"Nie udało się pobrać okładki: "_s,
                                  u"Odsłuch na Macu · "_s, u"Wybór grafiki nie zmienia sprzętu ani firmware. "_s})
        EXPECT_TRUE(table.contains(prefix)) << prefix.toStdString();
}

} // namespace
