#pragma once

// What the files of TOracleSession share: its list of dependents, the size of its internal
// statement buffers and small conversions for the client calls and messages.

#include "classlib/Exception.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleSession.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <exception>
#include <mutex>

namespace qd {

// The session's dependents by kind, walked when the session logs on, off or goes away.
struct TOracleSession::DependentLists {
    mutable std::recursive_mutex mutex;
    std::array<QList<OracleSessionDependent *>, OracleSessionDependent::KindCount> lists;

    // Calls action for every member of one list, last first, skipping members that left
    // the list during the walk.
    template <typename Action> void walkBackwards(OracleSessionDependent::Kind kind, Action action)
    {
        std::lock_guard lock(mutex);
        const QList<OracleSessionDependent *> snapshot = lists[kind];
        for (qsizetype i = snapshot.size() - 1; i >= 0; --i) {
            if (lists[kind].contains(snapshot[i]))
                action(snapshot[i]);
        }
    }
};

namespace SessionSupport {

// Bytes of a text value of the session's internal statements.
constexpr int InternalBufferSize = 4001;

inline QString messageOf(const std::exception &e)
{
    if (const auto *ours = dynamic_cast<const Exception *>(&e))
        return ours->Message();
    return QString::fromUtf8(e.what());
}

inline OraText *oraText(QByteArray &bytes)
{
    return reinterpret_cast<OraText *>(bytes.data());
}

} // namespace SessionSupport

} // namespace qd
