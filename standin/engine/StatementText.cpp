#include "engine/StatementText.h"

#include "sql/Lexer.h"

namespace qdsi::engine {

std::string dmlTable(std::string_view text)
{
    const std::vector<sql::Token> t = sql::tokenizeLeniently(text);
    size_t i = 0;
    if (i < t.size() && (t[i].is("INSERT") || t[i].is("DELETE")))
        ++i;
    if (i < t.size() && (t[i].is("INTO") || t[i].is("FROM")))
        ++i;
    if (i == 0 && !t.empty() && t[0].is("UPDATE"))
        i = 1;
    if (i >= t.size())
        return {};
    std::string table = nameOf(t[i]);
    while (i + 2 < t.size() && t[i + 1].is(".") && !nameOf(t[i + 2]).empty()) {
        i += 2;
        table = nameOf(t[i]);
    }
    return table;
}

std::string whereClause(std::string_view dml)
{
    const std::vector<sql::Token> t = sql::tokenizeLeniently(dml);
    size_t start = std::string_view::npos, end = dml.size();
    for (const sql::Token &token : t) {
        if (token.depth != 0)
            continue;
        if (start == std::string_view::npos && token.is("WHERE"))
            start = token.offset;
        else if (start != std::string_view::npos
            && (token.is("RETURNING") || token.is("RETURN")))
            end = token.offset;
    }
    return start == std::string_view::npos ? std::string()
                                           : std::string(dml.substr(start, end - start));
}

} // namespace qdsi::engine
