#pragma once

// A real in-memory SQLite connection with the dialect's functions and a session context whose
// sequences and rowids are simple fakes, for the dialect tests.

#include "sql/Dialect.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qdsi::sql::test {

class DialectDb : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Translates and runs a statement; binds are given by SQLite index order (?1, ?2, ...).
    Translation run(const std::string &oracleSql, const std::vector<std::string> &binds = {});
    // All rows of a query as text (numbers through numberToText, NULL as "<null>").
    std::vector<std::vector<std::string>> rows(
        const std::string &oracleSql, const std::vector<std::string> &binds = {});
    // The first column of the only row.
    std::string value(const std::string &oracleSql, const std::vector<std::string> &binds = {});
    // The ORA error a statement raises at translation or execution (code 0 when none).
    OraError error(const std::string &oracleSql);
    std::vector<ColumnDescription> describeQuery(const std::string &oracleSql);

    sqlite3 *db = nullptr;
    SessionContext context;
    std::map<std::string, int64_t> sequences; // current values
    std::map<std::string, int64_t> increments;
    static std::string fakeRowid(const std::string &table, int64_t rowid);
};

} // namespace qdsi::sql::test
