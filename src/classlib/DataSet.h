#pragma once

#include "DataSetTypes.h"
#include "Field.h"
#include "FieldDefs.h"
#include "Variant.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace qd {

class TDataSource;
class TDataLink;
class TStream;

// The class library's dataset: states, a window of record buffers over a cursor that a
// descendant supplies, navigation, editing, bookmarks, filtering hooks, fields and
// notifications of data sources. A descendant owns the records and their buffer layout and
// implements the protected virtual operations; docs/ARCHITECTURE.md lists the contract and the
// order of events. A dataset is driven by one thread at a time and has no lock of its own.
class TDataSet {
public:
    TDataSet();
    // Descendants must call Close() in their own destructor: closing calls their operations.
    virtual ~TDataSet();
    TDataSet(const TDataSet &) = delete;
    TDataSet &operator=(const TDataSet &) = delete;

    const QString &Name() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }

    // ---- Activation and state
    bool Active() const { return m_state != dsInactive && m_state != dsOpening; }
    virtual void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return m_state; }
    bool Modified() const { return m_modified; }
    void CheckActive() const;
    void CheckInactive() const;
    // Posts or cancels a pending edit (an unmodified insert is cancelled).
    void CheckBrowseMode();
    bool CanModify() { return GetCanModify(); }
    bool AutoCalcFields() const { return m_autoCalcFields; }
    void SetAutoCalcFields(bool value) { m_autoCalcFields = value; }

    // Switches to state for a moment without notifying controls; with a buffer, field access
    // reads and writes that buffer (ActiveBuffer / CalcBuffer give it). Pair with RestoreState.
    TDataSetState SetTempState(TDataSetState state, TRecordBuffer buffer = nullptr);
    void RestoreState(TDataSetState previous);

    // ---- Fields
    TFieldDefs &FieldDefs() { return m_fieldDefs; }
    TFields &Fields() { return m_fields; }
    const TFields &Fields() const { return m_fields; }
    int FieldCount() const { return m_fields.Count(); }
    TField *FieldByName(const QString &name) const { return m_fields.FieldByName(name); }
    TField *FindField(const QString &name) const { return m_fields.FindField(name); }
    // Fields named in a ";" separated list; an unknown name raises "Field '%s' not found".
    void GetFieldList(std::vector<TField *> &list, const QString &fieldNames) const;
    void GetFieldNames(QStringList &list) const;
    Variant FieldValues(const QString &fieldNames);
    void SetFieldValues(const QString &fieldNames, const Variant &value);
    // True when the fields were created from the field definitions at open.
    bool DefaultFields() const { return m_defaultFields; }
    // Fills FieldDefs from the descendant's description of its columns.
    void InitFieldDefs();

    // ---- Navigation
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    int MoveBy(int distance);
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    bool IsEmpty() const { return m_bof && m_eof; }
    int RecordCount() { return GetRecordCount(); }
    int RecNo() { return GetRecNo(); }
    void SetRecNo(int value) { SetRecNoValue(value); }
    // Re-reads the window around the cursor; rmExact raises "Record not found" when the
    // cursor's record is gone, rmCenter puts the record in the middle of the window.
    void Resync(TResyncModes mode);
    // Descendants may refuse a refresh before the pending edit is posted or cancelled.
    virtual void Refresh();
    void CursorPosChanged() { m_currentRecord = -1; }
    // Brings the descendant's cursor to the active record.
    void UpdateCursorPos();

    // ---- Editing
    void Edit();
    void Insert();
    void Append();
    // Descendants may refuse or skip a post (and then call the base).
    virtual void Post();
    void Cancel();
    void Delete();
    // Lets data-aware controls write their pending changes into the record.
    void UpdateRecord();

    // ---- Bookmarks
    TBookmark GetBookmark();
    TBookmark Bookmark() { return GetBookmark(); }
    void SetBookmark(const TBookmark &bookmark) { GotoBookmark(bookmark); }
    void GotoBookmark(const TBookmark &bookmark);
    void FreeBookmark(TBookmark &bookmark) { bookmark.clear(); }
    virtual bool BookmarkValid(const TBookmark &bookmark);
    // -1, 0, 1; an absent (empty) bookmark is smaller than a given one.
    virtual int CompareBookmarks(const TBookmark &a, const TBookmark &b);

    // ---- Searching: hooks a descendant overrides (the base finds nothing).
    virtual bool Locate(const QString &keyFields, const Variant &keyValues, TLocateOptions options);
    virtual Variant Lookup(
        const QString &keyFields, const Variant &keyValues, const QString &resultFields);

    // ---- Filtering
    const QString &Filter() const { return m_filterText; }
    void SetFilter(const QString &text) { SetFilterText(text); }
    bool Filtered() const { return m_filtered; }
    virtual void SetFiltered(bool value);
    TFilterOptions FilterOptions() const { return m_filterOptions; }
    virtual void SetFilterOptions(TFilterOptions options);
    virtual void SetFilterText(const QString &text);
    virtual void SetOnFilterRecord(TFilterRecordEvent handler);

    // ---- Controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }
    // Sends a data event to the dataset's data sources (and through them to their links).
    virtual void DataEvent(TDataEvent event, qintptr info);

    // ---- Field data access used by TField; descendants implement both.
    virtual bool GetFieldData(TField *field, void *buffer) = 0;
    virtual void SetFieldData(TField *field, const void *buffer) = 0;
    virtual std::unique_ptr<TStream> CreateBlobStream(TField *field, TBlobStreamMode mode);
    virtual void CloseBlob(TField *field) { (void)field; }
    virtual TUpdateStatus UpdateStatus() { return usUnmodified; }
    // Copies the active record into buffer; false when there is none (the base has none).
    virtual bool GetCurrentRecord(TRecordBuffer buffer)
    {
        (void)buffer;
        return false;
    }
    // True when the dataset's records are ordered by the field (a sort key).
    virtual bool IsIndexField(TField *field)
    {
        (void)field;
        return false;
    }
    virtual bool IsSequenced() { return true; }

    // ---- Reading records without moving (grid models): visits at most maxCount records
    // after the bookmark (from the first when it is empty), in order. Fields read the visited
    // record through a temporary browse state. No event is sent and the cursor is resynced
    // before the next operation. Returns false when the end was reached.
    bool ReadRecords(
        const TBookmark &after, int maxCount, const std::function<void(const TBookmark &)> &visit);
    // Bookmark flag of the active buffer (bfInserted, bfEOF while appending, ...).
    TBookmarkFlag ActiveBookmarkFlag();
    // For an inserted record, the bookmark of the record it was inserted before.
    TBookmark InsertedBeforeBookmark();

    // ---- Events (first argument: the dataset)
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TDataSetErrorEvent OnPostError, OnDeleteError, OnEditError;
    TFilterRecordEvent OnFilterRecord;

