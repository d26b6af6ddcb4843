// describe(): Oracle's type, size, precision and scale for table columns and computed columns.
#include "DialectTestSupport.h"

namespace qdsi::sql::test {
namespace {

class DialectDescribe : public DialectDb {
protected:
    void SetUp() override
    {
        DialectDb::SetUp();
        run("create table t (v varchar2(20) not null, n number, np number(5), nps number(7,2), "
            "i integer, f float, d date, c char(3), r raw(16), l long, lr long raw, cl clob, "
            "bl blob, vv varchar(7))");
    }
};

struct Expect {
    const char *name;
    int type, size, precision, scale;
};

void check(const std::vector<ColumnDescription> &got, const std::vector<Expect> &want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].name);
        EXPECT_EQ(got[i].name, want[i].name);
        EXPECT_EQ(got[i].dataType, want[i].type);
        EXPECT_EQ(got[i].dataSize, want[i].size);
        EXPECT_EQ(got[i].precision, want[i].precision);
        EXPECT_EQ(got[i].scale, want[i].scale);
    }
}

TEST_F(DialectDescribe, TableColumnsAsTheServerDescribesThem)
{
    const auto d = describeQuery("select * from t");
    check(d,
        {
            { "V", 1, 20, 0, 0 },
            { "N", 2, 22, 0, -127 },
            { "NP", 2, 22, 5, 0 },
            { "NPS", 2, 22, 7, 2 },
            { "I", 2, 22, 38, 0 },
            { "F", 2, 22, 126, -127 },
            { "D", 12, 7, 0, 0 },
            { "C", 96, 3, 0, 0 },
            { "R", 23, 16, 0, 0 },
            { "L", 8, 0, 0, 0 },
            { "LR", 24, 0, 0, 0 },
            { "CL", 112, 4000, 0, 0 },
            { "BL", 113, 4000, 0, 0 },
            { "VV", 1, 7, 0, 0 },
        });
    EXPECT_FALSE(d[0].nullable);
    EXPECT_TRUE(d[1].nullable);
}

TEST_F(DialectDescribe, ComputedColumnsAreTypedAndSized)
{
    const auto d = describeQuery(
        "select t.rowid, substr(v, 1, 5), to_char(n), count(*), sysdate, 'abc', 12, n * 2, "
        "v || c, nvl(nps, 0), nvl(d, sysdate) hired, to_char(d, 'DD-MM-YYYY'), max(np), "
        "lpad(v, 8), to_date('01-01-2024', 'dd-mm-yyyy'), d + 1, d - d, upper(v), user, null, "
        "decode(n, 1, 'one', 'other'), cast(n as varchar2(9)) from t t");
    check(d,
        {
            { "ROWID", 104, 10, 0, 0 },
            { "SUBSTR(V,1,5)", 1, 5, 0, 0 },
            { "TO_CHAR(N)", 1, 40, 0, 0 },
            { "COUNT(*)", 2, 22, 0, -127 },
            { "SYSDATE", 12, 7, 0, 0 },
            { "'ABC'", 96, 3, 0, 0 },
            { "12", 2, 22, 0, -127 },
            { "N*2", 2, 22, 0, -127 },
            { "V||C", 1, 4000, 0, 0 },
            { "NVL(NPS,0)", 2, 22, 7, 2 },
            { "HIRED", 12, 7, 0, 0 },
            { "TO_CHAR(D,'DD-MM-YYYY')", 1, 10, 0, 0 },
            { "MAX(NP)", 2, 22, 5, 0 },
            { "LPAD(V,8)", 1, 8, 0, 0 },
            { "TO_DATE('01-01-2024','DD-MM-YYYY')", 12, 7, 0, 0 },
            { "D+1", 12, 7, 0, 0 },
            { "D-D", 2, 22, 0, -127 },
            { "UPPER(V)", 1, 20, 0, 0 },
            { "USER", 1, 30, 0, 0 },
            { "NULL", 1, 0, 0, 0 },
            // the first result's kind, VARCHAR2 for a CHAR, as wide as the widest result
            { "DECODE(N,1,'ONE','OTHER')", 1, 5, 0, 0 },
            { "CAST(NASVARCHAR2(9))", 1, 9, 0, 0 },
        });
}

TEST_F(DialectDescribe, ColumnsOfTheSameNameKeepTheirOwnTypes)
{
    check(
        describeQuery("select t.n, nvl(d, sysdate) n, x.*, 'abc' n from t, (select np n from t) x"),
        { { "N", 2, 22, 0, -127 }, { "N", 12, 7, 0, 0 }, { "N", 2, 22, 5, 0 },
            { "N", 96, 3, 0, 0 } });
    check(describeQuery("select v, to_char(n, '9990.99') v from t"),
        { { "V", 1, 20, 0, 0 }, { "V", 1, 8, 0, 0 } });
}

TEST_F(DialectDescribe, DeclaredTypeDecoding)
{
    EXPECT_EQ(describeDeclaredType("NUMBER(10)").precision, 10);
    EXPECT_EQ(describeDeclaredType("NUMBER(10)").scale, 0);
    EXPECT_EQ(describeDeclaredType("FLOAT(63)").precision, 63);
    EXPECT_EQ(describeDeclaredType("RAW BLOB(8)").dataSize, 8);
    EXPECT_EQ(describeDeclaredType("").dataType, 1);
    EXPECT_EQ(describeDeclaredType("").dataSize, 4000);
    EXPECT_EQ(describeDeclaredType("DATE TEXT").dataType, 12);
}

} // namespace
} // namespace qdsi::sql::test
