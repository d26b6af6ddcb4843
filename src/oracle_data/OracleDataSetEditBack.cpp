// The dataset's edit-back: posted inserts and edits and deletes become statements on the DML
// query, with the locks, checks and re-reads the locking mode and refresh options ask for and the
// transaction end of CommitOnPost.

#include "EditLobLocators.h"
#include "EditTransaction.h"
#include "EditValueComparison.h"
#include "FieldBindValue.h"
#include "MessageTranslation.h"
#include "OracleDataSet.h"
#include "UpdatingTable.h"

#include "classlib/BlobField.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace qd {

// Whether posts and deletes go to the server: a connected session is needed; without one the
// dataset only takes what OnApplyRecord applies.
bool TOracleDataSet::writesToServer()
{
    TOracleSession *session = Session();
    return session && session->Connected();
}

QString TOracleDataSet::rowReference()
{
    QString table;
    UpdatingTableName(table);
    return RowReference(UpdatingTableAliasOf(GetSQL(), table), table);
}

EditStatementOptions TOracleDataSet::editStatementOptions()
{
    EditStatementOptions options;
    UpdatingTableName(options.updatingTable);
    TOracleSession *session = Session();
    options.oci8Mode = session && session->OCI8Mode();
    // LOB values travel in temporary LOBs when the client has them and the session wants
    // them; otherwise through the locators the statement returns.
    options.temporaryLobs = session && session->Connected() && session->OCI8Mode()
        && session->capabilities().OCI81Available
        && session->Preferences().TemporaryLOB() != tlNone;
    if (session) {
        options.nullLobIsEmpty = session->Preferences().NullLOBIsEmpty();
        options.trimStringFields = session->Preferences().TrimStringFields();
    }
    return options;
}

QList<EditColumn> TOracleDataSet::editColumns(bool inserting)
{
    QList<EditColumn> columns;
    for (int i = 0; i < m_fieldInfo.Count(); ++i) {
        TOracleFieldInfo *info = m_fieldInfo.Items(i);
        if (info->FieldKind != TOracleFieldInfo::kfColumn || !info->Field)
            continue;
        TField *field = info->Field;
        EditColumn column;
        column.column = info->Column.isEmpty() ? info->Name : info->Column;
        column.index = i;
        column.type = BindTypeOf(field);
        column.dataField = field->FieldKind() == fkData;
        column.oldValue = inserting ? Variant::Null() : field->OldValue();
        column.newValue = EditValueOf(field);
        column.fieldSize = IsTextField(field) ? field->Size() : 0;
        if (inserting) {
            if (!field->DefaultExpression().isEmpty())
                column.defaultText = field->DefaultExpression();
            else if (m_sequenceField.IsServerSequence(field->FieldName()))
                column.defaultText = m_sequenceField.Sequence() + QStringLiteral(".nextval");
        }
        column.isXml = info->XmlType;
        column.noLobDefault = info->NoDefault;
        columns.append(column);
    }
    return columns;
}

EditRowIdentity TOracleDataSet::editRowIdentity(bool oldValues)
{
    EditRowIdentity row;
    if (const char *stored = CurrentStoredRecord())
        row.rowId = RecordRowId(stored);
    row.uniqueFieldsSet = !m_uniqueFields.trimmed().isEmpty();
    if (!row.uniqueFieldsSet)
        return row;
    const QStringList names = m_uniqueFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &name : names) {
        TField *field = FindField(name.trimmed());
        if (!field)
            continue;
        EditKeyField key;
        key.name = field->FieldName();
        key.type = BindTypeOf(field);
        key.value = oldValues ? field->OldValue() : EditValueOf(field);
        key.isString = IsTextField(field);
        row.keys.append(key);
    }
    return row;
}

void TOracleDataSet::raiseTranslated(QChar action, int errorCode, const QString &message)
{
    TTranslateMessageHook hook;
    if (OnTranslateMessage)
        hook = [this](int code, const QString &constraint, QChar letter, QString &msg) {
            OnTranslateMessage(this, code, constraint, letter, msg);
        };
    DatabaseError(TranslateMessage(
        Session(), m_dictionary.UseMessageTable, action, errorCode, message, hook));
}

