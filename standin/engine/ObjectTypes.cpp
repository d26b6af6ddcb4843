// Object types read from their stored source, their layout, the text encoding of object values
// and the constructor functions. Scalars are kept in text form: VARCHAR2 and CHAR as they are,
// NUMBER as SQLite writes the number, DATE as "YYYY-MM-DD HH24:MI:SS", TIMESTAMP with its
// fraction, RAW as upper-case hexadecimal, XMLTYPE as the document.
#include "engine/ObjectTypes.h"

#include "engine/OraErrors.h"
#include "engine/Session.h"
#include "engine/StoredCode.h"
#include "sql/Lexer.h"

#include <algorithm>
#include <cctype>

namespace qdsi::engine {

namespace {

constexpr size_t pointerSize = sizeof(void *);
constexpr int maxNesting = 16; // a type that contains itself inline is refused

size_t alignUp(size_t offset)
{
    return (offset + pointerSize - 1) / pointerSize * pointerSize;
}

// Lays the attributes out as the client computes it (see the header).
void layOut(ObjectType &type)
{
    size_t value = 0, null = 2;
    for (ObjectAttribute &a : type.attributes) {
        a.nullOffset = null;
        // An XMLTYPE is held by pointer, like a collection.
        const bool embedded
            = a.typeCode == tcObject && a.type && !a.type->isCollection() && !a.type->isXml;
        if (embedded)
            null += a.type->nullSize; // its own indicator and those of its attributes
        else
            null += 2;
        if (a.typeCode == tcNumber)
            a.valueSize = 22;
        else if (a.typeCode == tcDate)
            a.valueSize = 8;
        else if (embedded)
            a.valueSize = a.type->instanceSize;
        else
            a.valueSize = pointerSize;
        if (embedded || a.valueSize == pointerSize)
            value = alignUp(value);
        a.valueOffset = value;
        value += a.valueSize;
    }
    type.instanceSize = value;
    type.nullSize = null;
}

struct Parser {
    Session &session;
    const std::vector<sql::Token> &tokens;
    size_t at = 0;
    int depth = 0;

    const sql::Token &tok(size_t k = 0) const
    {
        return tokens[std::min(at + k, tokens.size() - 1)];
    }
    bool accept(std::string_view word)
    {
        if (!tok().is(word))
            return false;
        ++at;
        return true;
    }
    void expect(std::string_view word)
    {
        if (!accept(word))
            throw oraFail(902);
    }
    int number()
    {
        if (tok().type != sql::TokenType::Number)
            throw oraFail(902);
        return sql::boundedInt(tokens[at++].text.c_str());
    }

    // name datatype, or a collection's element type (no name).
    void datatype(ObjectAttribute &a)
    {
        const sql::Token &t = tok();
        if (!t.isName())
            throw oraFail(902);
        std::string word = t.upper;
        ++at;
        auto sizeArgs = [&](int &first, int &second) {
            if (!accept("("))
                return false;
            first = number();
            if (accept(","))
                second = number();
            while (accept("BYTE") || accept("CHAR")) { }
            expect(")");
            return true;
        };
        int p = -1, s = -1;
        if (word == "VARCHAR2" || word == "VARCHAR" || word == "NVARCHAR2") {
            a.typeCode = tcVarchar2, a.dataSize = sizeArgs(p, s) ? p : 4000;
        } else if (word == "CHAR" || word == "NCHAR") {
            a.typeCode = tcChar, a.dataSize = sizeArgs(p, s) ? p : 1;
        } else if (word == "NUMBER" || word == "DECIMAL" || word == "NUMERIC") {
            a.typeCode = tcNumber, a.dataSize = 22;
            if (sizeArgs(p, s))
                a.precision = p, a.scale = s < 0 ? 0 : s;
            else
                a.precision = 0, a.scale = -127;
        } else if (word == "INTEGER" || word == "INT" || word == "SMALLINT") {
            a.typeCode = tcNumber, a.dataSize = 22, a.precision = 38, a.scale = 0;
        } else if (word == "FLOAT") {
            a.typeCode = tcNumber, a.dataSize = 22, a.precision = 126, a.scale = -127;
            sizeArgs(p, s);
        } else if (word == "DATE") {
            a.typeCode = tcDate, a.dataSize = 7;
        } else if (word == "RAW") {
            a.typeCode = tcRaw, a.dataSize = sizeArgs(p, s) ? p : 2000;
        } else if (word == "TIMESTAMP") {
            a.typeCode = tcTimestamp, a.dataSize = 11;
            a.scale = sizeArgs(p, s) ? p : 6;
        } else if (word == "CLOB") {
            a.typeCode = tcClob, a.dataSize = 4000;
        } else if (word == "BLOB") {
            a.typeCode = tcBlob, a.dataSize = 4000;
        } else if (word == "REF") {
            a.typeCode = tcRef, a.dataSize = 36;
            a.type = namedType();
        } else {
            --at;
            a.typeCode = tcObject;
            a.type = namedType();
            a.dataSize = 0;
        }
    }

