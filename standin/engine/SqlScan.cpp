#include "engine/SqlScan.h"

#include <cctype>

namespace qdsi::engine {

namespace {

bool wordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#'
        || static_cast<unsigned char>(c) >= 0x80;
}

} // namespace

std::vector<Token> scanSql(std::string_view s)
{
    std::vector<Token> tokens;
    int depth = 0;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            const size_t close = s.find("*/", i + 2);
            i = close == std::string_view::npos ? s.size() : close + 2;
        } else if (c == '\'' || c == '"') {
            size_t j = i + 1;
            std::string value;
            while (j < s.size()) {
                if (s[j] == c && j + 1 < s.size() && s[j + 1] == c) {
                    value += c;
                    j += 2;
                } else if (s[j] == c) {
                    break;
                } else {
                    value += s[j++];
                }
            }
            const size_t end = j < s.size() ? j + 1 : s.size();
            tokens.push_back(
                { c == '\'' ? Token::Literal : Token::QuotedName, value, i, end, depth });
            i = end;
        } else if ((c == '?' || c == ':') && i + 1 < s.size() && wordChar(s[i + 1])) {
            size_t j = i + 1;
            while (j < s.size() && wordChar(s[j]))
                ++j;
            tokens.push_back({ Token::Parameter, std::string(s.substr(i, j - i)), i, j, depth });
            i = j;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t j = i;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '.'))
                ++j;
            tokens.push_back({ Token::Number, std::string(s.substr(i, j - i)), i, j, depth });
            i = j;
        } else if (wordChar(c)) {
            size_t j = i;
            std::string word;
            while (j < s.size() && wordChar(s[j]))
                word += static_cast<char>(std::toupper(static_cast<unsigned char>(s[j++])));
            tokens.push_back({ Token::Word, word, i, j, depth });
            i = j;
        } else {
            if (c == ')' && depth > 0)
                --depth;
            tokens.push_back({ Token::Symbol, std::string(1, c), i, i + 1, depth });
            if (c == '(')
                ++depth;
            ++i;
        }
    }
    return tokens;
}

bool isWord(const Token &token, std::string_view keyword)
{
    return token.kind == Token::Word && token.text == keyword;
}

std::string identifier(const Token &token)
{
    return token.kind == Token::Word || token.kind == Token::QuotedName ? token.text
                                                                        : std::string();
}

} // namespace qdsi::engine