bool TOracleDataSet::recordServerAction(RecordServerAction action)
{
    EditTransaction transaction { cachedUpdatesInEffect(), m_commitOnPost };
    TOracleQuery *query = DMLQuery(false);
    bool lockPoint = false;
    QString failure;
    int failureCode = 0;
    try {
        if (action.lock)
            lockPoint = transaction.SetLockPoint(*query);
        QString ignored;
        if (action.refresh) {
            action.check = false;
            if (DoApplyRecord(QLatin1Char('R'), ignored))
                action.refresh = false;
        }
        if (action.lock && DoApplyRecord(QLatin1Char('L'), ignored)) {
            action.lock = false;
            action.check = false;
        }
        if (action.check && DoApplyRecord(QLatin1Char('C'), ignored))
            action.check = false;
        if (!action.Any()) {
            ReleaseDMLQuery();
            return lockPoint;
        }
        RecordSelectRequest request;
        request.lock = action.lock;
        request.allFields = action.allFields;
        if (const char *stored = CurrentStoredRecord())
            request.rowId = RecordRowId(stored);
        UpdatingTableName(request.updatingTable);
        request.sql = GetSQL();
        request.rowReference = rowReference();
        for (int i = 0; i < Fields().Count(); ++i)
            if (Fields()[i]->FieldKind() == fkData) {
                request.firstDataField = Fields()[i]->FieldName();
                break;
            }
        request.componentName = Name();
        for (int i = 0; i < VariableCount(); ++i) {
            const QString name = VariableName(i);
            request.dataSetVariables.append({ name, VariableType(i),
                VariableType(i) == SQLT_RSET ? Variant() : GetVariable(name), false });
        }
        const EditStatement statement = BuildRecordSelect(request);
        query->Clear();
        query->DeleteVariables();
        query->SetStringFieldsOnly(StringFieldsOnly());
        statement.AddLinesTo(*query);
        statement.DeclareOn(*query);
        query->Execute();
        if ((action.lock || action.check) && query->Eof()) {
            failure = RecordDeletedMessage();
        } else if (!query->Eof()) {
            if (action.refresh) {
                // The server's values go into the stored record.
                TTempState state(this, dsNewValue);
                for (int i = 0; i < query->FieldCount(); ++i) {
                    TField *field = FindField(query->FieldName(i));
                    if (!field || field->FieldKind() != fkData || m_fieldInfo.Count() == 0)
                        continue;
                    TOracleFieldInfo *info = m_fieldInfo.FindByField(field);
                    if (!info || info->FieldKind != TOracleFieldInfo::kfColumn)
                        continue;
                    const Variant server = query->Field(i);
                    if (SameEditValue(BindTypeOf(field), EditValueOf(field), server,
                            IsTextField(field) ? field->Size() : 0))
                        continue;
                    if (server.IsNull())
                        field->Clear();
                    else if (IsTextField(field))
                        field->SetAsString(TrimmedString(server.AsString()));
                    else
                        field->SetAsVariant(server);
                }
                if (AfterRefreshRecord)
                    AfterRefreshRecord(this);
            }
            if (action.check) {
                TTempState state(this, dsOldValue);
                for (int i = 0; i < query->FieldCount() && failure.isEmpty(); ++i) {
                    TField *field = FindField(query->FieldName(i));
                    if (!field || field->FieldKind() != fkData || dynamic_cast<TBlobField *>(field))
                        continue;
                    TOracleFieldInfo *info = m_fieldInfo.FindByField(field);
                    if (!info || info->FieldKind != TOracleFieldInfo::kfColumn)
                        continue;
                    if (!SameEditValue(BindTypeOf(field), EditValueOf(field), query->Field(i),
                            IsTextField(field) ? field->Size() : 0))
                        failure = RecordChangedMessage();
                }
            }
        }
    } catch (const EOracleError &e) {
        failure = LockErrorMessage(e.ErrorCode(), e.Message());
        failureCode = e.ErrorCode();
    } catch (...) {
        abandonServerStatement(transaction, *query, lockPoint);
        throw;
    }
    endServerStatement(transaction, *query, lockPoint, QLatin1Char('L'), failureCode, failure);
    return lockPoint;
}

TOracleDataSet::PostOutcome TOracleDataSet::postToServer(bool inserting, QString &newRowId)
{
    const QChar action = QLatin1Char(inserting ? 'I' : 'U');
    TOracleSession *session = Session();
    EditTransaction transaction { cachedUpdatesInEffect(), m_commitOnPost };
    const EditStatementOptions options = editStatementOptions();
    const EditRowIdentity row = editRowIdentity(!inserting);
    const QList<EditColumn> columns = editColumns(inserting);
    const EditStatement statement = inserting ? BuildInsertStatement(columns, row, options)
                                              : BuildUpdateStatement(columns, row, options);
    if (statement.nothingToSend) {
        if (inserting)
            return PostOutcome::NothingToInsert;
        // An unchanged edit still ends the transaction that holds the edit-start lock.
        if (CommitAfterSkippedPost(m_lockingMode, m_cachedUpdates))
            transaction.Commit(*session);
        return PostOutcome::Skipped;
    }
    // A violation found here is raised before anything is sent.
    enforceRecordConstraints(inserting);
    if (m_cachedUpdates)
        return PostOutcome::Cached;

    const RecordServerAction before = PostEditAction(m_lockingMode, inserting);
    bool lockPoint = false;
    if (before.Any())
        lockPoint = recordServerAction(before);
    TOracleQuery *query = DMLQuery(false);
    QString failure;
    int failureCode = 0;
    // Declared after the query is taken, so that the locators are let go of on every path.
    EditLobLocators lobs(session, session->Preferences().TemporaryLOB() == tlCache);
    const EditLobLocators::DataOf lobData
        = [this](const EditLobWrite &write) { return editLobData(write); };
    try {
        if (!before.Any())
            lockPoint = transaction.SetLockPoint(*query);
        if (DoApplyRecord(action, newRowId)) {
            ReleaseDMLQuery();
            transaction.Commit(*session);
            return PostOutcome::Applied;
        }
        if (options.updatingTable.isEmpty())
            DatabaseError(QStringLiteral("No updating table"), Name());
        if (inserting)
            prepareCollectionInsert(*query);
        query->Clear();
        query->DeleteVariables();
        statement.AddLinesTo(*query);
        statement.DeclareOn(*query);
        lobs.Bind(*query, statement.lobWrites, lobData);
        CopyVariablesTo(*query, options.updatingTable);
        query->Execute();
        if (!inserting && query->RowsProcessed() == 0) {
            failure = RecordDeletedMessage();
        } else {
            // The returned locators are read before the query is used again for the ROWID.
            lobs.WriteReturned(lobData);
            if (inserting && row.uniqueFieldsSet) {
                newRowId = DetermineRowId(*query, editRowIdentity(false).keys,
                    options.updatingTable, [this, &options](TOracleQuery &lookup) {
                        CopyVariablesTo(lookup, options.updatingTable);
                    });
            } else if (options.oci8Mode && !row.uniqueFieldsSet) {
                newRowId = query->GetVariable(QString::fromLatin1(RowIdVariable)).AsString();
            } else if (inserting) {
                newRowId = query->RowId();
            }
        }
    } catch (const EOracleError &e) {
        failure = e.Message();
        failureCode = e.ErrorCode();
    } catch (...) {
        abandonServerStatement(transaction, *query, lockPoint);
        throw;
    }
    endServerStatement(transaction, *query, lockPoint, action, failureCode, failure);
    transaction.Commit(*session);
    return PostOutcome::Sent;
}

