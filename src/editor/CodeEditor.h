#pragma once

#include "editor/CodeMemo.h"
#include "editor/EditorDialogs.h"
#include "editor/FindDialog.h"
#include "editor/FtpFileDialogs.h"

#include <QPointer>

#include <functional>

namespace qd {


// The editor control with a document around it: a file name and where it came from (a local
// file or a file on an FTP server), open, save, save as and close with the question about
// unsaved changes, find and replace, go to a line, and a prefix put on or taken off a block of
// lines (commenting). Four events tell the owner that a document was opened, saved, saved under
// a new name or closed.
//
// The origin changes only when a load or a save succeeded, so a failed or cancelled command
// leaves the document where it came from. Local saves are atomic and keep the file's
// permissions; a failed save leaves the old file whole and the document modified.
class TCodeEditor : public TCodeMemo {
    Q_OBJECT
public:
    // Background of a read-only file (silver).
    static constexpr TColor ReadOnlyColor = 12632256;
    static inline const QString FileFilter = QStringLiteral(
        "SQL Files (*.sql);;Quarlo Desk Template Files (*.tem);;Text Files (*.txt);;All Files (*)");

    explicit TCodeEditor(QWidget *parent = nullptr);
    ~TCodeEditor() override;

    // --- the document
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString &fileName) { m_fileName = fileName; }
    bool FTPFile() const { return m_ftpFile; }
    void SetFTPFile(bool on) { m_ftpFile = on; }
    QString FTPUsername() const { return m_ftp.Username; }
    void SetFTPUsername(const QString &name) { m_ftp.Username = name; }
    // Kept in memory only.
    QString FTPPassword() const { return m_ftp.Password; }
    void SetFTPPassword(const QString &password) { m_ftp.Password = password; }
    QString FTPServer() const { return m_ftp.Server; }
    void SetFTPServer(const QString &server) { m_ftp.Server = server; }
    bool FTPPassive() const { return m_ftp.Passive; }
    void SetFTPPassive(bool on) { m_ftp.Passive = on; }
    // Handed to the FTP open dialog.
    QString FtpStartDirectory() const { return m_ftpStartDirectory; }
    void SetFtpStartDirectory(const QString &directory) { m_ftpStartDirectory = directory; }
    int FtpMode() const { return m_ftpMode; }
    void SetFtpMode(int mode) { m_ftpMode = mode; }

    // Questions and messages of this editor (empty hooks use the process-wide ones).
    TEditorDialogs Dialogs;

    // --- file commands
    // Opens fileName (the open dialog first when it is empty). With askIfModified a modified
    // text is first offered for saving: promptFormat with "%s" standing for the file name, or
    // for an unnamed document the fixed question. False when nothing was opened.
    bool OpenFile(const QString &fileName, bool askIfModified, const QString &promptFormat);
    // The same through the FTP window's open dialog.
    bool OpenFromFtp(bool askIfModified, const QString &promptFormat);
    // Saves where the document came from: to its FTP server, else to its local file (the save
    // dialog first when it has no name).
    bool Save();
    bool SaveToFtp();
    bool SaveAs();
    bool SaveToFtpAs();
    // Empties the document, first asking to save a modified text (only when it has a name or
    // askOnNoFile). False when the user cancelled or the save failed: nothing changed then.
    bool CloseFile(bool askOnNoFile = true);

    // --- search
    void ShowFind();
    void CloseFind();
    void ShowReplace();
    void CloseReplace();
    // Made on first use, owned by the editor.
    TFindDialog *FindDialog();
    TReplaceDialog *ReplaceDialog();
    // Searches from the caret with the dialog's choices, without wrapping; selects the hit or
    // says "Text not found.".
    bool FindNext(TFindDialog *dialog);
    // The replace dialog's Replace and Replace All.
    void Replace(TReplaceDialog *dialog);

    // --- lines
    // Asks for "Line", "Line:Col", "TOP" or "BOTTOM" and moves the caret there.
    void GotoLine();
    // Moves the caret to an answer of GotoLine; false (after the message) when it is invalid.
    bool GotoPosition(const QString &answer);
    void AddLinePrefix(const QString &prefix);
    void RemoveLinePrefix(const QString &prefix);
    // Caret to the display line and column under a client point (while dragging over it).
    void MoveCaretToPoint(int x, int y);

    // --- events (Success: the command did what it was asked)
    std::function<void(TCodeEditor *sender, bool success)> AfterOpen;
    std::function<void(TCodeEditor *sender, bool success)> AfterSave;
    std::function<void(TCodeEditor *sender, bool success)> AfterSaveAs;
    std::function<void(TCodeEditor *sender, bool success)> AfterClose;

protected:
    virtual void DoAfterOpen(bool success);
    virtual void DoAfterSave(bool success);
    virtual void DoAfterSaveAs(bool success);
    virtual void DoAfterClose(bool success);

    void keyPressEvent(QKeyEvent *event) override;

private:
    // Asks about a modified text; false when the user cancelled or the save failed.
    bool askToSave(bool askIfModified, const QString &promptFormat);
    bool loadLocal(const QString &fileName);
    bool saveLocal(const QString &fileName);
    // Shows the save dialog at start; empty when cancelled.
    QString chooseSaveName(const QString &start);
    TFtpFileDialogs *ftpDialogs();
    [[noreturn]] void raiseFtpError();
    void becomeLocal();
    void setReadOnlyLook(bool readOnly);
    bool selectionMatches(const QString &text, TFindOptions options) const;
    // Whole lines of the selection (or the caret line) selected; their text.
    QString selectWholeLines();
    void replaceLines(const QString &text);
    bool typeIntoColumnBlock(QKeyEvent *event);
    bool backspaceInColumnBlock();

    QString m_fileName;
    bool m_ftpFile = false;
    TFtpConnection m_ftp;
    QString m_ftpStartDirectory;
    int m_ftpMode = 0;
    QPointer<TFindDialog> m_find;
    QPointer<TReplaceDialog> m_replace;
};

} // namespace qd
