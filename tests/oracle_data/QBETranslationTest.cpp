#include "oracle_data/QBETranslation.h"

#include "classlib/Exception.h"
#include "oracle_data/QBEDefinition.h"
#include "oracle_data/QBEStatement.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace qd;

namespace {

// Day-month-year with "-", "," as the decimal point and "." for grouping.
QBELocaleSettings testLocale()
{
    QBELocaleSettings s;
    s.decimalSeparator = u',';
    s.thousandSeparator = u'.';
    s.dateOrder = QBELocaleSettings::DateOrder::DMY;
    s.dateSeparator = u'-';
    s.timeSeparator = u':';
    return s;
}

QBESwitches withOperators()
{
    QBESwitches s;
    s.allowOperators = true;
    return s;
}

// The predicate the statement gets for one field, as the dataset joins column and term.
std::string predicate(const QString &text, const QString &column, TFieldType type,
    const QBESwitches &switches, const QBELocaleSettings &locale = testLocale())
{
    QString col = column;
    bool negate = false;
    const QString term = TranslateQBEValue(text, col, negate, type, switches, locale);
    QString condition;
    AddQBEPredicate(condition, { col, term, negate });
    return condition.toStdString();
}

struct Case {
    const char *text;
    TFieldType type;
    QBESwitches switches;
    const char *expected;
};

void runCases(const std::vector<Case> &cases, const QBELocaleSettings &locale = testLocale())
{
    for (const Case &c : cases) {
        const QString column = c.type == ftDate || c.type == ftDateTime ? QStringLiteral("HIREDATE")
            : c.type == ftString                                        ? QStringLiteral("NAME")
                                                                        : QStringLiteral("COL");
        EXPECT_EQ(
            predicate(QString::fromUtf8(c.text), column, c.type, c.switches, locale), c.expected)
            << "criterion: " << c.text;
    }
}

QBESwitches on(void (*set)(QBESwitches &))
{
    QBESwitches s = withOperators();
    set(s);
    return s;
}

TEST(QBETranslation, StringCriteriaWithOperators)
{
    const QBESwitches ops = withOperators();
    const QBESwitches partial = on([](QBESwitches &s) { s.partialMatch = true; });
    const QBESwitches anywhere = on([](QBESwitches &s) { s.matchAnywhere = true; });
    const QBESwitches upper = on([](QBESwitches &s) { s.caseInsensitive = true; });
    const QBESwitches noFileWildcards = on([](QBESwitches &s) { s.allowFileWildCards = false; });
    runCases({
        { "Smith", ftString, ops, "(NAME = 'Smith')" },
        // Two items: the term starts with a blank, so two blanks follow the first column.
        { "Smith or Jones", ftString, ops, "(NAME  = 'Smith' or NAME = 'Jones')" },
        { "New York", ftString, ops, "(NAME = 'New York')" },
        { "Smi", ftString, partial, "(NAME like 'Smi%')" },
        { "Smi", ftString, anywhere, "(NAME like '%Smi%')" },
        { "Smi%", ftString, partial, "(NAME like 'Smi%')" },
        { "smith", ftString, upper, "(upper(NAME) = 'SMITH')" },
        { "smith or jones", ftString, upper, "(upper(NAME)  = 'SMITH' or upper(NAME) = 'JONES')" },
        { "Sm*", ftString, ops, "(NAME like 'Sm%')" },
        { "Sm?th", ftString, ops, "(NAME like 'Sm_th')" },
        { "Sm*", ftString, noFileWildcards, "(NAME = 'Sm*')" },
        { "'O''Brien'", ftString, ops, "(NAME = 'O''Brien')" },
        { "O'Brien", ftString, ops, "(NAME = 'O''Brien')" },
        { "=Sm%", ftString, ops, "(NAME like 'Sm%')" },
        { "<>Smith", ftString, ops, "(NAME <> 'Smith')" },
        // An operator decides the comparison: no partial-match wildcard is added.
        { ">= Smi", ftString, partial, "(NAME >= 'Smi')" },
        // A LIKE term is a list of comparisons and, like every list, starts with a blank.
        { "LIKE Smi", ftString, ops, "(NAME  like 'Smi%')" },
        { "like Sm%th", ftString, ops, "(NAME  like 'Sm%th')" },
        { "LIKE a or b", ftString, ops, "(NAME  like 'a%' or NAME like 'b%')" },
        { "IN ('a', 'b')", ftString, ops, "(NAME in ('a','b'))" },
        { "IN ('a,b', 'c d')", ftString, ops, "(NAME in ('a,b','c d'))" },
        { "BETWEEN a AND b", ftString, ops, "(NAME between 'a' and 'b')" },
        { "NOT Smith", ftString, ops, "not (NAME = 'Smith') or NAME is null" },
    });
}

TEST(QBETranslation, NullCriteria)
{
    const QBESwitches ops = withOperators();
    runCases({
        { "NULL", ftString, ops, "(NAME is null)" },
        { "null", ftInteger, ops, "(COL is null)" },
        { "IS NULL", ftString, ops, "(NAME is null)" },
        // Negated "is null" gets no added null test, or it would admit every row.
        { "NOT NULL", ftString, ops, "not (NAME is null)" },
        { "is not null", ftInteger, ops, "not (COL is null)" },
        // IN with nothing after it; a lone word is a value, so "IN" alone is the text IN.
        { "IN ", ftInteger, ops, "(COL is null)" },
        { "IN()", ftInteger, ops, "(COL is null)" },
        { "in ( )", ftString, ops, "(NAME is null)" },
        { "IN", ftString, ops, "(NAME = 'IN')" },
        { "=null", ftInteger, ops, "(COL is null)" },
    });
}

TEST(QBETranslation, NumberCriteria)
{
    const QBESwitches ops = withOperators();
    runCases({
        { "007", ftInteger, ops, "(COL = 7)" },
        { ">=100", ftInteger, ops, "(COL >= 100)" },
        { "< 5", ftSmallint, ops, "(COL < 5)" },
        { "!=5", ftInteger, ops, "(COL != 5)" },
        { "<=-3", ftFloat, ops, "(COL <= -3)" },
        { "NOT 5", ftInteger, ops, "not (COL = 5) or COL is null" },
        { "NOT > 5", ftInteger, ops, "not (COL > 5) or COL is null" },
        { "IN(1,2,3)", ftInteger, ops, "(COL in (1,2,3))" },
        { "IN (1, 2, 3)", ftInteger, ops, "(COL in (1,2,3))" },
        { "1 .. 5", ftInteger, ops, "(COL between 1 and 5)" },
        { "1 ... 5", ftInteger, ops, "(COL between 1 and 5)" },
        { "1 - 5", ftInteger, ops, "(COL between 1 and 5)" },
        { "BETWEEN 1 AND 5", ftInteger, ops, "(COL between 1 and 5)" },
        { "between 1 and 5", ftFloat, ops, "(COL between 1 and 5)" },
        { "BETWEEN 5", ftInteger, ops, "(COL = 5)" },
        { "1 2 3", ftInteger, ops, "(COL  = 1 or COL = 2 or COL = 3)" },
        { "12%", ftInteger, ops, "(COL like '12%')" },
        { "1*", ftInteger, ops, "(COL like '1%')" },
        { "1a2", ftInteger, ops, "(COL = 12)" },
        // The choice for a LIKE without wildcard on a number: a quoted prefix pattern.
        { "LIKE 12", ftInteger, ops, "(COL  like '12%')" },
        { "LIKE 1,5", ftFloat, ops, "(COL  like '1.5%')" },
        { "1.234,5", ftFloat, ops, "(COL = 1234.5)" },
        { "1,234.5", ftFloat, ops, "(COL = 1234.5)" },
        { "1,5", ftCurrency, ops, "(COL = 1.5)" },
        // A lone separator is the decimal point; a repeated one is grouping in any locale.
        { "1.234", ftFloat, ops, "(COL = 1.234)" },
        { "1.234.567", ftFloat, ops, "(COL = 1234567)" },
        { "1,2%", ftFloat, ops, "(COL like '1.2%')" },
    });
}

TEST(QBETranslation, NumberSeparatorsFollowTheLocale)
{
    QBELocaleSettings english;
    english.decimalSeparator = u'.';
    english.thousandSeparator = u',';
    const QBESwitches ops = withOperators();
    runCases(
        {
            { "1.234", ftFloat, ops, "(COL = 1.234)" },
            { "1,234", ftFloat, ops, "(COL = 1.234)" },
            { "1.234,5", ftFloat, ops, "(COL = 1234.5)" },
        },
        english);
}

TEST(QBETranslation, DateCriteria)
{
    const QBESwitches ops = withOperators();
    const QBESwitches whole = on([](QBESwitches &s) { s.wholeDay = true; });
    runCases({
        { "1-2-2003", ftDate, whole,
            "(HIREDATE >= to_date('01-02-2003', 'DD-MM-YYYY') and HIREDATE < "
            "to_date('02-02-2003', 'DD-MM-YYYY'))" },
        { "=31-12-2003", ftDateTime, whole,
            "(HIREDATE >= to_date('31-12-2003', 'DD-MM-YYYY') and HIREDATE < "
            "to_date('01-01-2004', 'DD-MM-YYYY'))" },
        { "1-2-2003 10:30", ftDateTime, whole,
            "(HIREDATE = to_date('01-02-2003 10:30:00', 'DD-MM-YYYY HH24:MI:SS'))" },
        { "1-2-2003 1:05:09 PM", ftDateTime, ops,
            "(HIREDATE = to_date('01-02-2003 13:05:09', 'DD-MM-YYYY HH24:MI:SS'))" },
        { "1-2-2003", ftDate, ops, "(HIREDATE = to_date('01-02-2003', 'DD-MM-YYYY'))" },
        { "1-2-03", ftDate, ops, "(HIREDATE = to_date('01-02-2003', 'DD-MM-YYYY'))" },
        { "<1-2-2003", ftDate, whole, "(HIREDATE < to_date('01-02-2003', 'DD-MM-YYYY'))" },
        { "BETWEEN 1-2-2003 AND 5-2-2003", ftDate, whole,
            "(HIREDATE between to_date('01-02-2003', 'DD-MM-YYYY') and "
            "to_date('05-02-2003', 'DD-MM-YYYY'))" },
        { "2003*", ftDate, ops, "(HIREDATE like '2003%')" },
        // The class library's own text is read as well.
        { "2003-02-01", ftDate, ops, "(HIREDATE = to_date('01-02-2003', 'DD-MM-YYYY'))" },
        { "10:30", ftTime, ops, "(COL = to_date('10:30:00', 'HH24:MI:SS'))" },
    });
}

TEST(QBETranslation, SoundexCriteria)
{
    const QBESwitches ops = withOperators();
    const QBESwitches soundex = on([](QBESwitches &s) { s.soundex = true; });
    runCases({
        { "Smith", ftString, soundex, "(soundex(NAME) = soundex('Smith'))" },
        // Compared by soundex, a wildcard does not turn the comparison into like.
        { "Sm%", ftString, soundex, "(soundex(NAME) = soundex('Sm%'))" },
        { "SOUNDS LIKE Smith", ftString, ops, "(soundex(NAME)  = soundex('Smith'))" },
        { "sounds Smith or Jones", ftString, ops,
            "(soundex(NAME)  = soundex('Smith') or soundex(NAME) = soundex('Jones'))" },
    });
}

TEST(QBETranslation, WithoutOperatorsEverythingIsOneValue)
{
    QBESwitches plain; // AllowOperators off
    QBESwitches whole;
    whole.wholeDay = true;
    runCases({
        { "Smith or Jones", ftString, plain, "(NAME = 'Smith or Jones')" },
        { ">5", ftString, plain, "(NAME = '>5')" },
        { "NULL", ftString, plain, "(NAME = 'NULL')" },
        { "O'Brien", ftString, plain, "(NAME = 'O''Brien')" },
        { "Sm*", ftString, plain, "(NAME like 'Sm%')" },
        { "42", ftInteger, plain, "(COL = 42)" },
        // The field's text uses "." as its decimal point whatever the locale.
        { "1234.5", ftFloat, plain, "(COL = 1234.5)" },
        { "2003-02-01", ftDate, whole,
            "(HIREDATE >= to_date('01-02-2003', 'DD-MM-YYYY') and HIREDATE < "
            "to_date('02-02-2003', 'DD-MM-YYYY'))" },
        { "2003-02-01 08:00:00", ftDateTime, plain,
            "(HIREDATE = to_date('01-02-2003 08:00:00', 'DD-MM-YYYY HH24:MI:SS'))" },
        { "", ftString, plain, "" },
        { "   ", ftString, withOperators(), "" },
    });
}

TEST(QBETranslation, UnreadableDatesAndTimesRaiseConversionErrors)
{
    struct ErrorCase {
        const char *text;
        TFieldType type;
        const char *message;
    };
    const ErrorCase cases[] = {
        { "31-02-2003", ftDate, "'31-02-2003' is not a valid date and time" },
        { "yesterday", ftDateTime, "'yesterday' is not a valid date and time" },
        { ">= 1-13-2003", ftDate, "'1-13-2003' is not a valid date and time" },
        { "25:00", ftTime, "'25:00' is not a valid time" },
        { "BETWEEN 1-2-2003 AND x", ftDate, "'x' is not a valid date and time" },
    };
    for (const ErrorCase &c : cases) {
        QString column = QStringLiteral("D");
        bool negate = false;
        try {
            TranslateQBEValue(
                QString::fromLatin1(c.text), column, negate, c.type, withOperators(), testLocale());
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.Message().toStdString(), c.message);
        }
    }
}

