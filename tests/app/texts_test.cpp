// The reading of a window's texts and the check for Polish left in English:
// what is held, what is painted, what is hidden, and which texts read as Polish.

#include "support/texts.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QHash<QString, QString> &smallTable()
{
    static const QHash<QString, QString> table = {
        {u"Brak okładki"_s, u"No cover"_s},
        {u"Nieznany artysta"_s, u"Unknown artist"_s},
        {u"Utwory"_s, u"Tracks"_s},
        {u"Dodaj muzykę"_s, u"Add Music"_s},
        {u"Album"_s, u"Album"_s},
        {u"Folder {0} nie istnieje"_s, u"The folder {0} does not exist"_s},
        {u"Zapisz na iPodzie"_s, u"Save on the iPod"_s},
    };
    return table;
}

TEST(PolishFinder, FlagsPolishLettersAndTheInterfaceVocabulary)
{
    texts::PolishFinder finder(smallTable());
    struct Case {
        QString text;
        bool polish;
    };
    const Case cases[] = {
        {u"No cover"_s, false},
        {u"Unknown artist"_s, false},
        {u"Tracks: 3"_s, false},
        {u"The folder Music does not exist"_s, false},
        {u"Album"_s, false},                // the same word in both languages
        {u"Brak"_s, true},                  // no Polish letter, yet a word of the interface
        {u"Nieznany artysta"_s, true},
        {u"Tracks: 3 · UTWORY"_s, true},    // letter case does not hide a word
        {u"Zażółć"_s, true},                // a letter, even in a word the table never used
        {u"\u201EKind of Blue\u201D"_s, true}, // a Polish opening quotation mark
        {u"Rockbox on the iPod"_s, false},  // names both languages share
        {u"Zapisz na iPodzie"_s, true},     // the name is allowed, the words around it are not
        {u"nie"_s, true},                   // a word of a pattern's fixed part
        {u"Folder"_s, false},               // a word the English side uses too
    };
    for (const Case &c : cases)
        EXPECT_EQ(!finder.why(c.text).isEmpty(), c.polish) << c.text.toStdString() << " → " << finder.why(c.text).toStdString();

    EXPECT_TRUE(finder.vocabulary().contains(u"brak"_s));
    EXPECT_FALSE(finder.vocabulary().contains(u"folder"_s));
    EXPECT_FALSE(finder.vocabulary().contains(u"album"_s));
    EXPECT_EQ(finder.why(u"Nieznany"_s), u"Polish word \u201CNieznany\u201D"_s);
    EXPECT_EQ(finder.why(u"Zażółć"_s), u"Polish letter \u201Cż\u201D"_s);
}

TEST(EnglishFinder, FlagsQtsAndThePlatformsEnglishOnPolishScreens)
{
    texts::EnglishFinder finder;
    struct Case {
        QString text;
        bool english;
    };
    const Case cases[] = {
        {u"Cancel"_s, true},
        {u"&Copy"_s.remove(u'&'), true},
        {u"Look in:"_s, true},
        {u"Select All"_s, true},
        {u"0 utworów · 0 bytes"_s, true},
        {u"1 byte"_s, true},
        {u"Nie można odtworzyć pliku na Macu: Could not open file"_s, true},
        {u"Host musicbrainz.org not found"_s, true},
        {u"Transfer przerwany\n\nNo space left on device"_s, true},
        {u"Pokaż w Finderze"_s, true},
        {u"3 tracks"_s, true},
        // Polish, and the names of real macOS things.
        {u"Anuluj"_s, false},
        {u"0 utworów · 0 bajtów"_s, false},
        {u"Posprzątaj pliki macOS (._)"_s, false},
        {u"MacMetadata-2026-01-01"_s, false},
        {u"Otwórz w menedżerze plików"_s, false},
        {u"Utwory są dostępne w Files → Music."_s, false}, // Rockbox's own menu names
        {u"OpenGL"_s, false},                               // whole words only
        {u"open"_s, false},                                 // Qt's words as Qt writes them
    };
    for (const Case &c : cases)
        EXPECT_EQ(!finder.why(c.text).isEmpty(), c.english) << c.text.toStdString() << " → " << finder.why(c.text).toStdString();
    EXPECT_EQ(finder.why(u"Cancel"_s), u"Qt's word \u201CCancel\u201D"_s);

    // The person's own data may be English.
    EXPECT_FALSE(finder.why(u"Open Your Eyes · Anuluj"_s).isEmpty());
    finder.allowData(u"Open Your Eyes"_s);
    EXPECT_TRUE(finder.why(u"Open Your Eyes · Anuluj"_s).isEmpty());
    const QList<texts::Text> found = {{u"Cancel"_s, u"QPushButton"_s}, {u"Anuluj"_s, u"QPushButton"_s},
                                      {u"Cancel"_s, u"QPushButton other"_s}};
    EXPECT_EQ(finder.englishAmong(found).size(), 1);
}

