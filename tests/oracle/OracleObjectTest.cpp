// TOracleObject against the stand-in: a new object is null until an attribute changes, the
// attribute layout agrees with the client library's object cache (values read at their offsets),
// nested attributes, object columns fetched and bound back, and the attribute errors.
#include "OracleQueryTestFixture.h"

#include "classlib/DateTimeUtils.h"
#include "oracle/OracleObject.h"
#include "oracle/OracleTimestamp.h"

namespace qd::test {
namespace {

class Objects : public OracleQueryFixture {
protected:
    void SetUp() override
    {
        OracleQueryFixture::SetUp();
        if (IsSkipped())
            return;
        runIgnoringErrors(QStringLiteral("drop table qd_people"));
        run(QStringLiteral("create or replace type qd_address as object ("
                           "street varchar2(40), city varchar2(30), since timestamp(3))"));
        run(QStringLiteral("create or replace type qd_person as object ("
                           "name varchar2(30), photo raw(10), born date, "
                           "address qd_address, score number(5,2), age number(3), "
                           "seen timestamp)"));
        run(QStringLiteral("create table qd_people (id number, person qd_person)"));
        run(QStringLiteral("insert into qd_people values (1, qd_person('Ann', '0AFF', "
                           "to_date('2001-02-03 04:05:06', 'YYYY-MM-DD HH24:MI:SS'), "
                           "qd_address('Main 1', 'Oslo', '2012-03-04 05:06:07.089'), "
                           "12.5, 42, null))"));
        run(QStringLiteral("insert into qd_people values (2, null)"));
        run(QStringLiteral("insert into qd_people values (3, qd_person('Bob', null, null, "
                           "null, null, null, null))"));
    }

