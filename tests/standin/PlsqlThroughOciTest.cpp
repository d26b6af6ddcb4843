// PL/SQL through the C interface: the blocks the product generates for stored-package calls
// and the server package wrappers, with their bind variables in and out; stored code created,
// listed with its errors, called and dropped; package state per session; server output;
// application errors; a breakable sleep; and the statement types the server reports.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <thread>
#include <vector>

using namespace qd::test::standin;

namespace {

constexpr ub2 SQLT_NUM = 2, SQLT_VNU = 6, SQLT_AFC = 96, SQLT_LVC = 94;

// A bind buffer with its indicator and length, kept alive for the statement's execution.
struct Var {
    std::vector<unsigned char> data;
    sb2 indicator = 0;
    ub2 length = 0;
    ub2 type = SQLT_STR;

    static Var string(const std::string &value, size_t size = 256)
    {
        Var v;
        v.data.assign(size, 0);
        std::memcpy(v.data.data(), value.data(), std::min(value.size(), size - 1));
        v.length = static_cast<ub2>(value.size());
        return v;
    }
    static Var integer(std::optional<int32_t> value)
    {
        Var v;
        v.type = SQLT_INT;
        v.data.assign(4, 0);
        if (value)
            std::memcpy(v.data.data(), &*value, 4);
        v.indicator = value ? 0 : -1;
        return v;
    }
    static Var real(double value)
    {
        Var v;
        v.type = SQLT_FLT;
        v.data.assign(8, 0);
        std::memcpy(v.data.data(), &value, 8);
        return v;
    }
    static Var date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
    {
        Var v;
        v.type = SQLT_DAT;
        v.data = { static_cast<unsigned char>(year / 100 + 100),
            static_cast<unsigned char>(year % 100 + 100), static_cast<unsigned char>(month),
            static_cast<unsigned char>(day), static_cast<unsigned char>(hour + 1),
            static_cast<unsigned char>(minute + 1), static_cast<unsigned char>(second + 1) };
        return v;
    }
    static Var null(ub2 type = SQLT_STR, size_t size = 256)
    {
        Var v;
        v.type = type;
        v.data.assign(size, 0);
        v.indicator = -1;
        return v;
    }

    bool isNull() const { return indicator == -1; }
    std::string text() const { return std::string(reinterpret_cast<const char *>(data.data())); }
    int32_t asInteger() const
    {
        int32_t n;
        std::memcpy(&n, data.data(), 4);
        return n;
    }
    double asReal() const
    {
        double d;
        std::memcpy(&d, data.data(), 8);
        return d;
    }
};

class PlsqlSession : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText(); }

    static sword bind(Cursor &c, const std::string &name, Var &v)
    {
        void *handle = nullptr;
        return api().BindByName(c.stmt, &handle, c.err,
            reinterpret_cast<const text *>(name.c_str()), -1, v.data.data(),
            static_cast<sb4>(v.data.size()), v.type, &v.indicator, &v.length, nullptr, 0, nullptr,
            DEFAULT);
    }

    // Prepares the block, binds the variables by name and executes it once.
    static sword call(Connection &connection, const std::string &block,
        std::vector<std::pair<std::string, Var *>> vars, std::string *error = nullptr)
    {
        Cursor c(connection, block);
        for (auto &[name, var] : vars)
            EXPECT_EQ(bind(c, name, *var), SUCCESS) << name << ": " << c.errorText();
        const sword status = c.execute(1);
        if (error)
            *error = c.errorText();
        else
            EXPECT_EQ(status, SUCCESS) << block << "\n" << c.errorText();
        return status;
    }

    // Creates stored code that must compile.
    void create(const std::string &text)
    {
        ASSERT_EQ(db.run(text), SUCCESS) << text << "\n" << db.errorText();
    }

    // One column of text values of a query, in order.
    static std::vector<std::string> column(Connection &connection, const std::string &query)
    {
        Cursor c(connection, query);
        char value[4001];
        sb2 ind = 0;
        void *define = nullptr;
        EXPECT_EQ(api().DefineByPos(c.stmt, &define, c.err, 1, value, sizeof value, SQLT_STR, &ind,
                      nullptr, nullptr, DEFAULT),
            SUCCESS);
        EXPECT_EQ(c.execute(0), SUCCESS) << query << "\n" << c.errorText();
        std::vector<std::string> values;
        while (c.fetch(1) == SUCCESS)
            values.push_back(ind == -1 ? "<null>" : value);
        return values;
    }

    Connection db;
};

} // namespace

