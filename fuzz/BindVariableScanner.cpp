// Fuzzes the bind-variable scanner and comment removal with arbitrary SQL text.
#include "oracle/OracleSqlText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString sql
        = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qd::TStringList all = qd::FindVariables(sql, true);
    const qd::TStringList unique = qd::FindVariables(sql, false);
    if (unique.Count() > all.Count())
        __builtin_trap();
    for (int i = 0; i < all.Count(); ++i) {
        const qintptr position = all.Integers(i);
        // Every reported colon is a real colon of the text.
        if (position < 1 || position > sql.size() || sql.at(position - 1) != u':')
            __builtin_trap();
    }
    const QString stripped = qd::RemoveComments(sql);
    if (stripped.size() > sql.size())
        __builtin_trap();
    qd::QuoteWhenNeeded(sql, QStringLiteral("-"));
    return 0;
}
