#include "engine/ConstraintChanges.h"

#include "engine/Catalogue.h"
#include "engine/OraErrors.h"
#include "engine/Session.h"
#include "sql/Lexer.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace qdsi::engine {

namespace {

using Change = sql::Translation::ConstraintChange;

// A prepared statement of the session's connection that finalizes itself.
struct Query {
    Query(sqlite3 *db, const std::string &sql)
    {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            st = nullptr;
        }
    }
    ~Query() { sqlite3_finalize(st); }
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;
    Query &bind(int i, const std::string &v)
    {
        if (st)
            sqlite3_bind_text(st, i, v.c_str(), -1, SQLITE_TRANSIENT);
        return *this;
    }
    Query &bind(int i, int64_t v)
    {
        if (st)
            sqlite3_bind_int64(st, i, v);
        return *this;
    }
    bool row() { return st && sqlite3_step(st) == SQLITE_ROW; }
    std::string text(int i) const
    {
        const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
        return t ? t : "";
    }
    int64_t integer(int i) const { return sqlite3_column_int64(st, i); }
    sqlite3_stmt *st = nullptr;
};

std::string tableSql(sqlite3 *db, const std::string &table)
{
    Query q(db, "SELECT sql FROM main.sqlite_master WHERE type = 'table' AND name = ?1");
    q.bind(1, table);
    return q.row() ? q.text(0) : std::string();
}

// One constraint of the table's definition with the name the catalogue gives it.
struct Defined {
    sql::ConstraintInfo info;
    std::string name;
    bool keyNotNull = false; // the NOT NULL of a key column, which the server does not list
};

std::vector<Defined> definedConstraints(const std::string &ddl, int64_t rootpage)
{
    std::vector<Defined> out;
    const std::vector<sql::ConstraintInfo> infos = sql::tableConstraints(ddl);
    std::vector<std::string> keyColumns;
    for (const sql::ConstraintInfo &info : infos)
        if (info.kind == "PRIMARY KEY")
            keyColumns = info.columns;
    int ordinal = 0;
    for (const sql::ConstraintInfo &info : infos) {
        ++ordinal;
        Defined d { info,
            info.name.empty() ? generatedConstraintName(rootpage, ordinal) : info.name, false };
        d.keyNotNull = info.kind == "NOT NULL" && info.name.empty() && !info.columns.empty()
            && std::find(keyColumns.begin(), keyColumns.end(), info.columns[0]) != keyColumns.end();
        out.push_back(std::move(d));
    }
    return out;
}

// Where a constraint's own clause starts: after the comma a table-level one is cut with.
size_t clauseStart(const std::string &ddl, const sql::ConstraintInfo &info)
{
    size_t p = info.textBegin;
    if (p < ddl.size() && ddl[p] == ',')
        ++p;
    while (p < ddl.size() && ddl[p] == ' ')
        ++p;
    return p;
}

// The definition with every unnamed constraint given its generated name in writing, so that
// the names stay when the rebuilt table gets another root page.
std::string nameEverything(const std::string &ddl, const std::vector<Defined> &defined)
{
    std::string out = ddl;
    for (auto it = defined.rbegin(); it != defined.rend(); ++it)
        if (it->info.name.empty() && !it->keyNotNull)
            out.insert(clauseStart(ddl, it->info), "CONSTRAINT " + it->name + " ");
    return out;
}

// The end of the column's element in the definition (the ',' or ')' after it).
size_t columnEnd(const std::string &ddl, const std::string &column)
{
    const std::vector<sql::Token> t = sql::tokenize(ddl);
    int depth = 0;
    size_t elementStart = 0;
    bool inColumn = false;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i].is("(")) {
            if (++depth == 1) {
                elementStart = i + 1;
                inColumn = elementStart < t.size() && t[elementStart].upper == column;
            }
        } else if ((t[i].is(",") && depth == 1) || (t[i].is(")") && depth == 1)) {
            if (inColumn)
                return static_cast<size_t>(t[i].offset);
            if (t[i].is(")"))
                --depth;
            elementStart = i + 1;
            inColumn = elementStart < t.size() && t[elementStart].upper == column;
        } else if (t[i].is(")")) {
            --depth;
        }
    }
    return std::string::npos;
}

