// The program as a user meets it: start in a fresh program directory, log on to the demo
// database through the logon dialog, run a script in a worksheet, close the program.
#include "shell/MainWindowFixture.h"

#include "classlib/DataSetModel.h"
#include "oracle/QStringPrinter.h"
#include "shell/MRUList.h"
#include "worksheet/EditorPane.h"
#include "worksheet/SQLForm.h"

#include <QAbstractItemModel>
#include <QDeadlineTimer>
#include <QTabWidget>
#include <QTableView>
#include <QThread>

using namespace qd;
using namespace qd::test;

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

using EndToEnd = MainWindowTest;

TEST_F(EndToEnd, LogOnRunAScriptAndClose)
{
    windowFactories().Worksheet = [](QWidget *owner, const TLogonValues &logon,
                                      const QString &fileOrText, bool asFile) -> QWidget * {
        return TSQLForm::CreateWorksheet(owner, logon, fileOrText, asFile);
    };
    start();
    main().show();
    whileLogonShown([&] { main().MainAction(QStringLiteral("SQL1"))->trigger(); }, [&] {
        QTest::keyClicks(control<QLineEdit>("edt_username"), QStringLiteral("demo"));
        QTest::keyClicks(control<QLineEdit>("edt_password"), QStringLiteral("DEMO"));
        control<QComboBox>("cb_instance")->setEditText(QStringLiteral("DEMO"));
        QTest::keyClick(control<QPushButton>("btn_newLogon"), Qt::Key_Space);
    });
    ASSERT_EQ(children().size(), 1) << messages.join(u'\n').toStdString();
    QPointer<TSQLForm> form = qobject_cast<TSQLForm *>(children()[0]->widget());
    ASSERT_TRUE(form);
    ASSERT_TRUE(form->Session()->Connected());
    EXPECT_EQ(form->Username(), QStringLiteral("DEMO"));

    // One query: its rows in the grid.
    form->Editor()->setText(QStringLiteral("select ename from emp order by ename"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitFor([&] { return !form->Running(); }));
    EXPECT_EQ(form->GridModel()->rowCount(), 8);

    // A script: feedback in the text output.
    form->Editor()->setText(QStringLiteral(
        "create table e2e_notes (id number, note varchar2(20));\n"
        "insert into e2e_notes values (1, 'first');\n"
        "select note from e2e_notes;\n"
        "drop table e2e_notes;\n"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitFor([&] { return !form->Running(); }));
    const QString output = form->TextOutput()->text();
    EXPECT_TRUE(output.contains(QStringLiteral("1 row inserted."))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("first"))) << output.toStdString();

    // The logon is among the recent ones; closing takes the worksheet and its session along.
    ASSERT_EQ(main().RecentLogons().Count(), 1);
    answer = mrNo; // do not save the editor's text
    EXPECT_TRUE(main().close());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(children().isEmpty());
    program.reset();
    TMRUList logons;
    logons.SetFileName(TMRUList::recentLogonsFileName());
    logons.LoadFromFile();
    EXPECT_EQ(logons.Count(), 1);
}

} // namespace
