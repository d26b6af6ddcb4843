#pragma once

// The values the PL/SQL interpreter computes with, and the conversions between them. They
// follow the dialect layer's conventions so that values cross into SQL unchanged: numbers are
// 64-bit integers while they are whole and fit, doubles otherwise; dates are text
// "YYYY-MM-DD HH24:MI:SS"; an empty string is NULL.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qdsi::plsql {

struct Value;
using Record = std::vector<std::pair<std::string, Value>>; // field name (upper case), value
using IndexTable = std::map<int64_t, Value>; // index-by table of scalars

struct Value {
    enum class Kind { Null, Integer, Real, Text, Date, Boolean, Record, Table };

    Kind kind = Kind::Null;
    int64_t integer = 0;
    double real = 0;
    std::string text; // Text and Date
    bool boolean = false;
    std::shared_ptr<Record> record;
    std::shared_ptr<IndexTable> table;

    static Value null() { return {}; }
    static Value fromInteger(int64_t v);
    static Value fromReal(double v); // whole values that fit become Integer
    static Value fromText(std::string v); // "" becomes Null
    static Value fromDate(std::string iso);
    static Value fromBoolean(bool v);

    bool isNull() const { return kind == Kind::Null; }
    bool isNumber() const { return kind == Kind::Integer || kind == Kind::Real; }

    // Conversions as PL/SQL performs them implicitly; they throw PlsqlError (ORA-06502) when
    // the value does not convert.
    double toReal() const;
    int64_t toInteger() const; // rounds half away from zero
    std::string toText() const; // numbers as Oracle prints them, dates as ISO text
    bool toBoolean() const;
};

// Deep copy: records and tables are values in PL/SQL, not references.
Value copyValue(const Value &v);

} // namespace qdsi::plsql
