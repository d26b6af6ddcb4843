// Constraint names and columns of a CREATE TABLE statement, so the engine can name the
// constraint a change violates.
#include "sql/Dialect.h"
#include "sql/Lexer.h"

#include <algorithm>

namespace qdsi::sql {

namespace {

bool startsConstraint(const Token &t)
{
    return t.is("CONSTRAINT") || t.is("PRIMARY") || t.is("UNIQUE") || t.is("FOREIGN")
        || t.is("CHECK") || t.is("NOT") || t.is("REFERENCES");
}

// Index just past the ')' closing the '(' at open (or end).
size_t skipParens(const std::vector<Token> &t, size_t open, size_t end)
{
    size_t depth = 0;
    for (size_t j = open; j < end; ++j) {
        if (t[j].is("("))
            ++depth;
        else if (t[j].is(")") && --depth == 0)
            return j + 1;
    }
    return end;
}

} // namespace

std::string oracleNote(std::string_view oracleText)
{
    std::string text(oracleText);
    for (size_t at = text.find("*/"); at != std::string::npos; at = text.find("*/", at + 2))
        text.insert(at + 1, " ");
    return "/*QD:" + text + "*/";
}

bool readOracleNote(std::string_view sql, size_t from, size_t to, std::string &text)
{
    to = std::min(to, sql.size());
    if (from >= to)
        return false;
    const std::string_view gap = sql.substr(from, to - from);
    const size_t open = gap.find("/*QD:");
    if (open == std::string_view::npos)
        return false;
    const size_t close = gap.find("*/", open + 5);
    if (close == std::string_view::npos)
        return false;
    text = std::string(gap.substr(open + 5, close - open - 5));
    return true;
}

std::vector<ConstraintInfo> tableConstraints(std::string_view sql)
{
    std::vector<ConstraintInfo> out;
    std::vector<Token> t;
    try {
        t = tokenize(sql);
    } catch (const OraError &) {
        return out;
    }
    const size_t n = t.size() - 1; // End token
    size_t k = 0;
    while (k < n && !t[k].is("TABLE"))
        ++k;
    while (k < n && !t[k].is("("))
        ++k;
    if (k >= n)
        return out;
    // Elements of the column list, split at top-level commas.
    size_t depth = 0, start = k + 1;
    std::vector<std::pair<size_t, size_t>> elements;
    for (size_t i = k; i < n; ++i) {
        if (t[i].is("(")) {
            ++depth;
        } else if (t[i].is(")")) {
            if (--depth == 0) {
                elements.emplace_back(start, i);
                break;
            }
        } else if (t[i].is(",") && depth == 1) {
            elements.emplace_back(start, i);
            start = i + 1;
        }
    }
    auto columnsIn = [&](size_t open, size_t end, std::vector<std::string> &cols) {
        size_t i = open + 1;
        for (; i < end && !t[i].is(")"); ++i)
            if (t[i].isName())
                cols.push_back(t[i].upper);
        return i;
    };
    for (auto [b, e] : elements) {
        if (b >= e || !t[b].isName())
            continue;
        const bool tableLevel = t[b].is("CONSTRAINT") || t[b].is("PRIMARY") || t[b].is("UNIQUE")
            || t[b].is("FOREIGN") || t[b].is("CHECK");
        const std::string column = tableLevel ? std::string() : t[b].upper;
        size_t i = tableLevel ? b : b + 1;
        const size_t firstOfElement = out.size();
        while (i < e) {
            if (!startsConstraint(t[i])) {
                i = t[i].is("(") ? skipParens(t, i, e) : i + 1;
                continue;
            }
            ConstraintInfo c;
            c.tableLevel = tableLevel;
            c.textBegin = static_cast<size_t>(t[i].offset);
            if (t[i].is("CONSTRAINT") && i + 1 < e) {
                c.name = t[i + 1].upper;
                i += 2;
            }
            if (i >= e)
                break;
            if (t[i].is("PRIMARY") || t[i].is("FOREIGN")) {
                c.kind = t[i].is("PRIMARY") ? "PRIMARY KEY" : "FOREIGN KEY";
                i += 2; // KEY
            } else if (t[i].is("NOT")) {
                c.kind = "NOT NULL";
                i += 2;
            } else if (t[i].is("REFERENCES")) {
                c.kind = "FOREIGN KEY";
            } else {
                c.kind = t[i].upper; // UNIQUE, CHECK
                ++i;
            }
            if (c.kind == "CHECK" && i < e && t[i].is("(")) {
                const size_t close = skipParens(t, i, e) - 1;
                const size_t next = close + 1 < t.size() ? t[close + 1].offset : sql.size();
                c.checkText = std::string(
                    sql.substr(t[i].end, static_cast<size_t>(t[close].offset - t[i].end)));
                if (!readOracleNote(sql, t[close].end, next, c.condition))
                    c.condition = c.checkText;
                // The columns a condition reads, in order of first mention.
                for (size_t j = i + 1; j < close; ++j)
                    if (t[j].isName() && !(j + 1 < close && t[j + 1].is("("))
                        && std::find(c.columns.begin(), c.columns.end(), t[j].upper)
                            == c.columns.end()
                        && !t[j].is("AND") && !t[j].is("OR") && !t[j].is("NOT")
                        && !t[j].is("NULL") && !t[j].is("IS") && !t[j].is("IN")
                        && !t[j].is("BETWEEN") && !t[j].is("LIKE"))
                        c.columns.push_back(t[j].upper);
                if (!tableLevel && std::find(c.columns.begin(), c.columns.end(), column)
                        == c.columns.end())
                    c.columns.insert(c.columns.begin(), column);
                i = close + 1;
            }
            if (c.kind != "CHECK" && i < e && t[i].is("(")
                && (tableLevel || c.kind != "FOREIGN KEY"))
                i = columnsIn(i, e, c.columns) + 1;
            if (c.columns.empty() && !column.empty())
                c.columns.push_back(column);
            if (c.kind == "NOT NULL" && !c.columns.empty())
                c.condition = "\"" + c.columns[0] + "\" IS NOT NULL";
            if (c.kind == "FOREIGN KEY" && i < e && t[i].is("REFERENCES")) {
                ++i;
                if (i < e && t[i].isName()) {
                    c.refTable = t[i].upper;
                    ++i;
                    if (i + 1 < e && t[i].is(".") && t[i + 1].isName()) {
                        c.refTable = t[i + 1].upper;
                        i += 2;
                    }
                }
                if (i < e && t[i].is("("))
                    i = columnsIn(i, e, c.refColumns) + 1;
                if (i + 2 < e && t[i].is("ON") && t[i + 1].is("DELETE") && t[i + 2].is("CASCADE"))
                    c.onDeleteCascade = true;
            }
            out.push_back(c);
        }
        // A column's constraint runs up to the next one; a table-level one is its element,
        // with the comma before it.
        for (size_t c = firstOfElement; c < out.size(); ++c)
            out[c].textEnd
                = c + 1 < out.size() ? out[c + 1].textBegin : static_cast<size_t>(t[e].offset);
        if (tableLevel && out.size() == firstOfElement + 1 && b > 0 && t[b - 1].is(","))
            out.back().textBegin = static_cast<size_t>(t[b - 1].offset);
    }
    return out;
}

} // namespace qdsi::sql
