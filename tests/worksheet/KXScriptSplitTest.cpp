#include "ScriptTestSupport.h"

#include "oracle/QStringPrinter.h"
#include "worksheet/KXException.h"

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

struct SplitCase {
    const char *name;
    const char *script;
    std::vector<SplitStatement> expected;
};

SplitStatement st(TKXStatementKind kind, QStringList lines, int firstLine = 0, int startColumn = 0)
{
    return SplitStatement { kind, std::move(lines), firstLine, startColumn };
}

void PrintTo(const SplitCase &c, std::ostream *os)
{
    *os << c.name;
}

class SplitTable : public ::testing::TestWithParam<SplitCase> { };

TEST_P(SplitTable, SplitsAndClassifies)
{
    const SplitCase &c = GetParam();
    const QString text = QString::fromUtf8(c.script);
    const QString dir = QStringLiteral("/scripts/");
    EXPECT_EQ(splitText(text, kpmAll, 0, dir), c.expected);
    EXPECT_EQ(splitWholeText(text, kpmAll, 0, dir), c.expected) << "the text given whole";
}

const SplitCase splitCases[] = {
    // Terminators, quotes and comments.
    { "EmptyText", "", {} },
    { "BlanksOnly", "   \n\t\n  ", {} },
    { "SemicolonBeforeLineComment", "select 1 from dual; -- note",
        { st(skSelect, { "select 1 from dual -- note" }) } },
    { "SecondStatementOnTheLineStays", "select 1 from dual; select 2 from dual;",
        { st(skSelect, { "select 1 from dual select 2 from dual;" }) } },
    { "SemicolonInSingleQuotes", "select ';' from dual\nwhere 1 = 1;\nselect 2 from dual;",
        { st(skSelect, { "select ';' from dual", "where 1 = 1" }),
            st(skSelect, { "select 2 from dual" }, 2) } },
    { "DoubledQuoteInsideLiteral", "select 'it''s;' from dual;",
        { st(skSelect, { "select 'it''s;' from dual" }) } },
    { "SemicolonInDoubleQuotes", "select 1 \"a;b\" from dual;",
        { st(skSelect, { "select 1 \"a;b\" from dual" }) } },
    { "SemicolonInBlockComment", "select 1 /* ; */ from dual;\nselect 2 from dual;",
        { st(skSelect, { "select 1 /* ; */ from dual" }),
            st(skSelect, { "select 2 from dual" }, 1) } },
    { "BlockCommentOverLines", "select 1 /* a;\n b; */ from dual;",
        { st(skSelect, { "select 1 /* a;", " b; */ from dual" }) } },
    { "SemicolonAfterDashes", "select 1 -- ;\nfrom dual;",
        { st(skSelect, { "select 1 -- ;", "from dual" }) } },
    { "QuoteInLineCommentIgnored", "select 1 -- it's\nfrom dual;\nselect 2 from dual;",
        { st(skSelect, { "select 1 -- it's", "from dual" }),
            st(skSelect, { "select 2 from dual" }, 2) } },
    { "DashesInsideBlockComment", "select 1 /* -- */ from dual;\nselect 2 from dual;",
        { st(skSelect, { "select 1 /* -- */ from dual" }),
            st(skSelect, { "select 2 from dual" }, 1) } },
    { "AlternativeQuoting", "select q'[it's; fine]' from dual;\nselect 2 from dual;",
        { st(skSelect, { "select q'[it's; fine]' from dual" }),
            st(skSelect, { "select 2 from dual" }, 1) } },
    { "QuoteOpenInPromptDoesNotLeak", "prompt don't stop\nselect 1 from dual;\nselect 2 from dual;",
        { st(skPrompt, { " don't stop" }), st(skSelect, { "select 1 from dual" }, 1),
            st(skSelect, { "select 2 from dual" }, 2) } },
    { "SlashLineEndsSql", "select 1\nfrom dual\n/\nselect 2 from dual;",
        { st(skSelect, { "select 1", "from dual" }), st(skSelect, { "select 2 from dual" }, 3) } },
    { "UnterminatedRunsToTheEnd", "select 1\nfrom dual",
        { st(skSelect, { "select 1", "from dual" }) } },
    { "TrailingBlanksRemoved", "update t set a = 1   \n  where b = 2;  ",
        { st(skUpdate, { "update t set a = 1", "  where b = 2" }) } },

    // Comments before a statement.
    { "CommentClosingMidLine", "/* a */select 1 from dual;",
        { st(skSelect, { "select 1 from dual" }, 0, 7) } },
    { "CommentClosingMidLineOnLaterLine", "/* a\n b */ select 1 from dual;",
        { st(skSelect, { " select 1 from dual" }, 1, 5) } },
    { "CommentEndingItsLine", "/* a */\nselect 1 from dual;",
        { st(skSelect, { "select 1 from dual" }, 1) } },
    { "CommentWithTrailingBlanks", "/* a */   \nselect 1 from dual;",
        { st(skSelect, { "select 1 from dual" }, 1) } },
    { "TwoCommentsOnALine", "/* a */ /* b */ select 1 from dual;",
        { st(skSelect, { " select 1 from dual" }, 0, 15) } },
    { "UnclosedCommentSwallowsTheRest", "/* a\nselect 1 from dual;\n", {} },
    { "LineCommentAndRemark", "-- x\nrem y ;\nREM\nselect 1 from dual;",
        { st(skSelect, { "select 1 from dual" }, 3) } },
    { "LineCommentBehindBlockComment", "/* a */ -- b\nselect 1 from dual;",
        { st(skSelect, { "select 1 from dual" }, 1) } },

    // EXECUTE.
    { "ExecuteWithContinuation", "exec p(1, -\n2)\nselect 1 from dual;",
        { st(skExecute, { "BEGIN  p(1,  ", "2); END;" }),
            st(skSelect, { "select 1 from dual" }, 2) } },
    { "ExecuteKeepsItsSemicolon", "execute p;", { st(skExecute, { "BEGIN  p; END;" }) } },
    { "ExecuteWithoutCall", "exec\nselect 1 from dual;",
        { st(skExecute, {}), st(skSelect, { "select 1 from dual" }, 1) } },
    { "ExecuteStopsAtEmptyLine", "exec p(1, -\n\nselect 1 from dual;",
        { st(skExecute, { "BEGIN  p(1,   END;" }), st(skSelect, { "select 1 from dual" }, 2) } },

    // PL/SQL and stored code end only at "/".
    { "AnonymousBlock", "begin\n  null;\nend;\n/\nselect 1 from dual;",
        { st(skPLSQLBlock, { "begin", "  null;", "end;" }),
            st(skSelect, { "select 1 from dual" }, 4) } },
    { "DeclareBlockToTheEnd", "declare x number;\nbegin null; end;",
        { st(skPLSQLBlock, { "declare x number;", "begin null; end;" }) } },
    { "PackageBody",
        "create or replace package body x as\nprocedure p is begin null; end;\nend;\n/",
        { st(skCreatePackageBody,
            { "create or replace package body x as", "procedure p is begin null; end;",
                "end;" }) } },
    { "TriggerEndsOnlyAtSlash",
        "create trigger trg before insert on t\nbegin\n  null;\nend;\n/\ncommit;",
        { st(skCreateTrigger,
              { "create trigger trg before insert on t", "begin", "  null;", "end;" }),
            st(skOtherSQL, { "commit" }, 5) } },
    { "CreateTypeEndsAtSemicolon", "create type t as object (a number);\nselect 1 from dual;",
        { st(skCreateType, { "create type t as object (a number)" }),
            st(skSelect, { "select 1 from dual" }, 1) } },
    { "CreateTypeBodyEndsAtSlash",
        "create type body t as\nmember function f return number is begin return 1; end;\nend;\n/",
        { st(skCreateTypeBody,
            { "create type body t as", "member function f return number is begin return 1; end;",
                "end;" }) } },
    { "CreateTableEndsAtSemicolon", "create table t (a number);\ncreate view v as select a from t;",
        { st(skOtherSQL, { "create table t (a number)" }),
            st(skCreateView, { "create view v as select a from t" }, 1) } },
    { "SequenceBeforeProcedure", "create sequence s;\ncreate procedure p is begin null; end;\n/",
        { st(skOtherSQL, { "create sequence s" }),
            st(skCreateProcedure, { "create procedure p is begin null; end;" }, 1) } },
    { "EditionablePackageBody",
        "create or replace editionable package body x as\nprocedure p is begin delete from t; "
        "end;\nend;\n/",
        { st(skCreatePackageBody,
            { "create or replace editionable package body x as",
                "procedure p is begin delete from t; end;", "end;" }) } },

    // Queries that do not begin with SELECT.
    { "WithQuery", "with a as (select 1 x from dual)\nselect * from a;",
        { st(skSelect, { "with a as (select 1 x from dual)", "select * from a" }) } },
    { "ParenthesisQuery", "(select 1 from dual) union (select 2 from dual);",
        { st(skSelect, { "(select 1 from dual) union (select 2 from dual)" }) } },
    { "ParenthesisWithBlank", "( select 1 from dual );",
        { st(skSelect, { "( select 1 from dual )" }) } },

    // Script commands.
    { "Describe", "desc scott.emp;", { st(skDescribe, { "SCOTT.EMP" }) } },
    { "DescribeWithoutName", "describe\nselect 1 from dual;",
        { st(skDescribe, { "" }), st(skSelect, { "select 1 from dual" }, 1) } },
    { "SpoolIntoCurrentDir", "spool out.lst", { st(skSpool, { "/scripts/out.lst" }) } },
    { "SpoolWithDirectory", "SPOOL \"/tmp/my out.lst\"", { st(skSpool, { "/tmp/my out.lst" }) } },
    { "SpoolBackslashes", "spool logs\\out.lst", { st(skSpool, { "logs/out.lst" }) } },
    { "SpoolOff", "spool off", { st(skSpool, { "/scripts/off" }) } },
    { "BareSpool", "spool", { st(skSpool, { "/scripts/" }) } },
    { "RunBuffer", "insert into t values (1);\n/",
        { st(skInsert, { "insert into t values (1)" }), st(skRunBuffer, { "/" }, 1) } },
    { "ShowErrors", "show errors", { st(skShowErrors, { "SHOW", "ERRORS" }) } },
    { "ShowErr", "sho err;", { st(skShowErrors, { "SHO", "ERR" }) } },
    { "ShowUser", "show user", { st(skCommand, { "show user" }) } },
    { "SetIsACommand", "set serveroutput on\nset transaction read only;",
        { st(skCommand, { "set serveroutput on" }),
            st(skOtherSQL, { "set transaction read only" }, 1) } },
    { "SetRole", "set role all;", { st(skOtherSQL, { "set role all" }) } },
    { "UnknownCommandKeepsBlankedComment", "/* c */ whenever sqlerror exit",
        { st(skCommand, { "        whenever sqlerror exit" }, 0, 7) } },
    { "Prompt", "prompt Hello -\n  World -  \nagain\nselect 1 from dual;",
        { st(skPrompt, { " Hello  World  again" }), st(skSelect, { "select 1 from dual" }, 3) } },
    { "EmptyPrompt", "prompt", { st(skPrompt, { "" }) } },
    { "Variable", "variable v number", { st(skVariable, { "VARIABLE", "V", "NUMBER" }) } },
    { "Accept", "acc x num prompt 'Value: ' hide",
        { st(skAccept, { "ACC", "X", "NUM", "PROMPT", "Value: ", "HIDE" }) } },
    { "Define", "define x = abc", { st(skDefine, { "DEFINE", "X", "=", "ABC" }) } },
    { "DefineQuotedKeepsCase", "def x = 'Abc ''d''';",
        { st(skDefine, { "DEF", "X", "=", "Abc 'd'" }) } },
    { "DefineContinued", "define x -\n\n  = 5\nselect 1 from dual;",
        { st(skDefine, { "DEFINE", "X", "=", "5" }), st(skSelect, { "select 1 from dual" }, 3) } },
    { "ConnectKeepsPasswordCase", "connect scott/TiGer@Db as sysdba",
        { st(skConnect, { "CONNECT", "scott/TiGer@Db", "as", "sysdba" }) } },
    { "ConnectQuotedPasswordKeepsBlanks", "connect scott/\"a  b c\"@db",
        { st(skConnect, { "CONNECT", "scott/\"a  b c\"@db" }) } },
    { "OtherCommandsSplitQuotesAtBlanks", "define x = \"a  b\"",
        { st(skDefine, { "DEFINE", "X", "=", "\"A", "B\"" }) } },

    // The other SQL statements.
    { "Dml",
        "insert into t values (1);\ndelete from t;\nmerge into t using s on (1=1) when matched "
        "then update set a = 1;",
        { st(skInsert, { "insert into t values (1)" }), st(skDelete, { "delete from t" }, 1),
            st(skMerge, { "merge into t using s on (1=1) when matched then update set a = 1" },
                2) } },
    { "Transactions", "commit;\nrollback;\nsavepoint a;",
        { st(skOtherSQL, { "commit" }), st(skOtherSQL, { "rollback" }, 1),
            st(skOtherSQL, { "savepoint a" }, 2) } },
};

INSTANTIATE_TEST_SUITE_P(KXScript, SplitTable, ::testing::ValuesIn(splitCases),
    [](const ::testing::TestParamInfo<SplitCase> &info) { return std::string(info.param.name); });

} // namespace
