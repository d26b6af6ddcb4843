#include "engine/Dictionary.h"

#include "engine/Catalogue.h"
#include "engine/Schemas.h"
#include "engine/Triggers.h"
#include "plsql/Dictionary.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qdsi::engine {

namespace {

struct Cell {
    enum Kind { Null, Int, Text } kind = Null;
    int64_t i = 0;
    std::string s;
};
using Row = std::vector<Cell>;

Cell null() { return {}; }
Cell num(int64_t v) { return { Cell::Int, v, {} }; }
Cell optNum(int64_t v) { return v < 0 ? null() : num(v); } // -1 stands for null
Cell str(std::string v)
{
    // The server has no empty strings: an empty text is NULL.
    return v.empty() ? null() : Cell { Cell::Text, 0, std::move(v) };
}

// One schema's part of a view: `user` is the schema's owner, `database` its SQLite name. Rows
// the server has once (SYS.STANDARD, the users) come with the session's own schema (`first`).
struct Source {
    sqlite3 *db;
    const std::string &user;
    const Catalogue &cat;
    std::string database = "main";
    bool first = true;
    const std::vector<SchemaRef> *schemas = nullptr;
    // Public synonyms already listed: every schema file keeps those its owner made, and the
    // first one of a name (the session's own schema first) is the one in force.
    std::set<std::string> *publicSeen = nullptr;
    int64_t idBase = 100000; // object numbers handed out for rows without a page of their own
};

bool publicShown(const Source &s, const CatalogueSynonym &y)
{
    if (y.owner != "PUBLIC" || !s.publicSeen)
        return true;
    return s.publicSeen->insert(y.name).second;
}

std::string quotedDatabase(const Source &s)
{
    return quoteSqlName(s.database);
}

// A view is valid while its query can be read: a FORCE view over what does not exist, or one
// whose table has gone since, is INVALID.
std::string viewStatus(const Source &s, const std::string &view)
{
    const std::string probe
        = "SELECT * FROM " + quotedDatabase(s) + "." + quoteSqlName(view) + " WHERE 0";
    sqlite3_stmt *st = nullptr;
    const int rc = sqlite3_prepare_v2(s.db, probe.c_str(), -1, &st, nullptr);
    sqlite3_finalize(st);
    return rc == SQLITE_OK ? "VALID" : "INVALID";
}

// COMMENT ON texts of the schema: (table, column) → text, the column empty for a table's.
std::map<std::pair<std::string, std::string>, std::string> comments(const Source &s)
{
    std::map<std::pair<std::string, std::string>, std::string> out;
    sqlite3_stmt *st = nullptr;
    const std::string sql
        = "SELECT TABLE_NAME, COLUMN_NAME, COMMENTS FROM " + quotedDatabase(s) + ".QDSI_COMMENTS";
    if (sqlite3_prepare_v2(s.db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW) {
            auto text = [&](int c) {
                const auto *t = sqlite3_column_text(st, c);
                return std::string(t ? reinterpret_cast<const char *>(t) : "");
            };
            out[{ text(0), text(1) }] = text(2);
        }
    sqlite3_finalize(st);
    return out;
}

// Identity columns of the schema: (table, column) → generation, ON NULL, sequence, start and
// increment, from QDSI_IDENTITY_COLS.
struct IdentityRow {
    std::string generation, sequence;
    bool onNull = false;
    int64_t start = 1, increment = 1;
};
std::map<std::pair<std::string, std::string>, IdentityRow> identities(const Source &s)
{
    std::map<std::pair<std::string, std::string>, IdentityRow> out;
    sqlite3_stmt *st = nullptr;
    const std::string sql = "SELECT TABLE_NAME, COLUMN_NAME, GENERATION_TYPE, ON_NULL, "
                            "SEQUENCE_NAME, START_WITH, INCREMENT_BY FROM "
        + quotedDatabase(s) + ".QDSI_IDENTITY_COLS";
    if (sqlite3_prepare_v2(s.db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW) {
            auto text = [&](int c) {
                const auto *t = sqlite3_column_text(st, c);
                return std::string(t ? reinterpret_cast<const char *>(t) : "");
            };
            out[{ text(0), text(1) }] = { text(2), text(4), sqlite3_column_int(st, 3) != 0,
                sqlite3_column_int64(st, 5), sqlite3_column_int64(st, 6) };
        }
    sqlite3_finalize(st);
    return out;
}

// The stored units of the schema (QDSI_UNITS and their source lines) of the given types.
std::vector<plsql::StoredUnit> storedUnits(const Source &s, const std::set<std::string> &types)
{
    std::vector<plsql::StoredUnit> units;
    const std::string db = quotedDatabase(s);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(s.db,
            ("SELECT u.NAME, u.TYPE, u.STATUS, s.TEXT FROM " + db + ".QDSI_UNITS u LEFT JOIN " + db
                + ".QDSI_SOURCE s ON s.OWNER = u.OWNER AND s.NAME = u.NAME "
                  "AND s.TYPE = u.TYPE ORDER BY u.NAME, u.TYPE, s.LINE")
                .c_str(),
            -1, &st, nullptr)
        != SQLITE_OK) {
        sqlite3_finalize(st);
        return units;
    }
    auto text = [st](int i) {
        const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
        return t ? std::string(t) : std::string();
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
        const std::string name = text(0), type = text(1);
        if (!types.count(type))
            continue;
        if (units.empty() || units.back().name != name
            || plsql::unitTypeName(units.back().type) != type) {
            plsql::StoredUnit u;
            u.owner = s.user;
            u.name = name;
            bool known = false;
            for (plsql::UnitType t : { plsql::UnitType::Procedure, plsql::UnitType::Function,
                     plsql::UnitType::Package, plsql::UnitType::PackageBody,
                     plsql::UnitType::Trigger, plsql::UnitType::Type, plsql::UnitType::TypeBody })
                if (type == plsql::unitTypeName(t))
                    u.type = t, known = true;
            if (!known)
                continue;
            u.valid = text(2) == "VALID";
            units.push_back(std::move(u));
        }
        if (sqlite3_column_type(st, 3) != SQLITE_NULL)
            units.back().lines.push_back(text(3));
    }
    sqlite3_finalize(st);
    for (plsql::StoredUnit &u : units)
        if (!u.lines.empty() && !u.lines.back().empty() && u.lines.back().back() == '\n')
            u.lines.back().pop_back();
    return units;
}

// A view's columns as the server declares them, and how its rows come about. `ownerColumn`
// is the column USER_ forms filter on (-1: none).
struct View {
    const char *name;
    const char *columns;
    int ownerColumn;
    std::function<void(const Source &, std::vector<Row> &)> rows;
};

// Rows a later layer keeps in a side table QDSI_<VIEW> with the view's own column names
// (stored code's arguments, triggers, types); columns the table lacks are NULL.
// A stored object type as the type views show it: a collection, or an object with its
// attributes (name and the type's first word, upper case) read from the source.
struct StoredType {
    std::string name;
    bool collection = false;
    std::vector<std::pair<std::string, std::string>> attributes;
};

// The next word of text from at: letters up to a blank or "(".
std::string nextWord(const std::string &text, size_t &at)
{
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    const size_t from = at;
    while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))
        && text[at] != '(')
        ++at;
    return text.substr(from, at - from);
}

