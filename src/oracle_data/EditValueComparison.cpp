#include "EditValueComparison.h"

#include "DataSetStatementText.h"
#include "classlib/Exception.h"
#include "oracle/OracleCI.h"

#include <cmath>

namespace qd {

namespace {

QString rightTrimmed(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1).isSpace())
        --n;
    return text.left(n);
}

bool isNullForCompare(const Variant &value)
{
    if (value.IsNullOrEmpty())
        return true;
    const QString *text = value.StringPtr();
    return text && text->isEmpty();
}

bool closeInDays(const Variant &a, const Variant &b, double limit)
{
    return std::fabs(a.AsDateTime() - b.AsDateTime()) < limit;
}

} // namespace

bool IsEditValueNull(const Variant &value, bool trimStrings)
{
    if (value.IsNullOrEmpty())
        return true;
    if (const QByteArray *bytes = value.BytesPtr())
        return bytes->isEmpty();
    const QString *text = value.StringPtr();
    if (!text)
        return false;
    return trimStrings ? rightTrimmed(*text).isEmpty() : text->isEmpty();
}

bool SameEditValue(
    int bindType, const Variant &recordValue, const Variant &serverValue, int fieldSize)
{
    const bool recordNull = isNullForCompare(recordValue);
    const bool serverNull = isNullForCompare(serverValue);
    if (recordNull || serverNull)
        return recordNull && serverNull;
    try {
        switch (bindType) {
        case SQLT_STR: {
            QString server = serverValue.AsString();
            if (fieldSize > 0 && server.size() > fieldSize)
                server.truncate(fieldSize);
            return rightTrimmed(recordValue.AsString()) == rightTrimmed(server);
        }
        case SQLT_FLT:
            return SameFloat(recordValue.AsFloat(), serverValue.AsFloat());
        case SQLT_DAT:
            return closeInDays(recordValue, serverValue, 1.1574074074074073e-05);
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case SQLT_TIMESTAMP_LTZ:
            return closeInDays(recordValue, serverValue, 1.1574074074074074e-08);
        case SQLT_LBI:
        case SQLT_BLOB:
            return recordValue.AsBytes() == serverValue.AsBytes();
        default:
            return recordValue == serverValue;
        }
    } catch (const EConvertError &) {
        return false;
    }
}

} // namespace qd
