#include "classlib/Exception.h"
#include "oracle/OracleSqlText.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace qd;

namespace {

struct Found {
    QStringList names;
    QList<qintptr> positions;
};

Found find(const QString &sql, bool duplicates)
{
    const TStringList list = FindVariables(sql, duplicates);
    Found f;
    for (int i = 0; i < list.Count(); ++i) {
        f.names << list[i];
        f.positions << list.Integers(i);
    }
    return f;
}

struct ScanCase {
    const char *sql;
    bool duplicates;
    QStringList names;
    QList<qintptr> positions;
};

} // namespace

TEST(BindVariableScanner, FindsNamesAndColonPositions)
{
    const ScanCase cases[] = {
        { "select :a, :b, :a from dual", false, { "A", "B" }, { 8, 12 } },
        { "select :a, :b, :a from dual", true, { "A", "B", "A" }, { 8, 12, 16 } },
        { "begin :x := 1; end;", false, { "X" }, { 7 } },
        { "begin :x := :x + 1; end;", true, { "X", "X" }, { 7, 13 } },
        { "x := 1", false, {}, {} },
        { "select 'a:b', ':c' from dual where d = :d", false, { "D" }, { 40 } },
        { "select 1 -- :hidden\nfrom t where a = :shown", false, { "SHOWN" }, { 38 } },
        { "select 1 -- :hidden\r\nfrom t where a = :shown", false, { "SHOWN" }, { 39 } },
        { "select /* :c1 :c2 */ :v from t", false, { "V" }, { 22 } },
        { "select /*/ :inside */ :v from t", false, { "V" }, { 23 } },
        { "select a::b from t", false, {}, {} },
        { ":a:b", false, { "A" }, { 1 } },
        { "where x = :Name_1$#", false, { "NAME_1$#" }, { 11 } },
        { "where x = :ünï", false, { "ÜNÏ" }, { 11 } },
        { "select :a", false, { "A" }, { 8 } },
        { "select :", false, {}, {} },
        { "", false, {}, {} },
        { "select 'unterminated :x", false, {}, {} },
        { "select /* unterminated :x", false, {}, {} },
        { "select :A, :a from dual", false, { "A" }, { 8 } },
        { "select :a/*:b*/ from t", true, { "A" }, { 8 } },
        { "select :a--:b\n, :c from t", true, { "A", "C" }, { 8, 17 } },
        { "select :a'x:y' from t", true, { "A" }, { 8 } },
        { "select :a/:b from t", true, { "A", "B" }, { 8, 11 } },
        { "select :a-:b from t", true, { "A", "B" }, { 8, 11 } },
    };
    for (const ScanCase &c : cases) {
        const Found f = find(QString::fromUtf8(c.sql), c.duplicates);
        EXPECT_EQ(f.names, c.names) << c.sql;
        EXPECT_EQ(f.positions, c.positions) << c.sql;
    }
}

TEST(BindVariableScanner, RemoveCommentsKeepsLiteralsAndDropsCommentLineBreaks)
{
    const struct {
        const char *sql;
        const char *expected;
    } cases[] = {
        { "select '--not a comment' from dual", "select '--not a comment' from dual" },
        { "select 1 -- note\r\nfrom dual", "select 1 from dual" },
        { "select 1 -- note\nfrom dual", "select 1 from dual" },
        { "select /* a */1 from dual", "select 1 from dual" },
        { "select '/* kept */' x from t", "select '/* kept */' x from t" },
        { "  \t/* only */ select 1 \r\n ", "select 1" },
        { "select 1 /* open", "select 1" },
        { "-- all comment", "" },
        { "select 'it''s -- in' from t -- gone", "select 'it''s -- in' from t" },
        { "select a/b from t", "select a/b from t" },
        { "select a-b from t", "select a-b from t" },
        // A comment between two words still separates them.
        { "select a/*c*/from t", "select a from t" },
        { "where x = :no--c\nand y = 1", "where x = :no and y = 1" },
        { "select a/*1*//*2*/from t", "select a from t" },
        { "select (a)/*c*/ from t", "select (a) from t" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(RemoveComments(QString::fromUtf8(c.sql)), QString::fromUtf8(c.expected)) << c.sql;
}

TEST(BindVariableScanner, QuoteWhenNeeded)
{
    const struct {
        const char *name;
        const char *extra;
        const char *expected;
    } cases[] = {
        { "SCOTT", "", "SCOTT" },
        { "scott_1#$", "", "scott_1#$" },
        { "my user", "", "\"my user\"" },
        { "\"my user\"", "", "\"my user\"" },
        { "pa-ss", "", "\"pa-ss\"" },
        { "pa-ss", "-", "pa-ss" },
        { "wörd", "", "wörd" },
        { "", "", "" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(QuoteWhenNeeded(QString::fromUtf8(c.name), QString::fromUtf8(c.extra)),
            QString::fromUtf8(c.expected))
            << c.name;
}

TEST(BindVariableScanner, CountTextAndByteArrayText)
{
    EXPECT_EQ(CountText(1, "row"), "1 row");
    EXPECT_EQ(CountText(0, "row"), "0 rows");
    EXPECT_EQ(CountText(12, "record"), "12 records");

    EXPECT_EQ(ByteArrayToText(Variant(QByteArray("\x41\xff\x00\x42", 4))),
        QString::fromLatin1("A\xff", 2) + QChar(0) + u'B');
    EXPECT_EQ(ByteArrayToText(Variant::Null()), QString());
    EXPECT_THROW(ByteArrayToText(Variant(3.5)), EConvertError);
}