    std::shared_ptr<const ObjectType> namedType()
    {
        std::string schema = session.user(), name = tok().upper;
        if (!tok().isName())
            throw oraFail(902);
        ++at;
        if (accept(".")) {
            schema = name;
            name = tok().upper;
            ++at;
        }
        if (depth >= maxNesting)
            throw oraFail(22303, schema + "\".\"" + name);
        auto type = findObjectType(session, schema, name);
        if (!type)
            throw oraFail(22303, schema + "\".\"" + name);
        return type;
    }

    std::shared_ptr<ObjectType> typeSpecification(
        const std::string &schema, const std::string &name)
    {
        auto type = std::make_shared<ObjectType>();
        type->schema = schema;
        type->name = name;
        // CREATE [OR REPLACE] TYPE name [FORCE] AS|IS ...
        while (tok().type != sql::TokenType::End && !tok().is("AS") && !tok().is("IS"))
            ++at;
        if (!accept("AS"))
            expect("IS");
        if (accept("OBJECT")) {
            expect("(");
            for (;;) {
                if (tok().is("MEMBER") || tok().is("STATIC") || tok().is("CONSTRUCTOR")
                    || tok().is("MAP") || tok().is("ORDER") || tok().is("FINAL") || tok().is("NOT")
                    || tok().is("OVERRIDING"))
                    break; // methods: the stand-in keeps no method code
                ObjectAttribute a;
                if (!tok().isName())
                    throw oraFail(902);
                a.name = tok().upper;
                ++at;
                datatype(a);
                type->attributes.push_back(std::move(a));
                if (!accept(","))
                    break;
            }
        } else {
            type->typeCode = tcNamedCollection;
            if (accept("TABLE")) {
                type->collectionCode = tcTable;
            } else {
                if (!accept("VARRAY")) {
                    expect("VARYING");
                    expect("ARRAY");
                }
                type->collectionCode = tcVarray;
                expect("(");
                type->limit = number();
                expect(")");
            }
            expect("OF");
            type->element = std::make_unique<ObjectAttribute>();
            datatype(*type->element);
        }
        layOut(*type);
        return type;
    }
};

std::shared_ptr<const ObjectType> xmlType()
{
    static const std::shared_ptr<const ObjectType> type = [] {
        auto t = std::make_shared<ObjectType>();
        t->schema = "SYS";
        t->name = "XMLTYPE";
        t->isXml = true;
        layOut(*t);
        return t;
    }();
    return type;
}

thread_local int nesting = 0;

// ---- Encoding ---------------------------------------------------------------------------------

void encodeInto(const ObjectValue &value, std::string &out)
{
    // Identities are prefixes, so that a value without them reads as it always did.
    if (value.elementId > 0)
        out += 'I' + std::to_string(value.elementId) + ':';
    if (value.lastElementId > 0 && !value.isNull && !value.isScalar)
        out += 'H' + std::to_string(value.lastElementId) + ':';
    if (value.isNull) {
        out += 'N';
    } else if (value.isScalar) {
        out += 'S' + std::to_string(value.scalar.size()) + ':' + value.scalar;
    } else {
        out += 'O' + std::to_string(value.items.size()) + ':';
        for (const ObjectValue &item : value.items)
            encodeInto(item, out);
    }
}

size_t readCount(std::string_view text, size_t &at)
{
    size_t n = 0, digits = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        n = n * 10 + static_cast<size_t>(text[at++] - '0');
        if (++digits > 9)
            throw oraFail(932, "object value");
    }
    if (digits == 0 || at >= text.size() || text[at] != ':')
        throw oraFail(932, "object value");
    ++at;
    return n;
}

ObjectValue decodeFrom(std::string_view text, size_t &at, int level)
{
    if (at >= text.size() || level > 64)
        throw oraFail(932, "object value");
    ObjectValue value;
    char kind = text[at++];
    if (kind == 'I' || kind == 'H') {
        const int64_t id = static_cast<int64_t>(readCount(text, at));
        if (id == 0 || at >= text.size())
            throw oraFail(932, "object value");
        const bool element = kind == 'I';
        if (element)
            value.elementId = id;
        else
            value.lastElementId = id;
        kind = text[at++];
        if (element && kind == 'H') {
            value.lastElementId = static_cast<int64_t>(readCount(text, at));
            if (value.lastElementId == 0 || at >= text.size())
                throw oraFail(932, "object value");
            kind = text[at++];
        }
        if (kind != 'O' && (value.lastElementId > 0 || kind == 'I' || kind == 'H'))
            throw oraFail(932, "object value");
    }
    if (kind == 'N')
        return value;
    value.isNull = false;
    const size_t n = readCount(text, at);
    if (kind == 'S') {
        if (n > text.size() - at)
            throw oraFail(932, "object value");
        value.isScalar = true;
        value.scalar = std::string(text.substr(at, n));
        at += n;
    } else if (kind == 'O') {
        if (n > text.size() - at)
            throw oraFail(932, "object value"); // every item takes at least one character
        for (size_t i = 0; i < n; ++i)
            value.items.push_back(decodeFrom(text, at, level + 1));
    } else {
        throw oraFail(932, "object value");
    }
    return value;
}

// ---- Constructors -----------------------------------------------------------------------------

std::string hexOf(const unsigned char *data, int size)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

} // namespace

