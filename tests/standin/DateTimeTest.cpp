// Date-time descriptors through the public C interface: TIMESTAMP, WITH TIME ZONE and WITH
// LOCAL TIME ZONE columns bound and fetched through descriptors, milliseconds kept; the parts,
// text conversions and assignment.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace qd::test::standin;

namespace {

constexpr ub4 DTYPE_TIMESTAMP = 68, DTYPE_TIMESTAMP_TZ = 69, DTYPE_TIMESTAMP_LTZ = 70;
constexpr ub2 SQLT_TIMESTAMP = 187, SQLT_TIMESTAMP_TZ = 188, SQLT_TIMESTAMP_LTZ = 232;

template <class F> F exported(const char *name)
{
    auto *p = reinterpret_cast<F>(symbol(name));
    EXPECT_NE(p, nullptr) << "missing export " << name;
    return p;
}

using uchar = unsigned char;

struct DateTimeCalls {
    sword (*Construct)(
        void *, void *, void *, sb2, uchar, uchar, uchar, uchar, uchar, ub4, text *, size_t)
        = exported<decltype(Construct)>("OCIDateTimeConstruct");
    sword (*GetDate)(void *, void *, const void *, sb2 *, uchar *, uchar *)
        = exported<decltype(GetDate)>("OCIDateTimeGetDate");
    sword (*GetTime)(void *, void *, void *, uchar *, uchar *, uchar *, ub4 *)
        = exported<decltype(GetTime)>("OCIDateTimeGetTime");
    sword (*ToText)(void *, void *, const void *, const text *, uchar, uchar, const text *, size_t,
        ub4 *, text *)
        = exported<decltype(ToText)>("OCIDateTimeToText");
    sword (*FromText)(
        void *, void *, const text *, size_t, const text *, uchar, const text *, size_t, void *)
        = exported<decltype(FromText)>("OCIDateTimeFromText");
    sword (*Assign)(void *, void *, const void *, void *)
        = exported<decltype(Assign)>("OCIDateTimeAssign");
};

const DateTimeCalls &dt()
{
    static const DateTimeCalls calls;
    return calls;
}

const text *tx(const char *s)
{
    return reinterpret_cast<const text *>(s);
}

struct Parts {
    int year, month, day, hour, minute, second;
    ub4 fraction;
    bool operator==(const Parts &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Parts &p)
{
    return out << p.year << '-' << p.month << '-' << p.day << ' ' << p.hour << ':' << p.minute
               << ':' << p.second << '.' << p.fraction;
}

class DateTimes : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText(); }
    void TearDown() override
    {
        for (auto [d, type] : descriptors)
            api().DescriptorFree(d, type);
    }

    void *descriptor(ub4 type)
    {
        void *d = nullptr;
        EXPECT_EQ(api().DescriptorAlloc(db.env, &d, type, 0, nullptr), SUCCESS);
        descriptors.emplace_back(d, type);
        return d;
    }

    Parts partsOf(void *d)
    {
        sb2 year = 0;
        uchar month = 0, day = 0, hour = 0, minute = 0, second = 0;
        ub4 fraction = 0;
        EXPECT_EQ(dt().GetDate(db.env, db.err, d, &year, &month, &day), SUCCESS) << db.errorText();
        EXPECT_EQ(dt().GetTime(db.env, db.err, d, &hour, &minute, &second, &fraction), SUCCESS);
        return { year, month, day, hour, minute, second, fraction };
    }

    std::string toText(void *d, const char *format, uchar precision = 6)
    {
        text buffer[100] = {};
        ub4 size = sizeof buffer;
        const sword status = dt().ToText(db.env, db.err, d, tx(format),
            static_cast<uchar>(format ? std::strlen(format) : 0), precision, nullptr, 0, &size,
            buffer);
        EXPECT_EQ(status, SUCCESS) << db.errorText();
        return std::string(reinterpret_cast<char *>(buffer), size);
    }

    Connection db;
    std::vector<std::pair<void *, ub4>> descriptors;
};

} // namespace