protected:
    // ---- The record-buffer contract (see docs/ARCHITECTURE.md).
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(TRecordBuffer &buffer) = 0;
    virtual void GetBookmarkData(TRecordBuffer buffer, void *data) = 0;
    virtual void SetBookmarkData(TRecordBuffer buffer, const void *data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
    virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
    virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) = 0;
    virtual int GetRecordSize() { return 0; }
    virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
    // InternalInitRecord, ClearCalcFields, flag bfInserted.
    virtual void InitRecord(TRecordBuffer buffer);
    virtual void ClearCalcFields(TRecordBuffer buffer) { (void)buffer; }
    // Computes lookup fields and runs OnCalcFields with the buffer as CalcBuffer().
    virtual void CalculateFields(TRecordBuffer buffer);
    // Runs CalculateFields in the calc-fields state when the dataset has calculated fields;
    // descendants call it from GetRecord.
    void GetCalcFields(TRecordBuffer buffer);
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual void InternalGotoBookmark(const void *bookmark) = 0;
    virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
    virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
    // The base checks the required fields; descendants call it first.
    virtual void InternalPost();
    virtual void InternalEdit() { }
    virtual void InternalInsert() { }
    virtual void InternalCancel() { }
    virtual void InternalDelete() = 0;
    virtual void InternalRefresh() { }
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual void InternalInitFieldDefs() = 0;
    // Called inside a catch block for an exception of an event handler that must not stop
    // the operation; the base logs it. Descendants may hand it to the application.
    virtual void InternalHandleException();
    virtual bool IsCursorOpen() = 0;
    // Whether the record being filtered passes the dataset's own filter, its Filter text. A
    // descendant asks it while Filtered, in the filter state, after OnFilterRecord has left
    // Accept true. The base knows no filter language and accepts every record; a descendant
    // answers it with a filter bound to its Filter and FilterOptions. Errors reach the code that
    // caused the filtering.
    virtual bool FilterAccept() { return true; }
    virtual bool GetCanModify() { return true; }
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }
    virtual void SetRecNoValue(int value) { (void)value; }

    // ---- Notifications a descendant may extend.
    virtual void DoBeforeOpen() { Notify(BeforeOpen); }
    virtual void DoAfterOpen() { Notify(AfterOpen); }
    virtual void DoBeforeClose() { Notify(BeforeClose); }
    virtual void DoAfterClose() { Notify(AfterClose); }
    virtual void DoBeforeInsert() { Notify(BeforeInsert); }
    virtual void DoAfterInsert() { Notify(AfterInsert); }
    virtual void DoBeforeEdit() { Notify(BeforeEdit); }
    virtual void DoAfterEdit() { Notify(AfterEdit); }
    virtual void DoBeforePost() { Notify(BeforePost); }
    virtual void DoAfterPost() { Notify(AfterPost); }
    virtual void DoBeforeCancel() { Notify(BeforeCancel); }
    virtual void DoAfterCancel() { Notify(AfterCancel); }
    virtual void DoBeforeDelete() { Notify(BeforeDelete); }
    virtual void DoAfterDelete() { Notify(AfterDelete); }
    virtual void DoBeforeScroll() { Notify(BeforeScroll); }
    virtual void DoAfterScroll() { Notify(AfterScroll); }
    virtual void DoBeforeRefresh() { Notify(BeforeRefresh); }
    virtual void DoAfterRefresh() { Notify(AfterRefresh); }
    virtual void DoOnNewRecord() { Notify(OnNewRecord); }
    virtual void DoOnCalcFields() { Notify(OnCalcFields); }

    // ---- Helpers for descendants.
    void CreateFields();
    void DestroyFields();
    // Assigns calculated-field offsets (binding) or forgets them.
    void BindFields(bool binding);
    void CheckRequiredFields();
    void CheckCanModify();
    void SetState(TDataSetState value);
    void SetModified(bool value) { m_modified = value; }
    void ClearBuffers();
    int BookmarkSize() const { return m_bookmarkSize; }
    void SetBookmarkSize(int size) { m_bookmarkSize = size; }
    int CalcFieldsSize() const { return m_calcFieldsSize; }
    // The buffer of the current temporary state when it has one, else the window's active
    // buffer (nullptr while there is no window).
    TRecordBuffer ActiveBuffer() const;
    TRecordBuffer CalcBuffer() const { return m_calcBuffer; }
    // The window: BufferCount buffers, RecordCountInBuffers of them hold records.
    int BufferCount() const { return m_bufferCount; }
    int ActiveRecordIndex() const { return m_activeRecord; }
    int RecordCountInBuffers() const { return m_recordCount; }
    TRecordBuffer Buffer(int index) const { return m_buffers[static_cast<size_t>(index)]; }
    bool InternalOpenInProgress() const { return m_state == dsOpening; }

