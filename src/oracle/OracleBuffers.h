#pragma once

#include "classlib/Variant.h"
#include "oracle/OracleCI.h"

#include <QString>

#include <memory>
#include <vector>

namespace qd {

class OracleSessionInterface;

// Base of the value classes a buffer slot can own (LOB locators, timestamps, objects), so
// that the records can free them without knowing their classes.
class OracleValueObject {
public:
    virtual ~OracleValueObject() = default;
};

// ---- Variable type codes --------------------------------------------------------------------

// Code 10: a long string for PL/SQL (bound as a null-terminated string).
inline constexpr int otLongPLSQLString = 10;
// The longest text a SQLT_STR or SQLT_AVC variable holds, and its buffer size.
inline constexpr int MaxStringBytes = 4000;

// Bytes per element a variable of the type gets when declared; -1 for a code that cannot be
// declared.
int DeclaredBufferSize(int type);
bool IsStringType(int type); // SQLT_CHR, SQLT_STR, otLongPLSQLString, SQLT_AVC
// Objects, REFs, LOBs, cursors and timestamps.
bool IsComplexType(int type);
bool IsLobType(int type); // SQLT_CLOB, SQLT_BLOB, SQLT_BFILEE
bool IsTimestampType(int type); // SQLT_TIMESTAMP, SQLT_TIMESTAMP_TZ, SQLT_TIMESTAMP_LTZ
// Descriptor kind freed or allocated for a LOB or timestamp type; 0 for other types.
ub4 DescriptorKind(int type);

// ---- Value conversions --------------------------------------------------------------------

// Text on its way to the server: carriage returns are removed unless a session is given
// whose ConvertCRLF preference is off.
QString ToOracleText(const QString &text, const OracleSessionInterface *session);
// Text from the server: line breaks become CR LF unless a session is given whose
// ConvertCRLF preference is off.
QString FromOracleText(const QString &text, const OracleSessionInterface *session);

// The value of one buffer element. buffer points at bufferSize readable bytes; nothing past
// them is read (strings end at their zero or at the end of the buffer). For the complex
// types buffer is the reference itself and is given back as an integer, except for the
// timestamp types, where it is the descriptor, read through the session's client library
// (Unassigned without a session). Unknown types give Unassigned.
Variant BufferToVariant(const void *buffer, qint64 bufferSize, int type, qint64 length,
    OracleSessionInterface *session);

// ---- Bind variables ---------------------------------------------------------------------------

// One declared bind variable: its buffers and the state of its binding.
class TVariableData {
public:
    // Declares the variable with the buffer its type gets (null, one element). Raises
    // "Unsupported variable type" for a code that cannot be declared.
    TVariableData(const QString &name, int type);
    ~TVariableData();
    TVariableData(const TVariableData &) = delete;
    TVariableData &operator=(const TVariableData &) = delete;

    // Frees an owned buffer; buffer becomes null and bufferSize 0.
    void ClearBuffer();
    // Resizes to count elements, all null; a positive stringSize makes elements of
    // stringSize + 1 bytes. Strings of SQLT_STR and SQLT_AVC are capped at the session's longest
    // bind string (2000 without a session) + 1.
    void SetArrayLength(int count, int stringSize, OracleSessionInterface *session);
    // Stores value in an element (see the buffer rules of each type); null and Unassigned
    // make it null. Raises for an index outside the elements.
    void SetValue(int index, const Variant &value, OracleSessionInterface *session);
    // The element's value as BufferToVariant gives it (without looking at its indicator);
    // a timestamp variable gives its instance reference, or its date-time value without one.
    Variant GetValue(int index, OracleSessionInterface *session) const;
    bool IsNull(int index) const;
    // What a variables editor shows, given the variable's current value.
    QString DisplayText(const Variant &currentValue) const;

