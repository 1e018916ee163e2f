#include "platform/text.h"

#include <QCollator>
#include <QLocale>
#include <QTextBoundaryFinder>
#include <QUuid>
#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace text {

QString nfc(const QString &s)
{
    return s.normalized(QString::NormalizationForm_C);
}

bool equivalent(const QString &a, const QString &b)
{
    return a == b || nfc(a) == nfc(b);
}

bool hasPrefix(const QString &s, const QString &prefix)
{
    return nfc(s).startsWith(nfc(prefix));
}

namespace {

QLocale collationLocale()
{
    const QLocale locale;
    if (locale.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

QCollator &finderCollator()
{
    // A collator initialises lazily and is not safe to share between threads.
    thread_local QCollator collator = [] {
        QCollator c(collationLocale());
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setIgnorePunctuation(false);
        return c;
    }();
    return collator;
}

} // namespace

int finderCompare(QStringView a, QStringView b)
{
    const int r = finderCollator().compare(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

QCollatorSortKey finderSortKey(const QString &s)
{
    return finderCollator().sortKey(s);
}

int plainCompare(QStringView a, QStringView b)
{
    // Up to the first unit that differs, both texts are alike. When neither
    // of those two units is part of a surrogate pair, the order of code points
    // is the order of those units (whatever came before is paired alike in
    // both); only a surrogate there needs the walk by code points below.
    const qsizetype common = std::min(a.size(), b.size());
    qsizetype k = 0;
    while (k < common && a[k] == b[k])
        ++k;
    if (k == common)
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    if (!a[k].isSurrogate() && !b[k].isSurrogate())
        return a[k].unicode() < b[k].unicode() ? -1 : 1;
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t ca = a[i].unicode(), cb = b[j].unicode();
        if (QChar::isHighSurrogate(ca) && i + 1 < a.size() && a[i + 1].isLowSurrogate()) {
            ca = QChar::surrogateToUcs4(a[i].unicode(), a[i + 1].unicode());
            ++i;
        }
        if (QChar::isHighSurrogate(cb) && j + 1 < b.size() && b[j + 1].isLowSurrogate()) {
            cb = QChar::surrogateToUcs4(b[j].unicode(), b[j + 1].unicode());
            ++j;
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

QStringList graphemes(const QString &s)
{
    QStringList parts;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        if (end > start)
            parts.append(s.mid(start, end - start));
        start = end;
    }
    return parts;
}

qsizetype graphemeCount(const QString &s)
{
    if (s.isEmpty())
        return 0;
    qsizetype count = 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        if (finder.position() > start)
            ++count;
        start = finder.position();
    }
    return count;
}

QString firstGraphemes(const QString &s, qsizetype n)
{
    if (n <= 0)
        return QString();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    qsizetype count = 0, start = 0;
    while (finder.toNextBoundary() != -1) {
        if (finder.position() > start) {
            ++count;
            if (count == n)
                return s.left(finder.position());
        }
        start = finder.position();
    }
    return s;
}

bool isBlank(char32_t c)
{
    return c == U'\t' || QChar::category(c) == QChar::Separator_Space;
}

bool isNewline(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

namespace {

// Walks UTF-16 code units so that the kept middle is the original text, lone
// surrogates included (a round trip through UCS-4 would replace them).
template <typename Pred>
QString trimmedBy(const QString &s, Pred pred)
{
    qsizetype b = 0, e = s.size();
    while (b < e) {
        const bool pair = QChar::isHighSurrogate(s[b].unicode()) && b + 1 < e && s[b + 1].isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(s[b], s[b + 1]) : s[b].unicode();
        if (!pred(c))
            break;
        b += pair ? 2 : 1;
    }
    while (e > b) {
        const bool pair = s[e - 1].isLowSurrogate() && e - 2 >= b && s[e - 2].isHighSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(s[e - 2], s[e - 1]) : s[e - 1].unicode();
        if (!pred(c))
            break;
        e -= pair ? 2 : 1;
    }
    if (b == 0 && e == s.size())
        return s;
    return s.mid(b, e - b);
}

} // namespace

QString trimmedBlanks(const QString &s) { return trimmedBy(s, [](char32_t c) { return isBlank(c); }); }
QString trimmedBlanksAndNewlines(const QString &s) { return trimmedBy(s, [](char32_t c) { return isBlankOrNewline(c); }); }
QString trimmedNewlines(const QString &s) { return trimmedBy(s, [](char32_t c) { return isNewline(c); }); }

bool containsIgnoringCase(const QString &haystack, const QString &needle)
{
    return nfc(haystack).toUpper().contains(nfc(needle).toUpper());
}

QString foldCaseAndDiacritics(const QString &s)
{
    const QString decomposed = s.normalized(QString::NormalizationForm_D);
    QString kept;
    kept.reserve(decomposed.size());
    const QList<uint> cps = decomposed.toUcs4();
    for (uint c : cps) {
        if (QChar::category(c) == QChar::Mark_NonSpacing)
            continue;
        const char32_t cp = c;
        kept.append(QString::fromUcs4(&cp, 1));
    }
    return kept.toUpper().toLower().normalized(QString::NormalizationForm_C);
}

std::optional<qint64> parseDecimalInt64(QStringView s)
{
    if (s.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    bool negative = false;
    if (s[0] == u'+' || s[0] == u'-') {
        negative = s[0] == u'-';
        i = 1;
    }
    if (i == s.size())
        return std::nullopt;
    // Accumulate as a negative number so that INT64_MIN parses too.
    qint64 value = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == std::numeric_limits<qint64>::min())
            return std::nullopt;
        value = -value;
    }
    return value;
}

QString formatG(double value)
{
    // QString::asprintf is locale-independent, unlike std::snprintf after setlocale().
    return QString::asprintf("%g", value);
}

Plural plural(qint64 n)
{
    // The magnitude decides; the sign never changes the form. Computed on the
    // unsigned value so that the smallest qint64 has one too.
    const quint64 magnitude = n < 0 ? 0 - quint64(n) : quint64(n);
    if (magnitude == 1)
        return Plural::One;
    const quint64 lastTwo = magnitude % 100;
    const quint64 last = magnitude % 10;
    if (last >= 2 && last <= 4 && !(lastTwo >= 12 && lastTwo <= 14))
        return Plural::Few;
    return Plural::Many;
}

namespace {

QString formOf(qint64 n, QStringView one, QStringView few, QStringView many)
{
    switch (plural(n)) {
    case Plural::One: return one.toString();
    case Plural::Few: return few.toString();
    case Plural::Many: break;
    }
    return many.toString();
}

} // namespace

QString count(qint64 n, QStringView one, QStringView few, QStringView many)
{
    return formOf(n, one, few, many).replace(u"{0}"_s, QString::number(n));
}

QString byteCount(qint64 bytes)
{
    const QLocale locale;
    if (bytes < 1000 && bytes > -1000)
        return locale.toString(bytes) + u' ' + formOf(bytes, u"bajt", u"bajty", u"bajtów");
    static const char16_t *const units[] = {u"KB", u"MB", u"GB", u"TB", u"PB"};
    constexpr int lastUnit = 4;
    double value = double(bytes) / 1000.0;
    int unit = 0;
    while ((value >= 1000.0 || value <= -1000.0) && unit < lastUnit) {
        value /= 1000.0;
        ++unit;
    }
    auto digitsOf = [](int u) { return u == 0 ? 0 : (u == 1 ? 1 : 2); };
    // 999,999 bytes round to "1000 KB": show that as the next unit, "1 MB".
    while (unit < lastUnit) {
        const double scale = std::pow(10.0, digitsOf(unit));
        if (std::abs(std::round(value * scale) / scale) < 1000.0)
            break;
        value /= 1000.0;
        ++unit;
    }
    const int digits = digitsOf(unit);
    QString number = locale.toString(value, 'f', digits);
    if (digits > 0) {
        const QString point = locale.decimalPoint();
        if (number.contains(point)) {
            while (number.endsWith(u'0'))
                number.chop(1);
            if (number.endsWith(point))
                number.chop(point.size());
        }
    }
    return number + u' ' + QString::fromUtf16(units[unit]);
}

QString timestamp(const QDateTime &when)
{
    return QLocale::c().toString(when, u"yyyy-MM-dd_HH-mm-ss"_s);
}

QString newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

bool isUuid(const QString &s)
{
    // \z, not $: "$" would also accept a trailing line feed.
    static const QRegularExpression pattern(
        u"^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\z"_s);
    return pattern.match(s).hasMatch();
}

QRegularExpression regex(const QString &pattern, QRegularExpression::PatternOptions extra)
{
    return QRegularExpression(pattern, extra | QRegularExpression::UseUnicodePropertiesOption);
}

} // namespace text
