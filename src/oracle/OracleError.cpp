#include "oracle/OracleError.h"

#include "oracle/OracleMonitor.h"
#include "oracle/OracleSessionInterface.h"
#include "platform/OraclePlatform.h"

#include <QMutex>
#include <QMutexLocker>

#include <array>
#include <cstring>

namespace qd {

EOracleError::EOracleError(QString message, int errorCode, void *failingObject,
    OracleSessionInterface *session, const char *callName)
    : EDatabaseError(std::move(message))
    , m_errorCode(errorCode)
    , m_failingObject(failingObject)
    , m_session(session)
    , m_callName(callName ? callName : "")
{
}

// ---- Transaction-enlistment library errors ----------------------------------------------

namespace {

struct MtsTextRange {
    int first;
    std::initializer_list<const char *> texts;
};

const MtsTextRange mtsTexts[] = {
    { 1001,
        { "no MTXDM.DLL available", "failure to create dispen", "exceeded max sessions",
            "invalid OCI Svc ctx", "can't create new dbiden" } },
    { 2001, { "unable to alloc a server" } },
    { 3001,
        { "invalid server object", "failed attach to Oracle", "failed detach from db",
            "failed to start trans.", "OCI set attrib failed", "conn to Oracle broken",
            "not attached to Oracle", "alrdy attached to Oracle" } },
    { 4001,
        { "invalid session object", "failed logon to Oracle", "failed logoff from db",
            "no transaction beneath", "already logged on to db", "not logged on to Oracle" } },
    { 5001,
        { "RPC context is invalid", "generic communic. error", "endpoint already connect",
            "endpoint not connected", "protocol violation", "timeout accepting conn.",
            "invalid RPC opcode", "mismatched incarnation#", "client connect timeout",
            "synch. send timeout", "synch. receive timedout", "connection reset by peer" } },
    { 6001,
        { "invalid args to function", "an object was invalid", "illegal operation",
            "memory allocation error", "synchr. object error", "no Oracle Proxy server",
            "session already enlisted", "session is not enlisted", "illeg on manuenlst sess",
            "illeg on autoenlst sess", "error detaching trans.", "OCI handle alloc error",
            "OCI handle dealloc error", "error exporting trans." } },
};

QString mtsMessage(int errorCode, const QString &functionName)
{
    if (errorCode == 0)
        return functionName;
    return QStringLiteral("MTS error %1: %2\r\nin function %3")
        .arg(errorCode)
        .arg(EOracleMTSError::ErrorText(errorCode), functionName);
}

// Cut at max characters without splitting a surrogate pair.
QString cutMessage(QString text, int max)
{
    if (text.size() > max) {
        qsizetype cut = max;
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text.truncate(cut);
    }
    return text;
}

QString textOfBuffer(const std::array<char, OracleErrorBufferSize> &buffer)
{
    // The last byte always stays zero, so the text is bounded even when the library filled
    // the whole buffer.
    const std::size_t length = strnlen(buffer.data(), buffer.size() - 1);
    return QString::fromUtf8(buffer.data(), static_cast<qsizetype>(length));
}

// When the library gives no text (or has no call for it), the code still says what failed.
QString missingTextMessage(int code)
{
    if (code > 0)
        return QStringLiteral("ORA-%1").arg(code, 5, 10, QLatin1Char('0'));
    return QStringLiteral("Oracle client library error %1").arg(code);
}

} // namespace

EOracleMTSError::EOracleMTSError(int errorCode, const QString &functionName)
    : Exception(mtsMessage(errorCode, functionName))
    , m_errorCode(errorCode)
{
}

QString EOracleMTSError::ErrorText(int errorCode)
{
    for (const MtsTextRange &range : mtsTexts) {
        // In 64 bits: a code near the lowest int must not wrap into a range.
        const qint64 index = qint64(errorCode) - range.first;
        if (index >= 0 && index < static_cast<qint64>(range.texts.size()))
            return QString::fromLatin1(range.texts.begin()[index]);
    }
    return QString();
}

// ---- Oracle errors ---------------------------------------------------------------------------

OracleErrorInfo ReadOracleError(const OracleEntryPoints &oci, OracleSessionInterface *session,
    OCIError *errorHandle, int returnCode)
{
    std::array<char, OracleErrorBufferSize> buffer {};
    OracleErrorInfo info;
    info.code = returnCode;
    bool haveText = false;
    if (!session || session->OCI8Mode()) {
        if (oci.OCIErrorGet && errorHandle) {
            sb4 code = 0;
            oci.OCIErrorGet(errorHandle, 1, nullptr, &code,
                reinterpret_cast<OraText *>(buffer.data()), OracleErrorBufferSize, OCI_HTYPE_ERROR);
            info.code = code;
            haveText = true;
        }
    } else if (Lda_Def *lda = session->logonDataArea(); lda && oci.oerhms) {
        oci.oerhms(lda, static_cast<sb2>(returnCode), reinterpret_cast<OraText *>(buffer.data()),
            OracleErrorBufferSize);
        haveText = true;
    }
    info.message = haveText ? textOfBuffer(buffer) : QString();
    if (info.message.isEmpty())
        info.message = missingTextMessage(info.code);
    if (session)
        session->leaveCallLock();
    info.message = cutMessage(info.message, OracleErrorMaxMessage);
    return info;
}

void RaiseOracleError(const OracleEntryPoints &oci, OracleSessionInterface *session,
    OCIError *errorHandle, int returnCode, void *failingObject, const char *callName)
{
    OracleErrorInfo info = ReadOracleError(oci, session, errorHandle, returnCode);
    if (!OracleWarnings::IsEmpty() && OracleWarnings::IsWarning(info.code)) {
        EOracleWarning warning(
            std::move(info.message), info.code, failingObject, session, callName);
        OracleMonitor::ReportError(warning);
        throw warning;
    }
    EOracleError error(std::move(info.message), info.code, failingObject, session, callName);
    OracleMonitor::ReportError(error);
    throw error;
}

void RaiseOracleError(OracleSessionInterface &session, OCIError *errorHandle, int returnCode,
    void *failingObject, const char *callName)
{
    RaiseOracleError(
        session.entryPoints(), &session, errorHandle, returnCode, failingObject, callName);
}

void CheckOracleResult(sword status, const QString &className, const OracleEntryPoints &oci,
    OCIError *errorHandle, OracleSessionInterface *session, void *failingObject,
    const char *callName)
{
    if (status == OCI_INVALID_HANDLE)
        throw Exception(className + QStringLiteral(": Invalid handle"));
    if (status == OCI_ERROR)
        RaiseOracleError(oci, session, errorHandle, status, failingObject, callName);
}

QString OracleErrorText(OracleSessionInterface &session, int errorCode)
{
    const OracleEntryPoints &oci = session.entryPoints();
    if (!oci.oerhms) {
        // Clients without the older calls: the server knows every message.
        return session.serverErrorText(errorCode);
    }
    std::array<char, 2001> buffer {};
    Lda_Def scratch {};
    session.enterCallLock();
    Lda_Def *lda = session.OCI8Mode() ? &scratch : session.logonDataArea();
    if (!lda)
        lda = &scratch;
    oci.oerhms(lda, static_cast<sb2>(errorCode), reinterpret_cast<OraText *>(buffer.data()),
        static_cast<sword>(buffer.size()));
    session.leaveCallLock();
    return QString::fromUtf8(
        buffer.data(), static_cast<qsizetype>(strnlen(buffer.data(), buffer.size() - 1)));
}

namespace {

void checkSession(OracleSessionInterface *session, const QString &feature)
{
    if (!session)
        throw Exception(feature + QStringLiteral(" requires a session"));
    if (!session->Connected())
        throw Exception(feature + QStringLiteral(" requires a connected session"));
}

} // namespace

void CheckOCI8(OracleSessionInterface *session, const QString &feature)
{
    checkSession(session, feature);
    if (session->OCI8Mode())
        return;
    if (!session->capabilities().OCI8Available)
        throw Exception(
            feature + QStringLiteral(" requires Net8, which is not detected on this PC"));
    throw Exception(feature + QStringLiteral(" requires OCI8 mode, but OCI7 mode is used."));
}

void CheckNet9(OracleSessionInterface *session, const QString &feature)
{
    checkSession(session, feature);
    const bool net9 = session->capabilities().OCI9Available;
    // A session in the newer mode on an older client would reach for calls the client
    // does not have; it is refused like an older client.
    if (session->OCI8Mode() && net9)
        return;
    if (!net9)
        throw Exception(
            feature + QStringLiteral(" requires Oracle Net 9, which is not detected on this PC"));
    throw Exception(feature + QStringLiteral(" requires OCI8 mode, but OCI7 mode is used."));
}

// ---- Warnings list -----------------------------------------------------------------------------

namespace {

QMutex &warningsLock()
{
    static QMutex lock;
    return lock;
}

QList<int> &warningCodes()
{
    static QList<int> codes;
    return codes;
}

// An upper bound on entries read, so a misbehaving provider cannot keep the loop going.
constexpr int MaxWarnings = 10000;

} // namespace

void OracleWarnings::LoadWarnings(const OraclePlatform &platform)
{
    static const QString key = QStringLiteral("SOFTWARE\\Velloran\\ZEB\\Warnings");
    QList<int> codes;
    for (int i = 1; i <= MaxWarnings; ++i) {
        const QString value = platform.readRegistryString(
            OraclePlatform::RegistryRoot::CurrentUser, key, QString::number(i));
        if (value.isEmpty())
            break;
        if (value.startsWith(u'*'))
            continue;
        bool ok = false;
        const int code = value.trimmed().toInt(&ok);
        if (ok)
            codes.append(code);
    }
    SetWarnings(codes);
}

void OracleWarnings::SetWarnings(const QList<int> &codes)
{
    QMutexLocker locker(&warningsLock());
    warningCodes() = codes;
}

QList<int> OracleWarnings::Warnings()
{
    QMutexLocker locker(&warningsLock());
    return warningCodes();
}

bool OracleWarnings::IsWarning(int errorCode)
{
    QMutexLocker locker(&warningsLock());
    return warningCodes().contains(errorCode);
}

bool OracleWarnings::IsEmpty()
{
    QMutexLocker locker(&warningsLock());
    return warningCodes().isEmpty();
}

} // namespace qd
