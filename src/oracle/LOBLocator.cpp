#include "oracle/LOBLocator.h"

#include "classlib/Exception.h"
#include "oracle/OracleAttributeOwner.h"
#include "oracle/OracleCall.h"
#include "oracle/OracleError.h"
#include "oracle/OracleSession.h"

#include <limits>

namespace qd {

namespace {

const QString className = QStringLiteral("TLOBLocator");

} // namespace

TLOBLocator::TLOBLocator(TOracleSession *session, int lobType)
{
    CheckOCI8(session, QStringLiteral("A TLOBLocator instance"));
    m_session = session;
    m_session->AddDependent(this);
    m_oci = &session->entryPoints();
    m_environment = session->environmentHandle();
    m_lobType = lobType;
    if (lobType != otCLOB && lobType != otBLOB && lobType != otBFile) {
        m_session->RemoveDependent(this);
        m_session = nullptr;
        throw Exception(QStringLiteral("Type must be otCLOB, otBLOB or otBFile"));
    }
    m_descriptorType = lobType == otBFile ? OCI_DTYPE_FILE : OCI_DTYPE_LOB;
    try {
        void *descriptor = nullptr;
        QD_OCI(this, oci(), OCIDescriptorAlloc, m_environment, &descriptor, m_descriptorType, 0,
            nullptr);
        m_locator = static_cast<OCILobLocator *>(descriptor);
        void *error = nullptr;
        QD_OCI(this, oci(), OCIHandleAlloc, m_environment, &error, OCI_HTYPE_ERROR, 0, nullptr);
        m_errorHandle = static_cast<OCIError *>(error);
    } catch (...) {
        freeDescriptor();
        m_session->RemoveDependent(this);
        m_session = nullptr;
        throw;
    }
}

TLOBLocator *TLOBLocator::CreateTemporary(TOracleSession *session, int lobType, bool cache)
{
    CheckOCI8(session, QStringLiteral("A TLOBLocator instance"));
    if (!session->capabilities().OCI81Available)
        throw Exception(QStringLiteral("A Temporary TLOBLocator requires Net8 8.1 or later"));
    auto locator = std::make_unique<TLOBLocator>(session, lobType);
    QD_OCI(locator, locator->oci(), OCILobCreateTemporary, locator->service(),
        locator->m_errorHandle, locator->m_locator, 0, 0,
        lobType == otCLOB ? OCI_TEMP_CLOB : OCI_TEMP_BLOB, cache ? 1 : 0, OCI_DURATION_SESSION);
    return locator.release();
}

TLOBLocator::~TLOBLocator()
{
    try {
        FlushBuffer();
    } catch (...) {
    }
    try {
        CloseFile();
    } catch (...) {
    }
    if (m_locator && m_ownsLocator && m_session) {
        try {
            if (IsTemporary())
                QD_OCI(this, oci(), OCILobFreeTemporary, service(), m_errorHandle, m_locator);
        } catch (...) {
        }
    }
    freeDescriptor();
    if (m_errorHandle && m_oci && m_oci->OCIHandleFree)
        m_oci->OCIHandleFree(m_errorHandle, OCI_HTYPE_ERROR);
    m_errorHandle = nullptr;
    if (m_session)
        m_session->RemoveDependent(this);
}

void TLOBLocator::sessionDestroyed()
{
    // The environment is the layer's shared one and stays, so the descriptor can still be
    // freed; the server side of a temporary value ended with the session.
    m_session = nullptr;
}

sword TLOBLocator::checkCall(sword status, const char *callName)
{
    CheckOracleResult(status, className, oci(), m_errorHandle, m_session, this, callName);
    return status;
}

OCISvcCtx *TLOBLocator::service() const
{
    if (!m_session || !m_session->Connected())
        throw Exception(QStringLiteral("Not logged on"));
    return m_session->ServiceContext();
}

void TLOBLocator::freeDescriptor()
{
    if (m_locator && m_ownsLocator && m_oci && m_oci->OCIDescriptorFree)
        m_oci->OCIDescriptorFree(m_locator, m_descriptorType);
    m_locator = nullptr;
    m_ownsLocator = true;
}

void TLOBLocator::AttachLocator(OCILobLocator *locator, sb2 *nullIndicator)
{
    freeDescriptor();
    m_locator = locator;
    m_ownsLocator = false;
    m_nullIndicator = nullIndicator;
    m_position = 0;
    m_bufferDirty = false;
}

void TLOBLocator::SetOwner(OracleAttributeOwner *owner, const QString &attribute)
{
    m_owner = owner;
    m_ownerAttribute = attribute;
}

ub4 TLOBLocator::serverOffset() const
{
    // The position is not clamped by Seek; an offset the client library cannot carry is
    // refused here rather than wrapped round to some other place in the value.
    if (m_position < 0 || m_position >= qint64(std::numeric_limits<ub4>::max()))
        throw Exception(QStringLiteral("TLOBLocator: Position %1 out of range").arg(m_position));
    return static_cast<ub4>(m_position + 1);
}

void TLOBLocator::ensureLocator()
{
    if (m_locator)
        return;
    // An object attribute may carry no locator yet: make a LOB instance in the cache.
    void *instance = nullptr;
    QD_OCI(this, oci(), OCIObjectNew, m_environment, m_errorHandle, service(),
        static_cast<OCITypeCode>(m_lobType), nullptr, nullptr, OCI_DURATION_SESSION, 1, &instance);
    m_locator = static_cast<OCILobLocator *>(instance);
    m_ownsLocator = false;
}

bool TLOBLocator::IsInitialized()
{
    ensureLocator();
    boolean initialized = 0;
    QD_OCI(this, oci(), OCILobLocatorIsInit, m_environment, m_errorHandle, m_locator, &initialized);
    return initialized != 0;
}

bool TLOBLocator::IsNull()
{
    if (m_nullIndicator && *m_nullIndicator != 0)
        return true;
    return !IsInitialized();
}

bool TLOBLocator::IsTemporary()
{
    if (!m_session || !m_session->capabilities().OCI81Available || !m_locator)
        return false;
    boolean temporary = 0;
    QD_OCI(this, oci(), OCILobIsTemporary, m_environment, m_errorHandle, m_locator, &temporary);
    return temporary != 0;
}

qint64 TLOBLocator::Length()
{
    if (IsNull())
        return 0;
    ub4 length = 0;
    QD_OCI(this, oci(), OCILobGetLength, service(), m_errorHandle, m_locator, &length);
    return length;
}

qint64 TLOBLocator::Read(void *buffer, qint64 count)
{
    if (count <= 0 || IsNull())
        return 0;
    if (!buffer)
        throw Exception(QStringLiteral("TLOBLocator: no buffer to read into"));
    if (m_lobType == otBFile)
        OpenFile();
    const ub4 offset = serverOffset();
    ub4 amount = static_cast<ub4>(std::min<qint64>(count, std::numeric_limits<ub4>::max()));
    QD_OCI(this, oci(), OCILobRead, service(), m_errorHandle, m_locator, &amount, offset, buffer,
        amount, nullptr, nullptr, 0, SQLCS_IMPLICIT);
    // A reply claiming more than was asked for is not believed.
    const qint64 read = std::min<qint64>(amount, count);
    m_position += read;
    return read;
}

qint64 TLOBLocator::Write(const void *buffer, qint64 count)
{
    if (count <= 0)
        return 0;
    if (!buffer)
        throw Exception(QStringLiteral("TLOBLocator: no buffer to write from"));
    const ub4 offset = serverOffset();
    ub4 amount = static_cast<ub4>(std::min<qint64>(count, std::numeric_limits<ub4>::max()));
    QD_OCI(this, oci(), OCILobWrite, service(), m_errorHandle, m_locator, &amount, offset,
        const_cast<void *>(buffer), amount, OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT);
    const qint64 written = std::min<qint64>(amount, count);
    m_position += written;
    if (m_buffering)
        m_bufferDirty = true;
    if (m_nullIndicator)
        *m_nullIndicator = 0;
    return written;
}

qint64 TLOBLocator::Seek(qint64 offset, int origin)
{
    switch (origin) {
    case soBeginning:
        m_position = offset;
        break;
    case soCurrent:
        m_position += offset;
        break;
    case soEnd:
        m_position = offset + Length();
        break;
    default:
        break;
    }
    return m_position;
}

qint64 TLOBLocator::Seek(qint64 offset, TSeekOrigin origin)
{
    return Seek(offset, static_cast<int>(origin));
}

qint64 TLOBLocator::Size()
{
    const qint64 position = m_position;
    const qint64 size = Seek(0, soEnd);
    m_position = position;
    return size;
}

void TLOBLocator::SetSize(qint64 newSize)
{
    const qint64 size = Size();
    if (newSize < size) {
        if (newSize < 0)
            throw Exception(QStringLiteral("TLOBLocator: Size %1 out of range").arg(newSize));
        QD_OCI(this, oci(), OCILobTrim, service(), m_errorHandle, m_locator,
            static_cast<ub4>(newSize));
    } else if (newSize > size) {
        Seek(newSize - 1, 0);
        const char unit = m_lobType == otCLOB ? ' ' : '\0';
        Write(&unit, 1);
    }
}

void TLOBLocator::Clear()
{
    if (m_owner) {
        if (m_locator)
            QD_OCI(this, oci(), OCIObjectFree, m_environment, m_errorHandle, m_locator, 0);
        m_locator = nullptr;
        ensureLocator();
    } else {
        freeDescriptor();
        void *descriptor = nullptr;
        QD_OCI(this, oci(), OCIDescriptorAlloc, m_environment, &descriptor, m_descriptorType, 0,
            nullptr);
        m_locator = static_cast<OCILobLocator *>(descriptor);
    }
    m_position = 0;
    if (m_owner)
        m_owner->AttributeChanged(m_ownerAttribute);
    if (m_nullIndicator)
        *m_nullIndicator = -1;
}

bool TLOBLocator::FileIsOpen()
{
    if (m_lobType != otBFile || !m_locator || !IsInitialized())
        return false;
    boolean open = 0;
    QD_OCI(this, oci(), OCILobFileIsOpen, service(), m_errorHandle, m_locator, &open);
    return open != 0;
}

void TLOBLocator::OpenFile()
{
    if (m_lobType != otBFile || FileIsOpen())
        return;
    QD_OCI(this, oci(), OCILobFileOpen, service(), m_errorHandle, m_locator, OCI_FILE_READONLY);
}

void TLOBLocator::CloseFile()
{
    if (m_lobType != otBFile || !m_session || !m_session->Connected() || !FileIsOpen())
        return;
    QD_OCI(this, oci(), OCILobFileClose, service(), m_errorHandle, m_locator);
}

void TLOBLocator::FlushBuffer()
{
    if (!m_buffering || !m_bufferDirty)
        return;
    QD_OCI(
        this, oci(), OCILobFlushBuffer, service(), m_errorHandle, m_locator, OCI_LOB_BUFFER_NOFREE);
    m_bufferDirty = false;
}

void TLOBLocator::ReadAsString(qint64 count, QString &text)
{
    const int width = m_lobType == otCLOB && m_session ? m_session->BytesPerChar() : 1;
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(std::max<qint64>(count, 0) * width));
    Seek(0, 0);
    const qint64 read = Read(bytes.data(), bytes.size());
    bytes.truncate(static_cast<qsizetype>(read));
    if (m_lobType == otCLOB)
        text = FromOracleText(QString::fromUtf8(bytes), m_session);
    else
        text = QString::fromLatin1(bytes);
}

void TLOBLocator::AsString(QString &text)
{
    ReadAsString(Size(), text);
}

QString TLOBLocator::AsString()
{
    QString text;
    AsString(text);
    return text;
}

} // namespace qd