std::vector<StoredType> storedTypes(const Source &s)
{
    std::vector<StoredType> types;
    for (const plsql::StoredUnit &u : storedUnits(s, { "TYPE" })) {
        std::string text;
        for (const std::string &line : u.lines)
            text += line;
        std::transform(text.begin(), text.end(), text.begin(),
            [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        StoredType t;
        t.name = u.name;
        const size_t as = text.find(" OBJECT");
        const size_t open = as == std::string::npos ? as : text.find('(', as);
        if (open == std::string::npos) {
            t.collection = text.find(" TABLE OF ") != std::string::npos
                || text.find("VARRAY") != std::string::npos
                || text.find("VARYING ARRAY") != std::string::npos;
            types.push_back(std::move(t));
            continue;
        }
        // "(name type, name type(n, m), ...)": split at the commas of the outer level.
        auto take = [&t](const std::string &attribute) {
            size_t at = 0;
            const std::string name = nextWord(attribute, at);
            const std::string type = nextWord(attribute, at);
            if (!name.empty() && !type.empty())
                t.attributes.emplace_back(name, type);
        };
        int depth = 0;
        std::string item;
        for (size_t i = open + 1; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '(')
                ++depth;
            if (c == ')' && depth-- == 0) {
                take(item);
                break;
            }
            if (c == ',' && depth == 0) {
                take(item);
                item.clear();
                continue;
            }
            item += c;
        }
        types.push_back(std::move(t));
    }
    return types;
}

void sideRows(const Source &src, const std::string &view, const std::string &columns,
    std::vector<Row> &out)
{
    const std::string table = "QDSI_" + view;
    std::vector<std::string> have;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(
            src.db, "SELECT upper(name) FROM pragma_table_info(?1, ?2)", -1, &st, nullptr)
        == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, src.database.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW)
            have.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    }
    sqlite3_finalize(st);
    if (have.empty())
        return;
    std::string select;
    size_t p = 0;
    while (p < columns.size()) {
        size_t comma = columns.find(',', p);
        if (comma == std::string::npos)
            comma = columns.size();
        const std::string def = columns.substr(p, comma - p); // no type has "(p,s)" here
        const size_t b = def.find_first_not_of(' ');
        const std::string col = def.substr(b, def.find(' ', b) - b);
        const bool present = std::find(have.begin(), have.end(), col) != have.end();
        select += (select.empty() ? "" : ", ") + (present ? "\"" + col + "\"" : "NULL");
        p = comma + 1;
    }
    const std::string sql
        = "SELECT " + select + " FROM " + quotedDatabase(src) + ".\"" + table + "\"";
    if (sqlite3_prepare_v2(src.db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            Row r;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_NULL: r.push_back(null()); break;
                case SQLITE_INTEGER: r.push_back(num(sqlite3_column_int64(st, i))); break;
                default:
                    r.push_back(str(reinterpret_cast<const char *>(sqlite3_column_text(st, i))));
                }
            }
            out.push_back(std::move(r));
        }
    }
    sqlite3_finalize(st);
}

// A few procedures and functions of the server's STANDARD package, enough for the built-in
// lists: functions have their result at position 0, procedures start at position 1, and a
// procedure without arguments has one row with neither name nor type.
struct Builtin {
    const char *name;
    int overload; // 0: not overloaded
    const char *result; // nullptr: procedure
    std::vector<std::pair<const char *, const char *>> arguments;
};
const std::vector<Builtin> &builtins()
{
    static const std::vector<Builtin> list = {
        { "COMMIT", 0, nullptr, {} },
        { "LENGTH", 0, "NUMBER", { { "CH", "VARCHAR2" } } },
        { "LOWER", 0, "VARCHAR2", { { "CH", "VARCHAR2" } } },
        { "NVL", 1, "VARCHAR2", { { "B1", "VARCHAR2" }, { "B2", "VARCHAR2" } } },
        { "NVL", 2, "NUMBER", { { "B1", "NUMBER" }, { "B2", "NUMBER" } } },
        { "NVL", 3, "DATE", { { "B1", "DATE" }, { "B2", "DATE" } } },
        { "SAVEPOINT", 0, nullptr, { { "SAVE_POINT", "CHAR" } } },
        { "SUBSTR", 0, "VARCHAR2", { { "STR1", "VARCHAR2" }, { "POS", "NUMBER" },
                                       { "LEN", "NUMBER" } } },
        { "SYSDATE", 0, "DATE", {} },
        { "UPPER", 0, "VARCHAR2", { { "CH", "VARCHAR2" } } },
    };
    return list;
}

