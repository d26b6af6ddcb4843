#include "platform/DirChangeNotify.h"

#include "classlib/ThreadHandOver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace qd {

namespace {

constexpr int WaitTimeoutMs = 1000;
constexpr quint32 NameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
// Always asked for, so that new subdirectories are followed and gone ones forgotten.
constexpr quint32 FollowEvents = IN_CREATE | IN_MOVED_TO;

} // namespace

TDirWaitThread::TDirWaitThread(
    const QString &directories, ChangeHandler onChange, TNotifyFilter filter, QObject *parent)
    : QThread(parent)
    , m_onChange(std::move(onChange))
    , m_filter(filter)
{
    if (!directories.isEmpty()) {
        for (const QString &entry : directories.split(u';', Qt::KeepEmptyParts))
            m_directories.append(entry.trimmed());
    }
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    start();
}

TDirWaitThread::~TDirWaitThread()
{
    Terminate();
    wait();
    ThreadJoined(this);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void TDirWaitThread::Terminate()
{
    m_stop = true;
    requestInterruption();
    if (m_wakeFd >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    }
}

quint32 TDirWaitThread::InotifyMask(TNotifyFilter filter)
{
    quint32 mask = FollowEvents;
    if (filter & (nfFileNameChange | nfDirNameChange))
        mask |= NameEvents;
    if (filter & (nfAttributeChange | nfSecurityChange))
        mask |= IN_ATTRIB;
    if (filter & nfSizeChange)
        mask |= IN_MODIFY;
    if (filter & nfWriteChange)
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    return mask;
}

bool TDirWaitThread::Matches(quint32 eventMask, TNotifyFilter filter)
{
    const bool isDirectory = eventMask & IN_ISDIR;
    if (eventMask & NameEvents) {
        if (isDirectory ? filter.testFlag(nfDirNameChange) : filter.testFlag(nfFileNameChange))
            return true;
    }
    if ((eventMask & IN_ATTRIB) && (filter & (nfAttributeChange | nfSecurityChange)))
        return true;
    if ((eventMask & IN_MODIFY) && (filter & (nfSizeChange | nfWriteChange)))
        return true;
    if ((eventMask & IN_CLOSE_WRITE) && filter.testFlag(nfWriteChange))
        return true;
    return false;
}

void TDirWaitThread::addTree(int inotifyFd, const QString &path, int root, bool reportExisting,
    QHash<int, Watch> &watches, QList<int> &changed)
{
    QStringList pending { path };
    while (!pending.isEmpty()) {
        const QString directory = pending.takeFirst();
        const QByteArray native = QFile::encodeName(directory);
        const int wd = ::inotify_add_watch(
            inotifyFd, native.constData(), InotifyMask(m_filter) | IN_ONLYDIR | IN_DONT_FOLLOW);
        if (wd < 0)
            continue; // gone already, not readable, or the watch limit reached
        Watch &watch = watches[wd];
        watch.path = directory;
        if (!watch.roots.contains(root))
            watch.roots.append(root);
        QDir dir(directory);
        const QFileInfoList entries
            = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        // A directory made while the watcher looked away may already hold what the user
        // made in it: that is a change of the tree too.
        if (reportExisting && !entries.isEmpty() && !changed.contains(root))
            changed.append(root);
        for (const QFileInfo &entry : entries) {
            if (entry.isDir() && !entry.isSymLink())
                pending.append(entry.filePath());
        }
    }
}

void TDirWaitThread::run()
{
    const ThreadRunScope scope(this);
    if (m_directories.isEmpty())
        return;
    const int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0)
        return;
    QHash<int, Watch> watches;
    QList<int> ignored;
    for (int i = 0; i < m_directories.size(); ++i) {
        const QString &directory = m_directories.at(i);
        if (directory.isEmpty() || !QFileInfo(directory).isDir())
            continue;
        addTree(fd, QDir::cleanPath(QFileInfo(directory).absoluteFilePath()), i, false, watches,
            ignored);
    }
    if (watches.isEmpty()) {
        ::close(fd);
        return;
    }

    alignas(struct inotify_event) char buffer[16 * 1024];
    while (!m_stop && !isInterruptionRequested()) {
        pollfd fds[2] = { { fd, POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
        const int ready = ::poll(fds, m_wakeFd >= 0 ? 2 : 1, WaitTimeoutMs);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0 || !(fds[0].revents & POLLIN))
            continue;
        QList<int> changed;
        for (;;) {
            const ssize_t length = ::read(fd, buffer, sizeof buffer);
            if (length <= 0)
                break;
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                offset += sizeof(inotify_event) + event->len;
                if (event->mask & IN_IGNORED) {
                    watches.remove(event->wd);
                    continue;
                }
                const auto it = watches.constFind(event->wd);
                if (it == watches.constEnd())
                    continue;
                const Watch watch = *it;
                if ((event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO))
                    && event->len > 0) {
                    const QString child
                        = watch.path + u'/' + QFile::decodeName(QByteArray(event->name));
                    for (int root : watch.roots)
                        addTree(fd, child, root, true, watches, changed);
                }
                if (Matches(event->mask, m_filter)) {
                    for (int root : watch.roots) {
                        if (!changed.contains(root))
                            changed.append(root);
                    }
                }
            }
        }
        std::sort(changed.begin(), changed.end());
        for (int root : changed)
            report(root);
    }
    ::close(fd);
}

void TDirWaitThread::report(int root)
{
    if (!m_onChange)
        return;
    const QString directory = m_directories.at(root);
    // The handler runs on the thread this object belongs to (the GUI thread); the thread does
    // not wait for it, and a call still queued when the object goes is dropped.
    PostCall(this, [this, directory] {
        if (m_onChange)
            m_onChange(this, directory);
    });
}

} // namespace qd
