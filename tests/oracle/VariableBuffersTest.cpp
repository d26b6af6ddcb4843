#include "FakeOracleSession.h"

#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"
#include "oracle/OracleBuffers.h"
#include "oracle/OracleDate.h"
#include "oracle/OracleError.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace qd;
using qd::test::FakeOracleSession;

TEST(VariableBuffers, DeclarationGivesTheBufferOfTheType)
{
    const struct {
        int type;
        int size;
        bool complex;
    } cases[] = {
        { 1, 0, false },
        { 3, 4, false },
        { 4, 8, false },
        { 5, 4001, false },
        { 8, 0, false },
        { 10, 32513, false },
        { 12, 7, false },
        { 24, 0, false },
        { 97, 4001, false },
        { 108, 0, true },
        { 110, 0, true },
        { 112, 0, true },
        { 113, 0, true },
        { 114, 0, true },
        { 116, 0, true },
        { 187, 0, true },
        { 188, 0, true },
        { 232, 0, true },
    };
    for (const auto &c : cases) {
        TVariableData v(":V", c.type);
        EXPECT_EQ(v.bufferSize, c.size) << c.type;
        EXPECT_EQ(v.isComplex, c.complex) << c.type;
        EXPECT_EQ(v.bufferOwned, c.size > 0) << c.type;
        EXPECT_EQ(v.FirstIndicator(), -1) << c.type;
        EXPECT_EQ(v.elementCount, 1);
    }
    for (int bad : { 0, 2, 6, 9, 11, 96, 104, 252, -1, 65535 })
        EXPECT_THROW(TVariableData(":V", bad), Exception) << bad;
    // Handles and references live in pointer-sized slots.
    static_assert(sizeof(TVariableData::buffer) == sizeof(void *));
    static_assert(sizeof(TVariableData::boundAddress) == sizeof(void *));
    static_assert(sizeof(TVariableData::bindHandle) == sizeof(void *));
}

TEST(VariableBuffers, StringsAreCutAtTheBufferWithoutSplittingCharacters)
{
    TVariableData v(":S", SQLT_STR);
    v.SetValue(0, QString(5000, u'x'), nullptr);
    EXPECT_EQ(v.FirstIndicator(), 0);
    EXPECT_EQ(v.GetValue(0, nullptr).AsString(), QString(4000, u'x'));

    // 3999 ASCII letters and a two-byte letter: the letter would need bytes 4000 and 4001.
    v.SetValue(0, QString(3999, u'a') + QStringLiteral("é"), nullptr);
    EXPECT_EQ(v.GetValue(0, nullptr).AsString(), QString(3999, u'a'));

    v.SetValue(0, QStringLiteral("line1\r\nline2"), nullptr);
    EXPECT_EQ(v.GetValue(0, nullptr).AsString(), QStringLiteral("line1\r\nline2"));
    const char *raw = static_cast<const char *>(v.buffer);
    EXPECT_STREQ(raw, "line1\nline2");

    FakeOracleSession keep;
    keep.convertCRLF = false;
    v.SetValue(0, QStringLiteral("a\r\nb"), &keep);
    EXPECT_STREQ(static_cast<const char *>(v.buffer), "a\r\nb");

    v.SetValue(0, Variant::Null(), nullptr);
    EXPECT_EQ(v.FirstIndicator(), -1);
}

