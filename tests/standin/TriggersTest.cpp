// Stored triggers fire on the changes of a session: row and statement triggers, BEFORE and
// AFTER, :new and :old, WHEN, the event predicates, enabling and disabling, and what an error in
// a trigger undoes.
#include "StandinClient.h"

#include <gtest/gtest.h>

using namespace qd::test::standin;

namespace {

class Triggers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText();
        for (const char *sql : { "DROP TABLE TG_HISTORY", "DROP TABLE TG_ACCOUNT",
                 "DROP TABLE TG_ITEM", "DROP TABLE TG_LOG", "DROP SEQUENCE TG_SEQ" })
            db.run(sql);
        exec("CREATE TABLE TG_ACCOUNT (ID NUMBER PRIMARY KEY, BALANCE NUMBER, "
             "HOLDER VARCHAR2(20))");
        exec("CREATE TABLE TG_HISTORY (ACCOUNT_ID NUMBER, OLD_BALANCE NUMBER, "
             "NEW_BALANCE NUMBER)");
        exec("CREATE TABLE TG_ITEM (ID NUMBER PRIMARY KEY, NAME VARCHAR2(20))");
        exec("CREATE TABLE TG_LOG (EVENT VARCHAR2(10), ROWS_THEN NUMBER)");
        exec("CREATE SEQUENCE TG_SEQ START WITH 100");
        exec("INSERT INTO TG_ACCOUNT VALUES (1, 10, 'ANNA')");
        exec("INSERT INTO TG_ACCOUNT VALUES (2, 0, 'BORIS')");
        exec("COMMIT");
    }

    void exec(const std::string &sql)
    {
        ASSERT_EQ(db.run(sql), SUCCESS) << sql << "\n" << db.errorText();
    }

    std::string value(const std::string &sql)
    {
        Cursor c(db, sql);
        char text[256] = {};
        sb2 indicator = 0;
        void *def = nullptr;
        api().DefineByPos(c.stmt, &def, c.err, 1, text, sizeof text, SQLT_STR, &indicator,
            nullptr, nullptr, 0);
        const sword status = c.execute(1);
        if (status == NO_DATA)
            return "(no row)";
        if (status != SUCCESS)
            return "(" + c.errorText() + ")";
        return indicator < 0 ? "(null)" : std::string(text);
    }

    Connection db;
};

} // namespace

TEST_F(Triggers, RowTriggerWritesHistoryWhenItsColumnChanges)
{
    exec("CREATE OR REPLACE TRIGGER TG_ACCOUNT_AU\n"
         "AFTER UPDATE OF BALANCE ON TG_ACCOUNT\n"
         "FOR EACH ROW\n"
         "BEGIN\n"
         "  INSERT INTO TG_HISTORY VALUES (:old.id, :old.balance, :new.balance);\n"
         "END;");
    exec("UPDATE TG_ACCOUNT SET HOLDER = 'ANNE' WHERE ID = 1");
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_HISTORY"), "0");
    Cursor update(db, "UPDATE TG_ACCOUNT SET BALANCE = BALANCE + 5");
    ASSERT_EQ(update.execute(1), SUCCESS) << update.errorText();
    EXPECT_EQ(update.attribute4(ATTR_ROW_COUNT), 2u);
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_HISTORY"), "2");
    EXPECT_EQ(value("SELECT OLD_BALANCE || '>' || NEW_BALANCE FROM TG_HISTORY WHERE ACCOUNT_ID = 1"),
        "10>15");

    // Disabled, it does not fire, and the dictionary says so; enabled, it fires again.
    exec("ALTER TRIGGER TG_ACCOUNT_AU DISABLE");
    EXPECT_EQ(value("SELECT STATUS FROM USER_TRIGGERS WHERE TRIGGER_NAME = 'TG_ACCOUNT_AU'"),
        "DISABLED");
    exec("UPDATE TG_ACCOUNT SET BALANCE = 0 WHERE ID = 1");
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_HISTORY"), "2");
    exec("ALTER TRIGGER TG_ACCOUNT_AU ENABLE");
    EXPECT_EQ(value("SELECT STATUS FROM USER_TRIGGERS WHERE TRIGGER_NAME = 'TG_ACCOUNT_AU'"),
        "ENABLED");
    exec("UPDATE TG_ACCOUNT SET BALANCE = 1 WHERE ID = 1");
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_HISTORY"), "3");
    EXPECT_EQ(db.run("ALTER TRIGGER TG_NO_SUCH_TRIGGER DISABLE"), ERROR);
    EXPECT_EQ(db.errorCode(), 4080);
}

