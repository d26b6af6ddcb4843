#pragma once

#include "DbfFormat.h"

#include <QFile>

#include <functional>
#include <vector>

namespace qd {

// The SQL history's table file and memo file on disk (layout in DbfFormat.h).
//
// Appends and single-record changes write in place and never rewrite a file: an append writes
// the new memo blocks, then the record, then the memo file's next-free counter and last the
// table's record count, so an interrupted append leaves at most unreferenced bytes behind.
//
// Pack (and creating an empty pair) writes the whole new pair under temporary names, the memo
// file first and the table last, each complete through QSaveFile, then renames the memo file and
// the table into place. Opening finishes an interrupted pack: a complete temporary table means
// the new pair is whole and its renames are completed; a lone temporary memo file is removed.
// So a crash leaves the old pair or the new one, never a mix.
//
// Opening checks the whole pair and refuses a damaged one with EDbfError naming the file and the
// fault; nothing is then written, renamed or created. An empty pair is created only when
// neither file exists.
class DbfHistoryFiles {
public:
    // Steps of a pack, in order; the test hook runs after each.
    enum class PackStep { MemoWritten, TableWritten, MemoRenamed, TableRenamed };
    // Runs after each pack step when set. An exception from it stops the pack on the spot, as
    // a crash would: the files stay as they are and this object is closed.
    static std::function<void(PackStep)> &packStepHook();

    DbfHistoryFiles() = default;
    ~DbfHistoryFiles();
    DbfHistoryFiles(const DbfHistoryFiles &) = delete;
    DbfHistoryFiles &operator=(const DbfHistoryFiles &) = delete;

    // The memo file of a table: the table's name with the extension ".dbt".
    static QString memoPathFor(const QString &tablePath);
    // The temporary names a pack writes under.
    static QString pendingPathFor(const QString &path);

    void open(const QString &tablePath);
    void close();
    bool isOpen() const { return m_open; }
    const QString &tablePath() const { return m_tablePath; }
    const QString &memoPath() const { return m_memoPath; }

    // Records in the table, deleted ones included, and those not deleted.
    quint32 recordCount() const { return static_cast<quint32>(m_entries.size()); }
    quint32 liveCount() const { return m_liveCount; }
    bool isDeleted(quint32 index) const { return m_entries.at(index).deleted; }
    quint32 memoBlock(quint32 index) const { return m_entries.at(index).memoBlock; }
    quint32 nextFreeBlock() const { return m_nextFree; }

    dbf::Record readRecord(quint32 index);
    // The record's script text as stored (UTF-8); empty when it has none.
    QByteArray readMemo(quint32 index);

    // Appends a live record with memo as its script text; returns its index.
    quint32 append(const dbf::Record &record, const QByteArray &memo);
    // Rewrites the record's fields; with memo, also its script text, in its own blocks when it
    // fits there, else at the next free block.
    void update(quint32 index, const dbf::Record &record, const QByteArray *memo);
    void setDeleted(quint32 index, bool deleted);
    // Replaces the pair by one holding only the live records and their memo values.
    void pack();
    // Deletes every record and packs.
    void clear();

private:
    struct Entry {
        quint32 memoBlock = 0;
        quint32 memoLength = 0; // text bytes
        bool deleted = false;
    };

    static void finishPendingPack(const QString &tablePath, const QString &memoPath);
    // Writes a new pair holding the live records of this (open) pair, or an empty one.
    void writeNewPair(const QString &tablePath, const QString &memoPath, bool withRecords);
    void openChecked();
    void checkRecords(quint32 count);
    void writeAt(QFile &file, qint64 offset, const QByteArray &bytes);
    QByteArray readAt(QFile &file, qint64 offset, qint64 length);
    void writeMemoValue(quint32 block, const QByteArray &text);
    void writeCounts();
    [[noreturn]] void fileError(const QFile &file, const QString &what) const;

    QString m_tablePath;
    QString m_memoPath;
    QFile m_table;
    QFile m_memo;
    bool m_open = false;
    std::vector<Entry> m_entries;
    quint32 m_liveCount = 0;
    quint32 m_nextFree = dbf::FirstFreeBlock;
};

} // namespace qd