// One argument of a constructor (or column of an object table) as the value of an attribute
// (or element) of that kind.
ObjectValue argumentValue(const ObjectAttribute &a, sqlite3_value *arg)
{
    ObjectValue v;
    if (sqlite3_value_type(arg) == SQLITE_NULL)
        return v;
    if (a.typeCode == tcObject) {
        const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(arg));
        return decodeObjectValue(t ? std::string_view(t) : std::string_view());
    }
    v.isNull = false;
    v.isScalar = true;
    if (a.typeCode == tcRaw && sqlite3_value_type(arg) == SQLITE_BLOB) {
        v.scalar = hexOf(
            static_cast<const unsigned char *>(sqlite3_value_blob(arg)), sqlite3_value_bytes(arg));
        return v;
    }
    const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(arg));
    v.scalar = t ? std::string(t, static_cast<size_t>(sqlite3_value_bytes(arg))) : std::string();
    if (a.typeCode == tcRaw) {
        // Text given for a RAW is read as hexadecimal, as the server converts it.
        v.scalar = sql::upperCase(v.scalar);
        if (v.scalar.size() % 2 != 0
            || v.scalar.find_first_not_of("0123456789ABCDEF") != std::string::npos)
            throw oraFail(1465);
    }
    if ((a.typeCode == tcVarchar2 || a.typeCode == tcChar) && a.dataSize > 0
        && v.scalar.size() > static_cast<size_t>(a.dataSize))
        throw oraFail(12899, "value too large for attribute " + a.name);
    if (v.scalar.empty() && a.typeCode != tcRaw)
        v.isNull = true; // '' is null
    return v;
}

namespace {

void construct(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    const auto &type
        = *static_cast<std::shared_ptr<const ObjectType> *>(sqlite3_user_data(context));
    try {
        ObjectValue value;
        value.isNull = false;
        if (type->isXml) {
            if (argc != 1)
                throw oraFail(909);
            ObjectValue text;
            text.isNull = sqlite3_value_type(argv[0]) == SQLITE_NULL;
            if (text.isNull)
                throw oraFail(932, "XML document");
            text.isScalar = true;
            text.scalar = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
            value.items.push_back(std::move(text));
        } else if (type->isCollection()) {
            if (type->limit > 0 && argc > type->limit)
                throw oraFail(22165);
            for (int i = 0; i < argc; ++i)
                value.items.push_back(argumentValue(*type->element, argv[i]));
        } else {
            if (static_cast<size_t>(argc) != type->attributes.size())
                throw oraFail(909);
            for (int i = 0; i < argc; ++i)
                value.items.push_back(
                    argumentValue(type->attributes[static_cast<size_t>(i)], argv[i]));
        }
        const std::string text = encodeObjectValue(value);
        sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    } catch (const sql::OraError &e) {
        sqlite3_result_error(context, e.what(), -1);
    }
}

// The connection keeps a reference to the type while its constructor is defined.
void define(sqlite3 *db, const std::shared_ptr<const ObjectType> &type)
{
    auto *held = new std::shared_ptr<const ObjectType>(type);
    sqlite3_create_function_v2(db, type->name.c_str(), -1, SQLITE_UTF8, held, construct, nullptr,
        nullptr, [](void *p) { delete static_cast<std::shared_ptr<const ObjectType> *>(p); });
}

} // namespace

