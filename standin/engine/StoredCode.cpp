#include "engine/StoredCode.h"

#include "engine/OraErrors.h"
#include "engine/Session.h"
#include "engine/SessionQuery.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace qdsi::engine {

using plsql::StoredUnit;
using plsql::UnitType;

namespace {

const char *const schemaSql = R"(
CREATE TABLE IF NOT EXISTS QDSI_UNITS (OWNER VARCHAR2(128) NOT NULL, NAME VARCHAR2(128) NOT NULL,
    TYPE VARCHAR2(23) NOT NULL, STATUS VARCHAR2(7) NOT NULL, VERSION INTEGER NOT NULL,
    CREATED DATE TEXT, LAST_DDL_TIME DATE TEXT, PRIMARY KEY (OWNER, NAME, TYPE));
CREATE TABLE IF NOT EXISTS QDSI_SOURCE (OWNER VARCHAR2(128) NOT NULL, NAME VARCHAR2(128) NOT NULL,
    TYPE VARCHAR2(12) NOT NULL, LINE NUMBER NOT NULL, TEXT VARCHAR2(4000),
    PRIMARY KEY (OWNER, NAME, TYPE, LINE));
CREATE TABLE IF NOT EXISTS QDSI_ERRORS (OWNER VARCHAR2(128) NOT NULL, NAME VARCHAR2(128) NOT NULL,
    TYPE VARCHAR2(12) NOT NULL, SEQUENCE NUMBER NOT NULL, LINE NUMBER NOT NULL,
    POSITION NUMBER NOT NULL, TEXT VARCHAR2(4000) NOT NULL,
    PRIMARY KEY (OWNER, NAME, TYPE, SEQUENCE));
CREATE VIEW IF NOT EXISTS USER_SOURCE AS
    SELECT NAME, TYPE, LINE, TEXT FROM QDSI_SOURCE;
CREATE VIEW IF NOT EXISTS ALL_SOURCE AS
    SELECT OWNER, NAME, TYPE, LINE, TEXT FROM QDSI_SOURCE;
CREATE VIEW IF NOT EXISTS USER_ERRORS AS
    SELECT NAME, TYPE, SEQUENCE, LINE, POSITION, TEXT, 'ERROR' AS ATTRIBUTE FROM QDSI_ERRORS;
CREATE VIEW IF NOT EXISTS ALL_ERRORS AS
    SELECT OWNER, NAME, TYPE, SEQUENCE, LINE, POSITION, TEXT, 'ERROR' AS ATTRIBUTE
    FROM QDSI_ERRORS;
)";

// The statements here address one unit by owner, name and type in their first three places.
class Query : public SessionQuery {
public:
    using SessionQuery::SessionQuery;
    SessionQuery &unit(const std::string &owner, const std::string &name, UnitType type)
    {
        return text(1, owner).text(2, name).text(3, plsql::unitTypeName(type));
    }
};

bool tableExists(Session &session)
{
    Query q(session, "SELECT 1 FROM sqlite_master WHERE name = 'QDSI_UNITS'");
    return q.step();
}

std::string now()
{
    const std::time_t t = std::time(nullptr);
    std::tm tm {};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

} // namespace

int createStoredCodeTables(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    bool present = false;
    if (sqlite3_prepare_v2(
            db, "SELECT 1 FROM main.sqlite_master WHERE name = 'QDSI_UNITS'", -1, &st, nullptr)
        == SQLITE_OK)
        present = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return present ? SQLITE_OK : sqlite3_exec(db, schemaSql, nullptr, nullptr, nullptr);
}

