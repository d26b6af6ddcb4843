// Queries: compound members, select blocks, FROM items, rownum filters, for update.
#include "sql/Translator.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace qdsi::sql {

namespace {

bool isJoinWord(const Token &t)
{
    return t.is("JOIN") || t.is("INNER") || t.is("LEFT") || t.is("RIGHT") || t.is("FULL")
        || t.is("CROSS") || t.is("NATURAL") || t.is("OUTER");
}

bool isClauseWord(const Token &t)
{
    return isJoinWord(t) || t.is("ON") || t.is("USING") || t.is("WHERE") || t.is("GROUP")
        || t.is("HAVING") || t.is("ORDER") || t.is("CONNECT") || t.is("START") || t.is("UNION")
        || t.is("INTERSECT") || t.is("MINUS") || t.is("FOR") || t.is("AS") || t.is("SET")
        || t.is("VALUES") || t.is("RETURNING") || t.is("RETURN") || t.is("WITH") || t.is("SELECT");
}

} // namespace

std::string Translator::query(size_t b, size_t e, const Scope *parent, bool top)
{
    if (b >= e)
        fail(936, b);
    const Nest nest(*this, b);
    std::string out;
    size_t i = b;
    if (is(i, "WITH"))
        out = withClause(i, parent);
    const size_t forAt = findTop(i, e, "FOR", "UPDATE");
    const size_t siblingsAt = findTop(i, forAt, "ORDER", "SIBLINGS");
    const size_t orderAt = std::min(findTop(i, forAt, "ORDER", "BY"), siblingsAt);
    std::vector<std::pair<size_t, size_t>> members;
    std::vector<std::string> setOps;
    size_t start = i;
    for (size_t k = i; k < orderAt; ++k) {
        if (tok(k).is("(")) {
            k = closing(k);
            continue;
        }
        std::string op;
        if (tok(k).is("UNION"))
            op = is(k + 1, "ALL") ? "UNION ALL" : "UNION";
        else if (tok(k).is("INTERSECT"))
            op = "INTERSECT";
        else if (tok(k).is("MINUS"))
            op = "EXCEPT";
        if (op.empty())
            continue;
        members.emplace_back(start, k);
        setOps.push_back(op);
        k += op == "UNION ALL" ? 1 : 0;
        start = k + 1;
    }
    members.emplace_back(start, orderAt);
    const bool compound = members.size() > 1;
    Block first;
    size_t firstListAt = 0; // in `out`: where the first block's select list begins
    for (size_t m = 0; m < members.size(); ++m) {
        auto [mb, me] = members[m];
        if (mb >= me)
            fail(936, mb);
        std::string text;
        if (tok(mb).is("(") && closing(mb) == me - 1) {
            text = "SELECT * FROM (" + query(mb + 1, me - 1, parent, false) + ")";
        } else if (tok(mb).is("SELECT")) {
            // ORDER SIBLINGS BY keys [, then an ORDER BY is not taken]: the first block's tree
            // orders its siblings by them.
            struct TreeOrder {
                std::pair<size_t, size_t> &siblings, &order;
                std::pair<size_t, size_t> savedSiblings, savedOrder;
                ~TreeOrder() { siblings = savedSiblings, order = savedOrder; }
            } treeOrder { siblings_, orderRange_, siblings_, orderRange_ };
            siblings_ = { 0, 0 };
            orderRange_ = { 0, 0 };
            if (m == 0 && siblingsAt < forAt) {
                if (compound || !is(siblingsAt + 2, "BY"))
                    fail(compound ? 30929 : 924, siblingsAt);
                siblings_ = { siblingsAt + 3, forAt };
            } else if (m == 0 && orderAt < forAt) {
                orderRange_ = { orderAt + 2, forAt };
            }
            Block blk = selectBlock(mb, me, parent, top && m == 0, !compound && orderAt == forAt);
            if (m == 0)
                firstListAt = out.size() + blk.selectListAt;
            if (siblings_.first && blk.orderTail.empty())
                fail(30929, siblingsAt); // ORDER SIBLINGS BY clause not allowed here
            text = blk.sql;
            if (m == 0)
                first = std::move(blk);
        } else {
            fail(928, mb);
        }
        if (m > 0)
            out += " " + setOps[m - 1] + " ";
        out += text;
    }
    if (orderAt < forAt && orderAt != siblingsAt) {
        out += orderBy(orderAt, forAt, first, members[0], compound);
    } else if (!first.orderTail.empty() && !compound) {
        out += " ORDER BY " + first.orderTail.substr(2);
    }
    if (forAt < e) {
        if (!top)
            fail(933, forAt);
        forUpdate(forAt, e, first);
        out_.forUpdate.selectListStart = firstListAt;
    }
    if (top) {
        out_.from = first.scope.tables;
        for (const TableRef &t : first.scope.tables)
            if (!t.name.empty())
                out_.tables.push_back(t.name);
    }
    return out;
}

