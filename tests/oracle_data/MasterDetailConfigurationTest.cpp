// The automatic master/detail set-up applied to a detail dataset on the stand-in: the foreign
// key between the two tables gives the link fields and, when the user agrees, the detail's
// condition and variables; refusals come as the set-up's messages.
#include "DataSetTestFixture.h"

#include "classlib/Exception.h"
#include "oracle/ScreenServices.h"
#include "oracle_data/MasterDetailSetup.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

class MasterDetailConfiguration : public test::DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        execIgnoringErrors(QStringLiteral("drop table mc_line"));
        createTable(QStringLiteral("mc_order"),
            QStringLiteral("year number(4), no varchar2(10), note varchar2(20), "
                           "constraint mc_order_pk primary key (year, no)"));
        createTable(QStringLiteral("mc_line"),
            QStringLiteral("line_no number(6) primary key, order_year number(4), "
                           "order_no varchar2(10), item varchar2(20), "
                           "constraint mc_line_order_fk foreign key (order_year, order_no) "
                           "references mc_order (year, no)"));
        createTable(QStringLiteral("mc_alone"), QStringLiteral("id number(6)"));
        exec(QStringLiteral("insert into mc_order values (2024, 'A1', 'first')"));
        exec(QStringLiteral("insert into mc_order values (2024, 'B2', 'second')"));
        exec(QStringLiteral("insert into mc_line values (1, 2024, 'A1', 'nail')"));
        exec(QStringLiteral("insert into mc_line values (2, 2024, 'A1', 'screw')"));
        exec(QStringLiteral("insert into mc_line values (3, 2024, 'B2', 'bolt')"));
        session->Commit();

        master = std::make_unique<TOracleDataSet>();
        master->SetName(QStringLiteral("Orders"));
        master->SetSession(session.get());
        master->SetSQLText(QStringLiteral("select rowid, o.* from mc_order o order by no"));
        detail = std::make_unique<TOracleDataSet>();
        detail->SetName(QStringLiteral("Lines"));
        detail->SetSession(session.get());
        detail->SetSQLText(
            QStringLiteral("select rowid, l.* from mc_line l where item <> 'x' order by line_no"));
        detail->DeclareVariable(QStringLiteral("old"), SQLT_STR);
        detail->SetMaster(master.get());
        ui.information = [this](const QString &message) { shown << message; };
    }

    void TearDown() override
    {
        ResetScreenServices();
        detail.reset();
        master.reset();
        DataSetFixture::TearDown();
    }

    // The screen services answer the confirmation with answer and remember the question.
    void answer(int result)
    {
        ScreenServices services;
        services.confirm = [this, result](const QString &message, const QString &buttons) {
            questions << message + QStringLiteral(" [") + buttons + QStringLiteral("]");
            return result;
        };
        InstallScreenServices(services);
    }

    QStringList items()
    {
        QStringList names;
        for (detail->First(); !detail->Eof(); detail->Next())
            names << detail->FieldByName(QStringLiteral("ITEM"))->AsString();
        return names;
    }

    std::unique_ptr<TOracleDataSet> master;
    std::unique_ptr<TOracleDataSet> detail;
    MasterDetailSetupUi ui;
    QStringList shown;
    QStringList questions;
};

