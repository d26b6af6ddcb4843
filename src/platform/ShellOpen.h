#pragma once

#include <QUrl>

namespace qd {

// Opening an address or a file with what the desktop has chosen for it (the shell's "open"
// verb). Help topics and links go through here, so tests put a recorder in its place.
class ShellOpen {
public:
    virtual ~ShellOpen() = default;
    // False when nothing could be started for the address.
    virtual bool openUrl(const QUrl &url) = 0;

    // The one in use: the desktop's unless a test set its own.
    static ShellOpen &current();
    // Puts shellOpen in use (not owned); nullptr goes back to the desktop's.
    static void setCurrent(ShellOpen *shellOpen);
};

// QDesktopServices, which asks the desktop (xdg-open or the portal) to open the address.
class DesktopShellOpen : public ShellOpen {
public:
    bool openUrl(const QUrl &url) override;
};

} // namespace qd
