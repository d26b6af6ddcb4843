// SQL history appends: 10,000 scripts of 2 KB added through the history table (TDbfTable, as
// the main window's AddSQLHistory does) to a history of 100,000 records, against plain writes
// of the same bytes (memo value, record, the two counters) to files of the same size in the
// same process. Prints the time per append of each and the ratio; then checks that a start-up
// purge with nothing to delete leaves the files untouched and prints its time.
//
// Build with -DQD_BUILD_BENCH=ON; run build/bench/bench_SQLHistoryAppend [history] [appends].
#include "history/DbfFormat.h"
#include "history/DbfTable.h"
#include "history/SQLHistoryOperations.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QString script(int i)
{
    QString text = QStringLiteral("select %1 from dual -- ").arg(i);
    return text + QString(2048 - text.size(), u'x');
}

// A history of count records written in one go, each with a 2 KB script.
void writeHistory(const QString &dir, int count)
{
    using namespace qd::dbf;
    QFile table(QDir(dir).filePath(QStringLiteral("SQLHistory.dbf")));
    QFile memo(QDir(dir).filePath(QStringLiteral("SQLHistory.dbt")));
    if (!table.open(QIODevice::WriteOnly) || !memo.open(QIODevice::WriteOnly))
        std::exit(1);
    const QDate today = QDate::currentDate();
    table.write(encodeTableHeader(quint32(count), today));
    quint32 next = FirstFreeBlock;
    QByteArray memoBytes;
    memo.write(QByteArray(BlockSize, '\0'));
    for (int i = 0; i < count; ++i) {
        const QByteArray text = script(i).toUtf8();
        Record record;
        record.runDate = today;
        record.userName = QStringLiteral("SCOTT");
        record.instance = QStringLiteral("DEMO");
        record.memoBlock = next;
        table.write(encodeRecord(record));
        memo.write(encodeMemoValue(text));
        next += memoBlocksFor(text.size());
    }
    memo.seek(0);
    memo.write(encodeMemoHeader(next));
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int historySize = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int appends = argc > 2 ? std::atoi(argv[2]) : 10000;
    QTemporaryDir tableDir, plainDir;
    writeHistory(tableDir.path(), historySize);
    writeHistory(plainDir.path(), historySize);
    const QDate today = QDate::currentDate();

    qd::TDbfTable table;
    table.SetFilePath(tableDir.path());
    auto start = Clock::now();
    table.Open();
    table.Last();
    const double openSeconds = secondsSince(start);

    start = Clock::now();
    for (int i = 0; i < appends; ++i)
        qd::AddSQLHistory(table, QStringLiteral("SCOTT"), QStringLiteral("DEMO"), script(i), today);
    const double tableSeconds = secondsSince(start);
    if (table.RecordCount() != historySize + appends)
        std::exit(2);

    // The same bytes written plainly: memo value at the end of the memo file, the record at
    // the end of the table, then the two counters.
    {
        using namespace qd::dbf;
        QFile tableFile(QDir(plainDir.path()).filePath(QStringLiteral("SQLHistory.dbf")));
        QFile memoFile(QDir(plainDir.path()).filePath(QStringLiteral("SQLHistory.dbt")));
        if (!tableFile.open(QIODevice::ReadWrite) || !memoFile.open(QIODevice::ReadWrite))
            std::exit(1);
        quint32 count = quint32(historySize);
        quint32 next = quint32(memoFile.size() / BlockSize);
        start = Clock::now();
        for (int i = 0; i < appends; ++i) {
            const QByteArray text = script(i).toUtf8();
            Record record;
            record.runDate = today;
            record.userName = QStringLiteral("SCOTT");
            record.instance = QStringLiteral("DEMO");
            record.memoBlock = next;
            memoFile.seek(qint64(next) * BlockSize);
            memoFile.write(encodeMemoValue(text));
            memoFile.flush();
            tableFile.seek(HeaderLength + qint64(count) * RecordLength);
            tableFile.write(encodeRecord(record));
            tableFile.flush();
            next += memoBlocksFor(text.size());
            ++count;
            memoFile.seek(0);
            memoFile.write(encodeMemoHeader(next).left(4));
            memoFile.flush();
            tableFile.seek(1);
            tableFile.write(encodeHeaderCounts(count, today));
            tableFile.flush();
        }
    }
    const double plainSeconds = secondsSince(start);

    std::printf("history of %d records opened in %.3f s\n", historySize, openSeconds);
    std::printf("append through TDbfTable: %8.2f us per script\n", tableSeconds / appends * 1e6);
    std::printf("plain writes, same bytes: %8.2f us per script\n", plainSeconds / appends * 1e6);
    std::printf("ratio table / plain:      %8.2f\n", tableSeconds / plainSeconds);

    const QString tablePath = table.TablePath();
    const QString memoPath = QDir(tableDir.path()).filePath(QStringLiteral("SQLHistory.dbt"));
    table.Close();
    const QByteArray tableBefore = digest(tablePath);
    const QByteArray memoBefore = digest(memoPath);
    start = Clock::now();
    table.Open();
    const int deleted = qd::PurgeSQLHistory(table, 5, today);
    table.Last();
    const double purgeSeconds = secondsSince(start);
    table.Close();
    const bool untouched = digest(tablePath) == tableBefore && digest(memoPath) == memoBefore;
    std::printf("start-up open and purge with nothing to delete: %.3f s, %d deleted, files %s\n",
        purgeSeconds, deleted, untouched ? "untouched" : "REWRITTEN");
    return untouched && deleted == 0 ? 0 : 3;
}
