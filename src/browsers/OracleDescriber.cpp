#include "browsers/OracleDescriber.h"

#include "browsers/OracleDescribe.h"

namespace qd {

quint8 TOracleDescriber::GetObjectDescription(TOracleSession &session, const QString &name,
    bool queryOnly, bool withPrimaryKey, TStringList &lines, bool &isQuery, QString &owner,
    QString &objectName, QString &subName, QString &dbLink)
{
    return qd::GetObjectDescription(session, name, queryOnly, withPrimaryKey, lines, isQuery, owner,
        objectName, subName, dbLink);
}

void InstallOracleDescriber()
{
    static TOracleDescriber describer;
    SetObjectDescriber(&describer);
}

} // namespace qd
