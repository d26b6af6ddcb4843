// The file editor's documents: open, save, save as and close, their questions and failures.
#include "CodeEditorTestSupport.h"

#include "classlib/Exception.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace qd;
using qd::test::CodeEditorFixture;

namespace {

// An FTP window stand-in: hands out a remote file and records what is saved.
struct FakeFtp : TFtpFileDialogs {
    int openResult = ResultDone;
    int saveResult = ResultDone;
    QStringList remoteText { QStringLiteral("select 1"), QStringLiteral("from dual;") };
    QStringList saved;
    QString savedName;
    int directSaves = 0;
    int saveAsDialogs = 0;

    int OpenDialog(QWidget *, const QString &, int, QStringList &target,
        TFtpConnection &connection, QString &remoteName) override
    {
        if (openResult == ResultDone) {
            target = remoteText;
            connection = { QStringLiteral("ftp.example"), QStringLiteral("scott"),
                QStringLiteral("tiger"), true };
            remoteName = QStringLiteral("/home/scott/remote.sql");
        }
        return openResult;
    }
    int DirectSaveDialog(QWidget *, const QString &remoteName, const TFtpConnection &,
        const QStringList &source) override
    {
        ++directSaves;
        savedName = remoteName;
        saved = source;
        return saveResult;
    }
    int SaveAsDialog(QWidget *, const QStringList &source, TFtpConnection &connection,
        QString &remoteName) override
    {
        ++saveAsDialogs;
        saved = source;
        connection.Server = QStringLiteral("ftp.example");
        remoteName = QStringLiteral("/pub/new.sql");
        return saveResult;
    }
};

class CodeEditorFiles : public CodeEditorFixture {
protected:
    void TearDown() override { SetFtpFileDialogs(nullptr); }
    FakeFtp ftp;
};

} // namespace

