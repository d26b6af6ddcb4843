#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace qd {

// Answers of a question; the numbers are those of the program's modal results.
enum TEditorAnswer { eaOk = 1, eaCancel = 2, eaYes = 6, eaNo = 7 };

// What a file dialog is asked for.
struct TFileDialogRequest {
    bool Save = false;
    QString Caption;
    // The file or folder the dialog starts at.
    QString FileName;
    // Qt filter string ("SQL Files (*.sql);;All Files (*)").
    QString Filter;
    // Appended to a name typed without one in a save dialog ("sql").
    QString DefaultSuffix;
};

// The questions, messages and dialogs of the file editors. The editor layer sits below the
// program's screen services, so windows that own an editor route these to their own (and tests
// answer them); a hook left empty falls back to the process-wide one, and that to Qt's dialogs.
struct TEditorDialogs {
    // buttons: "Y" Yes, "N" No, "C" Cancel, "O" OK, in any order; returns a TEditorAnswer.
    std::function<int(QWidget *parent, const QString &message, const QString &buttons)> Confirm;
    std::function<void(QWidget *parent, const QString &message, bool error)> Message;
    // A one-line question; false when cancelled. value holds the default and the answer.
    std::function<bool(
        QWidget *parent, const QString &caption, const QString &prompt, QString &value)>
        InputQuery;
    // The chosen file name; empty when cancelled.
    std::function<QString(QWidget *parent, const TFileDialogRequest &request)> ChooseFile;
};

// Replaces the process-wide hooks (GUI thread only); empty members keep Qt's dialogs.
void InstallEditorDialogs(const TEditorDialogs &dialogs);
void ResetEditorDialogs();

// Calls own's hook when set, else the process-wide one, else Qt's dialog.
int EditorConfirm(const TEditorDialogs &own, QWidget *parent, const QString &message,
    const QString &buttons);
void EditorMessage(const TEditorDialogs &own, QWidget *parent, const QString &message, bool error);
bool EditorInputQuery(const TEditorDialogs &own, QWidget *parent, const QString &caption,
    const QString &prompt, QString &value);
QString EditorChooseFile(
    const TEditorDialogs &own, QWidget *parent, const TFileDialogRequest &request);

} // namespace qd
