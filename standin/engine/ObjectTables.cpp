#include "engine/ObjectTables.h"

#include "engine/ObjectTypes.h"
#include "engine/OraErrors.h"
#include "engine/Session.h"
#include "sql/Lexer.h"

#include <cctype>

namespace qdsi::engine {

namespace {

std::string sizeOf(int size)
{
    return "(" + std::to_string(size > 0 ? size : 1) + ")";
}

// The Oracle column type that holds an attribute.
std::string columnType(const ObjectAttribute &a)
{
    switch (a.typeCode) {
    case tcVarchar:
    case tcVarchar2:
        return "VARCHAR2" + sizeOf(a.dataSize);
    case tcChar:
        return "CHAR" + sizeOf(a.dataSize);
    case tcNumber:
        if (a.scale == -127)
            return a.precision == 0 ? "NUMBER" : "FLOAT(" + std::to_string(a.precision) + ")";
        return "NUMBER(" + std::to_string(a.precision) + "," + std::to_string(a.scale) + ")";
    case tcDate:
        return "DATE";
    case tcRaw:
        return "RAW" + sizeOf(a.dataSize);
    case tcTimestamp:
        return "TIMESTAMP(" + std::to_string(a.scale) + ")";
    case tcClob:
        return "CLOB";
    case tcBlob:
        return "BLOB";
    case tcRef:
        if (a.type)
            return "REF " + a.type->name;
        break;
    case tcObject:
        if (a.type)
            return a.type->isXml ? "XMLTYPE" : a.type->name;
        break;
    default:
        break;
    }
    throw oraFail(902);
}

// A REF's text split into the table and the row number; false for text that is no REF.
bool splitRef(const std::string &text, std::string &schema, std::string &table, int64_t &rowid)
{
    const size_t slash = text.rfind('/');
    const size_t dot = text.find('.');
    if (slash == std::string::npos || dot == std::string::npos || dot > slash
        || slash + 1 >= text.size() || text.size() - slash - 1 > 18)
        return false;
    rowid = 0;
    for (size_t i = slash + 1; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        rowid = rowid * 10 + (text[i] - '0');
    }
    schema = text.substr(0, dot);
    table = text.substr(dot + 1, slash - dot - 1);
    return !schema.empty() && !table.empty();
}

// The object a REF points at, as stored text; false when its row is gone.
bool readRow(Session &session, const std::string &ref, std::string &out)
{
    std::string schema, table;
    int64_t rowid = 0;
    if (!splitRef(ref, schema, table, rowid) || schema != session.user())
        throw oraFail(21700); // no REF of this server, or one of a schema the session cannot pin
    // A table that is gone (or no longer an object table) leaves its REFs dangling.
    const std::string typeName = objectTableType(session, table);
    const auto type = typeName.empty() ? nullptr : findObjectType(session, typeName);
    if (!type)
        return false;
    sqlite3_stmt *statement = nullptr;
    const std::string sql = "SELECT * FROM main." + sql::quoteName(table) + " WHERE rowid = ?";
    if (sqlite3_prepare_v2(session.db(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        throw oraFail(21700);
    }
    sqlite3_bind_int64(statement, 1, rowid);
    ObjectValue value;
    bool found = false;
    try {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            if (static_cast<size_t>(sqlite3_column_count(statement)) != type->attributes.size())
                throw oraFail(21700);
            value.isNull = false;
            for (size_t i = 0; i < type->attributes.size(); ++i)
                value.items.push_back(argumentValue(
                    type->attributes[i], sqlite3_column_value(statement, static_cast<int>(i))));
            found = true;
        } else if (rc != SQLITE_DONE) {
            throw oraFail(21700);
        }
    } catch (...) {
        sqlite3_finalize(statement);
        throw;
    }
    sqlite3_finalize(statement);
    if (found)
        out = encodeObjectValue(value);
    return found;
}

void deref(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    auto &session = *static_cast<Session *>(sqlite3_user_data(context));
    if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    try {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
        std::string value;
        if (text && readRow(session, text, value))
            sqlite3_result_text(
                context, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        else
            sqlite3_result_null(context); // a dangling REF
    } catch (const sql::OraError &e) {
        sqlite3_result_error(context, e.what(), -1);
    }
}

// QD_REFCHECK(value, 'SCHEMA.TYPE', 'SCOPE'): a value written into a REF column must be a REF
// to a row of an object table of the column's type (and of its scope table, when it has one).
void refCheck(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    auto &session = *static_cast<Session *>(sqlite3_user_data(context));
    if (argc != 3 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(context, 1);
        return;
    }
    auto text = [&](int i) {
        const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(argv[i]));
        return t ? std::string(t) : std::string();
    };
    try {
        const std::string value = text(0), type = text(1), scope = text(2);
        std::string schema, table;
        int64_t rowid = 0;
        if (!splitRef(value, schema, table, rowid) || schema != session.user()
            || objectTableType(session, table) != type)
            throw oraFail(932, "REF " + type + " got CHAR");
        if (!scope.empty() && table != scope)
            throw oraFail(22889);
        sqlite3_result_int(context, 1);
    } catch (const sql::OraError &e) {
        sqlite3_result_error(context, e.what(), -1);
    }
}

} // namespace

std::string objectTypeQualifiedName(Session &session, const std::string &name)
{
    const auto type = findObjectType(session, name);
    if (!type || type->isCollection() || type->isXml)
        return {};
    return type->qualifiedName();
}

std::string objectTableType(Session &session, const std::string &table)
{
    sqlite3_stmt *statement = nullptr;
    std::string type;
    if (sqlite3_prepare_v2(session.db(),
            "SELECT sql FROM main.sqlite_master WHERE type = 'table' AND name = ?", -1, &statement,
            nullptr)
        == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(statement) == SQLITE_ROW)
            if (const auto *text
                = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)))
                type = sql::objectTableMarkType(text);
    }
    sqlite3_finalize(statement);
    return type;
}

std::string objectTableColumns(Session &session, const std::string &typeName)
{
    const auto type = findObjectType(session, typeName);
    if (!type || type->isCollection() || type->isXml || type->attributes.empty())
        throw oraFail(902);
    std::string columns;
    for (const ObjectAttribute &a : type->attributes)
        columns += (columns.empty() ? "" : ", ") + sql::quoteName(a.name) + " " + columnType(a);
    return columns;
}

void registerObjectTableFunctions(Session &session)
{
    sqlite3_create_function_v2(
        session.db(), "QD_DEREF", 1, SQLITE_UTF8, &session, deref, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        session.db(), "QD_REFCHECK", 3, SQLITE_UTF8, &session, refCheck, nullptr, nullptr, nullptr);
}

} // namespace qdsi::engine
