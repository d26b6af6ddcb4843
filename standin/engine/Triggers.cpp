#include "engine/Triggers.h"

#include "engine/OraErrors.h"
#include "engine/PlsqlSessionHost.h"
#include "engine/Schemas.h"
#include "engine/Session.h"
#include "plsql/Dictionary.h"
#include "plsql/Interpreter.h"
#include "plsql/Lexer.h"
#include "sql/Lexer.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace qdsi::engine {

using sql::StatementKind;

struct Triggers::Trigger {
    std::string owner, name, table;
    bool before = false, rowLevel = false;
    bool onInsert = false, onUpdate = false, onDelete = false;
    std::vector<std::string> updateOf; // UPDATE OF columns; empty: any update
    bool valid = true;
    std::string body, when;

    bool firesOn(StatementKind kind, const std::vector<std::string> &setColumns) const
    {
        if (kind == StatementKind::Insert)
            return onInsert;
        if (kind == StatementKind::Delete)
            return onDelete;
        if (kind != StatementKind::Update || !onUpdate)
            return false;
        if (updateOf.empty())
            return true;
        for (const std::string &c : updateOf)
            if (std::find(setColumns.begin(), setColumns.end(), c) != setColumns.end())
                return true;
        return false;
    }
};

struct Triggers::Row {
    std::vector<std::string> columns;
    std::vector<plsql::BindType> types;
    std::vector<plsql::Value> oldValues, newValues;
    bool newChanged = false;
};

namespace {

constexpr const char *disabledTable = "QDSI_DISABLED_TRIGGERS";

std::vector<std::vector<std::string>> rows(sqlite3 *db, const std::string &sql,
    const std::vector<std::string> &args = {})
{
    std::vector<std::vector<std::string>> out;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return out;
    }
    for (size_t i = 0; i < args.size(); ++i)
        sqlite3_bind_text(st, static_cast<int>(i + 1), args[i].c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            const auto *t = sqlite3_column_text(st, c);
            row.emplace_back(t ? reinterpret_cast<const char *>(t) : "");
        }
        out.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return out;
}

bool tableExists(sqlite3 *db, const std::string &database, const std::string &table)
{
    return !rows(db,
        "SELECT 1 FROM " + quoteSqlName(database) + ".sqlite_master WHERE type = 'table' AND "
                                                    "name = ?1",
        { table })
                .empty();
}

plsql::Value toValue(sqlite3_value *v, bool isDate)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return plsql::Value::fromInteger(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return plsql::Value::fromReal(sqlite3_value_double(v));
    case SQLITE_TEXT: {
        std::string text(reinterpret_cast<const char *>(sqlite3_value_text(v)),
            static_cast<size_t>(sqlite3_value_bytes(v)));
        if (isDate && !text.empty())
            return plsql::Value::fromDate(std::move(text));
        return plsql::Value::fromText(std::move(text));
    }
    default:
        return plsql::Value::null();
    }
}

