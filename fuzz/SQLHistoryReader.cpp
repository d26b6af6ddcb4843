// SQL history pair reader: arbitrary table and memo bytes are refused with EDbfError or read
// whole; an accepted pair takes an append and a pack and reopens with the same live scripts.
#include "history/DbfHistoryFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

void writeFile(const QString &path, const char *data, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(data, size);
}

QList<QByteArray> liveScripts(qd::DbfHistoryFiles &files)
{
    QList<QByteArray> scripts;
    for (quint32 i = 0; i < files.recordCount(); ++i) {
        files.readRecord(i);
        if (!files.isDeleted(i))
            scripts << files.readMemo(i);
    }
    return scripts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString table = QDir(dir.path()).filePath(QStringLiteral("SQLHistory.dbf"));
    const QString memo = qd::DbfHistoryFiles::memoPathFor(table);
    // The first two bytes say where the table ends and the memo file begins.
    if (size < 2)
        return 0;
    const size_t split = qMin<size_t>(size - 2, size_t(data[0]) | size_t(data[1]) << 8);
    const char *bytes = reinterpret_cast<const char *>(data) + 2;
    writeFile(table, bytes, qint64(split));
    writeFile(memo, bytes + split, qint64(size - 2 - split));
    QFile::remove(qd::DbfHistoryFiles::pendingPathFor(table));
    QFile::remove(qd::DbfHistoryFiles::pendingPathFor(memo));

    qd::DbfHistoryFiles files;
    QList<QByteArray> before;
    try {
        files.open(table);
        before = liveScripts(files);
    } catch (const qd::EDbfError &) {
        return 0;
    }
    qd::dbf::Record record;
    record.runDate = QDate(2026, 1, 2);
    record.userName = QStringLiteral("FUZZ");
    files.append(record, "select 1 from dual");
    before << "select 1 from dual";
    files.pack();
    files.close();
    files.open(table);
    if (liveScripts(files) != before || files.recordCount() != quint32(before.size()))
        std::abort();
    return 0;
}
