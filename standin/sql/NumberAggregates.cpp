// MIN and MAX of a NUMBER column as the aggregates QD_NUMMIN / QD_NUMMAX: a long number kept as
// a BLOB of its text (see exactNumberText) compares as the number it is, where SQLite's own
// min() and max() would put it after every other value. The value itself is returned whole.
#include "sql/Dialect.h"
#include "sql/NumberFormat.h"

namespace qdsi::sql {

namespace {

struct Extreme {
    sqlite3_value *value;
};

template <bool Largest> void step(sqlite3_context *c, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    auto *e = static_cast<Extreme *>(sqlite3_aggregate_context(c, sizeof(Extreme)));
    if (!e)
        return sqlite3_result_error_nomem(c);
    if (e->value) {
        const double have = sqlite3_value_double(e->value);
        const double next = sqlite3_value_double(argv[0]);
        if (Largest ? !(next > have) : !(next < have))
            return;
        sqlite3_value_free(e->value);
    }
    e->value = sqlite3_value_dup(argv[0]);
}

void finish(sqlite3_context *c)
{
    auto *e = static_cast<Extreme *>(sqlite3_aggregate_context(c, 0));
    if (!e || !e->value)
        return sqlite3_result_null(c);
    sqlite3_result_value(c, e->value);
    sqlite3_value_free(e->value);
    e->value = nullptr;
}

} // namespace

void registerNumberAggregates(sqlite3 *db)
{
    sqlite3_create_function_v2(
        db, "QD_NUMMAX", 1, SQLITE_UTF8, nullptr, nullptr, &step<true>, &finish, nullptr);
    sqlite3_create_function_v2(
        db, "QD_NUMMIN", 1, SQLITE_UTF8, nullptr, nullptr, &step<false>, &finish, nullptr);
}

} // namespace qdsi::sql
