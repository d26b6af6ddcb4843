#include "editor/EditorDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace qd {

namespace {

TEditorDialogs &installed()
{
    static TEditorDialogs dialogs;
    return dialogs;
}

int qtConfirm(QWidget *parent, const QString &message, const QString &buttons)
{
    QMessageBox::StandardButtons set;
    if (buttons.contains(u'Y'))
        set |= QMessageBox::Yes;
    if (buttons.contains(u'N'))
        set |= QMessageBox::No;
    if (buttons.contains(u'O'))
        set |= QMessageBox::Ok;
    if (buttons.contains(u'C'))
        set |= QMessageBox::Cancel;
    if (!set)
        set = QMessageBox::Ok;
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), message, set, parent);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return eaYes;
    case QMessageBox::No:
        return eaNo;
    case QMessageBox::Ok:
        return eaOk;
    default:
        return eaCancel;
    }
}

} // namespace

void InstallEditorDialogs(const TEditorDialogs &dialogs)
{
    installed() = dialogs;
}

void ResetEditorDialogs()
{
    installed() = TEditorDialogs();
}

int EditorConfirm(
    const TEditorDialogs &own, QWidget *parent, const QString &message, const QString &buttons)
{
    if (own.Confirm)
        return own.Confirm(parent, message, buttons);
    if (installed().Confirm)
        return installed().Confirm(parent, message, buttons);
    return qtConfirm(parent, message, buttons);
}

void EditorMessage(const TEditorDialogs &own, QWidget *parent, const QString &message, bool error)
{
    if (own.Message)
        return own.Message(parent, message, error);
    if (installed().Message)
        return installed().Message(parent, message, error);
    if (error)
        QMessageBox::critical(parent, QApplication::applicationName(), message);
    else
        QMessageBox::information(parent, QApplication::applicationName(), message);
}

bool EditorInputQuery(const TEditorDialogs &own, QWidget *parent, const QString &caption,
    const QString &prompt, QString &value)
{
    if (own.InputQuery)
        return own.InputQuery(parent, caption, prompt, value);
    if (installed().InputQuery)
        return installed().InputQuery(parent, caption, prompt, value);
    bool ok = false;
    const QString answer
        = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = answer;
    return ok;
}

QString EditorChooseFile(
    const TEditorDialogs &own, QWidget *parent, const TFileDialogRequest &request)
{
    if (own.ChooseFile)
        return own.ChooseFile(parent, request);
    if (installed().ChooseFile)
        return installed().ChooseFile(parent, request);
    QFileDialog dialog(parent, request.Caption, request.FileName, request.Filter);
    dialog.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.DefaultSuffix);
    if (!request.FileName.isEmpty() && !QFileInfo(request.FileName).isDir())
        dialog.selectFile(request.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace qd
