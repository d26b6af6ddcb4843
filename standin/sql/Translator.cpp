#include "sql/Translator.h"

#include "sql/NumberFormat.h"

#include <algorithm>
#include <set>

namespace qdsi::sql {

namespace {

// Words that end an operand or start a clause: never a primary, never an alias.
const std::set<std::string, std::less<>> kReserved = { "ALL", "AND", "ANY", "AS", "ASC", "BETWEEN",
    "BY", "CONNECT", "CROSS", "DESC", "DISTINCT", "ELSE", "END", "ESCAPE", "EXISTS", "FOR", "FROM",
    "FULL", "GROUP", "HAVING", "IN", "INNER", "INTERSECT", "INTO", "IS", "JOIN", "LEFT", "LIKE",
    "MINUS", "NATURAL", "NOT", "NULLS", "ON", "OR", "ORDER", "OUTER", "PRIOR", "RETURN",
    "RETURNING", "RIGHT", "SELECT", "SET", "SOME", "START", "THEN", "UNION", "UNIQUE", "USING",
    "VALUES", "WHEN", "WHERE", "WITH", "OVER", "PARTITION", "FIRST", "LAST" };

bool isReserved(std::string_view w)
{
    return kReserved.count(w) != 0;
}

bool isComparison(const Token &t)
{
    return t.type == TokenType::Operator
        && (t.upper == "=" || t.upper == "<>" || t.upper == "!=" || t.upper == "^=");
}

} // namespace

Translator::Translator(std::string_view sql, const SessionContext &context)
    : sql_(sql)
    , context_(context)
    , tokens_(tokenize(sql))
{
    match_.assign(tokens_.size(), 0);
    std::vector<size_t> open;
    for (size_t i = 0; i < tokens_.size(); ++i) {
        if (tokens_[i].is("(")) {
            open.push_back(i);
        } else if (tokens_[i].is(")")) {
            if (open.empty())
                fail(933, i);
            match_[open.back()] = i;
            open.pop_back();
        }
    }
    end_ = tokens_.size() - 1;
    if (!open.empty())
        fail(907, end_);
}

size_t Translator::closing(size_t open) const
{
    return match_[open];
}

Translator::Nest::Nest(Translator &owner, size_t at)
    : t(owner)
{
    // SQLite itself refuses expressions nested deeper than 1000; stop well before the stack
    // of this recursive rewriter could run out, with the limit the user went past.
    constexpr int maxNesting = 200;
    if (++t.depth_ > maxNesting) {
        --t.depth_;
        t.fail(36, at, std::to_string(maxNesting));
    }
}

std::string numberLiteral(const std::string &literal, bool negative)
{
    const std::string exact = exactNumberText(literal, negative);
    if (exact.empty())
        return negative ? "-" + literal : literal;
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "X'";
    for (unsigned char c : exact) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "'";
}

void Translator::fail(int code, size_t i, std::string_view detail) const
{
    throw oraError(code, detail, tokens_[std::min(i, tokens_.size() - 1)].offset);
}

void Translator::expectEnd(size_t i, size_t e) const
{
    if (i < e)
        fail(933, i);
}

// First top-level occurrence of word (optionally followed by next) in [b, e).
size_t Translator::findTop(size_t b, size_t e, std::string_view word, std::string_view next) const
{
    for (size_t i = b; i < e; ++i) {
        if (tokens_[i].is("(")) {
            i = closing(i);
            continue;
        }
        if (tokens_[i].type == TokenType::Identifier && tokens_[i].upper == word
            && (next.empty() || is(i + 1, next)))
            return i;
    }
    return e;
}

std::vector<std::pair<size_t, size_t>> Translator::splitTop(
    size_t b, size_t e, std::string_view sep) const
{
    std::vector<std::pair<size_t, size_t>> parts;
    size_t start = b;
    for (size_t i = b; i < e; ++i) {
        if (tokens_[i].is("(")) {
            i = closing(i);
        } else if (tokens_[i].is(sep)) {
            parts.emplace_back(start, i);
            start = i + 1;
        }
    }
    parts.emplace_back(start, e);
    return parts;
}

std::string Translator::placeholder(size_t i) const
{
    auto it = index_.find(tokens_[i].upper);
    if (it == index_.end())
        fail(2287, i); // a placeholder where none may stand (returning into, ...)
    return "?" + std::to_string(it->second);
}

std::string Translator::name(size_t i) const
{
    const Token &t = tok(i);
    if (t.type == TokenType::Quoted)
        return quoteName(t.upper);
    const bool plain = std::all_of(t.upper.begin(), t.upper.end(),
        [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; });
    return plain ? t.upper : quoteName(t.upper);
}

std::string Translator::token(size_t i, const Scope &) const
{
    const Token &t = tokens_[i];
    switch (t.type) {
    case TokenType::Identifier:
    case TokenType::Quoted:
        return name(i);
    case TokenType::String:
        return t.upper.empty() ? "NULL" : quoteLiteral(t.upper);
    case TokenType::Number:
        return numberLiteral(t.text, false);
    case TokenType::Placeholder:
        return placeholder(i);
    case TokenType::Operator:
        if (t.upper == "^=")
            return "<>";
        if (t.upper == ";")
            fail(911, i);
        if (t.upper == ":=" || t.upper == "=>" || t.upper == "@" || t.upper == "**"
            || t.upper == "[" || t.upper == "]" || t.upper == "{" || t.upper == "}"
            || t.upper == "?" || t.upper == "&" || t.upper == "~" || t.upper == ":")
            fail(911, i);
        return t.upper;
    case TokenType::End:
        break;
    }
    return {};
}

// ---- expressions ----

bool Translator::startsPrimary(size_t i) const
{
    const Token &t = tokens_[i];
    switch (t.type) {
    case TokenType::Number:
    case TokenType::String:
    case TokenType::Placeholder:
    case TokenType::Quoted:
        return true;
    case TokenType::Identifier:
        return !isReserved(t.upper);
    case TokenType::Operator:
        return t.upper == "(";
    case TokenType::End:
        break;
    }
    return false;
}

size_t Translator::primaryEnd(size_t i, size_t e) const
{
    const Token &t = tokens_[i];
    if (t.is("("))
        return closing(i) + 1;
    if (t.is("CONNECT_BY_ROOT") && i + 1 < e && startsPrimary(i + 1))
        return primaryEnd(i + 1, e); // an operator on the primary after it
    if (t.is("CASE")) {
        int depth = 0;
        for (size_t j = i; j < e; ++j) {
            if (tokens_[j].is("(")) {
                j = closing(j);
            } else if (tokens_[j].is("CASE")) {
                ++depth;
            } else if (tokens_[j].is("END") && --depth == 0) {
                return j + 1;
            }
        }
        fail(905, e); // CASE without END
    }
    if (!t.isName())
        return i + 1;
    if ((t.is("DATE") || t.is("TIMESTAMP")) && i + 1 < e
        && tokens_[i + 1].type == TokenType::String)
        return i + 2; // ANSI date literal
    size_t j = i + 1;
    while (j + 1 < e && tokens_[j].is(".") && tokens_[j + 1].isName())
        j += 2;
    if (j < e && tokens_[j].is("(")) {
        j = closing(j) + 1;
        if (j + 2 < e && tokens_[j].is("WITHIN") && tokens_[j + 1].is("GROUP")
            && tokens_[j + 2].is("("))
            j = closing(j + 2) + 1;
        if (j + 1 < e && tokens_[j].is("OVER") && tokens_[j + 1].is("("))
            j = closing(j + 1) + 1;
    }
    return j;
}

std::vector<Translator::Unit> Translator::units(size_t b, size_t e) const
{
    std::vector<Unit> us;
    size_t i = b;
    while (i < e) {
        const Token &t = tokens_[i];
        if (t.type == TokenType::Operator
            && (t.upper == "+" || t.upper == "-" || t.upper == "*" || t.upper == "/"
                || t.upper == "||")) {
            us.push_back({ Unit::Op, i, i + 1, {} });
            ++i;
        } else if (startsPrimary(i)) {
            const size_t j = std::min(primaryEnd(i, e), e);
            us.push_back({ Unit::Primary, i, j, {} });
            i = j;
        } else {
            us.push_back({ Unit::Other, i, i + 1, {} });
            ++i;
        }
    }
    return us;
}

bool Translator::isRowidRef(const Unit &u) const
{
    if (u.kind != Unit::Primary || !tokens_[u.e - 1].is("ROWID"))
        return false;
    return u.e - u.b == 1 || (u.e - u.b == 3 && tokens_[u.b + 1].is("."));
}

// The table and the SQLite qualifier a rowid reference [b, e) points at.
std::pair<std::string, std::string> Translator::rowidTable(
    size_t b, size_t e, const Scope &scope) const
{
    if (scope.unqualifiedRowid && !scope.tables.empty())
        return { scope.tables.front().name, {} };
    if (e - b == 3) {
        const std::string q = tokens_[b].upper;
        for (const Scope *s = &scope; s; s = s->parent)
            for (const TableRef &t : s->tables)
                if (t.alias == q || t.name == q)
                    return { t.name.empty() ? t.alias : t.name, name(b) };
        return { q, name(b) };
    }
    for (const Scope *s = &scope; s; s = s->parent) {
        if (s->tables.size() > 1)
            fail(918, b);
        if (s->tables.size() == 1) {
            const TableRef &t = s->tables.front();
            return { t.name.empty() ? t.alias : t.name,
                t.alias.empty() ? t.name : quoteName(t.alias) };
        }
    }
    fail(904, b, "ROWID");
}

std::string Translator::expr(size_t b, size_t e, const Scope &scope)
{
    if (b >= e)
        fail(936, b);
    const Nest nest(*this, b);
    if (grouping_ && !inAggregate_) {
        std::string g = groupingRewrite(b, e, scope);
        if (!g.empty())
            return g;
    }
    std::vector<Unit> us = units(b, e);
    // rowid compared with a bind or literal stays an integer rowid lookup.
    for (size_t k = 0; k + 2 < us.size(); ++k) {
        const Unit &a = us[k], &op = us[k + 1], &c = us[k + 2];
        if (op.kind != Unit::Other || !isComparison(tokens_[op.b]))
            continue;
        const bool after = k + 3 < us.size() && us[k + 3].kind == Unit::Op;
        const bool before = k > 0 && us[k - 1].kind == Unit::Op;
        auto single = [&](const Unit &u) {
            return u.kind == Unit::Primary && u.e - u.b == 1
                && (tokens_[u.b].type == TokenType::Placeholder
                    || tokens_[u.b].type == TokenType::String);
        };
        const Unit *ref = nullptr, *value = nullptr;
        if (isRowidRef(a) && single(c) && !after)
            ref = &a, value = &c;
        else if (single(a) && isRowidRef(c) && !before && !after)
            ref = &c, value = &a;
        if (!ref)
            continue;
        const auto [table, qualifier] = rowidTable(ref->b, ref->e, scope);
        const std::string op2 = tokens_[op.b].upper == "=" ? "=" : "<>";
        Unit text { Unit::Text, a.b, c.e,
            (qualifier.empty() ? "" : qualifier + ".") + "ROWID " + op2 + " QD_ROWIDNUM("
                + token(value->b, scope) + ")" };
        us.erase(us.begin() + static_cast<long>(k), us.begin() + static_cast<long>(k) + 3);
        us.insert(us.begin() + static_cast<long>(k), text);
    }
    implicitDates(us, scope);
    implicitNumbers(us, scope);
    std::string out;
    auto append = [&](const std::string &s) {
        if (!out.empty() && !s.empty())
            out += ' ';
        out += s;
    };
    size_t k = 0;
    while (k < us.size()) {
        // An arithmetic run: [unary]* primary (op [unary]* primary)*
        size_t j = k;
        auto operand = [&](size_t at) -> size_t { // index past the operand, or at when none
            size_t p = at;
            while (p < us.size() && us[p].kind == Unit::Op
                && (tokens_[us[p].b].upper == "-" || tokens_[us[p].b].upper == "+"))
                ++p;
            if (p < us.size() && (us[p].kind == Unit::Primary || us[p].kind == Unit::Text))
                return p + 1;
            return at;
        };
        size_t past = operand(j);
        if (past == j) {
            const Unit &u = us[k];
            if (hierarchical_ && u.kind == Unit::Other && tokens_[u.b].is("PRIOR")) {
                priorNext_ = true; // the next column is the parent row's
                ++k;
                continue;
            }
            append(u.kind == Unit::Text ? u.text : token(u.b, scope));
            ++k;
            continue;
        }
        j = past;
        while (j < us.size() && us[j].kind == Unit::Op) {
            const size_t next = operand(j + 1);
            if (next == j + 1)
                break;
            j = next;
        }
        append(arithmetic(us, k, j, scope));
        k = j;
    }
    return out;
}

// A column compared with a literal in the session's date format ("hiredate > '01-JAN-81'"):
// Oracle converts the literal to a DATE when the column is one. The type is known only per
// row, so QD_DATEARG converts the literal when the column's value is a stored date.
bool Translator::isComparisonOperator(const Unit &u) const
{
    if (u.kind != Unit::Other || tok(u.b).type != TokenType::Operator)
        return false;
    const std::string &o = tok(u.b).upper;
    return o == "=" || o == "<>" || o == "!=" || o == "^=" || o == "<" || o == ">" || o == "<="
        || o == ">=";
}

void Translator::implicitDates(std::vector<Unit> &us, const Scope &scope)
{
    auto column = [&](const Unit &u) {
        if (u.kind != Unit::Primary)
            return false;
        for (size_t i = u.b; i < u.e; ++i)
            if (!(tok(i).isName() || tok(i).is(".")))
                return false;
        const Token &last = tok(u.e - 1);
        return !(last.is("ROWID") || last.is("ROWNUM") || last.is("SYSDATE") || last.is("USER")
            || last.is("NULL") || last.is("NEXTVAL") || last.is("CURRVAL"));
    };
    auto dateLiteral = [&](const Unit &u) {
        if (u.kind != Unit::Primary || u.e != u.b + 1 || tok(u.b).type != TokenType::String
            || tok(u.b).upper.empty() || looksNumeric(tok(u.b).upper))
            return false;
        try {
            parseDate(tok(u.b).upper, context_.dateFormat);
            return true;
        } catch (const OraError &) {
            return false;
        }
    };
    for (size_t k = 0; k + 2 < us.size(); ++k) {
        const bool before = k > 0 && us[k - 1].kind == Unit::Op;
        const bool after = k + 3 < us.size() && us[k + 3].kind == Unit::Op;
        if (before || after || !isComparisonOperator(us[k + 1]))
            continue;
        const Unit *col = nullptr, *lit = nullptr;
        if (column(us[k]) && dateLiteral(us[k + 2]))
            col = &us[k], lit = &us[k + 2];
        else if (dateLiteral(us[k]) && column(us[k + 2]))
            lit = &us[k], col = &us[k + 2];
        if (!col)
            continue;
        const std::string c = primary(col->b, col->e, scope);
        const std::string converted
            = "QD_DATEARG(" + c + ", " + quoteLiteral(tok(lit->b).upper) + ")";
        const std::string op = token(us[k + 1].b, scope);
        Unit text { Unit::Text, us[k].b, us[k + 2].e,
            col == &us[k] ? c + " " + op + " " + converted : converted + " " + op + " " + c };
        us.erase(us.begin() + static_cast<long>(k), us.begin() + static_cast<long>(k) + 3);
        us.insert(us.begin() + static_cast<long>(k), text);
    }
}

// Emits units [from, to) forming operands and binary operators. * and / bind tighter than
// + - ||, which associate left as in Oracle; || becomes QD_CONCAT (null as empty), + and -
// become QD_ADD/QD_SUB unless both sides are literals (date arithmetic), / becomes QD_DIV.
std::string Translator::arithmetic(
    const std::vector<Unit> &us, size_t from, size_t to, const Scope &scope)
{
    struct Operand {
        std::string text;
        bool literal;
    };
    auto operandAt = [&](size_t &p) {
        std::string sign;
        while (us[p].kind == Unit::Op) {
            if (tokens_[us[p].b].upper == "-")
                sign += "-";
            ++p;
        }
        const Unit &u = us[p++];
        Operand o;
        if (sign.size() % 2 && u.kind == Unit::Primary && u.e == u.b + 1
            && tokens_[u.b].type == TokenType::Number
            && !exactNumberText(tokens_[u.b].text, true).empty()) {
            // A long negative literal keeps its digits too.
            o.text = numberLiteral(tokens_[u.b].text, true);
            o.literal = true;
            return o;
        }
        o.text = u.kind == Unit::Text ? u.text : primary(u.b, u.e, scope);
        o.literal = u.kind == Unit::Primary && u.e - u.b == 1
            && (tokens_[u.b].type == TokenType::Number
                || tokens_[u.b].type == TokenType::Placeholder);
        if (!sign.empty())
            o.text = (sign.size() % 2 ? "-" : "") + std::string("(") + o.text + ")";
        return o;
    };
    // Terms joined by * and /.
    std::vector<Operand> terms;
    std::vector<std::string> ops; // between terms: + - ||
    size_t p = from;
    Operand current = operandAt(p);
    while (p < to) {
        const std::string op = tokens_[us[p].b].upper;
        ++p;
        Operand rhs = operandAt(p);
        if (op == "*") {
            current
                = { "(" + current.text + " * " + rhs.text + ")", current.literal && rhs.literal };
        } else if (op == "/") {
            current = { "QD_DIV(" + current.text + ", " + rhs.text + ")", false };
        } else {
            terms.push_back(current);
            ops.push_back(op);
            current = rhs;
        }
    }
    terms.push_back(current);
    Operand acc = terms[0];
    for (size_t i = 0; i < ops.size(); ++i) {
        const Operand &rhs = terms[i + 1];
        if (ops[i] == "||") {
            // Flatten a chain of || into one call.
            std::string args = acc.text + ", " + rhs.text;
            while (i + 1 < ops.size() && ops[i + 1] == "||") {
                ++i;
                args += ", " + terms[i + 1].text;
            }
            acc = { "QD_CONCAT(" + args + ")", false };
        } else if (acc.literal && rhs.literal) {
            acc = { "(" + acc.text + " " + ops[i] + " " + rhs.text + ")", true };
        } else {
            acc = { std::string(ops[i] == "+" ? "QD_ADD(" : "QD_SUB(") + acc.text + ", " + rhs.text
                    + ")",
                false };
        }
    }
    return acc.text;
}

std::string Translator::list(size_t b, size_t e, const Scope &scope)
{
    std::string out;
    for (auto [pb, pe] : splitTop(b, e, ",")) {
        if (!out.empty())
            out += ", ";
        out += expr(pb, pe, scope);
    }
    return out;
}

std::string Translator::primary(size_t b, size_t e, const Scope &scope)
{
    if (grouping_ && !inAggregate_) {
        std::string g = groupingRewrite(b, e, scope);
        if (!g.empty())
            return g;
    }
    const Token &t = tokens_[b];
    if (t.is("CONNECT_BY_ROOT") && e > b + 1) {
        const auto column = treeColumns_.find(b);
        if (column == treeColumns_.end())
            fail(30007, b); // not in a hierarchical query's select list, WHERE or ORDER BY
        return "QD_TREE." + column->second;
    }
    if (t.is("(")) {
        const size_t close = closing(b);
        if (is(b + 1, "SELECT") || is(b + 1, "WITH"))
            return "(" + query(b + 1, close, &scope, false) + ")";
        if (close == b + 1)
            fail(936, close);
        return "(" + list(b + 1, close, scope) + ")";
    }
    if (t.is("CASE"))
        return "CASE " + expr(b + 1, e - 1, scope) + " END";
    if (!t.isName())
        return token(b, scope);
    if (e == b + 2 && tokens_[b + 1].type == TokenType::String) {
        // DATE 'YYYY-MM-DD' and TIMESTAMP 'YYYY-MM-DD HH24:MI:SS'
        const std::string &v = tokens_[b + 1].upper;
        return "TO_DATE(" + quoteLiteral(v.substr(0, 19)) + ", "
            + quoteLiteral(v.size() > 10 ? "YYYY-MM-DD HH24:MI:SS" : "YYYY-MM-DD") + ")";
    }
    // name chain, maybe a call
    size_t j = b + 1;
    while (j + 1 < e && tokens_[j].is(".") && tokens_[j + 1].isName())
        j += 2;
    if (j < e && tokens_[j].is("(") && outerMarkers_ && is(j + 1, "+") && is(j + 2, ")")
        && j + 3 == e) {
        std::string column;
        for (size_t k = b; k < j; k += 2)
            column += (column.empty() ? "" : ".") + name(k);
        return column;
    }
    if (j < e && tokens_[j].is("("))
        return call(b, j, e, scope);
    const size_t parts = (j - b + 1) / 2;
    const Token &last = tokens_[j - 1];
    if (parts >= 2 && last.type == TokenType::Identifier
        && (last.upper == "NEXTVAL" || last.upper == "CURRVAL")) {
        std::string seq;
        for (size_t k = b; k < j - 2; k += 2)
            seq += (seq.empty() ? "" : ".") + tokens_[k].upper;
        return std::string(last.upper == "NEXTVAL" ? "QD_NEXTVAL(" : "QD_CURRVAL(")
            + quoteLiteral(seq) + ")";
    }
    if (last.is("ROWID") && parts <= 2) {
        const auto [table, qualifier] = rowidTable(b, j, scope);
        return "QD_ROWIDTEXT(" + quoteLiteral(table) + ", "
            + (qualifier.empty() ? "" : qualifier + ".") + "ROWID)";
    }
    if (parts == 1 && t.type == TokenType::Identifier) {
        if (t.upper == "SYSDATE" || t.upper == "CURRENT_DATE" || t.upper == "SYSTIMESTAMP")
            return "SYSDATE()";
        if (t.upper == "USER")
            return "QD_USER()";
        if (t.upper == "UID")
            return "QD_UID()";
        if (t.upper == "ROWNUM") {
            if (!scope.selectList)
                fail(3001, b);
            return "ROW_NUMBER() OVER ()";
        }
        if (t.upper == "LEVEL") {
            if (!hierarchical_)
                fail(3001, b);
            return "QD_TREE.QD_LEVEL";
        }
        if (t.upper == "CONNECT_BY_ISLEAF") {
            if (!hierarchical_)
                fail(904, b, "\"CONNECT_BY_ISLEAF\"");
            // A row is a leaf when no row of the tree has it for a parent.
            return "(NOT EXISTS (SELECT 1 FROM QD_TREE AS QD_CHILD "
                   "WHERE QD_CHILD.QD_PPATH = QD_TREE.QD_PATH))";
        }
    }
    if (priorNext_) {
        priorNext_ = false;
        return "(SELECT QD_PRIOR." + name(j - 1) + " FROM " + priorTable_
            + " AS QD_PRIOR WHERE QD_PRIOR.ROWID = QD_TREE.QD_RID)";
    }
    std::string out;
    for (size_t k = b; k < j; k += 2)
        out += (out.empty() ? "" : ".") + name(k);
    return out;
}

Translator::RowRef Translator::rowRef(size_t open, size_t close, const Scope &scope) const
{
    // The one argument is the alias (or name) of an object table of the FROM clause.
    if (close != open + 2 || !tok(open + 1).isName())
        fail(904, open + 1, tok(open + 1).text);
    const std::string q = tok(open + 1).upper;
    for (const Scope *s = &scope; s; s = s->parent)
        for (const TableRef &t : s->tables) {
            if (t.name.empty() || (t.alias != q && t.name != q))
                continue;
            RowRef row;
            row.table = t.name;
            // Without the engine (classifying a statement at prepare) the type stays open.
            if (context_.objectTableType) {
                row.type = context_.objectTableType(t.name);
                if (row.type.empty())
                    fail(904, open + 1, q);
            }
            // A REF is "SCHEMA.TABLE/rowid" (see engine/ObjectTables).
            row.text = "(" + quoteLiteral(context_.user + "." + t.name + "/") + " || "
                + quoteName(t.alias.empty() ? t.name : t.alias) + ".ROWID)";
            return row;
        }
    fail(904, open + 1, q);
}

std::string Translator::call(size_t b, size_t open, size_t e, const Scope &scope)
{
    const size_t close = closing(open);
    std::string fn;
    // The session's own schema before a function (a type's constructor) is the connection's
    // main database, where the function is known by its bare name.
    const size_t first = b + 2 < open && !context_.user.empty() && tok(b).upper == context_.user
            && tok(b + 1).is(".")
        ? b + 2
        : b;
    for (size_t k = first; k < open; k += 2)
        fn += (fn.empty() ? "" : ".") + name(k);
    std::string args;
    if (close == open + 2 && tok(open + 1).is("+"))
        fail(3001, open); // the old outer-join marker: write the join with LEFT JOIN
    if (fn == "SYS_CONNECT_BY_PATH" && b + 1 == open) {
        const auto column = treeColumns_.find(b);
        if (column == treeColumns_.end())
            fail(30002, b); // SYS_CONNECT_BY_PATH function is not allowed here
        return "QD_TREE." + column->second;
    }
    if ((fn == "GROUPING" || fn == "GROUPING_ID") && b + 1 == open)
        return groupingCall(fn, open, close, scope);
    // An aggregate's arguments read the rows' own values, not the grouping's.
    struct AggregateArguments {
        int &depth;
        bool on;
        void release()
        {
            if (on)
                --depth, on = false;
        }
        ~AggregateArguments() { release(); }
    } aggregateArguments { inAggregate_,
        grouping_ && b + 1 == open && isAggregateName(tok(b)) && !is(closing(open) + 1, "OVER") };
    if (aggregateArguments.on)
        ++inAggregate_;
    if (fn == "LISTAGG" && b + 1 == open)
        return listagg(open, close, e, scope);
    if ((fn == "MIN" || fn == "MAX") && b + 1 == open && !is(close + 1, "OVER")) {
        // Of a NUMBER column, whose long numbers SQLite's min() and max() would misorder.
        size_t a = open + 1;
        if (is(a, "DISTINCT") || is(a, "UNIQUE") || is(a, "ALL"))
            ++a;
        ColumnDescription type;
        if ((close - a == 1 || close - a == 3) && columnOf(a, close, scope, type)
            && type.dataType == 2)
            fn = fn == "MIN" ? "QD_NUMMIN" : "QD_NUMMAX";
    }
    if ((fn == "REF" || fn == "VALUE") && b + 1 == open) {
        const RowRef row = rowRef(open, close, scope);
        return fn == "REF" ? row.text : "QD_DEREF(" + row.text + ")";
    }
    if (fn == "DEREF" && b + 1 == open) {
        // Only a REF can be dereferenced: a REF column, ref(alias) or another REF expression.
        const Scope *saved = inferScope_;
        inferScope_ = &scope;
        const Inferred arg = close > open + 1 ? infer(open + 1, close) : Inferred {};
        inferScope_ = saved;
        if (context_.objectTableType && (!arg.known || arg.type.dataType != 110))
            fail(932, open + 1, "REF");
        return "QD_DEREF(" + expr(open + 1, close, scope) + ")";
    }
    if (fn == "TRIM" && findTop(open + 1, close, "FROM") < close) {
        // trim([leading|trailing|both] [set] from s)
        const size_t from = findTop(open + 1, close, "FROM");
        size_t k = open + 1;
        std::string which = "TRIM";
        if (is(k, "LEADING"))
            which = "LTRIM", ++k;
        else if (is(k, "TRAILING"))
            which = "RTRIM", ++k;
        else if (is(k, "BOTH"))
            ++k;
        const std::string source = expr(from + 1, close, scope);
        args = k < from ? source + ", " + expr(k, from, scope) : source;
        fn = which;
    } else if (fn == "EXTRACT") {
        // extract(year from d) → QD_EXTRACT('YEAR', d)
        const size_t from = findTop(open + 1, close, "FROM");
        if (from != open + 2 || !tok(open + 1).isName())
            fail(905, open + 1);
        fn = "QD_EXTRACT";
        args = quoteLiteral(tok(open + 1).upper) + ", " + expr(from + 1, close, scope);
    } else if (fn == "CAST") {
        const size_t as = findTop(open + 1, close, "AS");
        if (as >= close)
            fail(905, close);
        const ColumnDescription d = describeDeclaredType(declaredType(as + 1, close));
        const char *affinity = d.dataType == 2      ? "NUMERIC"
            : d.dataType == 23 || d.dataType == 113 ? "BLOB"
                                                    : "TEXT";
        args = expr(open + 1, as, scope) + " AS " + affinity;
    } else if (close > open + 1) {
        // count(*), count(distinct x), f(a, b, ...)
        if (close == open + 2 && tokens_[open + 1].is("*")) {
            args = "*";
        } else {
            size_t k = open + 1;
            if (is(k, "DISTINCT") || is(k, "UNIQUE"))
                args = "DISTINCT ", ++k;
            else if (is(k, "ALL"))
                ++k;
            args += list(k, close, scope);
        }
    }
    aggregateArguments.release();
    std::string out = fn + "(" + args + ")";
    if (close + 2 < e && tokens_[close + 1].is("OVER")) {
        const size_t overOpen = close + 2;
        const size_t overClose = closing(overOpen);
        std::string window;
        const size_t partitionAt = findTop(overOpen + 1, overClose, "PARTITION", "BY");
        const size_t orderAt = findTop(overOpen + 1, overClose, "ORDER", "BY");
        if (partitionAt < overClose)
            window += "PARTITION BY " + list(partitionAt + 2, std::min(orderAt, overClose), scope);
        if (orderAt < overClose)
            window += std::string(window.empty() ? "" : " ") + "ORDER BY "
                + list(orderAt + 2, overClose, scope);
        out += " OVER (" + window + ")";
    }
    return out;
}

} // namespace qdsi::sql
