// Highlighting kept up to date through random edits ends where highlighting the same text from
// scratch does.
#include "HighlightTestSupport.h"

#include "editor/SQLHighlighting.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace qd {
namespace {

QString freshRuns(const QString &text)
{
    test::HighlightedDocument doc;
    TSQLHighlighting sql;
    sql.AddKeywords(BuiltInSQLKeywords());
    sql.AttachTo(doc.Host);
    doc.BeginUpdate();
    test::setText(doc, text);
    doc.EndUpdate();
    doc.Host.Rehighlight();
    doc.Host.HighlightAll();
    return test::attributeRuns(doc);
}

TEST(IncrementalHighlight, RandomEditsEndAsHighlightingFromScratch)
{
    const char *const pieces[] = { "select ", "from ", "'", "--", "/*", "*/", "\r", "12", " ", "x",
        ".", "where", "\r\n", "$", "-5", "'a\rb'", "end;" };
    QRandomGenerator rng(4242);
    for (int run = 0; run < 20; ++run) {
        test::HighlightedDocument doc;
        TSQLHighlighting sql;
        sql.AddKeywords(BuiltInSQLKeywords());
        sql.AttachTo(doc.Host);
        for (int step = 0; step < 60; ++step) {
            const qint64 length = doc.TextLength();
            const qint64 at = rng.bounded(int(length) + 1);
            const int kind = int(rng.bounded(10));
            if (kind < 6) {
                doc.SetSelStart(at);
                doc.ReplaceSel(QString::fromLatin1(pieces[rng.bounded(int(std::size(pieces)))]));
            } else if (kind < 8 && length > 0) {
                const qint64 to = qMin(length, at + 1 + rng.bounded(8));
                test::replace(doc, at, to, QString());
            } else if (kind == 8 && doc.CanUndo()) {
                doc.Undo();
            } else {
                // Several edits inside one update: highlighting waits for the background.
                doc.BeginUpdate();
                doc.SetSelStart(at);
                doc.ReplaceSel(QStringLiteral("/* x\r"));
                doc.SetSelStart(0);
                doc.ReplaceSel(QStringLiteral("'"));
                doc.EndUpdate();
                doc.Host.HighlightAll();
            }
            doc.Check();
            ASSERT_EQ(test::attributeRuns(doc), freshRuns(doc.Text()))
                << "run " << run << " step " << step;
        }
    }
}

} // namespace
} // namespace qd
