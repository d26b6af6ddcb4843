#pragma once

// The dataset as the source of a data provider: the parameters mirrored from its variables (and
// the temporary LOBs that carry LOB parameters), keys and indexes from the updating table's
// dictionary entries, the default order from the ORDER BY clause, statements run with their "?"
// parameters bound, and the provider's transaction. ProviderOptions stays the dataset's
// published property; the dataset owns one of these and forwards its IProviderSupport calls.

#include "classlib/ProviderSupport.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace qd {

class TLOBLocator;
class TOracleDataSet;
class TOracleQuery;

class DataSetProvider {
public:
    explicit DataSetProvider(TOracleDataSet &dataSet);
    ~DataSetProvider();
    DataSetProvider(const DataSetProvider &) = delete;
    DataSetProvider &operator=(const DataSetProvider &) = delete;

    TParams *params();
    void setParams(const TParams &params);
    // The parameters are made again from the variables on the next params().
    void forgetParams() { m_params.reset(); }
    int executeStatement(
        const QString &sql, const TParams &params, std::unique_ptr<TDataSet> *resultSet);
    QString keyFields();
    TIndexDefs indexDefs(TIndexOptions indexTypes);
    std::optional<TIndexDef> defaultOrder();
    void startTransaction();
    void endTransaction(bool commit);

private:
    // A temporary LOB of the session carrying the LOB parameter at index, bound as name.
    struct Lob {
        std::unique_ptr<TLOBLocator> locator;
        int index = 0;
        QString name;
    };
    Lob newLob(int type, int index, const QString &name);
    void writeLobs(std::vector<Lob> &lobs, const TParams &params);
    void freeLobs(std::vector<Lob> &lobs, TOracleQuery *query);
    QString keyFromDictionary();
    bool tableUnresolved();

    TOracleDataSet &m_dataSet;
    // Made on first use, dropped when variables are declared or deleted.
    std::unique_ptr<TParams> m_params;
    // The LOB values set by setParams, bound until the next setParams.
    std::vector<Lob> m_lobs;
};

} // namespace qd
