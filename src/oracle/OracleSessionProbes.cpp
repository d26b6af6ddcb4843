// TOracleSession: what the session asks the server and the client about itself: versions,
// character widths, formats, session id, message texts, type codes and number types.
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

// ---- Probes -------------------------------------------------------------------------------------

QString TOracleSession::ServerVersion()
{
    QString version;
    try {
        ExecSQL(QStringLiteral("select * from v$version"), true);
        version = m_internalRow.value(0);
    } catch (...) {
        version.clear();
    }
    m_internalRow.clear();
    if (version.isEmpty() && m_odbcBridge)
        version = m_oca60Installed ? QStringLiteral("Oracle Lite")
                                   : QStringLiteral("Personal Oracle Lite");
    return ShortVersionText(version);
}

QString TOracleSession::ShortVersionText(const QString &banner)
{
    // One line, without the trailing " - Production"-like remark (the blank stays).
    qsizetype cut = banner.size();
    for (qsizetype i = 0; i < banner.size(); ++i) {
        const QChar c = banner.at(i);
        if (c == u'\r' || c == u'\n' || (c == u'-' && (i == 0 || banner.at(i - 1) == u' '))) {
            cut = i;
            break;
        }
    }
    return banner.left(cut);
}

int TOracleSession::BytesPerChar()
{
    if (m_bytesPerCharCache != 0)
        return m_bytesPerCharCache;
    int n = 1;
    switch (m_bytesPerCharacter) {
    case bcAutoDetect:
        if (m_connected) {
            try {
                const InternalResult r = runInternal(
                    QStringLiteral("select length(chr(2000000000)) l4, length(chr(2000000)) l3,  "
                                   "length(chr(20000)) l2 from dual"),
                    3, 1);
                if (!r.rows.empty()) {
                    const QStringList &row = r.rows.front();
                    n = row.value(0).toInt();
                    if (n == 1)
                        n = row.value(1).toInt();
                    if (n == 1)
                        n = row.value(2).toInt();
                }
            } catch (...) {
                n = 1;
            }
        }
        break;
    case bc1Byte:
        n = 1;
        break;
    case bc2Bytes:
        n = 2;
        break;
    case bc3Bytes:
        n = 3;
        break;
    case bc4Bytes:
        n = 4;
        break;
    }
    if (n <= 0)
        n = 1;
    m_bytesPerCharCache = n;
    return n;
}

int TOracleSession::MaxStringChars()
{
    return (m_oci8Mode ? 4000 : 2000) / BytesPerChar();
}

int TOracleSession::maxBindStringSize() const
{
    return m_oci8Mode ? 4000 : 2000;
}

int TOracleSession::DateFormatLength()
{
    if (m_dateFormatLengthCache >= 0 || !m_connected)
        return m_dateFormatLengthCache > 0 ? m_dateFormatLengthCache : 40;
    QStringList lines;
    for (int month = 1; month <= 12; ++month) {
        if (month > 1)
            lines.append(QStringLiteral("union all"));
        lines.append(QStringLiteral("select to_char(to_date('10-%1-1999 10:10:10', "
                                    "'dd-mm-yyyy hh24:mi:ss')) from dual")
                         .arg(month));
    }
    int longest = 0;
    try {
        const InternalResult r = runInternal(lines.join(u'\n'), 1, -1);
        for (const QStringList &row : r.rows)
            longest = std::max(longest, static_cast<int>(row.value(0).size()));
    } catch (...) {
        longest = 0;
    }
    if (longest <= 0)
        longest = 40;
    m_dateFormatLengthCache = longest;
    return longest;
}

QString TOracleSession::AUDSID()
{
    if (m_sessionIdCache.isEmpty() && m_connected) {
        ExecSQL(QStringLiteral("select to_char(userenv('SESSIONID')) from dual"), false);
        m_sessionIdCache = m_internalRow.value(0);
        m_internalRow.clear();
    }
    return m_sessionIdCache;
}

QString TOracleSession::ErrorText(int errorCode)
{
    const OracleEntryPoints &oci = entryPoints();
    if (!oci.oerhms)
        return serverErrorText(errorCode);
    std::array<char, 2001> buffer {};
    Enter(true);
    if (m_oci8Mode) {
        Lda_Def scratch {};
        oci.oerhms(&scratch, static_cast<sb2>(errorCode),
            reinterpret_cast<OraText *>(buffer.data()), static_cast<sword>(buffer.size()));
    } else {
        oci.oerhms(LogonDataArea(), static_cast<sb2>(errorCode),
            reinterpret_cast<OraText *>(buffer.data()), static_cast<sword>(buffer.size()));
    }
    Leave(true);
    buffer.back() = '\0';
    return QString::fromUtf8(buffer.data());
}

