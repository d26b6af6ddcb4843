#pragma once

#include <QString>

#include <exception>
#include <functional>

class QObject;

namespace qd {

// Modal results of a confirmation.
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
};

// Kinds of a message box with one OK button.
enum TMessageKind { mkError, mkWarning, mkInformation };

// Screen cursors the access layer switches to during server calls.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crAppStart = -19;

// The only place where the Oracle access layer touches the user interface: a
// confirmation dialog, the screen cursor, the application's exception display and the
// application's components. The layer calls these hooks; the window layer installs an
// implementation (QtScreenServices). Without one, confirmations answer mrNone, the
// cursor is only remembered, exceptions are written to standard error and there are no
// components.
struct ScreenServices {
    // buttons: letters anywhere in the string, case-sensitive: "Y" Yes, "N" No, "O" OK,
    // "C" Cancel, "I" Ignore, "A" All.
    std::function<int(const QString &message, const QString &buttons)> confirm;
    std::function<TCursor()> getCursor;
    std::function<void(TCursor cursor)> setCursor;
    std::function<void(std::exception_ptr error)> showException;
    // A modal message box of the given kind with one OK button; returns when it is closed.
    std::function<void(TMessageKind kind, const QString &message)> message;
    std::function<int()> componentCount;
    std::function<QObject *(int index)> component;
};

// Replaces the installed hooks; hooks left empty keep their default. Thread-safe.
void InstallScreenServices(const ScreenServices &services);
// Back to the defaults.
void ResetScreenServices();

// Calls of the installed hooks; safe from any thread (the hooks decide what a worker
// thread may do).
int ScreenConfirm(const QString &message, const QString &buttons);
void ScreenMessage(TMessageKind kind, const QString &message);
TCursor GetScreenCursor();
void SetScreenCursor(TCursor cursor);
// Shows the exception being handled (call inside a catch block).
void ShowCurrentException();
void ShowException(std::exception_ptr error);
int ApplicationComponentCount();
QObject *ApplicationComponent(int index);

// The message of an exception as the user should read it.
QString ExceptionMessage(std::exception_ptr error);

// Restores the screen cursor it replaced when it goes out of scope; does nothing for
// crDefault (the session's and the query's Cursor property of 0).
class ScreenCursorSaver {
public:
    explicit ScreenCursorSaver(TCursor cursor);
    ~ScreenCursorSaver();
    ScreenCursorSaver(const ScreenCursorSaver &) = delete;
    ScreenCursorSaver &operator=(const ScreenCursorSaver &) = delete;

private:
    bool m_active = false;
    TCursor m_saved = crDefault;
};

} // namespace qd