std::string Translator::withClause(size_t &i, const Scope *parent)
{
    ++i;
    std::string ctes;
    for (;;) {
        if (!tok(i).isName())
            fail(936, i);
        cteNames_.push_back(tok(i).upper);
        ctes += name(i++);
        if (is(i, "(")) {
            const size_t c = closing(i);
            std::string cols;
            for (auto [cb, ce] : splitTop(i + 1, c, ",")) {
                if (ce != cb + 1 || !tok(cb).isName())
                    fail(904, cb);
                cols += (cols.empty() ? "" : ", ") + name(cb);
            }
            ctes += " (" + cols + ")";
            i = c + 1;
        }
        if (!is(i, "AS"))
            fail(905, i);
        if (!is(++i, "("))
            fail(906, i);
        const size_t c = closing(i);
        ctes += " AS (" + query(i + 1, c, parent, false) + ")";
        i = c + 1;
        if (!is(i, ","))
            break;
        ctes += ", ";
        ++i;
    }
    return "WITH " + ctes + " ";
}

std::string Translator::orderBy(size_t orderAt, size_t forAt, const Block &first,
    const std::pair<size_t, size_t> &firstMember, bool compound)
{
    // LEVEL may order a hierarchical query.
    const bool wasHierarchical = hierarchical_;
    hierarchical_ = !first.orderTail.empty();
    struct Restore {
        bool &flag;
        bool value;
        ~Restore() { flag = value; }
    } restore { hierarchical_, wasHierarchical };
    // A grouping's expressions read as the select list reads them.
    struct GroupingBack {
        const Grouping *&current;
        const Grouping *saved;
        ~GroupingBack() { current = saved; }
    } groupingBack { grouping_, grouping_ };
    grouping_ = compound ? nullptr : first.grouping.get();
    // Names the select list gives its items: ORDER BY reads such a name as the item.
    std::vector<std::string> aliases;
    if (!compound && tok(firstMember.first).is("SELECT")) {
        const size_t listEnd = findTop(firstMember.first, firstMember.second, "FROM");
        for (auto [ib, ie] : splitTop(firstMember.first + 1, listEnd, ","))
            if (ie - ib >= 2 && tok(ie - 1).isName() && !tok(ie - 2).is("."))
                aliases.push_back(tok(ie - 1).upper);
    }
    std::string items;
    for (auto [ob, oe] : splitTop(orderAt + 2, forAt, ",")) {
        std::string item = expr(ob, oe, first.scope);
        // A NUMBER column may hold long numbers as BLOBs of their text (see
        // exactNumberText), which SQLite sorts after every number: sort it as a number.
        size_t keyEnd = oe;
        if (keyEnd - ob > 1 && (is(keyEnd - 1, "ASC") || is(keyEnd - 1, "DESC")))
            --keyEnd;
        ColumnDescription type;
        const bool alias = keyEnd == ob + 1
            && std::find(aliases.begin(), aliases.end(), tok(ob).upper) != aliases.end();
        if (!compound && !alias && findTop(ob, oe, "NULLS") == oe
            && (keyEnd == ob + 1 || keyEnd == ob + 3)
            && columnOf(ob, keyEnd, first.scope, type) && type.dataType == 2)
            item = "CAST(" + expr(ob, keyEnd, first.scope) + " AS NUMERIC)"
                + (keyEnd < oe ? " " + tok(keyEnd).upper : std::string());
        // Oracle sorts nulls as the largest value; SQLite as the smallest.
        if (findTop(ob, oe, "NULLS") == oe)
            item += tok(oe - 1).is("DESC") ? " NULLS FIRST" : " NULLS LAST";
        items += (items.empty() ? "" : ", ") + item;
    }
    return " ORDER BY " + items + first.orderTail;
}

