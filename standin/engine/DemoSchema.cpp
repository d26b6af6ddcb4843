#include "engine/DemoSchema.h"

#include "engine/StoredCode.h"

#include <string>

namespace qdsi::engine {

namespace {

// Column types are written as the server's type names; describe reads them back.
const char *const script = R"sql(
CREATE TABLE DEPT (
    DEPTNO NUMBER(2) CONSTRAINT PK_DEPT PRIMARY KEY,
    DNAME VARCHAR2(14) NOT NULL,
    LOC VARCHAR2(13)
);
CREATE TABLE EMP (
    EMPNO NUMBER(4) CONSTRAINT PK_EMP PRIMARY KEY,
    ENAME VARCHAR2(10) NOT NULL,
    JOB VARCHAR2(9),
    MGR NUMBER(4),
    HIREDATE DATE,
    SAL NUMBER(7,2),
    COMM NUMBER(7,2),
    DEPTNO NUMBER(2) CONSTRAINT FK_EMP_DEPT REFERENCES DEPT (DEPTNO),
    CONSTRAINT UK_EMP_ENAME UNIQUE (ENAME)
);
CREATE INDEX EMP_DEPTNO_IX ON EMP (DEPTNO);
CREATE VIEW EMP_DEPT AS
    SELECT E.EMPNO, E.ENAME, E.JOB, D.DNAME, D.LOC FROM EMP E JOIN DEPT D ON D.DEPTNO = E.DEPTNO;
CREATE TABLE SALGRADE (
    GRADE NUMBER(2) CONSTRAINT PK_SALGRADE PRIMARY KEY NOT NULL,
    LOSAL NUMBER(7,2) NOT NULL,
    HISAL NUMBER(7,2) NOT NULL,
    CONSTRAINT CK_SALGRADE_RANGE CHECK (LOSAL <= HISAL)
);
CREATE TABLE DEPT_SUMMARY (DEPTNO NUMBER(2), HEADCOUNT NUMBER, TOTAL_SAL NUMBER);
CREATE TABLE QDSI_MVIEWS (NAME TEXT PRIMARY KEY, TABLE_NAME TEXT, QUERY TEXT);
INSERT INTO QDSI_MVIEWS VALUES ('DEPT_SUMMARY', 'DEPT_SUMMARY',
    'select deptno, count(*) headcount, sum(sal) total_sal from emp group by deptno');
CREATE TABLE QDSI_SYNONYMS (OWNER TEXT NOT NULL, SYNONYM_NAME TEXT NOT NULL, TABLE_OWNER TEXT,
    TABLE_NAME TEXT NOT NULL, DB_LINK TEXT, PRIMARY KEY (OWNER, SYNONYM_NAME));
INSERT INTO QDSI_SYNONYMS VALUES ('PUBLIC', 'STAFF', QD_DEMO_OWNER, 'EMP', NULL);
CREATE TABLE QDSI_SEQUENCES (
    NAME TEXT PRIMARY KEY, LAST_NUMBER INTEGER, INCREMENT_BY INTEGER, STARTED INTEGER);
INSERT INTO QDSI_SEQUENCES VALUES ('EMP_SEQ', 1000, 1, 0);
INSERT INTO DEPT VALUES (10, 'FINANCE', 'LEEDS');
INSERT INTO DEPT VALUES (20, 'LABORATORY', 'TURIN');
INSERT INTO DEPT VALUES (30, 'LOGISTICS', 'GDANSK');
INSERT INTO DEPT VALUES (40, 'SUPPORT', 'PORTO');
INSERT INTO EMP VALUES (101, 'HALVORSEN', 'DIRECTOR', NULL, '2015-03-02 00:00:00', 6200, NULL, 10);
INSERT INTO EMP VALUES (102, 'OKAFOR', 'ANALYST', 101, '2016-07-18 00:00:00', 3850.5, NULL, 20);
INSERT INTO EMP VALUES (103, 'MORETTI', 'CHEMIST', 102, '2017-01-09 00:00:00', 3100, NULL, 20);
INSERT INTO EMP VALUES (104, 'NOWAK', 'DRIVER', 101, '2018-11-23 00:00:00', 2100, 350, 30);
INSERT INTO EMP VALUES (105, 'SILVA', 'CLERK', 104, '2019-05-14 09:30:00', 1900.75, 120, 30);
INSERT INTO EMP VALUES (106, 'TANAKA', 'ANALYST', 102, '2020-02-03 00:00:00', 3700, NULL, 20);
INSERT INTO EMP VALUES (107, 'DUBOIS', 'CLERK', 101, '2021-09-27 00:00:00', 1850, 0, 10);
INSERT INTO EMP VALUES (108, 'ANDERSEN', 'SUPPORT', 101, '2022-04-11 00:00:00', 2400, NULL, NULL);
INSERT INTO SALGRADE VALUES (1, 0, 1999.99);
INSERT INTO SALGRADE VALUES (2, 2000, 3499.99);
INSERT INTO SALGRADE VALUES (3, 3500, 9999.99);
INSERT INTO DEPT_SUMMARY SELECT DEPTNO, COUNT(*), SUM(SAL) FROM EMP WHERE DEPTNO IS NOT NULL
    GROUP BY DEPTNO;
PRAGMA user_version = 1;
)sql";

// The second schema of the sample: a table of its own with a check, and a private synonym for
// the first schema's EMP.
const char *const secondScript = R"sql(
CREATE TABLE JOBS (
    JOB_ID VARCHAR2(10) CONSTRAINT PK_JOBS PRIMARY KEY,
    JOB_TITLE VARCHAR2(35) NOT NULL,
    MIN_SALARY NUMBER(6),
    MAX_SALARY NUMBER(6),
    CONSTRAINT CK_JOBS_SALARY CHECK (MIN_SALARY <= MAX_SALARY)
);
CREATE TABLE QDSI_SYNONYMS (OWNER TEXT NOT NULL, SYNONYM_NAME TEXT NOT NULL, TABLE_OWNER TEXT,
    TABLE_NAME TEXT NOT NULL, DB_LINK TEXT, PRIMARY KEY (OWNER, SYNONYM_NAME));
INSERT INTO QDSI_SYNONYMS VALUES ('HR', 'EMPLOYEES', 'DEMO', 'EMP', NULL);
INSERT INTO JOBS VALUES ('ANALYST', 'Analyst', 3000, 6000);
INSERT INTO JOBS VALUES ('CLERK', 'Clerk', 1500, 2500);
INSERT INTO JOBS VALUES ('DIRECTOR', 'Director', 5000, 9000);
PRAGMA user_version = 1;
)sql";

