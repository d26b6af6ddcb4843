#pragma once

// What the main window and logon dialog tests share: a program started in the test's own
// program directory with the stand-in client library, the demo alias in the network
// configuration, screen services that record messages and answer questions, and windows
// registered in place of the ones above the shell: a worksheet that really logs its own
// session on to the stand-in, and recorders for the others.

#include "classlib/Exception.h"
#include "common/TestSupport.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "shell/KXLogonForm.h"
#include "shell/MDIMainForm.h"
#include "shell/QuarloDeskProgram.h"
#include "shell/WindowServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qd::test {

// A worksheet stand-in with the interface the shell relies on and a real session: a failed
// logon throws out of its creation, as the real window's does.
class TestWorksheet : public QWidget, public WorksheetWindowInterface {
public:
    TestWorksheet(const TLogonValues &logon, const QString &fileOrText, bool asFile)
        : logon(logon)
    {
        setObjectName(QStringLiteral("TestWorksheet"));
        editor = new QPlainTextEdit(this);
        editor->setObjectName(QStringLiteral("SQLEditor"));
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(editor);
        if (asFile)
            fileName = fileOrText;
        else
            editor->setPlainText(fileOrText);
        if (!logon.Database.isEmpty()) {
            session.SetLogonUsername(logon.Username);
            session.SetLogonPassword(logon.Password);
            session.SetLogonDatabase(logon.Database);
            session.LogOn();
        }
        setWindowTitle(logon.Database.isEmpty() ? QStringLiteral("SQL Editor")
                                                : QStringLiteral("  SQL - [%1@%2]")
                                                      .arg(logon.Username.toLower(),
                                                          logon.Database.toLower()));
    }

    QString WorksheetFileName() const override { return fileName; }
    void OpenEditorFile(const QString &name, bool ask) override
    {
        fileName = name;
        reopened.append({ name, ask });
    }
    void InitSQLTreeBrowser(bool) override { ++treeRefreshes; }

    TLogonValues logon;
    QString fileName;
    QList<std::pair<QString, bool>> reopened;
    int treeRefreshes = 0;
    QPlainTextEdit *editor = nullptr;
    TOracleSession session;
    bool refuseClose = false;
    static inline int closedConnected = 0; // windows closed while still logged on

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (refuseClose) {
            event->ignore();
            return;
        }
        if (session.Connected())
            session.LogOff();
        event->accept();
    }
};

// What a recorder factory was asked for.
struct WindowRequest {
    QString kind;
    TLogonValues logon;
    QString file;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The network configuration: the demo alias and one more.
        static QTemporaryDir tnsAdmin;
        QFile tns(QDir(tnsAdmin.path()).filePath(QStringLiteral("tnsnames.ora")));
        if (!tns.exists()) {
            tns.open(QIODevice::WriteOnly);
            tns.write("DEMO = (DESCRIPTION = (ADDRESS = (PROTOCOL = TCP)(HOST = x)(PORT = 1)))\n"
                      "sales.world = (DESCRIPTION = (ADDRESS = (HOST = y)))\n");
            tns.close();
        }
        qputenv("TNS_ADMIN", tnsAdmin.path().toLocal8Bit());
        SetOCIDLL(standinLibraryPath());

        // Each test starts with an empty program directory.
        QDir home(programDirectory());
        for (const QString &entry : home.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (entry == u"standin")
                continue; // the stand-in's databases
            QFileInfo info(home.filePath(entry));
            if (info.isDir())
                QDir(info.filePath()).removeRecursively();
            else
                QFile::remove(info.filePath());
        }

        ScreenServices services;
        services.message = [this](TMessageKind, const QString &text) { messages.append(text); };
        services.confirm = [this](const QString &text, const QString &) {
            questions.append(text);
            return answer;
        };
        services.showException = [this](std::exception_ptr error) {
            messages.append(ExceptionMessage(error));
        };
        InstallScreenServices(services);

        savedFactories = windowFactories();
        windowFactories() = WindowFactories();
        windowFactories().Worksheet
            = [this](QWidget *, const TLogonValues &logon, const QString &fileOrText, bool asFile) {
                  requests.append({ QStringLiteral("SQL"), logon, fileOrText });
                  auto *window = new TestWorksheet(logon, fileOrText, asFile);
                  worksheets.append(window);
                  return window;
              };
    }

    void TearDown() override
    {
        program.reset();
        windowFactories() = savedFactories;
        ResetScreenServices();
    }

    // A recorder for one of the other windows.
    std::function<QWidget *(QWidget *, const TLogonValues &)> recorder(const QString &kind)
    {
        return [this, kind](QWidget *, const TLogonValues &logon) {
            requests.append({ kind, logon, QString() });
            auto *window = new QWidget;
            window->setWindowTitle(kind);
            return window;
        };
    }

    void start(const QStringList &arguments = {})
    {
        program = std::make_unique<QuarloDeskProgram>(arguments);
    }
    TMDIMainForm &main() { return *program->MainForm(); }
    TKXLogonForm &logon() { return *program->LogonForm(); }
    // A control of the logon dialog by its name.
    template <typename W> W *control(const char *name)
    {
        W *widget = logon().findChild<W *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Runs act once the logon dialog is up (within the modal loop that trigger starts), then
    // closes it if act left it open, so a failing check cannot hang the test.
    void whileLogonShown(const std::function<void()> &trigger, const std::function<void()> &act)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            act();
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [this] {
            if (logon().isVisible())
                logon().reject();
        });
        guard.start(10000);
        trigger();
        EXPECT_TRUE(ran) << "the logon dialog was not shown";
    }

    QList<QMdiSubWindow *> children() { return main().MdiArea()->subWindowList(); }

    static void writeFile(const QString &name, const QByteArray &data)
    {
        QFile file(QDir(programDirectory()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    std::unique_ptr<QuarloDeskProgram> program;
    QStringList messages;
    QStringList questions;
    int answer = mrYes;
    QList<WindowRequest> requests;
    QList<QPointer<TestWorksheet>> worksheets;
    WindowFactories savedFactories;
};

} // namespace qd::test
