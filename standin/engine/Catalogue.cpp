#include "engine/Catalogue.h"

#include "sql/Dialect.h"
#include "sql/Lexer.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace qdsi::engine {

namespace {

// An indexed column under the table's own name for it: a quoted mixed-case name keeps its case.
std::string tableColumnName(const CatalogueTable &table, const std::string &indexed)
{
    for (const CatalogueColumn &c : table.columns)
        if (c.name == indexed)
            return c.name;
    for (const CatalogueColumn &c : table.columns)
        if (sql::upperCase(c.name) == sql::upperCase(indexed))
            return c.name;
    return sql::upperCase(indexed);
}

bool internalName(const std::string &name)
{
    const std::string u = sql::upperCase(name);
    // The stored-code views (user_source, user_errors, ...) live in the schema file as SQLite
    // views but belong to the dictionary, not to the user's objects.
    static const char *const dictionaryViews[] = { "USER_SOURCE", "ALL_SOURCE", "USER_ERRORS",
        "ALL_ERRORS" };
    for (const char *view : dictionaryViews)
        if (u == view)
            return true;
    // PLAN_TABLE is the server's table for EXPLAIN PLAN (engine/ExplainPlan), not the user's.
    if (u == "PLAN_TABLE")
        return true;
    return u.rfind("SQLITE_", 0) == 0 || u.rfind("QDSI_", 0) == 0 || u.rfind("QD_", 0) == 0;
}

std::string text(sqlite3_stmt *st, int i)
{
    const auto *t = sqlite3_column_text(st, i);
    return t ? reinterpret_cast<const char *>(t) : "";
}

// Runs `sql` and calls `row` for each result row; a statement that cannot be prepared (a side
// table that does not exist yet) yields nothing.
void each(sqlite3 *db, const std::string &sql, const std::function<void(sqlite3_stmt *)> &row,
    const std::string &bind = {})
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return;
    }
    if (!bind.empty())
        sqlite3_bind_text(st, 1, bind.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW)
        row(st);
    sqlite3_finalize(st);
}

bool tableExists(sqlite3 *db, const std::string &schema, const char *name)
{
    bool found = false;
    each(
        db, "SELECT 1 FROM " + schema + ".sqlite_master WHERE type = 'table' AND name = ?1",
        [&](sqlite3_stmt *) { found = true; }, name);
    return found;
}

// The Oracle column type from the declared type the translation wrote.
void columnType(const std::string &declared, CatalogueColumn &c)
{
    const sql::ColumnDescription d = sql::describeDeclaredType(declared);
    std::string words = sql::upperCase(declared.substr(0, declared.find('(')));
    while (!words.empty() && words.back() == ' ')
        words.pop_back();
    const bool sized = declared.find('(') != std::string::npos;
    switch (d.dataType) {
    case 2:
        c.length = 22;
        if (words.rfind("FLOAT", 0) == 0) {
            c.dataType = "FLOAT", c.precision = d.precision;
        } else if (words.rfind("INT", 0) == 0 || words == "SMALLINT") {
            c.dataType = "NUMBER", c.scale = 0; // INTEGER: NUMBER(*,0)
        } else {
            c.dataType = "NUMBER";
            if (sized)
                c.precision = d.precision, c.scale = d.scale < 0 ? 0 : d.scale;
        }
        break;
    case 12: c.dataType = "DATE", c.length = 7; break;
    case 8: c.dataType = "LONG", c.length = 0; break;
    case 24: c.dataType = "LONG RAW", c.length = 0; break;
    case 23: c.dataType = "RAW", c.length = d.dataSize; break;
    case 96: c.dataType = words.rfind("NCHAR", 0) == 0 ? "NCHAR" : "CHAR", c.length = d.dataSize;
        break;
    case 112: c.dataType = "CLOB", c.length = 4000; break;
    case 113: c.dataType = "BLOB", c.length = 4000; break;
    case 187: c.dataType = "TIMESTAMP(" + std::to_string(d.scale) + ")", c.length = 11; break;
    case 104: c.dataType = "ROWID", c.length = 10; break;
    default:
        c.dataType = words.rfind("NVARCHAR2", 0) == 0 ? "NVARCHAR2" : "VARCHAR2";
        c.length = d.dataSize;
        // The translation keeps an object type's name, one word, as the declared type.
        if (d.dataType == 1 && !sized && words.find(' ') == std::string::npos && !words.empty()
            && words != "VARCHAR2" && words != "VARCHAR" && words != "NVARCHAR2"
            && words != "TEXT" && words != "XMLTYPE")
            c.dataType = words, c.objectType = true;
    }
}

} // namespace

