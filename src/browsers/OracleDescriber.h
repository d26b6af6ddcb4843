#pragma once

// The worksheet's describer (worksheet/ObjectDescriber.h) over the data dictionary.

#include "worksheet/ObjectDescriber.h"

namespace qd {

class TOracleDescriber : public TObjectDescriber {
public:
    quint8 GetObjectDescription(TOracleSession &session, const QString &name, bool queryOnly,
        bool withPrimaryKey, TStringList &lines, bool &isQuery, QString &owner, QString &objectName,
        QString &subName, QString &dbLink) override;
};

// Registers the dictionary describer with the worksheet; called once while the program starts.
void InstallOracleDescriber();

} // namespace qd
