// A column declared with an object type's name: a type that is there is accepted, a name that
// is no type is ORA-00902, and a type whose own definition cannot be read reports why instead of
// passing for "invalid datatype".
#include "StandinClient.h"

#include <gtest/gtest.h>

using namespace qd::test::standin;

namespace {

TEST(StandinObjectTypeLookup, ColumnOfAnUnreadableTypeReportsTheRealError)
{
    Connection db;
    ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText();
    ASSERT_EQ(db.run("create or replace type qd_inner as object (x number)"), SUCCESS)
        << db.errorText();
    ASSERT_EQ(db.run("create or replace type qd_outer as object (i qd_inner, n number)"), SUCCESS)
        << db.errorText();
    ASSERT_EQ(db.run("create table qd_fine (o qd_outer)"), SUCCESS) << db.errorText();
    EXPECT_EQ(db.run("create table qd_nothing (o qd_no_such_type)"), ERROR);
    EXPECT_EQ(db.errorCode(), 902) << db.errorText();

    // The outer type now names a type that is gone: reading it fails, and that is the error.
    ASSERT_EQ(db.run("drop type qd_inner force"), SUCCESS) << db.errorText();
    EXPECT_EQ(db.run("create table qd_broken (o qd_outer)"), ERROR);
    EXPECT_EQ(db.errorCode(), 22303) << db.errorText();
    EXPECT_NE(db.errorText().find("QD_INNER"), std::string::npos) << db.errorText();
}

} // namespace
