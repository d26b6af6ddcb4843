#pragma once

// A PL/SQL host for the interpreter's tests: SQL runs straight on an in-memory SQLite database
// (the tests keep their SQL to what SQLite and Oracle both accept), stored units live in a
// store that several sessions can share.

#include "plsql/Interpreter.h"
#include "plsql/PlsqlHost.h"
#include "plsql/SessionState.h"
#include "sql/Dialect.h"

#include <sqlite3.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>

namespace qdsi::plsql::test {

struct UnitStore {
    std::mutex mutex;
    std::map<std::tuple<std::string, std::string, int>, std::shared_ptr<const StoredUnit>> units;
    int64_t nextVersion = 1;
};

class SqliteDatabase {
public:
    SqliteDatabase()
    {
        if (sqlite3_open(":memory:", &db) != SQLITE_OK)
            throw std::runtime_error("cannot open SQLite");
        exec("create table dual (dummy varchar2(1)); insert into dual values ('X');");
    }
    ~SqliteDatabase() { sqlite3_close(db); }
    void exec(const std::string &sql)
    {
        char *err = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string m = err ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(m);
        }
    }
    sqlite3 *db = nullptr;
};

class TestHost : public PlsqlHost {
public:
    TestHost(SqliteDatabase &database, std::shared_ptr<UnitStore> store)
        : database_(database)
        , store_(std::move(store))
    {
    }

    SqlResult executeSql(
        const std::string &oracleSql, const std::vector<NamedValue> &binds) override
    {
        ++sqlCount;
        lastSql = oracleSql;
        sqlite3 *db = database_.db;
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, oracleSql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw sql::oraError(904, sqlite3_errmsg(db));
        for (const NamedValue &b : binds) {
            const int i = sqlite3_bind_parameter_index(st, (":" + b.name).c_str());
            if (i == 0)
                continue;
            const Value &v = b.value;
            switch (v.kind) {
            case Value::Kind::Integer:
                sqlite3_bind_int64(st, i, v.integer);
                break;
            case Value::Kind::Real:
                sqlite3_bind_double(st, i, v.real);
                break;
            case Value::Kind::Text:
            case Value::Kind::Date:
                sqlite3_bind_text(st, i, v.text.c_str(), int(v.text.size()), SQLITE_TRANSIENT);
                break;
            default:
                sqlite3_bind_null(st, i);
            }
        }
        if (!sqlite3_stmt_readonly(st) && sqlite3_get_autocommit(db))
            database_.exec("begin");
        SqlResult r;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            std::string name = sqlite3_column_name(st, c);
            for (char &ch : name)
                ch = char(std::toupper(static_cast<unsigned char>(ch)));
            r.columns.push_back(name);
        }
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::vector<Value> row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER:
                    row.push_back(Value::fromInteger(sqlite3_column_int64(st, c)));
                    break;
                case SQLITE_FLOAT:
                    row.push_back(Value::fromReal(sqlite3_column_double(st, c)));
                    break;
                case SQLITE_TEXT:
                    row.push_back(Value::fromText(
                        reinterpret_cast<const char *>(sqlite3_column_text(st, c))));
                    break;
                default:
                    row.push_back(Value());
                }
            }
            r.rows.push_back(std::move(row));
        }
        const bool query = sqlite3_column_count(st) > 0;
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) {
            const std::string m = sqlite3_errmsg(db);
            if (m.find("UNIQUE") != std::string::npos)
                throw sql::oraError(1, "unique constraint violated");
            throw sql::oraError(942, m);
        }
        r.rowCount = query ? int64_t(r.rows.size()) : sqlite3_changes(db);
        return r;
    }
    void commit() override
    {
        ++commits;
        if (!sqlite3_get_autocommit(database_.db))
            database_.exec("commit");
    }
    void rollback() override
    {
        ++rollbacks;
        if (!sqlite3_get_autocommit(database_.db))
            database_.exec("rollback");
    }
    std::string currentUser() override { return "SCOTT"; }

    std::shared_ptr<const StoredUnit> loadUnit(
        const std::string &owner, const std::string &name, UnitType type) override
    {
        std::lock_guard lock(store_->mutex);
        auto it = store_->units.find({ owner, name, int(type) });
        return it == store_->units.end() ? nullptr : it->second;
    }
    void storeUnit(const StoredUnit &unit) override
    {
        std::lock_guard lock(store_->mutex);
        auto copy = std::make_shared<StoredUnit>(unit);
        copy->version = store_->nextVersion++;
        store_->units[{ unit.owner, unit.name, int(unit.type) }] = copy;
    }
    bool dropUnit(const std::string &owner, const std::string &name, UnitType type) override
    {
        std::lock_guard lock(store_->mutex);
        return store_->units.erase({ owner, name, int(type) }) > 0;
    }
    bool breakRequested() override { return breakFlag.load(); }
    SessionState &sessionState() override { return state; }

    std::atomic<bool> breakFlag { false };
    SessionState state;
    int sqlCount = 0;
    int commits = 0;
    int rollbacks = 0;
    std::string lastSql;

