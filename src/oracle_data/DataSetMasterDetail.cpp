// Master/detail: the detail list, the master values a detail's query is bound with, the detail
// walk that follows the master's record, and the protection of the master's link fields while
// details hang on them.
#include "DataSetMasterDetail.h"

#include "MasterDetailSetup.h"
#include "OracleDataSet.h"

#include "oracle/OracleQuery.h"

#include <QMetaObject>

#include <algorithm>
#include <optional>

namespace qd {

namespace {

// A ";"-separated list of names, each trimmed, blanks left out.
QStringList splitNames(const QString &text)
{
    QStringList names;
    for (const QString &part : text.split(u';')) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

// The master's fields named in text. Strict, a name that is no field raises "Field '%s' not
// found" (a link must not bind the wrong pairs); otherwise such names are left out.
std::vector<TField *> linkFields(const TOracleDataSet &master, const QString &text, bool strict)
{
    std::vector<TField *> fields;
    for (const QString &name : splitNames(text)) {
        if (TField *field = master.FindField(name))
            fields.push_back(field);
        else if (strict)
            master.FieldByName(name);
    }
    return fields;
}

// The size of the CHAR column behind a field of an open dataset, 0 for any other field. The
// server compares a CHAR column blank-padded, so its value must be bound padded to match.
int charColumnSize(TOracleDataSet &dataSet, TField *field)
{
    const TOracleFieldInfo *info = dataSet.FieldInfo().FindByField(field);
    TOracleQuery *query = dataSet.ActiveQuery();
    if (!info || info->FieldKind != TOracleFieldInfo::kfColumn || !query || info->ColumnIndex < 0
        || info->ColumnIndex >= query->FieldCount())
        return 0;
    return query->FieldInternalType(info->ColumnIndex) == SQLT_AFC ? info->Size : 0;
}

bool isTextField(const TField *field)
{
    const TFieldType type = field->DataType();
    return type == ftString || type == ftFixedChar || type == ftWideString || type == ftMemo
        || type == ftFmtMemo || type == ftOraClob;
}

// Sets a flag for the lifetime of the scope.
struct FlagScope {
    bool &flag;
    bool saved;
    explicit FlagScope(bool &f)
        : flag(f)
        , saved(f)
    {
        flag = true;
    }
    ~FlagScope() { flag = saved; }
};

} // namespace

DataSetMasterDetail::DataSetMasterDetail(TOracleDataSet &dataSet)
    : m_dataSet(dataSet)
{
}

// ---- Properties

void DataSetMasterDetail::setMaster(TOracleDataSet *value)
{
    TOracleDataSet &ds = m_dataSet;
    if (value == m_master)
        return;
    for (TOracleDataSet *link = value; link; link = link->m_links->m_master)
        if (link == &ds)
            throw Exception(QStringLiteral("Circular master/detail dependency not allowed"));
    ds.Close();
    if (m_master)
        std::erase(m_master->m_links->m_details, &ds);
    m_master = value;
    m_masterBookmark = -1;
    if (value) {
        std::vector<TOracleDataSet *> &siblings = value->m_links->m_details;
        if (std::find(siblings.begin(), siblings.end(), &ds) == siblings.end())
            siblings.push_back(&ds);
    }
    // Linking two datasets in design state sets the link up from the dictionary.
    if (value && ds.m_designing && value->m_designing && !ds.m_loading && !value->m_loading)
        ConfigureMasterDetail(ds, InstalledMasterDetailSetupUi());
}

void DataSetMasterDetail::setMasterFields(const QString &value)
{
    m_dataSet.Close();
    m_masterFields = value;
}

void DataSetMasterDetail::setDetailFields(const QString &value)
{
    m_dataSet.Close();
    m_detailFields = value;
}

void DataSetMasterDetail::detach()
{
    TOracleDataSet &ds = m_dataSet;
    if (m_master)
        std::erase(m_master->m_links->m_details, &ds);
    m_master = nullptr;
    // Last first, as each detail leaves the list while it is let go.
    const std::vector<TOracleDataSet *> details = m_details;
    for (auto it = details.rbegin(); it != details.rend(); ++it) {
        try {
            (*it)->SetMaster(nullptr);
        } catch (const std::exception &e) {
            qWarning("%s: closing detail %s failed: %s", qPrintable(ds.Name()),
                qPrintable((*it)->Name()), e.what());
            std::erase(m_details, *it);
            (*it)->m_links->m_master = nullptr;
        }
    }
    m_details.clear();
}

// ---- The master's record as the detail sees it

void DataSetMasterDetail::setDetailsMasterBookmark(qint32 bookmark)
{
    for (TOracleDataSet *detail : m_details)
        detail->m_links->m_masterBookmark = bookmark;
}

qint32 DataSetMasterDetail::masterCurrentBookmark() const
{
    return m_master ? m_master->CurrentBookmarkNumber() : -1;
}

bool DataSetMasterDetail::masterUnavailable() const
{
    return m_master
        && (!m_master->Active() || !m_master->m_store || m_master->IsEmpty()
            || m_master->QBEMode());
}

bool DataSetMasterDetail::masterHasNoCurrentRecord() const
{
    if (!m_master)
        return false;
    TOracleDataSet *master = m_master;
    return !master->Active() || !master->m_store || master->IsEmpty() || master->State() == dsInsert
        || master->UpdateStatus() == usInserted || master->m_qbeMode;
}

void DataSetMasterDetail::setDetailVariables(TRecordBuffer masterBuffer)
{
    if (!m_master || !m_master->Active())
        return;
    std::optional<TTempState> reading;
    if (masterBuffer)
        reading.emplace(m_master, dsCalcFields, masterBuffer);
    const std::vector<TField *> masterFields = linkFields(*m_master, m_masterFields, true);
    const QStringList names = splitNames(m_detailFields);
    const int fieldCount = static_cast<int>(masterFields.size());
    const int nameCount = static_cast<int>(names.size());
    const int pairs = nameCount >= 1 && nameCount <= fieldCount ? nameCount : fieldCount;
    for (int i = 0; i < pairs; ++i) {
        TField *field = masterFields[static_cast<size_t>(i)];
        const QString variable = i < nameCount ? names[i] : field->FieldName();
        Variant value = field->AsVariant();
        if (!value.IsNullOrEmpty()) {
            const int size = charColumnSize(*m_master, field);
            if (size > 0)
                value = Variant(field->AsString().leftJustified(size, u' '));
        }
        m_dataSet.SetVariable(variable, value);
    }
}

void DataSetMasterDetail::checkMasterValues()
{
    if (!m_master || !m_master->Active())
        return;
    for (TField *field : linkFields(*m_master, m_masterFields, true)) {
        const bool empty
            = field->IsNull() || (isTextField(field) && field->AsString().trimmed().isEmpty());
        if (empty) {
            field->FocusControl();
            DatabaseError(QStringLiteral("Field '%1' must have a value").arg(field->DisplayName()));
        }
    }
}

void DataSetMasterDetail::copyMasterValues()
{
    if (!m_master || !m_master->Active())
        return;
    const std::vector<TField *> masterFields = linkFields(*m_master, m_masterFields, true);
    const QStringList names = splitNames(m_detailFields);
    const size_t pairs = std::min(masterFields.size(), static_cast<size_t>(names.size()));
    for (size_t i = 0; i < pairs; ++i) {
        TField *target = m_dataSet.FieldByName(names[static_cast<qsizetype>(i)]);
        const Variant value = masterFields[i]->AsVariant();
        if (value.IsNullOrEmpty())
            target->Clear();
        else
            target->SetAsVariant(value);
    }
}

bool DataSetMasterDetail::hasCachedDetailChanges() const
{
    return std::any_of(m_details.begin(), m_details.end(), [](const TOracleDataSet *detail) {
        return detail->m_cachedUpdates && detail->m_links->m_detailFields.trimmed().isEmpty()
            && detail->m_cached->log().Count() > 0;
    });
}

bool DataSetMasterDetail::masterRecordMatches(TRecordBuffer buffer)
{
    if (!m_master)
        return true;
    const QStringList names = splitNames(m_detailFields);
    if (names.isEmpty())
        return true;
    if (!m_master->Active())
        return false;
    const std::vector<TField *> masterFields = linkFields(*m_master, m_masterFields, true);
    const size_t pairs = std::min(masterFields.size(), static_cast<size_t>(names.size()));
    for (size_t i = 0; i < pairs; ++i) {
        const Variant masterValue = masterFields[i]->AsVariant();
        Variant detailValue;
        {
            TTempState reading(&m_dataSet, dsCalcFields, buffer);
            detailValue = m_dataSet.FieldByName(names[static_cast<qsizetype>(i)])->AsVariant();
        }
        if (masterValue.IsNullOrEmpty() != detailValue.IsNullOrEmpty())
            return false;
        if (!masterValue.IsNullOrEmpty() && !(masterValue == detailValue))
            return false;
    }
    return true;
}

// ---- The detail walk

void DataSetMasterDetail::refreshDetails(bool forget)
{
    if (m_details.empty() || m_protectingLinkFields || m_dataSet.ControlsDisabled())
        return;
    const qint32 current = m_dataSet.CurrentBookmarkNumber();
    // A detail may leave the list while it refreshes (its handlers run): walk a copy.
    const std::vector<TOracleDataSet *> details = m_details;
    for (TOracleDataSet *detail : details) {
        if (forget) {
            detail->m_links->m_masterBookmark = -1;
            continue;
        }
        bool refreshed = false;
        if (detail->Active() && !detail->m_qbeMode
            && (current == -1 || current != detail->m_links->m_masterBookmark)) {
            detail->Refresh();
            refreshed = true;
        }
        if (!refreshed && (!detail->Active() || detail->m_qbeMode))
            detail->m_allFetched = true;
    }
}

void DataSetMasterDetail::forgetDetailBookmarks()
{
    setDetailsMasterBookmark(-1);
}

void DataSetMasterDetail::dataEvent(TDataEvent event)
{
    if (m_details.empty() || m_protectingLinkFields)
        return;
    if ((event == deUpdateState && m_detailWalkPending) || event == deDataSetChange
        || event == deDataSetScroll) {
        m_detailWalkPending = false;
        refreshDetails(false);
    }
}

void DataSetMasterDetail::masterFieldChanged()
{
    for (TOracleDataSet *detail : m_details)
        if (detail->Active())
            detail->SetDetailVariables();
}

// ---- Link-field protection

void DataSetMasterDetail::protectMasterLinkFields()
{
    if (m_master)
        m_master->m_links->protectLinkFields();
}

void DataSetMasterDetail::protectLinkFields()
{
    TOracleDataSet &ds = m_dataSet;
    if (m_details.empty() || ds.m_qbeMode || ds.m_designing)
        return;
    if (ds.m_owner
        && QString::fromLatin1(ds.m_owner->metaObject()->className())
               .contains(QLatin1String("REMOTEDATAMODULE"), Qt::CaseInsensitive))
        return;
    FlagScope protecting(m_protectingLinkFields);
    for (TOracleDataSet *detail : m_details) {
        for (TField *field : linkFields(ds, detail->m_links->m_masterFields, false)) {
            const TOracleFieldInfo *info = ds.m_fieldInfo.FindByField(field);
            if (!(info && info->ReadOnly))
                field->SetReadOnly(false);
        }
    }
    // A closing master protects nothing.
    if (!ds.Active())
        return;
    for (TOracleDataSet *detail : m_details) {
        // An opening detail counts; a closing one (already inactive) does not.
        const bool holdsRecords = detail->State() != dsInactive && detail->m_store
            && (detail->m_store->RecordCount() > 0 || detail->State() == dsInsert);
        if (!holdsRecords)
            continue;
        for (TField *field : linkFields(ds, detail->m_links->m_masterFields, false))
            field->SetReadOnly(true);
    }
}

} // namespace qd