void resultValue(sqlite3_context *ctx, const plsql::Value &v)
{
    using Kind = plsql::Value::Kind;
    switch (v.kind) {
    case Kind::Integer:
        sqlite3_result_int64(ctx, v.integer);
        break;
    case Kind::Real:
        sqlite3_result_double(ctx, v.real);
        break;
    case Kind::Boolean:
        sqlite3_result_int(ctx, v.boolean ? 1 : 0);
        break;
    case Kind::Null:
        sqlite3_result_null(ctx);
        break;
    default: {
        const std::string text = v.toText();
        sqlite3_result_text(ctx, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    }
}

bool sameValue(const plsql::Value &a, const plsql::Value &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.toText() == b.toText();
}

// The trigger's text with :new.col / :old.col (new.col / old.col in a WHEN condition) as the
// binds QDN_COL / QDO_COL, and INSERTING, UPDATING [('col')] and DELETING as TRUE or FALSE.
std::string rewriteTriggerText(const std::string &text, bool when, StatementKind event,
    const std::vector<std::string> &setColumns)
{
    const std::vector<plsql::Token> tokens = plsql::tokenize(text);
    std::string out;
    size_t copied = 0;
    auto emit = [&](size_t from, size_t to, const std::string &replacement) {
        out += text.substr(copied, from - copied) + replacement;
        copied = to;
    };
    using Kind = plsql::Token::Kind;
    for (size_t i = 0; i < tokens.size() && tokens[i].kind != Kind::End; ++i) {
        const plsql::Token &t = tokens[i];
        const std::string word = sql::upperCase(t.text);
        const bool recordName = (t.kind == Kind::Bind || (when && t.kind == Kind::Name))
            && (word == "NEW" || word == "OLD");
        if (recordName && i + 2 < tokens.size() && tokens[i + 1].is(".")
            && (tokens[i + 2].kind == Kind::Name || tokens[i + 2].kind == Kind::QuotedName)) {
            emit(t.offset, tokens[i + 2].endOffset,
                std::string(word == "NEW" ? ":QDN_" : ":QDO_") + tokens[i + 2].text);
            i += 2;
            continue;
        }
        const bool predicate = t.kind == Kind::Name
            && (word == "INSERTING" || word == "UPDATING" || word == "DELETING")
            && !(i > 0 && tokens[i - 1].is("."));
        if (!predicate)
            continue;
        bool value = (word == "INSERTING" && event == StatementKind::Insert)
            || (word == "UPDATING" && event == StatementKind::Update)
            || (word == "DELETING" && event == StatementKind::Delete);
        size_t end = t.endOffset;
        if (word == "UPDATING" && i + 3 < tokens.size() && tokens[i + 1].is("(")
            && tokens[i + 2].kind == Kind::String && tokens[i + 3].is(")")) {
            const std::string column = sql::upperCase(tokens[i + 2].text);
            value = value
                && std::find(setColumns.begin(), setColumns.end(), column) != setColumns.end();
            end = tokens[i + 3].endOffset;
            i += 3;
        }
        emit(t.offset, end, value ? "TRUE" : "FALSE");
    }
    return out + text.substr(copied);
}

// The UPDATE OF columns of a trigger's heading ("trg before update of sal, comm on emp ...").
std::vector<std::string> updateOfColumns(const std::string &description)
{
    std::vector<std::string> columns;
    std::vector<plsql::Token> tokens;
    try {
        tokens = plsql::tokenize(description);
    } catch (...) {
        return columns;
    }
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (!tokens[i].is("UPDATE") || !tokens[i + 1].is("OF"))
            continue;
        for (size_t k = i + 2; k < tokens.size(); ++k) {
            if (tokens[k].is(","))
                continue;
            if (tokens[k].kind != plsql::Token::Kind::Name
                && tokens[k].kind != plsql::Token::Kind::QuotedName)
                break;
            if (tokens[k].is("ON") || tokens[k].is("OR"))
                break;
            columns.push_back(tokens[k].text);
        }
    }
    return columns;
}

// The kinds of SQLite trigger the engine installs per table: timing and event.
struct SqliteKind {
    const char *suffix; // BI, BU, BD, AI, AU, AD
    bool before;
    StatementKind event;
};
constexpr SqliteKind sqliteKinds[] = {
    { "BI", true, StatementKind::Insert },
    { "BU", true, StatementKind::Update },
    { "BD", true, StatementKind::Delete },
    { "AI", false, StatementKind::Insert },
    { "AU", false, StatementKind::Update },
    { "AD", false, StatementKind::Delete },
};

StatementKind eventOf(char c)
{
    return c == 'I' ? StatementKind::Insert : c == 'U' ? StatementKind::Update : StatementKind::Delete;
}

} // namespace

