#include "ui/shell/filechoosers.h"

#include "model/tavomodel.h"
#include "ui/kit/kit.h"

#include <QDir>
#include <QFileDialog>
#include <QPointer>

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
            answer(pick(dialog->selectedFiles()));
        else
            answer(std::nullopt);
    });
    dialog->open();
}

QFileDialog *dialog(QWidget *window, const QString &title)
{
    auto *d = new QFileDialog(window, title, QDir::homePath());
    d->setOption(QFileDialog::DontUseNativeDialog, false);
    return d;
}

} // namespace

namespace filechoosers {

void install(TavoModel *model, QWidget *window)
{
    QPointer<QWidget> parent(window);

    // Music is added by folder here (a whole album or collection at once);
    // single files come in by dropping them on the library.
    model->setFilesChooser(TavoModel::FilesChooser([parent](const QString &prompt, TavoModel::Answer<QStringList> answer) {
        auto *d = dialog(parent, prompt);
        d->setFileMode(QFileDialog::Directory);
        d->setLabelText(QFileDialog::Accept, prompt);
        ask<QStringList>(d, std::move(answer), [](const QStringList &files) { return std::optional<QStringList>(files); });
    }));
    model->setFolderChooser(TavoModel::FolderChooser(
        [parent](const QString &prompt, const QString &message, TavoModel::Answer<QString> answer) {
            auto *d = dialog(parent, message);
            d->setFileMode(QFileDialog::Directory);
            d->setOption(QFileDialog::ShowDirsOnly, true);
            d->setLabelText(QFileDialog::Accept, prompt);
            ask<QString>(d, std::move(answer), [](const QStringList &files) {
                return files.isEmpty() ? std::optional<QString>() : std::optional<QString>(files.first());
            });
        }));
    model->setImageChooser(TavoModel::ImageChooser([parent](const QString &prompt, TavoModel::Answer<QString> answer) {
        auto *d = dialog(parent, prompt);
        d->setFileMode(QFileDialog::ExistingFile);
        d->setNameFilters({kit::tr(u"Obrazy"_s) + u" (*.jpg *.jpeg *.png *.bmp *.gif *.tif *.tiff *.webp *.heic)"_s});
        ask<QString>(d, std::move(answer), [](const QStringList &files) {
            return files.isEmpty() ? std::optional<QString>() : std::optional<QString>(files.first());
        });
    }));
    model->setPackageChooser(TavoModel::PackageChooser([parent](const QString &prompt, TavoModel::Answer<QString> answer) {
        auto *d = dialog(parent, prompt);
        d->setFileMode(QFileDialog::ExistingFile);
        d->setNameFilters({kit::tr(u"Pakiety ZIP"_s) + u" (*.zip)"_s});
        ask<QString>(d, std::move(answer), [](const QStringList &files) {
            return files.isEmpty() ? std::optional<QString>() : std::optional<QString>(files.first());
        });
    }));
}

} // namespace filechoosers
