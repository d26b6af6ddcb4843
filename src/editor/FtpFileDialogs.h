#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace qd {

// The connection a remote document came from and saves back to.
struct TFtpConnection {
    QString Server;
    QString Username;
    QString Password;
    bool Passive = false;
};

// What the file editors ask of the FTP client window in its dialog modes. The FTP window
// implements it and registers itself with SetFtpFileDialogs; until one is registered the
// editors' FTP commands report that no FTP window is available.
class TFtpFileDialogs {
public:
    // Results of the dialogs: done, an FTP error; anything else is a cancel.
    static constexpr int ResultDone = 1;
    static constexpr int ResultError = 3;

    virtual ~TFtpFileDialogs() = default;

    // "FTP Open": connects, lets the user pick a remote file and fetches its text into target.
    // On success connection and remoteName (the full remote name) describe what was opened.
    virtual int OpenDialog(QWidget *owner, const QString &startDirectory, int mode,
        QStringList &target, TFtpConnection &connection, QString &remoteName)
        = 0;
    // "FTP Save": uploads source under remoteName to the connection without asking.
    virtual int DirectSaveDialog(QWidget *owner, const QString &remoteName,
        const TFtpConnection &connection, const QStringList &source)
        = 0;
    // "FTP Save As": lets the user choose a remote folder and name, then uploads source; on
    // success connection and remoteName describe where it went.
    virtual int SaveAsDialog(QWidget *owner, QStringList const &source,
        TFtpConnection &connection, QString &remoteName)
        = 0;
};

// The registered FTP window's dialogs (not owned), or none.
TFtpFileDialogs *FtpFileDialogs();
void SetFtpFileDialogs(TFtpFileDialogs *dialogs);

} // namespace qd