Triggers::Triggers(Session &session)
    : m_session(session)
{
    sqlite3 *db = session.db();
    sqlite3_create_function(db, "QD_FIRE_ROW", -1, SQLITE_UTF8, this, &fireRowFunction, nullptr,
        nullptr);
    sqlite3_create_function(db, "QD_TRIGGER_NEW", 1, SQLITE_UTF8, this, &newValueFunction,
        nullptr, nullptr);
    sqlite3_create_function(db, "QD_TRIGGER_REWRITTEN", 2, SQLITE_UTF8, this,
        &rewrittenFunction, nullptr, nullptr);
}

Triggers::~Triggers() = default;

void Triggers::load()
{
    sqlite3 *db = m_session.db();
    std::string generation;
    for (const auto &r : rows(db,
             "SELECT NAME, VERSION, STATUS FROM main.QDSI_UNITS WHERE TYPE = 'TRIGGER' AND "
             "OWNER = ?1 ORDER BY NAME",
             { m_session.user() }))
        generation += r[0] + ":" + r[1] + ":" + r[2] + ";";
    std::set<std::string> disabled;
    if (tableExists(db, "main", disabledTable))
        for (const auto &r : rows(db, std::string("SELECT NAME FROM main.") + disabledTable))
            disabled.insert(r[0]), generation += "-" + r[0];
    if (generation == m_generation)
        return;
    m_triggers.clear();
    for (const auto &r : rows(db,
             "SELECT NAME FROM main.QDSI_UNITS WHERE TYPE = 'TRIGGER' AND OWNER = ?1 "
             "ORDER BY CREATED, NAME",
             { m_session.user() })) {
        if (disabled.count(r[0]))
            continue;
        const auto unit
            = m_session.plsql().loadUnit(m_session.user(), r[0], plsql::UnitType::Trigger);
        if (!unit)
            continue;
        const auto described = plsql::describeTrigger(*unit);
        if (!described || described->triggerType == "INSTEAD OF")
            continue;
        auto t = std::make_shared<Trigger>();
        t->owner = unit->owner;
        t->name = unit->name;
        t->table = sql::upperCase(described->tableName);
        t->before = described->triggerType.rfind("BEFORE", 0) == 0;
        t->rowLevel = described->triggerType.find("EACH ROW") != std::string::npos;
        const std::string events = sql::upperCase(described->triggeringEvent);
        t->onInsert = events.find("INSERT") != std::string::npos;
        t->onUpdate = events.find("UPDATE") != std::string::npos;
        t->onDelete = events.find("DELETE") != std::string::npos;
        t->updateOf = updateOfColumns(described->description);
        t->valid = unit->valid;
        t->body = described->body;
        t->when = described->whenClause;
        m_triggers.push_back(std::move(t));
    }
    m_generation = generation;
}

bool Triggers::prepare(
    const std::string &table, StatementKind kind, const std::vector<std::string> &setColumns)
{
    load();
    m_setColumns[table] = setColumns;
    bool any = false;
    for (const auto &t : m_triggers) {
        if (t->table != table)
            continue;
        any = true;
        if (!t->valid && t->firesOn(kind, setColumns))
            throw oraFail(4098, t->owner + "." + t->name);
    }
    syncSqliteTriggers(table);
    return any;
}

