#pragma once

// The payload a navigator node carries to a drop target: a copy of the node's record, so it
// stays valid when the tree's records are freed. It travels inside QMimeData under a private
// type, with its drop text as plain text beside it.

#include "browsers/DBNavRec.h"

#include <QString>

class QMimeData;

namespace qd {

class TDBNavDrag {
public:
    // The MIME type of the payload.
    static const QString MimeType;

    TDBNavDrag() = default;
    // With no record every field stays empty.
    explicit TDBNavDrag(const TDBNavRec *rec);

    QString DragData;
    TQDOracleObjects ObjectType = ooTable;
    TQDOracleSubObjects SubType = osoNone;
    QString ObjectInstance;
    QString ObjectOwner;
    QString ObjectName;
    QString SubObjectName;
    QString HintText;

    // A new QMimeData holding the payload and DragData as its text; the caller owns it.
    QMimeData *ToMimeData() const;
    // True when data holds a well-formed payload, which then replaces this one; anything
    // else (no payload, a cut or corrupt one, kinds out of range) leaves it unchanged.
    bool FromMimeData(const QMimeData *data);
};

} // namespace qd
