#pragma once

namespace qd {

class TOracleSession;

// How temporary LOBs are created.
enum TTemporaryLOBOption { tlNone, tlCache, tlNoCache };

// The per-session preference set read by the queries, the buffers, the LOB and object values
// and the datasets. Owned by one session; the session is told about the changes that matter
// to its datasets.
class TSessionPreferences {
public:
    // The defaults; MaxStringFieldSize is 255 when the session's owner derives from a remote
    // data module class.
    explicit TSessionPreferences(TOracleSession *session);
    TSessionPreferences(const TSessionPreferences &) = delete;
    TSessionPreferences &operator=(const TSessionPreferences &) = delete;

    // Copies every property onto another preference set, through its setters.
    void AssignTo(TSessionPreferences &target) const;
    void Assign(const TSessionPreferences &source) { source.AssignTo(*this); }

    TOracleSession *Session() const { return m_session; }

    // NUMBER columns up to this precision are fetched as float; 0 = no limit.
    int FloatPrecision() const { return m_floatPrecision; }
    void SetFloatPrecision(int value);
    // NUMBER columns without decimals up to this precision are fetched as integer;
    // 0 = 9 (10 over the ODBC bridge).
    int IntegerPrecision() const { return m_integerPrecision; }
    void SetIntegerPrecision(int value);
    int SmallIntPrecision() const { return m_smallIntPrecision; }
    void SetSmallIntPrecision(int value);
    // Log on with the older calls even when the handle-based calls are there. Raises when
    // changed while the session is connected.
    bool UseOCI7() const { return m_useOCI7; }
    void SetUseOCI7(bool value);
    bool ConvertCRLF() const { return m_convertCRLF; }
    void SetConvertCRLF(bool value) { m_convertCRLF = value; }
    bool TrimStringFields() const { return m_trimStringFields; }
    void SetTrimStringFields(bool value) { m_trimStringFields = value; }
    int MaxStringFieldSize() const { return m_maxStringFieldSize; }
    void SetMaxStringFieldSize(int value);
    bool ZeroDateIsNull() const { return m_zeroDateIsNull; }
    void SetZeroDateIsNull(bool value) { m_zeroDateIsNull = value; }
    bool NullLOBIsEmpty() const { return m_nullLOBIsEmpty; }
    void SetNullLOBIsEmpty(bool value) { m_nullLOBIsEmpty = value; }
    bool NullObjectIsEmpty() const { return m_nullObjectIsEmpty; }
    void SetNullObjectIsEmpty(bool value) { m_nullObjectIsEmpty = value; }
    TTemporaryLOBOption TemporaryLOB() const { return m_temporaryLOB; }
    void SetTemporaryLOB(TTemporaryLOBOption value) { m_temporaryLOB = value; }
    bool TimestampAsString() const { return m_timestampAsString; }
    void SetTimestampAsString(bool value);

private:
    // A preference that shapes the datasets' fields changed: a designed session reopens them.
    void fieldShapeChanged();

    TOracleSession *m_session;
    int m_floatPrecision = 0;
    int m_integerPrecision = 0;
    int m_smallIntPrecision = -1;
    bool m_useOCI7 = false;
    bool m_convertCRLF = true;
    bool m_trimStringFields = true;
    int m_maxStringFieldSize = 0;
    bool m_zeroDateIsNull = true;
    bool m_nullLOBIsEmpty = false;
    bool m_nullObjectIsEmpty = false;
    TTemporaryLOBOption m_temporaryLOB = tlCache;
    bool m_timestampAsString = false;
};

} // namespace qd
