#pragma once

// PL/SQL source as tokens with their line, column and byte offset: the stand-in's one tokenizer
// (sql/Lexer) read with the PL/SQL rules, in the token kinds of the parser. Unquoted names are
// upper-cased; quoted names keep their case. Comments are skipped.

#include <string>
#include <string_view>
#include <vector>

namespace qdsi::plsql {

struct Token {
    enum class Kind { Name, QuotedName, Number, String, Bind, Symbol, End };
    Kind kind = Kind::End;
    std::string text; // name (upper case), number text, string contents, bind name, symbol
    int line = 1; // 1-based
    int column = 1; // 1-based
    size_t offset = 0;
    size_t endOffset = 0;

    bool is(std::string_view word) const
    {
        return (kind == Kind::Name || kind == Kind::Symbol) && text == word;
    }
};

// Throws PlsqlError (compile error) for an unterminated string or quoted name or a stray
// character. The last token is always End.
// With maxTokens set, stops after that many tokens (for reading a statement's head only).
std::vector<Token> tokenize(std::string_view source, size_t maxTokens = 0);

} // namespace qdsi::plsql
