// The containers under the editor's text: the block array, the gap vector, the partitioning
// with its pending step, and the paragraph list with its display lines and shared attributes.
#include "classlib/ListErrors.h"
#include "editor/DynArray2.h"
#include "editor/GapVector.h"
#include "editor/ParagraphsList.h"
#include "editor/Partitioning.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace qd;

namespace {

TEST(DynArray2, RecordsOf88BytesUse96ByteStrideAnd341PerBlock)
{
    TDynArray2 array(88);
    EXPECT_EQ(array.Stride(), 96);
    EXPECT_EQ(array.RecordsPerBlock(), 341);
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.Capacity(), 0);
}

TEST(DynArray2, GrowingKeepsRecordsWhereTheyAre)
{
    TDynArray2 array(88);
    char record[88] = {};
    std::vector<void *> addresses;
    for (int i = 0; i < 341; ++i) {
        record[0] = char(i);
        array.Add(record);
        addresses.push_back(array.ItemAddress(i));
    }
    EXPECT_EQ(array.BlockCount(), 1);
    array.Add(record); // record 341 opens the second block
    EXPECT_EQ(array.BlockCount(), 2);
    EXPECT_EQ(array.Capacity(), 682);
    for (int i = 0; i < 341; ++i) {
        ASSERT_EQ(array.ItemAddress(i), addresses[size_t(i)]);
        char out[88];
        array.Get(i, out);
        EXPECT_EQ(out[0], char(i));
    }
    array.Check();
}

TEST(DynArray2, LoweringTheCountKeepsTheBlocks)
{
    TDynArray2 array(88);
    array.SetCount(1000);
    EXPECT_EQ(array.BlockCount(), 3);
    void *first = array.ItemAddress(0);
    array.SetCount(0);
    EXPECT_EQ(array.BlockCount(), 3);
    array.SetCount(1000);
    EXPECT_EQ(array.BlockCount(), 3);
    EXPECT_EQ(array.ItemAddress(0), first);
    array.SetCount(-5);
    EXPECT_EQ(array.Count(), 0);
    array.SetCapacity(10); // surplus blocks go
    EXPECT_EQ(array.BlockCount(), 1);
    array.Check();
}

TEST(DynArray2, IndexesOutsideTheCountRaise)
{
    TDynArray2 array(16);
    char record[16] = {};
    array.Add(record);
    for (qint64 index : { qint64(-1), qint64(1), qint64(100) }) {
        try {
            array.ItemAddress(index);
            FAIL() << "index " << index << " was accepted";
        } catch (const ERangeError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("List index out of bounds"));
        }
        EXPECT_THROW(array.Put(index, record), ERangeError);
    }
    EXPECT_EQ(array.Count(), 1);
}

TEST(DynArray2, OddItemSizesRoundUpTo16)
{
    for (auto [size, stride] : std::vector<std::pair<int, int>> {
             { 1, 16 }, { 16, 16 }, { 17, 32 }, { 60, 64 }, { 32768, 32768 } }) {
        TDynArray2 array(size);
        EXPECT_EQ(array.Stride(), stride) << size;
        EXPECT_EQ(array.RecordsPerBlock(), 32768 / stride) << size;
    }
}

// The gap vector against a plain vector, from empty, through single elements, to runs of edits
// that move the gap back and forth.
TEST(GapVector, AgreesWithAPlainVectorUnderRandomEdits)
{
    std::mt19937 rng(7);
    GapVector<int> gap;
    std::vector<int> plain;
    EXPECT_TRUE(gap.isEmpty());
    gap.remove(0, 0);
    for (int step = 0; step < 3000; ++step) {
        const qint64 size = qint64(plain.size());
        const qint64 pos = size == 0 ? 0 : qint64(rng() % (size + 1));
        if (rng() % 3 != 0 || size == 0) {
            const qint64 count = rng() % 4;
            std::vector<int> values;
            for (qint64 i = 0; i < count; ++i)
                values.push_back(step * 10 + int(i));
            gap.insert(pos, values.data(), count);
            plain.insert(plain.begin() + pos, values.begin(), values.end());
        } else {
            const qint64 count = qMin<qint64>(rng() % 4, size - qMin(pos, size - 1));
            const qint64 at = qMin(pos, size - 1);
            gap.remove(at, count);
            plain.erase(plain.begin() + at, plain.begin() + at + count);
        }
        gap.Check();
        ASSERT_EQ(gap.size(), qint64(plain.size()));
    }
    for (size_t i = 0; i < plain.size(); ++i)
        ASSERT_EQ(gap.at(qint64(i)), plain[i]);
    gap.clear();
    EXPECT_EQ(gap.size(), 0);
    gap.insert(0, 1, 42);
    EXPECT_EQ(gap.at(0), 42);
}