struct DisabledRow {
    int64_t rowid = 0;
    std::string table, name, column, clause;
};

void ensureDisabledTable(Session &session)
{
    session.write((std::string("CREATE TABLE IF NOT EXISTS main.") + disabledConstraintTable
        + " (TABLE_NAME TEXT NOT NULL, CONSTRAINT_NAME TEXT NOT NULL, COLUMN_NAME TEXT, "
          "CLAUSE TEXT NOT NULL)")
                      .c_str());
}

std::vector<DisabledRow> disabledRows(sqlite3 *db)
{
    std::vector<DisabledRow> rows;
    Query q(db,
        std::string("SELECT rowid, TABLE_NAME, CONSTRAINT_NAME, COLUMN_NAME, CLAUSE FROM main.")
            + disabledConstraintTable);
    while (q.row())
        rows.push_back({ q.integer(0), q.text(1), q.text(2), q.text(3), q.text(4) });
    return rows;
}

// Makes the table again under `ddl` (its CREATE TABLE text) with the same rows, row ids,
// indexes and triggers, inside the session's transaction; `validate` names the constraint that
// must hold for the rows already there (reported with the server's validation errors).
void rebuild(Session &session, const std::string &table, const std::string &ddl,
    const CatalogueConstraint *validate)
{
    sqlite3 *db = session.db();
    std::vector<std::string> again;
    {
        Query q(db,
            "SELECT sql FROM main.sqlite_master WHERE tbl_name = ?1 AND type IN ('index', "
            "'trigger') AND sql IS NOT NULL ORDER BY type, name");
        q.bind(1, table);
        while (q.row())
            again.push_back(q.text(0));
    }
    std::string columns;
    bool rowidAlias = false;
    {
        Query q(db, "SELECT name, type, pk FROM pragma_table_info(?1, 'main')");
        q.bind(1, table);
        int keys = 0;
        bool integerKey = false;
        while (q.row()) {
            columns += (columns.empty() ? "" : ", ") + sql::quoteName(q.text(0));
            if (q.integer(2) > 0) {
                ++keys;
                std::string type = q.text(1);
                std::transform(type.begin(), type.end(), type.begin(), ::toupper);
                integerKey = type == "INTEGER";
            }
        }
        rowidAlias = keys == 1 && integerKey;
    }
    const size_t open = ddl.find('(');
    const std::string quoted = sql::quoteName(table);
    const std::string shadow = "QDSI_REBUILD";
    session.write(("CREATE TABLE main." + shadow + " " + ddl.substr(open)).c_str());
    // The row ids go along, unless a column is the row id itself.
    const std::string list = rowidAlias ? columns : "rowid, " + columns;
    const std::string copy
        = "INSERT INTO main." + shadow + " (" + list + ") SELECT " + list + " FROM main." + quoted;
    try {
        session.write(copy.c_str());
    } catch (const sql::OraError &e) {
        if (!validate)
            throw;
        const std::string name = session.user() + "." + validate->name;
        if (validate->type == 'C' && e.code == 2290)
            throw oraFail(2293, name);
        if (validate->type == 'P')
            throw oraFail(2437, name);
        if (validate->type == 'U' && e.code == 1)
            throw oraFail(2299, name);
        throw;
    }
    session.write(("DROP TABLE main." + quoted).c_str());
    // The legacy rename leaves views that read the table alone (they read it again by name).
    session.write("PRAGMA legacy_alter_table = ON");
    try {
        session.write(("ALTER TABLE main." + shadow + " RENAME TO " + quoted).c_str());
    } catch (...) {
        sqlite3_exec(db, "PRAGMA legacy_alter_table = OFF", nullptr, nullptr, nullptr);
        throw;
    }
    session.write("PRAGMA legacy_alter_table = OFF");
    for (const std::string &sql : again)
        session.write(sql.c_str());
    if (validate && validate->type == 'R') {
        Query q(db, "SELECT 1 FROM pragma_foreign_key_check(?1, 'main')");
        q.bind(1, table);
        if (q.row())
            throw oraFail(2298, session.user() + "." + validate->name);
    }
}