const char *const argumentColumns = "OWNER VARCHAR2(128), OBJECT_NAME VARCHAR2(128), "
    "PACKAGE_NAME VARCHAR2(128), OBJECT_ID NUMBER, OVERLOAD VARCHAR2(40), SUBPROGRAM_ID NUMBER, "
    "ARGUMENT_NAME VARCHAR2(128), POSITION NUMBER, SEQUENCE NUMBER, DATA_LEVEL NUMBER, "
    "DATA_TYPE VARCHAR2(30), DEFAULTED VARCHAR2(1), DATA_LENGTH NUMBER, DATA_PRECISION NUMBER, "
    "DATA_SCALE NUMBER, IN_OUT VARCHAR2(9), TYPE_OWNER VARCHAR2(128), TYPE_NAME VARCHAR2(128), "
    "TYPE_SUBNAME VARCHAR2(128)";

const char *const triggerColumns = "OWNER VARCHAR2(128), TRIGGER_NAME VARCHAR2(128), "
    "TRIGGER_TYPE VARCHAR2(16), TRIGGERING_EVENT VARCHAR2(246), TABLE_OWNER VARCHAR2(128), "
    "BASE_OBJECT_TYPE VARCHAR2(18), TABLE_NAME VARCHAR2(128), COLUMN_NAME VARCHAR2(4000), "
    "REFERENCING_NAMES VARCHAR2(422), WHEN_CLAUSE VARCHAR2(4000), STATUS VARCHAR2(8), "
    "DESCRIPTION VARCHAR2(4000), ACTION_TYPE VARCHAR2(11), TRIGGER_BODY LONG TEXT";

const char *const typeColumns = "OWNER VARCHAR2(128), TYPE_NAME VARCHAR2(128), "
    "TYPE_OID RAW BLOB(16), TYPECODE VARCHAR2(128), ATTRIBUTES NUMBER, METHODS NUMBER, "
    "PREDEFINED VARCHAR2(3), INCOMPLETE VARCHAR2(3), FINAL VARCHAR2(3)";

const char *const typeAttrColumns = "OWNER VARCHAR2(128), TYPE_NAME VARCHAR2(128), "
    "ATTR_NAME VARCHAR2(128), ATTR_TYPE_MOD VARCHAR2(7), ATTR_TYPE_OWNER VARCHAR2(128), "
    "ATTR_TYPE_NAME VARCHAR2(128), LENGTH NUMBER, PRECISION NUMBER, SCALE NUMBER, "
    "CHARACTER_SET_NAME VARCHAR2(44), ATTR_NO NUMBER";

const char *const objectColumns
    = "OWNER VARCHAR2(128), OBJECT_NAME VARCHAR2(128), SUBOBJECT_NAME VARCHAR2(128), "
      "OBJECT_ID NUMBER, DATA_OBJECT_ID NUMBER, OBJECT_TYPE VARCHAR2(23), "
      "CREATED DATE TEXT, LAST_DDL_TIME DATE TEXT, TIMESTAMP VARCHAR2(19), "
      "STATUS VARCHAR2(7), TEMPORARY VARCHAR2(1), GENERATED VARCHAR2(1), "
      "SECONDARY VARCHAR2(1)";

// Every object of the schema, stored code and what later layers record beside them.
void objectRows(const Source &s, std::vector<Row> &out)
{
    int64_t id = s.idBase;
    auto add = [&](const std::string &owner, const std::string &name, const std::string &type,
                   int64_t objectId, const std::string &status, const std::string &created = {},
                   const std::string &ddlTime = {}) {
        const bool segment = type == "TABLE" || type == "INDEX";
        out.push_back(
            { str(owner), str(name), null(), num(objectId), segment ? num(objectId) : null(),
                str(type), str(created), str(ddlTime), null(), str(status), str("N"),
                str(type == "INDEX" && name.rfind("SYS_C", 0) == 0 ? "Y" : "N"), str("N") });
    };
    for (const CatalogueTable &t : s.cat.tables)
        add(s.user, t.name, t.view ? "VIEW" : "TABLE",
            t.rootpage ? s.idBase - 100000 + t.rootpage : ++id,
            t.view ? viewStatus(s, t.name) : "VALID");
    for (const CatalogueMView &m : s.cat.mviews)
        add(s.user, m.name, "MATERIALIZED VIEW", ++id, "VALID");
    for (const CatalogueIndex &i : s.cat.indexes)
        add(s.user, i.name, "INDEX", ++id, "VALID");
    for (const CatalogueSequence &q : s.cat.sequences)
        add(s.user, q.name, "SEQUENCE", ++id, "VALID");
    for (const CatalogueSynonym &y : s.cat.synonyms)
        if (publicShown(s, y))
            add(y.owner, y.name, "SYNONYM", ++id, "VALID");
    if (s.first) {
        add("SYS", "STANDARD", "PACKAGE", 10, "VALID");
        add("SYS", "STANDARD", "PACKAGE BODY", 11, "VALID");
    }
    // Stored code: its status is that of its last compilation.
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(s.db,
            ("SELECT NAME, TYPE, STATUS, CREATED, LAST_DDL_TIME FROM " + quotedDatabase(s)
                + ".QDSI_UNITS ORDER BY NAME, TYPE")
                .c_str(),
            -1, &st, nullptr)
        == SQLITE_OK) {
        auto text = [st](int i) {
            const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
            return t ? std::string(t) : std::string();
        };
        while (sqlite3_step(st) == SQLITE_ROW)
            add(s.user, text(0), text(1), ++id, text(2), text(3), text(4));
    }
    sqlite3_finalize(st);
    // Stored code and triggers a later layer records with the view's columns.
    std::vector<Row> side;
    sideRows(s, "OBJECTS", objectColumns, side);
    for (Row &r : side) {
        if (r[0].kind == Cell::Null)
            r[0] = str(s.user);
        if (r[3].kind == Cell::Null)
            r[3] = num(++id);
        if (r[9].kind == Cell::Null)
            r[9] = str("VALID");
        out.push_back(std::move(r));
    }
}

