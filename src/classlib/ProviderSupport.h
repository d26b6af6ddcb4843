#pragma once

#include "Params.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace qd {

class TDataSet;

// Index options as bit masks: ixPrimary | ixUnique.
enum TIndexOption {
    ixPrimary = 1,
    ixUnique = 2,
    ixDescending = 4,
    ixCaseInsensitive = 8,
};
using TIndexOptions = unsigned;

// An index a provider may use to order or key a dataset's records. Fields, DescFields and
// CaseInsFields are ";"-separated field names.
struct TIndexDef {
    QString Name;
    QString Fields;
    TIndexOptions Options = 0;
    QString DescFields;
    QString CaseInsFields;
};
using TIndexDefs = std::vector<TIndexDef>;

// What a data provider asks of a dataset that serves as its source: the dataset's keys, indexes,
// default order, table and parameters, running statements through it and bracketing its updates
// in a transaction. A dataset offers it by implementing this interface beside TDataSet.
class IProviderSupport {
public:
    virtual ~IProviderSupport() = default;

    // Ends the provider's transaction by committing it (commit) or rolling it back.
    virtual void PSEndTransaction(bool commit) = 0;
    // Runs the dataset's statement with the parameters set by PSSetParams.
    virtual void PSExecute() = 0;
    // Runs sql, whose "?" marks stand for params in order. With resultSet, a new dataset over
    // the statement's rows is handed back (the caller owns it) and its record count returned;
    // without, the rows processed.
    virtual int PSExecuteStatement(
        const QString &sql, const TParams &params, std::unique_ptr<TDataSet> *resultSet = nullptr)
        = 0;
    // The order the dataset's records come in, when it is known.
    virtual std::optional<TIndexDef> PSGetDefaultOrder() = 0;
    // The fields that identify a record, ";"-separated; empty when none are known.
    virtual QString PSGetKeyFields() = 0;
    // The dataset's parameters, owned by the dataset.
    virtual TParams *PSGetParams() = 0;
    virtual QString PSGetQuoteChar() = 0;
    virtual QString PSGetTableName() = 0;
    // The indexes of the kinds in indexTypes (ixPrimary, ixUnique).
    virtual TIndexDefs PSGetIndexDefs(TIndexOptions indexTypes) = 0;
    virtual bool PSInTransaction() = 0;
    virtual bool PSIsSQLBased() = 0;
    virtual bool PSIsSQLSupported() = 0;
    // Makes the dataset run its statement afresh on the next request.
    virtual void PSReset() = 0;
    virtual void PSSetCommandText(const QString &text) = 0;
    virtual void PSSetParams(const TParams &params) = 0;
    // Starts the provider's transaction.
    virtual void PSStartTransaction() = 0;
};

} // namespace qd
