// The dataset component: construction, properties, bind-variable forwarders, the session link,
// activation rules and the statement queries it owns.
#include "OracleDataSet.h"
#include "UpdatingTable.h"

#include "ColumnExpression.h"
#include "DataSetFilter.h"
#include "classlib/BlobField.h"
#include "oracle/LOBLocator.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleSqlText.h"

#include <QDebug>
#include <QRegularExpression>

#include <atomic>

namespace qd {

namespace {

std::atomic<int> consistencyFailures { 0 };

// Records blocks that outlive every dataset are a leak; the check runs when the process ends
// and only reports.
struct ExitCheck {
    ~ExitCheck()
    {
        if (TRecordDataList::LiveBlocks() != 0)
            qCritical(
                "Assertion failed: RecordBlocks = 0 (%d left)", TRecordDataList::LiveBlocks());
    }
} exitCheck;

// The record store's view of its dataset.
class DataSetStoreClient final : public TRecordStoreClient {
public:
    explicit DataSetStoreClient(TOracleDataSet &dataSet)
        : m_dataSet(dataSet)
    {
    }
    bool StoreFiltered() const override { return m_dataSet.Filtered(); }
    int StoreMinimumBlockSlots() const override { return m_dataSet.ReadBuffer() + 1; }
    QString StoreName() const override { return m_dataSet.Name(); }
    void ReleaseRecordContent(char *record) override { m_dataSet.ReleaseRecordContent(record); }
    void ReportInconsistency(const QString &message) override
    {
        TOracleDataSet::ReportInconsistency(message);
    }

private:
    TOracleDataSet &m_dataSet;
};

} // namespace

int TOracleDataSet::ConsistencyFailures()
{
    return consistencyFailures.load();
}

void TOracleDataSet::ReportInconsistency(const QString &message)
{
    ++consistencyFailures;
    qCritical("%s", qPrintable(message));
}

TOracleDataSet::TOracleDataSet(QObject *owner)
    : m_owner(owner)
    , m_sequenceField(this)
    , m_dictionary(this)
    , m_qbeDefinition(this)
    , m_fieldInfo(this)
    , m_filter(std::make_unique<DataSetFilter>(*this))
{
    m_cached = std::make_unique<DataSetCachedUpdates>(*this);
    m_links = std::make_unique<DataSetMasterDetail>(*this);
    m_qbe = std::make_unique<DataSetQBE>(*this);
    m_provider = std::make_unique<DataSetProvider>(*this);
    m_storeClient = std::make_unique<DataSetStoreClient>(*this);
    m_mainQuery = CreateQuery();
    m_mainQuery->setObjectName(QStringLiteral("MainQuery"));
    m_activeQuery = m_mainQuery;
    m_sequenceField.SetApplyMoment(amOnPost);
    m_dataSource.SetDataSet(this);
}

TOracleDataSet::~TOracleDataSet()
{
    // A dataset destroyed half-way through streaming still closes.
    m_loading = false;
    m_designActivation = false;
    m_cached->dropOnDestroy();
    try {
        Close();
    } catch (const std::exception &e) {
        qWarning("%s: closing failed: %s", qPrintable(Name()), e.what());
    } catch (...) {
        qWarning("%s: closing failed", qPrintable(Name()));
    }
    m_links->detach();
    m_dataSource.SetDataSet(nullptr);
    if (TOracleSession *session = Session())
        session->RemoveDependent(this);
    closeCursorQuery();
    delete m_dmlQuery;
    delete m_mainQuery;
}

TOracleQuery *TOracleDataSet::CreateQuery()
{
    return new TOracleQuery();
}

// ---- Properties

TStringList &TOracleDataSet::SQL()
{
    return m_mainQuery->SQL();
}

const TStringList &TOracleDataSet::SQL() const
{
    return m_mainQuery->SQL();
}

void TOracleDataSet::SetSQL(const TStringList &value)
{
    SetSQLText(value.Text());
}

void TOracleDataSet::SetSQLText(const QString &text)
{
    m_cached->refuseToDropPending();
    m_mainQuery->SQL().SetText(text);
    m_resolvedUpdatingTable.clear();
    forgetCollectionTable();
    DataEvent(dePropertyChange, 0);
    reopenIfActive();
}

QString TOracleDataSet::GetSQL() const
{
    return m_mainQuery->SQL().Text();
}

int TOracleDataSet::ReadBuffer() const
{
    return m_mainQuery->ReadBuffer();
}

void TOracleDataSet::SetReadBuffer(int value)
{
    m_mainQuery->SetReadBuffer(value);
}

bool TOracleDataSet::Optimize() const
{
    return m_mainQuery->Optimize();
}

void TOracleDataSet::SetOptimize(bool value)
{
    m_mainQuery->SetOptimize(value);
}

bool TOracleDataSet::Debug() const
{
    return m_mainQuery->Debug();
}

void TOracleDataSet::SetDebug(bool value)
{
    m_mainQuery->SetDebug(value);
}

TVariables &TOracleDataSet::Variables()
{
    return m_mainQuery->Variables();
}

void TOracleDataSet::SetVariables(const TVariables &value)
{
    m_mainQuery->SetVariables(value);
}

bool TOracleDataSet::StringFieldsOnly() const
{
    return m_mainQuery->StringFieldsOnly();
}

void TOracleDataSet::SetStringFieldsOnly(bool value)
{
    if (value == StringFieldsOnly())
        return;
    m_cached->refuseToDropPending();
    m_mainQuery->SetStringFieldsOnly(value);
    DataEvent(dePropertyChange, 0);
    reopenIfActive();
}

TCursor TOracleDataSet::Cursor() const
{
    return m_mainQuery->Cursor();
}

void TOracleDataSet::SetCursor(TCursor value)
{
    m_mainQuery->SetCursor(value);
}

void TOracleDataSet::SetReadOnly(bool value)
{
    if (value == m_readOnly)
        return;
    m_readOnly = value;
    DataEvent(deDataSetChange, 0);
}

void TOracleDataSet::SetUnidirectional(bool value)
{
    CheckInactive();
    m_unidirectional = value;
}

void TOracleDataSet::SetUpdatingTable(const QString &value)
{
    m_updatingTable = value;
    m_resolvedUpdatingTable.clear();
    forgetCollectionTable();
}

TOracleSession *TOracleDataSet::Session() const
{
    return m_mainQuery->Session();
}

bool TOracleDataSet::Detached() const
{
    return Active() && (!Session() || !Session()->Connected());
}

int TOracleDataSet::ErrorLine() const
{
    return m_mainQuery->ErrorLine();
}

int TOracleDataSet::ErrorPosition() const
{
    return m_mainQuery->ErrorPosition();
}

void TOracleDataSet::reopenIfActive()
{
    if (!Active())
        return;
    Close();
    Open();
}

// ---- Cached updates

void TOracleDataSet::SetCachedUpdates(bool value)
{
    if (value == m_cachedUpdates)
        return;
    if (!value)
        m_cached->checkCanDisable();
    m_cachedUpdates = value;
}

bool TOracleDataSet::UpdatesPending() const
{
    return m_cached->pending();
}

TUpdateStatus TOracleDataSet::UpdateStatus()
{
    return m_cached->updateStatus();
}

void TOracleDataSet::CommitUpdates()
{
    m_cached->commit();
}

void TOracleDataSet::CancelUpdates()
{
    m_cached->cancel();
}

void TOracleDataSet::DoBeforeClose()
{
    m_cached->refuseToDropPending();
    TDataSet::DoBeforeClose();
}

// ---- Session

void TOracleDataSet::SetSession(TOracleSession *value)
{
    TOracleSession *old = Session();
    if (value == old)
        return;
    if (value || !m_detachable)
        Close();
    if (old)
        old->RemoveDependent(this);
    m_mainQuery->SetSession(value);
    // The collection analysis holds what the old session's user owns.
    forgetCollectionTable();
    if (value)
        value->AddDependent(this);
    if (Detached())
        NotifyDataSetChange();
    if (m_activateAfterLoad && value && !m_loading)
        SetActive(true);
}

void TOracleDataSet::sessionLoggingOff()
{
    // The next logon may be another user's.
    forgetCollectionTable();
    if (!m_detachable) {
        try {
            Close();
        } catch (const std::exception &e) {
            qWarning("%s: closing failed: %s", qPrintable(Name()), e.what());
        }
    }
}

void TOracleDataSet::sessionLoggedOff()
{
    if (Active())
        NotifyDataSetChange();
}

void TOracleDataSet::sessionPreferencesChanged()
{
    const bool wasActive = Active();
    ResetQuery();
    if (wasActive)
        Open();
}

void TOracleDataSet::sessionDestroyed()
{
    // The session is going away while holding its list: the queries forget it through their own
    // registration; the dataset keeps its records and reports Detached from now on.
}

void TOracleDataSet::NotifyDataSetChange()
{
    DataEvent(deDataSetChange, 0);
}

void TOracleDataSet::ResetQuery()
{
    Close();
    m_mainQuery->Close();
    DataEvent(dePropertyChange, 0);
}

// ---- Activation

void TOracleDataSet::SetActive(bool value)
{
    if (m_designActivation && !m_designing && m_loading)
        return;
    if (m_loading || (!Session() && m_designing)) {
        if (value)
            m_activateAfterLoad = true;
        return;
    }
    const bool fromLoading = m_activateAfterLoad;
    m_activateAfterLoad = false;
    if (value == Active())
        return;
    if (TOracleSession *session = Session())
        session->CompleteStreamedLogOn();
    if (value && fromLoading && Session() && !Session()->Connected() && !m_designing)
        return;
    m_activating = true;
    try {
        TDataSet::SetActive(value);
    } catch (...) {
        m_activating = false;
        throw;
    }
    m_activating = false;
    // The open itself left the dataset empty; now the QBE record is started.
    if (value && m_qbeMode && Active())
        EnterQBEMode(true);
}

void TOracleDataSet::Loaded()
{
    m_loading = false;
    if (m_activateAfterLoad)
        SetActive(true);
}

// ---- Bind variables

void TOracleDataSet::ClearVariables()
{
    m_mainQuery->ClearVariables();
}

void TOracleDataSet::DeleteVariables()
{
    m_mainQuery->DeleteVariables();
    m_provider->forgetParams();
}

void TOracleDataSet::DeclareVariable(const QString &name, int variableType)
{
    m_mainQuery->DeclareVariable(name, variableType);
    m_provider->forgetParams();
}

void TOracleDataSet::SetVariable(const QString &name, const Variant &value)
{
    m_mainQuery->SetVariable(name, value);
}

void TOracleDataSet::SetComplexVariable(const QString &name, QObject *value)
{
    m_mainQuery->SetComplexVariable(name, value);
}

Variant TOracleDataSet::GetVariable(const QString &name)
{
    return m_mainQuery->GetVariable(name);
}

int TOracleDataSet::VariableCount() const
{
    return m_mainQuery->VariableCount();
}

QString TOracleDataSet::VariableName(int index) const
{
    return m_mainQuery->VariableName(index);
}

int TOracleDataSet::VariableType(int index) const
{
    return m_mainQuery->VariableType(index);
}

int TOracleDataSet::VariableIndex(const QString &name) const
{
    return m_mainQuery->VariableIndex(name);
}

bool TOracleDataSet::IsCursorDataSet() const
{
    for (int i = 0; i < m_mainQuery->VariableCount(); ++i)
        if (m_mainQuery->VariableType(i) == SQLT_RSET)
            return true;
    return false;
}

// ---- Statement queries

TOracleQuery *TOracleDataSet::DMLQuery(bool silent)
{
    if (!m_dmlQuery) {
        m_dmlQuery = CreateQuery();
        m_dmlQuery->setObjectName(QStringLiteral("DMLQuery"));
    }
    m_dmlQuery->SetDebug(Debug() && !silent);
    m_dmlQuery->SetOptimize(Optimize());
    m_dmlQuery->SetSession(Session());
    m_dmlQuery->SetCursor(Cursor());
    m_dmlQuery->SetReadBuffer(2);
    m_dmlQuery->SetStringFieldsOnly(false);
    return m_dmlQuery;
}

void TOracleDataSet::ReleaseDMLQuery()
{
    if (!m_dmlQuery)
        return;
    TOracleSession *session = Session();
    if (!(Optimize() && session && !session->UsesStatementCache()))
        m_dmlQuery->Close();
}

void TOracleDataSet::CopyVariablesTo(TOracleQuery &query, const QString &text)
{
    const TStringList names = FindVariables(text, false);
    for (int i = 0; i < names.Count(); ++i) {
        const int index = VariableIndex(names[i]);
        if (index < 0)
            continue;
        const QString name = VariableName(index);
        query.DeclareVariable(name, VariableType(index));
        if (VariableType(index) != SQLT_RSET)
            query.SetVariable(name, GetVariable(name));
    }
}

void TOracleDataSet::closeCursorQuery()
{
    m_activeQuery = m_mainQuery;
    if (m_cursorQuery) {
        try {
            delete m_cursorQuery;
        } catch (...) {
        }
        m_cursorQuery = nullptr;
    }
    m_cursorExecuted = false;
}

void TOracleDataSet::PrepareCursor()
{
    m_activeQuery = m_mainQuery;
    int cursorVariable = -1;
    for (int i = 0; i < m_mainQuery->VariableCount() && cursorVariable < 0; ++i)
        if (m_mainQuery->VariableType(i) == SQLT_RSET)
            cursorVariable = i;
    if (cursorVariable < 0)
        return;
    if (!m_cursorQuery) {
        m_cursorQuery = new TOracleQuery();
        m_cursorQuery->setObjectName(QStringLiteral("CursorQuery"));
    }
    m_cursorQuery->SetReadBuffer(m_mainQuery->ReadBuffer());
    m_cursorQuery->SetSession(Session());
    m_cursorQuery->SetOptimize(Optimize());
    m_cursorQuery->SetCursor(Cursor());
    m_cursorQuery->SetStringFieldsOnly(StringFieldsOnly());
    m_mainQuery->SetComplexVariable(m_mainQuery->VariableName(cursorVariable), m_cursorQuery);
    m_activeQuery = m_cursorQuery;
    m_mainQuery->Execute();
    m_cursorExecuted = true;
}

// ---- Hooks of the later layers

void TOracleDataSet::UpdatingTableAlias(QString &alias)
{
    QString table;
    UpdatingTableName(table);
    alias = table.isEmpty() ? QString() : UpdatingTableAliasOf(GetSQL(), table).alias;
}

void TOracleDataSet::UpdatingTableName(QString &name)
{
    if (!m_resolvedUpdatingTable.isEmpty()) {
        name = m_resolvedUpdatingTable;
        return;
    }
    name = UpdatingTableNameOf(GetSQL(), m_updatingTable, IsCursorDataSet());
    if (!name.isEmpty())
        m_resolvedUpdatingTable = name;
}

bool TOracleDataSet::DoApplyRecord(QChar action, QString &newRowId)
{
    if (!OnApplyRecord)
        return false;
    bool applied = false;
    OnApplyRecord(this, action, applied, newRowId);
    return applied;
}

bool TOracleDataSet::GetCanModify()
{
    if (m_qbeMode)
        return true;
    if (!Active() || Detached() || m_readOnly)
        return false;
    if (!m_hasRowId && !OnApplyRecord && m_uniqueFields.trimmed().isEmpty())
        return false;
    if (m_links->masterUnavailable())
        return false;
    return true;
}

void TOracleDataSet::DoBeforeInsert()
{
    if (m_qbeMode)
        return;
    TDataSet::DoBeforeInsert();
    CheckMasterValues();
}

void TOracleDataSet::DoAfterInsert()
{
    if (m_qbeMode)
        return;
    TDataSet::DoAfterInsert();
    // A detail that inserts holds the master's link fields from now on.
    m_links->protectMasterLinkFields();
}

void TOracleDataSet::DoBeforeCancel()
{
    if (!m_qbeMode)
        TDataSet::DoBeforeCancel();
}

void TOracleDataSet::DoAfterCancel()
{
    if (!m_qbeMode)
        TDataSet::DoAfterCancel();
}

void TOracleDataSet::DataEvent(TDataEvent event, qintptr info)
{
    m_links->dataEvent(event);
    TDataSet::DataEvent(event, info);
}

// ---- TQBEDataSetLink

QStringList TOracleDataSet::QBEFieldDefNames() const
{
    QStringList names;
    auto &defs = const_cast<TOracleDataSet *>(this)->FieldDefs();
    for (int i = 0; i < defs.Count(); ++i)
        names.append(defs.Items(i)->Name());
    return names;
}

bool TOracleDataSet::QBEFieldDefIsBlobLike(const QString &name) const
{
    auto &defs = const_cast<TOracleDataSet *>(this)->FieldDefs();
    const int i = defs.IndexOf(name);
    if (i < 0)
        return false;
    const TFieldType type = defs.Items(i)->DataType();
    return type == ftBlob || type == ftMemo || type == ftGraphic || type == ftOraBlob
        || type == ftOraClob;
}

std::optional<QString> TOracleDataSet::QBEFieldAsString(const QString &name) const
{
    TField *field = FindField(name);
    if (!field)
        return std::nullopt;
    return field->AsString();
}

void TOracleDataSet::QBESetFieldText(const QString &name, const QString &text)
{
    TField *field = FieldByName(name);
    // In QBE mode the field's OnSetText is the QBE hook that called here: the field's own
    // text setter takes the text.
    TFieldSetTextEvent hook = std::move(field->OnSetText);
    field->OnSetText = nullptr;
    try {
        field->SetText(text);
    } catch (...) {
        field->OnSetText = std::move(hook);
        throw;
    }
    field->OnSetText = std::move(hook);
}

// ---- Strings and BLOB values

QString TOracleDataSet::TrimmedString(const QString &text) const
{
    TOracleSession *session = Session();
    if (!session || !session->Preferences().TrimStringFields())
        return text;
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1).unicode() <= 32)
        --n;
    return n == text.size() ? text : text.left(n);
}

TBlobCompression TOracleDataSet::BlobCompression()
{
    TBlobCompression settings;
    settings.DataSet = this;
    settings.CompressBLOBs = m_compressBLOBs;
    settings.OnCompressBLOB = OnCompressBLOB;
    settings.OnDecompressBLOB = OnDecompressBLOB;
    return settings;
}

void TOracleDataSet::DecompressBlob(TBlobField *field, QByteArray &value)
{
    QString problem;
    DecompressBlobValue(BlobCompression(), field, value, &problem);
    if (!problem.isEmpty())
        qWarning("%s.%s: %s", qPrintable(Name()),
            qPrintable(field ? field->FieldName() : QString()), qPrintable(problem));
}

} // namespace qd
