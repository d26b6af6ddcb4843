#include "MainWindowFixture.h"

#include "history/DbfHistoryFiles.h"
#include "history/DbfTable.h"
#include "shell/SQLHistoryForm.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>

using namespace qd;
using namespace qd::test;

namespace {

class SQLHistoryTest : public MainWindowTest {
protected:
    static QString historyPath(const char *name)
    {
        return QDir(programDirectory()).filePath(QLatin1String(name));
    }
    static QByteArray fileBytes(const char *name)
    {
        QFile file(historyPath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A history written before the program starts.
    static void writeHistory(const QList<std::pair<QDate, QString>> &runs)
    {
        DbfHistoryFiles files;
        files.open(historyPath("SQLHistory.dbf"));
        for (const auto &[date, script] : runs) {
            dbf::Record record;
            record.runDate = date;
            record.userName = QStringLiteral("DEMO");
            record.instance = QStringLiteral("DEMO");
            files.append(record, script.toUtf8());
        }
    }
    TDbfTable &history() { return *main().SQLDbf(); }
    QString current(const char *field) { return history().FieldByName(QLatin1String(field))->AsString(); }

    // Opens the history window through the main window's command.
    TFrmSQLHistory *openWindow()
    {
        windowFactories().SQLHistory = [this](QWidget *) -> QWidget * {
            return new TFrmSQLHistory(main().SQLDbf(), &main());
        };
        main().MainAction(QStringLiteral("ViewSQLHistory1"))->trigger();
        auto *window = children().isEmpty() ? nullptr : qobject_cast<TFrmSQLHistory *>(children().last()->widget());
        EXPECT_NE(window, nullptr);
        return window;
    }
    // Ctrl+F in the window, as the user presses it.
    void pressFind(TFrmSQLHistory *window)
    {
        main().show();
        QApplication::setActiveWindow(&main());
        window->SQLMemo()->setFocus();
        QTest::keyClick(window->SQLMemo(), Qt::Key_F, Qt::ControlModifier);
    }
    void find(TFrmSQLHistory *window, const QString &text, bool down, bool matchCase = false)
    {
        TSQLHistoryFindDialog *dialog = window->FindDialog1();
        dialog->SetFindText(text);
        dialog->SetDown(down);
        dialog->findChild<QCheckBox *>(QStringLiteral("MatchCase"))->setChecked(matchCase);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("FindNext")), Qt::LeftButton);
    }
};

TEST_F(SQLHistoryTest, StartUpCreatesTheHistoryAndRunsAreRecorded)
{
    start();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    ASSERT_TRUE(history().Active());
    EXPECT_EQ(fileBytes("SQLHistory.dbf").size(), 161);
    EXPECT_EQ(fileBytes("SQLHistory.dbt").size(), 512);
    main().AddSQLHistory(QStringLiteral("SCOTT"), QStringLiteral("DEMO"), QStringLiteral("select 1 from dual"));
    EXPECT_EQ(history().RecordCount(), 1);
    EXPECT_EQ(current("SQL"), QStringLiteral("select 1 from dual"));
    EXPECT_EQ(fileBytes("SQLHistory.dbf").size(), 161 + 305);
}

TEST_F(SQLHistoryTest, HistoryOffOpensNothing)
{
    writeFile(QStringLiteral("QuarloDesk.Ini"), "[SQL]\nSaveSQLHistory=0\n");
    start();
    EXPECT_FALSE(history().Active());
    main().AddSQLHistory(QStringLiteral("SCOTT"), QStringLiteral("DEMO"), QStringLiteral("select 1 from dual"));
    EXPECT_FALSE(QFile::exists(historyPath("SQLHistory.dbf")));
    EXPECT_FALSE(QFile::exists(historyPath("SQLHistory.dbt")));
}

TEST_F(SQLHistoryTest, StartUpPurgeKeepsTheLastDays)
{
    const QDate today = QDate::currentDate();
    writeHistory({ { today.addDays(-30), "old" }, { today.addDays(-1), "yesterday" }, { today, "today" } });
    writeFile(QStringLiteral("QuarloDesk.Ini"), "[SQL]\nSQLHistoryKeep=1\n");
    start();
    ASSERT_TRUE(history().Active());
    EXPECT_EQ(history().RecordCount(), 2);
    // Positioned on the last record.
    EXPECT_EQ(current("SQL"), QStringLiteral("today"));
    EXPECT_EQ(fileBytes("SQLHistory.dbf").size(), 161 + 2 * 305);
}

TEST_F(SQLHistoryTest, CorruptHistoryIsReportedAndLeftAlone)
{
    writeHistory({ { QDate::currentDate(), "select 1 from dual" } });
    QByteArray table = fileBytes("SQLHistory.dbf");
    table[10] = 0x20; // record length
    writeFile(QStringLiteral("SQLHistory.dbf"), table);
    const QByteArray memo = fileBytes("SQLHistory.dbt");
    start();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0],
        QStringLiteral("Error opening the SQL History files: SQLHistory.dbf, SQLHistory.dbt\n"
                       "Check security settings or re-install the application.\n\n"
                       "SQLHistory.dbf: record length 288, expected 305"));
    EXPECT_FALSE(history().Active());
    main().AddSQLHistory(QStringLiteral("SCOTT"), QStringLiteral("DEMO"), QStringLiteral("lost"));
    EXPECT_EQ(fileBytes("SQLHistory.dbf"), table);
    EXPECT_EQ(fileBytes("SQLHistory.dbt"), memo);
    // The program runs on without history.
    EXPECT_TRUE(main().Menu(QStringLiteral("File1"))->isEnabled());
}

