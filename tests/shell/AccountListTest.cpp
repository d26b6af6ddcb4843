#include "FileSizeLimit.h"

#include "classlib/Exception.h"
#include "shell/AccountList.h"
#include "shell/Encrypt.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;

namespace {

class AccountListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath("QuarloDeskAccounts.dat");
    }

    QByteArray readRaw() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    void writeRaw(const QByteArray &bytes)
    {
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    static TAccountRec account(const TAccountList &list, const QString &group, int index)
    {
        TAccountRec rec;
        list.GetAccount(group, index, rec);
        return rec;
    }

    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

TEST_F(AccountListTest, FileIsWholeRecordsInGroupOrder)
{
    TAccountList list;
    list.SaveAccounts(m_path);
    EXPECT_EQ(readRaw(), QByteArray()); // an empty list saves an empty file

    list.SetKey("key");
    list.AddAccount("ORA", "scott", "tiger", "DEMO", "N");
    list.AddAccount("ftp", "anon", "guest@", "FTP.EXAMPLE.ORG", "A");
    list.AddAccount("Ora", "system", "manager", "DEMO", "D");
    EXPECT_EQ(list.GroupNames(), QStringList({ "ORA", "FTP" }));
    list.SaveAccounts(m_path);
    const QByteArray raw = readRaw();
    ASSERT_EQ(raw.size(), 3 * 652);

    // Group by group: both ORA records, then the FTP one.
    const QByteArray first = raw.left(652);
    EXPECT_EQ(first.mid(0, 4), QByteArray("\x03ORA"));
    EXPECT_EQ(first.mid(4, 1), QByteArray(1, '\0')); // Reserved: empty
    EXPECT_EQ(first.mid(5, 255), QByteArray(255, ' ')); // unused bytes are blanks
    EXPECT_EQ(first.mid(260, 6), QByteArray("\x05") + EncryptString("scott", "key", true, false));
    EXPECT_EQ(first.mid(321, 6), QByteArray("\x05") + EncryptString("tiger", "key", true, false));
    EXPECT_EQ(first.mid(382, 5),
        QByteArray("\x04"
                   "DEMO"));
    EXPECT_EQ(first.mid(638, 1), QByteArray(1, '\0'));
    EXPECT_EQ(first.mid(639, 1), QByteArray(1, '\0'));
    EXPECT_EQ(first.mid(648, 4), QByteArray("\x01N  "));
    EXPECT_FALSE(raw.contains("scott"));
    EXPECT_FALSE(raw.contains("tiger"));
    EXPECT_EQ(raw.mid(652, 4), QByteArray("\x03Ora"));
    EXPECT_EQ(raw.mid(2 * 652, 4),
        QByteArray("\x03"
                   "ftp"));

    TAccountList back;
    back.SetKey("key");
    back.LoadAccounts(m_path);
    ASSERT_EQ(back.GetCount("ora"), 2);
    ASSERT_EQ(back.GetCount("FTP"), 1);
    const TAccountRec system = account(back, "ORA", 1);
    EXPECT_EQ(system.Username, "system");
    EXPECT_EQ(system.Password, "manager");
    EXPECT_EQ(system.Server, "DEMO");
    EXPECT_EQ(system.Mode, "D");
    EXPECT_EQ(system.Group, "Ora");
    EXPECT_EQ(account(back, "ftp", 0).Password, "guest@");
}

TEST_F(AccountListTest, AddingTheSameLogonRefillsIt)
{
    TAccountList list;
    list.SetKey("k");
    EXPECT_EQ(list.AddAccount("ORA", "scott", "tiger", "DEMO", "N"), 0);
    EXPECT_EQ(list.AddAccount("ORA", "SCOTT", "lion", "demo", "D"), 0);
    EXPECT_EQ(list.GetCount("ORA"), 1);
    const TAccountRec rec = account(list, "ORA", 0);
    EXPECT_EQ(rec.Username, "SCOTT");
    EXPECT_EQ(rec.Password, "lion");
    EXPECT_EQ(rec.Server, "demo");
    EXPECT_EQ(rec.Mode, "D");
    // Another server is another account; alwaysAdd adds even a known one.
    EXPECT_EQ(list.AddAccount("ORA", "scott", "tiger", "PROD", "N"), 1);
    EXPECT_EQ(list.AddAccount("ORA", QString(), "scott", "x", "PROD", 0, QString(), "N", true), 2);
    EXPECT_EQ(list.GetCount("ORA"), 3);

    EXPECT_EQ(list.FindAccount("ora", "Scott", "PROD", false), 1);
    EXPECT_EQ(list.FindAccount("ora", "Scott", "PROD", true), -1);
    EXPECT_EQ(list.FindAccount("ora", "scott", "PROD", true), 1);
    EXPECT_EQ(list.FindAccount("FTP", "scott", "PROD", false), -1);

    // Fields are cut to their room: Mode to 3, ReservedText to 8.
    list.AddAccount("FTP", "reserved", "u", "p", "HOST", 7, "123456789", "ABCD", false);
    const TAccountRec ftp = account(list, "FTP", 0);
    EXPECT_EQ(ftp.Mode, "ABC");
    EXPECT_EQ(ftp.ReservedText, "12345678");
    EXPECT_EQ(ftp.ReservedFlag, 7);
    EXPECT_EQ(ftp.Reserved, "reserved");
}

TEST_F(AccountListTest, MissingGroupsAndBadIndexes)
{
    TAccountList list;
    EXPECT_EQ(list.GetCount("NONE"), 0);
    list.Delete("NONE", 0); // nothing happens
    list.AddAccount("ORA", "a", "b", "C", "N");
    list.Delete("ORA", 1);
    list.Delete("ORA", -1);
    EXPECT_EQ(list.GetCount("ORA"), 1);

    TAccountRec rec;
    try {
        list.GetAccount("NONE", 0, rec);
        ADD_FAILURE();
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "TAccountList: out of bounds");
    }
    try {
        list.GetAccount("ORA", 1, rec);
        ADD_FAILURE();
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (1)");
    }

    list.AddAccount("FTP", "x", "y", "Z", "A");
    list.DeleteGroup("ora");
    EXPECT_EQ(list.GroupNames(), QStringList({ "FTP" }));
    list.Delete("FTP", 0);
    EXPECT_EQ(list.GetCount("FTP"), 0);
    list.Clear();
    EXPECT_TRUE(list.GroupNames().isEmpty());
}

