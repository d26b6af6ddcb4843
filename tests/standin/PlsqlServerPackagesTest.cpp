// The blocks the client library's package calls generate, and the server packages they reach:
// dbms_output, dbms_application_info, diutil, dbms_lock, dbms_lob.

#include "PlsqlTestHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace qdsi::plsql::test {
namespace {

class PlsqlServerPackages : public PlsqlFixture {
protected:
    void SetUp() override
    {
        create("create or replace package pkg is\n"
               "  last_text varchar2(100);\n"
               "  procedure proc(a varchar2, b in out boolean);\n"
               "  procedure set_flag(flag out boolean);\n"
               "  procedure note(a varchar2);\n"
               "  function twice(n number) return number;\n"
               "  function is_even(n integer) return boolean;\n"
               "  function next_day(d date) return date;\n"
               "end;");
        create("create or replace package body pkg is\n"
               "  procedure proc(a varchar2, b in out boolean) is\n"
               "  begin\n"
               "    last_text := a;\n"
               "    b := not b;\n"
               "  end;\n"
               "  procedure set_flag(flag out boolean) is begin flag := true; end;\n"
               "  procedure note(a varchar2) is\n"
               "  begin\n"
               "    last_text := nvl(a, 'was null');\n"
               "  end;\n"
               "  function twice(n number) return number is begin return n * 2; end;\n"
               "  function is_even(n integer) return boolean is begin return mod(n, 2) = 0; end;\n"
               "  function next_day(d date) return date is begin return d + 1; end;\n"
               "end;");
    }

    std::string lastText() { return result("begin :r := pkg.last_text; end;"); }

