// The application's own translation table, as compiled into the program:
// every Polish text in the sources must come out English (found by reading
// the sources themselves, so no text can be missed), every form of message
// the program composes must come out wholly English, and the table itself
// must hold together (placeholders, letter case).

#include "localization/applocalizer.h"

#include "platform/defaults.h"
#include "support/qtprinters.h"

#include <QDirIterator>
#include <QFile>
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
        {"Utwory", "Tracks"},
        {"Foldery", "Folders"},
        {"Wykonawca", "Artist"},
        {"Rok", "Year"},
        {"Rozmiar", "Size"},
        {"Różni wykonawcy", "Various Artists"},
        {"Moja playlista", "My playlist"},
        {"16-bit / Parametry nieznane", "16-bit / unknown parameters"},
        {"≈ 320 kb/s · Parametry nieznane", "≈ 320 kb/s · unknown parameters"},
        {"Parametry nieznane", "Unknown parameters"},
        {"Nieprawidłowe metadane FLAC.", "Invalid FLAC metadata."},
        {"Odsłuch na komputerze · Zażółć gęślą jaźń", "Playing on this computer · Zażółć gęślą jaźń"},
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
        {"Nie udało się odmontować dysku: brak uprawnień.", "Could not unmount the disk: permission denied."},
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
        {"Nie udało się pobrać okładki: Serwer coverartarchive.org nie odpowiedział na czas. Sprawdź połączenie z "
         "internetem.",
         "Could not download the cover: The server coverartarchive.org did not answer in time. Check the internet "
         "connection."},
        {"Katalog okładek jest chwilowo niedostępny (HTTP 429). Spróbuj ponownie później.",
         "The cover catalogue is temporarily unavailable (HTTP 429). Try again later."},
        {"Podaj wykonawcę i tytuł albumu.", "Enter the artist and the album title."},
        {"Sprawdzono albumy: 2 / 5 · dodano: 1", "Albums checked: 2 / 5 · added: 1"},
        {"Dodano okładki: 1. Do wyboru ręcznie: 3. Niedostępne: 1.\n"
         "Przy pozostałych albumach użyj „Znajdź w sieci…” lub wybierz własny obraz.",
         "Covers added: 1. To choose by hand: 3. Unavailable: 1.\n"
         "For the remaining albums, use “Find Online…” or choose your own image."},
        {"Naprawione albumy: 4. Nie udało się naprawić: 1.\nPoprzednie obrazy z iPoda mają kopię na komputerze.\n"
         "Brakujące lub nieczytelne obrazy wymagają wyboru nowej okładki.",
         "Albums repaired: 4. Could not repair: 1.\nThe iPod's previous images are backed up on this computer.\n"
         "Choose a new cover for missing or unreadable images."},
        {"Okładka zapisana na iPodzie. Poprzednie obrazy mają kopię na komputerze.",
         "Cover saved on the iPod. The previous images are backed up on this computer."},
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
        {"Motyw został wgrany, a poprzednie ustawienia mają kopię na komputerze.\n\n"
         "Aktywuj go na iPodzie: Settings → Theme Settings → Browse Themes.",
         "The theme has been installed, and the previous settings are backed up on this computer.\n\n"
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
        {"Usunięto pliki metadanych macOS: 5. Kopia jest na komputerze.",
         "macOS metadata files removed: 5. A copy is on this computer."},
        {"Nie udało się ukończyć porządków", "Could not finish cleaning up"},
        {"Usługa UDisks2 jest niedostępna, więc nie można wysunąć dysku.",
         "The UDisks2 service is unavailable, so the disk cannot be ejected."},
    };
    EXPECT_ALL(cases);
}

// --- Every Polish text of the sources --------------------------------------

// A string literal of the sources, with where it stands.
struct Literal {
    QString file; // relative to src/
    int line = 0;
    QString text; // after escapes
    bool fragment = false;  // joined with "+" to other parts of a message
    bool displayed = false; // the first argument of a call that shows it
};

