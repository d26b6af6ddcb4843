#pragma once

#include "classlib/DataSet.h"

#include <climits>
#include <memory>
#include <vector>

namespace qd {

class TMemoryData;
class TMemBlobStream;

// One stored record of a TMemoryData: its ID (the record's bookmark), its data block (a presence
// byte and the native value of every stored field, see TMemoryData) and the values kept outside
// the block (BLOB bytes and variants). Records live in the dataset's record list, which owns
// them and whose order is the dataset's record order.
class TMemoryRecord {
public:
    TMemoryRecord() = default;
    TMemoryRecord(TMemoryRecord &&) noexcept = default;
    TMemoryRecord &operator=(TMemoryRecord &&) noexcept = default;

    qint32 ID() const { return m_id; }
    const char *Data() const { return m_data.get(); }

private:
    friend class TMemoryData;
    friend class TMemBlobStream;
    struct Outside {
        std::vector<QByteArray> blobs;
        std::vector<Variant> variants;
    };

    qint32 m_id = 0;
    // Scratch slot of the sort: which precomputed keys belong to the record.
    qint32 m_sortSlot = -1;
    std::unique_ptr<char[]> m_data;
    std::unique_ptr<Outside> m_outside; // only for datasets with BLOB or variant fields
};

// A dataset that keeps all its records in memory, with no database behind it. Grids, data-aware
// controls, filtering (OnFilterRecord), bookmarks, calculated and lookup fields, BLOB streams and
// the insert/edit/post/cancel/delete cycle work on it as on any dataset.
//
// Fields are declared as field definitions (default fields) or as persistent fields; opening
// refuses a field of a type it cannot keep ("Field '%s' is of an unknown type"). Records exist
// only while the dataset is open; closing frees them.
//
// Record IDs: every new record gets the next ID, starting at INT_MIN + 1; when the last record
// goes (deleted, emptied or closed) IDs start there again. The ID is the record's bookmark.
//
// Record buffer layout: the data block (per stored field definition, depth first, a presence
// byte and its native value, see FieldDataSize), the calculated-field area, 8 bytes of bookmark
// information (ID, flag), then the values kept outside the block: one QByteArray per BLOB field
// and one Variant per variant field.
class TMemoryData : public TDataSet {
public:
    TMemoryData();
    ~TMemoryData() override;

    // Bytes of a stored field's native value; 0 for kinds kept outside the block (BLOBs,
    // variants) and for unsupported kinds.
    static int FieldDataSize(TFieldType type, int size);
    static bool IsSupportedType(TFieldType type);

    int Capacity() const { return static_cast<int>(m_records.capacity()); }
    void SetCapacity(int value);

    // ---- Emptying, copying, loading, sorting, locating
    // Frees all records (IDs start again); the dataset must be open.
    void DeleteAllRecords();
    void EmptyTable() { DeleteAllRecords(); }
    // Replaces this (closed) dataset's fields by a copy of source's field definitions, without
    // the kinds it cannot keep. With no source only the fields are freed.
    void CopyStructure(TDataSet *source);
    // Appends the records of source (at most recordCount from its current record; all from its
    // first when recordCount <= 0) and returns their number. Unless appendOnly the structure is
    // copied first. Loading a dataset into itself copies nothing.
    int LoadFromDataSet(TDataSet *source, int recordCount, bool appendOnly);
    // Sorts the records on the fields (a ";" list); equal keys keep their order of creation.
    // The fields stay the dataset's index fields until it closes or loads another dataset.
    void SortByFields(
        const QString &fieldNames, bool caseInsensitive = false, bool descending = false);
    void SortOnFields(
        const QString &fieldNames, bool caseInsensitive = false, bool descending = false)
    {
        SortByFields(fieldNames, caseInsensitive, descending);
    }
    // -1, 0 or 1 in the order of the last sort (sort keys, then the IDs).
    virtual int CompareRecords(const TMemoryRecord &a, const TMemoryRecord &b);

    bool Locate(
        const QString &keyFields, const Variant &keyValues, TLocateOptions options) override;
    Variant Lookup(
        const QString &keyFields, const Variant &keyValues, const QString &resultFields) override;

    // ---- The dataset interface
    bool GetFieldData(TField *field, void *buffer) override;
    void SetFieldData(TField *field, const void *buffer) override;
    std::unique_ptr<TStream> CreateBlobStream(TField *field, TBlobStreamMode mode) override;
    void CloseBlob(TField *field) override;
    bool GetCurrentRecord(TRecordBuffer buffer) override;
    bool BookmarkValid(const TBookmark &bookmark) override;
    int CompareBookmarks(const TBookmark &a, const TBookmark &b) override;
    bool IsIndexField(TField *field) override;
    bool IsSequenced() override { return !Filtered(); }

