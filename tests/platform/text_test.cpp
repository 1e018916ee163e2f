#include "platform/text.h"
#include "support/qtprinters.h"

#include <QLocale>
#include <QSet>
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

QString nfd(const QString &s)
{
    return s.normalized(QString::NormalizationForm_D);
}

int sign(int v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// Runs `body` on a fresh thread, so that per-thread state (the collator) is
// made anew under the default locale in force at that moment.
template <typename F>
void onFreshThread(F body)
{
    std::thread thread(body);
    thread.join();
}

// Restores the default locale after a test changes it.
struct DefaultLocale {
    QLocale saved;
    ~DefaultLocale() { QLocale::setDefault(saved); }
};

} // namespace

TEST(TextNfc, CanonicalEquivalence)
{
    const QString composed = u"Płyta Café Żółć"_s;
    const QString decomposed = nfd(composed);
    ASSERT_NE(composed, decomposed);
    EXPECT_EQ(text::nfc(decomposed), composed);
    EXPECT_TRUE(text::equivalent(composed, decomposed));
    EXPECT_FALSE(text::equivalent(u"Cafe"_s, u"Café"_s));
    EXPECT_TRUE(text::hasPrefix(decomposed, u"Płyta Caf"_s + u"é"_s));
    EXPECT_TRUE(text::hasPrefix(u"Café"_s, nfd(u"Café"_s)));
    EXPECT_FALSE(text::hasPrefix(u"Cafe"_s, u"Café"_s));
    // As keys: both spellings land on one entry.
    QSet<QString> keys{text::nfc(composed), text::nfc(decomposed)};
    EXPECT_EQ(keys.size(), 1);
}

TEST(TextFinderOrder, TableInTheCLocale)
{
    const struct {
        QString a, b;
        int expected;
    } cases[] = {
        {u"a9"_s, u"a10"_s, -1},
        {u"a10"_s, u"a9"_s, 1},
        {u"Track 2.flac"_s, u"Track 10.flac"_s, -1},
        {u"file2"_s, u"File10"_s, -1},
        {u"abc"_s, u"ABC"_s, 0},
        {u"B"_s, u"a"_s, 1},
        {u"abc"_s, u"abd"_s, -1},
        {u"007"_s, u"8"_s, -1},
        {u"x"_s, u"x"_s, 0},
        {u"Café"_s, nfd(u"Café"_s), 0},
    };
    DefaultLocale restore;
    QLocale::setDefault(QLocale::c());
    onFreshThread([&] {
        ASSERT_EQ(QLocale().language(), QLocale::C);
        for (const auto &c : cases) {
            SCOPED_TRACE(QString(c.a + u" vs "_s + c.b).toStdString());
            EXPECT_EQ(text::finderCompare(c.a, c.b), c.expected);
            EXPECT_EQ(text::finderLess(c.a, c.b), c.expected < 0);
        }
        QStringList names{u"a10"_s, u"A2"_s, u"a1"_s, u"b"_s, u"a9"_s};
        std::stable_sort(names.begin(), names.end(), text::finderLess);
        EXPECT_EQ(names, (QStringList{u"a1"_s, u"A2"_s, u"a9"_s, u"a10"_s, u"b"_s}));
    });
}

TEST(TextFinderOrder, DigitsByValueInAnotherLocaleToo)
{
    DefaultLocale restore;
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    onFreshThread([] {
        EXPECT_LT(text::finderCompare(u"a9"_s, u"a10"_s), 0);
        EXPECT_EQ(text::finderCompare(u"ABC"_s, u"abc"_s), 0);
    });
}

TEST(TextPlainOrder, CodePointsNotUtf16Units)
{
    const auto unit = [](char16_t u) { return QString(QChar(u)); };
    const struct {
        QString a, b;
        int expected;
    } cases[] = {
        {u"a"_s, u"b"_s, -1},
        {u"a"_s, u"a"_s, 0},
        {u"a"_s, u"ab"_s, -1},
        {u""_s, u"a"_s, -1},
        {u""_s, u""_s, 0},
        {u"Z"_s, u"a"_s, -1},  // case counts
        {u"a10"_s, u"a9"_s, -1}, // digits are characters
        {u"é"_s, u"z"_s, 1},
        // U+1F600 is above U+FFFD although its first UTF-16 unit (D83D) is below.
        {u"\U0001F600"_s, u"\uFFFD"_s, 1},
        {u"x\U00010000"_s, u"x\uFFFF"_s, 1},
        {u"\U0001F600a"_s, u"\U0001F600b"_s, -1},
        {u"\U00010000"_s, u"\uE000"_s, 1},
        {u"\U00010001"_s, u"\U00010000"_s, 1},
        {u"ab\U00010000"_s, u"ab"_s, 1},
        // Unpaired surrogates count as code points of their own.
        {u"\U00010000"_s, unit(0xD800) + u"x"_s, 1},
        {unit(0xD800), u"\uD7FF"_s, 1},
        {unit(0xDC00), u"\uE000"_s, -1},
        {u"a"_s + unit(0xD800), u"a"_s + unit(0xD800) + u"b"_s, -1},
        {u"a"_s + unit(0xD800), u"a\U00010000"_s, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString(c.a + u" vs "_s + c.b).toStdString());
        EXPECT_EQ(sign(text::plainCompare(c.a, c.b)), c.expected);
        EXPECT_EQ(sign(text::plainCompare(c.b, c.a)), -c.expected);
        EXPECT_EQ(text::plainLess(c.a, c.b), c.expected < 0);
    }
}

