// The linear keyword matcher against the direct transcription of the keyword searches, over
// generated text and keyword lists and over real SQL, down to the attribute records.
#include "HighlightTestSupport.h"
#include "HighlightTranscription.h"

#include "editor/SQLHighlighting.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace qd {
namespace {

const char *const Words[] = { "A", "B", "AB", "BA", "ABA", "A B", "A.B", "B.A", "A A", ".A", "A.",
    "x", "ab", "aB", "SELECT", "FROM", "from", "END IF", "END", "IF", "A,A", "", "é", "É", "\x05" };
const char *const Pieces[] = { "A", "B", "a", "b", "AB", "ab", " ", " ", ".", ",", ";", "\t", "x",
    "SELECT", "select", "from", "FROM", "12", "'", "--", "/*", "*/", "\r", "A A", "(", "END IF",
    "end", "if", "é", "É", "\x05" };

QString piece(QRandomGenerator &rng, const char *const *table, int size)
{
    return QString::fromUtf8(table[rng.bounded(size)]);
}

void randomList(QRandomGenerator &rng, TKeywordList &list)
{
    list.Clear();
    list.SetCaseMode(rng.bounded(2) ? cmuAnsi : cmuAscii);
    const int count = 1 + int(rng.bounded(12));
    list.BeginUpdate();
    for (int i = 0; i < count; ++i) {
        TKeywordInfo info;
        info.Options = quint8(rng.bounded(4));
        // Mostly whole words, as real lists are.
        if (rng.bounded(3))
            info.Options |= koWholeWords;
        info.Foreground = int(rng.bounded(5));
        const int priorities[] = { 0, 10, 20, 32767 };
        info.Priority = qint16(priorities[rng.bounded(4)]);
        info.Scope = qint16(rng.bounded(3) == 0 ? 1 : 0);
        info.ContextNum = qint32(rng.bounded(2));
        list.Add(piece(rng, Words, int(std::size(Words))), info);
    }
    list.EndUpdate();
}

std::string describe(const TKeywordList &list, const QString &text)
{
    QString out = QStringLiteral("list:");
    for (qsizetype i = 0; i < list.Count(); ++i)
        out += QStringLiteral(" [%1 o%2 p%3 s%4]").arg(list.Strings(i)).arg(list.Info(i).Options).arg(list.Info(i).Priority).arg(list.Info(i).Scope);
    out += QStringLiteral(" text:");
    for (QChar c : text)
        out += c.unicode() < 32 ? QStringLiteral("\\%1").arg(int(c.unicode())) : QString(c);
    return out.toStdString();
}

QString randomText(QRandomGenerator &rng, int pieces)
{
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += piece(rng, Pieces, int(std::size(Pieces)));
    return text;
}

TSeparatorSet randomSeparators(QRandomGenerator &rng)
{
    const QString sets[] = { QStringLiteral("\t ,.;"), QStringLiteral(" ,"), QStringLiteral(" .;'("),
        QStringLiteral(" a.") };
    return TSeparatorSet(sets[rng.bounded(4)]);
}

TEST(KeywordDifferential, ClaimingMatchesTheTranscribedEditorPass)
{
    QRandomGenerator rng(20261211);
    TKeywordMatcher matcher;
    for (int round = 0; round < 3000; ++round) {
        TKeywordList list;
        randomList(rng, list);
        const TSeparatorSet seps = randomSeparators(rng);
        QString text = randomText(rng, 1 + int(rng.bounded(40)));
        text.remove(QLatin1Char('\r'));
        // Some positions lie in ranges and are masked.
        for (int i = 0; i < text.size(); ++i)
            if (rng.bounded(12) == 0)
                text[i] = QChar(char16_t(5));
        const QString upper = UpperCaseText(text, list.CaseMode());
        const std::vector<TKeywordHit> expected = test::transcribedClaiming(list, seps, text, upper);
        matcher.Update(list, seps);
        QString t = text;
        QString u = upper;
        std::vector<TKeywordHit> actual;
        matcher.CollectClaiming(t, u, actual);
        ASSERT_EQ(actual, expected) << "round " << round << " " << describe(list, text);
    }
}

TEST(KeywordDifferential, IndependentSearchMatchesTheTranscriptionInAnyRange)
{
    QRandomGenerator rng(7);
    TKeywordMatcher matcher;
    int fastRounds = 0;
    for (int round = 0; round < 3000; ++round) {
        TKeywordList list;
        randomList(rng, list);
        const TSeparatorSet seps = randomSeparators(rng);
        QString text = randomText(rng, 1 + int(rng.bounded(40)));
        text.remove(QLatin1Char('\r'));
        const QString upper = UpperCaseText(text, list.CaseMode());
        const qint64 length = text.size();
        const qint64 from = rng.bounded(int(length) + 1);
        const qint64 to = from + rng.bounded(int(length - from) + 1);
        const qint64 sb = rng.bounded(2) ? 0 : qMax<qint64>(0, from - list.Longest() - 1);
        const qint64 se = rng.bounded(2) ? length : qMin<qint64>(length, to + list.Longest());
        const std::vector<TKeywordHit> expected
            = test::transcribedIndependent(list, seps, text, upper, sb, se, from, to);
        matcher.Update(list, seps);
        fastRounds += matcher.AllFast() ? 1 : 0;
        std::vector<TKeywordHit> actual;
        matcher.CollectIndependent(text, upper, qint32(sb), qint32(se), from, to, actual);
        ASSERT_EQ(actual, expected) << "round " << round << " " << describe(list, text);
        if (matcher.AllFast()) {
            // Tokens upper-cased as they are looked up.
            matcher.CollectIndependent(text, QStringView(), qint32(sb), qint32(se), from, to, actual);
            ASSERT_EQ(actual, expected) << "round " << round << " " << describe(list, text);
        }
    }
    // Both the hashed and the plain ways were exercised.
    EXPECT_GT(fastRounds, 100);
    EXPECT_LT(fastRounds, 2900);
}

// Highlights text with the product's highlighter and with the transcribed one and compares
// every attribute record.
void expectSameRecords(const QString &text, const QStringList &keywords, int round)
{
    test::HighlightedDocument product;
    test::HighlightedDocument reference;
    TSQLHighlighting sql;
    sql.AddKeywords(keywords);
    sql.AttachTo(product.Host);
    test::TranscribedExtHighlighter transcribed;
    transcribed.SetSeparators(sql.Highlighter().Separators());
    TExtStartStopList &keys = transcribed.StartStopKeys();
    for (qsizetype i = 0; i < sql.Highlighter().StartStopKeys().Count(); ++i) {
        const TStartStopKey &k = sql.Highlighter().StartStopKeys().Item(i);
        keys.AddExt(k.StartKey, k.StopKey, k.Options, k.Style, k.ContextNum, k.Scope, k.Priority,
            k.Tag, k.Background, k.Foreground, k.EndAtParaEnd);
    }
    transcribed.Keywords().Assign(sql.Highlighter().Keywords());
    transcribed.SetSubHighlighter(&sql.Numbers());
    reference.Host.SetSeparators(SQLEditorSeparators());
    reference.Host.SetHighlighter(&transcribed);

    test::setText(product, text);
    test::setText(reference, text);
    product.Host.HighlightAll();
    reference.Host.HighlightAll();
    ASSERT_EQ(test::recordDump(product), test::recordDump(reference)) << "round " << round;

    // The hook over part of a paragraph, as a caller may ask.
    if (product.TextLength() > 4) {
        const qint64 a = product.TextLength() / 3;
        const qint64 b = 2 * product.TextLength() / 3;
        TCodeNavigator pa(&product), pb(&product), ra(&reference), rb(&reference);
        pa.SetPos(a);
        pb.SetPos(b);
        ra.SetPos(a);
        rb.SetPos(b);
        product.Host.Rehighlight();
        reference.Host.Rehighlight();
        sql.Highlighter().ApplyKeywords(pa, pb, 0);
        transcribed.ApplyKeywords(ra, rb, 0);
        ASSERT_EQ(test::recordDump(product), test::recordDump(reference)) << "round " << round;
    }
}

TEST(KeywordDifferential, GeneratedSqlGetsTheSameRecordsAsTheTranscription)
{
    QRandomGenerator rng(99);
    for (int round = 0; round < 300; ++round) {
        QStringList keywords = BuiltInSQLKeywords();
        // Multi-word and overlapping entries and repeats, as keyword files may hold.
        keywords << QStringLiteral("END IF") << QStringLiteral("ORDER BY") << QStringLiteral("A A")
                 << QStringLiteral("SELECT") << QStringLiteral("A") << QStringLiteral(".A")
                 << QStringLiteral("DBMS_OUTPUT.PUT_LINE");
        expectSameRecords(randomText(rng, 1 + int(rng.bounded(120))), keywords, round);
    }
}

TEST(KeywordDifferential, RealSqlGetsTheSameRecordsAsTheTranscription)
{
    const QStringList cases
        = QDir(test::goldenDir()).entryList({ QStringLiteral("*.sql") }, QDir::Files, QDir::Name);
    ASSERT_FALSE(cases.isEmpty());
    int round = 0;
    for (const QString &name : cases) {
        QFile file(QDir(test::goldenDir()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(file.readAll());
        text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
        expectSameRecords(text, BuiltInSQLKeywords(), round++);
    }
}

} // namespace
} // namespace qd