// Columns of tables and views.
void columnRows(const Source &s, std::vector<Row> &out)
{
    const auto generated = identities(s);
    for (const CatalogueTable &t : s.cat.tables)
        for (CatalogueColumn c : t.columns) {
            const bool chars = c.dataType.find("CHAR") != std::string::npos;
            // An identity column's default is its sequence, as the server shows it.
            const auto id = generated.find({ t.name, c.name });
            if (id != generated.end())
                c.defaultText = "\"" + s.user + "\".\"" + id->second.sequence + "\".nextval";
            out.push_back({ str(s.user), str(t.name), str(c.name), str(c.dataType), null(),
                c.objectType ? str(s.user) : null(), num(c.length), optNum(c.precision),
                optNum(c.scale), str(c.nullable ? "Y" : "N"), num(c.columnId),
                c.defaultText.empty() ? null() : num(static_cast<int64_t>(c.defaultText.size())),
                str(c.defaultText), num(chars ? c.length : 0),
                str(id != generated.end() ? "YES" : "NO") });
        }
}

// Constraints, the disabled ones too.
void constraintRows(const Source &s, std::vector<Row> &out)
{
    for (const CatalogueConstraint &c : s.cat.constraints) {
        const bool keyed = c.type == 'P' || c.type == 'U';
        out.push_back({ str(s.user), str(c.name), str(std::string(1, c.type)), str(c.table),
            str(c.condition), c.type == 'R' ? str(s.user) : null(), str(c.refConstraint),
            str(c.deleteRule), str(c.enabled ? "ENABLED" : "DISABLED"), str("NOT DEFERRABLE"),
            str("IMMEDIATE"), str(c.enabled ? "VALIDATED" : "NOT VALIDATED"),
            str(c.generatedName ? "GENERATED NAME" : "USER NAME"), keyed ? str(s.user) : null(),
            keyed ? str(c.name) : null() });
    }
}

// The columns of each index with their lengths.
void indexColumnRows(const Source &s, std::vector<Row> &out)
{
    for (const CatalogueIndex &i : s.cat.indexes) {
        const CatalogueTable *t = s.cat.table(i.table);
        for (size_t k = 0; k < i.columns.size(); ++k) {
            int64_t length = 22;
            if (t)
                for (const CatalogueColumn &c : t->columns)
                    if (c.name == i.columns[k])
                        length = c.length;
            out.push_back({ str(s.user), str(i.name), str(s.user), str(i.table), str(i.columns[k]),
                num(static_cast<int64_t>(k) + 1), num(length), num(0), str("ASC") });
        }
    }
}

// Identity columns with the options of their sequences.
void identityColumnRows(const Source &s, std::vector<Row> &out)
{
    for (const auto &[key, id] : identities(s)) {
        const bool up = id.increment > 0;
        const std::string options = "START WITH: " + std::to_string(id.start)
            + ", INCREMENT BY: " + std::to_string(id.increment)
            + ", MAX_VALUE: " + (up ? "9999999999999999999999999999" : "-1")
            + ", MIN_VALUE: " + (up ? "1" : "-999999999999999999999999999")
            + ", CYCLE_FLAG: N, CACHE_SIZE: 20, ORDER_FLAG: N, SCALE_FLAG: N, "
              "EXTEND_FLAG: N, SESSION_FLAG: N, KEEP_VALUE: N";
        out.push_back({ str(s.user), str(key.first), str(key.second),
            str(id.onNull ? "BY DEFAULT" : id.generation), str(id.sequence), str(options) });
    }
}

// The attributes of the stored object types.
void typeAttributeRows(const Source &s, std::vector<Row> &out)
{
    const std::vector<StoredType> types = storedTypes(s);
    auto stored = [&types](const std::string &name) {
        for (const StoredType &t : types)
            if (t.name == name)
                return true;
        return false;
    };
    for (const StoredType &t : types) {
        int64_t number = 0;
        for (const auto &[name, type] : t.attributes)
            out.push_back(
                { str(s.user), str(t.name), str(name), null(), stored(type) ? str(s.user) : null(),
                    str(type), null(), null(), null(), null(), num(++number) });
    }
    sideRows(s, "TYPE_ATTRS", typeAttrColumns, out);
}

// Stored triggers as their text describes them.
void triggerRows(const Source &s, std::vector<Row> &out)
{
    for (const plsql::StoredUnit &u : storedUnits(s, { "TRIGGER" })) {
        const auto d = plsql::describeTrigger(u);
        if (!d)
            continue;
        out.push_back({ str(s.user), str(u.name), str(d->triggerType), str(d->triggeringEvent),
            str(s.user), str("TABLE"), str(d->tableName), null(),
            str("REFERENCING NEW AS NEW OLD AS OLD"), str(d->whenClause),
            str(Triggers::isDisabled(s.db, s.database, u.name) ? "DISABLED" : "ENABLED"),
            str(d->description), str("PL/SQL"), str(d->body) });
    }
    sideRows(s, "TRIGGERS", triggerColumns, out);
}