// Reads one escape sequence at s[i] (just after the backslash); appends what it stands for.
qsizetype unescape(const QString &s, qsizetype i, QString &out)
{
    const QChar c = s.at(i);
    auto hex = [&](qsizetype from, int maxDigits, qsizetype &end) {
        uint value = 0;
        end = from;
        while (end < s.size() && end - from < maxDigits && isxdigit(s.at(end).toLatin1()) && s.at(end).unicode() < 128) {
            value = value * 16 + uint(QString(s.at(end)).toUInt(nullptr, 16));
            ++end;
        }
        return value;
    };
    switch (c.unicode()) {
    case 'n': out += u'\n'; return i + 1;
    case 't': out += u'\t'; return i + 1;
    case 'r': out += u'\r'; return i + 1;
    case '0': out += QChar(u'\0'); return i + 1;
    case 'u': {
        qsizetype end;
        const uint v = hex(i + 1, 4, end);
        out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&v), 1);
        return end;
    }
    case 'U': {
        qsizetype end;
        const uint v = hex(i + 1, 8, end);
        out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&v), 1);
        return end;
    }
    case 'x': {
        qsizetype end;
        out += QChar(char16_t(hex(i + 1, 2, end)));
        return end;
    }
    default: out += c; return i + 1;
    }
}

