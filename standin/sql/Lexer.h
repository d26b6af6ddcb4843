#pragma once

// The one tokenizer of the stand-in: splits Oracle SQL (and, with the PL/SQL rules, PL/SQL
// source; leniently, any SQL text such as the SQLite text of a translation) into tokens with
// their byte offsets and parenthesis depth. Whitespace and comments are dropped; unquoted
// identifiers are folded to upper case. The dialect, the engine and the PL/SQL lexer (which
// adds line and column) all read statements through it.

#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace qdsi::sql {

enum class TokenType {
    Identifier, // unquoted word (keywords too), `upper` holds it folded
    Quoted, // "Name": `upper` holds the name as written, without quotes
    String, // 'text': `upper` holds the value with quotes undone (not folded)
    Number, // 12, 1.5, .5, 1e10
    Placeholder, // :name or :1, `upper` holds the name (folded unless quoted)
    Operator, // = <> != ^= < > <= >= + - * / || ( ) , . ; @ => and the like
    End,
};

struct Token {
    TokenType type = TokenType::End;
    std::string text; // as written
    std::string upper; // see TokenType
    int offset = 0; // byte offset in the statement text
    int end = 0; // offset just past the token
    int depth = 0; // parentheses open before the token (a ")" counts as closed)

    bool is(std::string_view word) const
    {
        return (type == TokenType::Identifier || type == TokenType::Operator) && upper == word;
    }
    bool isName() const { return type == TokenType::Identifier || type == TokenType::Quoted; }
};

// The name a token gives (upper case unless quoted); empty for any other token.
inline std::string nameOf(const Token &token)
{
    return token.isName() ? token.upper : std::string();
}

// The leading integer of a text, clamped to int (sizes, precisions and waits in SQL text).
inline int boundedInt(const char *text)
{
    const long long v = std::strtoll(text, nullptr, 10);
    return static_cast<int>(v > 1000000000 ? 1000000000 : v < -1000000000 ? -1000000000 : v);
}

// The text with its ASCII letters in upper case, every other byte as it is: how unquoted names
// and keywords compare.
inline std::string upperCase(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// SQL text of a string literal and of a quoted identifier.
inline std::string quoteLiteral(std::string_view value)
{
    std::string out = "'";
    for (char c : value) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

inline std::string quoteName(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

// How a text is read. SQL takes q'[...]' and N'...' literals; PL/SQL takes "~=", "<<" and ">>"
// but fewer single-character symbols, and an unterminated comment is a fault. Leniently, no
// text is a fault: an unterminated literal or name runs to the end, and any other character is
// an operator of its own. maxTokens, when set, ends the list after that many tokens.
struct ScanRules {
    bool plsql = false;
    bool lenient = false;
    size_t maxTokens = 0;
};

enum class ScanFault { None, String, QuotedName, QuotedPlaceholder, Character, Comment };

// The tokens up to a fault (then without the End token), the fault and where it is.
struct Scan {
    std::vector<Token> tokens;
    ScanFault fault = ScanFault::None;
    size_t faultAt = 0;
};
Scan scan(std::string_view text, const ScanRules &rules);

// Throws OraError for an unterminated string (ORA-01756), an unterminated quoted identifier
// (ORA-01740) or a character no statement may contain (ORA-00911). The list ends with an End
// token at the text's length.
std::vector<Token> tokenize(std::string_view text);
// Never throws (see ScanRules::lenient).
std::vector<Token> tokenizeLeniently(std::string_view text);

} // namespace qdsi::sql
