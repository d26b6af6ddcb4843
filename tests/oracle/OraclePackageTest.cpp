// Stored-package calls, server output and application info against the stand-in.
//
// The blocks the calls generate are compared with the files in golden/. After a deliberate
// change of the generated text, regenerate them with
//   QD_UPDATE_GOLDEN=1 build/tests/test_oracle --gtest_filter='PackageCalls.*'
// and review the difference before committing it.

#include "OracleSessionTestSupport.h"
#include "QStringPrinter.h"

#include "oracle/OraclePackage.h"
#include "oracle/OracleQuery.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace qd;
using namespace qd::test;

namespace {

QString goldenPath(const QString &name)
{
    return QDir(testsSourceDirectory() + QStringLiteral("/oracle/golden")).filePath(name);
}

// The statements are written one after another, each followed by a line "/".
QString traceText(const QStringList &statements)
{
    QString text;
    for (const QString &s : statements)
        text += s + QStringLiteral("/\n");
    return text;
}

class PackageCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseSessionStandin();
        ASSERT_TRUE(hooks.complete());
        SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
        session.LogOn();
        ASSERT_TRUE(session.Connected());
        package.SetSession(&session);
    }

    QStringList trace() const { return hooks.trace(session.ServiceContext()); }
    void clearTrace() const { hooks.traceClear(session.ServiceContext()); }
    void run(const QString &sql) { session.ExecSQL(sql); }

    // The statements traced since the last clear must equal the golden file's.
    void expectGolden(const char *name)
    {
        const QString path = goldenPath(QString::fromLatin1(name));
        const QString actual = traceText(trace());
        if (qEnvironmentVariableIsSet("QD_UPDATE_GOLDEN")) {
            QSaveFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(actual.toUtf8());
            ASSERT_TRUE(out.commit());
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_EQ(actual, QString::fromUtf8(file.readAll())) << name;
    }

    StandinHooks hooks;
    TOracleSession session;
    TOraclePackage package;
};

TEST_F(PackageCalls, ACallWithoutArgumentsHasNoParentheses)
{
    run(QStringLiteral("create or replace procedure noop is begin null; end;"));
    clearTrace();
    package.CallProcedure(QStringLiteral("noop"));
    // The "no arguments" marker alone means the same; the server package gets its prefix.
    package.CallProcedure(QStringLiteral("noop"), { PackageOutput::NoArguments });
    session.DBMS_Output().Disable();
    expectGolden("package-no-arguments.sql");
    EXPECT_EQ(package.ParameterCount(), 0);
}

TEST_F(PackageCalls, NullArgumentsAreWrittenAsNullWithoutBindVariable)
{
    run(QStringLiteral("create or replace procedure show_args(a number, b varchar2, c number, "
                       "r out varchar2) is begin "
                       "r := nvl(to_char(a), '-') || nvl(b, '-') || nvl(to_char(c), '-'); end;"));
    clearTrace();
    package.CallProcedure(
        QStringLiteral("show_args"), { 7, Variant::Null(), Variant(), PackageOutput::String });
    EXPECT_EQ(package.GetParameter(3), Variant("7--"));
    EXPECT_EQ(package.Query().VariableCount(), 2);
    package.SetParameterMode(pmNamed);
    package.CallProcedure(QStringLiteral("show_args"),
        { "c", 9, "b", Variant::Null(), "a", QStringLiteral("8"), "r", PackageOutput::String });
    EXPECT_EQ(package.GetParameter(3), Variant("8-9"));
    EXPECT_EQ(package.Query().VariableCount(), 3);
    EXPECT_EQ(package.Query().VariableIndex(QStringLiteral("b")), -1);
    expectGolden("package-null-arguments.sql");
}

