// A concatenation's describe must be wide enough for the whole value: the product sizes its
// fetch buffers from it, so a narrow describe cuts the text short. Parts of a concatenation
// that are not text (a LONG, a date, a ROWID) are converted by the server, and their converted
// text counts, not their storage size.
#include "common/StandinSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace qd;
using namespace qd::test;

namespace {

// Runs with the handle calls (false) and with the older cursor calls (true).
class ConcatenationDescribe : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        session = LogOnDemo(GetParam());
        CreateFreshTable(*session, QStringLiteral("CONCAT_PARTS"),
            QStringLiteral("id number, status varchar2(30) default 'waiting for the review', "
                           "body long, born date"));
        RunSql(*session,
            QStringLiteral("insert into concat_parts (id, body, born) values (1, '")
                + longText + QStringLiteral("', to_date('2020-01-02 03:04:05', "
                                            "'YYYY-MM-DD HH24:MI:SS'))"));
        RunSql(*session, QStringLiteral("commit"));
        RunSql(*session,
            QStringLiteral("alter session set nls_date_format = 'YYYY-MM-DD HH24:MI:SS'"));
    }
    void TearDown() override
    {
        if (session)
            RunSqlIgnoringErrors(*session, QStringLiteral("drop table concat_parts"));
        LogOffQuietly(session);
    }

    const QString longText = QString(300, u'L') + QStringLiteral(" end");
    std::unique_ptr<TOracleSession> session;
};

TEST_P(ConcatenationDescribe, LongDictionaryColumnKeepsItsWholeText)
{
    const QString where = QStringLiteral(" from user_tab_columns where table_name = 'CONCAT_PARTS' "
                                         "and column_name = 'STATUS'");
    const QString plain = ScalarText(*session, QStringLiteral("select data_default") + where);
    ASSERT_TRUE(plain.contains(QStringLiteral("waiting for the review"))) << plain.toStdString();
    const std::string expected = "D" + plain.toStdString();
    EXPECT_EQ(ScalarText(*session, QStringLiteral("select 'D' || data_default") + where)
                  .toStdString(),
        expected);
    EXPECT_EQ(
        ScalarText(*session, QStringLiteral("select concat('D', data_default)") + where)
            .toStdString(),
        expected);
}

TEST_P(ConcatenationDescribe, ConvertedPartsCountWithTheirTextLength)
{
    struct Case {
        const char *select;
        QString expected;
    };
    const Case cases[] = {
        { "'<' || body || '>'", QStringLiteral("<") + longText + QStringLiteral(">") },
        { "concat(body, '!')", longText + QStringLiteral("!") },
        { "'born ' || born", QStringLiteral("born 2020-01-02 03:04:05") },
        { "'#' || rowid || id", QString() }, // checked by length below
        { "decode(id, 2, 'x', body)", longText },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.select);
        TOracleQuery q;
        q.SetSession(session.get());
        q.SQL().SetText(QStringLiteral("select ") + QString::fromLatin1(c.select)
            + QStringLiteral(" from concat_parts"));
        q.Execute();
        ASSERT_FALSE(q.Eof());
        const QString value = q.FieldAsString(0);
        if (c.expected.isEmpty()) {
            EXPECT_EQ(value.size(), 1 + 18 + 1) << value.toStdString();
        } else {
            EXPECT_EQ(value.toStdString(), c.expected.toStdString());
        }
        EXPECT_GE(q.FieldSize(0), value.size());
        EXPECT_LE(q.FieldSize(0), 4000);
    }
}

INSTANTIATE_TEST_SUITE_P(BothClientModes, ConcatenationDescribe, ::testing::Bool(),
    [](const ::testing::TestParamInfo<bool> &info) {
        return info.param ? std::string("OlderCalls") : std::string("HandleCalls");
    });

} // namespace
