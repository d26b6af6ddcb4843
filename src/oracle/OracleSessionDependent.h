#pragma once

#include <QString>

namespace qd {

class TOracleSession;

// What runs on a session: queries, datasets, stored-package components, LOB locators,
// objects and references. Each joins its session's list when its Session is set (or when it
// is created on the session) and leaves it when the session changes or when it is destroyed,
// through TOracleSession::AddDependent / RemoveDependent.
//
// The session calls these on the thread that logs off, changes preferences or destroys it,
// while it holds the list's lock: an implementation may leave the list from inside a call,
// but must not wait for another thread that is joining or leaving the same session.
class OracleSessionDependent {
public:
    enum Kind { dkQuery, dkDataSet, dkPackage, dkLob, dkObject, dkReference };
    static constexpr int KindCount = 6;

    virtual ~OracleSessionDependent() = default;

    virtual Kind dependentKind() const = 0;
    // The name shown in messages about this object.
    virtual QString dependentName() const { return QString(); }

    // The session is logging off and its connection is about to end: a query closes its
    // cursor; a dataset closes unless it can live detached from the connection.
    virtual void sessionLoggingOff() {}
    // The session has logged off: a dataset that now runs detached redraws its controls.
    virtual void sessionLoggedOff() {}
    // A preference that shapes fields changed on a designed session: a dataset resets its
    // query and reopens when it was open. May raise; the session reports the error.
    virtual void sessionPreferencesChanged() {}
    // The session is being destroyed: forget it (Session becomes null) without calling it.
    // The object must not call RemoveDependent from here.
    virtual void sessionDestroyed() = 0;
};

} // namespace qd
