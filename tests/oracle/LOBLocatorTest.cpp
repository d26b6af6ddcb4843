// TLOBLocator against the stand-in through the product's loader: null locators stay on the
// client, stream positions, growing and trimming, temporary LOBs bound into statements, LOB
// columns fetched through the query, BFILEs.
#include "OracleQueryTestFixture.h"

#include "common/TestSupport.h"
#include "oracle/LOBLocator.h"

#include <QDir>
#include <QFile>

#include <memory>

namespace qd::test {
namespace {

class LobLocators : public OracleQueryFixture {
protected:
    std::unique_ptr<TLOBLocator> temporary(int type, const QByteArray &content = {})
    {
        std::unique_ptr<TLOBLocator> lob(TLOBLocator::CreateTemporary(session.get(), type, true));
        if (!content.isEmpty()) {
            EXPECT_EQ(lob->Write(content.constData(), content.size()), content.size());
        }
        return lob;
    }
    static QByteArray contentOf(TLOBLocator &lob)
    {
        QByteArray bytes(static_cast<qsizetype>(lob.Size()), '?');
        lob.Seek(0, 0);
        bytes.truncate(static_cast<qsizetype>(lob.Read(bytes.data(), bytes.size())));
        return bytes;
    }
};

TEST_P(LobLocators, NullLocatorReadsAndMeasuresWithoutServerCall)
{
    ASSERT_TRUE(StandinHooks::get().complete());
    TLOBLocator lob(session.get(), otCLOB);
    EXPECT_TRUE(lob.IsNull());
    resetRoundTrips();
    char buffer[16] = {};
    EXPECT_EQ(lob.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(lob.Length(), 0);
    EXPECT_EQ(lob.Size(), 0);
    EXPECT_EQ(lob.Position(), 0);
    EXPECT_EQ(roundTrips(), 0);

    // The same questions of a value do go to the server (so the count above means something).
    auto value = temporary(otCLOB, "abc");
    resetRoundTrips();
    EXPECT_EQ(value->Length(), 3);
    value->Seek(0, 0);
    EXPECT_EQ(value->Read(buffer, sizeof buffer), 3);
    EXPECT_EQ(roundTrips(), 2);
}

TEST_P(LobLocators, SeekMovesThePositionByOrigin)
{
    auto lob = temporary(otCLOB, "0123456789");
    struct Case {
        qint64 from, offset;
        int origin;
        qint64 expected;
    } cases[] = {
        { 3, 5, 1, 8 }, // from the current position
        { 3, 5, 0, 5 }, // from the start
        { 3, 0, 2, 10 }, // the end is the length
        { 3, -4, 2, 6 }, { 3, 9, 7, 3 }, // an unknown origin leaves the position
        { 3, -5, 1, -2 }, // not clamped
    };
    for (const Case &c : cases) {
        lob->Seek(c.from, 0);
        EXPECT_EQ(lob->Seek(c.offset, c.origin), c.expected)
            << c.from << " " << c.offset << " " << c.origin;
        EXPECT_EQ(lob->Position(), c.expected);
    }
    // A position before the start is refused by the reader, and stays where it was.
    char buffer[4];
    lob->Seek(-2, 0);
    EXPECT_THROW(lob->Read(buffer, sizeof buffer), Exception);
    EXPECT_EQ(lob->Position(), -2);
}

TEST_P(LobLocators, SetSizeGrowsWithOneUnitAtTheEndAndTrims)
{
    auto clob = temporary(otCLOB, "0123456789");
    clob->SetSize(15);
    EXPECT_EQ(clob->Length(), 15);
    EXPECT_EQ(clob->Position(), 15); // the blank went to offset 15 (position 14)
    EXPECT_EQ(contentOf(*clob), QByteArray("0123456789     "));
    clob->SetSize(4);
    EXPECT_EQ(contentOf(*clob), QByteArray("0123"));
    clob->SetSize(4);
    EXPECT_EQ(clob->Length(), 4);

    auto blob = temporary(otBLOB, QByteArray("\x01\x02", 2));
    blob->SetSize(4);
    EXPECT_EQ(contentOf(*blob), QByteArray("\x01\x02\x00\x00", 4));
}

TEST_P(LobLocators, ReadAndWriteAdvanceThePosition)
{
    auto lob = temporary(otBLOB);
    EXPECT_FALSE(lob->IsNull());
    EXPECT_TRUE(lob->IsTemporary());
    EXPECT_EQ(lob->Write("abcdef", 6), 6);
    EXPECT_EQ(lob->Position(), 6);
    lob->Seek(2, 0);
    EXPECT_EQ(lob->Write("XY", 2), 2);
    lob->Seek(1, 0);
    char buffer[3];
    EXPECT_EQ(lob->Read(buffer, 3), 3);
    EXPECT_EQ(QByteArray(buffer, 3), QByteArray("bXY"));
    EXPECT_EQ(lob->Position(), 4);
    EXPECT_EQ(lob->Read(buffer, 3), 2); // only "ef" is left
    EXPECT_EQ(lob->Position(), 6);
    EXPECT_EQ(lob->Read(buffer, 0), 0);
}

TEST_P(LobLocators, WritingANullLocatorFailsOnTheServerAndKeepsThePosition)
{
    TLOBLocator lob(session.get(), otCLOB);
    try {
        lob.Write("x", 1);
        FAIL() << "a null locator was written";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 22275);
        EXPECT_STREQ(e.CallName(), "OCILobWrite");
    }
    EXPECT_EQ(lob.Position(), 0);
}

TEST_P(LobLocators, CreationChecksTypeAndSession)
{
    try {
        TLOBLocator lob(session.get(), 5);
        FAIL() << "a LOB of type 5 was made";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Type must be otCLOB, otBLOB or otBFile"));
    }
    TOracleSession idle;
    try {
        TLOBLocator lob(&idle, otCLOB);
        FAIL() << "a LOB was made on a session that is not connected";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("A TLOBLocator instance requires")))
            << e.Message().toStdString();
    }
}

