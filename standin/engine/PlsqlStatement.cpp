#include "engine/PlsqlStatement.h"

#include "engine/Lobs.h"
#include "engine/OraErrors.h"
#include "engine/PlsqlSessionHost.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "engine/Triggers.h"
#include "plsql/Interpreter.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qdsi::engine {

using namespace qdsi::oci;
using plsql::BindType;
using plsql::StatementClass;
using plsql::Value;

namespace {

CursorVariableOpener cursorVariableOpener = nullptr;

sql::OraError bufferTooSmall()
{
    return sql::OraError(
        6502, "ORA-06502: PL/SQL: numeric or value error: character string buffer too small");
}

sql::OraError numericOverflow()
{
    return sql::OraError(
        6502, "ORA-06502: PL/SQL: numeric or value error: number precision too large");
}

// The server's NUMBER format: an exponent byte (base 100) and up to 20 base-100 digits, each
// stored plus one (positive) or as 101 minus the digit with a closing 102 (negative); zero is
// the single byte 0x80.
Value numberFromBytes(const unsigned char *b, size_t n)
{
    if (n == 0)
        throw oraFail(1722);
    if (n == 1 && b[0] == 0x80)
        return Value::fromInteger(0);
    const bool positive = (b[0] & 0x80) != 0;
    const int exponent = positive ? b[0] - 193 : 62 - b[0];
    std::string digits;
    for (size_t i = 1; i < n && i <= 20; ++i) {
        if (!positive && b[i] == 102)
            break;
        const int d = positive ? b[i] - 1 : 101 - b[i];
        if (d < 0 || d > 99)
            throw oraFail(1722);
        digits += static_cast<char>('0' + d / 10);
        digits += static_cast<char>('0' + d % 10);
    }
    // digits hold d1 d2 ... with the decimal point after (exponent + 1) pairs.
    const int point = (exponent + 1) * 2;
    std::string text;
    if (point <= 0)
        text = "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    else if (static_cast<size_t>(point) >= digits.size())
        text = digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    else
        text = digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(point);
    if (!positive)
        text = "-" + text;
    if (text.find('.') == std::string::npos && text.size() <= 18)
        return Value::fromInteger(std::stoll(text));
    return Value::fromReal(std::strtod(text.c_str(), nullptr));
}

// Encodes a number; returns the bytes used (at most 21).
size_t numberToBytes(const Value &v, unsigned char *out)
{
    std::string digits; // decimal digits without sign or point
    int point = 0; // digits before the decimal point
    bool negative = false;
    if (v.kind == Value::Kind::Integer) {
        negative = v.integer < 0;
        const uint64_t magnitude
            = negative ? 0 - static_cast<uint64_t>(v.integer) : static_cast<uint64_t>(v.integer);
        digits = std::to_string(magnitude);
        point = static_cast<int>(digits.size());
    } else {
        const double d = v.toReal();
        if (!std::isfinite(d))
            throw numericOverflow();
        char text[64];
        std::snprintf(text, sizeof text, "%.14e", std::fabs(d));
        negative = d < 0;
        digits = std::string(1, text[0]) + std::string(text + 2, 14);
        point = std::atoi(std::strchr(text, 'e') + 1) + 1;
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    while (!digits.empty() && digits.front() == '0') {
        digits.erase(0, 1);
        --point;
    }
    if (digits.empty()) {
        out[0] = 0x80;
        return 1;
    }
    if (point % 2 != 0) { // pairs are aligned on the decimal point
        digits.insert(0, "0");
        ++point;
    }
    if (digits.size() % 2 != 0)
        digits += '0';
    const int exponent = point / 2 - 1;
    if (exponent > 62 || exponent < -65)
        throw numericOverflow();
    size_t n = 1;
    out[0] = static_cast<unsigned char>(negative ? 62 - exponent : 193 + exponent);
    for (size_t i = 0; i < digits.size() && n <= 20; i += 2, ++n) {
        const int d = (digits[i] - '0') * 10 + (digits[i + 1] - '0');
        out[n] = static_cast<unsigned char>(negative ? 101 - d : d + 1);
    }
    if (negative && n <= 20)
        out[n++] = 102;
    return n;
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
    case SQLT_NUM:
    case SQLT_VNU:
        out = BindType::Float;
        return true;
    case SQLT_DAT:
        out = BindType::Date;
        return true;
    case SQLT_LNG:
    case SQLT_LVC:
        out = BindType::LongString;
        return true;
    case SQLT_RSET:
        out = BindType::Cursor;
        return true;
    default:
        return false;
    }
}

// LOB locators and XMLTYPE instances: the block sees their content as text (a LOB's bytes, the
// document), and a LOB the block changed takes the new content back through its locator.
bool isBlockValueBind(ub2 type)
{
    return type == SQLT_CLOB || type == SQLT_BLOB || type == SQLT_NTY;
}

Value readValueBind(Session &session, const ClientBuffer &b, size_t row)
{
    std::string text;
    const bool present
        = b.type == SQLT_NTY ? xmlBindValue(b, row, text) : lobBlockValue(session, b, row, text);
    return present ? Value::fromText(text) : Value::null();
}

void writeValueBind(Session &session, const ClientBuffer &b, size_t row, const Value &v)
{
    if (b.type == SQLT_NTY)
        throw oraFail(3001); // an object given back to the client
    storeLobBlockValue(session, b, row, v.isNull() ? std::string() : v.toText());
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
            return Value::fromText(
                std::string(p + 2, std::min<size_t>(*reinterpret_cast<const ub2 *>(p), size - 2)));
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
    case SQLT_NUM:
        return numberFromBytes(reinterpret_cast<const unsigned char *>(p),
            std::min<size_t>(alen ? *alen : size, std::min<size_t>(size, 22)));
    case SQLT_VNU:
        if (size >= 2)
            return numberFromBytes(reinterpret_cast<const unsigned char *>(p) + 1,
                std::min<size_t>(static_cast<unsigned char>(p[0]), std::min<size_t>(size - 1, 21)));
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
    case SQLT_NUM:
    case SQLT_VNU: {
        unsigned char bytes[22];
        const size_t n = numberToBytes(v.isNumber() ? v : Value::fromReal(v.toReal()), bytes);
        const size_t prefix = b.type == SQLT_VNU ? 1 : 0;
        if (static_cast<size_t>(std::max(b.size, 0)) < n + prefix)
            throw numericOverflow();
        auto *p = static_cast<unsigned char *>(b.element(row));
        if (prefix)
            p[0] = static_cast<unsigned char>(n);
        std::memcpy(p + prefix, bytes, n);
        if (ub2 *len = b.lengthAt(row))
            *len = static_cast<ub2>(n + prefix);
        break;
    }
    case SQLT_DAT:
        if (b.size < 7 || v.kind != Value::Kind::Date
            || !dateToBytes(v.text, static_cast<unsigned char *>(b.element(row))))
            throw oraFail(1861);
        if (ub2 *len = b.lengthAt(row))
            *len = 7;
        break;
    default:
        // A date given to a character buffer reads as the session shows dates.
        writeText(
            b, row, v.kind == Value::Kind::Date ? sql::formatDate(v.text, dateFormat) : v.toText());
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
    return "begin " + std::string(rest.substr(into + 4))
        + " := " + std::string(rest.substr(0, into)) + "; end;";
}

// A call that fails with an unhandled exception leaves no change behind, as on the server:
// what it changed since it began is rolled back, the transaction's earlier work stays. A
// commit or rollback inside the call ends that span early.
class CallAtomicity {
public:
    explicit CallAtomicity(Session &session)
        : m_session(session)
    {
        m_session.savepoint(name);
    }
    ~CallAtomicity()
    {
        try {
            if (!m_done)
                m_session.rollbackToSavepoint(name);
            m_session.releaseSavepoint(name);
        } catch (...) {
            // The savepoint ended with a commit or rollback inside the call: what the call did
            // after that is its own transaction, and it goes.
            try {
                if (m_session.inTransaction())
                    m_session.rollback();
            } catch (...) {
            }
        }
    }
    void done() { m_done = true; }
    CallAtomicity(const CallAtomicity &) = delete;
    CallAtomicity &operator=(const CallAtomicity &) = delete;

private:
    static constexpr const char *name = "QDSI$CALL";
    Session &m_session;
    bool m_done = false;
};

// The buffer of a cursor variable holds the client's statement handle.
void openCursorVariable(
    Session &session, const ClientBuffer &buffer, size_t row, const plsql::Bind &bind)
{
    if (!cursorVariableOpener)
        throw oraFail(3001);
    if (!buffer.data)
        throw oraFail(1001);
    void *handle = *static_cast<void *const *>(buffer.element(row));
    cursorVariableOpener(session, handle, bind.cursorSql, bind.cursorBinds);
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
        if (isBlockValueBind(buffer->type))
            bind.type = BindType::LongString; // no limit: the value lives in the server
        else if (!bindTypeOf(buffer->type, bind.type))
            throw oraFail(3001);
        else if (bind.type == BindType::String || bind.type == BindType::LongString)
            bind.maxLength = textRoom(*buffer);
        binds.push_back(std::move(bind));
        buffers.push_back(buffer);
    }
    plsql::Interpreter interpreter(session.plsql());
    for (ub4 row = rowOffset; row < iterations; ++row) {
        for (size_t k = 0; k < binds.size(); ++k)
            binds[k].value = binds[k].type == BindType::Cursor ? Value::null()
                : isBlockValueBind(buffers[k]->type) ? readValueBind(session, *buffers[k], row)
                                                     : readBind(*buffers[k], row);
        CallAtomicity atomic(session);
        interpreter.executeBlock(block, binds);
        // A query that fails to open fails the block, as OPEN does on the server.
        for (size_t k = 0; k < binds.size(); ++k)
            if (binds[k].type == BindType::Cursor && binds[k].assigned)
                openCursorVariable(session, *buffers[k], row, binds[k]);
        // A LOB that cannot take its new value fails the block like the change it stands for.
        for (size_t k = 0; k < binds.size(); ++k)
            if (binds[k].assigned && isBlockValueBind(buffers[k]->type))
                writeValueBind(session, *buffers[k], row, binds[k].value);
        atomic.done();
        for (size_t k = 0; k < binds.size(); ++k)
            if (binds[k].assigned && binds[k].type != BindType::Cursor
                && !isBlockValueBind(buffers[k]->type))
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
        if (t.kind == sql::StatementKind::CreateOther) {
            const plsql::CreateResult created = interpreter.createUnit(text);
            warning = created.compiledWithErrors ? 24344 : 0;
            // A trigger made again starts enabled.
            if (created.type == plsql::UnitType::Trigger)
                Triggers::setEnabled(session, created.name, true);
        } else
            interpreter.dropUnit(text);
        session.commit();
        return warning;
    } catch (...) {
        session.rollback();
        throw;
    }
}

void setCursorVariableOpener(CursorVariableOpener opener)
{
    cursorVariableOpener = opener;
}

} // namespace qdsi::engine
