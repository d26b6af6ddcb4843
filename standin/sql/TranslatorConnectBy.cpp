// Hierarchical queries: START WITH ... CONNECT BY [NOCYCLE] PRIOR ..., with LEVEL,
// SYS_CONNECT_BY_PATH, CONNECT_BY_ROOT, CONNECT_BY_ISLEAF and ORDER SIBLINGS BY, as a
// recursive common table expression over the rowids of the block's one table.
#include "sql/Translator.h"

namespace qdsi::sql {

std::string Translator::connectBy(Block &blk, size_t startAt, size_t startEnd, size_t connectAt,
    size_t connectEnd, size_t scanB, size_t scanE)
{
    if (blk.scope.tables.size() != 1 || blk.scope.tables[0].name.empty())
        fail(3001, connectAt); // the tree is built over the rows of one table
    const TableRef &ref = blk.scope.tables[0];
    size_t c = connectAt + 2;
    if (is(c, "NOCYCLE"))
        ++c;
    if (c >= connectEnd)
        fail(936, c);
    // The table as the FROM clause names it, without its alias.
    std::string table = blk.fromText;
    const size_t as = table.find(" AS ");
    if (as != std::string::npos)
        table.resize(as);
    const std::string alias = quoteName(ref.alias);
    const std::string start
        = startAt < startEnd ? expr(startAt + 2, startEnd, blk.scope) : std::string("1");
    priorTable_ = table;
    const std::string link = expr(c, connectEnd, blk.scope);

    // Siblings come in rowid order, or in the order of ORDER SIBLINGS BY: each row's place in
    // that order over the whole table. The path of zero-padded places sorts the rows depth
    // first and stops a cycle (the server raises ORA-01436 there, the tree ends instead).
    std::string with = "WITH RECURSIVE ";
    std::string place = alias + ".ROWID";
    if (siblings_.first) {
        std::string keys;
        for (auto [kb, ke] : splitTop(siblings_.first, siblings_.second, ",")) {
            size_t end = ke;
            std::string nulls;
            if (end - kb > 2 && is(end - 2, "NULLS") && (is(end - 1, "FIRST") || is(end - 1, "LAST"))) {
                nulls = is(end - 1, "FIRST") ? " NULLS FIRST" : " NULLS LAST";
                end -= 2;
            }
            bool descending = false;
            if (end - kb > 1 && (is(end - 1, "ASC") || is(end - 1, "DESC")))
                descending = is(end - 1, "DESC"), --end;
            if (nulls.empty()) // the server sorts nulls as the largest value
                nulls = descending ? " NULLS FIRST" : " NULLS LAST";
            keys += expr(kb, end, blk.scope) + (descending ? " DESC" : "") + nulls + ", ";
        }
        with += "QD_SIBLINGS(QD_RID, QD_PLACE) AS (SELECT " + alias
            + ".ROWID, row_number() OVER (ORDER BY " + keys + alias + ".ROWID) FROM " + table
            + " AS " + alias + "), ";
        place = "(SELECT QD_SIBLINGS.QD_PLACE FROM QD_SIBLINGS WHERE QD_SIBLINGS.QD_RID = " + alias
            + ".ROWID)";
    }
    const std::string key = "printf('/%020d', " + place + ")";

    // A column of the tree for each SYS_CONNECT_BY_PATH(value, separator) (the path of values
    // from the root) and CONNECT_BY_ROOT value (the root's value) of the block and its ORDER BY.
    std::string columns, rootValues, childValues;
    auto scan = [&](size_t from, size_t to) {
        for (size_t k = from; k < to; ++k) {
            if (is(k, "SYS_CONNECT_BY_PATH") && is(k + 1, "(") && !(k > 0 && is(k - 1, "."))) {
                const size_t close = closing(k + 1);
                const auto args = splitTop(k + 2, close, ",");
                if (args.size() != 2)
                    fail(909, k + 1);
                if (tok(args[1].first).type != TokenType::String || args[1].second != args[1].first + 1)
                    fail(30003, args[1].first); // illegal parameter in SYS_CONNECT_BY_PATH function
                const std::string column = "QD_TREE" + std::to_string(treeColumns_.size() + 1);
                treeColumns_[k] = column;
                const std::string value = "coalesce(TO_CHAR("
                    + expr(args[0].first, args[0].second, blk.scope) + "), '')";
                const std::string separator = quoteLiteral(tok(args[1].first).upper);
                columns += ", " + column;
                rootValues += ", " + separator + " || " + value;
                childValues += ", QD_TREE." + column + " || " + separator + " || " + value;
                k = close;
            } else if (is(k, "CONNECT_BY_ROOT") && k + 1 < to && startsPrimary(k + 1)) {
                const size_t end = primaryEnd(k + 1, to);
                const std::string column = "QD_TREE" + std::to_string(treeColumns_.size() + 1);
                treeColumns_[k] = column;
                columns += ", " + column;
                rootValues += ", " + expr(k + 1, end, blk.scope);
                childValues += ", QD_TREE." + column;
                k = end - 1;
            }
        }
    };
    scan(scanB, scanE);
    if (orderRange_.first)
        scan(orderRange_.first, orderRange_.second);

    with += "QD_TREE(QD_RID, QD_LEVEL, QD_PATH, QD_PPATH" + columns + ") AS (SELECT " + alias
        + ".ROWID, 1, " + key + ", ''" + rootValues + " FROM " + table + " AS " + alias + " WHERE "
        + start + " UNION ALL SELECT " + alias + ".ROWID, QD_TREE.QD_LEVEL + 1, QD_TREE.QD_PATH || "
        + key + ", QD_TREE.QD_PATH" + childValues + " FROM QD_TREE JOIN " + table + " AS " + alias
        + " ON (" + link + ") WHERE instr(QD_TREE.QD_PATH, " + key + ") = 0) ";
    blk.fromText += " JOIN QD_TREE ON QD_TREE.QD_RID = " + alias + ".ROWID";
    blk.orderTail = ", QD_TREE.QD_PATH";
    return with;
}

} // namespace qdsi::sql
