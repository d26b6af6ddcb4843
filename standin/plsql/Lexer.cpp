#include "plsql/Lexer.h"

#include "plsql/CompileError.h"

#include <cctype>

namespace qdsi::plsql {

static bool isNameStart(unsigned char c)
{
    return std::isalpha(c) || c >= 0x80;
}
static bool isNameChar(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

std::vector<Token> tokenize(std::string_view s, size_t maxTokens)
{
    std::vector<Token> out;
    size_t i = 0;
    int line = 1;
    size_t lineStart = 0;
    auto advanceTo = [&](size_t end) {
        for (; i < end && i < s.size(); ++i) {
            if (s[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
    };
    while (true) {
        if (maxTokens && out.size() == maxTokens)
            i = s.size();
        while (i < s.size()) {
            const unsigned char c = s[i];
            if (std::isspace(c)) {
                advanceTo(i + 1);
            } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
                size_t e = s.find('\n', i);
                advanceTo(e == std::string_view::npos ? s.size() : e);
            } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
                size_t e = s.find("*/", i + 2);
                if (e == std::string_view::npos)
                    throw CompileError(
                        line, int(i - lineStart) + 1, "PLS-00111: end-of-file in comment");
                advanceTo(e + 2);
            } else {
                break;
            }
        }
        Token t;
        t.line = line;
        t.column = int(i - lineStart) + 1;
        t.offset = i;
        if (i >= s.size()) {
            t.kind = Token::Kind::End;
            t.endOffset = i;
            out.push_back(t);
            return out;
        }
        const unsigned char c = s[i];
        if (isNameStart(c)) {
            size_t e = i;
            while (e < s.size() && isNameChar(s[e]))
                ++e;
            t.kind = Token::Kind::Name;
            for (size_t k = i; k < e; ++k)
                t.text += char(std::toupper(static_cast<unsigned char>(s[k])));
            advanceTo(e);
        } else if (std::isdigit(c)
            || (c == '.' && i + 1 < s.size() && std::isdigit((unsigned char)s[i + 1]))) {
            size_t e = i;
            while (e < s.size() && std::isdigit((unsigned char)s[e]))
                ++e;
            // "1..10" is a range, not a decimal point.
            if (e < s.size() && s[e] == '.' && !(e + 1 < s.size() && s[e + 1] == '.')) {
                ++e;
                while (e < s.size() && std::isdigit((unsigned char)s[e]))
                    ++e;
            }
            if (e < s.size() && (s[e] == 'e' || s[e] == 'E')) {
                size_t k = e + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-'))
                    ++k;
                if (k < s.size() && std::isdigit((unsigned char)s[k])) {
                    while (k < s.size() && std::isdigit((unsigned char)s[k]))
                        ++k;
                    e = k;
                }
            }
            t.kind = Token::Kind::Number;
            t.text = std::string(s.substr(i, e - i));
            advanceTo(e);
        } else if (c == '\'') {
            std::string text;
            size_t k = i + 1;
            while (true) {
                if (k >= s.size())
                    throw CompileError(t.line, t.column,
                        "PLS-00103: Encountered the symbol \"end-of-file\" when "
                        "expecting one of the following:\n\n   '");
                if (s[k] == '\'') {
                    if (k + 1 < s.size() && s[k + 1] == '\'') {
                        text += '\'';
                        k += 2;
                        continue;
                    }
                    break;
                }
                text += s[k++];
            }
            t.kind = Token::Kind::String;
            t.text = text;
            advanceTo(k + 1);
        } else if (c == '"') {
            size_t e = s.find('"', i + 1);
            if (e == std::string_view::npos || e == i + 1)
                throw CompileError(t.line, t.column,
                    "PLS-00103: Encountered the symbol \"\"\" when expecting one "
                    "of the following:\n\n   an identifier");
            t.kind = Token::Kind::QuotedName;
            t.text = std::string(s.substr(i + 1, e - i - 1));
            advanceTo(e + 1);
        } else if (c == ':' && i + 1 < s.size()
            && (isNameChar((unsigned char)s[i + 1]) || s[i + 1] == '"')) {
            size_t e = i + 1;
            if (s[e] == '"') {
                size_t q = s.find('"', e + 1);
                if (q == std::string_view::npos)
                    throw CompileError(t.line, t.column, "PLS-00049: bad bind variable");
                t.text = std::string(s.substr(e + 1, q - e - 1));
                e = q + 1;
            } else {
                while (e < s.size() && isNameChar((unsigned char)s[e]))
                    ++e;
                for (size_t k = i + 1; k < e; ++k)
                    t.text += char(std::toupper(static_cast<unsigned char>(s[k])));
            }
            t.kind = Token::Kind::Bind;
            advanceTo(e);
        } else {
            static const char *const twoChar[]
                = { ":=", "=>", "..", "||", "<=", ">=", "<>", "!=", "~=", "^=", "**", "<<", ">>" };
            t.kind = Token::Kind::Symbol;
            for (const char *op : twoChar) {
                if (s.substr(i, 2) == op) {
                    t.text = op;
                    break;
                }
            }
            if (t.text.empty()) {
                if (std::string_view("+-*/(),;.=<>%@").find(char(c)) == std::string_view::npos) {
                    std::string shown(1, char(c));
                    throw CompileError(t.line, t.column,
                        "PLS-00103: Encountered the symbol \"" + shown
                            + "\" when expecting one of the following:\n\n"
                              "   begin declare exit for goto if loop null raise "
                              "return select update while");
                }
                t.text = std::string(1, char(c));
            }
            advanceTo(i + t.text.size());
        }
        t.endOffset = i;
        out.push_back(std::move(t));
    }
}

} // namespace qdsi::plsql
