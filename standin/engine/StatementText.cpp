#include "engine/StatementText.h"

#include "engine/SqlScan.h"

#include <cstdlib>
#include <set>

namespace qdsi::engine {

TransactionControl transactionControl(std::string_view text)
{
    const std::vector<Token> t = scanSql(text);
    TransactionControl result;
    size_t i = 0;
    const auto end
        = [&](size_t k) { return k == t.size() || (k + 1 == t.size() && t[k].text == ";"); };
    if (t.empty())
        return result;
    if (isWord(t[0], "COMMIT")) {
        i = 1 + (t.size() > 1 && isWord(t[1], "WORK"));
        if (end(i))
            result.kind = TransactionControl::Commit;
    } else if (isWord(t[0], "SAVEPOINT") && t.size() > 1 && !identifier(t[1]).empty() && end(2)) {
        result.kind = TransactionControl::Savepoint;
        result.savepoint = identifier(t[1]);
    } else if (isWord(t[0], "ROLLBACK")) {
        i = 1 + (t.size() > 1 && isWord(t[1], "WORK"));
        if (end(i)) {
            result.kind = TransactionControl::Rollback;
        } else if (isWord(t[i], "TO")) {
            ++i;
            if (i < t.size() && isWord(t[i], "SAVEPOINT"))
                ++i;
            if (i < t.size() && !identifier(t[i]).empty() && end(i + 1)) {
                result.kind = TransactionControl::RollbackToSavepoint;
                result.savepoint = identifier(t[i]);
            }
        }
    }
    return result;
}

LockClause findForUpdate(std::string_view text)
{
    const std::vector<Token> t = scanSql(text);
    LockClause clause;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i].depth != 0 || !isWord(t[i], "FOR") || !isWord(t[i + 1], "UPDATE"))
            continue;
        clause.present = true;
        clause.start = t[i].offset;
        for (size_t k = i + 2; k < t.size(); ++k) {
            if (isWord(t[k], "NOWAIT"))
                clause.nowait = true;
            else if (isWord(t[k], "WAIT") && k + 1 < t.size() && t[k + 1].kind == Token::Number)
                clause.waitSeconds = std::atoi(t[k + 1].text.c_str());
        }
        break;
    }
    return clause;
}

LockTarget lockTarget(std::string_view text)
{
    static const std::set<std::string> notAlias = { "WHERE", "GROUP", "ORDER", "HAVING", "JOIN",
        "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL", "UNION", "INTERSECT", "EXCEPT",
        "MINUS", "FOR", "CONNECT", "START", "ON", "USING" };
    const std::vector<Token> t = scanSql(text);
    LockTarget target;
    size_t i = 0;
    while (i < t.size() && !(t[i].depth == 0 && isWord(t[i], "SELECT")))
        ++i;
    if (i == t.size())
        return target;
    target.selectListStart = t[i].end;
    while (i < t.size() && !(t[i].depth == 0 && isWord(t[i], "FROM")))
        ++i;
    if (i + 1 >= t.size() || identifier(t[i + 1]).empty())
        return target;
    size_t k = i + 1;
    target.table = identifier(t[k]);
    // schema.table: the last part names the table
    while (k + 2 < t.size() && t[k + 1].text == "." && !identifier(t[k + 2]).empty()) {
        target.schema = target.table;
        k += 2;
        target.table = identifier(t[k]);
    }
    target.qualifier = target.table;
    if (k + 1 < t.size() && isWord(t[k + 1], "AS"))
        ++k;
    if (k + 1 < t.size() && !identifier(t[k + 1]).empty() && !notAlias.count(t[k + 1].text))
        target.qualifier = identifier(t[k + 1]);
    target.found = true;
    return target;
}

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

std::optional<std::string> nlsDateFormat(std::string_view text)
{
    const std::vector<Token> t = scanSql(text);
    for (size_t i = 0; i + 2 < t.size(); ++i) {
        if (isWord(t[i], "NLS_DATE_FORMAT") && t[i + 1].text == "="
            && t[i + 2].kind == Token::Literal)
            return t[i + 2].text;
    }
    return std::nullopt;
}

} // namespace qdsi::engine
