// The single-instance channel within one process: the wire format, a socket left behind,
// and what the running copy does with what arrives.
#include "common/MapEnvironment.h"
#include "platform/Environment.h"
#include "platform/MainInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace qd;

namespace {

// The runtime directory given and a display, nothing else.
class RuntimeEnvironment : public test::MapEnvironment {
public:
    explicit RuntimeEnvironment(const QString &runtime)
        : MapEnvironment({ { QStringLiteral("XDG_RUNTIME_DIR"), runtime },
            { QStringLiteral("DISPLAY"), QStringLiteral(":7") } })
    {
    }
};

class MainInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(runtime.isValid()); }

    // A running copy that records what reaches it.
    std::unique_ptr<TMainInstance> startFirst()
    {
        auto first = std::make_unique<TMainInstance>(environment);
        EXPECT_FALSE(first->CheckInstance({}, QDir::tempPath()));
        EXPECT_TRUE(first->IsListening());
        first->SetOnOpenFiles(
            [this](TMainInstance *, const QStringList &files) { received.append(files); });
        return first;
    }

    // Sends raw bytes to the running copy's socket and closes the connection.
    void sendRaw(const QString &path, const QByteArray &data)
    {
        QLocalSocket socket;
        socket.connectToServer(path);
        ASSERT_TRUE(socket.waitForConnected(2000));
        socket.write(data);
        socket.waitForBytesWritten(2000);
        socket.disconnectFromServer();
    }

    QTemporaryDir runtime;
    RuntimeEnvironment environment { runtime.path() };
    QList<QStringList> received;
};

} // namespace

TEST_F(MainInstanceTest, ServerIsNamedByUserAndDisplayInTheRuntimeDirectory)
{
    const QString path = TMainInstance::serverPath(environment);
    EXPECT_EQ(QFileInfo(path).absolutePath(), runtime.path());
    EXPECT_TRUE(QFileInfo(path).fileName().contains(QString::number(::getuid())));
    EXPECT_TRUE(QFileInfo(path).fileName().endsWith(QStringLiteral("_7")));
    RuntimeEnvironment other(runtime.path());
    other.setValue(QStringLiteral("DISPLAY"), QStringLiteral(":8/../x"));
    EXPECT_NE(TMainInstance::serverPath(other), path);
    EXPECT_EQ(QFileInfo(TMainInstance::serverPath(other)).absolutePath(), runtime.path());
}

TEST(MainInstanceFormat, ArgumentsBecomeAbsoluteAgainstTheWorkingDirectory)
{
    EXPECT_EQ(TMainInstance::AbsoluteFileNames({ QStringLiteral("a.sql"),
                  QStringLiteral("../b c.qdz"), QStringLiteral("/x/./y.tem"), QString() },
                  QStringLiteral("/home/u/work")),
        (QStringList { QStringLiteral("/home/u/work/a.sql"), QStringLiteral("/home/u/b c.qdz"),
            QStringLiteral("/x/y.tem") }));
}

TEST(MainInstanceFormat, WellFormedMessagesDecodeAndOthersAreRefused)
{
    const QStringList names { QStringLiteral("/tmp/a b.sql"), QStringLiteral("/tmp/ü.qdz") };
    EXPECT_EQ(TMainInstance::DecodeHandOver(TMainInstance::EncodeHandOver(names)), names);
    EXPECT_EQ(TMainInstance::DecodeHandOver(TMainInstance::EncodeHandOver({})), QStringList());

    const QByteArray good = TMainInstance::EncodeHandOver({ QStringLiteral("/tmp/a.sql") });
    const QByteArray header = TMainInstance::EncodeHandOver({});
    const struct {
        const char *what;
        QByteArray data;
    } refused[] = {
        { "empty", QByteArray() },
        { "wrong header", QByteArrayLiteral("hello\n/tmp/a.sql") + '\0' },
        { "cut off", good.left(good.size() - 1) },
        { "relative name", header + QByteArrayLiteral("a.sql") + '\0' },
        { "empty name", header + '\0' },
        { "not UTF-8", header + QByteArrayLiteral("/tmp/\xff\xfe.sql") + '\0' },
        { "name too long", header + '/' + QByteArray(TMainInstance::MaxFileNameLength, 'x') + '\0' },
        { "too large", header + QByteArray(TMainInstance::MaxMessageSize, '/') },
    };
    for (const auto &c : refused)
        EXPECT_FALSE(TMainInstance::DecodeHandOver(c.data).has_value()) << c.what;
}

