#include "classlib/Variant.h"
#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"

#include <QDateTime>
#include <QPoint>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using qd::EConvertError;
using qd::Variant;
using qd::VariantArray;
using qd::VariantKind;

namespace {

// Runs fn and returns the EConvertError message, or "<no error>".
QString convertError(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const EConvertError &e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(Variant, UnassignedAndNullAreDistinct)
{
    const Variant unassigned;
    const Variant null = Variant::Null();
    EXPECT_EQ(unassigned.Kind(), VariantKind::Unassigned);
    EXPECT_TRUE(unassigned.IsUnassigned());
    EXPECT_TRUE(unassigned.IsEmpty());
    EXPECT_FALSE(unassigned.IsNull());
    EXPECT_EQ(null.Kind(), VariantKind::Null);
    EXPECT_TRUE(null.IsNull());
    EXPECT_FALSE(null.IsUnassigned());
    EXPECT_FALSE(null.IsEmpty());
    EXPECT_TRUE(null.IsNullOrEmpty());
    EXPECT_TRUE(unassigned.IsNullOrEmpty());
    EXPECT_FALSE(Variant(0).IsNullOrEmpty());
    EXPECT_FALSE(Variant(QString()).IsNullOrEmpty());

    EXPECT_NE(unassigned, null);
    EXPECT_EQ(null, Variant::Null());
    EXPECT_EQ(unassigned, Variant::Unassigned());

    // Unassigned reads as a zero value; Null cannot be read as a number.
    EXPECT_EQ(unassigned.AsInteger(), 0);
    EXPECT_EQ(unassigned.AsFloat(), 0.0);
    EXPECT_FALSE(unassigned.AsBoolean());
    EXPECT_EQ(convertError([&] { null.AsInteger(); }),
        "Could not convert variant of type (Null) into type (Int64)");
    EXPECT_EQ(convertError([&] { null.AsFloat(); }),
        "Could not convert variant of type (Null) into type (Double)");
    EXPECT_EQ(convertError([&] { null.AsBoolean(); }),
        "Could not convert variant of type (Null) into type (Boolean)");
    EXPECT_EQ(convertError([&] { null.AsDateTime(); }),
        "Could not convert variant of type (Null) into type (Date)");
    // Both read as empty text.
    EXPECT_EQ(null.AsString(), QString());
    EXPECT_EQ(unassigned.AsString(), QString());
}

TEST(Variant, ConstructorsPickTheKind)
{
    struct Case {
        Variant value;
        VariantKind kind;
    };
    const Case cases[] = {
        { Variant(42), VariantKind::Integer },
        { Variant(qint64(1) << 40), VariantKind::Integer },
        { Variant(short(3)), VariantKind::Integer },
        { Variant(2.5), VariantKind::Float },
        { Variant(true), VariantKind::Boolean },
        { Variant("text"), VariantKind::String },
        { Variant(QStringLiteral("text")), VariantKind::String },
        { Variant(QByteArray("\x01\x02", 2)), VariantKind::Bytes },
        { Variant(VariantArray { 1, "a" }), VariantKind::Array },
        { Variant::FromDateTime(1.5), VariantKind::DateTime },
        // Beyond the signed range: kept as a float rather than wrapped to a negative number.
        { Variant(quint64(18446744073709551615ULL)), VariantKind::Float },
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value.Kind(), c.kind) << qPrintable(c.value.AsString());
    EXPECT_GT(Variant(quint64(18446744073709551615ULL)).AsFloat(), 1.8e19);
}

TEST(Variant, ConvertsToInteger)
{
    struct Case {
        Variant value;
        qint64 expected;
    };
    const Case cases[] = {
        { Variant(7), 7 },
        { Variant(2.5), 2 }, // half to even
        { Variant(3.5), 4 },
        { Variant(-2.5), -2 },
        { Variant(2.4999), 2 },
        { Variant(true), -1 }, // the class library's True
        { Variant(false), 0 },
        { Variant(" 123 "), 123 },
        { Variant("-9223372036854775808"), std::numeric_limits<qint64>::min() },
        { Variant("9223372036854775807"), std::numeric_limits<qint64>::max() },
        { Variant("$FF"), 255 },
        { Variant("0x10"), 16 },
        { Variant("-$10"), -16 },
        { Variant("1.5"), 2 },
        { Variant("1e3"), 1000 },
        { Variant::FromDateTime(36526.75), 36527 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value.AsInteger(), c.expected) << qPrintable(c.value.AsString());
}

TEST(Variant, ConversionErrorsNameTheValue)
{
    struct Case {
        std::function<void()> convert;
        const char *message;
    };
    const Case cases[] = {
        { [] { Variant("abc").AsInteger(); }, "'abc' is not a valid integer value" },
        { [] { Variant("").AsInteger(); }, "'' is not a valid integer value" },
        { [] { Variant("12abc").AsInteger(); }, "'12abc' is not a valid integer value" },
        { [] { Variant("- 5").AsInteger(); }, "'- 5' is not a valid integer value" },
        { [] { Variant("9223372036854775808").AsInteger(); },
            "'9223372036854775808' is not a valid integer value" },
        { [] { Variant("1,5").AsFloat(); }, "'1,5' is not a valid floating point value" },
        { [] { Variant("nan").AsFloat(); }, "'nan' is not a valid floating point value" },
        { [] { Variant("yes").AsBoolean(); }, "'yes' is not a valid boolean value" },
        { [] { Variant("2001-02-30").AsDateTime(); }, "'2001-02-30' is not a valid date and time" },
        { [] { Variant("abc").AsDateTime(); }, "'abc' is not a valid date and time" },
        { [] { Variant(1e300).AsInteger(); },
            "Could not convert variant of type (Double) into type (Int64)" },
        { [] { Variant(NAN).AsInteger(); },
            "Could not convert variant of type (Double) into type (Int64)" },
        { [] { Variant(QByteArray("x")).AsInteger(); },
            "Could not convert variant of type (Array Byte) into type (Int64)" },
        { [] { Variant(QByteArray("x")).AsString(); },
            "Could not convert variant of type (Array Byte) into type (String)" },
        { [] { Variant(VariantArray { 1 }).AsFloat(); },
            "Could not convert variant of type (Array Variant) into type (Double)" },
        { [] { Variant(true).AsDateTime(); },
            "Could not convert variant of type (Boolean) into type (Date)" },
        { [] { Variant(5).AsBytes(); },
            "Could not convert variant of type (Int64) into type (Array Byte)" },
        { [] {
             Variant(VariantArray { 1, 256 }).AsBytes();
         },
            "Could not convert variant of type (Array Variant) into type (Array Byte)" },
        { [] { Variant("x").AsArray(); },
            "Could not convert variant of type (String) into type (Array Variant)" },
        { [] { Variant(qint64(1) << 40).toInt(); }, "1099511627776 is out of the integer range" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(convertError(c.convert), QString::fromUtf8(c.message));
}

TEST(Variant, ConvertsToFloatAndBoolean)
{
    EXPECT_DOUBLE_EQ(Variant(" 1.25e2 ").AsFloat(), 125.0);
    EXPECT_DOUBLE_EQ(Variant(-3).AsFloat(), -3.0);
    EXPECT_DOUBLE_EQ(Variant(true).AsFloat(), -1.0);
    EXPECT_DOUBLE_EQ(Variant::FromDateTime(2.25).AsFloat(), 2.25);

    struct Case {
        Variant value;
        bool expected;
    };
    const Case cases[] = {
        { Variant("TRUE"), true },
        { Variant("false"), false },
        { Variant(" True "), true },
        { Variant("0"), false },
        { Variant("-1"), true },
        { Variant(0.0), false },
        { Variant(0.1), true },
        { Variant(2), true },
        { Variant(0), false },
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value.AsBoolean(), c.expected) << qPrintable(c.value.AsString());
}

TEST(Variant, ConvertsToString)
{
    struct Case {
        Variant value;
        const char *expected;
    };
    const Case cases[] = {
        { Variant(-12), "-12" },
        { Variant(0.1), "0.1" },
        { Variant(2.0), "2" },
        { Variant(1e20), "1E20" },
        { Variant(1.5e-7), "1.5E-7" },
        { Variant(0.0001), "0.0001" },
        { Variant(1.0 / 3), "0.333333333333333" },
        { Variant(true), "True" },
        { Variant(false), "False" },
        { Variant::FromDateTime(qd::EncodeDate(2001, 2, 3)), "2001-02-03" },
        { Variant::FromDateTime(qd::EncodeDateTime(2001, 2, 3, 4, 5, 6, 0)),
            "2001-02-03 04:05:06" },
        { Variant::FromDateTime(qd::EncodeDateTime(2001, 2, 3, 4, 5, 6, 7)),
            "2001-02-03 04:05:06.007" },
        { Variant("as is"), "as is" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value.AsString(), QString::fromUtf8(c.expected));
}

TEST(Variant, DateTimeIsItsOwnKindAndRoundTripsThroughText)
{
    const double when = qd::EncodeDateTime(1999, 12, 31, 23, 59, 58, 250);
    const Variant v = Variant::FromDateTime(when);
    EXPECT_EQ(v.Kind(), VariantKind::DateTime);
    EXPECT_NE(v.Kind(), Variant(when).Kind());
    EXPECT_DOUBLE_EQ(Variant(v.AsString()).AsDateTime(), when);
    EXPECT_DOUBLE_EQ(Variant("1999-12-31T23:59:58.250").AsDateTime(), when);
    EXPECT_DOUBLE_EQ(Variant("1899-12-30").AsDateTime(), 0.0);
    EXPECT_DOUBLE_EQ(Variant("12:00:00").AsDateTime(), 0.5);
    EXPECT_DOUBLE_EQ(Variant(3).AsDateTime(), 3.0);
}

TEST(Variant, BytesAndArrays)
{
    const QByteArray raw("\x00\xff\x10", 3);
    const Variant bytes(raw);
    EXPECT_EQ(bytes.AsBytes(), raw);
    const VariantArray asArray = bytes.AsArray();
    ASSERT_EQ(asArray.size(), 3u);
    EXPECT_EQ(asArray[1].AsInteger(), 255);
    EXPECT_EQ(Variant(asArray).AsBytes(), raw);
    EXPECT_EQ(Variant("é").AsBytes(), QByteArray("\xc3\xa9"));
    EXPECT_TRUE(Variant().AsBytes().isEmpty());
    EXPECT_TRUE(Variant().AsArray().empty());

    const Variant nested(VariantArray { 1, Variant::Null(), VariantArray { "x" } });
    ASSERT_NE(nested.ArrayPtr(), nullptr);
    EXPECT_TRUE((*nested.ArrayPtr())[1].IsNull());
    EXPECT_EQ((*nested.ArrayPtr())[2].AsArray().at(0).AsString(), "x");
    EXPECT_EQ(Variant(5).ArrayPtr(), nullptr);
    EXPECT_EQ(Variant("s").StringPtr()->size(), 1);
}

TEST(Variant, EqualityAndOrder)
{
    // Numbers compare by value across integer, float and date-time; no text coercion.
    EXPECT_EQ(Variant(1), Variant(1.0));
    EXPECT_EQ(Variant(2), Variant::FromDateTime(2.0));
    EXPECT_NE(Variant(1), Variant("1"));
    EXPECT_NE(Variant(1), Variant(true));
    EXPECT_NE(Variant("a"), Variant("A"));
    EXPECT_EQ(Variant(QByteArray("ab")), Variant(QByteArray("ab")));
    EXPECT_NE(Variant(QByteArray("ab")), Variant("ab"));
    EXPECT_EQ(Variant(VariantArray { 1, "x" }), Variant(VariantArray { 1.0, "x" }));
    EXPECT_NE(Variant(VariantArray { 1, "x" }), Variant(VariantArray { 1, "x", 2 }));
    EXPECT_EQ(Variant(NAN), Variant(NAN));
    // Large integers are not rounded through double.
    EXPECT_NE(Variant(qint64(9007199254740993)), Variant(qint64(9007199254740992)));

    // An ascending list under the documented total order.
    const Variant ascending[] = {
        Variant(),
        Variant::Null(),
        Variant(false),
        Variant(true),
        Variant(NAN),
        Variant(-5),
        Variant::FromDateTime(-1.5),
        Variant(0.5),
        Variant(1),
        Variant("B"),
        Variant("a"),
        Variant(QByteArray("a")),
        Variant(VariantArray { 1 }),
        Variant(VariantArray { 1, 0 }),
    };
    const int n = int(std::size(ascending));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const int expected = i < j ? -1 : (i > j ? 1 : 0);
            EXPECT_EQ(Variant::Compare(ascending[i], ascending[j]), expected)
                << "items " << i << " and " << j;
        }
    }
}

TEST(Variant, CopiesShareNothingMutable)
{
    Variant a("first");
    Variant b = a;
    a = Variant(3);
    EXPECT_EQ(b.AsString(), "first");
    EXPECT_EQ(a.AsInteger(), 3);
    VariantArray items { 1, 2 };
    Variant arr(items);
    items.push_back(3);
    EXPECT_EQ(arr.AsArray().size(), 2u);
}

TEST(Variant, QVariantEdges)
{
    EXPECT_FALSE(Variant().ToQVariant().isValid());
    const QVariant qnull = Variant::Null().ToQVariant();
    EXPECT_TRUE(qnull.isValid());
    EXPECT_TRUE(qnull.isNull());
    EXPECT_TRUE(Variant::FromQVariant(QVariant()).IsUnassigned());
    EXPECT_TRUE(Variant::FromQVariant(qnull).IsNull());

    const Variant roundTrip[] = {
        Variant(qint64(1) << 50),
        Variant(2.75),
        Variant("text"),
        Variant(true),
        Variant(QByteArray("\x00\x01", 2)),
        Variant::FromDateTime(qd::EncodeDateTime(2020, 2, 29, 13, 14, 15, 16)),
        Variant(VariantArray { 1, "two", Variant::Null() }),
    };
    for (const Variant &v : roundTrip) {
        const Variant back = Variant::FromQVariant(v.ToQVariant());
        EXPECT_EQ(back.Kind(), v.Kind()) << qPrintable(v.AsString());
        EXPECT_EQ(back, v) << qPrintable(v.AsString());
    }
    EXPECT_EQ(Variant::FromDateTime(1.5).ToQVariant().toDateTime(),
        QDateTime(QDate(1899, 12, 31), QTime(12, 0)));
    EXPECT_EQ(Variant::FromQVariant(QVariant(QDate(1900, 1, 1))), Variant::FromDateTime(2.0));
    EXPECT_EQ(Variant::FromQVariant(QVariant(int(-4))).Kind(), VariantKind::Integer);
    EXPECT_EQ(Variant::FromQVariant(QVariant(QStringList { "a", "b" })).AsArray().size(), 2u);
    EXPECT_EQ(convertError([] { Variant::FromQVariant(QVariant(QPoint(1, 2))); }),
        "Could not convert variant of type (QPoint) into type (Variant)");
}

// Hot fetch loops copy variants: the value must stay small, with scalars held inline.
static_assert(sizeof(Variant) <= 40);