    // The object of each row of qd_people, in id order, read by the test.
    void forEachPerson(const QString &where, const std::function<void(TOracleQuery &)> &check)
    {
        TOracleQuery select;
        select.SetSession(session.get());
        select.SQL().SetText(QStringLiteral("select person from qd_people ") + where
            + QStringLiteral(" order by id"));
        select.Execute();
        check(select);
    }
};

TEST_P(Objects, NewObjectIsNullUntilAnAttributeIsSet)
{
    TOracleObject person(session.get(), QStringLiteral("qd_person"), QString());
    EXPECT_TRUE(person.IsNull());
    EXPECT_FALSE(person.IsCollection());
    ASSERT_EQ(person.AttributeCount(), 10);
    const QStringList names { "NAME", "PHOTO", "BORN", "ADDRESS", "ADDRESS.STREET", "ADDRESS.CITY",
        "ADDRESS.SINCE", "SCORE", "AGE", "SEEN" };
    for (int i = 0; i < person.AttributeCount(); ++i) {
        EXPECT_EQ(person.Attributes(i)->Name(), names[i]);
        EXPECT_TRUE(person.Attributes(i)->IsNull()) << names[i].toStdString();
        EXPECT_TRUE(person.Attributes(i)->Value().IsUnassigned()) << names[i].toStdString();
    }
    session->SetNullValue(nvNull);
    EXPECT_TRUE(person.AttributeByName(QStringLiteral("name"), true)->Value().IsNull());

    const double seen = EncodeDateTime(2020, 1, 2, 3, 4, 5, 678);
    person.TimestampAttribute(QStringLiteral("seen"))->SetValue(seen);
    EXPECT_FALSE(person.IsNull());
    EXPECT_FALSE(person.AttributeByName(QStringLiteral("SEEN"), true)->IsNull());
    EXPECT_TRUE(person.AttributeByName(QStringLiteral("ADDRESS"), true)->IsNull());
    EXPECT_EQ(person.AttributeByName(QStringLiteral("SEEN"), true)->Value().AsDateTime(), seen);
}

TEST_P(Objects, SettingANestedAttributeMakesEveryLevelNotNull)
{
    TOracleObject person(session.get(), QStringLiteral("QD_PERSON"), QString());
    TOracleObject *address = person.ObjectAttribute(QStringLiteral("address"));
    EXPECT_EQ(person.ObjectAttribute(QStringLiteral("ADDRESS")), address);
    EXPECT_TRUE(address->IsNull());
    address->TimestampAttribute(QStringLiteral("since"))->SetValue(EncodeDate(1999, 9, 9));
    EXPECT_FALSE(address->IsNull());
    EXPECT_FALSE(person.AttributeByName(QStringLiteral("ADDRESS"), true)->IsNull());
    EXPECT_FALSE(person.IsNull());
    EXPECT_TRUE(person.AttributeByName(QStringLiteral("NAME"), true)->IsNull());
    // The nested value is the same whether read through the wrapper or the dotted name.
    EXPECT_EQ(person.AttributeByName(QStringLiteral("address.since"), true)->Value().AsDateTime(),
        EncodeDate(1999, 9, 9));
}

TEST_P(Objects, AttributeErrors)
{
    TOracleObject person(session.get(), QStringLiteral("QD_PERSON"), QString());
    EXPECT_EQ(person.FindAttribute(QStringLiteral("nothing")), nullptr);
    const struct {
        std::function<void()> call;
        QString message;
    } cases[] = {
        { [&] { person.AttributeByName(QStringLiteral("nothing"), true); },
            QStringLiteral("Unknown attribute: nothing") },
        { [&] { person.ObjectAttribute(QStringLiteral("name")); },
            QStringLiteral("Attribute name is not an object") },
        { [&] { TOracleObject none(session.get(), QString(), QString()); },
            QStringLiteral("You must supply an object type") },
    };
    for (const auto &c : cases) {
        try {
            c.call();
            ADD_FAILURE() << "no error: " << c.message.toStdString();
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    EXPECT_THROW(
        TOracleObject(session.get(), QStringLiteral("QD_NO_SUCH_TYPE"), QString()), EOracleError);
    TOracleSession idle;
    EXPECT_THROW(TOracleObject(&idle, QStringLiteral("QD_PERSON"), QString()), Exception);
}

TEST_P(Objects, FetchedObjectReadsEveryKindOfAttribute)
{
    forEachPerson(QString(), [&](TOracleQuery &select) {
        ASSERT_FALSE(select.Eof());
        EXPECT_EQ(select.FieldType(0), SQLT_NTY);
        EXPECT_EQ(select.FieldTypeName(0), QStringLiteral("DEMO.QD_PERSON"));
        EXPECT_FALSE(select.FieldIsNull(0));
        auto *person = dynamic_cast<TOracleObject *>(select.FieldAsObject(0));
        ASSERT_TRUE(person);
        EXPECT_FALSE(person->IsNull());
        auto value = [&](const char *name) {
            return person->AttributeByName(QString::fromLatin1(name), true)->Value();
        };
        EXPECT_EQ(value("NAME").AsString(), QStringLiteral("Ann"));
        EXPECT_EQ(value("PHOTO").AsString(), QStringLiteral("0AFF"));
        EXPECT_EQ(value("BORN").AsDateTime(), EncodeDateTime(2001, 2, 3, 4, 5, 6, 0));
        EXPECT_EQ(value("ADDRESS.CITY").AsString(), QStringLiteral("Oslo"));
        EXPECT_EQ(value("ADDRESS.SINCE").AsDateTime(), EncodeDateTime(2012, 3, 4, 5, 6, 7, 89));
        EXPECT_EQ(value("SCORE").AsFloat(), 12.5);
        EXPECT_EQ(value("AGE").Kind(), VariantKind::Integer);
        EXPECT_EQ(value("AGE").AsInteger(), 42);
        EXPECT_TRUE(value("SEEN").IsUnassigned());
        TOracleObject *address = person->ObjectAttribute(QStringLiteral("ADDRESS"));
        EXPECT_FALSE(address->IsNull());
        EXPECT_EQ(address->AttributeByName(QStringLiteral("street"), true)->Value().AsString(),
            QStringLiteral("Main 1"));
        // Pointer slots of the instance are pointer-aligned.
        for (const char *name : { "NAME", "PHOTO", "ADDRESS.STREET", "SEEN" })
            EXPECT_EQ(person->AttributeByName(QString::fromLatin1(name), true)->ValueOffset()
                    % static_cast<qint64>(sizeof(void *)),
                0)
                << name;

        select.Next();
        ASSERT_FALSE(select.Eof());
        EXPECT_TRUE(select.FieldIsNull(0));
        EXPECT_TRUE(select.Field(0).IsUnassigned());

        select.Next();
        ASSERT_FALSE(select.Eof());
        person = dynamic_cast<TOracleObject *>(select.FieldAsObject(0));
        EXPECT_EQ(person->AttributeByName(QStringLiteral("NAME"), true)->Value().AsString(),
            QStringLiteral("Bob"));
        EXPECT_TRUE(person->ObjectAttribute(QStringLiteral("ADDRESS"))->IsNull());
        EXPECT_TRUE(person->AttributeByName(QStringLiteral("PHOTO"), true)->IsNull());
        select.Next();
        EXPECT_TRUE(select.Eof());
    });
}

TEST_P(Objects, ObjectBoundIntoAnInsertRoundTrips)
{
    // A fetched object and a new one set through its attribute wrappers go back to the server.
    forEachPerson(QStringLiteral("where id = 1"), [&](TOracleQuery &select) {
        ASSERT_FALSE(select.Eof());
        auto *fetched = dynamic_cast<TOracleObject *>(select.FieldAsObject(0));
        ASSERT_TRUE(fetched);
        query->SQL().SetText(QStringLiteral("insert into qd_people values (:id, :p)"));
        query->DeclareVariable(QStringLiteral("id"), SQLT_INT);
        query->DeclareVariable(QStringLiteral("p"), SQLT_NTY);
        query->SetVariable(QStringLiteral("id"), 10);
        query->SetComplexVariable(QStringLiteral("p"), fetched);
        query->Execute();
    });
    TOracleObject fresh(session.get(), QStringLiteral("QD_PERSON"), QString());
    fresh.ObjectAttribute(QStringLiteral("ADDRESS"))
        ->TimestampAttribute(QStringLiteral("SINCE"))
        ->SetValue(EncodeDateTime(2030, 1, 1, 0, 0, 0, 5));
    query->SetVariable(QStringLiteral("id"), 11);
    query->SetComplexVariable(QStringLiteral("p"), &fresh);
    query->Execute();

    forEachPerson(QStringLiteral("where id >= 10"), [&](TOracleQuery &select) {
        ASSERT_FALSE(select.Eof());
        auto *copy = dynamic_cast<TOracleObject *>(select.FieldAsObject(0));
        EXPECT_EQ(copy->AttributeByName(QStringLiteral("PHOTO"), true)->Value().AsString(),
            QStringLiteral("0AFF"));
        EXPECT_EQ(copy->AttributeByName(QStringLiteral("ADDRESS.STREET"), true)->Value().AsString(),
            QStringLiteral("Main 1"));
        EXPECT_EQ(
            copy->AttributeByName(QStringLiteral("ADDRESS.SINCE"), true)->Value().AsDateTime(),
            EncodeDateTime(2012, 3, 4, 5, 6, 7, 89));
        select.Next();
        ASSERT_FALSE(select.Eof());
        copy = dynamic_cast<TOracleObject *>(select.FieldAsObject(0));
        EXPECT_FALSE(copy->IsNull());
        EXPECT_TRUE(copy->AttributeByName(QStringLiteral("NAME"), true)->IsNull());
        EXPECT_FALSE(copy->AttributeByName(QStringLiteral("ADDRESS"), true)->IsNull());
        EXPECT_EQ(
            copy->AttributeByName(QStringLiteral("ADDRESS.SINCE"), true)->Value().AsDateTime(),
            EncodeDateTime(2030, 1, 1, 0, 0, 0, 5));
    });
}

TEST_P(Objects, ConstructorArgumentsAreChecked)
{
    const struct {
        const char *sql;
        int code;
    } cases[] = {
        { "insert into qd_people values (4, qd_person('x'))", 909 },
        { "insert into qd_people values (4, qd_person('x', 'XYZ', null, null, null, null, null))",
            1465 },
    };
    for (const auto &c : cases)
        expectServerError(c.sql, c.code);
}

TEST_P(Objects, LobAndCollectionAttributes)
{
    runIgnoringErrors(QStringLiteral("drop table qd_cards"));
    run(QStringLiteral("create or replace type qd_phones as varray(3) of varchar2(20)"));
    run(QStringLiteral("create or replace type qd_card as object (notes clob, phones qd_phones, "
                       "tag varchar2(5))"));
    run(QStringLiteral("create table qd_cards (card qd_card)"));
    run(QStringLiteral(
        "insert into qd_cards values (qd_card('long note', qd_phones('1', '2'), 'x'))"));
    query->SQL().SetText(QStringLiteral("select card from qd_cards"));
    query->Execute();
    ASSERT_FALSE(query->Eof());
    auto *card = dynamic_cast<TOracleObject *>(query->FieldAsObject(0));
    ASSERT_TRUE(card);
    EXPECT_EQ(card->AttributeByName(QStringLiteral("NOTES"), true)->Value().AsString(),
        QStringLiteral("long note"));
    EXPECT_EQ(card->AttributeByName(QStringLiteral("TAG"), true)->Value().AsString(),
        QStringLiteral("x"));
    TObjectAttribute *phones = card->AttributeByName(QStringLiteral("PHONES"), true);
    EXPECT_TRUE(phones->IsCollection());
    EXPECT_FALSE(phones->IsNull());
    TOracleObject *list = card->ObjectAttribute(QStringLiteral("PHONES"));
    EXPECT_TRUE(list->IsCollection());
    EXPECT_EQ(list->CollectionTypeCode(), 247); // a varray
    ASSERT_TRUE(list->ElementAttribute());
    EXPECT_EQ(list->ElementAttribute()->Name(), QString());
    EXPECT_EQ(list->ElementAttribute()->DataType(), SQLT_STR);
    EXPECT_FALSE(card->IsCollection());
    EXPECT_EQ(card->ElementAttribute(), nullptr);
}

TEST_P(Objects, XmlTypeAttributesAreHeldByPointer)
{
    runIgnoringErrors(QStringLiteral("drop table qd_memos"));
    run(QStringLiteral(
        "create or replace type qd_memo as object (id number, doc xmltype, tail varchar2(5))"));
    run(QStringLiteral("create table qd_memos (memo qd_memo)"));
    run(QStringLiteral("insert into qd_memos values (qd_memo(7, xmltype('<a/>'), 'end'))"));
    run(QStringLiteral("insert into qd_memos values (qd_memo(8, null, 'none'))"));
    query->SQL().SetText(QStringLiteral("select memo from qd_memos"));
    query->Execute();
    ASSERT_FALSE(query->Eof());
    auto *memo = dynamic_cast<TOracleObject *>(query->FieldAsObject(0));
    ASSERT_TRUE(memo);
    TObjectAttribute *doc = memo->AttributeByName(QStringLiteral("DOC"), true);
    EXPECT_EQ(doc->TypeName(), QStringLiteral("SYS.XMLTYPE"));
    EXPECT_EQ(doc->ValueOffset() % static_cast<qint64>(sizeof(void *)), 0);
    EXPECT_EQ(memo->AttributeByName(QStringLiteral("TAIL"), true)->ValueOffset(),
        doc->ValueOffset() + static_cast<qint64>(sizeof(void *)));
    EXPECT_EQ(memo->AttributeByName(QStringLiteral("TAIL"), true)->Value().AsString(),
        QStringLiteral("end"));
    TXMLType *xml = memo->XMLTypeAttribute(QStringLiteral("doc"));
    ASSERT_TRUE(xml);
    EXPECT_FALSE(xml->IsNull());
    // The attribute's own instance goes to the server for its text.
    EXPECT_EQ(xml->XMLText().toStdString(), "<a/>");
    query->Next();
    ASSERT_FALSE(query->Eof());
    memo = dynamic_cast<TOracleObject *>(query->FieldAsObject(0));
    EXPECT_EQ(memo->AttributeByName(QStringLiteral("TAIL"), true)->Value().AsString(),
        QStringLiteral("none"));
    EXPECT_TRUE(memo->XMLTypeAttribute(QStringLiteral("DOC"))->IsNull());
    EXPECT_EQ(memo->XMLTypeAttribute(QStringLiteral("DOC"))->XMLText(), QString());
}

TEST_P(Objects, XmlTypeColumnsComeAsXmlDocuments)
{
    createTable(QStringLiteral("qd_docs"), QStringLiteral("id number, doc xmltype"));
    run(QStringLiteral("insert into qd_docs values (1, null)"));
    query->SQL().SetText(QStringLiteral("select doc from qd_docs"));
    query->Execute();
    ASSERT_FALSE(query->Eof());
    EXPECT_EQ(query->FieldType(0), SQLT_NTY);
    EXPECT_EQ(query->FieldTypeName(0), QStringLiteral("SYS.XMLTYPE"));
    auto *document = dynamic_cast<TXMLType *>(query->FieldAsObject(0));
    ASSERT_TRUE(document);
    EXPECT_TRUE(query->FieldIsNull(0));
    // A null document is empty text without a server call.
    resetRoundTrips();
    EXPECT_EQ(document->XMLText(), QString());
    EXPECT_EQ(roundTrips(), 0);
}

TEST_P(Objects, ReferencesStartNullAndKnowTheirType)
{
    TOracleReference reference(session.get(), nullptr, QStringLiteral("qd_person"));
    EXPECT_TRUE(reference.IsNull());
    EXPECT_TRUE(reference.TypeDescriptor());
    EXPECT_EQ(reference.AsHex(), QString());
    reference.Clear();
    EXPECT_TRUE(reference.IsNull());
    EXPECT_THROW(
        TOracleReference(session.get(), nullptr, QStringLiteral("qd_nothing")), EOracleError);
}

INSTANTIATE_TEST_SUITE_P(HandleMode, Objects, ::testing::Values(false));

} // namespace
} // namespace qd::test
