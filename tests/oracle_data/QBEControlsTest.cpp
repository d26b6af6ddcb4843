// The dataset side of query-by-example colouring, over a stand-in control access whose controls
// are plain objects with dynamic properties.
#include "oracle_data/QBEControls.h"
#include "oracle_data/OracleDataSet.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qd::test {
namespace {

class PropertyControls : public TQBEControlAccess {
public:
    QObject *add(TDataSource *source, const char *field = nullptr, int maxLength = -1)
    {
        auto object = std::make_unique<QObject>();
        object->setProperty("DataSource", QVariant::fromValue(reinterpret_cast<quintptr>(source)));
        if (field)
            object->setProperty("DataField", QString::fromLatin1(field));
        if (maxLength >= 0)
            object->setProperty("MaxLength", maxLength);
        object->setProperty("Color", clWindow);
        object->setProperty("FontColor", clWindowText);
        objects.push_back(std::move(object));
        return objects.back().get();
    }

    QList<QObject *> Controls() override
    {
        QList<QObject *> list;
        for (const auto &object : objects)
            list.append(object.get());
        return list;
    }
    TDataSource *DataSource(QObject *c) override
    {
        return reinterpret_cast<TDataSource *>(c->property("DataSource").value<quintptr>());
    }
    bool HasCaption(QObject *c) override { return c->property("Caption").isValid(); }
    std::optional<QString> DataField(QObject *c) override
    {
        const QVariant v = c->property("DataField");
        return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
    }
    std::optional<int> MaxLength(QObject *c) override
    {
        const QVariant v = c->property("MaxLength");
        return v.isValid() ? std::optional<int>(v.toInt()) : std::nullopt;
    }
    void SetMaxLength(QObject *c, int value) override { c->setProperty("MaxLength", value); }
    TColor Color(QObject *c) override { return c->property("Color").toInt(); }
    void SetColor(QObject *c, TColor value) override { c->setProperty("Color", value); }
    TColor FontColor(QObject *c) override { return c->property("FontColor").toInt(); }
    void SetFontColor(QObject *c, TColor value) override { c->setProperty("FontColor", value); }

    std::vector<std::unique_ptr<QObject>> objects;
};

class QBEControlColouring : public ::testing::Test {
protected:
    void SetUp() override { SetQBEControlAccess(&access); }
    void TearDown() override { SetQBEControlAccess(nullptr); }

    static TColor color(QObject *c) { return c->property("Color").toInt(); }
    static TColor fontColor(QObject *c) { return c->property("FontColor").toInt(); }
    static int maxLength(QObject *c) { return c->property("MaxLength").toInt(); }

    PropertyControls access;
    TOracleDataSet dataSet;
    TQBEDefinition definition;
    TQBEControlState state;
};

TEST_F(QBEControlColouring, LeavingGivesBackWhatEnteringChanged)
{
    definition.SetAllowOperators(true);
    definition.SetQBEBackgroundColor(0x00FFFF);
    definition.SetQBEFontColor(0xFF0000);
    QObject *edit = access.add(dataSet.DataSource(), "NAME", 30);
    QObject *unbound = access.add(nullptr, "NAME", 8);
    QObject *caption = access.add(dataSet.DataSource(), nullptr, 4);
    caption->setProperty("Caption", QStringLiteral("Active"));

    UpdateQBEControls(state, &dataSet, definition, true);
    EXPECT_EQ(color(edit), 0x00FFFF);
    EXPECT_EQ(fontColor(edit), 0xFF0000);
    EXPECT_EQ(maxLength(edit), 0);
    EXPECT_EQ(color(unbound), clWindow);
    EXPECT_EQ(maxLength(unbound), 8);
    EXPECT_EQ(color(caption), clWindow) << "a captioned control is not coloured";
    EXPECT_EQ(maxLength(caption), 0) << "but its length limit is lifted";

    // Entering again while coloured changes nothing more.
    edit->setProperty("Color", 0x123456);
    UpdateQBEControls(state, &dataSet, definition, true);
    EXPECT_EQ(state.backgroundControls.size(), 1);

    // The colours switched off meanwhile: what was coloured still gets its default back.
    definition.SetQBEBackgroundColor(clNone);
    definition.SetQBEFontColor(clNone);
    UpdateQBEControls(state, &dataSet, definition, false);
    EXPECT_EQ(color(edit), clWindow);
    EXPECT_EQ(fontColor(edit), clWindowText);
    EXPECT_EQ(maxLength(edit), 30);
    EXPECT_EQ(maxLength(caption), 4);
    EXPECT_TRUE(state.backgroundControls.isEmpty());
    EXPECT_TRUE(state.maxLengthControls.isEmpty());
}

TEST_F(QBEControlColouring, ControlsThatChangedOrWentAwayAreLeftAlone)
{
    definition.SetAllowOperators(true);
    definition.SetQBEBackgroundColor(0x00FFFF);
    dataSet.QBEDefinition(); // the dataset's own definition is not the one used here
    QObject *edit = access.add(dataSet.DataSource(), "NAME", 30);
    QObject *lost = access.add(dataSet.DataSource(), "NAME", 10);
    QObject *custom = access.add(dataSet.DataSource(), "NAME", 10);
    custom->setProperty("Color", 0x0000FF);
    TQBEField *disabled = definition.Add();
    disabled->SetFieldName(QStringLiteral("CODE"));
    disabled->SetEnabled(false);
    QObject *code = access.add(dataSet.DataSource(), "CODE", 5);

    UpdateQBEControls(state, &dataSet, definition, true);
    EXPECT_EQ(color(custom), 0x0000FF);
    EXPECT_EQ(color(code), clWindow) << "a field that takes no QBE input";
    EXPECT_EQ(color(edit), 0x00FFFF);
    // One control loses its MaxLength property, another goes away.
    edit->setProperty("MaxLength", QVariant());
    std::erase_if(access.objects, [lost](const auto &o) { return o.get() == lost; });
    UpdateQBEControls(state, &dataSet, definition, false);
    EXPECT_FALSE(edit->property("MaxLength").isValid());
    EXPECT_EQ(color(edit), clWindow);
    EXPECT_EQ(maxLength(custom), 10);
    EXPECT_EQ(maxLength(code), 5);
}

} // namespace
} // namespace qd::test
