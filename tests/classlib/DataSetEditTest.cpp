#include "DataSetFixture.h"

#include "classlib/Stream.h"

namespace qd::test {
namespace {

TEST(DataSetEdit, EditAndPostStoresTheValue)
{
    auto ds = makePeople(3);
    ds->Next();
    ds->Edit();
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_FALSE(ds->Modified());
    ds->FieldByName("NAME")->SetAsString("Second");
    EXPECT_TRUE(ds->Modified());
    EXPECT_EQ(ds->FieldByName("NAME")->OldValue().AsString(), "P2");
    EXPECT_EQ(ds->FieldByName("NAME")->NewValue().AsString(), "Second");
    EXPECT_TRUE(ds->Modified()) << "reading old values keeps the edit modified";
    ds->Post();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "Second");
    EXPECT_EQ(ds->StoredValue(1, "NAME").AsString(), "Second");
    EXPECT_EQ(namesInOrder(*ds), QStringList({ "P1", "Second", "P3" }));
}

TEST(DataSetEdit, CancelRestoresTheRecord)
{
    auto ds = makePeople(3);
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("changed");
    ds->FieldByName("AMOUNT")->Clear();
    ds->Cancel();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "P1");
    EXPECT_DOUBLE_EQ(ds->FieldByName("AMOUNT")->AsFloat(), 1.5);
}

TEST(DataSetEdit, ScrollingPostsAModifiedEditAndCancelsAnUntouchedInsert)
{
    auto ds = makePeople(3);
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("first");
    ds->Next();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->StoredValue(0, "NAME").AsString(), "first");

    ds->OnNewRecord = [](TDataSet *d) { d->FieldByName("AMOUNT")->SetAsFloat(9); };
    ds->Insert();
    ds->Next();
    EXPECT_EQ(ds->RecordCount(), 3) << "defaults from OnNewRecord are no change";
}

TEST(DataSetEdit, InsertPutsTheRecordBeforeTheCurrentOne)
{
    auto ds = makePeople(3);
    ds->Next();
    ds->Insert();
    EXPECT_EQ(ds->State(), dsInsert);
    EXPECT_TRUE(ds->FieldByName("NAME")->IsNull());
    ds->FieldByName("ID")->SetAsInteger(10);
    ds->FieldByName("NAME")->SetAsString("new");
    ds->Post();
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "new") << "the posted record is current";
    EXPECT_EQ(namesInOrder(*ds), QStringList({ "P1", "new", "P2", "P3" }));
}

TEST(DataSetEdit, AppendAddsAtTheEndAndIntoAnEmptyDataSet)
{
    auto ds = makePeople(2);
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(3);
    ds->FieldByName("NAME")->SetAsString("last");
    ds->Post();
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "last");
    EXPECT_EQ(namesInOrder(*ds), QStringList({ "P1", "P2", "last" }));

    auto empty = makePeople(0);
    empty->Insert();
    empty->FieldByName("ID")->SetAsInteger(1);
    empty->FieldByName("NAME")->SetAsString("only");
    empty->Post();
    EXPECT_FALSE(empty->IsEmpty());
    EXPECT_EQ(namesInOrder(*empty), QStringList({ "only" }));
}

TEST(DataSetEdit, EditOnAnEmptyDataSetInserts)
{
    auto ds = makePeople(0);
    ds->Edit();
    EXPECT_EQ(ds->State(), dsInsert);
}

TEST(DataSetEdit, DeleteRemovesTheCurrentRecordAndMovesToTheNext)
{
    auto ds = makePeople(3);
    ds->Next();
    ds->Delete();
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "P3");
    ds->Delete();
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "P1") << "deleting the last moves back";
    ds->Delete();
    EXPECT_TRUE(ds->IsEmpty());
}

TEST(DataSetEdit, RequiredFieldsMustHaveAValue)
{
    auto ds = makePeople(1);
    ds->FieldByName("NAME")->SetDisplayLabel("Name");
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(2);
    try {
        ds->Post();
        FAIL() << "posted without a name";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Field 'Name' must have a value");
    }
    EXPECT_EQ(ds->State(), dsInsert) << "the record stays for correction";
    ds->FieldByName("NAME")->SetAsString("");
    EXPECT_THROW(ds->Post(), EDatabaseError) << "an empty text is null";
    ds->FieldByName("NAME")->SetAsString("x");
    ds->Post();
    EXPECT_EQ(ds->RecordCount(), 2);
}

TEST(DataSetEdit, FieldsAreWrittenOnlyWhileEditing)
{
    auto ds = makePeople(2);
    try {
        ds->FieldByName("NAME")->SetAsString("x");
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Dataset not in edit or insert mode");
    }
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "P1");

    ds->FieldByName("ID")->SetReadOnly(true);
    ds->Edit();
    try {
        ds->FieldByName("ID")->SetAsInteger(5);
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Field 'ID' cannot be modified");
    }
    ds->Cancel();

    ds->SetReadOnly(true);
    try {
        ds->Edit();
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Cannot modify a read-only dataset");
    }
    EXPECT_THROW(ds->Insert(), EDatabaseError);
    EXPECT_EQ(ds->State(), dsBrowse);
}

