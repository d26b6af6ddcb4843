// Script commands in a run: VARIABLE and bind variables, DEFINE, ACCEPT, substitution
// variables, DESCRIBE and CONNECT.
#include "RunnerTestSupport.h"

#include "browsers/OracleDescriber.h"

using namespace qd;
using namespace qd::test;

using ScriptCommands = RunnerFixture;

namespace {

// The value column of the single row of a text query's output.
QString firstRowValue(const QStringList &out)
{
    return out.size() > 2 ? out[2].trimmed() : QStringLiteral("<no row>");
}

} // namespace

TEST_F(ScriptCommands, ABlockAssignsABindVariableThatTheNextQueryReads)
{
    const QStringList out = run(QStringLiteral("variable v number\n"
                                               "begin :v := 3; end;\n"
                                               "/\n"
                                               "select :v from dual;"));
    EXPECT_EQ(firstRowValue(out.mid(out.indexOf(QStringLiteral("PL/SQL block completed successfully.")) + 2)),
        QStringLiteral("3"));
    EXPECT_EQ(host.state.BindVariables.GetKind(QStringLiteral("V")), kvkBindNumber);
    EXPECT_EQ(host.state.BindVariables.GetValue(QStringLiteral("v")).AsInteger(), 3);

    // The window keeps the variable for its next run.
    host.finished = false;
    host.output.clear();
    withGrid = false;
    const QStringList again = run(QStringLiteral("select :v + 1 from dual;"));
    EXPECT_EQ(firstRowValue(again), QStringLiteral("4"));
}

TEST_F(ScriptCommands, CharVariablesAndExecute)
{
    const QStringList out = run(QStringLiteral("variable c char\n"
                                               "exec :c := 'Mixed Case'\n"
                                               "select :c from dual;"));
    EXPECT_TRUE(out.contains(QStringLiteral("PL/SQL procedure completed successfully.")));
    EXPECT_TRUE(out.join(u'\n').contains(QStringLiteral("Mixed Case")));
    EXPECT_EQ(host.state.BindVariables.GetValue(QStringLiteral("C")).AsString(),
        QStringLiteral("Mixed Case"));
}

TEST_F(ScriptCommands, VariableAndExecuteErrorsEndTheRun)
{
    struct Case {
        const char *text;
        const char *error;
    };
    const Case cases[] = {
        { "variable v", "Variable declaration incomplete." },
        { "variable", "Variable declaration incomplete." },
        { "variable v varchar2(10)", "Variable declaration type VARCHAR2(10) not allowed." },
        { "variable v char(10)", "Variable declaration type CHAR(10) not allowed." },
        { "exec", "No PL/SQL procedure specified in EXECUTE command." },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        host = RecordingHost();
        run(QString::fromLatin1(c.text) + QStringLiteral("\nprompt after"));
        EXPECT_EQ(host.runError, QString::fromLatin1(c.error));
        EXPECT_FALSE(host.output.contains(QStringLiteral("after")));
    }
}

TEST_F(ScriptCommands, DefineSetsAndShowsSubstitutionVariables)
{
    EXPECT_TRUE(run(QStringLiteral("define x")).isEmpty());
    host = RecordingHost();
    const QStringList out = run(QStringLiteral("define x = 5\n"
                                               "define x\n"
                                               "define y=7\n"
                                               "define y\n"
                                               "define z =\n"
                                               "define z\n"
                                               "define q = 'Keep Case'\n"
                                               "define q"));
    EXPECT_EQ(out,
        QStringList({ "Substitution variable X = \"5\" (CHAR)",
            "Substitution variable Y = \"7\" (CHAR)", "Substitution variable Z = \"\" (CHAR)",
            "Substitution variable Q = \"Keep Case\" (CHAR)" }));
    EXPECT_EQ(host.state.SubstitutionVariables.GetValue(QStringLiteral("x")).AsString(), "5");
}

TEST_F(ScriptCommands, DefineErrors)
{
    struct Case {
        const char *text;
        const char *error;
    };
    const Case cases[] = {
        { "define", "Must specify a variable name in DEFINE command." },
        { "define x 5", "Improperly formatted DEFINE command." },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        host = RecordingHost();
        run(QString::fromLatin1(c.text));
        EXPECT_EQ(host.runError, QString::fromLatin1(c.error));
    }
}