TEST(VariableBuffers, ZeroDateIsNullOnlyWithThePreferenceOrWithoutSession)
{
    FakeOracleSession zeroIsNull;
    FakeOracleSession zeroIsDate;
    zeroIsDate.zeroDateIsNull = false;
    const struct {
        OracleSessionInterface *session;
        sb2 indicator;
    } cases[] = { { nullptr, -1 }, { &zeroIsNull, -1 }, { &zeroIsDate, 0 } };
    for (const auto &c : cases) {
        TVariableData d(":D", SQLT_DAT);
        d.SetValue(0, Variant::FromDateTime(0.0), c.session);
        EXPECT_EQ(d.FirstIndicator(), c.indicator);
        TVariableData t(":T", SQLT_TIMESTAMP);
        t.SetValue(0, Variant::FromDateTime(0.0), c.session);
        EXPECT_EQ(t.FirstIndicator(), c.indicator);
    }
    TVariableData d(":D", SQLT_DAT);
    d.SetValue(0, Variant::FromDateTime(0.0), &zeroIsDate);
    const ub1 expected[7] = { 118, 199, 12, 30, 1, 1, 1 };
    EXPECT_EQ(std::memcmp(d.buffer, expected, 7), 0);

    d.SetValue(0, QStringLiteral("2024-03-01 10:11:12"), nullptr);
    EXPECT_EQ(d.GetValue(0, nullptr).AsDateTime(), EncodeDateTime(2024, 3, 1, 10, 11, 12, 0));
    EXPECT_THROW(
        {
            try {
                d.SetValue(0, QStringLiteral("not a date"), nullptr);
            } catch (const Exception &e) {
                EXPECT_EQ(e.Message(), "Variant conversion error for variable :D");
                throw;
            }
        },
        Exception);
}

TEST(VariableBuffers, LongRawTakesOnlyOneDimensionalBytes)
{
    TVariableData v(":R", SQLT_LBI);
    v.SetValue(0, QByteArray("\x00\x01\xfe", 3), nullptr);
    EXPECT_EQ(v.length, 3);
    EXPECT_EQ(v.bufferSize, 3);
    EXPECT_EQ(v.GetValue(0, nullptr).AsBytes(), QByteArray("\x00\x01\xfe", 3));

    const Variant twoDimensional(
        VariantArray { Variant(VariantArray { 1, 2 }), Variant(VariantArray { 3, 4 }) });
    for (const Variant &bad : { twoDimensional, Variant(VariantArray { 1, 2 }), Variant(1.5) }) {
        try {
            v.SetValue(0, bad, nullptr);
            ADD_FAILURE() << "accepted";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), "Only one-dimensional array of bytes allowed for :R");
        }
    }
    // The refused value left the earlier one in place.
    EXPECT_EQ(v.GetValue(0, nullptr).AsBytes(), QByteArray("\x00\x01\xfe", 3));
}

TEST(VariableBuffers, LongAndSubstitutionValuesSizeTheBuffer)
{
    for (int type : { SQLT_LNG, SQLT_CHR }) {
        TVariableData v(":L", type);
        const QString text(70000, u'z');
        v.SetValue(0, text, nullptr);
        EXPECT_EQ(v.bufferSize, 70001);
        EXPECT_EQ(v.length, 70000);
        EXPECT_EQ(v.GetValue(0, nullptr).AsString(), text);
    }
}

TEST(VariableBuffers, IntegersFloatsAndComplexReferences)
{
    TVariableData i(":I", SQLT_INT);
    i.SetValue(0, 42, nullptr);
    EXPECT_EQ(i.GetValue(0, nullptr).AsInteger(), 42);
    EXPECT_THROW(i.SetValue(0, qint64(1) << 40, nullptr), Exception);
    EXPECT_THROW(i.SetValue(1, 1, nullptr), Exception);

    TVariableData f(":F", SQLT_FLT);
    f.SetValue(0, 2.5, nullptr);
    EXPECT_EQ(f.GetValue(0, nullptr).AsFloat(), 2.5);

    int object = 0;
    TVariableData c(":C", SQLT_CLOB);
    c.SetValue(0, Variant(static_cast<qint64>(reinterpret_cast<qintptr>(&object))), nullptr);
    EXPECT_EQ(c.buffer, &object);
    EXPECT_EQ(c.FirstIndicator(), 0);
    EXPECT_EQ(c.GetValue(0, nullptr).AsInteger(), reinterpret_cast<qintptr>(&object));
    try {
        c.SetValue(0, QStringLiteral("text"), nullptr);
        ADD_FAILURE() << "accepted";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "Pass LongInt(Object) to complex variable :C");
    }
    c.SetValue(0, Variant::Null(), nullptr);
    EXPECT_EQ(c.buffer, nullptr);
    EXPECT_EQ(c.FirstIndicator(), -1);

    // A timestamp variable holds an instance or a plain date-time.
    TVariableData t(":T", SQLT_TIMESTAMP_TZ);
    const double when = EncodeDateTime(2010, 1, 2, 3, 4, 5, 0);
    t.SetValue(0, Variant::FromDateTime(when), nullptr);
    EXPECT_EQ(t.FirstIndicator(), 0);
    EXPECT_EQ(t.GetValue(0, nullptr).AsDateTime(), when);
    t.SetValue(0, QStringLiteral("2010-01-02 03:04:05"), nullptr);
    EXPECT_EQ(t.GetValue(0, nullptr).AsDateTime(), when);
    t.SetValue(0, Variant(static_cast<qint64>(reinterpret_cast<qintptr>(&object))), nullptr);
    EXPECT_EQ(t.buffer, &object);
    EXPECT_EQ(t.dateTimeValue, 0.0);
    EXPECT_EQ(t.GetValue(0, nullptr).AsInteger(), reinterpret_cast<qintptr>(&object));
    t.SetValue(0, Variant(qint64(0)), nullptr);
    EXPECT_EQ(t.FirstIndicator(), -1);
}