TEST(QBETranslation, ReadsTheSwitchesOfAQBEField)
{
    TQBEDefinition definition;
    definition.SetAllowOperators(true);
    TQBEField *field = definition.Add();
    field->SetFieldName(QStringLiteral("ENAME"));
    field->SetCaseInsensitive(true);
    field->SetPartialMatch(true);
    QString column = QStringLiteral("ENAME");
    bool negate = true;
    EXPECT_EQ(
        TranslateQBEValue(QStringLiteral("sm"), column, negate, ftString, *field, testLocale())
            .toStdString(),
        "like 'SM%'");
    EXPECT_EQ(column.toStdString(), "upper(ENAME)");
    EXPECT_FALSE(negate);

    // Without operators the text is one literal; a field without an owner reads the defaults.
    definition.SetAllowOperators(false);
    column = QStringLiteral("ENAME");
    EXPECT_EQ(
        TranslateQBEValue(QStringLiteral("a or b"), column, negate, ftString, *field, testLocale())
            .toStdString(),
        "like 'A OR B%'");
    TQBEField loose;
    const QBESwitches defaults = QBESwitches::of(loose);
    EXPECT_FALSE(defaults.allowOperators);
    EXPECT_TRUE(defaults.allowFileWildCards);
}

TEST(QBETranslation, WildcardsQuotesAndComparisons)
{
    EXPECT_FALSE(HasQBEWildcard(QStringLiteral("to_date('01-02-2003', 'DD-MM-YYYY')")));
    EXPECT_FALSE(HasQBEWildcard(QStringLiteral("to_char(x)")));
    EXPECT_TRUE(HasQBEWildcard(QStringLiteral("a_b")));
    EXPECT_TRUE(HasQBEWildcard(QStringLiteral("50%")));
    EXPECT_EQ(ConvertFileWildcards(QStringLiteral("a*b?c")).toStdString(), "a%b_c");

    EXPECT_EQ(QBEComparison(QStringLiteral("null"), false).toStdString(), "is");
    EXPECT_EQ(QBEComparison(QStringLiteral("'a%'"), false).toStdString(), "like");
    EXPECT_EQ(QBEComparison(QStringLiteral("'a%'"), true).toStdString(), "=");
    EXPECT_EQ(QBEComparison(QStringLiteral("5"), false).toStdString(), "=");

    const std::pair<const char *, const char *> unquoted[] = {
        { "'a''b'", "a'b" },
        { "\"x\"\"y\"", "x\"y" },
        { "'a'", "a" },
        { "''", "''" },
        { "'''", "'" },
        { "'a\"", "'a\"" },
        { "'''''", "''" },
        // Doubled quotes collapse pairwise: four inside stand for two.
        { "''''''", "''" },
        { "abc", "abc" },
    };
    for (const auto &[in, out] : unquoted)
        EXPECT_EQ(QBEUnquote(QString::fromLatin1(in)).toStdString(), out) << in;
    EXPECT_EQ(QBEQuote(QStringLiteral("O'Brien")).toStdString(), "'O''Brien'");
    EXPECT_EQ(QBEQuote(QString()).toStdString(), "''");
}

