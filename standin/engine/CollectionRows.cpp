// The table-valued functions behind TABLE(subquery): one eponymous virtual table per collection
// type, its columns the element's attributes (or COLUMN_VALUE) and a hidden argument holding
// the collection's stored text.
#include "engine/CollectionRows.h"

#include "engine/ObjectTypes.h"
#include "engine/OraErrors.h"
#include "engine/Session.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace qdsi::engine {

namespace {

using TypePtr = std::shared_ptr<const ObjectType>;

// The declared type a column of that kind gets, so that the describe sizes it as the server
// does and an object-typed column is described as its type.
std::string declared(const ObjectAttribute &a)
{
    const auto sized = [](const char *base, int size) {
        return std::string(base) + "(" + std::to_string(size > 0 ? size : 1) + ")";
    };
    switch (a.typeCode) {
    case tcVarchar:
    case tcVarchar2:
        return sized("VARCHAR2", a.dataSize);
    case tcChar:
        return sized("CHAR", a.dataSize);
    case tcNumber:
        if (a.precision > 0 && a.scale != -127)
            return "NUMBER(" + std::to_string(a.precision) + "," + std::to_string(a.scale) + ")";
        return "NUMBER";
    case tcDate:
        return "DATE";
    case tcRaw:
        return sized("RAW", a.dataSize);
    case tcTimestamp:
        return "TIMESTAMP(" + std::to_string(a.scale) + ")";
    case tcObject:
        return a.type ? a.type->qualifiedName() : "VARCHAR2(4000)";
    default:
        return "VARCHAR2(4000)"; // REFs, LOBs: their text
    }
}

std::string quoted(const std::string &name)
{
    std::string out = "\"";
    for (char c : name)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The columns of the rows: the element's attributes, or the element itself.
std::vector<const ObjectAttribute *> rowColumns(const ObjectType &collection)
{
    std::vector<const ObjectAttribute *> out;
    const ObjectAttribute &element = *collection.element;
    if (element.typeCode == tcObject && element.type && !element.type->isCollection()
        && !element.type->isXml) {
        for (const ObjectAttribute &a : element.type->attributes)
            out.push_back(&a);
    } else {
        out.push_back(&element);
    }
    return out;
}

bool objectElement(const ObjectType &collection)
{
    return rowColumns(collection).front() != collection.element.get();
}

std::string columnName(const ObjectType &collection, const ObjectAttribute *a)
{
    return quoted(a == collection.element.get() ? "COLUMN_VALUE" : a->name);
}

std::string tableDeclaration(const ObjectType &collection)
{
    return "CREATE TABLE x(" + elementColumnsDeclaration(collection) + ", QD_COLLECTION HIDDEN)";
}

struct Table : sqlite3_vtab {
    TypePtr type;
    size_t columns = 0;
};

struct Cursor : sqlite3_vtab_cursor {
    std::vector<ObjectValue> elements;
    size_t at = 0;
};

void setError(sqlite3_vtab *table, const char *text)
{
    sqlite3_free(table->zErrMsg);
    table->zErrMsg = sqlite3_mprintf("%s", text);
}

int connect(sqlite3 *db, void *aux, int, const char *const *, sqlite3_vtab **out, char **error)
{
    const TypePtr &type = *static_cast<TypePtr *>(aux);
    const int rc = sqlite3_declare_vtab(db, tableDeclaration(*type).c_str());
    if (rc != SQLITE_OK) {
        *error = sqlite3_mprintf("%s", sqlite3_errmsg(db));
        return rc;
    }
    auto *table = new Table();
    table->type = type;
    table->columns = rowColumns(*type).size();
    *out = table;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab *table)
{
    delete static_cast<Table *>(table);
    return SQLITE_OK;
}

int bestIndex(sqlite3_vtab *vtab, sqlite3_index_info *info)
{
    const int hidden = static_cast<int>(static_cast<Table *>(vtab)->columns);
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto &c = info->aConstraint[i];
        if (c.iColumn == hidden && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
            if (!c.usable)
                return SQLITE_CONSTRAINT; // another plan must supply the collection first
            info->aConstraintUsage[i].argvIndex = 1;
            info->aConstraintUsage[i].omit = 1;
            info->idxNum = 1;
            info->estimatedCost = 10;
            return SQLITE_OK;
        }
    }
    setError(vtab, "ORA-22905: cannot access rows from a non-nested table item");
    return SQLITE_ERROR;
}

int open(sqlite3_vtab *, sqlite3_vtab_cursor **out)
{
    *out = new Cursor();
    return SQLITE_OK;
}

int close(sqlite3_vtab_cursor *cursor)
{
    delete static_cast<Cursor *>(cursor);
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor *base, int idxNum, const char *, int argc, sqlite3_value **argv)
{
    auto *cursor = static_cast<Cursor *>(base);
    cursor->elements.clear();
    cursor->at = 0;
    if (idxNum != 1 || argc < 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return SQLITE_OK; // a null collection has no rows
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    try {
        ObjectValue value = decodeObjectValue(
            std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(argv[0]))));
        if (!value.isNull)
            cursor->elements = std::move(value.items);
    } catch (const sql::OraError &e) {
        setError(base->pVtab, e.what());
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor *base)
{
    ++static_cast<Cursor *>(base)->at;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor *base)
{
    const auto *cursor = static_cast<Cursor *>(base);
    return cursor->at >= cursor->elements.size();
}

// A stored scalar as the SQLite value a table column of that kind holds.
void scalarResult(sqlite3_context *context, const ObjectAttribute &a, const std::string &text)
{
    if (a.typeCode == tcNumber) {
        int64_t whole = 0;
        const char *end = text.data() + text.size();
        if (auto [p, ec] = std::from_chars(text.data(), end, whole);
            ec == std::errc() && p == end) {
            sqlite3_result_int64(context, whole);
            return;
        }
        char *stop = nullptr;
        const double real = std::strtod(text.c_str(), &stop);
        if (stop && *stop == '\0' && !text.empty()) {
            sqlite3_result_double(context, real);
            return;
        }
    } else if (a.typeCode == tcRaw) {
        // Stored text that is no hexadecimal (written into the column by hand) stays text.
        std::string bytes;
        for (size_t i = 0; i + 1 < text.size(); i += 2) {
            unsigned value = 0;
            const char *from = text.data() + i;
            if (auto [p, ec] = std::from_chars(from, from + 2, value, 16);
                ec != std::errc() || p != from + 2) {
                sqlite3_result_text(
                    context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
                return;
            }
            bytes += static_cast<char>(value);
        }
        sqlite3_result_blob(
            context, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        return;
    }
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int column(sqlite3_vtab_cursor *base, sqlite3_context *context, int index)
{
    const auto *cursor = static_cast<Cursor *>(base);
    const auto *table = static_cast<Table *>(base->pVtab);
    const size_t i = static_cast<size_t>(index);
    if (i >= table->columns) {
        sqlite3_result_null(context); // the hidden argument is not read back
        return SQLITE_OK;
    }
    const ObjectValue &element = cursor->elements[cursor->at];
    const ObjectValue *value = &element;
    if (objectElement(*table->type)) {
        if (element.isNull || i >= element.items.size()) {
            sqlite3_result_null(context);
            return SQLITE_OK;
        }
        value = &element.items[i];
    }
    const ObjectAttribute &a = *rowColumns(*table->type)[i];
    if (value->isNull) {
        sqlite3_result_null(context);
    } else if (value->isScalar) {
        scalarResult(context, a, value->scalar);
    } else {
        const std::string text = encodeObjectValue(*value);
        sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor *base, sqlite_int64 *out)
{
    const auto *cursor = static_cast<Cursor *>(base);
    const int64_t id = cursor->elements[cursor->at].elementId;
    *out = static_cast<sqlite_int64>(id > 0 ? id : static_cast<int64_t>(cursor->at) + 1);
    return SQLITE_OK;
}

sqlite3_module makeModule()
{
    sqlite3_module m;
    std::memset(&m, 0, sizeof m);
    m.iVersion = 1;
    m.xCreate = nullptr; // eponymous only: used as a table-valued function
    m.xConnect = connect;
    m.xBestIndex = bestIndex;
    m.xDisconnect = disconnect;
    m.xDestroy = disconnect;
    m.xOpen = open;
    m.xClose = close;
    m.xFilter = filter;
    m.xNext = next;
    m.xEof = eof;
    m.xColumn = column;
    m.xRowid = rowid;
    return m;
}

const sqlite3_module collectionModule = makeModule();

// QD_ONE_COLLECTION(v): the subquery's only value; a second row is ORA-01427.
struct OneValue {
    sqlite3_value *value;
    bool seen;
};

void oneStep(sqlite3_context *context, int, sqlite3_value **argv)
{
    auto *state = static_cast<OneValue *>(sqlite3_aggregate_context(context, sizeof(OneValue)));
    if (!state)
        return sqlite3_result_error_nomem(context);
    if (state->seen) {
        sqlite3_result_error(context, oraFail(1427).what(), -1);
        return;
    }
    state->seen = true;
    state->value = sqlite3_value_dup(argv[0]);
}

void oneFinal(sqlite3_context *context)
{
    auto *state = static_cast<OneValue *>(sqlite3_aggregate_context(context, 0));
    if (state && state->value) {
        sqlite3_result_value(context, state->value);
        sqlite3_value_free(state->value);
        state->value = nullptr;
    } else {
        sqlite3_result_null(context);
    }
}

} // namespace

TypePtr collectionTypeOf(Session &session, const char *declaredType)
{
    std::string name = declaredType ? declaredType : "";
    for (char &c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (name.empty() || name.find_first_of("( ") != std::string::npos)
        return nullptr; // a built-in type
    TypePtr type = findObjectType(session, name);
    return type && type->isCollection() && type->element ? type : nullptr;
}

std::vector<std::string> elementColumnNames(const ObjectType &collection)
{
    std::vector<std::string> out;
    for (const ObjectAttribute *a : rowColumns(collection))
        out.push_back(columnName(collection, a));
    return out;
}

std::string elementColumnsDeclaration(const ObjectType &collection)
{
    std::string out;
    for (const ObjectAttribute *a : rowColumns(collection))
        out += (out.empty() ? "" : ", ") + columnName(collection, a) + " " + declared(*a);
    return out;
}

ObjectValue elementOfRow(const ObjectType &collection, sqlite3_stmt *row, int first)
{
    const std::vector<const ObjectAttribute *> columns = rowColumns(collection);
    if (!objectElement(collection))
        return argumentValue(*columns.front(), sqlite3_column_value(row, first));
    ObjectValue element;
    element.isNull = false;
    for (size_t i = 0; i < columns.size(); ++i)
        element.items.push_back(
            argumentValue(*columns[i], sqlite3_column_value(row, first + static_cast<int>(i))));
    return element;
}

std::string collectionRowsFunction(Session &session, const std::string &subquery)
{
    sqlite3 *db = session.db();
    sqlite3_stmt *statement = nullptr;
    const int rc = sqlite3_prepare_v2(db, subquery.c_str(), -1, &statement, nullptr);
    if (rc != SQLITE_OK)
        throw session.sqliteError(rc);
    const int count = sqlite3_column_count(statement);
    const std::string declaredType = count > 0 && sqlite3_column_decltype(statement, 0)
        ? sqlite3_column_decltype(statement, 0)
        : "";
    sqlite3_finalize(statement);
    if (count > 1)
        throw oraFail(913);
    const TypePtr type = collectionTypeOf(session, declaredType.c_str());
    if (!type)
        throw oraFail(22905);
    return collectionRowsFunction(session, type);
}

std::string collectionRowsFunction(Session &session, const TypePtr &type)
{
    sqlite3 *db = session.db();
    std::set<std::string> &known = session.collectionFunctions();
    if (known.insert("QD_ONE_COLLECTION").second)
        sqlite3_create_function_v2(
            db, "QD_ONE_COLLECTION", 1, SQLITE_UTF8, nullptr, nullptr, oneStep, oneFinal, nullptr);
    // One function per layout: a type replaced with other attributes gets a new one, and a
    // statement prepared against the old one keeps it.
    const std::string layout = type->qualifiedName() + "|" + tableDeclaration(*type);
    char hash[32];
    std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string> {}(layout));
    const std::string name = "QD_COLL_" + std::string(hash);
    if (known.insert(name).second) {
        sqlite3_create_module_v2(db, name.c_str(), &collectionModule, new TypePtr(type),
            [](void *p) { delete static_cast<TypePtr *>(p); });
    }
    return name;
}

} // namespace qdsi::engine