// Partitions against a plain list of extents, with the pending step moving in both directions.
TEST(Partitioning, AgreesWithPlainExtentsUnderRandomEdits)
{
    std::mt19937 rng(11);
    Partitioning part;
    std::vector<qint64> extents;
    part.Check();
    EXPECT_EQ(part.Partitions(), 0);
    EXPECT_EQ(part.Total(), 0);
    for (int step = 0; step < 4000; ++step) {
        const qint64 n = qint64(extents.size());
        const int op = int(rng() % 5);
        if (op == 4 && n > 0) {
            // Several partitions grow at once, as a load fills freshly inserted paragraphs.
            const qint64 at = qint64(rng() % n);
            const qint64 count = qMin<qint64>(1 + rng() % 4, n - at);
            std::vector<qint64> deltas;
            for (qint64 i = 0; i < count; ++i)
                deltas.push_back(qint64(rng() % 5));
            part.GrowEach(at, deltas.data(), count);
            for (qint64 i = 0; i < count; ++i)
                extents[size_t(at + i)] += deltas[size_t(i)];
        } else if (op == 0 || n == 0) {
            const qint64 at = qint64(rng() % (n + 1));
            const qint64 count = 1 + rng() % 3;
            std::vector<qint64> add;
            for (qint64 i = 0; i < count; ++i)
                add.push_back(2 + rng() % 9);
            part.Insert(at, add.data(), count);
            extents.insert(extents.begin() + at, add.begin(), add.end());
        } else if (op == 1) {
            const qint64 at = qint64(rng() % n);
            const qint64 count = qMin<qint64>(1 + rng() % 2, n - at);
            part.Remove(at, count);
            extents.erase(extents.begin() + at, extents.begin() + at + count);
        } else {
            const qint64 at = qint64(rng() % n);
            const qint64 delta = qint64(rng() % 7) - 2;
            if (extents[size_t(at)] + delta >= 2) {
                part.Grow(at, delta);
                extents[size_t(at)] += delta;
            }
        }
        part.Check();
        ASSERT_EQ(part.Partitions(), qint64(extents.size()));
        if (step % 97 == 0 || extents.size() < 4) {
            qint64 start = 0;
            for (size_t i = 0; i < extents.size(); ++i) {
                ASSERT_EQ(part.Boundary(qint64(i)), start) << "step " << step;
                ASSERT_EQ(part.PartitionOf(start), qint64(i));
                ASSERT_EQ(part.PartitionOf(start + extents[i] - 1), qint64(i));
                start += extents[i];
            }
            ASSERT_EQ(part.Total(), start);
        }
    }
}

TEST(Partitioning, ValuesOutsideTheRangeClampToTheEnds)
{
    Partitioning part;
    part.InsertEqual(0, 5, 3);
    EXPECT_EQ(part.PartitionOf(-10), 0);
    EXPECT_EQ(part.PartitionOf(14), 2);
    EXPECT_EQ(part.PartitionOf(1000), 2);
    part.Remove(0, 3);
    EXPECT_EQ(part.Partitions(), 0);
    EXPECT_EQ(part.Total(), 0);
    part.Check();
}

