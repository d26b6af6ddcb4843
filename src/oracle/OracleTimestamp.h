#pragma once

#include "oracle/OracleBuffers.h"
#include "oracle/OracleCI.h"

#include <QObject>
#include <QString>

namespace qd {

class OracleAttributeOwner;
class TOracleSession;

// One client-library timestamp descriptor (TIMESTAMP, WITH TIME ZONE, WITH LOCAL TIME ZONE) as
// a date-time value in days. A timestamp made here owns its descriptor and starts null; the
// query and the object code attach descriptors they own to a wrapper of their own.
class TOracleTimestamp : public QObject, public OracleValueObject {
public:
    // The session must be connected; type is one of the timestamp types (IsTimestampType).
    TOracleTimestamp(TOracleSession *session, int type);
    ~TOracleTimestamp() override;
    TOracleTimestamp(const TOracleTimestamp &) = delete;
    TOracleTimestamp &operator=(const TOracleTimestamp &) = delete;

    // 0.0 when null.
    double Value();
    // 0.0 with the session's ZeroDateIsNull preference makes the value null; milliseconds are
    // kept (as nanoseconds).
    void SetValue(double value);
    void SetComponents(
        int year, int month, int day, int hour, int minute, int second, ub4 fractionalSeconds);
    void SetNull();
    bool IsNull() const { return m_isNull; }
    int Type() const { return m_type; }

    OCIDateTime *Descriptor() const { return m_descriptor; }
    // Where a bind lets the client library fill the descriptor in place.
    OCIDateTime **DescriptorAddress() { return &m_descriptor; }
    // Takes a descriptor (freeing a previous owned one).
    void AttachDescriptor(OCIDateTime *descriptor, bool owns, bool isNull, int type);
    // Called after an execute bound the timestamp: the server's null state.
    void SetNullFlag(bool isNull) { m_isNull = isNull; }
    // The attribute the timestamp is the value of: its 16-bit indicator and the object told
    // about changes.
    void LinkAttribute(OracleAttributeOwner *owner, const QString &attribute, sb2 *nullIndicator);

private:
    sword checkCall(sword status, const char *callName);
    void freeDescriptor();
    void changed();

    OCIDateTime *m_descriptor = nullptr;
    OCIError *m_errorHandle = nullptr;
    int m_type = SQLT_TIMESTAMP;
    bool m_ownsDescriptor = false;
    TOracleSession *m_session = nullptr;
    const OracleEntryPoints *m_oci = nullptr;
    bool m_isNull = true;
    OracleAttributeOwner *m_owner = nullptr;
    QString m_attribute;
    sb2 *m_nullIndicator = nullptr;
};

} // namespace qd