Translator::Block Translator::selectBlock(
    size_t b, size_t e, const Scope *parent, bool record, bool canLimit)
{
    Block blk;
    blk.scope.parent = parent;
    size_t i = b + 1;
    bool distinct = false;
    if (is(i, "DISTINCT") || is(i, "UNIQUE"))
        distinct = true, ++i;
    else if (is(i, "ALL"))
        ++i;
    const size_t fromAt = findTop(i, e, "FROM");
    if (i == fromAt)
        fail(936, fromAt);
    if (fromAt == e) {
        // Check the list first so that "select 1 2" points at the 2, as the server does.
        for (auto [ib, ie] : splitTop(i, e, ","))
            selectItem(ib, ie, blk.scope, false);
        fail(923, e);
    }
    const size_t whereAt = findTop(fromAt, e, "WHERE");
    const size_t groupAt = findTop(fromAt, e, "GROUP", "BY");
    const size_t havingAt = findTop(fromAt, e, "HAVING");
    const size_t connectAt = findTop(fromAt, e, "CONNECT", "BY");
    const size_t startAt = findTop(fromAt, e, "START", "WITH");
    if (startAt < e && connectAt == e)
        fail(1788, startAt); // CONNECT BY clause required in this query block
    const size_t fromEnd = std::min({ whereAt, groupAt, havingAt, connectAt, startAt });
    if (fromAt + 1 >= fromEnd)
        fail(903, fromAt + 1);
    size_t whereEnd = e;
    for (size_t at : { groupAt, havingAt, connectAt, startAt })
        if (at > whereAt)
            whereEnd = std::min(whereEnd, at);
    const bool wasHierarchical = hierarchical_;
    hierarchical_ = connectAt < e;
    struct Restore {
        bool &flag;
        bool value;
        ~Restore() { flag = value; }
    } restore { hierarchical_, wasHierarchical };
    const bool outer = whereAt < e && hasOuterJoinMarker(whereAt + 1, whereEnd);
    if (!outer)
        blk.fromText = fromClause(fromAt + 1, fromEnd, blk.scope, parent);

    std::vector<std::pair<size_t, size_t>> conjuncts;
    std::string limit;
    if (whereAt < e) {
        if (whereAt + 1 >= whereEnd)
            fail(936, whereEnd);
        limit = rownumLimit(whereAt + 1, whereEnd, conjuncts);
    }
    if (outer)
        blk.fromText = outerJoinFrom(fromAt + 1, fromEnd, conjuncts, blk.scope, parent);
    std::string withText;
    if (connectAt < e) {
        auto clauseEnd = [&](size_t at) {
            size_t end = e;
            for (size_t other : { groupAt, havingAt, connectAt, startAt, whereAt })
                if (other > at)
                    end = std::min(end, other);
            return end;
        };
        withText = connectBy(blk, startAt, startAt < e ? clauseEnd(startAt) : e, connectAt,
            clauseEnd(connectAt), b, e);
    }
    const size_t groupEnd = groupAt < e && havingAt > groupAt ? havingAt : e;
    // A subquery's block has a grouping of its own (or none).
    struct GroupingBack {
        const Grouping *&current;
        const Grouping *saved;
        int &depth;
        int savedDepth;
        ~GroupingBack() { current = saved, depth = savedDepth; }
    } groupingBack { grouping_, grouping_, inAggregate_, inAggregate_ };
    grouping_ = nullptr;
    inAggregate_ = 0;
    if (groupAt < e)
        blk.grouping = groupingSets(groupAt, groupEnd, blk.scope);
    grouping_ = blk.grouping.get();
    Scope listScope = blk.scope;
    listScope.selectList = true;
    std::string listText;
    for (auto [ib, ie] : splitTop(i, fromAt, ","))
        listText += (listText.empty() ? "" : ", ") + selectItem(ib, ie, listScope, record);
    grouping_ = nullptr; // WHERE reads the rows before grouping
    bool aggregate = false;
    for (size_t k = i; k + 1 < fromAt; ++k) {
        const Token &t = tok(k);
        if (tok(k + 1).is("(")
            && (t.is("COUNT") || t.is("SUM") || t.is("AVG") || t.is("MIN") || t.is("MAX")
                || t.is("STDDEV") || t.is("VARIANCE")))
            aggregate = true;
    }
    std::string where;
    for (auto [cb, ce] : conjuncts) {
        const std::string c = expr(cb, ce, blk.scope);
        where += conjuncts.size() == 1 ? c : (where.empty() ? "" : " AND ") + ("(" + c + ")");
    }
    if (!limit.empty()) {
        const bool plain = canLimit && !distinct && groupAt == e && havingAt == e && !aggregate;
        if (plain) {
            blk.limitText = " LIMIT " + limit;
        } else if (blk.scope.tables.size() == 1 && !blk.scope.tables[0].name.empty()) {
            // rownum counts rows before grouping, sorting and distinct: pick the rows first.
            const std::string q = quoteName(blk.scope.tables[0].alias);
            const std::string sub = "SELECT " + q + ".ROWID FROM " + blk.fromText
                + (where.empty() ? "" : " WHERE " + where) + " LIMIT " + limit;
            where = (where.empty() ? "" : "(" + where + ") AND ") + q + ".ROWID IN (" + sub + ")";
        } else if (blk.scope.tables.size() == 1
            && findTop(fromAt + 1, fromEnd, "JOIN") == fromEnd) {
            // A derived table has no rowid: limit its rows inside a wrapper of the same name.
            const std::string &alias = blk.scope.tables[0].alias;
            blk.fromText = "(SELECT * FROM " + blk.fromText
                + (where.empty() ? "" : " WHERE " + where) + " LIMIT " + limit + ")"
                + (alias.empty() ? "" : " AS " + quoteName(alias));
            where.clear();
        } else {
            fail(3001, whereAt);
        }
    }
    blk.whereText = where.empty() ? "" : " WHERE " + where;
    std::string group, having;
    checkGrouping(i, fromAt, groupAt, groupAt < e ? groupEnd : groupAt, blk.scope);
    if (blk.grouping) {
        group = groupingText(*blk.grouping, blk.fromText, blk.scope);
        grouping_ = blk.grouping.get();
    } else if (groupAt < e) {
        group = " GROUP BY " + list(groupAt + 2, groupEnd, blk.scope);
    }
    if (havingAt < e) {
        const size_t havingEnd = groupAt > havingAt ? groupAt : e;
        having = " HAVING " + expr(havingAt + 1, havingEnd, blk.scope);
    }
    if (!withText.empty() && listText.rfind("*", 0) == 0)
        listText.replace(0, 1, quoteName(blk.scope.tables[0].alias) + ".*"); // not the tree's
    blk.selectListAt = withText.size() + 6;
    blk.sql = withText + "SELECT " + std::string(distinct ? "DISTINCT " : "") + listText + " FROM "
        + blk.fromText + blk.whereText + group + having + blk.limitText;
    return blk;
}