// Stored code of the sample schema: a package with a procedure and a function, and a trigger
// that keeps employee names in upper case.
struct DemoUnit {
    const char *name;
    const char *type;
    const char *source;
};
const DemoUnit demoUnits[] = {
    { "EMP_API", "PACKAGE",
        "package emp_api is\n"
        "  procedure raise_salary(p_empno in number, p_percent in number);\n"
        "  function headcount(p_deptno in number) return number;\n"
        "end emp_api;\n" },
    { "EMP_API", "PACKAGE BODY",
        "package body emp_api is\n"
        "  procedure raise_salary(p_empno in number, p_percent in number) is\n"
        "  begin\n"
        "    update emp set sal = sal * (1 + p_percent / 100) where empno = p_empno;\n"
        "  end raise_salary;\n"
        "\n"
        "  function headcount(p_deptno in number) return number is\n"
        "    n number;\n"
        "  begin\n"
        "    select count(*) into n from emp where deptno = p_deptno;\n"
        "    return n;\n"
        "  end headcount;\n"
        "end emp_api;\n" },
    { "EMP_BIU", "TRIGGER",
        "trigger emp_biu before insert or update on emp for each row\n"
        "begin\n"
        "  :new.ename := upper(:new.ename);\n"
        "end;\n" },
};

int storeDemoUnits(sqlite3 *db, const std::string &owner)
{
    int rc = createStoredCodeTables(db);
    int64_t version = 0;
    for (const DemoUnit &u : demoUnits) {
        if (rc != SQLITE_OK)
            return rc;
        sqlite3_stmt *st = nullptr;
        rc = sqlite3_prepare_v2(db,
            "INSERT INTO QDSI_UNITS VALUES (?1, ?2, ?3, 'VALID', ?4, "
            "strftime('%Y-%m-%d %H:%M:%S', 'now'), strftime('%Y-%m-%d %H:%M:%S', 'now'))",
            -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, u.name, -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 3, u.type, -1, SQLITE_STATIC);
            sqlite3_bind_int64(st, 4, ++version);
            rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
        }
        sqlite3_finalize(st);
        const std::string source = u.source;
        int line = 0;
        for (size_t p = 0; p < source.size() && rc == SQLITE_OK;) {
            const size_t nl = source.find('\n', p);
            rc = sqlite3_prepare_v2(
                db, "INSERT INTO QDSI_SOURCE VALUES (?1, ?2, ?3, ?4, ?5)", -1, &st, nullptr);
            if (rc == SQLITE_OK) {
                const std::string text = source.substr(p, nl - p + 1);
                sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(st, 2, u.name, -1, SQLITE_STATIC);
                sqlite3_bind_text(st, 3, u.type, -1, SQLITE_STATIC);
                sqlite3_bind_int(st, 4, ++line);
                sqlite3_bind_text(st, 5, text.c_str(), -1, SQLITE_TRANSIENT);
                rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
            }
            sqlite3_finalize(st);
            p = nl + 1;
        }
    }
    return rc;
}

} // namespace

int createDemoSchema(sqlite3 *db, const std::string &owner)
{
    int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    if (owner == secondSchemaName) {
        rc = sqlite3_exec(db, secondScript, nullptr, nullptr, nullptr);
        sqlite3_exec(db, rc == SQLITE_OK ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
        return rc;
    }
    // The public synonym names the schema's own table.
    std::string text = script;
    const std::string mark = "QD_DEMO_OWNER";
    std::string literal = "'";
    for (char c : owner)
        literal += c == '\'' ? std::string("''") : std::string(1, c);
    literal += "'";
    text.replace(text.find(mark), mark.size(), literal);
    rc = sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = storeDemoUnits(db, owner);
    sqlite3_exec(db, rc == SQLITE_OK ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    return rc;
}

} // namespace qdsi::engine
