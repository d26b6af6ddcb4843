#include "plsql/Value.h"

#include "plsql/PlsqlError.h"
#include "sql/Dialect.h"

#include <cmath>
#include <cstdlib>

namespace qdsi::plsql {

Value Value::fromInteger(int64_t v)
{
    Value r;
    r.kind = Kind::Integer;
    r.integer = v;
    return r;
}

Value Value::fromReal(double v)
{
    if (!std::isfinite(v))
        throw valueError("numeric overflow");
    if (v == std::floor(v) && std::fabs(v) < 9.0e18)
        return fromInteger(int64_t(v));
    Value r;
    r.kind = Kind::Real;
    r.real = v;
    return r;
}

Value Value::fromText(std::string v)
{
    if (v.empty())
        return {};
    Value r;
    r.kind = Kind::Text;
    r.text = std::move(v);
    return r;
}

Value Value::fromDate(std::string iso)
{
    if (iso.empty())
        return {};
    Value r;
    r.kind = Kind::Date;
    r.text = std::move(iso);
    return r;
}

Value Value::fromBoolean(bool v)
{
    Value r;
    r.kind = Kind::Boolean;
    r.boolean = v;
    return r;
}

static double parseNumber(const std::string &text)
{
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1])))
        --e;
    const std::string t = text.substr(b, e - b);
    char *end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    // strtod also takes "inf", "nan" and hex; Oracle's to_number does not.
    const bool plain = !t.empty() && t.find_first_not_of("0123456789.+-eE") == std::string::npos;
    if (!plain || end != t.c_str() + t.size())
        throw valueError("character to number conversion error");
    return v;
}

double Value::toReal() const
{
    switch (kind) {
    case Kind::Integer:
        return double(integer);
    case Kind::Real:
        return real;
    case Kind::Text:
        return parseNumber(text);
    case Kind::Null:
        return 0;
    default:
        throw valueError("character to number conversion error");
    }
}

int64_t Value::toInteger() const
{
    if (kind == Kind::Integer)
        return integer;
    const double v = std::round(toReal());
    if (!(std::fabs(v) < 9.2e18))
        throw valueError("number precision too large");
    return int64_t(v);
}

std::string Value::toText() const
{
    switch (kind) {
    case Kind::Null:
        return {};
    case Kind::Integer:
        return sql::numberToText(integer);
    case Kind::Real:
        return sql::numberToText(real);
    case Kind::Text:
    case Kind::Date:
        return text;
    case Kind::Boolean:
    case Kind::Record:
    case Kind::Table:
        break;
    }
    throw valueError("character string conversion error");
}

bool Value::toBoolean() const
{
    if (kind == Kind::Boolean)
        return boolean;
    throw valueError("expression is of wrong type");
}

Value copyValue(const Value &v)
{
    Value c = v;
    if (v.record) {
        c.record = std::make_shared<Record>();
        for (const auto &[name, field] : *v.record)
            c.record->emplace_back(name, copyValue(field));
    }
    if (v.table) {
        c.table = std::make_shared<IndexTable>();
        for (const auto &[k, e] : *v.table)
            c.table->emplace(k, copyValue(e));
    }
    return c;
}

} // namespace qdsi::plsql