TEST_F(PlsqlSession, FunctionCallBlocksReturnTheResultThroughTheValueBind)
{
    create("create or replace function pt_add(a number, b number) return number is\n"
           "begin\n  return a + b;\nend;");
    Var p1 = Var::integer(2), p2 = Var::real(3.25), value = Var::null(SQLT_FLT, 8);
    call(db, "begin\n  :zeb__value := pt_add(:p1, :p2);\nend;",
        { { ":zeb__value", &value }, { ":p1", &p1 }, { ":p2", &p2 } });
    EXPECT_FALSE(value.isNull());
    EXPECT_DOUBLE_EQ(value.asReal(), 5.25);

    // The same shape as an integer function with a null result.
    Var nothing = Var::integer(std::nullopt), result = Var::integer(77);
    call(db, "begin\n  :zeb__value := pt_add(:p1, :p2);\nend;",
        { { ":zeb__value", &result }, { ":p1", &nothing }, { ":p2", &p2 } });
    EXPECT_TRUE(result.isNull());
}

TEST_F(PlsqlSession, BooleanFunctionAndArgumentPassThroughDiutil)
{
    create("create or replace function pt_is_even(n in number) return boolean is\n"
           "begin\n  return mod(n, 2) = 0;\nend;");
    create("create or replace procedure pt_flip(label in varchar2, flag in out boolean) is\n"
           "begin\n  flag := not flag;\nend;");
    struct Case {
        int argument;
        int expected;
    };
    for (const Case &c : { Case { 4, 1 }, Case { 7, 0 } }) {
        Var p1 = Var::integer(c.argument), value = Var::integer(std::nullopt);
        call(db, "begin\n  :zeb__value := sys.diutil.bool_to_int(pt_is_even(:p1));\nend;",
            { { ":zeb__value", &value }, { ":p1", &p1 } });
        ASSERT_FALSE(value.isNull());
        EXPECT_EQ(value.asInteger(), c.expected) << c.argument;
    }
    // A boolean argument goes in through a local and comes back converted.
    for (const Case &c : { Case { 1, 0 }, Case { 0, 1 } }) {
        Var p1 = Var::string("label"), p2 = Var::integer(c.argument);
        call(db,
            "declare\n  zeb__boolean1 boolean := sys.diutil.int_to_bool(:p2);\nbegin\n"
            "  pt_flip(:p1, zeb__boolean1);\n  :p2 := sys.diutil.bool_to_int(zeb__boolean1);\nend;",
            { { ":p1", &p1 }, { ":p2", &p2 } });
        ASSERT_FALSE(p2.isNull());
        EXPECT_EQ(p2.asInteger(), c.expected);
    }
}

TEST_F(PlsqlSession, NullArgumentsNamedArgumentsAndDatesInAndOut)
{
    create("create or replace procedure pt_describe(a in varchar2, b out varchar2) is\n"
           "begin\n  b := nvl(a, '<null>') || '!';\nend;");
    Var p2 = Var::string("unchanged");
    call(db, "begin\n  pt_describe(Null, :p2);\nend;", { { ":p2", &p2 } });
    EXPECT_EQ(p2.text(), "<null>!");
    EXPECT_EQ(p2.length, 7);

    create("create or replace procedure pt_shift(d in out date, days in number) is\n"
           "begin\n  d := d + days;\nend;");
    Var d = Var::date(2024, 2, 28, 13, 45, 10), days = Var::integer(2);
    call(db, "begin\n  pt_shift(d => :d, days => :days);\nend;",
        { { ":d", &d }, { ":days", &days } });
    EXPECT_EQ(d.data, Var::date(2024, 3, 1, 13, 45, 10).data);

    // A date given back into a string buffer reads in the session's date format.
    Var text = Var::string("", 64);
    call(db, "begin\n  :t := to_date('2024-05-06', 'YYYY-MM-DD');\nend;", { { ":t", &text } });
    EXPECT_EQ(text.text(), "06-MAY-24");
}

