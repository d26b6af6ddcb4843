#pragma once

#include "ChangeLog.h"
#include "CollectionUpdatingTable.h"
#include "DataSetCachedUpdates.h"
#include "DataSetMasterDetail.h"
#include "DataSetProvider.h"
#include "DataSetQBE.h"
#include "EditLocking.h"
#include "EditStatement.h"
#include "OracleBlob.h"
#include "OracleCompress.h"
#include "OracleFieldInfo.h"
#include "OracleRecordStore.h"
#include "QBEControls.h"
#include "QBEDefinition.h"
#include "QBEStatement.h"
#include "classlib/DataSet.h"
#include "classlib/DataSource.h"
#include "classlib/ProviderSupport.h"
#include "classlib/StringList.h"
#include "oracle/OracleSessionDependent.h"
#include "oracle/ScreenServices.h"

#include <QChar>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace qd {

class TExpression;
class TFieldData;
class TLOBLocator;
class TOracleQuery;
class TOracleSession;
class TVariables;
class DataSetFilter;
struct EditTransaction;

enum TOracleProviderOption {
    opNoKeyFields = 1,
    opNoIndexDefs = 2,
    opNoDefaultOrder = 4,
    opNoCommit = 8
};
using TOracleProviderOptions = unsigned;

// What AfterFetchRecord answers: go on, stop this fetch step, end the result, or end it and
// discard the records fetched so far.
enum TAfterFetchRecordAction { afContinue = 0, afPause = 1, afStop = 2, afCancel = 3 };

// Option bits of TOracleDataSet::SearchRecord.
enum TSearchRecordOption {
    srForward = 1,
    srBackward = 2,
    srFromCurrent = 4,
    srFromBeginning = 8,
    srFromEnd = 16,
    srIgnoreCase = 32,
    srDateOnly = 64,
    srWildcards = 128,
    srPartial = 256,
    srDontMove = 512
};

class TOracleDataSet;
using TOracleDataSetEvent = std::function<void(TOracleDataSet *sender)>;
using TTranslateMessageEvent = std::function<void(TOracleDataSet *sender, int errorCode,
    const QString &constraintName, QChar action, QString &msg)>;
using TCancelQBEEvent = std::function<void(TOracleDataSet *sender, bool &requery)>;
using TApplyRecordEvent
    = std::function<void(TOracleDataSet *sender, QChar action, bool &applied, QString &newRowId)>;
using TAfterFetchRecordEvent = std::function<void(
    TOracleDataSet *sender, bool filterAccept, TAfterFetchRecordAction &action)>;