TEST_F(ScriptCommands, SubstitutionAsksForEachAmpersandAndOnceForDoubleAmpersand)
{
    withGrid = false;
    host.answers = QStringList({ "one", "two", "kept" });
    const QStringList out = run(QStringLiteral("select '&a' a, '&a' b from dual;\n"
                                               "select '&&k' k from dual;\n"
                                               "select '&k' k from dual;"));
    ASSERT_EQ(host.prompts.size(), 3);
    EXPECT_EQ(host.prompts[0].Text, QStringLiteral("Enter a value for A"));
    EXPECT_EQ(host.prompts[0].Caption, QStringLiteral("Substitution Variable"));
    EXPECT_EQ(host.prompts[2].Text, QStringLiteral("Enter a value for K"));
    const QString text = out.join(u'\n');
    EXPECT_TRUE(text.contains(QStringLiteral("one"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("two")));
    EXPECT_EQ(text.count(QStringLiteral("kept")), 2);
    EXPECT_EQ(host.state.SubstitutionVariables.GetValue(QStringLiteral("K")).AsString(), "kept");
    EXPECT_FALSE(host.state.SubstitutionVariables.Exists(QStringLiteral("A")));
}

TEST_F(ScriptCommands, ACancelledValuePromptEndsTheRunBeforeTheStatementRuns)
{
    CreateFreshTable(*session, QStringLiteral("rt_sub"), QStringLiteral("x varchar2(10)"));
    run(QStringLiteral("insert into rt_sub values ('&v');\nprompt after"));
    EXPECT_EQ(host.prompts.size(), 1);
    EXPECT_FALSE(host.runError.isEmpty());
    EXPECT_FALSE(host.output.contains(QStringLiteral("after")));
    EXPECT_EQ(ScalarText(*session, QStringLiteral("select count(*) from rt_sub")), "0");
    RunSqlIgnoringErrors(*session, QStringLiteral("drop table rt_sub"));
}

TEST_F(ScriptCommands, AcceptOptionsReachThePrompt)
{
    host.answers = QStringList({ "42", "x", "y", "z" });
    run(QStringLiteral("accept n num default 5 prompt 'Your number:' hide\n"
                       "accept d date format 'DD-MON-YYYY'\n"
                       "accept c char noprompt\n"
                       "accept p"));
    ASSERT_EQ(host.prompts.size(), 4);
    EXPECT_EQ(host.prompts[0].MaskKind, 0);
    EXPECT_EQ(host.prompts[0].Default, QStringLiteral("5"));
    EXPECT_EQ(host.prompts[0].Text, QStringLiteral("Your number:"));
    EXPECT_TRUE(host.prompts[0].Hide);
    EXPECT_EQ(host.prompts[1].MaskKind, 2);
    EXPECT_EQ(host.prompts[1].Format, QStringLiteral("DD-MON-YYYY"));
    EXPECT_EQ(host.prompts[2].MaskKind, 1);
    EXPECT_EQ(host.prompts[2].Text, QStringLiteral("Enter a value for C"));
    EXPECT_FALSE(host.prompts[3].Hide);
    EXPECT_EQ(host.prompts[3].Text, QStringLiteral("Enter a value for P"));
    EXPECT_EQ(host.state.SubstitutionVariables.GetValue(QStringLiteral("N")).AsString(), "42");
    EXPECT_EQ(host.state.SubstitutionVariables.GetKind(QStringLiteral("N")), kvkSubstitution);
    EXPECT_TRUE(host.runError.isEmpty()) << host.runError.toStdString();
}

TEST_F(ScriptCommands, AcceptAbbreviationsAndErrors)
{
    struct Case {
        const char *text;
        const char *error; // empty: accepted
    };
    const Case cases[] = {
        { "accept v numb for 999 def 1 nopr", "" },
        { "accept v numbe forma 9 defau 2 noprom", "" },
        { "accept", "Missing variable name on ACCEPT command." },
        { "accept v number char", "Too many datatype specifiers on ACCEPT command." },
        { "accept v format", "Missing FORMAT string on ACCEPT command." },
        { "accept v default", "Missing DEFAULT string on ACCEPT command." },
        { "accept v prompt", "Missing PROMPT string on ACCEPT command." },
        { "accept v prompt 'a' noprompt", "Too many PROMPT|NOPROMPT specifiers on ACCEPT command." },
        { "accept v nu", "Improperly formatted ACCEPT command." },
        { "accept v loudly", "Improperly formatted ACCEPT command." },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        host = RecordingHost();
        host.answers = QStringList({ "1" });
        run(QString::fromLatin1(c.text));
        EXPECT_EQ(host.runError, QString::fromLatin1(c.error));
        EXPECT_EQ(host.prompts.size(), c.error[0] ? 0 : 1);
    }
}

TEST_F(ScriptCommands, DescribeWritesTablesViewsAndSynonymsAsText)
{
    InstallOracleDescriber();
    withGrid = false;
    RunSqlIgnoringErrors(*session, QStringLiteral("drop view rt_dept_view"));
    RunSql(*session,
        QStringLiteral("create view rt_dept_view as select deptno, dname from dept"));
    const QStringList out = run(QStringLiteral("desc emp@remote\n"
                                               "desc dept\n"
                                               "describe rt_dept_view\n"
                                               "desc staff"));
    expectGolden(QStringLiteral("describe.txt"), out);
    EXPECT_EQ(out.value(0), QStringLiteral("Cannot specify a database link in a describe statement."));
    RunSqlIgnoringErrors(*session, QStringLiteral("drop view rt_dept_view"));
}

TEST_F(ScriptCommands, DescribeAloneOpensTheColumnQueryInTheGrid)
{
    InstallOracleDescriber();
    run(QStringLiteral("desc dept"));
    EXPECT_EQ(host.attaches, 1);
    ASSERT_TRUE(dataSet->Active());
    EXPECT_EQ(dataSet->GetVariable(QStringLiteral("obj_name")).AsString(), QStringLiteral("DEPT"));
    EXPECT_EQ(dataSet->GetVariable(QStringLiteral("obj_owner")).AsString(), QStringLiteral("DEMO"));
    EXPECT_TRUE(host.output.isEmpty());
}

TEST_F(ScriptCommands, ConnectMovesTheRestOfTheRunToTheNewLogon)
{
    withGrid = false;
    host.connect = [this](const TScriptLogon &logon, bool) {
        session->LogOff();
        session->SetLogonUsername(logon.Username);
        session->SetLogonPassword(logon.Password);
        session->SetLogonDatabase(logon.Database);
        session->LogOn();
        return true;
    };
    const QStringList out = run(QStringLiteral("select user from dual;\n"
                                               "connect hr/HR@DEMO\n"
                                               "select user from dual;\n"
                                               "begin dbms_output.put_line('output still on'); end;\n"
                                               "/"));
    ASSERT_EQ(host.logons.size(), 1);
    EXPECT_EQ(host.logons[0].Username, QStringLiteral("hr"));
    EXPECT_EQ(host.logons[0].Password, QStringLiteral("HR"));
    EXPECT_EQ(host.logons[0].Database, QStringLiteral("DEMO"));
    EXPECT_FALSE(host.askedFirst[0]);
    const int connected = out.indexOf(QStringLiteral("\rConnected To hr@DEMO"));
    ASSERT_GE(connected, 0) << out.join(u'|').toStdString();
    EXPECT_EQ(out.value(connected + 1, QStringLiteral("<none>")), QString());
    const QString before = out.mid(0, connected).join(u'\n');
    const QString after = out.mid(connected).join(u'\n');
    EXPECT_TRUE(before.contains(QStringLiteral("DEMO")));
    EXPECT_TRUE(after.contains(QStringLiteral("\nHR ")));
    EXPECT_TRUE(after.contains(QStringLiteral("output still on")));
    EXPECT_EQ(session->LogonUsername(), QStringLiteral("hr"));
}

// A double-quoted password reaches the logon as typed: case, quotes taken off, runs of blanks.
TEST_F(ScriptCommands, ConnectQuotedPasswordKeepsItsBlanks)
{
    withGrid = false;
    host.connect = [](const TScriptLogon &, bool) { return false; };
    run(QStringLiteral("connect Hr/\"Two  Blanks x\"@DEMO"));
    ASSERT_EQ(host.logons.size(), 1);
    EXPECT_EQ(host.logons[0].Username, QStringLiteral("Hr"));
    EXPECT_EQ(host.logons[0].Password, QStringLiteral("Two  Blanks x"));
    EXPECT_EQ(host.logons[0].Database, QStringLiteral("DEMO"));
    EXPECT_FALSE(host.askedFirst[0]);
}

TEST_F(ScriptCommands, ConnectWithoutAllPartsAsksAndParseErrorsEndTheRun)
{
    struct Case {
        const char *text;
        bool asks;
        const char *error;
    };
    const Case cases[] = {
        { "connect", true, "User cancelled CONNECT command." },
        { "connect demo@DEMO", true, "User cancelled CONNECT command." },
        { "connect /", false, "CONNECT: OS Logon not supported" },
        { "connect demo/DEMO@DEMO as admin", false,
            "CONNECT: unknown connect mode \"ADMIN\" (SYSDBA or SYSOPER expected)" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        host = RecordingHost();
        host.connect = [](const TScriptLogon &, bool) { return false; };
        run(QString::fromLatin1(c.text));
        EXPECT_EQ(host.runError, QString::fromLatin1(c.error));
        EXPECT_EQ(host.logons.size(), c.asks ? 1 : 0);
        if (c.asks) {
            EXPECT_TRUE(host.askedFirst.value(0));
        }
    }
}
