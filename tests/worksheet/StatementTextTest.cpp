#include "ScriptTestSupport.h"

#include "oracle/QStringPrinter.h"
#include "worksheet/StatementText.h"
#include "worksheet/WorksheetText.h"

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

QStringList variableRefs(const QString &text, bool ignoreQuotes = false, bool dotEndsName = false,
    int startLine = 0, const QString &marker = QStringLiteral(":"))
{
    TStringList names;
    names.Add(QStringLiteral("left over"));
    FindVariableRefs(marker, ignoreQuotes, dotEndsName, names, startLine, toStringList(text));
    return toQStringList(names);
}

TEST(FindVariableRefs, NamesOutsideLiterals)
{
    EXPECT_EQ(variableRefs(QStringLiteral("where a = :x and b = ':y'")), QStringList({ "X" }));
    EXPECT_EQ(
        variableRefs(QStringLiteral("where a = :x and b = ':y'"), true), QStringList({ "X", "Y" }));
    // A literal open on an earlier line still hides the marker.
    EXPECT_EQ(variableRefs(QStringLiteral("select 'a\n:b' , :c from dual")), QStringList({ "C" }));
    EXPECT_EQ(variableRefs(QStringLiteral("select 'it''s', :v from dual")), QStringList({ "V" }));
}

TEST(FindVariableRefs, NameEnds)
{
    EXPECT_EQ(variableRefs(QStringLiteral(":new.col")), QStringList({ "NEW.COL" }));
    EXPECT_EQ(variableRefs(QStringLiteral(":new.col"), false, true), QStringList({ "NEW" }));
    EXPECT_EQ(variableRefs(QStringLiteral("x := :a+:b-:c*:d/:e=:f;:g%:h|:i,:j)(:k\t:l\":m")),
        QStringList({ "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M" }));
    EXPECT_EQ(variableRefs(QStringLiteral("where :lo<3 and :hi>=4 and :n!=5")),
        QStringList({ "LO", "HI", "N" }));
    // Repeats are listed again; ":=" gives no name.
    EXPECT_EQ(variableRefs(QStringLiteral("begin :v := :v + 1; end;")), QStringList({ "V", "V" }));
}

TEST(FindVariableRefs, FromStartLineWithItsOwnMarker)
{
    const QString text
        = QStringLiteral("select '&a' from dual\nwhere b = &b and c = '&c'\nand &&d = 1");
    EXPECT_EQ(variableRefs(text, false, false, 1, QStringLiteral("&")), QStringList({ "B", "&D" }));
    EXPECT_EQ(variableRefs(text, false, false, 0, QStringLiteral("&&")), QStringList({ "D" }));
    EXPECT_EQ(variableRefs(QString(), false, false, 5), QStringList());
}

QString createdName(const char *statement)
{
    TStringList lines = toStringList(QString::fromUtf8(statement));
    TKXScript script;
    script.Parse(lines, kpmAll, 0, 5);
    script.First();
    const QString name = GetCreatedObjectName(script.CurrentStatement().Words());
    script.Clear();
    return name;
}

TEST(GetCreatedObjectName, NameWithoutOwnerOrParameters)
{
    EXPECT_EQ(
        createdName("CREATE OR REPLACE PACKAGE BODY scott.pkg as\nend;\n/"), QStringLiteral("PKG"));
    EXPECT_EQ(createdName("create type body t as\nend;\n/"), QStringLiteral("T"));
    EXPECT_EQ(
        createdName("create procedure p(a NUMBER) is begin null; end;\n/"), QStringLiteral("P"));
    EXPECT_EQ(createdName("create or replace force view v as select 1 x from dual;"),
        QStringLiteral("V"));
    EXPECT_EQ(createdName("create force view v2 as select 1 x from dual;"), QStringLiteral("V2"));
    EXPECT_EQ(createdName("create or replace library lib as '/x.so';"), QStringLiteral("LIB"));
    EXPECT_EQ(
        createdName(
            "create or replace editionable function s.f return number is\nbegin return 1; end;\n/"),
        QStringLiteral("F"));
    EXPECT_EQ(createdName("create table t (a number);"), QString());
    EXPECT_EQ(createdName("select 1 from dual;"), QString());
    // The name word itself may be missing.
    EXPECT_EQ(createdName("create or replace package"), QString());
}

