// Oracle SQL translated and executed on a real SQLite connection.
#include "DialectTestSupport.h"

namespace qdsi::sql::test {
namespace {

class DialectExecute : public DialectDb {
protected:
    void SetUp() override
    {
        DialectDb::SetUp();
        run("create table emp (empno number(4) constraint pk_emp primary key, ename varchar2(10), "
            "job varchar2(9), sal number(7,2), comm number(7,2), hiredate date, deptno number(2))");
        run("insert into emp values (7369, 'SMITH', 'CLERK', 800, null, "
            "to_date('17-12-1980', 'dd-mm-yyyy'), 20)");
        run("insert into emp values (7499, 'ALLEN', 'SALESMAN', 1600, 300, "
            "to_date('20-02-1981', 'dd-mm-yyyy'), 30)");
        run("insert into emp values (7521, 'WARD', 'SALESMAN', 1250, 500, "
            "to_date('22-02-1981', 'dd-mm-yyyy'), 30)");
        run("insert into emp values (7839, 'KING', 'PRESIDENT', 5000, '', "
            "to_date('17-11-1981 09:30:00', 'dd-mm-yyyy hh24:mi:ss'), 10)");
    }
};

struct Case {
    const char *sql;
    const char *expected;
};

TEST_F(DialectExecute, ExpressionsGiveOracleResults)
{
    const Case cases[] = {
        { "select nvl(comm, 0) from emp where empno = 7369", "0" },
        { "select nvl(comm, -1) from emp where ename = 'KING'", "-1" }, // '' was stored as null
        { "select nvl2(comm, 'has', 'none') from emp where empno = 7499", "has" },
        { "select decode(comm, null, 'null matched', 'other') from emp where empno = 7369",
            "null matched" },
        { "select decode(deptno, 10, 'ten', 20, 'twenty', 'more') from emp where empno = 7369",
            "twenty" },
        { "select decode(deptno, 10, 'ten', 20, 'twenty') from dual, emp where empno = 7499",
            "<null>" },
        { "select 'a' || null || 'b' from dual", "ab" },
        { "select ename || ' earns ' || sal from emp where empno = 7369", "SMITH earns 800" },
        { "select 'x' || 0.5 from dual", "x.5" },
        { "select nvl('', 'empty is null') from dual", "empty is null" },
        { "select count(*) from emp where comm = ''", "0" },
        { "select count(*) from emp where comm is null", "2" },
        { "select greatest(3, 7, 5) from dual", "7" },
        { "select least('b', 'a', 'c') from dual", "a" },
        { "select greatest(1, null) from dual", "<null>" },
        { "select substr('Hello', 2, 3) from dual", "ell" },
        { "select substr('Hello', -3) from dual", "llo" },
        { "select substr('Hello', 0, 2) from dual", "He" },
        { "select instr('banana', 'an', 1, 2) from dual", "4" },
        { "select instr('banana', 'an', -1) from dual", "4" },
        { "select length('') from dual", "<null>" },
        { "select lpad('7', 3, '0') from dual", "007" },
        { "select rpad('ab', 5, '*') from dual", "ab***" },
        { "select lpad('abcdef', 3) from dual", "abc" },
        { "select trim('  x  ') || '|' from dual", "x|" },
        { "select trim(leading '0' from '0012') from dual", "12" },
        { "select ltrim('xxy', 'x') from dual", "y" },
        { "select initcap('hello wORLD') from dual", "Hello World" },
        { "select upper('abc') || lower('DEF') from dual", "ABCdef" },
        { "select chr(65) || ascii('a') from dual", "A97" },
        { "select replace('banana', 'an', 'AN') from dual", "bANANa" },
        { "select replace('banana', 'a') from dual", "bnn" },
        { "select concat('a', null) from dual", "a" },
        { "select mod(-7, 3) from dual", "-1" },
        { "select abs(-2.5) + sign(-3) from dual", "1.5" },
        { "select floor(2.7) || ceil(2.1) from dual", "23" },
        { "select power(2, 10) from dual", "1024" },
        { "select sqrt(16) from dual", "4" },
        { "select 7 / 2 from dual", "3.5" },
        { "select sal / 3 from emp where empno = 7839", "1666.66666666667" },
        { "select round(2.675, 2) from dual", "2.68" },
        { "select round(-2.5) from dual", "-3" },
        { "select trunc(2.789, 1) from dual", "2.7" },
        { "select trunc(-2.7) from dual", "-2" },
        { "select round(1234.5, -2) from dual", "1200" },
        { "select to_number('12.50') + 1 from dual", "13.5" },
        { "select to_char(1234.5, '9999.99') from dual", " 1234.50" },
        { "select to_char(0.5, '990.99') from dual", "   0.50" },
        { "select to_char(12.5, 'FM999.99') from dual", "12.5" },
        { "select to_char(5, '0009') from dual", " 0005" },
        { "select to_char(-5, 'FM9990') from dual", "-5" },
        { "select to_char(123456, '999') from dual", "####" },
        { "select to_char(1234567, '9,999,999') from dual", " 1,234,567" },
        { "select to_char(hiredate, 'dd-mm-yyyy hh24:mi:ss') from emp where empno = 7839",
            "17-11-1981 09:30:00" },
        { "select to_char(hiredate) from emp where empno = 7369", "17-DEC-80" },
        { "select to_char(hiredate, 'Day Month YYYY') from emp where empno = 7369",
            "Wednesday December  1980" },
        { "select to_char(hiredate, 'FMDay, DD Month YYYY') from emp where empno = 7369",
            "Wednesday, 17 December 1980" },
        { "select to_char(hiredate, 'HH:MI AM \"at\" DY') from emp where empno = 7839",
            "09:30 AM at TUE" },
        { "select to_char(to_date('01-JAN-49', 'DD-MON-RR'), 'YYYY') from dual", "2049" },
        { "select to_char(to_date('01-JAN-50', 'DD-MON-RR'), 'YYYY') from dual", "1950" },
        { "select to_char(to_date('31.12.2024 23:59:58', 'dd.mm.yyyy hh24:mi:ss') + 1/86400, "
          "'yyyy-mm-dd hh24:mi:ss') from dual",
            "2024-12-31 23:59:59" },
        { "select hiredate + 1 from emp where empno = 7369", "1980-12-18 00:00:00" },
        { "select hiredate - 1 from emp where empno = 7369", "1980-12-16 00:00:00" },
        { "select to_date('20-02-1981', 'dd-mm-yyyy') - hiredate from emp where empno = 7369",
            "65" },
        { "select add_months(to_date('31-01-2024', 'dd-mm-yyyy'), 1) from dual",
            "2024-02-29 00:00:00" },
        { "select months_between(to_date('31-03-2024', 'dd-mm-yyyy'), to_date('29-02-2024', "
          "'dd-mm-yyyy')) from dual",
            "1" },
        { "select months_between(to_date('15-03-2024', 'dd-mm-yyyy'), to_date('01-03-2024', "
          "'dd-mm-yyyy')) from dual",
            ".451612903225806" },
        { "select trunc(hiredate) from emp where empno = 7839", "1981-11-17 00:00:00" },
        { "select trunc(hiredate, 'MM') from emp where empno = 7839", "1981-11-01 00:00:00" },
        { "select trunc(hiredate, 'YYYY') from emp where empno = 7839", "1981-01-01 00:00:00" },
        { "select round(hiredate, 'MM') from emp where empno = 7839", "1981-12-01 00:00:00" },
        { "select round(to_date('2024-01-01 12:00:00', 'yyyy-mm-dd hh24:mi:ss')) from dual",
            "2024-01-02 00:00:00" },
        { "select last_day(hiredate) from emp where empno = 7369", "1980-12-31 00:00:00" },
        { "select user from dual", "SCOTT" },
        { "select userenv('SESSIONID') from dual", "4711" },
        { "select dummy from dual", "X" },
        { "select case when sal > 1000 then 'high' else 'low' end from emp where empno = 7369",
            "low" },
        { "select count(*) from emp where hiredate < to_date('01-01-1981', 'dd-mm-yyyy')", "1" },
        { "select count(*) from emp e, dual where e.deptno = 30", "2" },
        { "select ename from emp where empno = (select max(empno) from emp)", "KING" },
        { "select q'[it's]' from dual", "it's" },
        { "select 'it''s' /* comment ; */ from dual -- trailing comment", "it's" },
        { "select date '2024-05-06' from dual", "2024-05-06 00:00:00" },
        { "select count(*) from (select ename from emp order by ename) where rownum <= 2", "2" },
        { "select ename from emp where deptno = 30 minus select ename from emp where sal < 1500",
            "ALLEN" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        try {
            EXPECT_EQ(value(c.sql), c.expected) << translate(c.sql, context).sqlite;
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what() << "\n" << translate(c.sql, context).sqlite;
        }
    }
}

TEST_F(DialectExecute, DateLiteralsInTheSessionFormatCompareAsDates)
{
    EXPECT_EQ(value("select count(*) from emp where hiredate < '01-JAN-81'"), "1");
    EXPECT_EQ(value("select count(*) from emp where '20-FEB-81' <= hiredate"), "3");
    EXPECT_EQ(value("select ename from emp where hiredate = '17-DEC-80'"), "SMITH");
    // A text column compares with the literal as text.
    run("insert into emp (empno, ename) values (1, '17-DEC-80')");
    EXPECT_EQ(value("select empno from emp where ename = '17-DEC-80'"), "1");
    context.dateFormat = "DD.MM.YYYY";
    EXPECT_EQ(value("select ename from emp where hiredate = '17.12.1980'"), "SMITH");
}

TEST_F(DialectExecute, TextWrittenIntoDateColumnsIsConverted)
{
    run("insert into emp (empno, hiredate) values (1, '03-MAR-99')");
    EXPECT_EQ(value("select hiredate from emp where empno = 1"), "1999-03-03 00:00:00");
    run("update emp set hiredate = '04-APR-04' where empno = 1");
    EXPECT_EQ(value("select hiredate from emp where empno = 1"), "2004-04-04 00:00:00");
    run("update emp set hiredate = hiredate + 1 where empno = 1");
    EXPECT_EQ(value("select hiredate from emp where empno = 1"), "2004-04-05 00:00:00");
    EXPECT_EQ(error("insert into emp (empno, hiredate) values (2, 'not a date')").code, 1858);
    EXPECT_EQ(value("select count(*) from emp where empno = 2"), "0");
}

TEST_F(DialectExecute, FoldedNamesComeOutUpperCaseQuotedNamesAsWritten)
{
    run("create table \"Mixed\" (\"Name\" varchar2(10), plain number)");
    run("insert into \"Mixed\" values ('x', 1)");
    const auto d = describeQuery(
        "select \"Name\", plain, nvl(plain, 0) total, nvl( plain , 0 ) from \"Mixed\"");
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[0].name, "Name");
    EXPECT_EQ(d[1].name, "PLAIN");
    EXPECT_EQ(d[2].name, "TOTAL");
    EXPECT_EQ(d[3].name, "NVL(PLAIN,0)");
    EXPECT_EQ(value("select \"Name\" from \"Mixed\""), "x");
}

TEST_F(DialectExecute, RownumFiltersLimitTheRowsBeforeSorting)
{
    EXPECT_EQ(rows("select ename from emp where rownum <= 2").size(), 2u);
    EXPECT_EQ(rows("select ename from emp where rownum < 2").size(), 1u);
    EXPECT_EQ(rows("select ename from emp where rownum = 1").size(), 1u);
    EXPECT_EQ(rows("select ename from emp where rownum = 2").size(), 0u);
    EXPECT_EQ(rows("select ename from emp where 3 >= rownum and deptno = 30").size(), 2u);
    EXPECT_EQ(rows("select ename from emp where rownum <= :n", { "3" }).size(), 3u);
    EXPECT_EQ(rows("select ename from emp where rownum < 0").size(), 0u);
    // Counted before aggregation: count(*) of the first row is 1, not 4.
    EXPECT_EQ(value("select count(*) from emp where rownum = 1"), "1");
    // Counted before the ORDER BY: the first two rows of the table, then sorted.
    const auto sorted = rows("select ename from emp where rownum <= 2 order by ename");
    ASSERT_EQ(sorted.size(), 2u);
    EXPECT_EQ(sorted[0][0], "ALLEN");
    EXPECT_EQ(sorted[1][0], "SMITH");
    const auto numbered = rows("select rownum, ename from emp where deptno = 30 order by empno");
    ASSERT_EQ(numbered.size(), 2u);
    EXPECT_EQ(numbered[0][0], "1");
    EXPECT_EQ(numbered[1][0], "2");
    EXPECT_EQ(error("select ename from emp where rownum > 1 or deptno = 10").code, 3001);
}

TEST_F(DialectExecute, SequencesCallTheSession)
{
    const Translation create
        = translate("create sequence emp_seq start with 10 increment by 5 nocache", context);
    EXPECT_EQ(create.kind, StatementKind::CreateSequence);
    EXPECT_EQ(create.sequence.name, "EMP_SEQ");
    EXPECT_EQ(create.sequence.start, 10);
    EXPECT_EQ(create.sequence.increment, 5);
    EXPECT_TRUE(create.sqlite.empty());
    const Translation down = translate("create sequence down increment by -1", context);
    EXPECT_EQ(down.sequence.start, -1);
    EXPECT_EQ(down.sequence.increment, -1);

    increments["EMP_SEQ"] = 5;
    EXPECT_EQ(error("select emp_seq.currval from dual").code, 8002);
    EXPECT_EQ(value("select emp_seq.nextval from dual"), "1");
    EXPECT_EQ(value("select emp_seq.nextval from dual"), "6");
    EXPECT_EQ(value("select emp_seq.currval from dual"), "6");
    run("insert into emp (empno, ename) values (emp_seq.nextval, 'NEW')");
    EXPECT_EQ(value("select ename from emp where empno = emp_seq.currval"), "NEW");
    EXPECT_EQ(error("select nosuch.nextval from dual").code, 2289);
    const auto named = describeQuery("select emp_seq.currval from dual");
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(named[0].name, "CURRVAL");
    EXPECT_EQ(named[0].dataType, 2);
    EXPECT_EQ(translate("drop sequence emp_seq", context).kind, StatementKind::DropSequence);
}

TEST_F(DialectExecute, RowidIsTextInSelectsAndAnIntegerLookupInWhere)
{
    const auto r = rows("select t.rowid, t.* from emp t where empno = 7499");
    ASSERT_EQ(r.size(), 1u);
    ASSERT_EQ(r[0].size(), 8u);
    EXPECT_EQ(r[0][0], fakeRowid("EMP", 2));
    EXPECT_EQ(r[0][0].size(), 18u);
    EXPECT_EQ(r[0][2], "ALLEN");
    const std::string rowid = r[0][0];
    EXPECT_EQ(value("select ename from emp where rowid = :r", { rowid }), "ALLEN");
    EXPECT_EQ(value("select t.ename from emp t where t.rowid = :zeb__rowid", { rowid }), "ALLEN");
    EXPECT_EQ(value("select ename from emp where :r = rowid", { rowid }), "ALLEN");
    EXPECT_EQ(value("select count(*) from emp where rowid <> :r", { rowid }), "3");
    EXPECT_EQ(value("select rowid from emp where ename = 'ALLEN'"), rowid);

    // Still an index lookup on SQLite's own rowid.
    const Translation t = translate("select * from emp where rowid = :zeb__rowid", context);
    sqlite3_stmt *plan = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + t.sqlite).c_str(), -1, &plan, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(plan), SQLITE_ROW);
    const std::string detail = reinterpret_cast<const char *>(sqlite3_column_text(plan, 3));
    sqlite3_finalize(plan);
    EXPECT_NE(detail.find("INTEGER PRIMARY KEY"), std::string::npos) << detail;