TEST_F(CodeEditorFiles, OpensAFileWithItsNameAndUnmodified)
{
    writeBytes(path(QStringLiteral("a.sql")), "select *\nfrom emp;\n");
    bool opened = false;
    editor.AfterOpen = [&](TCodeEditor *, bool success) { opened = success; };
    ASSERT_TRUE(editor.OpenFile(path(QStringLiteral("a.sql")), true, QString()));
    EXPECT_TRUE(opened);
    EXPECT_EQ(editor.FileName(), QFileInfo(path(QStringLiteral("a.sql"))).absoluteFilePath());
    EXPECT_EQ(editor.GetParagraphText(1), QStringLiteral("from emp;"));
    EXPECT_FALSE(editor.Modified());
    EXPECT_FALSE(editor.ReadOnly());
    EXPECT_FALSE(editor.FTPFile());
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(CodeEditorFiles, ReadOnlyFileOpensReadOnlyInSilverAndCloseRestores)
{
    const QString name = path(QStringLiteral("ro.sql"));
    writeBytes(name, "select 1 from dual;\n");
    QFile::setPermissions(name, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    ASSERT_TRUE(editor.OpenFile(name, false, QString()));
    EXPECT_TRUE(editor.ReadOnly());
    EXPECT_EQ(editor.Color(), TCodeEditor::ReadOnlyColor);

    ASSERT_TRUE(editor.CloseFile());
    EXPECT_FALSE(editor.ReadOnly());
    EXPECT_EQ(editor.Color(), clWindow);
    EXPECT_TRUE(editor.FileName().isEmpty());
    EXPECT_EQ(editor.Text(), QString());
}

TEST_F(CodeEditorFiles, CloseAnsweredCancelKeepsTheTextAndReturnsFalse)
{
    editor.SetTextBuf(QStringLiteral("unsaved work"));
    bool closed = false;
    editor.AfterClose = [&](TCodeEditor *, bool) { closed = true; };
    answers = { eaCancel };
    EXPECT_FALSE(editor.CloseFile());
    EXPECT_EQ(questions, QStringList { QStringLiteral("Save the current editor contents?") });
    EXPECT_EQ(editor.Text(), QStringLiteral("unsaved work"));
    EXPECT_TRUE(editor.Modified());
    EXPECT_FALSE(closed);

    // No discards; without askOnNoFile an unnamed text is not asked about at all.
    answers = { eaNo };
    EXPECT_TRUE(editor.CloseFile());
    EXPECT_TRUE(closed);
    EXPECT_EQ(editor.Text(), QString());
    editor.SetTextBuf(QStringLiteral("more"));
    EXPECT_TRUE(editor.CloseFile(false));
    EXPECT_EQ(questions.size(), 2);
}

TEST_F(CodeEditorFiles, CloseAnsweredYesSavesFirstAndAFailedSaveKeepsTheText)
{
    const QString name = path(QStringLiteral("c.sql"));
    writeBytes(name, "old\n");
    ASSERT_TRUE(editor.OpenFile(name, false, QString()));
    editor.SetSelStart(editor.TextLength());
    editor.ReplaceSel(QStringLiteral("new"));
    answers = { eaYes };
    const QString openName = editor.FileName();
    ASSERT_TRUE(editor.CloseFile());
    EXPECT_EQ(questions.last(), QStringLiteral("Save changes to ") + openName + "?");
    EXPECT_EQ(readBytes(name), QByteArray("old\nnew"));

    // The file's folder disappears: the save fails and the text stays.
    QTemporaryDir gone;
    const QString lost = gone.filePath(QStringLiteral("lost.sql"));
    writeBytes(lost, "x");
    ASSERT_TRUE(editor.OpenFile(lost, false, QString()));
    editor.ReplaceSel(QStringLiteral("keep me "));
    gone.remove();
    answers = { eaYes };
    EXPECT_FALSE(editor.CloseFile());
    EXPECT_EQ(editor.Text(), QStringLiteral("keep me x"));
    EXPECT_TRUE(editor.Modified());
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.last().startsWith(QStringLiteral("Error: "))) << messages.last().toStdString();
}

TEST_F(CodeEditorFiles, OpenAsksAboutModifiedTextWithThePromptFormat)
{
    const QString first = path(QStringLiteral("first.sql"));
    const QString second = path(QStringLiteral("second.sql"));
    writeBytes(first, "first");
    writeBytes(second, "second");
    ASSERT_TRUE(editor.OpenFile(first, true, QString()));
    editor.ReplaceSel(QStringLiteral("changed "));

    const QString format = QStringLiteral("File %s has been modified.\nWould you like to save changes?");
    answers = { eaCancel };
    EXPECT_FALSE(editor.OpenFile(second, true, format));
    EXPECT_EQ(questions.last(),
        QStringLiteral("File ") + editor.FileName()
            + QStringLiteral(" has been modified.\nWould you like to save changes?"));
    EXPECT_EQ(editor.Text(), QStringLiteral("changed first"));

    answers = { eaYes };
    ASSERT_TRUE(editor.OpenFile(second, true, format));
    EXPECT_EQ(readBytes(first), QByteArray("changed first"));
    EXPECT_EQ(editor.Text(), QStringLiteral("second"));

    // An unnamed document has its own question.
    ASSERT_TRUE(editor.CloseFile());
    editor.SetTextBuf(QStringLiteral("scratch"));
    answers = { eaNo };
    ASSERT_TRUE(editor.OpenFile(first, true, format));
    EXPECT_EQ(questions.last(),
        QStringLiteral(
            "The SQL Editor contents have been modified.  Save the current editor contents?"));
}

TEST_F(CodeEditorFiles, FailedLoadsLeaveTextNameAndOriginAsTheyWere)
{
    const QString good = path(QStringLiteral("good.sql"));
    writeBytes(good, "kept text");
    ASSERT_TRUE(editor.OpenFile(good, false, QString()));
    bool lastOpen = true;
    editor.AfterOpen = [&](TCodeEditor *, bool success) { lastOpen = success; };

    // Missing, a folder, and a file that opens but fails while it is read.
    for (const QString &bad : { path(QStringLiteral("missing.sql")), dir.path(),
             QStringLiteral("/proc/self/mem") }) {
        messages.clear();
        EXPECT_FALSE(editor.OpenFile(bad, false, QString())) << bad.toStdString();
        ASSERT_EQ(messages.size(), 1) << bad.toStdString();
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Could not open file ") + bad + "."))
            << messages[0].toStdString();
        EXPECT_FALSE(lastOpen);
        EXPECT_EQ(editor.Text(), QStringLiteral("kept text"));
        EXPECT_EQ(editor.FileName(), QFileInfo(good).absoluteFilePath());
        EXPECT_FALSE(editor.Modified());
    }
}

TEST_F(CodeEditorFiles, TheOriginChangesOnlyAfterASuccessfulLoad)
{
    SetFtpFileDialogs(&ftp);
    ASSERT_TRUE(editor.OpenFromFtp(false, QString()));
    EXPECT_TRUE(editor.FTPFile());
    EXPECT_EQ(editor.FileName(), QStringLiteral("/home/scott/remote.sql"));
    EXPECT_EQ(editor.FTPServer(), QStringLiteral("ftp.example"));
    EXPECT_EQ(editor.FTPUsername(), QStringLiteral("scott"));
    EXPECT_TRUE(editor.FTPPassive());
    EXPECT_EQ(editor.Text(), QStringLiteral("select 1\r\nfrom dual;"));

    // A local open that fails keeps the FTP origin: the next save goes back to the server.
    EXPECT_FALSE(editor.OpenFile(path(QStringLiteral("missing.sql")), false, QString()));
    EXPECT_TRUE(editor.FTPFile());
    editor.ReplaceSel(QStringLiteral("-- edited\r\n"));
    ASSERT_TRUE(editor.Save());
    EXPECT_EQ(ftp.directSaves, 1);
    EXPECT_EQ(ftp.savedName, QStringLiteral("/home/scott/remote.sql"));
    EXPECT_EQ(ftp.saved.first(), QStringLiteral("-- edited"));
    EXPECT_FALSE(editor.Modified());

    // A cancelled FTP open keeps a local origin.
    const QString local = path(QStringLiteral("local.sql"));
    writeBytes(local, "local");
    ASSERT_TRUE(editor.OpenFile(local, false, QString()));
    EXPECT_FALSE(editor.FTPFile());
    EXPECT_TRUE(editor.FTPServer().isEmpty());
    ftp.openResult = 2;
    EXPECT_FALSE(editor.OpenFromFtp(false, QString()));
    EXPECT_FALSE(editor.FTPFile());
    EXPECT_EQ(editor.FileName(), QFileInfo(local).absoluteFilePath());

    // An FTP error is raised and changes nothing either.
    ftp.openResult = TFtpFileDialogs::ResultError;
    EXPECT_THROW(editor.OpenFromFtp(false, QString()), Exception);
    EXPECT_FALSE(editor.FTPFile());
    EXPECT_EQ(editor.Text(), QStringLiteral("local"));
}

TEST_F(CodeEditorFiles, WithoutAnFtpWindowTheFtpCommandsSaySoAndChangeNothing)
{
    editor.SetTextBuf(QStringLiteral("text"));
    EXPECT_FALSE(editor.OpenFromFtp(false, QString()));
    EXPECT_FALSE(editor.SaveToFtpAs());
    EXPECT_FALSE(editor.SaveToFtp());
    EXPECT_EQ(messages,
        QStringList(3, QStringLiteral("The FTP window is not available.")));
    EXPECT_EQ(editor.Text(), QStringLiteral("text"));
    EXPECT_TRUE(editor.Modified());
    EXPECT_FALSE(editor.FTPFile());
}

TEST_F(CodeEditorFiles, SaveWithoutANameAsksForOneAndSaveAsMovesTheDocument)
{
    editor.SetTextBuf(QStringLiteral("select 1"));
    int saves = 0;
    int savesAs = 0;
    editor.AfterSave = [&](TCodeEditor *, bool success) { saves += success; };
    editor.AfterSaveAs = [&](TCodeEditor *, bool success) { savesAs += success; };
    EXPECT_FALSE(editor.Save()); // the dialog is cancelled
    EXPECT_TRUE(editor.Modified());

    const QString first = path(QStringLiteral("one.sql"));
    chosenFiles = { first };
    ASSERT_TRUE(editor.Save());
    EXPECT_EQ(readBytes(first), QByteArray("select 1"));
    EXPECT_EQ(editor.FileName(), QFileInfo(first).absoluteFilePath());
    EXPECT_FALSE(editor.Modified());

    const QString second = path(QStringLiteral("two.sql"));
    chosenFiles = { second };
    ASSERT_TRUE(editor.SaveAs());
    EXPECT_EQ(editor.FileName(), QFileInfo(second).absoluteFilePath());
    EXPECT_EQ(readBytes(second), QByteArray("select 1"));
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(savesAs, 1);
}

TEST_F(CodeEditorFiles, SaveKeepsTheFilesPermissions)
{
    const QString name = path(QStringLiteral("perm.sql"));
    writeBytes(name, "a");
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(name, mode));
    ASSERT_TRUE(editor.OpenFile(name, false, QString()));
    editor.ReplaceSel(QStringLiteral("b"));
    ASSERT_TRUE(editor.Save());
    EXPECT_EQ(readBytes(name), QByteArray("ba"));
    EXPECT_EQ(QFileInfo(name).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
        mode);
}

