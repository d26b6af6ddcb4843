#pragma once

// What the worksheet window's tests share: scripted answers to the window's questions, a
// recording of its message boxes, and waiting for a run while the GUI thread turns.

#include "common/ScriptedScreensTest.h"
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

class WorksheetTest : public ScriptedScreensTest {
protected:
    void TearDown() override
    {
        for (const QPointer<TSQLForm> &form : forms)
            if (form)
                delete form.data();
        QApplication::processEvents();
        ScriptedScreensTest::TearDown();
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

    static bool waitForRun(TSQLForm *form, int timeoutMs = 20000)
    {
        return waitFor([form] { return !form->Running(); }, timeoutMs);
    }

    QList<QPointer<TSQLForm>> forms;
};

} // namespace qd::test