bool Translator::dictionaryView(const std::string &name, bool sysPrefix) const
{
    // The views are the engine's; like the server's public synonyms for them, a table of the
    // schema with the same name comes first unless SYS. names the view.
    ColumnDescription d;
    return context_.columnType && (sysPrefix || !context_.columnType(name, {}, d));
}

size_t Translator::namedTable(size_t k, size_t end, TableRef &ref, std::string &spec, bool &derived)
{
    spec = name(k);
    ref.name = tok(k).upper;
    ++k;
    if (is(k, ".") && k + 1 < end && tok(k + 1).isName()) {
        // The session's own schema is the connection's main database.
        if (ref.name != context_.user)
            ref.owner = ref.name;
        spec = ref.name == context_.user ? name(k + 1) : spec + "." + name(k + 1);
        ref.name = tok(k + 1).upper;
        k += 2;
    }
    ref.alias = ref.name;
    if (spec.find('.') == std::string::npos && context_.synonymTarget
        && std::find(cteNames_.begin(), cteNames_.end(), ref.name) == cteNames_.end()) {
        // A synonym reads its object under the synonym's own name.
        const auto [owner, object] = context_.synonymTarget(ref.name);
        if (!object.empty()) {
            spec = owner == context_.user || owner.empty()
                ? quoteName(object)
                : quoteName(owner) + "." + quoteName(object);
            ref.owner = owner == context_.user ? std::string() : owner;
            ref.name = object;
            derived = true; // named by the alias below
        }
    }
    if (is(k, "@"))
        fail(3001, k);
    return k;
}

