// Which names are data-dictionary views, and the engine's table for each.
#include "sql/Dialect.h"

#include <array>

namespace qdsi::sql {

std::string dictionaryTable(std::string_view name)
{
    static constexpr std::array<std::string_view, 19> views = { "OBJECTS", "TABLES", "VIEWS",
        "SNAPSHOTS", "TAB_COLUMNS", "CONSTRAINTS", "CONS_COLUMNS", "INDEXES", "IND_COLUMNS",
        "SEQUENCES", "SYNONYMS", "USERS", "TYPES", "TYPE_ATTRS", "TRIGGERS", "ARGUMENTS",
        "TAB_COMMENTS", "COL_COMMENTS", "TAB_IDENTITY_COLS" };
    std::string_view form;
    for (std::string_view prefix : { "ALL_", "USER_", "DBA_" })
        if (name.substr(0, prefix.size()) == prefix)
            form = prefix;
    if (form.empty())
        return {};
    const std::string_view base = name.substr(form.size());
    for (std::string_view v : views)
        if (v == base)
            // DBA_ shows what ALL_ shows: a session sees no schema but its own
            return "QDSI_DICT_" + std::string(form == "USER_" ? "USER_" : "ALL_") + std::string(v);
    return {};
}

} // namespace qdsi::sql
