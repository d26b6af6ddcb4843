#include "engine/StatementText.h"

#include "engine/SqlScan.h"

namespace qdsi::engine {

std::string dmlTable(std::string_view text)
{
    const std::vector<Token> t = scanSql(text);
    size_t i = 0;
    if (i < t.size() && (isWord(t[i], "INSERT") || isWord(t[i], "DELETE")))
        ++i;
    if (i < t.size() && (isWord(t[i], "INTO") || isWord(t[i], "FROM")))
        ++i;
    if (i == 0 && !t.empty() && isWord(t[0], "UPDATE"))
        i = 1;
    if (i >= t.size())
        return {};
    std::string table = identifier(t[i]);
    while (i + 2 < t.size() && t[i + 1].text == "." && !identifier(t[i + 2]).empty()) {
        i += 2;
        table = identifier(t[i]);
    }
    return table;
}

std::string whereClause(std::string_view dml)
{
    const std::vector<Token> t = scanSql(dml);
    size_t start = std::string_view::npos, end = dml.size();
    for (const Token &token : t) {
        if (token.depth != 0)
            continue;
        if (start == std::string_view::npos && isWord(token, "WHERE"))
            start = token.offset;
        else if (start != std::string_view::npos
            && (isWord(token, "RETURNING") || isWord(token, "RETURN")))
            end = token.offset;
    }
    return start == std::string_view::npos ? std::string()
                                           : std::string(dml.substr(start, end - start));
}

} // namespace qdsi::engine