    // The buffer that field access works on in the current state; false when there is none.
    virtual bool ActiveRecordBuffer(TRecordBuffer &buffer);

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
    void InternalFirst() override { m_position = -1; }
    void InternalLast() override { m_position = RecordListCount(); }
    void InternalGotoBookmark(const void *bookmark) override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalInitFieldDefs() override { }
    bool IsCursorOpen() override { return m_cursorOpen; }
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoValue(int value) override;

    // Copies the buffer's data block and outside values into record index.
    virtual void WriteRecordData(TRecordBuffer buffer, int index);
    // Gives every auto-increment data field of the buffer the next number (one per record).
    virtual void FillAutoIncFields(TRecordBuffer buffer);

private:
    friend class TMemBlobStream;
    friend class TMemoryLocator;
    friend class TMemorySorter;

    // Where a field definition's value lives.
    enum class Place : quint8 { None, Block, Blob, Variant };
    struct FieldPlace {
        Place place = Place::None;
        int offset = 0; // presence byte in the block, or index among BLOBs / variants
        TFieldType type = ftUnknown;
        int dataSize = 0;
    };
    struct BookmarkInfo {
        qint32 id;
        qint8 flag;
    };

    int RecordListCount() const { return static_cast<int>(m_records.size()); }
    const FieldPlace *placeOf(const TField *field) const;
    BookmarkInfo *bookmarkInfo(TRecordBuffer buffer) const
    {
        return reinterpret_cast<BookmarkInfo *>(buffer + m_bookmarkOffset);
    }
    QByteArray *blobsOf(TRecordBuffer buffer) const
    {
        return reinterpret_cast<QByteArray *>(buffer + m_blobOffset);
    }
    Variant *variantsOf(TRecordBuffer buffer) const
    {
        return reinterpret_cast<Variant *>(buffer + m_variantOffset);
    }
    void computeLayout();
    void checkFieldTypes();
    void freeAllRecords();
    TMemoryRecord newRecord();
    void insertRecord(int index, TRecordBuffer buffer);
    void copyRecordToBuffer(int index, TRecordBuffer buffer, bool calculate);
    bool recordAccepted(int index);
    int findRecordById(qint32 id) const;
    void dropSortKeys() { m_sortKeys.clear(); }
    // The two ways to sort the record list: through CompareRecords, or over precomputed values
    // when CompareRecords is this class's own.
    void sortRecords(class TMemorySorter &sorter);
    void sortSlots(class TMemorySorter &sorter);
    int runLocate(const std::vector<TField *> &fields, const Variant &keyValues,
        TLocateOptions options, int from);

    int m_position = -1;
    int m_recordSize = 0;
    int m_bookmarkOffset = 0;
    int m_blobOffset = 0;
    int m_variantOffset = 0;
    int m_recordBufferSize = 0;
    std::vector<FieldPlace> m_places; // per field definition
    std::vector<int> m_placeByFieldNo; // field number -> index into m_places
    int m_blobCount = 0;
    int m_variantCount = 0;
    qint32 m_lastId = INT_MIN;
    qint32 m_nextAutoInc = 1;
    bool m_cursorOpen = false;
    std::vector<TMemoryRecord> m_records;
    std::vector<TField *> m_sortKeys;
    bool m_caseInsensitiveSort = false;
    bool m_descendingSort = false;
    TRecordBuffer m_filterBuffer = nullptr;
    // Precomputed sort keys while a sort runs (see MemoryDataSort.cpp).
    class TMemorySorter *m_sorter = nullptr;
};

// Finds the first record whose key fields match (see TMemoryData::Locate) by moving through any
// dataset; the current record is kept when it matches, and when none matches the dataset goes
// back to where it was.
bool DataSetLocateThrough(
    TDataSet *dataSet, const QString &keyFields, const Variant &keyValues, TLocateOptions options);
// Copies the current record of source into dest, which must be editing: field by field of the
// same name, or by position in the field definitions.
void AssignRecord(TDataSet *source, TDataSet *dest, bool byName);
// -1, 0 or 1 for two native values of type (the sort's comparison).
int CompareFieldValues(const void *a, const void *b, TFieldType type, bool caseInsensitive);

} // namespace qd
