// Checks the server makes of a query that SQLite does not: a grouped select list names only
// grouped columns (ORA-00937, ORA-00979), and text compared with a NUMBER column is converted
// to a number (ORA-01722) rather than compared as text.
#include "sql/NumberFormat.h"
#include "sql/Translator.h"

namespace qdsi::sql {

bool isAggregateName(const Token &t)
{
    static const char *const names[] = { "COUNT", "SUM", "AVG", "MIN", "MAX", "STDDEV",
        "VARIANCE", "LISTAGG", "MEDIAN", "GROUPING", "GROUPING_ID", "COLLECT" };
    if (t.type != TokenType::Identifier)
        return false;
    for (const char *n : names)
        if (t.upper == n)
            return true;
    return false;
}

bool Translator::columnOf(
    size_t b, size_t e, const Scope &scope, ColumnDescription &type, std::string *column) const
{
    // name or qualifier.name (or owner.table.name)
    if (b >= e || !context_.columnType || (e - b) % 2 == 0 || e - b > 5)
        return false;
    for (size_t i = b; i < e; ++i)
        if (((i - b) % 2 == 0 && !tok(i).isName()) || ((i - b) % 2 == 1 && !tok(i).is(".")))
            return false;
    const std::string name = tok(e - 1).upper;
    const std::string qualifier = e - b >= 3 ? tok(e - 3).upper : std::string();
    for (const Scope *s = &scope; s; s = s->parent)
        for (const TableRef &t : s->tables) {
            if (t.name.empty() || (!qualifier.empty() && qualifier != t.alias))
                continue;
            if (context_.columnType(t.name, name, type)) {
                if (column)
                    *column = name;
                return true;
            }
        }
    return false;
}

size_t Translator::aggregateCallEnd(size_t k) const
{
    // name ( args ) [WITHIN GROUP ( ... )] [KEEP ( ... )]
    size_t after = closing(k + 1) + 1;
    for (bool more = true; more;) {
        more = false;
        if (is(after, "WITHIN") && is(after + 1, "GROUP") && is(after + 2, "("))
            after = closing(after + 2) + 1, more = true;
        else if (is(after, "KEEP") && is(after + 1, "("))
            after = closing(after + 1) + 1, more = true;
    }
    return after;
}

void Translator::checkGrouping(
    size_t listBegin, size_t listEnd, size_t groupAt, size_t groupEnd, const Scope &scope)
{
    // Aggregate calls of the select list; an analytic one (OVER) does not group the rows.
    bool aggregate = false;
    for (size_t k = listBegin; k + 1 < listEnd && !aggregate; ++k) {
        if (tok(k).is("(") && (is(k + 1, "SELECT") || is(k + 1, "WITH")))
            k = closing(k);
        else if (isAggregateName(tok(k)) && tok(k + 1).is("("))
            aggregate = !is(aggregateCallEnd(k), "OVER");
    }
    const bool grouped = groupAt < groupEnd;
    if (!aggregate && !grouped)
        return;

    // The GROUP BY expressions, those inside ROLLUP, CUBE and GROUPING SETS included.
    std::vector<std::pair<size_t, size_t>> groups;
    std::vector<std::pair<size_t, size_t>> pending;
    if (grouped)
        pending = splitTop(groupAt + 2, groupEnd, ",");
    while (!pending.empty()) {
        auto [gb, ge] = pending.back();
        pending.pop_back();
        size_t open = gb;
        if (is(gb, "ROLLUP") || is(gb, "CUBE"))
            open = gb + 1;
        else if (is(gb, "GROUPING") && is(gb + 1, "SETS"))
            open = gb + 2;
        if (tok(open).is("(") && closing(open) + 1 == ge) {
            for (auto inner : splitTop(open + 1, ge - 1, ","))
                pending.push_back(inner);
            continue;
        }
        if (gb < ge)
            groups.emplace_back(gb, ge);
    }
    auto sameTokens = [&](size_t a, size_t ae, size_t b) {
        for (size_t i = 0; a + i < ae; ++i)
            if (tok(a + i).type != tok(b + i).type || tok(a + i).upper != tok(b + i).upper)
                return false;
        return true;
    };
    auto groupedColumn = [&](const std::string &column) {
        for (auto [gb, ge] : groups) {
            std::string c;
            ColumnDescription d;
            if (columnOf(gb, ge, scope, d, &c) && c == column)
                return true;
        }
        return false;
    };

    const int code = grouped ? 979 : 937;
    for (auto [ib, ie] : splitTop(listBegin, listEnd, ",")) {
        // A trailing alias names no column.
        if (ie - ib >= 2 && tok(ie - 1).isName()
            && (tok(ie - 2).is("AS") || !(tok(ie - 2).type == TokenType::Operator)))
            ie -= tok(ie - 2).is("AS") ? 2 : 1;
        size_t k = ib;
        while (k < ie) {
            bool matched = false;
            for (auto [gb, ge] : groups)
                if (k + (ge - gb) <= ie && sameTokens(gb, ge, k)) {
                    k += ge - gb;
                    matched = true;
                    break;
                }
            if (matched)
                continue;
            if (tok(k).is("(") && (is(k + 1, "SELECT") || is(k + 1, "WITH"))) {
                k = closing(k) + 1;
                continue;
            }
            if (isAggregateName(tok(k)) && is(k + 1, "(")) {
                const size_t end = aggregateCallEnd(k);
                k = is(end, "OVER") ? k + 2 : end; // an analytic call's arguments are values
                continue;
            }
            if (tok(k).isName() && !is(k + 1, "(")) {
                size_t chainEnd = k + 1;
                while (is(chainEnd, ".") && tok(chainEnd + 1).isName())
                    chainEnd += 2;
                ColumnDescription d;
                std::string column;
                if (columnOf(k, chainEnd, scope, d, &column) && !groupedColumn(column))
                    fail(code, k);
                k = chainEnd;
                continue;
            }
            ++k;
        }
    }
}

void Translator::implicitNumbers(std::vector<Unit> &us, const Scope &scope)
{
    auto literal = [&](const Unit &u, TokenType type) {
        return u.kind == Unit::Primary && u.e == u.b + 1 && tok(u.b).type == type;
    };
    for (size_t k = 0; k + 2 < us.size(); ++k) {
        const bool before = k > 0 && us[k - 1].kind == Unit::Op;
        const bool after = k + 3 < us.size() && us[k + 3].kind == Unit::Op;
        if (before || after || !isComparisonOperator(us[k + 1]))
            continue;
        for (size_t side : { k, k + 2 }) {
            const Unit &col = us[side];
            const Unit &other = us[side == k ? k + 2 : k];
            ColumnDescription type;
            if (col.kind != Unit::Primary || !columnOf(col.b, col.e, scope, type))
                continue;
            // A NUMBER column: the literal is converted once, and text that is no number fails.
            if (type.dataType == 2 && literal(other, TokenType::String)
                && !tok(other.b).upper.empty() && !looksNumeric(tok(other.b).upper))
                throw oraError(1722);
            // A NUMBER column may hold long numbers as BLOBs of their text (see
            // exactNumberText), which SQLite orders after every number: a range compares
            // them as numbers.
            const std::string &o = tok(us[k + 1].b).upper;
            if (type.dataType == 2 && (o == "<" || o == ">" || o == "<=" || o == ">=")) {
                const size_t otherSide = side == k ? k + 2 : k;
                // The value: a primary, or on the right a signed one ("n > -5").
                size_t last = otherSide;
                std::string sign;
                while (otherSide == k + 2 && last + 1 < us.size() && us[last].kind == Unit::Op
                    && (tok(us[last].b).is("-") || tok(us[last].b).is("+")))
                    sign += tok(us[last++].b).is("-") ? "-" : "";
                const Unit &value = us[last];
                if (value.kind != Unit::Primary && value.kind != Unit::Text)
                    continue;
                const bool negative = sign.size() % 2 == 1;
                std::string valueText;
                if (value.kind == Unit::Text)
                    valueText = value.text;
                else if (value.e == value.b + 1 && tok(value.b).type == TokenType::Number)
                    valueText = numberLiteral(tok(value.b).text, negative), sign.clear();
                else
                    valueText = primary(value.b, value.e, scope);
                const Unit cast { Unit::Text, us[otherSide].b, value.e,
                    "CAST(" + std::string(negative && !sign.empty() ? "-" : "") + valueText
                        + " AS NUMERIC)" };
                us.erase(us.begin() + static_cast<long>(otherSide) + 1,
                    us.begin() + static_cast<long>(last) + 1);
                us[otherSide] = cast;
                us[side] = Unit { Unit::Text, us[side].b, us[side].e,
                    "CAST(" + primary(us[side].b, us[side].e, scope) + " AS NUMERIC)" };
                break;
            }
            // A character column compared with a number: each value is converted.
            if ((type.dataType == 1 || type.dataType == 96) && literal(other, TokenType::Number)) {
                Unit converted { Unit::Text, col.b, col.e,
                    "TO_NUMBER(" + primary(col.b, col.e, scope) + ")" };
                us[side] = converted;
            }
        }
    }
}

void Translator::refuseOutOfReach() const
{
    // Functions (a name followed by "("), then words that are operators or clauses.
    static const char *const functions[] = { "JSON_VALUE", "JSON_QUERY", "JSON_TABLE",
        "JSON_EXISTS", "JSON_OBJECT", "JSON_ARRAY", "JSON_OBJECTAGG", "JSON_ARRAYAGG",
        "JSON_SERIALIZE", "JSON_MERGEPATCH", "JSON_TRANSFORM", "TO_TIMESTAMP_TZ", "XMLAGG",
        "XMLELEMENT", "XMLFOREST", "XMLTABLE", "XMLQUERY", "MEDIAN", "PERCENTILE_CONT",
        "PERCENTILE_DISC" };
    static const char *const words[] = { "CONNECT_BY_ISCYCLE", "MATCH_RECOGNIZE", "PIVOT",
        "UNPIVOT" };
    auto refuse = [&](size_t i, const std::string &feature) {
        fail(3001, i, "unimplemented feature: " + feature);
    };
    for (size_t i = 0; i < end_; ++i) {
        const Token &t = tok(i);
        if (t.type != TokenType::Identifier || (i > 0 && tok(i - 1).is(".")))
            continue;
        if (is(i + 1, "("))
            for (const char *f : functions)
                if (t.upper == f)
                    refuse(i, t.upper);
        for (const char *w : words)
            if (t.upper == w && !is(i + 1, ","))
                refuse(i, t.upper);
        if (t.is("GENERATED") && is(i + 1, "ALWAYS") && is(i + 2, "AS") && is(i + 3, "("))
            refuse(i, "virtual column");
    }
}

std::string Translator::listagg(size_t open, size_t close, size_t e, const Scope &scope)
{
    // QD_LISTAGG(value, separator, key1, 'A' | 'D', key2, ...): the keys sort the values.
    const auto args = splitTop(open + 1, close, ",");
    if (args.empty() || args.size() > 2)
        fail(909, open);
    std::string out = "QD_LISTAGG(" + expr(args[0].first, args[0].second, scope) + ", "
        + (args.size() > 1 ? expr(args[1].first, args[1].second, scope) : std::string("NULL"));
    size_t k = close + 1;
    if (k + 2 < e && is(k, "WITHIN") && is(k + 1, "GROUP") && is(k + 2, "(")) {
        const size_t groupClose = closing(k + 2);
        if (!(is(k + 3, "ORDER") && is(k + 4, "BY")))
            fail(924, k + 3); // missing BY keyword
        for (auto [ib, ie] : splitTop(k + 5, groupClose, ",")) {
            bool descending = false;
            size_t end = ie;
            if (end - ib >= 2 && is(end - 2, "NULLS") && (is(end - 1, "FIRST") || is(end - 1, "LAST")))
                end -= 2;
            if (end - ib >= 2 && (is(end - 1, "ASC") || is(end - 1, "DESC")))
                descending = is(end - 1, "DESC"), --end;
            out += ", " + expr(ib, end, scope) + (descending ? ", 'D'" : ", 'A'");
        }
        k = groupClose + 1;
    } else {
        fail(3001, close, "unimplemented feature: LISTAGG without WITHIN GROUP");
    }
    if (is(k, "OVER"))
        fail(3001, k, "unimplemented feature: LISTAGG ... OVER");
    return out + ")";
}

} // namespace qdsi::sql
