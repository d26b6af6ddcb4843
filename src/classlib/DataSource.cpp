#include "DataSource.h"

#include "DataLink.h"
#include "DataSet.h"

namespace qd {

TDataSource::~TDataSource()
{
    OnDataChange = nullptr;
    OnStateChange = nullptr;
    for (TDataLink *link : std::vector<TDataLink *>(m_dataLinks))
        link->SetDataSource(nullptr);
    if (m_dataSet)
        m_dataSet->RemoveDataSource(this);
}

void TDataSource::SetDataSet(TDataSet *dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->RemoveDataSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->AddDataSource(this);
    UpdateState();
}

void TDataSource::SetEnabled(bool value)
{
    m_enabled = value;
    UpdateState();
}

bool TDataSource::Edit()
{
    if (m_autoEdit && m_state == dsBrowse)
        m_dataSet->Edit();
    return m_state == dsEdit || m_state == dsInsert;
}

void TDataSource::UpdateState()
{
    const TDataSetState state
        = m_enabled && m_dataSet && m_dataSet->Active() ? m_dataSet->State() : dsInactive;
    if (state == m_state)
        return;
    const TDataSetState prior = m_state;
    m_state = state;
    NotifyLinks(deUpdateState, 0);
    if (OnStateChange)
        OnStateChange(this);
    if (prior == dsInactive && OnDataChange)
        OnDataChange(this, nullptr);
}

void TDataSource::NotifyLinks(TDataEvent event, qintptr info)
{
    for (TDataLink *link : std::vector<TDataLink *>(m_dataLinks))
        link->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, qintptr info)
{
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (m_state == dsInactive)
        return;
    NotifyLinks(event, info);
    switch (event) {
    case deFieldChange:
        if (OnDataChange)
            OnDataChange(this, reinterpret_cast<TField *>(info));
        break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange)
            OnDataChange(this, nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData)
            OnUpdateData(this);
        break;
    default:
        break;
    }
}

} // namespace qd