TEST_F(PackageCalls, ArgumentErrorsFailBeforeAnyStatement)
{
    struct Case {
        const char *what;
        TParameterModeOption mode;
        PackageArguments arguments;
        QString message;
    };
    const Case cases[] = {
        { "odd count in named mode", pmNamed, { "a", 1, "b" },
            QStringLiteral("Even number of parameters required when ParameterMode = pmNamed") },
        { "name that is no string", pmNamed, { 1, 2 },
            QStringLiteral("Parameter names must be strings") },
        { "marker as a name", pmNamed, { PackageOutput::String, 2 },
            QStringLiteral("Parameter names must be strings") },
        { "name that is no identifier", pmNamed, { "a => 1); drop table emp; --", 2 },
            QStringLiteral("Invalid parameter name: a => 1); drop table emp; --") },
        { "marker of no output type", pmPositional, { 1, PackageArgument::OutputMarker(7) },
            QStringLiteral("Int64 parameters can only be used for output parameter types") },
        { "no-arguments marker among others", pmPositional, { 1, PackageOutput::NoArguments },
            QStringLiteral("Int64 parameters can only be used for output parameter types") },
        { "bytes", pmPositional, { 1, QByteArray("xy") },
            QStringLiteral("Type of parameter p2 not supported") },
        { "nested array", pmNamed, { "a", Variant(VariantArray { 1, 2 }) },
            QStringLiteral("Type of parameter a not supported") },
    };
    for (const Case &c : cases) {
        clearTrace();
        package.SetParameterMode(c.mode);
        try {
            package.CallProcedure(QStringLiteral("noop"), c.arguments);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const EOracleError &e) {
            ADD_FAILURE() << c.what << ": reached the server: " << e.Message().toStdString();
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), c.message) << c.what;
        }
        EXPECT_TRUE(trace().isEmpty()) << c.what;
    }
}

TEST_F(PackageCalls, BooleanArgumentsAndResultsGoThroughIntegers)
{
    run(QStringLiteral("create or replace procedure negate(b in boolean, r out boolean) is "
                       "begin r := not b; end;"));
    run(QStringLiteral("create or replace procedure toggle(b in out boolean) is "
                       "begin b := not b; end;"));
    run(QStringLiteral("create or replace function is_even(n number) return boolean is "
                       "begin return mod(n, 2) = 0; end;"));
    clearTrace();

    package.CallProcedure(QStringLiteral("negate"), { true, PackageOutput::Boolean });
    EXPECT_EQ(package.GetParameter(0), Variant(true));
    EXPECT_EQ(package.GetParameter(1), Variant(false));
    EXPECT_EQ(package.Parameters()[1].booleanName, QStringLiteral("zeb__boolean2"));

    package.CallProcedure(QStringLiteral("toggle"), { false });
    EXPECT_EQ(package.GetParameter(0), Variant(true));

    EXPECT_EQ(package.CallBooleanFunction(QStringLiteral("is_even"), { 4 }), Variant(true));
    EXPECT_EQ(package.CallBooleanFunction(QStringLiteral("is_even"), { 3 }), Variant(false));
    // A null goes in as null; it comes back as the session's null value.
    EXPECT_TRUE(
        package.CallBooleanFunction(QStringLiteral("is_even"), { Variant::Null() }).IsUnassigned());
    session.SetNullValue(nvNull);
    EXPECT_TRUE(
        package.CallBooleanFunction(QStringLiteral("is_even"), { Variant::Null() }).IsNull());
    expectGolden("package-booleans.sql");
}

