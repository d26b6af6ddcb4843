#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"
#include "oracle/OracleVariables.h"

#include <gtest/gtest.h>

#include <QtEndian>

using namespace qd;

namespace {

// Builds a stored "Data" stream by hand, as the documented layout has it.
class Stream {
public:
    Stream &i32(qint32 v)
    {
        char b[4];
        qToLittleEndian<qint32>(v, b);
        m_bytes.append(b, 4);
        return *this;
    }
    Stream &bytes(const QByteArray &b)
    {
        m_bytes.append(b);
        return *this;
    }
    Stream &name(const QByteArray &n) { return i32(static_cast<qint32>(n.size())).bytes(n); }
    Stream &data(const QByteArray &d) { return i32(static_cast<qint32>(d.size())).bytes(d); }
    QByteArray done() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

QByteArray le32(qint32 v)
{
    char b[4];
    qToLittleEndian<qint32>(v, b);
    return QByteArray(b, 4);
}

QString readError(const QByteArray &data, TVariables &target)
{
    try {
        target.ReadData(data);
    } catch (const Exception &e) {
        return e.Message();
    }
    return QString();
}

} // namespace

TEST(VariablesStream, VersionOneHoldsNamesAndTypes)
{
    const QByteArray v1 = Stream().i32(1).i32(2).name(":A").i32(5).name(":B").i32(3).done();
    TVariables vars;
    vars.ReadData(v1);
    ASSERT_EQ(vars.Count(), 2);
    EXPECT_EQ(vars.Items(0).name, ":A");
    EXPECT_EQ(vars.Items(0).type, 5);
    EXPECT_EQ(vars.Items(1).name, ":B");
    EXPECT_EQ(vars.Items(1).type, 3);
    EXPECT_EQ(vars.Items(0).FirstIndicator(), -1);
    EXPECT_EQ(vars.Items(1).FirstIndicator(), -1);
}

TEST(VariablesStream, VersionTwoAddsValues)
{
    const ub1 date[7] = { 120, 124, 2, 29, 14, 46, 31 };
    const QByteArray v2 = Stream()
                              .i32(2)
                              .i32(5)
                              .name(":S")
                              .i32(5)
                              .data(QByteArray("hello", 6))
                              .name(":I")
                              .i32(3)
                              .data(le32(-7))
                              .name(":D")
                              .i32(12)
                              .data(QByteArray(reinterpret_cast<const char *>(date), 7))
                              .name(":L")
                              .i32(8)
                              .data(QByteArray("long text", 10))
                              .name(":N")
                              .i32(5)
                              .data(QByteArray())
                              .done();
    TVariables vars;
    vars.ReadData(v2);
    ASSERT_EQ(vars.Count(), 5);
    EXPECT_EQ(vars.Items(0).GetValue(0, nullptr).AsString(), "hello");
    EXPECT_EQ(vars.Items(1).GetValue(0, nullptr).AsInteger(), -7);
    EXPECT_EQ(vars.Items(2).GetValue(0, nullptr).AsDateTime(),
        EncodeDateTime(2024, 2, 29, 13, 45, 30, 0));
    EXPECT_EQ(vars.Items(3).GetValue(0, nullptr).AsString(), "long text");
    EXPECT_EQ(vars.Items(3).length, 9);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(vars.Items(i).FirstIndicator(), 0) << i;
    EXPECT_EQ(vars.Items(4).FirstIndicator(), -1);
}

TEST(VariablesStream, VersionThreeAddsPLSQLTables)
{
    const QByteArray v3 = Stream()
                              .i32(3)
                              .i32(2)
                              .name(":NAMES")
                              .i32(5)
                              .data(QByteArray())
                              .i32(1)
                              .i32(10)
                              .i32(30)
                              .name(":X")
                              .i32(4)
                              .data(QByteArray("\0\0\0\0\0\0\xf8\x3f", 8))
                              .i32(0)
                              .done();
    TVariables vars;
    vars.ReadData(v3);
    ASSERT_EQ(vars.Count(), 2);
    const TVariableData &table = vars.Items(0);
    EXPECT_TRUE(table.isPLSQLTable);
    EXPECT_EQ(table.elementCount, 10);
    EXPECT_EQ(table.bufferSize, 31);
    EXPECT_EQ(table.currentElementCount, 0u);
    EXPECT_EQ(vars.Items(1).GetValue(0, nullptr).AsFloat(), 1.5);
    // Written back in the current version, byte for byte the same.
    EXPECT_EQ(vars.WriteData(), v3);
}

TEST(VariablesStream, EveryKindOfValueRoundTrips)
{
    TVariables vars;
    vars.DeclareVariable("s", SQLT_STR).SetValue(0, QStringLiteral("grüße"), nullptr);
    vars.DeclareVariable("i", SQLT_INT).SetValue(0, 123456, nullptr);
    vars.DeclareVariable("f", SQLT_FLT).SetValue(0, -0.25, nullptr);
    vars.DeclareVariable("d", SQLT_DAT)
        .SetValue(0, Variant::FromDateTime(EncodeDateTime(1066, 10, 14, 9, 30, 0, 0)), nullptr);
    vars.DeclareVariable("l", SQLT_LNG).SetValue(0, QString(9000, u'L'), nullptr);
    vars.DeclareVariable("r", SQLT_LBI).SetValue(0, QByteArray("\x00\xff\x10", 3), nullptr);
    vars.DeclareVariable("sub", SQLT_CHR).SetValue(0, QStringLiteral("emp"), nullptr);
    vars.DeclareVariable("c", SQLT_AVC).SetValue(0, QStringLiteral("char"), nullptr);
    vars.DeclareVariable("p", otLongPLSQLString).SetValue(0, QString(20000, u'p'), nullptr);
    vars.DeclareVariable("nul", SQLT_STR);
    vars.DeclareVariable("lob", SQLT_CLOB);
    vars.DeclareVariable("tab", SQLT_INT);
    vars.DimPLSQLTable("tab", 5, 0);
    vars.DeclareVariable("stab", SQLT_STR);
    vars.DimPLSQLTable("stab", 3, 12);

    const QByteArray stored = vars.WriteData();
    TVariables copy;
    copy.ReadData(stored);
    ASSERT_EQ(copy.Count(), vars.Count());
    EXPECT_FALSE(copy.Differs(vars));
    EXPECT_EQ(copy.WriteData(), stored);
    for (int i = 0; i < vars.Count(); ++i) {
        EXPECT_EQ(copy.Items(i).name, vars.Items(i).name);
        EXPECT_EQ(copy.Items(i).FirstIndicator(), vars.Items(i).FirstIndicator()) << i;
        if (vars.Items(i).FirstIndicator() == 0) {
            EXPECT_EQ(copy.Items(i).GetValue(0, nullptr), vars.Items(i).GetValue(0, nullptr)) << i;
        }
    }
    EXPECT_EQ(copy.Items(4).length, 9000);
    EXPECT_EQ(copy.Items(5).length, 3);
    EXPECT_EQ(copy.Items(6).length, 3);
    EXPECT_EQ(copy.Items(12).bufferSize, 13);
    EXPECT_EQ(copy.Items(12).elementCount, 3);
}

TEST(VariablesStream, DiffersAndShouldWrite)
{
    TVariables a, b;
    EXPECT_FALSE(a.ShouldWriteData(nullptr));
    a.DeclareVariable("x", SQLT_STR);
    EXPECT_TRUE(a.ShouldWriteData(nullptr));
    b.DeclareVariable("x", SQLT_STR);
    EXPECT_FALSE(a.ShouldWriteData(&b));
    a.Items(0).SetValue(0, QStringLiteral("v"), nullptr);
    EXPECT_TRUE(a.Differs(b));
    b.Items(0).SetValue(0, QStringLiteral("v"), nullptr);
    EXPECT_FALSE(a.Differs(b));
    b.Items(0).SetValue(0, QStringLiteral("w"), nullptr);
    EXPECT_TRUE(a.Differs(b));
    b.DeclareVariable("x", SQLT_AVC);
    EXPECT_TRUE(a.Differs(b));
}

TEST(VariablesStream, BadStreamsFailCleanlyAndKeepTheVariables)
{
    const QByteArray good
        = Stream().i32(2).i32(1).name(":A").i32(5).data(QByteArray("a", 2)).done();
    const struct {
        QByteArray data;
        const char *message;
    } cases[] = {
        { QByteArray(), "Corrupt Query variables data: unexpected end while reading the version" },
        { Stream().i32(4).i32(0).done(), "Invalid version of Query variables" },
        { Stream().i32(0).i32(0).done(), "Invalid version of Query variables" },
        { Stream().i32(3).i32(-1).done(), "Corrupt Query variables data: invalid count -1" },
        { Stream().i32(3).i32(1000000).done(),
            "Corrupt Query variables data: invalid count 1000000" },
        { good.left(good.size() - 1),
            "Corrupt Query variables data: invalid length 2 of the data" },
        { good + "x", "Corrupt Query variables data: unexpected data after the last variable" },
        { Stream().i32(1).i32(1).i32(-5).i32(5).done(),
            "Corrupt Query variables data: invalid length -5 of the name" },
        { Stream().i32(1).i32(1).i32(0x7fffffff).i32(5).done(),
            "Corrupt Query variables data: invalid length 2147483647 of the name" },
        { Stream().i32(1).i32(1).name("").i32(5).done(),
            "You cannot declare a variable with an empty name" },
        { Stream().i32(1).i32(1).name(":A").i32(2).done(), "Unsupported variable type" },
        // A stored value larger than the declared buffer is refused, never copied past it.
        { Stream().i32(2).i32(1).name(":I").i32(3).data(QByteArray(64, 'x')).done(),
            "Corrupt Query variables data: a value of 64 bytes for the variable :I of 4 bytes" },
        { Stream().i32(2).i32(1).name(":S").i32(5).data(QByteArray(5000, 'x')).done(),
            "Corrupt Query variables data: a value of 5000 bytes for the variable :S of 4001 "
            "bytes" },
        { Stream().i32(2).i32(1).name(":O").i32(108).data(QByteArray(8, 'x')).done(),
            "Corrupt Query variables data: a value for the object variable :O" },
        { Stream().i32(3).i32(1).name(":T").i32(3).data(QByteArray()).i32(7).done(),
            "Corrupt Query variables data: invalid PL/SQL table flag 7" },
        { Stream().i32(3).i32(1).name(":T").i32(3).data(QByteArray()).i32(1).i32(0).i32(0).done(),
            "You must specify the size of the PL/SQL Table" },
        { Stream()
                .i32(3)
                .i32(1)
                .name(":T")
                .i32(5)
                .data(QByteArray())
                .i32(1)
                .i32(0x7fffffff)
                .i32(0x7ffffffe)
                .done(),
            "Corrupt Query variables data: a PL/SQL table too large for variable :T" },
        { Stream().i32(3).i32(1).name(":T").i32(24).data(QByteArray()).i32(1).i32(3).i32(0).done(),
            "Only PL/SQL Tables of strings, integers, floats and dates supported" },
    };
    for (const auto &c : cases) {
        TVariables vars;
        vars.DeclareVariable("keep", SQLT_INT).SetValue(0, 5, nullptr);
        EXPECT_EQ(readError(c.data, vars), QString::fromUtf8(c.message)) << c.message;
        ASSERT_EQ(vars.Count(), 1);
        EXPECT_EQ(vars.Items(0).name, ":KEEP");
        EXPECT_EQ(vars.Items(0).GetValue(0, nullptr).AsInteger(), 5);
    }
}

TEST(VariablesStream, DeclarationRules)
{
    TVariables vars;
    vars.DeclareVariable("a", SQLT_INT);
    vars.DeclareVariable(":b", SQLT_STR);
    vars.DeclareVariable("A", SQLT_FLT); // replaces :A in its place
    ASSERT_EQ(vars.Count(), 2);
    EXPECT_EQ(vars.Items(0).name, ":A");
    EXPECT_EQ(vars.Items(0).type, SQLT_FLT);
    EXPECT_EQ(vars.VariableIndex(":B"), 1);
    EXPECT_EQ(vars.VariableIndex("b"), 1);
    EXPECT_THROW(vars.Items(2), Exception);
    EXPECT_THROW(vars.DeleteVariable("zz"), Exception);
    EXPECT_THROW(vars.DimPLSQLTable("b", 3, 0), Exception);
    EXPECT_THROW(vars.DimPLSQLTable("a", 3, 5), Exception);
    vars.DeleteVariable("a");
    EXPECT_EQ(vars.Count(), 1);
}

TEST(VariablesStream, StoredStringFillingItsWholeBufferKeepsATerminatingZero)
{
    TVariables vars;
    vars.ReadData(Stream().i32(2).i32(1).name(":S").i32(5).data(QByteArray(4001, 'x')).done());
    EXPECT_EQ(vars.Items(0).GetValue(0, nullptr).AsString(), QString(4000, u'x'));
    TVariables copy;
    copy.ReadData(vars.WriteData());
    EXPECT_FALSE(copy.Differs(vars));
}