TEST(VariableBuffers, SetArrayLengthResizesAndCapsStrings)
{
    FakeOracleSession session;
    session.maxBindString = 1000;
    TVariableData v(":S", SQLT_STR);
    v.SetArrayLength(3, 0, &session);
    EXPECT_EQ(v.elementCount, 3);
    EXPECT_EQ(v.bufferSize, 1001);
    EXPECT_EQ(v.indicators, std::vector<sb2>({ -1, -1, -1 }));
    v.SetValue(2, QString(2000, u'q'), &session);
    EXPECT_EQ(v.GetValue(2, &session).AsString().size(), 1000);

    v.SetArrayLength(4, 20, nullptr);
    EXPECT_EQ(v.bufferSize, 21);
    v.SetValue(3, QStringLiteral("abcdefghijklmnopqrstuvwxyz"), nullptr);
    EXPECT_EQ(v.GetValue(3, nullptr).AsString(), QStringLiteral("abcdefghijklmnopqrst"));

    // Unchanged count and string size: the values stay.
    v.SetArrayLength(4, 20, nullptr);
    EXPECT_EQ(v.GetValue(3, nullptr).AsString(), QStringLiteral("abcdefghijklmnopqrst"));

    EXPECT_THROW(v.SetArrayLength(1 << 20, 1 << 20, nullptr), Exception);
    EXPECT_EQ(v.elementCount, 4);
}

TEST(VariableBuffers, DisplayText)
{
    TVariableData s(":S", SQLT_STR);
    EXPECT_EQ(s.DisplayText(Variant()), "Null");
    EXPECT_EQ(s.DisplayText(Variant::Null()), "Null");
    EXPECT_EQ(s.DisplayText(QStringLiteral("x")), "x");
    const struct {
        int type;
        const char *text;
    } cases[]
        = { { 8, "(Long)" }, { 24, "(Long Raw)" }, { 108, "(Object)" }, { 110, "(Reference)" },
              { 112, "(CLOB)" }, { 113, "(BLOB)" }, { 114, "(BFile)" }, { 116, "(Cursor)" } };
    for (const auto &c : cases)
        EXPECT_EQ(TVariableData(":V", c.type).DisplayText(QStringLiteral("v")), c.text);
    s.SetArrayLength(2, 0, nullptr);
    EXPECT_EQ(s.DisplayText(QStringLiteral("x")), "(Array)");
    s.isPLSQLTable = true;
    EXPECT_EQ(s.DisplayText(QStringLiteral("x")), "(PL/SQL Table)");
}