    // The generated edit-back statements.
    run("update emp\r\nset sal = :v3\r\nwhere rowid = :zeb__rowid", { "999", rowid });
    EXPECT_EQ(value("select sal from emp where empno = 7499"), "999");
    run("delete from emp\r\nwhere rowid = :zeb__rowid", { rowid });
    EXPECT_EQ(value("select count(*) from emp"), "3");
    EXPECT_EQ(error("select * from emp where rowid = 'garbage'").code, 1410);
}

TEST_F(DialectExecute, ReturningIntoBecomesSqliteReturning)
{
    const Translation t = translate("insert into emp (empno, ename) values (:v0, :v1)\r\n"
                                    "returning rowid into :zeb__rowid",
        context);
    ASSERT_EQ(t.placeholders.size(), 2u);
    ASSERT_EQ(t.returningInto.size(), 1u);
    EXPECT_EQ(t.returningInto[0].name, "ZEB__ROWID");
    sqlite3_stmt *s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, t.sqlite.c_str(), -1, &s, nullptr), SQLITE_OK) << t.sqlite;
    sqlite3_bind_int(s, 1, 8000);
    sqlite3_bind_text(s, 2, "NEWBIE", -1, SQLITE_STATIC);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    const std::string rowid = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
    EXPECT_EQ(rowid, fakeRowid("EMP", 5));
    EXPECT_EQ(value("select ename from emp where rowid = :r", { rowid }), "NEWBIE");
}

