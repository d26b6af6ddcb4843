#include "platform/MainInstance.h"

#include "platform/Environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStringDecoder>
#include <QTimer>

#include <unistd.h>

namespace qd {

namespace {

const QByteArray Header = QByteArrayLiteral("QuarloDesk-Open/1\n");
constexpr int ConnectTimeoutMs = 2000;
constexpr int WriteTimeoutMs = 5000;

QString safeNamePart(const QString &text)
{
    QString result;
    for (const QChar c : text) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
            || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_';
        result.append(plain ? c : QChar(u'_'));
    }
    return result.left(40);
}

} // namespace

TMainInstance::TMainInstance(QObject *parent)
    : TMainInstance(Environment::process(), parent)
{
}

TMainInstance::TMainInstance(const Environment &environment, QObject *parent)
    : QObject(parent)
    , m_path(serverPath(environment))
{
}

TMainInstance::~TMainInstance()
{
    // The socket file goes with the server, so the next start finds no stale one.
    if (m_server)
        m_server->close();
}

QString TMainInstance::serverPath(const Environment &environment)
{
    QString directory = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    // Without a runtime directory, a private one of the user's own in the shared temporary
    // directory, so no one else can put a socket where this program looks for its own.
    if (directory.isEmpty())
        directory = QDir(QDir::tempPath()).filePath(QStringLiteral("quarlodesk-") + QString::number(::getuid()));
    QString display = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty())
        display = environment.value(QStringLiteral("DISPLAY"));
    if (display.isEmpty())
        display = QStringLiteral("none");
    const QString name = QStringLiteral("quarlodesk-%1-%2")
                             .arg(QString::number(::getuid()), safeNamePart(display));
    return QDir(directory).filePath(name);
}

bool TMainInstance::IsListening() const
{
    return m_server && m_server->isListening();
}

QStringList TMainInstance::AbsoluteFileNames(
    const QStringList &files, const QString &workingDirectory)
{
    QStringList result;
    const QDir base(workingDirectory);
    for (const QString &file : files) {
        if (file.isEmpty())
            continue;
        result.append(QDir::cleanPath(base.absoluteFilePath(file)));
    }
    return result;
}

QByteArray TMainInstance::EncodeHandOver(const QStringList &files)
{
    QByteArray data = Header;
    for (const QString &file : files) {
        data.append(file.toUtf8());
        data.append('\0');
    }
    return data;
}

std::optional<QStringList> TMainInstance::DecodeHandOver(const QByteArray &data)
{
    if (data.size() > MaxMessageSize || !data.startsWith(Header))
        return std::nullopt;
    QStringList files;
    qsizetype start = Header.size();
    while (start < data.size()) {
        const qsizetype end = data.indexOf('\0', start);
        if (end < 0)
            return std::nullopt; // a name without its terminator: cut off
        const QByteArray bytes = data.mid(start, end - start);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString name = decoder.decode(bytes);
        if (decoder.hasError() || name.isEmpty() || name.size() > MaxFileNameLength
            || !name.startsWith(u'/'))
            return std::nullopt;
        files.append(name);
        start = end + 1;
    }
    return files;
}

bool TMainInstance::CheckInstance(const QStringList &files, const QString &workingDirectory)
{
    if (IsListening())
        return false;
    const QString directory = QFileInfo(m_path).absolutePath();
    if (!QFileInfo::exists(directory) && QDir().mkpath(directory))
        QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QFileInfo place(directory);
    if (!place.isDir() || place.ownerId() != ::getuid()
        || (place.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther))) {
        qWarning("Quarlo Desk: %s is not a private directory of this user; running without the "
                 "single-instance channel",
            qPrintable(directory));
        return false;
    }
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(LockTimeoutMs)) {
        qWarning("Quarlo Desk: cannot lock %s; running without the single-instance channel",
            qPrintable(lock.fileName()));
        return false;
    }
    if (handOver(AbsoluteFileNames(files, workingDirectory)))
        return true;
    listen();
    return false;
}

bool TMainInstance::handOver(const QStringList &files)
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return false; // nobody listens: no socket, or one left by a copy that ended
    socket.write(EncodeHandOver(files));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(WriteTimeoutMs))
            break;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(WriteTimeoutMs);
    // The other copy got what could be written; this start ends either way, as a second
    // window would not be what the user asked for.
    return true;
}

bool TMainInstance::listen()
{
    // A socket file that no one answers on is what a killed copy leaves behind.
    QLocalServer::removeServer(m_path);
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    server->setMaxPendingConnections(MaxConnections);
    if (!server->listen(m_path)) {
        qWarning("Quarlo Desk: cannot listen on %s: %s", qPrintable(m_path),
            qPrintable(server->errorString()));
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, [this] { acceptConnections(); });
    return true;
}

void TMainInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_buffers.size() >= MaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_buffers.insert(socket, QByteArray());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { finish(socket); });
        // A sender that never finishes is cut off, so it cannot hold a slot for ever.
        QTimer::singleShot(ReceiveTimeoutMs, socket, [this, socket] {
            m_buffers.remove(socket);
            socket->abort();
            socket->deleteLater();
        });
        readFrom(socket);
        if (socket->state() == QLocalSocket::UnconnectedState)
            finish(socket);
    }
}

void TMainInstance::readFrom(QLocalSocket *socket)
{
    auto it = m_buffers.find(socket);
    if (it == m_buffers.end())
        return;
    it->append(socket->read(MaxMessageSize + 1 - it->size()));
    if (it->size() > MaxMessageSize) {
        m_buffers.erase(it);
        socket->abort();
        socket->deleteLater();
    }
}

void TMainInstance::finish(QLocalSocket *socket)
{
    readFrom(socket);
    auto it = m_buffers.find(socket);
    if (it == m_buffers.end())
        return;
    const QByteArray data = *it;
    m_buffers.erase(it);
    socket->deleteLater();
    if (const std::optional<QStringList> files = DecodeHandOver(data))
        deliver(*files);
}

void TMainInstance::SetOnOpenFiles(
    std::function<void(TMainInstance *sender, const QStringList &files)> handler)
{
    m_onOpenFiles = std::move(handler);
    if (!m_onOpenFiles)
        return;
    const QList<QStringList> waiting = std::exchange(m_waiting, {});
    for (const QStringList &files : waiting)
        m_onOpenFiles(this, files);
}

void TMainInstance::deliver(const QStringList &files)
{
    if (!m_onOpenFiles) {
        if (m_waiting.size() < MaxConnections * 4)
            m_waiting.append(files);
        return;
    }
    m_onOpenFiles(this, files);
}

} // namespace qd