// Runs `work` as data definition with foreign keys off (SQLite checks them per row while a
// table is copied), committing at the end or rolling back on failure.
void asDefinition(Session &session, const std::function<void()> &work)
{
    session.commit();
    sqlite3 *db = session.db();
    sqlite3_exec(db, "PRAGMA foreign_keys = OFF", nullptr, nullptr, nullptr);
    try {
        session.beginChange();
        work();
        session.commit();
    } catch (...) {
        session.rollback();
        sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
        throw;
    }
    sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    session.forgetTables();
}

const CatalogueConstraint *findConstraint(
    const Catalogue &cat, const std::string &table, const Change &change)
{
    for (const CatalogueConstraint &c : cat.constraints)
        if (c.table == table && (change.primaryKey ? c.type == 'P' : c.name == change.name))
            return &c;
    return nullptr;
}

// Foreign keys of the schema that reference the key `name`.
std::vector<const CatalogueConstraint *> referencing(
    const Catalogue &cat, const std::string &name, bool enabledOnly)
{
    std::vector<const CatalogueConstraint *> out;
    for (const CatalogueConstraint &c : cat.constraints)
        if (c.type == 'R' && c.refConstraint == name && (c.enabled || !enabledOnly))
            out.push_back(&c);
    return out;
}

// Takes an enabled constraint out of its table's definition; `keep` stores it as disabled.
void cutOut(Session &session, const CatalogueConstraint &c, bool keep)
{
    sqlite3 *db = session.db();
    const Catalogue cat = readCatalogue(db);
    const CatalogueTable *table = cat.table(c.table);
    const std::string ddl = tableSql(db, c.table);
    const std::vector<Defined> defined = definedConstraints(ddl, table ? table->rootpage : 0);
    const auto it = std::find_if(defined.begin(), defined.end(),
        [&](const Defined &d) { return d.name == c.name && !d.keyNotNull; });
    if (it == defined.end())
        throw oraFail(2443);
    const sql::ConstraintInfo &info = it->info;
    if (keep) {
        ensureDisabledTable(session);
        const size_t from = clauseStart(ddl, info);
        std::string clause = ddl.substr(from, info.textEnd - from);
        while (!clause.empty() && clause.back() == ' ')
            clause.pop_back();
        if (info.name.empty())
            clause = "CONSTRAINT " + it->name + " " + clause;
        Query q(db,
            std::string("INSERT INTO main.") + disabledConstraintTable
                + " VALUES (?1, ?2, ?3, ?4)");
        q.bind(1, c.table).bind(2, it->name).bind(4, clause);
        if (!info.tableLevel && !info.columns.empty())
            q.bind(3, info.columns.front());
        if (!q.st || sqlite3_step(q.st) != SQLITE_DONE)
            throw session.sqliteError(sqlite3_errcode(db));
    }
    // Every other unnamed constraint keeps its name in writing; this one's text goes.
    std::vector<Defined> others;
    for (auto d = defined.begin(); d != defined.end(); ++d)
        if (d != it)
            others.push_back(*d);
    std::string rest = ddl.substr(0, info.textBegin) + ddl.substr(info.textEnd);
    // Offsets of the constraints after the cut move back by its length.
    const size_t cut = info.textEnd - info.textBegin;
    for (Defined &d : others)
        if (d.info.textBegin >= info.textEnd)
            d.info.textBegin -= cut, d.info.textEnd -= cut;
    rebuild(session, c.table, nameEverything(rest, others), nullptr);
}

} // namespace

