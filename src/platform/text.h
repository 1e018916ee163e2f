#pragma once

// Text helpers with the semantics the interface relies on: canonical-equivalence
// keys, natural ordering (digit runs by value), code-point ordering, grapheme clusters, the exact
// blank and newline sets, strict integer parsing and locale-free number output.

#include <QCollator>
#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace text {

// NFC form, used for every key, lookup and comparison of text from files, tags or the user.
QString nfc(const QString &s);
// Canonically equivalent strings compare equal.
bool equivalent(const QString &a, const QString &b);
bool hasPrefix(const QString &s, const QString &prefix); // after NFC on both

// Natural order: case-insensitive, digit runs by value; works in the C locale too.
// Returns <0, 0, >0.
int finderCompare(QStringView a, QStringView b);
inline bool finderLess(QStringView a, QStringView b) { return finderCompare(a, b) < 0; }
// A key whose order (QCollatorSortKey::compare) is finderCompare's: for sorting big
// lists, where making each key once beats comparing the strings again and again.
QCollatorSortKey finderSortKey(const QString &s);

// Plain order by Unicode scalar values (not UTF-16 units). Returns <0, 0, >0.
int plainCompare(QStringView a, QStringView b);
inline bool plainLess(QStringView a, QStringView b) { return plainCompare(a, b) < 0; }

// User-perceived characters.
qsizetype graphemeCount(const QString &s);
QString firstGraphemes(const QString &s, qsizetype n);
QStringList graphemes(const QString &s);

// Character sets: blanks = tab + category Zs; newlines = U+000A–U+000D, U+0085, U+2028, U+2029.
bool isBlank(char32_t c);
bool isNewline(char32_t c);
inline bool isBlankOrNewline(char32_t c) { return isBlank(c) || isNewline(c); }
QString trimmedBlanks(const QString &s);            // strips blanks only
QString trimmedBlanksAndNewlines(const QString &s); // strips blanks and newlines
QString trimmedNewlines(const QString &s);          // strips newlines only

// Full Unicode case mapping, locale-free.
inline QString upper(const QString &s) { return s.toUpper(); }
inline QString lower(const QString &s) { return s.toLower(); }
// Case-insensitive containment (NFC + full upper-casing on both sides).
bool containsIgnoringCase(const QString &haystack, const QString &needle);
// Folds case and diacritics: NFD, drop Mn, upper then lower, NFC.
QString foldCaseAndDiacritics(const QString &s);

// Strict decimal integer: optional sign, ASCII digits only, nothing else; overflow → none.
std::optional<qint64> parseDecimalInt64(QStringView s);

// printf-style "%g" (6 significant digits), always with a '.' separator.
QString formatG(double value);

// The grammatical number a count takes in Polish: one for 1; few for 2–4,
// 22–24, 32–34… (not 12–14); many otherwise (0, 5–21, 25–31…). English only
// tells one from the rest, which the Polish forms already do: the translation
// table gives each Polish form its English row (one → singular, few and many
// → plural), so "1 utwór" reads "1 track" and "2 utwory" reads "2 tracks".
enum class Plural { One, Few, Many };
Plural plural(qint64 n);
// The text of the three (in the form plural(n) picks) with every "{0}" replaced
// by the number, e.g. count(5, u"{0} utwór", u"{0} utwory", u"{0} utworów").
QString count(qint64 n, QStringView one, QStringView few, QStringView many);

// Byte counts in the file style: base 1000, bajt/bajty/bajtów (agreeing with the
// number) below 1 KB, then KB/MB/GB/TB with trailing zeros dropped.
QString byteCount(qint64 bytes);

// "yyyy-MM-dd_HH-mm-ss" with ASCII digits.
QString timestamp(const QDateTime &when);

// Canonical upper-case 8-4-4-4-12 UUID text, and a strict check of that form.
QString newUuid();
bool isUuid(const QString &s);

// Regular expressions always compiled with Unicode properties.
QRegularExpression regex(const QString &pattern,
                         QRegularExpression::PatternOptions extra = QRegularExpression::NoPatternOption);

} // namespace text
