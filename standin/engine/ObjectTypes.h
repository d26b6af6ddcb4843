#pragma once

// Object types: `create type t as object (...)`, `as table of …` and `as varray(n) of …` are
// stored as PL/SQL units (StoredCode); this reads their attribute lists back, gives every type
// the memory layout the client's object cache uses, and keeps object values in SQLite as text
// in a small length-prefixed encoding (ObjectValue). SYS.XMLTYPE is built in: an object without
// attributes whose value is its document text.
//
// Layout (what the client computes from the describe): attributes in order, NUMBER 22 bytes,
// DATE 8 bytes, an embedded object inline, every other kind (strings, raws, REFs, LOBs,
// timestamps, collections) a pointer. Pointers and embedded objects start on a pointer
// boundary. The null structure is one sb2 per level: the object's own, then per attribute its
// indicator, an embedded object's followed by those of its attributes.

#include "sql/Dialect.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qdsi::engine {

class Session;

// Type codes of the object describe (the public OCI_TYPECODE values).
enum ObjectTypeCode : int {
    tcNumber = 2,
    tcVarchar = 1,
    tcVarchar2 = 9,
    tcChar = 96,
    tcDate = 12,
    tcRaw = 95,
    tcObject = 108,
    tcRef = 110,
    tcClob = 112,
    tcBlob = 113,
    tcTimestamp = 187,
    tcNamedCollection = 122,
    tcVarray = 247,
    tcTable = 248,
};

struct ObjectType;

struct ObjectAttribute {
    std::string name;
    int typeCode = 0; // 108 also for a collection-typed attribute (its type says so)
    int dataSize = 0;
    int precision = 0;
    int scale = 0;
    std::shared_ptr<const ObjectType> type; // object, collection, or a REF's target
    size_t valueOffset = 0; // in the owning type's instance
    size_t nullOffset = 0; // in the owning type's null structure (0 is the object's own)
    size_t valueSize = 0;
};

struct ObjectType {
    std::string schema; // upper case
    std::string name;
    int typeCode = tcObject; // 108, or 122 for a collection
    std::vector<ObjectAttribute> attributes;
    // Collections: varray (247) or nested table (248), the element, a varray's limit.
    int collectionCode = 0;
    std::unique_ptr<ObjectAttribute> element;
    int limit = 0;
    // SYS.XMLTYPE: the value is the document text.
    bool isXml = false;
    size_t instanceSize = 0;
    size_t nullSize = 2;

    bool isCollection() const { return typeCode == tcNamedCollection; }
    std::string qualifiedName() const { return schema + "." + name; }
};

// An object value as stored: null, a scalar in its text form (see ObjectTypes.cpp), or the
// items of an object (one per attribute) or of a collection (the elements).
struct ObjectValue {
    bool isNull = true;
    bool isScalar = false;
    std::string scalar;
    std::vector<ObjectValue> items;
    // The identity of a collection's element, which its ROWID shows and changes through
    // TABLE(...) address; 0 for an element that has none yet (see elementRowid).
    int64_t elementId = 0;
    // A collection's highest element identity ever given, so that a deleted element's
    // identity is not given again.
    int64_t lastElementId = 0;
};

// The ROWID number of a collection's element: its identity, else its position from 1 (the
// identities a change through TABLE(...) makes lasting).
int64_t elementRowid(const ObjectValue &collection, size_t index);

std::string encodeObjectValue(const ObjectValue &value);
// Throws OraError 932 for text that is no encoded value.
ObjectValue decodeObjectValue(std::string_view text);

// A SQLite value (a constructor's argument, an object table's column) as the stored value of
// an attribute of that kind. Throws OraError for a value the attribute cannot hold.
ObjectValue argumentValue(const ObjectAttribute &attribute, sqlite3_value *value);

// The type of that name in the session's schema ("SYS.XMLTYPE" and "XMLTYPE" are built in);
// null when there is none. Throws OraError for a stored type whose text cannot be read.
std::shared_ptr<const ObjectType> findObjectType(Session &session, const std::string &name);
std::shared_ptr<const ObjectType> findObjectType(
    Session &session, const std::string &schema, const std::string &name);

// Makes the constructor functions of the session's object types (and XMLTYPE) known to its
// SQLite connection, so that `t(a, b)` in a statement builds the stored text of a value.
void registerObjectConstructors(Session &session);

// True when the error is SQLite's unknown function for the name of one of the session's
// object types (a constructor not yet made known to the connection).
bool namesObjectType(Session &session, const sql::OraError &error);

// Object columns of a described select list: a column whose declared type names an object
// type is described as 108 with its type's owner and name. `hidden` columns lead the result.
void describeObjectColumns(Session &session, sqlite3_stmt *statement, size_t hidden,
    std::vector<sql::ColumnDescription> &columns);

} // namespace qdsi::engine
