#include "ui/shell/filechoosers.h"

#include "localization/applocalizer.h"
#include "media/records.h"
#include "model/tavomodel.h"
#include "ui/kit/kit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTranslator>
#include <QTreeView>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Opens `dialog` window-modal and answers once: with what was chosen, or none.
template <typename T, typename Pick>
void ask(QFileDialog *dialog, TavoModel::Answer<T> answer, Pick pick)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    auto answered = std::make_shared<bool>(false);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answer, pick, answered](int result) {
        if (*answered)
            return;
        *answered = true;
        if (result == QDialog::Accepted)
            answer(pick(dialog));
        else
            answer(std::nullopt);
    });
    dialog->open();
}

// The type column names entries in the interface language. Qt's own names
// come from the system's file type catalogue in the language of the system's
// locale, which need not be the interface language. Asked on the dialog's
// reading thread as well.
class InterfaceLanguageTypes : public QFileIconProvider
{
public:
    QString type(const QFileInfo &info) const override
    {
        if (info.isDir())
            return kit::tr(u"Folder"_s);
        const QString suffix = info.suffix().toUpper();
        return suffix.isEmpty() ? kit::tr(u"Plik"_s) : kit::tr(u"Plik %1"_s.arg(suffix));
    }
};

// The labels of the dialog's own fields and its type column, in the interface language.
void labelInInterfaceLanguage(QFileDialog *dialog)
{
    // Dialogs do not own their provider; this one serves them all for the process's life.
    static InterfaceLanguageTypes *types = new InterfaceLanguageTypes;
    dialog->setIconProvider(types);
    dialog->setLabelText(QFileDialog::LookIn, kit::tr(u"Szukaj w:"_s));
    dialog->setLabelText(QFileDialog::FileType, kit::tr(u"Pliki typu:"_s));
    dialog->setLabelText(QFileDialog::Reject, kit::tr(u"Anuluj"_s));
}

QFileDialog *dialog(QWidget *window, const QString &title)
{
    filechoosers::followInterfaceLanguage();
    auto *d = new QFileDialog(window, title, QDir::homePath());
    d->setOption(QFileDialog::DontUseNativeDialog, false);
    labelInInterfaceLanguage(d);
    d->setLabelText(QFileDialog::FileName, kit::tr(u"Nazwa:"_s));
    return d;
}

std::optional<QString> first(QFileDialog *d)
{
    const QStringList files = d->selectedFiles();
    return files.isEmpty() ? std::optional<QString>() : std::optional<QString>(files.first());
}

} // namespace

// ---------------------------------------------------------------------------

FilesAndFoldersDialog::FilesAndFoldersDialog(QWidget *parent, const QString &title, const QString &acceptLabel)
    : QFileDialog(parent, title, QDir::homePath())
    , m_acceptLabel(acceptLabel)
{
    filechoosers::followInterfaceLanguage();
    // Only Qt's own dialog lets folders and files be chosen together.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFiles);
    labelInInterfaceLanguage(this);
    setLabelText(QFileDialog::FileName, kit::tr(u"Pliki i foldery:"_s));
    setLabelText(QFileDialog::Accept, acceptLabel);
    // Room for the names and their details without widening the columns by hand:
    // the places beside the list wide enough for their names in either
    // language, the details' name column taking what the others leave.
    resize(kit::fittedToScreen({820, 520}, parent ? parent : this));
    if (auto *splitter = findChild<QSplitter *>(u"splitter"_s); splitter && splitter->count() == 2)
        splitter->setSizes({170, width() - 170});
    if (auto *details = findChild<QTreeView *>(u"treeView"_s)) {
        QHeaderView *header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    // Folders are always listed; the filter narrows only the files beside them.
    QStringList patterns;
    for (const QString &extension : audioExtensions())
        patterns << u"*."_s + extension;
    std::sort(patterns.begin(), patterns.end());
    setNameFilters({kit::tr(u"Pliki audio"_s) + u" ("_s + patterns.join(u' ') + u')',
                    kit::tr(u"Wszystkie pliki"_s) + u" (*)"_s});

    // The dialog renames its accept button "Open" while a folder is selected,
    // as its accept would enter the folder; here it adds it, so the label stays.
    // The dialog relabels first, in its own handlers; this runs after them.
    for (auto *view : {static_cast<QAbstractItemView *>(findChild<QListView *>(u"listView"_s)),
                       static_cast<QAbstractItemView *>(findChild<QTreeView *>(u"treeView"_s))}) {
        if (view && view->selectionModel())
            connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                    &FilesAndFoldersDialog::keepAcceptLabel, Qt::QueuedConnection);
    }
    if (auto *name = findChild<QLineEdit *>(u"fileNameEdit"_s))
        connect(name, &QLineEdit::textChanged, this, &FilesAndFoldersDialog::keepAcceptLabel, Qt::QueuedConnection);
    connect(this, &QFileDialog::directoryEntered, this, &FilesAndFoldersDialog::keepAcceptLabel, Qt::QueuedConnection);
    connect(this, &QFileDialog::currentChanged, this, &FilesAndFoldersDialog::keepAcceptLabel, Qt::QueuedConnection);
}

