#pragma once

// Every text a person can see or hear in a window, and a check that none of it
// is left in Polish when the interface speaks English.
//
// The harvest reads what widgets hold (labels, buttons, fields, lists, menus,
// window titles, tooltips, status tips, accessible names, the rows of item
// views) and also what they paint: the window is rendered onto a device whose
// paint engine keeps the text of every text item drawn, so rows painted by
// delegates, cards and captions drawn by hand are read the same way.

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class QWidget;

namespace texts {

// One text and where it was found ("QLabel titleLabel · text", "painted by AlbumGrid"…).
struct Text {
    QString text;
    QString where;
};

// The texts painted when `widget` (and its visible children) is rendered.
QList<Text> painted(QWidget *widget);

// Every text of `widget` and the widgets inside it (in its own window), held and painted.
QList<Text> of(QWidget *widget);

// Every text of the window `window` and of the windows it owns that are shown
// (sheets, alerts, open menus): held and painted. Widgets hidden from the
// person (another page of a stack, a closed window) are left out.
QList<Text> harvest(QWidget *window);

// Every text of every window the application shows now.
QList<Text> harvestApplication();

// Finds texts a person would read as Polish.
class PolishFinder
{
public:
    // `table`: the translation table (Polish → English). Its Polish side gives
    // the interface's vocabulary: each word of three or more letters that no
    // English text of the table uses and that is not a name both languages share.
    explicit PolishFinder(const QHash<QString, QString> &table);

    // A word that reads the same in English (a name, a format): never flagged.
    void allowWord(const QString &word);
    // Data of the person's own (an album title, a file name): removed from a
    // text before it is checked.
    void allowData(const QString &data);

    // Why `text` reads as Polish ("Polish letter “ł”", "Polish word “Brak”"),
    // or an empty string when it does not.
    QString why(const QString &text) const;

    // The texts of `found` that read as Polish, one line each with where they
    // were found; empty when none. Each text is listed once.
    QStringList polishAmong(const QList<Text> &found) const;

    const QSet<QString> &vocabulary() const { return m_vocabulary; }

private:
    QSet<QString> m_vocabulary; // lower case
    QSet<QString> m_allowedWords; // lower case
    QStringList m_data;         // longest first
};

// Finds texts a person would read as English on a Polish screen: the words
// that Qt's own dialogs, menus and buttons and the platform's messages show
// when no Polish text answers for them ("Cancel", "Copy", "No space left on
// device", "Could not open file"), and Mac words a Linux program never uses.
class EnglishFinder
{
public:
    EnglishFinder();

    // Data of the person's own: removed from a text before it is checked.
    void allowData(const QString &data);

    // Whether Qt's own words are looked for (on by default): they can be
    // Polish only where Qt's Polish catalogue is installed.
    void setQtWordsChecked(bool checked) { m_qtWords = checked; }

    // Why `text` reads as English ("Qt's word “Cancel”"), or an empty string.
    QString why(const QString &text) const;

    // The texts of `found` that read as English, one line each with where
    // they were found; empty when none. Each text is listed once.
    QStringList englishAmong(const QList<Text> &found) const;

    // The words of Qt's own dialogs and standard menus (file chooser, the
    // context menu of a text field, standard buttons).
    static const QStringList &qtWords();
    // The platform's own messages and the English of our counted nouns.
    static const QStringList &platformWords();

private:
    QStringList m_data; // longest first
    bool m_qtWords = true;
};

} // namespace texts
