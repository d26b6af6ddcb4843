#pragma once

#include <QString>

#include <deque>

namespace qd {

// One recorded replacement: undoing it selects Start .. End (the text the replacement inserted)
// and replaces that by Text (the text it removed, CR LF between paragraphs, NULs kept).
struct TUndoRecord {
    qint64 Start = 0;
    qint64 End = 0;
    bool Grouped = false; // undone and redone together with the record before it
    QString Text;

    // What the record counts against the undo space: the removed text's length + 13.
    qint64 Size() const { return Text.size() + 13; }
};

// The undo records of a document, the undo index between them (records before it can be undone,
// records from it on redone) and the two limits. How records are made and replayed is the
// document's (CodeDocument::ReplaceSel, Undo, Redo); this list keeps their storage and totals.
class TUndoList {
public:
    qint64 Count() const { return qint64(m_records.size()); }
    qint64 Index() const { return m_index; }
    qint64 Bytes() const { return m_bytes; }
    // Record index; ERangeError "List index out of bounds" outside 0 .. Count() - 1.
    const TUndoRecord &Record(qint64 index) const;
    TUndoRecord &Record(qint64 index);

    qint64 MaxSpace() const { return m_maxSpace; }
    // Deletes redo records from the end, then the oldest, until the total fits bytes.
    void SetMaxSpace(qint64 bytes);
    qint64 MaxLevel() const { return m_maxLevel; }
    // EListError "Undo set too high" above 134217727. Records after max(index, level) are deleted
    // from the end, then the oldest while level is below the index.
    void SetMaxLevel(qint64 level);

    void Clear();
    // Removes record index; the undo index moves down when the record lay before it.
    void DeleteRecord(qint64 index);
    // Ends the redo history: deletes every record from the index on.
    void DeleteRedo();
    // Puts record at the index (over the record there, which it replaces; keepGrouped keeps that
    // record's grouped flag) and moves the index past it.
    void Write(TUndoRecord record, bool keepGrouped);
    // Over MaxSpace: deletes redo records from the end, then the oldest while the index is at
    // least 1.
    void TrimToSpace();
    void SetIndex(qint64 index) { m_index = index; }

    // Throws std::logic_error when index or byte total disagree with the records.
    void Check() const;

private:
    std::deque<TUndoRecord> m_records;
    qint64 m_index = 0;
    qint64 m_bytes = 0;
    qint64 m_maxSpace = 65536;
    qint64 m_maxLevel = 256;
};

} // namespace qd