private:
    friend class TDataLink;
    friend class TDataSource;
    friend class TTempState;

    void Notify(const TDataSetNotifyEvent &event);
    void OpenCursor();
    void CloseCursor();
    void SetBufferCount(int count);
    void UpdateBufferCount();
    void SetCurrentRecord(int index);
    bool GetNextRecord();
    bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    void MoveBuffer(int from, int to);
    void ActivateBuffers();
    void BeginInsertAppend();
    void EndInsertAppend();
    void FreeFieldBuffers();
    void CheckOperation(void (TDataSet::*operation)(), const TDataSetErrorEvent &onError);
    void UpdateCalcFields();
    void CalcLookupValue(TField *field);
    void AddDataSource(TDataSource *source);
    void RemoveDataSource(TDataSource *source);

    QString m_name;
    TDataSetState m_state = dsInactive;
    bool m_modified = false;
    bool m_autoCalcFields = true;
    bool m_defaultFields = false;
    bool m_bof = true;
    bool m_eof = true;
    TFieldDefs m_fieldDefs;
    TFields m_fields;
    int m_calcFieldsSize = 0;
    bool m_hasCalcFields = false;
    int m_bookmarkSize = 0;

    std::vector<TRecordBuffer> m_buffers; // BufferCount + 1; the last is the spare
    int m_bufferCount = 0;
    int m_recordCount = 0;
    int m_activeRecord = 0;
    int m_currentRecord = -1;
    TRecordBuffer m_calcBuffer = nullptr;
    struct TempFrame {
        TRecordBuffer buffer;
        TRecordBuffer calcBuffer;
        bool modified;
    };
    std::vector<TempFrame> m_tempStates;

    QString m_filterText;
    bool m_filtered = false;
    TFilterOptions m_filterOptions = 0;

    int m_disableCount = 0;
    TDataSetState m_disableState = dsInactive;
    TDataEvent m_enableEvent = deDataSetChange;
    std::vector<TDataSource *> m_dataSources;
};

// Scoped temporary state: TTempState t(dataSet, dsOldValue); reads old values until t ends.
class TTempState {
public:
    TTempState(TDataSet *dataSet, TDataSetState state, TRecordBuffer buffer = nullptr)
        : m_dataSet(dataSet)
        , m_previous(dataSet->SetTempState(state, buffer))
    {
    }
    ~TTempState() { m_dataSet->RestoreState(m_previous); }
    TTempState(const TTempState &) = delete;
    TTempState &operator=(const TTempState &) = delete;

private:
    TDataSet *m_dataSet;
    TDataSetState m_previous;
};

} // namespace qd