void Triggers::syncSqliteTriggers(const std::string &table)
{
    sqlite3 *db = m_session.db();
    std::vector<std::string> columns;
    std::string texts;
    int count = 0;
    const std::string prefix = "QD_TRG_" + table + "_";
    for (const SqliteKind &k : sqliteKinds) {
        const bool wanted = std::any_of(m_triggers.begin(), m_triggers.end(), [&](const auto &t) {
            const bool onEvent = k.event == StatementKind::Insert ? t->onInsert
                : k.event == StatementKind::Update                ? t->onUpdate
                                                                  : t->onDelete;
            return t->table == table && t->rowLevel && t->before == k.before && onEvent;
        });
        if (!wanted)
            continue;
        if (columns.empty())
            for (const auto &r : rows(db, "PRAGMA main.table_info(" + sql::quoteName(table) + ")"))
                columns.push_back(r[1]);
        const bool hasOld = k.event != StatementKind::Insert;
        const bool hasNew = k.event != StatementKind::Delete;
        std::string args = sql::quoteLiteral(table) + ", '" + k.suffix + "'";
        for (const std::string &c : columns)
            args += hasOld ? ", old." + sql::quoteName(c) : std::string(", NULL");
        for (const std::string &c : columns)
            args += hasNew ? ", new." + sql::quoteName(c) : std::string(", NULL");
        const std::string target = "main." + sql::quoteName(table);
        // SQLite takes no qualified name inside a trigger's body.
        const std::string bodyTarget = sql::quoteName(table);
        std::string text = "CREATE TEMP TRIGGER " + sql::quoteName(prefix + k.suffix) + " "
            + (k.before ? "BEFORE " : "AFTER ")
            + (k.event == StatementKind::Insert       ? "INSERT"
                    : k.event == StatementKind::Update ? "UPDATE"
                                                       : "DELETE")
            + " ON " + target + " FOR EACH ROW ";
        if (!k.before) {
            text += "BEGIN SELECT QD_FIRE_ROW(" + args + "); END";
        } else if (k.event == StatementKind::Delete) {
            text += "BEGIN SELECT QD_FIRE_ROW(" + args + "); END";
        } else {
            // The row as the triggers left :new is written in place of SQLite's.
            std::string values, sets, names;
            for (size_t i = 0; i < columns.size(); ++i) {
                const std::string v = "QD_TRIGGER_NEW(" + std::to_string(i) + ")";
                names += (i ? ", " : "") + sql::quoteName(columns[i]);
                values += (i ? ", " : "") + v;
                sets += (i ? ", " : "") + sql::quoteName(columns[i]) + " = " + v;
            }
            text += "WHEN QD_FIRE_ROW(" + args + ") BEGIN "
                + (k.event == StatementKind::Insert
                        ? "INSERT INTO " + bodyTarget + " (" + names + ") VALUES (" + values
                            + "); SELECT QD_TRIGGER_REWRITTEN(" + sql::quoteLiteral(table)
                            + ", last_insert_rowid()); "
                        : "UPDATE " + bodyTarget + " SET " + sets
                            + " WHERE rowid = old.rowid; SELECT QD_TRIGGER_REWRITTEN("
                            + sql::quoteLiteral(table) + ", old.rowid); ")
                + "SELECT RAISE(IGNORE); END";
        }
        texts += text + ";\n";
        ++count;
    }
    // Installed triggers go with their table when it is dropped or rebuilt.
    const auto present = rows(db,
        "SELECT COUNT(*) FROM temp.sqlite_master WHERE type = 'trigger' AND name LIKE ?1",
        { prefix + "__" });
    const bool intact = !present.empty() && present[0][0] == std::to_string(count);
    const auto installed = m_installed.find(table);
    if (intact && (count == 0 || (installed != m_installed.end() && installed->second == texts))) {
        m_installed[table] = texts;
        return;
    }
    for (const SqliteKind &k : sqliteKinds)
        sqlite3_exec(db, ("DROP TRIGGER IF EXISTS temp." + sql::quoteName(prefix + k.suffix)).c_str(),
            nullptr, nullptr, nullptr);
    if (!texts.empty())
        m_session.write(texts.c_str());
    m_installed[table] = texts;
}

void Triggers::fireStatementTriggers(const std::string &table, StatementKind kind, bool before)
{
    const std::vector<std::string> &set = m_setColumns[table];
    for (const auto &t : std::vector<std::shared_ptr<Trigger>>(m_triggers))
        if (t->table == table && !t->rowLevel && t->before == before && t->firesOn(kind, set))
            run(*t, kind, nullptr);
}