TEST_F(AccountListTest, NewKeyEnciphersAgain)
{
    TAccountList list;
    list.SetKey("old");
    list.AddAccount("ORA", "scott", "tiger", "DEMO", "N");
    list.SetKey("new");
    list.SaveAccounts(m_path);
    EXPECT_EQ(readRaw().mid(261, 5), EncryptString("scott", "new", true, false));

    TAccountList withNew;
    withNew.SetKey("new");
    withNew.LoadAccounts(m_path);
    EXPECT_EQ(account(withNew, "ORA", 0).Password, "tiger");

    TAccountList withOld;
    withOld.SetKey("old");
    withOld.LoadAccounts(m_path);
    EXPECT_NE(account(withOld, "ORA", 0).Username, "scott");
    EXPECT_NE(account(withOld, "ORA", 0).Password, "tiger");
}

// Nothing in the file tells a wrong key; what protects the file is that the cipher texts read
// are written back untouched.
TEST_F(AccountListTest, WrongKeyNeverOverwritesTheFile)
{
    TAccountList list;
    list.SetKey("right");
    list.AddAccount("ORA", "scott", "tiger", "DEMO", "N");
    list.AddAccount("FTP", QString::fromUtf8("jörg"), "pässword", "HOST", "A");
    list.SaveAccounts(m_path);
    const QByteArray original = readRaw();

    TAccountList wrong;
    wrong.SetKey("wrong");
    wrong.LoadAccounts(m_path);
    EXPECT_NE(account(wrong, "ORA", 0).Username, "scott");
    wrong.SaveAccounts(m_path);
    EXPECT_EQ(readRaw(), original);

    TAccountList right;
    right.SetKey("right");
    right.LoadAccounts(m_path);
    EXPECT_EQ(account(right, "FTP", 0).Username, QString::fromUtf8("jörg"));
    EXPECT_EQ(account(right, "FTP", 0).Password, QString::fromUtf8("pässword"));
}

