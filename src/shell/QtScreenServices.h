#pragma once

#include "oracle/ScreenServices.h"

#include <QObject>
#include <QString>

#include <atomic>

namespace qd {

// The screen services over Qt Widgets: a question message box, an override cursor and an
// error message box. Installed once by the GUI thread; any thread may call the hooks.
// Work that touches a widget always runs on the GUI thread: a worker's confirmation waits
// for the GUI thread's answer, a worker's cursor change and exception display are posted
// to it, and a worker asking for the application's components gets none (they are
// widgets, which only the GUI thread may use).
class QtScreenServices : public QObject {
public:
    // Installs the hooks; call on the GUI thread after the QApplication exists. The
    // object belongs to the application and lives until it goes away.
    static QtScreenServices *install();
    // Puts the default hooks back and deletes the installed object (GUI thread).
    static void uninstall();

    // The work itself; GUI thread only.
    int confirm(const QString &message, const QString &buttons);
    void applyCursor(TCursor cursor);
    void showMessage(const QString &message);
    void showMessage(TMessageKind kind, const QString &message);
    QList<QObject *> components() const;

    TCursor cursor() const { return m_cursor.load(); }

private:
    explicit QtScreenServices(QObject *parent);
    ~QtScreenServices() override;

    std::atomic<TCursor> m_cursor { crDefault };
    bool m_overrideActive = false;
};

} // namespace qd
