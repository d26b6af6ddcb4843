// Names as users type them: splitting, resolution through synonyms and users, and the kind of
// what they name.
#include "DescribeTestSupport.h"

#include "browsers/OracleDescribe.h"
#include "oracle/OracleError.h"

using namespace qd;
using namespace qd::test;

namespace {

QStringList split(const QString &name, QChar separator = u'.')
{
    TStringList parts;
    parts.Add(QStringLiteral("left over"));
    SplitObjectName(name, parts, separator);
    QStringList list;
    for (int i = 0; i < parts.Count(); ++i)
        list << parts[i];
    return list;
}

} // namespace

TEST(SplitObjectName, UpperCasesUnquotedPartsAndKeepsQuotedOnesAsWritten)
{
    const struct {
        const char *name;
        QStringList parts;
    } cases[] = {
        { "emp", { "EMP" } },
        { "scott.Emp", { "SCOTT", "EMP" } },
        { "\"Dev\".\"Orders\"", { "Dev", "Orders" } },
        { "\"Dev\".orders.\"Id\"", { "Dev", "ORDERS", "Id" } },
        { "\"a.b\".c", { "a.b", "C" } },
        { "\"say \"hi\"\".x", { "say \"hi\"", "X" } },
        { "\"open", { "open" } },
        { "\"open.x", { "open.x" } },
        { "a..b", { "A", "", "B" } },
        { "a.", { "A" } },
        { ".a", { "", "A" } },
        { "a.b.c.d", { "A", "B", "C", "D" } },
        { "", {} },
    };
    for (const auto &c : cases)
        EXPECT_EQ(split(QString::fromUtf8(c.name)), c.parts) << c.name;
    EXPECT_EQ(split(QStringLiteral("emp@Link"), u'@'), QStringList({ "EMP", "LINK" }));
    EXPECT_EQ(split(QStringLiteral("\"a@b\"@c"), u'@'), QStringList({ "a@b", "C" }));
}

TEST(CurrentSchema, IsTheLogonUserAsTheServerNamesIt)
{
    const std::pair<const char *, const char *> cases[] = {
        { "demo", "DEMO" },
        { "DEMO", "DEMO" },
        { "\"Dev\"", "Dev" },
        { "scott as sysdba", "SCOTT" },
        { "\"Mixed Case\"", "Mixed Case" },
    };
    for (const auto &[logon, schema] : cases) {
        TOracleSession s;
        s.SetLogonUsername(QString::fromUtf8(logon));
        EXPECT_EQ(CurrentSchema(s), QString::fromUtf8(schema)) << logon;
    }
}

using ObjectNames = DescribeFixture;

TEST_F(ObjectNames, ResolveThroughUsersAndSynonyms)
{
    const auto hr = logOn(QStringLiteral("hr"), QStringLiteral("HR"));
    const auto dev = logOn(QStringLiteral("\"Dev\""), QStringLiteral("dev"));
    const struct {
        TOracleSession *on;
        const char *name;
        const char *owner, *object, *sub, *link;
        quint8 kind;
    } cases[] = {
        // one part: the logon schema, or a synonym's target
        { session.get(), "emp", "DEMO", "EMP", "", "", ooTable },
        { session.get(), "\"emp\"", "DEMO", "emp", "", "", DescribeUnknown },
        { session.get(), "staff", "DEMO", "EMP", "", "", ooTable }, // public synonym
        { hr.get(), "staff", "HR", "JOBS", "", "", ooTable }, // private wins
        { hr.get(), "employees", "DEMO", "EMP", "", "", ooTable },
        { session.get(), "emp_dept", "DEMO", "EMP_DEPT", "", "", ooView },
        { session.get(), "dept_summary", "DEMO", "DEPT_SUMMARY", "", "", ooMView },
        { session.get(), "emp_seq", "DEMO", "EMP_SEQ", "", "", ooSequence },
        { session.get(), "emp_api", "DEMO", "EMP_API", "", "", ooPackage },
        { session.get(), "emp_biu", "DEMO", "EMP_BIU", "", "", ooTrigger },
        { session.get(), "emp_deptno_ix", "DEMO", "EMP_DEPTNO_IX", "", "", DescribeUnsupported },
        { session.get(), "", "", "", "", "", DescribeUnknown },
        // two parts: a user and an object, or an object and its part
        { session.get(), "hr.jobs", "HR", "JOBS", "", "", ooTable },
        { session.get(), "Hr.Jobs", "HR", "JOBS", "", "", ooTable },
        { session.get(), "emp.ename", "DEMO", "EMP", "ENAME", "", ooTable },
        { session.get(), "staff.ename", "DEMO", "EMP", "ENAME", "", ooTable },
        { session.get(), "emp_api.headcount", "DEMO", "EMP_API", "HEADCOUNT", "", ooPackage },
        { session.get(), "\"Dev\".\"Orders\"", "Dev", "Orders", "", "", ooTable },
        { session.get(), "dev.orders", "DEMO", "DEV", "ORDERS", "", DescribeUnknown },
        { dev.get(), "\"Orders\"", "Dev", "Orders", "", "", ooTable },
        { dev.get(), "orders", "Dev", "ORDERS", "", "", DescribeUnknown },
        // three parts and more
        { session.get(), "demo.emp.ename", "DEMO", "EMP", "ENAME", "", ooTable },
        { session.get(), "demo.emp.ename.fourth", "DEMO", "EMP", "ENAME", "", ooTable },
        { session.get(), "\"Dev\".\"Orders\".\"Id\"", "Dev", "Orders", "Id", "", ooTable },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString owner, object, sub, link;
        ResolveObjectName(*c.on, QString::fromUtf8(c.name), owner, object, sub, link);
        EXPECT_EQ(owner, QLatin1String(c.owner));
        EXPECT_EQ(object, QLatin1String(c.object));
        EXPECT_EQ(sub, QLatin1String(c.sub));
        EXPECT_EQ(link, QLatin1String(c.link));
        EXPECT_EQ(GetObjectKind(*c.on, owner, object), c.kind);
    }
}

