#pragma once

#include <QFlags>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>

namespace qd {

// What kind of change in a watched tree counts.
enum TNotifyFilterItem {
    nfFileNameChange = 0x01, // a file made, removed or renamed
    nfDirNameChange = 0x02, // a directory made, removed or renamed
    nfAttributeChange = 0x04,
    nfSizeChange = 0x08,
    nfWriteChange = 0x10,
    nfSecurityChange = 0x20, // owner and permissions, which are attributes here
};
using TNotifyFilter = QFlags<TNotifyFilterItem>;

// Watches a list of directories, each with all its subdirectories (those made later too),
// with inotify, and calls the handler on the GUI thread with the listed directory whose tree
// changed. A directory that cannot be watched is left out; the others are watched. The thread
// wakes at least once a second, and at once when asked to stop.
class TDirWaitThread : public QThread {
    Q_OBJECT

public:
    using ChangeHandler = std::function<void(TDirWaitThread *sender, const QString &directory)>;

    // directories: ";"-separated, each trimmed of blanks. The thread starts at once; with no
    // directory, or none that can be watched, it ends at once.
    TDirWaitThread(const QString &directories, ChangeHandler onChange, TNotifyFilter filter,
        QObject *parent = nullptr);
    // Stops the thread and waits for it (it ends at once when asked).
    ~TDirWaitThread() override;

    // Asks the thread to end; it does not wait.
    void Terminate();

    const QStringList &Directories() const { return m_directories; }
    // inotify events that the filter maps to (the thread also follows new directories).
    static quint32 InotifyMask(TNotifyFilter filter);
    // Whether an event with this mask is a change the filter asks for.
    static bool Matches(quint32 eventMask, TNotifyFilter filter);

protected:
    void run() override;

private:
    struct Watch {
        QString path;
        QList<int> roots; // indexes into m_directories
    };
    void addTree(int inotifyFd, const QString &path, int root, bool reportExisting,
        QHash<int, Watch> &watches, QList<int> &changed);
    void report(int root);

    QStringList m_directories;
    ChangeHandler m_onChange;
    TNotifyFilter m_filter;
    int m_wakeFd = -1;
    std::atomic_bool m_stop { false };
};

} // namespace qd
