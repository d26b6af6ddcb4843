#include "engine/IdentityColumns.h"

#include "engine/OraErrors.h"
#include "engine/Session.h"
#include "engine/SessionQuery.h"
#include "sql/Lexer.h"

namespace qdsi::engine {

namespace {

const char *const kCreateSide
    = "CREATE TABLE IF NOT EXISTS main.QDSI_IDENTITY_COLS (TABLE_NAME TEXT, COLUMN_NAME TEXT, "
      "GENERATION_TYPE TEXT, ON_NULL INTEGER, SEQUENCE_NAME TEXT, START_WITH INTEGER, "
      "INCREMENT_BY INTEGER, PRIMARY KEY (TABLE_NAME, COLUMN_NAME))";
const char *const kCreateSequences
    = "CREATE TABLE IF NOT EXISTS main.QDSI_SEQUENCES (NAME TEXT PRIMARY KEY, LAST_NUMBER "
      "INTEGER, INCREMENT_BY INTEGER, STARTED INTEGER)";

bool sideTableExists(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db,
            "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = 'QDSI_IDENTITY_COLS'",
            -1, &st, nullptr)
        == SQLITE_OK)
        found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
}

std::string sequenceOf(Session &session, const std::string &table, const std::string &column)
{
    if (!sideTableExists(session.db()))
        return {};
    SessionQuery q(session,
        "SELECT SEQUENCE_NAME FROM main.QDSI_IDENTITY_COLS WHERE TABLE_NAME = ?1 AND "
        "COLUMN_NAME = ?2");
    q.text(1, table).text(2, column);
    return q.step() ? q.textAt(0) : std::string();
}

} // namespace

void createIdentities(
    Session &session, const std::string &table, const std::vector<sql::IdentityDefinition> &ids)
{
    if (ids.empty())
        return;
    // The server names the sequence after the table's object number, as the dictionary shows.
    const int64_t objectNumber = session.tableNumber(table);
    session.write(kCreateSide);
    session.write(kCreateSequences);
    for (const sql::IdentityDefinition &d : ids) {
        const std::string sequence = "ISEQ$$_" + std::to_string(objectNumber);
        SessionQuery seq(session, "INSERT INTO main.QDSI_SEQUENCES VALUES (?1, ?2, ?3, 0)");
        seq.text(1, sequence).integer(2, d.sequence.start).integer(3, d.sequence.increment);
        seq.run();
        SessionQuery row(session,
            "INSERT OR REPLACE INTO main.QDSI_IDENTITY_COLS VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        row.text(1, table)
            .text(2, d.column)
            .text(3, d.always ? "ALWAYS" : "BY DEFAULT")
            .integer(4, d.onNull ? 1 : 0)
            .text(5, sequence)
            .integer(6, d.sequence.start)
            .integer(7, d.sequence.increment);
        row.run();
    }
}

void alterIdentity(Session &session, const std::string &table, const sql::IdentityDefinition &d)
{
    const std::string sequence = sequenceOf(session, table, d.column);
    if (sequence.empty())
        throw oraFail(30673);
    session.commit();
    session.write("SAVEPOINT QD_IDENTITY");
    try {
        if (d.drop) {
            SessionQuery del(session,
                "DELETE FROM main.QDSI_IDENTITY_COLS WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2");
            del.text(1, table).text(2, d.column).run();
            SessionQuery seq(session, "DELETE FROM main.QDSI_SEQUENCES WHERE NAME = ?1");
            seq.text(1, sequence).run();
        } else {
            SessionQuery gen(session,
                "UPDATE main.QDSI_IDENTITY_COLS SET GENERATION_TYPE = ?3, ON_NULL = ?4 "
                "WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2");
            gen.text(1, table)
                .text(2, d.column)
                .text(3, d.always ? "ALWAYS" : "BY DEFAULT")
                .integer(4, d.onNull ? 1 : 0)
                .run();
            if (d.incrementGiven) {
                SessionQuery inc(session,
                    "UPDATE main.QDSI_SEQUENCES SET INCREMENT_BY = ?2 WHERE NAME = ?1");
                inc.text(1, sequence).integer(2, d.sequence.increment).run();
                SessionQuery opt(session,
                    "UPDATE main.QDSI_IDENTITY_COLS SET INCREMENT_BY = ?3 "
                    "WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2");
                opt.text(1, table).text(2, d.column).integer(3, d.sequence.increment).run();
            }
            if (d.startGiven) {
                // The next number handed out: the given start, or past the column's highest
                // value (its lowest for a descending sequence) with LIMIT VALUE.
                int64_t next = d.sequence.start;
                if (d.limitValue) {
                    SessionQuery inc(
                        session, "SELECT INCREMENT_BY, LAST_NUMBER FROM main.QDSI_SEQUENCES WHERE NAME = ?1");
                    inc.text(1, sequence);
                    const int64_t by = inc.step() ? inc.integerAt(0) : 1;
                    const std::string column = sql::quoteName(d.column);
                    SessionQuery limit(session,
                        "SELECT " + std::string(by > 0 ? "max(" : "min(") + column + ") FROM main."
                            + sql::quoteName(table));
                    next = limit.step() && !limit.isNull(0) ? limit.integerAt(0) + by
                                                            : inc.integerAt(1);
                }
                SessionQuery restart(session,
                    "UPDATE main.QDSI_SEQUENCES SET LAST_NUMBER = ?2, STARTED = 0 WHERE NAME = ?1");
                restart.text(1, sequence).integer(2, next).run();
                if (!d.limitValue) {
                    SessionQuery opt(session,
                        "UPDATE main.QDSI_IDENTITY_COLS SET START_WITH = ?3 "
                        "WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2");
                    opt.text(1, table).text(2, d.column).integer(3, next).run();
                }
            }
        }
        session.write("RELEASE QD_IDENTITY");
    } catch (...) {
        sqlite3_exec(session.db(), "ROLLBACK TO QD_IDENTITY; RELEASE QD_IDENTITY", nullptr, nullptr,
            nullptr);
        throw;
    }
}

void dropIdentities(Session &session, const std::string &table)
{
    if (!sideTableExists(session.db()))
        return;
    SessionQuery seq(session,
        "DELETE FROM main.QDSI_SEQUENCES WHERE NAME IN (SELECT SEQUENCE_NAME FROM "
        "main.QDSI_IDENTITY_COLS WHERE TABLE_NAME = ?1)");
    seq.text(1, table).run();
    SessionQuery del(session, "DELETE FROM main.QDSI_IDENTITY_COLS WHERE TABLE_NAME = ?1");
    del.text(1, table).run();
}

bool isIdentitySequence(sqlite3 *db, const std::string &sequence)
{
    if (!sideTableExists(db))
        return false;
    sqlite3_stmt *st = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM main.QDSI_IDENTITY_COLS WHERE SEQUENCE_NAME = ?1",
            -1, &st, nullptr)
        == SQLITE_OK) {
        sqlite3_bind_text(st, 1, sequence.c_str(), -1, SQLITE_TRANSIENT);
        found = sqlite3_step(st) == SQLITE_ROW;
    }
    sqlite3_finalize(st);
    return found;
}

