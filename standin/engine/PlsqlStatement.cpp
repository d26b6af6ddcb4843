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

using plsql::BindType;
using plsql::StatementClass;
using plsql::Value;

namespace {

CursorVariableOpener cursorVariableOpener = nullptr;

// How the client's buffer type maps onto the interpreter's bind types; false for types the
// stand-in does not take in blocks.
bool bindTypeOf(BufferType type, BindType &out)
{
    switch (type) {
    case BufferType::Chars:
    case BufferType::NulChars:
    case BufferType::PaddedChars:
    case BufferType::CountedChars:
        out = BindType::String;
        return true;
    case BufferType::Integer:
    case BufferType::Unsigned:
        out = BindType::Integer;
        return true;
    case BufferType::Float:
    case BufferType::Number:
    case BufferType::VarNumber:
        out = BindType::Float;
        return true;
    case BufferType::Date:
        out = BindType::Date;
        return true;
    case BufferType::LongChars:
    case BufferType::LongCountedChars:
        out = BindType::LongString;
        return true;
    case BufferType::Cursor:
        out = BindType::Cursor;
        return true;
    default:
        return false;
    }
}

// LOB locators and XMLTYPE instances: the block sees their content as text (a LOB's bytes, the
// document), and a LOB the block changed takes the new content back through its locator.
bool isBlockValueBind(BufferType type)
{
    return type == BufferType::Clob || type == BufferType::Blob || type == BufferType::Object;
}

Value readValueBind(Session &session, const ClientBuffer &b, size_t row)
{
    std::string text;
    const bool present = b.type == BufferType::Object ? xmlBindValue(b, row, text)
                                                      : lobBlockValue(session, b, row, text);
    return present ? Value::fromText(text) : Value::null();
}

void writeValueBind(Session &session, const ClientBuffer &b, size_t row, const Value &v)
{
    if (b.type == BufferType::Object)
        throw oraFail(3001); // an object given back to the client
    storeLobBlockValue(session, b, row, v.isNull() ? std::string() : v.toText());
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
    const std::vector<BoundValue> &clientBinds, uint32_t iterations, uint32_t rowOffset)
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
    for (uint32_t row = rowOffset; row < iterations; ++row) {
        for (size_t k = 0; k < binds.size(); ++k)
            binds[k].value = binds[k].type == BindType::Cursor ? Value::null()
                : isBlockValueBind(buffers[k]->type) ? readValueBind(session, *buffers[k], row)
                                                     : readBlockBind(*buffers[k], row);
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
                writeBlockBind(*buffers[k], row, binds[k].value, session.context().dateFormat);
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
    const std::vector<BoundValue> &binds, uint32_t iterations, uint32_t rowOffset)
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
