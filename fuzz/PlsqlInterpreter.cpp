// Feeds arbitrary text to the stand-in's PL/SQL interpreter as an anonymous block or a CREATE
// of stored code. Every outcome must be a server error or success: no crash, no hang. Loops are
// bounded by an instruction budget, sleeps by a break that arrives after a short while.

#include "plsql/Interpreter.h"
#include "plsql/PlsqlHost.h"
#include "plsql/SessionState.h"
#include "sql/Dialect.h"

#include <sqlite3.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>

namespace {

using namespace qdsi::plsql;

class FuzzHost : public PlsqlHost {
public:
    FuzzHost()
    {
        sqlite3_open(":memory:", &db_);
        sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, 100000);
        sqlite3_exec(db_,
            "create table dual (dummy text); insert into dual values ('X');"
            "create table emp (empno integer, ename text, sal number);"
            "insert into emp values (1, 'A', 10); insert into emp values (2, 'B', 20);",
            nullptr, nullptr, nullptr);
    }
    ~FuzzHost() override { sqlite3_close(db_); }

    SqlResult executeSql(const std::string &text, const std::vector<NamedValue> &binds) override
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db_, text.c_str(), -1, &st, nullptr) != SQLITE_OK || !st) {
            sqlite3_finalize(st);
            throw qdsi::sql::oraError(900, "invalid SQL statement");
        }
        for (const NamedValue &b : binds) {
            const int i = sqlite3_bind_parameter_index(st, (":" + b.name).c_str());
            if (i > 0 && (b.value.kind == Value::Kind::Text || b.value.kind == Value::Kind::Date))
                sqlite3_bind_text(
                    st, i, b.value.text.c_str(), int(b.value.text.size()), SQLITE_TRANSIENT);
            else if (i > 0 && b.value.kind == Value::Kind::Integer)
                sqlite3_bind_int64(st, i, b.value.integer);
            else if (i > 0 && b.value.kind == Value::Kind::Real)
                sqlite3_bind_double(st, i, b.value.real);
        }
        SqlResult r;
        int rc;
        int rows = 0;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW && ++rows < 1000) {
            std::vector<Value> row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const unsigned char *t = sqlite3_column_text(st, c);
                row.push_back(t ? Value::fromText(reinterpret_cast<const char *>(t)) : Value());
            }
            r.rows.push_back(std::move(row));
        }
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            r.columns.push_back(sqlite3_column_name(st, c));
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            throw qdsi::sql::oraError(942, "table or view does not exist");
        r.rowCount = int64_t(r.rows.size());
        return r;
    }
    void commit() override { }
    void rollback() override { }
    std::string currentUser() override { return "FUZZ"; }
    std::shared_ptr<const StoredUnit> loadUnit(
        const std::string &owner, const std::string &name, UnitType type) override
    {
        auto it = units_.find({ owner, name, int(type) });
        return it == units_.end() ? nullptr : it->second;
    }
    void storeUnit(const StoredUnit &unit) override
    {
        auto copy = std::make_shared<StoredUnit>(unit);
        copy->version = ++version_;
        units_[{ unit.owner, unit.name, int(unit.type) }] = copy;
    }
    bool dropUnit(const std::string &owner, const std::string &name, UnitType type) override
    {
        return units_.erase({ owner, name, int(type) }) > 0;
    }
    bool breakRequested() override
    {
        return std::chrono::steady_clock::now() - start_ > std::chrono::milliseconds(20);
    }
    SessionState &sessionState() override { return state_; }

private:
    sqlite3 *db_ = nullptr;
    std::map<std::tuple<std::string, std::string, int>, std::shared_ptr<const StoredUnit>> units_;
    int64_t version_ = 0;
    SessionState state_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    FuzzHost host;
    Interpreter interpreter(host);
    interpreter.setInstructionBudget(20000);
    std::vector<Bind> binds(2);
    binds[0].name = "A";
    binds[0].maxLength = 10;
    binds[1].name = "B";
    binds[1].type = BindType::Integer;
    binds[1].value = Value::fromInteger(3);
    try {
        switch (classifyStatement(text).kind) {
        case StatementClass::Kind::CreateUnit:
            interpreter.createUnit(text);
            // Run what was stored, so that stored units are exercised too.
            interpreter.executeBlock("begin fuzz_entry; end;", binds);
            break;
        case StatementClass::Kind::DropUnit:
            interpreter.dropUnit(text);
            break;
        default:
            interpreter.executeBlock(text, binds);
            break;
        }
    } catch (const qdsi::sql::OraError &) {
    }
    return 0;
}
