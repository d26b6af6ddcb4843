#pragma once

#include "editor/DynArray2.h"
#include "editor/GapVector.h"
#include "editor/Partitioning.h"
#include "editor/TextRecords.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace qd {

// The paragraphs of one text, in order, with the absolute positions and display lines they
// start at.
//
// Positions count the text as its paragraphs joined by CR LF: paragraph k + 1 starts at paragraph
// k's start + its length + 2; the last paragraph has no break after it. Display lines are
// numbered over the whole text; each paragraph has at least one.
//
// Records live in the blocks of a TDynArray2 and never move while they exist, so a record's
// address may be kept until the paragraph is removed. Their order is a gap vector of record
// addresses; start positions and first lines are two Partitionings with pending steps, so an
// edit costs time proportional to its distance from the previous edit, never to the whole text.
//
// Every change of a paragraph's length or line count goes through this list (ReplaceText,
// SetText, SetLineCount, TLinesList) so that positions and lines stay right.
class TParagraphsList {
public:
    explicit TParagraphsList(const TTextLimits &limits = {});
    ~TParagraphsList();
    TParagraphsList(const TParagraphsList &) = delete;
    TParagraphsList &operator=(const TParagraphsList &) = delete;

    qint64 Count() const { return m_order.size(); }
    // Record of paragraph index; ERangeError "List index out of bounds" outside 0 .. Count() - 1.
    TParagraph *Record(qint64 index) const;
    // Unchecked Record, for loops that keep to 0 .. Count() - 1.
    TParagraph *At(qint64 index) const { return m_order.at(index); }

    // Position of paragraph index's first character (index may be Count(): text length + 2).
    qint64 StartPos(qint64 index) const { return m_starts.Boundary(index); }
    // Display line (over the whole text) of paragraph index's first line; index may be Count().
    qint64 FirstLine(qint64 index) const { return m_lines.Boundary(index); }
    qint64 TextLength() const { return Count() == 0 ? 0 : m_starts.Total() - 2; }
    qint64 LineCount() const { return m_lines.Total(); }
    // The paragraph holding position pos (one just past a paragraph's CR still belongs to it);
    // clamped to the first and last paragraph.
    qint64 ParagraphOfPos(qint64 pos) const { return m_starts.PartitionOf(pos); }
    // The paragraph holding display line line; clamped to the first and last paragraph.
    qint64 ParagraphOfLine(qint64 line) const { return m_lines.PartitionOf(line); }

    // Inserts count empty paragraphs before index (0 <= index <= Count()), each with one empty
    // display line, colours -1, no attributes, clear flags, and startAttr as a shared start
    // attribute (a fresh record when none is given).
    void Insert(qint64 index, qint64 count, TAttrRecord *startAttr = nullptr);
    // Removes paragraphs index .. index + count - 1, freeing their text, lines and attributes.
    void Remove(qint64 index, qint64 count);
    void Clear();

    QStringView Text(qint64 index) const
    {
        const TParagraph *p = Record(index);
        return QStringView(p->Text, p->Length);
    }
    // Replaces removeCount characters at offset by insert. "Text too long" when the paragraph
    // would pass the length limit; nothing is changed then.
    void ReplaceText(qint64 index, qint64 offset, qint64 removeCount, QStringView insert);
    void SetText(qint64 index, QStringView text)
    {
        ReplaceText(index, 0, Record(index)->Length, text);
    }

    // A piece of a text: From and Length in characters.
    struct TextSpan {
        qint64 From;
        qint64 Length;
    };
    // Paragraphs index .. index + count - 1, all empty, take their texts from source without a
    // copy: paragraph index + k the characters of spans[k]. The list holds source until no
    // paragraph reads from it any more; a paragraph's first change copies its text out. This is
    // how a loaded or pasted text becomes paragraphs at the cost of one pass and no allocation per
    // paragraph. "Text too long" for a span over the length limit and ERangeError for a paragraph
    // that is not empty or a span outside source: nothing is changed then.
    void ShareTexts(qint64 index, const QString &source, const TextSpan *spans, qint64 count);
    // Paragraphs whose text lies in a shared text (for tests and memory reports).
    qint64 SharedTextParagraphs() const { return m_sharedUsers; }

    // Paragraph index gets n display lines (at least 1); new line records are zeroed.
    // EOutOfMemory beyond the limit of further lines; nothing is changed then.
    void SetLineCount(qint64 index, qint64 n);

    // Start attributes: records shared between paragraphs, word 0 counting the sharers.
    static TAttrRecord *NewStartAttr(const TAttrRecord *source = nullptr);
    static void AcquireStartAttr(TAttrRecord *attr) { ++attr->Words[0]; }
    static void ReleaseStartAttr(TAttrRecord *attr);
    // Paragraph index takes shared as its start attribute (counted), releasing its old one.
    void SetStartAttr(qint64 index, TAttrRecord *shared);

    // Makes room for one more attribute record in p (growing to needed + needed / 64).
    static void ReserveAttr(TParagraph *p);
    // Clears every paragraph's attributes and state flags; every paragraph then shares paragraph
    // 0's start attribute.
    void ClearAttributes();

    const TTextLimits &Limits() const { return m_limits; }
    // The record pool, for tests of its blocks.
    const TDynArray2 &Pool() const { return m_pool; }

    // Throws std::logic_error when an invariant fails: the partitions agree with every record's
    // length and line count, attribute records are ordered within the paragraph, start attribute
    // counts match their sharers, buffers hold their text.
    void Check() const;

private:
    void freeRecord(TParagraph *p);
    // p no longer reads from a shared text; the shared texts go with their last reader.
    void unshare(TParagraph *p);

    TTextLimits m_limits;
    TDynArray2 m_pool;
    std::vector<TParagraph *> m_free;
    GapVector<TParagraph *> m_order;
    Partitioning m_starts; // extent of paragraph k: its length + 2
    Partitioning m_lines; // extent of paragraph k: its line count
    std::vector<QString> m_shared; // texts that paragraphs read from (SharedText)
    qint64 m_sharedUsers = 0; // paragraphs reading from m_shared
};

// The display lines of one paragraph: a view bound to a paragraph of a list, with no storage of
// its own. Rebind it when paragraphs are inserted or removed before it.
class TLinesList {
public:
    TLinesList() = default;
    TLinesList(TParagraphsList *list, qint64 index) { Bind(list, index); }

    void Bind(TParagraphsList *list, qint64 index);
    bool IsBound() const { return m_par != nullptr; }
    qint64 ParIndex() const { return m_index; }

    qint64 Count() const { return m_par->LineCount; }
    // Line record index: 0 is the paragraph's own first line, i >= 1 the further lines.
    // ERangeError "List index out of bounds" outside 0 .. Count() - 1.
    TLineRecord *Line(qint64 index) const;
    void SetCount(qint64 n) { m_list->SetLineCount(m_index, n); }
    qint64 Add(const TLineRecord &record);
    void Get(qint64 index, TLineRecord &record) const { record = *Line(index); }
    void Put(qint64 index, const TLineRecord &record) { *Line(index) = record; }

private:
    TParagraphsList *m_list = nullptr;
    TParagraph *m_par = nullptr;
    qint64 m_index = -1;
};

} // namespace qd