// Arguments of stored procedures, functions and packages, and of the STANDARD package's
// built-ins in the first schema.
void argumentRows(const Source &s, std::vector<Row> &out)
{
    int64_t subprogram = 0;
    int64_t objectId = s.idBase + 50000;
    for (const plsql::StoredUnit &u : storedUnits(s, { "PROCEDURE", "FUNCTION", "PACKAGE" })) {
        ++objectId;
        int64_t lastSubprogram = -1;
        std::string lastName;
        std::optional<int> lastOverload;
        int64_t sub = 0;
        for (const plsql::ArgumentRow &a : plsql::describeArguments(u)) {
            if (a.objectName != lastName || a.overload != lastOverload || lastSubprogram < 0) {
                ++sub;
                lastName = a.objectName;
                lastOverload = a.overload;
                lastSubprogram = sub;
            }
            out.push_back({ str(s.user), str(a.objectName), str(a.packageName), num(objectId),
                a.overload ? str(std::to_string(*a.overload)) : null(), num(sub),
                str(a.argumentName), num(a.position), num(a.sequence), num(a.dataLevel),
                str(a.dataType), str(a.defaulted ? "Y" : "N"), null(), null(), null(), str(a.inOut),
                null(), null(), null() });
        }
    }
    if (!s.first) {
        sideRows(s, "ARGUMENTS", argumentColumns, out);
        return;
    }
    for (const Builtin &b : builtins()) {
        ++subprogram;
        int64_t sequence = 0;
        auto arg = [&](const char *name, const char *type, int64_t position, const char *inOut) {
            out.push_back({ str("SYS"), str(b.name), str("STANDARD"), num(10),
                b.overload ? str(std::to_string(b.overload)) : null(), num(subprogram),
                name ? str(name) : null(), num(position),
                num(sequence == 0 && !type ? 0 : ++sequence), num(0), type ? str(type) : null(),
                str("N"), null(), null(), null(), str(inOut), null(), null(), null() });
        };
        if (b.result)
            arg(nullptr, b.result, 0, "OUT");
        else if (b.arguments.empty())
            arg(nullptr, nullptr, 1, "IN");
        int64_t position = 0;
        for (const auto &[name, type] : b.arguments)
            arg(name, type, ++position, "IN");
    }
    sideRows(s, "ARGUMENTS", argumentColumns, out);
}

// The tables of the schema.
void tableRows(const Source &s, std::vector<Row> &out)
{
    for (const CatalogueTable &t : s.cat.tables)
        if (!t.view)
            out.push_back({ str(s.user), str(t.name), str("USERS"), null(), null(), str("VALID"),
                null(), str("N"), str("NO") });
}

// The views of the schema with their queries.
void viewRows(const Source &s, std::vector<Row> &out)
{
    for (const CatalogueTable &t : s.cat.tables)
        if (t.view)
            out.push_back({ str(s.user), str(t.name), num(static_cast<int64_t>(t.viewText.size())),
                str(t.viewText) });
}

// The materialized views of the schema.
void snapshotRows(const Source &s, std::vector<Row> &out)
{
    for (const CatalogueMView &m : s.cat.mviews)
        out.push_back({ str(s.user), str(m.name), str(m.tableName), null(), str(s.user), null(),
            str("COMPLETE"), str(m.query) });
}

// The columns of each constraint; a check constraint lists its columns without a position.
void constraintColumnRows(const Source &s, std::vector<Row> &out)
{
    for (const CatalogueConstraint &c : s.cat.constraints)
        for (size_t i = 0; i < c.columns.size(); ++i)
            // check constraints list their columns without a position
            out.push_back({ str(s.user), str(c.name), str(c.table), str(c.columns[i]),
                c.type == 'C' ? null() : num(static_cast<int64_t>(i) + 1) });
}

// The indexes of the schema.
void indexRows(const Source &s, std::vector<Row> &out)
{
    for (const CatalogueIndex &i : s.cat.indexes)
        out.push_back(
            { str(s.user), str(i.name), str("NORMAL"), str(s.user), str(i.table), str("TABLE"),
                str(i.unique ? "UNIQUE" : "NONUNIQUE"), str("USERS"), str("VALID"), str("N") });
}

// The sequences of the schema.
void sequenceRows(const Source &s, std::vector<Row> &out)
{
    for (const CatalogueSequence &q : s.cat.sequences)
        out.push_back({ str(s.user), str(q.name), num(1), str("9999999999999999999999999999"),
            num(q.incrementBy), str("N"), str("N"), num(0), num(q.lastNumber) });
}

// The comments on tables and views.
void tableCommentRows(const Source &s, std::vector<Row> &out)
{
    const auto texts = comments(s);
    for (const CatalogueTable &t : s.cat.tables) {
        const auto c = texts.find({ t.name, "" });
        out.push_back({ str(s.user), str(t.name), str(t.view ? "VIEW" : "TABLE"),
            c == texts.end() ? null() : str(c->second) });
    }
}

// The comments on columns.
void columnCommentRows(const Source &s, std::vector<Row> &out)
{
    const auto texts = comments(s);
    for (const CatalogueTable &t : s.cat.tables)
        for (const CatalogueColumn &col : t.columns) {
            const auto c = texts.find({ t.name, col.name });
            out.push_back({ str(s.user), str(t.name), str(col.name),
                c == texts.end() ? null() : str(c->second) });
        }
}

// The synonyms the schema shows.
void synonymRows(const Source &s, std::vector<Row> &out)
{
    for (const CatalogueSynonym &y : s.cat.synonyms)
        if (publicShown(s, y))
            out.push_back(
                { str(y.owner), str(y.name), str(y.tableOwner), str(y.tableName), str(y.dbLink) });
}

// Every schema of the alias is a user; each schema adds its own owner.
void userRows(const Source &s, std::vector<Row> &out)
{
    // Every schema of the alias is a user; each schema adds its own owner.
    if (s.first) {
        out.push_back({ str("SYS"), num(0), null() });
        out.push_back({ str("SYSTEM"), num(5), null() });
    }
    if (s.user != "SYS" && s.user != "SYSTEM")
        out.push_back({ str(s.user), num(s.idBase / 100000 + 99), null() });
}

