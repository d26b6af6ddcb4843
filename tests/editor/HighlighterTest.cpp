// Key lists, the extended highlighter's rules, the editor's own passes and laying attributes.
#include "HighlightTestSupport.h"

#include "classlib/ListErrors.h"
#include "editor/CodeMemoCore.h"
#include "editor/ExtHighlighter.h"
#include "editor/NumberHighlighter.h"

#include <gtest/gtest.h>

#include <map>

namespace qd {
namespace {

using test::labelAt;

// --- lists

TEST(KeywordList, PreparationUpperCasesKeysWithoutMatchCaseByTheCaseMode)
{
    TKeywordList list;
    TKeywordInfo noCase;
    TKeywordInfo matchCase;
    matchCase.Options = koMatchCase;
    list.Add(QStringLiteral("élan"), noCase);
    list.Add(QStringLiteral("Café"), matchCase);
    list.Add(QStringLiteral("sel"), noCase);
    EXPECT_EQ(list.Prepared(0), QStringLiteral("éLAN")); // ASCII mode leaves é
    EXPECT_EQ(list.Prepared(1), QStringLiteral("Café"));
    EXPECT_EQ(list.Prepared(2), QStringLiteral("SEL"));
    EXPECT_EQ(list.Longest(), 4);
    EXPECT_TRUE(list.HasNoCaseKeys());
    EXPECT_EQ(list.Info(0).Length, 4);
    list.SetCaseMode(cmuAnsi);
    EXPECT_EQ(list.Prepared(0), QStringLiteral("ÉLAN"));
    EXPECT_EQ(list.Prepared(1), QStringLiteral("Café"));
    list.Delete(0);
    list.Delete(1);
    EXPECT_FALSE(list.HasNoCaseKeys());
    EXPECT_THROW(list.Strings(5), ERangeError);
    EXPECT_THROW(list.Delete(-1), ERangeError);
}

TEST(KeywordList, AssignGivesAPlainSourceScopeAndPriorityZero)
{
    TExtKeywordList ext;
    ext.AddKeyword(QStringLiteral("IF"), koWholeWords, ksBold, -3, 4, 5, 6, -1, 255);
    EXPECT_EQ(ext.Info(0).ContextNum, -3);
    EXPECT_EQ(ext.Info(0).Scope, 4);
    TKeywordList plain;
    plain.Assign(ext);
    EXPECT_EQ(plain.Info(0).Scope, 0);
    EXPECT_EQ(plain.Info(0).Style, ksBold);
    TExtKeywordList back;
    back.Assign(plain);
    EXPECT_EQ(back.Info(0).Priority, 0);
    EXPECT_EQ(back.Strings(0), QStringLiteral("IF"));
}

// A routine that folds accents too: "é" and "e" both become "E".
void foldAccents(QChar *text, qsizetype length)
{
    for (qsizetype i = 0; i < length; ++i) {
        const QString base = text[i].decomposition();
        const QChar c = base.isEmpty() ? text[i] : base.front();
        text[i] = c.toUpper();
    }
}

TEST(UserUpperCase, TheInstalledRoutineServesListsAndHighlightingUntilRemoved)
{
    struct Uninstall {
        ~Uninstall() { SetUserUpperCase(nullptr); }
    } uninstall;
    ASSERT_EQ(UserUpperCase(), nullptr); // nothing in the program installs one
    EXPECT_EQ(UpperCaseText(u"café", cmuUserDefined), QStringLiteral("CAFé")); // as cmuAscii

    SetUserUpperCase(foldAccents);
    EXPECT_EQ(UpperCaseText(u"café", cmuUserDefined), QStringLiteral("CAFE"));
    EXPECT_EQ(UpperCaseText(u"café", cmuAnsi), QStringLiteral("CAFÉ"));
    EXPECT_EQ(UpperChar(QChar(u'é'), cmuUserDefined), QChar(u'E'));

    TExtStartStopList pairs;
    pairs.AddExt(QStringLiteral("«é"), QStringLiteral("»"), 0, 0, 1, 0, 20, 0, -1, 7, false);
    pairs.SetCaseMode(cmuUserDefined);
    EXPECT_EQ(pairs.Item(0).PreparedStart, QStringLiteral("«E"));

    test::HighlightedDocument doc;
    TExtHighlighter h;
    doc.Host.SetHighlighter(&h);
    h.Keywords().AddKeyword(QStringLiteral("CAFE"), koWholeWords, 0, 0, 0, 10, 0, -1, 3);
    h.StartStopKeys().AddExt(QStringLiteral("«é"), QStringLiteral("»"), 0, 0, 1, 0, 20, 0, -1, 7, false);
    const auto highlight = [&](TcmUpperCase mode) {
        h.Keywords().SetCaseMode(mode);
        h.StartStopKeys().SetCaseMode(mode);
        test::setText(doc, QStringLiteral("Café x «E y» z"));
        doc.Host.Rehighlight();
        doc.Host.HighlightAll();
        return QStringList { labelAt(doc, 0), labelAt(doc, 10) };
    };
    EXPECT_EQ(highlight(cmuAnsi), QStringList({ QString(), QString() }));
    EXPECT_EQ(highlight(cmuUserDefined), QStringList({ QStringLiteral("K0/#000003"), QStringLiteral("R0/#000007") }));

    // Finding text without case uses the same routine.
    CodeMemoCore memo;
    memo.SetTextBuf(QStringLiteral("un café noir"));
    memo.SetUpperCaseType(cmuUserDefined);
    ASSERT_TRUE(memo.FindText(QStringLiteral("CAFE"), true, false, false, true));
    EXPECT_EQ(memo.GetSelStart(), 7);
    EXPECT_EQ(memo.SelLength(), -4);

    SetUserUpperCase(nullptr);
    EXPECT_EQ(UpperChar(QChar(u'é'), cmuUserDefined), QChar(u'é'));
    EXPECT_EQ(highlight(cmuUserDefined), QStringList({ QString(), QString() }));
}

TEST(StartStopKeyList, ItemsRecordTheirLengthsCaseAndEarlierItemWithTheSameStart)
{
    TExtStartStopList list;
    list.AddExt(QStringLiteral("rem"), QString(), 0, 0, 1, 0, 20, 0, -1, 1, true);
    list.AddExt(QStringLiteral("<<"), QStringLiteral(">>"), koMatchCase, 0, 1, 0, 20, 0, -1, 1, false);
    list.AddExt(QStringLiteral("REM"), QStringLiteral("x"), 0, 0, 1, 0, 20, 0, -1, 1, false);
    EXPECT_EQ(list.Item(0).PreparedStart, QStringLiteral("REM"));
    EXPECT_EQ(list.Item(0).SameStartIndex, -1);
    EXPECT_EQ(list.Item(2).SameStartIndex, 0);
    EXPECT_EQ(list.LongestStart(), 3);
    EXPECT_EQ(list.LongestStop(), 2); // a line-end range keeps room for the break
    EXPECT_FALSE(list.SeparatorsPrepared());
    list.SetSeparatorsPrepared(true);
    list.AddExt(QStringLiteral("«"), QStringLiteral("»"), 0, 0, 1, 0, 20, 0, -1, 1, false);
    EXPECT_FALSE(list.SeparatorsPrepared());
    list.AddExt(QStringLiteral("ä"), QStringLiteral("ö"), 0, 0, 1, 0, 20, 0, -1, 1, false);
    list.SetCaseMode(cmuAnsi);
    EXPECT_EQ(list.Item(4).PreparedStart, QStringLiteral("Ä"));
    EXPECT_EQ(list.Item(1).PreparedStart, QStringLiteral("<<"));
    EXPECT_THROW(list.Item(9), ERangeError);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.LongestStart(), 0);
}

TEST(SeparatorSet, ControlCodesAreAlwaysSeparatorsAndReadBackLeavesThemOut)
{
    TCustomExtHighlighter h;
    EXPECT_EQ(h.Separators(), QStringLiteral(" ,.;"));
    EXPECT_TRUE(h.SeparatorSet().Contains(u'\t'));
    h.SetSeparators(QString());
    EXPECT_EQ(h.Separators(), QString());
    EXPECT_TRUE(h.SeparatorSet().Contains(5));
    EXPECT_TRUE(h.SeparatorSet().Contains(26));
    EXPECT_FALSE(h.SeparatorSet().Contains(u' '));
    h.SetSeparators(QStringLiteral(";a;"));
    EXPECT_EQ(h.Separators(), QStringLiteral(";a"));
    EXPECT_FALSE(h.SeparatorSet().Contains(u'Ā'));
}

// --- laying attributes

TEST(SetAttributeRange, AtTheEndOfTheTextNoClosingRecordAndOverParagraphsOneSharedStart)
{
    CodeDocument doc;
    test::setText(doc, QStringLiteral("abcdef\rghij\rklmn\rop"));
    TAttrRecord rec = hl::Pushed(TAttrRecord(), 3, 0, -1, 255, 0, 0);
    TCodeNavigator a(&doc), b(&doc);
    a.SetPos(doc.TextLength() - 1);
    b.SetPos(doc.TextLength());
    SetAttributeRange(doc, a, b, false, true, rec);
    const TParagraph *last = doc.Paragraphs().At(3);
    EXPECT_EQ(last->AttrCount, 1);

    a.SetPos(2); // in "abcdef"
    b.SetPos(doc.ParagraphStart(2) + 2); // in "klmn"
    SetAttributeRange(doc, b, a, true, true, rec); // either order
    const TParagraphsList &pars = doc.Paragraphs();
    EXPECT_EQ(pars.At(1)->StartAttr, pars.At(2)->StartAttr);
    EXPECT_EQ(pars.At(1)->StartAttr->RefCount(), 2);
    EXPECT_EQ(pars.At(0)->AttrCount, 1);
    EXPECT_EQ(pars.At(0)->Attrs[0].Offset(), 2);
    ASSERT_EQ(pars.At(2)->AttrCount, 1); // the old look is put back after the range
    EXPECT_EQ(pars.At(2)->Attrs[0].Offset(), 2);
    EXPECT_FALSE(hl::IsLevelled(pars.At(2)->Attrs[0]));
    EXPECT_FALSE(pars.At(1)->Formatted);
    EXPECT_LE(doc.DirtyFirst(), 0);
    EXPECT_GE(doc.DirtyLast(), 2);
    doc.Check();
}

TEST(SetAttributeRange, WithoutStyleNothingStartsUnlessTheEndCarriesAStyle)
{
    CodeDocument doc;
    test::setText(doc, QStringLiteral("abcdef"));
    TAttrRecord rec = hl::Pushed(TAttrRecord(), 3, 0, -1, 255, 0, 0);
    TCodeNavigator a(&doc), b(&doc);
    a.SetPos(1);
    b.SetPos(3);
    SetAttributeRange(doc, a, b, false, false, rec);
    EXPECT_EQ(doc.Paragraphs().At(0)->AttrCount, 0);
    a.SetPos(2);
    b.SetPos(4);
    SetAttributeRange(doc, a, b, false, true, rec);
    a.SetPos(1);
    b.SetPos(3);
    SetAttributeRange(doc, a, b, false, false, rec);
    const TParagraph *p = doc.Paragraphs().At(0);
    ASSERT_GE(p->AttrCount, 1);
    EXPECT_EQ(p->Attrs[0].Offset(), 1);
    EXPECT_EQ(hl::Flags(p->Attrs[0]), 0);
}

// --- the extended highlighter's rules

class ExtRules : public ::testing::Test {
protected:
    ExtRules() { doc.Host.SetHighlighter(&h); }
    void load(const QString &text)
    {
        test::setText(doc, text);
        doc.Host.Rehighlight();
        doc.Host.HighlightAll();
        doc.Check();
    }
    QString at(const QString &needle, int from = 0)
    {
        return labelAt(doc, doc.Text().indexOf(needle, from));
    }
    test::HighlightedDocument doc;
    TExtHighlighter h;
};

TEST_F(ExtRules, ScopeAndPriorityDecideWhereKeywordsApply)
{
    h.StartStopKeys().AddExt(QStringLiteral("{"), QStringLiteral("}"), 0, 0, 1, 0, 20, 0, -1, 7, false);
    h.Keywords().AddKeyword(QStringLiteral("LOW"), koWholeWords, 0, 0, 0, 10, 0, -1, 1);
    h.Keywords().AddKeyword(QStringLiteral("ANY"), koWholeWords, 0, 0, 0, 32767, 0, -1, 2);
    h.Keywords().AddKeyword(QStringLiteral("CTX"), koWholeWords, 0, 0, 1, 5, 0, -1, 3);
    h.Keywords().AddKeyword(QStringLiteral("HIGH"), koWholeWords, 0, 0, 0, 30, 0, -1, 4);
    load(QStringLiteral("low any ctx high { low any ctx high }"));
    EXPECT_EQ(at(QStringLiteral("low")), QStringLiteral("K0/#000001"));
    EXPECT_EQ(at(QStringLiteral("any")), QStringLiteral("K1/#000002"));
    EXPECT_EQ(at(QStringLiteral("ctx")), QString()); // scope 1 is not the plain text's context
    EXPECT_EQ(at(QStringLiteral("high")), QStringLiteral("K3/#000004"));
    const int inside = int(doc.Text().indexOf(u'{'));
    EXPECT_EQ(at(QStringLiteral("low"), inside), QStringLiteral("R0/#000007"));
    EXPECT_EQ(at(QStringLiteral("any"), inside), QStringLiteral("R0.K1/#000002"));
    EXPECT_EQ(at(QStringLiteral("ctx"), inside), QStringLiteral("R0.K2/#000003"));
    EXPECT_EQ(at(QStringLiteral("high"), inside), QStringLiteral("R0.K3/#000004"));
    EXPECT_EQ(at(QStringLiteral("}")), QStringLiteral("R0/#000007"));
}

TEST_F(ExtRules, WholeWordStartKeysAndSeparatorEndedRangesAndContinuation)
{
    // REM to the line's end as a whole word; a "@" range ending at the first separator; "<<"
    // ">>" continued after its stop by a second "<<" item.
    h.StartStopKeys().AddExt(QStringLiteral("REM"), QString(), koWholeWords, 0, 1, 0, 20, 0, -1, 1, true);
    h.StartStopKeys().AddExt(QStringLiteral("@"), QStringLiteral("?"), 0, 0, 1, 32767, 32767, 0, -1, 2, false);
    h.StartStopKeys().AddExt(QStringLiteral("<<"), QStringLiteral(">>"), 0, 0, 1, 0, 20, 0, -1, 3, false);
    h.StartStopKeys().AddExt(QStringLiteral("<<"), QStringLiteral(";"), 0, 0, 1, 0, 20, 0, -1, 4, false);
    load(QStringLiteral("xrem no\rrem yes\r@abc def\ra <<b>> c; d"));
    EXPECT_EQ(labelAt(doc, 1), QString());
    EXPECT_EQ(at(QStringLiteral("yes")), QStringLiteral("R0/#000001"));
    EXPECT_EQ(at(QStringLiteral("abc")), QStringLiteral("R1/#000002"));
    EXPECT_EQ(at(QStringLiteral(" def")), QString());
    EXPECT_EQ(at(QStringLiteral("b>>")), QStringLiteral("R2/#000003"));
    EXPECT_EQ(at(QStringLiteral(" c;")), QStringLiteral("R3/#000004"));
    EXPECT_EQ(at(QStringLiteral(" d")), QString());
}

TEST_F(ExtRules, EventsMayRejectHitsAndTheSubHighlighterNumbersItsItemsAfter)
{
    h.StartStopKeys().AddExt(QStringLiteral("("), QStringLiteral(")"), 0, 0, 1, 0, 20, 0, -1, 1, false);
    h.Keywords().AddKeyword(QStringLiteral("KEEP"), koWholeWords, 0, 0, 0, 10, 0, -1, 5);
    h.Keywords().AddKeyword(QStringLiteral("DROP"), koWholeWords, 0, 0, 0, 10, 0, -1, 5);
    TExtHighlighter sub;
    sub.StartStopKeys().AddExt(QStringLiteral("["), QStringLiteral("]"), 0, 0, 1, 0, 20, 0, -1, 6, false);
    h.SetSubHighlighter(&sub);
    std::vector<int> stops;
    h.OnKeyword = [](TCustomExtHighlighter *, TCodeNavigator &, TCodeNavigator *, int index,
                      bool &accept) { accept = index != 1; };
    h.OnStop = [&](TCustomExtHighlighter *, TCodeNavigator &, TCodeNavigator *, int index,
                   bool &) { stops.push_back(index); };
    load(QStringLiteral("keep drop (x) [y] z"));
    EXPECT_EQ(at(QStringLiteral("keep")), QStringLiteral("K0/#000005"));
    EXPECT_EQ(at(QStringLiteral("drop")), QString());
    EXPECT_EQ(at(QStringLiteral("x")), QStringLiteral("R0/#000001"));
    EXPECT_EQ(at(QStringLiteral("y")), QStringLiteral("R1/#000006")); // after the parent's one item
    EXPECT_EQ(at(QStringLiteral("z")), QString());
    ASSERT_FALSE(stops.empty());
    EXPECT_EQ(std::count(stops.begin(), stops.end(), 0), qsizetype(stops.size()));

    // A sub-highlighter that goes away is forgotten; a highlighter that goes away leaves editors.
    {
        TExtHighlighter gone;
        h.SetSubHighlighter(&gone);
    }
    EXPECT_EQ(h.SubHighlighter(), nullptr);
    {
        TExtHighlighter other;
        doc.Host.SetHighlighter(&other);
        EXPECT_EQ(other.Editors().size(), 1u);
        EXPECT_TRUE(h.Editors().empty());
    }
    EXPECT_EQ(doc.Host.Highlighter(), nullptr);
}

TEST_F(ExtRules, KeywordsOverOtherKeywordMarksAreToleratedOnlyWhenCoveredWhole)
{
    h.Keywords().AddKeyword(QStringLiteral("BY"), koWholeWords, 0, 0, 0, 10, 0, -1, 1);
    h.Keywords().AddKeyword(QStringLiteral("ORDER BY"), koWholeWords, 0, 0, 0, 10, 0, -1, 2);
    load(QStringLiteral("order by x"));
    EXPECT_EQ(at(QStringLiteral("order")), QStringLiteral("K1/#000002"));
    EXPECT_EQ(at(QStringLiteral("by")), QStringLiteral("K1/#000002"));
    EXPECT_EQ(at(QStringLiteral(" x")), QString());
}

TEST_F(ExtRules, SeventeenNestedRangesStopOpeningAtTheSixteenthLevel)
{
    h.StartStopKeys().AddExt(QStringLiteral("("), QStringLiteral(")"), 0, 0, 1, 0, 32767, 0, -1, 1, false);
    load(QString(17, u'(') + QStringLiteral("x") + QString(17, u')') + QStringLiteral("y"));
    const QString deepest = at(QStringLiteral("x"));
    EXPECT_EQ(deepest.count(QLatin1Char('R')), 16);
    // The surplus ")" closes an outer level early, so the text after ends plain either way.
    EXPECT_EQ(at(QStringLiteral("y")), QString());
}

TEST_F(ExtRules, OnStartIsAskedOnceForEveryStartKeyOfNestingRanges)
{
    // "(" ... ")" may nest (priority 32767). A stop search looks for a nested start key before
    // the stop; the start search after it must not ask about the same key again.
    h.StartStopKeys().AddExt(QStringLiteral("("), QStringLiteral(")"), 0, 0, 1, 0, 32767, 0, -1, 1, false);
    struct Case {
        int Reject; // position whose start key OnStart rejects, -1 none
        const char16_t *Inner; // label at "x"
        const char16_t *Between; // label at the blank after "x)"
    };
    const Case cases[] = {
        { -1, u"R0.R0/#000001", u"R0/#000001" },
        { 1, u"R0/#000001", u"" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Reject);
        std::map<qint64, int> asked;
        h.OnStart = [&](TCustomExtHighlighter *, TCodeNavigator &start, TCodeNavigator *end,
                        int index, bool &accept) {
            EXPECT_EQ(end, nullptr);
            EXPECT_EQ(index, 0);
            ++asked[start.Position()];
            accept = start.Position() != c.Reject;
        };
        test::setText(doc, QStringLiteral("((x) (y)) z"));
        doc.Host.Rehighlight();
        asked.clear();
        doc.Host.HighlightAll();
        doc.Check();
        EXPECT_EQ(asked, (std::map<qint64, int> { { 0, 1 }, { 1, 1 }, { 5, 1 } }));
        EXPECT_EQ(at(QStringLiteral("x")), QString::fromUtf16(c.Inner));
        EXPECT_EQ(labelAt(doc, 4), QString::fromUtf16(c.Between));
        EXPECT_EQ(at(QStringLiteral("z")), QString());
    }
}

// --- the editor's own lists

class OwnPasses : public ::testing::Test {
protected:
    void load(const QString &text)
    {
        test::setText(doc, text);
        doc.Host.Rehighlight();
        doc.Host.HighlightAll();
        doc.Check();
    }
    QString at(const QString &needle, int from = 0)
    {
        return labelAt(doc, doc.Text().indexOf(needle, from));
    }
    test::HighlightedDocument doc;
};

TEST_F(OwnPasses, PairsAndKeywordsOfTheEditorItself)
{
    doc.Host.SetSeparators(QStringLiteral(" ;"));
    doc.Host.StartStopKeys().Add(QStringLiteral("/*"), QStringLiteral("*/"), 0, 0, 0, 0, -1, 9, false);
    doc.Host.StartStopKeys().Add(QStringLiteral("rem"), QString(), 0, 0, 0, 0, -1, 8, true);
    TKeywordInfo info;
    info.Options = koWholeWords;
    info.Foreground = 3;
    doc.Host.Keywords().Add(QStringLiteral("BEGIN"), info);
    doc.Host.Keywords().Add(QStringLiteral("BEGIN END"), info);
    load(QStringLiteral("begin /* begin\rstill */ begin end;xrem not; rem begin"));
    EXPECT_EQ(at(QStringLiteral("begin")), QStringLiteral("K0/#000003"));
    EXPECT_EQ(at(QStringLiteral("begin"), 3), QStringLiteral("R0/#000009"));
    EXPECT_EQ(at(QStringLiteral("still")), QStringLiteral("R0/#000009"));
    // The first keyword of the list claims "begin", so "BEGIN END" cannot start there.
    EXPECT_EQ(at(QStringLiteral(" begin end")), QString());
    EXPECT_EQ(at(QStringLiteral("begin end")), QStringLiteral("K0/#000003"));
    EXPECT_EQ(at(QStringLiteral("end;")), QString());
    // A start key beginning with a word character does not start inside a word.
    EXPECT_EQ(at(QStringLiteral("rem not")), QString());
    EXPECT_EQ(at(QStringLiteral("begin"), int(doc.Text().indexOf(QStringLiteral("; rem")))),
        QStringLiteral("R1/#000008"));

    doc.Host.SetApplyKeyWords(false);
    doc.Host.Rehighlight();
    doc.Host.HighlightAll();
    EXPECT_EQ(at(QStringLiteral("begin")), QString());
}

TEST_F(OwnPasses, ATypedCommentStartFlowsOnUntilTheStateAgrees)
{
    doc.Host.SetSeparators(QStringLiteral(" {}"));
    doc.Host.StartStopKeys().Add(QStringLiteral("{"), QStringLiteral("}"), 0, 0, 0, 0, -1, 9, false);
    QStringList lines;
    for (int i = 0; i < 20; ++i)
        lines << QStringLiteral("line %1").arg(i);
    lines[5] += QStringLiteral(" }");
    load(lines.join(QLatin1Char('\r')));
    std::vector<std::pair<qint64, qint64>> passes;
    doc.Host.OnInvalidate = [&](THighlightHost *, qint64 f, qint64 l) { passes.emplace_back(f, l); };
    doc.SetSelStart(doc.ParagraphStart(1));
    doc.ReplaceSel(QStringLiteral("{"));
    ASSERT_FALSE(passes.empty());
    EXPECT_EQ(passes.front(), std::make_pair(qint64(1), qint64(5)));
    EXPECT_EQ(labelAt(doc, doc.ParagraphStart(4)), QStringLiteral("R0/#000009"));
    EXPECT_EQ(labelAt(doc, doc.ParagraphStart(6)), QString());
    doc.Check();
}

TEST(NumberHighlighter, TokensThatAreNumbers)
{
    EXPECT_TRUE(TNumberHighlighter::IsNumber(u"0123"));
    EXPECT_TRUE(TNumberHighlighter::IsNumber(u"$"));
    EXPECT_TRUE(TNumberHighlighter::IsNumber(u"$aF09"));
    EXPECT_FALSE(TNumberHighlighter::IsNumber(u"$g"));
    EXPECT_FALSE(TNumberHighlighter::IsNumber(u"1a"));
    EXPECT_FALSE(TNumberHighlighter::IsNumber(u"a1"));
    EXPECT_FALSE(TNumberHighlighter::IsNumber(u""));
}

TEST(NumberHighlighter, AScanStartingInsideANumberColoursItWholeAndQueryMayVeto)
{
    test::HighlightedDocument doc;
    TNumberHighlighter numbers;
    numbers.Foreground = 255;
    numbers.SetSeparators(QStringLiteral(" "));
    test::setText(doc, QStringLiteral("ab 12345 x"));
    TCodeNavigator a(&doc), b(&doc);
    a.SetPos(6);
    b.SetPos(6);
    numbers.ApplyKeywords(a, b, 0);
    for (int i = 3; i < 8; ++i)
        EXPECT_EQ(labelAt(doc, i), QStringLiteral("N/red")) << i;
    EXPECT_EQ(labelAt(doc, 8), QString());

    doc.Host.Rehighlight();
    numbers.OnQueryHilit = [](TCustomExtHighlighter *, int, bool &allowed) { allowed = false; };
    numbers.ApplyKeywords(a, b, 0);
    EXPECT_EQ(labelAt(doc, 5), QString());
}

} // namespace
} // namespace qd