const CatalogueTable *Catalogue::table(const std::string &name) const
{
    for (const CatalogueTable &t : tables)
        if (t.name == name)
            return &t;
    return nullptr;
}

bool isGeneratedConstraintName(const std::string &name)
{
    return name.size() > 5 && name.rfind("SYS_C", 0) == 0
        && std::all_of(name.begin() + 5, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string generatedConstraintName(int64_t rootpage, int ordinal)
{
    std::string number = std::to_string(rootpage * 100 + ordinal);
    if (number.size() < 6)
        number.insert(0, 6 - number.size(), '0');
    return "SYS_C" + number;
}

std::string constraintNamed(const Catalogue &catalogue, const std::string &table,
    const std::string &types, std::vector<std::string> columns)
{
    std::sort(columns.begin(), columns.end());
    for (const CatalogueConstraint &c : catalogue.constraints) {
        if (c.table != table || types.find(c.type) == std::string::npos || !c.enabled)
            continue;
        std::vector<std::string> mine = c.columns;
        std::sort(mine.begin(), mine.end());
        if (mine == columns)
            return c.name;
    }
    return {};
}

namespace {

// The pieces of one schema's catalogue are read in this order: tables and views (keeping each
// table's DDL), their columns, the default texts noted in the DDL, the constraints named in the
// DDL and the disabled ones, the foreign keys' referenced keys, indexes, then the side tables.
struct TableDdl {
    std::string name, sql;
    int64_t rootpage;
};

struct CatalogueReader {
    sqlite3 *db;
    std::string schema; // the attached database's name, quoted as a name
    std::string quotedSchema; // and as a literal, for the table-valued pragmas
    Catalogue cat;
    std::vector<TableDdl> ddls;

    CatalogueReader(sqlite3 *db, const std::string &database)
        : db(db)
        , quotedSchema(sql::quoteLiteral(database))
    {
        schema = "\"";
        for (char c : database)
            schema += c == '"' ? std::string("\"\"") : std::string(1, c);
        schema += "\"";
    }

    void readTables();
    void readColumns(CatalogueTable &t);
    void readDefaultNotes(const TableDdl &d);
    void readConstraints(const TableDdl &d);
    void readDisabledConstraints();
    void resolveReferencedKeys();
    void readIndexes(const CatalogueTable &t);
    void readSideTables();
};

// A view's query as the user wrote it: the note the translation left, else the text after AS.
std::string viewQuery(const std::string &sql)
{
    std::string query;
    const size_t open = sql.find("/*QD:");
    if (sql::readOracleNote(sql, open == std::string::npos ? sql.size() : open, sql.size(), query))
        return query;
    const size_t as = sql::upperCase(sql).find(" AS ");
    return as == std::string::npos ? sql : sql.substr(as + 4);
}

void CatalogueReader::readTables()
{
    each(db,
        "SELECT type, name, sql, rootpage FROM " + schema
            + ".sqlite_master "
              "WHERE type IN ('table', 'view') ORDER BY name",
        [&](sqlite3_stmt *st) {
            const std::string name = text(st, 1);
            if (internalName(name))
                return;
            CatalogueTable t;
            t.name = name;
            t.view = text(st, 0) == "view";
            t.rootpage = sqlite3_column_int64(st, 3);
            const std::string sql = text(st, 2);
            if (t.view)
                t.viewText = viewQuery(sql);
            else
                ddls.push_back({ name, sql, t.rootpage });
            cat.tables.push_back(std::move(t));
        });
}

void CatalogueReader::readColumns(CatalogueTable &t)
{
    each(
        db,
        "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?1, " + quotedSchema
            + ")",
        [&](sqlite3_stmt *st) {
            CatalogueColumn c;
            c.name = text(st, 0);
            columnType(text(st, 1), c);
            c.nullable = sqlite3_column_int(st, 2) == 0;
            std::string dflt = text(st, 3);
            if (sqlite3_column_type(st, 3) != SQLITE_NULL) {
                std::string note;
                const size_t open = dflt.find("/*QD:");
                if (open != std::string::npos && sql::readOracleNote(dflt, open, dflt.size(), note))
                    dflt = note;
                else if (dflt.size() >= 2 && dflt.front() == '(' && dflt.back() == ')')
                    dflt = dflt.substr(1, dflt.size() - 2);
                c.defaultText = dflt;
            }
            c.columnId = static_cast<int>(t.columns.size()) + 1;
            t.columns.push_back(std::move(c));
        },
        t.name);
}

// SQLite's dflt_value stops before the note, so the default texts are read from the DDL.
void CatalogueReader::readDefaultNotes(const TableDdl &d)
{
    CatalogueTable *t = nullptr;
    for (CatalogueTable &x : cat.tables)
        if (x.name == d.name)
            t = &x;
    if (!t)
        return;
    std::vector<sql::Token> tk;
    try {
        tk = sql::tokenize(d.sql);
    } catch (const sql::OraError &) {
        return;
    }
    // Top-level elements of the column list: "NAME TYPE ... DEFAULT (...) /*QD:text*/".
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i + 1 < tk.size(); ++i) {
        if (tk[i].is("(") && ++depth == 1) {
            start = i + 1;
        } else if ((tk[i].is(",") && depth == 1) || (tk[i].is(")") && depth-- == 1)) {
            for (size_t k = start; k < i; ++k) {
                if (!tk[k].is("DEFAULT"))
                    continue;
                const std::string column = tk[start].upper;
                std::string note;
                const size_t open = d.sql.find("/*QD:", static_cast<size_t>(tk[k].end));
                if (open < static_cast<size_t>(tk[i].offset)
                    && sql::readOracleNote(d.sql, open, d.sql.size(), note))
                    for (CatalogueColumn &c : t->columns)
                        if (c.name == column)
                            c.defaultText = note;
                break;
            }
            start = i + 1;
        }
    }
}

// A constraint of `table` as the DDL describes it, without its name. A foreign key's referenced
// key is left as the parent table's name, then a line per referenced column, for
// resolveReferencedKeys.
CatalogueConstraint constraintFrom(const std::string &table, const sql::ConstraintInfo &info)
{
    CatalogueConstraint c;
    c.table = table;
    c.type = info.kind == "PRIMARY KEY" ? 'P'
        : info.kind == "UNIQUE"         ? 'U'
        : info.kind == "FOREIGN KEY"    ? 'R'
                                        : 'C';
    c.columns = info.columns;
    c.checkText = info.checkText;
    if (c.type == 'R') {
        c.deleteRule = info.onDeleteCascade ? "CASCADE" : "NO ACTION";
        c.refConstraint = info.refTable;
        if (!info.refColumns.empty()) {
            c.refConstraint += '\n';
            for (const std::string &col : info.refColumns)
                c.refConstraint += col + '\n';
        }
    } else {
        c.condition = info.condition;
    }
    return c;
}

// Constraints named as the DDL names them, else generated names in DDL order.
void CatalogueReader::readConstraints(const TableDdl &d)
{
    int ordinal = 0;
    const CatalogueTable *t = cat.table(d.name);
    const std::vector<sql::ConstraintInfo> infos = sql::tableConstraints(d.sql);
    std::vector<std::string> keyColumns;
    for (const sql::ConstraintInfo &info : infos)
        if (info.kind == "PRIMARY KEY")
            keyColumns = info.columns;
    for (const sql::ConstraintInfo &info : infos) {
        ++ordinal;
        // The server makes no NOT NULL constraint of its own for a key column.
        if (info.kind == "NOT NULL" && info.name.empty() && !info.columns.empty()
            && std::find(keyColumns.begin(), keyColumns.end(), info.columns[0]) != keyColumns.end())
            continue;
        if (t && info.kind == "NOT NULL" && !info.columns.empty()
            && std::none_of(t->columns.begin(), t->columns.end(),
                [&](const CatalogueColumn &x) { return x.name == info.columns[0]; }))
            continue;
        CatalogueConstraint c = constraintFrom(d.name, info);
        // A rebuilt table keeps the generated names of its constraints written out.
        c.generatedName = info.name.empty() || isGeneratedConstraintName(info.name);
        c.name = info.name.empty() ? generatedConstraintName(d.rootpage, ordinal) : info.name;
        cat.constraints.push_back(std::move(c));
    }
}

// Disabled constraints are kept in a side table as the clause that would make them again.
void CatalogueReader::readDisabledConstraints()
{
    if (!tableExists(db, schema, disabledConstraintTable))
        return;
    each(db,
        "SELECT TABLE_NAME, COLUMN_NAME, CLAUSE FROM " + schema + "." + disabledConstraintTable
            + " ORDER BY TABLE_NAME, rowid",
        [&](sqlite3_stmt *st) {
            const std::string column = text(st, 1);
            const std::string ddl = "CREATE TABLE X ("
                + (column.empty() ? "" : sql::quoteName(column) + " ") + text(st, 2) + ")";
            for (const sql::ConstraintInfo &info : sql::tableConstraints(ddl)) {
                CatalogueConstraint c = constraintFrom(text(st, 0), info);
                c.name = info.name;
                c.generatedName = isGeneratedConstraintName(info.name);
                c.enabled = false;
                cat.constraints.push_back(std::move(c));
            }
        });
}

// A foreign key references the parent's primary key, or the key over the listed columns.
void CatalogueReader::resolveReferencedKeys()
{
    for (CatalogueConstraint &c : cat.constraints) {
        if (c.type != 'R')
            continue;
        std::vector<std::string> cols;
        std::string table = c.refConstraint;
        const size_t nl = table.find('\n');
        if (nl != std::string::npos) {
            size_t p = nl + 1;
            while (p < table.size()) {
                const size_t q = table.find('\n', p);
                cols.push_back(table.substr(p, q - p));
                p = q + 1;
            }
            table.resize(nl);
        }
        std::string name;
        for (const CatalogueConstraint &k : cat.constraints)
            if (name.empty() && k.table == table && k.type == 'P')
                name = cols.empty() ? k.name : std::string();
        if (!cols.empty())
            name = constraintNamed(cat, table, "PU", cols);
        c.refConstraint = name;
    }
}

// Indexes: those created by CREATE INDEX, and the ones behind keys under the key's name.
void CatalogueReader::readIndexes(const CatalogueTable &t)
{
    each(
        db,
        "SELECT name, \"unique\", origin FROM pragma_index_list(?1, " + quotedSchema
            + ") ORDER BY seq DESC",
        [&](sqlite3_stmt *st) {
            CatalogueIndex ix;
            const std::string sqliteName = text(st, 0);
            ix.table = t.name;
            ix.unique = sqlite3_column_int(st, 1) != 0;
            each(
                db, "SELECT name FROM pragma_index_info(?1, " + quotedSchema + ") ORDER BY seqno",
                [&](sqlite3_stmt *c) { ix.columns.push_back(tableColumnName(t, text(c, 0))); },
                sqliteName);
            if (text(st, 2) == "c") {
                ix.name = sqliteName;
            } else {
                ix.name = constraintNamed(cat, t.name, "PU", ix.columns);
                if (ix.name.empty())
                    return;
            }
            cat.indexes.push_back(std::move(ix));
        },
        t.name);
}

// Sequences, synonyms and materialized views live in side tables of the schema file.
void CatalogueReader::readSideTables()
{
    each(db,
        "SELECT NAME, LAST_NUMBER, INCREMENT_BY, STARTED FROM " + schema
            + ".QDSI_SEQUENCES ORDER BY NAME",
        [&](sqlite3_stmt *st) {
            CatalogueSequence s;
            s.name = text(st, 0);
            s.incrementBy = sqlite3_column_int64(st, 2);
            s.lastNumber = sqlite3_column_int64(st, 1) + (sqlite3_column_int(st, 3) ? s.incrementBy : 0);
            cat.sequences.push_back(std::move(s));
        });
    if (tableExists(db, schema, "QDSI_SYNONYMS"))
        each(db,
            "SELECT OWNER, SYNONYM_NAME, TABLE_OWNER, TABLE_NAME, DB_LINK FROM " + schema
                + ".QDSI_SYNONYMS ORDER BY OWNER, SYNONYM_NAME",
            [&](sqlite3_stmt *st) {
                cat.synonyms.push_back(
                    { text(st, 0), text(st, 1), text(st, 2), text(st, 3), text(st, 4) });
            });
    if (tableExists(db, schema, "QDSI_MVIEWS"))
        each(db, "SELECT NAME, TABLE_NAME, QUERY FROM " + schema + ".QDSI_MVIEWS ORDER BY NAME",
            [&](sqlite3_stmt *st) {
                cat.mviews.push_back({ text(st, 0), text(st, 1), text(st, 2) });
            });
}

} // namespace

Catalogue readCatalogue(sqlite3 *db, const std::string &database)
{
    CatalogueReader reader(db, database);
    reader.readTables();
    for (CatalogueTable &t : reader.cat.tables)
        reader.readColumns(t);
    for (const TableDdl &d : reader.ddls)
        reader.readDefaultNotes(d);
    for (const TableDdl &d : reader.ddls)
        reader.readConstraints(d);
    reader.readDisabledConstraints();
    reader.resolveReferencedKeys();
    for (const CatalogueTable &t : reader.cat.tables)
        if (!t.view)
            reader.readIndexes(t);
    reader.readSideTables();
    return std::move(reader.cat);
}

} // namespace qdsi::engine
