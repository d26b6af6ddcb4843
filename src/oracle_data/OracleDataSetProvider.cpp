// The dataset's IProviderSupport: the calls a data provider makes, forwarded to the
// DataSetProvider collaborator where they need more than the dataset's own calls.
#include "OracleDataSet.h"

namespace qd {

TParams *TOracleDataSet::PSGetParams()
{
    return m_provider->params();
}

void TOracleDataSet::PSSetParams(const TParams &params)
{
    m_provider->setParams(params);
}

void TOracleDataSet::PSExecute()
{
    // The LOB values were written by PSSetParams; they stay bound until the next PSSetParams,
    // so that a refresh runs with the same parameters.
    Close();
    Open();
}

void TOracleDataSet::PSReset()
{
    Close();
}

void TOracleDataSet::PSSetCommandText(const QString &text)
{
    Close();
    SetSQLText(text);
}

QString TOracleDataSet::PSGetTableName()
{
    QString name;
    UpdatingTableName(name);
    return name;
}

int TOracleDataSet::PSExecuteStatement(
    const QString &sql, const TParams &params, std::unique_ptr<TDataSet> *resultSet)
{
    return m_provider->executeStatement(sql, params, resultSet);
}

QString TOracleDataSet::PSGetKeyFields()
{
    return m_provider->keyFields();
}

TIndexDefs TOracleDataSet::PSGetIndexDefs(TIndexOptions indexTypes)
{
    return m_provider->indexDefs(indexTypes);
}

std::optional<TIndexDef> TOracleDataSet::PSGetDefaultOrder()
{
    return m_provider->defaultOrder();
}

void TOracleDataSet::PSStartTransaction()
{
    m_provider->startTransaction();
}

void TOracleDataSet::PSEndTransaction(bool commit)
{
    m_provider->endTransaction(commit);
}

} // namespace qd
