// Statement kinds, placeholders, DDL encoding and parse errors of the translation.
#include "DialectTestSupport.h"

namespace qdsi::sql::test {
namespace {

class DialectTranslate : public DialectDb { };

TEST_F(DialectTranslate, KindTypeAndFunctionCodeOfEachStatement)
{
    struct Case {
        const char *sql;
        StatementKind kind;
        int type, code;
        bool sqlite; // has SQLite text
    };
    const Case cases[] = {
        { "select 1 from dual", StatementKind::Select, 1, 4, true },
        { "  WITH a AS (select 1 x from dual) select x from a", StatementKind::Select, 1, 4, true },
        { "insert into t values (1)", StatementKind::Insert, 4, 3, true },
        { "update t set a = 1", StatementKind::Update, 2, 5, true },
        { "delete t where a = 1", StatementKind::Delete, 3, 9, true },
        { "merge into t using s on (t.a = s.a) when matched then update set b = 1",
            StatementKind::Merge, 16, 189, false },
        { "create table t (a number)", StatementKind::CreateTable, 5, 1, true },
        { "create or replace view v as select 1 x from dual", StatementKind::CreateView, 5, 10,
            true },
        { "create unique index i on t (a)", StatementKind::CreateIndex, 5, 20, true },
        { "create sequence s", StatementKind::CreateSequence, 5, 13, false },
        { "create or replace procedure p is begin null; end;", StatementKind::CreateOther, 5, 24,
            false },
        { "drop table t cascade constraints purge", StatementKind::Drop, 6, 8, true },
        { "drop view v", StatementKind::Drop, 6, 7, true },
        { "drop sequence s", StatementKind::DropSequence, 6, 16, false },
        { "alter table t add (b varchar2(5))", StatementKind::Alter, 7, 26, true },
        { "alter session set nls_date_format = 'DD.MM.YYYY'", StatementKind::AlterSession, 7, 52,
            false },
        { "commit work", StatementKind::Commit, 21, 54, false },
        { "rollback", StatementKind::Rollback, 17, 55, false },
        { "savepoint before_edit", StatementKind::Savepoint, 0, 56, false },
        { "rollback to savepoint before_edit", StatementKind::RollbackToSavepoint, 17, 55, false },
        { "rollback work to before_edit", StatementKind::RollbackToSavepoint, 17, 55, false },
        { "begin null; end;", StatementKind::PlSqlBlock, 8, 34, false },
        { "declare x number; begin x := 1; end;", StatementKind::PlSqlBlock, 9, 34, false },
        { "call p(1)", StatementKind::Call, 10, 170, false },
        { "explain plan for select 1 from dual", StatementKind::Explain, 15, 27, false },
        { "grant select on t to public", StatementKind::Grant, 0, 28, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        const Translation t = translate(c.sql, context);
        EXPECT_EQ(t.kind, c.kind);
        EXPECT_EQ(t.ociStatementType, c.type);
        EXPECT_EQ(t.sqlFunctionCode, c.code);
        EXPECT_EQ(!t.sqlite.empty(), c.sqlite) << t.sqlite;
    }
    EXPECT_EQ(translate("rollback to savepoint before_edit", context).objectName, "BEFORE_EDIT");
    EXPECT_TRUE(translate("create or replace view v as select 1 x from dual", context).orReplace);
}

TEST_F(DialectTranslate, PlaceholdersOutsideStringsAndComments)
{
    const std::string sql = "select ':no', a /* :nor */ from t -- :neither\n"
                            "where b = :First and c = :2 and d = :first and e := 1";
    // ":=" is not a placeholder but an assignment, which plain SQL cannot hold.
    EXPECT_EQ(error(sql).code, 911);
    EXPECT_EQ(error(sql).offset, static_cast<int>(sql.find(":=")));
    const std::string ok = "select ':no', a /* :nor */ from t -- :neither\n"
                           "where b = :First and c = :2 and d = :first";
    const Translation t = translate(ok, context);
    ASSERT_EQ(t.placeholders.size(), 3u);
    EXPECT_EQ(t.placeholders[0].name, "FIRST");
    EXPECT_EQ(t.placeholders[0].sqliteIndex, 1);
    EXPECT_EQ(t.placeholders[0].offset, static_cast<int>(ok.find(":First")));
    EXPECT_EQ(t.placeholders[1].name, "2");
    EXPECT_EQ(t.placeholders[1].sqliteIndex, 2);
    EXPECT_EQ(t.placeholders[2].sqliteIndex, 1); // same name, same SQLite parameter
    EXPECT_NE(t.sqlite.find("?1"), std::string::npos);
    EXPECT_EQ(t.sqlite.find(":"), t.sqlite.find("':no'") + 1);

    EXPECT_TRUE(translate("create trigger trg before insert on t for each row "
                          "begin :new.a := 1; end;",
        context)
                    .placeholders.empty());
    const Translation plsql = translate("begin :result := f(:arg); end;", context);
    ASSERT_EQ(plsql.placeholders.size(), 2u);
    EXPECT_EQ(plsql.placeholders[0].name, "RESULT");
    EXPECT_EQ(plsql.placeholders[1].name, "ARG");
}

TEST_F(DialectTranslate, ParseErrorsCarryServerCodesAndOffsets)
{
    struct Case {
        const char *sql;
        int code;
        int offset;
    };
    const Case cases[] = {
        { "", 900, 0 },
        { "   \n\t ", 900, 0 },
        { "-- only a comment", 900, 0 },
        { "frobnicate the table", 900, 0 },
        { "select 1", 923, 8 },
        { "select 1 2 from dual", 923, 9 },
        { "select a b c from t", 923, 11 },
        { "select from t", 936, 7 },
        { "select a,, b from t", 936, 9 },
        { "select a from t where", 936, 21 },
        { "select a from", 903, 13 },
        { "select (a from t", 907, 16 },
        { "select a) from t", 933, 8 },
        { "select 'abc from dual", 1756, 7 },
        { "select \"abc from dual", 1740, 7 },
        { "select a from t;", 911, 15 },
        { "select a # b from t", 911, 9 },
        { "commit now", 933, 7 },
        { "create table t (a varchar2)", 906, 26 },
        { "create table t (a blah)", 902, 18 },
        { "create frobs x", 901, 7 },
        { "drop frobs x", 950, 5 },
        { "insert t values (1)", 925, 7 },
        { "update t a = 1", 971, 11 },
        { "create sequence s increment by 0", 4002, 7 },
        { "select a from t start with a = 1", 1788, 16 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        try {
            translate(c.sql, context);
            ADD_FAILURE() << "no error";
        } catch (const OraError &e) {
            EXPECT_EQ(e.code, c.code) << e.text;
            EXPECT_EQ(e.offset, c.offset) << e.text;
        }
    }
    try {
        translate("select 1", context);
    } catch (const OraError &e) {
        EXPECT_EQ(e.text, "ORA-00923: FROM keyword not found where expected");
    }
}

TEST_F(DialectTranslate, OraErrorWordingAndRecovery)
{
    EXPECT_EQ(oraError(900).text, "ORA-00900: invalid SQL statement");
    EXPECT_EQ(
        oraError(1, "SCOTT.PK_EMP").text, "ORA-00001: unique constraint (SCOTT.PK_EMP) violated");
    EXPECT_EQ(oraError(942).text, "ORA-00942: table or view does not exist");
    EXPECT_EQ(oraError(904, "\"FOO\"").text, "ORA-00904: \"FOO\": invalid identifier");
    EXPECT_EQ(oraError(1400, "\"SCOTT\".\"EMP\".\"EMPNO\"").text,
        "ORA-01400: cannot insert NULL into (\"SCOTT\".\"EMP\".\"EMPNO\")");
    const OraError back = oraErrorFromMessage("ORA-01722: invalid number");
    EXPECT_EQ(back.code, 1722);
    EXPECT_EQ(oraErrorFromMessage("no such table: X").code, 0);
}

TEST_F(DialectTranslate, DdlKeepsOracleTypesAndGivesSqliteTheRightAffinity)
{
    run("create table all_types (v varchar2(20) not null, vc varchar(5), n number, np number(5), "
        "nps number(7,2), i integer, f float, d date default sysdate, c char(3), r raw(16), "
        "l long, cl clob, bl blob, constraint pk_all primary key (v)) tablespace users pctfree 10");
    struct Case {
        const char *column;
        const char *declared;
        const char *storedType; // SQLite's typeof() after inserting text '12'
    };
    run("insert into all_types (v, vc, n, np, nps, i, f, c, l, cl) values ('12', '12', '12', '12', "
        "'12', '12', '12', '12', '12', '12')");
    const Case cases[] = {
        { "V", "VARCHAR2(20)", "text" },
        { "VC", "VARCHAR2(5)", "text" },
        { "N", "NUMBER", "integer" },
        { "NP", "NUMBER(5)", "integer" },
        { "NPS", "NUMBER(7,2)", "integer" },
        { "I", "INTEGER", "integer" },
        { "F", "FLOAT", "real" },
        { "D", "DATE TEXT", "text" },
        { "C", "CHAR(3)", "text" },
        { "R", "RAW BLOB(16)", "null" },
        { "L", "LONG TEXT", "text" },
        { "CL", "CLOB", "text" },
        { "BL", "BLOB", "null" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.column);
        const char *decl = nullptr;
        ASSERT_EQ(sqlite3_table_column_metadata(db, nullptr, "ALL_TYPES", c.column, &decl, nullptr,
                      nullptr, nullptr, nullptr),
            SQLITE_OK);
        EXPECT_STREQ(decl, c.declared);
        EXPECT_EQ(
            value(std::string("select typeof(") + c.column + ") from all_types"), c.storedType);
    }
    // The default sysdate is evaluated by the registered function.
    EXPECT_EQ(value("select length(d) from all_types"), "19");
    // Key columns refuse NULL as on the server, whether the key is declared on the column or
    // on the table.
    run("create table keyed1 (a varchar2(5) primary key, b number)");
    run("create table keyed2 (c number, d number, constraint pk_k2 primary key (c, d))");
    for (const char *insert : { "insert into KEYED1 (B) values (1)",
             "insert into KEYED2 (C) values (1)", "insert into KEYED2 (D) values (1)" }) {
        SCOPED_TRACE(insert);
        EXPECT_EQ(sqlite3_exec(db, insert, nullptr, nullptr, nullptr), SQLITE_CONSTRAINT);
        EXPECT_EQ(oraErrorFromSqlite(db, "SCOTT").code, 1400);
    }
    EXPECT_FALSE(describeQuery("select a from keyed1")[0].nullable);
    const auto constraints = tableConstraints(
        "create table emp (empno number(4) constraint pk_emp primary key, ename varchar2(10) not "
        "null, "
        "deptno number(2) references dept, mgr number constraint fk_mgr references emp(empno), "
        "constraint uk_name unique (ename, deptno), check (empno > 0))");
    ASSERT_EQ(constraints.size(), 6u);
    EXPECT_EQ(constraints[0].name, "PK_EMP");
    EXPECT_EQ(constraints[0].kind, "PRIMARY KEY");
    EXPECT_EQ(constraints[0].columns, std::vector<std::string> { "EMPNO" });
    EXPECT_EQ(constraints[1].kind, "NOT NULL");
    EXPECT_EQ(constraints[1].columns, std::vector<std::string> { "ENAME" });
    EXPECT_EQ(constraints[2].kind, "FOREIGN KEY");
    EXPECT_EQ(constraints[2].columns, std::vector<std::string> { "DEPTNO" });
    EXPECT_EQ(constraints[3].name, "FK_MGR");
    EXPECT_EQ(constraints[3].columns, std::vector<std::string> { "MGR" });
    EXPECT_EQ(constraints[4].name, "UK_NAME");
    EXPECT_EQ(constraints[4].columns, (std::vector<std::string> { "ENAME", "DEPTNO" }));
    EXPECT_EQ(constraints[5].kind, "CHECK");
    // The unique violation SQLite reports for the named key.
    EXPECT_EQ(
        sqlite3_exec(db, "insert into ALL_TYPES (V) values ('12')", nullptr, nullptr, nullptr),
        SQLITE_CONSTRAINT);
}

TEST_F(DialectTranslate, ViewsIndexesAndAlterTable)
{
    run("create table t (a number, b varchar2(10))");
    run("create index t_b on t (b)");
    run("create or replace force view v (x, y) as select a, nvl(b, 'none') from t with read only");
    run("insert into t values (1, null)");
    EXPECT_EQ(value("select y from v"), "none");
    run("alter table t add (c date)");
    run("alter table t add d number(3) default 7 not null");
    EXPECT_EQ(value("select d from t"), "7");
    run("alter table t rename column c to cc");
    EXPECT_EQ(value("select count(cc) from t"), "0");
    EXPECT_EQ(error("alter table t modify (b varchar2(20))").code, 3001);
    run("create table t_copy as select a, nvl(b, 'none') b from t");
    run("insert into t_copy (a, b) select a + 1, b from t where a = 1");
    EXPECT_EQ(value("select count(*) from t_copy"), "2");
    EXPECT_EQ(value("select a from t_copy where b = 'none'"), "1");
    run("drop view v");
    run("drop table t_copy");
    run("drop table t");
    EXPECT_EQ(value("select count(*) from sqlite_master"), "0");
    const Translation truncate = translate("truncate table some_table", context);
    EXPECT_EQ(truncate.objectName, "SOME_TABLE");
    EXPECT_EQ(truncate.sqlite, "DELETE FROM SOME_TABLE");
}

TEST_F(DialectTranslate, AlterSessionReportsItsSettings)
{
    const Translation t = translate("alter session set nls_date_format = 'DD.MM.YYYY HH24:MI' "
                                    "nls_language = american",
        context);
    ASSERT_EQ(t.settings.size(), 2u);
    EXPECT_EQ(t.settings[0].name, "NLS_DATE_FORMAT");
    EXPECT_EQ(t.settings[0].value, "DD.MM.YYYY HH24:MI");
    EXPECT_EQ(t.settings[1].value, "AMERICAN");
    EXPECT_EQ(error("alter session set").code, 922);
    EXPECT_EQ(error("alter session set nls_date_format").code, 922);
}

TEST_F(DialectTranslate, SessionDateFormatDrivesDefaultConversion)
{
    context.dateFormat = "DD.MM.YYYY";
    EXPECT_EQ(value("select to_char(to_date('2024-03-05', 'yyyy-mm-dd')) from dual"), "05.03.2024");
    EXPECT_EQ(value("select to_date('05.03.2024') from dual"), "2024-03-05 00:00:00");
}

} // namespace
} // namespace qdsi::sql::test