std::string Translator::fromClause(size_t b, size_t e, Scope &scope, const Scope *parent)
{
    std::string out;
    auto tableSpec = [&](size_t k, size_t end, std::string &text) -> size_t {
        TableRef ref;
        std::string spec;
        bool derived = false;
        if (k >= end)
            fail(903, k);
        if (tok(k).is("(")) {
            const size_t c = closing(k);
            if (!(is(k + 1, "SELECT") || is(k + 1, "WITH")))
                fail(903, k + 1);
            spec = "(" + query(k + 1, c, parent, false) + ")";
            derived = true;
            k = c + 1;
        } else if ((tok(k).is("TABLE") || tok(k).is("THE")) && is(k + 1, "(")) {
            // The rows of the one collection a subquery returns: a table-valued function over
            // the collection's type, given the subquery's single value (ORA-01427 for more
            // than one row, no rows for none or a null collection).
            const size_t c = closing(k + 1);
            size_t qb = k + 2, qe = c;
            if (is(qb, "(") && closing(qb) + 1 == qe)
                ++qb, --qe;
            if (!(is(qb, "SELECT") || is(qb, "WITH")))
                fail(3001, qb); // a column of an earlier FROM item: not read here
            const std::string sub = query(qb, qe, parent, false);
            // Classified without an engine, the statement still names a function, unknown to
            // a bare connection.
            const std::string rows = context_.collectionRows ? context_.collectionRows(sub)
                                                             : std::string("QD_COLLECTION_ROWS");
            spec = rows + "((WITH QD_COLL(V) AS (" + sub
                + ") SELECT QD_ONE_COLLECTION(V) FROM QD_COLL))";
            derived = true;
            ref.collection = true;
            k = c + 1;
        } else if (tok(k).isName() && !isClauseWord(tok(k))) {
            const bool single = !is(k + 1, ".");
            if (single && tok(k).is("DUAL")) {
                spec = "(SELECT 'X' AS DUMMY)";
                derived = true;
                ref.alias = "DUAL";
                ++k;
            } else if (single && tok(k).is("V$VERSION")) {
                out_.versionQuery = true;
                std::string rows;
                std::string_view banner = context_.banner;
                while (true) {
                    const size_t nl = banner.find('\n');
                    rows += std::string(rows.empty() ? "SELECT " : " UNION ALL SELECT ")
                        + quoteLiteral(banner.substr(0, nl)) + " AS BANNER";
                    if (nl == std::string_view::npos)
                        break;
                    banner.remove_prefix(nl + 1);
                }
                spec = "(" + rows + ")";
                derived = true;
                ref.alias = "V$VERSION";
                ++k;
            } else if (const size_t nameAt = is(k + 1, ".") && tok(k).is("SYS") ? k + 2 : k;
                       tok(nameAt).type == TokenType::Identifier
                       && !dictionaryTable(tok(nameAt).upper).empty()
                       && (nameAt == k || tok(k + 1).type == TokenType::Operator)
                       && !is(nameAt + 1, ".") && dictionaryView(tok(nameAt).upper, nameAt > k)) {
                // A dictionary view: the engine's table, under the view's name.
                ref.name = dictionaryTable(tok(nameAt).upper);
                ref.alias = tok(nameAt).upper;
                spec = ref.name;
                derived = true;
                k = nameAt + 1;
            } else {
                k = namedTable(k, end, ref, spec, derived);
            }
        } else {
            fail(903, k);
        }
        if (is(k, "AS") && k + 1 < end && tok(k + 1).isName())
            ++k;
        if (k < end
            && (tok(k).type == TokenType::Quoted
                || (tok(k).type == TokenType::Identifier && !isClauseWord(tok(k))))) {
            ref.alias = tok(k).upper;
            spec += " AS " + quoteName(ref.alias);
            ++k;
        } else if (derived && !ref.alias.empty()) {
            spec += " AS " + quoteName(ref.alias);
        }
        scope.tables.push_back(ref);
        text += spec;
        return k;
    };
    for (auto [ib, ie] : splitTop(b, e, ",")) {
        if (ib >= ie)
            fail(903, ib);
        std::string item;
        size_t k = tableSpec(ib, ie, item);
        while (k < ie) {
            std::string words;
            while (k < ie && isJoinWord(tok(k)) && !tok(k).is("JOIN"))
                words += tok(k++).upper + " ";
            if (!is(k, "JOIN"))
                fail(933, k);
            item += " " + words + "JOIN ";
            k = tableSpec(k + 1, ie, item);
            if (is(k, "ON")) {
                size_t onEnd = k + 1;
                while (onEnd < ie && !isJoinWord(tok(onEnd)))
                    onEnd = tok(onEnd).is("(") ? closing(onEnd) + 1 : onEnd + 1;
                item += " ON " + expr(k + 1, onEnd, scope);
                k = onEnd;
            } else if (is(k, "USING")) {
                if (!is(k + 1, "("))
                    fail(906, k + 1);
                const size_t c = closing(k + 1);
                std::string cols;
                for (auto [cb, ce] : splitTop(k + 2, c, ","))
                    cols += (cols.empty() ? "" : ", ")
                        + (ce == cb + 1 && tok(cb).isName() ? name(cb) : (fail(904, cb), ""));
                item += " USING (" + cols + ")";
                k = c + 1;
            }
        }
        out += (out.empty() ? "" : ", ") + item;
    }
    return out;
}