TEST(GetKindObjectType, CreateKindsOnly)
{
    const std::pair<TKXStatementKind, const char *> types[] = {
        { skCreateProcedure, "PROCEDURE" },
        { skCreateFunction, "FUNCTION" },
        { skCreateTrigger, "TRIGGER" },
        { skCreatePackage, "PACKAGE" },
        { skCreatePackageBody, "PACKAGE BODY" },
        { skCreateType, "TYPE" },
        { skCreateTypeBody, "TYPE BODY" },
        { skCreateView, "VIEW" },
        { skSelect, "" },
        { skOtherSQL, "" },
        { skNone, "" },
    };
    for (const auto &[kind, type] : types)
        EXPECT_EQ(GetKindObjectType(kind), QString::fromUtf8(type)) << int(kind);
}

TEST(GetStatementAtCaret, LinesOfTheStatementUnderTheCaret)
{
    const TStringList text
        = toStringList(QStringLiteral("select 1 from dual;\n\nselect 2\n  from dual;\n-- end"));
    TStringList lines;
    GetStatementAtCaret(text, lines, 3, 5);
    EXPECT_EQ(toQStringList(lines), QStringList({ "select 2", "  from dual" }));
    // The text itself is not changed.
    EXPECT_EQ(text[3], QStringLiteral("  from dual;"));

    lines = toStringList(QStringLiteral("kept"));
    GetStatementAtCaret(text, lines, 1, 5);
    EXPECT_EQ(toQStringList(lines), QStringList({ "kept" }));
    GetStatementAtCaret(text, lines, 4, 5);
    EXPECT_EQ(toQStringList(lines), QStringList({ "kept" }));
}

TEST(WorksheetText, ConnectionCaption)
{
    EXPECT_EQ(MakeConnectionCaption(
                  QStringLiteral("SQL"), QStringLiteral("SCOTT"), QStringLiteral("ORCL.World")),
        QStringLiteral("  SQL - [scott@orcl.world]"));
    EXPECT_EQ(MakeConnectionCaption(QStringLiteral("X"), QStringLiteral("ÄB"), QString()),
        QStringLiteral("  X - [Äb@]"));
}

TEST(WorksheetText, TrimLines)
{
    TStringList lines = toStringList(QStringLiteral("  a \n\n \t \nb\t\n c"));
    TrimLines(lines);
    EXPECT_EQ(toQStringList(lines), QStringList({ "a", "b", "c" }));
}

TEST(WorksheetText, ElapsedText)
{
    EXPECT_EQ(ElapsedText(3723004), QStringLiteral("1h 2m 3s 4ms"));
    EXPECT_EQ(ElapsedText(0), QStringLiteral("0ms"));
    EXPECT_EQ(ElapsedText(60000), QStringLiteral("1m 0ms"));
    EXPECT_EQ(ElapsedText(-5), QStringLiteral("0ms"));
    EXPECT_EQ(ElapsedText(2 * 86400000LL + 1000), QStringLiteral("2d 1s 0ms"));
    EXPECT_EQ(ElapsedTextBetween(TTimeStamp { 10, 86399000 }, TTimeStamp { 11, 500 }),
        QStringLiteral("1s 500ms"));
}

TEST(WorksheetText, DroppedNamePlacement)
{
    struct Case {
        const char *placement;
        int indent;
        const char *list;
        const char *padded;
    };
    const Case cases[] = {
        { "Before", 2, "  ,COL", "  COL" },
        { "After", 1, "COL, ", "COL " },
        { "None", 3, "COL   ", "COL" },
        { "before", 0, "COL", "COL" },
        { "After", -2, "COL,", "COL" },
    };
    for (const Case &c : cases) {
        const QString placement = QString::fromUtf8(c.placement);
        EXPECT_EQ(
            FormatListItem(QStringLiteral("COL"), placement, c.indent), QString::fromUtf8(c.list))
            << c.placement;
        EXPECT_EQ(FormatPaddedItem(QStringLiteral("COL"), placement, c.indent),
            QString::fromUtf8(c.padded))
            << c.placement;
    }
}

} // namespace
