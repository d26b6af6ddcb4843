#pragma once

// The record an object or sub-object node of the navigator carries. QtCore only.

#include "browsers/OracleObjectKinds.h"

#include <QString>

namespace qd {

// The names of a record are at most this long (they came from fixed-size fields).
constexpr int DBNavNameLength = 255;

struct TDBNavRec {
    QString ObjectInstance; // the session's logon database when the node was read
    QString ObjectOwner; // upper case for catalogue objects, "SYS" for built-ins
    QString ObjectName;
    QString SubObjectName; // empty for an object
    TQDOracleObjects ObjectType = ooTable;
    TQDOracleSubObjects SubType = osoNone;
    bool SubObjectsRead = false;
    bool HasSubObjects = false; // the kind's flag for objects; false for sub-objects, built-ins
    QString DragData; // what a drop inserts
    QString HintText; // cached hint; empty until one is built

    // The text a drop of a node inserts: an object's name; a column's name; "object.member" for
    // a package member or a type attribute; nothing for any other sub-object. Cut to
    // DBNavNameLength characters.
    static QString DragDataFor(
        const QString &objectName, const QString &subObjectName, TQDOracleSubObjects subType);
};

} // namespace qd
