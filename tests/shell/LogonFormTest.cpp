#include "MainWindowFixture.h"

#include "classlib/IniFile.h"
#include "oracle/QStringPrinter.h"
#include "shell/AccountList.h"
#include "shell/MRUList.h"

using namespace qd;
using namespace qd::test;

namespace {

using LogonForm = MainWindowTest;

const QString Ora = QStringLiteral("ORA");

TAccountRec account(TMDIMainForm &main, int index)
{
    TAccountRec rec;
    main.AccountList().GetAccount(Ora, index, rec);
    return rec;
}

// The whole road of a new session: the menu command, the dialog, a worksheet logged on to the
// demo database, the recent logon and the saved account.
TEST_F(LogonForm, NewSessionLogsOnToTheDemoDatabase)
{
    start();
    main().show();
    whileLogonShown([&] { main().MainAction(QStringLiteral("SQL1"))->trigger(); }, [&] {
        EXPECT_EQ(logon().windowTitle(), QStringLiteral("Logon to SQL Window"));
        EXPECT_EQ(logon().focusWidget(), control<QLineEdit>("edt_username"));
        EXPECT_FALSE(control<QPushButton>("btn_newLogon")->isEnabled());
        EXPECT_EQ(control<QComboBox>("cb_instance")->count(), 2);
        QTest::keyClicks(control<QLineEdit>("edt_username"), QStringLiteral("demo"));
        QTest::keyClicks(control<QLineEdit>("edt_password"), QStringLiteral("DEMO"));
        EXPECT_FALSE(control<QPushButton>("btn_newLogon")->isEnabled());
        QTest::keyClicks(control<QComboBox>("cb_instance"), QStringLiteral("demo"));
        EXPECT_TRUE(control<QPushButton>("btn_newLogon")->isEnabled());
        QTest::keyClick(control<QComboBox>("cb_instance"), Qt::Key_Return);
    });
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_FALSE(logon().isVisible());
    ASSERT_EQ(worksheets.size(), 1);
    EXPECT_TRUE(worksheets[0]->session.Connected());
    // User names are upper case; the database reaches the window upper-cased.
    EXPECT_EQ(worksheets[0]->logon.Username, QStringLiteral("DEMO"));
    EXPECT_EQ(worksheets[0]->logon.Database, QStringLiteral("DEMO"));
    EXPECT_EQ(worksheets[0]->logon.Mode, QStringLiteral("NORMAL"));
    ASSERT_EQ(children().size(), 1);
    EXPECT_EQ(children()[0]->widget(), worksheets[0].data());

    // The recent logon shows the database as typed; the saved account holds it upper-cased.
    ASSERT_EQ(main().RecentLogons().Count(), 1);
    const TMRUItem &recent = main().RecentLogons().Items(0);
    EXPECT_EQ(recent.Kind, 2);
    // Typing "demo" completed to the alias as the box lists it.
    EXPECT_EQ(recent.Caption, QStringLiteral("SQL-DEMO@DEMO"));
    EXPECT_EQ(recent.Path, QStringLiteral("SQL"));
    EXPECT_EQ(recent.Text3, QStringLiteral("DEMO"));
    EXPECT_EQ(recent.Code, QStringLiteral("NORMAL"));
    ASSERT_EQ(main().AccountList().GetCount(Ora), 1);
    const TAccountRec rec = account(main(), 0);
    EXPECT_EQ(rec.Server, QStringLiteral("DEMO"));
    EXPECT_EQ(rec.Username, QStringLiteral("DEMO"));
    EXPECT_EQ(rec.Password, QStringLiteral("DEMO"));
    EXPECT_EQ(rec.Mode, QStringLiteral("N"));
    // The tree lists it by database.
    QTreeWidget *tree = control<QTreeWidget>("tvwPrevLogon");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("DEMO"));
    ASSERT_EQ(tree->topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("DEMO"));
}