TEST_F(DateTimes, TimestampColumnsRoundTripWithMilliseconds)
{
    db.run("drop table stamps");
    ASSERT_EQ(db.run("create table stamps (id number, ts timestamp(3), tz timestamp(3) with time "
                     "zone, ltz timestamp with local time zone)"),
        SUCCESS)
        << db.errorText();
    void *ts = descriptor(DTYPE_TIMESTAMP);
    void *tz = descriptor(DTYPE_TIMESTAMP_TZ);
    void *ltz = descriptor(DTYPE_TIMESTAMP_LTZ);
    ASSERT_EQ(
        dt().Construct(db.env, db.err, ts, 2024, 2, 29, 13, 45, 30, 123000000, nullptr, 0), SUCCESS)
        << db.errorText();
    text zone[] = "+05:30";
    ASSERT_EQ(
        dt().Construct(db.env, db.err, tz, 1999, 12, 31, 23, 59, 59, 999000000, zone, 6), SUCCESS)
        << db.errorText();
    ASSERT_EQ(
        dt().Construct(db.env, db.err, ltz, 2001, 1, 1, 0, 0, 0, 7000000, nullptr, 0), SUCCESS);
    {
        Cursor insert(db, "insert into stamps values (1, :ts, :tz, :ltz)");
        void *b = nullptr;
        ASSERT_EQ(api().BindByPos(insert.stmt, &b, insert.err, 1, &ts, sizeof ts, SQLT_TIMESTAMP,
                      nullptr, nullptr, nullptr, 0, nullptr, DEFAULT),
            SUCCESS);
        api().BindByPos(insert.stmt, &b, insert.err, 2, &tz, sizeof tz, SQLT_TIMESTAMP_TZ, nullptr,
            nullptr, nullptr, 0, nullptr, DEFAULT);
        api().BindByPos(insert.stmt, &b, insert.err, 3, &ltz, sizeof ltz, SQLT_TIMESTAMP_LTZ,
            nullptr, nullptr, nullptr, 0, nullptr, DEFAULT);
        ASSERT_EQ(insert.execute(1), SUCCESS) << insert.errorText();
    }
    Cursor select(db, "select ts, tz, ltz from stamps where id = 1");
    ASSERT_EQ(select.execute(0, 0, DESCRIBE_ONLY), SUCCESS) << select.errorText();
    const ub2 expectedTypes[] = { SQLT_TIMESTAMP, SQLT_TIMESTAMP_TZ, SQLT_TIMESTAMP_LTZ };
    for (ub4 pos = 1; pos <= 3; ++pos) {
        void *param = nullptr;
        ASSERT_EQ(api().ParamGet(select.stmt, HTYPE_STMT, select.err, &param, pos), SUCCESS);
        ub2 type = 0;
        api().AttrGet(param, DTYPE_PARAM, &type, nullptr, ATTR_DATA_TYPE, select.err);
        EXPECT_EQ(type, expectedTypes[pos - 1]) << pos;
    }
    void *out[3] = { descriptor(DTYPE_TIMESTAMP), descriptor(DTYPE_TIMESTAMP_TZ),
        descriptor(DTYPE_TIMESTAMP_LTZ) };
    sb2 ind[3] = { 7, 7, 7 };
    for (ub4 pos = 1; pos <= 3; ++pos) {
        void *d = nullptr;
        ASSERT_EQ(api().DefineByPos(select.stmt, &d, select.err, pos, &out[pos - 1], sizeof(void *),
                      expectedTypes[pos - 1], &ind[pos - 1], nullptr, nullptr, DEFAULT),
            SUCCESS);
    }
    ASSERT_EQ(select.execute(1), SUCCESS) << select.errorText();
    EXPECT_EQ(ind[0], 0);
    EXPECT_EQ(partsOf(out[0]), (Parts { 2024, 2, 29, 13, 45, 30, 123000000 }));
    EXPECT_EQ(partsOf(out[1]), (Parts { 1999, 12, 31, 23, 59, 59, 999000000 }));
    EXPECT_EQ(partsOf(out[2]), (Parts { 2001, 1, 1, 0, 0, 0, 7000000 }));
    EXPECT_EQ(
        toText(out[1], "YYYY-MM-DD HH24:MI:SS.FF3 TZH:TZM"), "1999-12-31 23:59:59.999 +05:30");
}

TEST_F(DateTimes, NullTimestampSetsTheIndicator)
{
    db.run("drop table maybe");
    ASSERT_EQ(db.run("create table maybe (ts timestamp)"), SUCCESS) << db.errorText();
    ASSERT_EQ(db.run("insert into maybe values (null)"), SUCCESS) << db.errorText();
    Cursor select(db, "select ts from maybe");
    void *out = descriptor(DTYPE_TIMESTAMP);
    sb2 ind = 0;
    void *d = nullptr;
    api().DefineByPos(select.stmt, &d, select.err, 1, &out, sizeof out, SQLT_TIMESTAMP, &ind,
        nullptr, nullptr, DEFAULT);
    ASSERT_EQ(select.execute(1), SUCCESS) << select.errorText();
    EXPECT_EQ(ind, -1);
}