// A run of edits in one place leaves the step there and does not touch later boundaries.
TEST(Partitioning, EditsInOnePlaceOnlyMoveTheStep)
{
    Partitioning part;
    part.InsertEqual(0, 2, 100000);
    part.Grow(50000, 1);
    part.Grow(50000, 1);
    EXPECT_EQ(part.StepIndex(), 50000);
    const qint64 step = part.Step();
    part.Grow(50000, -1);
    EXPECT_EQ(part.StepIndex(), 50000);
    EXPECT_EQ(part.Step(), step - 1);
    part.Grow(50000, 1);
    EXPECT_EQ(part.Boundary(50001), 100004);
    EXPECT_EQ(part.Total(), 200002);
}

TEST(ParagraphsList, PositionsCountBreaksAsTwoCharacters)
{
    TParagraphsList list;
    list.Insert(0, 3);
    list.SetText(0, u"abc");
    list.SetText(2, u"de");
    EXPECT_EQ(list.StartPos(0), 0);
    EXPECT_EQ(list.StartPos(1), 5);
    EXPECT_EQ(list.StartPos(2), 7);
    EXPECT_EQ(list.TextLength(), 9);
    // Just past the CR still belongs to the paragraph; past the LF the next one starts.
    EXPECT_EQ(list.ParagraphOfPos(3), 0);
    EXPECT_EQ(list.ParagraphOfPos(4), 0);
    EXPECT_EQ(list.ParagraphOfPos(5), 1);
    EXPECT_EQ(list.ParagraphOfPos(6), 1);
    EXPECT_EQ(list.ParagraphOfPos(7), 2);
    list.Check();
}

TEST(ParagraphsList, RecordsStayPutAsParagraphsAreAdded)
{
    TParagraphsList list;
    list.Insert(0, 1);
    TParagraph *first = list.Record(0);
    const int perBlock = list.Pool().RecordsPerBlock();
    EXPECT_EQ(list.Pool().Stride() % 16, 0);
    EXPECT_EQ(perBlock, 32768 / list.Pool().Stride());
    for (int i = 0; i < perBlock; ++i)
        list.Insert(0, 1); // in front: the order changes, the record does not move
    EXPECT_EQ(list.Pool().BlockCount(), 2);
    EXPECT_EQ(list.Record(perBlock), first);
    list.Remove(0, 5);
    EXPECT_EQ(list.Record(perBlock - 5), first);
    list.Insert(3, 2); // reuses removed slots
    EXPECT_EQ(list.Pool().Count(), perBlock + 1);
    list.Check();
    EXPECT_THROW(list.Record(list.Count()), ERangeError);
    EXPECT_THROW(list.Record(-1), ERangeError);
}

TEST(ParagraphsList, BuffersKeepSpareRoomAndShrinkWhenAnEighthIsSpare)
{
    TParagraphsList list;
    list.Insert(0, 1);
    TParagraph *p = list.Record(0);
    EXPECT_EQ(p->Text, nullptr);
    const QString text(640, QChar(u'x'));
    list.SetText(0, text);
    EXPECT_EQ(p->Capacity, 640 + 10 + 1);
    list.ReplaceText(0, 639, 1, u""); // 1/64 spare is kept
    EXPECT_EQ(p->Capacity, 651);
    list.ReplaceText(0, 0, 300, u""); // more than 1/8 spare: shrunk
    EXPECT_EQ(p->Length, 339);
    EXPECT_EQ(p->Capacity, 339 + 5 + 1);
    list.SetText(0, u"");
    EXPECT_EQ(p->Text, nullptr);
    EXPECT_EQ(list.TextLength(), 0);
    list.Check();
}

TEST(ParagraphsList, TextWithNulsKeepsItsLength)
{
    TParagraphsList list;
    list.Insert(0, 1);
    const QString text = QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b");
    list.SetText(0, text);
    EXPECT_EQ(list.Text(0).size(), 3);
    EXPECT_EQ(list.Text(0).toString(), text);
}

