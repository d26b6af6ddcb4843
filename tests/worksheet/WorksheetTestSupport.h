#pragma once

// What the worksheet window's tests share: scripted answers to the window's questions, a
// recording of its message boxes, and waiting for a run while the GUI thread turns.

#include "common/StandinSession.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/ScreenServices.h"
#include "worksheet/SQLForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace qd::test {

class WorksheetTest : public ::testing::Test {
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

    void TearDown() override
    {
        for (const QPointer<TSQLForm> &form : forms)
            if (form)
                delete form.data();
        QApplication::processEvents();
        ResetScreenServices();
    }

    // A shown worksheet, logged on to DEMO unless database is empty.
    TSQLForm *open(const QString &database = QStringLiteral("DEMO"),
        const QString &text = QString(), const QString &user = QStringLiteral("DEMO"),
        const QString &password = QStringLiteral("DEMO"))
    {
        TSQLForm *form = TSQLForm::CreateWorksheet(
            nullptr, TLogonValues { database, user, password, QString() }, text, false);
        forms.append(form);
        form->resize(800, 600);
        form->show();
        QApplication::processEvents();
        return form;
    }

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

    static bool waitForRun(TSQLForm *form, int timeoutMs = 20000)
    {
        return waitFor([form] { return !form->Running(); }, timeoutMs);
    }

    std::deque<int> answers;
    QStringList questions;
    QStringList messages;
    QList<QPointer<TSQLForm>> forms;
};

} // namespace qd::test
