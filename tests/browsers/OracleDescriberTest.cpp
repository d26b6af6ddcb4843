// DESCRIBE as the worksheet reaches it: through the describer it registers, on a thread of
// its own.
#include "DescribeTestSupport.h"

#include "browsers/OracleDescribe.h"
#include "browsers/OracleDescriber.h"

#include <thread>

using namespace qd;
using namespace qd::test;

using DescribeThroughTheWorksheet = DescribeFixture;

TEST_F(DescribeThroughTheWorksheet, DescribeOfASynonymShowsTheColumnsOfItsTable)
{
    InstallOracleDescriber();
    TObjectDescriber *describer = ObjectDescriber();
    ASSERT_NE(describer, nullptr);

    // The script runner's way: off the GUI thread, on the worksheet's own session.
    TStringList query, text;
    bool isQuery = false, textIsQuery = true;
    QString owner, object, sub, link;
    quint8 kind = 0xff, textKind = 0xff;
    QStringList columns;
    std::thread runner([&] {
        kind = describer->GetObjectDescription(*session, QStringLiteral("staff"), true, true, query,
            isQuery, owner, object, sub, link);
        QString o, n, s, l;
        textKind = describer->GetObjectDescription(
            *session, QStringLiteral("staff"), false, true, text, textIsQuery, o, n, s, l);
        TStringList names, notNulls, types;
        FetchColumnLists(*session, owner, object, query, names, notNulls, types);
        for (int i = 0; i < names.Count(); ++i)
            columns << names[i].trimmed();
    });
    runner.join();

    EXPECT_EQ(kind, ooTable);
    EXPECT_TRUE(isQuery);
    EXPECT_EQ(owner, "DEMO");
    EXPECT_EQ(object, "EMP");
    EXPECT_EQ(columns,
        QStringList({ "EMPNO", "ENAME", "JOB", "MGR", "HIREDATE", "SAL", "COMM", "DEPTNO" }));

    EXPECT_EQ(textKind, ooTable);
    EXPECT_FALSE(textIsQuery);
    ASSERT_EQ(text.Count(), 2 + 8);
    EXPECT_TRUE(text[0].contains(QStringLiteral("Column Name")));
    EXPECT_TRUE(text[3].contains(QStringLiteral(" ENAME ")));
}
