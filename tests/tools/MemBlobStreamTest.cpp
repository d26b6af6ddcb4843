// TMemBlobStream: writing and reading BLOB values of a TMemoryData.
#include "MemoryDataFixture.h"

#include "classlib/Stream.h"
#include "tools/MemBlobStream.h"

namespace qd::test {
namespace {

TEST(MemBlobStream, WritingPastTheEndGrowsAndReadingPastTheEndIsShort)
{
    auto ds = makeItems();
    TField *note = ds->FieldByName(QStringLiteral("NOTE"));
    ds->Append();
    {
        auto stream = ds->CreateBlobStream(note, bmReadWrite);
        EXPECT_EQ(stream->Size(), 0);
        EXPECT_EQ(stream->Write("abc", 3), 3);
        // A gap left by seeking past the end is filled with zero bytes.
        EXPECT_EQ(stream->Seek(5, soBeginning), 5);
        EXPECT_EQ(stream->Write("xy", 2), 2);
        EXPECT_EQ(stream->Size(), 7);
        stream->Seek(1, soBeginning);
        EXPECT_EQ(stream->Write("BCDE", 4), 4); // overwrites inside, no growth
        EXPECT_EQ(stream->Size(), 7);
        EXPECT_EQ(stream->Seek(-2, soEnd), 5);
        char buffer[10] = {};
        EXPECT_EQ(stream->Read(buffer, 10), 2);
        EXPECT_EQ(QByteArray(buffer, 2), QByteArray("xy"));
        EXPECT_EQ(stream->Read(buffer, 10), 0);
    }
    EXPECT_TRUE(static_cast<TBlobField *>(note)->Modified());
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("n"));
    ds->Post();
    EXPECT_EQ(note->AsBytes(), QByteArray("aBCDExy", 7));
    EXPECT_FALSE(note->IsNull());
    EXPECT_EQ(note->AsVariant(), Variant(QStringLiteral("aBCDExy")));

    // Reading the stored value in browse state; a short read at the end.
    auto reader = ds->CreateBlobStream(note, bmRead);
    char buffer[4] = {};
    reader->Seek(4, soBeginning);
    EXPECT_EQ(reader->Read(buffer, 4), 3);
    EXPECT_EQ(reader->Write("zz", 2), 0);
}

TEST(MemBlobStream, WritingNeedsAnEditAndAWritableField)
{
    auto ds = makeItems();
    TField *note = ds->FieldByName(QStringLiteral("NOTE"));
    appendItem(*ds, "n", 1);
    try {
        ds->CreateBlobStream(note, bmWrite);
        ADD_FAILURE() << "wrote outside an edit";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Dataset not in edit or insert mode"));
    }
    note->SetReadOnly(true);
    ds->Edit();
    try {
        ds->CreateBlobStream(note, bmWrite);
        ADD_FAILURE() << "wrote a read-only field";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Field 'NOTE' cannot be modified"));
    }
    ds->Cancel();
    EXPECT_THROW(
        ds->CreateBlobStream(ds->FieldByName(QStringLiteral("QTY")), bmRead), EDatabaseError);
}

TEST(MemBlobStream, CancelRestoresTheStoredValueAndChangesAreSignalled)
{
    auto ds = makeItems();
    TField *note = ds->FieldByName(QStringLiteral("NOTE"));
    int changes = 0;
    note->OnChange = [&](TField *) { ++changes; };
    ds->Append();
    note->SetAsString(QStringLiteral("first"));
    ds->Post();
    EXPECT_EQ(changes, 1);
    ds->Edit();
    note->SetAsString(QStringLiteral("second"));
    EXPECT_EQ(note->AsString(), QStringLiteral("second"));
    ds->Cancel();
    EXPECT_EQ(note->AsString(), QStringLiteral("first"));
    // Truncating empties the value: it reads as null again.
    ds->Edit();
    {
        auto stream = ds->CreateBlobStream(note, bmReadWrite);
        static_cast<TMemBlobStream *>(stream.get())->Truncate();
    }
    ds->Post();
    EXPECT_TRUE(note->IsNull());
    EXPECT_EQ(changes, 3);
}

} // namespace
} // namespace qd::test
