// Query-by-example mode of the dataset: the QBE record, the field hooks that route typed texts
// to the fields' TQBEField items, and the condition merged into the statement.
#include "DataSetQBE.h"

#include "OracleDataSet.h"
#include "QBETranslation.h"
#include "oracle/OracleQuery.h"

namespace qd {

namespace {

QStringList linesOf(const TStringList &list)
{
    QStringList lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.append(list.Strings(i));
    return lines;
}

void setLines(TStringList &list, const QStringList &lines)
{
    list.Clear();
    for (const QString &line : lines)
        list.Add(line);
}

// Marks the definition as loading for the lifetime of the scope.
struct LoadingMark {
    TQBEDefinition &definition;
    explicit LoadingMark(TQBEDefinition &d)
        : definition(d)
    {
        definition.SetLoading(true);
    }
    ~LoadingMark() { definition.SetLoading(false); }
};

} // namespace

DataSetQBE::DataSetQBE(TOracleDataSet &dataSet)
    : m_dataSet(dataSet)
{
}

bool DataSetQBE::checkAllowed(bool raiseError)
{
    TOracleDataSet &ds = m_dataSet;
    if (ds.m_qbeMode)
        return true;
    QString refusal;
    if (ds.IsCursorDataSet()) {
        refusal = QStringLiteral("QBE mode not supported for cursors");
    } else if (ds.m_cachedUpdates
        && (ds.UpdatesPending() || ds.State() == dsEdit || ds.State() == dsInsert)) {
        refusal = QStringLiteral("QBE mode not allowed with pending updates");
    } else if (TOracleDataSet *master = ds.Master(); master
               && (!master->Active() || !master->m_store || master->IsEmpty()
                   || master->UpdateStatus() == usInserted || master->QBEMode())) {
        refusal = QStringLiteral("QBE mode not allowed without a master record");
    } else if (ds.Detached()) {
        refusal = QStringLiteral("QBE mode not allowed for a detached dataset");
    }
    if (refusal.isEmpty())
        return true;
    if (raiseError)
        throw Exception(refusal);
    return false;
}

void DataSetQBE::enter(bool interactive)
{
    TOracleDataSet &ds = m_dataSet;
    checkAllowed(true);
    if (interactive) {
        ds.CheckBrowseMode();
        ds.m_qbeMode = true;
        if (ds.m_store)
            ds.m_store->Clear();
        ds.m_currentIndex = -1;
        ds.m_counted = false;
        ds.m_netInserts = 0;
        ds.m_allFetched = true;
        ds.Resync(0);
    }
    // Every field gets an item, so whatever is typed into it can be translated.
    ds.m_qbeDefinition.SyncWithFieldDefs();
    if (!ds.m_designing && m_handlers.empty())
        hookFields();
    if (interactive)
        ds.Insert();
    // The definition counts as loading up to the end: neither the saved values shown again nor
    // what BeforeQBE and the controls do count as typed criteria.
    LoadingMark loading(ds.m_qbeDefinition);
    showSavedValues();
    if (ds.BeforeQBE)
        ds.BeforeQBE(&ds);
    updateControls(true);
}

// Fields keep their Size while the dataset is open (the record layout depends on it), so with
// AllowOperators the texts live in the TQBEField items, never in the record.
void DataSetQBE::hookFields()
{
    TOracleDataSet &ds = m_dataSet;
    for (int i = 1; i < ds.m_fieldInfo.Count(); ++i) {
        TOracleFieldInfo *info = ds.m_fieldInfo.Items(i);
        TField *field = info->Field;
        if (!field)
            continue;
        TQBEField *qbe = ds.m_qbeDefinition.FindField(field->FieldName());
        info->ReadOnly = field->ReadOnly();
        info->Required = field->Required();
        field->SetReadOnly(!qbe || !qbe->Enabled());
        field->SetRequired(false);
        m_handlers.push_back({ field, field->OnGetText, field->OnSetText, field->OnChange });
        if (!qbe)
            continue;
        field->OnGetText = [qbe](TField *sender, QString &text, bool displayText) {
            qbe->FieldGetText(sender, text, displayText);
        };
        field->OnSetText
            = [qbe](TField *sender, const QString &text) { qbe->FieldSetText(sender, text); };
        field->OnChange = [qbe](TField *sender) { qbe->FieldChange(sender); };
    }
}

// With SaveQBEValues, the values of the last applied criteria are shown as texts again.
void DataSetQBE::showSavedValues()
{
    TOracleDataSet &ds = m_dataSet;
    if (!ds.m_qbeDefinition.SaveQBEValues())
        return;
    for (int i = 1; i < ds.m_fieldInfo.Count(); ++i) {
        TField *field = ds.m_fieldInfo.Items(i)->Field;
        if (!field)
            continue;
        TQBEField *qbe = ds.m_qbeDefinition.FindField(field->FieldName());
        if (qbe && qbe->Enabled() && qbe->QBEValue().isValid() && !qbe->QBEValue().isNull())
            qbe->SetQBEText(qbe->QBEValue().toString());
    }
}

void DataSetQBE::leave(bool interactive)
{
    TOracleDataSet &ds = m_dataSet;
    bool requery = true;
    if (interactive && ds.OnCancelQBE)
        ds.OnCancelQBE(&ds, requery);
    unhookFields();
    ds.Cancel();
    ds.m_qbeMode = false;
    if (interactive)
        updateControls(false);
    ds.DataEvent(deDataSetChange, 0);
    if (requery)
        ds.Refresh();
    // The counterpart of BeforeQBE: QBE mode is over and the rows the criteria select (when
    // the dataset re-queried) are in place.
    if (ds.AfterQBE)
        ds.AfterQBE(&ds);
}

void DataSetQBE::updateControls(bool entering)
{
    if (m_dataSet.m_designing)
        return;
    qd::UpdateQBEControls(m_controls, &m_dataSet, m_dataSet.m_qbeDefinition, entering);
}

void DataSetQBE::unhookFields()
{
    for (const FieldHandlers &saved : m_handlers) {
        TField *field = saved.field;
        field->OnGetText = saved.getText;
        field->OnSetText = saved.setText;
        field->OnChange = saved.change;
        if (TOracleFieldInfo *info = m_dataSet.m_fieldInfo.FindByField(field)) {
            field->SetReadOnly(info->ReadOnly);
            field->SetRequired(info->Required);
        }
    }
    m_handlers.clear();
}

void DataSetQBE::storeValues()
{
    TOracleDataSet &ds = m_dataSet;
    for (int i = 1; i < ds.m_fieldInfo.Count(); ++i) {
        TField *field = ds.m_fieldInfo.Items(i)->Field;
        if (!field || field->IsBlob())
            continue;
        TQBEField *qbe = ds.m_qbeDefinition.FindField(field->FieldName());
        if (!qbe)
            continue;
        const QString text = qbe->GetQBEText();
        qbe->SetQBEValue(text.isEmpty() ? QVariant() : QVariant(text));
    }
}

void DataSetQBE::apply()
{
    TOracleDataSet &ds = m_dataSet;
    remove();
    if (ds.m_activeQuery && ds.m_activeQuery->FieldCount() == 0)
        ds.m_activeQuery->Execute();
    const bool allowOperators = ds.m_qbeDefinition.AllowOperators();
    std::vector<QBECondition> items;
    for (int i = 1; i < ds.m_fieldInfo.Count(); ++i) {
        TOracleFieldInfo *info = ds.m_fieldInfo.Items(i);
        TField *field = info->Field;
        if (!field)
            continue;
        TQBEField *qbe = ds.m_qbeDefinition.FindField(field->FieldName());
        if (!qbe)
            continue;
        QString text;
        if (allowOperators)
            text = qbe->GetQBEText();
        else if (qbe->QBEValue().isValid() && !qbe->QBEValue().isNull())
            text = qbe->QBEValue().toString();
        if (text.isEmpty())
            continue;
        QBECondition item;
        QString column = field->Origin();
        while (!column.isEmpty() && column.back().isSpace())
            column.chop(1);
        if (column.isEmpty()) {
            column = field->FieldName().trimmed();
            if (info->FieldKind == TOracleFieldInfo::kfAttribute) {
                QString alias;
                ds.UpdatingTableAlias(alias);
                column = alias + QLatin1Char('.') + column;
            }
        }
        item.term = TranslateQBEValue(text, column, item.negate, field->DataType(), *qbe);
        item.column = column;
        items.push_back(item);
    }
    const QString condition = BuildQBECondition(items);
    TOracleQuery *query = ds.m_mainQuery;
    QStringList lines = linesOf(query->SQL());
    if (m_statement.Apply(lines, condition, [query](const QStringList &) {
            QString text;
            query->SubstitutedSQL(text);
            return text;
        }))
        setLines(query->SQL(), lines);
}

void DataSetQBE::remove()
{
    TOracleQuery *query = m_dataSet.m_mainQuery;
    for (int i = query->VariableCount() - 1; i >= 0; --i) {
        const QString name = query->VariableName(i);
        if (IsQBEVariableName(name))
            query->DeleteVariable(name);
    }
    QStringList lines = linesOf(query->SQL());
    if (m_statement.Remove(lines))
        setLines(query->SQL(), lines);
}

} // namespace qd
