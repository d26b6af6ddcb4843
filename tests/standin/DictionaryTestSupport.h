#pragma once

// A schema of its own for each dictionary test: a configured alias whose directory is named
// after the test, a user FIX without the sample schema (and SCOTT with it where a test asks),
// and helpers that run a statement with string binds and return its rows and described columns
// as a client that fetches every column as a string sees them.

#include "StandinClient.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace qd::test::standin {

struct Described {
    std::string name;
    int type = 0;
    int size = 0;
    int precision = 0;
    int scale = 0;
};

using Rows = std::vector<std::vector<std::string>>; // NULL as "<null>"
using Binds = std::vector<std::pair<std::string, std::string>>; // name, value ("" is NULL)

class DictionarySchema : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs DDL or DML; fails the test with the server's text when it fails.
    void exec(const std::string &sql);
    // Runs a query with string binds; fails the test when it fails.
    Rows rows(const std::string &sql, const Binds &binds = {});
    // The select list as described (after execute).
    std::vector<Described> describe(const std::string &sql, const Binds &binds = {});
    // The ORA code a statement fails with (0 when it succeeds) and its text.
    int failure(const std::string &sql, std::string *text = nullptr);

    Connection db;
    Connection *active = &db; // the connection the helpers use
};

} // namespace qd::test::standin