TEST(TextGraphemes, CountAndPrefix)
{
    const QString family = u"\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"_s;
    const struct {
        QString s;
        qsizetype count;
    } cases[] = {
        {u""_s, 0},
        {u"abc"_s, 3},
        {u"e\u0301"_s, 1},
        {family, 1},
        {family + u"x"_s, 2},
        {u"\U0001F1F5\U0001F1F1"_s, 1}, // a flag
        {u"\r\n"_s, 1},
        {u"Żółć"_s, 4},
        {nfd(u"Żółć"_s), 4},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(text::graphemeCount(c.s), c.count) << c.s.toStdString();
        EXPECT_EQ(text::graphemes(c.s).size(), c.count) << c.s.toStdString();
        EXPECT_EQ(text::graphemes(c.s).join(QString()), c.s);
    }
    EXPECT_EQ(text::firstGraphemes(family + u"xyz"_s, 1), family);
    EXPECT_EQ(text::firstGraphemes(family + u"xyz"_s, 2), family + u"x"_s);
    EXPECT_EQ(text::firstGraphemes(nfd(u"éa"_s), 1), nfd(u"é"_s));
    EXPECT_EQ(text::firstGraphemes(u"abc"_s, 0), QString());
    EXPECT_EQ(text::firstGraphemes(u"abc"_s, -1), QString());
    EXPECT_EQ(text::firstGraphemes(u"abc"_s, 10), u"abc"_s);
    EXPECT_EQ(text::firstGraphemes(QString(), 3), QString());
}

