// Query-by-example mode on the dataset: the QBEMode property, the published QBE calls (the
// DataSetQBE collaborator does the work) and the QBE record's refusals.
#include "OracleDataSet.h"

#include <QScopeGuard>

namespace qd {

namespace {

const QString notInQBEMode = QStringLiteral("Operation not allowed in QBE mode");

} // namespace

void TOracleDataSet::SetQBEMode(bool value)
{
    if (value == m_qbeMode)
        return;
    if (!Active()) {
        m_qbeMode = value;
        return;
    }
    if (value)
        EnterQBEMode(true);
    else
        LeaveQBEMode(true);
}

bool TOracleDataSet::CheckQBEAllowed(bool raiseError)
{
    return m_qbe->checkAllowed(raiseError);
}

void TOracleDataSet::EnterQBEMode(bool interactive)
{
    m_qbe->enter(interactive);
}

void TOracleDataSet::LeaveQBEMode(bool interactive)
{
    m_qbe->leave(interactive);
}

void TOracleDataSet::UpdateQBEControls(bool entering)
{
    m_qbe->updateControls(entering);
}

void TOracleDataSet::StoreQBEValues()
{
    m_qbe->storeValues();
}

void TOracleDataSet::ApplyQBE()
{
    m_qbe->apply();
}

void TOracleDataSet::RemoveQBE()
{
    m_qbe->remove();
}

void TOracleDataSet::Refresh()
{
    // Checked before the base class posts or cancels the pending record: in QBE mode that
    // record holds the criteria typed so far.
    if (m_qbeMode)
        DatabaseError(notInQBEMode, Name());
    TDataSet::Refresh();
}

void TOracleDataSet::DoOnNewRecord()
{
    if (m_qbeMode) {
        // The QBE record itself starts blank; any other new record is refused.
        if (m_store && m_store->RecordCount() > 0)
            DatabaseError(notInQBEMode, Name());
        return;
    }
    {
        // The master's link values and the column defaults are no user input: no OnValidate,
        // no field checks (what the application's OnNewRecord sets is checked as usual).
        const bool saved = m_fillingNewRecord;
        m_fillingNewRecord = true;
        const auto restore = qScopeGuard([&] { m_fillingNewRecord = saved; });
        // The defaults come first: a link column's default must not take the record away from
        // the master record it is inserted under.
        if (m_dictionary.DefaultValues)
            applyDictionaryDefaults();
        CopyMasterValues();
    }
    TDataSet::DoOnNewRecord();
}

} // namespace qd
