#include "oracle/OracleQuery.h"

#include "classlib/Exception.h"
#include "oracle/OracleQueryExtensions.h"
#include "oracle/OracleQueryThread.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleStatementCalls.h"

namespace qd {

TOracleQuery::TOracleQuery(QObject *owner)
    : QObject(owner)
    , m_variables(std::make_unique<TVariables>(this))
{
}

TOracleQuery::~TOracleQuery()
{
    // The worker may be using the query: it ends first, without firing anything more.
    stopThread();
    try {
        if (m_session)
            m_session->RemoveDependent(this);
        clearFields();
        Close();
    } catch (...) {
        // A destructor reports nothing; the handles go with the session's environment.
    }
}

void TOracleQuery::SetSQL(const TStringList &value)
{
    m_sql.SetText(value.Text());
}

void TOracleQuery::SetSession(TOracleSession *value)
{
    if (value == m_session)
        return;
    if (m_session) {
        m_session->RemoveDependent(this);
        Close();
        m_monitorId = 0;
    }
    m_session = value;
    if (m_session)
        m_session->AddDependent(this);
}

void TOracleQuery::SetVariables(const TVariables &value)
{
    m_variables->ReadData(value.WriteData(), m_session);
    forgetParse();
}

void TOracleQuery::SetStringFieldsOnly(bool value)
{
    if (value == m_stringFieldsOnly)
        return;
    m_stringFieldsOnly = value;
    forgetParse();
}

void TOracleQuery::sessionLoggingOff()
{
    try {
        Close();
    } catch (...) {
        // The connection is ending; its handles end with it.
    }
    // Whatever could not be closed is not used again on the next connection.
    if (m_cursorOpen)
        dropHandles();
}

void TOracleQuery::sessionDestroyed()
{
    dropHandles();
    m_session = nullptr;
}

void TOracleQuery::dropHandles()
{
    // The handles belong to the session's environment and end with its connection.
    m_calls.reset();
    m_cursorOpen = false;
    m_described = false;
    m_eof = true;
    m_parsedSQL.clear();
    for (const auto &field : m_fields)
        field->environment = nullptr;
    m_fields.clear();
    m_fieldExtras.clear();
    for (int i = 0; i < m_variables->Count(); ++i) {
        m_variables->Items(i).bindHandle = nullptr;
        m_variables->Items(i).boundAddress = nullptr;
    }
}

OCIStmt *TOracleQuery::StatementHandle() const
{
    return m_calls ? m_calls->statementHandle() : nullptr;
}

OCIError *TOracleQuery::ErrorHandle() const
{
    return m_calls ? m_calls->errorHandle() : nullptr;
}

QString TOracleQuery::RowIdText(ub4 objectNumber, ub4 file, ub4 block, ub4 row)
{
    if (objectNumber == 0) {
        return QStringLiteral("%1.%2.%3")
            .arg(block, 8, 16, QLatin1Char('0'))
            .arg(row, 4, 16, QLatin1Char('0'))
            .arg(file, 4, 16, QLatin1Char('0'));
    }
    static const char alphabet[]
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QString text;
    auto put = [&text](ub4 value, int digits) {
        QString part(digits, QLatin1Char('A'));
        for (int i = digits - 1; i >= 0; --i) {
            part[i] = QLatin1Char(alphabet[value & 63]);
            value >>= 6;
        }
        text += part;
    };
    put(objectNumber, 6);
    put(file, 3);
    put(block, 6);
    put(row, 3);
    return text;
}

} // namespace qd
