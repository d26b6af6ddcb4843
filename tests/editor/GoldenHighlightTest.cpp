// Highlighted SQL compared with golden files of attribute runs (see golden/highlight/README.md).
#include "HighlightTestSupport.h"

#include "editor/SQLHighlighting.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace qd {
namespace {

QString loadSql(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

TEST(HighlightGolden, EverySqlCaseMatchesItsAttributeRuns)
{
    const QStringList cases
        = QDir(test::goldenDir()).entryList({ QStringLiteral("*.sql") }, QDir::Files, QDir::Name);
    ASSERT_GE(cases.size(), 6);
    for (const QString &name : cases) {
        SCOPED_TRACE(name.toStdString());
        test::HighlightedDocument doc;
        TSQLHighlighting sql;
        sql.AddKeywords(BuiltInSQLKeywords());
        sql.AttachTo(doc.Host);
        test::setText(doc, loadSql(QDir(test::goldenDir()).filePath(name)));
        doc.Host.HighlightAll();
        doc.Check();
        const QString runs = test::attributeRuns(doc);
        test::expectGolden(QString(name).replace(QStringLiteral(".sql"), QStringLiteral(".txt")), runs);

        // Typing the same text key by key ends with the same look.
        test::HighlightedDocument typed;
        TSQLHighlighting sql2;
        sql2.AddKeywords(BuiltInSQLKeywords());
        sql2.AttachTo(typed.Host);
        const QString text = doc.Text();
        typed.SetSelStart(0);
        for (QChar c : text) {
            if (c == u'\n')
                continue; // the CR before it made the break
            typed.ReplaceSel(QString(c));
        }
        typed.Check();
        EXPECT_EQ(test::attributeRuns(typed), runs);
    }
}

} // namespace
} // namespace qd