TEST_F(MainInstanceTest, SecondCheckHandsOverAndTheFirstReceivesEachFile)
{
    auto first = startFirst();
    TMainInstance second(environment);
    EXPECT_TRUE(second.CheckInstance(
        { QStringLiteral("one.sql"), QStringLiteral("two words.tem") }, QStringLiteral("/work")));
    EXPECT_FALSE(second.IsListening());
    QTRY_COMPARE(received.size(), 1);
    EXPECT_EQ(received[0],
        (QStringList { QStringLiteral("/work/one.sql"), QStringLiteral("/work/two words.tem") }));

    // Without arguments: a hand-over with nothing to open (the first copy comes to the front).
    TMainInstance third(environment);
    EXPECT_TRUE(third.CheckInstance({}, QStringLiteral("/work")));
    QTRY_COMPARE(received.size(), 2);
    EXPECT_TRUE(received[1].isEmpty());
}

TEST_F(MainInstanceTest, HandOversBeforeTheHandlerWaitForIt)
{
    TMainInstance first(environment);
    ASSERT_FALSE(first.CheckInstance({}, QDir::tempPath()));
    TMainInstance second(environment);
    ASSERT_TRUE(second.CheckInstance({ QStringLiteral("/a.sql") }, QDir::tempPath()));
    QTest::qWait(200);
    first.SetOnOpenFiles([this](TMainInstance *, const QStringList &files) { received.append(files); });
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received[0], QStringList { QStringLiteral("/a.sql") });
}

TEST_F(MainInstanceTest, GarbageOnTheSocketIsIgnoredAndTheChannelGoesOn)
{
    auto first = startFirst();
    const QString path = first->ServerPath();
    sendRaw(path, QByteArrayLiteral("GET / HTTP/1.0\r\n\r\n"));
    sendRaw(path, TMainInstance::EncodeHandOver({}) + QByteArrayLiteral("relative.sql") + '\0');
    sendRaw(path, QByteArray(TMainInstance::MaxMessageSize + 100, 'x'));
    QTest::qWait(300);
    EXPECT_TRUE(received.isEmpty());

    sendRaw(path, TMainInstance::EncodeHandOver({ QStringLiteral("/ok.sql") }));
    QTRY_COMPARE(received.size(), 1);
    EXPECT_EQ(received[0], QStringList { QStringLiteral("/ok.sql") });
}

TEST_F(MainInstanceTest, ASenderThatNeverFinishesIsCutOff)
{
    auto first = startFirst();
    QLocalSocket idle;
    idle.connectToServer(first->ServerPath());
    ASSERT_TRUE(idle.waitForConnected(2000));
    idle.write(TMainInstance::EncodeHandOver({ QStringLiteral("/late.sql") }));
    idle.flush();
    QTRY_COMPARE_WITH_TIMEOUT(idle.state(), QLocalSocket::UnconnectedState,
        TMainInstance::ReceiveTimeoutMs + 3000);
    EXPECT_TRUE(received.isEmpty());
}

TEST_F(MainInstanceTest, ASocketLeftByAnEndedCopyDoesNotBlockTheNextStart)
{
    // A bound socket whose owner is gone: the file stays, and no one answers on it.
    const QString path = TMainInstance::serverPath(environment);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    ASSERT_LT(size_t(native.size()), sizeof address.sun_path);
    memcpy(address.sun_path, native.constData(), native.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(path));

    auto first = startFirst();
    TMainInstance second(environment);
    EXPECT_TRUE(second.CheckInstance({ QStringLiteral("/x.sql") }, QDir::tempPath()));
    QTRY_COMPARE(received.size(), 1);
}

TEST_F(MainInstanceTest, TheSocketGoesWithTheRunningCopy)
{
    QString path;
    {
        auto first = startFirst();
        path = first->ServerPath();
        EXPECT_TRUE(QFileInfo::exists(path));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    TMainInstance next(environment);
    EXPECT_FALSE(next.CheckInstance({}, QDir::tempPath()));
    EXPECT_TRUE(next.IsListening());
}

TEST_F(MainInstanceTest, AShareableRuntimeDirectoryIsNotTrusted)
{
    const QString shared = QDir(runtime.path()).filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_TRUE(QFile::setPermissions(shared, QFile::permissions(shared) | QFileDevice::WriteOther));
    RuntimeEnvironment open(shared);
    TMainInstance instance(open);
    EXPECT_FALSE(instance.CheckInstance({ QStringLiteral("/a.sql") }, QDir::tempPath()));
    EXPECT_FALSE(instance.IsListening());

    // A missing one is made private.
    RuntimeEnvironment fresh(QDir(runtime.path()).filePath(QStringLiteral("fresh")));
    TMainInstance first(fresh);
    EXPECT_FALSE(first.CheckInstance({}, QDir::tempPath()));
    EXPECT_TRUE(first.IsListening());
    EXPECT_EQ(QFileInfo(QDir(runtime.path()).filePath(QStringLiteral("fresh"))).permissions()
            & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther),
        QFileDevice::Permissions());
}