QString TOracleSession::serverErrorText(int errorCode)
{
    if (!m_connected)
        throw Exception(QStringLiteral("Not logged on"));
    const OracleEntryPoints &oci = entryPoints();
    if (!m_oci8Mode) {
        // The older interface always has its own message call.
        if (!oci.oerhms)
            throw Exception(QStringLiteral("The client library offers no message texts"));
        return ErrorText(errorCode);
    }
    // sqlerrm exists only in PL/SQL, so the text comes back through an output bind.
    OCIStmt *statement = nullptr;
    if (oci.OCIHandleAlloc(m_env, reinterpret_cast<void **>(&statement), OCI_HTYPE_STMT, 0, nullptr)
        != OCI_SUCCESS)
        throw Exception(QStringLiteral("TOracleSession: Could not allocate a statement handle"));
    struct Release {
        const OracleEntryPoints &oci;
        OCIStmt *statement;
        ~Release() { oci.OCIHandleFree(statement, OCI_HTYPE_STMT); }
    } release { oci, statement };
    QByteArray sql
        = QStringLiteral("begin :text := sqlerrm(-%1); end;").arg(std::abs(errorCode)).toUtf8();
    QByteArray name(":text");
    QByteArray buffer(InternalBufferSize, '\0');
    sb2 indicator = 0;
    OCIBind *bind = nullptr;
    Enter(true);
    QD_OCI(this, oci, OCIStmtPrepare, statement, m_error, oraText(sql),
        static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    QD_OCI(this, oci, OCIBindByName, statement, &bind, m_error, oraText(name),
        static_cast<sb4>(name.size()), buffer.data(), InternalBufferSize, SQLT_STR, &indicator,
        nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    QD_OCI(
        this, oci, OCIStmtExecute, m_svc, statement, m_error, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    Leave(true);
    return indicator == -1 ? QString() : QString::fromUtf8(buffer.constData());
}

OCITypeCode TOracleSession::ObjectTypeCode(void *typeDescriptor)
{
    const OracleEntryPoints &oci = entryPoints();
    CheckOCI8(this, QStringLiteral("Object type describe"));
    OCIDescribe *describe = nullptr;
    QD_OCI(this, oci, OCIHandleAlloc, m_env, reinterpret_cast<void **>(&describe),
        OCI_HTYPE_DESCRIBE, 0, nullptr);
    struct Release {
        const OracleEntryPoints &oci;
        OCIDescribe *describe;
        ~Release() { oci.OCIHandleFree(describe, OCI_HTYPE_DESCRIBE); }
    } release { oci, describe };
    OCIParam *parameter = nullptr;
    OCITypeCode code = 0;
    sword status = oci.OCIDescribeAny(
        m_svc, m_error, typeDescriptor, 0, OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE, describe);
    if (status == OCI_SUCCESS)
        status = oci.OCIAttrGet(
            describe, OCI_HTYPE_DESCRIBE, &parameter, nullptr, OCI_ATTR_PARAM, m_error);
    if (status == OCI_SUCCESS)
        status = oci.OCIAttrGet(
            parameter, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, m_error);
    checkCall(status, "OCIDescribeAny, OCIAttrGet");
    return code;
}

void TOracleSession::ChooseNumberType(
    int precision, int scale, int &size, int &typeCode, bool asString)
{
    int intLimit = m_preferences->IntegerPrecision();
    if (intLimit == 0)
        intLimit = m_odbcBridge ? 10 : 9;
    const int floatLimit = m_preferences->FloatPrecision(); // 0: no limit
    bool isFloat = false;
    if (scale == -127) {
        precision = 38;
        scale = 1;
        isFloat = true;
    } else if (precision == 0 && scale == 0) {
        precision = 38;
    }
    if (scale <= 0 && precision <= intLimit && !asString) {
        typeCode = SQLT_INT;
        size = 4;
    } else if ((floatLimit == 0 || precision <= floatLimit) && !asString) {
        typeCode = SQLT_FLT;
        size = 8;
    } else {
        typeCode = SQLT_STR;
        size = scale <= 0 ? precision + 2 : precision + 3;
        if (isFloat)
            size += 132;
    }
}

} // namespace qd
