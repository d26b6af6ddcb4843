// The SQL editor: its set-up, keyword lists, comment commands and the shipped keyword files.
#include "HighlightTestSupport.h"

#include "editor/HighlightHost.h"
#include "editor/SQLEditor.h"

#include "common/TestSupport.h"

#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

using namespace qd;

namespace {

QStringList readList(const QString &name)
{
    QFile file(qd::test::testsSourceDirectory() + QStringLiteral("/../data/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The foreground a highlighting attribute gives at a position of the editor's text.
qint32 colourAt(TSQLEditor &editor, qint64 position)
{
    editor.Highlighting().HighlightAll();
    const TParagraphsList &pars = editor.Paragraphs();
    const qint64 k = pars.ParagraphOfPos(position);
    return hl::AttrAt(pars.At(k), position - pars.StartPos(k))->TextColor();
}

} // namespace

TEST(SQLEditor, IsSetUpForSQL)
{
    TSQLEditor editor;
    EXPECT_FALSE(editor.EnableHotKeys());
    EXPECT_TRUE(editor.Options() & cmoNoDefaultPopup);
    EXPECT_EQ(editor.Separators(), SQLEditorSeparators());
    EXPECT_EQ(editor.Highlighter(), &editor.SQLHighlighter());
    EXPECT_EQ(editor.SQLHighlighter().SubHighlighter(), &editor.NumberHighlighter());
    EXPECT_EQ(editor.SQLHighlighter().StartStopKeys().Count(), 3);
}

TEST(SQLEditor, AddKeywordsColoursThemAsWholeWordsInAnyCase)
{
    TSQLEditor editor;
    editor.SetTextBuf(QStringLiteral("select nvl(x, 1) from dual"));
    editor.AddKeywords({ QStringLiteral("SELECT"), QStringLiteral("FROM") });
    editor.AddKeywords({ QStringLiteral("NVL") }, 0x00FF00);
    EXPECT_EQ(editor.SQLHighlighter().Keywords().Count(), 3);
    EXPECT_EQ(colourAt(editor, 0), clSQLKeyword);
    EXPECT_EQ(colourAt(editor, editor.Text().indexOf(QStringLiteral("from"))), clSQLKeyword);
    // "(" is no separator of the highlighter: nvl( is not a whole word.
    EXPECT_NE(colourAt(editor, editor.Text().indexOf(QStringLiteral("nvl"))), 0x00FF00);
}

TEST(SQLEditor, CommentAndUncommentPutAndTakeDoubleHyphens)
{
    TSQLEditor editor;
    editor.SetTextBuf(QStringLiteral("select 1\r\nfrom dual"));
    editor.SelectAll();
    editor.CommentSelection();
    EXPECT_EQ(editor.Text(), QStringLiteral("--select 1\r\n--from dual"));
    editor.UncommentSelection();
    EXPECT_EQ(editor.Text(), QStringLiteral("select 1\r\nfrom dual"));
}

TEST(SQLEditor, TheShippedKeywordFilesHoldUniqueUpperCaseWords)
{
    for (const char *name : { "SQLKeywords.txt", "PLSQLKeywords.txt" }) {
        const QStringList words = readList(QString::fromLatin1(name));
        ASSERT_GT(words.size(), 100) << name;
        QSet<QString> seen;
        for (const QString &word : words) {
            EXPECT_FALSE(word.isEmpty()) << name;
            EXPECT_EQ(word, word.toUpper()) << name;
            EXPECT_EQ(word.trimmed(), word) << name;
            EXPECT_FALSE(seen.contains(word)) << name << " " << word.toStdString();
            seen.insert(word);
        }
    }
    const QStringList sql = readList(QStringLiteral("SQLKeywords.txt"));
    for (const char *word : { "SELECT", "FROM", "WHERE", "NVL", "DECODE", "TO_CHAR", "SYSDATE" })
        EXPECT_TRUE(sql.contains(QString::fromLatin1(word))) << word;
    const QStringList plsql = readList(QStringLiteral("PLSQLKeywords.txt"));
    for (const char *word : { "BEGIN", "END", "PRAGMA", "EXCEPTION", "LOOP", "ELSIF" })
        EXPECT_TRUE(plsql.contains(QString::fromLatin1(word))) << word;
    // hints.txt: a name, a description and a syntax line for each hint.
    const QStringList hints = readList(QStringLiteral("hints.txt"));
    ASSERT_EQ(hints.size() % 3, 0);
    ASSERT_GT(hints.size(), 30);
    for (int i = 0; i < hints.size(); i += 3) {
        EXPECT_EQ(hints[i], hints[i].toUpper());
        EXPECT_TRUE(hints[i + 2].startsWith(QStringLiteral("/*+ ") + hints[i])) << hints[i].toStdString();
    }
}