TEST_F(DialectExecute, ForUpdateIsStrippedAndReported)
{
    const Translation t
        = translate("select * from emp where rowid = :zeb__rowid\r\nfor update nowait", context);
    EXPECT_TRUE(t.forUpdate.present);
    EXPECT_TRUE(t.forUpdate.nowait);
    EXPECT_EQ(t.forUpdate.table, "EMP");
    EXPECT_EQ(t.sqlite.find("FOR"), std::string::npos);
    EXPECT_EQ(t.tables, std::vector<std::string> { "EMP" });

    const Translation of = translate("select e.ename, d.x from emp e, dual d where e.deptno = :d "
                                     "for update of e.ename wait 5",
        context);
    EXPECT_FALSE(of.forUpdate.nowait);
    EXPECT_EQ(of.forUpdate.waitSeconds, 5);
    EXPECT_EQ(of.forUpdate.ofColumns, std::vector<std::string> { "E.ENAME" });
    EXPECT_EQ(of.forUpdate.table, "EMP");
    // The lock query yields exactly the rows the select returns.
    sqlite3_stmt *s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, of.forUpdate.rowidSql.c_str(), -1, &s, nullptr), SQLITE_OK)
        << of.forUpdate.rowidSql;
    sqlite3_bind_int(s, 1, 30);
    std::vector<int64_t> ids;
    while (sqlite3_step(s) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(s, 0));
    sqlite3_finalize(s);
    EXPECT_EQ(ids, (std::vector<int64_t> { 2, 3 }));
    EXPECT_EQ(error("select * from emp for update skip locked").code, 3001);
}

