#pragma once

// The interface language and the English rendering of the Polish interface texts.
//
// Every text is written in the code in Polish; when the resolved language is
// English, `display()` passes it through the translation table `:/English.json`
// (Polish text → English text, numbered placeholders {0}, {1}… for the variable
// parts). The tables are built once per process, on first use, and are safe to
// use from any thread.

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>

class AppLocalizer
{
public:
    AppLocalizer() = delete;

    // "pl" or "en": the setting "appLanguage" when it is exactly "pl" or "en",
    // otherwise ("system", unset or anything else) the first preferred language
    // of the user: "pl" when it begins with "pl", "en" otherwise (also when none).
    static QString language();

    // The English text for a Polish one, or the text unchanged where no rule
    // applies. Callers pass depth 0; the translator nests itself with depth + 1.
    static QString translateEnglish(const QString &text, int depth = 0);

    // The one display rule of every view and of the model's texts.
    static QString display(const QString &text);

    // Qt's own texts (file choosers, the menu of every text field, standard
    // buttons) in the interface language: while language() is "pl" Qt's Polish
    // catalogues (qtCatalogues(), from Qt's translations folder) are installed
    // in the application; otherwise none is, and Qt speaks its own English.
    // Call on the main thread at start and after each change of the setting;
    // nothing changes when the language is the one already applied. Returns
    // the files it looked for and did not find.
    static QStringList applyQtTranslations();
    // The Qt catalogues the interface uses: "qtbase" and "qtmultimedia".
    static QStringList qtCatalogues();

    // The translation table itself.
    static const QHash<QString, QString> &english();

    // Where the user's preferred languages come from; an empty function restores
    // the system's (QLocale::system().uiLanguages()).
    using PreferredLanguages = std::function<QStringList()>;
    static void setPreferredLanguages(PreferredLanguages source);

    // Tests: drop every table and build them again, on next use, from the JSON
    // file at `path` (a missing or malformed file gives an empty table).
    static void loadTableForTesting(const QString &path);
    // Drop every table; the next use loads the application's own table again.
    static void resetTables();
};
