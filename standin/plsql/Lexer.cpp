#include "plsql/Lexer.h"

#include "plsql/CompileError.h"
#include "sql/Lexer.h"

namespace qdsi::plsql {

namespace {

Token::Kind kindOf(sql::TokenType type)
{
    switch (type) {
    case sql::TokenType::Identifier:
        return Token::Kind::Name;
    case sql::TokenType::Quoted:
        return Token::Kind::QuotedName;
    case sql::TokenType::String:
        return Token::Kind::String;
    case sql::TokenType::Number:
        return Token::Kind::Number;
    case sql::TokenType::Placeholder:
        return Token::Kind::Bind;
    case sql::TokenType::Operator:
        return Token::Kind::Symbol;
    default:
        return Token::Kind::End;
    }
}

// Lines and columns (1-based) of offsets met in increasing order.
class Lines {
public:
    explicit Lines(std::string_view source)
        : m_source(source)
    {
    }

    void moveTo(size_t offset)
    {
        for (; m_at < offset && m_at < m_source.size(); ++m_at)
            if (m_source[m_at] == '\n') {
                ++m_line;
                m_lineStart = m_at + 1;
            }
    }
    int line() const { return m_line; }
    int column() const { return static_cast<int>(m_at - m_lineStart) + 1; }

private:
    std::string_view m_source;
    size_t m_at = 0;
    size_t m_lineStart = 0;
    int m_line = 1;
};

[[noreturn]] void raise(const sql::Scan &scan, std::string_view source, Lines &lines)
{
    lines.moveTo(scan.fault == sql::ScanFault::QuotedPlaceholder ? scan.faultAt - 1 : scan.faultAt);
    const int line = lines.line(), column = lines.column();
    switch (scan.fault) {
    case sql::ScanFault::Comment:
        throw CompileError(line, column, "PLS-00111: end-of-file in comment");
    case sql::ScanFault::String:
        throw CompileError(line, column,
            "PLS-00103: Encountered the symbol \"end-of-file\" when "
            "expecting one of the following:\n\n   '");
    case sql::ScanFault::QuotedName:
        throw CompileError(line, column,
            "PLS-00103: Encountered the symbol \"\"\" when expecting one "
            "of the following:\n\n   an identifier");
    case sql::ScanFault::QuotedPlaceholder:
        throw CompileError(line, column, "PLS-00049: bad bind variable");
    default:
        throw CompileError(line, column,
            "PLS-00103: Encountered the symbol \"" + std::string(1, source[scan.faultAt])
                + "\" when expecting one of the following:\n\n"
                  "   begin declare exit for goto if loop null raise "
                  "return select update while");
    }
}

} // namespace

std::vector<Token> tokenize(std::string_view source, size_t maxTokens)
{
    sql::ScanRules rules;
    rules.plsql = true;
    rules.maxTokens = maxTokens;
    sql::Scan scan = sql::scan(source, rules);
    Lines lines(source);
    std::vector<Token> out;
    out.reserve(scan.tokens.size());
    for (sql::Token &t : scan.tokens) {
        lines.moveTo(static_cast<size_t>(t.offset));
        Token token;
        token.kind = kindOf(t.type);
        token.text = std::move(t.upper);
        token.line = lines.line();
        token.column = lines.column();
        token.offset = static_cast<size_t>(t.offset);
        token.endOffset = static_cast<size_t>(t.end);
        out.push_back(std::move(token));
    }
    if (scan.fault != sql::ScanFault::None)
        raise(scan, source, lines);
    return out;
}

} // namespace qdsi::plsql