// Splits a WHERE condition into its top-level AND terms and turns one "rownum <= n"-like term
// into a row limit. Returns the limit expression (empty when none) and the other terms.
std::string Translator::rownumLimit(
    size_t b, size_t e, std::vector<std::pair<size_t, size_t>> &rest)
{
    std::vector<std::pair<size_t, size_t>> terms;
    size_t start = b;
    bool between = false, anyOr = false;
    for (size_t k = b; k < e; ++k) {
        if (tok(k).is("(")) {
            k = closing(k);
        } else if (tok(k).is("BETWEEN")) {
            between = true;
        } else if (tok(k).is("OR")) {
            anyOr = true;
        } else if (tok(k).is("AND")) {
            if (between) {
                between = false;
                continue;
            }
            terms.emplace_back(start, k);
            start = k + 1;
        }
    }
    terms.emplace_back(start, e);
    if (anyOr) {
        rest = { { b, e } };
        return {};
    }
    std::string limit;
    for (auto [tb, te] : terms) {
        bool used = false;
        if (te == tb + 3 && limit.empty()) {
            size_t rn = tb, value = tb + 2;
            std::string op = tok(tb + 1).upper;
            if (tok(tb + 2).is("ROWNUM")) {
                std::swap(rn, value);
                op = op == ">=" ? "<=" : op == ">" ? "<" : op == "=" ? "=" : "";
            }
            const Token &v = tok(value);
            const bool valueOk = v.type == TokenType::Number || v.type == TokenType::Placeholder;
            if (tok(rn).is("ROWNUM") && valueOk && (op == "<=" || op == "<" || op == "=")) {
                used = true;
                if (v.type == TokenType::Number) {
                    const double n = std::strtod(v.text.c_str(), nullptr);
                    double count = op == "<=" ? std::floor(n)
                        : op == "<"           ? std::ceil(n) - 1
                                              : (n == 1 ? 1 : 0);
                    count = std::max(0.0, std::min(count, 9.0e18));
                    limit = std::to_string(static_cast<long long>(count));
                } else {
                    const std::string p = placeholder(value);
                    limit = op == "<=" ? "MAX(0, " + p + ")"
                        : op == "<"    ? "MAX(0, " + p + " - 1)"
                                       : "(CASE WHEN " + p + " = 1 THEN 1 ELSE 0 END)";
                }
            }
        }
        if (!used)
            rest.emplace_back(tb, te);
    }
    return limit;
}

