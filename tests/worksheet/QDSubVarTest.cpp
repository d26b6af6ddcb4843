#include "worksheet/QDSubVar.h"

#include "classlib/Exception.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

TStringList linesOf(std::initializer_list<const char *> texts)
{
    TStringList lines;
    for (const char *t : texts)
        lines.Add(QString::fromUtf8(t));
    return lines;
}

// One occurrence as "kind:NAME@line:col-end=text".
std::string describe(const TQDSubVarRec &r)
{
    return std::to_string(r.Kind) + ":" + r.Name.toStdString() + "@" + std::to_string(r.Line) + ":"
        + std::to_string(r.Column) + "-" + std::to_string(r.EndColumn) + "=" + r.Text.toStdString();
}

std::vector<std::string> scanOne(const char *line)
{
    TQDSubVar scanner;
    scanner.Scan(linesOf({ line }));
    std::vector<std::string> out;
    for (int i = 1; i <= scanner.Count(); ++i)
        out.push_back(describe(scanner.GetOccurrence(i)));
    return out;
}

struct ScanCase {
    const char *line;
    std::vector<std::string> expected;
};

} // namespace

TEST(QDSubVar, ScanFindsOccurrences)
{
    const ScanCase cases[] = {
        { "select 1 from dual", {} },
        { "&x.y", { "0:X@0:1-3=&x." } },
        { "&&abc", { "1:ABC@0:1-5=&&abc" } },
        { "where a = &abc and b = &ABC", { "0:ABC@0:11-14=&abc", "0:ABC@0:24-27=&ABC" } },
        // A marker right before a delimiter records nothing.
        { "a & b && c &. &( &&, &&. &'x' &", {} },
        { "&&", {} },
        { "x&", {} },
        // Every delimiter ends the name.
        { "&a b", { "0:A@0:1-2=&a" } },
        { "&a\tb", { "0:A@0:1-2=&a" } },
        { "(&a)", { "0:A@0:2-3=&a" } },
        { "&a,&b+&c-&d*&e/&f=&g",
            { "0:A@0:1-2=&a", "0:B@0:4-5=&b", "0:C@0:7-8=&c", "0:D@0:10-11=&d", "0:E@0:13-14=&e",
                "0:F@0:16-17=&f", "0:G@0:19-20=&g" } },
        { "'&a' \"&b\" &c; &d: &e% &f|",
            { "0:A@0:2-3=&a", "0:B@0:7-8=&b", "0:C@0:11-12=&c", "0:D@0:15-16=&d", "0:E@0:19-20=&e",
                "0:F@0:23-24=&f" } },
        // Only a "." is taken into the occurrence.
        { "&tab..x &t.;", { "0:TAB@0:1-5=&tab.", "0:T@0:9-11=&t." } },
        { "&&t.y", { "1:T@0:1-4=&&t." } },
        // Single and double markers mixed on a line, kept in column order.
        { "&&a &b &&a", { "1:A@0:1-3=&&a", "0:B@0:5-6=&b", "1:A@0:8-10=&&a" } },
        // "&" ends a name: two variables side by side, never two occurrences over one text.
        { "&a&b", { "0:A@0:1-2=&a", "0:B@0:3-4=&b" } },
        { "&a&&b", { "0:A@0:1-2=&a", "1:B@0:3-5=&&b" } },
        { "&&&x", { "0:X@0:3-4=&x" } },
        { "&ä1_#$", { "0:Ä1_#$@0:1-6=&ä1_#$" } },
    };
    for (const ScanCase &c : cases)
        EXPECT_EQ(scanOne(c.line), c.expected) << c.line;
}

TEST(QDSubVar, ScanSortsByLineThenColumnAndStartsAfresh)
{
    TQDSubVar scanner;
    scanner.Scan(linesOf({ "&old" }));
    ASSERT_EQ(scanner.Count(), 1);
    scanner.Scan(linesOf({ "&&b &a", "", "no vars", "x &c &&d" }));
    ASSERT_EQ(scanner.Count(), 4);
    EXPECT_EQ(describe(scanner.GetOccurrence(1)), "1:B@0:1-3=&&b");
    EXPECT_EQ(describe(scanner.GetOccurrence(2)), "0:A@0:5-6=&a");
    EXPECT_EQ(describe(scanner.GetOccurrence(3)), "0:C@3:3-4=&c");
    EXPECT_EQ(describe(scanner.GetOccurrence(4)), "1:D@3:6-8=&&d");
    EXPECT_EQ(scanner.Source().Count(), 4);
    EXPECT_EQ(scanner.Output().Text(), scanner.Source().Text());
}

