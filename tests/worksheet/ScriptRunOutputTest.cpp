// The runner's text output against golden files: DML feedback, query columns, server output,
// stored code with compile errors, "/" and the run's bracket of window calls.
#include "RunnerTestSupport.h"

using namespace qd;
using namespace qd::test;

using ScriptRunText = RunnerFixture;

TEST_F(ScriptRunText, UpdateOfNoRowsInsertAndDeleteFeedback)
{
    RunSqlIgnoringErrors(*session, QStringLiteral("drop table rt_dml"));
    const QStringList out = run(QStringLiteral("create table rt_dml (x number);\n"
                                               "insert into rt_dml values (1);\n"
                                               "insert into rt_dml select x + 1 from rt_dml;\n"
                                               "update rt_dml set x = 1 where 1 = 0;\n"
                                               "update rt_dml set x = x + 10;\n"
                                               "delete from rt_dml where x = 11;\n"
                                               "drop table rt_dml;"));
    expectGolden(QStringLiteral("dml-feedback.txt"), out);
    EXPECT_TRUE(host.errors.isEmpty()) << host.errorTexts().join(u'\n').toStdString();
}

TEST_F(ScriptRunText, ColumnWidthsLineBreaksAndRowCounts)
{
    CreateFreshTable(*session, QStringLiteral("rt_cols"), QStringLiteral("name varchar2(10), n number"));
    RunSql(*session, QStringLiteral("insert into rt_cols values ('abc', 42)"));
    RunSql(*session, QStringLiteral("insert into rt_cols values ('a' || chr(13) || chr(10) || 'b', null)"));
    RunSql(*session, QStringLiteral("insert into rt_cols values ('x' || chr(10) || 'y', -1.5)"));
    RunSql(*session, QStringLiteral("commit"));
    const QStringList out = run(QStringLiteral("select name, n from rt_cols order by n;\n"
                                               "select name from rt_cols where 1 = 0;\n"
                                               "select n from rt_cols where n = 42;"));
    expectGolden(QStringLiteral("query-columns.txt"), out);
    // VARCHAR2(10) is 10 wide, NUMBER 80.
    ASSERT_GE(out.size(), 3);
    EXPECT_EQ(out[1], QString(10, u'-') + u' ' + QString(80, u'-'));
    RunSqlIgnoringErrors(*session, QStringLiteral("drop table rt_cols"));
}

TEST_F(ScriptRunText, ServerOutputFollowsTheBlock)
{
    const QStringList out = run(QStringLiteral("begin\n"
                                               "  dbms_output.put_line('first line');\n"
                                               "  dbms_output.put_line('second line');\n"
                                               "end;\n"
                                               "/\n"
                                               "prompt   after the block  \n"));
    expectGolden(QStringLiteral("server-output.txt"), out);
}

TEST_F(ScriptRunText, ServerOutputOffWritesNoServerLines)
{
    settings.ServerOutputOn = false;
    const QStringList out = run(QStringLiteral("begin\n"
                                               "  dbms_output.put_line('hidden');\n"
                                               "end;\n"
                                               "/\n"));
    EXPECT_FALSE(out.contains(QStringLiteral("hidden")));
    EXPECT_TRUE(out.contains(QStringLiteral("PL/SQL block completed successfully.")));
}

TEST_F(ScriptRunText, PackageBodyWithASyntaxErrorWarnsAndShowErrorsListsIt)
{
    const QStringList out = run(QStringLiteral("create or replace package rt_pkg is\n"
                                               "  procedure p;\n"
                                               "end;\n"
                                               "/\n"
                                               "create or replace package body rt_pkg is\n"
                                               "  procedure p is\n"
                                               "  begin\n"
                                               "    null\n"
                                               "  end;\n"
                                               "end;\n"
                                               "/\n"
                                               "show errors\n"));
    expectGolden(QStringLiteral("package-body-errors.txt"), out);
    // The compile errors are listed at their editor lines (the body starts on line 5).
    ASSERT_FALSE(host.errors.isEmpty());
    for (const TScriptError &e : host.errors) {
        EXPECT_GE(e.Line, 5) << e.Text.toStdString();
        EXPECT_TRUE(e.Text.startsWith(QString::number(e.Line) + u':' + QString::number(e.Column)
            + QStringLiteral(" - ")));
    }
    EXPECT_EQ(host.state.LastObjectName, QStringLiteral("RT_PKG"));
    EXPECT_EQ(host.state.LastObjectKind, skCreatePackageBody);
    EXPECT_EQ(host.statuses.last(), QStringLiteral("Errors occurred"));
}

TEST_F(ScriptRunText, CreatedCodeAndViewFeedbackAndNoErrors)
{
    const QStringList out = run(QStringLiteral("create or replace procedure rt_proc is\n"
                                               "begin\n"
                                               "  null;\n"
                                               "end;\n"
                                               "/\n"
                                               "show errors\n"
                                               "create or replace view rt_view as select 1 x from dual;\n"
                                               "drop view rt_view;\n"
                                               "drop procedure rt_proc;"));
    expectGolden(QStringLiteral("created-code.txt"), out);
    EXPECT_TRUE(host.errors.isEmpty()) << host.errorTexts().join(u'\n').toStdString();
}

