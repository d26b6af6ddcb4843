// The server's errors for statements a user gets wrong, as TOracleQuery reports them: the code
// and message of the exception, and the line and column ErrorLine/ErrorPosition point at.

#include "OracleQueryTestFixture.h"
#include "QStringPrinter.h"
#include "common/ServerErrorCases.h"

namespace qd::test {
namespace {

using QueryServerErrors = OracleQueryFixture;

// Line and column (1-based) of a byte offset in ASCII text.
std::pair<int, int> lineAndColumn(const std::string &text, int offset)
{
    int line = 1, column = 1;
    for (int i = 0; i < offset; ++i) {
        if (text[static_cast<size_t>(i)] == '\n')
            ++line, column = 1;
        else
            ++column;
    }
    return { line, column };
}

TEST_P(QueryServerErrors, CodeMessageLineAndPositionOfEachStatement)
{
    for (const char *sql : serverErrorSetup)
        runIgnoringErrors(QString::fromLatin1(sql));
    for (const ServerErrorCase &c : serverErrorCases) {
        SCOPED_TRACE(c.sql);
        query->SQL().SetText(QString::fromLatin1(c.sql));
        try {
            query->Execute();
            ADD_FAILURE() << "the statement ran";
            continue;
        } catch (const EOracleError &e) {
            EXPECT_EQ(e.ErrorCode(), c.code) << e.Message().toStdString();
            // The older calls word a code through oerhms, which knows no statement's detail.
            if (!olderMode()) {
                EXPECT_TRUE(e.Message().startsWith(QString::fromLatin1(c.message)))
                    << e.Message().toStdString();
            }
        }
        if (c.offset() < 0)
            continue;
        const auto [line, column] = lineAndColumn(c.sql, c.offset());
        EXPECT_EQ(query->ErrorLine(), line);
        EXPECT_EQ(query->ErrorPosition(), column);
    }
}

} // namespace

INSTANTIATE_TEST_SUITE_P(BothModes, QueryServerErrors, ::testing::Bool(), modeName);

} // namespace qd::test
