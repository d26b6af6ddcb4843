// The key lists written to and read from the form stream ("Strings" of keyword lists, "Keys" of
// start/stop lists).
#include "classlib/Exception.h"
#include "editor/FormValues.h"
#include "editor/KeywordList.h"
#include "editor/StartStopKeyList.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out += char(quint8(v));
    return out;
}

TEST(KeyListStreaming, EmptyListsWriteNothing)
{
    TKeywordList words;
    TExtStartStopList keys;
    EXPECT_FALSE(words.HasStringsData());
    EXPECT_FALSE(keys.HasKeysData());
    words.Add(QStringLiteral("IF"));
    keys.AddExt(QStringLiteral("--"), QString(), 0, 0, 1, 0, 20, 0, -1, 1, true);
    EXPECT_TRUE(words.HasStringsData());
    EXPECT_TRUE(keys.HasKeysData());
}

TEST(KeyListStreaming, AKeywordEntryIsTheWordAndSixIntegersInTheFewestBytes)
{
    TKeywordList list;
    TKeywordInfo info;
    info.Options = koWholeWords;
    info.Style = ksBold;
    info.Background = -1;
    info.Foreground = 255;
    list.Add(QStringLiteral("IF"), info);
    // List, "IF", 2, 1, 0, 0, -1 (8 bits), 255 (16 bits), end of list.
    EXPECT_EQ(list.WriteStrings(),
        bytes({ 1, 6, 2, 'I', 'F', 2, 2, 2, 1, 2, 0, 2, 0, 2, 0xFF, 3, 0xFF, 0, 0 }));
}

TEST(KeyListStreaming, ExtendedKeywordsRoundTripWithScopeAndPriority)
{
    TExtKeywordList list;
    list.AddKeyword(QStringLiteral("select"), koWholeWords, ksBold | ksItalic, -3, 4, 32767, 9,
        0x00FFEEDD, 16711680);
    list.AddKeyword(QStringLiteral("Größe"), koMatchCase, 0, 1, 0, 10, 0, -1, 0);
    const QByteArray data = list.WriteStrings();

    TExtKeywordList back;
    back.Add(QStringLiteral("OLD")); // reading empties the list first
    back.ReadStrings(data);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.Strings(0), QStringLiteral("select"));
    EXPECT_EQ(back.Prepared(0), QStringLiteral("SELECT"));
    const TKeywordInfo &a = back.Info(0);
    EXPECT_EQ(a.Options, koWholeWords);
    EXPECT_EQ(a.Style, ksBold | ksItalic);
    EXPECT_EQ(a.ContextNum, -3);
    EXPECT_EQ(a.Scope, 4);
    EXPECT_EQ(a.Priority, 32767);
    EXPECT_EQ(a.Tag, 9);
    EXPECT_EQ(a.Background, 0x00FFEEDD);
    EXPECT_EQ(a.Foreground, 16711680);
    EXPECT_EQ(back.Strings(1), QStringLiteral("Größe"));
    EXPECT_EQ(back.Prepared(1), QStringLiteral("Größe"));
    EXPECT_EQ(back.Info(1).Length, 5);
    EXPECT_EQ(back.WriteStrings(), data);

    // A plain list writes no Scope and Priority, so the two formats differ by two integers.
    TKeywordList plain;
    plain.Assign(list);
    TKeywordList plainBack;
    plainBack.ReadStrings(plain.WriteStrings());
    EXPECT_EQ(plainBack.Count(), 2);
    EXPECT_EQ(plainBack.Info(0).Foreground, 16711680);
    TExtKeywordList wrongKind;
    EXPECT_THROW(wrongKind.ReadStrings(plain.WriteStrings()), Exception);
}

