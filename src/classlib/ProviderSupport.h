#pragma once

#include "Exception.h"
#include "Params.h"

#include <QList>
#include <QPair>
#include <QString>

#include <exception>
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

// The kind of change a provider writes back for a record.
enum TUpdateKind { ukModify, ukInsert, ukDelete };

// An error met while a provider writes a change back, as the provider reports it: the original
// error's message, the error code it carried (0 when none), the code of the error met before it
// in the same update (0 when none) and the original exception itself.
class EUpdateError : public EDatabaseError {
public:
    EUpdateError(const QString &message, const QString &context, int errorCode, int previousError,
        std::exception_ptr original)
        : EDatabaseError(message)
        , m_context(context)
        , m_errorCode(errorCode)
        , m_previousError(previousError)
        , m_original(std::move(original))
    {
    }

    const QString &Context() const { return m_context; }
    int ErrorCode() const { return m_errorCode; }
    int PreviousError() const { return m_previousError; }
    const std::exception_ptr &OriginalException() const { return m_original; }

private:
    QString m_context;
    int m_errorCode;
    int m_previousError;
    std::exception_ptr m_original;
};

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

    // The class library's answers, which a dataset may refine.

    // Extra attributes the provider passes on with the data (name, value); none by default.
    virtual void PSGetAttributes(QList<QPair<QString, Variant>> &list) { (void)list; }
    // The error a failed write-back is reported as: the error (the one being handled, given as
    // error) wrapped in an EUpdateError that carries its message and the code of prev.
    virtual EUpdateError PSGetUpdateException(std::exception_ptr error, const EUpdateError *prev);
    // Writes a change of delta's current record itself; false leaves it to the provider, which
    // then builds the statement and runs it through PSExecuteStatement.
    virtual bool PSUpdateRecord(TUpdateKind updateKind, TDataSet *delta)
    {
        (void)updateKind;
        (void)delta;
        return false;
    }

    // The fields of dataSet flagged pfInKey, ";"-separated in field order: the class library's
    // answer to PSGetKeyFields.
    static QString DefaultKeyFields(const TDataSet &dataSet);
};

} // namespace qd