// The stored object types, and the ones a later layer records.
void typeRows(const Source &s, std::vector<Row> &out)
{
    for (const StoredType &t : storedTypes(s))
        out.push_back(
            { str(s.user), str(t.name), null(), str(t.collection ? "COLLECTION" : "OBJECT"),
                num(static_cast<int64_t>(t.attributes.size())), num(0), str("NO"), str("NO"),
                str("YES") });
    sideRows(s, "TYPES", typeColumns, out);
}

const std::vector<View> &views()
{
    static const std::vector<View> list = {
        { "OBJECTS", objectColumns, 0, objectRows },
        { "TABLES",
            "OWNER VARCHAR2(128), TABLE_NAME VARCHAR2(128), TABLESPACE_NAME VARCHAR2(30), "
            "CLUSTER_NAME VARCHAR2(128), IOT_NAME VARCHAR2(128), STATUS VARCHAR2(8), "
            "NUM_ROWS NUMBER, TEMPORARY VARCHAR2(1), NESTED VARCHAR2(3)",
            0, tableRows },
        { "VIEWS",
            "OWNER VARCHAR2(128), VIEW_NAME VARCHAR2(128), TEXT_LENGTH NUMBER, TEXT LONG TEXT", 0,
            viewRows },
        { "SNAPSHOTS",
            "OWNER VARCHAR2(128), NAME VARCHAR2(128), TABLE_NAME VARCHAR2(128), "
            "MASTER_VIEW VARCHAR2(128), MASTER_OWNER VARCHAR2(128), MASTER VARCHAR2(128), "
            "TYPE VARCHAR2(8), QUERY LONG TEXT",
            0, snapshotRows },
        { "TAB_COLUMNS",
            "OWNER VARCHAR2(128), TABLE_NAME VARCHAR2(128), COLUMN_NAME VARCHAR2(128), "
            "DATA_TYPE VARCHAR2(128), DATA_TYPE_MOD VARCHAR2(3), DATA_TYPE_OWNER VARCHAR2(128), "
            "DATA_LENGTH NUMBER, DATA_PRECISION NUMBER, DATA_SCALE NUMBER, "
            "NULLABLE VARCHAR2(1), COLUMN_ID NUMBER, DEFAULT_LENGTH NUMBER, "
            "DATA_DEFAULT LONG TEXT, CHAR_LENGTH NUMBER, IDENTITY_COLUMN VARCHAR2(3)",
            0, columnRows },
        { "CONSTRAINTS",
            "OWNER VARCHAR2(128), CONSTRAINT_NAME VARCHAR2(128), CONSTRAINT_TYPE VARCHAR2(1), "
            "TABLE_NAME VARCHAR2(128), SEARCH_CONDITION LONG TEXT, R_OWNER VARCHAR2(128), "
            "R_CONSTRAINT_NAME VARCHAR2(128), DELETE_RULE VARCHAR2(9), STATUS VARCHAR2(8), "
            "DEFERRABLE VARCHAR2(14), DEFERRED VARCHAR2(9), VALIDATED VARCHAR2(13), "
            "GENERATED VARCHAR2(14), INDEX_OWNER VARCHAR2(128), INDEX_NAME VARCHAR2(128)",
            0, constraintRows },
        { "CONS_COLUMNS",
            "OWNER VARCHAR2(128), CONSTRAINT_NAME VARCHAR2(128), TABLE_NAME VARCHAR2(128), "
            "COLUMN_NAME VARCHAR2(4000), POSITION NUMBER",
            0, constraintColumnRows },
        { "INDEXES",
            "OWNER VARCHAR2(128), INDEX_NAME VARCHAR2(128), INDEX_TYPE VARCHAR2(27), "
            "TABLE_OWNER VARCHAR2(128), TABLE_NAME VARCHAR2(128), TABLE_TYPE VARCHAR2(11), "
            "UNIQUENESS VARCHAR2(9), TABLESPACE_NAME VARCHAR2(30), STATUS VARCHAR2(8), "
            "GENERATED VARCHAR2(1)",
            0, indexRows },
        { "IND_COLUMNS",
            "INDEX_OWNER VARCHAR2(128), INDEX_NAME VARCHAR2(128), TABLE_OWNER VARCHAR2(128), "
            "TABLE_NAME VARCHAR2(128), COLUMN_NAME VARCHAR2(4000), COLUMN_POSITION NUMBER, "
            "COLUMN_LENGTH NUMBER, CHAR_LENGTH NUMBER, DESCEND VARCHAR2(4)",
            0, indexColumnRows },
        { "SEQUENCES",
            "SEQUENCE_OWNER VARCHAR2(128), SEQUENCE_NAME VARCHAR2(128), MIN_VALUE NUMBER, "
            "MAX_VALUE NUMBER, INCREMENT_BY NUMBER, CYCLE_FLAG VARCHAR2(1), "
            "ORDER_FLAG VARCHAR2(1), CACHE_SIZE NUMBER, LAST_NUMBER NUMBER",
            0, sequenceRows },
        { "TAB_IDENTITY_COLS",
            "OWNER VARCHAR2(128), TABLE_NAME VARCHAR2(128), COLUMN_NAME VARCHAR2(128), "
            "GENERATION_TYPE VARCHAR2(10), SEQUENCE_NAME VARCHAR2(128), "
            "IDENTITY_OPTIONS VARCHAR2(298)",
            0, identityColumnRows },
        { "TAB_COMMENTS",
            "OWNER VARCHAR2(128), TABLE_NAME VARCHAR2(128), TABLE_TYPE VARCHAR2(11), "
            "COMMENTS VARCHAR2(4000)",
            0, tableCommentRows },
        { "COL_COMMENTS",
            "OWNER VARCHAR2(128), TABLE_NAME VARCHAR2(128), COLUMN_NAME VARCHAR2(128), "
            "COMMENTS VARCHAR2(4000)",
            0, columnCommentRows },
        { "SYNONYMS",
            "OWNER VARCHAR2(128), SYNONYM_NAME VARCHAR2(128), TABLE_OWNER VARCHAR2(128), "
            "TABLE_NAME VARCHAR2(128), DB_LINK VARCHAR2(128)",
            0, synonymRows },
        { "USERS", "USERNAME VARCHAR2(128), USER_ID NUMBER, CREATED DATE TEXT", 0, userRows },
        { "TYPES", typeColumns, 0, typeRows },
        { "TYPE_ATTRS", typeAttrColumns, 0, typeAttributeRows },
        { "TRIGGERS", triggerColumns, 0, triggerRows },
        { "ARGUMENTS", argumentColumns, 0, argumentRows },
    };
    return list;
}

