#pragma once

// A dataset over a vector of records, for the framework's tests. It follows the record-buffer
// contract the way the Oracle and in-memory datasets do: records are whole buffers (header,
// data fields with a null byte each, calculated area) copied in and out of the window; BLOB
// values live beside the buffers; rows come from a "server" list in blocks of ReadBuffer rows
// (0 = all at open), so lazy fetching can be tested.
#include "classlib/DataSet.h"

#include <map>

namespace qd::test {

class VectorDataSet : public TDataSet {
public:
    VectorDataSet();
    ~VectorDataSet() override;

    // The rows the dataset fetches at open, in FieldDefs order.
    void SetRows(std::vector<VariantArray> rows) { m_source = std::move(rows); }
    void SetReadBuffer(int rows) { m_readBuffer = rows; }
    void SetReadOnly(bool value) { m_readOnly = value; }
    // Records fetched so far (before filtering).
    int FetchedCount() const { return static_cast<int>(m_records.size()); }
    // Runs before the dataset's own edit, post and delete ("edit", "post", "delete"), so a
    // test can make them fail.
    std::function<void(const char *operation)> BeforeInternal;
    // Values of stored record i as Variants, read through the fields.
    Variant StoredValue(int record, const QString &fieldName);

    bool GetFieldData(TField *field, void *buffer) override;
    void SetFieldData(TField *field, const void *buffer) override;
    std::unique_ptr<TStream> CreateBlobStream(TField *field, TBlobStreamMode mode) override;
    void CloseBlob(TField *field) override;
    bool BookmarkValid(const TBookmark &bookmark) override;
    int CompareBookmarks(const TBookmark &a, const TBookmark &b) override;
    bool Locate(
        const QString &keyFields, const Variant &keyValues, TLocateOptions options) override;
    Variant Lookup(
        const QString &keyFields, const Variant &keyValues, const QString &resultFields) override;

protected:
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer &buffer) override;
    void GetBookmarkData(TRecordBuffer buffer, void *data) override;
    void SetBookmarkData(TRecordBuffer buffer, const void *data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    int GetRecordSize() override { return m_recordSize; }
    void InternalInitRecord(TRecordBuffer buffer) override;
    void ClearCalcFields(TRecordBuffer buffer) override;
    void InternalFirst() override { m_current = -1; }
    void InternalLast() override;
    void InternalGotoBookmark(const void *bookmark) override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalEdit() override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalRefresh() override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalInitFieldDefs() override;
    bool IsCursorOpen() override { return m_open; }
    bool GetCanModify() override { return !m_readOnly; }
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoValue(int value) override;

private:
    friend class VectorBlobStream;
    struct Record {
        std::vector<char> data; // a whole buffer
        std::vector<QByteArray> blobs;
    };
    static constexpr int headerSize = 8; // id (4), flag (1), padding

    TRecordBuffer bufferForState();
    char *fieldPlace(TField *field, TRecordBuffer buffer);
    int blobIndex(TField *field) const;
    std::vector<QByteArray> &blobsOf(TRecordBuffer buffer);
    int findRecord(qint32 id) const;
    bool fetchBlock();
    bool acceptRecord(int index);
    void copyToBuffer(int index, TRecordBuffer buffer);
    void storeBuffer(TRecordBuffer buffer, int index);

    std::vector<VariantArray> m_source;
    size_t m_sourcePos = 0;
    int m_readBuffer = 0;
    bool m_readOnly = false;
    bool m_open = false;
    std::vector<Record> m_records;
    int m_current = -1;
    qint32 m_lastId = 0;
    int m_recordSize = 0;
    int m_bufferSize = 0;
    std::map<TField *, int> m_offsets;
    std::vector<TField *> m_blobFields;
    std::map<TRecordBuffer, std::vector<QByteArray>> m_bufferBlobs;
    TRecordBuffer m_filterBuffer = nullptr;
};

} // namespace qd::test