TEST(KeyListStreaming, StartStopKeysAreWrittenPreparedAndMatchTheSameWhenReadBack)
{
    TExtStartStopList list;
    list.AddExt(QStringLiteral("rem"), QString(), koWholeWords, 0, 1, 0, 20, 0, -1, 5, true);
    list.AddExt(QStringLiteral("<<"), QStringLiteral(">>"), koMatchCase, ksItalic, -7, 2, 32767, 3,
        -1, 65280, false);
    list.AddExt(
        QStringLiteral("REM"), QStringLiteral("x"), koWholeWords, 0, 1, 0, 20, 0, -1, 6, false);
    const QByteArray data = list.WriteKeys();
    // The first entry begins with the list, then "REM" upper-cased and the empty stop key.
    EXPECT_TRUE(data.startsWith(bytes({ 1, 6, 3, 'R', 'E', 'M', 6, 0 })));

    TExtStartStopList back;
    back.AddExt(QStringLiteral("old"), QStringLiteral("old"), 0, 0, 0, 0, 0, 0, -1, 0, false);
    back.SetSeparatorsPrepared(true);
    back.ReadKeys(data);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_FALSE(back.SeparatorsPrepared());
    const TStartStopKey &rem = back.Item(0);
    EXPECT_EQ(rem.StartKey, QStringLiteral("REM"));
    EXPECT_EQ(rem.PreparedStart, list.Item(0).PreparedStart);
    EXPECT_TRUE(rem.EndAtParaEnd);
    EXPECT_EQ(rem.Foreground, 5);
    const TStartStopKey &angle = back.Item(1);
    EXPECT_EQ(angle.PreparedStop, QStringLiteral(">>"));
    EXPECT_EQ(angle.Options, koMatchCase);
    EXPECT_EQ(angle.Style, ksItalic);
    EXPECT_EQ(angle.ContextNum, -7);
    EXPECT_EQ(angle.Scope, 2);
    EXPECT_EQ(angle.Priority, 32767);
    EXPECT_EQ(angle.Tag, 3);
    EXPECT_EQ(angle.Foreground, 65280);
    EXPECT_FALSE(angle.EndAtParaEnd);
    EXPECT_EQ(back.Item(2).SameStartIndex, 0); // worked out again on adding
    EXPECT_EQ(back.LongestStop(), 2);
    EXPECT_EQ(back.WriteKeys(), data);
}

TEST(KeyListStreaming, AMalformedStreamThrowsAndKeepsWhatWasRead)
{
    TExtKeywordList words;
    words.AddKeyword(QStringLiteral("A"), 0, 0, 0, 0, 10, 0, -1, 1);
    words.AddKeyword(QStringLiteral("B"), 0, 0, 0, 0, 10, 0, -1, 2);
    QByteArray cut = words.WriteStrings();
    cut.chop(3); // inside B's integers
    TExtKeywordList back;
    EXPECT_THROW(back.ReadStrings(cut), Exception);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.Prepared(0), QStringLiteral("A"));

    TStartStopKeyList keys;
    keys.Add(QStringLiteral("{"), QStringLiteral("}"), 0, 0, 0, 0, -1, 1, false);
    QByteArray wrong = keys.WriteKeys();
    wrong[wrong.size() - 2] = char(2); // EndAtParaEnd written as an integer
    TStartStopKeyList keysBack;
    EXPECT_THROW(keysBack.ReadKeys(wrong), Exception);
    EXPECT_EQ(keysBack.Count(), 0);
    EXPECT_THROW(keysBack.ReadKeys(QByteArray()), Exception);
    EXPECT_THROW(keysBack.ReadKeys(bytes({ 6, 0 })), Exception); // no list
}

TEST(FormValues, IntegersTakeTheFewestBytesAndStringsTheirKind)
{
    QByteArray out;
    TFormValueWriter w(out);
    w.WriteListBegin();
    for (qint32 v : { 0, -128, 127, 128, -129, 32767, -32768, 32768, -2147483647 - 1 })
        w.WriteInteger(v);
    w.WriteString(QString(300, u'x'));
    w.WriteString(u"Ω");
    w.WriteBoolean(true);
    w.WriteListEnd();
    EXPECT_EQ(out.left(9), bytes({ 1, 2, 0, 2, 0x80, 2, 0x7F, 3, 0x80 }));

    TFormValueReader r(out);
    r.ReadListBegin();
    for (qint32 v : { 0, -128, 127, 128, -129, 32767, -32768, 32768, -2147483647 - 1 })
        EXPECT_EQ(r.ReadInteger(), v);
    EXPECT_EQ(r.ReadString(), QString(300, u'x'));
    EXPECT_EQ(r.ReadString(), QStringLiteral("Ω"));
    EXPECT_THROW(r.ReadInteger(), Exception); // a boolean stands here
}

} // namespace
} // namespace qd
