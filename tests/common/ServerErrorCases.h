#pragma once

// Statements a user gets wrong, with the error a server gives for each: its code, how its
// message begins and where its parse error offset points. The stand-in's tests run them through
// the C interface, the Oracle layer's tests through TOracleQuery.

#include <string>

namespace qd::test {

struct ServerErrorCase {
    const char *sql;
    int code;
    const char *message; // the start of the error text
    const char *at; // the offset points at the first occurrence of this text; nullptr: unchecked

    int offset() const
    {
        if (!at)
            return -1;
        const size_t found = std::string(sql).find(at);
        return found == std::string::npos ? -1 : static_cast<int>(found);
    }
};

// Run in order (errors ignored) before the cases: tables with two foreign keys and with an
// INTEGER key, on the DEMO sample schema.
inline const char *const serverErrorSetup[] = {
    "DROP TABLE QE_CHILD",
    "DROP TABLE QE_PARENT_A",
    "DROP TABLE QE_PARENT_B",
    "DROP TABLE QE_INT_KEY",
    "CREATE TABLE QE_PARENT_A (ID NUMBER PRIMARY KEY)",
    "CREATE TABLE QE_PARENT_B (ID NUMBER PRIMARY KEY)",
    "CREATE TABLE QE_CHILD (ID NUMBER PRIMARY KEY,"
    " A_ID NUMBER CONSTRAINT QE_FK_A REFERENCES QE_PARENT_A,"
    " B_ID NUMBER CONSTRAINT QE_FK_B REFERENCES QE_PARENT_B)",
    "CREATE TABLE QE_INT_KEY (ID INTEGER PRIMARY KEY, S VARCHAR2(10))",
    "INSERT INTO QE_PARENT_A VALUES (1)",
    "INSERT INTO QE_PARENT_B VALUES (1)",
    "INSERT INTO QE_CHILD VALUES (1, 1, 1)",
    "COMMIT",
};

inline const ServerErrorCase serverErrorCases[] = {
    // Unknown objects and names, located on whichever line they stand.
    { "SELECT * FROM QE_NOSUCH", 942, "ORA-00942: table or view does not exist", "QE_NOSUCH" },
    { "SELECT ENAME,\n       JOB\n  FROM EMP,\n       QE_NOSUCH\n WHERE 1 = 1", 942,
        "ORA-00942: table or view does not exist", "QE_NOSUCH" },
    { "SELECT ENAMEX FROM EMP", 904, "ORA-00904: \"ENAMEX\": invalid identifier", "ENAMEX" },
    { "SELECT E.ENAME,\n       E.SALX\n  FROM EMP E", 904,
        "ORA-00904: \"E\".\"SALX\": invalid identifier", "E.SALX" },
    { "SELECT ENAME\n  FROM EMP\n WHERE QE_NOSUCHFN(SAL) > 1", 904,
        "ORA-00904: \"QE_NOSUCHFN\": invalid identifier", "QE_NOSUCHFN" },
    { "DELETE FROM EMP\n WHERE \"ENAMEX\" = 'ENAMEX'", 904,
        "ORA-00904: \"ENAMEX\": invalid identifier", "\"ENAMEX\"" },
    { "SELECT DEPTNO FROM EMP, DEPT", 918, "ORA-00918: column ambiguously defined", "DEPTNO" },
    // Values and columns that do not match.
    { "INSERT INTO DEPT VALUES (50, 'X', 'Y', 'Z')", 913, "ORA-00913: too many values", nullptr },
    { "INSERT INTO DEPT VALUES (50)", 947, "ORA-00947: not enough values", nullptr },
    { "INSERT INTO DEPT (DEPTNO, DNAME) VALUES (50)", 947, "ORA-00947: not enough values",
        nullptr },
    // Grouping.
    { "SELECT DEPTNO, COUNT(*) FROM EMP", 937, "ORA-00937: not a single-group group function",
        "DEPTNO" },
    { "SELECT DEPTNO,\n       JOB,\n       COUNT(*)\n  FROM EMP\n GROUP BY DEPTNO", 979,
        "ORA-00979: not a GROUP BY expression", "JOB" },
    // Text where a number is wanted.
    { "SELECT * FROM EMP WHERE EMPNO = 'abc'", 1722, "ORA-01722: invalid number", nullptr },
    { "SELECT COUNT(*) FROM EMP WHERE ENAME > 0", 1722, "ORA-01722: invalid number", nullptr },
    // Keys.
    { "INSERT INTO QE_CHILD VALUES (2, NULL, 9)", 2291,
        "ORA-02291: integrity constraint (DEMO.QE_FK_B) violated - parent key not found",
        nullptr },
    { "INSERT INTO QE_CHILD VALUES (3, 9, 1)", 2291,
        "ORA-02291: integrity constraint (DEMO.QE_FK_A) violated - parent key not found",
        nullptr },
    { "UPDATE QE_CHILD SET B_ID = 7 WHERE ID = 1", 2291,
        "ORA-02291: integrity constraint (DEMO.QE_FK_B) violated - parent key not found",
        nullptr },
    { "DELETE FROM QE_PARENT_B", 2292,
        "ORA-02292: integrity constraint (DEMO.QE_FK_B) violated - child record found", nullptr },
    { "INSERT INTO QE_INT_KEY (S) VALUES ('x')", 1400,
        "ORA-01400: cannot insert NULL into (\"DEMO\".\"QE_INT_KEY\".\"ID\")", nullptr },
    { "INSERT INTO QE_INT_KEY VALUES (NULL, 'y')", 1400,
        "ORA-01400: cannot insert NULL into (\"DEMO\".\"QE_INT_KEY\".\"ID\")", nullptr },
    // Definitions over what does not exist.
    { "CREATE VIEW QE_VIEW AS\nSELECT *\n  FROM QE_NOSUCH", 942,
        "ORA-00942: table or view does not exist", "QE_NOSUCH" },
    { "CREATE VIEW QE_VIEW AS\nSELECT ENAME, QE_NOSUCHCOL\n  FROM EMP", 904,
        "ORA-00904: \"QE_NOSUCHCOL\": invalid identifier", "QE_NOSUCHCOL" },
    { "CREATE TABLE QE_ORPHAN (ID NUMBER,\n  P NUMBER REFERENCES QE_NOSUCH)", 942,
        "ORA-00942: table or view does not exist", "QE_NOSUCH" },
    // PL/SQL: a missing ";" is reported at the word that follows.
    { "BEGIN\n  NULL\nEND;", 6550,
        "ORA-06550: line 3, column 1:\nPLS-00103: Encountered the symbol \"END\" when expecting",
        "END;" },
};

} // namespace qd::test