TEST_F(ObjectNames, ResolveSynonymLeavesItsOutputsWhenThereIsNone)
{
    QString owner = QStringLiteral("o"), table = QStringLiteral("t"), link = QStringLiteral("l");
    ResolveSynonym(
        *session, true, QStringLiteral("NO_SUCH"), QStringLiteral("DEMO"), owner, table, link);
    EXPECT_EQ(owner + table + link, "otl");
    // Without public synonyms STAFF is not found from DEMO; with them it is.
    ResolveSynonym(
        *session, false, QStringLiteral("STAFF"), QStringLiteral("DEMO"), owner, table, link);
    EXPECT_EQ(owner + table + link, "otl");
    ResolveSynonym(
        *session, true, QStringLiteral("STAFF"), QStringLiteral("DEMO"), owner, table, link);
    EXPECT_EQ(owner, "DEMO");
    EXPECT_EQ(table, "EMP");
    EXPECT_EQ(link, "");
    // Another schema's private synonym is seen by name of that schema.
    ResolveSynonym(
        *session, false, QStringLiteral("STAFF"), QStringLiteral("HR"), owner, table, link);
    EXPECT_EQ(owner + u'.' + table, "HR.JOBS");
}

TEST_F(ObjectNames, UserExistsComparesTheNameExactly)
{
    EXPECT_TRUE(UserExists(*session, QStringLiteral("HR")));
    EXPECT_TRUE(UserExists(*session, QStringLiteral("Dev")));
    EXPECT_FALSE(UserExists(*session, QStringLiteral("DEV")));
    EXPECT_FALSE(UserExists(*session, QStringLiteral("hr")));
    EXPECT_FALSE(UserExists(*session, QString()));
}

TEST_F(ObjectNames, AUnitsBodyDecidesOnlyWhenThereIsNothingElse)
{
    // Two rows of one name, the body's first: the package decides.
    EXPECT_EQ(
        GetObjectKind(*session, QStringLiteral("DEMO"), QStringLiteral("BODY_FIRST")), ooPackage);
    EXPECT_EQ(GetObjectKind(*session, QStringLiteral("DEMO"), QStringLiteral("ONLY_BODY")),
        DescribeUnsupported);
    EXPECT_EQ(
        GetObjectKind(*session, QStringLiteral("SYS"), QStringLiteral("STANDARD")), ooPackage);
    EXPECT_EQ(GetObjectKind(*session, QStringLiteral("HR"), QStringLiteral("STAFF")),
        DescribeUnsupported);
}

TEST_F(ObjectNames, UnknownAndUnsupportedNamesAreReportedAsTyped)
{
    const struct {
        const char *name;
        quint8 kind;
        const char *line;
    } cases[] = {
        { "", DescribeUnknown, "Unknown object " },
        { "no_such_thing", DescribeUnknown, "Unknown object no_such_thing" },
        { "emp_deptno_ix", DescribeUnsupported, "Unsupported object emp_deptno_ix" },
        { "Demo.Only_Body", DescribeUnsupported, "Unsupported object Demo.Only_Body" },
    };
    for (const auto &c : cases) {
        TStringList lines;
        lines.Add(QStringLiteral("kept"));
        bool isQuery = true;
        QString owner, object, sub, link;
        EXPECT_EQ(GetObjectDescription(*session, QLatin1String(c.name), false, true, lines, isQuery,
                      owner, object, sub, link),
            c.kind)
            << c.name;
        EXPECT_FALSE(isQuery);
        EXPECT_EQ(lines.Text(),
            QStringLiteral("kept\r\n") + QLatin1String(c.line) + QStringLiteral("\r\n"));
    }
}

TEST_F(ObjectNames, ResolutionErrorsPassOnToTheCaller)
{
    run(*session, QStringLiteral("select 1 from dual")); // the session works
    session->LogOff();
    TStringList lines;
    bool isQuery = false;
    QString owner, object, sub, link;
    EXPECT_THROW(GetObjectDescription(*session, QStringLiteral("emp"), false, true, lines, isQuery,
                     owner, object, sub, link),
        std::exception);
    EXPECT_EQ(lines.Count(), 0);
}
