#include "browsers/DBNavRec.h"

namespace qd {

QString TDBNavRec::DragDataFor(
    const QString &objectName, const QString &subObjectName, TQDOracleSubObjects subType)
{
    QString text;
    switch (subType) {
    case osoNone:
        text = objectName;
        break;
    case osoColumn:
        text = subObjectName;
        break;
    case osoSubProcedure:
    case osoAttribute:
        text = objectName + u'.' + subObjectName;
        break;
    }
    return text.left(DBNavNameLength);
}

} // namespace qd
