#include "FilterTestSupport.h"

#include "oracle_data/OracleFilter.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qd;
using qd::test::describe;
using qd::test::expressionError;

namespace {

class FilterParser : public qd::test::FixedFilterFormat { };

std::string evaluate(const QString &text, int options = 0)
{
    std::unique_ptr<TExpression> node = ParseFilterExpression(text, options);
    if (!node)
        return "<no tree>";
    return describe(*node).toStdString();
}

// Parses and reads the node's own getter; the message of what fails, parse or reading.
std::string failure(const QString &text, const TResolveIdentifierEvent &resolve = {})
{
    return expressionError([&] {
        std::unique_ptr<TExpression> node = ParseFilterExpression(text, 0, resolve);
        if (node)
            describe(*node);
    }).toStdString();
}

// Every name resolves to the integer 1, enough to reach the grammar around field references.
std::unique_ptr<TExpression> resolveToOne(const QString &, std::unique_ptr<TParameterList> &)
{
    return std::make_unique<TIntegerLiteral>(1);
}

struct ValueCase {
    const char *text;
    const char *expected;
};

TEST_F(FilterParser, EvaluatesLiteralsOperatorsAndPrecedence)
{
    const ValueCase cases[] = {
        // Number literals: the 32-bit boundary decides Integer or Float.
        { "2147483647", "Integer:2147483647" },
        { "2147483648", "Float:2147483648" },
        { "1e-3", "Float:0.001" },
        { "1.5E2", "Float:150" },
        { "007", "Integer:7" },
        { "'it''s'", "String:it's" },
        { "''", "String:" },
        // Prefix operators bind to one factor: (-1) SHR 1, not -(1 SHR 1).
        { "-1 SHR 1", "Integer:2147483647" },
        { "-2 * 3", "Integer:-6" },
        { "NOT 1 = 0", "Boolean:FALSE" },
        { "NOT 0", "Integer:-1" },
        { "NOT FALSE", "Boolean:TRUE" },
        { "--5", "Integer:5" },
        // Multiplying before adding, left to right within a level.
        { "1 + 2 * 3", "Integer:7" },
        { "(1 + 2) * 3", "Integer:9" },
        { "10 - 4 - 3", "Integer:3" },
        { "100 DIV 10 DIV 5", "Integer:2" },
        { "TRUE OR TRUE AND FALSE", "Boolean:TRUE" },
        { "(TRUE OR TRUE) AND FALSE", "Boolean:FALSE" },
        { "1 OR 2 AND 3", "Integer:3" },
        { "2 * 3 = 6", "Boolean:TRUE" },
        { "1 + 1 <> 2", "Boolean:FALSE" },
        // Integer arithmetic in 32 bits with wrap-around.
        { "7 / 2", "Float:3.5" },
        { "7 DIV 2", "Integer:3" },
        { "-7 DIV 2", "Integer:-3" },
        { "-7 MOD 2", "Integer:-1" },
        { "7 MOD -2", "Integer:1" },
        { "1 SHL 33", "Integer:2" },
        { "1 SHL 31", "Integer:-2147483648" },
        { "-1 SHR 28", "Integer:15" },
        { "5 AND 3", "Integer:1" },
        { "5 OR 3", "Integer:7" },
        { "5 XOR 3", "Integer:6" },
        { "TRUE XOR TRUE", "Boolean:FALSE" },
        { "2147483647 + 1", "Integer:-2147483648" },
        { "65536 * 65536", "Integer:0" },
        { "(0 - 2147483647 - 1) DIV -1", "Integer:-2147483648" },
        { "(0 - 2147483647 - 1) MOD -1", "Integer:0" },
        // Mixed kinds take the kind that comes first: Date, String, Float, Integer, Boolean.
        { "'A' + 1", "String:A1" },
        { "1 + 'A'", "String:1A" },
        { "'x' + 1.5", "String:x1.5" },
        { "1 + 0.5", "Float:1.5" },
        { "TRUE + 1", "Integer:2" },
        { "1 + 2 = 3.0", "Boolean:TRUE" },
        { "'A' + (1 = 1)", "String:ATRUE" },
        { "'10' < '9'", "Boolean:TRUE" },
        { "10 < '9'", "Boolean:TRUE" },
        { "10 < 9.5", "Boolean:FALSE" },
        { "'abc' < 'ABD'", "Boolean:FALSE" },
        { "TRUE = 1", "Boolean:TRUE" },
        { "TRUE <> FALSE", "Boolean:TRUE" },
        // Functions.
        { "PI", "Float:3.14159265358979" },
        { "PI()", "Float:3.14159265358979" },
        { "COPY('ABCDE', 2, 3)", "String:BCD" },
        { "COPY('ABCDE', 4, 10)", "String:DE" },
        { "COPY('ABCDE', 9, 1)", "String:" },
        { "COPY('ABCDE', 0, 2)", "String:AB" },
        { "POS('C', 'ABC')", "Integer:3" },
        { "POS('X', 'ABC')", "Integer:0" },
        { "LENGTH('abc')", "Integer:3" },
        { "LENGTH(12345)", "Integer:5" },
        { "upper('abc1')", "String:ABC1" },
        { "LOWER('ABC')", "String:abc" },
        { "UPPER('\u00e4b')", "String:\u00e4B" },
        { "ROUND(2.5)", "Integer:2" },
        { "ROUND(3.5)", "Integer:4" },
        { "ROUND(-2.5)", "Integer:-2" },
        { "TRUNC(-2.7)", "Integer:-2" },
        { "ABS(-3)", "Float:3" },
        { "ABS(-3) + 1", "Float:4" },
        { "SQR(3)", "Float:9" },
        { "SQRT(16)", "Float:4" },
        { "POWER(2, 10)", "Float:1024" },
        { "FRAC(-2.5)", "Float:-0.5" },
        { "INT(-2.5)", "Float:-2" },
        { "EXP(0)", "Float:1" },
        { "LN(1)", "Float:0" },
        { "COS(0) + SIN(0) + ARCTAN(0)", "Float:1" },
        { "IF(1 < 2, 'yes', 'no')", "String:yes" },
        { "IF(FALSE, 1, 2.5)", "Float:2.5" },
        { "IF(TRUE, 1, 'never read')", "Integer:1" },
        // Casts change the kind operators see and forward the readings unchanged.
        { "STRING(1.5)", "String:1.5" },
        { "STRING(1) + STRING(2)", "String:12" },
        { "INTEGER(2) * 3", "Integer:6" },
        { "FLOAT(7) / 2", "Float:3.5" },
        { "BOOLEAN(1 = 1)", "Boolean:TRUE" },
        // Dates with the fixed test settings; day counts move a date by days.
        { "DATE('31.12.1999') + 1", "Date:01.01.2000" },
        { "DATE('01.03.2000') - 1", "Date:29.02.2000" },
        { "DATE('01.01.2000 12:30:00') + 0", "Date:01.01.2000 12:30:00" },
        { "DATE('02.01.2000') > '01.01.2000'", "Boolean:TRUE" },
        { "DATE('02.01.2000') > '3.1.2000'", "Boolean:FALSE" },
        { "DATE('01.01.2000') = 36526", "Boolean:TRUE" },
        // Blanks are every character from 1 to 32; the text ends at its first NUL.
        { "\t1\r\n+\x01"
          "2 ",
            "Integer:3" },
        { "", "<no tree>" },
        { " \t\r\n", "<no tree>" },
    };
    for (const ValueCase &c : cases)
        EXPECT_EQ(evaluate(QString::fromUtf8(c.text)), c.expected) << c.text;
    EXPECT_EQ(
        evaluate(QStringLiteral("1 + 2") + QChar(u'\0') + QStringLiteral(" junk")), "Integer:3");
    EXPECT_EQ(evaluate(QString(QChar(u'\0')) + QStringLiteral("1")), "<no tree>");
}

TEST_F(FilterParser, ReadsEveryNodeThroughTheGeneralConversions)
{
    auto node = ParseFilterExpression(QStringLiteral("3.75"), 0);
    EXPECT_EQ(node->AsString().toStdString(), "3.75");
    EXPECT_EQ(node->AsDate(), 3.75);
    EXPECT_EQ(
        expressionError([&] { node->AsInteger(); }).toStdString(), "Cannot read Float as integer");

    node = ParseFilterExpression(QStringLiteral("DATE('02.01.2000 06:00:00') + 0"), 0);
    EXPECT_EQ(node->AsInteger(), 36527);
    EXPECT_DOUBLE_EQ(node->AsFloat(), 36527.25);

    node = ParseFilterExpression(QStringLiteral("TRUE"), 0);
    EXPECT_EQ(node->AsInteger(), 1);
    EXPECT_EQ(node->AsFloat(), 1);
    EXPECT_EQ(node->AsDate(), 1);
    EXPECT_EQ(node->AsString().toStdString(), "TRUE");

    node = ParseFilterExpression(QStringLiteral("TRUE AND FALSE"), 0);
    EXPECT_EQ(node->AsDate(), 0);
    EXPECT_EQ(node->AsString().toStdString(), "FALSE");

    node = ParseFilterExpression(QStringLiteral("2 > 1"), 0);
    EXPECT_EQ(node->AsString().toStdString(), "TRUE");
    EXPECT_EQ(node->AsFloat(), 1);
    EXPECT_EQ(node->AsInteger(), 1);

    node = ParseFilterExpression(QStringLiteral("-7"), 0);
    EXPECT_EQ(node->AsFloat(), -7);
    EXPECT_EQ(node->AsString().toStdString(), "-7");

    // A tree is read any number of times with the same result.
    node = ParseFilterExpression(QStringLiteral("POS('B', 'ABC') * 10"), 0);
    EXPECT_EQ(node->AsInteger(), 20);
    EXPECT_EQ(node->AsInteger(), 20);
}

TEST_F(FilterParser, FormatsFloatsAsTheGeneralFloatText)
{
    const std::pair<double, const char *> cases[] = {
        { 0, "0" },
        { 1.5, "1.5" },
        { -0.25, "-0.25" },
        { 100, "100" },
        { 0.1 + 0.2, "0.3" },
        { 1e-5, "0.00001" },
        { 1e-6, "1E-6" },
        { 123456789012345.0, "123456789012345" },
        { 1e15, "1E15" },
        { 1.5e20, "1.5E20" },
        { 2.0 / 3.0, "0.666666666666667" },
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(FilterFloatToText(value).toStdString(), text) << value;

    // The decimal separator comes from the regional settings, for output and for literals.
    FilterFormatSettings comma = filterFormatSettings();
    comma.decimalSeparator = u',';
    setFilterFormatSettings(comma);
    EXPECT_EQ(FilterFloatToText(2.5).toStdString(), "2,5");
    EXPECT_EQ(evaluate(QStringLiteral("1,5 * 2")), "Float:3");
    EXPECT_EQ(failure(QStringLiteral("1.5")), "char . in input stream");
}

TEST_F(FilterParser, MatchesWildcardsOnTheRightOperandOnly)
{
    struct Case {
        const char *text;
        int options;
        const char *expected;
    };
    const Case cases[] = {
        { "'ABC' = 'A*'", 0, "Boolean:TRUE" },
        { "'ABC' = 'A?C'", 0, "Boolean:TRUE" },
        { "'ABC' = 'AB'", 0, "Boolean:FALSE" },
        { "'AB' = 'AB**'", 0, "Boolean:TRUE" },
        { "'A*' = 'ABC'", 0, "Boolean:FALSE" },
        { "'ABC' <> 'A*'", 0, "Boolean:FALSE" },
        { "'abc' = 'A*'", 0, "Boolean:FALSE" },
        { "'abc' = 'A*'", FilterParseCaseInsensitive, "Boolean:TRUE" },
        { "'abc' < 'ABD'", FilterParseCaseInsensitive, "Boolean:TRUE" },
        { "'\u00e9t\u00e9' = '\u00c9T\u00c9'", FilterParseCaseInsensitive, "Boolean:TRUE" },
        { "'ABC' = 'A*'", FilterParseNoPartialCompare, "Boolean:FALSE" },
        { "'A*' = 'A*'", FilterParseNoPartialCompare, "Boolean:TRUE" },
        { "'ABC' <> 'A*'", FilterParseNoPartialCompare, "Boolean:TRUE" },
        { "'abc' = 'ABC'", FilterParseCaseInsensitive | FilterParseNoPartialCompare,
            "Boolean:TRUE" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(evaluate(QString::fromUtf8(c.text), c.options), c.expected)
            << c.text << " options " << c.options;

    const std::tuple<const char *, const char *, bool> direct[] = {
        { "", "", true },
        { "*", "", true },
        { "?", "", false },
        { "", "A", false },
        { "**", "ABC", true },
        { "A*C*E", "ABCDE", true },
        { "A*C*E", "ABCDEF", false },
        { "*E", "EEE", true },
        { "A?", "AB", true },
        { "A?", "ABC", false },
        { "*?*", "X", true },
        { "ab", "AB", false },
        { "A*A*A*A*A*A*A*A*B", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",
            false },
    };
    for (const auto &[pattern, text, expected] : direct)
        EXPECT_EQ(MatchWildcard(QString::fromLatin1(pattern), QString::fromLatin1(text)), expected)
            << pattern << " / " << text;
}

TEST_F(FilterParser, ReportsEveryMessageOfTheLanguage)
{
    const QString longText(257, u'x');
    struct Case {
        QString text;
        const char *message;
    };
    const Case cases[] = {
        { "1e+3", "Bad numeric format" },
        { "1.5.2", "Bad numeric format" },
        { "1e", "Bad numeric format" },
        { "1e-", "Bad numeric format" },
        { "1e5.3", "Bad numeric format" },
        { "1e5e2", "Bad numeric format" },
        { "12345678901234567890123456789", "Bad numeric format" },
        { "1e999", "Bad numeric format" },
        { "'abc", "Unterminated string" },
        { "'it''", "Unterminated string" },
        { "'" + longText + "'", "String too long" },
        { "[abc", "Unterminated fieldname" },
        { "[" + longText + "]", "Fieldname too long" },
        { "1 =< 2", "=< not a valid operator" },
        { "1 == 1", "== not a valid operator" },
        { "1 => 1", "=> not a valid operator" },
        { "1 >> 1", ">> not a valid operator" },
        { "()", "invalid sub-expression" },
        { "( )", "invalid sub-expression" },
        { "(1 = 1", " ) expected" },
        { "(1, 2)", " ) expected" },
        { "AND 1", "opAnd not allowed here" },
        { "1 + mod 2", "opMod not allowed here" },
        { "UPPER('a'", "Incorrectly formed parameters" },
        { "foo = 1", "Unknown Identifier FOO" },
        { "[Name] = 1", "Unknown Identifier Name" },
        { "1 +", "Unexpected end of factor" },
        { "(1 + )", "Unexpected end of factor" },
        { "UPPER(1, +)", "Unexpected end of factor" },
        { "1 = 1 = 1", "Syntax error" },
        { "* 2", "Syntax error" },
        { "1 = = 1", "Syntax error" },
        { "1 NOT 2", "Syntax error" },
        { "1 foo", "Identifier FOO not allowed here" },
        { "1 true", "Boolean literal not allowed here" },
        { "1 ; 2", "char ; in input stream" },
        { "1 'a'", "char ' in input stream" },
        { "1 = 1)", ") not appropriate" },
        { "'A' * 2", "Operator opMult incompatible with String" },
        { "('A' * 2) + 1", "Operator opMult incompatible with String" },
        { "-'A'", "Operator opMinus incompatible with String" },
        { "TRUE + TRUE", "Operator opPlus incompatible with Boolean" },
        { "NOT 1.5", "Operator opNot incompatible with Float" },
        { "TRUE < FALSE", "cannot apply opLT to boolean operands" },
        { "UPPER", "Invalid parameter to UPPER" },
        { "UPPER()", "Invalid parameter to UPPER" },
        { "UPPER('a', 'b')", "Invalid parameter to UPPER" },
        { "LOWER(DATE(1))", "Invalid parameter to LOWER" },
        { "COPY('A',,2)", "Invalid parameter to COPY" },
        { "COPY('A', 'x', 2)", "Invalid parameter to COPY" },
        { "POS('A')", "Invalid parameter to POS" },
        { "LENGTH(,)", "Invalid parameter to LENGTH" },
        { "SQRT('a')", "Invalid parameter to SQRT" },
        { "POWER(2)", "Invalid parameter to POWER" },
        { "TRUNC()", "Invalid parameter to TRUNC" },
        { "DATE", "Invalid parameter to DATE" },
        { "INTEGER()", "Invalid parameter to INTEGER" },
        { "IF(TRUE, 1)", "Invalid parameters to If" },
        { "IF(1, 2, 3)", "Invalid parameters to If" },
        { "IF(TRUE, , 2)", "Invalid parameters to If" },
        { "IF", "Invalid parameters to If" },
        { "DATE(1 = 1)", "Cannot read Boolean as Date" },
        { "+'A'", "Cannot read String as String" },
        { "FLOAT('1.5')", "Cannot read String as Float" },
        { "INTEGER('12')", "Cannot read String as integer" },
        { "BOOLEAN(1)", "Cannot read Integer as boolean" },
        { "7 DIV 0", "Division by zero" },
        { "7 MOD 0", "Division by zero" },
        { "7 / 0", "Division by zero" },
        { "LN(0)", "Invalid floating point operation" },
        { "POWER(-2, 2)", "Invalid floating point operation" },
        { "TRUNC(1e10)", "Integer overflow" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(failure(c.text), c.message) << c.text.toStdString();

    // A filter whose root is no boolean: the reading the dataset makes for every record.
    auto notBoolean = ParseFilterExpression(QStringLiteral("1 + 1"), 0);
    EXPECT_EQ(expressionError([&] { notBoolean->AsBoolean(); }).toStdString(),
        "Internal parser error. Code 13");
    auto integer = ParseFilterExpression(QStringLiteral("1"), 0);
    EXPECT_EQ(expressionError([&] { integer->AsBoolean(); }).toStdString(),
        "Cannot read Integer as boolean");

    // The node classes refuse operators outside their range.
    EXPECT_EQ(expressionError([] {
        TUnaryOp(TExpressionOperator::opMult, std::make_unique<TIntegerLiteral>(1));
    }).toStdString(),
        "opMult is not simple unary operator");
    EXPECT_EQ(expressionError([] {
        TBinaryOp(TExpressionOperator::opEq, std::make_unique<TIntegerLiteral>(1),
            std::make_unique<TIntegerLiteral>(2));
    }).toStdString(),
        "opEq is not a simple binary operator");
    EXPECT_EQ(expressionError([] {
        TRelationalOp(TExpressionOperator::opPlus, std::make_unique<TIntegerLiteral>(1),
            std::make_unique<TIntegerLiteral>(2));
    }).toStdString(),
        "opPlus is not relational operator");

    // Longest literals that are still allowed.
    EXPECT_EQ(failure("'" + QString(256, u'x') + "'"), "<no error>");
    EXPECT_EQ(failure("[" + QString(256, u'x') + "]", resolveToOne), "<no error>");
    EXPECT_EQ(failure(QStringLiteral("1234567890123456789012345678")), "<no error>");
}

TEST_F(FilterParser, NeedsParenthesesAroundJoinedComparisons)
{
    EXPECT_EQ(failure(QStringLiteral("[A] = 1 AND [B] = 2"), resolveToOne), "Syntax error");
    EXPECT_EQ(failure(QStringLiteral("([A] = 1) AND ([B] = 2)"), resolveToOne), "<no error>");
    EXPECT_EQ(failure(QStringLiteral("[A] = 1)"), resolveToOne), ") not appropriate");
    // NOT after a complete operand is refused rather than read as something.
    EXPECT_EQ(failure(QStringLiteral("[A] NOT [B]"), resolveToOne), "Syntax error");
    EXPECT_EQ(failure(QStringLiteral("[A] [B]"), resolveToOne), "char [ in input stream");
    // A callback that resolves nothing leaves the name unknown, bracketed or bare.
    auto nothing = [](const QString &, std::unique_ptr<TParameterList> &) {
        return std::unique_ptr<TExpression>();
    };
    EXPECT_EQ(failure(QStringLiteral("[A] = 1"), nothing), "Unknown Identifier A");
    EXPECT_EQ(failure(QStringLiteral("foo(1) = 1"), nothing), "Unknown Identifier FOO");
}

TEST_F(FilterParser, StopsDeepNestingWithAClearMessage)
{
    const std::string tooDeep = "Filter expression nested too deeply (more than 200 levels)";
    EXPECT_EQ(failure(QString(150, u'(') + u'1' + QString(150, u')')), "<no error>");
    EXPECT_EQ(failure(QString(5000, u'(') + u'1' + QString(5000, u')')), tooDeep);
    EXPECT_EQ(failure(QString(100000, u'-') + u'1'), tooDeep);
    EXPECT_EQ(failure(QString(100000, u'(')), tooDeep);
    QString calls;
    for (int i = 0; i < 1000; ++i)
        calls += QStringLiteral("ABS(");
    EXPECT_EQ(failure(calls + u'1' + QString(1000, u')')), tooDeep);

    // Long operator chains nest without recursion in the parser but make a deep tree.
    QString chain = QStringLiteral("1");
    for (int i = 0; i < 998; ++i)
        chain += QStringLiteral(" + 1");
    EXPECT_EQ(evaluate(chain), "Integer:999");
    EXPECT_EQ(failure(chain + QStringLiteral(" + 1 + 1")),
        "Filter expression nested too deeply (more than 1000 levels)");

    QString ifs = QStringLiteral("TRUE");
    for (int i = 0; i < 16; ++i)
        ifs = QStringLiteral("IF(%1, TRUE, FALSE)").arg(ifs);
    EXPECT_EQ(evaluate(ifs), "Boolean:TRUE");
    EXPECT_EQ(failure(QStringLiteral("IF(%1, TRUE, FALSE)").arg(ifs)),
        "IF conditions nested too deeply (more than 16 levels)");
    // A chain of IFs in the else branches costs one condition per level and is not limited.
    auto ifChain = [](int match) {
        QString text = QStringLiteral("'other'");
        for (int i = 50; i > 0; --i)
            text = QStringLiteral("IF(%1 = %2, '%1', %3)").arg(i).arg(match).arg(text);
        return text;
    };
    EXPECT_EQ(evaluate(ifChain(40)), "String:40");
    EXPECT_EQ(evaluate(ifChain(0)), "String:other");
}

// A leaf that counts live instances, to see that failed parses and parameter lists free what
// they built.
class CountedLeaf : public TExpression {
public:
    static inline int live = 0;
    CountedLeaf() { ++live; }
    ~CountedLeaf() override { --live; }
    qint32 AsInteger() const override { return 1; }
    TExpressionKind Kind() const override { return TExpressionKind::Integer; }
};

TEST_F(FilterParser, FreesEverythingOnFailureAndUnusedParameters)
{
    auto counted = [](const QString &, std::unique_ptr<TParameterList> &) {
        return std::unique_ptr<TExpression>(new CountedLeaf);
    };
    const char *const failing[] = { "([A] + [B]) * ([C] = ", "[A] NOT [B]", "[A] = [B] = [C]",
        "IF([A], [B], [C]) +", "FOO([A], [B], [C]) + 'x' * [D] + 1", "[A] + [B])" };
    for (const char *text : failing) {
        EXPECT_NE(failure(QString::fromLatin1(text), counted), "<no error>") << text;
        EXPECT_EQ(CountedLeaf::live, 0) << text;
    }

    // The callback is handed FOO's parameters and leaves them: they are freed, the leaf kept.
    int calls = 0;
    int paramCount = -1;
    auto seeParams = [&](const QString &name, std::unique_ptr<TParameterList> &params) {
        ++calls;
        if (name == u"FOO")
            paramCount = params ? params->Count() : 0;
        return std::unique_ptr<TExpression>(new CountedLeaf);
    };
    {
        auto tree = ParseFilterExpression(QStringLiteral("FOO([A], , [B]) = 1"), 0, seeParams);
        ASSERT_TRUE(tree);
        EXPECT_EQ(paramCount, 3);
        EXPECT_EQ(calls, 3);
        EXPECT_EQ(CountedLeaf::live, 1);
        EXPECT_TRUE(tree->AsBoolean());
    }
    EXPECT_EQ(CountedLeaf::live, 0);
}

TEST_F(FilterParser, CopiesTheOptionsOfItsOwnParseIntoEveryNode)
{
    // A callback that parses a text of its own with other options does not change the options
    // of the outer parse.
    auto nested = [](const QString &, std::unique_ptr<TParameterList> &) {
        return ParseFilterExpression(QStringLiteral("'abc'"), FilterParseNoPartialCompare);
    };
    auto tree
        = ParseFilterExpression(QStringLiteral("[X] = 'A*'"), FilterParseCaseInsensitive, nested);
    ASSERT_TRUE(tree);
    EXPECT_TRUE(tree->CaseInsensitive());
    EXPECT_TRUE(tree->PartialCompare());
    EXPECT_TRUE(tree->AsBoolean());

    auto plain = ParseFilterExpression(QStringLiteral("'abc' = 'A*'"), 0);
    EXPECT_FALSE(plain->CaseInsensitive());
    EXPECT_FALSE(plain->AsBoolean());
}

} // namespace