// A failed logon shows the server's error, keeps the dialog open with its values and records
// nothing; passwords reach the window in their own letter case.
TEST_F(LogonForm, FailedLogonKeepsTheDialogOpen)
{
    start();
    whileLogonShown(
        [&] {
            logon().Execute(QStringLiteral("SQL"), QStringLiteral("DEMO"), QStringLiteral("Wrong"),
                QStringLiteral("DEMO"), {}, {});
        },
        [&] {
            EXPECT_EQ(logon().focusWidget(), control<QPushButton>("btn_newLogon"));
            control<QPushButton>("btn_newLogon")->click();
            EXPECT_TRUE(logon().isVisible());
            ASSERT_EQ(messages.size(), 1);
            EXPECT_TRUE(messages[0].contains(QStringLiteral("ORA-01017"))) << messages[0].toStdString();
            EXPECT_EQ(control<QLineEdit>("edt_password")->text(), QStringLiteral("Wrong"));
            EXPECT_EQ(main().RecentLogons().Count(), 0);
            EXPECT_EQ(main().AccountList().GetCount(Ora), 0);
            control<QLineEdit>("edt_password")->setText(QStringLiteral("DEMO"));
            control<QPushButton>("btn_newLogon")->click();
        });
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].logon.Password, QStringLiteral("Wrong"));
    ASSERT_EQ(worksheets.size(), 1); // the failed one threw out of its creation
    EXPECT_TRUE(worksheets[0]->session.Connected());
    EXPECT_FALSE(logon().isVisible());
    EXPECT_EQ(children().size(), 1);
    EXPECT_EQ(main().RecentLogons().Count(), 1);
}

TEST_F(LogonForm, ConnectModeFromExecute)
{
    start();
    struct Case {
        const char *given;
        const char *mode;
        const char *radio;
        const char *letter;
    };
    const Case cases[] = {
        { "sysdba", "SYSDBA", "rbSysDBA", "D" },
        { "SysOper", "SYSOPER", "rbSysOper", "O" },
        { "", "NORMAL", "rbNormal", "N" },
        { "whatever", "NORMAL", "rbNormal", "N" },
    };
    windowFactories().DBNavigator = recorder(QStringLiteral("DBNav"));
    for (const Case &c : cases) {
        requests.clear();
        whileLogonShown(
            [&] {
                logon().Execute(QStringLiteral("DBNav"), QStringLiteral("SYS"),
                    QStringLiteral("Secret"), QStringLiteral("demo"), QLatin1String(c.given), {});
            },
            [&] {
                EXPECT_TRUE(control<QRadioButton>(c.radio)->isChecked()) << c.given;
                EXPECT_EQ(logon().ConnectMode(), QLatin1String(c.mode));
                control<QPushButton>("btn_newLogon")->click();
            });
        ASSERT_EQ(requests.size(), 1) << c.given;
        EXPECT_EQ(requests[0].kind, QStringLiteral("DBNav"));
        EXPECT_EQ(requests[0].logon.Mode, QLatin1String(c.mode));
        EXPECT_EQ(requests[0].logon.Password, QStringLiteral("Secret"));
        // A database typed in lower case reaches the window and the saved account
        // upper-cased, and the recent logon as typed.
        EXPECT_EQ(requests[0].logon.Database, QStringLiteral("DEMO"));
        EXPECT_EQ(account(main(), 0).Server, QStringLiteral("DEMO"));
        EXPECT_EQ(main().RecentLogons().Items(0).Caption, QStringLiteral("DBNav-SYS@demo"));
        EXPECT_EQ(account(main(), 0).Mode, QLatin1String(c.letter)) << c.given;
        EXPECT_EQ(main().RecentLogons().Items(0).Code, QLatin1String(c.mode));
    }
    // One account, refilled each time.
    EXPECT_EQ(main().AccountList().GetCount(Ora), 1);
    EXPECT_EQ(logon().windowTitle(), QStringLiteral("Logon to DB Navigator"));
}

TEST_F(LogonForm, DoNotAddStillRecordsARecentLogon)
{
    start();
    whileLogonShown(
        [&] {
            logon().Execute(QStringLiteral("SQL"), QStringLiteral("DEMO"), QStringLiteral("DEMO"),
                QStringLiteral("DEMO"), {}, {});
        },
        [&] {
            control<QCheckBox>("chkDoNotLogSession")->setChecked(true);
            control<QPushButton>("btn_newLogon")->click();
        });
    ASSERT_EQ(worksheets.size(), 1);
    EXPECT_TRUE(worksheets[0]->session.Connected());
    EXPECT_EQ(main().RecentLogons().Count(), 1);
    EXPECT_EQ(main().AccountList().GetCount(Ora), 0);
    EXPECT_EQ(control<QTreeWidget>("tvwPrevLogon")->topLevelItemCount(), 0);
    // The box is unchecked again the next time the dialog shows.
    whileLogonShown([&] { logon().Execute({}, {}, {}, {}, {}, {}); }, [&] {
        EXPECT_FALSE(control<QCheckBox>("chkDoNotLogSession")->isChecked());
        logon().reject();
    });
}

