#pragma once

// Worksheet fixtures with the real browser pane installed, as the program installs it, and the
// questions their tests ask of the pane.

#include "browsers/FrameSQLBrowser.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "worksheet/SQLBrowserFrame.h"
#include "worksheet/SQLForm.h"

namespace qd::test {

template <class WorksheetFixture>
class WithBrowserPane : public WorksheetFixture {
protected:
    void SetUp() override
    {
        WorksheetFixture::SetUp();
        InstallSQLBrowserFrame();
    }

    void TearDown() override
    {
        WorksheetFixture::TearDown();
        SetSQLBrowserFrameFactory({});
    }

    static TFrameSQLBrowser *frameOf(TSQLForm *form)
    {
        return dynamic_cast<TFrameSQLBrowser *>(form->FrameSQLBrowser1());
    }

    // The user the pane's session is logged on as, asked of the server.
    static QString serverUser(TOracleSession &session)
    {
        TOracleQuery query;
        query.SetSession(&session);
        query.SQL().SetText(QStringLiteral("select user from dual"));
        query.Execute();
        return query.FieldAsString(0);
    }
};

} // namespace qd::test