int64_t elementRowid(const ObjectValue &collection, size_t index)
{
    const int64_t id = collection.items[index].elementId;
    return id > 0 ? id : static_cast<int64_t>(index) + 1;
}

std::string encodeObjectValue(const ObjectValue &value)
{
    std::string out;
    encodeInto(value, out);
    return out;
}

ObjectValue decodeObjectValue(std::string_view text)
{
    size_t at = 0;
    ObjectValue value = decodeFrom(text, at, 0);
    if (at != text.size())
        throw oraFail(932, "object value");
    return value;
}

std::shared_ptr<const ObjectType> findObjectType(
    Session &session, const std::string &schemaName, const std::string &typeName)
{
    const std::string schema = sql::upperCase(schemaName), name = sql::upperCase(typeName);
    if (name == "XMLTYPE"
        && (schema == "SYS" || schema == "PUBLIC" || schema.empty() || schema == session.user()))
        return xmlType();
    if (!schema.empty() && schema != session.user())
        return nullptr; // the session sees its own schema only
    auto unit = readStoredUnit(session, session.user(), name, plsql::UnitType::Type);
    if (!unit)
        return nullptr;
    std::string source;
    for (const std::string &line : unit->lines)
        source += line;
    const std::vector<sql::Token> tokens = sql::tokenize(source);
    if (nesting >= maxNesting)
        throw oraFail(22303, session.user() + "\".\"" + name);
    ++nesting;
    try {
        Parser parser { session, tokens, 0, nesting };
        auto type = parser.typeSpecification(session.user(), name);
        --nesting;
        return type;
    } catch (...) {
        --nesting;
        throw;
    }
}

std::shared_ptr<const ObjectType> findObjectType(Session &session, const std::string &name)
{
    const size_t dot = name.find('.');
    if (dot == std::string::npos)
        return findObjectType(session, std::string(), name);
    return findObjectType(session, name.substr(0, dot), name.substr(dot + 1));
}

void registerObjectConstructors(Session &session)
{
    sqlite3 *db = session.db();
    ensureStoredCodeTables(session);
    sqlite3_stmt *statement = nullptr;
    std::vector<std::string> names;
    if (sqlite3_prepare_v2(db, "select NAME from QDSI_UNITS where TYPE = 'TYPE' and OWNER = ?", -1,
            &statement, nullptr)
        == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, session.user().c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    define(db, xmlType());
    for (const std::string &name : names) {
        try {
            if (auto type = findObjectType(session, std::string(), name))
                define(db, type);
        } catch (const sql::OraError &) {
            // A type that cannot be read has no constructor; using it names the error.
        }
    }
}

namespace {

std::shared_ptr<const ObjectType> objectColumnType(Session &session, const char *declaredType)
{
    if (!declaredType || !*declaredType)
        return nullptr;
    std::string name = sql::upperCase(declaredType);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (name == "XMLTYPE TEXT")
        name = "XMLTYPE";
    if (name.find_first_of("( ") != std::string::npos)
        return nullptr; // built-in types carry sizes or words; object types are one name
    try {
        return findObjectType(session, name);
    } catch (const sql::OraError &) {
        return nullptr;
    }
}

} // namespace

bool namesObjectType(Session &session, const sql::OraError &error)
{
    if (error.code != 904)
        return false;
    const size_t open = error.text.find('"');
    const size_t close = open == std::string::npos ? open : error.text.find('"', open + 1);
    if (close == std::string::npos)
        return false;
    try {
        return findObjectType(session, error.text.substr(open + 1, close - open - 1)) != nullptr;
    } catch (const sql::OraError &) {
        return false;
    }
}

void describeObjectColumns(Session &session, sqlite3_stmt *statement, size_t hidden,
    std::vector<sql::ColumnDescription> &columns)
{
    for (size_t i = 0; i < columns.size(); ++i) {
        // Only a declared type the describe did not know can name an object type.
        const char *declared = sqlite3_column_decltype(statement, static_cast<int>(i + hidden));
        const std::string word = declared ? sql::upperCase(declared) : std::string();
        if (columns[i].dataType != 1 || columns[i].dataSize != 4000 || word.empty()
            || word == "VARCHAR2" || word == "VARCHAR" || word == "NVARCHAR2" || word == "TEXT")
            continue;
        auto type = objectColumnType(session, declared);
        if (!type)
            continue;
        columns[i].dataType = tcObject;
        columns[i].dataSize = 0;
        columns[i].precision = columns[i].scale = 0;
        columns[i].typeSchema = type->schema;
        columns[i].typeName = type->name;
    }
}

} // namespace qdsi::engine
