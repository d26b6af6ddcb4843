#include "DbfHistoryFiles.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qd {

using namespace dbf;

namespace {

QString baseName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// rename(2) replaces the target in one step, which QFile::rename refuses to do.
void replaceFile(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw EDbfError(QStringLiteral("%1: cannot be renamed to %2: %3")
                            .arg(baseName(from), baseName(to),
                                QString::fromLocal8Bit(std::strerror(errno))));
}

// Thrown through a pack when the test hook stops it, so no clean-up runs.
struct PackStopped {
};

} // namespace

std::function<void(DbfHistoryFiles::PackStep)> &DbfHistoryFiles::packStepHook()
{
    static std::function<void(PackStep)> hook;
    return hook;
}

DbfHistoryFiles::~DbfHistoryFiles()
{
    close();
}

QString DbfHistoryFiles::memoPathFor(const QString &tablePath)
{
    const QFileInfo info(tablePath);
    const QString name = info.suffix().isEmpty()
        ? info.fileName() + QStringLiteral(".dbt")
        : info.fileName().left(info.fileName().size() - info.suffix().size()) + QStringLiteral("dbt");
    return info.dir().filePath(name);
}

QString DbfHistoryFiles::pendingPathFor(const QString &path)
{
    return path + QStringLiteral(".pack");
}

void DbfHistoryFiles::close()
{
    m_table.close();
    m_memo.close();
    m_open = false;
    m_entries.clear();
    m_liveCount = 0;
    m_nextFree = FirstFreeBlock;
}

void DbfHistoryFiles::fileError(const QFile &file, const QString &what) const
{
    throw EDbfError(
        QStringLiteral("%1: %2: %3").arg(baseName(file.fileName()), what, file.errorString()));
}

QByteArray DbfHistoryFiles::readAt(QFile &file, qint64 offset, qint64 length)
{
    if (!file.seek(offset))
        fileError(file, QStringLiteral("cannot seek"));
    QByteArray bytes = file.read(length);
    if (bytes.size() != length)
        throw EDbfError(QStringLiteral("%1: cannot read %2 bytes at offset %3")
                            .arg(baseName(file.fileName()))
                            .arg(length)
                            .arg(offset));
    return bytes;
}

void DbfHistoryFiles::writeAt(QFile &file, qint64 offset, const QByteArray &bytes)
{
    if (!file.seek(offset) || file.write(bytes) != bytes.size() || !file.flush())
        fileError(file, QStringLiteral("cannot write"));
}

void DbfHistoryFiles::finishPendingPack(const QString &tablePath, const QString &memoPath)
{
    const QString pendingTable = pendingPathFor(tablePath);
    const QString pendingMemo = pendingPathFor(memoPath);
    if (QFile::exists(pendingTable)) {
        // The temporary table is written only after the temporary memo file is complete, so
        // the new pair is whole: the memo file may already have been renamed.
        if (QFile::exists(pendingMemo))
            replaceFile(pendingMemo, memoPath);
        replaceFile(pendingTable, tablePath);
    } else if (QFile::exists(pendingMemo) && !QFile::remove(pendingMemo)) {
        throw EDbfError(QStringLiteral("%1: an unfinished pack left it and it cannot be removed")
                            .arg(baseName(pendingMemo)));
    }
}

void DbfHistoryFiles::open(const QString &tablePath)
{
    close();
    m_tablePath = tablePath;
    m_memoPath = memoPathFor(tablePath);
    finishPendingPack(m_tablePath, m_memoPath);
    const bool haveTable = QFile::exists(m_tablePath);
    const bool haveMemo = QFile::exists(m_memoPath);
    if (!haveTable && !haveMemo) {
        writeNewPair(m_tablePath, m_memoPath, false);
    } else if (haveTable != haveMemo) {
        const QString missing = haveTable ? m_memoPath : m_tablePath;
        const QString present = haveTable ? m_tablePath : m_memoPath;
        throw EDbfError(QStringLiteral("%1: the file is missing while %2 exists")
                            .arg(baseName(missing), baseName(present)));
    }
    openChecked();
}