TEST_F(DialectExecute, VersionQueryReadsTheBanner)
{
    context.banner = "Stand-in Database 19c\nPL/SQL Release 19.0.0.0.0 - Production";
    const Translation t = translate("select * from v$version", context);
    EXPECT_TRUE(t.versionQuery);
    const auto r = rows("select * from v$version");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][0], "Stand-in Database 19c");
    EXPECT_EQ(value("select banner from v$version where banner like 'PL/SQL%'"),
        "PL/SQL Release 19.0.0.0.0 - Production");
}

TEST_F(DialectExecute, OracleErrorsFromFunctions)
{
    EXPECT_EQ(error("select to_number('12x') from dual").code, 1722);
    EXPECT_EQ(error("select 1 / 0 from dual").code, 1476);
    EXPECT_EQ(error("select to_date('32-01-2024', 'dd-mm-yyyy') from dual").code, 1847);
    EXPECT_EQ(error("select to_date('01-XYZ-2024', 'dd-mon-yyyy') from dual").code, 1843);
    EXPECT_EQ(error("select to_date('31-04-2024', 'dd-mm-yyyy') from dual").code, 1847);
    EXPECT_EQ(error("select to_date('01-01-2024 extra', 'dd-mm-yyyy') from dual").code, 1830);
    EXPECT_EQ(error("select hiredate + hiredate from emp").code, 975);
    EXPECT_EQ(error("select userenv('NONSENSE') from dual").code, 2003);
    const OraError e = error("select 'a' + 1 from dual");
    EXPECT_EQ(e.code, 1722);
    EXPECT_EQ(e.text, "ORA-01722: invalid number");
}