void changeConstraint(Session &session, const sql::Translation &t)
{
    const Change &change = t.constraintChange;
    const std::string table = t.objectName;
    sqlite3 *db = session.db();
    asDefinition(session, [&] {
        const Catalogue cat = readCatalogue(db);
        const CatalogueTable *tbl = cat.table(table);
        if (!tbl || tbl->view)
            throw oraFail(942);
        const std::string ddl = tableSql(db, table);
        switch (change.action) {
        case Change::Add: {
            std::string name = change.name;
            if (!name.empty())
                for (const CatalogueConstraint &c : cat.constraints)
                    if (c.name == name)
                        throw oraFail(2264);
            const std::vector<Defined> defined = definedConstraints(ddl, tbl->rootpage);
            if (name.empty())
                name = generatedConstraintName(tbl->rootpage, static_cast<int>(defined.size()) + 1);
            std::string clause = change.sqlite;
            if (change.name.empty())
                clause = "CONSTRAINT " + name + " " + clause;
            const std::vector<sql::ConstraintInfo> parsed
                = sql::tableConstraints("CREATE TABLE X (" + clause + ")");
            if (parsed.empty())
                throw oraFail(904);
            if (parsed.front().kind == "PRIMARY KEY")
                for (const CatalogueConstraint &c : cat.constraints)
                    if (c.table == table && c.type == 'P' && c.enabled)
                        throw oraFail(2260);
            if (change.disabled) {
                ensureDisabledTable(session);
                Query q(db,
                    std::string("INSERT INTO main.") + disabledConstraintTable
                        + " VALUES (?1, ?2, NULL, ?3)");
                q.bind(1, table).bind(2, name).bind(3, clause);
                if (!q.st || sqlite3_step(q.st) != SQLITE_DONE)
                    throw session.sqliteError(sqlite3_errcode(db));
                return;
            }
            std::string named = nameEverything(ddl, defined);
            named.insert(named.rfind(')'), ", " + clause);
            CatalogueConstraint added;
            added.name = name;
            added.type = parsed.front().kind == "PRIMARY KEY" ? 'P'
                : parsed.front().kind == "UNIQUE"             ? 'U'
                : parsed.front().kind == "FOREIGN KEY"        ? 'R'
                                                              : 'C';
            rebuild(session, table, named, &added);
            return;
        }
        case Change::Drop: {
            const CatalogueConstraint *c = findConstraint(cat, table, change);
            if (!c)
                throw oraFail(change.primaryKey ? 2441 : 2443);
            if (c->type == 'P' || c->type == 'U') {
                const auto children = referencing(cat, c->name, false);
                if (!children.empty() && !change.cascade)
                    throw oraFail(2273);
                for (const CatalogueConstraint *child : children) {
                    if (child->enabled)
                        cutOut(session, *child, false);
                    else
                        Query(db,
                            std::string("DELETE FROM main.") + disabledConstraintTable
                                + " WHERE TABLE_NAME = ?1 AND CONSTRAINT_NAME = ?2")
                            .bind(1, child->table)
                            .bind(2, child->name)
                            .row();
                }
            }
            if (c->enabled) {
                cutOut(session, *c, false);
            } else {
                Query(db,
                    std::string("DELETE FROM main.") + disabledConstraintTable
                        + " WHERE TABLE_NAME = ?1 AND CONSTRAINT_NAME = ?2")
                    .bind(1, table)
                    .bind(2, c->name)
                    .row();
            }
            return;
        }
        case Change::Disable: {
            const CatalogueConstraint *c = findConstraint(cat, table, change);
            if (!c)
                throw oraFail(2431, session.user() + "." + change.name);
            if (!c->enabled)
                return;
            if (c->type == 'P' || c->type == 'U') {
                const auto children = referencing(cat, c->name, true);
                if (!children.empty() && !change.cascade)
                    throw oraFail(2297, session.user() + "." + c->name);
                for (const CatalogueConstraint *child : children)
                    cutOut(session, *child, true);
            }
            cutOut(session, *c, true);
            return;
        }
        case Change::Enable: {
            const CatalogueConstraint *c = findConstraint(cat, table, change);
            if (!c)
                throw oraFail(2431, session.user() + "." + change.name);
            if (c->enabled)
                return;
            if (c->type == 'P')
                for (const CatalogueConstraint &other : cat.constraints)
                    if (other.table == table && other.type == 'P' && other.enabled)
                        throw oraFail(2260);
            DisabledRow row;
            for (const DisabledRow &r : disabledRows(db))
                if (r.table == table && r.name == c->name)
                    row = r;
            const std::vector<Defined> defined = definedConstraints(ddl, tbl->rootpage);
            std::string named = nameEverything(ddl, defined);
            const size_t at = row.column.empty() ? std::string::npos : columnEnd(named, row.column);
            if (at != std::string::npos)
                named.insert(at, " " + row.clause);
            else
                named.insert(named.rfind(')'), ", " + row.clause);
            Query(db,
                std::string("DELETE FROM main.") + disabledConstraintTable + " WHERE rowid = ?1")
                .bind(1, row.rowid)
                .row();
            rebuild(session, table, named, c);
            return;
        }
        case Change::None:
            break;
        }
    });
}

} // namespace qdsi::engine
