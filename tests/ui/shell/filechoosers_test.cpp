// The music chooser as a person uses it: several files and a folder picked
// together in one dialog, every track of them queued; cancelling adds nothing;
// the dialog speaks the interface language.

#include "ui/shell/filechoosers.h"

#include "support/pagetesting.h"
#include "support/qtprinters.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

const QString audio = QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/");

class MusicChooser : public PageTest
{
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        window.resize(800, 600);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        filechoosers::install(model.get(), &window);
        // Two loose files, a folder of two tracks, and one more file that stays unchosen.
        const QDir root(music.path());
        root.mkpath(u"Album"_s);
        ASSERT_TRUE(QFile::copy(audio + u"tagged.mp3"_s, root.filePath(u"one.mp3"_s)));
        ASSERT_TRUE(QFile::copy(audio + u"tagged.flac"_s, root.filePath(u"two.flac"_s)));
        ASSERT_TRUE(QFile::copy(audio + u"vorbis.ogg"_s, root.filePath(u"left out.ogg"_s)));
        ASSERT_TRUE(QFile::copy(audio + u"wav24.wav"_s, root.filePath(u"Album/a.wav"_s)));
        ASSERT_TRUE(QFile::copy(audio + u"opus.opus"_s, root.filePath(u"Album/b.opus"_s)));
    }
    void TearDown() override
    {
        window.hide();
        PageTest::TearDown();
    }

    FilesAndFoldersDialog *openChooser()
    {
        model->importMusic();
        FilesAndFoldersDialog *dialog = nullptr;
        waitFor([&] { return (dialog = window.findChild<FilesAndFoldersDialog *>()) && dialog->isVisible(); });
        return dialog;
    }

    QListView *listIn(FilesAndFoldersDialog *dialog, const QStringList &names)
    {
        dialog->setDirectory(music.path());
        auto *list = dialog->findChild<QListView *>(u"listView"_s);
        // The folder's entries are read in the background.
        waitFor([&] {
            return std::all_of(names.cbegin(), names.cend(), [&](const QString &name) { return row(list, name).isValid(); });
        });
        return list;
    }

    static QModelIndex row(QListView *list, const QString &name)
    {
        const QModelIndex root = list->rootIndex();
        for (int r = 0; r < list->model()->rowCount(root); ++r)
            if (list->model()->index(r, 0, root).data().toString() == name)
                return list->model()->index(r, 0, root);
        return {};
    }

    static QPushButton *acceptButton(FilesAndFoldersDialog *dialog)
    {
        return dialog->findChild<QDialogButtonBox *>(u"buttonBox"_s)->button(QDialogButtonBox::Open);
    }

    QTemporaryDir music;
    QWidget window;
};

TEST_F(MusicChooser, twoFilesAndAFolderChosenTogetherAreAllQueued)
{
    FilesAndFoldersDialog *dialog = openChooser();
    ASSERT_TRUE(dialog);
    QListView *list = listIn(dialog, {u"one.mp3"_s, u"two.flac"_s, u"Album"_s});
    // A click on the first, Ctrl+clicks on the others, as a person picks several.
    bool firstClick = true;
    for (const QString &name : {u"one.mp3"_s, u"Album"_s, u"two.flac"_s}) {
        const QModelIndex index = row(list, name);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, firstClick ? Qt::NoModifier : Qt::ControlModifier,
                          list->visualRect(index).center());
        firstClick = false;
    }
    QApplication::processEvents();
    const QDir root(music.path());
    QStringList expected{root.filePath(u"Album"_s), root.filePath(u"one.mp3"_s), root.filePath(u"two.flac"_s)};
    QStringList chosen = dialog->chosen();
    chosen.sort();
    EXPECT_EQ(chosen, expected);
    // A folder among the selection does not turn the button into "Open".
    QPushButton *accept = acceptButton(dialog);
    ASSERT_TRUE(accept && accept->isEnabled());
    EXPECT_EQ(accept->text(), u"Dodaj muzykę"_s);

    QTest::mouseClick(accept, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return model->tracks().size() == 4 && !model->busy(); }));
    QStringList queued;
    for (const Track &track : model->tracks()) {
        EXPECT_TRUE(model->queued().contains(track.id)) << track.url.toStdString();
        queued << QFileInfo(track.url).fileName();
    }
    queued.sort();
    EXPECT_EQ(queued, QStringList({u"a.wav"_s, u"b.opus"_s, u"one.mp3"_s, u"two.flac"_s}));
}

TEST_F(MusicChooser, aFolderNamedInTheNameFieldIsTakenNotOpened)
{
    FilesAndFoldersDialog *dialog = openChooser();
    ASSERT_TRUE(dialog);
    listIn(dialog, {u"Album"_s});
    auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
    ASSERT_TRUE(name);
    name->setText(u"Album"_s);
    QTest::mouseClick(acceptButton(dialog), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return model->tracks().size() == 2 && !model->busy(); }));
    EXPECT_EQ(model->queued().size(), 2);
}

