// The file editor's documents: open, save, save as and close, locally and through FTP.
#include "editor/CodeEditor.h"

#include "classlib/Exception.h"
#include "editor/CodeMemoViews.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace qd {

namespace {

const QString UnnamedModifiedPrompt = QStringLiteral(
    "The SQL Editor contents have been modified.  Save the current editor contents?");

QString formatPrompt(const QString &format, const QString &fileName)
{
    QString text = format.isEmpty() ? QStringLiteral("Save changes to %s?") : format;
    const qsizetype at = text.indexOf(QLatin1String("%s"));
    if (at >= 0)
        text.replace(at, 2, fileName);
    return text;
}

// A file the user cannot write, or one marked read-only for everyone (as root can still write
// it, the missing write bits are what marks it).
bool isReadOnlyFile(const QFileInfo &info)
{
    const QFile::Permissions write = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !info.isWritable() || !(info.permissions() & write);
}

} // namespace

void TCodeEditor::setReadOnlyLook(bool readOnly)
{
    SetReadOnly(readOnly);
    SetColor(readOnly ? ReadOnlyColor : clWindow);
}

void TCodeEditor::becomeLocal()
{
    m_ftpFile = false;
    m_ftp = TFtpConnection();
}

bool TCodeEditor::askToSave(bool askIfModified, const QString &promptFormat)
{
    if (!askIfModified || !Modified())
        return true;
    const QString message = m_fileName.isEmpty() ? UnnamedModifiedPrompt
                                                 : formatPrompt(promptFormat, m_fileName);
    switch (EditorConfirm(Dialogs, this, message, QStringLiteral("YNC"))) {
    case eaYes:
        return Save();
    case eaNo:
        return true;
    default:
        return false;
    }
}

bool TCodeEditor::OpenFile(const QString &fileNameIn, bool askIfModified, const QString &promptFormat)
{
    QString fileName = fileNameIn;
    if (fileName.isEmpty()) {
        TFileDialogRequest request;
        request.Caption = QStringLiteral("Open");
        request.FileName = m_ftpFile || m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).path();
        request.Filter = FileFilter;
        fileName = EditorChooseFile(Dialogs, this, request);
        if (fileName.isEmpty())
            return false;
    }
    if (!askToSave(askIfModified, promptFormat))
        return false;
    const bool loaded = loadLocal(fileName);
    DoAfterOpen(loaded);
    return loaded;
}