bool identifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The string literals of one source file; comments and character literals skipped.
QList<Literal> literalsOf(const QString &file, const QString &code)
{
    QList<Literal> found;
    static const QRegularExpression shownBy(
        u"(?:\\btr|AppLocalizer::display|\\bsetStatus|\\bsetAlert|TavoError|Status|\\bdisplay)\\s*\\(\\s*(?:QStringLiteral\\s*\\(\\s*)?$"_s);
    int line = 1;
    qsizetype i = 0;
    const qsizetype n = code.size();
    auto previousToken = [&](qsizetype at) {
        qsizetype j = at - 1;
        while (j >= 0 && code.at(j).isSpace())
            --j;
        return j >= 0 ? code.at(j) : QChar();
    };
    while (i < n) {
        const QChar c = code.at(i);
        if (c == u'\n') {
            ++line;
            ++i;
        } else if (c == u'/' && i + 1 < n && code.at(i + 1) == u'/') {
            while (i < n && code.at(i) != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && code.at(i + 1) == u'*') {
            const qsizetype end = code.indexOf(u"*/"_s, i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            line += int(QStringView(code).mid(i, stop - i).count(u'\n'));
            i = stop;
        } else if (c == u'\'' && !(i > 0 && identifierChar(code.at(i - 1)) && code.at(i - 1).isDigit())) {
            // A character literal ('"', '\\'…); digit separators (1'000) stay numbers.
            ++i;
            while (i < n && code.at(i) != u'\'') {
                if (code.at(i) == u'\\')
                    ++i;
                ++i;
            }
            ++i;
        } else if (c == u'"') {
            // The prefix (u, u8, L, U, R) decides about raw strings.
            qsizetype start = i;
            while (start > 0 && identifierChar(code.at(start - 1)))
                --start;
            const QString prefix = code.mid(start, i - start);
            Literal literal;
            literal.file = file;
            literal.line = line;
            const QChar before = previousToken(start);
            qsizetype j = i + 1;
            if (prefix.endsWith(u'R')) {
                const qsizetype open = code.indexOf(u'(', j);
                const QString delimiter = u')' + code.mid(j, open - j) + u'"';
                const qsizetype close = code.indexOf(delimiter, open);
                literal.text = code.mid(open + 1, close - open - 1);
                j = close + delimiter.size();
            } else {
                while (j < n && code.at(j) != u'"') {
                    if (code.at(j) == u'\\')
                        j = unescape(code, j + 1, literal.text);
                    else
                        literal.text += code.at(j++);
                }
                ++j;
            }
            line += int(QStringView(code).mid(i, j - i).count(u'\n'));
            // A suffix such as _s or _L1, then what follows.
            while (j < n && identifierChar(code.at(j)))
                ++j;
            qsizetype k = j;
            while (k < n && (code.at(k).isSpace() || code.at(k) == u')'))
                ++k;
            // Adjacent literals ("a" "b") are one text.
            if (!found.isEmpty() && before == u'"' && found.constLast().line >= line - 2 && found.constLast().file == file
                && !found.constLast().text.isNull()) {
                found.last().text += literal.text;
                i = j;
                continue;
            }
            literal.fragment = before == u'+' || (k < n && code.at(k) == u'+');
            literal.displayed = shownBy.match(code.left(start).right(80)).hasMatch();
            if (literal.text.isNull())
                literal.text = u""_s;
            found.append(literal);
            i = j;
        } else {
            ++i;
        }
    }
    return found;
}

QList<Literal> sourceLiterals()
{
    QList<Literal> all;
    const QString root = QStringLiteral(VONTARO_SOURCE_DIR "/src");
    QDirIterator it(root, {u"*.cpp"_s, u"*.h"_s}, QDir::Files, QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        all += literalsOf(path.mid(root.size() + 1), QString::fromUtf8(file.readAll()));
    }
    return all;
}

// Words of the table's Polish texts that its English texts never use: the
// words that make a literal Polish even without a Polish letter ("Utwory").
QSet<QString> polishWords()
{
    static const QRegularExpression word(u"[\\p{L}]{3,}"_s);
    static const QRegularExpression placeholder(u"\\{[0-9]+\\}"_s);
    QSet<QString> polish, english;
    const QHash<QString, QString> &table = AppLocalizer::english();
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        for (auto m = word.globalMatch(QString(it.key()).remove(placeholder)); m.hasNext();)
            polish.insert(m.next().captured().toLower());
        for (auto m = word.globalMatch(it.value()); m.hasNext();)
            english.insert(m.next().captured().toLower());
    }
    return polish.subtract(english);
}

// A literal of the sources is Polish when it holds a Polish letter, a word of
// the table's Polish side that English does not share, or is passed straight
// to a call that shows it.
bool isPolish(const Literal &literal, const QSet<QString> &words)
{
    static const QRegularExpression letter(u"[ąćęłńóśźżĄĆĘŁŃÓŚŹŻ]"_s);
    static const QRegularExpression word(u"[\\p{L}]{3,}"_s);
    if (literal.text.contains(letter))
        return true;
    for (auto m = word.globalMatch(literal.text); m.hasNext();) {
        if (words.contains(m.next().captured().toLower()))
            return true;
    }
    return literal.displayed && literal.text.contains(QRegularExpression(u"\\p{L}"_s));
}

// Texts that are the same in both languages, or Polish words that never reach
// the screen, each with its reason.
const QHash<QString, const char *> &sameInBothLanguages()
{
    static const QHash<QString, const char *> texts = {
        {u"^(?:cd|disc|disk|płyta)\\s*[-_. ]*([0-9]+)(?:\\b|[_-])"_s,
         "a pattern that recognises disc folders by name; never shown"},
        {u"\\A-?[0-9][0-9\\s.,]* (?:bajt|bajty|bajtów)\\z"_s,
         "a pattern that recognises byte counts inside composed texts; never shown"},
        {u"Vontaro"_s, "the application's name"},
        {u"iPod"_s, "a product name"},
        {u"Album"_s, "the placeholder of the cover search's title field, the same word in English"},
        {u"English"_s, "the name of the guide's English edition, the same in both languages"},
        {u"Modele"_s, "the value of the guide's sub-page picker, never shown"},
        {u"katalogu"_s, "the word the theme sheet looks for in a preview's source, never shown"},
        {u"Hi-Res"_s, "a technical label shown as written in both languages"},
        {u"Folder"_s, "the music chooser's type of a folder, the same word in English"},
        {u"Format"_s, "the library's picker and column title, the same word in English"},
        {u"OK"_s, "the alert's button reads the same in both languages"},
        {u"Bez nazwy"_s, "the name of a playlist file on the device, kept in the file system as written"},
        {u"Kopia ustawień i motywów Rockbox — Vontaro\n"_s, "a line of the README file inside a backup folder, not shown"},
        {u"Urządzenie: "_s, "a line of the README file inside a backup folder, not shown"},
        {u"\nNie zawiera muzyki ani firmware.\n"_s, "a line of the README file inside a backup folder, not shown"},
    };
    return texts;
}

TEST_F(EnglishCoverage, EveryPolishTextOfTheSourcesHasItsEnglish)
{
    const QHash<QString, QString> &table = AppLocalizer::english();
    ASSERT_FALSE(table.isEmpty());
    const QList<Literal> literals = sourceLiterals();
    // The scan really reads the sources: a few known texts must be among them.
    QSet<QString> texts;
    for (const Literal &literal : literals)
        texts.insert(literal.text);
    for (const QString &known : {u"Gotowy na Twoją muzykę"_s, u"Odczytuję utwory: "_s, u"Albumy"_s})
        ASSERT_TRUE(texts.contains(known)) << known.toStdString();

    // A fragment of a composed message is covered by the table keys of its
    // forms (a key with placeholders, or the whole texts it is part of).
    const QStringList keys = table.keys();
    const QSet<QString> words = polishWords();
    QStringList missing;
    for (const Literal &literal : literals) {
        if (!isPolish(literal, words) || sameInBothLanguages().contains(literal.text))
            continue;
        if (AppLocalizer::translateEnglish(literal.text, 0) != literal.text)
            continue;
        if (literal.fragment) {
            const QString core = literal.text.trimmed();
            const bool inTemplate =
                std::any_of(keys.cbegin(), keys.cend(), [&](const QString &key) { return key.contains(core); });
            if (inTemplate || core.isEmpty())
                continue;
        }
        missing.append(literal.file + u':' + QString::number(literal.line) + u": \u201C"_s + literal.text + u"\u201D"_s);
    }
    EXPECT_TRUE(missing.isEmpty()) << "Polish texts without an English row in resources/English.json ("
                                   << missing.size() << "):\n"
                                   << missing.join(u'\n').toStdString();
}

TEST_F(EnglishCoverage, TheSourceScanFindsWhatItShould)
{
    const QList<Literal> found = literalsOf(u"x.cpp"_s, uR"(
// "Nie ta" in a comment
/* "ani ta" */
char quote = '"';
setStatus(u"Utwory"_s);
x = u"Odczytano utwory: "_s + QString::number(n);
y = u"a\n\u0105"_s;
z = kit::tr(QStringLiteral("Foldery"));
w = "ab" "cd";
int big = 1'000;
v = u"po"_s;
)"_s);
    ASSERT_EQ(found.size(), 6);
    EXPECT_EQ(found[0].text, u"Utwory"_s);
    EXPECT_TRUE(found[0].displayed);
    EXPECT_FALSE(found[0].fragment);
    EXPECT_EQ(found[0].line, 5);
    EXPECT_EQ(found[1].text, u"Odczytano utwory: "_s);
    EXPECT_TRUE(found[1].fragment);
    EXPECT_EQ(found[2].text, u"a\n\u0105"_s);
    EXPECT_EQ(found[3].text, u"Foldery"_s);
    EXPECT_TRUE(found[3].displayed);
    EXPECT_EQ(found[4].text, u"abcd"_s);
    EXPECT_EQ(found[5].text, u"po"_s);
    EXPECT_EQ(found[5].line, 11);

    // "Utwory" counts as Polish by its word alone; a short English-looking word does not.
    const QSet<QString> words = polishWords();
    EXPECT_TRUE(isPolish(Literal{u"x"_s, 1, u"Utwory"_s, false, false}, words));
    EXPECT_TRUE(isPolish(Literal{u"x"_s, 1, u"Ścieżka"_s, false, false}, words));
    EXPECT_FALSE(isPolish(Literal{u"x"_s, 1, u"cover.jpg"_s, false, false}, words));
    EXPECT_FALSE(isPolish(Literal{u"x"_s, 1, u"ALBUMARTIST"_s, false, false}, words));
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
                                  u"Odsłuch na komputerze · "_s, u"Wybór grafiki nie zmienia sprzętu ani firmware. "_s})
        EXPECT_TRUE(table.contains(prefix)) << prefix.toStdString();
}

} // namespace
