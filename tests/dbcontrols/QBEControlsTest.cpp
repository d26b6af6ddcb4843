// Query-by-example mode as the user meets it in real widgets: the data-aware controls of the
// dataset take the QBE colours and lose their length limit while QBE mode lasts, and give both
// back when it ends; criteria typed into a data-aware line edit select the rows.
#include "oracle_data/DataSetTestFixture.h"

#include "dbcontrols/DBEdit.h"
#include "dbcontrols/WidgetQBEControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

namespace qd::test {
namespace {

// TColor is 0x00BBGGRR.
constexpr TColor yellow = 0x0000FFFF;
constexpr TColor blue = 0x00FF0000;

class QBEControls : public DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        InstallWidgetQBEControls();
        createTable(QStringLiteral("qbe_ctl"),
            QStringLiteral("id number(9), name varchar2(30), salary number(7)"));
        exec(QStringLiteral("insert into qbe_ctl values (1, 'Smith', 100)"));
        exec(QStringLiteral("insert into qbe_ctl values (2, 'Jones', 200)"));
        exec(QStringLiteral("insert into qbe_ctl values (3, 'Brown', 300)"));
        session->Commit();
    }

    void TearDown() override
    {
        form.reset();
        SetQBEControlAccess(nullptr);
        DataSetFixture::TearDown();
    }

    TDBEdit *addEdit(TDataSource *source, const QString &field, int maxLength)
    {
        auto *edit = new TDBEdit(form.get());
        form->layout()->addWidget(edit);
        edit->setMaxLength(maxLength);
        edit->SetDataSource(source);
        edit->SetDataField(field);
        return edit;
    }

    static QColor base(QWidget *w) { return w->palette().color(QPalette::Base); }
    static QColor text(QWidget *w) { return w->palette().color(QPalette::Text); }
    static QColor standardBase(QWidget *w)
    {
        return QApplication::palette(w).color(QPalette::Base);
    }
    static QColor standardText(QWidget *w)
    {
        return QApplication::palette(w).color(QPalette::Text);
    }

    std::unique_ptr<QWidget> form;
};

TEST_F(QBEControls, EnteringColoursTheBoundControlsAndLeavingGivesTheirLookBack)
{
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from qbe_ctl order by id"));
    ds.QBEDefinition().SetAllowOperators(true);
    ds.QBEDefinition().SetQBEBackgroundColor(yellow);
    ds.QBEDefinition().SetQBEFontColor(blue);
    ds.Open();
    ds.QBEDefinition().SyncWithFieldDefs();
    ds.QBEDefinition().FindField(QStringLiteral("ID"))->SetEnabled(false);
    TOracleDataSet other;
    TDataSource *otherSource = other.DataSource();

    form = std::make_unique<QWidget>();
    form->setLayout(new QVBoxLayout);
    TDBEdit *name = addEdit(ds.DataSource(), QStringLiteral("NAME"), 30);
    TDBEdit *salary = addEdit(ds.DataSource(), QStringLiteral("SALARY"), 7);
    TDBEdit *id = addEdit(ds.DataSource(), QStringLiteral("ID"), 9);
    TDBEdit *elsewhere = addEdit(otherSource, QStringLiteral("NAME"), 12);
    // The application chose a background of its own for this one.
    QPalette red = salary->palette();
    red.setColor(QPalette::Base, Qt::red);
    salary->setPalette(red);
    // A control with a caption (a check box) is never coloured.
    auto *check = new QCheckBox(QStringLiteral("Active"), form.get());
    check->setProperty("DataSource", QVariant::fromValue(ds.DataSource()));
    form->layout()->addWidget(check);
    // A plain widget that declares its data source through a dynamic property counts too.
    auto *plain = new QLineEdit(form.get());
    plain->setProperty("DataSource", QVariant::fromValue(ds.DataSource()));
    plain->setMaxLength(5);
    form->layout()->addWidget(plain);
    form->show();
    EXPECT_EQ(name->text(), "Smith");
    const QColor checkBase = base(check);
    const QColor checkText = text(check);

    ds.SetQBEMode(true);
    EXPECT_EQ(base(name), QColor(255, 255, 0));
    EXPECT_EQ(text(name), QColor(0, 0, 255));
    EXPECT_EQ(base(salary), QColor(Qt::red)) << "the application's colour stays";
    EXPECT_EQ(text(salary), QColor(0, 0, 255));
    EXPECT_EQ(base(id), standardBase(id)) << "a field without QBE input keeps its look";
    EXPECT_EQ(text(id), standardText(id));
    EXPECT_EQ(base(check), checkBase);
    EXPECT_EQ(text(check), checkText);
    EXPECT_EQ(base(plain), QColor(255, 255, 0));
    EXPECT_EQ(base(elsewhere), standardBase(elsewhere));
    // Long criteria fit: every bound control with a length limit loses it.
    for (QLineEdit *edit : { static_cast<QLineEdit *>(name), static_cast<QLineEdit *>(salary),
             static_cast<QLineEdit *>(id), plain })
        EXPECT_EQ(edit->maxLength(), 32767);
    EXPECT_EQ(elsewhere->maxLength(), 12);
    EXPECT_EQ(name->text(), "") << "the QBE record starts blank";

    ds.SetQBEMode(false);
    EXPECT_EQ(base(name), standardBase(name));
    EXPECT_EQ(text(name), standardText(name));
    EXPECT_EQ(base(salary), QColor(Qt::red));
    EXPECT_EQ(text(salary), standardText(salary));
    EXPECT_EQ(base(plain), standardBase(plain));
    EXPECT_EQ(name->maxLength(), 30);
    EXPECT_EQ(salary->maxLength(), 7);
    EXPECT_EQ(id->maxLength(), 9);
    EXPECT_EQ(plain->maxLength(), 5);

    // Entering again colours again (the lists were emptied on leaving).
    ds.SetQBEMode(true);
    EXPECT_EQ(base(name), QColor(255, 255, 0));
    // A control that goes away meanwhile is simply forgotten.
    delete plain;
    ds.SetQBEMode(false);
    EXPECT_EQ(base(name), standardBase(name));
}