TEST_F(DialectExecute, JoinsSubqueriesAndSetOperations)
{
    run("create table dept (deptno number(2) primary key, dname varchar2(14))");
    run("insert into dept values (10, 'ACCOUNTING')");
    run("insert into dept values (20, 'RESEARCH')");
    run("insert into dept values (30, 'SALES')");
    EXPECT_EQ(
        value(
            "select d.dname from emp e join dept d on e.deptno = d.deptno where e.ename = 'KING'"),
        "ACCOUNTING");
    EXPECT_EQ(value("select count(*) from emp e left outer join dept d using (deptno)"), "4");
    EXPECT_EQ(
        value("select dname from dept where deptno in (select deptno from emp where sal > 4000)"),
        "ACCOUNTING");
    EXPECT_EQ(rows("select deptno from emp union select deptno from dept").size(), 3u);
    EXPECT_EQ(
        value("with rich as (select * from emp where sal > 1500) select count(*) from rich"), "2");
    // Oracle sorts nulls last ascending.
    const auto r = rows("select comm from emp order by comm");
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0][0], "300");
    EXPECT_EQ(r[3][0], "<null>");
    const auto d = rows("select comm from emp order by comm desc");
    EXPECT_EQ(d[0][0], "<null>");
}

TEST_F(DialectExecute, LikeIsCaseSensitiveAndEmptyLobsAreNotNull)
{
    EXPECT_EQ(value("select count(*) from emp where ename like 'S%'"), "1");
    EXPECT_EQ(value("select count(*) from emp where ename like 's%'"), "0");
    run("create table docs (id number, body clob, data blob)");
    run("insert into docs values (1, empty_clob(), empty_blob())");
    EXPECT_EQ(value("select count(*) from docs where body is not null and data is not null"), "1");
}

