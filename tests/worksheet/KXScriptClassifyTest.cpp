#include "ScriptTestSupport.h"

#include "oracle/QStringPrinter.h"
#include "worksheet/StatementClassifier.h"

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

struct ClassifyCase {
    const char *words; // blank-separated, upper case as collected
    TKXStatementKind kind;
};

void PrintTo(const ClassifyCase &c, std::ostream *os)
{
    *os << '"' << c.words << "\" -> " << int(c.kind);
}

class ClassifyTable : public ::testing::TestWithParam<ClassifyCase> { };

TEST_P(ClassifyTable, KindOfTheFirstWords)
{
    TStringList words;
    for (const QString &word : QString::fromUtf8(GetParam().words).split(u' ', Qt::SkipEmptyParts))
        words.Add(word);
    EXPECT_EQ(int(ClassifyStatement(words)), int(GetParam().kind));
}

// Every kind the classifier gives, and the forms that decide between neighbours.
const ClassifyCase classifyCases[] = {
    { "", skNone },
    { "WHENEVER SQLERROR EXIT", skCommand },
    { "SELECT * FROM DUAL", skSelect },
    { "WITH A AS (SELECT", skSelect },
    { "(SELECT 1 FROM DUAL)", skSelect },
    { "UPDATE T", skUpdate },
    { "INSERT INTO", skInsert },
    { "DELETE FROM", skDelete },
    { "MERGE INTO", skMerge },
    { "EXEC P", skExecute },
    { "EXECU P", skExecute },
    { "EXECUT P", skExecute },
    { "EXECUTE P", skExecute },
    { "EXE P", skCommand },
    { "ALTER SESSION", skOtherSQL },
    { "ANALYZE TABLE", skOtherSQL },
    { "AUDIT ALL", skOtherSQL },
    { "COMMENT ON", skOtherSQL },
    { "CREATE TABLE T", skOtherSQL },
    { "CREATE INDEX I ON T(A)", skOtherSQL },
    { "DROP TABLE T", skOtherSQL },
    { "GRANT SELECT", skOtherSQL },
    { "NOAUDIT ALL", skOtherSQL },
    { "RENAME A TO B", skOtherSQL },
    { "REVOKE ALL", skOtherSQL },
    { "TRUNCATE TABLE T", skOtherSQL },
    { "EXPLAIN PLAN FOR", skOtherSQL },
    { "LOCK TABLE T", skOtherSQL },
    { "COMMIT", skOtherSQL },
    { "ROLLBACK", skOtherSQL },
    { "SAVEPOINT A", skOtherSQL },
    { "SET TRANSACTION READ ONLY", skOtherSQL },
    { "SET ROLE ALL", skOtherSQL },
    { "SET SERVEROUTPUT ON", skCommand },
    { "SET", skCommand },
    { "BEGIN", skPLSQLBlock },
    { "DECLARE", skPLSQLBlock },
    { "DESC EMP", skDescribe },
    { "DESCR EMP", skDescribe },
    { "DESCRI EMP", skDescribe },
    { "DESCRIB EMP", skDescribe },
    { "DESCRIBE EMP", skDescribe },
    { "@SCRIPT", skRunScript },
    { "@ SCRIPT", skRunScript },
    { "@@SUB", skRunScriptRelative },
    { "@@ SUB", skRunScriptRelative },
    { "START SCRIPT", skStartScript },
    { "STARTUP", skCommand },
    { "SPOOL OUT", skSpool },
    { "/", skRunBuffer },
    { "CREATE PROCEDURE P", skCreateProcedure },
    { "CREATE OR REPLACE PROCEDURE P", skCreateProcedure },
    { "CREATE FUNCTION F", skCreateFunction },
    { "CREATE OR REPLACE FUNCTION F", skCreateFunction },
    { "CREATE TRIGGER T", skCreateTrigger },
    { "CREATE OR REPLACE TRIGGER T", skCreateTrigger },
    { "CREATE PACKAGE P", skCreatePackage },
    { "CREATE OR REPLACE PACKAGE P", skCreatePackage },
    { "CREATE PACKAGE BODY P", skCreatePackageBody },
    { "CREATE OR REPLACE PACKAGE BODY P", skCreatePackageBody },
    { "CREATE TYPE T", skCreateType },
    { "CREATE OR REPLACE TYPE T", skCreateType },
    { "CREATE TYPE BODY T", skCreateTypeBody },
    { "CREATE OR REPLACE TYPE BODY T", skCreateTypeBody },
    { "CREATE VIEW V", skCreateView },
    { "CREATE FORCE VIEW V", skCreateView },
    { "CREATE OR REPLACE VIEW V", skCreateView },
    { "CREATE OR REPLACE FORCE VIEW V", skCreateView },
    { "--COMMENT", skLineComment },
    { "-- COMMENT", skLineComment },
    { "/*", skBlockComment },
    { "/*COMMENT*/", skBlockComment },
    { "SHOW ERRORS", skShowErrors },
    { "SHO ERR", skShowErrors },
    { "SHOW ERRO", skShowErrors },
    { "SHOW ERROR", skShowErrors },
    { "SHOW USER", skCommand },
    { "SHOW", skCommand },
    { "REM NOTE", skRemark },
    { "REMARK NOTE", skCommand },
    { "PROMPT HELLO", skPrompt },
    { "VARIABLE V NUMBER", skVariable },
    { "ACC X", skAccept },
    { "ACCEPT X", skAccept },
    { "DEF X", skDefine },
    { "DEFINE X", skDefine },
    { "CONN U/P", skConnect },
    { "CONNECT U/P", skConnect },
};