TEST_F(SQLHistoryTest, WindowBrowsesAndFinds)
{
    const QDate today = QDate::currentDate();
    writeHistory({ { today, "select * from EMP" }, { today, "select * from dept" },
        { today, "update emp set sal = sal" } });
    start();
    TFrmSQLHistory *window = openWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("SQL History"));
    // On the last record after start-up.
    EXPECT_EQ(window->SQLMemo()->toPlainText(), QStringLiteral("update emp set sal = sal"));
    EXPECT_FALSE(window->NavigatorAction(QStringLiteral("nbNext"))->isEnabled());
    EXPECT_EQ(window->NavigatorAction(QStringLiteral("nbFirst"))->toolTip(), QStringLiteral("First Record"));
    window->NavigatorAction(QStringLiteral("nbFirst"))->trigger();
    EXPECT_EQ(window->SQLMemo()->toPlainText(), QStringLiteral("select * from EMP"));
    EXPECT_EQ(window->findChild<QLineEdit *>(QStringLiteral("EditUSERNAME"))->text(), QStringLiteral("DEMO"));
    EXPECT_TRUE(window->findChild<QLineEdit *>(QStringLiteral("EditUSERNAME"))->isReadOnly());
    EXPECT_FALSE(window->NavigatorAction(QStringLiteral("nbPrior"))->isEnabled());

    pressFind(window);
    ASSERT_NE(window->FindDialog1(), nullptr);
    EXPECT_TRUE(window->FindDialog1()->isVisible());
    // The first search starts at the current record, later ones move on first.
    find(window, QStringLiteral("emp"), true);
    EXPECT_EQ(current("SQL"), QStringLiteral("select * from EMP"));
    EXPECT_EQ(window->SQLMemo()->textCursor().selectedText(), QStringLiteral("EMP"));
    find(window, QStringLiteral("emp"), true);
    EXPECT_EQ(current("SQL"), QStringLiteral("update emp set sal = sal"));
    EXPECT_EQ(window->SQLMemo()->textCursor().selectionStart(), 7);
    EXPECT_TRUE(messages.isEmpty());
    find(window, QStringLiteral("emp"), true);
    EXPECT_EQ(messages, QStringList { QStringLiteral("Not found") });
    EXPECT_EQ(current("SQL"), QStringLiteral("update emp set sal = sal"));
    messages.clear();
    // Upwards with match case: "EMP" only in the first record.
    find(window, QStringLiteral("EMP"), false, true);
    EXPECT_EQ(current("SQL"), QStringLiteral("select * from EMP"));
    find(window, QStringLiteral("DEPT"), false, true);
    EXPECT_EQ(messages, QStringList { QStringLiteral("Not found") });
    EXPECT_EQ(current("SQL"), QStringLiteral("select * from EMP"));
    // Down again, without match case.
    find(window, QStringLiteral("DEPT"), true);
    EXPECT_EQ(window->SQLMemo()->toPlainText(), QStringLiteral("select * from dept"));
    // Showing the dialog again starts over at the current record.
    pressFind(window);
    find(window, QStringLiteral("dept"), true);
    EXPECT_EQ(current("SQL"), QStringLiteral("select * from dept"));
}

TEST_F(SQLHistoryTest, ClearAsksFirst)
{
    writeHistory({ { QDate::currentDate(), "one" }, { QDate::currentDate(), "two" } });
    start();
    TFrmSQLHistory *window = openWindow();
    ASSERT_NE(window, nullptr);
    const QByteArray before = fileBytes("SQLHistory.dbf");
    QAction *clear = window->findChild<QAction *>(QStringLiteral("ClearHistory1"));
    ASSERT_NE(clear, nullptr);
    answer = mrNo;
    clear->trigger();
    EXPECT_EQ(questions, QStringList { QStringLiteral("Clear the SQL History?") });
    EXPECT_EQ(history().RecordCount(), 2);
    EXPECT_EQ(fileBytes("SQLHistory.dbf"), before);
    answer = mrYes;
    clear->trigger();
    EXPECT_TRUE(history().IsEmpty());
    EXPECT_TRUE(window->SQLMemo()->toPlainText().isEmpty());
    EXPECT_FALSE(window->NavigatorAction(QStringLiteral("nbDelete"))->isEnabled());
    EXPECT_EQ(fileBytes("SQLHistory.dbf").size(), 161);
}