void TOracleDataSet::endServerStatement(const EditTransaction &transaction, TOracleQuery &query,
    bool rollBack, QChar action, int failureCode, const QString &failure)
{
    if (failure.isEmpty()) {
        ReleaseDMLQuery();
        return;
    }
    abandonServerStatement(transaction, query, rollBack);
    raiseTranslated(action, failureCode, failure);
}

void TOracleDataSet::abandonServerStatement(
    const EditTransaction &transaction, TOracleQuery &query, bool rollBack)
{
    if (rollBack)
        transaction.RollbackToLockPoint(query);
    ReleaseDMLQuery();
}

void TOracleDataSet::refreshAfterPost(bool inserting)
{
    bool serverSequence = false, anyDefault = false;
    for (int i = 0; i < Fields().Count(); ++i) {
        TField *field = Fields()[i];
        anyDefault = anyDefault || !field->DefaultExpression().isEmpty();
        serverSequence = serverSequence || m_sequenceField.IsServerSequence(field->FieldName());
    }
    const RecordServerAction refresh
        = RefreshAfterPostAction(inserting, m_refreshOptions, serverSequence, anyDefault);
    if (refresh.Any())
        recordServerAction(refresh);
}

void TOracleDataSet::deleteOnServer()
{
    const RecordServerAction lock
        = DeleteAction(m_lockingMode, m_cachedUpdates, hasChangeLogEntry());
    if (m_cachedUpdates) {
        if (lock.Any())
            recordServerAction(lock);
        return;
    }
    EditTransaction transaction { cachedUpdatesInEffect(), m_commitOnPost };
    bool lockPoint = false;
    if (lock.Any())
        lockPoint = recordServerAction(lock);
    TOracleQuery *query = DMLQuery(false);
    QString failure;
    int failureCode = 0;
    try {
        QString ignored;
        if (!DoApplyRecord(QLatin1Char('D'), ignored)) {
            QString table;
            UpdatingTableName(table);
            const EditStatement statement = BuildDeleteStatement(editRowIdentity(true), table);
            query->Clear();
            query->DeleteVariables();
            statement.AddLinesTo(*query);
            statement.DeclareOn(*query);
            CopyVariablesTo(*query, table);
            query->Execute();
            if (query->RowsProcessed() == 0)
                failure = RecordDeletedMessage();
        }
    } catch (const EOracleError &e) {
        failure = e.Message();
        failureCode = e.ErrorCode();
    } catch (...) {
        abandonServerStatement(transaction, *query, lockPoint);
        throw;
    }
    endServerStatement(transaction, *query, lockPoint && m_lockingMode != lmNone, QLatin1Char('D'),
        failureCode, failure);
    transaction.Commit(*Session());
}

void TOracleDataSet::InternalEdit()
{
    if (m_qbeMode || !writesToServer())
        return;
    const RecordServerAction action
        = EditStartAction(m_lockingMode, m_refreshOptions, hasChangeLogEntry());
    if (!action.Any())
        return;
    recordServerAction(action);
    // The active buffer shows what the refresh read.
    if (action.refresh)
        if (const char *stored = CurrentStoredRecord())
            DecodeRecord(stored, ActiveBuffer());
}

void TOracleDataSet::InternalCancel()
{
    if (m_qbeMode || !writesToServer())
        return;
    if (RollbackOnCancel(m_lockingMode, m_cachedUpdates, State() == dsInsert))
        EditTransaction { cachedUpdatesInEffect(), m_commitOnPost }.Rollback(*Session());
}

} // namespace qd