    // An owned, zero-filled buffer of size bytes (at least one byte is allocated, so the
    // buffer is never null); bufferSize becomes size.
    void AllocateBuffer(qint64 size);
    // Address of an element, null when the index is outside the buffer.
    ub1 *ElementAddress(int index) const;
    // The first indicator, -1 when there is none.
    sb2 FirstIndicator() const { return indicators.empty() ? sb2(-1) : indicators.front(); }
    // Bytes the variable's value takes in the stored "Data" property (0 when null).
    QByteArray StoredData() const;

    QString name;
    ub2 type = 0;
    qint32 bufferSize = 0; // bytes per element
    void *buffer = nullptr; // elements, or the instance reference of a complex type
    std::vector<sb2> indicators; // one per element: -1 null, 0 value present
    qint32 length = 0; // bytes held by LONG, LONG RAW and substitution values
    qint32 lowBound = 0;
    qint32 elementCount = 1;
    bool isPLSQLTable = false;
    ub4 currentElementCount = 0; // elements a PL/SQL table holds now
    bool bufferOwned = false;
    bool isComplex = false;
    OCIBind *bindHandle = nullptr; // both cleared when the statement handle is recreated
    void *boundAddress = nullptr;
    double dateTimeValue = 0; // a timestamp variable given a plain date-time
    std::unique_ptr<OracleValueObject> temporaryTimestamp;

private:
    void setValue(int index, const Variant &value, OracleSessionInterface *session);
    void storeText(const QByteArray &text);
    void storeBytes(const QByteArray &bytes);

    std::unique_ptr<ub1[]> m_ownedBuffer;
    qint64 m_allocated = 0; // bytes of m_ownedBuffer
};

// ---- Field buffers -----------------------------------------------------------------------------

// One piece of a LONG or LONG RAW column fetched piecewise.
struct TLongPiece {
    explicit TLongPiece(qint32 capacity);
    qint32 capacity = 0;
    qint32 usedLength = 0;
    std::unique_ptr<ub1[]> buffer;
};

// One select-list column with its array-fetch buffers.
class TFieldData {
public:
    // oci frees the client descriptors and objects the buffers hold; may be null when the
    // column holds none.
    explicit TFieldData(const OracleEntryPoints *oci = nullptr);
    ~TFieldData();
    TFieldData(const TFieldData &) = delete;
    TFieldData &operator=(const TFieldData &) = delete;

    // Buffers for rows rows of elementSize bytes, zero-filled. Columns whose rows hold
    // references (objects, REFs, LOB and timestamp descriptors, statement handles) get
    // pointer-sized elements whatever elementSize says.
    void AllocateBuffers(int rows, int elementSize);
    ub1 *RowAddress(int row) const;
    // The reference in a row of a reference-holding column.
    void *RowReference(int row) const;
    void SetRowReference(int row, void *reference);

    qint64 TotalLongLength() const;
    void SetObjectHandles(
        OCIType *typeDescriptor, OCIRef *typeReference, OCIEnv *environment, OCIError *errorHandle);
    // Frees the object instances of an object or REF column and zero-fills the row slots.
    void ReleaseObjects();

    qint32 dataSize = 0;
    ub2 dataType = 0;
    QString name;
    sb2 precision = 0;
    sb2 scale = 0;
    sb2 nullable = 0;
    ub2 defineType = 0;
    qint32 elementSize = 0;
    qint32 rowCount = 0;
    std::unique_ptr<ub1[]> data;
    std::vector<sb2> indicatorBuffer;
    std::vector<ub2> lengthBuffer;
    std::vector<TLongPiece> pieces;
    OCIType *typeDescriptor = nullptr;
    OCIRef *typeReference = nullptr;
    OCIEnv *environment = nullptr;
    OCIError *errorHandle = nullptr;
    std::vector<void *> nullStructures; // one per row, for object and REF columns
    QString typeName; // schema.type of an object column
    void *typeInformation = nullptr; // the session's object-type record (not owned)
    std::unique_ptr<OracleValueObject> valueObject;

private:
    bool holdsReferences() const;
    const OracleEntryPoints *m_oci;
};

} // namespace qd