TEST_F(PlsqlSession, OutBindsHonourBufferTypesSizesAndNullIndicators)
{
    // A value longer than the client's buffer fails as on the server.
    Var small = Var::string("", 4);
    std::string error;
    EXPECT_EQ(call(db, "begin :s := 'abcdef'; end;", { { ":s", &small } }, &error), ERROR);
    EXPECT_EQ(error.rfind("ORA-06502: PL/SQL: numeric or value error: character string buffer too "
                          "small",
                  0),
        0u)
        << error;
    // Three characters and the terminating NUL fit.
    call(db, "begin :s := 'abc'; end;", { { ":s", &small } });
    EXPECT_EQ(small.text(), "abc");

    // Fixed-length character and long varchar buffers.
    Var fixed = Var::null(SQLT_AFC, 6), counted = Var::null(SQLT_LVC, 16);
    call(db, "begin :f := 'ab'; :l := 'hello'; end;", { { ":f", &fixed }, { ":l", &counted } });
    EXPECT_EQ(std::string(reinterpret_cast<char *>(fixed.data.data()), 6), "ab    ");
    int32_t n = 0;
    std::memcpy(&n, counted.data.data(), 4);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(counted.data.data()) + 4, 5), "hello");
    EXPECT_EQ(fixed.indicator, 0);

    // Null comes back as indicator -1; a bind the block does not assign keeps its buffer.
    Var assigned = Var::string("before"), untouched = Var::string("kept");
    call(db, "begin :a := null; if :u is null then :a := 'x'; end if; end;",
        { { ":a", &assigned }, { ":u", &untouched } });
    EXPECT_TRUE(assigned.isNull());
    EXPECT_EQ(untouched.text(), "kept");
    EXPECT_EQ(untouched.indicator, 0);

    // An integer too large for a 4-byte buffer.
    Var narrow = Var::integer(0);
    EXPECT_EQ(call(db, "begin :n := 3000000000; end;", { { ":n", &narrow } }, &error), ERROR);
    EXPECT_EQ(error.rfind("ORA-06502", 0), 0u) << error;

    // Numbers in the server's own format, counted by the length or by a length byte.
    Var number = Var::null(SQLT_NUM, 22);
    number.indicator = 0;
    number.data = { 0xC2, 0x02, 0x18, 0x2E }; // 123.45
    number.data.resize(22);
    number.length = 4;
    call(db, "begin :n := :n * -1; end;", { { ":n", &number } });
    EXPECT_EQ(number.length, 5);
    EXPECT_EQ(std::vector<unsigned char>(number.data.begin(), number.data.begin() + 5),
        (std::vector<unsigned char> { 0x3D, 0x64, 0x4E, 0x38, 0x66 })); // -123.45
    struct NumberCase {
        const char *expression;
        std::vector<unsigned char> bytes;
    };
    for (const NumberCase &c :
        { NumberCase { "0", { 1, 0x80 } }, NumberCase { "0.5", { 2, 0xC0, 0x33 } },
            NumberCase { "-1", { 3, 0x3E, 0x64, 0x66 } }, NumberCase { "100", { 2, 0xC2, 0x02 } },
            NumberCase { ":n + 0.55", { 5, 0x3D, 0x64, 0x4F, 0x0B, 0x66 } } }) { // -122.9
        Var counted = Var::null(SQLT_VNU, 22), in = number;
        std::vector<std::pair<std::string, Var *>> vars { { ":v", &counted } };
        if (std::strstr(c.expression, ":n"))
            vars.push_back({ ":n", &in });
        call(db, std::string("begin :v := ") + c.expression + "; end;", vars);
        EXPECT_EQ(std::vector<unsigned char>(counted.data.begin(),
                      counted.data.begin() + static_cast<long>(c.bytes.size())),
            c.bytes)
            << c.expression;
    }

    // A placeholder without a bind.
    EXPECT_EQ(call(db, "begin :missing := 1; end;", {}, &error), ERROR);
    EXPECT_EQ(error, "ORA-01008: not all variables bound");
}