void FilesAndFoldersDialog::changeEvent(QEvent *event)
{
    QFileDialog::changeEvent(event);
    // A change of Qt's texts relabels the dialog's buttons with Qt's own words,
    // the button box after the dialog; the label is put back once all are done.
    if (event->type() == QEvent::LanguageChange)
        QMetaObject::invokeMethod(this, &FilesAndFoldersDialog::keepAcceptLabel, Qt::QueuedConnection);
}

void FilesAndFoldersDialog::keepAcceptLabel()
{
    if (auto *box = findChild<QDialogButtonBox *>(u"buttonBox"_s))
        if (QPushButton *open = box->button(QDialogButtonBox::Open))
            if (open->text() != m_acceptLabel)
                open->setText(m_acceptLabel);
}

QStringList FilesAndFoldersDialog::chosen() const
{
    QStringList files = selectedFiles();
    // Names typed with folders selected above them come as they are.
    for (QString &file : files)
        file = QDir::cleanPath(QDir(directory()).absoluteFilePath(file));
    files.removeDuplicates();
    return files;
}

void FilesAndFoldersDialog::accept()
{
    const QStringList files = chosen();
    if (files.isEmpty())
        return;
    // A name that names nothing is left for the dialog to report as it does.
    for (const QString &file : files) {
        if (!QFileInfo::exists(file)) {
            QFileDialog::accept();
            return;
        }
    }
    // Not the dialog's own accept: that would open a selected folder instead of taking it.
    QDialog::accept();
}

// ---------------------------------------------------------------------------

namespace filechoosers {

void followInterfaceLanguage()
{
    static QTranslator *qtTexts = nullptr;
    const QString language = AppLocalizer::language();
    static QString loaded;
    if (qtTexts && loaded == language)
        return;
    if (qtTexts) {
        QCoreApplication::removeTranslator(qtTexts);
        delete qtTexts;
        qtTexts = nullptr;
    }
    loaded = language;
    // English is Qt's own language; Polish comes from Qt's translations when installed.
    if (language == u"en"_s)
        return;
    auto *translator = new QTranslator(qApp);
    if (translator->load(u"qtbase_"_s + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        qtTexts = translator;
    } else {
        delete translator;
    }
}

void install(TavoModel *model, QWidget *window)
{
    QPointer<QWidget> parent(window);

    // Music comes as any mix of files and folders, several at once.
    model->setFilesChooser(TavoModel::FilesChooser([parent](const QString &prompt, TavoModel::Answer<QStringList> answer) {
        auto *d = new FilesAndFoldersDialog(parent, prompt, prompt);
        ask<QStringList>(d, std::move(answer), [](QFileDialog *dialog) {
            return std::optional<QStringList>(static_cast<FilesAndFoldersDialog *>(dialog)->chosen());
        });
    }));
    model->setFolderChooser(TavoModel::FolderChooser(
        [parent](const QString &prompt, const QString &message, TavoModel::Answer<QString> answer) {
            auto *d = dialog(parent, message);
            d->setFileMode(QFileDialog::Directory);
            d->setOption(QFileDialog::ShowDirsOnly, true);
            d->setLabelText(QFileDialog::Accept, prompt);
            ask<QString>(d, std::move(answer), first);
        }));
    model->setImageChooser(TavoModel::ImageChooser([parent](const QString &prompt, TavoModel::Answer<QString> answer) {
        auto *d = dialog(parent, prompt);
        d->setFileMode(QFileDialog::ExistingFile);
        d->setNameFilters({kit::tr(u"Obrazy"_s) + u" (*.jpg *.jpeg *.png *.bmp *.gif *.tif *.tiff *.webp *.heic)"_s});
        ask<QString>(d, std::move(answer), first);
    }));
    model->setPackageChooser(TavoModel::PackageChooser([parent](const QString &prompt, TavoModel::Answer<QString> answer) {
        auto *d = dialog(parent, prompt);
        d->setFileMode(QFileDialog::ExistingFile);
        d->setNameFilters({kit::tr(u"Pakiety ZIP"_s) + u" (*.zip)"_s});
        ask<QString>(d, std::move(answer), first);
    }));
}

} // namespace filechoosers