// An error handler answers a failed post, edit or delete with fail, abort or retry.
TEST(DataSetEdit, ErrorHandlersRetryAbortOrFail)
{
    auto ds = makePeople(2);
    int calls = 0;
    ds->OnPostError = [&](TDataSet *d, EDatabaseError &e, TDataAction &action) {
        ++calls;
        EXPECT_EQ(e.Message(), "Field 'NAME' must have a value");
        d->FieldByName("NAME")->SetAsString("fixed");
        action = daRetry;
    };
    ds->Edit();
    ds->FieldByName("NAME")->Clear();
    ds->Post();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "fixed");

    ds->OnPostError = [](TDataSet *, EDatabaseError &, TDataAction &action) { action = daAbort; };
    ds->Edit();
    ds->FieldByName("NAME")->Clear();
    EXPECT_THROW(ds->Post(), EAbort);
    EXPECT_EQ(ds->State(), dsEdit);
    ds->Cancel();

    ds->OnPostError = [](TDataSet *, EDatabaseError &, TDataAction &) {};
    ds->Edit();
    ds->FieldByName("NAME")->Clear();
    EXPECT_THROW(ds->Post(), EDatabaseError) << "daFail lets the error through";
    ds->Cancel();

    // Edit and delete errors: the dataset's own operation fails until the handler has seen
    // it twice; retry runs the operation again, abort unwinds silently.
    int failuresLeft = 0;
    ds->BeforeInternal = [&](const char *operation) {
        if (failuresLeft > 0) {
            --failuresLeft;
            throw EDatabaseError(QStringLiteral("record locked (%1)").arg(operation));
        }
    };
    QStringList seen;
    ds->OnEditError = [&](TDataSet *, EDatabaseError &e, TDataAction &action) {
        seen << e.Message();
        action = daRetry;
    };
    failuresLeft = 2;
    ds->Edit();
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_EQ(seen, QStringList({ "record locked (edit)", "record locked (edit)" }));
    ds->Cancel();

    ds->OnEditError = [](TDataSet *, EDatabaseError &, TDataAction &action) { action = daAbort; };
    failuresLeft = 1;
    EXPECT_THROW(ds->Edit(), EAbort);
    EXPECT_EQ(ds->State(), dsBrowse);

    ds->OnDeleteError = [](TDataSet *, EDatabaseError &, TDataAction &action) { action = daFail; };
    failuresLeft = 1;
    EXPECT_THROW(ds->Delete(), EDatabaseError);
    EXPECT_EQ(ds->RecordCount(), 2) << "a failed delete keeps the record";
    ds->OnDeleteError = [](TDataSet *, EDatabaseError &, TDataAction &action) { action = daRetry; };
    failuresLeft = 1;
    ds->Delete();
    EXPECT_EQ(ds->RecordCount(), 1);
}

TEST(DataSetEdit, BlobStreamsReadWriteAndMarkTheFieldModified)
{
    auto ds = makePeople(2);
    auto *note = static_cast<TBlobField *>(ds->FieldByName("NOTE"));
    EXPECT_EQ(note->AsString(), "note 1");
    EXPECT_EQ(note->DisplayText(), "(MEMO)");
    EXPECT_THROW(note->SetAsString("x"), EDatabaseError) << "not editing";

    ds->Edit();
    EXPECT_FALSE(note->Modified());
    {
        std::unique_ptr<TStream> stream = ds->CreateBlobStream(note, bmReadWrite);
        stream->Seek(0, soEnd);
        EXPECT_EQ(stream->Write(" more", 5), 5);
    }
    EXPECT_TRUE(note->Modified());
    EXPECT_TRUE(ds->Modified());
    EXPECT_EQ(note->AsString(), "note 1 more");
    ds->Cancel();
    EXPECT_FALSE(note->Modified());
    EXPECT_EQ(note->AsString(), "note 1");

    ds->Next();
    EXPECT_TRUE(note->IsNull());
    EXPECT_EQ(note->DisplayText(), "(Memo)");
    ds->Edit();
    note->SetAsString(QStringLiteral("größer"));
    ds->Post();
    EXPECT_EQ(ds->StoredValue(1, "NOTE").AsBytes(), QStringLiteral("größer").toUtf8());
    ds->Edit();
    note->Clear();
    EXPECT_TRUE(note->IsNull());
    ds->Post();
    EXPECT_TRUE(ds->StoredValue(1, "NOTE").IsNull());
}

TEST(DataSetEdit, FieldEventsValidateAndNotifyChanges)
{
    auto ds = makePeople(2);
    TField *amount = ds->FieldByName("AMOUNT");
    QList<double> validated;
    amount->OnValidate = [&](TField *f) {
        validated << f->AsFloat();
        if (f->AsFloat() < 0)
            throw EDatabaseError("negative");
    };
    int changes = 0;
    amount->OnChange = [&](TField *) { ++changes; };
    ds->Edit();
    amount->SetAsFloat(7);
    EXPECT_THROW(amount->SetAsFloat(-1), EDatabaseError);
    EXPECT_DOUBLE_EQ(amount->AsFloat(), 7) << "a refused value is not stored";
    EXPECT_EQ(validated, QList<double>({ 7, -1 }));
    EXPECT_EQ(changes, 1);
    ds->Post();
}

} // namespace
} // namespace qd::test