TEST_F(PackageCalls, FunctionsAndOutputArgumentsOfEachType)
{
    run(QStringLiteral("create or replace function twice(n number) return number is "
                       "begin return n * 2; end;"));
    run(QStringLiteral("create or replace procedure describe_emp(no number, name out varchar2, "
                       "salary out number, hired out date, factor out number) is "
                       "begin select ename, sal, hiredate into name, salary, hired from emp "
                       "where empno = no; factor := 2.5; end;"));
    TOracleQuery first;
    first.SetSession(&session);
    first.SQL().SetText(
        QStringLiteral("select empno, ename, to_char(sal) from emp order by empno"));
    first.Execute();
    ASSERT_FALSE(first.Eof());
    const QStringList row { first.FieldAsString(0), first.FieldAsString(1),
        first.FieldAsString(2) };
    clearTrace();
    EXPECT_EQ(package.CallIntegerFunction(QStringLiteral("twice"), { 21 }), Variant(42));

    package.SetParameterMode(pmNamed);
    const VariantArray arguments { "no", row[0].toInt(), "name", Variant::Null(), "salary",
        Variant::Null(), "hired", Variant::Null(), "factor", Variant::Null() };
    PackageArguments named(arguments.begin(), arguments.end());
    named[3] = PackageOutput::String;
    named[5] = PackageOutput::Integer;
    named[7] = PackageOutput::Date;
    named[9] = PackageOutput::Float;
    package.CallProcedure(QStringLiteral("describe_emp"), named);
    EXPECT_EQ(package.GetParameter(1), Variant(row[1]));
    EXPECT_EQ(package.GetParameter(2).AsString(), row[2]);
    EXPECT_EQ(package.GetParameter(3).Kind(), VariantKind::DateTime);
    EXPECT_EQ(package.GetParameter(4), Variant(2.5));
    try {
        package.GetParameter(5);
        ADD_FAILURE() << "index past the arguments";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Parameter 5 does not exist"));
    }
    EXPECT_THROW(package.GetParameter(-1), Exception);

    // A single array stands for the list of its elements.
    package.SetParameterMode(pmPositional);
    EXPECT_EQ(package.CallIntegerFunction(QStringLiteral("twice"), { Variant(VariantArray { 5 }) }),
        Variant(10));
    expectGolden("package-functions.sql");
}

// Declarations are kept while the call keeps its shape and rebuilt when it changes.
TEST_F(PackageCalls, EqualShapesShareTheirDeclarations)
{
    run(QStringLiteral("create or replace function twice(n number) return number is "
                       "begin return n * 2; end;"));
    run(QStringLiteral("create or replace procedure noop2(n number) is begin null; end;"));
    // A mark on the first declared variable that only a new declaration takes away.
    const double mark = 4711;
    auto markFirst = [&] { package.Query().Variables().Items(0).dateTimeValue = mark; };
    auto firstKept = [&] { return package.Query().Variables().Items(0).dateTimeValue == mark; };

    EXPECT_EQ(package.CallIntegerFunction(QStringLiteral("twice"), { 1 }), Variant(2));
    markFirst();
    EXPECT_EQ(package.CallIntegerFunction(QStringLiteral("twice"), { 2 }), Variant(4));
    EXPECT_TRUE(firstKept()) << "same shape declared again";

    // Another parameter type, another result type, Optimize off: each declares afresh.
    EXPECT_EQ(package.CallIntegerFunction(QStringLiteral("twice"), { 1.5 }), Variant(3));
    EXPECT_FALSE(firstKept());
    markFirst();
    package.CallProcedure(QStringLiteral("noop2"), { 1.5 });
    EXPECT_FALSE(firstKept());
    EXPECT_EQ(package.Query().VariableCount(), 1);
    markFirst();
    package.CallProcedure(QStringLiteral("noop2"), { 2.5 });
    EXPECT_TRUE(firstKept());
    package.SetOptimize(false);
    package.CallProcedure(QStringLiteral("noop2"), { 3.5 });
    EXPECT_FALSE(firstKept());
    package.SetOptimize(true);
    // Another name at the same place (named mode) declares afresh too.
    package.SetParameterMode(pmNamed);
    package.CallProcedure(QStringLiteral("noop2"), { "n", 1.5 });
    markFirst();
    package.CallProcedure(QStringLiteral("noop2"), { "N", 1.5 });
    EXPECT_FALSE(firstKept());
    package.SetParameterMode(pmPositional);

    // A call whose block could not be built leaves nothing half declared for the next one.
    EXPECT_THROW(
        package.CallIntegerFunction(QStringLiteral("twice"), { qint64(1) << 40 }), Exception);
    EXPECT_EQ(package.CallIntegerFunction(QStringLiteral("twice"), { 6 }), Variant(12));

    // A server error keeps the collection of the failed call.
    EXPECT_THROW(package.CallProcedure(QStringLiteral("no_such_routine"), { "x" }), EOracleError);
    ASSERT_EQ(package.ParameterCount(), 1);
    EXPECT_EQ(package.GetParameter(0), Variant("x"));
    EXPECT_EQ(package.CallIntegerFunction(QStringLiteral("twice"), { 7 }), Variant(14));
}

