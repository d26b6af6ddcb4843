// NUMBER values with up to 38 significant digits through the product's query: every digit kept
// on store and fetch, equality exact, ranges and arithmetic still numeric.
#include "ServerFidelityTestSupport.h"

namespace qd::test {
namespace {

using Rows = std::vector<std::string>;

class LongNumbers : public StandinQueryTest {
protected:
    void SetUp() override
    {
        StandinQueryTest::SetUp();
        runQuietly("drop table NUM38");
        run("create table NUM38 (id number, n number(38), f number)");
        run("insert into NUM38 values (1, 12345678901234567890123456789012345678, "
            "0.1234567890123456789012345678901234567)");
        run("insert into NUM38 values (2, -98765432109876543210987654321098765432, "
            "-0.0000000012345678901234567891)");
        run("insert into NUM38 values (3, 5, 1.5)");
    }
    void TearDown() override
    {
        runQuietly("drop table NUM38");
        StandinQueryTest::TearDown();
    }
    // Rows fetched with every column as the server's text.
    Rows textRows(const std::string &sql)
    {
        return TextRows(*session, sql);
    }
};

TEST_F(LongNumbers, EveryDigitSurvivesStoreAndFetch)
{
    const Rows stored { "1|12345678901234567890123456789012345678|.1234567890123456789012345678901234567",
        "2|-98765432109876543210987654321098765432|-.0000000012345678901234567891",
        "3|5|1.5" };
    EXPECT_EQ(textRows("select id, n, f from NUM38 order by id"), stored);
    // Copies and updates keep them; so does TO_CHAR.
    run("insert into NUM38 (id, n, f) select id + 10, n, f from NUM38 where id = 1");
    run("update NUM38 set n = 99999999999999999999999999999999999999 where id = 3");
    EXPECT_EQ(textRows("select n, to_char(f) from NUM38 where id in (11, 3) order by id"),
        (Rows { "99999999999999999999999999999999999999|1.5",
            "12345678901234567890123456789012345678|.1234567890123456789012345678901234567" }));
    // The session's float precision fetches a NUMBER(38) as text as well.
    session->Preferences().SetFloatPrecision(15);
    EXPECT_EQ(rows("select n from NUM38 where id = 2"),
        (Rows { "-98765432109876543210987654321098765432" }));
    // Eighteen digits are an integer's; a longer fraction or integer keeps its text.
    EXPECT_EQ(textRows("select 123456789012345678, -1234567890123456789.5, 0.5 from dual"),
        (Rows { "123456789012345678|-1234567890123456789.5|.5" }));
}

TEST_F(LongNumbers, EqualityIsExactRangesAndArithmeticAreNumeric)
{
    const struct {
        const char *where;
        const char *ids;
    } cases[] = {
        { "n = 12345678901234567890123456789012345678", "1" },
        { "n = 12345678901234567890123456789012345679", "" },
        { "f = 0.12345678901234567890123456789012345670", "1" }, // written another way
        { "f = .1234567890123456789012345678901234568", "" },
        { "n > 5", "1" },
        { "n < 0", "2" },
        { "n >= -98765432109876543210987654321098765432", "1,2,3" },
        { "f < 0", "2" },
        { "n between 0 and 10", "3" },
        { "n in (5, -98765432109876543210987654321098765432)", "2,3" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.where);
        EXPECT_EQ(scalar("select nvl(listagg(id, ',') within group (order by id), ' ') from NUM38 "
                         "where "
                + std::string(c.where)),
            std::string(*c.ids ? c.ids : " "));
    }
    // They sort among the others; a select-list name still orders by its item.
    EXPECT_EQ(textRows("select id from NUM38 order by n"), (Rows { "2", "3", "1" }));
    EXPECT_EQ(textRows("select id from NUM38 order by n desc"), (Rows { "1", "3", "2" }));
    Rows negated;
    for (const std::string &row : textRows("select id, n * -1 n from NUM38 order by n"))
        negated.push_back(row.substr(0, row.find('|')));
    EXPECT_EQ(negated, (Rows { "1", "3", "2" }));
    EXPECT_EQ(textRows("select min(n), max(n), max(id), min(f) from NUM38"),
        (Rows { "-98765432109876543210987654321098765432|12345678901234567890123456789012345678|3|"
                "-.0000000012345678901234567891" }));
    EXPECT_EQ(textRows("select listagg(id, ',') within group (order by n desc) from NUM38"),
        (Rows { "1,3,2" }));
    // Arithmetic reads them at a double's precision.
    EXPECT_EQ(scalar("select round(n / 1e37, 6) from NUM38 where id = 1"), "1.234568");
    EXPECT_EQ(scalar("select round(f * 1000, 3) from NUM38 where id = 1"), "123.457");
    EXPECT_EQ(scalar("select count(distinct n) from NUM38"), "3");
    // PL/SQL reads them as numbers too.
    run("declare v number; begin select n into v from NUM38 where id = 1; "
        "insert into NUM38 (id, n) values (20, v * 2); end;");
    EXPECT_EQ(scalar("select round(n / 1e37, 6) from NUM38 where id = 20"), "2.469136");
}

} // namespace
} // namespace qd::test
