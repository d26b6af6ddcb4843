#include "oracle/SessionPreferences.h"

#include "classlib/Exception.h"
#include "oracle/OracleSession.h"

#include <QMetaObject>

namespace qd {

TSessionPreferences::TSessionPreferences(TOracleSession *session)
    : m_session(session)
{
    // A session on a remote data module serves clients that cannot take unbounded strings.
    if (session) {
        if (const QObject *owner = session->parent()) {
            const QMetaObject *parentClass = owner->metaObject()->superClass();
            if (parentClass
                && QString::fromLatin1(parentClass->className())
                       .toUpper()
                       .contains(QLatin1String("REMOTEDATAMODULE")))
                m_maxStringFieldSize = 255;
        }
    }
}

void TSessionPreferences::AssignTo(TSessionPreferences &target) const
{
    if (&target == this)
        return;
    target.SetFloatPrecision(m_floatPrecision);
    target.SetIntegerPrecision(m_integerPrecision);
    target.SetSmallIntPrecision(m_smallIntPrecision);
    target.SetUseOCI7(m_useOCI7);
    target.SetConvertCRLF(m_convertCRLF);
    target.SetTrimStringFields(m_trimStringFields);
    target.SetMaxStringFieldSize(m_maxStringFieldSize);
    target.SetZeroDateIsNull(m_zeroDateIsNull);
    target.SetNullLOBIsEmpty(m_nullLOBIsEmpty);
    target.SetNullObjectIsEmpty(m_nullObjectIsEmpty);
    target.SetTemporaryLOB(m_temporaryLOB);
    target.SetTimestampAsString(m_timestampAsString);
}

void TSessionPreferences::fieldShapeChanged()
{
    if (m_session && m_session->Designing() && !m_session->Loading())
        m_session->ReactivateDataSets();
}

void TSessionPreferences::SetFloatPrecision(int value)
{
    m_floatPrecision = value;
    fieldShapeChanged();
}

void TSessionPreferences::SetIntegerPrecision(int value)
{
    m_integerPrecision = value;
    fieldShapeChanged();
}

void TSessionPreferences::SetSmallIntPrecision(int value)
{
    m_smallIntPrecision = value;
    fieldShapeChanged();
}

void TSessionPreferences::SetMaxStringFieldSize(int value)
{
    m_maxStringFieldSize = value;
    fieldShapeChanged();
}

void TSessionPreferences::SetTimestampAsString(bool value)
{
    m_timestampAsString = value;
    fieldShapeChanged();
}

void TSessionPreferences::SetUseOCI7(bool value)
{
    if (value == m_useOCI7)
        return;
    if (m_session && m_session->Connected())
        throw Exception(QStringLiteral("Cannot change UseOCI7 property when session is connected"));
    m_useOCI7 = value;
}

} // namespace qd