TEST_F(PlsqlSession, ServerOutputOfAStoredProcedureIsReadLineByLine)
{
    create("create or replace procedure pt_report(n in number) is\n"
           "begin\n"
           "  for i in 1 .. n loop\n"
           "    sys.dbms_output.put_line('line ' || i);\n"
           "  end loop;\n"
           "  dbms_output.put('no end');\n"
           "  dbms_output.new_line;\n"
           "end;");
    Var size = Var::integer(20000);
    call(db, "begin\n  sys.dbms_output.enable(buffer_size => :buffer_size);\nend;",
        { { ":buffer_size", &size } });
    Var n = Var::integer(3);
    call(db, "begin\n  pt_report(:p1);\nend;", { { ":p1", &n } });

    std::vector<std::string> lines;
    for (int guard = 0; guard < 20; ++guard) {
        Var line = Var::string("", 256), status = Var::integer(std::nullopt);
        call(db, "begin\n  sys.dbms_output.get_line(line => :line, status => :status);\nend;",
            { { ":line", &line }, { ":status", &status } });
        ASSERT_FALSE(status.isNull());
        if (status.asInteger() == 1) {
            EXPECT_TRUE(line.isNull());
            break;
        }
        EXPECT_EQ(status.asInteger(), 0);
        lines.push_back(line.text());
    }
    EXPECT_EQ(lines, (std::vector<std::string> { "line 1", "line 2", "line 3", "no end" }));

    // Disabled output keeps nothing.
    call(db, "begin\n  sys.dbms_output.disable;\nend;", {});
    call(db, "begin\n  pt_report(:p1);\nend;", { { ":p1", &n } });
    Var line = Var::string(""), status = Var::integer(std::nullopt);
    call(db, "begin\n  sys.dbms_output.get_line(line => :line, status => :status);\nend;",
        { { ":line", &line }, { ":status", &status } });
    EXPECT_EQ(status.asInteger(), 1);
}

TEST_F(PlsqlSession, ApplicationInfoIsKeptPerSession)
{
    Var module = Var::string("Worksheet"), action = Var::string("Execute");
    call(db,
        "begin\n  sys.dbms_application_info.set_module(module_name => :module_name, "
        "action_name => :action_name);\nend;",
        { { ":module_name", &module }, { ":action_name", &action } });
    Var info = Var::string("client 7");
    call(db,
        "begin\n  sys.dbms_application_info.set_client_info(client_info => :client_info);\nend;",
        { { ":client_info", &info } });

    Var m = Var::string(""), a = Var::string(""), c = Var::string("");
    call(db,
        "begin dbms_application_info.read_module(:m, :a); "
        "dbms_application_info.read_client_info(:c); end;",
        { { ":m", &m }, { ":a", &a }, { ":c", &c } });
    EXPECT_EQ(m.text(), "Worksheet");
    EXPECT_EQ(a.text(), "Execute");
    EXPECT_EQ(c.text(), "client 7");

    Connection other;
    ASSERT_EQ(other.logon("DEMO", "DEMO"), SUCCESS);
    Var m2 = Var::string("x");
    call(other, "begin dbms_application_info.read_module(:m, :a); end;",
        { { ":m", &m2 }, { ":a", &a } });
    EXPECT_TRUE(m2.isNull());
}

