// Hierarchical queries: START WITH ... CONNECT BY [NOCYCLE] PRIOR ..., with LEVEL, as a
// recursive common table expression over the rowids of the block's one table.
#include "sql/Translator.h"

namespace qdsi::sql {

std::string Translator::connectBy(
    Block &blk, size_t startAt, size_t startEnd, size_t connectAt, size_t connectEnd)
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
    // Siblings come in rowid order; the path of zero-padded rowids sorts the rows depth first
    // and stops a cycle (the server raises ORA-01436 there, the tree ends instead).
    const std::string key = "printf('/%020d', " + alias + ".ROWID)";
    std::string with = "WITH RECURSIVE QD_TREE(QD_RID, QD_LEVEL, QD_PATH) AS (SELECT " + alias
        + ".ROWID, 1, " + key + " FROM " + table + " AS " + alias + " WHERE " + start
        + " UNION ALL SELECT " + alias + ".ROWID, QD_TREE.QD_LEVEL + 1, QD_TREE.QD_PATH || " + key
        + " FROM QD_TREE JOIN " + table + " AS " + alias + " ON (" + link + ") WHERE instr(QD_TREE.QD_PATH, " + key
        + ") = 0) ";
    blk.fromText += " JOIN QD_TREE ON QD_TREE.QD_RID = " + alias + ".ROWID";
    blk.orderTail = ", QD_TREE.QD_PATH";
    return with;
}

} // namespace qdsi::sql