TEST_F(ScriptRunText, SlashRunsTheLastQueryOrDmlAgainAndNothingAfterAPrompt)
{
    CreateFreshTable(*session, QStringLiteral("rt_again"), QStringLiteral("x number"));
    const QStringList out = run(QStringLiteral("insert into rt_again values (7);\n"
                                               "/\n"
                                               "select count(*) c from rt_again;\n"
                                               "/\n"
                                               "prompt done\n"
                                               "/\n"));
    expectGolden(QStringLiteral("run-buffer.txt"), out);
    EXPECT_EQ(ScalarText(*session, QStringLiteral("select count(*) from rt_again")), "2");
    RunSqlIgnoringErrors(*session, QStringLiteral("drop table rt_again"));
}

TEST_F(ScriptRunText, UnrecognisedCommandIsWrittenAndListed)
{
    const QStringList out
        = run(QStringLiteral("prompt one\n"
                             "frobnicate the database with a very long command line text\n"
                             "prompt two"));
    expectGolden(QStringLiteral("unrecognised.txt"), out);
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_EQ(host.errors[0].Line, 2);
    EXPECT_EQ(host.errors[0].Column, 1);
}

TEST_F(ScriptRunText, RunBracketOfWindowCalls)
{
    run(QStringLiteral("prompt hello\nselect 1 from dual;"));
    EXPECT_EQ(host.calls,
        QStringList({ "BeginRunUI", "ShowText", "FinishText", "EndRunUI", "ShowElapsedTime",
            "SyncNavigatorLogon", "QueryThreadFinished" }));
    EXPECT_EQ(host.loads, 1);
    EXPECT_EQ(host.saves, 1);
    EXPECT_TRUE(host.statuses.contains(QStringLiteral("Executing editor contents...")));
    EXPECT_TRUE(host.statuses.contains(QStringLiteral("Spooling Data...")));
    EXPECT_EQ(host.statuses.last(), QString());
    EXPECT_FALSE(host.elapsed.isEmpty());
}

TEST_F(ScriptRunText, AScriptOfCommentsEndsAtOnceWithoutOutputOrElapsedTime)
{
    const QStringList out = run(QStringLiteral("-- nothing\n/* here */\nrem either\n"));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_FALSE(host.calls.contains(QStringLiteral("ShowElapsedTime")));
    EXPECT_TRUE(host.calls.contains(QStringLiteral("EndRunUI")));
    EXPECT_TRUE(host.calls.contains(QStringLiteral("QueryThreadFinished")));
}

TEST_F(ScriptRunText, EmptyTextStartsNoRun)
{
    TQueryThreadParams params;
    params.Session = session.get();
    EXPECT_EQ(TQueryThread::StartQueryThread(host, params), nullptr);
    EXPECT_EQ(host.loads, 0);
}

TEST_F(ScriptRunText, AValueCutOnFetchStillShowsItsRowWithAWarning)
{
    // The session measures its date text once; a longer date format set afterwards makes the
    // fetched text longer than the buffer made for it.
    withGrid = false;
    const QStringList out = run(QStringLiteral(
        "select sysdate from dual;\n"
        "alter session set nls_date_format = 'YYYY-MM-DD HH24:MI:SS';\n"
        "select to_date('2020-09-15 10:11:12', 'YYYY-MM-DD HH24:MI:SS') d, 'next' n from dual;"));
    const int warning = out.indexOf(
        QStringLiteral("Warning: ORA-01406: fetched column value was truncated (D)"));
    ASSERT_GE(warning, 1) << out.join(u'\n').toStdString();
    EXPECT_TRUE(out[warning - 1].startsWith(QStringLiteral("2020-09-1")));
    EXPECT_TRUE(out[warning - 1].contains(QStringLiteral(" next")));
    EXPECT_EQ(out[warning + 2], QStringLiteral("Query returned 1 row."));
}

TEST_F(ScriptRunText, LineBreaksNearTheColumnWidthKeepTheWidth)
{
    // VARCHAR2(10): each line break (CR LF, LF or CR) is one blank, and the value is padded to
    // ten.
    struct Case {
        const char *value; // SQL expression
        QString shown;
    };
    const QList<Case> cases = {
        { "'abcdefgh' || chr(13) || chr(10)", QStringLiteral("abcdefgh  ") },
        { "'abcdefg' || chr(13) || chr(10) || 'z'", QStringLiteral("abcdefg z ") },
        { "'abcdefghi' || chr(10)", QStringLiteral("abcdefghi ") },
        { "'abcdefghi' || chr(13)", QStringLiteral("abcdefghi ") },
        { "chr(13) || chr(13) || 'a'", QStringLiteral("  a       ") },
        { "chr(10) || chr(13) || 'a'", QStringLiteral("  a       ") },
        { "'abcdefghij'", QStringLiteral("abcdefghij") },
    };
    CreateFreshTable(
        *session, QStringLiteral("rt_breaks"), QStringLiteral("k number, v varchar2(10)"));
    for (int i = 0; i < cases.size(); ++i)
        RunSql(*session,
            QStringLiteral("insert into rt_breaks values (%1, %2)")
                .arg(i)
                .arg(QString::fromLatin1(cases[i].value)));
    RunSql(*session, QStringLiteral("commit"));
    withGrid = false;
    const QStringList out = run(QStringLiteral("select v from rt_breaks order by k;"));
    ASSERT_GE(out.size(), 2 + cases.size()) << out.join(u'\n').toStdString();
    for (int i = 0; i < cases.size(); ++i)
        EXPECT_EQ(out[2 + i], cases[i].shown) << cases[i].value;
    RunSqlIgnoringErrors(*session, QStringLiteral("drop table rt_breaks"));
}
