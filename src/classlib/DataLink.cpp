#include "DataLink.h"

#include "DataSet.h"
#include "DataSource.h"

#include <algorithm>

namespace qd {

TDataLink::~TDataLink()
{
    if (m_dataSource) {
        std::erase(m_dataSource->m_dataLinks, this);
        if (TDataSet *ds = m_dataSource->DataSet())
            ds->UpdateBufferCount();
    }
}

void TDataLink::SetDataSource(TDataSource *source)
{
    if (source == m_dataSource)
        return;
    if (m_dataSource) {
        std::erase(m_dataSource->m_dataLinks, this);
        if (TDataSet *ds = m_dataSource->DataSet())
            ds->UpdateBufferCount();
    }
    m_dataSource = source;
    if (m_dataSource) {
        m_dataSource->m_dataLinks.push_back(this);
        if (TDataSet *ds = m_dataSource->DataSet())
            ds->UpdateBufferCount();
    }
    UpdateState();
}

TDataSet *TDataLink::DataSet() const
{
    return m_dataSource ? m_dataSource->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool value)
{
    m_readOnly = value;
    UpdateState();
}

void TDataLink::SetBufferCount(int count)
{
    count = std::max(1, count);
    if (count == m_bufferCount)
        return;
    m_bufferCount = count;
    if (TDataSet *ds = DataSet())
        ds->UpdateBufferCount();
}

int TDataLink::ActiveRecord() const
{
    TDataSet *ds = DataSet();
    return m_active && ds ? ds->m_activeRecord - m_firstRecord : 0;
}

void TDataLink::SetActiveRecord(int index)
{
    TDataSet *ds = DataSet();
    if (!m_active || !ds || index < 0 || index >= RecordCount())
        return;
    ds->m_activeRecord = index + m_firstRecord;
}

int TDataLink::RecordCount() const
{
    TDataSet *ds = DataSet();
    if (!m_active || !ds)
        return 0;
    return std::clamp(ds->m_recordCount - m_firstRecord, 0, m_bufferCount);
}

bool TDataLink::Edit()
{
    if (!m_readOnly && m_dataSource)
        m_dataSource->Edit();
    return m_editing;
}

void TDataLink::UpdateRecord()
{
    m_updating = true;
    struct Reset {
        bool &flag;
        ~Reset() { flag = false; }
    } reset { m_updating };
    UpdateData();
}

void TDataLink::UpdateRange()
{
    TDataSet *ds = DataSet();
    if (!m_active || !ds)
        return;
    const int min = std::max(0, ds->m_activeRecord - m_bufferCount + 1);
    const int max = std::min(std::max(0, ds->m_bufferCount - m_bufferCount), ds->m_activeRecord);
    m_firstRecord = std::clamp(m_firstRecord, min, std::max(min, max));
}

void TDataLink::SetActive(bool value)
{
    if (m_active == value)
        return;
    m_active = value;
    if (value)
        UpdateRange();
    else
        m_firstRecord = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool value)
{
    if (m_editing == value)
        return;
    m_editing = value;
    EditingChanged();
}

void TDataLink::UpdateState()
{
    const TDataSetState state = m_dataSource ? m_dataSource->State() : dsInactive;
    SetActive(state != dsInactive);
    SetEditing((state == dsEdit || state == dsInsert || state == dsSetKey) && !m_readOnly);
}

void TDataLink::DataEvent(TDataEvent event, qintptr info)
{
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!m_active)
        return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!m_updating)
            RecordChanged(reinterpret_cast<TField *>(info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        // The buffers moved by info places; the window follows its records, then the range
        // keeps the active record inside. What is left is how far the window scrolled.
        const int shifted = m_firstRecord + (event == deDataSetScroll ? static_cast<int>(info) : 0);
        m_firstRecord = shifted;
        UpdateRange();
        if (event == deDataSetScroll)
            DataSetScrolled(m_firstRecord - shifted);
        else if (event == deDataSetChange)
            DataSetChanged();
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord:
        UpdateRecord();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(reinterpret_cast<TField *>(info));
        break;
    default:
        break;
    }
}

// ---- TMasterDataLink

void TMasterDataLink::SetFieldNames(const QString &names)
{
    if (names == m_fieldNames)
        return;
    m_fieldNames = names;
    ActiveChanged();
}

void TMasterDataLink::ActiveChanged()
{
    m_fields.clear();
    if (Active()) {
        try {
            DataSet()->GetFieldList(m_fields, m_fieldNames);
        } catch (...) {
            m_fields.clear();
            throw;
        }
    }
    if (m_detail && m_detail->Active()) {
        if (Active() && !m_fields.empty()) {
            if (OnMasterChange)
                OnMasterChange(this);
        } else if (OnMasterDisable) {
            OnMasterDisable(this);
        }
    }
}

void TMasterDataLink::CheckBrowseMode()
{
    if (m_detail && m_detail->Active())
        m_detail->CheckBrowseMode();
}

void TMasterDataLink::RecordChanged(TField *field)
{
    if (DataSource() && DataSource()->State() != dsSetKey && m_detail && m_detail->Active()
        && !m_fields.empty()
        && (!field || std::find(m_fields.begin(), m_fields.end(), field) != m_fields.end())
        && OnMasterChange)
        OnMasterChange(this);
}

} // namespace qd
