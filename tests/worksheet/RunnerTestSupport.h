#pragma once

// What the script runner's tests share: a host that records every call the runner makes, and a
// fixture that runs scripts on a session logged on to the stand-in's DEMO database and waits
// for the run to end while the event loop serves the runner's calls.
//
// Text output is compared with the files in golden/. After a deliberate change of the output,
// regenerate them with
//   QD_UPDATE_GOLDEN=1 build/tests/test_worksheet --gtest_filter='ScriptRun*'
// and review the difference before committing it.

#include "classlib/ThreadHandOver.h"
#include "common/StandinSession.h"
#include "oracle/QStringPrinter.h" // tests/oracle
#include "oracle_data/OracleDataSet.h"
#include "worksheet/QueryThread.h"
#include "worksheet/ScriptHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qd::test {

class RecordingHost : public TScriptHost {
public:
    TScriptRunState LoadRunState() override
    {
        ++loads;
        return state;
    }
    void SaveRunState(const TScriptRunState &saved) override
    {
        ++saves;
        state = saved;
    }
    void BeginRunUI() override { calls << QStringLiteral("BeginRunUI"); }
    void EndRunUI(const TScriptErrorList &list) override
    {
        calls << QStringLiteral("EndRunUI");
        errors = list;
    }
    void FinishResult(TScriptResultPage page) override
    {
        calls << (page == srpText ? QStringLiteral("FinishText") : QStringLiteral("FinishGrid"));
    }
    void ShowResultPage(TScriptResultPage page) override
    {
        calls << (page == srpText ? QStringLiteral("ShowText") : QStringLiteral("ShowGrid"));
    }
    void ShowRunError(const QString &message) override
    {
        calls << QStringLiteral("ShowRunError");
        runError = message;
    }
    void ShowErrorPosition(int line, int column) override
    {
        calls << QStringLiteral("ShowErrorPosition");
        caretLine = line;
        caretColumn = column;
    }
    void ShowRunStatus(const QString &text) override { statuses << text; }
    void ShowElapsedTime(const QString &text) override
    {
        calls << QStringLiteral("ShowElapsedTime");
        elapsed = text;
    }
    void ClearTextOutput() override
    {
        calls << QStringLiteral("ClearTextOutput");
        output.clear();
    }
    void AppendTextOutput(const QStringList &lines, int maxLines) override
    {
        ++flushes;
        flushSizes << int(lines.size());
        output += lines;
        while (output.size() > maxLines)
            output.removeFirst();
    }
    void AttachGridDataSet() override { ++attaches; }
    bool PromptForValue(const TScriptPrompt &prompt, QString &value) override
    {
        prompts << prompt;
        if (!answers.isEmpty()) {
            value = answers.takeFirst();
            return true;
        }
        return false;
    }
    bool ConnectSession(const TScriptLogon &logon, bool askFirst) override
    {
        logons << logon;
        askedFirst << askFirst;
        return connect ? connect(logon, askFirst) : false;
    }
    void SyncNavigatorLogon() override { calls << QStringLiteral("SyncNavigatorLogon"); }
    void QueryThreadFinished() override
    {
        calls << QStringLiteral("QueryThreadFinished");
        finished = true;
    }

    TScriptRunState state;
    int loads = 0;
    int saves = 0;
    QStringList calls;
    QStringList statuses;
    QStringList output;
    int flushes = 0;
    QList<int> flushSizes;
    TScriptErrorList errors;
    QString runError;
    int caretLine = -1;
    int caretColumn = -1;
    QString elapsed;
    int attaches = 0;
    QList<TScriptPrompt> prompts;
    QStringList answers;
    QList<TScriptLogon> logons;
    QList<bool> askedFirst;
    std::function<bool(const TScriptLogon &, bool)> connect;
    bool finished = false;

    QStringList errorTexts() const
    {
        QStringList texts;
        for (const TScriptError &e : errors)
            texts << e.Text;
        return texts;
    }
};

class RunnerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        session = LogOnDemo();
        ASSERT_TRUE(session && session->Connected());
        dataSet = std::make_unique<TOracleDataSet>();
        dataSet->SetSession(session.get());
        dataSet->SetReadOnly(true);
        dataSet->SetQueryAllRecords(false);
        settings = TScriptRunSettings();
    }

    void TearDown() override
    {
        if (runner) {
            runner->DetachHost();
            runner->Cancel();
            runner->wait();
            ThreadJoined(runner.data());
        }
        dataSet.reset();
        LogOffQuietly(session);
    }

    // Starts a run of text without waiting.
    void start(const QString &text, quint8 mode = 0, int caretLine = 0, bool transaction = false)
    {
        host.finished = false;
        TQueryThreadParams params;
        params.Lines = text.split(u'\n');
        params.Session = session.get();
        params.DataSet = withGrid ? dataSet.get() : nullptr;
        params.RunMode = mode;
        params.CaretLine = caretLine;
        params.IsTransactionCommand = transaction;
        params.Settings = settings;
        runner = TQueryThread::StartQueryThread(host, params);
    }

    // Waits (serving the runner's calls) until the run has ended; false after timeoutMs.
    bool waitForEnd(int timeoutMs = 60000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!host.finished && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // Let the runner's deferred deletion happen.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return host.finished;
    }

    // Runs text to its end; the text output.
    QStringList run(const QString &text, quint8 mode = 0, int caretLine = 0)
    {
        start(text, mode, caretLine);
        EXPECT_TRUE(waitForEnd()) << "the run did not end";
        return host.output;
    }

    // Compares text output (each line followed by "|" so padding shows) with golden/<name>.
    static void expectGolden(const QString &name, const QStringList &lines)
    {
        QString actual;
        for (const QString &line : lines)
            actual += line + QStringLiteral("|\n");
        const QString path
            = QDir(testsSourceDirectory() + QStringLiteral("/worksheet/golden")).filePath(name);
        if (qEnvironmentVariableIsSet("QD_UPDATE_GOLDEN")) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QSaveFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(actual.toUtf8());
            ASSERT_TRUE(out.commit());
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_EQ(actual, QString::fromUtf8(file.readAll())) << name.toStdString();
    }

    std::unique_ptr<TOracleSession> session;
    std::unique_ptr<TOracleDataSet> dataSet;
    TScriptRunSettings settings;
    bool withGrid = true;
    RecordingHost host;
    QPointer<TQueryThread> runner;
};

} // namespace qd::test
