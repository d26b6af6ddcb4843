#pragma once

#include <QAction>
#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class QMenu;

namespace qd {

// One recent entry. Kind decides how entries are matched: 0 files (by path), 1 by the first
// two short texts, 2 logons (by path, Text3 and LongText). Text fields hold at most the stated
// number of bytes in UTF-8.
struct TMRUItem {
    quint8 Kind = 0;
    QString Caption; // 255
    QString Path; // 255
    QString Text1; // 32
    QString Text2; // 32
    QString Text3; // 32
    QString LongText; // 255, upper-cased
    QString Code; // 10, upper-cased

    bool operator==(const TMRUItem &) const = default;
};

// A menu entry of a recent list; the click handler reads the entry from the sender.
class TMRUMenuItem : public QAction {
public:
    TMRUMenuItem(const TMRUItem &item, QObject *parent);
    const TMRUItem &Item() const { return m_item; }
    // The entry's 879-byte file record.
    QByteArray Record() const;

private:
    TMRUItem m_item;
};

// A most-recently-used list ("MRU.dat" for files, "LogonMRU.dat" for logons): a re-used entry
// moves to the top, the list keeps at most MaxCount entries, and its file is a sequence of
// 879-byte records without a header.
class TMRUList {
public:
    static constexpr int RecordSize = 879;
    // A file larger than this many records is refused as damaged.
    static constexpr int MaxFileRecords = 1000;

    TMRUList() = default;

    // "MRU.dat" (recent files) and "LogonMRU.dat" (recent logons) in the program's directory
    // (created when missing).
    static QString recentFilesFileName();
    static QString recentLogonsFileName();
    // Saves first when SaveOnDestroy; a failure there is only logged, since nothing can be
    // raised from here.
    ~TMRUList();
    TMRUList(const TMRUList &) = delete;
    TMRUList &operator=(const TMRUList &) = delete;

    int Count() const { return int(m_items.size()); }
    // Raises Exception for an index outside 0..Count-1.
    const TMRUItem &Items(int index) const;

    int MaxCount() const { return m_maxCount; }
    // A smaller maximum drops the entries beyond it at once; 0 keeps nothing.
    void SetMaxCount(int value);
    const QString &FileName() const { return m_fileName; }
    void SetFileName(const QString &value) { m_fileName = value; }
    // Save after every Add.
    bool AutoSave() const { return m_autoSave; }
    void SetAutoSave(bool value) { m_autoSave = value; }
    bool SaveOnDestroy() const { return m_saveOnDestroy; }
    void SetSaveOnDestroy(bool value) { m_saveOnDestroy = value; }

    // Texts are trimmed and cut to their fields, LongText and Code upper-cased. An entry that
    // matches (see TMRUItem) is refilled and moved to the top; otherwise a new one goes to the
    // top or the end, the last entries giving way when the list is full.
    void Add(quint8 kind, const QString &caption, const QString &path, const QString &text1,
        const QString &text2, const QString &text3, const QString &longText, const QString &code,
        bool addToTop);
    void Clear() { m_items.clear(); }

    // Replaces the list with the file's entries in file order (entries matching an earlier one
    // are merged into it); when the file holds more than MaxCount, the first ones are kept.
    // Nothing happens when the file does not exist. A damaged file (not a whole number of
    // records, too large, a field longer than its room) is refused with an Exception naming
    // it, and the list stays as it was.
    void LoadFromFile();
    // Writes the entries in one atomic step (nothing without a file name); a failure leaves
    // the old file whole.
    void SaveToFile() const;

    // Replaces the menu's items after anchor (all of them without one) by one TMRUMenuItem per
    // entry, each calling onClick with itself.
    void BuildMenu(QMenu *menu, QAction *anchor,
        const std::function<void(TMRUMenuItem *sender)> &onClick) const;

    static QByteArray recordBytes(const TMRUItem &item);
    // False when a length byte claims more than its field's room.
    static bool parseRecord(const QByteArray &bytes, TMRUItem &item);

private:
    int findMatch(const TMRUItem &item) const;
    // Adds without saving; when full, a new entry is dropped (loading) or makes room (adding).
    void addItem(const TMRUItem &item, bool addToTop, bool keepFirst);

    std::vector<TMRUItem> m_items;
    int m_maxCount = 10;
    QString m_fileName;
    bool m_autoSave = false;
    bool m_saveOnDestroy = false;
};

} // namespace qd