void DbfHistoryFiles::openChecked()
{
    m_table.setFileName(m_tablePath);
    m_memo.setFileName(m_memoPath);
    try {
        if (!m_table.open(QIODevice::ReadWrite))
            fileError(m_table, QStringLiteral("cannot open"));
        if (!m_memo.open(QIODevice::ReadWrite))
            fileError(m_memo, QStringLiteral("cannot open"));
        const QString tableName = baseName(m_tablePath);
        const QByteArray header = m_table.read(HeaderLength);
        const quint32 count = decodeTableHeader(header, tableName);
        const qint64 needed = HeaderLength + qint64(count) * RecordLength;
        if (m_table.size() < needed)
            throw EDbfError(QStringLiteral("%1: the header counts %2 records but the file holds %3")
                                .arg(tableName)
                                .arg(count)
                                .arg((m_table.size() - HeaderLength) / RecordLength));
        m_nextFree = decodeMemoHeader(m_memo.read(BlockSize), baseName(m_memoPath));
        checkRecords(count);
    } catch (...) {
        close();
        throw;
    }
    m_open = true;
}

void DbfHistoryFiles::checkRecords(quint32 count)
{
    const QString tableName = baseName(m_tablePath);
    const QString memoName = baseName(m_memoPath);
    const qint64 memoSize = m_memo.size();
    constexpr quint32 chunk = 256;
    m_entries.assign(count, Entry());
    m_liveCount = 0;
    quint32 usedEnd = FirstFreeBlock;
    for (quint32 first = 0; first < count; first += chunk) {
        const quint32 n = qMin(chunk, count - first);
        const QByteArray bytes
            = readAt(m_table, HeaderLength + qint64(first) * RecordLength, qint64(n) * RecordLength);
        for (quint32 k = 0; k < n; ++k) {
            const quint32 index = first + k;
            const Record record = decodeRecord(bytes.constData() + k * RecordLength, index + 1, tableName);
            Entry &entry = m_entries[index];
            entry.deleted = record.deleted;
            if (!record.deleted)
                ++m_liveCount;
            // A deleted record's memo value is never read again, so only live ones must hold.
            if (record.deleted || record.memoBlock == 0)
                continue;
            const qint64 at = qint64(record.memoBlock) * BlockSize;
            if (at + MemoValueHeader > memoSize)
                throw EDbfError(QStringLiteral("%1: block %2 of record %3 is outside the memo file")
                                    .arg(memoName)
                                    .arg(record.memoBlock)
                                    .arg(index + 1));
            const QByteArray head = readAt(m_memo, at, MemoValueHeader);
            if (head.left(4) != QByteArrayLiteral("\xFF\xFF\x08\x00"))
                throw EDbfError(QStringLiteral("%1: block %2 of record %3 does not start with FF FF 08 00")
                                    .arg(memoName)
                                    .arg(record.memoBlock)
                                    .arg(index + 1));
            const quint32 length = qFromLittleEndian<quint32>(head.constData() + 4);
            if (length < MemoValueHeader || at + length > memoSize)
                throw EDbfError(QStringLiteral("%1: the value at block %2 of record %3 has length %4, "
                                               "past the end of the file")
                                    .arg(memoName)
                                    .arg(record.memoBlock)
                                    .arg(index + 1)
                                    .arg(length));
            entry.memoBlock = record.memoBlock;
            entry.memoLength = length - MemoValueHeader;
            usedEnd = qMax(usedEnd, record.memoBlock + memoBlocksFor(entry.memoLength));
        }
    }
    // Never hand out a block a live value occupies, whatever the counter says.
    m_nextFree = qMax(m_nextFree, usedEnd);
}