    // The get_line call of the server-output wrapper; returns {line, status}.
    std::pair<Value, int64_t> getLine()
    {
        std::vector<Bind> binds { stringBind("LINE", "", 32767), integerBind("STATUS") };
        binds[0].value = Value();
        run("begin\n  sys.dbms_output.get_line(line => :line, status => :status);\nend;", binds);
        return { binds[0].value, binds[1].value.toInteger() };
    }
};

TEST_F(PlsqlServerPackages, PositionalCallWithABooleanArgument)
{
    std::vector<Bind> binds { stringBind("P1", "hello"), integerBind("P2", 1) };
    run("declare\n"
        "  zeb__boolean1 boolean := sys.diutil.int_to_bool(:p2);\n"
        "begin\n"
        "  pkg.proc(:p1, zeb__boolean1);\n"
        "  :p2 := sys.diutil.bool_to_int(zeb__boolean1);\n"
        "end;",
        binds);
    EXPECT_EQ(bindNamed(binds, "P2").value.toInteger(), 0);
    EXPECT_EQ(lastText(), "hello");
}

TEST_F(PlsqlServerPackages, GeneratedFunctionCalls)
{
    struct Case {
        const char *what;
        const char *block;
        std::vector<Bind> binds;
        const char *expected; // :zeb__value as text, "<null>" for null
    };
    Bind date;
    date.name = "D";
    date.type = BindType::Date;
    date.value = Value::fromDate("2024-12-31 23:00:00");
    Bind dateOut = date;
    dateOut.name = "ZEB__VALUE";
    dateOut.value = Value();
    const std::vector<Case> cases = {
        { "integer function, named", "begin\n  :zeb__value := pkg.twice(n => :n);\nend;",
            { integerBind("N", 21), integerBind("ZEB__VALUE") }, "42" },
        { "float function, positional", "begin\n  :zeb__value := pkg.twice(:p1);\nend;",
            { floatBind("P1", 1.25), floatBind("ZEB__VALUE") }, "2.5" },
        { "boolean function true",
            "begin\n  :zeb__value := sys.diutil.bool_to_int(pkg.is_even(n => :n));\nend;",
            { integerBind("N", 4), integerBind("ZEB__VALUE") }, "1" },
        { "boolean function false",
            "begin\n  :zeb__value := sys.diutil.bool_to_int(pkg.is_even(n => :n));\nend;",
            { integerBind("N", 3), integerBind("ZEB__VALUE") }, "0" },
        { "boolean function of null is null",
            "begin\n  :zeb__value := sys.diutil.bool_to_int(pkg.is_even(n => :n));\nend;",
            { integerBind("N"), integerBind("ZEB__VALUE") }, "<null>" },
        { "date function", "begin\n  :zeb__value := pkg.next_day(d => :d);\nend;",
            { date, dateOut }, "2025-01-01 23:00:00" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Bind> binds = c.binds;
        try {
            run(c.block, binds);
        } catch (const sql::OraError &e) {
            ADD_FAILURE() << e.text;
            continue;
        }
        const Value &v = bindNamed(binds, "ZEB__VALUE").value;
        EXPECT_EQ(v.isNull() ? std::string("<null>") : v.toText(), c.expected);
    }
}

TEST_F(PlsqlServerPackages, BooleanOutputArgumentIsCopiedBack)
{
    std::vector<Bind> binds { integerBind("FLAG") };
    run("declare\n"
        "  zeb__boolean1 boolean := sys.diutil.int_to_bool(:flag);\n"
        "begin\n"
        "  pkg.set_flag(flag => zeb__boolean1);\n"
        "  :flag := sys.diutil.bool_to_int(zeb__boolean1);\n"
        "end;",
        binds);
    EXPECT_EQ(binds[0].value.toInteger(), 1);
}

TEST_F(PlsqlServerPackages, NullArgumentIsWrittenAsTheWordNull)
{
    run("begin\n  pkg.note(a => Null);\nend;");
    EXPECT_EQ(lastText(), "was null");
}

TEST_F(PlsqlServerPackages, ServerOutputOfAStoredProcedureIsReadLineByLine)
{
    create("create or replace procedure chatty(n integer) is\n"
           "begin\n"
           "  dbms_output.put_line('first');\n"
           "  sys.dbms_output.put('second ');\n"
           "  dbms_output.put(n);\n"
           "  dbms_output.new_line;\n"
           "  dbms_output.put_line(null);\n"
           "  dbms_output.put_line('last');\n"
           "end;");
    std::vector<Bind> enable { integerBind("BUFFER_SIZE", 20000) };
    run("begin\n  sys.dbms_output.enable(buffer_size => :buffer_size);\nend;", enable);
    run("begin chatty(2); end;");

    std::vector<std::string> lines;
    for (int i = 0; i < 10; ++i) {
        auto [line, status] = getLine();
        if (status != 0) {
            EXPECT_EQ(status, 1);
            EXPECT_TRUE(line.isNull());
            break;
        }
        lines.push_back(line.isNull() ? "<null>" : line.text);
    }
    EXPECT_EQ(lines, (std::vector<std::string> { "first", "second 2", "<null>", "last" }));
    EXPECT_EQ(getLine().second, 1) << "the buffer stays empty";
}

TEST_F(PlsqlServerPackages, ServerOutputRules)
{
    run("begin dbms_output.put_line('unseen'); end;");
    EXPECT_EQ(getLine().second, 1) << "nothing is kept before enable";

    run("begin dbms_output.enable(2000); dbms_output.put_line('a'); dbms_output.put_line('b'); "
        "end;");
    EXPECT_EQ(getLine().first.text, "a");
    run("begin dbms_output.put_line('c'); end;");
    EXPECT_EQ(getLine().first.text, "c") << "lines not read before the next put are discarded";

    const sql::OraError overflow
        = failure("begin for i in 1 .. 30 loop dbms_output.put_line(rpad('x', 100, 'x')); end "
                  "loop; end;");
    EXPECT_EQ(overflow.code, 20000);
    EXPECT_EQ(
        overflow.text.rfind("ORA-20000: ORU-10027: buffer overflow, limit of 2000 bytes", 0), 0u)
        << overflow.text;

    run("begin\n  sys.dbms_output.disable;\nend;");
    run("begin dbms_output.put_line('after disable'); end;");
    EXPECT_EQ(getLine().second, 1);

    run("begin dbms_output.enable(null); dbms_output.put_line('one'); dbms_output.put_line('two');"
        " end;");
    std::vector<Bind> binds { stringBind("R", "") };
    run("declare l dbms_output.chararr; n integer := 5; begin dbms_output.get_lines(l, n); :r := n "
        "|| ':' || l(1) || ',' || l(2); end;",
        binds);
    EXPECT_EQ(binds[0].value.text, "2:one,two");
}

TEST_F(PlsqlServerPackages, ApplicationInfoIsKeptPerSession)
{
    std::vector<Bind> module { stringBind("MODULE_NAME", "Quarlo Desk"),
        stringBind("ACTION_NAME", "Tuning") };
    run("begin\n  sys.dbms_application_info.set_module(module_name => :module_name, action_name "
        "=> :action_name);\nend;",
        module);
    std::vector<Bind> client { stringBind("CLIENT_INFO", std::string(70, 'c')) };
    run("begin\n  sys.dbms_application_info.set_client_info(client_info => :client_info);\nend;",
        client);
    EXPECT_EQ(host.state.application.module, "Quarlo Desk");
    EXPECT_EQ(host.state.application.action, "Tuning");
    EXPECT_EQ(host.state.application.clientInfo, std::string(64, 'c'))
        << "client info is cut to 64 bytes";

    std::vector<Bind> read { stringBind("M", ""), stringBind("A", ""), stringBind("C", "") };
    run("begin dbms_application_info.set_action('Run'); dbms_application_info.read_module(:m, "
        ":a); dbms_application_info.read_client_info(:c); end;",
        read);
    EXPECT_EQ(read[0].value.text, "Quarlo Desk");
    EXPECT_EQ(read[1].value.text, "Run");
    EXPECT_EQ(read[2].value.text.size(), 64u);

    run("begin\n  sys.dbms_application_info.set_module(module_name => :module_name, action_name "
        "=> Null);\nend;",
        module);
    EXPECT_EQ(host.state.application.action, "");
}

TEST_F(PlsqlServerPackages, DiutilConversions)
{
    EXPECT_EQ(result("begin :r := diutil.bool_to_int(true) || diutil.bool_to_int(false) || "
                     "nvl(to_char(sys.diutil.bool_to_int(null)), 'n'); end;"),
        "10n");
    EXPECT_EQ(result("begin if sys.diutil.int_to_bool(7) and not diutil.int_to_bool(0) and "
                     "diutil.int_to_bool(null) is null then :r := 'ok'; end if; end;"),
        "ok");
}

TEST_F(PlsqlServerPackages, SleepEndsOnBreak)
{
    const auto start = std::chrono::steady_clock::now();
    std::thread breaker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        host.breakFlag = true;
    });
    const sql::OraError e = failure("begin\n  sys.dbms_lock.sleep(30);\nexception\n  when others "
                                    "then null;\nend;");
    breaker.join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(e.code, 1013);
    EXPECT_EQ(e.text, "ORA-01013: user requested cancel of current operation");
    EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST_F(PlsqlServerPackages, ShortSleepCompletes)
{
    const auto start = std::chrono::steady_clock::now();
    run("begin dbms_lock.sleep(0.05); end;");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST_F(PlsqlServerPackages, LobRoutinesWorkOnTheLobsContent)
{
    EXPECT_EQ(result("declare c clob := 'abcdef'; begin sys.dbms_lob.trim(c, 3); "
                     "dbms_lob.append(c, 'XY'); dbms_lob.writeappend(c, 1, 'Zq'); "
                     ":r := dbms_lob.getlength(c) || ':' || dbms_lob.substr(c, 2, 3) || ':' || c "
                     "|| ':' || nvl(to_char(dbms_lob.getlength(null)), 'n'); end;"),
        "6:cX:abcXYZ:n");
    // An empty LOB is the same value as NULL here: trimming it to 0 and appending work.
    EXPECT_EQ(result("declare c clob; begin dbms_lob.trim(c, 0); dbms_lob.append(c, 'x'); "
                     ":r := c; end;"),
        "x");
    const struct {
        const char *block;
        int code;
        const char *text;
    } cases[] = {
        { "declare c clob := 'ab'; begin dbms_lob.trim(c, 3); end;", 22926, "trim length" },
        { "declare c clob := 'ab'; begin dbms_lob.trim(c, -1); end;", 21560, "argument" },
        { "declare c clob; begin dbms_lob.writeappend(c, 5, 'ab'); end;", 21560, "argument" },
        { "declare c clob; begin dbms_lob.read(c, 1, 1, c); end;", 6550, "PLS-00201" },
        { "begin dbms_lob.trim(null, 0); end;", 6550, "PLS-00306" },
    };
    for (const auto &c : cases) {
        const sql::OraError e = failure(c.block);
        EXPECT_EQ(e.code, c.code) << c.block << " " << e.text;
        EXPECT_NE(e.text.find(c.text), std::string::npos) << c.block << " " << e.text;
    }
}

TEST_F(PlsqlServerPackages, XmlTypeVariablesHoldTheirDocument)
{
    EXPECT_EQ(result("declare x sys.xmltype; y xmltype; begin x := '<a/>'; y := x; "
                     ":r := y.getclobval() || x.getstringval(); end;"),
        "<a/><a/>");
    const struct {
        const char *block;
        int code;
        const char *text;
    } cases[] = {
        { "declare x sys.xmltype; begin :r := x.getclobval(); end;", 30625, "NULL SELF" },
        { "declare x sys.xmltype := '<a/>'; begin :r := x.extract(); end;", 6550, "PLS-00302" },
    };
    for (const auto &c : cases) {
        const sql::OraError e = failure(c.block, { stringBind("R", "", 4000) });
        EXPECT_EQ(e.code, c.code) << c.block << " " << e.text;
        EXPECT_NE(e.text.find(c.text), std::string::npos) << c.block << " " << e.text;
    }
}

TEST_F(PlsqlServerPackages, UnknownServerRoutineIsUndeclared)
{
    const sql::OraError e = failure("begin sys.dbms_output.shout('x'); end;");
    EXPECT_EQ(e.code, 6550);
    EXPECT_NE(e.text.find("PLS-00201"), std::string::npos) << e.text;
}

} // namespace
} // namespace qdsi::plsql::test
