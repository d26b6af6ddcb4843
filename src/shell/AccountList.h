#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace qd {

// One saved logon. The fields up to Mode are the file record; the cipher texts live in memory
// only. Text fields hold at most the stated number of bytes in UTF-8.
struct TAccountRec {
    QString Group; // 3: "ORA" for database logons, "FTP" for FTP accounts
    QString Reserved; // 255: always written empty by the program
    QString Username; // 60, plain text
    QString Password; // 60, plain text
    QString Server; // 255: database alias or FTP server
    quint8 ReservedFlag = 0;
    QString ReservedText; // 8
    QString Mode; // 3: the caller's letter ("N", "D", "O" or " " for logons)
    QByteArray CipherUsername; // Username enciphered with the list's key
    QByteArray CipherPassword;
};

// The logons the user chose to save, grouped by an upper-cased group name, with user names and
// passwords enciphered under the user's security password in "QuarloDeskAccounts.dat".
//
// The file has no header: 652-byte records, group by group. Nothing in it tells whether the
// key is right; a wrong key reads other user names and passwords, but their cipher texts are
// kept as read, so saving again writes the same bytes back.
class TAccountList {
public:
    static constexpr int RecordSize = 652;
    // A file larger than this many records is refused as damaged.
    static constexpr int MaxFileRecords = 10000;

    TAccountList() = default;

    // "QuarloDeskAccounts.dat" in the program's directory (created when missing).
    static QString defaultFileName();

    const QString &Key() const { return m_key; }
    // Enciphers every record's user name and password under key, then keeps it.
    void SetKey(const QString &key);

    // Adds an account, or, unless alwaysAdd, refills the one of the group with the same user
    // name and server (letter case ignored). Returns its index within the group.
    int AddAccount(const QString &group, const QString &reserved, const QString &username,
        const QString &password, const QString &server, quint8 reservedFlag,
        const QString &reservedText, const QString &mode, bool alwaysAdd = false);
    // The short form the tool windows use.
    int AddAccount(const QString &group, const QString &username, const QString &password,
        const QString &server, const QString &mode);
    // As AddAccount, with the user name and password given as cipher texts under Key (as
    // they come from the file).
    int AddEncryptedAccount(const QString &group, const QString &reserved,
        const QByteArray &cipherUsername, const QByteArray &cipherPassword, const QString &server,
        quint8 reservedFlag, const QString &reservedText, const QString &mode, bool alwaysAdd);

    // Index of the first account of the group with that user name and server (exactly, or
    // without regard to case); -1 when none or when the group does not exist.
    int FindAccount(
        const QString &group, const QString &username, const QString &server, bool exact) const;
    int GetCount(const QString &group) const;
    // The account's file part with plain user name and password. Raises
    // "TAccountList: out of bounds" for a group that does not exist and a list index error
    // for an index outside the group.
    void GetAccount(const QString &group, int index, TAccountRec &rec) const;
    // Removes one account; does nothing for a group or index that does not exist.
    void Delete(const QString &group, int index);
    void DeleteGroup(const QString &group);
    void Clear() { m_groups.clear(); }

    // The groups' names in the order they were first used.
    QStringList GroupNames() const;

    // Replaces the list with the file's accounts; set the key first. A missing file raises the
    // file-open error; a damaged one (not a whole number of records, too large, a field longer
    // than its room) is refused with an Exception naming the file, and the list stays as it was.
    void LoadAccounts(const QString &fileName);
    // Writes every account, replacing the file in one atomic step: a failure leaves the old
    // file whole.
    void SaveAccounts(const QString &fileName) const;

    // The file record of one account, and back.
    static QByteArray recordBytes(const TAccountRec &rec);
    // False when a length byte claims more than its field's room.
    static bool parseRecord(const QByteArray &bytes, TAccountRec &rec);

private:
    struct Group {
        QString name;
        std::vector<TAccountRec> records;
    };

    Group *findGroup(const QString &name);
    const Group *findGroup(const QString &name) const;
    Group &groupFor(const QString &name);
    static int findIn(
        const Group &group, const QString &username, const QString &server, bool exact);
    void fillCommon(TAccountRec &rec, const QString &group, const QString &reserved,
        const QString &server, quint8 reservedFlag, const QString &reservedText,
        const QString &mode) const;

    QString m_key;
    std::vector<Group> m_groups;
};

// Writes all accounts of all groups to the account file, replacing it.
void SaveAccounts(const TAccountList &list, const QString &fileName);

} // namespace qd