TEST(QBETranslation, LocaleSettingsComeFromQtLocales)
{
    const QBELocaleSettings german = QBELocaleSettings::fromLocale(QLocale(QLocale::German));
    EXPECT_EQ(german.decimalSeparator, u',');
    EXPECT_EQ(german.thousandSeparator, u'.');
    EXPECT_EQ(german.dateOrder, QBELocaleSettings::DateOrder::DMY);
    EXPECT_EQ(german.dateSeparator, u'.');
    EXPECT_EQ(german.timeSeparator, u':');

    const QBELocaleSettings us
        = QBELocaleSettings::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.decimalSeparator, u'.');
    EXPECT_EQ(us.dateOrder, QBELocaleSettings::DateOrder::MDY);
    EXPECT_EQ(us.dateSeparator, u'/');

    double value = 0;
    EXPECT_TRUE(QBETextToDateTime(QStringLiteral("2/1/2003"), us, value));
    EXPECT_EQ(value, 37653.0); // 2003-02-01
    EXPECT_TRUE(QBETextToDateTime(QStringLiteral("01.02.2003"), german, value));
    EXPECT_EQ(value, 37653.0);
    EXPECT_FALSE(QBETextToDateTime(QStringLiteral("01.02.2003 x"), german, value));

    // The process default is replaceable, and the translation reads it when none is given.
    const QBELocaleSettings saved = qbeLocaleSettings();
    setQBELocaleSettings(german);
    QString column = QStringLiteral("D");
    bool negate = false;
    EXPECT_EQ(
        TranslateQBEValue(QStringLiteral("01.02.2003"), column, negate, ftDate, withOperators())
            .toStdString(),
        "= to_date('01-02-2003', 'DD-MM-YYYY')");
    setQBELocaleSettings(saved);
}

} // namespace