TEST(ParagraphsList, TooLongAParagraphIsRefusedUnchanged)
{
    TTextLimits limits;
    limits.MaxParagraphLength = 10;
    TParagraphsList list(limits);
    list.Insert(0, 1);
    list.SetText(0, u"0123456789");
    try {
        list.ReplaceText(0, 10, 0, u"x");
        FAIL() << "an eleventh character was accepted";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Text too long"));
    }
    EXPECT_EQ(list.Text(0).toString(), QStringLiteral("0123456789"));
    EXPECT_EQ(list.TextLength(), 10);
}

TEST(ParagraphsList, SharedTextsAreReadUntilTheFirstChangeAndGoWithTheLastReader)
{
    TParagraphsList list;
    list.Insert(0, 4);
    QString source = QStringLiteral("abc\r\n\r\nxy\r\nz");
    const TParagraphsList::TextSpan spans[] = { { 0, 3 }, { 5, 0 }, { 7, 2 }, { 11, 1 } };
    list.ShareTexts(0, source, spans, 4);
    EXPECT_EQ(list.SharedTextParagraphs(), 3); // the empty one reads nothing
    EXPECT_EQ(list.TextLength(), 3 + 2 + 0 + 2 + 2 + 2 + 1);
    EXPECT_EQ(list.StartPos(3), 11);
    list.Check();
    // The caller's string changing later changes no paragraph.
    source[0] = QChar(u'!');
    EXPECT_EQ(list.Text(0).toString(), QStringLiteral("abc"));
    // A change copies the paragraph's text out; the others still read the shared text.
    list.ReplaceText(2, 1, 0, u"-");
    EXPECT_EQ(list.Text(2).toString(), QStringLiteral("x-y"));
    EXPECT_FALSE(list.Record(2)->SharedText);
    EXPECT_EQ(list.SharedTextParagraphs(), 2);
    list.SetText(0, u""); // emptied: no buffer and no shared text
    EXPECT_EQ(list.Record(0)->Text, nullptr);
    list.Remove(3, 1);
    EXPECT_EQ(list.SharedTextParagraphs(), 0);
    list.Check();
    EXPECT_EQ(list.Text(2).toString(), QStringLiteral("x-y"));
}

TEST(ParagraphsList, SharingRawCharactersCopiesThemOnce)
{
    // A string that only wraps someone else's characters would not keep them alive.
    char16_t chars[] = { u'k', u'e', u'e', u'p' };
    TParagraphsList list;
    list.Insert(0, 1);
    const TParagraphsList::TextSpan span { 0, 4 };
    list.ShareTexts(0, QString::fromRawData(reinterpret_cast<const QChar *>(chars), 4), &span, 1);
    chars[0] = u'X';
    EXPECT_EQ(list.Text(0).toString(), QStringLiteral("keep"));
    list.Check();
}

TEST(ParagraphsList, SharingIsRefusedUnchangedForBadSpansOrParagraphs)
{
    TTextLimits limits;
    limits.MaxParagraphLength = 4;
    TParagraphsList list(limits);
    list.Insert(0, 2);
    list.SetText(1, u"old");
    const QString source = QStringLiteral("12345");
    const TParagraphsList::TextSpan tooLong[] = { { 0, 5 } };
    EXPECT_THROW(list.ShareTexts(0, source, tooLong, 1), Exception);
    const TParagraphsList::TextSpan outside[] = { { 3, 3 } };
    EXPECT_THROW(list.ShareTexts(0, source, outside, 1), ERangeError);
    const TParagraphsList::TextSpan ontoText[] = { { 0, 1 }, { 1, 1 } };
    EXPECT_THROW(list.ShareTexts(0, source, ontoText, 2), ERangeError); // paragraph 1 has text
    EXPECT_EQ(list.SharedTextParagraphs(), 0);
    EXPECT_EQ(list.Text(0).toString(), QString());
    EXPECT_EQ(list.TextLength(), 5);
    list.Check();
}