TEST_F(DateTimes, TextConversionsAndAssign)
{
    void *a = descriptor(DTYPE_TIMESTAMP);
    ASSERT_EQ(
        dt().Construct(db.env, db.err, a, 2023, 7, 4, 9, 5, 3, 450000000, nullptr, 0), SUCCESS);
    EXPECT_EQ(toText(a, "YYYY-MM-DD HH24:MI:SS.FF3"), "2023-07-04 09:05:03.450");
    EXPECT_EQ(toText(a, "DD.MM.YYYY HH24:MI:SSXFF", 2), "04.07.2023 09:05:03.45");
    EXPECT_EQ(toText(a, nullptr), "04-JUL-23 09.05.03.450000 AM");

    struct Case {
        const char *text;
        const char *format;
        Parts parts;
    } cases[] = {
        { "2023-07-04 09:05:03.45", "YYYY-MM-DD HH24:MI:SS.FF",
            { 2023, 7, 4, 9, 5, 3, 450000000 } },
        { "04.07.2023 21:05:03,123456789", "DD.MM.YYYY HH24:MI:SSXFF9",
            { 2023, 7, 4, 21, 5, 3, 123456789 } },
        { "1988-01-02", nullptr, { 1988, 1, 2, 0, 0, 0, 0 } },
        { "04-JUL-23 09.05.03.450000 PM", nullptr, { 2023, 7, 4, 21, 5, 3, 450000000 } },
    };
    for (const Case &c : cases) {
        void *b = descriptor(DTYPE_TIMESTAMP);
        ASSERT_EQ(dt().FromText(db.env, db.err, tx(c.text), std::strlen(c.text), tx(c.format),
                      static_cast<uchar>(c.format ? std::strlen(c.format) : 0), nullptr, 0, b),
            SUCCESS)
            << c.text << ": " << db.errorText();
        EXPECT_EQ(partsOf(b), c.parts) << c.text;
    }

    void *copy = descriptor(DTYPE_TIMESTAMP_TZ);
    ASSERT_EQ(dt().Assign(db.env, db.err, a, copy), SUCCESS);
    EXPECT_EQ(partsOf(copy), (Parts { 2023, 7, 4, 9, 5, 3, 450000000 }));
}

TEST_F(DateTimes, InvalidPartsAreRefusedWithTheServersErrors)
{
    void *d = descriptor(DTYPE_TIMESTAMP);
    struct Case {
        int year, month, day, hour;
        ub4 fraction;
        int code;
    } cases[] = {
        { 2023, 13, 1, 0, 0, 1843 },
        { 2023, 2, 29, 0, 0, 1847 },
        { 2023, 1, 1, 24, 0, 1850 },
        { 2023, 1, 1, 0, 1000000000, 1880 },
        { 0, 1, 1, 0, 0, 1841 },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(dt().Construct(db.env, db.err, d, static_cast<sb2>(c.year),
                      static_cast<uchar>(c.month), static_cast<uchar>(c.day),
                      static_cast<uchar>(c.hour), 0, 0, c.fraction, nullptr, 0),
            ERROR);
        EXPECT_EQ(db.errorCode(), c.code) << c.month << "/" << c.day;
    }
    text badZone[] = "Mars/Olympus";
    void *z = descriptor(DTYPE_TIMESTAMP_TZ);
    EXPECT_EQ(dt().Construct(db.env, db.err, z, 2023, 1, 1, 0, 0, 0, 0, badZone, 12), ERROR);
    EXPECT_EQ(db.errorCode(), 1857);
    // A descriptor that holds no value has no parts.
    void *empty = descriptor(DTYPE_TIMESTAMP);
    sb2 year;
    uchar month, day;
    EXPECT_EQ(dt().GetDate(db.env, db.err, empty, &year, &month, &day), ERROR);
    const char *bad = "31-FOO-2020";
    EXPECT_EQ(dt().FromText(
                  db.env, db.err, tx(bad), std::strlen(bad), tx("DD-MON-YYYY"), 11, nullptr, 0, d),
        ERROR);
}