TEST_F(PackageCalls, ServerOutputIsReadLineByLineUntilNoneIsLeft)
{
    run(QStringLiteral("create or replace procedure chatter(n number) is begin "
                       "for i in 1 .. n loop dbms_output.put_line('line ' || i); end loop; "
                       "dbms_output.put('no end'); end;"));
    TDBMS_Output &output = session.DBMS_Output();
    EXPECT_EQ(&session.DBMS_Output(), &output) << "one wrapper per session";
    clearTrace();
    output.Enable(20000);
    package.CallProcedure(QStringLiteral("chatter"), { 3 });

    QStringList lines;
    int status = -1;
    int calls = 0;
    for (;;) {
        const QString line = output.Get_Line(status);
        ++calls;
        if (status != 0)
            break;
        lines.append(line);
        ASSERT_LT(calls, 10) << "the status never said that no line is left";
    }
    // A line without its end stays in the buffer.
    EXPECT_EQ(lines,
        QStringList(
            { QStringLiteral("line 1"), QStringLiteral("line 2"), QStringLiteral("line 3") }));
    EXPECT_EQ(status, 1);
    output.Disable();
    expectGolden("package-server-output.sql");
}

TEST_F(PackageCalls, ModuleAndClientInfoReachTheServer)
{
    clearTrace();
    TDBMS_Application_Info &info = session.DBMS_Application_Info();
    info.Set_Module(QStringLiteral("Quarlo Desk"), QStringLiteral("testing 'quotes'"));
    info.Set_Client_Info(QStringLiteral("worksheet"));
    expectGolden("package-application-info.sql");

    TOracleQuery read;
    read.SetSession(&session);
    read.SQL().SetText(QStringLiteral("begin dbms_application_info.read_module(:m, :a); "
                                      "dbms_application_info.read_client_info(:c); end;"));
    read.DeclareVariable(QStringLiteral("m"), SQLT_STR);
    read.DeclareVariable(QStringLiteral("a"), SQLT_STR);
    read.DeclareVariable(QStringLiteral("c"), SQLT_STR);
    read.Execute();
    EXPECT_EQ(read.GetVariable(QStringLiteral("m")), Variant("Quarlo Desk"));
    EXPECT_EQ(read.GetVariable(QStringLiteral("a")), Variant("testing 'quotes'"));
    EXPECT_EQ(read.GetVariable(QStringLiteral("c")), Variant("worksheet"));
}

TEST_F(PackageCalls, PackagesLeaveTheSessionThatGoesAway)
{
    auto other = std::make_unique<TOracleSession>();
    TOraclePackage onOther;
    onOther.SetSession(other.get());
    EXPECT_TRUE(other->Dependents(OracleSessionDependent::dkPackage).contains(&onOther));
    other.reset();
    EXPECT_EQ(onOther.Session(), nullptr);
    EXPECT_THROW(onOther.CallProcedure(QStringLiteral("noop")), Exception);

    {
        TOraclePackage shortLived;
        shortLived.SetSession(&session);
        EXPECT_TRUE(session.Dependents(OracleSessionDependent::dkPackage).contains(&shortLived));
    }
    // Only the package of the fixture (and the session's own wrappers) stay.
    for (OracleSessionDependent *d : session.Dependents(OracleSessionDependent::dkPackage))
        EXPECT_TRUE(d == &package || d->dependentName().startsWith(QStringLiteral("dbms_")));
    package.SetSession(nullptr);
    EXPECT_FALSE(session.Dependents(OracleSessionDependent::dkPackage).contains(&package));
}