TEST_F(MusicChooser, cancellingAddsNothing)
{
    FilesAndFoldersDialog *dialog = openChooser();
    ASSERT_TRUE(dialog);
    QListView *list = listIn(dialog, {u"one.mp3"_s});
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row(list, u"one.mp3"_s)).center());
    QPointer<FilesAndFoldersDialog> open(dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !open; }));
    QApplication::processEvents();
    EXPECT_FALSE(model->busy());
    EXPECT_TRUE(model->tracks().isEmpty());
    EXPECT_TRUE(model->queued().isEmpty());
}

TEST_F(MusicChooser, theDialogSpeaksTheInterfaceLanguage)
{
    for (const QString &language : {u"pl"_s, u"en"_s}) {
        setLanguage(language);
        FilesAndFoldersDialog *dialog = openChooser();
        ASSERT_TRUE(dialog);
        QStringList labels;
        for (QLabel *label : dialog->findChildren<QLabel *>())
            if (label->isVisible())
                labels << label->text();
        const QString cancel = dialog->findChild<QDialogButtonBox *>(u"buttonBox"_s)->button(QDialogButtonBox::Cancel)->text();
        if (language == u"pl"_s) {
            EXPECT_TRUE(labels.contains(u"Szukaj w:"_s)) << labels.join(u'|').toStdString();
            EXPECT_TRUE(labels.contains(u"Pliki i foldery:"_s));
            EXPECT_EQ(cancel, u"Anuluj"_s);
            EXPECT_EQ(acceptButton(dialog)->text(), u"Dodaj muzykę"_s);
        } else {
            EXPECT_TRUE(labels.contains(u"Look in:"_s)) << labels.join(u'|').toStdString();
            EXPECT_TRUE(labels.contains(u"Files and folders:"_s));
            EXPECT_EQ(cancel, u"Cancel"_s);
            EXPECT_EQ(acceptButton(dialog)->text(), u"Add Music"_s);
        }
        listIn(dialog, {u"Album"_s, u"one.mp3"_s});
        // The details' type column names folders and files in the interface
        // language too, whatever language the system's locale speaks.
        dialog->setViewMode(QFileDialog::Detail);
        auto *details = dialog->findChild<QTreeView *>(u"treeView"_s);
        ASSERT_TRUE(details);
        const QAbstractItemModel *entries = details->model();
        const auto typeOf = [&](const QString &name) {
            const QModelIndex root = details->rootIndex();
            for (int r = 0; r < entries->rowCount(root); ++r)
                if (entries->index(r, 0, root).data().toString() == name)
                    return entries->index(r, 2, root).data().toString();
            return QString();
        };
        ASSERT_TRUE(waitFor([&] { return !typeOf(u"one.mp3"_s).isEmpty() && !typeOf(u"Album"_s).isEmpty(); }));
        const bool polish = language == u"pl"_s;
        EXPECT_EQ(typeOf(u"one.mp3"_s), polish ? u"Plik MP3"_s : u"MP3 file"_s);
        EXPECT_EQ(typeOf(u"two.flac"_s), polish ? u"Plik FLAC"_s : u"FLAC file"_s);
        EXPECT_EQ(typeOf(u"Album"_s), u"Folder"_s);
        EXPECT_EQ(entries->headerData(2, Qt::Horizontal).toString(), polish ? u"Rodzaj"_s : u"Type"_s);
        // Qt's texts changed with the language meanwhile, and the view; the
        // accept button keeps (or gets back at once) its label.
        const QString label = polish ? u"Dodaj muzykę"_s : u"Add Music"_s;
        EXPECT_TRUE(waitFor([&] { return acceptButton(dialog)->text() == label; })) << acceptButton(dialog)->text().toStdString();
        // Every column shows its whole header and the dates whole.
        for (int column = 1; column < details->header()->count(); ++column) {
            const QString title = entries->headerData(column, Qt::Horizontal).toString();
            EXPECT_GE(details->header()->sectionSize(column), details->header()->fontMetrics().horizontalAdvance(title))
                << title.toStdString();
        }
        const QModelIndex first = details->model()->index(0, 3, details->rootIndex());
        EXPECT_GE(details->header()->sectionSize(3),
                  details->fontMetrics().horizontalAdvance(first.data().toString()));
        for (bool dark : {false, true}) {
            dialog->setPalette(dark ? kit::darkPalette() : kit::lightPalette());
            QApplication::processEvents();
            EXPECT_TRUE(dialog->grab().save(
                screenshotPath(u"musicchooser-%1-%2.png"_s.arg(language, dark ? u"dark"_s : u"light"_s))));
        }
        QPointer<FilesAndFoldersDialog> open(dialog);
        dialog->reject();
        ASSERT_TRUE(waitFor([&] { return !open; }));
    }
}

} // namespace