std::string Translator::selectItem(size_t b, size_t e, const Scope &scope, bool record)
{
    if (b >= e)
        fail(936, b);
    if (e == b + 1 && tok(b).is("*")) {
        if (record)
            out_.selectItems.push_back({ "*", true, false, {}, {}, {} });
        return "*";
    }
    if (e == b + 3 && tok(b).isName() && tok(b + 1).is(".") && tok(b + 2).is("*")) {
        if (record)
            out_.selectItems.push_back({ tok(b).upper + ".*", true, false, {}, {}, {} });
        return name(b) + ".*";
    }
    const std::vector<Unit> us = units(b, e);
    size_t exprEnd = e;
    const Token *alias = nullptr;
    for (size_t k = 1; k < us.size(); ++k) {
        const bool last = k + 1 == us.size();
        const bool nameUnit
            = us[k].kind == Unit::Primary && us[k].e == us[k].b + 1 && tok(us[k].b).isName();
        if (us[k - 1].kind == Unit::Other && tok(us[k - 1].b).is("AS")) {
            if (!last || !nameUnit)
                fail(923, last ? us[k].b : us[k + 1].b);
            alias = &tok(us[k].b);
            exprEnd = us[k - 1].b;
        } else if (us[k - 1].kind == Unit::Primary && us[k].kind == Unit::Primary) {
            if (!nameUnit)
                fail(923, us[k].b);
            if (!last)
                fail(923, us[k + 1].b);
            alias = &tok(us[k].b);
            exprEnd = us[k].b;
        }
    }
    if (exprEnd == b)
        fail(936, b);
    const std::string text = expr(b, exprEnd, scope);
    std::string oracleName;
    if (alias) {
        oracleName = alias->upper;
    } else {
        // A column keeps its own name; an expression is named by its text, upper-cased and
        // without blanks.
        const bool columnRef = tok(exprEnd - 1).isName()
            && (exprEnd - b == 1 || (exprEnd - b == 3 && tok(b + 1).is("."))
                || (exprEnd - b == 5 && tok(b + 3).is(".")));
        if (columnRef && !tok(exprEnd - 1).is("ROWNUM")) {
            oracleName = tok(exprEnd - 1).upper;
        } else {
            for (size_t k = b; k < exprEnd; ++k)
                for (char c : tok(k).text)
                    oracleName += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    if (record) {
        SelectItem item;
        item.name = oracleName;
        inferScope_ = &scope;
        const Inferred inf = infer(b, exprEnd);
        inferScope_ = nullptr;
        item.typeKnown = inf.known;
        item.type = inf.type;
        item.type.name = oracleName;
        item.sourceQualifier = inf.qualifier;
        item.sourceColumn = inf.column;
        item.typeIfSourceIsDate = inf.ifDate;
        item.typeIfSourceIsDate.name = oracleName;
        out_.selectItems.push_back(item);
    }
    return text + " AS " + quoteName(oracleName);
}

void Translator::forUpdate(size_t b, size_t e, const Block &top)
{
    ForUpdate &f = out_.forUpdate;
    f.present = true;
    size_t k = b + 2;
    if (is(k, "OF")) {
        ++k;
        for (;;) {
            if (!tok(k).isName())
                fail(904, k);
            std::string col = tok(k).upper;
            ++k;
            if (is(k, ".") && tok(k + 1).isName()) {
                col += "." + tok(k + 1).upper;
                k += 2;
            }
            f.ofColumns.push_back(col);
            if (!is(k, ","))
                break;
            ++k;
        }
    }
    if (is(k, "NOWAIT")) {
        f.nowait = true;
        ++k;
    } else if (is(k, "WAIT")) {
        if (tok(k + 1).type != TokenType::Number)
            fail(936, k + 1);
        f.waitSeconds = boundedInt(tok(k + 1).text.c_str());
        k += 2;
    } else if (is(k, "SKIP") && is(k + 1, "LOCKED")) {
        fail(3001, k);
    }
    expectEnd(k, e);
    const TableRef *ref = nullptr;
    if (!f.ofColumns.empty()) {
        const std::string &col = f.ofColumns.front();
        const size_t dot = col.find('.');
        if (dot != std::string::npos)
            for (const TableRef &t : top.scope.tables)
                if (t.alias == col.substr(0, dot) || t.name == col.substr(0, dot))
                    ref = &t;
    }
    if (!top.scope.tables.empty()) {
        const TableRef &first = top.scope.tables.front();
        f.lockNothing = first.collection;
        f.lockTable = first.name;
        f.lockSchema = first.owner;
        f.lockQualifier = first.alias;
    }
    if (!ref && !top.scope.tables.empty())
        ref = &top.scope.tables.front();
    if (!ref || ref->name.empty())
        return;
    f.table = ref->name;
    f.rowidSql = "SELECT " + quoteName(ref->alias) + ".ROWID FROM " + top.fromText + top.whereText
        + top.limitText;
}

} // namespace qdsi::sql