TEST_F(PlsqlSession, PackageStateLivesPerSession)
{
    create("create or replace package pt_counter is\n"
           "  function next_value return number;\n"
           "end pt_counter;");
    create("create or replace package body pt_counter is\n"
           "  n number := 0;\n"
           "  function next_value return number is\n"
           "  begin\n    n := n + 1;\n    return n;\n  end;\n"
           "end pt_counter;");
    const std::string block = "begin\n  :zeb__value := pt_counter.next_value;\nend;";
    for (int expected : { 1, 2 }) {
        Var value = Var::integer(std::nullopt);
        call(db, block, { { ":zeb__value", &value } });
        EXPECT_EQ(value.asInteger(), expected);
    }
    Connection other;
    ASSERT_EQ(other.logon("DEMO", "DEMO"), SUCCESS) << other.errorText();
    Var value = Var::integer(std::nullopt);
    call(other, block, { { ":zeb__value", &value } });
    EXPECT_EQ(value.asInteger(), 1);

    // Replacing the body starts the package afresh in the first session too.
    create("create or replace package body pt_counter is\n"
           "  n number := 100;\n"
           "  function next_value return number is\n"
           "  begin\n    n := n + 1;\n    return n;\n  end;\n"
           "end pt_counter;");
    call(db, block, { { ":zeb__value", &value } });
    EXPECT_EQ(value.asInteger(), 101);
}

TEST_F(PlsqlSession, CompileErrorsAreListedWithLineAndPosition)
{
    const std::string broken = "create or replace procedure pt_broken is\n"
                               "  x number;\n"
                               "begin\n"
                               "  x := ;\n"
                               "end;";
    ASSERT_EQ(db.run(broken), SUCCESS_WITH_INFO);
    EXPECT_EQ(db.errorCode(), 24344);
    EXPECT_EQ(db.errorText(), "ORA-24344: success with compilation error");

    EXPECT_EQ(column(db,
                  "select line || '/' || position from user_errors where name = 'PT_BROKEN' "
                  "and type = 'PROCEDURE' order by sequence"),
        std::vector<std::string> { "4/8" });
    const auto texts = column(db, "select text from user_errors where name = 'PT_BROKEN'");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("PLS-00103: Encountered the symbol \";\"", 0), 0u) << texts[0];
    EXPECT_EQ(column(db, "select status from qdsi_units where name = 'PT_BROKEN'"),
        std::vector<std::string> { "INVALID" });

    // The source is kept one line per row, each ending its line.
    EXPECT_EQ(column(db, "select text from user_source where name = 'PT_BROKEN' order by line"),
        (std::vector<std::string> {
            "procedure pt_broken is\n", "  x number;\n", "begin\n", "  x := ;\n", "end;\n" }));

    // Calling the invalid unit fails; the other session sees the same errors.
    std::string error;
    EXPECT_EQ(call(db, "begin pt_broken; end;", {}, &error), ERROR);
    EXPECT_NE(error.find("PLS-00905: object DEMO.PT_BROKEN is invalid"), std::string::npos)
        << error;
    Connection other;
    ASSERT_EQ(other.logon("DEMO", "DEMO"), SUCCESS);
    EXPECT_EQ(column(other, "select owner || '.' || line from all_errors where name = 'PT_BROKEN'"),
        std::vector<std::string> { "DEMO.4" });

    // A corrected version is valid and its errors are gone.
    create("create or replace procedure pt_broken is\n  x number;\nbegin\n  x := 1;\nend;");
    EXPECT_TRUE(column(db, "select text from user_errors where name = 'PT_BROKEN'").empty());
    EXPECT_EQ(column(db, "select status from qdsi_units where name = 'PT_BROKEN'"),
        std::vector<std::string> { "VALID" });
    call(other, "begin pt_broken; end;", {});
}

