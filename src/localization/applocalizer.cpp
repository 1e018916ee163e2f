#include "localization/applocalizer.h"

#include "platform/defaults.h"
#include "platform/text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kResource = u":/English.json"_s;

// One key of the table that holds placeholders, ready to match a whole text.
struct Pattern {
    QRegularExpression expression;
    QString translated;
    QList<int> placeholders; // entry i belongs to capture group i + 1
};

// The tables of one table source. Each part is built on first need, once, even
// when several threads ask at the same moment; afterwards it is only read.
struct Tables {
    explicit Tables(QString path) : source(std::move(path)) {}

    QString source;

    std::once_flag englishOnce;
    QHash<QString, QString> english;
    QStringList order; // the table's own order, used when upper-case keys collide

    std::once_flag uppercaseOnce;
    QHash<QString, QString> uppercase;

    std::once_flag patternsOnce;
    std::vector<Pattern> patterns;
};

// The tables in use. Tables replaced by a test seam are kept alive, so a
// reference handed out earlier (english()) never dangles.
std::atomic<Tables *> g_current{nullptr};
std::mutex g_tablesMutex;
std::vector<std::unique_ptr<Tables>> &allTables()
{
    static std::vector<std::unique_ptr<Tables>> tables;
    return tables;
}

void install(const QString &source)
{
    std::lock_guard lock(g_tablesMutex);
    auto tables = std::make_unique<Tables>(source);
    g_current.store(tables.get(), std::memory_order_release);
    allTables().push_back(std::move(tables));
}

Tables &current()
{
    if (Tables *t = g_current.load(std::memory_order_acquire))
        return *t;
    std::lock_guard lock(g_tablesMutex);
    if (Tables *t = g_current.load(std::memory_order_acquire))
        return *t;
    auto tables = std::make_unique<Tables>(kResource);
    Tables *t = tables.get();
    allTables().push_back(std::move(tables));
    g_current.store(t, std::memory_order_release);
    return *t;
}

std::mutex g_preferredMutex;
AppLocalizer::PreferredLanguages &preferredSource()
{
    static AppLocalizer::PreferredLanguages source;
    return source;
}

QStringList preferredLanguages()
{
    AppLocalizer::PreferredLanguages source;
    {
        std::lock_guard lock(g_preferredMutex);
        source = preferredSource();
    }
    if (source)
        return source();
    return QLocale::system().uiLanguages();
}

// "{n}": an opening brace, ASCII digits, a closing brace.
const QRegularExpression &tokens()
{
    static const QRegularExpression expression = [] {
        QRegularExpression e(u"\\{([0-9]+)\\}"_s);
        e.optimize();
        return e;
    }();
    return expression;
}

// A missing, unreadable or malformed table, or one with a value that is not a
// text, is an empty table: every text then stays Polish.
void loadEnglish(Tables &t)
{
    QFile file(t.source);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return;
    const QJsonObject object = document.object();
    QHash<QString, QString> table;
    QStringList order;
    table.reserve(object.size());
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!it.value().isString())
            return;
        table.insert(it.key(), it.value().toString());
        order.append(it.key());
    }
    t.english = std::move(table);
    t.order = std::move(order);
}

const QHash<QString, QString> &englishOf(Tables &t)
{
    std::call_once(t.englishOnce, [&t] { loadEnglish(t); });
    return t.english;
}

const QHash<QString, QString> &uppercaseOf(Tables &t)
{
    std::call_once(t.uppercaseOnce, [&t] {
        const QHash<QString, QString> &english = englishOf(t);
        t.uppercase.reserve(english.size());
        for (const QString &key : std::as_const(t.order)) {
            const QString upper = text::upper(key);
            if (!t.uppercase.contains(upper))
                t.uppercase.insert(upper, text::upper(english.value(key)));
        }
    });
    return t.uppercase;
}

