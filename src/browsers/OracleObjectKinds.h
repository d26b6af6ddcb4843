#pragma once

// The kinds of database objects the navigator shows and the table that drives every catalogue
// query, caption, drag word and image of a kind. QtCore only: the description routines and the
// navigator's reader threads use it off the GUI thread.

#include "oracle/LogonString.h"

#include <QString>

#include <array>

namespace qd {

enum TQDOracleObjects : quint8 {
    ooTable,
    ooView,
    ooMView, // materialized view
    ooPackage,
    ooProcedure,
    ooFunction,
    ooTrigger,
    ooType,
    ooBuiltin, // procedures and functions of the server's STANDARD package
    ooSequence,
};
constexpr int OracleObjectKindCount = ooSequence + 1;

enum TQDOracleSubObjects : quint8 {
    osoSubProcedure, // a member procedure or function of a package
    osoAttribute, // an attribute of an object type
    osoColumn, // a column of a table or view
    osoNone,
};

// A set of object kinds: one bit per ordinal.
using TQDOracleObjectSet = quint16;
constexpr TQDOracleObjectSet OracleObjectBit(TQDOracleObjects kind)
{
    return static_cast<TQDOracleObjectSet>(1u << kind);
}

struct TOracleObjectKind {
    bool InCatalogue; // listed per owner from the catalogue
    QString ObjectTypeLiteral; // the kind's object_type as a quoted SQL literal
    QString PluralCaption; // the category node under each owner
    QString SingularCaption; // the kind's name in the navigator window
    bool HasSubObjects;
    TQDOracleSubObjects SubObjectKind;
    QString ListQuery; // objects of one owner (:obj_owner); first column the name
    QString SubObjectQuery; // sub-objects of one object (:obj_owner, :obj_name); may be empty
    QString DragWord; // names the kind and its image resource
    int ImageIndex; // image of object nodes, assigned when the images are loaded
    QString SubDragWord; // names the sub-object kind and its image; may be empty
    int SubImageIndex; // image of sub-object nodes, assigned with the images
    bool CacheHint; // a node hint of this kind is kept in the node's record
};

// The row of a kind. Read from any thread once the images are loaded.
const TOracleObjectKind &OracleObjectKinds(TQDOracleObjects kind);

// Written once while the program starts, before any tree exists (NavigatorImages.h).
void SetOracleObjectImageIndexes(TQDOracleObjects kind, int imageIndex, int subImageIndex);

// "ooTable" ... "ooSequence" and "osoSubProcedure" ... "osoNone".
QString OracleObjectToString(TQDOracleObjects kind);
QString OracleSubObjectToString(TQDOracleSubObjects kind);

// The value whose identifier is text exactly; otherwise raises Exception with
// "Oracle object type <text> not recognized." (or "Oracle sub-object type ...").
TQDOracleObjects StringToOracleObject(const QString &text);
TQDOracleSubObjects StringToOracleSubObject(const QString &text);

// Exactly "SYSDBA" or "SYSOPER" (case-sensitive) select that mode; anything else is normal.
TConnectAsOption ModeToConnectAs(const QString &mode);

} // namespace qd
