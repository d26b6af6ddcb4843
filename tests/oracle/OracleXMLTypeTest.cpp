// TXMLType against the stand-in: the text of XMLTYPE columns read through the getclobval()
// block with an object and a temporary CLOB bound into it, and the LOB and XMLTYPE binds of
// PL/SQL blocks that this rests on.
#include "OracleQueryTestFixture.h"
#include "QStringPrinter.h"

#include "oracle/LOBLocator.h"
#include "oracle/OracleObject.h"

namespace qd::test {
namespace {

class XmlTypes : public OracleQueryFixture {
protected:
    void SetUp() override
    {
        OracleQueryFixture::SetUp();
        if (IsSkipped())
            return;
        session->Preferences().SetConvertCRLF(false);
    }
};

TEST_P(XmlTypes, ColumnTextReadsBackThroughTheBlock)
{
    const QString longDocument
        = QStringLiteral("<doc>") + QString(5000, QLatin1Char('y')) + QStringLiteral("</doc>");
    for (const QString &type : { QStringLiteral("xmltype"), QStringLiteral("sys.xmltype") }) {
        createTable(QStringLiteral("qd_xdocs"), QStringLiteral("id number, doc ") + type);
        run(QStringLiteral("insert into qd_xdocs values (1, xmltype('<a b=\"1\">x &amp; y</a>'))"));
        run(QStringLiteral("insert into qd_xdocs values (2, null)"));
        // A document longer than a string can be goes in from a CLOB.
        std::unique_ptr<TLOBLocator> source(
            TLOBLocator::CreateTemporary(session.get(), otCLOB, true));
        const QByteArray bytes = longDocument.toUtf8();
        source->Write(bytes.constData(), bytes.size());
        query->SQL().SetText(QStringLiteral("insert into qd_xdocs values (3, xmltype(:d))"));
        query->DeclareVariable(QStringLiteral("d"), SQLT_CLOB);
        query->SetComplexVariable(QStringLiteral("d"), source.get());
        query->Execute();
        query->DeleteVariables();

        query->SQL().SetText(QStringLiteral("select doc from qd_xdocs order by id"));
        query->Execute();
        ASSERT_FALSE(query->Eof());
        EXPECT_EQ(query->FieldTypeName(0), QStringLiteral("SYS.XMLTYPE"));
        auto *document = dynamic_cast<TXMLType *>(query->FieldAsObject(0));
        ASSERT_TRUE(document);
        clearTrace();
        EXPECT_EQ(document->XMLText(), QStringLiteral("<a b=\"1\">x &amp; y</a>"));
        // Exactly the block that asks the server for the document.
        const QStringList sent = trace();
        ASSERT_FALSE(sent.isEmpty());
        EXPECT_EQ(sent.first().toStdString(),
            std::string("declare\n"
                        "  zeb_object sys.xmltype;\n"
                        "  xmldata clob;\n"
                        "begin\n"
                        "  zeb_object := :zeb_object;\n"
                        "  xmldata := zeb_object.getclobval();\n"
                        "  sys.dbms_lob.trim(:xmldata, 0);\n"
                        "  sys.dbms_lob.append(:xmldata, xmldata);\n"
                        "end;\n"));
        EXPECT_EQ(query->Field(0).AsString(), QStringLiteral("<a b=\"1\">x &amp; y</a>"));

        query->Next();
        ASSERT_FALSE(query->Eof());
        EXPECT_TRUE(query->FieldIsNull(0));
        resetRoundTrips();
        EXPECT_EQ(dynamic_cast<TXMLType *>(query->FieldAsObject(0))->XMLText(), QString());
        EXPECT_EQ(roundTrips(), 0);

        query->Next();
        ASSERT_FALSE(query->Eof());
        // The same wrapper reads each row's document, also past the size of a string bind.
        const QString text = dynamic_cast<TXMLType *>(query->FieldAsObject(0))->XMLText();
        EXPECT_EQ(text.size(), longDocument.size());
        EXPECT_EQ(text.toStdString(), longDocument.toStdString());
    }
}

TEST_P(XmlTypes, BlocksTakeLobAndXmlBinds)
{
    std::unique_ptr<TLOBLocator> clob(TLOBLocator::CreateTemporary(session.get(), otCLOB, true));
    const QByteArray start("start");
    clob->Write(start.constData(), start.size());
    query->SQL().SetText(
        QStringLiteral("begin :n := dbms_lob.getlength(:c); sys.dbms_lob.append(:c, '-more'); "
                       "dbms_lob.trim(:c, 8); end;"));
    query->DeclareVariable(QStringLiteral("c"), SQLT_CLOB);
    query->DeclareVariable(QStringLiteral("n"), SQLT_INT);
    query->SetComplexVariable(QStringLiteral("c"), clob.get());
    query->Execute();
    EXPECT_EQ(query->GetVariable(QStringLiteral("n")).AsInteger(), 5);
    EXPECT_EQ(clob->AsString(), QStringLiteral("start-mo"));

    // Trimming past the end is the server's error, and the LOB keeps its value.
    query->DeleteVariables();
    query->SQL().SetText(QStringLiteral("begin dbms_lob.trim(:c, 100); end;"));
    query->DeclareVariable(QStringLiteral("c"), SQLT_CLOB);
    query->SetComplexVariable(QStringLiteral("c"), clob.get());
    try {
        query->Execute();
        ADD_FAILURE() << "trim past the end accepted";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 22926);
    }
    EXPECT_EQ(clob->AsString(), QStringLiteral("start-mo"));
}

TEST_P(XmlTypes, BlocksWriteALockedRowsLobOnly)
{
    createTable(QStringLiteral("qd_xnotes"), QStringLiteral("id number, note clob"));
    run(QStringLiteral("insert into qd_xnotes values (1, 'abc')"));
    session->Commit();
    const QString block = QStringLiteral(
        "begin insert into qd_xnotes values (2, 'x'); dbms_lob.append(:c, 'def'); end;");
    for (const bool locked : { false, true }) {
        TOracleQuery select;
        select.SetSession(session.get());
        select.SQL().SetText(QStringLiteral("select note from qd_xnotes where id = 1")
            + (locked ? QStringLiteral(" for update") : QString()));
        select.Execute();
        ASSERT_FALSE(select.Eof());
        auto *note = dynamic_cast<TLOBLocator *>(select.LOBField(0));
        ASSERT_TRUE(note);
        TOracleQuery write;
        write.SetSession(session.get());
        write.SQL().SetText(block);
        write.DeclareVariable(QStringLiteral("c"), SQLT_CLOB);
        write.SetComplexVariable(QStringLiteral("c"), note);
        if (!locked) {
            // A locator of a row that is not locked cannot write it: the block fails whole.
            try {
                write.Execute();
                ADD_FAILURE() << "wrote through a locator of an unlocked row";
            } catch (const EOracleError &e) {
                EXPECT_EQ(e.ErrorCode(), 22920);
            }
        } else {
            write.Execute();
        }
        query->SQL().SetText(QStringLiteral("select count(*) from qd_xnotes where id = 2"));
        query->Execute();
        EXPECT_EQ(query->Field(0).AsInteger(), locked ? 1 : 0) << locked;
        query->SQL().SetText(QStringLiteral("select to_char(note) from qd_xnotes where id = 1"));
        query->Execute();
        EXPECT_EQ(query->Field(0).AsString().toStdString(), locked ? "abcdef" : "abc");
        session->Rollback();
    }
}

TEST_P(XmlTypes, WhatBlocksCannotHoldFails)
{
    createTable(QStringLiteral("qd_xdocs"), QStringLiteral("id number, doc xmltype"));
    run(QStringLiteral("insert into qd_xdocs values (1, null)"));
    run(QStringLiteral("create or replace type qd_xpoint as object (x number)"));
    query->SQL().SetText(QStringLiteral("select doc from qd_xdocs"));
    query->Execute();
    auto *document = dynamic_cast<TXMLType *>(query->FieldAsObject(0));
    ASSERT_TRUE(document);
    TOracleObject point(session.get(), QStringLiteral("qd_xpoint"), QString());
    const struct {
        const char *block;
        TOracleObject *object;
        int code;
    } cases[] = {
        // A method of a null document.
        { "declare d sys.xmltype; begin d := :o; :s := d.getclobval(); end;", document, 30625 },
        // Blocks hold no object but XMLTYPE documents.
        { "declare d sys.xmltype; begin d := :o; :s := d.getclobval(); end;", &point, 3001 },
        // Objects are not given back to the client.
        { "begin :o := :s; end;", document, 3001 },
    };
    for (const auto &c : cases) {
        TOracleQuery block;
        block.SetSession(session.get());
        block.SQL().SetText(QString::fromLatin1(c.block));
        block.DeclareVariable(QStringLiteral("o"), SQLT_NTY);
        block.DeclareVariable(QStringLiteral("s"), SQLT_STR);
        block.SetComplexVariable(QStringLiteral("o"), c.object);
        block.SetVariable(QStringLiteral("s"), QStringLiteral("<x/>"));
        try {
            block.Execute();
            ADD_FAILURE() << "accepted: " << c.block;
        } catch (const EOracleError &e) {
            EXPECT_EQ(e.ErrorCode(), c.code) << c.block << " " << e.Message().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HandleMode, XmlTypes, ::testing::Values(false));

} // namespace
} // namespace qd::test
