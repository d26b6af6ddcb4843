// Stored PL/SQL units in the stand-in's interpreter: CREATE with its dictionary rows and
// compile errors, calls with positional, named, default and OUT arguments, package state per
// session, public cursors, DROP.

#include "PlsqlTestHost.h"
#include "plsql/Dictionary.h"

#include <gtest/gtest.h>

namespace qdsi::plsql::test {
namespace {

class PlsqlStoredCode : public PlsqlFixture {
protected:
    void SetUp() override { createEmp(); }

    std::shared_ptr<const StoredUnit> unit(const std::string &name, UnitType type)
    {
        return host.loadUnit("SCOTT", name, type);
    }
};

TEST_F(PlsqlStoredCode, ProcedureWithDefaultsNamedAndOutArguments)
{
    create("create or replace procedure add_emp(p_no integer, p_name varchar2,\n"
           "  p_sal number default 1000, p_total out number) is\n"
           "begin\n"
           "  insert into emp values (p_no, p_name, p_sal, 10);\n"
           "  select sum(sal) into p_total from emp;\n"
           "end;");
    std::vector<Bind> binds { floatBind("T") };
    run("begin add_emp(5, 'NEW', p_total => :t); end;", binds);
    EXPECT_EQ(bindNamed(binds, "T").value.toReal(), 800 + 1600 + 1250 + 1000);
    run("begin scott.add_emp(p_total => :t, p_name => 'SIX', p_no => 6, p_sal => 1); end;", binds);
    EXPECT_EQ(bindNamed(binds, "T").value.toReal(), 4651);

    const sql::OraError missing = failure("begin add_emp(7); end;");
    EXPECT_EQ(missing.code, 6550);
    EXPECT_NE(missing.text.find("PLS-00306: wrong number or types of arguments in call to "
                                "'ADD_EMP'"),
        std::string::npos)
        << missing.text;
    EXPECT_NE(failure("declare n number; begin add_emp(7, 'X', 1, 5); end;").text.find("PLS-00363"),
        std::string::npos)
        << "a literal cannot take an OUT value";
}

TEST_F(PlsqlStoredCode, SourceIsStoredOneLinePerRowFromTheKindWord)
{
    create("create or replace procedure two_lines is\nbegin\n  null;\nend;\n/\n");
    auto u = unit("TWO_LINES", UnitType::Procedure);
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->valid);
    EXPECT_EQ(u->lines,
        (std::vector<std::string> { "procedure two_lines is\n", "begin\n", "  null;\n", "end;" }));
}

TEST_F(PlsqlStoredCode, FunctionCalledFromExpressions)
{
    create("create function double_it(x number) return number is\nbegin\n  return x * 2;\nend;");
    EXPECT_EQ(result("begin :r := double_it(21) + scott.double_it(1); end;"), "44");
    create("create function no_return(x number) return number is begin null; end;");
    const sql::OraError e = failure("declare v number; begin v := no_return(1); end;");
    EXPECT_EQ(e.code, 6503);
}

TEST_F(PlsqlStoredCode, CompileErrorIsStoredWithLineAndPosition)
{
    const CreateResult r = interpreter.createUnit("create or replace procedure broken is\n"
                                                  "begin\n"
                                                  "  x := ;\n"
                                                  "end;");
    EXPECT_TRUE(r.compiledWithErrors);
    EXPECT_EQ(Interpreter::compilationWarningText(), "ORA-24344: success with compilation error");
    auto u = unit("BROKEN", UnitType::Procedure);
    ASSERT_TRUE(u);
    EXPECT_FALSE(u->valid);
    ASSERT_EQ(u->errors.size(), 1u);
    EXPECT_EQ(u->errors[0].line, 3);
    EXPECT_EQ(u->errors[0].position, 8);
    EXPECT_EQ(u->errors[0].text.rfind("PLS-00103: Encountered the symbol \";\" when expecting "
                                      "one of the following:",
                  0),
        0u);
    EXPECT_EQ(u->lines.size(), 4u) << "an invalid unit keeps its source";

    const sql::OraError call = failure("begin\n  broken;\nend;");
    EXPECT_EQ(call.code, 6550);
    EXPECT_NE(call.text.find("PLS-00905: object SCOTT.BROKEN is invalid"), std::string::npos)
        << call.text;

    create("create or replace procedure broken is\nbegin\n  null;\nend;");
    EXPECT_TRUE(unit("BROKEN", UnitType::Procedure)->valid);
    run("begin broken; end;");
}

TEST_F(PlsqlStoredCode, PackageBodyIsCheckedAgainstItsSpecification)
{
    EXPECT_TRUE(interpreter.createUnit("create package body lonely is end;").compiledWithErrors);
    auto lonely = unit("LONELY", UnitType::PackageBody);
    ASSERT_TRUE(lonely);
    ASSERT_FALSE(lonely->errors.empty());
    EXPECT_EQ(lonely->errors.back().text,
        "PLS-00304: cannot compile body of 'LONELY' without its header");

    create("create package half is\n  procedure a;\n  procedure b;\nend;");
    EXPECT_TRUE(interpreter
                    .createUnit("create package body half is\n  procedure a is begin null; end;\n"
                                "end;")
                    .compiledWithErrors);
    auto half = unit("HALF", UnitType::PackageBody);
    ASSERT_EQ(half->errors.size(), 1u);
    EXPECT_EQ(half->errors[0].line, 3);
    EXPECT_NE(half->errors[0].text.find("PLS-00323: subprogram or cursor 'B'"), std::string::npos);
}

TEST_F(PlsqlStoredCode, CreateWithoutReplaceOfAnExistingUnitFails)
{
    create("create procedure once is begin null; end;");
    try {
        interpreter.createUnit("create procedure once is begin null; end;");
        FAIL() << "second create succeeded";
    } catch (const sql::OraError &e) {
        EXPECT_EQ(e.code, 955);
    }
}

const char *counterSpec = "create or replace package counter is\n"
                          "  hits integer := 0;\n"
                          "  function next_value return integer;\n"
                          "end counter;";
const char *counterBody = "create or replace package body counter is\n"
                          "  function next_value return integer is\n"
                          "  begin\n"
                          "    hits := hits + 1;\n"
                          "    return hits;\n"
                          "  end;\n"
                          "end counter;";

TEST_F(PlsqlStoredCode, PackageStateLivesPerSession)
{
    create(counterSpec);
    create(counterBody);
    EXPECT_EQ(result("begin :r := counter.next_value; end;"), "1");
    EXPECT_EQ(result("begin :r := counter.next_value; end;"), "2");
    EXPECT_EQ(result("begin :r := counter.hits; end;"), "2");

    TestHost other(database, store);
    Interpreter second(other);
    std::vector<Bind> binds { integerBind("R") };
    second.executeBlock("begin :r := counter.next_value; end;", binds);
    EXPECT_EQ(binds[0].value.toInteger(), 1) << "another session starts with its own state";

    EXPECT_EQ(result("begin :r := counter.next_value; end;"), "3");
    create("create function plus_one(x number) return number is begin return x + 1; end;");
    EXPECT_EQ(result("begin :r := plus_one(counter.next_value); end;"), "5");
    EXPECT_EQ(result("begin :r := counter.hits; end;"), "4") << "arguments are evaluated once";
    create(counterBody);
    EXPECT_EQ(result("begin :r := counter.next_value; end;"), "1")
        << "a recompiled package starts afresh";
}

TEST_F(PlsqlStoredCode, PackageInitialisationAndPrivateState)
{
    create("create package cfg is\n  function get return varchar2;\nend;");
    create("create package body cfg is\n"
           "  secret varchar2(10);\n"
           "  function get return varchar2 is begin return secret; end;\n"
           "begin\n"
           "  secret := 'init';\n"
           "end;");
    EXPECT_EQ(result("begin :r := cfg.get; end;"), "init");
    EXPECT_EQ(failure("begin :r := cfg.secret; end;", { stringBind("R", "") }).code, 6550)
        << "body variables are private";
}

// The throw-away package a tuning run creates around a statement, called the way the client
// library's package calls do.
TEST_F(PlsqlStoredCode, PublicCursorOfAGeneratedPackage)
{
    const std::string name = "SCOTT739_4211";
    create("create or replace package " + name
        + " as\n"
          "  cursor cur_tune is\n"
          "select ename from emp where deptno = 30 order by empno\n"
          ";\n"
          "  rec_tune cur_tune%rowtype;\n"
          "  procedure cur_open;\n"
          "  procedure cur_fetch;\n"
          "  function cur_eof return boolean;\n"
          "  function cur_rowcount return number;\n"
          "  procedure cur_close;\n"
          "end;");
    create("create or replace package body " + name
        + " as\n"
          "procedure cur_open is\nbegin\n  open "
        + name
        + ".cur_tune;\nend;\n"
          "procedure cur_fetch is\nbegin\n  fetch "
        + name + ".cur_tune into " + name
        + ".rec_tune;\nend;\n"
          "function cur_eof return boolean is\nbegin\n"
          "  if ("
        + name + ".cur_tune%notfound is not null) and (" + name
        + ".cur_tune%notfound)\n"
          "    then return true;\n    else return false;\n  end if;\nend;\n"
          "function cur_rowcount return number is\nbegin\n  return "
        + name
        + ".cur_tune%rowcount;\nend;\n"
          "procedure cur_close is\nbegin\n  close "
        + name
        + ".cur_tune;\nend;\n"
          "end;");

    auto eof = [&] {
        std::vector<Bind> b { integerBind("ZEB__VALUE") };
        run("begin\n  :zeb__value := sys.diutil.bool_to_int(" + name + ".cur_eof);\nend;", b);
        return b[0].value.toInteger() != 0;
    };
    run("begin\n  " + name + ".cur_open;\nend;");
    int fetched = 0;
    while (!eof()) {
        run("begin\n  " + name + ".cur_fetch;\nend;");
        ++fetched;
        ASSERT_LT(fetched, 10);
    }
    std::vector<Bind> count { floatBind("ZEB__VALUE") };
    run("begin\n  :zeb__value := " + name + ".cur_rowcount;\nend;", count);
    EXPECT_EQ(count[0].value.toInteger(), 2);
    EXPECT_EQ(fetched, 3) << "the third fetch finds no row and sets %notfound";
    EXPECT_EQ(result("begin :r := " + name + ".rec_tune.ename; end;"), "WARD");
    run("begin\n  " + name + ".cur_close;\nend;");
    EXPECT_EQ(failure("begin\n  " + name + ".cur_close;\nend;").code, 1001)
        << "closing a closed cursor is an invalid cursor";

    interpreter.dropUnit("drop package " + name);
    EXPECT_FALSE(unit(name, UnitType::Package));
    EXPECT_FALSE(unit(name, UnitType::PackageBody)) << "the body goes with the package";
}

TEST_F(PlsqlStoredCode, ErrorsLeavingStoredUnitsNameEachLine)
{
    create("create procedure fail_deep is\nbegin\n  null;\n"
           "  raise_application_error(-20042, 'deep trouble');\nend;");
    create("create package wrap is\n  procedure go;\nend;");
    create("create package body wrap is\n  procedure go is\n  begin\n    fail_deep;\n  end;\nend;");
    const sql::OraError e = failure("begin\n  wrap.go;\nend;");
    EXPECT_EQ(e.code, 20042);
    EXPECT_EQ(e.text,
        "ORA-20042: deep trouble\n"
        "ORA-06512: at \"SCOTT.FAIL_DEEP\", line 4\n"
        "ORA-06512: at \"SCOTT.WRAP\", line 4\n"
        "ORA-06512: at line 2");
    EXPECT_EQ(result("begin fail_deep; exception when others then :r := sqlerrm; end;"),
        "ORA-20042: deep trouble");
}

TEST_F(PlsqlStoredCode, DropRemovesTheUnit)
{
    create("create procedure gone is begin null; end;");
    interpreter.dropUnit("DROP PROCEDURE scott.gone");
    const sql::OraError e = failure("begin gone; end;");
    EXPECT_NE(e.text.find("PLS-00201: identifier 'GONE' must be declared"), std::string::npos);
    try {
        interpreter.dropUnit("drop procedure gone");
        FAIL() << "dropping a missing unit succeeded";
    } catch (const sql::OraError &err) {
        EXPECT_EQ(err.code, 4043);
        EXPECT_EQ(err.text, "ORA-04043: object GONE does not exist");
    }
}

TEST_F(PlsqlStoredCode, TriggersAndTypesAreStored)
{
    create("create or replace trigger emp_bi before insert on emp for each row\n"
           "begin\n  :new.sal := nvl(:new.sal, 0);\nend;");
    auto trigger = unit("EMP_BI", UnitType::Trigger);
    ASSERT_TRUE(trigger);
    EXPECT_TRUE(trigger->valid);
    create("create or replace type point as object (x number, y number);");
    EXPECT_TRUE(unit("POINT", UnitType::Type));
    EXPECT_TRUE(interpreter
                    .createUnit("create or replace trigger bad_trg after delete on emp\n"
                                "begin\n  if then null; end if;\nend;")
                    .compiledWithErrors);
}

TEST_F(PlsqlStoredCode, RecursionIsBounded)
{
    create("create procedure forever(n integer) is begin forever(n + 1); end;");
    const sql::OraError e = failure("begin forever(1); end;");
    EXPECT_EQ(e.code, 6500);
}

TEST_F(PlsqlStoredCode, ArgumentRowsForTheDictionary)
{
    create("create package api is\n"
           "  procedure ping;\n"
           "  procedure put(a varchar2, b in out number, c out date, d boolean default null);\n"
           "  procedure put(a varchar2);\n"
           "  function ok(n integer) return boolean;\n"
           "end;");
    const auto rows = describeArguments(*unit("API", UnitType::Package));
    struct Expected {
        const char *object;
        int overload; // 0 = none
        int position;
        const char *argument;
        const char *type;
        const char *inOut;
    } expected[] = {
        { "PING", 0, 1, "", "", "IN" },
        { "PUT", 1, 1, "A", "VARCHAR2", "IN" },
        { "PUT", 1, 2, "B", "NUMBER", "IN/OUT" },
        { "PUT", 1, 3, "C", "DATE", "OUT" },
        { "PUT", 1, 4, "D", "PL/SQL BOOLEAN", "IN" },
        { "PUT", 2, 1, "A", "VARCHAR2", "IN" },
        { "OK", 0, 0, "", "PL/SQL BOOLEAN", "OUT" },
        { "OK", 0, 1, "N", "NUMBER", "IN" },
    };
    ASSERT_EQ(rows.size(), std::size(expected));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].packageName, "API");
        EXPECT_EQ(rows[i].objectName, expected[i].object);
        EXPECT_EQ(rows[i].overload.value_or(0), expected[i].overload);
        EXPECT_EQ(rows[i].position, expected[i].position);
        EXPECT_EQ(rows[i].argumentName, expected[i].argument);
        EXPECT_EQ(rows[i].dataType, expected[i].type);
        EXPECT_EQ(rows[i].inOut, expected[i].inOut);
    }
    EXPECT_TRUE(rows[4].defaulted);

    create("create function twice(x number) return number is begin return 2 * x; end;");
    const auto fn = describeArguments(*unit("TWICE", UnitType::Function));
    ASSERT_EQ(fn.size(), 2u);
    EXPECT_EQ(fn[0].packageName, "");
    EXPECT_EQ(fn[0].position, 0);
    EXPECT_EQ(fn[1].argumentName, "X");
}

TEST_F(PlsqlStoredCode, TriggerPartsForTheDictionary)
{
    create("create or replace trigger scott.emp_biu\n"
           "  before insert or update on emp\n"
           "  for each row when (new.sal > 0)\n"
           "declare\n  x integer;\nbegin\n  null;\nend;");
    const auto t = describeTrigger(*unit("EMP_BIU", UnitType::Trigger));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->description,
        "scott.emp_biu\n  before insert or update on emp\n  for each row when "
        "(new.sal > 0)\n");
    EXPECT_EQ(t->body, "declare\n  x integer;\nbegin\n  null;\nend;");
    EXPECT_EQ(t->triggerType, "BEFORE EACH ROW");
    EXPECT_EQ(t->triggeringEvent, "INSERT OR UPDATE");
    EXPECT_EQ(t->tableName, "EMP");
    EXPECT_EQ(t->whenClause, "new.sal > 0");
}

} // namespace
} // namespace qdsi::plsql::test