Record DbfHistoryFiles::readRecord(quint32 index)
{
    if (index >= recordCount())
        throw EDbfError(QStringLiteral("%1: no record %2").arg(baseName(m_tablePath)).arg(index + 1));
    const QByteArray bytes = readAt(m_table, HeaderLength + qint64(index) * RecordLength, RecordLength);
    return decodeRecord(bytes.constData(), index + 1, baseName(m_tablePath));
}

QByteArray DbfHistoryFiles::readMemo(quint32 index)
{
    const Entry &entry = m_entries.at(index);
    if (entry.memoBlock == 0)
        return {};
    return readAt(m_memo, qint64(entry.memoBlock) * BlockSize + MemoValueHeader, entry.memoLength);
}

void DbfHistoryFiles::writeMemoValue(quint32 block, const QByteArray &text)
{
    writeAt(m_memo, qint64(block) * BlockSize, encodeMemoValue(text));
}

void DbfHistoryFiles::writeCounts()
{
    QByteArray next(4, '\0');
    qToLittleEndian<quint32>(m_nextFree, next.data());
    writeAt(m_memo, 0, next);
    writeAt(m_table, 1, encodeHeaderCounts(recordCount(), QDate::currentDate()));
}

quint32 DbfHistoryFiles::append(const Record &record, const QByteArray &memo)
{
    if (!m_open)
        throw EDbfError(QStringLiteral("The SQL history is not open"));
    if (recordCount() == 0xFFFFFFFFu || memo.size() > 0x7FFFFFFF - 2 * BlockSize)
        throw EDbfError(QStringLiteral("%1: the history is full").arg(baseName(m_tablePath)));
    Record stored = record;
    stored.deleted = false;
    stored.memoBlock = memo.isEmpty() ? 0 : m_nextFree;
    if (!memo.isEmpty())
        writeMemoValue(stored.memoBlock, memo);
    const quint32 index = recordCount();
    writeAt(m_table, HeaderLength + qint64(index) * RecordLength, encodeRecord(stored));
    const quint32 nextFree = memo.isEmpty() ? m_nextFree : m_nextFree + memoBlocksFor(memo.size());
    // The counts last: until the record count grows, the new record does not exist.
    QByteArray next(4, '\0');
    qToLittleEndian<quint32>(nextFree, next.data());
    writeAt(m_memo, 0, next);
    writeAt(m_table, 1, encodeHeaderCounts(index + 1, QDate::currentDate()));
    m_nextFree = nextFree;
    m_entries.push_back({ stored.memoBlock, static_cast<quint32>(memo.size()), false });
    ++m_liveCount;
    return index;
}

void DbfHistoryFiles::update(quint32 index, const Record &record, const QByteArray *memo)
{
    Entry entry = m_entries.at(index);
    Record stored = record;
    stored.deleted = entry.deleted;
    if (memo) {
        if (memo->isEmpty()) {
            entry.memoBlock = 0;
        } else if (entry.memoBlock != 0 && memoBlocksFor(memo->size()) <= memoBlocksFor(entry.memoLength)) {
            writeMemoValue(entry.memoBlock, *memo);
        } else {
            entry.memoBlock = m_nextFree;
            writeMemoValue(entry.memoBlock, *memo);
            m_nextFree += memoBlocksFor(memo->size());
            writeCounts();
        }
        entry.memoLength = static_cast<quint32>(memo->size());
    }
    stored.memoBlock = entry.memoBlock;
    writeAt(m_table, HeaderLength + qint64(index) * RecordLength, encodeRecord(stored));
    m_entries[index] = entry;
}

void DbfHistoryFiles::setDeleted(quint32 index, bool deleted)
{
    Entry &entry = m_entries.at(index);
    if (entry.deleted == deleted)
        return;
    writeAt(m_table, HeaderLength + qint64(index) * RecordLength,
        QByteArray(1, deleted ? DeletedFlag : LiveFlag));
    entry.deleted = deleted;
    m_liveCount += deleted ? -1 : 1;
}