TEST(QDSubVar, SubstituteJoinsAtTheDot)
{
    TQDSubVar scanner;
    scanner.Scan(linesOf({ "&x.y" }));
    scanner.Substitute(1, QStringLiteral("A"));
    EXPECT_EQ(scanner.Output()[0], QStringLiteral("Ay"));
    EXPECT_EQ(scanner.Source()[0], QStringLiteral("&x.y"));
    EXPECT_EQ(describe(scanner.GetOccurrence(1)), "0:X@0:1-1=A");
}

// Any order of substitution gives the same text; only later occurrences of the same line move.
TEST(QDSubVar, SubstitutionOrderDoesNotMatter)
{
    const std::vector<std::vector<int>> orders
        = { { 1, 2, 3, 4 }, { 4, 3, 2, 1 }, { 2, 4, 1, 3 }, { 3, 1, 4, 2 } };
    const char *values[] = { "LONGER_VALUE", "", "q", "zz" };
    for (const auto &order : orders) {
        TQDSubVar scanner;
        scanner.Scan(linesOf({ "select &a, &&bb from &t.x", "where c = '&c'" }));
        ASSERT_EQ(scanner.Count(), 4);
        for (int index : order)
            scanner.Substitute(index, QString::fromUtf8(values[index - 1]));
        EXPECT_EQ(scanner.Output()[0], QStringLiteral("select LONGER_VALUE,  from qx"));
        EXPECT_EQ(scanner.Output()[1], QStringLiteral("where c = 'zz'"));
    }
}

TEST(QDSubVar, SubstitutingMovesOnlyLaterOccurrencesOfTheLine)
{
    TQDSubVar scanner;
    scanner.Scan(linesOf({ "&a &b", "&c" }));
    scanner.Substitute(1, QStringLiteral("12345"));
    EXPECT_EQ(describe(scanner.GetOccurrence(1)), "0:A@0:1-5=12345");
    EXPECT_EQ(describe(scanner.GetOccurrence(2)), "0:B@0:7-8=&b"); // moved right by 3
    EXPECT_EQ(describe(scanner.GetOccurrence(3)), "0:C@1:1-2=&c"); // other line unmoved

    TQDSubVar second;
    second.Scan(linesOf({ "&a &b" }));
    second.Substitute(2, QStringLiteral("12345"));
    EXPECT_EQ(describe(second.GetOccurrence(1)), "0:A@0:1-2=&a");
    EXPECT_EQ(second.Output()[0], QStringLiteral("&a 12345"));

    // Substituting the same occurrence again replaces the previous value.
    second.Substitute(2, QStringLiteral("x"));
    second.Substitute(1, QStringLiteral(""));
    second.Substitute(1, QStringLiteral("yy"));
    EXPECT_EQ(second.Output()[0], QStringLiteral("yy x"));
    EXPECT_EQ(describe(second.GetOccurrence(2)), "0:B@0:4-4=x");
}

TEST(QDSubVar, IndexOutsideTheOccurrencesRaises)
{
    TQDSubVar scanner;
    scanner.Scan(linesOf({ "&a" }));
    EXPECT_THROW(scanner.GetOccurrence(0), Exception);
    EXPECT_THROW(scanner.GetOccurrence(2), Exception);
    EXPECT_THROW(scanner.Substitute(2, QStringLiteral("x")), Exception);
    EXPECT_EQ(scanner.Output()[0], QStringLiteral("&a"));
}

// Far more references than a fixed table of 1024 would hold: every one is found and replaced.
TEST(QDSubVar, FiveThousandReferencesAreAllReplaced)
{
    TStringList lines;
    for (int line = 0; line < 100; ++line) {
        QString text;
        for (int k = 0; k < 50; ++k)
            text += QStringLiteral("&v%1,").arg((line * 50 + k) % 200);
        lines.Add(text);
    }
    TQDSubVar scanner;
    scanner.Scan(lines);
    ASSERT_EQ(scanner.Count(), 5000);
    for (int i = scanner.Count(); i >= 1; --i) {
        const TQDSubVarRec rec = scanner.GetOccurrence(i);
        scanner.Substitute(i, QStringLiteral("<") + rec.Name.toLower() + QStringLiteral(">"));
    }
    for (int line = 0; line < 100; ++line) {
        EXPECT_FALSE(scanner.Output()[line].contains(u'&')) << line;
        EXPECT_TRUE(
            scanner.Output()[line].startsWith(QStringLiteral("<v%1>,").arg((line * 50) % 200)));
    }
}
