// Quoted mixed-case names in the dictionary views: kept as written, also where an index names
// a table's columns.
#include "DictionaryTestSupport.h"

#include <gtest/gtest.h>

using namespace qd::test::standin;

using DictionaryQuotedNames = DictionarySchema;

TEST_F(DictionaryQuotedNames, IndexColumnsKeepTheTablesNamesForThem)
{
    exec("create table \"Orders\" (\"Id\" number(6) constraint \"Orders_Pk\" primary key, "
         "\"Placed\" date, note varchar2(40))");
    exec("create index \"Orders_Placed\" on \"Orders\" (\"Placed\", note)");
    EXPECT_EQ(rows("select index_name, column_name, column_position from all_ind_columns "
                   "where table_name = 'Orders' order by index_name, column_position"),
        (Rows { { "Orders_Pk", "Id", "1" }, { "Orders_Placed", "Placed", "1" },
            { "Orders_Placed", "NOTE", "2" } }));
    EXPECT_EQ(rows("select index_name, uniqueness from all_indexes where table_name = 'Orders' "
                   "order by index_name"),
        (Rows { { "Orders_Pk", "UNIQUE" }, { "Orders_Placed", "NONUNIQUE" } }));
}
