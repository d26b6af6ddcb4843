#pragma once

// A test fixture for windows that ask and tell: their questions are answered from a script
// (Cancel once the script runs out) and recorded with their messages and error boxes, and a
// test can wait for a worker while the GUI thread turns.

#include "oracle/OracleClientLibrary.h"
#include "oracle/ScreenServices.h"
#include "common/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QThread>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace qd::test {

class ScriptedScreensTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetOCIDLL(standinLibraryPath());
        ScreenServices hooks;
        hooks.confirm = [this](const QString &message, const QString &) {
            questions.append(message);
            if (answers.empty())
                return int(mrCancel);
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        };
        hooks.message = [this](TMessageKind, const QString &message) { messages.append(message); };
        hooks.showException = [this](std::exception_ptr error) {
            messages.append(ExceptionMessage(error));
        };
        InstallScreenServices(hooks);
    }

    void TearDown() override { ResetScreenServices(); }

    // Turns the event loop until done() or the timeout; false on timeout.
    static bool waitFor(const std::function<bool()> &done, int timeoutMs = 20000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
        return true;
    }

    std::deque<int> answers;
    QStringList questions;
    QStringList messages;
};

} // namespace qd::test
