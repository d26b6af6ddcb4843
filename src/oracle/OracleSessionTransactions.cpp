// TOracleSession: transactions, breaking a call, the password change and the internal
// statements of ExecSQL.
#include "oracle/OracleSession.h"

#include "classlib/Exception.h"
#include "oracle/OracleCall.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleError.h"
#include "oracle/OracleMonitor.h"
#include "oracle/OraclePackage.h"
#include "oracle/OracleSessionSupport.h"
#include "oracle/OracleSqlText.h"
#include "oracle/OracleUnit.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <optional>

namespace qd {

using namespace SessionSupport;

// ---- Transactions -------------------------------------------------------------------------------

void TOracleSession::Commit()
{
    if (!m_connected)
        return;
    MonitorBegin(QStringLiteral("Session.Commit"));
    try {
        DoCommit();
    } catch (const std::exception &e) {
        MonitorEnd(messageOf(e));
        throw;
    }
    MonitorEnd();
}

void TOracleSession::DoCommit()
{
    if (m_mtsEnlisted)
        throw Exception(QStringLiteral("Cannot commit an MTS Controlled Transaction"));
    Enter(true);
    if (m_oci8Mode)
        QD_OCI(this, entryPoints(), OCITransCommit, m_svc, m_error, OCI_DEFAULT);
    else
        QD_OCI(this, entryPoints(), ocom, LogonDataArea());
    Leave(true);
}

void TOracleSession::Rollback()
{
    if (!m_connected)
        return;
    MonitorBegin(QStringLiteral("Session.Rollback"));
    try {
        DoRollback();
    } catch (const std::exception &e) {
        MonitorEnd(messageOf(e));
        throw;
    }
    MonitorEnd();
}

void TOracleSession::DoRollback()
{
    if (!m_connected)
        return;
    if (m_mtsEnlisted)
        throw Exception(QStringLiteral("Cannot rollback an MTS Controlled Transaction"));
    Enter(true);
    if (m_oci8Mode)
        QD_OCI(this, entryPoints(), OCITransRollback, m_svc, m_error, OCI_DEFAULT);
    else
        QD_OCI(this, entryPoints(), orol, LogonDataArea());
    Leave(true);
}

void TOracleSession::Savepoint(const QString &name)
{
    ExecSQL(QStringLiteral("savepoint ") + name, false);
}

void TOracleSession::RollbackToSavepoint(const QString &name)
{
    ExecSQL(QStringLiteral("rollback to savepoint ") + name, false);
}

void TOracleSession::SetAutoCommit(bool value)
{
    if (value == m_autoCommit)
        return;
    m_autoCommit = value;
    // The handle-based mode commits per execute (the queries' execute mode).
    if (m_connected && !m_oci8Mode) {
        Enter(true);
        Lda_Def *lda = LogonDataArea();
        if (value)
            QD_OCI(this, entryPoints(), ocon, lda);
        else
            QD_OCI(this, entryPoints(), ocof, lda);
        Leave(true);
    }
}

// ---- Other operations ---------------------------------------------------------------------------

void TOracleSession::BreakExecution()
{
    // No call lock: the call to interrupt holds it on another thread.
    if (!m_connected)
        return;
    if (m_oci8Mode) {
        // The second error handle: the first belongs to the call that is being interrupted.
        // Checked here, not through the session's check: a break must not take the call lock's
        // state or the status of the interrupted call.
        const sword status = entryPoints().OCIBreak(m_svc, m_error2);
        if (status == OCI_ERROR)
            RaiseOracleError(entryPoints(), this, m_error2, status, this, "OCIBreak");
        if (status == OCI_INVALID_HANDLE)
            throw Exception(QStringLiteral("TOracleSession: Invalid handle"));
    } else {
        Lda_Def *lda = LogonDataArea();
        if (entryPoints().obreak(lda) != 0 && lda->rc != 0)
            RaiseOracleError(entryPoints(), this, nullptr, lda->rc, this, "obreak");
    }
}

namespace {

// The older interface takes the user and the new password inside a statement; both go in
// double quotes so that blanks, quotes or further clauses cannot change what it does.
QString quotedForStatement(const QString &value, bool foldCase)
{
    QString bare = value;
    const bool alreadyQuoted = bare.size() >= 2 && bare.startsWith(u'"') && bare.endsWith(u'"');
    if (alreadyQuoted)
        bare = bare.mid(1, bare.size() - 2);
    else if (foldCase)
        bare = bare.toUpper();
    if (bare.isEmpty() || bare.contains(u'"') || bare.contains(QChar(0)))
        throw Exception(QStringLiteral("Invalid user name or password for a password change"));
    return u'"' + bare + u'"';
}

} // namespace

QString TOracleSession::PasswordChangeStatement(const QString &user, const QString &newPassword)
{
    return QStringLiteral("alter user ") + quotedForStatement(user, true)
        + QStringLiteral(" identified by ") + quotedForStatement(newPassword, false);
}

void TOracleSession::ChangePassword(const QString &newPassword)
{
    {
        ScreenCursorSaver busy(m_cursor);
        m_library->InitClientLibrary();
    }
    if (!m_connected && !m_serverAttached) {
        // Without a logon the mode is that which the next logon would choose.
        m_oci8Mode = !m_preferences->UseOCI7() && capabilities().OCI8Available && !m_odbcBridge
            && !m_externalLDA;
    }
    if (!m_oci8Mode) {
        ExecSQL(PasswordChangeStatement(m_logonUsername, newPassword), true);
    } else {
        const OracleEntryPoints &oci = entryPoints();
        // A connected session (also one on a shared connection) changes it over its own
        // connection; otherwise the server is attached without a session.
        if (!m_connected && !m_serverAttached) {
            GetLogonString();
            AttachServer();
        }
        // Without an open session the library must authenticate the user itself (an
        // expired password cannot log on first); it then opens a session, which is ended
        // again so that the next LogOn starts from a clean connection.
        const bool withoutSession = !m_connected;
        QByteArray user = m_logonUsername.toUtf8();
        QByteArray oldPassword = m_logonPassword.toUtf8();
        QByteArray password = newPassword.toUtf8();
        QD_OCI(this, oci, OCIPasswordChange, m_svc, m_error, oraText(user),
            static_cast<ub4>(user.size()), oraText(oldPassword),
            static_cast<ub4>(oldPassword.size()), oraText(password),
            static_cast<ub4>(password.size()), withoutSession ? OCI_AUTH : OCI_DEFAULT);
        if (withoutSession)
            oci.OCISessionEnd(m_svc, m_error2, m_session, OCI_DEFAULT);
    }
    m_logonPassword = newPassword;
}

void TOracleSession::ExecSQL(const QString &text, bool showBusy)
{
    ScreenCursorSaver busy(showBusy ? m_cursor : crDefault);
    m_internalRow.clear();
    InternalResult result = runInternal(text, 1, 1);
    if (!result.rows.empty())
        m_internalRow = result.rows.front();
}

TOracleSession::InternalResult TOracleSession::runInternal(
    const QString &text, int columns, int maxRows)
{
    if (!m_connected)
        throw Exception(QStringLiteral("Not logged on"));
    return m_oci8Mode ? runInternalOCI8(text, columns, maxRows)
                      : runInternalOCI7(text, columns, maxRows);
}

TOracleSession::InternalResult TOracleSession::runInternalOCI8(
    const QString &text, int columns, int maxRows)
{
    const OracleEntryPoints &oci = entryPoints();
    OCIStmt *statement = nullptr;
    if (oci.OCIHandleAlloc(m_env, reinterpret_cast<void **>(&statement), OCI_HTYPE_STMT, 0, nullptr)
        != OCI_SUCCESS)
        throw Exception(QStringLiteral("TOracleSession: Could not allocate a statement handle"));
    struct Release {
        const OracleEntryPoints &oci;
        OCIStmt *statement;
        ~Release() { oci.OCIHandleFree(statement, OCI_HTYPE_STMT); }
    } release { oci, statement };

    InternalResult result;
    QByteArray sql = text.toUtf8();
    Enter(true);
    QD_OCI(this, oci, OCIStmtPrepare, statement, m_error, oraText(sql),
        static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    ub2 type = 0;
    oci.OCIAttrGet(statement, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, m_error);
    const bool select = type == OCI_STMT_SELECT;
    QD_OCI(this, oci, OCIStmtExecute, m_svc, statement, m_error, select ? 0 : 1, 0, nullptr,
        nullptr, m_autoCommit ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT);
    if (select && maxRows != 0 && columns > 0) {
        std::vector<QByteArray> buffers(columns, QByteArray(InternalBufferSize, '\0'));
        std::vector<sb2> indicators(columns, 0);
        std::vector<ub2> lengths(columns, 0);
        for (int i = 0; i < columns; ++i) {
            OCIDefine *define = nullptr;
            QD_OCI(this, oci, OCIDefineByPos, statement, &define, m_error, static_cast<ub4>(i + 1),
                buffers[i].data(), InternalBufferSize, SQLT_STR, &indicators[i], &lengths[i],
                nullptr, OCI_DEFAULT);
        }
        while (maxRows < 0 || static_cast<int>(result.rows.size()) < maxRows) {
            const sword status
                = oci.OCIStmtFetch(statement, m_error, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
            // No data ends the rows; every other status goes through the session's check.
            if (status == OCI_NO_DATA)
                break;
            checkCall(status, "OCIStmtFetch");
            QStringList row;
            for (int i = 0; i < columns; ++i) {
                row.append(
                    indicators[i] == -1 ? QString() : QString::fromUtf8(buffers[i].constData()));
            }
            result.rows.push_back(row);
        }
    }
    Leave(true);
    return result;
}

TOracleSession::InternalResult TOracleSession::runInternalOCI7(
    const QString &text, int columns, int maxRows)
{
    const OracleEntryPoints &oci = entryPoints();
    if (!oci.oopen)
        throw Exception(QStringLiteral("The client library offers no cursor calls"));
    Cda_Def cursor {};
    InternalResult result;
    QByteArray sql = text.toUtf8();
    // The error raiser releases the call lock this call took.
    const OracleCursorCallSite site { oci, this, cursor };
    Enter(true);
    QD_OCI(&site, oci, oopen, &cursor, LogonDataArea(), nullptr, -1, -1, nullptr, -1);
    try {
        QD_OCI(&site, oci, oparse, &cursor, oraText(sql), -1, 0, 2);
        // The function type tells a select; a library that leaves it unset is read from the
        // statement's first word.
        const QString head = RemoveComments(text).section(u' ', 0, 0).trimmed().toLower();
        const bool select = cursor.ft == SqlFunction::Select
            || (cursor.ft == 0
                && (head == QLatin1String("select") || head == QLatin1String("with")));
        std::vector<QByteArray> buffers(std::max(columns, 0), QByteArray(InternalBufferSize, 0));
        std::vector<sb2> indicators(buffers.size(), 0);
        std::vector<ub2> lengths(buffers.size(), 0);
        std::vector<ub2> codes(buffers.size(), 0);
        const bool fetch = select && maxRows != 0 && columns > 0;
        if (fetch) {
            for (int i = 0; i < columns; ++i) {
                QD_OCI(&site, oci, odefin, &cursor, i + 1,
                    reinterpret_cast<ub1 *>(buffers[i].data()), InternalBufferSize, SQLT_STR, -1,
                    &indicators[i], nullptr, -1, -1, &lengths[i], &codes[i]);
            }
        }
        QD_OCI(&site, oci, oexec, &cursor);
        while (fetch && (maxRows < 0 || static_cast<int>(result.rows.size()) < maxRows)) {
            // No data found ends the rows; any other failure raises.
            if (oci.ofen(&cursor, 1) != 0) {
                if (cursor.rc == OraCode::NoDataFound)
                    break;
                site.checkCall(-1, "ofen");
            }
            QStringList row;
            for (int i = 0; i < columns; ++i) {
                row.append(
                    indicators[i] == -1 ? QString() : QString::fromUtf8(buffers[i].constData()));
            }
            result.rows.push_back(row);
        }
    } catch (...) {
        Enter(true);
        oci.oclose(&cursor);
        Leave(true);
        throw;
    }
    oci.oclose(&cursor);
    Leave(true);
    return result;
}

} // namespace qd