TEST_F(PlsqlSession, DropRemovesStoredCodeAndCreateWithoutReplaceRefusesAnExistingName)
{
    create("create procedure pt_gone is begin null; end;");
    EXPECT_EQ(db.run("create procedure pt_gone is begin null; end;"), ERROR);
    EXPECT_EQ(db.errorCode(), 955);
    ASSERT_EQ(db.run("drop procedure pt_gone"), SUCCESS) << db.errorText();
    EXPECT_TRUE(column(db, "select text from user_source where name = 'PT_GONE'").empty());
    std::string error;
    EXPECT_EQ(call(db, "begin pt_gone; end;", {}, &error), ERROR);
    EXPECT_EQ(error.rfind("ORA-06550", 0), 0u) << error;
    EXPECT_EQ(db.run("drop procedure pt_gone"), ERROR);
    EXPECT_EQ(db.errorText(), "ORA-04043: object PT_GONE does not exist");
}

TEST_F(PlsqlSession, RaiseApplicationErrorGivesItsCodeAndText)
{
    std::string error;
    EXPECT_EQ(
        call(db, "begin\n  raise_application_error(-20042, 'Quota exceeded');\nend;", {}, &error),
        ERROR);
    EXPECT_EQ(error, "ORA-20042: Quota exceeded\nORA-06512: at line 2");

    create("create or replace procedure pt_refuse(n in number) is\n"
           "begin\n"
           "  if n > 10 then\n"
           "    raise_application_error(-20001, 'Too many: ' || n);\n"
           "  end if;\n"
           "end;");
    Cursor c(db, "begin\n  pt_refuse(:p1);\nend;");
    Var n = Var::integer(12);
    ASSERT_EQ(bind(c, ":p1", n), SUCCESS);
    EXPECT_EQ(c.execute(1), ERROR);
    EXPECT_EQ(c.errorCode(), 20001);
    EXPECT_EQ(
        c.errorText().rfind("ORA-20001: Too many: 12\nORA-06512: at \"DEMO.PT_REFUSE\", line 4", 0),
        0u)
        << c.errorText();
}

TEST_F(PlsqlSession, BlocksChangeDataInTheSessionTransaction)
{
    ASSERT_EQ(db.run("create table pt_log (msg varchar2(40), at date)"), SUCCESS) << db.errorText();
    Var msg = Var::string("first"), count = Var::integer(std::nullopt);
    call(db,
        "begin\n  insert into pt_log (msg, at) values (:msg, sysdate);\n"
        "  :n := sql%rowcount;\nend;",
        { { ":msg", &msg }, { ":n", &count } });
    EXPECT_EQ(count.asInteger(), 1);

    Connection other;
    ASSERT_EQ(other.logon("DEMO", "DEMO"), SUCCESS);
    EXPECT_TRUE(column(other, "select msg from pt_log").empty()); // not committed yet
    ASSERT_EQ(db.rollback(), SUCCESS);
    EXPECT_TRUE(column(db, "select msg from pt_log").empty());

    // A commit inside the block ends the transaction; a query reads dates back as dates.
    Var d = Var::null(SQLT_DAT, 7);
    call(db,
        "declare\n  t date;\nbegin\n  insert into pt_log values ('second', "
        "to_date('2023-07-01 08:30:00', 'YYYY-MM-DD HH24:MI:SS'));\n  commit;\n"
        "  select at into t from pt_log where msg = 'second';\n  :d := t;\nend;",
        { { ":d", &d } });
    EXPECT_EQ(d.data, Var::date(2023, 7, 1, 8, 30, 0).data);
    EXPECT_EQ(column(other, "select msg from pt_log"), std::vector<std::string> { "second" });

    // A block ending in an unhandled exception leaves none of its changes; the transaction's
    // earlier work stays, and so does the work of a call that handled its exception.
    ASSERT_EQ(db.run("insert into pt_log (msg) values ('before')"), SUCCESS) << db.errorText();
    std::string error;
    EXPECT_EQ(call(db,
                  "begin\n  insert into pt_log (msg) values ('lost');\n"
                  "  raise_application_error(-20005, 'stop');\nend;",
                  {}, &error),
        ERROR);
    EXPECT_EQ(error.rfind("ORA-20005: stop", 0), 0u) << error;
    call(db,
        "begin\n  insert into pt_log (msg) values ('handled');\n  raise no_data_found;\n"
        "exception\n  when no_data_found then null;\nend;",
        {});
    EXPECT_EQ(column(db, "select msg from pt_log order by msg"),
        (std::vector<std::string> { "before", "handled", "second" }));
    ASSERT_EQ(db.rollback(), SUCCESS);
    // Without a transaction before it, the failing call leaves none either.
    EXPECT_EQ(call(db, "begin insert into pt_log (msg) values ('lost'); raise zero_divide; end;",
                  {}, &error),
        ERROR);
    ASSERT_EQ(db.commit(), SUCCESS);
    EXPECT_EQ(column(other, "select msg from pt_log"), std::vector<std::string> { "second" });
    ASSERT_EQ(db.run("drop table pt_log"), SUCCESS);
}

