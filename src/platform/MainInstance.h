#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace qd {

class Environment;

// One running copy per user and display. The first start listens on a local socket in
// $XDG_RUNTIME_DIR; a later start connects, hands over its file arguments (made absolute
// against its own working directory) and ends, and the first copy opens each file.
//
// Checking for a running copy and starting to listen happen under one lock file, so two
// copies started together end with one server. A socket left behind by a copy that was
// killed is removed. What arrives on the socket is bounded and checked: anything else is
// dropped without a word.
class TMainInstance : public QObject {
    Q_OBJECT

public:
    // Largest hand-over accepted; a longer one is dropped whole.
    static constexpr qint64 MaxMessageSize = 1024 * 1024;
    static constexpr int MaxFileNameLength = 4096;
    // Connections served at once; more are refused until one ends.
    static constexpr int MaxConnections = 8;
    // A sender that keeps its connection open longer than this is cut off.
    static constexpr int ReceiveTimeoutMs = 5000;
    // How long a start waits for another start that is deciding at the same moment.
    static constexpr int LockTimeoutMs = 10000;

    explicit TMainInstance(QObject *parent = nullptr);
    TMainInstance(const Environment &environment, QObject *parent = nullptr);
    ~TMainInstance() override;

    // The socket's path: $XDG_RUNTIME_DIR (else the temporary directory) joined with a name
    // made of the user and the display.
    static QString serverPath(const Environment &environment);
    QString ServerPath() const { return m_path; }

    // True when another copy runs: files (file arguments, relative ones taken against
    // workingDirectory) have then been handed to it, and this start should end. False when
    // this copy is the first: it now listens for later starts. A channel that cannot be set up
    // (no lock, no socket) also gives False, so the program still runs on its own.
    bool CheckInstance(const QStringList &files, const QString &workingDirectory);
    bool IsListening() const;

    // Called on the GUI thread for every hand-over, with the absolute file names in the order
    // given (none: the other start only asked to bring this copy to the front). Hand-overs that
    // arrive while no handler is set wait for it.
    void SetOnOpenFiles(std::function<void(TMainInstance *sender, const QStringList &files)> handler);

    // The wire format: a fixed header, then each name in UTF-8 followed by a NUL byte.
    static QByteArray EncodeHandOver(const QStringList &files);
    // The names of a well-formed message; nothing for anything else (wrong header, a name that
    // is empty, relative, too long or not UTF-8, a missing terminator, too large a message).
    static std::optional<QStringList> DecodeHandOver(const QByteArray &data);
    static QStringList AbsoluteFileNames(const QStringList &files, const QString &workingDirectory);

private:
    bool handOver(const QStringList &files);
    bool listen();
    void acceptConnections();
    void readFrom(QLocalSocket *socket);
    void finish(QLocalSocket *socket);
    void deliver(const QStringList &files);

    QString m_path;
    QLocalServer *m_server = nullptr;
    QHash<QLocalSocket *, QByteArray> m_buffers;
    std::function<void(TMainInstance *, const QStringList &)> m_onOpenFiles;
    QList<QStringList> m_waiting;
};

} // namespace qd
