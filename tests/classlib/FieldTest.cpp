// Field kinds: native storage, As... conversions and their errors, text forms, events.
#include "DataSetFixture.h"

#include "classlib/DateTimeFields.h"
#include "classlib/DateTimeUtils.h"
#include "classlib/Stream.h"

namespace qd::test {
namespace {

// One record with a field of every kind, in edit state.
struct AllKinds {
    std::unique_ptr<VectorDataSet> ds = std::make_unique<VectorDataSet>();
    AllKinds()
    {
        const std::pair<const char *, TFieldType> defs[] = { { "S", ftString },
            { "SI", ftSmallint }, { "I", ftInteger }, { "W", ftWord }, { "L", ftLargeint },
            { "F", ftFloat }, { "C", ftCurrency }, { "BCD", ftBCD }, { "D", ftDate },
            { "T", ftTime }, { "DT", ftDateTime }, { "B", ftBoolean }, { "BL", ftBlob },
            { "M", ftMemo }, { "G", ftGraphic }, { "OB", ftOraBlob }, { "OC", ftOraClob } };
        for (const auto &[name, type] : defs)
            ds->FieldDefs().Add(name, type, type == ftString ? 8 : 0);
        ds->SetRows({ VariantArray(17, Variant::Null()) });
        ds->Open();
        ds->Edit();
    }
    TField *operator[](const char *name) const { return ds->FieldByName(name); }
};

TEST(Field, KindsHaveTheirClassesAndNativeSizes)
{
    AllKinds f;
    const std::tuple<const char *, int, const char *> expected[] = { { "S", 9, "String" },
        { "SI", 2, "SmallInt" }, { "I", 4, "Integer" }, { "W", 2, "Word" }, { "L", 8, "LargeInt" },
        { "F", 8, "Float" }, { "C", 8, "Currency" }, { "BCD", 8, "BCD" }, { "D", 4, "Date" },
        { "T", 4, "Time" }, { "DT", 8, "DateTime" }, { "B", 2, "Boolean" }, { "BL", 0, "Blob" },
        { "M", 0, "Memo" }, { "G", 0, "Graphic" }, { "OB", 0, "OraBlob" }, { "OC", 0, "OraClob" } };
    for (const auto &[name, size, typeName] : expected) {
        EXPECT_EQ(f[name]->DataSize(), size) << name;
        EXPECT_EQ(FieldTypeName(f[name]->DataType()), typeName) << name;
        EXPECT_TRUE(f[name]->IsNull()) << name;
        EXPECT_EQ(f[name]->DisplayText(),
            f[name]->IsBlob() ? QStringLiteral("(%1)").arg(typeName) : QString())
            << name;
    }
    EXPECT_EQ(FieldTypeName(ftCursor), "Cursor");
    EXPECT_EQ(CreateFieldOfType(ftCursor), nullptr) << "a cursor is a parameter, not a field";
    EXPECT_NE(dynamic_cast<TSmallintField *>(f["SI"]), nullptr);
    EXPECT_NE(dynamic_cast<TCurrencyField *>(f["C"]), nullptr);
    EXPECT_NE(dynamic_cast<TDateField *>(f["D"]), nullptr);
    EXPECT_NE(dynamic_cast<TGraphicField *>(f["G"]), nullptr);
    EXPECT_NE(dynamic_cast<TMemoField *>(f["OC"]), nullptr);
}

// Text set through SetText, and what the field then shows.
TEST(Field, TextRoundTrips)
{
    AllKinds f;
    struct Case {
        const char *field;
        const char *input;
        const char *text;
        const char *display;
    };
    const Case cases[] = {
        { "S", "hello", "hello", "hello" },
        { "S", "abcdefghijk", "abcdefgh", "abcdefgh" }, // cut at Size
        { "SI", " -32768 ", "-32768", "-32768" },
        { "I", "2147483647", "2147483647", "2147483647" },
        { "W", "65535", "65535", "65535" },
        { "L", "-9007199254740993", "-9007199254740993", "-9007199254740993" },
        { "F", "1234.5", "1234.5", "1234.5" },
        { "F", "1,234.5", "1234.5", "1234.5" },
        { "C", "1234.5", "1234.5", "1,234.50" },
        { "D", "2024-02-29", "2024-02-29", "2024-02-29" },
        { "T", "13:45:10", "13:45:10", "13:45:10" },
        { "DT", "1999-12-31 23:59:59", "1999-12-31 23:59:59", "1999-12-31 23:59:59" },
        { "DT", "2001-05-06", "2001-05-06", "2001-05-06" },
        { "B", "t", "True", "True" },
        { "B", "FALSE", "False", "False" },
        { "M", "line 1\nline 2", "line 1\nline 2", "(MEMO)" },
    };
    for (const Case &c : cases) {
        f[c.field]->SetText(c.input);
        EXPECT_EQ(f[c.field]->Text(), c.text) << c.field << " " << c.input;
        EXPECT_EQ(f[c.field]->DisplayText(), c.display) << c.field << " " << c.input;
        f[c.field]->SetText("");
        EXPECT_TRUE(f[c.field]->IsNull()) << c.field << ": empty text is null";
    }
}

TEST(Field, BadTextIsRefusedWithTheFieldsMessage)
{
    AllKinds f;
    f["I"]->SetAsInteger(5);
    struct Case {
        const char *field;
        const char *input;
        const char *message;
    };
    const Case cases[] = {
        { "I", "12x", "'12x' is not a valid integer value for field 'I'" },
        { "I", "2147483648",
            "2147483648 is not a valid value for field 'I'. The allowed range is -2147483648 to "
            "2147483647" },
        { "SI", "40000",
            "40000 is not a valid value for field 'SI'. The allowed range is -32768 to 32767" },
        { "W", "-1", "-1 is not a valid value for field 'W'. The allowed range is 0 to 65535" },
        { "F", "1.2.3", "'1.2.3' is not a valid floating point value for field 'F'" },
        { "B", "maybe", "'maybe' is not a valid boolean value for field 'B'" },
    };
    for (const Case &c : cases) {
        try {
            f[c.field]->SetText(c.input);
            ADD_FAILURE() << c.field << " took " << c.input;
        } catch (const EDatabaseError &e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    EXPECT_EQ(f["I"]->AsInteger(), 5) << "a refused value leaves the old one";
    try {
        f["D"]->SetText("31.02.2024");
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), "'31.02.2024' is not a valid date");
    }
}

TEST(Field, AccessorsConvertOrSayTheyCannot)
{
    AllKinds f;
    f["S"]->SetAsString("42");
    EXPECT_EQ(f["S"]->AsInteger(), 42);
    EXPECT_DOUBLE_EQ(f["S"]->AsFloat(), 42.0);
    f["S"]->SetAsString("abc");
    EXPECT_THROW(f["S"]->AsInteger(), EConvertError);
    EXPECT_THROW(f["S"]->AsFloat(), EConvertError);
    EXPECT_THROW(f["S"]->AsBoolean(), EConvertError);
    f["S"]->SetAsBoolean(true);
    EXPECT_TRUE(f["S"]->AsBoolean());

    f["I"]->SetAsFloat(2.6);
    EXPECT_EQ(f["I"]->AsInteger(), 3);
    EXPECT_EQ(f["I"]->AsVariant().Kind(), VariantKind::Integer);
    f["F"]->SetAsInteger(3);
    EXPECT_EQ(f["F"]->AsString(), "3");
    f["L"]->SetAsLargeInt(std::numeric_limits<qint64>::max());
    EXPECT_THROW(f["L"]->AsInteger(), EConvertError);

    try {
        f["I"]->AsBoolean();
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Cannot access field 'I' as type Boolean");
    }
    EXPECT_THROW(f["B"]->AsDateTime(), EDatabaseError);
    EXPECT_THROW(f["DT"]->AsInteger(), EDatabaseError);

    f["I"]->SetAsVariant(Variant::Null());
    EXPECT_TRUE(f["I"]->IsNull());
    EXPECT_EQ(f["I"]->AsInteger(), 0);
    f["DT"]->SetAsVariant(Variant::FromDateTime(EncodeDateTime(2020, 1, 2, 3, 4, 5, 0)));
    EXPECT_EQ(f["DT"]->AsString(), "2020-01-02 03:04:05");
    EXPECT_EQ(f["DT"]->AsVariant().Kind(), VariantKind::DateTime);
    f["BL"]->SetAsVariant(Variant(QByteArray("\x00\xff", 2)));
    EXPECT_EQ(f["BL"]->AsBytes(), QByteArray("\x00\xff", 2));
    EXPECT_EQ(f["BL"]->AsVariant().Kind(), VariantKind::Bytes);
}

TEST(Field, StringsAreCutOnACharacterBoundary)
{
    AllKinds f; // S has 8 bytes
    f["S"]->SetAsString(QStringLiteral("abcdefgé")); // é needs two bytes: one too many
    EXPECT_EQ(f["S"]->AsString(), "abcdefg");
    f["S"]->SetAsString(QStringLiteral("äöüß"));
    EXPECT_EQ(f["S"]->AsString(), QStringLiteral("äöüß"));
    // Plain ASCII: exactly the room, one too many, a shorter one after a longer one, and
    // ASCII that turns into non-ASCII at its end.
    const struct {
        const char *set;
        const char *read;
    } cases[] = { { "abcdefgh", "abcdefgh" }, { "abcdefghi", "abcdefgh" }, { "xy", "xy" },
        { "abcdefg\xc3\xa9", "abcdefg" }, { "ab\xc3\xa9", "ab\xc3\xa9" } };
    for (const auto &c : cases) {
        f["S"]->SetAsString(QString::fromUtf8(c.set));
        EXPECT_EQ(f["S"]->AsString(), QString::fromUtf8(c.read)) << c.set;
    }
}

TEST(Field, DateTimesKeepTheirValueInTheNativeForm)
{
    const double values[] = { 0.0, 0.5, EncodeDateTime(2024, 2, 29, 23, 59, 59, 999), -1.25,
        MinDateTime, EncodeDateTime(9999, 12, 31, 0, 0, 0, 0) };
    for (double v : values) {
        char data[8];
        DateTimeToNative(ftDateTime, v, data);
        EXPECT_NEAR(NativeToDateTime(ftDateTime, data), v, 1e-8) << v;
        DateTimeToNative(ftDate, v, data);
        EXPECT_EQ(NativeToDateTime(ftDate, data), std::trunc(v)) << v;
    }
    char data[8];
    DateTimeToNative(ftDate, 0.0, data);
    qint32 days;
    std::memcpy(&days, data, 4);
    EXPECT_EQ(days, 693594) << "day one is 0001-01-01";
    EXPECT_THROW(DateTimeToNative(ftDateTime, MaxDateTime + 1, data), EConvertError);
    EXPECT_THROW(DateTimeToNative(ftDateTime, std::nan(""), data), EConvertError);
}

// The text forms of the three kinds, zero-padded, the time left out at midnight only.
TEST(Field, DateTimeTextForms)
{
    struct Case {
        double value;
        const char *dateTime, *date, *time;
    };
    const Case cases[] = {
        { EncodeDateTime(2024, 3, 5, 13, 45, 10, 0), "2024-03-05 13:45:10", "2024-03-05", "13:45:10" },
        { EncodeDateTime(1999, 12, 31, 0, 0, 0, 0), "1999-12-31", "1999-12-31", "00:00:00" },
        { EncodeDateTime(1, 1, 1, 0, 0, 0, 0), "0001-01-01", "0001-01-01", "00:00:00" },
        { EncodeDateTime(987, 6, 7, 8, 9, 1, 0), "0987-06-07 08:09:01", "0987-06-07", "08:09:01" },
        { EncodeDateTime(9999, 12, 31, 23, 59, 59, 0), "9999-12-31 23:59:59", "9999-12-31", "23:59:59" },
        // Milliseconds alone still show the time, which has no place for them.
        { EncodeDateTime(2000, 1, 1, 0, 0, 0, 5), "2000-01-01 00:00:00", "2000-01-01", "00:00:00" },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DateTimeToText(ftDateTime, c.value), QLatin1String(c.dateTime));
        EXPECT_EQ(DateTimeToText(ftDate, c.value), QLatin1String(c.date));
        EXPECT_EQ(DateTimeToText(ftTime, c.value), QLatin1String(c.time));
    }
}

TEST(Field, FormatsAndRanges)
{
    const std::tuple<const char *, double, const char *> formats[] = {
        { "#,##0.00", 1234567.891, "1,234,567.89" },
        { "#,##0.00", -1234.5, "-1,234.50" },
        { "0.###", 2.5, "2.5" },
        { "000", 7, "007" },
        { "#.##", 0.5, ".5" },
        { "0.00;(0.00);zero", -3.14159, "(3.14)" },
        { "0.00;(0.00);zero", 0, "zero" },
        { "'EUR' 0.00", 3, "EUR 3.00" },
        { "0.0", -0.01, "0.0" },
        { "##,##0.00", 99999.99, "99,999.99" },
    };
    for (const auto &[format, value, text] : formats)
        EXPECT_EQ(FormatFloat(format, value), text) << format << " " << value;

    AllKinds f;
    auto *amount = static_cast<TFloatField *>(f["F"]);
    amount->SetDisplayFormat("##,##0.00");
    amount->SetEditFormat("####0.00");
    amount->SetMinValue(-99999.99);
    amount->SetMaxValue(99999.99);
    amount->SetAsFloat(12345.678);
    EXPECT_EQ(amount->DisplayText(), "12,345.68");
    EXPECT_EQ(amount->Text(), "12345.68");
    EXPECT_THROW(amount->SetAsFloat(100000), EDatabaseError);
    auto *count = static_cast<TIntegerField *>(f["I"]);
    count->SetMinValue(1);
    count->SetMaxValue(10);
    try {
        count->SetAsInteger(11);
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(
            e.Message(), "11 is not a valid value for field 'I'. The allowed range is 1 to 10");
    }
    auto *flag = static_cast<TBooleanField *>(f["B"]);
    flag->SetDisplayValues("Yes;No");
    flag->SetText("n");
    EXPECT_EQ(flag->DisplayText(), "No");
    EXPECT_THROW(flag->SetDisplayValues("Yes"), EDatabaseError);
    auto *when = static_cast<TDateTimeField *>(f["DT"]);
    when->SetDisplayFormat("dd.MM.yyyy HH:mm");
    when->SetText("2021-03-04 05:06:07");
    EXPECT_EQ(when->DisplayText(), "04.03.2021 05:06");
    EXPECT_EQ(when->Text(), "2021-03-04 05:06:07");
}

TEST(Field, TextEventsReplaceTheKindsTextForms)
{
    AllKinds f;
    TField *code = f["S"];
    code->OnGetText = [](TField *field, QString &text, bool displayText) {
        text = (displayText ? "<" : "") + field->AsString().toLower() + (displayText ? ">" : "");
    };
    code->OnSetText
        = [](TField *field, const QString &text) { field->SetAsString(text.toUpper()); };
    code->SetText("abc");
    EXPECT_EQ(code->AsString(), "ABC");
    EXPECT_EQ(code->Text(), "abc");
    EXPECT_EQ(code->DisplayText(), "<abc>");
}

TEST(Field, PropertiesAndDisplayNames)
{
    AllKinds f;
    TField *s = f["S"];
    EXPECT_EQ(s->DisplayName(), "S");
    s->SetDisplayLabel("Short text");
    EXPECT_EQ(s->DisplayName(), "Short text");
    EXPECT_EQ(s->DisplayWidth(), 8);
    s->SetDisplayWidth(3);
    EXPECT_EQ(s->DisplayWidth(), 3);
    s->SetOrigin("T.S");
    s->SetDefaultExpression("'x'");
    EXPECT_EQ(s->Origin(), "T.S");
    EXPECT_EQ(s->DefaultExpression(), "'x'");
    EXPECT_EQ(s->FieldKind(), fkData);
    EXPECT_EQ(s->Index(), 0);
    s->SetIndex(2);
    EXPECT_EQ(f.ds->Fields()[2], s);
    EXPECT_THROW(s->SetFieldName("I"), EDatabaseError) << "duplicate name";
    EXPECT_THROW(s->SetSize(4), EDatabaseError) << "size of an open dataset's field";
}

TEST(MemoryStream, GrowsOnWriteAndReadsWhatItHas)
{
    TMemoryStream stream;
    EXPECT_EQ(stream.Write("abc", 3), 3);
    stream.Seek(5, soBeginning);
    EXPECT_EQ(stream.Write("z", 1), 1);
    EXPECT_EQ(stream.Size(), 6);
    EXPECT_EQ(stream.Data(), QByteArray("abc\0\0z", 6)) << "a gap is zero-filled";
    char buffer[10] = {};
    stream.Seek(-2, soEnd);
    EXPECT_EQ(stream.Read(buffer, 10), 2) << "reading past the end gives fewer bytes";
    EXPECT_EQ(stream.Seek(-100, soCurrent), 0) << "no position before the start";
    stream.SetSize(2);
    EXPECT_EQ(stream.ReadAll(), "ab");
    stream.WriteAll("replaced");
    EXPECT_EQ(stream.ReadAll(), "replaced");
    EXPECT_THROW(stream.SetSize(-1), Exception);
}

} // namespace
} // namespace qd::test