TEST_F(SQLHistoryTest, DeleteButtonRemovesTheRecord)
{
    writeHistory({ { QDate::currentDate(), "one" }, { QDate::currentDate(), "two" } });
    start();
    TFrmSQLHistory *window = openWindow();
    ASSERT_NE(window, nullptr);
    answer = mrNo;
    window->NavigatorAction(QStringLiteral("nbDelete"))->trigger();
    EXPECT_EQ(history().RecordCount(), 2);
    answer = mrYes;
    window->NavigatorAction(QStringLiteral("nbDelete"))->trigger();
    EXPECT_EQ(questions, (QStringList { QStringLiteral("Delete record?"), QStringLiteral("Delete record?") }));
    EXPECT_EQ(history().RecordCount(), 1);
    EXPECT_EQ(window->SQLMemo()->toPlainText(), QStringLiteral("one"));
}

TEST_F(SQLHistoryTest, EditCurrentRecordWithoutSavedLogonShowsTheLogonDialog)
{
    writeHistory({ { QDate::currentDate(), "select sysdate from dual" } });
    start();
    TFrmSQLHistory *window = openWindow();
    ASSERT_NE(window, nullptr);
    auto *button = window->findChild<QPushButton *>(QStringLiteral("EditCurrentRecord"));
    ASSERT_NE(button, nullptr);
    whileLogonShown([&] { QTest::mouseClick(button, Qt::LeftButton); },
        [&] {
            EXPECT_EQ(control<QLineEdit>("edt_username")->text(), QStringLiteral("DEMO"));
            EXPECT_EQ(control<QComboBox>("cb_instance")->currentText(), QStringLiteral("DEMO"));
            EXPECT_TRUE(control<QLineEdit>("edt_password")->text().isEmpty());
            control<QLineEdit>("edt_password")->setText(QStringLiteral("DEMO"));
            QTest::mouseClick(control<QPushButton>("btn_newLogon"), Qt::LeftButton);
        });
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(requests.last().kind, QStringLiteral("SQL"));
    EXPECT_EQ(requests.last().file, QStringLiteral("select sysdate from dual"));
    ASSERT_FALSE(worksheets.isEmpty());
    EXPECT_EQ(worksheets.last()->editor->toPlainText(), QStringLiteral("select sysdate from dual"));
}

} // namespace

namespace {

// With a saved logon the script opens in a worksheet at once, logged on as a plain (NORMAL)
// session to the database in upper case; a logon that fails falls back to the dialog.
TEST_F(SQLHistoryTest, EditCurrentRecordWithSavedLogon)
{
    {
        DbfHistoryFiles files;
        files.open(historyPath("SQLHistory.dbf"));
        dbf::Record record;
        record.runDate = QDate::currentDate();
        record.userName = QStringLiteral("DEMO");
        record.instance = QStringLiteral("demo");
        files.append(record, "select user from dual");
    }
    start();
    main().AccountList().AddAccount(QStringLiteral("ORA"), QStringLiteral("DEMO"), QStringLiteral("DEMO"),
        QStringLiteral("demo"), QStringLiteral("D"));
    TFrmSQLHistory *window = openWindow();
    ASSERT_NE(window, nullptr);
    auto *button = window->findChild<QPushButton *>(QStringLiteral("EditCurrentRecord"));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(logon().isVisible());
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].logon.Database, QStringLiteral("DEMO"));
    EXPECT_EQ(requests[0].logon.Username, QStringLiteral("DEMO"));
    EXPECT_EQ(requests[0].logon.Password, QStringLiteral("DEMO"));
    EXPECT_EQ(requests[0].logon.Mode, QStringLiteral("NORMAL"));
    ASSERT_EQ(worksheets.size(), 1);
    EXPECT_EQ(worksheets[0]->editor->toPlainText(), QStringLiteral("select user from dual"));

    // A saved password the server refuses: the dialog comes up filled in instead.
    main().AccountList().AddAccount(QStringLiteral("ORA"), QStringLiteral("DEMO"), QStringLiteral("wrong"),
        QStringLiteral("demo"), QStringLiteral("N"));
    bool shown = false;
    whileLogonShown([&] { QTest::mouseClick(button, Qt::LeftButton); },
        [&] {
            shown = true;
            EXPECT_EQ(control<QLineEdit>("edt_username")->text(), QStringLiteral("DEMO"));
            EXPECT_EQ(control<QComboBox>("cb_instance")->currentText(), QStringLiteral("demo"));
            logon().reject();
        });
    EXPECT_TRUE(shown);
    EXPECT_EQ(worksheets.size(), 1);
}

} // namespace