private:
    SqliteDatabase &database_;
    std::shared_ptr<UnitStore> store_;
};

} // namespace qdsi::plsql::test

#include <gtest/gtest.h>

namespace qdsi::plsql::test {

inline Bind stringBind(const std::string &name, const std::string &value, int maxLength = 2000)
{
    Bind b;
    b.name = name;
    b.type = BindType::String;
    b.maxLength = maxLength;
    b.value = Value::fromText(value);
    return b;
}

inline Bind integerBind(const std::string &name, std::optional<int64_t> value = std::nullopt)
{
    Bind b;
    b.name = name;
    b.type = BindType::Integer;
    if (value)
        b.value = Value::fromInteger(*value);
    return b;
}

inline Bind floatBind(const std::string &name, std::optional<double> value = std::nullopt)
{
    Bind b;
    b.name = name;
    b.type = BindType::Float;
    if (value)
        b.value = Value::fromReal(*value);
    return b;
}

inline const Bind &bindNamed(const std::vector<Bind> &binds, const std::string &name)
{
    for (const Bind &b : binds)
        if (b.name == name)
            return b;
    throw std::runtime_error("no bind " + name);
}

// One interpreter session on a fresh database with its own unit store.
class PlsqlFixture : public ::testing::Test {
protected:
    SqliteDatabase database;
    std::shared_ptr<UnitStore> store = std::make_shared<UnitStore>();
    TestHost host { database, store };
    Interpreter interpreter { host };

    // EMP (empno, ename, sal, deptno) with SMITH (1, 800, 20), ALLEN (2, 1600, 30) and WARD
    // (3, 1250, 30).
    void createEmp()
    {
        database.exec("create table emp (empno integer primary key, ename varchar2(10), "
                      "sal number, deptno integer);"
                      "insert into emp values (1, 'SMITH', 800, 20);"
                      "insert into emp values (2, 'ALLEN', 1600, 30);"
                      "insert into emp values (3, 'WARD', 1250, 30);");
    }

    void create(const std::string &text)
    {
        const CreateResult r = interpreter.createUnit(text);
        if (r.compiledWithErrors) {
            auto unit = host.loadUnit(r.owner, r.name, r.type);
            std::string errors;
            for (const auto &e : unit->errors)
                errors += std::to_string(e.line) + "/" + std::to_string(e.position) + " " + e.text
                    + "\n";
            FAIL() << "compilation errors:\n" << errors;
        }
    }

    void run(const std::string &block, std::vector<Bind> &binds)
    {
        interpreter.executeBlock(block, binds);
    }

    void run(const std::string &block)
    {
        std::vector<Bind> none;
        interpreter.executeBlock(block, none);
    }

    // Runs a block that must fail and returns the server error.
    sql::OraError failure(const std::string &block, std::vector<Bind> binds = {})
    {
        try {
            interpreter.executeBlock(block, binds);
        } catch (const sql::OraError &e) {
            return e;
        }
        ADD_FAILURE() << "block did not fail:\n" << block;
        return sql::OraError(0, "");
    }

    // Runs a block that assigns :r and returns the value as text.
    std::string result(const std::string &block)
    {
        std::vector<Bind> binds { stringBind("R", "", 4000) };
        binds[0].value = Value();
        interpreter.executeBlock(block, binds);
        return binds[0].value.isNull() ? "<null>" : binds[0].value.toText();
    }
};

} // namespace qdsi::plsql::test