TEST_P(LobLocators, TemporaryLobsBindIntoAnInsertAndFetchBack)
{
    createTable(QStringLiteral("lob_rows"), QStringLiteral("id number, c clob, b blob"));
    auto clob = temporary(otCLOB, "first line\nsecond line");
    auto blob = temporary(otBLOB, QByteArray("\x00\xff\x10", 3));
    query->SQL().SetText(QStringLiteral("insert into lob_rows values (:id, :c, :b)"));
    query->DeclareVariable(QStringLiteral("id"), SQLT_INT);
    query->DeclareVariable(QStringLiteral("c"), SQLT_CLOB);
    query->DeclareVariable(QStringLiteral("b"), SQLT_BLOB);
    query->SetVariable(QStringLiteral("id"), 1);
    query->SetComplexVariable(QStringLiteral("c"), clob.get());
    query->SetComplexVariable(QStringLiteral("b"), blob.get());
    query->Execute();
    TLOBLocator empty(session.get(), otCLOB);
    query->SetVariable(QStringLiteral("id"), 2);
    query->SetComplexVariable(QStringLiteral("c"), &empty);
    query->SetComplexVariable(QStringLiteral("b"), &empty);
    query->Execute();

    TOracleQuery select;
    select.SetSession(session.get());
    select.SQL().SetText(QStringLiteral("select c, b from lob_rows order by id"));
    select.Execute();
    ASSERT_FALSE(select.Eof());
    EXPECT_EQ(select.Field(0).AsString(), QStringLiteral("first line\r\nsecond line"));
    EXPECT_EQ(select.FieldAsString(0), QStringLiteral("first line\r\nsecond line"));
    EXPECT_EQ(select.Field(1).AsBytes(), QByteArray("\x00\xff\x10", 3));
    auto *fetched = dynamic_cast<TLOBLocator *>(select.LOBField(0));
    ASSERT_TRUE(fetched);
    EXPECT_EQ(fetched->Length(), 22);
    EXPECT_EQ(fetched->Position(), 22); // Field read the whole value through the stream
    fetched->Seek(0, 0);
    char head[5];
    EXPECT_EQ(fetched->Read(head, 5), 5);
    EXPECT_EQ(QByteArray(head, 5), QByteArray("first"));
    EXPECT_FALSE(fetched->IsTemporary());

    select.Next();
    ASSERT_FALSE(select.Eof());
    EXPECT_TRUE(select.FieldIsNull(0));
    EXPECT_TRUE(select.Field(0).IsUnassigned());
    EXPECT_TRUE(dynamic_cast<TLOBLocator *>(select.LOBField(0))->IsNull());
    select.Next();
    EXPECT_TRUE(select.Eof());
}

TEST_P(LobLocators, BfileOpensOnFirstReadAndClosesWithTheLocator)
{
    const QString directory = programDirectory() + QStringLiteral("/standin/DEMO/bfiles/DOCS");
    QDir().mkpath(directory);
    QFile file(directory + QStringLiteral("/locator.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("bfile text");
    file.close();
    createTable(QStringLiteral("lob_files"), QStringLiteral("f bfile"));
    run(QStringLiteral("insert into lob_files values (bfilename('DOCS', 'locator.txt'))"));
    query->SQL().SetText(QStringLiteral("select f from lob_files"));
    query->Execute();
    auto *lob = dynamic_cast<TLOBLocator *>(query->LOBField(0));
    ASSERT_TRUE(lob);
    EXPECT_FALSE(lob->FileIsOpen());
    EXPECT_EQ(lob->Length(), 10);
    char buffer[5];
    EXPECT_EQ(lob->Read(buffer, 5), 5);
    EXPECT_TRUE(lob->FileIsOpen());
    EXPECT_EQ(QByteArray(buffer, 5), QByteArray("bfile"));
    EXPECT_THROW(lob->Write("x", 1), EOracleError); // read-only
    EXPECT_EQ(query->Field(0).AsBytes(), QByteArray("bfile text"));
    lob->CloseFile();
    EXPECT_FALSE(lob->FileIsOpen());
}

INSTANTIATE_TEST_SUITE_P(HandleMode, LobLocators, ::testing::Values(false));

} // namespace
} // namespace qd::test