// ---- the virtual table ----

struct Table : sqlite3_vtab {
    sqlite3 *db = nullptr;
    const View *view = nullptr;
    bool userForm = false;
    const std::string *user = nullptr;
};

struct Cursor : sqlite3_vtab_cursor {
    std::vector<Row> rows;
    size_t at = 0;
};

int connect(sqlite3 *db, void *aux, int argc, const char *const *argv, sqlite3_vtab **out,
    char **error)
{
    if (argc < 4) {
        *error = sqlite3_mprintf("dictionary view name missing");
        return SQLITE_ERROR;
    }
    const std::string arg = argv[3];
    const bool userForm = arg.rfind("USER_", 0) == 0;
    const std::string base = arg.substr(arg.find('_') + 1);
    const View *view = nullptr;
    for (const View &v : views())
        if (base == v.name)
            view = &v;
    if (!view) {
        *error = sqlite3_mprintf("unknown dictionary view %s", argv[3]);
        return SQLITE_ERROR;
    }
    // Column names in quotes: DEFERRABLE, TEMPORARY and others are SQLite keywords.
    std::string declaration;
    const std::string columns = view->columns;
    for (size_t p = 0; p < columns.size();) {
        size_t comma = columns.find(',', p);
        if (comma == std::string::npos)
            comma = columns.size();
        const size_t b = columns.find_first_not_of(' ', p);
        const size_t blank = columns.find(' ', b);
        declaration += (declaration.empty() ? "" : ", ") + ("\"" + columns.substr(b, blank - b))
            + "\"" + columns.substr(blank, comma - blank);
        p = comma + 1;
    }
    const int rc = sqlite3_declare_vtab(db, ("CREATE TABLE x(" + declaration + ")").c_str());
    if (rc != SQLITE_OK)
        return rc;
    auto *t = new Table();
    t->db = db;
    t->view = view;
    t->userForm = userForm;
    t->user = static_cast<const std::string *>(aux);
    *out = t;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab *vtab)
{
    delete static_cast<Table *>(vtab);
    return SQLITE_OK;
}

int bestIndex(sqlite3_vtab *, sqlite3_index_info *info)
{
    info->estimatedCost = 1000;
    info->estimatedRows = 100;
    return SQLITE_OK;
}

int openCursor(sqlite3_vtab *, sqlite3_vtab_cursor **out)
{
    *out = new Cursor();
    return SQLITE_OK;
}

int closeCursor(sqlite3_vtab_cursor *cursor)
{
    delete static_cast<Cursor *>(cursor);
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor *cursor, int, const char *, int, sqlite3_value **)
{
    auto *c = static_cast<Cursor *>(cursor);
    const auto *t = static_cast<const Table *>(cursor->pVtab);
    c->rows.clear();
    c->at = 0;
    try {
        // USER_ forms read the session's own schema only; the others every schema.
        const std::vector<SchemaRef> schemas = connectionSchemas(t->db, *t->user);
        std::set<std::string> publicSeen;
        std::vector<Row> rows;
        for (size_t k = 0; k < schemas.size() && (k == 0 || !t->userForm); ++k) {
            const Catalogue cat = readCatalogue(t->db, schemas[k].database);
            Source src { t->db, schemas[k].owner, cat };
            src.database = schemas[k].database;
            src.first = k == 0;
            src.schemas = &schemas;
            src.publicSeen = &publicSeen;
            src.idBase = 100000 * static_cast<int64_t>(k + 1);
            t->view->rows(src, rows);
        }
        const int owner = t->view->ownerColumn;
        for (Row &r : rows)
            if (!t->userForm || owner < 0
                || (r[static_cast<size_t>(owner)].kind == Cell::Text
                    && r[static_cast<size_t>(owner)].s == *t->user))
                c->rows.push_back(std::move(r));
    } catch (const std::exception &e) {
        sqlite3_free(cursor->pVtab->zErrMsg);
        cursor->pVtab->zErrMsg = sqlite3_mprintf("%s", e.what());
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor *cursor)
{
    ++static_cast<Cursor *>(cursor)->at;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor *cursor)
{
    const auto *c = static_cast<Cursor *>(cursor);
    return c->at >= c->rows.size();
}

int column(sqlite3_vtab_cursor *cursor, sqlite3_context *context, int i)
{
    const auto *c = static_cast<Cursor *>(cursor);
    const Row &r = c->rows[c->at];
    if (i < 0 || static_cast<size_t>(i) >= r.size()) {
        sqlite3_result_null(context);
        return SQLITE_OK;
    }
    const Cell &cell = r[static_cast<size_t>(i)];
    switch (cell.kind) {
    case Cell::Null: sqlite3_result_null(context); break;
    case Cell::Int: sqlite3_result_int64(context, cell.i); break;
    case Cell::Text:
        sqlite3_result_text(context, cell.s.c_str(), static_cast<int>(cell.s.size()),
            SQLITE_TRANSIENT);
        break;
    }
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor *cursor, sqlite3_int64 *out)
{
    *out = static_cast<sqlite3_int64>(static_cast<Cursor *>(cursor)->at) + 1;
    return SQLITE_OK;
}

sqlite3_module makeModule()
{
    sqlite3_module m;
    std::memset(&m, 0, sizeof m);
    m.iVersion = 1;
    m.xCreate = connect;
    m.xConnect = connect;
    m.xBestIndex = bestIndex;
    m.xDisconnect = disconnect;
    m.xDestroy = disconnect;
    m.xOpen = openCursor;
    m.xClose = closeCursor;
    m.xFilter = filter;
    m.xNext = next;
    m.xEof = eof;
    m.xColumn = column;
    m.xRowid = rowid;
    return m;
}

} // namespace