bool Triggers::fireRow(
    const std::string &table, const std::string &kind, int argc, sqlite3_value **argv)
{
    const bool before = kind[0] == 'B';
    const StatementKind event = eventOf(kind[1]);
    const std::vector<std::string> &set = m_setColumns[table];
    std::vector<std::shared_ptr<Trigger>> firing;
    for (const auto &t : m_triggers)
        if (t->table == table && t->rowLevel && t->before == before && t->firesOn(event, set))
            firing.push_back(t);
    if (firing.empty())
        return false;
    Row row;
    const size_t n = static_cast<size_t>(argc) / 2;
    for (const auto &r : rows(m_session.db(), "PRAGMA main.table_info(" + sql::quoteName(table) + ")")) {
        row.columns.push_back(sql::upperCase(r[1]));
        const std::string type = sql::upperCase(r[2]);
        row.types.push_back(type.rfind("DATE", 0) == 0 ? plsql::BindType::Date
                : type.rfind("NUMBER", 0) == 0 || type.rfind("INT", 0) == 0
                    || type.rfind("FLOAT", 0) == 0
                ? plsql::BindType::Float
                : plsql::BindType::String);
    }
    if (row.columns.size() != n) // the table changed under its trigger
        throw oraFail(4098, m_session.user() + "." + table);
    for (size_t i = 0; i < n; ++i) {
        const bool date = row.types[i] == plsql::BindType::Date;
        row.oldValues.push_back(toValue(argv[i], date));
        row.newValues.push_back(toValue(argv[n + i], date));
    }
    struct Mutating {
        std::set<std::string> &set;
        std::string table;
        bool added;
        ~Mutating()
        {
            if (added)
                set.erase(table);
        }
    } mutating { m_mutating, table, m_mutating.insert(table).second };
    for (const auto &t : firing)
        run(*t, event, &row);
    if (!before || event == StatementKind::Delete || !row.newChanged)
        return false;
    m_newRows.push_back(row.newValues);
    return true;
}

void Triggers::run(const Trigger &trigger, StatementKind event, Row *row)
{
    const std::vector<std::string> &set = m_setColumns[trigger.table];
    std::string block = rewriteTriggerText(trigger.body, false, event, set);
    if (!trigger.when.empty())
        block = "BEGIN IF " + rewriteTriggerText(trigger.when, true, event, set) + " THEN\n"
            + block + "\nEND IF; END;";
    std::vector<plsql::Bind> binds;
    if (row) {
        for (size_t i = 0; i < row->columns.size(); ++i) {
            plsql::Bind b;
            b.type = row->types[i];
            b.name = "QDN_" + row->columns[i];
            b.value = row->newValues[i];
            binds.push_back(b);
            b.name = "QDO_" + row->columns[i];
            b.value = row->oldValues[i];
            binds.push_back(b);
        }
    }
    try {
        plsql::Interpreter interpreter(m_session.plsql());
        interpreter.executeBlock(block, binds);
    } catch (const sql::OraError &e) {
        // Offsets would point into the trigger, not the client's statement.
        throw sql::OraError(e.code,
            e.text + "\nORA-04088: error during execution of trigger '" + trigger.owner + "."
                + trigger.name + "'");
    }
    if (!row || !trigger.before)
        return;
    for (const plsql::Bind &b : binds) {
        if (!b.assigned || b.name.rfind("QDN_", 0) != 0)
            continue;
        const auto at = std::find(row->columns.begin(), row->columns.end(), b.name.substr(4));
        const size_t i = static_cast<size_t>(at - row->columns.begin());
        if (at != row->columns.end() && !sameValue(row->newValues[i], b.value)) {
            row->newValues[i] = b.value;
            row->newChanged = true;
        }
    }
}

