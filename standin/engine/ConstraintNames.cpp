#include "engine/ConstraintNames.h"

#include "engine/Catalogue.h"
#include "sql/Lexer.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

namespace qdsi::engine {

namespace {

std::string trim(const std::string &s)
{
    const size_t b = s.find_first_not_of(' ');
    const size_t e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<std::string> rows(sqlite3 *db, const std::string &sql, int column)
{
    std::vector<std::string> out;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto *t = sqlite3_column_text(st, column);
            out.push_back(t ? reinterpret_cast<const char *>(t) : "");
        }
    }
    sqlite3_finalize(st);
    return out;
}

std::string quoted(const std::string &name)
{
    std::string q = "\"";
    for (char c : name)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// Searches the CREATE TABLE text for "CONSTRAINT name PRIMARY KEY|UNIQUE (cols)" or a column
// definition "col type ... CONSTRAINT name PRIMARY KEY|UNIQUE" that covers exactly `columns`.
std::string nameFromDdl(const std::string &ddl, const std::set<std::string> &columns)
{
    const std::vector<sql::Token> t = sql::tokenizeLeniently(ddl);
    std::string currentColumn;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].depth == 1 && (i == 0 || t[i - 1].is("(") || t[i - 1].is(",")))
            currentColumn = sql::upperCase(nameOf(t[i]));
        if (!t[i].is("CONSTRAINT") || i + 2 >= t.size())
            continue;
        const std::string name = nameOf(t[i + 1]);
        size_t k = i + 2;
        if (!(t[k].is("UNIQUE")
                || (t[k].is("PRIMARY") && k + 1 < t.size() && t[k + 1].is("KEY"))))
            continue;
        k += t[k].is("PRIMARY") ? 2 : 1;
        std::set<std::string> listed;
        if (k < t.size() && t[k].is("(")) {
            for (++k; k < t.size() && !t[k].is(")"); ++k)
                if (!nameOf(t[k]).empty())
                    listed.insert(sql::upperCase(nameOf(t[k])));
        } else {
            listed.insert(currentColumn);
        }
        if (listed == columns)
            return name;
    }
    return {};
}

std::string literal(const std::string &value)
{
    std::string q = "'";
    for (char c : value)
        q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'";
}

// The named foreign keys of one CREATE TABLE text with the tables they reference.
std::vector<std::pair<std::string, std::string>> foreignKeys(const std::string &ddl)
{
    std::vector<std::pair<std::string, std::string>> keys;
    const std::vector<sql::Token> t = sql::tokenizeLeniently(ddl);
    std::string constraint;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].depth == 1 && t[i].is(","))
            constraint.clear();
        else if (t[i].is("CONSTRAINT") && i + 1 < t.size())
            constraint = nameOf(t[i + 1]);
        else if (t[i].is("REFERENCES") && i + 1 < t.size() && !constraint.empty())
            keys.emplace_back(constraint, sql::upperCase(nameOf(t[i + 1])));
    }
    return keys;
}

} // namespace

std::string foreignKeyName(
    sqlite3 *db, const std::string &child, const std::string &parent, const std::string &database)
{
    // The catalogue knows every foreign key, named or not, and what it references.
    const Catalogue catalogue = readCatalogue(db, database);
    for (const CatalogueConstraint &c : catalogue.constraints) {
        if (c.type != 'R' || (!child.empty() && c.table != sql::upperCase(child)))
            continue;
        for (const CatalogueConstraint &k : catalogue.constraints)
            if (k.name == c.refConstraint && (parent.empty() || k.table == sql::upperCase(parent)))
                return c.name;
    }
    std::string sql = "SELECT sql FROM " + quoted(database)
        + ".sqlite_master WHERE type = 'table' AND sql IS NOT NULL";
    if (!child.empty())
        sql += " AND name = " + literal(child) + " COLLATE NOCASE";
    for (const std::string &ddl : rows(db, sql, 0)) {
        for (const auto &[name, referenced] : foreignKeys(ddl)) {
            if (parent.empty() || referenced == sql::upperCase(parent))
                return name;
        }
    }
    return {};
}