TEST(VariableBuffers, BufferToVariantNeverReadsPastTheBuffer)
{
    const char noZero[4] = { 'a', 'b', 'c', 'd' };
    EXPECT_EQ(BufferToVariant(noZero, 4, SQLT_STR, 0, nullptr).AsString(), "abcd");
    EXPECT_EQ(BufferToVariant(noZero, 2, SQLT_LNG, 100, nullptr).AsString(), "ab");
    EXPECT_EQ(BufferToVariant(noZero, 4, SQLT_LBI, 3, nullptr).AsBytes(), QByteArray("abc"));
    EXPECT_TRUE(BufferToVariant(noZero, 2, SQLT_INT, 0, nullptr).IsUnassigned());
    EXPECT_TRUE(BufferToVariant(noZero, 4, SQLT_DAT, 0, nullptr).IsUnassigned());
    EXPECT_TRUE(BufferToVariant(noZero, 4, 2, 0, nullptr).IsUnassigned());
    EXPECT_EQ(BufferToVariant("x\ny", 4, SQLT_STR, 0, nullptr).AsString(), "x\r\ny");
}

TEST(VariableBuffers, LineBreakConversions)
{
    FakeOracleSession off;
    off.convertCRLF = false;
    EXPECT_EQ(ToOracleText("a\r\nb\rc", nullptr), "a\nbc");
    EXPECT_EQ(ToOracleText("a\r\nb", &off), "a\r\nb");
    EXPECT_EQ(FromOracleText("a\nb\r\nc\rd", nullptr), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(FromOracleText("a\nb", &off), "a\nb");
}

namespace {

struct FreeLog {
    std::vector<std::pair<void *, ub4>> descriptors;
    std::vector<std::pair<void *, ub4>> handles;
    std::vector<void *> objects;
    std::vector<void *> unpinned;
};
FreeLog freeLog;

sword logDescriptorFree(void *d, ub4 kind)
{
    freeLog.descriptors.emplace_back(d, kind);
    return 0;
}
sword logHandleFree(void *h, ub4 kind)
{
    freeLog.handles.emplace_back(h, kind);
    return 0;
}
sword logObjectFree(OCIEnv *, OCIError *, void *instance, ub2)
{
    freeLog.objects.push_back(instance);
    return 0;
}
sword logObjectUnpin(OCIEnv *, OCIError *, void *object)
{
    freeLog.unpinned.push_back(object);
    return 0;
}

} // namespace

TEST(FieldBuffers, FreeWhatTheirRowsHoldThroughTheClientLibrary)
{
    OracleEntryPoints oci;
    oci.OCIDescriptorFree = logDescriptorFree;
    oci.OCIHandleFree = logHandleFree;
    oci.OCIObjectFree = logObjectFree;
    oci.OCIObjectUnpin = logObjectUnpin;
    int a = 0, b = 0, tdo = 0, ref = 0;
    const struct {
        ub2 type;
        ub4 kind;
    } cases[] = { { SQLT_BFILEE, OCI_DTYPE_FILE }, { SQLT_CLOB, OCI_DTYPE_LOB },
        { SQLT_TIMESTAMP_TZ, OCI_DTYPE_TIMESTAMP_TZ },
        { SQLT_TIMESTAMP_LTZ, OCI_DTYPE_TIMESTAMP_LTZ }, { SQLT_TIMESTAMP, OCI_DTYPE_TIMESTAMP } };
    for (const auto &c : cases) {
        freeLog = {};
        {
            TFieldData field(&oci);
            field.defineType = c.type;
            field.AllocateBuffers(3, 4);
            EXPECT_EQ(field.elementSize, static_cast<int>(sizeof(void *)));
            field.SetRowReference(0, &a);
            field.SetRowReference(2, &b);
        }
        EXPECT_EQ(freeLog.descriptors,
            (std::vector<std::pair<void *, ub4>> { { &a, c.kind }, { &b, c.kind } }));
    }

    freeLog = {};
    {
        TFieldData cursor(&oci);
        cursor.defineType = SQLT_RSET;
        cursor.AllocateBuffers(2, 0);
        cursor.SetRowReference(1, &a);
    }
    EXPECT_EQ(freeLog.handles, (std::vector<std::pair<void *, ub4>> { { &a, OCI_HTYPE_STMT } }));

    freeLog = {};
    {
        TFieldData object(&oci);
        object.defineType = SQLT_NTY;
        object.AllocateBuffers(2, 4);
        EXPECT_EQ(object.nullStructures.size(), 2u);
        object.SetRowReference(0, &a);
        object.SetRowReference(1, &b);
        object.SetObjectHandles(
            reinterpret_cast<OCIType *>(&tdo), reinterpret_cast<OCIRef *>(&ref), nullptr, nullptr);
        object.ReleaseObjects();
        EXPECT_EQ(object.RowReference(0), nullptr);
        EXPECT_EQ(freeLog.objects, (std::vector<void *> { &a, &b }));
        freeLog = {};
    }
    EXPECT_EQ(freeLog.unpinned, (std::vector<void *> { &tdo }));
    EXPECT_EQ(freeLog.objects, (std::vector<void *> { &ref }));
}

TEST(FieldBuffers, LongPiecesAndRowAddresses)
{
    TFieldData field;
    field.defineType = SQLT_LNG;
    field.pieces.emplace_back(100);
    field.pieces.emplace_back(50);
    field.pieces[0].usedLength = 100;
    field.pieces[1].usedLength = 20;
    EXPECT_EQ(field.TotalLongLength(), 120);
    field.AllocateBuffers(4, 10);
    EXPECT_EQ(field.RowAddress(3) - field.RowAddress(0), 30);
    EXPECT_EQ(field.RowAddress(4), nullptr);
    EXPECT_EQ(field.RowReference(0), nullptr);
    EXPECT_THROW(field.SetRowReference(0, &field), Exception);
}

namespace {

sword fixedDate(void *, OCIError *, const OCIDateTime *, sb2 *yr, ub1 *mnth, ub1 *dy)
{
    *yr = 2001;
    *mnth = 9;
    *dy = 11;
    return OCI_SUCCESS;
}

sword fixedTime(void *, OCIError *, OCIDateTime *, ub1 *hr, ub1 *mm, ub1 *ss, ub4 *fsec)
{
    *hr = 8;
    *mm = 46;
    *ss = 40;
    *fsec = 500000000;
    return OCI_SUCCESS;
}

sword failingTime(void *, OCIError *, OCIDateTime *, ub1 *, ub1 *, ub1 *, ub4 *)
{
    return OCI_ERROR;
}

sword timestampError(void *, ub4, OraText *, sb4 *code, OraText *buffer, ub4, ub4)
{
    *code = 1878;
    std::strcpy(reinterpret_cast<char *>(buffer), "ORA-01878: specified field not found");
    return OCI_SUCCESS;
}

} // namespace

TEST(VariableBuffers, TimestampDescriptorsAreReadThroughTheSessionsLibrary)
{
    FakeOracleSession session;
    session.oci.OCIDateTimeGetDate = fixedDate;
    session.oci.OCIDateTimeGetTime = fixedTime;
    session.oci.OCIErrorGet = timestampError;
    int descriptor = 0;
    int errorHandle = 0;
    session.error = reinterpret_cast<OCIError *>(&errorHandle);
    for (int type : { SQLT_TIMESTAMP, SQLT_TIMESTAMP_TZ, SQLT_TIMESTAMP_LTZ }) {
        const Variant v = BufferToVariant(&descriptor, 0, type, 0, &session);
        ASSERT_EQ(v.Kind(), VariantKind::DateTime);
        EXPECT_DOUBLE_EQ(v.AsDateTime(), EncodeDateTime(2001, 9, 11, 8, 46, 40, 500));
        EXPECT_TRUE(BufferToVariant(&descriptor, 0, type, 0, nullptr).IsUnassigned());
    }
    session.oci.OCIDateTimeGetTime = failingTime;
    try {
        BufferToVariant(&descriptor, 0, SQLT_TIMESTAMP, 0, &session);
        ADD_FAILURE() << "a failed read was accepted";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 1878);
    }
}
