#include "ChangeLog.h"

namespace qd {

TUpdateStatus ChangeLogUpdateStatus(
    bool empty, bool inserting, bool editing, bool cachedUpdates, QChar loggedAction)
{
    if (empty)
        return usUnmodified;
    if (inserting)
        return usInserted;
    if (cachedUpdates) {
        if (loggedAction == u'D')
            return usDeleted;
        if (loggedAction == u'I')
            return usInserted;
        if (loggedAction == u'U')
            return usModified;
    }
    return editing ? usModified : usUnmodified;
}

} // namespace qd