std::vector<std::pair<std::string, sql::IdentityKind>> identityColumns(
    sqlite3 *db, const std::string &table)
{
    std::vector<std::pair<std::string, sql::IdentityKind>> out;
    if (!sideTableExists(db))
        return out;
    sqlite3_stmt *st = nullptr;
    // Columns in table order, each joined with its identity row (if any).
    const std::string sql = "SELECT upper(c.name), i.GENERATION_TYPE, i.ON_NULL FROM "
                            "pragma_table_info(?1, 'main') c LEFT JOIN main.QDSI_IDENTITY_COLS i "
                            "ON i.TABLE_NAME = ?1 AND i.COLUMN_NAME = upper(c.name) ORDER BY c.cid";
    bool any = false;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto *name = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
            const auto *gen = reinterpret_cast<const char *>(sqlite3_column_text(st, 1));
            sql::IdentityKind kind = sql::IdentityKind::None;
            if (gen)
                kind = std::string(gen) == "ALWAYS" ? sql::IdentityKind::Always
                    : sqlite3_column_int(st, 2)      ? sql::IdentityKind::OnNull
                                                     : sql::IdentityKind::ByDefault;
            any |= kind != sql::IdentityKind::None;
            out.emplace_back(name ? name : "", kind);
        }
    }
    sqlite3_finalize(st);
    if (!any)
        out.clear();
    return out;
}

int64_t identityNext(Session &session, const std::string &table, const std::string &column)
{
    const std::string sequence = sequenceOf(session, table, column);
    if (sequence.empty()) // DROP IDENTITY left the column NOT NULL without a default
        throw oraFail(1400, "\"" + session.user() + "\".\"" + table + "\".\"" + column + "\"");
    return session.nextval(sequence);
}

} // namespace qdsi::engine
