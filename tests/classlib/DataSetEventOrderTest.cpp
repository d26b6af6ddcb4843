// The order of events of each dataset operation, as controls and descendants see it.
#include "DataSetFixture.h"

#include "classlib/DataLink.h"

namespace qd::test {
namespace {

class RecordingLink : public TDataLink {
public:
    explicit RecordingLink(QStringList &log)
        : m_log(log)
    {
    }

protected:
    void ActiveChanged() override { m_log << QStringLiteral("link.Active=%1").arg(Active()); }
    void EditingChanged() override { m_log << QStringLiteral("link.Editing=%1").arg(Editing()); }
    void DataSetChanged() override { m_log << "link.DataSetChanged"; }
    void DataSetScrolled(int distance) override
    {
        m_log << QStringLiteral("link.Scrolled(%1)").arg(distance);
    }
    void RecordChanged(TField *field) override
    {
        m_log << QStringLiteral("link.RecordChanged(%1)").arg(field ? field->FieldName() : "-");
    }
    void CheckBrowseMode() override { m_log << "link.CheckBrowseMode"; }
    void UpdateData() override { m_log << "link.UpdateData"; }

private:
    QStringList &m_log;
};

struct Recorder {
    QStringList log;
    TDataSource source;
    RecordingLink link { log };

