#include "oracle/OracleTimestamp.h"

#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"
#include "oracle/OracleAttributeOwner.h"
#include "oracle/OracleCall.h"
#include "oracle/OracleDate.h"
#include "oracle/OracleError.h"
#include "oracle/OracleSession.h"

#include <cmath>

namespace qd {

namespace {

const QString className = QStringLiteral("TOracleTimestamp");

} // namespace

TOracleTimestamp::TOracleTimestamp(TOracleSession *session, int type)
{
    if (!session || !session->Connected())
        throw Exception(
            QStringLiteral("Can only create TOracleTimestamp instance if Session is connected"));
    m_session = session;
    m_oci = &session->entryPoints();
    m_type = type;
    void *error = nullptr;
    QD_OCI(this, *m_oci, OCIHandleAlloc, session->environmentHandle(), &error, OCI_HTYPE_ERROR, 0,
        nullptr);
    m_errorHandle = static_cast<OCIError *>(error);
    void *descriptor = nullptr;
    QD_OCI(this, *m_oci, OCIDescriptorAlloc, session->environmentHandle(), &descriptor,
        TimestampDescriptorKind(type), 0, nullptr);
    m_descriptor = static_cast<OCIDateTime *>(descriptor);
    m_ownsDescriptor = true;
}

TOracleTimestamp::~TOracleTimestamp()
{
    freeDescriptor();
    if (m_errorHandle && m_oci && m_oci->OCIHandleFree)
        m_oci->OCIHandleFree(m_errorHandle, OCI_HTYPE_ERROR);
}

sword TOracleTimestamp::checkCall(sword status, const char *callName)
{
    CheckOracleResult(status, className, *m_oci, m_errorHandle, m_session, this, callName);
    return status;
}

void TOracleTimestamp::freeDescriptor()
{
    if (m_descriptor && m_ownsDescriptor && m_oci && m_oci->OCIDescriptorFree)
        m_oci->OCIDescriptorFree(m_descriptor, TimestampDescriptorKind(m_type));
    m_descriptor = nullptr;
    m_ownsDescriptor = false;
}

double TOracleTimestamp::Value()
{
    if (m_isNull || !m_descriptor)
        return 0.0;
    double value = 0.0;
    checkCall(TimestampToDateTime(
                  *m_oci, m_session->environmentHandle(), m_errorHandle, m_descriptor, value),
        "OCIDateTimeGetDate, OCIDateTimeGetTime");
    return value;
}

void TOracleTimestamp::SetValue(double value)
{
    if (value == 0.0 && m_session && m_session->ZeroDateIsNull()) {
        SetNull();
        return;
    }
    int year, month, day, hour, minute, second, msec;
    DecodeDateTime(value, year, month, day, hour, minute, second, msec);
    SetComponents(year, month, day, hour, minute, second, static_cast<ub4>(msec) * 1000000u);
}

void TOracleTimestamp::SetComponents(
    int year, int month, int day, int hour, int minute, int second, ub4 fractionalSeconds)
{
    if (!m_descriptor || !m_session)
        throw Exception(QStringLiteral("TOracleTimestamp: Invalid handle"));
    QD_OCI(this, *m_oci, OCIDateTimeConstruct, m_session->environmentHandle(), m_errorHandle,
        m_descriptor, static_cast<sb2>(year), static_cast<ub1>(month), static_cast<ub1>(day),
        static_cast<ub1>(hour), static_cast<ub1>(minute), static_cast<ub1>(second),
        fractionalSeconds, nullptr, 0);
    m_isNull = false;
    changed();
}

void TOracleTimestamp::SetNull()
{
    m_isNull = true;
    changed();
}

void TOracleTimestamp::AttachDescriptor(OCIDateTime *descriptor, bool owns, bool isNull, int type)
{
    freeDescriptor();
    m_descriptor = descriptor;
    m_ownsDescriptor = owns;
    m_isNull = isNull;
    m_type = type;
}

void TOracleTimestamp::LinkAttribute(
    OracleAttributeOwner *owner, const QString &attribute, sb2 *nullIndicator)
{
    m_owner = owner;
    m_attribute = attribute;
    m_nullIndicator = nullIndicator;
}

void TOracleTimestamp::changed()
{
    if (!m_nullIndicator)
        return;
    *m_nullIndicator = m_isNull ? sb2(-1) : sb2(0);
    if (m_owner)
        m_owner->AttributeChanged(m_attribute);
    // The owner marks enclosing levels not null; the attribute keeps its own state.
    *m_nullIndicator = m_isNull ? sb2(-1) : sb2(0);
}

} // namespace qd