std::pair<std::string, std::string> synonymTarget(
    sqlite3 *db, const std::string &user, const std::string &name)
{
    const std::vector<SchemaRef> schemas = connectionSchemas(db, user);
    auto databaseOf = [&](const std::string &owner) -> const SchemaRef * {
        for (const SchemaRef &s : schemas)
            if (s.owner == owner)
                return &s;
        return nullptr;
    };
    auto one = [db](const std::string &sql, const std::vector<std::string> &binds,
                   std::pair<std::string, std::string> *row) {
        sqlite3_stmt *st = nullptr;
        bool found = false;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            for (size_t i = 0; i < binds.size(); ++i)
                sqlite3_bind_text(
                    st, static_cast<int>(i) + 1, binds[i].c_str(), -1, SQLITE_TRANSIENT);
            found = sqlite3_step(st) == SQLITE_ROW;
            if (found && row) {
                const auto *o = sqlite3_column_text(st, 0);
                const auto *t = sqlite3_column_text(st, 1);
                *row = { o ? reinterpret_cast<const char *>(o) : "",
                    t ? reinterpret_cast<const char *>(t) : "" };
            }
        }
        sqlite3_finalize(st);
        return found;
    };
    auto isObject = [&](const std::string &owner, const std::string &n) {
        const SchemaRef *s = databaseOf(owner);
        return s
            && one("SELECT 1 FROM " + quoteSqlName(s->database)
                    + ".sqlite_master WHERE type IN ('table', 'view') AND name = ?1",
                { n }, nullptr);
    };
    // A synonym owned by `owner` (a user or PUBLIC): a user's are kept in the user's schema,
    // public ones in the schema of whoever made them, the session's own first.
    auto synonym = [&](const std::string &owner, const std::string &n,
                       std::pair<std::string, std::string> &target) {
        for (const SchemaRef &s : schemas) {
            if (owner != "PUBLIC" && s.owner != owner)
                continue;
            if (one("SELECT TABLE_OWNER, TABLE_NAME FROM " + quoteSqlName(s.database)
                        + ".QDSI_SYNONYMS WHERE OWNER = ?1 AND SYNONYM_NAME = ?2 "
                          "AND DB_LINK IS NULL",
                    { owner, n }, &target))
                return true;
        }
        return false;
    };
    std::pair<std::string, std::string> target;
    // An object of the schema hides any public synonym of its name.
    if (isObject(user, name))
        return target;
    if (!synonym(user, name, target) && !synonym("PUBLIC", name, target)) {
        // SQLite would find another schema's object of the name, where the server finds none:
        // name it in the own schema, where it is missing.
        for (const SchemaRef &s : schemas)
            if (s.database != "main" && isObject(s.owner, name))
                return { "main", name };
        return target;
    }
    // The chain is bounded, so a synonym loop ends (the statement then fails on the name as it
    // stands). A target that is no object is looked up as a synonym of its owner, then as a
    // public one.
    for (int step = 0; step < 16 && !isObject(target.first, target.second); ++step) {
        std::pair<std::string, std::string> next;
        if (!synonym(target.first, target.second, next) && !synonym("PUBLIC", target.second, next))
            break;
        if (next == target)
            break;
        target = next;
    }
    return target;
}

bool columnDescription(
    sqlite3 *db, const std::string &table, const std::string &column, sql::ColumnDescription &d)
{
    const char *declared = nullptr;
    int notNull = 0;
    // Without a column: whether the table exists.
    if (sqlite3_table_column_metadata(db, nullptr, table.c_str(),
            column.empty() ? nullptr : column.c_str(), &declared,
            nullptr, &notNull, nullptr, nullptr)
        != SQLITE_OK)
        return false;
    d = sql::describeDeclaredType(declared ? declared : "");
    d.nullable = notNull == 0;
    return true;
}

int installDictionary(sqlite3 *db, const std::string &user)
{
    // Synonyms are rows of a side table; a schema made before it existed gets it now.
    sqlite3_exec(db,
        "CREATE TABLE IF NOT EXISTS main.QDSI_SYNONYMS (OWNER TEXT NOT NULL, "
        "SYNONYM_NAME TEXT NOT NULL, TABLE_OWNER TEXT, TABLE_NAME TEXT NOT NULL, DB_LINK TEXT, "
        "PRIMARY KEY (OWNER, SYNONYM_NAME))",
        nullptr, nullptr, nullptr);
    static const sqlite3_module module = makeModule();
    // The connection owns its copy of the user: it may outlive the session that opened it.
    int rc = sqlite3_create_module_v2(db, "qdsi_dictionary", &module, new std::string(user),
        [](void *p) { delete static_cast<std::string *>(p); });
    for (const View &v : views()) {
        for (const char *form : { "ALL_", "USER_" }) {
            if (rc != SQLITE_OK)
                return rc;
            const std::string name = std::string(form) + v.name;
            const std::string sql = "CREATE VIRTUAL TABLE temp.QDSI_DICT_" + name
                + " USING qdsi_dictionary(" + name + ")";
            rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        }
    }
    return rc;
}

} // namespace qdsi::engine