// Placeholder number of a "{n}" match; none when it does not fit an int.
std::optional<int> placeholderNumber(const QRegularExpressionMatch &match)
{
    bool ok = false;
    const int number = match.capturedView(1).toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

QString withoutPlaceholders(const QString &key)
{
    QString fixed = key;
    fixed.remove(tokens());
    return fixed;
}

void buildPatterns(Tables &t)
{
    const QHash<QString, QString> &english = englishOf(t);

    struct Key {
        QString text;
        qsizetype fixedLength;
    };
    std::vector<Key> keys;
    keys.reserve(english.size());
    for (auto it = english.constBegin(); it != english.constEnd(); ++it) {
        if (it.key().contains(tokens()))
            keys.push_back({it.key(), text::graphemeCount(withoutPlaceholders(it.key()))});
    }
    // Longer fixed text first, so the most specific form wins; ties in plain order.
    std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
        if (a.fixedLength != b.fixedLength)
            return a.fixedLength > b.fixedLength;
        return text::plainLess(a.text, b.text);
    });

    for (const Key &key : keys) {
        // Anchored at the very start and end of the text (\A…\z, not ^…$), so a
        // text ending in a line feed is matched whole and keeps its line feed.
        QString expression = u"\\A"_s;
        QList<int> placeholders;
        qsizetype end = 0;
        bool malformed = false;
        for (auto it = tokens().globalMatch(key.text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            const std::optional<int> number = placeholderNumber(match);
            if (!number) {
                malformed = true;
                break;
            }
            expression += QRegularExpression::escape(QStringView(key.text).mid(end, match.capturedStart() - end));
            expression += u"([\\s\\S]*?)"_s;
            placeholders.append(*number);
            end = match.capturedEnd();
        }
        if (malformed)
            continue;
        expression += QRegularExpression::escape(QStringView(key.text).mid(end));
        expression += u"\\z"_s;
        QRegularExpression compiled(expression);
        if (!compiled.isValid())
            continue;
        compiled.optimize();
        t.patterns.push_back({std::move(compiled), english.value(key.text), std::move(placeholders)});
    }
}

const std::vector<Pattern> &patternsOf(Tables &t)
{
    std::call_once(t.patternsOnce, [&t] { buildPatterns(t); });
    return t.patterns;
}

QString translate(Tables &t, const QString &text, int depth);

// A small byte count as text::byteCount writes it ("1 bajt", "5 bajtów"): it
// stands inside composed texts ("5 utworów · 5 bajtów"), whose own rows cannot
// know its form, so it is rendered by its own rows wherever it is captured.
// Larger sizes ("8.3 MB") read the same in both languages.
bool isByteCount(const QString &value)
{
    static const QRegularExpression pattern = [] {
        QRegularExpression e(u"\\A-?[0-9][0-9\\s.,]* (?:bajt|bajty|bajtów)\\z"_s);
        e.optimize();
        return e;
    }();
    return pattern.match(value).hasMatch();
}

QString fill(Tables &t, const Pattern &pattern, const QRegularExpressionMatch &match, int depth)
{
    static const QString innerForm = u"{0}\n\n"_s;
    static const QString tagsForm = u"Tags not found: "_s;
    static const QString itemSeparator = u", "_s;

    const bool translateInner = pattern.translated.startsWith(innerForm);
    QHash<int, QString> values;
    for (qsizetype i = 0; i < pattern.placeholders.size(); ++i) {
        const int number = pattern.placeholders.at(i);
        QString captured = match.captured(int(i + 1));
        if ((translateInner && number == 0) || isByteCount(captured))
            captured = translate(t, captured, depth + 1);
        values.insert(number, captured); // a repeated number: the later capture wins
    }

    if (pattern.translated.startsWith(tagsForm) && values.contains(0)) {
        const QHash<QString, QString> &english = englishOf(t);
        QStringList items = values.value(0).split(itemSeparator);
        for (QString &item : items)
            item = english.value(item, item);
        values.insert(0, items.join(itemSeparator));
    }

    QString result = pattern.translated;
    QList<QRegularExpressionMatch> found;
    for (auto it = tokens().globalMatch(pattern.translated); it.hasNext();)
        found.append(it.next());
    // From the last to the first, so the earlier positions stay valid.
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        const std::optional<int> number = placeholderNumber(*it);
        if (!number || !values.contains(*number))
            continue; // not captured: stays as written
        result.replace(it->capturedStart(), it->capturedLength(), values.value(*number));
    }
    return result;
}

