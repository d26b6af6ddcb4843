#pragma once

#include "classlib/Stream.h"
#include "oracle/OracleBuffers.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleSessionDependent.h"

#include <QObject>
#include <QString>

namespace qd {

class OracleAttributeOwner;
class TOracleSession;

// LOB type codes as the field and variable types name them.
inline constexpr int otCLOB = 112;
inline constexpr int otBLOB = 113;
inline constexpr int otBFile = 114;

// A stream over one CLOB, BLOB or BFILE on the server, through a LOB locator of the client
// library. Amounts and positions count what the client library counts: characters for a CLOB,
// bytes otherwise. A locator starts null; a fetch or an out-bind fills it through
// LocatorAddress, CreateTemporary gives it a server-side temporary value.
class TLOBLocator : public QObject,
                    public OracleValueObject,
                    public TStream,
                    public OracleSessionDependent {
public:
    TLOBLocator(TOracleSession *session, int lobType);
    // A locator with a temporary value on the server (freed with the locator).
    static TLOBLocator *CreateTemporary(TOracleSession *session, int lobType, bool cache);
    ~TLOBLocator() override;
    TLOBLocator(const TLOBLocator &) = delete;
    TLOBLocator &operator=(const TLOBLocator &) = delete;

    // ---- TStream ------------------------------------------------------------------------------
    void SetSize(qint64 newSize) override;
    qint64 Read(void *buffer, qint64 count) override;
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    // Seek to the end and back, which asks Length.
    qint64 Size() override;
    // Origin as a number (0 beginning, 1 current, 2 end); any other origin leaves the position.
    qint64 Seek(qint64 offset, int origin);

    qint64 Length();
    bool IsNull();
    bool IsInitialized();
    bool IsTemporary();
    // Makes the locator null again (a fresh, uninitialised locator).
    void Clear();
    bool FileIsOpen();
    void OpenFile();
    void CloseFile();
    void FlushBuffer();
    // The first count units, or the whole value, as text (line breaks as the session wants).
    void ReadAsString(qint64 count, QString &text);
    void AsString(QString &text);
    QString AsString();

    OCILobLocator *Locator() const { return m_locator; }
    // Where binds and defines let the client library fill or replace the locator.
    OCILobLocator **LocatorAddress() { return &m_locator; }
    TOracleSession *Session() const { return m_session; }
    int LOBType() const { return m_lobType; }
    ub4 DescriptorType() const { return m_descriptorType; }
    OCIError *ErrorHandle() const { return m_errorHandle; }

    // ---- For the query and object code --------------------------------------------------------
    // Points the locator at a descriptor someone else owns (a fetched row, an object
    // attribute), with that value's null indicator; the stream starts over at 0.
    void AttachLocator(OCILobLocator *locator, sb2 *nullIndicator);
    // The indicator kept up to date (-1 null, 0 not null), null for none.
    void SetNullIndicator(sb2 *indicator) { m_nullIndicator = indicator; }
    sb2 *NullIndicator() const { return m_nullIndicator; }
    // The object attribute the locator is the value of.
    void SetOwner(OracleAttributeOwner *owner, const QString &attribute);

    // ---- OracleSessionDependent ---------------------------------------------------------------
    Kind dependentKind() const override { return dkLob; }
    void sessionDestroyed() override;

private:
    sword checkCall(sword status, const char *callName);
    void ensureLocator();
    void freeDescriptor();
    ub4 serverOffset() const;
    OCISvcCtx *service() const;
    const OracleEntryPoints &oci() const { return *m_oci; }

    TOracleSession *m_session = nullptr;
    const OracleEntryPoints *m_oci = nullptr;
    OCIEnv *m_environment = nullptr;
    OCILobLocator *m_locator = nullptr;
    bool m_ownsLocator = true;
    OCIError *m_errorHandle = nullptr;
    qint64 m_position = 0;
    ub4 m_descriptorType = OCI_DTYPE_LOB;
    bool m_buffering = false;
    bool m_bufferDirty = false;
    OracleAttributeOwner *m_owner = nullptr;
    QString m_ownerAttribute;
    sb2 *m_nullIndicator = nullptr;
    int m_lobType = otCLOB;
};

} // namespace qd