TEST_F(Triggers, BeforeRowTriggerSetsTheKeyFromASequenceWhenItsConditionHolds)
{
    exec("CREATE OR REPLACE TRIGGER TG_ITEM_BI\n"
         "BEFORE INSERT ON TG_ITEM FOR EACH ROW\n"
         "WHEN (new.id IS NULL)\n"
         "BEGIN\n"
         "  SELECT TG_SEQ.NEXTVAL INTO :new.id FROM DUAL;\n"
         "END;");
    exec("CREATE OR REPLACE TRIGGER TG_ITEM_BU\n"
         "BEFORE UPDATE ON TG_ITEM FOR EACH ROW\n"
         "BEGIN\n"
         "  :new.name := UPPER(:new.name);\n"
         "END;");
    Cursor insert(db, "INSERT INTO TG_ITEM (NAME) VALUES ('first')");
    ASSERT_EQ(insert.execute(1), SUCCESS) << insert.errorText();
    EXPECT_EQ(insert.attribute4(ATTR_ROW_COUNT), 1u);
    exec("INSERT INTO TG_ITEM VALUES (5, 'given')");
    exec("INSERT INTO TG_ITEM (NAME) VALUES ('second')");
    EXPECT_EQ(value("SELECT NAME FROM TG_ITEM WHERE ID = 100"), "first");
    EXPECT_EQ(value("SELECT NAME FROM TG_ITEM WHERE ID = 5"), "given");
    EXPECT_EQ(value("SELECT NAME FROM TG_ITEM WHERE ID = 101"), "second");
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_ITEM"), "3");

    Cursor update(db, "UPDATE TG_ITEM SET NAME = NAME || 'x' WHERE ID > 50");
    ASSERT_EQ(update.execute(1), SUCCESS) << update.errorText();
    EXPECT_EQ(update.attribute4(ATTR_ROW_COUNT), 2u);
    EXPECT_EQ(value("SELECT NAME FROM TG_ITEM WHERE ID = 100"), "FIRSTX");
    EXPECT_EQ(value("SELECT NAME FROM TG_ITEM WHERE ID = 5"), "given");
}

TEST_F(Triggers, StatementTriggerFiresOncePerStatementAndKnowsItsEvent)
{
    exec("CREATE OR REPLACE TRIGGER TG_ITEM_LOG\n"
         "AFTER INSERT OR UPDATE OR DELETE ON TG_ITEM\n"
         "DECLARE\n"
         "  n NUMBER;\n"
         "BEGIN\n"
         "  SELECT COUNT(*) INTO n FROM TG_ITEM;\n"
         "  IF inserting THEN INSERT INTO TG_LOG VALUES ('INSERT', n);\n"
         "  ELSIF updating THEN INSERT INTO TG_LOG VALUES ('UPDATE', n);\n"
         "  ELSIF deleting THEN INSERT INTO TG_LOG VALUES ('DELETE', n);\n"
         "  END IF;\n"
         "END;");
    exec("INSERT INTO TG_ITEM SELECT ROWNUM, 'item' FROM TG_ACCOUNT");
    exec("UPDATE TG_ITEM SET NAME = 'changed'");
    exec("DELETE FROM TG_ITEM WHERE ID = 1");
    exec("UPDATE TG_ITEM SET NAME = 'none' WHERE ID = 99");
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_LOG"), "4");
    EXPECT_EQ(value("SELECT ROWS_THEN FROM TG_LOG WHERE EVENT = 'INSERT'"), "2");
    EXPECT_EQ(value("SELECT ROWS_THEN FROM TG_LOG WHERE EVENT = 'DELETE'"), "1");
}

TEST_F(Triggers, AnErrorInATriggerUndoesItsStatementOnly)
{
    exec("CREATE OR REPLACE TRIGGER TG_ACCOUNT_BD\n"
         "BEFORE DELETE ON TG_ACCOUNT FOR EACH ROW\n"
         "BEGIN\n"
         "  INSERT INTO TG_HISTORY VALUES (:old.id, :old.balance, NULL);\n"
         "  IF :old.balance > 0 THEN\n"
         "    raise_application_error(-20001, 'account ' || :old.id || ' is not empty');\n"
         "  END IF;\n"
         "END;");
    exec("INSERT INTO TG_ACCOUNT VALUES (3, 0, 'CLEO')");
    EXPECT_EQ(db.run("DELETE FROM TG_ACCOUNT"), ERROR);
    EXPECT_EQ(db.errorCode(), 20001) << db.errorText();
    EXPECT_NE(db.errorText().find("ORA-20001: account 1 is not empty"), std::string::npos);
    EXPECT_NE(db.errorText().find("ORA-04088: error during execution of trigger "
                                  "'DEMO.TG_ACCOUNT_BD'"),
        std::string::npos)
        << db.errorText();
    // The statement left nothing behind; the insert before it stays in the transaction.
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_ACCOUNT"), "3");
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_HISTORY"), "0");
    exec("DELETE FROM TG_ACCOUNT WHERE BALANCE = 0");
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_HISTORY"), "2");
    exec("ROLLBACK");
}

TEST_F(Triggers, ARowTriggerReadingItsOwnTableMeetsAMutatingTable)
{
    exec("CREATE OR REPLACE TRIGGER TG_ACCOUNT_AI\n"
         "AFTER INSERT ON TG_ACCOUNT FOR EACH ROW\n"
         "DECLARE\n"
         "  n NUMBER;\n"
         "BEGIN\n"
         "  SELECT COUNT(*) INTO n FROM TG_ACCOUNT;\n"
         "END;");
    EXPECT_EQ(db.run("INSERT INTO TG_ACCOUNT VALUES (4, 1, 'DORA')"), ERROR);
    EXPECT_EQ(db.errorCode(), 4091) << db.errorText();
    EXPECT_NE(db.errorText().find("table DEMO.TG_ACCOUNT is mutating"), std::string::npos);
    EXPECT_EQ(value("SELECT COUNT(*) FROM TG_ACCOUNT"), "2");
    exec("DROP TRIGGER TG_ACCOUNT_AI");
    exec("INSERT INTO TG_ACCOUNT VALUES (4, 1, 'DORA')");
    exec("ROLLBACK");
}