TEST_F(LogonForm, WindowNotAvailableFailsLikeALogon)
{
    start();
    windowFactories().Worksheet = nullptr;
    // The menu command does not ask for a logon it cannot use.
    main().MainAction(QStringLiteral("SQL1"))->trigger();
    EXPECT_FALSE(logon().isVisible());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("The SQL worksheet window is not available yet."));
    main().MainAction(QStringLiteral("SQLEditor1"))->trigger();
    EXPECT_EQ(messages.size(), 2);
    // A logon to it through the dialog fails with the same text and records nothing.
    EXPECT_THROW(logon().DoLogon(QStringLiteral("SQL"), &main(), QStringLiteral("DEMO"),
                     QStringLiteral("DEMO"), QStringLiteral("DEMO"), {}, {}),
        Exception);
    EXPECT_EQ(main().RecentLogons().Count(), 0);
    // An empty target creates nothing but remembers the values.
    logon().DoLogon({}, &main(), QStringLiteral("db"), QStringLiteral("U"), QStringLiteral("p"), {}, {});
    EXPECT_EQ(logon().Database(), QStringLiteral("db"));
    EXPECT_EQ(logon().Password(), QStringLiteral("p"));
    EXPECT_EQ(main().RecentLogons().Count(), 0);
}

TEST_F(LogonForm, PreviousSessionsTree)
{
    start();
    TAccountList &accounts = main().AccountList();
    accounts.AddAccount(Ora, QStringLiteral("SCOTT"), QStringLiteral("tiger"), QStringLiteral("PROD"), QStringLiteral("N"));
    accounts.AddAccount(Ora, QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("D"));
    accounts.AddAccount(Ora, QStringLiteral("ADAMS"), QStringLiteral("pw"), QStringLiteral("PROD"), QStringLiteral("O"));
    accounts.AddAccount(QStringLiteral("FTP"), QStringLiteral("ftpuser"), QStringLiteral("x"), QStringLiteral("host"), {});
    logon().RefreshLogonHistory();
    QTreeWidget *tree = control<QTreeWidget>("tvwPrevLogon");
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("DEMO"));
    QTreeWidgetItem *prod = tree->topLevelItem(1);
    EXPECT_EQ(prod->text(0), QStringLiteral("PROD"));
    ASSERT_EQ(prod->childCount(), 2);
    EXPECT_EQ(prod->child(0)->text(0), QStringLiteral("ADAMS"));
    EXPECT_EQ(prod->child(1)->text(0), QStringLiteral("SCOTT"));
    prod->setExpanded(true);

    logon().RefreshLogonHistory();
    EXPECT_TRUE(tree->topLevelItem(1)->isExpanded()); // expansion survives a rebuild
    EXPECT_FALSE(tree->topLevelItem(0)->isExpanded());

    control<QRadioButton>("rbByUsername")->setChecked(true);
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(2)->text(0), QStringLiteral("SCOTT"));
    EXPECT_EQ(tree->topLevelItem(2)->child(0)->text(0), QStringLiteral("PROD"));
    control<QRadioButton>("rbByInstance")->setChecked(true);

    windowFactories().DBNavigator = recorder(QStringLiteral("DBNav"));
    whileLogonShown([&] { logon().Execute(QStringLiteral("DBNav"), {}, {}, {}, {}, {}); }, [&] {
        // With saved logons and nothing given, the tree has the focus.
        EXPECT_EQ(logon().focusWidget(), tree);
        EXPECT_TRUE(control<QPushButton>("btn_prevLogon")->isEnabled());
        // Selecting a child fills the new-session side, mode included.
        tree->setCurrentItem(tree->topLevelItem(1)->child(0));
        EXPECT_EQ(control<QLineEdit>("edt_username")->text(), QStringLiteral("ADAMS"));
        EXPECT_EQ(control<QLineEdit>("edt_password")->text(), QStringLiteral("pw"));
        EXPECT_EQ(control<QComboBox>("cb_instance")->currentText(), QStringLiteral("PROD"));
        EXPECT_TRUE(control<QRadioButton>("rbSysOper")->isChecked());
        // Enter on a database node does nothing.
        tree->setCurrentItem(tree->topLevelItem(0));
        QTest::keyClick(tree, Qt::Key_Return);
        EXPECT_TRUE(logon().isVisible());
        EXPECT_TRUE(requests.isEmpty());
        // Enter on a user node logs on with the dialog's current mode.
        tree->setCurrentItem(tree->topLevelItem(1)->child(1));
        control<QRadioButton>("rbSysDBA")->setChecked(true);
        QTest::keyClick(tree, Qt::Key_Return);
    });
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].logon.Username, QStringLiteral("SCOTT"));
    EXPECT_EQ(requests[0].logon.Password, QStringLiteral("tiger"));
    EXPECT_EQ(requests[0].logon.Database, QStringLiteral("PROD"));
    EXPECT_EQ(requests[0].logon.Mode, QStringLiteral("SYSDBA"));

    // A double click takes the account's own mode.
    requests.clear();
    whileLogonShown([&] { logon().Execute(QStringLiteral("DBNav"), {}, {}, {}, {}, {}); }, [&] {
        QTreeWidgetItem *demo = tree->topLevelItem(0)->child(0);
        control<QRadioButton>("rbNormal")->setChecked(true);
        emit tree->itemDoubleClicked(demo, 0);
    });
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].logon.Mode, QStringLiteral("SYSDBA"));
}

