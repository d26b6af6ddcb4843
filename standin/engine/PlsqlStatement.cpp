#include "engine/PlsqlStatement.h"

#include "engine/OraErrors.h"
#include "engine/PlsqlSessionHost.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "plsql/Interpreter.h"

#include <cctype>
#include <cstring>

namespace qdsi::engine {

using namespace qdsi::oci;
using plsql::BindType;
using plsql::StatementClass;
using plsql::Value;

namespace {

sql::OraError bufferTooSmall()
{
    return sql::OraError(
        6502, "ORA-06502: PL/SQL: numeric or value error: character string buffer too small");
}

sql::OraError numericOverflow()
{
    return sql::OraError(6502, "ORA-06502: PL/SQL: numeric or value error: number precision too large");
}

// How the client's buffer type maps onto the interpreter's bind types; false for types the
// stand-in does not take in blocks.
bool bindTypeOf(ub2 type, BindType &out)
{
    switch (type) {
    case SQLT_CHR:
    case SQLT_STR:
    case SQLT_AFC:
    case SQLT_AVC:
    case SQLT_VCS:
        out = BindType::String;
        return true;
    case SQLT_INT:
    case SQLT_UIN:
        out = BindType::Integer;
        return true;
    case SQLT_FLT:
        out = BindType::Float;
        return true;
    case SQLT_DAT:
        out = BindType::Date;
        return true;
    case SQLT_LNG:
    case SQLT_LVC:
        out = BindType::LongString;
        return true;
    default:
        return false;
    }
}

// Bytes of text the buffer holds at most.
int textRoom(const ClientBuffer &b)
{
    const int size = b.size > 0 ? b.size : 0;
    switch (b.type) {
    case SQLT_STR:
    case SQLT_AVC:
        return std::max(size - 1, 0); // the terminating NUL
    case SQLT_VCS:
        return std::max(size - 2, 0);
    case SQLT_LVC:
        return std::max(size - 4, 0);
    default:
        return size;
    }
}

Value readBind(const ClientBuffer &b, size_t row)
{
    const sb2 *ind = b.indicatorAt(row);
    if ((ind && *ind == -1) || !b.data)
        return Value::null();
    const char *p = static_cast<const char *>(b.element(row));
    const ub2 *alen = b.lengthAt(row);
    const size_t size = b.size > 0 ? static_cast<size_t>(b.size) : 0;
    switch (b.type) {
    case SQLT_INT:
        switch (size) {
        case 1:
            return Value::fromInteger(*reinterpret_cast<const int8_t *>(p));
        case 2:
            return Value::fromInteger(*reinterpret_cast<const int16_t *>(p));
        case 4:
            return Value::fromInteger(*reinterpret_cast<const int32_t *>(p));
        case 8:
            return Value::fromInteger(*reinterpret_cast<const int64_t *>(p));
        }
        break;
    case SQLT_UIN:
        switch (size) {
        case 1:
            return Value::fromInteger(*reinterpret_cast<const uint8_t *>(p));
        case 2:
            return Value::fromInteger(*reinterpret_cast<const uint16_t *>(p));
        case 4:
            return Value::fromInteger(*reinterpret_cast<const uint32_t *>(p));
        }
        break;
    case SQLT_FLT:
        if (size == 4)
            return Value::fromReal(*reinterpret_cast<const float *>(p));
        if (size == 8)
            return Value::fromReal(*reinterpret_cast<const double *>(p));
        break;
    case SQLT_STR:
    case SQLT_AVC: {
        const size_t limit = alen ? std::min<size_t>(*alen, size) : size;
        return Value::fromText(std::string(p, strnlen(p, limit)));
    }
    case SQLT_CHR:
    case SQLT_AFC:
    case SQLT_LNG:
        return Value::fromText(std::string(p, alen ? std::min<size_t>(*alen, size) : size));
    case SQLT_VCS:
        if (size >= 2)
            return Value::fromText(std::string(
                p + 2, std::min<size_t>(*reinterpret_cast<const ub2 *>(p), size - 2)));
        break;
    case SQLT_LVC:
        if (size >= 4) {
            sb4 n;
            std::memcpy(&n, p, sizeof n);
            return Value::fromText(
                std::string(p + 4, std::min<size_t>(n > 0 ? static_cast<size_t>(n) : 0, size - 4)));
        }
        break;
    case SQLT_DAT:
        if (size >= 7)
            return Value::fromDate(dateFromBytes(reinterpret_cast<const unsigned char *>(p)));
        break;
    }
    throw oraFail(3001);
}

void writeInteger(const ClientBuffer &b, size_t row, int64_t v)
{
    void *p = b.element(row);
    const bool isUnsigned = b.type == SQLT_UIN;
    const auto fits = [&](int64_t lo, int64_t hi) {
        if (v < lo || v > hi)
            throw numericOverflow();
    };
    switch (b.size) {
    case 1:
        isUnsigned ? fits(0, 255) : fits(-128, 127);
        *static_cast<int8_t *>(p) = static_cast<int8_t>(v);
        break;
    case 2:
        isUnsigned ? fits(0, 65535) : fits(-32768, 32767);
        *static_cast<int16_t *>(p) = static_cast<int16_t>(v);
        break;
    case 4:
        isUnsigned ? fits(0, 4294967295LL) : fits(-2147483648LL, 2147483647LL);
        *static_cast<int32_t *>(p) = static_cast<int32_t>(v);
        break;
    case 8:
        if (isUnsigned)
            throw oraFail(3001);
        *static_cast<int64_t *>(p) = v;
        break;
    default:
        throw oraFail(3001);
    }
}

void writeText(const ClientBuffer &b, size_t row, const std::string &text)
{
    const size_t room = static_cast<size_t>(textRoom(b));
    if (text.size() > room)
        throw bufferTooSmall();
    char *p = static_cast<char *>(b.element(row));
    size_t written = text.size();
    switch (b.type) {
    case SQLT_STR:
    case SQLT_AVC:
        std::memcpy(p, text.data(), text.size());
        p[text.size()] = '\0';
        break;
    case SQLT_VCS: {
        const auto n = static_cast<ub2>(text.size());
        std::memcpy(p, &n, sizeof n);
        std::memcpy(p + 2, text.data(), text.size());
        break;
    }
    case SQLT_LVC: {
        const auto n = static_cast<sb4>(text.size());
        std::memcpy(p, &n, sizeof n);
        std::memcpy(p + 4, text.data(), text.size());
        break;
    }
    case SQLT_AFC:
        // Fixed-length character: blank-padded to the buffer.
        std::memcpy(p, text.data(), text.size());
        std::memset(p + text.size(), ' ', room - text.size());
        written = room;
        break;
    default:
        std::memcpy(p, text.data(), text.size());
    }
    if (ub2 *len = b.lengthAt(row))
        *len = static_cast<ub2>(std::min<size_t>(written, 65535));
}

// Writes an assigned out value into element `row` of the client's buffer.
void writeBind(const ClientBuffer &b, size_t row, const Value &v, const std::string &dateFormat)
{
    if (!b.data)
        return;
    sb2 *ind = b.indicatorAt(row);
    if (v.isNull()) {
        if (ind)
            *ind = -1;
        if (ub2 *len = b.lengthAt(row))
            *len = 0;
        return;
    }
    switch (b.type) {
    case SQLT_INT:
    case SQLT_UIN:
        writeInteger(b, row, v.toInteger());
        if (ub2 *len = b.lengthAt(row))
            *len = static_cast<ub2>(b.size);
        break;
    case SQLT_FLT:
        if (b.size == 8)
            *static_cast<double *>(b.element(row)) = v.toReal();
        else if (b.size == 4)
            *static_cast<float *>(b.element(row)) = static_cast<float>(v.toReal());
        else
            throw oraFail(3001);
        if (ub2 *len = b.lengthAt(row))
            *len = static_cast<ub2>(b.size);
        break;
    case SQLT_DAT:
        if (b.size < 7 || v.kind != Value::Kind::Date
            || !dateToBytes(v.text, static_cast<unsigned char *>(b.element(row))))
            throw oraFail(1861);
        if (ub2 *len = b.lengthAt(row))
            *len = 7;
        break;
    default:
        // A date given to a character buffer reads as the session shows dates.
        writeText(b, row,
            v.kind == Value::Kind::Date ? sql::formatDate(v.text, dateFormat) : v.toText());
    }
    if (ind)
        *ind = 0;
}

std::string upperWord(std::string_view text, size_t &i)
{
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    std::string word;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
    return word;
}

// "call f(args) into :r" becomes "begin :r := f(args); end;", "call p(args)" becomes
// "begin p(args); end;": the interpreter runs the routine as a block would.
std::string callAsBlock(std::string_view text)
{
    size_t i = 0;
    upperWord(text, i); // CALL
    std::string_view rest = text.substr(i);
    while (!rest.empty()
        && (std::isspace(static_cast<unsigned char>(rest.back())) || rest.back() == ';'))
        rest.remove_suffix(1);
    // The INTO of a function call: the last top-level "into" outside quotes and parentheses.
    int depth = 0;
    char quote = 0;
    size_t into = std::string_view::npos;
    for (size_t k = 0; k < rest.size(); ++k) {
        const char c = rest[k];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (depth == 0 && k + 4 <= rest.size() && k > 0
            && std::isspace(static_cast<unsigned char>(rest[k - 1]))) {
            size_t j = k;
            if (upperWord(rest, j) == "INTO")
                into = k;
        }
    }
    if (into == std::string_view::npos)
        return "begin " + std::string(rest) + "; end;";
    return "begin " + std::string(rest.substr(into + 4)) + " := "
        + std::string(rest.substr(0, into)) + "; end;";
}

void runBlock(Session &session, const std::string &block, const sql::Translation &t,
    const std::vector<BoundValue> &clientBinds, ub4 iterations, ub4 rowOffset)
{
    if (iterations == 0)
        throw oraFail(24333);
    // One interpreter bind per distinct placeholder, with the client's buffer behind it.
    std::vector<plsql::Bind> binds;
    std::vector<const ClientBuffer *> buffers;
    for (const sql::Placeholder &p : t.placeholders) {
        bool seen = false;
        for (const plsql::Bind &b : binds)
            seen = seen || b.name == p.name;
        if (seen)
            continue;
        const ClientBuffer *buffer = nullptr;
        for (const BoundValue &b : clientBinds)
            if (b.sqliteIndex == p.sqliteIndex)
                buffer = &b.buffer;
        if (!buffer)
            throw oraFail(1008);
        plsql::Bind bind;
        bind.name = p.name;
        if (!bindTypeOf(buffer->type, bind.type))
            throw oraFail(3001);
        if (bind.type == BindType::String || bind.type == BindType::LongString)
            bind.maxLength = textRoom(*buffer);
        binds.push_back(std::move(bind));
        buffers.push_back(buffer);
    }
    plsql::Interpreter interpreter(session.plsql());
    for (ub4 row = rowOffset; row < iterations; ++row) {
        for (size_t k = 0; k < binds.size(); ++k)
            binds[k].value = readBind(*buffers[k], row);
        interpreter.executeBlock(block, binds);
        for (size_t k = 0; k < binds.size(); ++k)
            if (binds[k].assigned)
                writeBind(*buffers[k], row, binds[k].value, session.context().dateFormat);
    }
}

} // namespace

bool adoptPlsqlClass(sql::Translation &t, std::string_view text)
{
    switch (t.kind) {
    case sql::StatementKind::PlSqlBlock:
    case sql::StatementKind::Call:
        return true;
    case sql::StatementKind::CreateOther:
    case sql::StatementKind::Drop: {
        if (!t.sqlite.empty())
            return false;
        const StatementClass c = plsql::classifyStatement(text);
        if (c.kind != StatementClass::Kind::CreateUnit && c.kind != StatementClass::Kind::DropUnit)
            return false;
        t.ociStatementType = c.statementType;
        t.sqlFunctionCode = c.functionCode;
        return true;
    }
    default:
        return false;
    }
}

int executePlsql(Session &session, std::string_view text, const sql::Translation &t,
    const std::vector<BoundValue> &binds, ub4 iterations, ub4 rowOffset)
{
    if (t.kind == sql::StatementKind::PlSqlBlock) {
        runBlock(session, std::string(text), t, binds, iterations, rowOffset);
        return 0;
    }
    if (t.kind == sql::StatementKind::Call) {
        runBlock(session, callAsBlock(text), t, binds, iterations, rowOffset);
        return 0;
    }
    // Stored code is data definition: it ends the transaction before and after it.
    session.commit();
    plsql::Interpreter interpreter(session.plsql());
    try {
        int warning = 0;
        if (t.kind == sql::StatementKind::CreateOther)
            warning = interpreter.createUnit(text).compiledWithErrors ? 24344 : 0;
        else
            interpreter.dropUnit(text);
        session.commit();
        return warning;
    } catch (...) {
        session.rollback();
        throw;
    }
}

} // namespace qdsi::engine
