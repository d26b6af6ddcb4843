// Values moving between SQLite and a caller's buffer through the engine's buffer seam: buffers
// made by the client layer from the interface's datatype codes, fetched values stored into
// them (with truncation, nulls and range errors), bound values read from them, and the values
// PL/SQL blocks read and write back.
#include "engine/ClientBuffer.h"
#include "oci/BufferValues.h"
#include "plsql/Value.h"
#include "sql/Dialect.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

using namespace qdsi;
using engine::BufferType;
using engine::ClientBuffer;
using engine::ColumnStyle;

namespace {

// External datatype codes, as a client passes them.
constexpr ub2 CHR = 1, NUM = 2, INT = 3, FLT = 4, STR = 5, VNU = 6, LNG = 8, VCS = 9, DAT = 12,
              BIN = 23, UIN = 68, LVC = 94, AFC = 96, CLOB = 112, CFILE = 115, RDD = 104;

// One in-memory connection; value(expr) is the single column of "SELECT expr".
class ClientBufferTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(sqlite3_open(":memory:", &m_db), SQLITE_OK); }
    void TearDown() override
    {
        sqlite3_finalize(m_row);
        sqlite3_close(m_db);
    }

    sqlite3_value *value(const std::string &expression)
    {
        sqlite3_finalize(m_row);
        m_row = nullptr;
        const std::string sql = "SELECT " + expression;
        EXPECT_EQ(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &m_row, nullptr), SQLITE_OK) << sql;
        EXPECT_EQ(sqlite3_step(m_row), SQLITE_ROW) << sql;
        return sqlite3_column_value(m_row, 0);
    }

    // What a bound element reads as in SQLite: its type name and its text.
    std::pair<std::string, std::string> bound(const ClientBuffer &b, size_t row = 0)
    {
        sqlite3_stmt *st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(m_db, "SELECT typeof(?1), ?1", -1, &st, nullptr), SQLITE_OK);
        engine::bindInput(st, 1, b, row);
        EXPECT_EQ(sqlite3_step(st), SQLITE_ROW);
        std::pair<std::string, std::string> out;
        out.first = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, 1));
        out.second = text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(st, 1)))
                          : std::string("<null>");
        sqlite3_finalize(st);
        return out;
    }

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_row = nullptr;
};

// The ORA code an expression throws, 0 when it throws none.
template <class F> int oraCodeOf(F &&f)
{
    try {
        f();
    } catch (const sql::OraError &e) {
        return e.code;
    }
    return 0;
}

// A buffer of `size` bytes with an indicator and a returned length, as a define makes it.
struct Element {
    explicit Element(ub2 dty, int size)
        : bytes(static_cast<size_t>(size) + 8, '#')
    {
        buffer = oci::clientBuffer(bytes.data(), size, dty, &indicator, &length, nullptr, nullptr);
    }
    std::string bytes;
    sb2 indicator = 99;
    ub2 length = 99;
    ClientBuffer buffer;
};

} // namespace

TEST_F(ClientBufferTest, DatatypeCodesMapOntoTheEngineTypes)
{
    struct Case {
        ub2 dty;
        BufferType type;
    };
    const Case cases[] = {
        { CHR, BufferType::Chars },
        { LNG, BufferType::LongChars },
        { AFC, BufferType::PaddedChars },
        { STR, BufferType::NulChars },
        { 97, BufferType::NulChars },
        { VCS, BufferType::CountedChars },
        { LVC, BufferType::LongCountedChars },
        { INT, BufferType::Integer },
        { UIN, BufferType::Unsigned },
        { FLT, BufferType::Float },
        { NUM, BufferType::Number },
        { VNU, BufferType::VarNumber },
        { DAT, BufferType::Date },
        { BIN, BufferType::Bytes },
        { 24, BufferType::Bytes },
        { CLOB, BufferType::Clob },
        { 113, BufferType::Blob },
        { 114, BufferType::Bfile },
        { CFILE, BufferType::Bfile },
        { 108, BufferType::Object },
        { 110, BufferType::Ref },
        { 187, BufferType::Timestamp },
        { 188, BufferType::TimestampTz },
        { 232, BufferType::TimestampLtz },
        { 116, BufferType::Cursor },
        { RDD, BufferType::Unsupported },
        { 0, BufferType::Unsupported },
    };
    for (const Case &c : cases)
        EXPECT_EQ(oci::bufferTypeOf(c.dty), c.type) << c.dty;
}

