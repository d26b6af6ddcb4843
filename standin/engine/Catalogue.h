#pragma once

// What the schema holds, read back from SQLite's own catalogue (sqlite_master, table_info) and
// the side tables, in the server's terms: tables, views, columns with their Oracle types and
// default texts, constraints with their names, indexes, sequences, synonyms. The data
// dictionary and the constraint-violation wording both read it.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qdsi::engine {

struct CatalogueColumn {
    std::string name;
    std::string dataType;     // VARCHAR2, NUMBER, DATE, ...
    int64_t length = 0;       // data_length
    int64_t precision = -1;   // -1: null
    int64_t scale = -1;       // -1: null
    bool nullable = true;
    std::string defaultText;  // as the user wrote it; empty: none
    int columnId = 0;
    bool objectType = false;  // dataType names an object or collection type of the schema
};

struct CatalogueConstraint {
    std::string name;
    char type = 'C';                   // P, U, R, C
    std::string table;
    std::vector<std::string> columns;
    std::string condition;             // C, as written
    std::string checkText;             // C, as SQLite holds (and reports) it
    std::string refConstraint;         // R: the referenced key
    std::string deleteRule;            // R: NO ACTION or CASCADE
    bool generatedName = false;
    bool enabled = true; // a disabled one is kept but not enforced
};

struct CatalogueIndex {
    std::string name;
    std::string table;
    bool unique = false;
    std::vector<std::string> columns;
};

struct CatalogueTable {
    std::string name;
    bool view = false;
    std::string viewText;        // the query as written
    int64_t rootpage = 0;
    std::vector<CatalogueColumn> columns;
};

struct CatalogueSequence {
    std::string name;
    int64_t lastNumber = 1;
    int64_t incrementBy = 1;
};

struct CatalogueSynonym {
    std::string owner; // the schema or PUBLIC
    std::string name;
    std::string tableOwner;
    std::string tableName;
    std::string dbLink;
};

struct CatalogueMView {
    std::string name;
    std::string tableName;
    std::string query;
};

struct Catalogue {
    std::vector<CatalogueTable> tables; // tables and views, by name
    std::vector<CatalogueConstraint> constraints;
    std::vector<CatalogueIndex> indexes;
    std::vector<CatalogueSequence> sequences;
    std::vector<CatalogueSynonym> synonyms;
    std::vector<CatalogueMView> mviews;

    const CatalogueTable *table(const std::string &name) const;
};

// Reads the catalogue of one schema of the connection (its SQLite database name: "main" for the
// session's own, else the attached name). Internal objects (sqlite_*, QDSI_*, the
// date-conversion triggers) are left out.
Catalogue readCatalogue(sqlite3 *db, const std::string &database = "main");

// Disabled constraints are cut out of the table's SQLite definition and kept here with their
// clause as SQLite text (a column's constraint with its column), until enabled or dropped.
constexpr const char *disabledConstraintTable = "QDSI_DISABLED_CONSTRAINTS";

// Whether a name is of the form the server generates (SYS_C and digits).
bool isGeneratedConstraintName(const std::string &name);

// The name the server generates for an unnamed constraint: SYS_C and six digits, stable for a
// table (its root page) and the constraint's place in its DDL.
std::string generatedConstraintName(int64_t rootpage, int ordinal);

// The constraint of `table` whose kind is one of `types` and whose columns are exactly
// `columns` (any order); empty when none.
std::string constraintNamed(const Catalogue &catalogue, const std::string &table,
    const std::string &types, std::vector<std::string> columns);

} // namespace qdsi::engine
