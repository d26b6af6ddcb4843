// ROLLUP, CUBE and GROUPING SETS with GROUPING() and GROUPING_ID(): one grouped query over the
// block's rows joined with one row per grouping set (see Translator::Grouping).
#include "sql/Translator.h"

namespace qdsi::sql {

namespace {

constexpr size_t kMostExpressions = 62;
constexpr size_t kMostSets = 4096;

std::string bitText(size_t index)
{
    return std::to_string(uint64_t { 1 } << index);
}

} // namespace

int Translator::groupingIndex(const Grouping &g, size_t b, size_t e, const Scope &scope) const
{
    for (size_t i = 0; i < g.exprs.size(); ++i) {
        const auto [gb, ge] = g.exprs[i];
        if (ge - gb != e - b)
            continue;
        bool same = true;
        for (size_t k = 0; k < e - b && same; ++k)
            same = tok(gb + k).type == tok(b + k).type && tok(gb + k).upper == tok(b + k).upper;
        if (same)
            return static_cast<int>(i);
    }
    // A column named with and without its table's alias is the same column.
    if (e - b != 1 && e - b != 3)
        return -1;
    std::string column;
    ColumnDescription d;
    if (!columnOf(b, e, scope, d, &column))
        return -1;
    for (size_t i = 0; i < g.exprs.size(); ++i) {
        const auto [gb, ge] = g.exprs[i];
        std::string other;
        if ((ge - gb == 1 || ge - gb == 3) && tok(ge - 1).upper == tok(e - 1).upper
            && columnOf(gb, ge, scope, d, &other) && other == column)
            return static_cast<int>(i);
    }
    return -1;
}

std::shared_ptr<Translator::Grouping> Translator::groupingSets(
    size_t groupAt, size_t groupEnd, const Scope &scope)
{
    const auto items = splitTop(groupAt + 2, groupEnd, ",");
    auto special = [&](size_t k) {
        return ((is(k, "ROLLUP") || is(k, "CUBE")) && is(k + 1, "("))
            || (is(k, "GROUPING") && is(k + 1, "SETS"));
    };
    bool any = false;
    for (auto [b, e] : items)
        any |= special(b);
    if (!any)
        return nullptr;
    auto g = std::make_shared<Grouping>();
    auto index = [&](size_t b, size_t e) -> uint64_t {
        if (b >= e)
            fail(936, b);
        int i = groupingIndex(*g, b, e, scope);
        if (i < 0) {
            if (g->exprs.size() == kMostExpressions)
                fail(3001, b, "unimplemented feature: more than 62 grouping expressions");
            g->exprs.emplace_back(b, e);
            i = static_cast<int>(g->exprs.size()) - 1;
        }
        return uint64_t { 1 } << i;
    };
    // One element of a ROLLUP, CUBE or set list: an expression or a composite "(a, b)".
    auto element = [&](size_t b, size_t e) -> uint64_t {
        if (is(b, "(") && closing(b) + 1 == e && !is(b + 1, "SELECT")) {
            uint64_t mask = 0;
            if (e == b + 2)
                return 0; // ()
            for (auto [ib, ie] : splitTop(b + 1, e - 1, ","))
                mask |= index(ib, ie);
            return mask;
        }
        return index(b, e);
    };
    auto limit = [&](size_t count, size_t at) {
        if (count > kMostSets)
            fail(3001, at, "unimplemented feature: more than 4096 grouping sets");
    };
    std::function<std::vector<uint64_t>(size_t, size_t)> setsOf
        = [&](size_t b, size_t e) -> std::vector<uint64_t> {
        std::vector<uint64_t> out;
        if ((is(b, "ROLLUP") || is(b, "CUBE")) && is(b + 1, "(") && closing(b + 1) + 1 == e) {
            std::vector<uint64_t> masks;
            for (auto [ib, ie] : splitTop(b + 2, e - 1, ","))
                masks.push_back(element(ib, ie));
            if (is(b, "ROLLUP")) {
                // (a, b), (a), ()
                for (size_t n = masks.size() + 1; n-- > 0;) {
                    uint64_t m = 0;
                    for (size_t k = 0; k < n; ++k)
                        m |= masks[k];
                    out.push_back(m);
                }
            } else {
                if (masks.size() > 12)
                    limit(kMostSets + 1, b);
                // Every subset, the whole first and () last.
                const uint64_t all = (uint64_t { 1 } << masks.size()) - 1;
                for (uint64_t subset = all + 1; subset-- > 0;) {
                    uint64_t m = 0;
                    for (size_t k = 0; k < masks.size(); ++k)
                        if (subset & (uint64_t { 1 } << (masks.size() - 1 - k)))
                            m |= masks[k];
                    out.push_back(m);
                }
            }
            return out;
        }
        if (is(b, "GROUPING") && is(b + 1, "SETS")) {
            if (!is(b + 2, "(") || closing(b + 2) + 1 != e)
                fail(906, b + 2);
            for (auto [ib, ie] : splitTop(b + 3, e - 1, ",")) {
                const bool nested = ((is(ib, "ROLLUP") || is(ib, "CUBE")) && is(ib + 1, "("))
                    || (is(ib, "GROUPING") && is(ib + 1, "SETS"));
                if (nested) {
                    for (uint64_t m : setsOf(ib, ie))
                        out.push_back(m);
                } else {
                    out.push_back(element(ib, ie));
                }
                limit(out.size(), ib);
            }
            return out;
        }
        return { element(b, e) };
    };
    // The sets of the items combine: GROUP BY a, ROLLUP(b) groups by (a, b) and (a).
    std::vector<uint64_t> sets { 0 };
    for (auto [b, e] : items) {
        std::vector<uint64_t> next;
        for (uint64_t left : sets)
            for (uint64_t right : setsOf(b, e))
                next.push_back(left | right);
        limit(next.size(), b);
        sets = std::move(next);
    }
    g->sets = std::move(sets);
    return g;
}

std::string Translator::groupingText(const Grouping &g, std::string &fromText, const Scope &scope)
{
    std::string rows;
    for (size_t i = 0; i < g.sets.size(); ++i)
        rows += (i ? " UNION ALL SELECT " + std::to_string(i) + ", "
                   : std::string("SELECT 0 AS I, "))
            + std::to_string(g.sets[i]) + (i ? "" : " AS M");
    fromText += ", (" + rows + ") AS QD_GS";
    std::string group = " GROUP BY QD_GS.I";
    ++inAggregate_;
    for (size_t i = 0; i < g.exprs.size(); ++i)
        group += ", CASE WHEN QD_GS.M & " + bitText(i) + " THEN "
            + expr(g.exprs[i].first, g.exprs[i].second, scope) + " END";
    --inAggregate_;
    return group;
}

std::string Translator::groupingRewrite(size_t b, size_t e, const Scope &scope)
{
    const int i = groupingIndex(*grouping_, b, e, scope);
    if (i < 0)
        return {};
    ++inAggregate_;
    struct Back {
        int &depth;
        ~Back() { --depth; }
    } back { inAggregate_ };
    return "(CASE WHEN QD_GS.M & " + bitText(static_cast<size_t>(i)) + " THEN " + expr(b, e, scope)
        + " END)";
}

std::string Translator::groupingCall(
    const std::string &fn, size_t open, size_t close, const Scope &scope)
{
    const auto args = splitTop(open + 1, close, ",");
    if (args.empty() || (fn == "GROUPING" && args.size() != 1))
        fail(909, open);
    std::string out;
    for (size_t k = 0; k < args.size(); ++k) {
        const auto [b, e] = args[k];
        const std::string weight = std::to_string(uint64_t { 1 } << (args.size() - 1 - k));
        if (!grouping_) {
            // Plain GROUP BY: every expression is grouped in every row.
            expr(b, e, scope);
            out += std::string(out.empty() ? "" : " + ") + "0";
            continue;
        }
        const int i = groupingIndex(*grouping_, b, e, scope);
        if (i < 0)
            fail(979, b); // not a GROUP BY expression
        out += std::string(out.empty() ? "" : " + ") + "(CASE WHEN QD_GS.M & "
            + bitText(static_cast<size_t>(i)) + " THEN 0 ELSE " + weight + " END)";
    }
    return "(" + out + ")";
}

} // namespace qdsi::sql
