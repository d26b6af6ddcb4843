// Editing operations of TDataSet: edit, insert, append, post, cancel, delete, refresh.
#include "DataSet.h"

namespace qd {

void TDataSet::CheckCanModify()
{
    if (!CanModify())
        DatabaseError(QStringLiteral("Cannot modify a read-only dataset"), m_name);
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (m_state) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (m_modified)
            Post();
        else
            Cancel();
        break;
    case dsSetKey:
        Post();
        break;
    default:
        break;
    }
}

void TDataSet::UpdateRecord()
{
    if (m_state != dsEdit && m_state != dsInsert && m_state != dsSetKey)
        DatabaseError(QStringLiteral("Dataset not in edit or insert mode"), m_name);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::CheckRequiredFields()
{
    for (TField *field : m_fields) {
        if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData
            && field->IsNull()) {
            field->FocusControl();
            DatabaseError(
                QStringLiteral("Field '%1' must have a value").arg(field->DisplayName()), m_name);
        }
    }
}

void TDataSet::InternalPost()
{
    CheckRequiredFields();
}

void TDataSet::InitRecord(TRecordBuffer buffer)
{
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::FreeFieldBuffers()
{
    for (TField *field : m_fields)
        field->FreeBuffers();
}

// Runs an operation; on a database error the handler may retry it, abort silently or let the
// error through (the default).
void TDataSet::CheckOperation(void (TDataSet::*operation)(), const TDataSetErrorEvent &onError)
{
    for (;;) {
        try {
            UpdateCursorPos();
            (this->*operation)();
            return;
        } catch (EDatabaseError &e) {
            TDataAction action = daFail;
            if (onError)
                onError(this, e, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                throw EAbort();
        }
    }
}

void TDataSet::Edit()
{
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    if (m_recordCount == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeEdit();
    CheckOperation(&TDataSet::InternalEdit, OnEditError);
    GetCalcFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoAfterEdit();
}

void TDataSet::BeginInsertAppend()
{
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
}

void TDataSet::EndInsertAppend()
{
    m_bof = false;
    m_eof = false;
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        UpdateCursorPos();
        FreeFieldBuffers();
        SetState(dsBrowse);
        Resync(0);
        throw;
    }
    // Values set by OnNewRecord do not count as a change: scrolling away cancels the record.
    m_modified = false;
    DataEvent(deDataSetChange, 0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::Insert()
{
    BeginInsertAppend();
    const TBookmark current = GetBookmark();
    UpdateCursorPos();
    MoveBuffer(m_recordCount, m_activeRecord);
    TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    // The new buffer remembers the record it stands before, so the cursor can find its place.
    if (m_recordCount == 0)
        SetBookmarkFlag(buffer, bfBOF);
    else if (!current.isEmpty())
        SetBookmarkData(buffer, current.constData());
    if (m_recordCount < m_bufferCount)
        ++m_recordCount;
    CursorPosChanged();
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Append()
{
    BeginInsertAppend();
    ClearBuffers();
    TRecordBuffer buffer = m_buffers[0];
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    m_recordCount = 1;
    m_bof = false;
    GetPriorRecords();
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Post()
{
    UpdateRecord();
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckOperation(&TDataSet::InternalPost, OnPostError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync(0);
    DoAfterPost();
}

void TDataSet::Cancel()
{
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeCancel();
    const bool scrolls = m_state == dsInsert;
    if (scrolls)
        DoBeforeScroll();
    UpdateCursorPos();
    InternalCancel();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync(0);
    DoAfterCancel();
    if (scrolls)
        DoAfterScroll();
}

void TDataSet::Delete()
{
    CheckActive();
    if (m_state == dsInsert || m_state == dsSetKey) {
        Cancel();
        return;
    }
    if (m_recordCount == 0)
        DatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"), m_name);
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeDelete();
    DoBeforeScroll();
    CheckOperation(&TDataSet::InternalDelete, OnDeleteError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync(0);
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::Refresh()
{
    CheckBrowseMode();
    DoBeforeRefresh();
    UpdateCursorPos();
    InternalRefresh();
    Resync(0);
    DoAfterRefresh();
}

} // namespace qd