TEST_F(ClientBufferTest, WholeNumbersAreStoredOrRefusedBySize)
{
    struct Case {
        const char *expression;
        ub2 dty;
        int size;
        int error; // 0: stored
        int64_t expected;
    };
    const Case cases[] = {
        { "-128", INT, 1, 0, -128 },
        { "128", INT, 1, 1455, 0 },
        { "255", UIN, 1, 0, 255 },
        { "-1", UIN, 2, 1455, 0 },
        { "32767", INT, 2, 0, 32767 },
        { "70000", INT, 2, 1455, 0 },
        { "4294967295", UIN, 4, 0, 4294967295LL },
        { "2147483648", INT, 4, 1455, 0 },
        { "-2147483648", INT, 4, 0, -2147483648LL },
        // Beyond a double's 53 bits: an integer arrives with every bit.
        { "4611686018427387905", INT, 8, 0, 4611686018427387905LL },
        { "2.5", INT, 4, 0, 3 },
        { "-2.5", INT, 4, 0, -3 },
        { "'4 2'", INT, 4, 1722, 0 },
        { "'42 '", INT, 2, 0, 42 },
        { "'forty'", INT, 4, 1722, 0 },
        { "1e300", INT, 8, 1455, 0 },
        { "7", INT, 3, 3001, 0 },
    };
    for (const Case &c : cases) {
        Element e(c.dty, c.size);
        sqlite3_value *v = value(c.expression);
        int code = -1;
        const int error = oraCodeOf([&] { code = engine::storeOutput(v, {}, e.buffer, 0); });
        EXPECT_EQ(error, c.error) << c.expression;
        if (c.error)
            continue;
        EXPECT_EQ(code, 0) << c.expression;
        EXPECT_EQ(e.indicator, 0) << c.expression;
        EXPECT_EQ(e.length, c.size) << c.expression;
        int64_t got = 0;
        switch (c.size) {
        case 1:
            got = c.dty == UIN ? int64_t(uint8_t(e.bytes[0])) : int64_t(int8_t(e.bytes[0]));
            break;
        case 2: {
            int16_t s;
            uint16_t u;
            std::memcpy(&s, e.bytes.data(), 2);
            std::memcpy(&u, e.bytes.data(), 2);
            got = c.dty == UIN ? int64_t(u) : int64_t(s);
            break;
        }
        case 4: {
            int32_t s;
            uint32_t u;
            std::memcpy(&s, e.bytes.data(), 4);
            std::memcpy(&u, e.bytes.data(), 4);
            got = c.dty == UIN ? int64_t(u) : int64_t(s);
            break;
        }
        default:
            std::memcpy(&got, e.bytes.data(), 8);
        }
        EXPECT_EQ(got, c.expected) << c.expression;
        EXPECT_EQ(e.bytes[static_cast<size_t>(c.size)], '#') << "wrote past the element";
    }
}

TEST_F(ClientBufferTest, TextIsCutPaddedOrCountedAsTheBufferAsks)
{
    struct Case {
        const char *expression;
        ub2 dty;
        int size;
        ColumnStyle style;
        int code;
        std::string expected; // the element's bytes
        ub2 length;
        sb2 indicator;
    };
    const Case cases[] = {
        { "'abc'", STR, 8, {}, 0, std::string("abc\0", 4), 3, 0 },
        { "'abc'", STR, 3, {}, 1406, std::string("ab\0", 3), 2, 3 },
        { "'abc'", CHR, 3, {}, 0, "abc", 3, 0 },
        { "'abcdef'", CHR, 4, {}, 1406, "abcd", 4, 6 },
        { "'abc'", AFC, 5, {}, 0, "abc  ", 5, 0 },
        { "'abc'", VCS, 6, {}, 0, std::string("\3\0abc", 5), 3, 0 },
        { "'abc'", VCS, 4, {}, 1406, std::string("\2\0ab", 4), 2, 3 },
        { "'abc'", LNG, 8, {}, 0, "abc", 3, 0 },
        // Numbers and dates are shown as the server shows them, RAW in upper-case hex.
        { "42", STR, 8, {}, 0, std::string("42\0", 3), 2, 0 },
        { "-7", CHR, 8, {}, 0, "-7", 2, 0 },
        { "'2024-02-29 13:05:59'", CHR, 20, { 12, "YYYY-MM-DD" }, 0, "2024-02-29", 10, 0 },
        { "'AB'", CHR, 8, { 23, {} }, 0, "4142", 4, 0 },
        { "x'00ff'", CHR, 8, {}, 0, "00FF", 4, 0 },
        { "x'00ff10'", BIN, 8, {}, 0, std::string("\0\xff\x10", 3), 3, 0 },
        { "x'00ff10'", BIN, 2, {}, 1406, std::string("\0\xff", 2), 2, 3 },
    };
    for (const Case &c : cases) {
        Element e(c.dty, c.size);
        const int code = engine::storeOutput(value(c.expression), c.style, e.buffer, 0);
        EXPECT_EQ(code, c.code) << c.expression << " as " << c.dty;
        EXPECT_EQ(e.bytes.substr(0, c.expected.size()), c.expected) << c.expression;
        EXPECT_EQ(e.length, c.length) << c.expression << " as " << c.dty;
        EXPECT_EQ(e.indicator, c.indicator) << c.expression << " as " << c.dty;
        EXPECT_EQ(e.bytes[static_cast<size_t>(c.size)], '#') << "wrote past the element";
    }
}