    explicit Recorder(TDataSet &ds)
    {
        const std::pair<TDataSetNotifyEvent TDataSet::*, const char *> events[] = {
            { &TDataSet::BeforeOpen, "BeforeOpen" },
            { &TDataSet::AfterOpen, "AfterOpen" },
            { &TDataSet::BeforeClose, "BeforeClose" },
            { &TDataSet::AfterClose, "AfterClose" },
            { &TDataSet::BeforeInsert, "BeforeInsert" },
            { &TDataSet::AfterInsert, "AfterInsert" },
            { &TDataSet::BeforeEdit, "BeforeEdit" },
            { &TDataSet::AfterEdit, "AfterEdit" },
            { &TDataSet::BeforePost, "BeforePost" },
            { &TDataSet::AfterPost, "AfterPost" },
            { &TDataSet::BeforeCancel, "BeforeCancel" },
            { &TDataSet::AfterCancel, "AfterCancel" },
            { &TDataSet::BeforeDelete, "BeforeDelete" },
            { &TDataSet::AfterDelete, "AfterDelete" },
            { &TDataSet::BeforeScroll, "BeforeScroll" },
            { &TDataSet::AfterScroll, "AfterScroll" },
            { &TDataSet::BeforeRefresh, "BeforeRefresh" },
            { &TDataSet::AfterRefresh, "AfterRefresh" },
            { &TDataSet::OnNewRecord, "OnNewRecord" },
        };
        for (const auto &[member, name] : events) {
            const QString text = QString::fromLatin1(name);
            ds.*member = [this, text](TDataSet *) { log << text; };
        }
        source.OnStateChange = [this](TDataSource *s) {
            log << QStringLiteral("source.State=%1").arg(static_cast<int>(s->State()));
        };
        source.OnDataChange = [this](TDataSource *, TField *field) {
            log << QStringLiteral("source.DataChange(%1)").arg(field ? field->FieldName() : "-");
        };
        source.SetDataSet(&ds);
        link.SetDataSource(&source);
    }
};

struct Case {
    const char *name;
    std::function<void(TDataSet &)> setup;
    std::function<void(TDataSet &)> operation;
    QStringList expected;
};

TEST(DataSetEventOrder, EachOperationSendsItsEventsInOrder)
{
    const auto none = [](TDataSet &) {};
    const auto edit = [](TDataSet &ds) {
        ds.Edit();
        ds.FieldByName("NAME")->SetAsString("x");
    };
    // dsBrowse = 1, dsEdit = 2, dsInsert = 3, dsInactive = 0.
    const Case cases[] = {
        { "Open", nullptr, [](TDataSet &ds) { ds.Open(); },
            { "BeforeOpen", "link.Active=1", "source.State=1", "source.DataChange(-)", "AfterOpen",
                "AfterScroll" } },
        { "Close", none, [](TDataSet &ds) { ds.Close(); },
            { "BeforeClose", "link.Active=0", "source.State=0", "AfterClose" } },
        { "Next", none, [](TDataSet &ds) { ds.Next(); },
            { "link.CheckBrowseMode", "BeforeScroll", "link.Scrolled(1)", "source.DataChange(-)",
                "AfterScroll" } },
        { "First", none, [](TDataSet &ds) { ds.First(); },
            { "link.CheckBrowseMode", "BeforeScroll", "link.DataSetChanged", "source.DataChange(-)",
                "AfterScroll" } },
        { "Edit", none, [](TDataSet &ds) { ds.Edit(); },
            { "link.CheckBrowseMode", "BeforeEdit", "link.Editing=1", "source.State=2",
                "link.RecordChanged(-)", "source.DataChange(-)", "AfterEdit" } },
        { "SetField", [](TDataSet &ds) { ds.Edit(); },
            [](TDataSet &ds) { ds.FieldByName("NAME")->SetAsString("x"); },
            { "link.RecordChanged(NAME)", "source.DataChange(NAME)" } },
        { "Post", edit, [](TDataSet &ds) { ds.Post(); },
            { "link.UpdateData", "link.CheckBrowseMode", "BeforePost", "link.Editing=0",
                "source.State=1", "link.DataSetChanged", "source.DataChange(-)", "AfterPost" } },
        { "Cancel", edit, [](TDataSet &ds) { ds.Cancel(); },
            { "link.CheckBrowseMode", "BeforeCancel", "link.Editing=0", "source.State=1",
                "link.DataSetChanged", "source.DataChange(-)", "AfterCancel" } },
        { "Insert", none, [](TDataSet &ds) { ds.Insert(); },
            { "link.CheckBrowseMode", "BeforeInsert", "BeforeScroll", "link.Editing=1",
                "source.State=3", "OnNewRecord", "link.DataSetChanged", "source.DataChange(-)",
                "AfterInsert", "AfterScroll" } },
        { "CancelInsert", [](TDataSet &ds) { ds.Insert(); }, [](TDataSet &ds) { ds.Cancel(); },
            { "link.CheckBrowseMode", "BeforeCancel", "BeforeScroll", "link.Editing=0",
                "source.State=1", "link.DataSetChanged", "source.DataChange(-)", "AfterCancel",
                "AfterScroll" } },
        { "Delete", none, [](TDataSet &ds) { ds.Delete(); },
            { "link.CheckBrowseMode", "BeforeDelete", "BeforeScroll", "link.DataSetChanged",
                "source.DataChange(-)", "AfterDelete", "AfterScroll" } },
        { "Refresh", none, [](TDataSet &ds) { ds.Refresh(); },
            { "link.CheckBrowseMode", "BeforeRefresh", "link.DataSetChanged",
                "source.DataChange(-)", "AfterRefresh" } },
        { "NextWhileEditing", edit, [](TDataSet &ds) { ds.Next(); },
            { "link.CheckBrowseMode", "link.UpdateData", "link.UpdateData", "link.CheckBrowseMode",
                "BeforePost", "link.Editing=0", "source.State=1", "link.DataSetChanged",
                "source.DataChange(-)", "AfterPost", "BeforeScroll", "link.Scrolled(1)",
                "source.DataChange(-)", "AfterScroll" } },
    };
    for (const Case &c : cases) {
        auto ds = makePeople(3, false);
        Recorder recorder(*ds);
        if (c.setup) {
            ds->Open();
            c.setup(*ds);
        }
        recorder.log.clear();
        c.operation(*ds);
        EXPECT_EQ(recorder.log, c.expected) << c.name;
        // The handlers refer to the recorder: close while it is still there.
        ds->Close();
    }
}

TEST(DataSetEventOrder, DisabledControlsHearOneChangeAtTheEnd)
{
    auto ds = makePeople(4);
    Recorder recorder(*ds);
    recorder.log.clear();
    ds->DisableControls();
    EXPECT_TRUE(ds->ControlsDisabled());
    ds->Next();
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("x");
    ds->Post();
    ds->Last();
    EXPECT_TRUE(recorder.log.filter("link.").isEmpty()) << recorder.log.join(", ").toStdString();
    ds->DisableControls();
    ds->EnableControls();
    EXPECT_TRUE(recorder.log.filter("link.").isEmpty()) << "nested: still disabled";
    recorder.log.clear();
    ds->EnableControls();
    EXPECT_FALSE(ds->ControlsDisabled());
    EXPECT_EQ(recorder.log, QStringList({ "link.DataSetChanged", "source.DataChange(-)" }));
    ds->Close();
}

TEST(DataSetEventOrder, DisabledDataSourceHearsNothing)
{
    auto ds = makePeople(3);
    Recorder recorder(*ds);
    recorder.source.SetEnabled(false);
    recorder.log.clear();
    ds->Next();
    EXPECT_TRUE(recorder.log.filter("link.").isEmpty());
    EXPECT_EQ(recorder.link.Active(), false);
    recorder.source.SetEnabled(true);
    EXPECT_EQ(recorder.link.Active(), true);
    ds->Close();
}

} // namespace
} // namespace qd::test