int64_t Triggers::takeRewritten(const std::string &table, int64_t &lastRowid)
{
    const auto found = m_rewritten.find(table);
    if (found == m_rewritten.end()) {
        lastRowid = 0;
        return 0;
    }
    const auto [count, rowid] = found->second;
    m_rewritten.erase(found);
    lastRowid = rowid;
    return count;
}

void Triggers::fireRowFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    auto *self = static_cast<Triggers *>(sqlite3_user_data(ctx));
    if (argc < 2) {
        sqlite3_result_error(ctx, "ORA-00909: invalid number of arguments", -1);
        return;
    }
    const auto *table = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const auto *kind = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    try {
        if (!table || !kind || std::string_view(kind).size() != 2)
            throw oraFail(909);
        const bool rewrite = self->fireRow(table, kind, argc - 2, argv + 2);
        sqlite3_result_int(ctx, rewrite ? 1 : 0);
    } catch (const sql::OraError &e) {
        sqlite3_result_error(ctx, e.text.c_str(), static_cast<int>(e.text.size()));
    } catch (const std::exception &e) {
        const std::string text = oraFail(600, e.what()).text;
        sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
    }
}

void Triggers::newValueFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    auto *self = static_cast<Triggers *>(sqlite3_user_data(ctx));
    const int64_t i = sqlite3_value_int64(argv[0]);
    if (self->m_newRows.empty() || i < 0
        || static_cast<size_t>(i) >= self->m_newRows.back().size()) {
        sqlite3_result_null(ctx);
        return;
    }
    resultValue(ctx, self->m_newRows.back()[static_cast<size_t>(i)]);
}

void Triggers::rewrittenFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    auto *self = static_cast<Triggers *>(sqlite3_user_data(ctx));
    if (!self->m_newRows.empty())
        self->m_newRows.pop_back();
    const auto *table = sqlite3_value_text(argv[0]);
    auto &entry = self->m_rewritten[table ? reinterpret_cast<const char *>(table) : ""];
    ++entry.first;
    entry.second = sqlite3_value_int64(argv[1]);
    sqlite3_result_null(ctx);
}

void Triggers::setEnabled(Session &session, const std::string &name, bool enabled)
{
    sqlite3 *db = session.db();
    if (rows(db,
            "SELECT 1 FROM main.QDSI_UNITS WHERE TYPE = 'TRIGGER' AND OWNER = ?1 AND NAME = ?2",
            { session.user(), name })
            .empty())
        throw oraFail(4080, name);
    session.commit();
    const std::string table = std::string("main.") + disabledTable;
    session.write(("CREATE TABLE IF NOT EXISTS " + table + " (NAME TEXT PRIMARY KEY)").c_str());
    const std::string change = enabled
        ? "DELETE FROM " + table + " WHERE NAME = " + sql::quoteLiteral(name)
        : "INSERT OR IGNORE INTO " + table + " (NAME) VALUES (" + sql::quoteLiteral(name) + ")";
    session.write(change.c_str());
}

void Triggers::dropTableTriggers(Session &session, const std::string &table)
{
    // The server drops a table's triggers with it.
    for (const auto &r : rows(session.db(),
             "SELECT NAME FROM main.QDSI_UNITS WHERE TYPE = 'TRIGGER' AND OWNER = ?1",
             { session.user() })) {
        const auto unit = session.plsql().loadUnit(session.user(), r[0], plsql::UnitType::Trigger);
        const auto described = unit ? plsql::describeTrigger(*unit) : std::nullopt;
        if (described && sql::upperCase(described->tableName) == table)
            session.plsql().dropUnit(session.user(), r[0], plsql::UnitType::Trigger);
    }
}

bool Triggers::isDisabled(sqlite3 *db, const std::string &database, const std::string &name)
{
    if (!tableExists(db, database, disabledTable))
        return false;
    return !rows(db,
        "SELECT 1 FROM " + quoteSqlName(database) + "." + disabledTable + " WHERE NAME = ?1",
        { name })
                .empty();
}

} // namespace qdsi::engine
