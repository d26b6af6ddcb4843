#include "oracle_data/MessageTranslation.h"
#include "EditBackTestSupport.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

TEST(MessageTranslation, ConstraintNameIsThePartAfterTheOwner)
{
    struct {
        int code;
        const char *message;
        const char *constraint;
    } const cases[] = {
        { 2291, "ORA-02291: integrity constraint (SCOTT.FK_DEPT) violated - parent key not found",
            "FK_DEPT" },
        { 1, "ORA-00001: unique constraint (DEMO.PK_EMP) violated", "PK_EMP" },
        { 2290, "ORA-02290: check constraint (note) violated (A.B.C)", "B.C" },
        { 2292, "ORA-02292: integrity constraint (FK) violated", "" },
        { 942, "ORA-00942: table or view (X.Y) does not exist", "" },
        { 1, "ORA-00001: unique constraint (DEMO.PK_EMP", "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(ConstraintNameFromMessage(c.code, QString::fromUtf8(c.message)),
            QString::fromUtf8(c.constraint));
    }
}

TEST(MessageTranslation, ApplicationErrorLosesItsStackAndTheHookHasTheLastWord)
{
    const QString raised = QStringLiteral("ORA-20001: text\nORA-06512: at line 3");
    EXPECT_EQ(
        TranslateMessage(nullptr, true, u'U', 20001, raised), QStringLiteral("ORA-20001: text"));
    // Outside the application range the stack stays.
    EXPECT_EQ(TranslateMessage(nullptr, true, u'U', 6502, raised), raised);

    int seenCode = 0;
    QString seenConstraint;
    QChar seenAction;
    const QString result = TranslateMessage(nullptr, false, u'D', 2292,
        QStringLiteral("ORA-02292: integrity constraint (DEMO.FK_EMP_DEPT) violated"),
        [&](int code, const QString &constraint, QChar action, QString &msg) {
            seenCode = code;
            seenConstraint = constraint;
            seenAction = action;
            msg = QStringLiteral("still employed: ") + msg;
        });
    EXPECT_EQ(seenCode, 2292);
    EXPECT_EQ(seenConstraint, QStringLiteral("FK_EMP_DEPT"));
    EXPECT_EQ(seenAction, u'D');
    EXPECT_TRUE(result.startsWith(QStringLiteral("still employed: ORA-02292")));
}

class MessageTable : public test::StandinSessionFixture {
protected:
    void SetUp() override
    {
        StandinSessionFixture::SetUp();
        runIgnoringErrors(QStringLiteral("drop table EB_MESSAGES"));
        run(QStringLiteral("create table EB_MESSAGES (constraint_name varchar2(30), "
                           "actions varchar2(10), parent_child varchar2(1), "
                           "error_message varchar2(200))"));
        const char *const rows[][4] = {
            { "PK_EMP", "U", "*", "An employee with this number exists (update)" },
            { "PK_EMP", "*", "*", "An employee with this number exists" },
            { "PK_EMP", "*", "*", "A later catch-all row" },
            { "FK_EMP_DEPT", "iu", "c", "No such department" },
            { "FK_EMP_DEPT", "D", "P", "The department still has employees" },
            { "X'Y", "*", "*", "Matched a quoted name" },
        };
        for (const auto &r : rows) {
            TOracleQuery q;
            q.SetSession(session.get());
            q.SQL().SetText(QStringLiteral("insert into EB_MESSAGES values (:c, :a, :p, :m)"));
            const char *names[] = { "c", "a", "p", "m" };
            for (int i = 0; i < 4; ++i) {
                q.DeclareVariable(QString::fromLatin1(names[i]), SQLT_STR);
                q.SetVariable(QString::fromLatin1(names[i]), QString::fromUtf8(r[i]));
            }
            q.Execute();
        }
        session->Commit();
        session->SetMessageTable(QStringLiteral("EB_MESSAGES"));
    }

    // The server's own error for a statement.
    EOracleError serverError(const QString &sql)
    {
        try {
            run(sql);
        } catch (const EOracleError &e) {
            session->Rollback();
            return e;
        }
        session->Rollback();
        ADD_FAILURE() << "no error from " << sql.toStdString();
        return EOracleError(QString(), 0);
    }
};

TEST_F(MessageTable, ConstraintErrorsTakeTheTableTextForTheirAction)
{
    const EOracleError duplicate = serverError(
        QStringLiteral("insert into emp (empno, ename, deptno) values (101, 'COPY', 10)"));
    ASSERT_EQ(duplicate.ErrorCode(), 1);
    const EOracleError noParent = serverError(
        QStringLiteral("insert into emp (empno, ename, deptno) values (9001, 'NEW', 99)"));
    ASSERT_EQ(noParent.ErrorCode(), 2291);
    const EOracleError hasChildren
        = serverError(QStringLiteral("delete from dept where deptno = 10"));
    ASSERT_EQ(hasChildren.ErrorCode(), 2292);

    struct {
        const EOracleError *error;
        QChar action;
        const char *expected; // null: the server's message stays
    } const cases[] = {
        { &duplicate, u'U', "An employee with this number exists (update)" },
        { &duplicate, u'I', "An employee with this number exists" },
        { &noParent, u'I', "No such department" },
        { &noParent, u'D', nullptr }, // no row for this action
        { &hasChildren, u'D', "The department still has employees" },
        { &hasChildren, u'U', nullptr },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.error->Message().toStdString() + " / " + QString(c.action).toStdString());
        const QString msg = TranslateMessage(
            session.get(), true, c.action, c.error->ErrorCode(), c.error->Message());
        EXPECT_EQ(msg, c.expected ? QString::fromUtf8(c.expected) : c.error->Message());
    }
    // Without UseMessageTable the table is not read.
    EXPECT_EQ(
        TranslateMessage(session.get(), false, u'I', 1, duplicate.Message()), duplicate.Message());
}

TEST_F(MessageTable, ConstraintNameTravelsAsABindVariable)
{
    ASSERT_TRUE(test::StandinHooks::get().complete());
    clearTrace();
    // A name with a quote in it neither breaks the statement nor changes what it asks.
    const QString msg = QStringLiteral("ORA-00001: unique constraint (DEMO.X'Y) violated");
    EXPECT_EQ(TranslateMessage(session.get(), true, u'I', 1, msg),
        QStringLiteral("Matched a quoted name"));
    const QString injected
        = QStringLiteral("ORA-00001: unique constraint (DEMO.Z' or '1'='1) violated");
    EXPECT_EQ(TranslateMessage(session.get(), true, u'I', 1, injected), injected);
    const QStringList texts = trace();
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_TRUE(texts.last().contains(QStringLiteral("where constraint_name = :constraint_name")))
        << texts.last().toStdString();
}

} // namespace
} // namespace qd
