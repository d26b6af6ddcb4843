// The old outer-join notation: "where a.x = b.x(+)" makes b the optional side of a LEFT JOIN.
#include "sql/Translator.h"

namespace qdsi::sql {

bool Translator::hasOuterJoinMarker(size_t b, size_t e) const
{
    for (size_t k = b; k + 2 < e; ++k)
        if (tok(k).is("(") && tok(k + 1).is("+") && tok(k + 2).is(")"))
            return true;
    return false;
}

std::string Translator::outerJoinFrom(size_t b, size_t e,
    std::vector<std::pair<size_t, size_t>> &conjuncts, Scope &scope, const Scope *parent)
{
    struct Item {
        std::string text;
        std::string alias;
        std::string on;
    };
    std::vector<Item> items;
    for (auto [ib, ie] : splitTop(b, e, ",")) {
        for (size_t k = ib; k < ie; ++k)
            if (tok(k).is("JOIN"))
                fail(25156, k); // old-style outer join (+) cannot be used with ANSI joins
        Item item;
        item.text = fromClause(ib, ie, scope, parent);
        item.alias = scope.tables.back().alias;
        items.push_back(std::move(item));
    }
    std::vector<std::pair<size_t, size_t>> rest;
    for (auto [cb, ce] : conjuncts) {
        // The table a condition makes optional: the qualifier of its marked columns.
        std::string optional;
        for (size_t k = cb; k + 2 < ce; ++k) {
            if (!(tok(k).is("(") && tok(k + 1).is("+") && tok(k + 2).is(")")))
                continue;
            std::string qualifier;
            if (k >= cb + 3 && tok(k - 2).is(".") && tok(k - 3).isName())
                qualifier = tok(k - 3).upper;
            else if (k > cb && tok(k - 1).isName())
                // An unqualified column: the one table of the FROM list that has it is not
                // known here, so the marker needs a qualifier.
                fail(3001, k);
            if (!optional.empty() && qualifier != optional)
                fail(1468, k); // a predicate may reference only one outer-joined table
            optional = qualifier;
        }
        if (optional.empty()) {
            rest.emplace_back(cb, ce);
            continue;
        }
        Item *target = nullptr;
        for (Item &item : items)
            if (item.alias == optional)
                target = &item;
        if (!target)
            fail(904, cb);
        outerMarkers_ = true;
        std::string condition;
        try {
            condition = expr(cb, ce, scope);
        } catch (...) {
            outerMarkers_ = false;
            throw;
        }
        outerMarkers_ = false;
        target->on += (target->on.empty() ? "" : " AND ") + ("(" + condition + ")");
    }
    conjuncts = std::move(rest);
    std::string out;
    for (const Item &item : items)
        if (item.on.empty())
            out += (out.empty() ? "" : ", ") + item.text;
    if (out.empty())
        fail(1417, b); // every table is optional: there is nothing to join them to
    for (const Item &item : items)
        if (!item.on.empty())
            out += " LEFT JOIN " + item.text + " ON " + item.on;
    return out;
}

} // namespace qdsi::sql