bool TCodeEditor::loadLocal(const QString &fileName)
{
    // The whole file is read before anything of the document changes, so a read that fails
    // midway leaves the old text and name as they were.
    QString why;
    QByteArray bytes;
    QFile file(fileName);
    const QFileInfo info(fileName);
    if (info.isDir()) {
        why = QStringLiteral("It is a folder.");
    } else if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else {
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            why = file.errorString();
    }
    if (!why.isEmpty()) {
        EditorMessage(Dialogs, this,
            QStringLiteral("Could not open file ") + fileName + QStringLiteral(".\n") + why, true);
        return false;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // A file without line breaks is saved with the platform's.
    SetLineBreak(pbLF);
    try {
        Lines().LoadFromStream(buffer);
    } catch (const Exception &error) {
        EditorMessage(Dialogs, this,
            QStringLiteral("Could not open file ") + fileName + QStringLiteral(".\n")
                + error.Message(),
            true);
        return false;
    }
    setReadOnlyLook(isReadOnlyFile(info));
    m_fileName = info.absoluteFilePath();
    becomeLocal();
    SetModified(false);
    SetSelStart(0);
    viewport()->update();
    return true;
}

QString TCodeEditor::chooseSaveName(const QString &start)
{
    TFileDialogRequest request;
    request.Save = true;
    request.Caption = QStringLiteral("Save As");
    request.FileName = start;
    request.Filter = FileFilter;
    request.DefaultSuffix = QStringLiteral("sql");
    return EditorChooseFile(Dialogs, this, request);
}

bool TCodeEditor::saveLocal(const QString &fileName)
{
    try {
        // Atomic: a temporary file beside the target takes the text and replaces the target
        // only when it was written whole; the target's permissions carry over.
        SaveToFile(fileName);
    } catch (const Exception &error) {
        EditorMessage(Dialogs, this, QStringLiteral("Error: ") + error.Message(), true);
        return false;
    }
    m_fileName = QFileInfo(fileName).absoluteFilePath();
    becomeLocal();
    SetModified(false);
    return true;
}

bool TCodeEditor::Save()
{
    if (m_ftpFile)
        return SaveToFtp();
    QString fileName = m_fileName;
    if (fileName.isEmpty())
        fileName = chooseSaveName(QString());
    const bool saved = !fileName.isEmpty() && saveLocal(fileName);
    DoAfterSave(saved);
    return saved;
}

bool TCodeEditor::SaveAs()
{
    const QString fileName = chooseSaveName(m_ftpFile ? QString() : m_fileName);
    const bool saved = !fileName.isEmpty() && saveLocal(fileName);
    DoAfterSaveAs(saved);
    return saved;
}

bool TCodeEditor::CloseFile(bool askOnNoFile)
{
    if (Modified() && (!m_fileName.isEmpty() || askOnNoFile)) {
        const QString message = m_fileName.isEmpty()
            ? QStringLiteral("Save the current editor contents?")
            : QStringLiteral("Save changes to ") + m_fileName + QStringLiteral("?");
        const int answer = EditorConfirm(Dialogs, this, message, QStringLiteral("YNC"));
        if (answer != eaYes && answer != eaNo)
            return false;
        // A save that failed keeps the text: closing would lose it.
        if (answer == eaYes && !Save())
            return false;
    }
    Clear();
    ClearUndo();
    SetModified(false);
    m_fileName.clear();
    becomeLocal();
    setReadOnlyLook(false);
    SetLineBreak(pbLF);
    viewport()->update();
    DoAfterClose(true);
    return true;
}

// --- FTP

TFtpFileDialogs *TCodeEditor::ftpDialogs()
{
    TFtpFileDialogs *dialogs = FtpFileDialogs();
    if (!dialogs)
        EditorMessage(Dialogs, this, QStringLiteral("The FTP window is not available."), true);
    return dialogs;
}

void TCodeEditor::raiseFtpError()
{
    throw Exception(QStringLiteral("FTP Error Occurred"));
}

bool TCodeEditor::OpenFromFtp(bool askIfModified, const QString &promptFormat)
{
    TFtpFileDialogs *ftp = ftpDialogs();
    if (!ftp) {
        DoAfterOpen(false);
        return false;
    }
    QStringList text;
    TFtpConnection connection;
    QString remoteName;
    const int result
        = ftp->OpenDialog(this, m_ftpStartDirectory, m_ftpMode, text, connection, remoteName);
    if (result == TFtpFileDialogs::ResultError) {
        DoAfterOpen(false);
        raiseFtpError();
    }
    if (result != TFtpFileDialogs::ResultDone) {
        // A cancelled open leaves the document where it came from.
        DoAfterOpen(false);
        return false;
    }
    if (!askToSave(askIfModified, promptFormat))
        return false;
    SetLineBreak(pbLF);
    SetTextBuf(text.join(QStringLiteral("\r\n")));
    m_ftp = connection;
    m_ftpFile = true;
    setReadOnlyLook(false);
    m_fileName = remoteName;
    SetModified(false);
    SetSelStart(0);
    viewport()->update();
    DoAfterOpen(true);
    return true;
}

bool TCodeEditor::SaveToFtp()
{
    // Only a document that came from a server goes straight back to it; any other picks its
    // place first.
    if (!m_ftpFile || m_fileName.isEmpty())
        return SaveToFtpAs();
    TFtpFileDialogs *ftp = ftpDialogs();
    if (!ftp) {
        DoAfterSave(false);
        return false;
    }
    QStringList source;
    for (qint64 i = 0; i < ParaStrings().Count(); ++i)
        source.append(ParaStrings().Get(i));
    const int result = ftp->DirectSaveDialog(this, m_fileName, m_ftp, source);
    if (result == TFtpFileDialogs::ResultError) {
        DoAfterSave(false);
        raiseFtpError();
    }
    const bool saved = result == TFtpFileDialogs::ResultDone;
    if (saved)
        SetModified(false);
    DoAfterSave(saved);
    return saved;
}

bool TCodeEditor::SaveToFtpAs()
{
    TFtpFileDialogs *ftp = ftpDialogs();
    if (!ftp) {
        DoAfterSaveAs(false);
        return false;
    }
    QStringList source;
    for (qint64 i = 0; i < ParaStrings().Count(); ++i)
        source.append(ParaStrings().Get(i));
    TFtpConnection connection = m_ftp;
    QString remoteName;
    const int result = ftp->SaveAsDialog(this, source, connection, remoteName);
    if (result == TFtpFileDialogs::ResultError) {
        DoAfterSaveAs(false);
        raiseFtpError();
    }
    const bool saved = result == TFtpFileDialogs::ResultDone;
    if (saved) {
        m_ftp = connection;
        m_ftpFile = true;
        m_fileName = remoteName;
        SetModified(false);
    }
    DoAfterSaveAs(saved);
    return saved;
}

} // namespace qd