TEST_F(LogonForm, DeleteAndClearAsk)
{
    start();
    TAccountList &accounts = main().AccountList();
    accounts.AddAccount(Ora, QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("DB1"), QStringLiteral("N"));
    accounts.AddAccount(Ora, QStringLiteral("B"), QStringLiteral("b"), QStringLiteral("DB1"), QStringLiteral("N"));
    logon().RefreshLogonHistory();
    QTreeWidget *tree = control<QTreeWidget>("tvwPrevLogon");
    tree->setCurrentItem(tree->topLevelItem(0)->child(1));

    answer = mrNo;
    control<QPushButton>("btnPrevDelete")->click();
    EXPECT_EQ(questions, QStringList { QStringLiteral("Delete the current Logon History entry?") });
    EXPECT_EQ(accounts.GetCount(Ora), 2);
    answer = mrYes;
    control<QPushButton>("btnPrevDelete")->click();
    ASSERT_EQ(accounts.GetCount(Ora), 1);
    EXPECT_EQ(account(main(), 0).Username, QStringLiteral("A"));
    EXPECT_EQ(tree->topLevelItem(0)->childCount(), 1);

    control<QPushButton>("btnPrevClear")->click();
    EXPECT_EQ(questions.last(), QStringLiteral("Clear the Logon History?"));
    EXPECT_EQ(accounts.GetCount(Ora), 0);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
}

TEST_F(LogonForm, WindowStateFile)
{
    {
        TIniFile ini(QDir(programDirectory()).filePath(QStringLiteral("LogonForm.ini")));
        ini.WriteString(QStringLiteral("FormState"), QStringLiteral("Sort"), QStringLiteral("USERNAME"));
        ini.WriteInteger(QStringLiteral("FormState"), QStringLiteral("Height"), 0);
        ini.WriteInteger(QStringLiteral("FormState"), QStringLiteral("Width"), 700);
    }
    start();
    EXPECT_TRUE(control<QRadioButton>("rbByUsername")->isChecked());
    EXPECT_EQ(logon().width(), 700);
    const int designedHeight = logon().height();
    EXPECT_GT(designedHeight, 100);

    control<QRadioButton>("rbByInstance")->setChecked(true);
    whileLogonShown([&] { logon().Execute({}, {}, {}, {}, {}, {}); }, [&] {
        logon().resize(720, 400);
        control<QPushButton>("btn_newCancel")->click();
    });
    TIniFile ini(TKXLogonForm::stateFileName());
    EXPECT_EQ(ini.ReadString(QStringLiteral("FormState"), QStringLiteral("Sort"), {}), QStringLiteral("instance"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("FormState"), QStringLiteral("Width"), 0), 720);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("FormState"), QStringLiteral("Height"), 0), 400);
}

TEST_F(LogonForm, CaptionsByTarget)
{
    start();
    const std::pair<const char *, const char *> captions[] = {
        { "SQL", "Logon to SQL Window" },
        { "DBNav", "Logon to DB Navigator" },
        { "JOB", "Logon to Job Window" },
        { "PTune", "Logon to Rizer Edorr" },
        { "Debugger", "Logon to PL/SQL Debugger" },
        { "other", "Logon to PL/SQL Debugger" }, // another target keeps the caption
    };
    for (const auto &[target, caption] : captions) {
        whileLogonShown([&] { logon().Execute(QLatin1String(target), {}, {}, {}, {}, {}); }, [&] {
            EXPECT_EQ(logon().windowTitle(), QLatin1String(caption));
            logon().reject();
        });
    }
}

} // namespace
