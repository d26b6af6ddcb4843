#include "HistoryTestSupport.h"

#include "history/DbfHistoryFiles.h"

#include <QDate>
#include <QtEndian>

using namespace qd;
using namespace qd::test;

namespace {

class DbfHistoryFilesTest : public HistoryDirTest {
protected:
    dbf::Record record(const QString &user, const QString &instance, QDate date = QDate(2026, 12, 11))
    {
        dbf::Record r;
        r.runDate = date;
        r.userName = user;
        r.instance = instance;
        return r;
    }
    QByteArray goldenFile(const char *name)
    {
        return readBytes(QDir(testsSourceDirectory()).filePath(QStringLiteral("history/golden/") + QLatin1String(name)));
    }
    // Live records' scripts in file order.
    QStringList liveScripts(DbfHistoryFiles &files)
    {
        QStringList scripts;
        for (quint32 i = 0; i < files.recordCount(); ++i)
            if (!files.isDeleted(i))
                scripts << QString::fromUtf8(files.readMemo(i));
        return scripts;
    }
};

TEST_F(DbfHistoryFilesTest, NewPairEqualsTheGoldenFiles)
{
    DbfHistoryFiles files;
    files.open(tablePath());
    EXPECT_EQ(files.recordCount(), 0u);
    EXPECT_EQ(files.nextFreeBlock(), 1u);
    files.close();
    QByteArray table = readBytes(tablePath());
    ASSERT_EQ(table.size(), 161);
    ASSERT_EQ(readBytes(memoPath()).size(), 512);
    // The date bytes are the day of writing: year - 1900, month, day.
    const QDate today = QDate::currentDate();
    EXPECT_EQ(static_cast<unsigned char>(table[1]), today.year() - 1900);
    EXPECT_EQ(static_cast<unsigned char>(table[2]), today.month());
    EXPECT_EQ(static_cast<unsigned char>(table[3]), today.day());
    table[1] = table[2] = table[3] = 0;
    EXPECT_EQ(table, goldenFile("NewSQLHistory.dbf"));
    EXPECT_EQ(readBytes(memoPath()), goldenFile("NewSQLHistory.dbt"));
    EXPECT_EQ(filesInDir(), (QStringList { "SQLHistory.dbf", "SQLHistory.dbt" }));
}

TEST_F(DbfHistoryFilesTest, RecordAndMemoBytes)
{
    DbfHistoryFiles files;
    files.open(tablePath());
    files.append(record("SCOTT", "DEMO"), "select 1 from dual");
    files.close();
    const QByteArray table = readBytes(tablePath());
    ASSERT_EQ(table.size(), 161 + 305);
    EXPECT_EQ(qFromLittleEndian<quint32>(table.constData() + 4), 1u);
    const QByteArray rec = table.mid(161);
    EXPECT_EQ(rec.left(9), QByteArray(" 20261211"));
    EXPECT_EQ(rec.mid(9, 32), QByteArray("SCOTT").leftJustified(32, ' '));
    EXPECT_EQ(rec.mid(41, 254), QByteArray("DEMO").leftJustified(254, ' '));
    EXPECT_EQ(rec.mid(295, 10), QByteArray("         1"));
    const QByteArray memo = readBytes(memoPath());
    ASSERT_EQ(memo.size(), 1024);
    EXPECT_EQ(qFromLittleEndian<quint32>(memo.constData()), 2u);
    EXPECT_EQ(memo.mid(512, 4), QByteArray("\xFF\xFF\x08\x00", 4));
    EXPECT_EQ(qFromLittleEndian<quint32>(memo.constData() + 516), 18u + 8u);
    EXPECT_EQ(memo.mid(520, 18), QByteArray("select 1 from dual"));
    EXPECT_EQ(memo.mid(538), QByteArray(1024 - 538, ' '));
}

TEST_F(DbfHistoryFilesTest, SameTextTwiceGivesTwoRecordsAndTwoMemoValues)
{
    DbfHistoryFiles files;
    files.open(tablePath());
    files.append(record("SCOTT", "DEMO"), "select * from emp");
    files.append(record("SCOTT", "DEMO"), "select * from emp");
    files.close();
    files.open(tablePath());
    ASSERT_EQ(files.recordCount(), 2u);
    EXPECT_NE(files.memoBlock(0), files.memoBlock(1));
    EXPECT_EQ(liveScripts(files), (QStringList { "select * from emp", "select * from emp" }));
    EXPECT_EQ(files.readRecord(1).userName, QStringLiteral("SCOTT"));
}

TEST_F(DbfHistoryFilesTest, ScriptOf600BytesSpansTwoBlocks)
{
    const QByteArray script(600, 'x');
    DbfHistoryFiles files;
    files.open(tablePath());
    files.append(record("A", "B"), script);
    files.append(record("A", "B"), "next");
    EXPECT_EQ(files.memoBlock(0), 1u);
    EXPECT_EQ(files.memoBlock(1), 3u);
    EXPECT_EQ(files.nextFreeBlock(), 4u);
    files.close();
    EXPECT_EQ(readBytes(memoPath()).size(), 4 * 512);
    files.open(tablePath());
    EXPECT_EQ(files.readMemo(0), script);
    EXPECT_EQ(files.readMemo(1), QByteArray("next"));
}

TEST_F(DbfHistoryFilesTest, LongTextIsCutOnACharacterBoundary)
{
    DbfHistoryFiles files;
    files.open(tablePath());
    // 2-byte characters for a 32-byte field; 3-byte characters for a 254-byte one (254 = 3 x 84 + 2).
    files.append(record(QString(40, QChar(0xE9)), QString(100, QChar(0x20AC))), "x");
    const dbf::Record back = files.readRecord(0);
    EXPECT_EQ(back.userName, QString(16, QChar(0xE9)));
    EXPECT_EQ(back.instance, QString(84, QChar(0x20AC)));
}

TEST_F(DbfHistoryFilesTest, EmptyScriptHasNoMemoValue)
{
    DbfHistoryFiles files;
    files.open(tablePath());
    files.append(record("A", "B"), QByteArray());
    EXPECT_EQ(files.memoBlock(0), 0u);
    EXPECT_TRUE(files.readMemo(0).isEmpty());
    EXPECT_EQ(readBytes(tablePath()).mid(161 + 295, 10), QByteArray(10, ' '));
}

TEST_F(DbfHistoryFilesTest, BytesPastTheCountedRecordsAreIgnored)
{
    {
        DbfHistoryFiles files;
        files.open(tablePath());
        files.append(record("A", "B"), "one");
    }
    // One end-of-file byte as other writers leave it, then a record an interrupted append
    // wrote before its count.
    QByteArray table = readBytes(tablePath());
    writeBytes(tablePath(), table + "\x1A");
    DbfHistoryFiles files;
    files.open(tablePath());
    EXPECT_EQ(files.recordCount(), 1u);
    files.close();
    writeBytes(tablePath(), table + table.mid(161));
    files.open(tablePath());
    EXPECT_EQ(files.recordCount(), 1u);
    files.append(record("C", "D"), "two");
    EXPECT_EQ(liveScripts(files), (QStringList { "one", "two" }));
    files.close();
    EXPECT_EQ(readBytes(tablePath()).size(), 161 + 2 * 305);
}

TEST_F(DbfHistoryFilesTest, UpdateRewritesInPlaceWhenItFits)
{
    DbfHistoryFiles files;
    files.open(tablePath());
    files.append(record("A", "B"), QByteArray(600, 'a'));
    const QByteArray shorter(100, 'b');
    files.update(0, record("A2", "B2"), &shorter);
    EXPECT_EQ(files.memoBlock(0), 1u);
    const QByteArray longer(1200, 'c');
    files.update(0, record("A3", "B3"), &longer);
    EXPECT_EQ(files.memoBlock(0), 3u);
    files.close();
    files.open(tablePath());
    EXPECT_EQ(files.readMemo(0), longer);
    EXPECT_EQ(files.readRecord(0).userName, QStringLiteral("A3"));
    EXPECT_EQ(files.nextFreeBlock(), 6u);
}

TEST_F(DbfHistoryFilesTest, PackDropsDeletedRecordsAndTheirBlocks)
{
    DbfHistoryFiles files;
    files.open(tablePath());
    files.append(record("A", "B"), QByteArray(600, 'a'));
    files.append(record("C", "D"), "keep me");
    files.append(record("E", "F"), QByteArray(1000, 'e'));
    files.setDeleted(0, true);
    files.setDeleted(2, true);
    EXPECT_EQ(files.liveCount(), 1u);
    files.pack();
    ASSERT_EQ(files.recordCount(), 1u);
    EXPECT_EQ(files.readRecord(0).userName, QStringLiteral("C"));
    EXPECT_EQ(files.readMemo(0), QByteArray("keep me"));
    EXPECT_EQ(files.memoBlock(0), 1u);
    files.close();
    EXPECT_EQ(readBytes(tablePath()).size(), 161 + 305);
    EXPECT_EQ(readBytes(memoPath()).size(), 2 * 512);
    EXPECT_EQ(filesInDir(), (QStringList { "SQLHistory.dbf", "SQLHistory.dbt" }));
}

TEST_F(DbfHistoryFilesTest, ClearLeavesAnEmptyPair)
{
    DbfHistoryFiles files;
    files.open(tablePath());
    files.append(record("A", "B"), "x");
    files.clear();
    EXPECT_EQ(files.recordCount(), 0u);
    files.close();
    EXPECT_EQ(readBytes(tablePath()).size(), 161);
    EXPECT_EQ(readBytes(memoPath()).size(), 512);
}

// A pack stopped after each of its steps, as by a crash, reopens as the old pair or the new
// one, complete, and leaves no temporary file behind.
TEST_F(DbfHistoryFilesTest, PackStoppedAfterEachStepReopensWhole)
{
    using Step = DbfHistoryFiles::PackStep;
    const struct {
        Step step;
        bool newPair;
    } cases[] = {
        { Step::MemoWritten, false },
        { Step::TableWritten, true },
        { Step::MemoRenamed, true },
        { Step::TableRenamed, true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        QFile::remove(tablePath());
        QFile::remove(memoPath());
        {
            DbfHistoryFiles files;
            files.open(tablePath());
            files.append(record("A", "B"), QByteArray(700, 'a'));
            files.append(record("C", "D"), "second");
            files.append(record("E", "F"), "third");
            files.setDeleted(1, true);
            DbfHistoryFiles::packStepHook() = [&](Step done) {
                if (done == c.step)
                    throw std::runtime_error("stopped");
            };
            EXPECT_THROW(files.pack(), EDbfError);
            DbfHistoryFiles::packStepHook() = nullptr;
            EXPECT_FALSE(files.isOpen());
        }
        DbfHistoryFiles files;
        files.open(tablePath());
        EXPECT_EQ(files.recordCount(), c.newPair ? 2u : 3u);
        EXPECT_EQ(liveScripts(files), (QStringList { QString(700, 'a'), "third" }));
        files.close();
        EXPECT_EQ(filesInDir(), (QStringList { "SQLHistory.dbf", "SQLHistory.dbt" }));
    }
}

// A damaged pair is refused with the file and the fault named, and its bytes stay as they are.
TEST_F(DbfHistoryFilesTest, CorruptPairsAreRefusedUntouched)
{
    {
        DbfHistoryFiles files;
        files.open(tablePath());
        files.append(record("A", "B"), QByteArray(600, 'a'));
        files.append(record("C", "D"), "second");
    }
    const QByteArray goodTable = readBytes(tablePath());
    const QByteArray goodMemo = readBytes(memoPath());
    auto patched = [](QByteArray bytes, int at, const QByteArray &with) {
        return bytes.replace(at, with.size(), with);
    };
    QByteArray le32(4, '\0');
    const struct {
        const char *name;
        QByteArray table;
        QByteArray memo;
        const char *message;
    } cases[] = {
        { "version", patched(goodTable, 0, "\x83"), goodMemo, "SQLHistory.dbf: unknown version byte 83" },
        { "header length", patched(goodTable, 8, QByteArray("\xC1\x00", 2)), goodMemo,
            "SQLHistory.dbf: header length 193, expected 161" },
        { "record length", patched(goodTable, 10, QByteArray("\x30\x01", 2)), goodMemo,
            "SQLHistory.dbf: record length 304, expected 305" },
        { "descriptor name", patched(goodTable, 64, "USERNAMX"), goodMemo,
            "SQLHistory.dbf: field descriptor 2 is \"USERNAMX\" C 32, expected \"USERNAME\" C 32" },
        { "descriptor length", patched(goodTable, 96 + 16, "\x10"), goodMemo,
            "SQLHistory.dbf: field descriptor 3 is \"INSTANCE\" C 16" },
        { "end mark", patched(goodTable, 160, " "), goodMemo, "SQLHistory.dbf: no end mark 0D" },
        { "short header", goodTable.left(100), goodMemo, "SQLHistory.dbf: the file is shorter than its 161-byte header" },
        { "short table", goodTable.left(161 + 305 + 100), goodMemo,
            "SQLHistory.dbf: the header counts 2 records but the file holds 1" },
        { "memo reference", patched(goodTable, 161 + 295, "      x1  "), goodMemo,
            "SQLHistory.dbf: record 1 has a memo reference that is not a block number" },
        { "block outside", patched(goodTable, 161 + 305 + 295, "        99"), goodMemo,
            "SQLHistory.dbt: block 99 of record 2 is outside the memo file" },
        { "no signature", goodTable, patched(goodMemo, 3 * 512, "\xFF\xFF\x08\x01"),
            "SQLHistory.dbt: block 3 of record 2 does not start with FF FF 08 00" },
        { "length past end", goodTable, patched(goodMemo, 3 * 512 + 4, QByteArray("\x01\x02\x00\x00", 4)),
            "SQLHistory.dbt: the value at block 3 of record 2 has length 513, past the end" },
        { "block length", goodTable, patched(goodMemo, 20, QByteArray("\x00\x01", 2)),
            "SQLHistory.dbt: block length 256, expected 512" },
        { "short memo", goodTable, goodMemo.left(300), "SQLHistory.dbt: the file is shorter than its 512-byte header" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(tablePath(), c.table);
        writeBytes(memoPath(), c.memo);
        DbfHistoryFiles files;
        try {
            files.open(tablePath());
            ADD_FAILURE() << "opened";
        } catch (const EDbfError &e) {
            EXPECT_TRUE(e.Message().startsWith(QLatin1String(c.message))) << e.Message().toStdString();
        }
        EXPECT_FALSE(files.isOpen());
        EXPECT_EQ(readBytes(tablePath()), c.table);
        EXPECT_EQ(readBytes(memoPath()), c.memo);
        EXPECT_EQ(filesInDir(), (QStringList { "SQLHistory.dbf", "SQLHistory.dbt" }));
    }
}

TEST_F(DbfHistoryFilesTest, OneFileWithoutTheOtherIsRefused)
{
    {
        DbfHistoryFiles files;
        files.open(tablePath());
    }
    const QByteArray table = readBytes(tablePath());
    QFile::remove(memoPath());
    DbfHistoryFiles files;
    try {
        files.open(tablePath());
        ADD_FAILURE() << "opened";
    } catch (const EDbfError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("SQLHistory.dbt: the file is missing while SQLHistory.dbf exists"));
    }
    EXPECT_EQ(filesInDir(), QStringList { "SQLHistory.dbf" });
    EXPECT_EQ(readBytes(tablePath()), table);
}

TEST_F(DbfHistoryFilesTest, LoneTemporaryMemoFileIsRemoved)
{
    {
        DbfHistoryFiles files;
        files.open(tablePath());
        files.append(record("A", "B"), "x");
    }
    writeBytes(DbfHistoryFiles::pendingPathFor(memoPath()), "half a memo file");
    DbfHistoryFiles files;
    files.open(tablePath());
    EXPECT_EQ(liveScripts(files), QStringList { "x" });
    EXPECT_EQ(filesInDir(), (QStringList { "SQLHistory.dbf", "SQLHistory.dbt" }));
}

} // namespace