// ---- Cancel ------------------------------------------------------------------------------------

// In both client modes: the handle calls, and the older calls that a server with an old
// banner gets over the same connection.
class PackageBreak : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        UseSessionStandin();
        ASSERT_TRUE(hooks.complete());
        session.SetThreadSafe(true);
        if (GetParam())
            SetLogon(session, QStringLiteral("oldbreak"), QStringLiteral("secret"),
                QStringLiteral("QDS7"));
        else
            SetLogon(session, QStringLiteral("breaker"), QStringLiteral("secret"));
        session.LogOn();
        session.ExecSQL(QStringLiteral("select 'x' from dual"));
        ASSERT_EQ(session.OCI8Mode(), !GetParam());
    }

    // Runs work on a worker thread, breaks until it ends, and gives the error code it ended
    // with (0 when it succeeded).
    template <typename Work> int breakWhileRunning(Work work)
    {
        std::atomic<int> code { -1 };
        std::atomic<bool> finished { false };
        std::thread worker([&] {
            try {
                work();
                code = 0;
            } catch (const EOracleError &e) {
                code = e.ErrorCode();
            } catch (...) {
                code = -2;
            }
            finished = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(finished.load()) << "the call ended before the break";
        const bool ended = BreakUntilFinished(session, hooks, finished);
        worker.join();
        EXPECT_TRUE(ended);
        // The worker's error left the call lock it held.
        EXPECT_EQ(session.CallLock().NestingCount(), 0);
        return code.load();
    }

    StandinHooks hooks;
    TOracleSession session;
};

TEST_P(PackageBreak, BreakEndsAPackageCallAndTheNextCallSucceeds)
{
    TOraclePackage sleeper;
    sleeper.SetSession(&session);
    sleeper.SetPackageName(QStringLiteral("sys.dbms_lock"));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(
        breakWhileRunning([&] { sleeper.CallProcedure(QStringLiteral("sleep"), { 60 }); }), 1013);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));

    EXPECT_TRUE(session.Connected());
    sleeper.CallProcedure(QStringLiteral("sleep"), { 0.01 });
    TOraclePackage other;
    other.SetSession(&session);
    session.DBMS_Application_Info().Set_Client_Info(QStringLiteral("after the break"));
    session.ExecSQL(QStringLiteral("select 'x' from dual"));
    EXPECT_EQ(session.InternalRow().value(0), QStringLiteral("x"));
}

TEST_P(PackageBreak, BreakEndsAFetchAndTheQueryRunsAgain)
{
    TOracleQuery query;
    query.SetSession(&session);
    query.SetReadBuffer(1);
    query.SQL().SetText(QStringLiteral("select ename from emp order by empno"));
    query.Execute();
    ASSERT_FALSE(query.Eof());
    const QString first = query.FieldAsString(0);
    ASSERT_EQ(hooks.blockNextFetch(session.ServiceContext()), 0);
    EXPECT_EQ(breakWhileRunning([&] { query.Next(); }), 1013);

    // The same query runs again from the start, and the session goes on.
    query.Execute();
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsString(0), first);
    int rows = 0;
    while (!query.Eof()) {
        ++rows;
        query.Next();
    }
    EXPECT_GT(rows, 1);
    session.ExecSQL(QStringLiteral("select 'y' from dual"));
    EXPECT_EQ(session.InternalRow().value(0), QStringLiteral("y"));
}

INSTANTIATE_TEST_SUITE_P(
    ClientModes, PackageBreak, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &info) {
        return info.param ? std::string("OlderCalls") : std::string("HandleCalls");
    });

} // namespace