void DbfHistoryFiles::writeNewPair(const QString &tablePath, const QString &memoPath, bool withRecords)
{
    const QString pendingMemo = pendingPathFor(memoPath);
    const QString pendingTable = pendingPathFor(tablePath);
    auto step = [](PackStep done) {
        if (const auto &hook = packStepHook()) {
            try {
                hook(done);
            } catch (...) {
                throw PackStopped();
            }
        }
    };
    bool renaming = false;
    try {
        std::vector<quint32> blocks; // new first block of each live record
        {
            QSaveFile memo(pendingMemo);
            if (!memo.open(QIODevice::WriteOnly))
                throw EDbfError(QStringLiteral("%1: cannot create: %2").arg(baseName(pendingMemo), memo.errorString()));
            quint32 next = FirstFreeBlock;
            bool ok = memo.write(encodeMemoHeader(next)) == BlockSize;
            for (quint32 i = 0; withRecords && ok && i < recordCount(); ++i) {
                if (m_entries[i].deleted)
                    continue;
                const QByteArray text = readMemo(i);
                blocks.push_back(text.isEmpty() ? 0 : next);
                if (text.isEmpty())
                    continue;
                const QByteArray value = encodeMemoValue(text);
                ok = memo.write(value) == value.size();
                next += memoBlocksFor(text.size());
            }
            QByteArray counter(4, '\0');
            qToLittleEndian<quint32>(next, counter.data());
            ok = ok && memo.seek(0) && memo.write(counter) == 4;
            if (!ok || !memo.commit())
                throw EDbfError(QStringLiteral("%1: cannot write: %2").arg(baseName(pendingMemo), memo.errorString()));
        }
        step(PackStep::MemoWritten);
        {
            QSaveFile table(pendingTable);
            if (!table.open(QIODevice::WriteOnly))
                throw EDbfError(QStringLiteral("%1: cannot create: %2").arg(baseName(pendingTable), table.errorString()));
            bool ok = table.write(encodeTableHeader(static_cast<quint32>(blocks.size()), QDate::currentDate()))
                == HeaderLength;
            size_t live = 0;
            for (quint32 i = 0; withRecords && ok && i < recordCount(); ++i) {
                if (m_entries[i].deleted)
                    continue;
                // The record's own bytes, with only the flag and the memo reference renewed.
                QByteArray bytes = readAt(m_table, HeaderLength + qint64(i) * RecordLength, RecordLength);
                const quint32 block = blocks[live++];
                Record refs;
                refs.memoBlock = block;
                const QByteArray encoded = encodeRecord(refs);
                bytes[0] = LiveFlag;
                const int refAt = 1 + Fields[3].offset;
                bytes.replace(refAt, MemoRefLength, encoded.mid(refAt, MemoRefLength));
                ok = table.write(bytes) == RecordLength;
            }
            if (!ok || !table.commit())
                throw EDbfError(QStringLiteral("%1: cannot write: %2").arg(baseName(pendingTable), table.errorString()));
        }
        step(PackStep::TableWritten);
        renaming = true;
        m_table.close();
        m_memo.close();
        replaceFile(pendingMemo, memoPath);
        step(PackStep::MemoRenamed);
        replaceFile(pendingTable, tablePath);
        step(PackStep::TableRenamed);
    } catch (const PackStopped &) {
        close();
        throw EDbfError(QStringLiteral("%1: the pack was stopped").arg(baseName(tablePath)));
    } catch (...) {
        if (!renaming) {
            // The old pair is untouched; what was written of the new one goes.
            QFile::remove(pendingMemo);
            QFile::remove(pendingTable);
        } else {
            close();
        }
        throw;
    }
}

void DbfHistoryFiles::pack()
{
    if (!m_open)
        throw EDbfError(QStringLiteral("The SQL history is not open"));
    writeNewPair(m_tablePath, m_memoPath, true);
    close();
    openChecked();
}

void DbfHistoryFiles::clear()
{
    if (!m_open)
        throw EDbfError(QStringLiteral("The SQL history is not open"));
    writeNewPair(m_tablePath, m_memoPath, false);
    close();
    openChecked();
}

} // namespace qd