TEST_F(DialectExecute, SqliteFailuresBecomeServerErrors)
{
    auto failing = [&](const std::string &sql) {
        const Translation t = translate(sql, context);
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, t.sqlite.c_str(), -1, &s, nullptr) == SQLITE_OK) {
            const int rc = sqlite3_step(s);
            EXPECT_NE(rc, SQLITE_DONE) << sql;
        }
        const OraError e = oraErrorFromSqlite(db, "SCOTT");
        sqlite3_finalize(s);
        return e;
    };
    EXPECT_EQ(failing("insert into emp (empno) values (7369)").text,
        "ORA-00001: unique constraint (SCOTT.PK_EMP) violated");
    run("create table named (a number not null, b varchar2(3), constraint uk_named unique (a, b), "
        "constraint ck_b check (b <> 'bad'))");
    run("insert into named values (1, 'x')");
    EXPECT_EQ(failing("insert into named values (1, 'x')").text,
        "ORA-00001: unique constraint (SCOTT.UK_NAMED) violated");
    EXPECT_EQ(failing("insert into named (b) values ('y')").text,
        "ORA-01400: cannot insert NULL into (\"SCOTT\".\"NAMED\".\"A\")");
    EXPECT_EQ(failing("insert into named values (2, 'bad')").text,
        "ORA-02290: check constraint (SCOTT.CK_B) violated");
    EXPECT_EQ(failing("select * from nowhere").code, 942);
    EXPECT_EQ(failing("select nosuch from emp").text, "ORA-00904: \"NOSUCH\": invalid identifier");
    EXPECT_EQ(failing("select e.nosuch from emp e").text,
        "ORA-00904: \"E\".\"NOSUCH\": invalid identifier");
    EXPECT_EQ(failing("select frob(1) from dual").code, 904);
    EXPECT_EQ(failing("select to_number('x') from dual").code, 1722);
}

} // namespace
} // namespace qdsi::sql::test