QString translate(Tables &t, const QString &text, int depth)
{
    const QHash<QString, QString> &english = englishOf(t);
    if (auto it = english.constFind(text); it != english.constEnd())
        return *it;
    const QHash<QString, QString> &uppercase = uppercaseOf(t);
    if (auto it = uppercase.constFind(text); it != uppercase.constEnd())
        return *it;
    if (depth > 3)
        return text;

    for (const Pattern &pattern : patternsOf(t)) {
        const QRegularExpressionMatch match = pattern.expression.match(text);
        if (match.hasMatch())
            return fill(t, pattern, match, depth);
    }

    if (text.contains(u'\n')) {
        QStringList lines = text.split(u'\n');
        for (QString &line : lines)
            line = translate(t, line, depth + 1);
        return lines.join(u'\n');
    }

    static const QString prefixes[] = {
        u"Nie odczytano tagów: "_s,
        u"Nie udało się pobrać okładki: "_s,
        u"Odsłuch na komputerze · "_s,
        u"Wybór grafiki nie zmienia sprzętu ani firmware. "_s,
    };
    for (const QString &prefix : prefixes) {
        if (text.startsWith(prefix))
            return english.value(prefix, prefix) + QStringView(text).mid(prefix.size());
    }
    return text;
}

} // namespace

QString AppLocalizer::language()
{
    const QString stored = Defaults::string(u"appLanguage"_s).value_or(u"system"_s);
    if (stored == u"pl" || stored == u"en")
        return stored;
    const QStringList preferred = preferredLanguages();
    if (!preferred.isEmpty() && preferred.constFirst().startsWith(u"pl"))
        return u"pl"_s;
    return u"en"_s;
}

QString AppLocalizer::translateEnglish(const QString &text, int depth)
{
    return translate(current(), text, depth);
}

QString AppLocalizer::display(const QString &text)
{
    return language() == u"en" ? translateEnglish(text, 0) : text;
}

const QHash<QString, QString> &AppLocalizer::english()
{
    return englishOf(current());
}

QStringList AppLocalizer::qtCatalogues()
{
    return {u"qtbase"_s, u"qtmultimedia"_s};
}

QStringList AppLocalizer::applyQtTranslations()
{
    // The catalogues in force and the language they were loaded for; used on the main thread only.
    static std::vector<std::unique_ptr<QTranslator>> installed;
    static QString applied;
    static QStringList missing;

    const QString wanted = language() == u"pl" ? u"pl"_s : QString();
    if (wanted == applied && missing.isEmpty())
        return {};
    for (const auto &translator : installed)
        QCoreApplication::removeTranslator(translator.get());
    installed.clear();
    missing.clear();
    applied = wanted;
    if (wanted.isEmpty())
        return missing;

    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const QString &catalogue : qtCatalogues()) {
        auto translator = std::make_unique<QTranslator>();
        const QString name = catalogue + u'_' + wanted;
        if (!translator->load(name, folder)) {
            missing.append(QDir(folder).filePath(name + u".qm"_s));
            continue;
        }
        QCoreApplication::installTranslator(translator.get());
        installed.push_back(std::move(translator));
    }
    if (!missing.isEmpty())
        qWarning("Qt's own texts stay English; not found: %s", qPrintable(missing.join(u", "_s)));
    return missing;
}

void AppLocalizer::setPreferredLanguages(PreferredLanguages source)
{
    std::lock_guard lock(g_preferredMutex);
    preferredSource() = std::move(source);
}

void AppLocalizer::loadTableForTesting(const QString &path)
{
    install(path);
}

void AppLocalizer::resetTables()
{
    install(kResource);
}