void ensureStoredCodeTables(Session &session)
{
    // Checked first so that opening a session does not take the schema's write lock.
    if (tableExists(session))
        return;
    char *message = nullptr;
    const int rc = sqlite3_exec(session.db(), schemaSql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        throw session.sqliteError(rc);
}

std::optional<int64_t> storedUnitVersion(
    Session &session, const std::string &owner, const std::string &name, UnitType type)
{
    Query q(session, "SELECT VERSION FROM QDSI_UNITS WHERE OWNER = ?1 AND NAME = ?2 AND TYPE = ?3");
    q.unit(owner, name, type);
    if (!q.step())
        return std::nullopt;
    return q.integerAt(0);
}

std::shared_ptr<StoredUnit> readStoredUnit(
    Session &session, const std::string &owner, const std::string &name, UnitType type)
{
    auto unit = std::make_shared<StoredUnit>();
    {
        Query q(session,
            "SELECT STATUS, VERSION FROM QDSI_UNITS WHERE OWNER = ?1 AND NAME = ?2 AND TYPE = ?3");
        q.unit(owner, name, type);
        if (!q.step())
            return nullptr;
        unit->valid = q.textAt(0) == "VALID";
        unit->version = q.integerAt(1);
    }
    unit->owner = owner;
    unit->name = name;
    unit->type = type;
    {
        Query q(session,
            "SELECT TEXT FROM QDSI_SOURCE WHERE OWNER = ?1 AND NAME = ?2 AND TYPE = ?3 "
            "ORDER BY LINE");
        q.unit(owner, name, type);
        while (q.step())
            unit->lines.push_back(q.textAt(0));
    }
    // Every stored row ends its line; the unit's last line has no line end of its own.
    if (!unit->lines.empty() && !unit->lines.back().empty() && unit->lines.back().back() == '\n')
        unit->lines.back().pop_back();
    {
        Query q(session,
            "SELECT LINE, POSITION, TEXT FROM QDSI_ERRORS WHERE OWNER = ?1 AND NAME = ?2 "
            "AND TYPE = ?3 ORDER BY SEQUENCE");
        q.unit(owner, name, type);
        while (q.step())
            unit->errors.push_back({ static_cast<int>(q.integerAt(0)),
                static_cast<int>(q.integerAt(1)), q.textAt(2) });
    }
    return unit;
}

int64_t writeStoredUnit(Session &session, const StoredUnit &unit)
{
    session.beginChange();
    // Versions only grow, also across a drop and a new create and across processes, so that
    // package state of an older version is never taken for the new one.
    int64_t version = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch())
                          .count();
    std::string created = now();
    {
        Query q(session, "SELECT COALESCE(MAX(VERSION), 0) FROM QDSI_UNITS");
        if (q.step())
            version = std::max(version, q.integerAt(0) + 1);
    }
    {
        Query q(
            session, "SELECT CREATED FROM QDSI_UNITS WHERE OWNER = ?1 AND NAME = ?2 AND TYPE = ?3");
        q.unit(unit.owner, unit.name, unit.type);
        if (q.step() && !q.textAt(0).empty())
            created = q.textAt(0); // a replaced unit keeps its creation time
    }
    deleteStoredUnit(session, unit.owner, unit.name, unit.type);
    Query(session, "INSERT INTO QDSI_UNITS VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")
        .unit(unit.owner, unit.name, unit.type)
        .text(4, unit.valid ? "VALID" : "INVALID")
        .integer(5, version)
        .text(6, created)
        .text(7, now())
        .run();
    int64_t line = 0;
    for (const std::string &text : unit.lines) {
        const bool ended = !text.empty() && text.back() == '\n';
        Query(session, "INSERT INTO QDSI_SOURCE VALUES (?1, ?2, ?3, ?4, ?5)")
            .unit(unit.owner, unit.name, unit.type)
            .integer(4, ++line)
            .text(5, ended ? text : text + "\n")
            .run();
    }
    int64_t sequence = 0;
    for (const plsql::UnitError &e : unit.errors)
        Query(session, "INSERT INTO QDSI_ERRORS VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")
            .unit(unit.owner, unit.name, unit.type)
            .integer(4, ++sequence)
            .integer(5, e.line)
            .integer(6, e.position)
            .text(7, e.text)
            .run();
    return version;
}

bool deleteStoredUnit(
    Session &session, const std::string &owner, const std::string &name, UnitType type)
{
    session.beginChange();
    Query(session, "DELETE FROM QDSI_SOURCE WHERE OWNER = ?1 AND NAME = ?2 AND TYPE = ?3")
        .unit(owner, name, type)
        .run();
    Query(session, "DELETE FROM QDSI_ERRORS WHERE OWNER = ?1 AND NAME = ?2 AND TYPE = ?3")
        .unit(owner, name, type)
        .run();
    Query(session, "DELETE FROM QDSI_UNITS WHERE OWNER = ?1 AND NAME = ?2 AND TYPE = ?3")
        .unit(owner, name, type)
        .run();
    return sqlite3_changes(session.db()) > 0;
}

} // namespace qdsi::engine
