// The single-instance channel between real processes: the built program started beside the
// test's own window, with its own temporary program and runtime directories.
#include "shell/MainWindowFixture.h"

#include "common/ProgramBinary.h"

#include "platform/Environment.h"
#include "platform/MainInstance.h"

#include <QLocalSocket>
#include <QProcess>

using namespace qd;
using namespace qd::test;

namespace {

class RuntimeEnvironment : public Environment {
public:
    explicit RuntimeEnvironment(const QString &runtime) { m_runtime = runtime; }
    QString value(const QString &name) const override
    {
        return name == u"XDG_RUNTIME_DIR" ? m_runtime : QString();
    }
    bool contains(const QString &name) const override { return name == u"XDG_RUNTIME_DIR"; }
    void setValue(const QString &, const QString &) override {}
    void remove(const QString &) override {}

private:
    QString m_runtime;
};

class SingleInstance : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_TRUE(runtime.isValid() && work.isValid() && childHome.isValid());
        windowFactories().WizardEditor = [this](QWidget *, const QString &file) {
            requests.append({ QStringLiteral("Wizard"), {}, file });
            return new QWidget;
        };
    }
    void TearDown() override
    {
        for (QProcess *process : processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
            delete process;
        }
        instance.reset();
        MainWindowTest::TearDown();
    }

    // The program, started in the work directory with the shared runtime directory.
    QProcess *startProgram(const QStringList &arguments)
    {
        auto *process = new QProcess;
        processes.append(process);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QD_HOME"), childHome.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(work.path());
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(programBinaryPath(), arguments);
        EXPECT_TRUE(process->waitForStarted(10000)) << process->errorString().toStdString();
        return process;
    }
    static bool finishes(QProcess *process, int timeoutMs = 30000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (process->state() != QProcess::NotRunning) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(20);
        }
        return true;
    }
    // The test's window as the running copy.
    void runWindowAsFirstCopy()
    {
        start();
        main().show();
        instance = std::make_unique<TMainInstance>(environment);
        ASSERT_FALSE(instance->CheckInstance({}, work.path()));
        instance->SetOnOpenFiles(
            [this](TMainInstance *, const QStringList &files) { main().OpenFilesFromOutside(files); });
    }
    QString serverPath() const { return TMainInstance::serverPath(environment); }
    // Whether a running copy listens on the socket (a plain connection, which a stale socket
    // file refuses).
    bool answered()
    {
        QLocalSocket socket;
        socket.connectToServer(serverPath());
        const bool connected = socket.waitForConnected(2000);
        socket.abort();
        return connected;
    }

    QTemporaryDir runtime;
    QTemporaryDir work;
    QTemporaryDir childHome;
    RuntimeEnvironment environment { runtime.path() };
    std::unique_ptr<TMainInstance> instance;
    QList<QProcess *> processes;
};

} // namespace

TEST_F(SingleInstance, ALaterStartHandsOverTwoRelativeFilesAndEnds)
{
    runWindowAsFirstCopy();
    QProcess *second = startProgram({ QStringLiteral("first.sql"), QStringLiteral("sub/second.qdz") });
    ASSERT_TRUE(finishes(second));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    QTRY_COMPARE(requests.size(), 2);
    EXPECT_EQ(requests[0].kind, QStringLiteral("SQL"));
    EXPECT_EQ(requests[0].file, QDir(work.path()).filePath(QStringLiteral("first.sql")));
    EXPECT_EQ(requests[1].kind, QStringLiteral("Wizard"));
    EXPECT_EQ(requests[1].file, QDir(work.path()).filePath(QStringLiteral("sub/second.qdz")));
    // It ended before loading or writing anything of its own.
    EXPECT_TRUE(QDir(childHome.path()).isEmpty());
}

TEST_F(SingleInstance, ALaterStartWithoutArgumentsOpensNothing)
{
    runWindowAsFirstCopy();
    QProcess *second = startProgram({});
    ASSERT_TRUE(finishes(second));
    EXPECT_EQ(second->exitCode(), 0);
    QTest::qWait(300);
    EXPECT_TRUE(requests.isEmpty());
    EXPECT_TRUE(children().isEmpty());
}

TEST_F(SingleInstance, ASocketLeftByAKilledCopyDoesNotBlockTheNextStart)
{
    QProcess *first = startProgram({});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(serverPath()), 30000);
    first->kill();
    ASSERT_TRUE(finishes(first));
    ASSERT_TRUE(QFileInfo::exists(serverPath())) << "the killed copy left no socket behind";

    QProcess *next = startProgram({});
    // It runs on as the first copy, and answers on the socket.
    QTRY_VERIFY_WITH_TIMEOUT(answered(), 30000);
    EXPECT_EQ(next->state(), QProcess::Running);
}

TEST_F(SingleInstance, TwoCopiesStartedTogetherGiveOneServer)
{
    QProcess *one = startProgram({});
    QProcess *two = startProgram({});
    QDeadlineTimer deadline(30000);
    while (one->state() != QProcess::NotRunning && two->state() != QProcess::NotRunning
        && !deadline.hasExpired())
        QTest::qWait(20);
    ASSERT_FALSE(deadline.hasExpired()) << "neither copy handed over";
    QProcess *ended = one->state() == QProcess::NotRunning ? one : two;
    QProcess *running = ended == one ? two : one;
    EXPECT_EQ(ended->exitCode(), 0);
    QTest::qWait(500);
    EXPECT_EQ(running->state(), QProcess::Running);
    EXPECT_TRUE(answered());
}

TEST_F(SingleInstance, GarbageOnTheSocketIsIgnored)
{
    QProcess *first = startProgram({});
    QTRY_VERIFY_WITH_TIMEOUT(answered(), 30000);
    for (const QByteArray &garbage : { QByteArrayLiteral("\x00\x01\x02 not a hand-over"),
             QByteArray(2 * TMainInstance::MaxMessageSize, 'x') }) {
        QLocalSocket socket;
        socket.connectToServer(serverPath());
        ASSERT_TRUE(socket.waitForConnected(5000));
        socket.write(garbage);
        socket.waitForBytesWritten(2000);
        socket.abort();
    }
    QTest::qWait(300);
    EXPECT_EQ(first->state(), QProcess::Running);
    // The channel still works: a later start hands over and ends.
    QProcess *second = startProgram({ QStringLiteral("x.sql") });
    ASSERT_TRUE(finishes(second));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
}
