// Minimal first cut of the dialect layer: statement kind from the first keyword and
// placeholders renumbered for SQLite. The full translation replaces this file.
#include "sql/Dialect.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

namespace qdsi::sql {

OraError oraError(int code, std::string_view detail, int offset)
{
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d: ", code);
    return OraError(code, head + std::string(detail), offset);
}

static std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

Translation translate(std::string_view text, const SessionContext &)
{
    Translation t;
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    size_t j = i;
    while (j < text.size() && std::isalpha(static_cast<unsigned char>(text[j])))
        ++j;
    const std::string first = upper(std::string(text.substr(i, j - i)));
    if (first.empty())
        throw oraError(900, "invalid SQL statement");
    if (first == "SELECT" || first == "WITH") {
        t.kind = StatementKind::Select, t.ociStatementType = 1, t.sqlFunctionCode = 4;
    } else if (first == "INSERT") {
        t.kind = StatementKind::Insert, t.ociStatementType = 4, t.sqlFunctionCode = 3;
    } else if (first == "UPDATE") {
        t.kind = StatementKind::Update, t.ociStatementType = 2, t.sqlFunctionCode = 5;
    } else if (first == "DELETE") {
        t.kind = StatementKind::Delete, t.ociStatementType = 3, t.sqlFunctionCode = 9;
    } else if (first == "COMMIT") {
        t.kind = StatementKind::Commit, t.ociStatementType = 21;
    } else if (first == "ROLLBACK") {
        t.kind = StatementKind::Rollback, t.ociStatementType = 17;
    } else if (first == "CREATE") {
        t.kind = StatementKind::CreateTable, t.ociStatementType = 5;
    } else if (first == "DROP") {
        t.kind = StatementKind::Drop, t.ociStatementType = 6;
    } else if (first == "BEGIN" || first == "DECLARE") {
        t.kind = StatementKind::PlSqlBlock, t.ociStatementType = first == "BEGIN" ? 8 : 9;
        t.sqlFunctionCode = 34;
    } else {
        throw oraError(900, "invalid SQL statement");
    }

    std::map<std::string, int> indexOf;
    std::string out;
    for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c == '\'') {
            size_t end = text.find('\'', k + 1);
            end = end == std::string_view::npos ? text.size() - 1 : end;
            out.append(text.substr(k, end - k + 1));
            k = end;
        } else if (c == ':' && k + 1 < text.size()
                   && (std::isalnum(static_cast<unsigned char>(text[k + 1])) || text[k + 1] == '_')) {
            size_t e = k + 1;
            while (e < text.size() && (std::isalnum(static_cast<unsigned char>(text[e])) || text[e] == '_'))
                ++e;
            const std::string name = upper(std::string(text.substr(k + 1, e - k - 1)));
            auto [it, added] = indexOf.emplace(name, static_cast<int>(indexOf.size()) + 1);
            t.placeholders.push_back({name, it->second, static_cast<int>(k)});
            out += "?" + std::to_string(it->second);
            k = e - 1;
        } else {
            out += c;
        }
    }
    t.sqlite = out;
    return t;
}

void registerFunctions(sqlite3 *, SessionContext *) {}

std::vector<ColumnDescription> describe(sqlite3_stmt *statement, const Translation &)
{
    std::vector<ColumnDescription> columns;
    const int n = sqlite3_column_count(statement);
    for (int i = 0; i < n; ++i) {
        ColumnDescription d;
        d.name = upper(sqlite3_column_name(statement, i));
        d.dataType = 1;
        d.dataSize = 4000;
        columns.push_back(d);
    }
    return columns;
}

std::string numberToText(int64_t value) { return std::to_string(value); }

std::string numberToText(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

std::string formatDate(std::string_view isoDate, std::string_view) { return std::string(isoDate); }

std::string parseDate(std::string_view text, std::string_view) { return std::string(text); }

} // namespace qdsi::sql