TEST(TextCharacterSets, BlanksAndNewlines)
{
    const struct {
        char32_t c;
        bool blank, newline;
    } cases[] = {
        {U' ', true, false},     {U'\t', true, false},    {0x00A0, true, false}, {0x2003, true, false},
        {0x3000, true, false},   {0x202F, true, false},   {U'\n', false, true},  {0x0B, false, true},
        {0x0C, false, true},     {U'\r', false, true},    {0x85, false, true},   {0x2028, false, true},
        {0x2029, false, true},   {U'a', false, false},    {0x200B, false, false}, {0xFEFF, false, false},
        {0x1F, false, false},    {0x1F600, false, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(text::isBlank(c.c), c.blank) << std::hex << uint32_t(c.c);
        EXPECT_EQ(text::isNewline(c.c), c.newline) << std::hex << uint32_t(c.c);
        EXPECT_EQ(text::isBlankOrNewline(c.c), c.blank || c.newline) << std::hex << uint32_t(c.c);
    }
}

TEST(TextTrimming, EachSetStripsOnlyItsOwnCharacters)
{
    const struct {
        QString s, blanks, newlines, both;
    } cases[] = {
        {u" \t a b \u00A0"_s, u"a b"_s, u" \t a b \u00A0"_s, u"a b"_s},
        {u"\n a \r\n"_s, u"\n a \r\n"_s, u" a "_s, u"a"_s},
        {u"\u2028 x\u0085"_s, u"\u2028 x\u0085"_s, u" x"_s, u"x"_s},
        {u"   "_s, u""_s, u"   "_s, u""_s},
        {u""_s, u""_s, u""_s, u""_s},
        {u"\u200Bx\u200B"_s, u"\u200Bx\u200B"_s, u"\u200Bx\u200B"_s, u"\u200Bx\u200B"_s},
        {u" \U0001F600 "_s, u"\U0001F600"_s, u" \U0001F600 "_s, u"\U0001F600"_s},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(text::trimmedBlanks(c.s), c.blanks);
        EXPECT_EQ(text::trimmedNewlines(c.s), c.newlines);
        EXPECT_EQ(text::trimmedBlanksAndNewlines(c.s), c.both);
    }
    // A lone surrogate inside is kept as it is, not replaced.
    QString lone = u" a"_s;
    lone.append(QChar(0xD800));
    lone.append(u"b "_s);
    const QString inner = lone.mid(1, lone.size() - 2);
    EXPECT_EQ(text::trimmedBlanks(lone), inner);
}

TEST(TextCase, FullMappingsAndFolding)
{
    EXPECT_EQ(text::upper(u"straße"_s), u"STRASSE"_s);
    EXPECT_EQ(text::lower(u"ŻÓŁĆ"_s), u"żółć"_s);
    EXPECT_TRUE(text::containsIgnoringCase(u"Die Straße"_s, u"STRASSE"_s));
    EXPECT_TRUE(text::containsIgnoringCase(nfd(u"Żółta Łódź"_s), u"łÓdź"_s));
    EXPECT_FALSE(text::containsIgnoringCase(u"Lodz"_s, u"Łódź"_s));
    EXPECT_TRUE(text::containsIgnoringCase(u"abc"_s, QString()));
    EXPECT_EQ(text::foldCaseAndDiacritics(u"Żółć"_s), u"zołc"_s); // ł has no decomposition
    EXPECT_EQ(text::foldCaseAndDiacritics(nfd(u"CAFÉ Øre"_s)), u"cafe øre"_s);
    EXPECT_EQ(text::foldCaseAndDiacritics(u"Straße"_s), u"strasse"_s);
}

TEST(TextParseDecimal, StrictLikeSwift)
{
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    const struct {
        QString s;
        std::optional<qint64> value;
    } cases[] = {
        {u"12"_s, 12},
        {u"0"_s, 0},
        {u"-0"_s, 0},
        {u"007"_s, 7},
        {u"+5"_s, 5},
        {u"-5"_s, -5},
        {u"9223372036854775807"_s, max},
        {u"-9223372036854775808"_s, min},
        {u"9223372036854775808"_s, std::nullopt},
        {u"-9223372036854775809"_s, std::nullopt},
        {u"99999999999999999999999"_s, std::nullopt},
        {u" 12 "_s, std::nullopt},
        {u"12 "_s, std::nullopt},
        {u" 12"_s, std::nullopt},
        {u""_s, std::nullopt},
        {u"+"_s, std::nullopt},
        {u"-"_s, std::nullopt},
        {u"+-1"_s, std::nullopt},
        {u"1e3"_s, std::nullopt},
        {u"0x10"_s, std::nullopt},
        {u"1.0"_s, std::nullopt},
        {u"１２"_s, std::nullopt}, // full-width digits
        {u"٣"_s, std::nullopt},    // Arabic-Indic digit
        {u"1/2"_s, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(text::parseDecimalInt64(c.s), c.value) << c.s.toStdString();
}

TEST(TextFormatG, PrintfGWithAPointInEveryLocale)
{
    const struct {
        double value;
        QString text;
    } cases[] = {
        {44.1, u"44.1"_s},
        {48, u"48"_s},
        {22.05, u"22.05"_s},
        {0, u"0"_s},
        {-2.5, u"-2.5"_s},
        {123456, u"123456"_s},
        {1234567, u"1.23457e+06"_s},
        {1e6, u"1e+06"_s},
        {0.0001, u"0.0001"_s},
        {0.00001, u"1e-05"_s},
        {176.4, u"176.4"_s},
        {std::numeric_limits<double>::infinity(), u"inf"_s},
        {std::nan(""), u"nan"_s},
    };
    DefaultLocale restore;
    const std::string savedNumeric = std::setlocale(LC_NUMERIC, nullptr);
    for (const char *cLocale : {"C", "pl_PL.UTF-8", "de_DE.UTF-8"}) {
        // The C library locale may not be installed; Qt's default locale always is.
        std::setlocale(LC_NUMERIC, cLocale);
        QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
        for (const auto &c : cases)
            EXPECT_EQ(text::formatG(c.value), c.text) << cLocale << ' ' << c.text.toStdString();
    }
    std::setlocale(LC_NUMERIC, savedNumeric.c_str());
}

// Polish number agreement: 1 takes the singular; numbers ending in 2–4 (but
// not 12–14) the paucal; every other number the genitive plural.
TEST(TextPlural, PolishFormsOfEveryCount)
{
    const struct {
        qint64 n;
        text::Plural form;
        const char *tracks;
    } cases[] = {
        {0, text::Plural::Many, "0 utworów"},     {1, text::Plural::One, "1 utwór"},
        {2, text::Plural::Few, "2 utwory"},       {4, text::Plural::Few, "4 utwory"},
        {5, text::Plural::Many, "5 utworów"},     {11, text::Plural::Many, "11 utworów"},
        {12, text::Plural::Many, "12 utworów"},   {14, text::Plural::Many, "14 utworów"},
        {21, text::Plural::Many, "21 utworów"},   {22, text::Plural::Few, "22 utwory"},
        {25, text::Plural::Many, "25 utworów"},   {101, text::Plural::Many, "101 utworów"},
        {111, text::Plural::Many, "111 utworów"}, {112, text::Plural::Many, "112 utworów"},
        {122, text::Plural::Few, "122 utwory"},   {1'002, text::Plural::Few, "1002 utwory"},
        {-2, text::Plural::Few, "-2 utwory"},
        {std::numeric_limits<qint64>::min(), text::Plural::Many, "-9223372036854775808 utworów"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(text::plural(c.n), c.form) << c.n;
        EXPECT_EQ(text::count(c.n, u"{0} utwór", u"{0} utwory", u"{0} utworów"), QString::fromUtf8(c.tracks));
    }
    // Every "{0}" of the chosen form takes the number; the other forms are not read.
    EXPECT_EQ(text::count(3, u"x", u"{0} kopie ({0})", u"y"), u"3 kopie (3)"_s);
}

TEST(TextByteCount, FileStyle)
{
    const struct {
        qint64 bytes;
        QString text;
    } cases[] = {
        {0, u"0 bajtów"_s},
        {1, u"1 bajt"_s},
        {2, u"2 bajty"_s},
        {5, u"5 bajtów"_s},
        {-1, u"-1 bajt"_s},
        {12, u"12 bajtów"_s},
        {24, u"24 bajty"_s},
        {999, u"999 bajtów"_s},
        {1000, u"1 KB"_s},
        {1499, u"1 KB"_s},
        {1500, u"2 KB"_s},
        {999'499, u"999 KB"_s},
        {999'999, u"1 MB"_s},
        {8'000'000, u"8 MB"_s},
        {8'300'000, u"8.3 MB"_s},
        {999'960'000, u"1 GB"_s},
        {1'234'567'890, u"1.23 GB"_s},
        {2'000'000'000, u"2 GB"_s},
        {1'500'000'000'000, u"1.5 TB"_s},
        {std::numeric_limits<qint64>::max(), u"9,223.37 PB"_s},
    };
    DefaultLocale restore;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const auto &c : cases)
        EXPECT_EQ(text::byteCount(c.bytes), c.text) << c.bytes;
    // The decimal separator follows the user's locale.
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    EXPECT_EQ(text::byteCount(8'300'000), u"8,3 MB"_s);
}

TEST(TextTimestamp, AsciiDigitsSortableByTime)
{
    DefaultLocale restore;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9));
    EXPECT_EQ(text::timestamp(when), u"2024-03-05_07-08-09"_s);
}

TEST(TextUuid, CanonicalUpperCaseFormAndStrictCheck)
{
    const QString a = text::newUuid(), b = text::newUuid();
    EXPECT_NE(a, b);
    for (const QString &u : {a, b}) {
        EXPECT_EQ(u.size(), 36);
        EXPECT_EQ(u, u.toUpper());
        EXPECT_TRUE(text::isUuid(u)) << u.toStdString();
    }
    const struct {
        QString s;
        bool valid;
    } cases[] = {
        {u"123E4567-E89B-12D3-A456-426614174000"_s, true},
        {u"123e4567-e89b-12d3-a456-426614174000"_s, true},
        {u"{123E4567-E89B-12D3-A456-426614174000}"_s, false},
        {u"123E4567E89B12D3A456426614174000"_s, false},
        {u"123E4567-E89B-12D3-A456-42661417400"_s, false},
        {u"123E4567-E89B-12D3-A456-4266141740000"_s, false},
        {u"123E4567-E89B-12D3-A456-42661417400G"_s, false},
        {u"123E4567-E89B-12D3-A456-426614174000\n"_s, false},
        {u" 123E4567-E89B-12D3-A456-426614174000"_s, false},
        {u""_s, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(text::isUuid(c.s), c.valid) << c.s.toStdString();
}

TEST(TextRegex, UnicodePropertiesAlwaysOn)
{
    EXPECT_TRUE(text::regex(u"^a\\sb$"_s).match(u"a\u00A0b"_s).hasMatch());
    EXPECT_TRUE(text::regex(u"^\\w+$"_s).match(u"żółć"_s).hasMatch());
    const QRegularExpression ci = text::regex(u"^płyta$"_s, QRegularExpression::CaseInsensitiveOption);
    EXPECT_TRUE(ci.isValid());
    EXPECT_TRUE(ci.match(u"PŁYTA"_s).hasMatch());
    EXPECT_TRUE(ci.patternOptions().testFlag(QRegularExpression::UseUnicodePropertiesOption));
}
