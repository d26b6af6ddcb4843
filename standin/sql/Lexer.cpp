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
bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

std::string folded(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// One pass over the text; each read* step takes the token at i_ and moves past it, or records
// the fault and ends the scan.
class Scanner {
public:
    Scanner(std::string_view text, const ScanRules &rules)
        : s_(text)
        , n_(text.size())
        , rules_(rules)
    {
    }

    Scan run()
    {
        for (;;) {
            if (rules_.maxTokens && out_.tokens.size() == rules_.maxTokens)
                break;
            if (!skipSpaceAndComments())
                return std::move(out_);
            if (i_ >= n_)
                break;
            if (!readToken())
                return std::move(out_);
        }
        Token end;
        end.offset = end.end = static_cast<int>(n_);
        end.depth = depth_;
        out_.tokens.push_back(end);
        return std::move(out_);
    }

private:
    // False when an unterminated comment is a fault of these rules.
    bool skipSpaceAndComments()
    {
        while (i_ < n_) {
            const unsigned char c = static_cast<unsigned char>(s_[i_]);
            if (std::isspace(c)) {
                ++i_;
            } else if (c == '-' && i_ + 1 < n_ && s_[i_ + 1] == '-') {
                while (i_ < n_ && s_[i_] != '\n')
                    ++i_;
            } else if (c == '/' && i_ + 1 < n_ && s_[i_ + 1] == '*') {
                const size_t close = s_.find("*/", i_ + 2);
                if (close == std::string_view::npos && rules_.plsql && !rules_.lenient)
                    return fail(ScanFault::Comment, i_);
                i_ = close == std::string_view::npos ? n_ : close + 2;
            } else {
                break;
            }
        }
        return true;
    }

    bool fail(ScanFault fault, size_t at)
    {
        out_.fault = fault;
        out_.faultAt = at;
        return false;
    }

    void push(TokenType type, size_t begin, size_t end, std::string upper)
    {
        Token t;
        t.type = type;
        t.text = std::string(s_.substr(begin, end - begin));
        t.upper = std::move(upper);
        t.offset = static_cast<int>(begin);
        t.end = static_cast<int>(end);
        if (type == TokenType::Operator && t.upper == ")" && depth_ > 0)
            --depth_;
        t.depth = depth_;
        if (type == TokenType::Operator && t.upper == "(")
            ++depth_;
        out_.tokens.push_back(std::move(t));
        i_ = end;
    }

    bool readToken()
    {
        const unsigned char c = static_cast<unsigned char>(s_[i_]);
        const bool quoteNext = i_ + 1 < n_ && s_[i_ + 1] == '\'';
        if (!rules_.plsql && (c == 'q' || c == 'Q') && quoteNext && i_ + 2 < n_)
            return readAlternativeQuote();
        if (c == '\'' || (!rules_.plsql && (c == 'n' || c == 'N') && quoteNext))
            return readString();
        if (c == '"')
            return readQuotedName();
        if (isIdentStart(c)) {
            size_t j = i_ + 1;
            while (j < n_ && isIdentPart(static_cast<unsigned char>(s_[j])))
                ++j;
            push(TokenType::Identifier, i_, j, folded(s_.substr(i_, j - i_)));
            return true;
        }
        if (isDigit(static_cast<char>(c)) || (c == '.' && i_ + 1 < n_ && isDigit(s_[i_ + 1]))) {
            readNumber();
            return true;
        }
        if (c == ':' && i_ + 1 < n_ && s_[i_ + 1] != '=' && s_[i_ + 1] != ':'
            && (isIdentPart(static_cast<unsigned char>(s_[i_ + 1])) || s_[i_ + 1] == '"'))
            return readPlaceholder();
        return readOperator();
    }

    // q'[...]': the closing delimiter pairs with the opening one.
    bool readAlternativeQuote()
    {
        const char open = s_[i_ + 2];
        const char close = open == '[' ? ']'
            : open == '('              ? ')'
            : open == '{'              ? '}'
            : open == '<'              ? '>'
                                       : open;
        size_t j = i_ + 3;
        while (j + 1 < n_ && !(s_[j] == close && s_[j + 1] == '\''))
            ++j;
        if (j + 1 >= n_) {
            if (!rules_.lenient)
                return fail(ScanFault::String, i_);
            push(TokenType::String, i_, n_, std::string(s_.substr(std::min(i_ + 3, n_))));
            return true;
        }
        push(TokenType::String, i_, j + 2, std::string(s_.substr(i_ + 3, j - i_ - 3)));
        return true;
    }

    bool readString()
    {
        size_t j = s_[i_] == '\'' ? i_ + 1 : i_ + 2;
        std::string value;
        for (;;) {
            if (j >= n_) {
                if (!rules_.lenient)
                    return fail(ScanFault::String, i_);
                push(TokenType::String, i_, n_, std::move(value));
                return true;
            }
            if (s_[j] == '\'') {
                if (j + 1 < n_ && s_[j + 1] == '\'') {
                    value += '\'';
                    j += 2;
                    continue;
                }
                break;
            }
            value += s_[j++];
        }
        push(TokenType::String, i_, j + 1, std::move(value));
        return true;
    }

    bool readQuotedName()
    {
        const size_t close = s_.find('"', i_ + 1);
        if (close == std::string_view::npos || close == i_ + 1) {
            if (!rules_.lenient)
                return fail(ScanFault::QuotedName, i_);
            const size_t end = close == std::string_view::npos ? n_ : close + 1;
            push(TokenType::Quoted, i_, end, std::string(s_.substr(i_ + 1, end - i_ - 1)));
            return true;
        }
        push(TokenType::Quoted, i_, close + 1, std::string(s_.substr(i_ + 1, close - i_ - 1)));
        return true;
    }

    void readNumber()
    {
        size_t j = i_;
        while (j < n_ && isDigit(s_[j]))
            ++j;
        // "1..5" is not a number followed by ".5"; keep a lone '.' before another '.'.
        if (j < n_ && s_[j] == '.' && !(j + 1 < n_ && s_[j + 1] == '.')) {
            ++j;
            while (j < n_ && isDigit(s_[j]))
                ++j;
        }
        if (j < n_ && (s_[j] == 'e' || s_[j] == 'E')) {
            size_t k = j + 1;
            if (k < n_ && (s_[k] == '+' || s_[k] == '-'))
                ++k;
            if (k < n_ && isDigit(s_[k])) {
                while (k < n_ && isDigit(s_[k]))
                    ++k;
                j = k;
            }
        }
        push(TokenType::Number, i_, j, std::string(s_.substr(i_, j - i_)));
    }

    bool readPlaceholder()
    {
        size_t j = i_ + 1;
        std::string name;
        if (s_[j] == '"') {
            const size_t close = s_.find('"', j + 1);
            if (close == std::string_view::npos) {
                if (!rules_.lenient)
                    return fail(ScanFault::QuotedPlaceholder, j);
                push(TokenType::Placeholder, i_, n_, std::string(s_.substr(j + 1)));
                return true;
            }
            name = std::string(s_.substr(j + 1, close - j - 1));
            j = close + 1;
        } else {
            while (j < n_ && isIdentPart(static_cast<unsigned char>(s_[j])))
                ++j;
            name = folded(s_.substr(i_ + 1, j - i_ - 1));
        }
        push(TokenType::Placeholder, i_, j, std::move(name));
        return true;
    }

    bool readOperator()
    {
        static constexpr std::string_view two[]
            = { "<>", "!=", "^=", "<=", ">=", "||", ":=", "=>", "..", "**" };
        static constexpr std::string_view plsqlTwo[] = { "~=", "<<", ">>" };
        const std::string_view pair = s_.substr(i_, 2);
        for (std::string_view op : two)
            if (pair == op) {
                push(TokenType::Operator, i_, i_ + 2, std::string(op));
                return true;
            }
        if (rules_.plsql)
            for (std::string_view op : plsqlTwo)
                if (pair == op) {
                    push(TokenType::Operator, i_, i_ + 2, std::string(op));
                    return true;
                }
        const std::string_view singles
            = rules_.plsql ? "+-*/(),;.=<>%@" : "=<>+-*/(),.;@%:!|&[]?{}^~";
        if (!rules_.lenient && singles.find(s_[i_]) == std::string_view::npos)
            return fail(ScanFault::Character, i_);
        push(TokenType::Operator, i_, i_ + 1, std::string(1, s_[i_]));
        return true;
    }

    std::string_view s_;
    size_t n_;
    ScanRules rules_;
    size_t i_ = 0;
    int depth_ = 0;
    Scan out_;
};

} // namespace

Scan scan(std::string_view text, const ScanRules &rules)
{
    return Scanner(text, rules).run();
}

std::vector<Token> tokenize(std::string_view text)
{
    Scan s = scan(text, {});
    switch (s.fault) {
    case ScanFault::None:
        return std::move(s.tokens);
    case ScanFault::String:
        throw oraError(1756, {}, static_cast<int>(s.faultAt));
    case ScanFault::QuotedName:
    case ScanFault::QuotedPlaceholder:
        throw oraError(1740, {}, static_cast<int>(s.faultAt));
    default:
        throw oraError(911, {}, static_cast<int>(s.faultAt));
    }
}

std::vector<Token> tokenizeLeniently(std::string_view text)
{
    ScanRules rules;
    rules.lenient = true;
    return scan(text, rules).tokens;
}

} // namespace qdsi::sql
