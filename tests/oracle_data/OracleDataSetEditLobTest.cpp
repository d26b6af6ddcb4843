#include "DataSetTestFixture.h"
#include "EditBackTestSupport.h"

#include "oracle/LOBLocator.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

// LOB columns posted through a dataset: the statement texts the stand-in's trace shows, and the
// values read back from the server.
class OracleDataSetEditLob : public test::DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        ASSERT_TRUE(test::StandinHooks::get().complete());
        createTable(
            QStringLiteral("EDL"), QStringLiteral("id number(6) primary key, note clob, pic blob"));
        exec(QStringLiteral("insert into EDL (id, note) values (1, 'first')"));
        session->Commit();
    }

    QStringList sent() { return test::StandinHooks::get().takeTrace(session->ServiceContext()); }
    TOracleDataSet &openLobs(TTemporaryLOBOption temporary, TLockingModeOptions mode = lmNone)
    {
        session->Preferences().SetTemporaryLOB(temporary);
        TOracleDataSet &ds
            = newDataSet(QStringLiteral("select EDL.rowid, EDL.* from DEMO.EDL order by id"));
        ds.SetLockingMode(mode);
        ds.Open();
        sent();
        return ds;
    }
    // The row's values as a fresh session reads them: the posts were committed.
    QString noteOf(int id)
    {
        auto reader = test::LogOnDemo();
        TOracleQuery q;
        q.SetSession(reader.get());
        q.SQL().SetText(QStringLiteral("select note from EDL where id = %1").arg(id));
        q.Execute();
        const QString text = q.Eof() ? QStringLiteral("<no row>") : q.FieldAsString(0);
        reader->LogOff();
        return text;
    }
    QByteArray picOf(int id)
    {
        TOracleQuery q;
        q.SetSession(session.get());
        q.SQL().SetText(QStringLiteral("select pic from EDL where id = %1").arg(id));
        q.Execute();
        const QByteArray bytes = q.Eof() ? QByteArray("<no row>") : q.Field(0).AsBytes();
        sent();
        return bytes;
    }
};

const QByteArray picture("\x89PNG\0\x01\xff", 7);

} // namespace

TEST_F(OracleDataSetEditLob, ClobIsWrittenToTheLocatorTheUpdateReturns)
{
    TOracleDataSet &ds = openLobs(tlNone);
    ds.Edit();
    ds.FieldByName(QStringLiteral("NOTE"))->SetAsString(QStringLiteral("line one\r\nline two"));
    ds.Post();
    EXPECT_EQ(sent(),
        QStringList({ QStringLiteral("savepoint ZEB__LOCKPOINT"),
            QStringLiteral("update DEMO.EDL\nset NOTE = empty_clob()\nwhere rowid = :zeb__rowid\n"
                           "returning NOTE, rowid into :v2, :zeb__rowid") }));
    EXPECT_EQ(noteOf(1), QStringLiteral("line one\r\nline two"));
    // The dataset keeps what it wrote and still addresses the row.
    EXPECT_EQ(
        ds.FieldByName(QStringLiteral("NOTE"))->AsString(), QStringLiteral("line one\r\nline two"));
    EXPECT_FALSE(ds.RowId().isEmpty());

    // Emptying the column sends null, no locator.
    ds.Edit();
    ds.FieldByName(QStringLiteral("NOTE"))->Clear();
    ds.Post();
    EXPECT_EQ(sent().value(1),
        QStringLiteral("update DEMO.EDL\nset NOTE = null\nwhere rowid = :zeb__rowid\n"
                       "returning rowid into :zeb__rowid"));
    EXPECT_EQ(noteOf(1), QString());
}

TEST_F(OracleDataSetEditLob, InsertWritesClobAndBlobThroughReturnedLocators)
{
    TOracleDataSet &ds = openLobs(tlNone);
    ds.Append();
    ds.FieldByName(QStringLiteral("ID"))->SetAsInteger(2);
    ds.FieldByName(QStringLiteral("NOTE"))->SetAsString(QStringLiteral("second"));
    ds.FieldByName(QStringLiteral("PIC"))->SetAsBytes(picture);
    ds.Post();
    EXPECT_EQ(sent(),
        QStringList({ QStringLiteral("savepoint ZEB__LOCKPOINT"),
            QStringLiteral("insert into DEMO.EDL\n  (ID, NOTE, PIC)\nvalues\n"
                           "  (:v1, empty_clob(), empty_blob())\n"
                           "returning NOTE, PIC, rowid into :v2, :v3, :zeb__rowid") }));
    EXPECT_EQ(noteOf(2), QStringLiteral("second"));
    EXPECT_EQ(picOf(2), picture);
    EXPECT_EQ(ds.RecordCount(), 2);
}

TEST_F(OracleDataSetEditLob, TemporaryLobsCarryTheValueAsABind)
{
    // Checked before the post: the row is locked and compared first, LOB columns aside.
    TOracleDataSet &ds = openLobs(tlCache, lmCheckImmediate);
    ds.Edit();
    ds.FieldByName(QStringLiteral("NOTE"))->SetAsString(QStringLiteral("through a temporary"));
    ds.FieldByName(QStringLiteral("PIC"))->SetAsBytes(picture);
    sent();
    ds.Post();
    EXPECT_EQ(sent(),
        QStringList({ QStringLiteral("savepoint ZEB__LOCKPOINT"),
            QStringLiteral("select * from DEMO.EDL where rowid = :zeb__rowid\nfor update nowait"),
            QStringLiteral("update DEMO.EDL\nset NOTE = :v2, PIC = :v3\n"
                           "where rowid = :zeb__rowid\nreturning rowid into :zeb__rowid") }));
    EXPECT_EQ(noteOf(1), QStringLiteral("through a temporary"));
    EXPECT_EQ(picOf(1), picture);
}

TEST_F(OracleDataSetEditLob, FailedLobPostLeavesTheRowAsItWas)
{
    // The row is gone: the update finds nothing, no value is written and the edit stays open.
    TOracleDataSet &ds = openLobs(tlNone);
    exec(QStringLiteral("delete from EDL where id = 1"));
    session->Commit();
    ds.Edit();
    ds.FieldByName(QStringLiteral("NOTE"))->SetAsString(QStringLiteral("lost?"));
    EXPECT_EQ(
        messageOf([&] { ds.Post(); }), QStringLiteral("Record has been deleted by another user"));
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
    EXPECT_EQ(noteOf(1), QStringLiteral("<no row>"));
}

} // namespace qd