TEST(PolishFinder, DataOfThePersonIsNotTheInterface)
{
    texts::PolishFinder finder(smallTable());
    EXPECT_FALSE(finder.why(u"Zażółć gęślą jaźń · Brak Records"_s).isEmpty());
    finder.allowData(u"Zażółć gęślą jaźń"_s);
    finder.allowData(u"Brak Records"_s);
    EXPECT_TRUE(finder.why(u"Zażółć gęślą jaźń · Brak Records"_s).isEmpty());
    // The data is allowed where it stands, not its words anywhere else.
    EXPECT_FALSE(finder.why(u"Brak okładki"_s).isEmpty());
    finder.allowWord(u"Brak"_s);
    EXPECT_TRUE(finder.why(u"Brak"_s).isEmpty());
}

// A widget that paints its caption itself, as delegates and cards do.
class PaintedCaption : public QWidget
{
public:
    explicit PaintedCaption(QString caption) : m_caption(std::move(caption)) { setMinimumSize(200, 40); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawText(rect(), Qt::AlignCenter, m_caption);
    }

private:
    QString m_caption;
};

TEST(Harvest, ReadsHeldPaintedAndMenuTextsButNotHiddenOnes)
{
    QMainWindow window;
    window.setWindowTitle(u"Vontaro"_s);
    QMenu *menu = window.menuBar()->addMenu(u"&Plik"_s);
    menu->addAction(u"Dodaj muzykę…"_s)->setStatusTip(u"Wybierz folder"_s);
    QMenu *sub = menu->addMenu(u"Eksport"_s);
    sub->addAction(u"Zapisz playlistę"_s);
    menu->addAction(u"Ukryta akcja"_s)->setVisible(false);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(new QLabel(u"<b>Utwory</b>"_s));
    auto *button = new QPushButton(u"Add Music"_s);
    button->setToolTip(u"Dodaj pliki"_s);
    button->setAccessibleName(u"Dodawanie"_s);
    layout->addWidget(button);
    layout->addWidget(new PaintedCaption(u"Nieznany artysta"_s));
    auto *list = new QListWidget;
    auto *item = new QListWidgetItem(u"Kind of Blue"_s);
    item->setToolTip(u"Brak okładki"_s);
    list->addItem(item);
    layout->addWidget(list);
    auto *hidden = new QLabel(u"Schowany"_s);
    layout->addWidget(hidden);
    hidden->hide();
    window.setCentralWidget(central);
    window.resize(500, 500);
    window.show();

    auto *alert = new QMessageBox(QMessageBox::Warning, u"Błąd"_s, u"Nie udało się"_s, QMessageBox::Ok, &window);
    alert->setInformativeText(u"Spróbuj ponownie"_s);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
    QApplication::processEvents();

    const QList<texts::Text> found = texts::harvest(&window);
    QHash<QString, QStringList> where;
    for (const texts::Text &text : found)
        where[text.text].append(text.where);

    for (const QString &expected : {u"Vontaro"_s, u"Plik"_s, u"Dodaj muzykę…"_s, u"Wybierz folder"_s, u"Eksport"_s,
                                    u"Zapisz playlistę"_s, u"Utwory"_s, u"Add Music"_s, u"Dodaj pliki"_s,
                                    u"Dodawanie"_s, u"Kind of Blue"_s, u"Brak okładki"_s, u"Nie udało się"_s,
                                    u"Spróbuj ponownie"_s})
        EXPECT_TRUE(where.contains(expected)) << expected.toStdString();
    EXPECT_FALSE(where.contains(u"Ukryta akcja"_s));
    EXPECT_FALSE(where.contains(u"Schowany"_s));

    // What only the paint shows is read from the paint, named by the widget that painted it.
    ASSERT_TRUE(where.contains(u"Nieznany artysta"_s));
    EXPECT_TRUE(where.value(u"Nieznany artysta"_s).join(u'|').contains(u"painted by"_s));
    // The rich text of a label is read as the person sees it.
    EXPECT_FALSE(where.contains(u"<b>Utwory</b>"_s));

    texts::PolishFinder finder(smallTable());
    finder.allowData(u"Kind of Blue"_s);
    const QStringList polish = finder.polishAmong(found);
    const QString all = polish.join(u'\n');
    EXPECT_TRUE(all.contains(u"\u201CNieznany artysta\u201D"_s)) << all.toStdString();
    EXPECT_TRUE(all.contains(u"\u201CBrak okładki\u201D"_s)) << all.toStdString();
    EXPECT_TRUE(all.contains(u"\u201CUtwory\u201D"_s)) << all.toStdString();
    EXPECT_TRUE(all.contains(u"\u201CNie udało się\u201D"_s)) << all.toStdString();
    EXPECT_FALSE(all.contains(u"Kind of Blue"_s));
    EXPECT_FALSE(all.contains(u"\u201CAdd Music\u201D"_s));
    // A text found in several places is listed once.
    EXPECT_EQ(polish.filter(u"\u201CNieznany artysta\u201D"_s).size(), 1);
}

} // namespace