INSTANTIATE_TEST_SUITE_P(KXScript, ClassifyTable, ::testing::ValuesIn(classifyCases));

TEST(KXScriptClassify, EveryKindButTheReservedOneIsProduced)
{
    std::vector<bool> seen(KXStatementKindCount, false);
    for (const ClassifyCase &c : classifyCases)
        seen[c.kind] = true;
    for (int kind = 0; kind < KXStatementKindCount; ++kind)
        EXPECT_EQ(seen[kind], kind != skReserved9) << "kind " << kind;
}

TEST(KXScriptWords, CollectsSixUpperCaseWordsAcrossLines)
{
    TStringList lines
        = toStringList(QStringLiteral("\n  create or\treplace\n\npackage body äx.y as"));
    TStringList words;
    int offset = -1;
    QList<int> wordLines;
    GetStatementWords(lines, 6, 0, 0, words, offset, &wordLines);
    EXPECT_EQ(toQStringList(words),
        QStringList({ "CREATE", "OR", "REPLACE", "PACKAGE", "BODY", "äX.Y" }));
    EXPECT_EQ(offset, 1);
    EXPECT_EQ(wordLines, QList<int>({ 1, 1, 1, 3, 3, 3 }));
}

TEST(KXScriptWords, SemicolonRules)
{
    TStringList lines = toStringList(QStringLiteral("a;b; x"));
    TStringList words;
    int offset = 0;
    GetStatementWords(lines, 6, 0, 0, words, offset);
    EXPECT_EQ(toQStringList(words), QStringList({ "A;B;", "X" }));

    // A word that ends the statement ends the collection: the next statement's words stay out.
    lines = toStringList(
        QStringLiteral("create sequence s;\ncreate view v as select 1 x from dual;"));
    GetStatementWords(lines, 6, 0, 0, words, offset);
    EXPECT_EQ(toQStringList(words), QStringList({ "CREATE", "SEQUENCE", "S" }));

    lines = toStringList(QStringLiteral("commit\n;\nselect"));
    GetStatementWords(lines, 6, 0, 0, words, offset);
    EXPECT_EQ(toQStringList(words), QStringList({ "COMMIT", "" }));

    lines = toStringList(QStringLiteral("begin null; end\n/\nselect"));
    GetStatementWords(lines, 6, 0, 0, words, offset);
    EXPECT_EQ(toQStringList(words), QStringList({ "BEGIN", "NULL" }));
}

TEST(KXScriptWords, StartColumnBlanksTheLineInPlace)
{
    TStringList lines = toStringList(QStringLiteral("/* c */select x"));
    TStringList words;
    int offset = 0;
    GetStatementWords(lines, 6, 0, 7, words, offset);
    EXPECT_EQ(lines[0], QStringLiteral("       select x"));
    EXPECT_EQ(toQStringList(words), QStringList({ "SELECT", "X" }));
}

TEST(KXScriptWords, EditionWordsArePassedOverAfterCreate)
{
    TStringList lines
        = toStringList(QStringLiteral("create or replace noneditionable type body t as"));
    TStringList words;
    int offset = 0;
    GetStatementWords(lines, 6, 0, 0, words, offset);
    EXPECT_EQ(
        toQStringList(words), QStringList({ "CREATE", "OR", "REPLACE", "TYPE", "BODY", "T" }));
    EXPECT_EQ(ClassifyStatement(words), skCreateTypeBody);
}

} // namespace