TEST_F(MasterDetailConfiguration, ForeignKeyWithRewrittenConditionLinksTheDetail)
{
    answer(mrYes);
    const MasterDetailSetupResult result = ConfigureMasterDetail(*detail, ui);
    EXPECT_EQ(result.outcome, MasterDetailSetupOutcome::ForeignKey);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(questions,
        QStringList { QStringLiteral("Modify query to add variables to WHERE clause?\r\nNOTE: "
                                     "This will remove any existing WHERE clause and "
                                     "variables! [YN]") });
    EXPECT_EQ(detail->MasterFields(), "YEAR;NO");
    EXPECT_EQ(detail->DetailFields(), "ORDER_YEAR;ORDER_NO");
    EXPECT_EQ(detail->GetSQL().trimmed(),
        "select rowid, l.* from mc_line l where order_year = :order_year and order_no = "
        ":order_no\r\norder by line_no");
    ASSERT_EQ(detail->VariableCount(), 2) << "the old variables are gone";
    EXPECT_EQ(detail->VariableIndex(QStringLiteral("old")), -1);
    EXPECT_GE(detail->VariableIndex(QStringLiteral("order_year")), 0);
    EXPECT_GE(detail->VariableIndex(QStringLiteral("order_no")), 0);

    // The link works: the detail follows the master.
    master->Open();
    detail->Open();
    EXPECT_EQ(items(), (QStringList { QStringLiteral("nail"), QStringLiteral("screw") }));
    master->Next();
    EXPECT_EQ(items(), QStringList { QStringLiteral("bolt") });
    detail->Insert();
    EXPECT_EQ(detail->FieldByName(QStringLiteral("ORDER_NO"))->AsString(), "B2");
    EXPECT_EQ(detail->FieldByName(QStringLiteral("ORDER_YEAR"))->AsInteger(), 2024);
    detail->Cancel();
}

TEST_F(MasterDetailConfiguration, AnsweringNoKeepsTheDetailsStatement)
{
    const QString sql = detail->GetSQL();
    answer(mrNo);
    EXPECT_EQ(ConfigureMasterDetail(*detail, ui).outcome, MasterDetailSetupOutcome::ForeignKey);
    EXPECT_EQ(detail->MasterFields(), "YEAR;NO");
    EXPECT_EQ(detail->DetailFields(), "ORDER_YEAR;ORDER_NO");
    EXPECT_EQ(detail->GetSQL(), sql);
    EXPECT_EQ(detail->VariableCount(), 1);
}

TEST_F(MasterDetailConfiguration, RefusalsAreShownWithTheSetUpsMessages)
{
    answer(mrYes);
    struct Case {
        const char *name;
        std::function<void()> arrange;
        QString message;
    };
    const Case cases[] = {
        { "no foreign key",
            [this] { detail->SetSQLText(QStringLiteral("select rowid, a.* from mc_alone a")); },
            NoForeignKeyMessage },
        { "detail without FROM", [this] { detail->SetSQLText(QStringLiteral("begin null; end;")); },
            SetupDetailSqlMessage },
        { "master without FROM", [this] { master->SetSQLText(QStringLiteral("begin null; end;")); },
            SetupMasterSqlMessage },
        { "master table unknown",
            [this] { master->SetSQLText(QStringLiteral("select * from mc_nothing")); },
            SetupMasterSqlMessage },
        { "no session",
            [this] {
                detail->SetSession(nullptr);
                master->SetSession(nullptr);
            },
            SetupSessionMessage },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        shown.clear();
        detail->SetDetailFields(QStringLiteral("KEEP"));
        const MasterDetailSetupResult result = ConfigureMasterDetail(*detail, ui);
        EXPECT_EQ(result.outcome, MasterDetailSetupOutcome::NotPossible);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(shown, QStringList { c.message });
    }
    EXPECT_TRUE(questions.isEmpty()) << "nothing was asked before a refusal";
    EXPECT_EQ(SetupDetailSqlMessage,
        "Automatic Master/Detail configuraion is only\r\npossible if the Detail SQL text is set "
        "correctly,\r\nor if the Master dataset contains one or more collection fields.");

    TOracleDataSet orphan;
    EXPECT_THROW(ConfigureMasterDetail(orphan, ui), Exception);
}

TEST_F(MasterDetailConfiguration, LinkingDatasetsInDesignStateRunsTheSetUp)
{
    answer(mrNo);
    detail->SetMaster(nullptr);
    InstallMasterDetailSetupUi(ui);
    detail->SetDesigning(true);
    master->SetDesigning(true);
    detail->SetMaster(master.get());
    InstallMasterDetailSetupUi(MasterDetailSetupUi());
    EXPECT_EQ(detail->MasterFields(), "YEAR;NO");
    EXPECT_EQ(detail->DetailFields(), "ORDER_YEAR;ORDER_NO");
    EXPECT_EQ(questions.size(), 1);

    // Outside design state the setter only links.
    detail->SetMaster(nullptr);
    detail->SetDesigning(false);
    detail->SetMasterFields(QString());
    detail->SetMaster(master.get());
    EXPECT_EQ(detail->MasterFields(), "");
    EXPECT_EQ(questions.size(), 1);
}

