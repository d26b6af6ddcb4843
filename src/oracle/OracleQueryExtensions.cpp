#include "oracle/OracleQueryExtensions.h"

#include "oracle/OracleBuffers.h"

#include <QHash>

#include <mutex>

namespace qd {

namespace {

struct Registry {
    std::mutex lock;
    QHash<int, std::shared_ptr<OracleColumnHandler>> columns;
    QHash<int, std::shared_ptr<OracleVariableHandler>> variables;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

} // namespace

bool OracleColumnHandler::isNull(TOracleQuery &, TFieldData &field, int row) const
{
    return row < 0 || row >= static_cast<int>(field.indicatorBuffer.size())
        || field.indicatorBuffer[static_cast<std::size_t>(row)] == -1;
}

void OracleQueryExtensions::SetColumnHandler(
    int internalType, std::shared_ptr<OracleColumnHandler> handler)
{
    Registry &r = registry();
    std::lock_guard guard(r.lock);
    if (handler)
        r.columns.insert(internalType, std::move(handler));
    else
        r.columns.remove(internalType);
}

std::shared_ptr<OracleColumnHandler> OracleQueryExtensions::ColumnHandler(int internalType)
{
    Registry &r = registry();
    std::lock_guard guard(r.lock);
    return r.columns.value(internalType);
}

void OracleQueryExtensions::SetVariableHandler(
    int type, std::shared_ptr<OracleVariableHandler> handler)
{
    Registry &r = registry();
    std::lock_guard guard(r.lock);
    if (handler)
        r.variables.insert(type, std::move(handler));
    else
        r.variables.remove(type);
}

std::shared_ptr<OracleVariableHandler> OracleQueryExtensions::VariableHandler(int type)
{
    Registry &r = registry();
    std::lock_guard guard(r.lock);
    return r.variables.value(type);
}

QString OracleQueryExtensions::ColumnFeature(int internalType)
{
    switch (internalType) {
    case SQLT_RSET:
        return QStringLiteral("A query with sub-queries");
    case SQLT_NTY:
        return QStringLiteral("A query with objects");
    case SQLT_REF:
        return QStringLiteral("A query with references");
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
        return QStringLiteral("A query with LOB's");
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
        return QStringLiteral("A query with timestamps");
    default:
        return QString();
    }
}

QString OracleQueryExtensions::VariableFeature(int type)
{
    switch (type) {
    case SQLT_NTY:
        return QStringLiteral("An object variable");
    case SQLT_REF:
        return QStringLiteral("A reference variable");
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
        return QStringLiteral("A LOB Locator variable");
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
        return QStringLiteral("A Timestamp variable");
    default:
        return QString();
    }
}

QString OracleQueryExtensions::VariableClassName(int type)
{
    switch (type) {
    case SQLT_RSET:
        return QStringLiteral("TOracleQuery");
    case SQLT_NTY:
        return QStringLiteral("TOracleObject");
    case SQLT_REF:
        return QStringLiteral("TOracleReference");
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
        return QStringLiteral("TLOBLocator");
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
        return QStringLiteral("TOracleTimestamp");
    default:
        return QString();
    }
}

} // namespace qd
