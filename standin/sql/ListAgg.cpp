// LISTAGG(value, separator) WITHIN GROUP (ORDER BY keys): the aggregate QD_LISTAGG that the
// translation calls as QD_LISTAGG(value, separator, key1, 'A' | 'D', key2, ...).
#include "sql/Dialect.h"
#include "sql/NumberFormat.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace qdsi::sql {

namespace {

struct Item {
    std::string value;
    std::vector<sqlite3_value *> keys;
};

struct State {
    std::vector<Item> items;
    std::string separator;
    std::string directions; // 'A' or 'D' per key
};

// Oracle's default order: nulls last ascending, first descending.
int compareKeys(sqlite3_value *a, sqlite3_value *b)
{
    const bool aNull = sqlite3_value_type(a) == SQLITE_NULL;
    const bool bNull = sqlite3_value_type(b) == SQLITE_NULL;
    if (aNull || bNull)
        return aNull == bNull ? 0 : aNull ? 1 : -1;
    const bool aNumber = sqlite3_value_type(a) == SQLITE_INTEGER
        || sqlite3_value_type(a) == SQLITE_FLOAT || isExactNumber(a);
    const bool bNumber = sqlite3_value_type(b) == SQLITE_INTEGER
        || sqlite3_value_type(b) == SQLITE_FLOAT || isExactNumber(b);
    if (aNumber && bNumber) {
        const double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (aNumber != bNumber)
        return aNumber ? -1 : 1;
    const std::string x(reinterpret_cast<const char *>(sqlite3_value_text(a)));
    const std::string y(reinterpret_cast<const char *>(sqlite3_value_text(b)));
    return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
}

State *stateOf(sqlite3_context *c, bool create)
{
    auto **slot = static_cast<State **>(sqlite3_aggregate_context(c, create ? sizeof(State *) : 0));
    if (!slot)
        return nullptr;
    if (!*slot && create)
        *slot = new (std::nothrow) State;
    return *slot;
}

void step(sqlite3_context *c, int argc, sqlite3_value **argv)
{
    State *s = stateOf(c, true);
    if (!s)
        return sqlite3_result_error_nomem(c);
    if (argc < 2 || argc % 2 != 0)
        return sqlite3_result_error(c, "ORA-00909: invalid number of arguments", -1);
    if (s->directions.empty() && sqlite3_value_type(argv[1]) != SQLITE_NULL)
        s->separator = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    if (s->directions.size() != static_cast<size_t>(argc - 2) / 2) {
        s->directions.clear();
        for (int k = 3; k < argc; k += 2) {
            const auto *d = sqlite3_value_text(argv[k]);
            s->directions += d && d[0] == 'D' ? 'D' : 'A';
        }
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return; // nulls are left out
    Item item;
    item.value = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    for (int k = 2; k < argc; k += 2)
        item.keys.push_back(sqlite3_value_dup(argv[k]));
    s->items.push_back(std::move(item));
}

void finish(sqlite3_context *c)
{
    State *s = stateOf(c, false);
    if (!s || s->items.empty()) {
        sqlite3_result_null(c);
    } else {
        std::stable_sort(s->items.begin(), s->items.end(), [&](const Item &a, const Item &b) {
            for (size_t k = 0; k < a.keys.size() && k < b.keys.size(); ++k) {
                int order = compareKeys(a.keys[k], b.keys[k]);
                if (k < s->directions.size() && s->directions[k] == 'D')
                    order = -order;
                if (order)
                    return order < 0;
            }
            return false;
        });
        std::string out;
        for (size_t i = 0; i < s->items.size(); ++i)
            out += (i ? s->separator : std::string()) + s->items[i].value;
        if (out.size() > 4000)
            sqlite3_result_error(c, "ORA-01489: result of string concatenation is too long", -1);
        else
            sqlite3_result_text(c, out.c_str(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
    }
    if (s) {
        for (Item &item : s->items)
            for (sqlite3_value *v : item.keys)
                sqlite3_value_free(v);
        delete s;
    }
}

} // namespace

void registerListAgg(sqlite3 *db)
{
    sqlite3_create_function_v2(
        db, "QD_LISTAGG", -1, SQLITE_UTF8, nullptr, nullptr, &step, &finish, nullptr);
}

} // namespace qdsi::sql