TEST(LinesList, OneLineNeedsNoFurtherBlock)
{
    TParagraphsList list;
    list.Insert(0, 2);
    TLinesList lines(&list, 0);
    EXPECT_EQ(lines.Count(), 1);
    EXPECT_EQ(list.Record(0)->FurtherLines, nullptr);
    EXPECT_EQ(lines.Line(0), &list.Record(0)->FirstLine);
    EXPECT_THROW(lines.Line(1), ERangeError);
    EXPECT_THROW(lines.Line(-1), ERangeError);

    TLineRecord record;
    record.EndOffset = 7;
    EXPECT_EQ(lines.Add(record), 1);
    EXPECT_NE(list.Record(0)->FurtherLines, nullptr);
    EXPECT_EQ(lines.Line(1)->EndOffset, 7);
    EXPECT_EQ(list.FirstLine(1), 2);
    EXPECT_EQ(list.LineCount(), 3);
    EXPECT_EQ(list.ParagraphOfLine(1), 0);
    EXPECT_EQ(list.ParagraphOfLine(2), 1);
    lines.SetCount(0); // a paragraph keeps at least one line
    EXPECT_EQ(lines.Count(), 1);
    EXPECT_EQ(list.Record(0)->FurtherLines, nullptr);
    EXPECT_EQ(list.FirstLine(1), 1);
    list.Check();
}

TEST(LinesList, TooManyLinesRaiseOutOfMemoryUnchanged)
{
    TTextLimits limits;
    limits.MaxFurtherLines = 4;
    TParagraphsList list(limits);
    list.Insert(0, 1);
    TLinesList lines(&list, 0);
    lines.SetCount(5);
    EXPECT_THROW(lines.SetCount(6), EOutOfMemory);
    EXPECT_EQ(lines.Count(), 5);
    EXPECT_EQ(list.LineCount(), 5);
}

TEST(ParagraphsList, ClearingAttributesSharesTheFirstStartRecord)
{
    TParagraphsList list;
    list.Insert(0, 3);
    TAttrRecord red;
    red.Words[3] = 255;
    TAttrRecord *own = TParagraphsList::NewStartAttr(&red);
    list.SetStartAttr(1, own);
    TParagraphsList::ReleaseStartAttr(own); // the paragraph holds it now
    EXPECT_EQ(list.Record(0)->StartAttr->RefCount(), 2);
    EXPECT_EQ(list.Record(1)->StartAttr->RefCount(), 1);
    TParagraph *p = list.Record(2);
    TParagraphsList::ReserveAttr(p);
    p->Attrs[0] = red;
    p->AttrCount = 1;
    p->KeywordsApplied = p->Formatted = true;
    list.Check();

    list.ClearAttributes();
    for (qint64 i = 0; i < 3; ++i) {
        EXPECT_EQ(list.Record(i)->StartAttr, list.Record(0)->StartAttr);
        EXPECT_EQ(list.Record(i)->AttrCount, 0);
        EXPECT_FALSE(list.Record(i)->KeywordsApplied);
        EXPECT_FALSE(list.Record(i)->Formatted);
    }
    EXPECT_EQ(list.Record(0)->StartAttr->RefCount(), 3);
    list.Check();
}

TEST(ParagraphsList, CheckCatchesABrokenCount)
{
    TParagraphsList list;
    list.Insert(0, 2);
    list.Record(1)->StartAttr->Words[0] = 5;
    EXPECT_THROW(list.Check(), std::logic_error);
    list.Record(1)->StartAttr->Words[0] = 2;
    list.Record(0)->Length = 4; // bypassing the list
    EXPECT_THROW(list.Check(), std::logic_error);
    list.Record(0)->Length = 0;
    list.Check();
}

TEST(AttrRecord, HighlighterIndexOnlyForStartStopRecords)
{
    TAttrRecord r;
    r.Words[1] = 0xC0 | (0xFE << 8);
    EXPECT_EQ(r.HighlighterIndex(), -2);
    r.Words[1] = 0x80 | (0x05 << 8);
    EXPECT_EQ(r.HighlighterIndex(), -1);
}

} // namespace
