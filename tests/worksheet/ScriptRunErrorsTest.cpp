// Server errors of a run: where they are listed in the editor, how "ContinueOnError" decides
// whether the run goes on, errors that always end a run, and the transaction commands.
#include "RunnerTestSupport.h"

#include "oracle/ScreenServices.h"

#include <QTemporaryDir>

using namespace qd;
using namespace qd::test;

using ScriptRunErrors = RunnerFixture;

TEST_F(ScriptRunErrors, ErrorIsListedAtItsEditorLineAndColumn)
{
    // The statement starts on editor line 10; its third line has the unknown column at 5.
    QStringList text;
    for (int i = 0; i < 9; ++i)
        text << QStringLiteral("prompt line %1").arg(i + 1);
    text << QStringLiteral("select 1,") << QStringLiteral("  2,")
         << QStringLiteral("    nosuchcol from dual;");
    run(text.join(u'\n'));
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors[0].Text.startsWith(QStringLiteral("12:5 - "))) << host.errors[0].Text.toStdString();
    EXPECT_EQ(host.errors[0].Line, 12);
    EXPECT_EQ(host.errors[0].Column, 5);
    // The message is written to the output as well.
    EXPECT_TRUE(host.output.contains(host.errors[0].Text.mid(7)));
}

TEST_F(ScriptRunErrors, StatementBehindACommentClosedMidLineCountsTheCommentsColumns)
{
    run(QStringLiteral("prompt first\n"
                       "/* note */ select nosuchcol from dual;\n"
                       "select 1,\n"
                       "  nosuchcol2 from dual;"));
    ASSERT_EQ(host.errors.size(), 2);
    // "nosuchcol" stands at column 19 of editor line 2.
    EXPECT_EQ(host.errors[0].Line, 2);
    EXPECT_EQ(host.errors[0].Column, 19);
    // On a later line of a statement only the server's column counts.
    EXPECT_EQ(host.errors[1].Line, 4);
    EXPECT_EQ(host.errors[1].Column, 3);
}

TEST_F(ScriptRunErrors, StatementOfANestedScriptIsListedAtTheCallingLine)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile nested(dir.filePath(QStringLiteral("inner.sql")));
    ASSERT_TRUE(nested.open(QIODevice::WriteOnly));
    nested.write("prompt inside\nselect nosuchcol\n  from dual;\n");
    nested.close();
    host.state.ScriptDir = dir.path();
    run(QStringLiteral("prompt outside\n"
                       "\n"
                       "@") + dir.filePath(QStringLiteral("inner.sql")) + QStringLiteral("\nprompt after"));
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_EQ(host.errors[0].Line, 3);
    EXPECT_EQ(host.errors[0].Column, 1);
    EXPECT_TRUE(host.output.contains(QStringLiteral("inside")));
    EXPECT_TRUE(host.output.contains(QStringLiteral("after")));
}

TEST_F(ScriptRunErrors, ContinueOnErrorDecidesWhetherTheRunGoesOn)
{
    struct Case {
        bool continueOnError;
        bool thirdRuns;
        bool errorBox;
    };
    for (const Case c : { Case { false, true, false }, Case { true, false, true } }) {
        SCOPED_TRACE(c.continueOnError ? "ContinueOnError true" : "ContinueOnError false");
        host = RecordingHost();
        settings.ContinueOnError = c.continueOnError;
        run(QStringLiteral("prompt one\n"
                           "select nosuchcol from dual;\n"
                           "prompt three"));
        EXPECT_EQ(host.errors.size(), 1);
        EXPECT_EQ(host.output.contains(QStringLiteral("three")), c.thirdRuns);
        EXPECT_EQ(host.calls.contains(QStringLiteral("ShowRunError")), c.errorBox);
        if (c.errorBox) {
            EXPECT_TRUE(host.runError.contains(QStringLiteral("ORA-00904")));
            EXPECT_EQ(host.statuses.last(), QStringLiteral("Error"));
            // The caret goes to the error.
            EXPECT_EQ(host.caretLine, 2);
            EXPECT_EQ(host.caretColumn, 8);
            // Variables and the script directory are kept after an error too.
            EXPECT_EQ(host.saves, 1);
        } else {
            EXPECT_EQ(host.statuses.last(), QStringLiteral("Errors occurred"));
        }
    }
}

TEST_F(ScriptRunErrors, CommandErrorsEndTheRunWhateverTheSetting)
{
    settings.ContinueOnError = false;
    run(QStringLiteral("prompt one\nvariable v\nprompt three"));
    EXPECT_FALSE(host.output.contains(QStringLiteral("three")));
    EXPECT_EQ(host.runError, QStringLiteral("Variable declaration incomplete."));
    // Placed on the failing command's line.
    EXPECT_EQ(host.caretLine, 2);
    EXPECT_EQ(host.caretColumn, 1);
}

TEST_F(ScriptRunErrors, TransactionCommandReportsSuccessOnlyWhenItSucceeded)
{
    QStringList messages;
    ScreenServices services;
    services.message = [&](TMessageKind, const QString &message) { messages << message; };
    InstallScreenServices(services);

    start(QStringLiteral("COMMIT"), 0, 0, true);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(messages, QStringList({ "Commit was successful." }));
    EXPECT_TRUE(host.statuses.contains(QStringLiteral("Performing Commit")));

    messages.clear();
    host = RecordingHost();
    start(QStringLiteral("ROLLBACK"), 0, 0, true);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(messages, QStringList({ "Rollback was successful." }));

    // A failing command is listed, not reported as done.
    messages.clear();
    host = RecordingHost();
    start(QStringLiteral("ROLLBACK TO SAVEPOINT never_set"), 0, 0, true);
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    EXPECT_EQ(host.errors.size(), 1);
    ResetScreenServices();
}

TEST_F(ScriptRunErrors, RunModesPickTheStatementsAtAndAfterTheCaret)
{
    withGrid = false;
    const QString text = QStringLiteral("prompt a\nselect 'b' v from dual;\nprompt c");
    QStringList out = run(text, 1, 1);
    EXPECT_FALSE(out.contains(QStringLiteral("a")));
    EXPECT_TRUE(out.contains(QStringLiteral("Query returned 1 row.")));
    EXPECT_FALSE(out.contains(QStringLiteral("c")));
    EXPECT_TRUE(host.statuses.contains(QStringLiteral("Executing statement starting at line 2...")));
    host = RecordingHost();
    out = run(text, 2, 1);
    EXPECT_FALSE(out.contains(QStringLiteral("a")));
    EXPECT_TRUE(out.contains(QStringLiteral("c")));
    EXPECT_TRUE(host.statuses.contains(
        QStringLiteral("Executing all statements starting at or after line 2...")));
}
