// Keys: the key columns of the updating table, the key fields of the dataset and the bookmark
// number of the current record.
#include "OracleDataSet.h"
#include "UpdatingTable.h"

#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace qd {

QStringList TOracleDataSet::FindKeyColumns(
    TOracleQuery &query, const QString &owner, bool checkFields, const QString &table)
{
    const QStringList columns = qd::FindKeyColumns(query, owner, table);
    if (checkFields)
        for (const QString &column : columns)
            if (!FindField(column))
                return {};
    return columns;
}

void TOracleDataSet::DetermineKeyFields(TStringList &list)
{
    if (!m_hasRowId)
        return;
    list.Clear();
    const QString unique = m_uniqueFields.trimmed();
    if (!unique.isEmpty()) {
        std::vector<TField *> fields;
        GetFieldList(fields, unique);
        for (TField *field : fields)
            list.Add(field->FieldName());
    } else if (TOracleSession *session = Session()) {
        QString name;
        UpdatingTableName(name);
        QString owner;
        QString table;
        if (!name.isEmpty())
            SplitTableName(*session, name, owner, table);
        if (!table.isEmpty()) {
            TOracleQuery *query = DMLQuery(true);
            QStringList columns;
            try {
                columns = FindKeyColumns(*query, owner, false, table);
            } catch (...) {
                ReleaseDMLQuery();
                throw;
            }
            ReleaseDMLQuery();
            for (const QString &column : columns)
                list.Add(column);
        }
    }
    if (list.Count() == 0)
        throw EDatabaseError(QStringLiteral("Primary or Unique key columns must be included"));
}

qint32 TOracleDataSet::CurrentBookmarkNumber()
{
    if (!Active() || !m_store || IsEmpty())
        return -1;
    TRecordBuffer buffer = ActiveBuffer();
    if (!buffer || GetBookmarkFlag(buffer) != bfCurrent)
        return -1;
    return RecordHeader(buffer)->Bookmark;
}

} // namespace qd
