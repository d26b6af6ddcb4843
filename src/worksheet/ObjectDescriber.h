#pragma once

// How the worksheet's DESCRIBE reaches the object description, which lives in a layer above
// it: the browsers layer registers its describer here when the program starts. The describer
// needs no widgets and runs on the caller's thread and session, so the script runner calls it
// from its own thread.

#include "classlib/StringList.h"

#include <QString>

#include <atomic>

namespace qd {

class TOracleSession;

class TObjectDescriber {
public:
    virtual ~TObjectDescriber() = default;

    // Resolves name as typed and describes it. For a table, view or materialized view with
    // queryOnly, lines receives a column query (bind obj_owner and obj_name to owner and
    // objectName) and isQuery is set; otherwise lines receives the description. Returns the
    // object kind: 0-9 as the navigator's kinds, 10 for an object of a type not described,
    // 11 for no object of that name.
    virtual quint8 GetObjectDescription(TOracleSession &session, const QString &name,
        bool queryOnly, bool withPrimaryKey, TStringList &lines, bool &isQuery, QString &owner,
        QString &objectName, QString &subName, QString &dbLink)
        = 0;
};

namespace detail {
inline std::atomic<TObjectDescriber *> registeredDescriber { nullptr };
}

// The describer in use, or nullptr while none is registered. The caller does not own it.
inline TObjectDescriber *ObjectDescriber()
{
    return detail::registeredDescriber.load();
}

// Registers describer (owned by the registering layer, alive for the whole run).
inline void SetObjectDescriber(TObjectDescriber *describer)
{
    detail::registeredDescriber.store(describer);
}

} // namespace qd