// The dataset over an Oracle query: runs one SELECT (or a PL/SQL block that opens a cursor
// variable) through its owned TOracleQuery "MainQuery", keeps the fetched rows in its record
// store, and serves them to grids and data-aware controls through the TDataSet contract.
//
// Records. A record buffer of the framework holds the header (TRecordHeader), then for every
// data or internal-calc field one null byte (1 = null) and the field's native value
// (TField::DataSize bytes), then the calculated-field area. A stored record holds the same
// header, then a null bit per stored field, the row address (a pointer to a copy held by the
// store) when the select list has one, and the values packed: fixed-size kinds as their native
// bytes, texts as a pointer to a copy held by the store, BLOB kinds in the record's TBlobList.
// Bookmarks are the 4-byte bookmark numbers, compared as numbers.
//
// Threads: a dataset is driven by one thread at a time; it may be opened and fetched on a
// worker while a DataSetModel shows it (detach the model first, see DataSetModel.h).
class TOracleDataSet : public TDataSet,
                       public OracleSessionDependent,
                       public TQBEDataSetLink,
                       public IProviderSupport {
public:
    explicit TOracleDataSet(QObject *owner = nullptr);
    ~TOracleDataSet() override;

    QObject *Owner() const { return m_owner; }

    // ---- Properties -----------------------------------------------------------------------------
    TStringList &SQL();
    const TStringList &SQL() const;
    // Assigns the text, forgets the resolved updating table and reopens an open dataset.
    void SetSQL(const TStringList &value);
    void SetSQLText(const QString &text);
    QString GetSQL() const;
    int ReadBuffer() const;
    void SetReadBuffer(int value);
    bool Optimize() const;
    void SetOptimize(bool value);
    bool Debug() const;
    void SetDebug(bool value);
    TVariables &Variables();
    void SetVariables(const TVariables &value);
    bool StringFieldsOnly() const;
    // A change reopens an open dataset.
    void SetStringFieldsOnly(bool value);
    TSequenceField &SequenceField() { return m_sequenceField; }
    void SetSequenceField(const TSequenceField &value) { m_sequenceField.Assign(value); }
    TOracleDictionary &OracleDictionary() { return m_dictionary; }
    void SetOracleDictionary(const TOracleDictionary &value) { m_dictionary.Assign(value); }
    TQBEDefinition &QBEDefinition() { return m_qbeDefinition; }
    TCursor Cursor() const;
    void SetCursor(TCursor value);
    const QString &UniqueFields() const { return m_uniqueFields; }
    void SetUniqueFields(const QString &value) { m_uniqueFields = value; }
    TOracleDataSet *Master() const { return m_links->master(); }
    // Refuses a circular chain; closes the dataset and moves it to the new master's details.
    void SetMaster(TOracleDataSet *value) { m_links->setMaster(value); }
    const QString &MasterFields() const { return m_links->masterFields(); }
    // Both close the dataset.
    void SetMasterFields(const QString &value) { m_links->setMasterFields(value); }
    const QString &DetailFields() const { return m_links->detailFields(); }
    void SetDetailFields(const QString &value) { m_links->setDetailFields(value); }
    bool ReadOnly() const { return m_readOnly; }
    // Raises the dataset-changed event on a change.
    virtual void SetReadOnly(bool value);
    TLockingModeOptions LockingMode() const { return m_lockingMode; }
    void SetLockingMode(TLockingModeOptions value) { m_lockingMode = value; }
    bool QueryAllRecords() const { return m_queryAllRecords; }
    void SetQueryAllRecords(bool value) { m_queryAllRecords = value; }
    bool Unidirectional() const { return m_unidirectional; }
    // Only while closed.
    void SetUnidirectional(bool value);
    bool CountAllRecords() const { return m_countAllRecords; }
    void SetCountAllRecords(bool value) { m_countAllRecords = value; }
    TRefreshOptions RefreshOptions() const { return m_refreshOptions; }
    void SetRefreshOptions(TRefreshOptions value) { m_refreshOptions = value; }
    const QString &UpdatingTable() const { return m_updatingTable; }
    void SetUpdatingTable(const QString &value);
    bool CommitOnPost() const { return m_commitOnPost; }
    void SetCommitOnPost(bool value) { m_commitOnPost = value; }
    bool CachedUpdates() const { return m_cachedUpdates; }
    // Switching it off while changes are logged raises: they would be lost.
    void SetCachedUpdates(bool value);
    bool QBEMode() const { return m_qbeMode; }
    // On an open dataset, enters or leaves QBE mode; on a closed one only stores the flag.
    void SetQBEMode(bool value);
    TOracleSession *Session() const;
    virtual void SetSession(TOracleSession *value);
    bool DesignActivation() const { return m_designActivation; }
    void SetDesignActivation(bool value) { m_designActivation = value; }
    bool Detachable() const { return m_detachable; }
    void SetDetachable(bool value) { m_detachable = value; }
    // Open while the session is missing or not connected.
    bool Detached() const;
    bool GetDetached() const { return Detached(); }
    bool CompressBLOBs() const { return m_compressBLOBs; }
    void SetCompressBLOBs(bool value) { m_compressBLOBs = value; }
    TOracleProviderOptions ProviderOptions() const { return m_providerOptions; }
    void SetProviderOptions(TOracleProviderOptions value) { m_providerOptions = value; }
    bool GetActive() const { return Active(); }
    // The activation rules of a streamed component (loading, design activation, a session
    // that cannot connect), then the framework's open or close.
    void SetActive(bool value) override;
    // Component streaming: between BeginLoading and Loaded, Active = True is only remembered.
    void BeginLoading() { m_loading = true; }
    void Loaded();
    bool Loading() const { return m_loading; }
    bool Designing() const { return m_designing; }
    void SetDesigning(bool value) { m_designing = value; }

    // ---- Events ---------------------------------------------------------------------------------
    TTranslateMessageEvent OnTranslateMessage;
    TOracleDataSetEvent BeforeQuery, AfterQuery;
    TOracleDataSetEvent BeforeQBE, AfterQBE;
    TCancelQBEEvent OnCancelQBE;
    TApplyRecordEvent OnApplyRecord;
    TAfterFetchRecordEvent AfterFetchRecord;
    TOracleDataSetEvent AfterRefreshRecord;
    TCompressionEvent OnCompressBLOB, OnDecompressBLOB;

    // ---- Queries --------------------------------------------------------------------------------
    TOracleQuery *MainQuery() const { return m_mainQuery; }
    // The query rows are read from: the main query, or the cursor query of a cursor dataset.
    TOracleQuery *ActiveQuery() const { return m_activeQuery; }
    // Errors of the last statement, as the main query reports them.
    int ErrorLine() const;
    int ErrorPosition() const;
    // True when one of the main query's variables is a cursor variable (SQLT_RSET).
    bool IsCursorDataSet() const;
    // The internal statement query "DMLQuery", created on first use and set up from the
    // dataset; Silent leaves Debug off. Release it when done.
    TOracleQuery *DMLQuery(bool silent);
    void ReleaseDMLQuery();
    // Declares the dataset's variables that text uses on query, with their values.
    void CopyVariablesTo(TOracleQuery &query, const QString &text);

    // ---- Bind variables (on the main query) -----------------------------------------------------
    void ClearVariables();
    void DeleteVariables();
    void DeclareVariable(const QString &name, int variableType);
    void SetVariable(const QString &name, const Variant &value);
    void SetComplexVariable(const QString &name, QObject *value);
    // Raises "Unknown variable: <name>".
    Variant GetVariable(const QString &name);
    int VariableCount() const;
    QString VariableName(int index) const;
    int VariableType(int index) const;
    int VariableIndex(const QString &name) const;

    // ---- Query by example ---------------------------------------------------------------------
    // Entering hooks the fields and, when interactive, empties the dataset and starts the QBE
    // record; leaving unhooks them, discards the record and (unless OnCancelQBE says no)
    // refreshes, so the statement with the last applied condition runs.
    void EnterQBEMode(bool interactive);
    void LeaveQBEMode(bool interactive);
    // Whether QBE mode may be entered; the first refusal raises when raiseError is set.
    bool CheckQBEAllowed(bool raiseError);
    // The QBE texts of the fields become their QBEValues (Null when empty).
    void StoreQBEValues();
    // Merges the fields' criteria into the statement, ending it with the QBE marker line.
    void ApplyQBE();
    // Gives the statement back as written before ApplyQBE and drops the QBE variables.
    void RemoveQBE();
    bool QBEApplied() const { return m_qbe->applied(); }
    // Colours the data-aware controls bound to this dataset (and lifts their MaxLength with
    // AllowOperators) on entering, gives them back on leaving; see QBEControls.h.
    void UpdateQBEControls(bool entering);
    // Refused in QBE mode before the QBE record is touched.
    void Refresh() override;

    // ---- Provider support (IProviderSupport) --------------------------------------------------
    void PSEndTransaction(bool commit) override;
    void PSExecute() override;
    int PSExecuteStatement(const QString &sql, const TParams &params,
        std::unique_ptr<TDataSet> *resultSet = nullptr) override;
    std::optional<TIndexDef> PSGetDefaultOrder() override;
    QString PSGetKeyFields() override;
    TParams *PSGetParams() override;
    QString PSGetQuoteChar() override { return QStringLiteral("\""); }
    QString PSGetTableName() override;
    TIndexDefs PSGetIndexDefs(TIndexOptions indexTypes) override;
    bool PSInTransaction() override { return m_cached->logActive(); }
    bool PSIsSQLBased() override { return true; }
    bool PSIsSQLSupported() override { return true; }
    void PSReset() override;
    void PSSetCommandText(const QString &text) override;
    void PSSetParams(const TParams &params) override;
    void PSStartTransaction() override;

    // ---- Records --------------------------------------------------------------------------------
    // The ROWID text of the current record, "" when there is none.
    QString RowId();
    bool HasRowId() const { return m_hasRowId; }
    int RowIdFieldIndex() const { return m_rowIdIndex; }
    // Raises the dataset-changed event; the session calls it on its detached datasets.
    void NotifyDataSetChange();
    // Closes the dataset and the main query's cursor and announces a property change.
    void ResetQuery();
    // Adds the next record to the store; false at the end of the result.
    bool FetchRecord();
    // Fetches until the result ends.
    void FetchAll();
    bool AllFetched() const { return m_allFetched; }
    // The server's count of the query's rows: "select count(*) from (<query>)".
    int CountQueryHits();
    // Searches the fetched (and, as needed, further) records; see TSearchRecordOption.
    bool SearchRecord(const QString &fieldNames, const Variant &fieldValues, int options);
    bool Locate(
        const QString &keyFields, const Variant &keyValues, TLocateOptions options) override;
    Variant Lookup(
        const QString &keyFields, const Variant &keyValues, const QString &resultFields) override;
    int CompareBookmarks(const TBookmark &a, const TBookmark &b) override;
    bool BookmarkValid(const TBookmark &bookmark) override;
    std::unique_ptr<TStream> CreateBlobStream(TField *field, TBlobStreamMode mode) override;
    void CloseBlob(TField *field) override;
    bool GetFieldData(TField *field, void *buffer) override;
    void SetFieldData(TField *field, const void *buffer) override;
    bool GetCurrentRecord(TRecordBuffer buffer) override;
    void DataEvent(TDataEvent event, qintptr info) override;
    void SetFiltered(bool value) override;
    void SetFilterText(const QString &text) override;
    void SetFilterOptions(TFilterOptions options) override;
    // Applies the filter to every stored record again and moves to the first.
    void Refilter();

    // ---- The record store, for the edit-back, change-log and QBE code ---------------------------
    TRecordDataList *RecordStore() const { return m_store.get(); }
    TOracleFieldInfoList &FieldInfo() { return m_fieldInfo; }
    TStringList &KeyFields() { return m_keyFields; }
    TDataSource *DataSource() { return &m_dataSource; }
    // Visible index of the current record, -1 before the first.
    int CurrentIndex() const { return m_currentIndex; }
    // Bytes of a stored record slot and of a record buffer.
    int StoredRecordSize() const { return m_storedSize; }
    int RecordBufferSize() const { return m_recordSize + CalcFieldsSize(); }
    // Converts between a stored record and a record buffer (header included). Decoding borrows
    // the stored record's BLOB list and row address; encoding keeps the stored record's.
    void DecodeRecord(const char *stored, char *buffer) const;
    void EncodeRecord(const char *buffer, char *stored);
    // The record of the current index in the store, null when there is none.
    char *CurrentStoredRecord() const;
    // The stored record with this bookmark number and its visible index; null when absent.
    char *FindBookmark(qint32 bookmark, int *index = nullptr) const;
    // The row address of a stored record; setting it keeps a copy in the store.
    QString RecordRowId(const char *record) const;
    void SetRecordRowId(char *record, const QString &rowId);
    // The next bookmark number.
    qint32 NextBookmark() { return ++m_bookmarkCounter; }
    // Releases what a stored record holds (its BLOB list).
    void ReleaseRecordContent(char *record);
    // The BLOB list of the record being edited.
    TBlobList &EditBlobs() { return m_editBlobs; }
    // The stored value of a BLOB field in the record field access reads now (the active
    // buffer's record, or the record of the old-value, new-value or filter state); null when
    // that record holds none.
    TOracleBlob *ReadBlob(TField *field);
    bool HasBlobFields() const { return m_hasBlobFields; }
    TBlobCompression BlobCompression();
    // The compression of a fetched BLOB value, reported through qWarning when it fails.
    void DecompressBlob(TBlobField *field, QByteArray &value);
    // Trailing blanks and control characters removed when the session trims string fields.
    QString TrimmedString(const QString &text) const;

    // ---- Keys and master/detail -----------------------------------------------------------------
    // The key columns of owner.table (primary key first, else the first unique key), read on
    // query; with checkFields, empty as soon as one of them is no field of the dataset.
    QStringList FindKeyColumns(
        TOracleQuery &query, const QString &owner, bool checkFields, const QString &table);
    // Fills list with the key fields: the fields named in UniqueFields, else the updating
    // table's key. Nothing happens without a ROWID in the select list.
    void DetermineKeyFields(TStringList &list);
    // The datasets whose Master is this one, in the order they were attached.
    const std::vector<TOracleDataSet *> &Details() const { return m_links->details(); }
    // Sets this detail's bind variables from the master's current record, or from the master
    // record held in masterBuffer.
    void SetDetailVariables(TRecordBuffer masterBuffer = nullptr)
    {
        m_links->setDetailVariables(masterBuffer);
    }
    // Raises "Field '<name>' must have a value" when a master link field is empty.
    void CheckMasterValues() { m_links->checkMasterValues(); }
    // The detail link fields take the master link fields' values.
    void CopyMasterValues() { m_links->copyMasterValues(); }
    // Whether the detail record in buffer belongs to the master's current record.
    bool MasterRecordMatches(TRecordBuffer buffer) { return m_links->masterRecordMatches(buffer); }
    // Some detail with CachedUpdates and a blank DetailFields has logged changes.
    bool HasCachedDetailChanges() const { return m_links->hasCachedDetailChanges(); }
    // The master is closed, empty, inserting or in QBE mode (false without a master).
    bool MasterHasNoCurrentRecord() const { return m_links->masterHasNoCurrentRecord(); }
    // Bookmark number of the current record; -1 when there is no current stored record.
    qint32 CurrentBookmarkNumber();
    // The bookmark number of the master record this detail last ran its query for; -1 = none.
    qint32 RememberedMasterBookmark() const { return m_links->masterBookmark(); }
    // The detail walk: each detail whose master record changed runs its query again. With
    // forget, the details only forget the master record they ran for.
    void RefreshDetails(bool forget = false) { m_links->refreshDetails(forget); }

    // ---- Cached updates: the change log ---------------------------------------------------------
    // Pending: CachedUpdates is set and something is logged. Commit keeps the logged changes in
    // the record store and forgets them; cancel undoes them in the store, newest first.
    bool UpdatesPending() const;
    void CommitUpdates();
    void CancelUpdates();
    TUpdateStatus UpdateStatus() override;
    TChangeLog<TLoggedRecord, TChangeLogItem> &ChangeLog() { return m_cached->log(); }
    // Set while a provider-driven update cycle logs the changes it sends to the server at once.
    bool ChangeLogActive() const { return m_cached->logActive(); }
    void SetChangeLogActive(bool value) { m_cached->setLogActive(value); }

    // ---- Consistency checks ---------------------------------------------------------------------
    // Internal inconsistencies are logged (qCritical) and counted, never fatal; tests expect 0.
    static int ConsistencyFailures();
    static void ReportInconsistency(const QString &message);

    // ---- OracleSessionDependent -----------------------------------------------------------------
    Kind dependentKind() const override { return dkDataSet; }
    QString dependentName() const override { return Name(); }
    void sessionLoggingOff() override;
    void sessionLoggedOff() override;
    void sessionPreferencesChanged() override;
    void sessionDestroyed() override;

    // ---- TQBEDataSetLink ------------------------------------------------------------------------
    QStringList QBEFieldDefNames() const override;
    bool QBEFieldDefIsBlobLike(const QString &name) const override;
    std::optional<QString> QBEFieldAsString(const QString &name) const override;
    void QBESetFieldText(const QString &name, const QString &text) override;

    // Hooks of the later layers (updating table, edit-back, dictionary checks).
    virtual void UpdatingTableAlias(QString &alias);
    virtual void UpdatingTableName(QString &name);
    virtual bool DoApplyRecord(QChar action, QString &newRowId);

protected:
    virtual TOracleQuery *CreateQuery();
    // The record store made at each open.
    virtual std::unique_ptr<TRecordDataList> CreateRecordStore();
    // Chooses the active query: the main query, or the cursor query bound to its cursor
    // variable (then the main statement runs at once).
    void PrepareCursor();

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
    void CalculateFields(TRecordBuffer buffer) override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalGotoBookmark(const void *bookmark) override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalPost() override;
    void InternalDelete() override;
    // Edit start: locks, checks or re-reads the record as LockingMode and RefreshOptions say.
    void InternalEdit() override;
    // Cancelling an edit under lmLockImmediate rolls back, which releases the lock.
    void InternalCancel() override;
    void InternalRefresh() override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalInitFieldDefs() override;
    bool IsCursorOpen() override { return m_store != nullptr; }
    // Hands the exception to the application's exception display.
    void InternalHandleException() override { ShowCurrentException(); }
    bool GetCanModify() override;
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoValue(int value) override;
    void DoBeforeInsert() override;
    void DoAfterInsert() override;
    void DoBeforeCancel() override;
    void DoAfterCancel() override;
    void DoOnNewRecord() override;
    // Cached updates: closing with changes that nothing would apply raises instead.
    void DoBeforeClose() override;

    // The execute step of open and refresh: empties the store, runs the query and, with
    // QueryAllRecords, fetches every row.
    void ExecuteQuery(bool opening);
    // Whether the filter (OnFilterRecord, then the filter expression) accepts a record buffer.
    bool FilterRecord(char *buffer);
    bool FilterAccept() override;

private:
    struct FieldSlot {
        TField *field = nullptr;
        TOracleFieldInfo *info = nullptr;
        int bufferOffset = 0; // null byte, then the value
        int storedOffset = -1; // packed value; -1 for BLOB kinds
        int nullBit = 0;
        int dataSize = 0;
        bool text = false;
        bool blob = false;
    };

    // The edit-back: the statements that write a posted or deleted record to the server.
    enum class PostOutcome { Sent, Applied, Skipped, NothingToInsert, Cached };
    bool writesToServer();
    PostOutcome postToServer(bool inserting, QString &newRowId);
    void deleteOnServer();
    void refreshAfterPost(bool inserting);
    // Locks, checks or re-reads the record of the active buffer; whether a lock point was set.
    bool recordServerAction(RecordServerAction action);
    QList<EditColumn> editColumns(bool inserting);
    EditRowIdentity editRowIdentity(bool oldValues);
    EditStatementOptions editStatementOptions();
    QString rowReference();
    [[noreturn]] void raiseTranslated(QChar action, int errorCode, const QString &message);
    // Lets go of the DML query after a lock, check, post or delete. Where the statement failed
    // (an empty failure is none), what was done since the lock point is taken back first when
    // rollBack is set, and the failure is then raised in the dataset's words.
    void endServerStatement(const EditTransaction &transaction, TOracleQuery &query, bool rollBack,
        QChar action, int failureCode, const QString &failure);
    // The same for a statement left by an exception of another kind, which the caller rethrows.
    void abandonServerStatement(
        const EditTransaction &transaction, TOracleQuery &query, bool rollBack);

    // LOB write-back: the server form of a LOB column's value in the record being posted.
    QByteArray editLobData(const EditLobWrite &write);

    // Collection details: the analysis of a TABLE(...) or THE(...) updating table, made once
    // per updating table, and the block that gives the master row an empty collection before
    // an element is inserted.
    void prepareCollectionInsert(TOracleQuery &query);
    void forgetCollectionTable();
    QList<EditBindVariable> dataSetBindVariables();
    QString m_collectionTableText; // the updating table the analysis below was made for
    bool m_collectionAnalysed = false;
    CollectionUpdatingTable m_collectionTable;
    QList<CollectionColumn> m_collectionColumns;
    QStringList m_collectionAttributes;

    // The dictionary layer: the updating table's column defaults on a new record, and its
    // constraints checked on the client before a post reaches the server.
    void applyDictionaryDefaults();
    void enforceRecordConstraints(bool inserting);
    // A field set in edit or insert state is checked alone against the constraints whose only
    // editable column it is; a rejected value raises and is not kept.
    bool checksFieldChanges(TField *field) const;
    void enforceFieldConstraints(TField *field);
    void enforceConstraints(bool inserting, const QString &fieldName);
    bool m_fillingNewRecord = false; // the new record's initial values are being set

    // Cached updates: the change log, the logging of posts and deletes and the merge of the log
    // into a re-query are the collaborator's.
    friend class DataSetCachedUpdates;
    std::unique_ptr<DataSetCachedUpdates> m_cached;
    bool cachedUpdatesInEffect() const { return m_cached->inEffect(); }
    bool hasChangeLogEntry() { return m_cached->activeEntry() != nullptr; }

    // Master/detail: the links, the detail walk and the link-field protection are the
    // collaborator's.
    friend class DataSetMasterDetail;
    std::unique_ptr<DataSetMasterDetail> m_links;

    void applyActive(bool value);
    void defineFieldsFromQuery(TOracleQuery &query);
    void bindFieldInfo();
    void applyDictionaryFieldOptions();
    void computeLayout();
    void readColumn(TOracleQuery &query, const FieldSlot &slot, char *stored);
    void readBlobColumn(TOracleQuery &query, const FieldSlot &slot, char *stored);
    bool readTextColumn(
        TOracleQuery &query, const FieldSlot &slot, const TFieldData &data, int row, char *stored);
    void readConvertedColumn(TOracleQuery &query, const FieldSlot &slot, char *value);
    void readLobColumn(TOracleQuery &query, const FieldSlot &slot, QByteArray &value);
    bool fetchOne();
    void ensureFetchedTo(int visibleIndex);
    void fetchBlock();
    const char *stateRecord(bool &isStored);
    char *decodeScratch(const char *stored) const;
    void reopenIfActive();
    void closeCursorQuery();
    TBlobList *blobListOf(const char *buffer) const;

    QObject *m_owner;
    TOracleQuery *m_mainQuery = nullptr;
    TOracleQuery *m_activeQuery = nullptr;
    TOracleQuery *m_cursorQuery = nullptr;
    bool m_cursorExecuted = false;
    TOracleQuery *m_dmlQuery = nullptr;
    // What the record store asks of the dataset; declared first so it outlives the store.
    std::unique_ptr<TRecordStoreClient> m_storeClient;
    std::unique_ptr<TRecordDataList> m_store;
    TSequenceField m_sequenceField;
    TOracleDictionary m_dictionary;
    TQBEDefinition m_qbeDefinition;
    TOracleFieldInfoList m_fieldInfo;
    TStringList m_keyFields;
    TDataSource m_dataSource;
    TBlobList m_editBlobs;
    std::unique_ptr<DataSetFilter> m_filter;

    QString m_uniqueFields;
    bool m_readOnly = false;
    TLockingModeOptions m_lockingMode = lmCheckImmediate;
    bool m_queryAllRecords = true;
    bool m_unidirectional = false;
    bool m_countAllRecords = false;
    TRefreshOptions m_refreshOptions = 0;
    QString m_updatingTable;
    QString m_resolvedUpdatingTable;
    bool m_commitOnPost = true;
    bool m_cachedUpdates = false;
    bool m_qbeMode = false;
    // QBE mode: the field hooks, the controls' colouring and the merged condition are the
    // collaborator's.
    friend class DataSetQBE;
    std::unique_ptr<DataSetQBE> m_qbe;
    bool m_designActivation = false;
    bool m_detachable = false;
    bool m_compressBLOBs = false;
    TOracleProviderOptions m_providerOptions = 0;
    // Provider support: the parameters mirrored from the variables, the LOBs that carry LOB
    // parameters, keys, indexes, order and the provider's transaction are the collaborator's.
    friend class DataSetProvider;
    std::unique_ptr<DataSetProvider> m_provider;
    bool m_loading = false;
    bool m_designing = false;
    bool m_activateAfterLoad = false;
    bool m_activating = false;

    // Open state
    std::vector<FieldSlot> m_slots;
    int m_nullBytes = 0;
    int m_recordSize = 0; // buffer: header + data area, without calculated fields
    int m_storedSize = 0;
    bool m_hasBlobFields = false;
    int m_rowIdIndex = -1;
    bool m_hasRowId = false;
    int m_rowIdOffset = -1; // in stored records
    int m_currentIndex = -1;
    int m_searchIndex = -1;
    qint32 m_bookmarkCounter = 0;
    bool m_allFetched = true;
    bool m_firstRowPositioned = false;
    bool m_opening = false;
    bool m_counted = false;
    int m_countedTotal = 0;
    int m_netInserts = 0;
    char *m_filterBuffer = nullptr; // the record being filtered
    mutable std::vector<char> m_scratch;
};

} // namespace qd
