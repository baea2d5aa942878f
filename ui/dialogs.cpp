#include "ui/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace
{
IDialogs *installed = nullptr;

QWidget *dialogParent()
{
    return QApplication::activeWindow();
}

void prepare(QFileDialog &dialog, const FileDialogRequest &request)
{
    dialog.setWindowTitle(request.caption);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.folder.isEmpty())
        dialog.setDirectory(request.folder);
    if (!request.fileName.isEmpty())
        dialog.selectFile(QDir(dialog.directory()).filePath(request.fileName));
}

QString chosenFile(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

IDialogs &Dialogs()
{
    static QtDialogs real;
    return installed != nullptr ? *installed : real;
}

void SetDialogs(IDialogs *dialogs)
{
    installed = dialogs;
}

void QtDialogs::Message(const QString &text, const QString &caption)
{
    QMessageBox::information(dialogParent(), caption, text, QMessageBox::Ok);
}

bool QtDialogs::Question(const QString &text, const QString &caption)
{
    return QMessageBox::question(dialogParent(), caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

QString QtDialogs::OpenFileName(const FileDialogRequest &request)
{
    QFileDialog dialog(dialogParent());
    prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return chosenFile(dialog);
}

QString QtDialogs::SaveFileName(const FileDialogRequest &request)
{
    QFileDialog dialog(dialogParent());
    prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    return chosenFile(dialog);
}
