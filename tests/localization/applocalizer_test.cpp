#include "localization/applocalizer.h"

#include "platform/defaults.h"
#include "support/qtprinters.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <regex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QString q(const char *utf8) { return QString::fromUtf8(utf8); }

class AppLocalizerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    void TearDown() override
    {
        AppLocalizer::resetTables();
        AppLocalizer::setPreferredLanguages({});
        Defaults::clear();
    }

    // Makes the translator use this JSON text as its table from now on.
    void useTable(const QByteArray &json)
    {
        const QString path = folder.filePath(u"table-%1.json"_s.arg(++count));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
        file.close();
        AppLocalizer::loadTableForTesting(path);
    }

    static QString en(const char *polish, int depth = 0)
    {
        return AppLocalizer::translateEnglish(q(polish), depth);
    }

    QTemporaryDir folder;
    int count = 0;
};

// The fixture table most tests share: exact rows, forms with placeholders and
// the four prefixes. It has no "{0}"-only key, which would catch every text.
const QByteArray kTable = R"json({
  "Połączony": "Connected",
  "Muzyka": "Music",
  "Playlisty": "Playlists",
  "Brak miejsca": "No space",
  "Wgrano: {0}": "Uploaded: {0}",
  "Wgrano: {0}. Pominięto identyczne: {1}.": "Uploaded: {0}. Skipped identical: {1}.",
  "Plik {0} z albumu {1}": "Album {1} holds file {0}",
  "Powtórz {0}": "{0}, {0}",
  "{0} lub {0}": "either {0}",
  "Nieznany {0}": "Unknown {1}",
  "Błąd: {0}": "{0}\n\nError",
  "Album {0} gotowy": "Album {0} ready",
  "{0} Album gotowy": "{0} album done",
  "Nie znaleziono tagów: {0}": "Tags not found: {0}",
  "tytuł": "title",
  "artysta": "artist",
  "Nie odczytano tagów: ": "Tags not read: ",
  "Nie udało się pobrać okładki: ": "Could not download the cover: ",
  "Odsłuch na komputerze · ": "Listening on this computer · ",
  "Wybór grafiki nie zmienia sprzętu ani firmware. ": "Choosing a picture changes neither hardware nor firmware. "
})json";