std::string uniqueConstraintName(
    sqlite3 *db, const std::string &detail, const std::string &database)
{
    std::string table;
    std::set<std::string> columns;
    size_t start = 0;
    while (start < detail.size()) {
        size_t comma = detail.find(',', start);
        if (comma == std::string::npos)
            comma = detail.size();
        const std::string item = trim(detail.substr(start, comma - start));
        const size_t dot = item.find('.');
        if (dot != std::string::npos) {
            table = item.substr(0, dot);
            columns.insert(sql::upperCase(item.substr(dot + 1)));
        }
        start = comma + 1;
    }
    if (table.empty() || !db)
        return "SYS_C000000";

    // An index created by CREATE UNIQUE INDEX carries the constraint's name itself.
    const std::string schema = quoted(database);
    for (const std::string &index :
        rows(db, "PRAGMA " + schema + ".index_list(" + quoted(table) + ")", 1)) {
        const auto origin = rows(db,
            "SELECT origin FROM pragma_index_list(" + literal(table) + ", " + literal(database)
                + ") WHERE name = " + literal(index),
            0);
        std::set<std::string> indexed;
        for (const std::string &c :
            rows(db, "PRAGMA " + schema + ".index_info(" + quoted(index) + ")", 2))
            indexed.insert(sql::upperCase(c));
        if (indexed == columns && !origin.empty() && origin[0] == "c")
            return sql::upperCase(index);
    }
    const auto ddl = rows(db,
        "SELECT sql, rootpage FROM " + schema
            + ".sqlite_master WHERE type = 'table' AND name = " + literal(table),
        0);
    if (!ddl.empty()) {
        const std::string name = nameFromDdl(ddl[0], columns);
        if (!name.empty())
            return name;
    }
    // An unnamed key: the name the dictionary shows for it.
    const std::string generated = constraintNamed(readCatalogue(db, database),
        sql::upperCase(table), "PU", std::vector<std::string>(columns.begin(), columns.end()));
    return generated.empty() ? "SYS_C000000" : generated;
}

BrokenForeignKey brokenForeignKey(
    sqlite3 *db, const std::function<void()> &rerun, const std::string &database)
{
    BrokenForeignKey broken;
    if (sqlite3_exec(db, "SAVEPOINT QD_FK_PROBE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return broken;
    sqlite3_exec(db, "PRAGMA defer_foreign_keys = ON", nullptr, nullptr, nullptr);
    int fkid = -1;
    try {
        rerun();
        sqlite3_stmt *st = nullptr;
        const std::string check = "PRAGMA " + quoted(database) + ".foreign_key_check";
        if (sqlite3_prepare_v2(db, check.c_str(), -1, &st, nullptr) == SQLITE_OK
            && sqlite3_step(st) == SQLITE_ROW) {
            const auto *table = sqlite3_column_text(st, 0);
            broken.childTable = sql::upperCase(table ? reinterpret_cast<const char *>(table) : "");
            fkid = sqlite3_column_int(st, 3);
        }
        sqlite3_finalize(st);
    } catch (...) {
        // The change fails for another reason as well: the key stays unknown.
    }
    sqlite3_exec(db, "ROLLBACK TO QD_FK_PROBE", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "RELEASE QD_FK_PROBE", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA defer_foreign_keys = OFF", nullptr, nullptr, nullptr);
    if (fkid < 0)
        return broken;

    // SQLite's key number → its columns and parent → the catalogue's constraint.
    std::vector<std::string> columns;
    std::string parent;
    sqlite3_stmt *st = nullptr;
    const std::string list = "PRAGMA " + quoted(database) + ".foreign_key_list("
        + quoted(broken.childTable) + ")";
    if (sqlite3_prepare_v2(db, list.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            if (sqlite3_column_int(st, 0) != fkid)
                continue;
            const auto *p = sqlite3_column_text(st, 2);
            const auto *from = sqlite3_column_text(st, 3);
            parent = sql::upperCase(p ? reinterpret_cast<const char *>(p) : "");
            columns.push_back(sql::upperCase(from ? reinterpret_cast<const char *>(from) : ""));
        }
    }
    sqlite3_finalize(st);
    const Catalogue catalogue = readCatalogue(db, database);
    for (const CatalogueConstraint &c : catalogue.constraints) {
        if (c.type != 'R' || c.table != broken.childTable || c.columns != columns)
            continue;
        for (const CatalogueConstraint &k : catalogue.constraints)
            if (k.name == c.refConstraint && k.table == parent)
                broken.name = c.name;
    }
    return broken;
}

} // namespace qdsi::engine
