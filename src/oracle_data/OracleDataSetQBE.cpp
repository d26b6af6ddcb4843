// Query-by-example mode of the dataset: the QBE record, the field hooks that route typed texts
// to the fields' TQBEField items, and the condition merged into the statement.
#include "OracleDataSet.h"

#include "QBEStatement.h"
#include "QBETranslation.h"
#include "oracle/OracleQuery.h"

#include <QScopeGuard>

namespace qd {

namespace {

const QString notInQBEMode = QStringLiteral("Operation not allowed in QBE mode");

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
    if (m_qbeMode)
        return true;
    QString refusal;
    if (IsCursorDataSet()) {
        refusal = QStringLiteral("QBE mode not supported for cursors");
    } else if (m_cachedUpdates && (UpdatesPending() || State() == dsEdit || State() == dsInsert)) {
        refusal = QStringLiteral("QBE mode not allowed with pending updates");
    } else if (m_master
        && (!m_master->Active() || !m_master->m_store || m_master->IsEmpty()
            || m_master->UpdateStatus() == usInserted || m_master->QBEMode())) {
        refusal = QStringLiteral("QBE mode not allowed without a master record");
    } else if (Detached()) {
        refusal = QStringLiteral("QBE mode not allowed for a detached dataset");
    }
    if (refusal.isEmpty())
        return true;
    if (raiseError)
        throw Exception(refusal);
    return false;
}

void TOracleDataSet::EnterQBEMode(bool interactive)
{
    CheckQBEAllowed(true);
    if (interactive) {
        CheckBrowseMode();
        m_qbeMode = true;
        if (m_store)
            m_store->Clear();
        m_currentIndex = -1;
        m_counted = false;
        m_netInserts = 0;
        m_allFetched = true;
        Resync(0);
    }
    // Every field gets an item, so whatever is typed into it can be translated.
    m_qbeDefinition.SyncWithFieldDefs();
    // Fields keep their Size while the dataset is open (the record layout depends on it), so
    // with AllowOperators the texts live in the TQBEField items, never in the record.
    if (!m_designing && m_qbeHandlers.empty()) {
        for (int i = 1; i < m_fieldInfo.Count(); ++i) {
            TOracleFieldInfo *info = m_fieldInfo.Items(i);
            TField *field = info->Field;
            if (!field)
                continue;
            TQBEField *qbe = m_qbeDefinition.FindField(field->FieldName());
            info->ReadOnly = field->ReadOnly();
            info->Required = field->Required();
            field->SetReadOnly(!qbe || !qbe->Enabled());
            field->SetRequired(false);
            m_qbeHandlers.push_back({ field, field->OnGetText, field->OnSetText, field->OnChange });
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
    if (interactive)
        Insert();
    struct LoadingMark {
        TQBEDefinition &definition;
        explicit LoadingMark(TQBEDefinition &d)
            : definition(d)
        {
            definition.SetLoading(true);
        }
        ~LoadingMark() { definition.SetLoading(false); }
    } loading(m_qbeDefinition);
    if (m_qbeDefinition.SaveQBEValues()) {
        for (int i = 1; i < m_fieldInfo.Count(); ++i) {
            TField *field = m_fieldInfo.Items(i)->Field;
            if (!field)
                continue;
            TQBEField *qbe = m_qbeDefinition.FindField(field->FieldName());
            if (qbe && qbe->Enabled() && qbe->QBEValue().isValid() && !qbe->QBEValue().isNull())
                qbe->SetQBEText(qbe->QBEValue().toString());
        }
    }
    if (BeforeQBE)
        BeforeQBE(this);
    UpdateQBEControls(true);
}

void TOracleDataSet::LeaveQBEMode(bool interactive)
{
    bool requery = true;
    if (interactive && OnCancelQBE)
        OnCancelQBE(this, requery);
    unhookQBEFields();
    Cancel();
    m_qbeMode = false;
    if (interactive)
        UpdateQBEControls(false);
    DataEvent(deDataSetChange, 0);
    if (requery)
        Refresh();
    // The counterpart of BeforeQBE: QBE mode is over and the rows the criteria select (when
    // the dataset re-queried) are in place.
    if (AfterQBE)
        AfterQBE(this);
}

void TOracleDataSet::UpdateQBEControls(bool entering)
{
    if (m_designing)
        return;
    qd::UpdateQBEControls(m_qbeControls, this, m_qbeDefinition, entering);
}

void TOracleDataSet::Refresh()
{
    // Checked before the base class posts or cancels the pending record: in QBE mode that
    // record holds the criteria typed so far.
    if (m_qbeMode)
        DatabaseError(notInQBEMode, Name());
    TDataSet::Refresh();
}

void TOracleDataSet::unhookQBEFields()
{
    for (const QBEFieldHandlers &saved : m_qbeHandlers) {
        TField *field = saved.field;
        field->OnGetText = saved.getText;
        field->OnSetText = saved.setText;
        field->OnChange = saved.change;
        if (TOracleFieldInfo *info = m_fieldInfo.FindByField(field)) {
            field->SetReadOnly(info->ReadOnly);
            field->SetRequired(info->Required);
        }
    }
    m_qbeHandlers.clear();
}

void TOracleDataSet::StoreQBEValues()
{
    for (int i = 1; i < m_fieldInfo.Count(); ++i) {
        TField *field = m_fieldInfo.Items(i)->Field;
        if (!field || field->IsBlob())
            continue;
        TQBEField *qbe = m_qbeDefinition.FindField(field->FieldName());
        if (!qbe)
            continue;
        const QString text = qbe->GetQBEText();
        qbe->SetQBEValue(text.isEmpty() ? QVariant() : QVariant(text));
    }
}

void TOracleDataSet::ApplyQBE()
{
    RemoveQBE();
    if (m_activeQuery && m_activeQuery->FieldCount() == 0)
        m_activeQuery->Execute();
    const bool allowOperators = m_qbeDefinition.AllowOperators();
    std::vector<QBECondition> items;
    for (int i = 1; i < m_fieldInfo.Count(); ++i) {
        TOracleFieldInfo *info = m_fieldInfo.Items(i);
        TField *field = info->Field;
        if (!field)
            continue;
        TQBEField *qbe = m_qbeDefinition.FindField(field->FieldName());
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
                UpdatingTableAlias(alias);
                column = alias + QLatin1Char('.') + column;
            }
        }
        item.term = TranslateQBEValue(text, column, item.negate, field->DataType(), *qbe);
        item.column = column;
        items.push_back(item);
    }
    const QString condition = BuildQBECondition(items);
    QStringList lines = linesOf(m_mainQuery->SQL());
    TOracleQuery *query = m_mainQuery;
    if (m_qbeStatement.Apply(lines, condition, [query](const QStringList &) {
            QString text;
            query->SubstitutedSQL(text);
            return text;
        }))
        setLines(m_mainQuery->SQL(), lines);
}

void TOracleDataSet::RemoveQBE()
{
    for (int i = m_mainQuery->VariableCount() - 1; i >= 0; --i) {
        const QString name = m_mainQuery->VariableName(i);
        if (IsQBEVariableName(name))
            m_mainQuery->DeleteVariable(name);
    }
    QStringList lines = linesOf(m_mainQuery->SQL());
    if (m_qbeStatement.Remove(lines))
        setLines(m_mainQuery->SQL(), lines);
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