TEST_F(AccountListTest, LongValuesAreCutToTheirRoom)
{
    TAccountList list;
    list.SetKey("k");
    const QString user70 = QString(70, 'u');
    list.AddAccount("ORA", user70, QString(61, 'p'), QString(300, 's'), "N");
    EXPECT_EQ(account(list, "ORA", 0).Username, QString(60, 'u'));
    EXPECT_EQ(account(list, "ORA", 0).Server, QString(255, 's'));
    // A multi-byte character that would not fit whole is left out.
    list.AddAccount("FTP", QString(59, 'a') + QString::fromUtf8("é"), "p", "H", "A");
    EXPECT_EQ(account(list, "FTP", 0).Username, QString(59, 'a'));
    list.SaveAccounts(m_path);

    TAccountList back;
    back.SetKey("k");
    back.LoadAccounts(m_path);
    EXPECT_EQ(account(back, "ORA", 0).Username, QString(60, 'u'));
    EXPECT_EQ(account(back, "ORA", 0).Password, QString(60, 'p'));
    EXPECT_EQ(account(back, "ORA", 0).Server, QString(255, 's'));
}

TEST_F(AccountListTest, DamagedFilesAreRefusedAndLeftAlone)
{
    TAccountList good;
    good.SetKey("k");
    good.AddAccount("ORA", "scott", "tiger", "DEMO", "N");
    good.AddAccount("ORA", "sys", "change_on_install", "DEMO", "D");
    good.SaveAccounts(m_path);
    const QByteArray valid = readRaw();

    QByteArray longUser = valid;
    longUser[260] = char(61);
    QByteArray longServer = valid;
    longServer[652 + 382] = char(255); // room is 255: still valid
    QByteArray longMode = valid;
    longMode[652 + 648] = char(4);
    const struct {
        const char *what;
        QByteArray bytes;
    } damaged[] = {
        { "too short", valid.left(651) },
        { "a part record", valid + QByteArray(10, ' ') },
        { "one byte over", valid + "x" },
        { "user name longer than its field", longUser },
        { "mode longer than its field", longMode },
        { "too many records", QByteArray(652 * (TAccountList::MaxFileRecords + 1), '\0') },
    };
    for (const auto &d : damaged) {
        writeRaw(d.bytes);
        TAccountList list;
        list.SetKey("k");
        list.AddAccount("FTP", "kept", "kept", "HOST", "A");
        try {
            list.LoadAccounts(m_path);
            ADD_FAILURE() << "accepted: " << d.what;
        } catch (const Exception &e) {
            EXPECT_TRUE(e.Message().contains(m_path)) << qPrintable(e.Message());
            EXPECT_TRUE(e.Message().contains("damaged")) << qPrintable(e.Message());
        }
        EXPECT_EQ(list.GroupNames(), QStringList({ "FTP" })) << d.what;
        EXPECT_EQ(readRaw(), d.bytes) << d.what;
    }

    writeRaw(longServer);
    TAccountList list;
    list.SetKey("k");
    EXPECT_NO_THROW(list.LoadAccounts(m_path));
    EXPECT_EQ(list.GetCount("ORA"), 2);

    // A missing file is an open error naming it.
    try {
        list.LoadAccounts(m_dir.filePath("absent.dat"));
        ADD_FAILURE();
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().contains("absent.dat"));
    }
    EXPECT_EQ(list.GetCount("ORA"), 2);
}

TEST_F(AccountListTest, FailedSaveLeavesTheOldFileWhole)
{
    TAccountList list;
    list.SetKey("k");
    list.AddAccount("ORA", "scott", "tiger", "DEMO", "N");
    list.SaveAccounts(m_path);
    const QByteArray original = readRaw();
    list.AddAccount("ORA", "another", "one", "DEMO", "N");
    {
        test::FileSizeLimit limit(700);
        ASSERT_TRUE(limit.active());
        EXPECT_THROW(SaveAccounts(list, m_path), Exception);
    }
    EXPECT_EQ(readRaw(), original);
    SaveAccounts(list, m_path);
    EXPECT_EQ(readRaw().size(), 2 * 652);
}
