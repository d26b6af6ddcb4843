#pragma once

#include "DbfHistoryFiles.h"

#include "classlib/DataSet.h"

#include <map>
#include <vector>

namespace qd {

// A dataset over the SQL history's table and memo file (DbfHistoryFiles): the fields RUNDATE
// (date), USERNAME (string 32), INSTANCE (string 254) and SQL (memo). Deleted records are
// hidden. Records are read from the file as the dataset moves; a posted insert or append is
// added at the end of the table, an edit is written in place, a delete marks the record.
//
// The table is FilePath + TableName ("SQLHistory.dbf"); opening creates an empty pair when
// neither file exists (DbfHistoryFiles::open).
class TDbfTable : public TDataSet {
public:
    TDbfTable();
    ~TDbfTable() override;

    const QString &FilePath() const { return m_filePath; }
    void SetFilePath(const QString &directory);
    const QString &TableName() const { return m_tableName; }
    void SetTableName(const QString &name);
    // FilePath joined with TableName.
    QString TablePath() const;

    // Drops deleted records and their memo values from the files; the first record becomes
    // current.
    void PackTable();
    // Deletes every record and packs.
    void EmptyTable();
    // Searches the SQL memo for text, record by record from the current one (from the next one
    // in the direction when fromNext), forward or backward. A match becomes the current record;
    // without one the cursor stays.
    bool FindSQLText(const QString &text, bool matchCase, bool wholeWord, bool forward, bool fromNext);

    DbfHistoryFiles &Files() { return m_files; }

    bool GetFieldData(TField *field, void *buffer) override;
    void SetFieldData(TField *field, const void *buffer) override;
    std::unique_ptr<TStream> CreateBlobStream(TField *field, TBlobStreamMode mode) override;
    void CloseBlob(TField *field) override;
    bool BookmarkValid(const TBookmark &bookmark) override;
    int CompareBookmarks(const TBookmark &a, const TBookmark &b) override;
    bool IsSequenced() override { return !Filtered(); }

protected:
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer &buffer) override;
    void GetBookmarkData(TRecordBuffer buffer, void *data) override;
    void SetBookmarkData(TRecordBuffer buffer, const void *data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    int GetRecordSize() override { return m_dataSize; }
    void InternalInitRecord(TRecordBuffer buffer) override;
    void ClearCalcFields(TRecordBuffer buffer) override;
    void InternalFirst() override { m_current = -1; }
    void InternalLast() override { m_current = static_cast<qint64>(m_files.recordCount()); }
    void InternalGotoBookmark(const void *bookmark) override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalInitFieldDefs() override;
    bool IsCursorOpen() override { return m_files.isOpen(); }
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoValue(int value) override;

private:
    friend class DbfMemoStream;
    // The script text of a buffer: read from the memo file when first asked for.
    struct MemoSlot {
        QByteArray text;
        bool loaded = false;
        bool modified = false;
    };
    static constexpr int HeaderSize = 8; // record index (4), bookmark flag (1), padding

    TRecordBuffer bufferForState();
    qint32 recordIndexOf(TRecordBuffer buffer) const;
    // Offset of a column's presence byte in the buffer; -1 for the memo and unknown fields.
    int columnOffset(TField *field) const;
    MemoSlot &memoOf(TRecordBuffer buffer);
    bool isMemoField(TField *field) const;
    bool acceptRecord(qint64 index);
    void readIntoBuffer(quint32 index, TRecordBuffer buffer);
    dbf::Record recordFromBuffer(TRecordBuffer buffer);
    void appendFromBuffer(TRecordBuffer buffer);
    // After the files were replaced: the first record, or a closed dataset when they are gone.
    void afterRewrite();

    QString m_filePath;
    QString m_tableName = QStringLiteral("SQLHistory.dbf");
    DbfHistoryFiles m_files;
    qint64 m_current = -1; // physical record index; -1 before the first, count after the last
    int m_dataSize = 0;
    int m_bufferSize = 0;
    std::map<TField *, int> m_columns; // data field -> column 0..3
    std::map<TRecordBuffer, MemoSlot> m_memos;
    TRecordBuffer m_filterBuffer = nullptr;
};

} // namespace qd
