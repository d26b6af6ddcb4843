#include "oracle_data/QBEDefinition.h"

#include "classlib/Exception.h"

#include <QMap>

#include <gtest/gtest.h>

using namespace qd;

namespace {

// A dataset as the definition sees it: field definitions, BLOB-like ones and field texts.
class FakeDataSet : public TQBEDataSetLink {
public:
    QStringList defs;
    QStringList blobLike;
    QMap<QString, QString> values; // fields that exist, by name

    QStringList QBEFieldDefNames() const override { return defs; }
    bool QBEFieldDefIsBlobLike(const QString &name) const override
    {
        return blobLike.contains(name);
    }
    std::optional<QString> QBEFieldAsString(const QString &name) const override
    {
        if (!values.contains(name))
            return std::nullopt;
        return values.value(name);
    }
    void QBESetFieldText(const QString &name, const QString &text) override
    {
        if (!values.contains(name))
            throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
        values[name] = text;
    }
};

struct Switches {
    bool enabled, partialMatch, caseInsensitive, wholeDay, matchAnywhere, soundex;
};

Switches switchesOf(const TQBEField &f)
{
    return { f.StoredEnabled(), f.PartialMatch(), f.CaseInsensitive(), f.WholeDay(),
        f.MatchAnywhere(), f.Soundex() };
}

void expectItem(const TQBEDefinition &d, int index, const char *name, Switches want)
{
    SCOPED_TRACE(testing::Message() << "item " << index);
    ASSERT_LT(index, d.Count());
    const TQBEField &f = *d.Items(index);
    EXPECT_EQ(f.FieldName(), QString::fromLatin1(name));
    const Switches got = switchesOf(f);
    EXPECT_EQ(got.enabled, want.enabled);
    EXPECT_EQ(got.partialMatch, want.partialMatch);
    EXPECT_EQ(got.caseInsensitive, want.caseInsensitive);
    EXPECT_EQ(got.wholeDay, want.wholeDay);
    EXPECT_EQ(got.matchAnywhere, want.matchAnywhere);
    EXPECT_EQ(got.soundex, want.soundex);
    EXPECT_EQ(f.Owner(), &d);
}

// Hex fixtures below may be spaced for reading; fromHex skips the spaces.
// A version 4 block with the items "ENAME" (all switches on but Enabled) and "SAL".
const QByteArray kVersion4 = QByteArray::fromHex("04000000"
                                                 "02000000"
                                                 "05000000"
                                                 "454e414d45"
                                                 "000101010101"
                                                 "03000000"
                                                 "53414c"
                                                 "010000000000");

QString readError(const QByteArray &block)
{
    TQBEDefinition d;
    d.Add()->SetFieldName("OLD");
    try {
        d.ReadQBEFieldDefs(block);
    } catch (const Exception &e) {
        EXPECT_EQ(d.Count(), 0) << "no items survive a failed read";
        return e.Message();
    }
    ADD_FAILURE() << "no error for " << block.toHex().toStdString();
    return {};
}

} // namespace

TEST(QBEDefinition, DefaultsMatchThePublishedOnes)
{
    TQBEDefinition d;
    EXPECT_EQ(d.QBEFontColor(), clNone);
    EXPECT_EQ(d.QBEBackgroundColor(), clNone);
    EXPECT_TRUE(d.SaveQBEValues());
    EXPECT_TRUE(d.AllowFileWildCards());
    EXPECT_FALSE(d.AllowOperators());
    EXPECT_EQ(d.Count(), 0);
    TQBEField *f = d.Add();
    expectItem(d, 0, "", { true, false, false, false, false, false });
    EXPECT_TRUE(f->QBEValue().isNull());
    EXPECT_TRUE(f->QBEText().isEmpty());
}