TEST_F(ClientBufferTest, NullsAndDatesAndArrays)
{
    // A NULL sets the indicator; without one the column's code is ORA-01405.
    Element withIndicator(STR, 8);
    EXPECT_EQ(engine::storeOutput(value("NULL"), {}, withIndicator.buffer, 0), 0);
    EXPECT_EQ(withIndicator.indicator, -1);
    EXPECT_EQ(withIndicator.length, 0);
    Element bare(INT, 4);
    bare.buffer.indicator = nullptr;
    EXPECT_EQ(engine::storeOutput(value("NULL"), {}, bare.buffer, 0), 1405);

    Element date(DAT, 7);
    EXPECT_EQ(engine::storeOutput(value("'2024-02-29 13:05:59'"), {}, date.buffer, 0), 0);
    const unsigned char expected[] = { 120, 124, 2, 29, 14, 6, 60 };
    EXPECT_EQ(std::memcmp(date.bytes.data(), expected, 7), 0);
    EXPECT_EQ(date.length, 7);
    EXPECT_EQ(
        oraCodeOf([&] { engine::storeOutput(value("'yesterday'"), {}, date.buffer, 0); }), 1861);
    Element shortDate(DAT, 6);
    EXPECT_EQ(oraCodeOf([&] {
        engine::storeOutput(value("'2024-02-29 13:05:59'"), {}, shortDate.buffer, 0);
    }),
        1861);

    // Element 2 of an array of structs: value, indicator and length at their own strides.
    struct Row {
        int32_t number;
        sb2 indicator;
        ub2 length;
    } rows[3] {};
    ClientBuffer b = oci::clientBuffer(
        &rows[0].number, 4, INT, &rows[0].indicator, &rows[0].length, nullptr, nullptr);
    b.skip = b.indicatorSkip = b.lengthSkip = sizeof(Row);
    rows[2].indicator = 5;
    EXPECT_EQ(engine::storeOutput(value("123"), {}, b, 2), 0);
    EXPECT_EQ(rows[2].number, 123);
    EXPECT_EQ(rows[2].indicator, 0);
    EXPECT_EQ(rows[2].length, 4);
    EXPECT_EQ(rows[0].number, 0);
    EXPECT_EQ(rows[1].length, 0);

    // Types that no fetched value goes into.
    Element number(NUM, 22);
    EXPECT_EQ(oraCodeOf([&] { engine::storeOutput(value("1"), {}, number.buffer, 0); }), 3001);
    Element unknown(RDD, 8);
    EXPECT_EQ(oraCodeOf([&] { engine::storeOutput(value("1"), {}, unknown.buffer, 0); }), 3001);
}

