// Anonymous PL/SQL blocks run by the stand-in's interpreter: declarations, control flow,
// embedded SQL, cursors, exceptions and client binds.

#include "PlsqlTestHost.h"

#include <gtest/gtest.h>

namespace qdsi::plsql::test {
namespace {

class PlsqlBlock : public PlsqlFixture {
protected:
    void SetUp() override { createEmp(); }
};

struct BlockCase {
    const char *what;
    const char *block;
    const char *expected; // the value the block leaves in :r, as text
};

const BlockCase blockCases[] = {
    { "declarations with defaults, constants and %type",
        "declare\n  n number := 4;\n  c constant integer default 3;\n  m n%type := n * c;\n"
        "  s varchar2(20) := 'x';\nbegin\n  :r := s || m;\nend;",
        "x12" },
    { "integer variables round",
        "declare i integer := 2.6; p pls_integer; begin p := 7 / 2; "
        ":r := i || '/' || p; end;",
        "3/4" },
    { "char pads to its length", "declare c char(4) := 'ab'; begin :r := '[' || c || ']'; end;",
        "[ab  ]" },
    { "null concatenates as empty", "declare v varchar2(5); begin :r := 'a' || v || 'b'; end;",
        "ab" },
    { "arithmetic with precedence and power", "begin :r := 2 + 3 * 4 - 2 ** 3; end;", "6" },
    { "mod operator and functions",
        "begin :r := mod(17, 5) || ',' || abs(-3) || ',' || "
        "upper(substr('hello', 2, 3)) || ',' || nvl(null, 'd') || ',' "
        "|| length('four'); end;",
        "2,3,ELL,d,4" },
    { "standard functions by their package name",
        "begin :r := sys.standard.upper('a') || standard.lower('B') || sys.standard.nvl(null, 1); "
        "end;",
        "Ab1" },
    { "three-valued logic: null condition takes the else branch",
        "declare n number; begin if n = 1 or n <> 1 then :r := 'yes'; else :r := 'no'; end if; "
        "end;",
        "no" },
    { "elsif chain",
        "declare n number := 15; begin if n < 10 then :r := 'small'; elsif n < 20 "
        "then :r := 'medium'; else :r := 'large'; end if; end;",
        "medium" },
    { "like, between, in and is not null",
        "begin if 'SMITH' like 'S%H' and 5 between 1 and 10 and 3 in (1, 2, 3) and 'x' is not null "
        "and not (2 in (4, 5)) then :r := 'ok'; end if; end;",
        "ok" },
    { "case expression",
        "declare g char(1) := 'B'; begin :r := case g when 'A' then 'top' when 'B' "
        "then 'good' else 'other' end; end;",
        "good" },
    { "basic loop with exit when",
        "declare i integer := 0; begin loop i := i + 1; exit when i >= 5; end loop; :r := i; end;",
        "5" },
    { "while loop",
        "declare i integer := 1; s integer := 0; begin while i <= 4 loop s := s + i; "
        "i := i + 1; end loop; :r := s; end;",
        "10" },
    { "for loop in reverse",
        "declare s varchar2(20); begin for i in reverse 1 .. 4 loop s := s || "
        "i; end loop; :r := s; end;",
        "4321" },
    { "for loop over an empty range runs no turn",
        "declare s varchar2(9) := 'none'; begin for i in 3 .. 1 loop s := 'ran'; end loop; :r := "
        "s; "
        "end;",
        "none" },
    { "labelled exit leaves the outer loop",
        "declare n integer := 0; begin <<outer>> for i in 1 .. 3 loop for j in 1 .. 3 loop n := n "
        "+ "
        "1; exit outer when j = 2; end loop; end loop; :r := n; end;",
        "2" },
    { "select into with a bind-free where clause on a variable",
        "declare v_name emp.ename%type; k integer := 2; begin select ename into v_name from emp "
        "where empno = k; :r := v_name; end;",
        "ALLEN" },
    { "select into several variables",
        "declare a varchar2(10); b number; begin select ename, sal "
        "into a, b from emp where empno = 3; :r := a || '=' || b; end;",
        "WARD=1250" },
    { "no_data_found is handled",
        "declare v varchar2(10); begin select ename into v from emp where "
        "empno = 99; :r := 'found'; exception when no_data_found then "
        ":r := 'none'; end;",
        "none" },
    { "too_many_rows is handled",
        "declare v varchar2(10); begin select ename into v from emp; "
        "exception when too_many_rows then :r := 'many'; end;",
        "many" },
    { "DML sets sql%rowcount and sql%found",
        "begin update emp set sal = sal where deptno = 30; :r := sql%rowcount || ':' || case "
        "when sql%found then 'T' else 'F' end; end;",
        "2:T" },
    { "sql%notfound after an update of nothing",
        "begin delete from emp where empno = 42; if sql%notfound then :r := 'nothing'; end if; "
        "end;",
        "nothing" },
    { "cursor for loop over a declared cursor with a parameter",
        "declare cursor c(d integer) is select sal from emp where deptno = d order by empno; "
        "t number := 0; begin for rec in c(30) loop t := t + rec.sal; end loop; :r := t; end;",
        "2850" },
    { "cursor for loop over an inline query",
        "declare s varchar2(50); begin for e in (select ename from emp order by ename) loop s := s "
        "|| e.ename || ' '; end loop; :r := s; end;",
        "ALLEN SMITH WARD " },
    { "explicit cursor with fetch, %notfound, %rowcount and %isopen",
        "declare cursor c is select empno, ename from emp order by empno; v_no integer; v_name "
        "varchar2(10); s varchar2(60); begin open c; loop fetch c into v_no, v_name; exit when "
        "c%notfound; s := s || v_no || v_name; end loop; s := s || '#' || c%rowcount; close c; if "
        "not c%isopen then :r := s; end if; end;",
        "1SMITH2ALLEN3WARD#3" },
    { "fetch into a %rowtype record",
        "declare cursor c is select ename, sal from emp where empno = 1; r c%rowtype; begin open "
        "c; "
        "fetch c into r; close c; :r := r.ename || r.sal; end;",
        "SMITH800" },
    { "record type with typed fields",
        "declare type pt is record (x number, y varchar2(3)); p pt; "
        "begin p.x := 4; p.y := 'abc'; :r := p.y || p.x; end;",
        "abc4" },
    { "index-by table with count, first and last",
        "declare type t is table of varchar2(10) index by binary_integer; v t; begin v(3) := 'c'; "
        "v(1) := 'a'; :r := v.count || v.first || v.last || v(1) || v(3); end;",
        "213ac" },
    { "named exception raised and handled",
        "declare e_bad exception; begin raise e_bad; exception when e_bad then :r := 'caught'; "
        "end;",
        "caught" },
    { "inner handler handles, outer block goes on",
        "declare x number; begin begin x := 1 / 0; exception when zero_divide then x := -1; end; "
        ":r "
        ":= x; end;",
        "-1" },
    { "unhandled inner exception reaches the outer handler",
        "begin begin raise value_error; exception when no_data_found then :r := 'wrong'; end; "
        "exception when value_error then :r := 'outer'; end;",
        "outer" },
    { "when others with sqlcode and sqlerrm",
        "begin raise_application_error(-20005, 'custom text'); exception when others then :r := "
        "sqlcode || '|' || sqlerrm; end;",
        "-20005|ORA-20005: custom text" },
    { "sqlcode of no_data_found is 100",
        "declare v integer; begin select empno into v from emp where 1 = 0; exception when others "
        "then :r := sqlcode; end;",
        "100" },
    { "pragma exception_init maps a server error",
        "declare dup exception; pragma exception_init(dup, -1); begin insert into emp values (1, "
        "'X', 0, 0); exception when dup then :r := 'duplicate'; end;",
        "duplicate" },
    { "re-raise from a handler",
        "begin begin raise no_data_found; exception when others then "
        "raise; end; exception when no_data_found then :r := 'again'; end;",
        "again" },
    { "value error for a too long string variable",
        "declare s varchar2(3); begin s := 'abcd'; exception when value_error then :r := 've'; "
        "end;",
        "ve" },
    { "boolean variables",
        "declare b boolean := 1 < 2; begin if b and not false then :r := 'true'; "
        "end if; end;",
        "true" },
    { "return ends the block", "begin :r := 'before'; return; :r := 'after'; end;", "before" },
    { "local function and procedure",
        "declare function sq(x number) return number is begin return x * x; end; procedure add(a "
        "in "
        "out number, b number default 10) is begin a := a + b; end; v number := 1; begin add(v); "
        "add(b => 2, a => v); :r := sq(v); end;",
        "169" },
    { "execute immediate with into and using",
        "declare n integer; begin execute immediate 'select count(*) from emp where deptno = :d' "
        "into n using 30; :r := n; end;",
        "2" },
    { "date arithmetic", "declare d date := '2024-02-28 10:00:00'; begin :r := d + 2; end;",
        "2024-03-01 10:00:00" },
};

TEST_F(PlsqlBlock, RunsEachLanguageElement)
{
    for (const BlockCase &c : blockCases) {
        SCOPED_TRACE(c.what);
        try {
            EXPECT_EQ(result(c.block), c.expected);
        } catch (const sql::OraError &e) {
            ADD_FAILURE() << e.text;
        }
    }
}

TEST_F(PlsqlBlock, CommitAndRollbackInsideBlocks)
{
    run("begin insert into emp values (10, 'KEPT', 1, 10); commit; insert into emp values (11, "
        "'LOST', 1, 10); rollback; end;");
    EXPECT_EQ(host.commits, 1);
    EXPECT_EQ(host.rollbacks, 1);
    EXPECT_EQ(result("declare n integer; begin select count(*) into n from emp where empno in "
                     "(10, 11); :r := n; end;"),
        "1");
}

TEST_F(PlsqlBlock, BindsInOutAndInOut)
{
    std::vector<Bind> binds { integerBind("A", 5), stringBind("S", "ab", 10), floatBind("F"),
        integerBind("N", 1) };
    run("begin :s := :s || '-' || :a; :f := :a / 2; :n := null; end;", binds);
    EXPECT_EQ(bindNamed(binds, "S").value.text, "ab-5");
    EXPECT_TRUE(bindNamed(binds, "S").assigned);
    EXPECT_DOUBLE_EQ(bindNamed(binds, "F").value.toReal(), 2.5);
    EXPECT_TRUE(bindNamed(binds, "N").value.isNull()) << "a null goes back as a null indicator";
    EXPECT_FALSE(bindNamed(binds, "A").assigned) << "an input bind is left alone";
}

TEST_F(PlsqlBlock, NullInputBindIsNull)
{
    std::vector<Bind> binds { integerBind("X"), stringBind("R", "") };
    run("begin if :x is null then :r := 'null'; else :r := 'value'; end if; end;", binds);
    EXPECT_EQ(bindNamed(binds, "R").value.text, "null");
}

TEST_F(PlsqlBlock, OutStringLongerThanItsBufferFailsWithValueError)
{
    std::vector<Bind> binds { stringBind("S", "", 5) };
    const sql::OraError e = failure("begin\n  :s := 'abcdefgh';\nend;", binds);
    EXPECT_EQ(e.code, 6502);
    EXPECT_EQ(e.text,
        "ORA-06502: PL/SQL: numeric or value error: character string buffer too "
        "small\nORA-06512: at line 2");
}

TEST_F(PlsqlBlock, UnboundPlaceholderFails)
{
    EXPECT_EQ(failure("begin :missing := 1; end;").code, 1008);
}

TEST_F(PlsqlBlock, UnhandledErrorsNameTheLine)
{
    struct Case {
        const char *block;
        int code;
        const char *text;
    } cases[] = {
        { "declare v integer;\nbegin\n  select empno into v from emp where 1 = 0;\nend;", 1403,
            "ORA-01403: no data found\nORA-06512: at line 3" },
        { "declare v integer;\nbegin\n  select empno into v from emp;\nend;", 1422,
            "ORA-01422: exact fetch returns more than requested number of rows\nORA-06512: at line "
            "3" },
        { "begin\n  null;\n  raise_application_error(-20001, 'Bad thing');\nend;", 20001,
            "ORA-20001: Bad thing\nORA-06512: at line 3" },
        { "declare\n  e exception;\nbegin\n  raise e;\nend;", 6510,
            "ORA-06510: PL/SQL: unhandled user-defined exception\nORA-06512: at line 4" },
        { "declare x number;\nbegin\n  x := 1 / 0;\nend;", 1476,
            "ORA-01476: divisor is equal to zero\nORA-06512: at line 3" },
        { "begin\n  raise_application_error(-1, 'x');\nend;", 21000,
            "ORA-21000: error number argument to raise_application_error of -1 is out of range\n"
            "ORA-06512: at line 2" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.block);
        const sql::OraError e = failure(c.block);
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.text, c.text);
    }
}

TEST_F(PlsqlBlock, CompileErrorsNameLineAndColumn)
{
    const sql::OraError e = failure("begin\n  x := ;\nend;");
    EXPECT_EQ(e.code, 6550);
    EXPECT_EQ(e.text.rfind("ORA-06550: line 2, column 8:\nPLS-00103: Encountered the symbol "
                           "\";\" when expecting one of the following:",
                  0),
        0u)
        << e.text;
    EXPECT_EQ(e.offset, 13) << "the offset of line 2, column 8 in the block";

    const sql::OraError undeclared = failure("begin\n  undeclared_thing := 1;\nend;");
    EXPECT_EQ(undeclared.code, 6550);
    EXPECT_NE(undeclared.text.find("line 2, column 3:\nPLS-00201: identifier "
                                   "'UNDECLARED_THING' must be declared"),
        std::string::npos)
        << undeclared.text;
    EXPECT_NE(undeclared.text.find("\nORA-06550: line 2, column 3:\nPL/SQL: Statement ignored"),
        std::string::npos)
        << undeclared.text;
    EXPECT_EQ(undeclared.text.find("ORA-06512"), std::string::npos)
        << "a compile-time error names no run-time line";
    EXPECT_EQ(undeclared.offset, 8);

    EXPECT_EQ(failure("begin null; end").code, 6550) << "missing semicolon at the end";
    EXPECT_EQ(failure("declare c constant integer; begin null; end;").code, 6550)
        << "a constant needs a value";
}

TEST_F(PlsqlBlock, ConstantCannotBeAssigned)
{
    const sql::OraError e = failure("declare c constant integer := 1; begin c := 2; end;");
    EXPECT_NE(e.text.find("PLS-00363"), std::string::npos) << e.text;
}

TEST_F(PlsqlBlock, UnknownFunctionGoesToSqlAndFailsAsUndeclared)
{
    // The host gets "select no_such_fn(:QDP1) from dual" and rejects it.
    const sql::OraError e = failure("declare v integer; begin v := no_such_fn(1); end;");
    EXPECT_EQ(e.code, 6550);
    EXPECT_NE(e.text.find("PLS-00201: identifier 'NO_SUCH_FN' must be declared"), std::string::npos)
        << e.text;
    EXPECT_EQ(host.lastSql, "select NO_SUCH_FN(:QDP1) from dual");
}

TEST_F(PlsqlBlock, SqlFunctionsAreDelegatedWithTheirArguments)
{
    // SQLite's own coalesce stands in for a dialect function the interpreter does not compute.
    EXPECT_EQ(result("begin :r := ifnull(null, 'z'); end;"), "z");
    EXPECT_EQ(host.lastSql, "select IFNULL(:QDP1, :QDP2) from dual");
}

TEST_F(PlsqlBlock, EmbeddedSqlTurnsVariablesIntoBinds)
{
    run("declare k integer := 2; n varchar2(10) := 'NEW'; begin update emp set ename = n where "
        "empno = k; end;");
    EXPECT_EQ(host.lastSql, "update emp set ename = :QDP1 where empno = :QDP2");
    EXPECT_EQ(result("declare v varchar2(10); begin select ename into v from emp where empno = 2; "
                     ":r := v; end;"),
        "NEW");
}

TEST_F(PlsqlBlock, InstructionBudgetEndsEndlessLoops)
{
    interpreter.setInstructionBudget(10000);
    const sql::OraError e = failure("begin loop begin null; exception when others then null; "
                                    "end; end loop; end;");
    EXPECT_EQ(e.code, 6500);
}

TEST_F(PlsqlBlock, BreakFlagStopsALoopAndCannotBeHandled)
{
    host.breakFlag = true;
    const sql::OraError e
        = failure("begin loop null; end loop; exception when others then null; end;");
    EXPECT_EQ(e.code, 1013);
    EXPECT_EQ(e.text.rfind("ORA-01013: user requested cancel of current operation", 0), 0u);
}

TEST_F(PlsqlBlock, HugeExpressionsAreRefusedNotOverflowed)
{
    std::string sum = "1";
    for (int i = 0; i < 50000; ++i)
        sum += "+1";
    const sql::OraError e = failure("declare n integer; begin n := " + sum + "; end;");
    EXPECT_EQ(e.code, 6550);
    EXPECT_NE(e.text.find("PLS-00123"), std::string::npos);

    std::string nested = "1";
    for (int i = 0; i < 5000; ++i)
        nested = "(" + nested + ")";
    EXPECT_EQ(failure("declare n integer; begin n := " + nested + "; end;").code, 6550);
    EXPECT_EQ(result("begin :r := 1+1+1+1+1+1+1+1+1+1; end;"), "10");
}

TEST(PlsqlStatementClass, BlocksAndStoredCodeAreRecognised)
{
    struct Case {
        const char *text;
        StatementClass::Kind kind;
        int type;
        int code;
    } cases[] = {
        { "begin null; end;", StatementClass::Kind::Block, 8, 34 },
        { "  DECLARE x integer; begin null; end;", StatementClass::Kind::Block, 9, 34 },
        { "create or replace procedure p is begin null; end;", StatementClass::Kind::CreateUnit, 5,
            24 },
        { "create package body k as end;", StatementClass::Kind::CreateUnit, 5, 97 },
        { "drop package k", StatementClass::Kind::DropUnit, 6, 95 },
        { "create table t (x integer)", StatementClass::Kind::NotPlsql, 0, 0 },
        { "select 1 from dual", StatementClass::Kind::NotPlsql, 0, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const StatementClass s = classifyStatement(c.text);
        EXPECT_EQ(s.kind, c.kind);
        EXPECT_EQ(s.statementType, c.type);
        EXPECT_EQ(s.functionCode, c.code);
    }
}

} // namespace
} // namespace qdsi::plsql::test