TEST(QBEDefinition, ReadsEveryVersionOfTheFieldStream)
{
    struct Case {
        const char *name;
        const char *hex;
        Switches second; // the item "B"; switches a version lacks keep the defaults
    };
    // Two items, "A" with every carried switch 0 and "B" with every carried switch 1.
    const Case cases[] = {
        { "version 1", "01000000 02000000 01000000 41 000000 01000000 42 010101",
            { true, true, true, false, false, false } },
        { "version 2", "02000000 02000000 01000000 41 00000000 01000000 42 01010101",
            { true, true, true, true, false, false } },
        { "version 3", "03000000 02000000 01000000 41 0000000000 01000000 42 0101010101",
            { true, true, true, true, true, false } },
        { "version 4", "04000000 02000000 01000000 41 000000000000 01000000 42 010101010101",
            { true, true, true, true, true, true } },
        { "version 0 reads as 1", "00000000 02000000 01000000 41 000000 01000000 42 010101",
            { true, true, true, false, false, false } },
        { "negative version reads as 1", "ffffffff 02000000 01000000 41 000000 01000000 42 010101",
            { true, true, true, false, false, false } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray block = QByteArray::fromHex(c.hex);
        TQBEDefinition d;
        d.Add()->SetFieldName("OLD");
        d.ReadQBEFieldDefs(block);
        ASSERT_EQ(d.Count(), 2);
        expectItem(d, 0, "A", { false, false, false, false, false, false });
        expectItem(d, 1, "B", c.second);
    }
}

TEST(QBEDefinition, WritesVersionFourInTheStreamOrder)
{
    TQBEDefinition d;
    TQBEField *e = d.Add();
    e->SetFieldName("ENAME");
    e->SetEnabled(false);
    e->SetPartialMatch(true);
    e->SetCaseInsensitive(true);
    e->SetWholeDay(true);
    e->SetMatchAnywhere(true);
    e->SetSoundex(true);
    d.Add()->SetFieldName("SAL");
    EXPECT_EQ(d.WriteQBEFieldDefs().toHex(), kVersion4.toHex());

    // Each switch lands in its own byte: flip one at a time and find it where it belongs.
    TQBEDefinition one;
    TQBEField *f = one.Add();
    f->SetFieldName("X");
    f->SetEnabled(false);
    const QByteArray none = one.WriteQBEFieldDefs();
    const std::vector<std::pair<void (TQBEField::*)(bool), int>> setters
        = { { &TQBEField::SetEnabled, 0 }, { &TQBEField::SetPartialMatch, 1 },
              { &TQBEField::SetCaseInsensitive, 2 }, { &TQBEField::SetWholeDay, 3 },
              { &TQBEField::SetMatchAnywhere, 4 }, { &TQBEField::SetSoundex, 5 } };
    for (const auto &[setter, offset] : setters) {
        (f->*setter)(true);
        QByteArray want = none;
        want[13 + offset] = 1;
        EXPECT_EQ(one.WriteQBEFieldDefs().toHex(), want.toHex()) << "switch " << offset;
        (f->*setter)(false);
    }
}

TEST(QBEDefinition, WriteThenReadKeepsItemsSwitchesAndOrder)
{
    TQBEDefinition d;
    const char *names[] = { "EMPNO", "ENAME", "HIREDATE", "SAL", "\xC9T\xC9" };
    for (int i = 0; i < 5; ++i) {
        TQBEField *f = d.Add();
        f->SetFieldName(QString::fromLatin1(names[i]));
        f->SetEnabled(i % 2 == 0);
        f->SetPartialMatch(i & 1);
        f->SetCaseInsensitive(i & 2);
        f->SetWholeDay(i == 2);
        f->SetMatchAnywhere(i == 3);
        f->SetSoundex(i == 4);
    }
    TQBEDefinition back;
    back.ReadQBEFieldDefs(d.WriteQBEFieldDefs());
    ASSERT_EQ(back.Count(), 5);
    for (int i = 0; i < 5; ++i)
        expectItem(
            back, i, names[i], { i % 2 == 0, bool(i & 1), bool(i & 2), i == 2, i == 3, i == 4 });
    EXPECT_FALSE(back.QBEFieldDefsHasData(&d));
}

TEST(QBEDefinition, NewerVersionIsRejected)
{
    QByteArray block = kVersion4;
    block[0] = 5;
    EXPECT_EQ(readError(block), QStringLiteral("Invalid version of QBEDefinition"));
}

TEST(QBEDefinition, TruncatedOrOverclaimingBlocksFailClearly)
{
    // Every cut of a valid block fails; none leaves items behind.
    for (qsizetype cut = 0; cut < kVersion4.size(); ++cut) {
        SCOPED_TRACE(cut);
        const QString message = readError(kVersion4.left(cut));
        EXPECT_TRUE(message.startsWith("QBEFieldDefs is")) << message.toStdString();
    }

    struct Case {
        const char *name;
        const char *hex;
        const char *word;
    };
    const Case cases[] = {
        { "count far beyond the data", "04000000 ffffff7f", "claims" },
        { "one item more than the data holds", "04000000 02000000 01000000 41 000000000000",
            "claims" },
        { "negative count", "04000000 ffffffff", "claims" },
        { "negative name length", "04000000 01000000 feffffff 000000000000 0000", "negative" },
        { "name longer than the data", "01000000 01000000 10000000 41424344", "truncated" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString message = readError(QByteArray::fromHex(c.hex));
        EXPECT_TRUE(message.contains(QLatin1StringView(c.word))) << message.toStdString();
    }
}

TEST(QBEDefinition, BlobLikeFieldsNeverReportEnabled)
{
    FakeDataSet ds;
    ds.blobLike = { "NOTES" };
    TQBEDefinition d(&ds);
    // A memo field written with Enabled 1 keeps the byte but reports False.
    d.ReadQBEFieldDefs(QByteArray::fromHex("04000000 01000000 05000000 4e4f544553 010000000000"));
    ASSERT_EQ(d.Count(), 1);
    EXPECT_TRUE(d.Items(0)->StoredEnabled());
    EXPECT_FALSE(d.Items(0)->Enabled());
    EXPECT_EQ(d.WriteQBEFieldDefs().at(17), 1);
    // Setting it stores what the getter returns afterwards.
    d.Items(0)->SetEnabled(true);
    EXPECT_FALSE(d.Items(0)->StoredEnabled());

    TQBEField *sal = d.Add();
    sal->SetFieldName("SAL");
    sal->SetEnabled(false);
    sal->SetEnabled(true);
    EXPECT_TRUE(sal->Enabled());
}

TEST(QBEDefinition, FindFieldIgnoresCase)
{
    TQBEDefinition d;
    d.Add()->SetFieldName("EMPNO");
    TQBEField *ename = d.Add();
    ename->SetFieldName("ENAME");
    EXPECT_EQ(d.FindField("ename"), ename);
    EXPECT_EQ(d.FindField("EnAmE"), ename);
    EXPECT_EQ(d.FindField("ENAM"), nullptr);
}

TEST(QBEDefinition, PropertyIsWrittenOnlyWhenItDiffersFromTheAncestor)
{
    TQBEDefinition empty;
    EXPECT_FALSE(empty.QBEFieldDefsHasData(nullptr));

    TQBEDefinition ancestor;
    TQBEField *a = ancestor.Add();
    a->SetFieldName("ENAME");
    a->SetPartialMatch(true);
    EXPECT_TRUE(ancestor.QBEFieldDefsHasData(nullptr));

    const std::vector<std::pair<const char *, void (*)(TQBEField &)>> changes = {
        { "same", [](TQBEField &) {} },
        { "name", [](TQBEField &f) { f.SetFieldName("SAL"); } },
        { "enabled", [](TQBEField &f) { f.SetEnabled(false); } },
        { "partial", [](TQBEField &f) { f.SetPartialMatch(false); } },
        { "case", [](TQBEField &f) { f.SetCaseInsensitive(true); } },
        { "day", [](TQBEField &f) { f.SetWholeDay(true); } },
        { "anywhere", [](TQBEField &f) { f.SetMatchAnywhere(true); } },
        { "soundex", [](TQBEField &f) { f.SetSoundex(true); } },
    };
    for (const auto &[name, change] : changes) {
        SCOPED_TRACE(name);
        TQBEDefinition d;
        d.ReadQBEFieldDefs(ancestor.WriteQBEFieldDefs());
        change(*d.Items(0));
        EXPECT_EQ(d.QBEFieldDefsHasData(&ancestor), std::string(name) != "same");
    }
    TQBEDefinition more;
    more.ReadQBEFieldDefs(ancestor.WriteQBEFieldDefs());
    more.Add()->SetFieldName("SAL");
    EXPECT_TRUE(more.QBEFieldDefsHasData(&ancestor));
    // The QBE text is not part of the property.
    TQBEDefinition texted;
    texted.SetAllowOperators(true);
    texted.ReadQBEFieldDefs(ancestor.WriteQBEFieldDefs());
    texted.Items(0)->SetQBEText("> 10");
    EXPECT_FALSE(texted.QBEFieldDefsHasData(&ancestor));
}

TEST(QBEDefinition, SyncWithFieldDefsAddsMissingAndDropsStaleItems)
{
    FakeDataSet ds;
    ds.defs = { "EMPNO", "ENAME", "NOTES" };
    ds.blobLike = { "NOTES" };
    TQBEDefinition d(&ds);
    TQBEField *stale = d.Add();
    stale->SetFieldName("OLDCOL");
    TQBEField *ename = d.Add();
    ename->SetFieldName("ename");
    ename->SetSoundex(true);

    EXPECT_TRUE(d.SyncWithFieldDefs());
    ASSERT_EQ(d.Count(), 3);
    EXPECT_EQ(d.Items(0), ename); // kept with its switches
    EXPECT_TRUE(ename->Soundex());
    expectItem(d, 1, "EMPNO", { true, false, false, false, false, false });
    expectItem(d, 2, "NOTES", { false, false, false, false, false, false });

    EXPECT_FALSE(d.SyncWithFieldDefs()); // nothing new the second time
    EXPECT_EQ(d.Count(), 3);
}

TEST(QBEDefinition, AssignToCopiesOptionsItemsAndText)
{
    FakeDataSet ds;
    ds.blobLike = { "NOTES" };
    ds.values = { { "ENAME", "SMITH" } };
    TQBEDefinition source(&ds);
    source.SetQBEFontColor(0x0000FF);
    source.SetQBEBackgroundColor(0x00FF00);
    source.SetSaveQBEValues(false);
    source.SetAllowFileWildCards(false);
    TQBEField *e = source.Add();
    e->SetFieldName("ENAME");
    e->SetWholeDay(true);
    source.Add()->SetFieldName("NOTES");
    source.Items(1)->SetEnabled(true);

    TQBEDefinition dest;
    dest.Add()->SetFieldName("GONE");
    source.AssignTo(dest);
    EXPECT_EQ(dest.QBEFontColor(), 0x0000FF);
    EXPECT_EQ(dest.QBEBackgroundColor(), 0x00FF00);
    EXPECT_FALSE(dest.SaveQBEValues());
    EXPECT_FALSE(dest.AllowFileWildCards());
    EXPECT_FALSE(dest.AllowOperators());
    ASSERT_EQ(dest.Count(), 2);
    expectItem(dest, 0, "ENAME", { true, false, false, true, false, false });
    expectItem(dest, 1, "NOTES", { false, false, false, false, false, false });
    // Without operators the text comes from the dataset field.
    EXPECT_EQ(dest.Items(0)->QBEText(), QStringLiteral("SMITH"));
}

TEST(QBEDefinition, QBETextFollowsAllowOperators)
{
    FakeDataSet ds;
    ds.values = { { "ENAME", "" } };
    TQBEDefinition d(&ds);
    TQBEField *f = d.Add();
    f->SetFieldName("ENAME");

    f->SetQBEText("SMITH");
    EXPECT_EQ(ds.values["ENAME"], QStringLiteral("SMITH"));
    EXPECT_EQ(f->GetQBEText(), QStringLiteral("SMITH"));
    EXPECT_TRUE(f->QBEText().isEmpty());

    d.SetAllowOperators(true);
    f->SetQBEText("like 'S%'");
    EXPECT_EQ(f->GetQBEText(), QStringLiteral("like 'S%'"));
    EXPECT_EQ(ds.values["ENAME"], QStringLiteral("SMITH"));

    d.SetAllowOperators(false);
    TQBEField *missing = d.Add();
    missing->SetFieldName("NOSUCH");
    EXPECT_TRUE(missing->GetQBEText().isEmpty());
    EXPECT_THROW(missing->SetQBEText("x"), EDatabaseError);
}

TEST(QBEDefinition, FieldHandlersRouteTypedTextToTheItem)
{
    FakeDataSet ds;
    ds.values = { { "SAL", "" } };
    TQBEDefinition d(&ds);
    TQBEField *f = d.Add();
    f->SetFieldName("SAL");
    int fieldA = 0, fieldB = 0; // two field identities

    // With operators the typed text stays in the item, the field value untouched.
    d.SetAllowOperators(true);
    f->FieldSetText(&fieldA, "> 1000");
    EXPECT_EQ(TQBEDefinition::LastFieldSet(), &fieldA);
    EXPECT_EQ(f->QBEText(), QStringLiteral("> 1000"));
    EXPECT_EQ(ds.values["SAL"], QString());
    QString shown;
    f->FieldGetText(&fieldA, shown, true);
    EXPECT_EQ(shown, QStringLiteral("> 1000"));
    // The change caused by that set is not copied again, and the slot is cleared.
    f->FieldChange(&fieldA);
    EXPECT_EQ(f->QBEText(), QStringLiteral("> 1000"));
    EXPECT_EQ(TQBEDefinition::LastFieldSet(), nullptr);

    // A value assigned by code becomes the QBE text.
    ds.values["SAL"] = "2000";
    f->FieldChange(&fieldB);
    EXPECT_EQ(f->QBEText(), QStringLiteral("2000"));
    // ... unless the dataset is filling the QBE record.
    d.SetLoading(true);
    ds.values["SAL"] = "3000";
    f->FieldChange(&fieldB);
    EXPECT_EQ(f->QBEText(), QStringLiteral("2000"));
    d.SetLoading(false);
    // A non-empty field value shown with operators on takes over the QBE text.
    f->FieldGetText(&fieldA, shown, true);
    EXPECT_EQ(shown, QStringLiteral("3000"));

    // Without operators the field's own text goes and comes.
    d.SetAllowOperators(false);
    f->FieldSetText(&fieldB, "1500");
    EXPECT_EQ(ds.values["SAL"], QStringLiteral("1500"));
    f->FieldGetText(&fieldB, shown, false);
    EXPECT_EQ(shown, QStringLiteral("1500"));
}