TEST_F(AppLocalizerTest, ExactAndUpperCaseHits)
{
    useTable(kTable);
    struct Case {
        const char *polish;
        const char *english;
    } cases[] = {
        {"Połączony", "Connected"},
        {"POŁĄCZONY", "CONNECTED"},   // a capitalised badge finds the upper-case row
        {"PołąCZONY", "PołąCZONY"},   // another mixture of cases stays Polish
        {"połączony", "połączony"},
        {"MUZYKA", "MUSIC"},
        {"Nic takiego", "Nic takiego"},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(en(c.polish), q(c.english)) << c.polish;
}

TEST_F(AppLocalizerTest, PatternsFillTheirPlaceholders)
{
    useTable(kTable);
    struct Case {
        const char *polish;
        const char *english;
    } cases[] = {
        {"Wgrano: 12", "Uploaded: 12"},
        // Both "Wgrano: {0}" forms match; the one with the longer fixed text wins.
        {"Wgrano: 3. Pominięto identyczne: 2.", "Uploaded: 3. Skipped identical: 2."},
        // Swapped and repeated placeholders in the value.
        {"Plik a.flac z albumu Abbey Road", "Album Abbey Road holds file a.flac"},
        {"Powtórz raz", "raz, raz"},
        // A number twice in the key: the later capture wins.
        {"kot lub pies", "either pies"},
        // A value placeholder that the key never captures stays as written.
        {"Nieznany x", "Unknown {1}"},
        // Equal fixed lengths: the key first in plain order is tried first.
        {"Album X Album gotowy", "Album X Album ready"},
        // The capture takes line feeds too, and the whole text must match.
        {"Wgrano: 1\n2", "Uploaded: 1\n2"},
        {"Wgrano: 5\n", "Uploaded: 5\n"},
        {"xWgrano: 5", "xWgrano: 5"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(en(c.polish), q(c.english)) << c.polish;
}

TEST_F(AppLocalizerTest, FixedLengthCountsCharactersNotCodeUnits)
{
    // "ééé" with combining accents is 3 characters but 6 UTF-16 units; "abcd" is 4.
    useTable("{\"e\xcc\x81" "e\xcc\x81" "e\xcc\x81" "{0}\": \"accents {0}\", \"{0}abcd\": \"letters {0}\"}");
    EXPECT_EQ(en("e\xcc\x81" "e\xcc\x81" "e\xcc\x81" "Xabcd"), q("letters e\xcc\x81" "e\xcc\x81" "e\xcc\x81" "X"));
}

TEST_F(AppLocalizerTest, PlaceholderOnlyKeyIsTriedLast)
{
    useTable(R"json({"{0}": "[{0}]", "Wgrano: {0}": "Uploaded: {0}", "Muzyka": "Music",
                     "Odsłuch na komputerze · ": "Listening on this computer · "})json");
    EXPECT_EQ(en("Wgrano: 5"), q("Uploaded: 5"));
    EXPECT_EQ(en("Muzyka"), q("Music"));
    EXPECT_EQ(en("cokolwiek"), q("[cokolwiek]"));
    // It catches every text that reaches the patterns, before lines and prefixes.
    EXPECT_EQ(en("a\nb"), q("[a\nb]"));
    EXPECT_EQ(en("Odsłuch na komputerze · Muzyka"), q("[Odsłuch na komputerze · Muzyka]"));
    // Beyond depth 3 only the maps are asked.
    EXPECT_EQ(en("cokolwiek", 4), q("cokolwiek"));
}

TEST_F(AppLocalizerTest, InnerTranslationAndItsDepthLimit)
{
    useTable(kTable);
    EXPECT_EQ(en("Błąd: Brak miejsca"), q("No space\n\nError"));
    EXPECT_EQ(en("Błąd: Błąd: Brak miejsca"), q("No space\n\nError\n\nError"));
    // At depth 3 the pattern still applies, but the inner text is translated
    // at depth 4: exact and upper-case rows only.
    EXPECT_EQ(en("Błąd: Brak miejsca", 3), q("No space\n\nError"));
    EXPECT_EQ(en("Błąd: BRAK MIEJSCA", 3), q("NO SPACE\n\nError"));
    EXPECT_EQ(en("Błąd: Błąd: Brak miejsca", 3), q("Błąd: Brak miejsca\n\nError"));
    EXPECT_EQ(en("Błąd: Brak miejsca", 4), q("Błąd: Brak miejsca"));
    EXPECT_EQ(en("Muzyka", 4), q("Music"));
    EXPECT_EQ(en("MUZYKA", 9), q("MUSIC"));
}

TEST_F(AppLocalizerTest, LineByLineKeepsEveryLineFeed)
{
    useTable(R"json({"Muzyka": "Music", "Playlisty": "Playlists", "Wgrano: {0}": "Uploaded: {0}",
                     "Odsłuch na komputerze · ": "Listening on this computer · "})json");
    struct Case {
        const char *polish;
        const char *english;
    } cases[] = {
        {"Muzyka\nPlaylisty", "Music\nPlaylists"},
        {"\nMuzyka\n\nNieznane\nPlaylisty\n", "\nMusic\n\nNieznane\nPlaylists\n"},
        {"\n\n", "\n\n"},
        {"Odsłuch na komputerze · tytuł\nMuzyka", "Listening on this computer · tytuł\nMusic"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(en(c.polish), q(c.english)) << c.polish;
    // Lines are translated one level deeper: from depth 3 only the maps apply.
    EXPECT_EQ(en("Muzyka\nOdsłuch na komputerze · x", 3), q("Music\nOdsłuch na komputerze · x"));
}

TEST_F(AppLocalizerTest, PrefixesKeepTheRestUnchanged)
{
    useTable(kTable);
    struct Case {
        const char *polish;
        const char *english;
    } cases[] = {
        {"Nie odczytano tagów: a.flac", "Tags not read: a.flac"},
        {"Nie udało się pobrać okładki: Brak miejsca", "Could not download the cover: Brak miejsca"},
        // The title after the prefix is never translated, even when it is a row.
        {"Odsłuch na komputerze · Muzyka", "Listening on this computer · Muzyka"},
        {"Wybór grafiki nie zmienia sprzętu ani firmware. Połączony",
         "Choosing a picture changes neither hardware nor firmware. Połączony"},
        {"Odsłuch na komputerze ·", "Odsłuch na komputerze ·"}, // the prefix needs its trailing space
        {"x Odsłuch na komputerze · y", "x Odsłuch na komputerze · y"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(en(c.polish), q(c.english)) << c.polish;
    EXPECT_EQ(en("Odsłuch na komputerze · tytuł", 4), q("Odsłuch na komputerze · tytuł"));

    // A prefix without its own row stays Polish, followed by the rest.
    useTable(R"json({"Muzyka": "Music"})json");
    EXPECT_EQ(en("Odsłuch na komputerze · Muzyka"), q("Odsłuch na komputerze · Muzyka"));
}

TEST_F(AppLocalizerTest, TagsNotFoundItemsUseExactRowsOnly)
{
    useTable(kTable);
    EXPECT_EQ(en("Nie znaleziono tagów: tytuł, artysta, rok"), q("Tags not found: title, artist, rok"));
    // Items get no further translation: no upper-case rows, no patterns.
    EXPECT_EQ(en("Nie znaleziono tagów: TYTUŁ, Wgrano: 5"), q("Tags not found: TYTUŁ, Wgrano: 5"));
    // Empty items are kept in place.
    EXPECT_EQ(en("Nie znaleziono tagów: tytuł, , artysta"), q("Tags not found: title, , artist"));
    EXPECT_EQ(en("Nie znaleziono tagów: tytuł,artysta"), q("Tags not found: tytuł,artysta"));
}

TEST_F(AppLocalizerTest, MissingOrMalformedTableLeavesTextsUnchanged)
{
    const QByteArray tables[] = {
        "",
        "{",
        "[\"Muzyka\", \"Music\"]",
        R"json({"Muzyka": "Music", "Wgrano: {0}": 5})json",
        R"json({"Muzyka": "Music", "Inne": null})json",
        R"json({"Muzyka": {"en": "Music"}})json",
    };
    const char *texts[] = {"Muzyka", "MUZYKA", "Wgrano: 5", "Muzyka\n\nMuzyka", "Odsłuch na komputerze · x", ""};
    for (const QByteArray &table : tables) {
        useTable(table);
        EXPECT_TRUE(AppLocalizer::english().isEmpty()) << table.constData();
        for (const char *text : texts)
            EXPECT_EQ(en(text), q(text)) << table.constData();
    }
    AppLocalizer::loadTableForTesting(folder.filePath(u"missing.json"_s));
    EXPECT_TRUE(AppLocalizer::english().isEmpty());
    for (const char *text : texts)
        EXPECT_EQ(en(text), q(text));
}

TEST_F(AppLocalizerTest, UnusablePlaceholderNumbersDoNotBreakTheTable)
{
    // A number too large for an integer makes its key unusable as a pattern;
    // the other keys still work, and an unknown number in a value stays written.
    useTable(R"json({"Za dużo {99999999999999999999}": "Too many {0}",
                     "Wgrano: {0}": "Uploaded: {0} {99999999999999999999}"})json");
    EXPECT_EQ(en("Za dużo x"), q("Za dużo x"));
    EXPECT_EQ(en("Wgrano: 5"), q("Uploaded: 5 {99999999999999999999}"));
}

TEST_F(AppLocalizerTest, TablesAreSharedSafelyBetweenThreads)
{
    useTable(kTable);
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&failures, i] {
            for (int n = 0; n < 200; ++n) {
                if (AppLocalizer::translateEnglish(q("Wgrano: 3. Pominięto identyczne: 2.")) !=
                        q("Uploaded: 3. Skipped identical: 2.") ||
                    AppLocalizer::translateEnglish(q("POŁĄCZONY")) != q("CONNECTED"))
                    ++failures[i];
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    for (int f : failures)
        EXPECT_EQ(f, 0);
}

TEST_F(AppLocalizerTest, LanguageResolution)
{
    struct Case {
        std::optional<const char *> stored;
        QStringList preferred;
        const char *expected;
    } cases[] = {
        {std::nullopt, {u"pl-PL"_s, u"en-US"_s}, "pl"},
        {std::nullopt, {u"pl"_s}, "pl"},
        {std::nullopt, {u"de-DE"_s, u"pl-PL"_s}, "en"},
        {std::nullopt, {}, "en"},
        {std::nullopt, {u"PL-pl"_s}, "en"}, // the "pl" test is case-sensitive
        {"system", {u"pl-PL"_s}, "pl"},
        {"system", {u"en-GB"_s}, "en"},
        {"pl", {u"de-DE"_s}, "pl"},
        {"pl", {}, "pl"},
        {"en", {u"pl-PL"_s}, "en"},
        // Anything but exactly "pl" or "en" follows the system.
        {"PL", {u"de-DE"_s}, "en"},
        {"PL", {u"pl-PL"_s}, "pl"},
        {"Polski", {u"de-DE"_s}, "en"},
        {"Polski", {u"pl-PL"_s}, "pl"},
        {"EN", {u"pl-PL"_s}, "pl"},
        {"", {u"pl-PL"_s}, "pl"},
    };
    for (const Case &c : cases) {
        if (c.stored)
            Defaults::setString(u"appLanguage"_s, q(*c.stored));
        else
            Defaults::remove(u"appLanguage"_s);
        const QStringList preferred = c.preferred;
        AppLocalizer::setPreferredLanguages([preferred] { return preferred; });
        EXPECT_EQ(AppLocalizer::language(), q(c.expected))
            << (c.stored ? *c.stored : "(unset)") << " " << preferred.join(u',').toStdString();
    }
}

TEST_F(AppLocalizerTest, DisplayFollowsTheSettingAtEveryCall)
{
    useTable(kTable);
    AppLocalizer::setPreferredLanguages([] { return QStringList{u"pl-PL"_s}; });
    Defaults::remove(u"appLanguage"_s);
    EXPECT_EQ(AppLocalizer::display(q("Muzyka")), q("Muzyka"));
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    EXPECT_EQ(AppLocalizer::display(q("Muzyka")), q("Music"));
    EXPECT_EQ(AppLocalizer::display(q("Wgrano: 7")), q("Uploaded: 7"));
    Defaults::setString(u"appLanguage"_s, u"pl"_s);
    EXPECT_EQ(AppLocalizer::display(q("Wgrano: 7")), q("Wgrano: 7"));
}

TEST_F(AppLocalizerTest, ApplicationTableIsWellFormed)
{
    AppLocalizer::resetTables();
    const QHash<QString, QString> &table = AppLocalizer::english();
    ASSERT_FALSE(table.isEmpty());
    const char *required[] = {
        "Nie odczytano tagów: ", "Nie udało się pobrać okładki: ", "Odsłuch na komputerze · ",
        "Wybór grafiki nie zmienia sprzętu ani firmware. ", "Twój iPod", "Muzyka", "Playlisty",
        "Motywy", "Kopie zapasowe", "Porządek", "Poradnik", "Vontaro",
    };
    for (const char *key : required)
        EXPECT_TRUE(table.contains(q(key))) << key;
    EXPECT_EQ(en("Odsłuch na komputerze · Muzyka"), table.value(q("Odsłuch na komputerze · ")) + q("Muzyka"));

    // Every placeholder that a value names must be captured by its key.
    const std::regex placeholder(R"(\{([0-9]+)\})");
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        const std::string key = it.key().toStdString();
        const std::string value = it.value().toStdString();
        for (auto m = std::sregex_iterator(value.begin(), value.end(), placeholder); m != std::sregex_iterator(); ++m)
            EXPECT_NE(key.find(m->str()), std::string::npos) << key << " → " << value;
    }
}

} // namespace