TEST_F(ClientBufferTest, BoundElementsReadAsSqliteValues)
{
    const int16_t minus5 = -5;
    const uint16_t max16 = 65535;
    const float quarter = 0.25f;
    const char nul[] = "ab\0zz";
    const char counted[] = "\3\0xyzq";
    const unsigned char date[] = { 120, 124, 2, 29, 14, 6, 60 };
    const unsigned char raw[] = { 0x01, 0xAB };
    ub2 threeLong = 3, noLength = 0;
    struct Case {
        ClientBuffer buffer;
        const char *type;
        std::string text;
    };
    auto make = [](const void *data, sb4 size, ub2 dty, ub2 *length = nullptr) {
        return oci::clientBuffer(
            const_cast<void *>(data), size, dty, nullptr, length, nullptr, nullptr);
    };
    const Case cases[] = {
        { make(&minus5, 2, INT), "integer", "-5" },
        { make(&max16, 2, UIN), "integer", "65535" },
        { make(&quarter, 4, FLT), "real", "0.25" },
        { make(nul, 5, STR), "text", "ab" },
        { make("abcdef", 6, CHR, &threeLong), "text", "abc" },
        // The server takes an empty string for NULL.
        { make("abcdef", 6, CHR, &noLength), "null", "<null>" },
        { make(counted, 6, VCS), "text", "xyz" },
        { make(date, 7, DAT), "text", "2024-02-29 13:05:59" },
        { make(raw, 2, BIN), "blob", "\x01\xAB" },
        { make(nullptr, 0, INT), "null", "<null>" },
    };
    for (const Case &c : cases) {
        const auto [type, text] = bound(c.buffer);
        EXPECT_EQ(type, c.type) << c.text;
        EXPECT_EQ(text, c.text);
    }

    int32_t number = 9;
    sb2 nullIndicator = -1;
    ClientBuffer withIndicator
        = oci::clientBuffer(&number, 4, INT, &nullIndicator, nullptr, nullptr, nullptr);
    EXPECT_EQ(bound(withIndicator).first, "null");

    sqlite3_stmt *st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(m_db, "SELECT ?1", -1, &st, nullptr), SQLITE_OK);
    const struct {
        ClientBuffer buffer;
        int error;
    } refused[] = {
        { make(&number, 3, INT), 3001 },
        { make(&number, 8, UIN), 3001 },
        { make(&number, 2, FLT), 3001 },
        { make(counted, 1, VCS), 3001 },
        { make(date, 6, DAT), 3001 },
        { make(&number, 4, NUM), 3001 },
        { make(&number, 4, RDD), 3001 },
    };
    for (const auto &r : refused)
        EXPECT_EQ(oraCodeOf([&] { engine::bindInput(st, 1, r.buffer, 0); }), r.error);
    sqlite3_finalize(st);
}

TEST_F(ClientBufferTest, BlockBindsReadAndWriteBackEveryForm)
{
    using plsql::Value;
    // Numbers in the server's NUMBER bytes come back as they went.
    for (const Value &v : { Value::fromInteger(12345), Value::fromInteger(-7),
             Value::fromInteger(0), Value::fromReal(-1.5), Value::fromReal(0.001234) }) {
        for (ub2 dty : { NUM, VNU }) {
            Element e(dty, 22);
            engine::writeBlockBind(e.buffer, 0, v, "DD-MON-RR");
            EXPECT_EQ(e.indicator, 0);
            const Value back = engine::readBlockBind(e.buffer, 0);
            EXPECT_DOUBLE_EQ(back.toReal(), v.toReal()) << v.toText() << " as " << dty;
        }
    }

    // Text forms: written, then read back as the same text; the room each leaves for it.
    const struct {
        ub2 dty;
        int room;
    } forms[] = { { CHR, 12 }, { STR, 11 }, { VCS, 10 }, { LVC, 8 }, { AFC, 12 } };
    for (const auto &f : forms) {
        Element e(f.dty, 12);
        EXPECT_EQ(engine::textRoom(e.buffer), f.room) << f.dty;
        engine::writeBlockBind(e.buffer, 0, Value::fromText("hello"), "DD-MON-RR");
        const std::string back = engine::readBlockBind(e.buffer, 0).toText();
        EXPECT_EQ(f.dty == AFC ? back.substr(0, 5) : back, "hello") << f.dty;
    }

    // Too long for the buffer, too large for the integer: ORA-06502; a date into a text
    // buffer in the session's format.
    Element small(STR, 4);
    EXPECT_EQ(oraCodeOf([&] {
        engine::writeBlockBind(small.buffer, 0, Value::fromText("hello"), "DD-MON-RR");
    }),
        6502);
    Element byte(INT, 1);
    EXPECT_EQ(oraCodeOf([&] {
        engine::writeBlockBind(byte.buffer, 0, Value::fromInteger(300), "DD-MON-RR");
    }),
        6502);
    Element text(CHR, 20);
    engine::writeBlockBind(text.buffer, 0, Value::fromDate("2024-02-29 13:05:59"), "YYYY/MM/DD");
    EXPECT_EQ(text.bytes.substr(0, text.length), "2024/02/29");

    // A NULL sets the indicator; a buffer type blocks do not take is ORA-03001.
    Element date(DAT, 7);
    engine::writeBlockBind(date.buffer, 0, Value::null(), "DD-MON-RR");
    EXPECT_EQ(date.indicator, -1);
    EXPECT_TRUE(engine::readBlockBind(date.buffer, 0).isNull());
    Element raw(BIN, 4);
    raw.indicator = 0;
    EXPECT_EQ(oraCodeOf([&] { engine::readBlockBind(raw.buffer, 0); }), 3001);
}
