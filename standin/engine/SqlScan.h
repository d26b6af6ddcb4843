#pragma once

// A small lexer over SQL text for what the engine itself must find in a statement (transaction
// control, FOR UPDATE, RETURNING ... INTO, constraint clauses). It skips literals and comments
// and records the parenthesis depth of every token.

#include <string>
#include <string_view>
#include <vector>

namespace qdsi::engine {

struct Token {
    enum Kind { Word, QuotedName, Literal, Number, Parameter, Symbol } kind;
    std::string text; // words upper-cased; quoted names without their quotes
    size_t offset; // byte offset of the token in the text
    size_t end; // byte offset just past the token
    int depth; // parentheses open before the token
};

std::vector<Token> scanSql(std::string_view text);

// True when the token is the given upper-case keyword.
bool isWord(const Token &token, std::string_view keyword);

// Name of an identifier token (word or quoted name), empty for anything else.
std::string identifier(const Token &token);

} // namespace qdsi::engine
