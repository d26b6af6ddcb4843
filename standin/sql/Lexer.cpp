#include "sql/Lexer.h"

#include "sql/Dialect.h"

#include <cctype>

namespace qdsi::sql {

namespace {

bool isIdentStart(unsigned char c)
{
    return std::isalpha(c) || c >= 0x80;
}
bool isIdentPart(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

std::string folded(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::vector<Token> tokenize(std::string_view text)
{
    std::vector<Token> tokens;
    const size_t n = text.size();
    size_t i = 0;
    auto push = [&](TokenType type, size_t begin, size_t end, std::string upper) {
        Token t;
        t.type = type;
        t.text = std::string(text.substr(begin, end - begin));
        t.upper = std::move(upper);
        t.offset = static_cast<int>(begin);
        t.end = static_cast<int>(end);
        tokens.push_back(std::move(t));
    };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '-' && i + 1 < n && text[i + 1] == '-') {
            while (i < n && text[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            const size_t close = text.find("*/", i + 2);
            i = close == std::string_view::npos ? n : close + 2;
        } else if ((c == 'q' || c == 'Q') && i + 2 < n && text[i + 1] == '\'') {
            // q'[...]' alternative quoting: the closing delimiter pairs with the opening one.
            const char open = text[i + 2];
            const char close = open == '[' ? ']'
                : open == '('              ? ')'
                : open == '{'              ? '}'
                : open == '<'              ? '>'
                                           : open;
            size_t j = i + 3;
            while (j + 1 < n && !(text[j] == close && text[j + 1] == '\''))
                ++j;
            if (j + 1 >= n)
                throw oraError(1756, {}, static_cast<int>(i));
            push(TokenType::String, i, j + 2, std::string(text.substr(i + 3, j - i - 3)));
            i = j + 2;
        } else if (c == '\'' || ((c == 'n' || c == 'N') && i + 1 < n && text[i + 1] == '\'')) {
            const size_t begin = i;
            size_t j = c == '\'' ? i + 1 : i + 2;
            std::string value;
            for (;;) {
                if (j >= n)
                    throw oraError(1756, {}, static_cast<int>(begin));
                if (text[j] == '\'') {
                    if (j + 1 < n && text[j + 1] == '\'') {
                        value += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                value += text[j++];
            }
            push(TokenType::String, begin, j + 1, std::move(value));
            i = j + 1;
        } else if (c == '"') {
            const size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos || close == i + 1)
                throw oraError(1740, {}, static_cast<int>(i));
            push(TokenType::Quoted, i, close + 1, std::string(text.substr(i + 1, close - i - 1)));
            i = close + 1;
        } else if (isIdentStart(c)) {
            size_t j = i + 1;
            while (j < n && isIdentPart(static_cast<unsigned char>(text[j])))
                ++j;
            push(TokenType::Identifier, i, j, folded(text.substr(i, j - i)));
            i = j;
        } else if (std::isdigit(c)
            || (c == '.' && i + 1 < n && std::isdigit((unsigned char)text[i + 1]))) {
            size_t j = i;
            while (j < n && std::isdigit(static_cast<unsigned char>(text[j])))
                ++j;
            // "1..5" is not a number followed by ".5"; keep a lone '.' before another '.'.
            if (j < n && text[j] == '.' && !(j + 1 < n && text[j + 1] == '.')) {
                ++j;
                while (j < n && std::isdigit(static_cast<unsigned char>(text[j])))
                    ++j;
            }
            if (j < n && (text[j] == 'e' || text[j] == 'E')) {
                size_t k = j + 1;
                if (k < n && (text[k] == '+' || text[k] == '-'))
                    ++k;
                if (k < n && std::isdigit(static_cast<unsigned char>(text[k]))) {
                    while (k < n && std::isdigit(static_cast<unsigned char>(text[k])))
                        ++k;
                    j = k;
                }
            }
            push(TokenType::Number, i, j, std::string(text.substr(i, j - i)));
            i = j;
        } else if (c == ':' && i + 1 < n && text[i + 1] != '=' && text[i + 1] != ':'
            && (isIdentPart(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == '"')) {
            size_t j = i + 1;
            std::string name;
            if (text[j] == '"') {
                const size_t close = text.find('"', j + 1);
                if (close == std::string_view::npos)
                    throw oraError(1740, {}, static_cast<int>(j));
                name = std::string(text.substr(j + 1, close - j - 1));
                j = close + 1;
            } else {
                while (j < n && isIdentPart(static_cast<unsigned char>(text[j])))
                    ++j;
                name = folded(text.substr(i + 1, j - i - 1));
            }
            push(TokenType::Placeholder, i, j, std::move(name));
            i = j;
        } else {
            static constexpr std::string_view two[]
                = { "<>", "!=", "^=", "<=", ">=", "||", ":=", "=>", "..", "**" };
            bool matched = false;
            for (std::string_view op : two) {
                if (text.substr(i, 2) == op) {
                    push(TokenType::Operator, i, i + 2, std::string(op));
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (matched)
                continue;
            if (std::string_view("=<>+-*/(),.;@%:!|&[]?{}^~").find(static_cast<char>(c))
                == std::string_view::npos)
                throw oraError(911, {}, static_cast<int>(i));
            push(TokenType::Operator, i, i + 1, std::string(1, static_cast<char>(c)));
            ++i;
        }
    }
    Token end;
    end.offset = end.end = static_cast<int>(n);
    tokens.push_back(end);
    return tokens;
}

} // namespace qdsi::sql
