// A detail over a collection column of its master writes its elements through the
// TABLE(...) expression of its updating table. An element can only be added to a collection
// that exists, so a null collection of the master row is made empty before each insert.

#include "OracleDataSet.h"
#include "UpdatingTable.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"

namespace qd {

void TOracleDataSet::forgetCollectionTable()
{
    m_collectionTableText.clear();
    m_collectionAnalysed = false;
    m_collectionTable = CollectionUpdatingTable();
    m_collectionColumns.clear();
    m_collectionAttributes.clear();
}

QList<EditBindVariable> TOracleDataSet::dataSetBindVariables()
{
    QList<EditBindVariable> variables;
    for (int i = 0; i < VariableCount(); ++i) {
        const QString name = VariableName(i);
        const int type = VariableType(i);
        // A cursor variable has no value to pass on.
        if (type != SQLT_RSET)
            variables.append({ name, type, GetVariable(name), false });
    }
    return variables;
}

void TOracleDataSet::prepareCollectionInsert(TOracleQuery &query)
{
    QString table;
    UpdatingTableName(table);
    if (!IsCollectionTable(table))
        return;
    // The analysis is made once per updating table; the SQL and UpdatingTable setters drop it.
    if (!m_collectionAnalysed || m_collectionTableText != table) {
        forgetCollectionTable();
        m_collectionTable = AnalyseCollectionTable(table);
        DescribeCollectionTable(
            query, m_collectionTable, m_collectionColumns, m_collectionAttributes);
        m_collectionTableText = table;
        m_collectionAnalysed = true;
    }
    const EditStatement block
        = BuildEmptyCollectionBlock(m_collectionTable, m_collectionColumns, dataSetBindVariables());
    if (block.nothingToSend)
        return;
    query.Clear();
    query.DeleteVariables();
    block.AddLinesTo(query);
    block.DeclareOn(query);
    query.Execute();
}

} // namespace qd