// A master table with a nested-table column and an object column holding one: the set-up offers
// both through the picker and makes the detail read the chosen collection of the master row.
class MasterDetailCollectionConfiguration : public MasterDetailConfiguration {
protected:
    void SetUp() override
    {
        MasterDetailConfiguration::SetUp();
        execIgnoringErrors(QStringLiteral("drop table mc_shop"));
        exec(QStringLiteral("create or replace type mc_phones as table of varchar2(20)"));
        exec(QStringLiteral(
            "create or replace type mc_address as object (street varchar2(30), phones mc_phones)"));
        exec(QStringLiteral("create table mc_shop (id number(6) primary key, name varchar2(20), "
                            "tags mc_phones, address mc_address)"));
        master->SetSQLText(QStringLiteral("select s.*, s.rowid from mc_shop s"));
        detail->SetSQLText(QStringLiteral("select * from mc_line"));
        detail->SetMasterFields(QStringLiteral("OLD"));
        detail->SetDetailFields(QStringLiteral("OLD"));
        ui.selectCollectionColumn = [this](const QStringList &entries, int &index, bool &readOnly) {
            offered = entries;
            index = pick;
            readOnly = pickReadOnly;
            return pick >= 0;
        };
    }

    QStringList offered;
    int pick = -1;
    bool pickReadOnly = false;
};

TEST_F(MasterDetailCollectionConfiguration, TheChosenCollectionBecomesTheDetailsRows)
{
    answer(mrYes);
    pick = 1;
    const MasterDetailSetupResult result = ConfigureMasterDetail(*detail, ui);
    EXPECT_EQ(result.outcome, MasterDetailSetupOutcome::Collection);
    EXPECT_EQ(offered,
        (QStringList { QStringLiteral("TAGS (DEMO.MC_PHONES)"),
            QStringLiteral("ADDRESS.PHONES (DEMO.MC_PHONES)") }));
    EXPECT_TRUE(questions.isEmpty()) << "the picker is the only question";
    EXPECT_EQ(detail->GetSQL().trimmed(),
        "select t.*, rowid\r\n"
        "from table(select m.address.phones\r\n"
        "           from   mc_shop m\r\n"
        "           where  m.id = :id) t");
    EXPECT_EQ(detail->MasterFields(), "ID");
    EXPECT_EQ(detail->DetailFields(), "") << "the variable takes the master field of its name";
    ASSERT_EQ(detail->VariableCount(), 1);
    EXPECT_EQ(detail->VariableName(0).toLower(), ":id");

    pick = 0;
    pickReadOnly = true;
    EXPECT_EQ(ConfigureMasterDetail(*detail, ui).outcome, MasterDetailSetupOutcome::Collection);
    EXPECT_TRUE(
        detail->GetSQL().startsWith(QStringLiteral("select t.*\r\nfrom table(select m.tags\r\n")))
        << qPrintable(detail->GetSQL());
}

TEST_F(MasterDetailCollectionConfiguration, CancellingThePickerChangesNothing)
{
    answer(mrYes);
    const QString sql = detail->GetSQL();
    pick = -1;
    EXPECT_EQ(ConfigureMasterDetail(*detail, ui).outcome, MasterDetailSetupOutcome::Cancelled);
    EXPECT_EQ(offered.size(), 2);
    EXPECT_EQ(detail->GetSQL(), sql);
    EXPECT_EQ(detail->DetailFields(), "OLD");
    EXPECT_EQ(detail->VariableCount(), 1);
    EXPECT_TRUE(questions.isEmpty());

    // Without a picker the collections are not offered: the foreign key is looked for, and the
    // shop table has none to the lines.
    ui.selectCollectionColumn = nullptr;
    EXPECT_EQ(ConfigureMasterDetail(*detail, ui).message, NoForeignKeyMessage);
}

} // namespace
} // namespace qd