TEST_F(CodeEditorFiles, ASaveIntoAnUnwritableFolderKeepsTheOriginalWhole)
{
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString name = path(QStringLiteral("orig.sql"));
    writeBytes(name, "original contents\n");
    ASSERT_TRUE(QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
            | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
    ASSERT_TRUE(editor.OpenFile(name, false, QString()));
    editor.SelectAll();
    editor.ReplaceSel(QStringLiteral("replacement"));
    // No new file can be made in the folder: as root only another user is refused.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    const uid_t user = ::geteuid();
    if (user == 0) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    const bool saved = editor.Save();
    if (user == 0) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes(name), QByteArray("original contents\n"));
    EXPECT_TRUE(editor.Modified());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Error: "))) << messages[0].toStdString();
    EXPECT_GT(messages[0].size(), 8);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("orig.sql") });
}

TEST_F(CodeEditorFiles, ASaveIntoAFullPlaceKeepsTheOriginalWhole)
{
    const QString name = path(QStringLiteral("full.sql"));
    const QByteArray original(3000, 'o');
    writeBytes(name, original);
    ASSERT_TRUE(editor.OpenFile(name, false, QString()));
    editor.SetSelStart(editor.TextLength());
    editor.ReplaceSel(QString(20000, QLatin1Char('n')));

    // Files cannot grow past 4096 bytes: the place is full for this text.
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool ok = editor.Save();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readBytes(name), original);
    EXPECT_TRUE(editor.Modified());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Error: "))) << messages[0].toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("full.sql") });
}

TEST_F(CodeEditorFiles, ALargeScriptEditedAtItsEndSavesWithOnlyThatChange)
{
    for (const QByteArray &lineBreak : { QByteArray("\n"), QByteArray("\r\n") }) {
        QByteArray script;
        script.reserve(5 * 1024 * 1024 + 100);
        for (int i = 0; script.size() < 5 * 1024 * 1024; ++i)
            script += "insert into emp (empno, ename) values (" + QByteArray::number(i)
                + ", 'name " + QByteArray::number(i) + "');" + lineBreak;
        const QString name = path(QStringLiteral("big.sql"));
        writeBytes(name, script);
        ASSERT_TRUE(editor.OpenFile(name, false, QString()));
        editor.SetSelStart(editor.TextLength());
        editor.ReplaceSel(QStringLiteral("commit;"));
        ASSERT_TRUE(editor.Save());
        const QByteArray after = readBytes(name);
        EXPECT_EQ(after.size(), script.size() + 7);
        EXPECT_TRUE(after == script + "commit;") << "line break " << lineBreak.size();
    }
}