TEST_F(QBEControls, WithoutOperatorsOrColoursTheControlsAreLeftAlone)
{
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from qbe_ctl order by id"));
    ds.Open();
    form = std::make_unique<QWidget>();
    form->setLayout(new QVBoxLayout);
    TDBEdit *name = addEdit(ds.DataSource(), QStringLiteral("NAME"), 30);
    form->show();
    ds.SetQBEMode(true);
    EXPECT_EQ(base(name), standardBase(name));
    EXPECT_EQ(text(name), standardText(name));
    EXPECT_EQ(name->maxLength(), 30);
    ds.SetQBEMode(false);

    // Without a registered access nothing is touched either.
    SetQBEControlAccess(nullptr);
    ds.QBEDefinition().SetAllowOperators(true);
    ds.QBEDefinition().SetQBEBackgroundColor(yellow);
    ds.SetQBEMode(true);
    EXPECT_EQ(base(name), standardBase(name));
    EXPECT_EQ(name->maxLength(), 30);
    ds.SetQBEMode(false);
}

TEST_F(QBEControls, CriteriaTypedIntoADataAwareEditSelectTheRows)
{
    TOracleDataSet &ds = newDataSet(QStringLiteral("select rowid, t.* from qbe_ctl t order by id"));
    ds.QBEDefinition().SetAllowOperators(true);
    ds.SetCountAllRecords(true);
    ds.Open();
    form = std::make_unique<QWidget>();
    form->setLayout(new QVBoxLayout);
    TDBEdit *name = addEdit(ds.DataSource(), QStringLiteral("NAME"), 30);
    TDBEdit *salary = addEdit(ds.DataSource(), QStringLiteral("SALARY"), 7);
    form->show();
    EXPECT_EQ(salary->text(), "100");

    ds.SetQBEMode(true);
    QTest::keyClicks(name, QStringLiteral("Smith or Jones or Brown"));
    QTest::keyClicks(salary, QStringLiteral(">= 200"));
    // The count takes what the edits hold, even before editing finished.
    EXPECT_EQ(ds.RecordCount(), 2);
    ds.SetQBEMode(false);
    EXPECT_EQ(name->text(), "Jones");
    ds.Next();
    EXPECT_EQ(name->text(), "Brown");
    EXPECT_EQ(salary->text(), "300");

    // Outside QBE mode the edit writes the field when editing finishes.
    QTest::keyClicks(name, QStringLiteral("e"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("NAME"))->AsString(), "Browne");
    ds.Cancel();
    EXPECT_EQ(name->text(), "Brown");
}

} // namespace
} // namespace qd::test