TEST_F(PlsqlSession, CallStatementRunsAProcedureOrAFunction)
{
    create("create or replace function pt_twice(n number) return number is\n"
           "begin\n  return n * 2;\nend;");
    Var n = Var::integer(21), r = Var::integer(std::nullopt);
    call(db, "call pt_twice(:n) into :r", { { ":n", &n }, { ":r", &r } });
    EXPECT_EQ(r.asInteger(), 42);
    Var module = Var::string("M");
    call(db, "CALL dbms_application_info.set_module(:m, null)", { { ":m", &module } });
}

TEST_F(PlsqlSession, BreakEndsASleepAndTheSessionWorksOn)
{
    auto sleeping = std::async(std::launch::async, [&] {
        Cursor c(db, "begin\n  sys.dbms_lock.sleep(30);\nend;");
        const sword status = c.execute(1);
        return std::make_pair(status, c.errorText());
    });
    ASSERT_TRUE(waitForCall(db.svc));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(api().Break(db.svc, db.err), SUCCESS);
    const auto [status, error] = sleeping.get();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(status, ERROR);
    EXPECT_EQ(error.rfind("ORA-01013: user requested cancel of current operation", 0), 0u) << error;

    // The break was for that call only.
    Var value = Var::integer(std::nullopt);
    call(db, "begin sys.dbms_lock.sleep(0.01); :v := 5; end;", { { ":v", &value } });
    EXPECT_EQ(value.asInteger(), 5);
}

TEST_F(PlsqlSession, StatementTypesAndFunctionCodesOfBlocksAndStoredCode)
{
    struct Case {
        const char *text;
        ub2 statementType;
        ub2 functionCode;
    };
    const Case cases[] = {
        { "begin null; end;", 8, 34 },
        { "  BEGIN\n  :x := 1;\nEND;", 8, 34 },
        { "declare n number; begin null; end;", 9, 34 },
        { "create or replace procedure pt_t is begin null; end;", 5, 24 },
        { "create function pt_t return number is begin return 1; end;", 5, 91 },
        { "create package pt_t is end;", 5, 94 },
        { "create package body pt_t is end;", 5, 97 },
        { "drop procedure pt_t", 6, 68 },
        { "drop package body pt_t", 6, 98 },
    };
    for (const Case &c : cases) {
        Cursor cursor(db, c.text);
        EXPECT_EQ(cursor.attribute2(ATTR_STMT_TYPE), c.statementType) << c.text;
        EXPECT_EQ(cursor.attribute2(ATTR_SQLFNCODE), c.functionCode) << c.text;
    }
    // Executed, a block still reports its kind.
    Cursor block(db, "declare n number; begin n := 1; end;");
    ASSERT_EQ(block.execute(1), SUCCESS) << block.errorText();
    EXPECT_EQ(block.attribute2(ATTR_STMT_TYPE), 9);
    EXPECT_EQ(block.attribute2(ATTR_SQLFNCODE), 34);
}
