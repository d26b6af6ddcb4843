#include "shell/AccountList.h"

#include "classlib/Exception.h"
#include "classlib/TextFile.h"
#include "platform/ProgramDirectory.h"
#include "shell/Encrypt.h"
#include "shell/FixedRecord.h"

namespace qd {

namespace {

// Field offsets and rooms (bytes after the length byte) of a file record.
constexpr int GroupAt = 0, GroupRoom = 3;
constexpr int ReservedAt = 4, ReservedRoom = 255;
constexpr int UsernameAt = 260, UsernameRoom = 60;
constexpr int PasswordAt = 321, PasswordRoom = 60;
constexpr int ServerAt = 382, ServerRoom = 255;
constexpr int ReservedFlagAt = 638;
constexpr int ReservedTextAt = 639, ReservedTextRoom = 8;
constexpr int ModeAt = 648, ModeRoom = 3;
static_assert(ModeAt + 1 + ModeRoom == TAccountList::RecordSize);

// The account file's cipher texts: case-sensitive key, no key-check prefix, raw bytes.
QByteArray encipher(const QString &plain, const QString &key)
{
    return EncryptString(plain.toUtf8(), key, true, false);
}

QString decipher(const QByteArray &cipher, const QString &key)
{
    QByteArray plain;
    DecryptString(cipher, plain, key, true, false);
    return FixedRecord::decodeText(plain);
}

QString cut(const QString &text, int maxBytes)
{
    return QString::fromUtf8(FixedRecord::fitText(text, maxBytes));
}

QString fileError(const QString &fileName, const QString &why)
{
    return QStringLiteral("The account file \"%1\" is damaged: %2. It was not read.")
        .arg(fileName, why);
}

} // namespace

TAccountList::Group *TAccountList::findGroup(const QString &name)
{
    const QString upper = name.toUpper();
    for (Group &g : m_groups)
        if (g.name == upper)
            return &g;
    return nullptr;
}

const TAccountList::Group *TAccountList::findGroup(const QString &name) const
{
    return const_cast<TAccountList *>(this)->findGroup(name);
}

TAccountList::Group &TAccountList::groupFor(const QString &name)
{
    if (Group *g = findGroup(name))
        return *g;
    m_groups.push_back(Group { name.toUpper(), {} });
    return m_groups.back();
}

int TAccountList::findIn(
    const Group &group, const QString &username, const QString &server, bool exact)
{
    const Qt::CaseSensitivity cs = exact ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (size_t i = 0; i < group.records.size(); ++i) {
        const TAccountRec &rec = group.records[i];
        if (rec.Username.compare(username, cs) == 0 && rec.Server.compare(server, cs) == 0)
            return int(i);
    }
    return -1;
}

void TAccountList::fillCommon(TAccountRec &rec, const QString &group, const QString &reserved,
    const QString &server, quint8 reservedFlag, const QString &reservedText,
    const QString &mode) const
{
    rec.Group = cut(group, GroupRoom);
    rec.Reserved = cut(reserved, ReservedRoom);
    rec.Server = cut(server, ServerRoom);
    rec.ReservedFlag = reservedFlag;
    rec.ReservedText = cut(reservedText, ReservedTextRoom);
    rec.Mode = cut(mode, ModeRoom);
}

QString TAccountList::defaultFileName()
{
    return ProgramDirectory::filePath(QStringLiteral("QuarloDeskAccounts.dat"));
}

void TAccountList::SetKey(const QString &key)
{
    for (Group &g : m_groups) {
        for (TAccountRec &rec : g.records) {
            rec.CipherUsername = encipher(rec.Username, key);
            rec.CipherPassword = encipher(rec.Password, key);
        }
    }
    m_key = key;
}

int TAccountList::AddAccount(const QString &group, const QString &reserved, const QString &username,
    const QString &password, const QString &server, quint8 reservedFlag,
    const QString &reservedText, const QString &mode, bool alwaysAdd)
{
    Group &g = groupFor(group);
    int index = alwaysAdd ? -1 : findIn(g, username, server, false);
    if (index < 0) {
        g.records.emplace_back();
        index = int(g.records.size()) - 1;
    }
    TAccountRec &rec = g.records[size_t(index)];
    fillCommon(rec, group, reserved, server, reservedFlag, reservedText, mode);
    rec.Username = cut(username, UsernameRoom);
    rec.Password = cut(password, PasswordRoom);
    rec.CipherUsername = encipher(rec.Username, m_key);
    rec.CipherPassword = encipher(rec.Password, m_key);
    return index;
}

int TAccountList::AddAccount(const QString &group, const QString &username, const QString &password,
    const QString &server, const QString &mode)
{
    return AddAccount(group, QString(), username, password, server, 0, QString(), mode, false);
}

int TAccountList::AddEncryptedAccount(const QString &group, const QString &reserved,
    const QByteArray &cipherUsername, const QByteArray &cipherPassword, const QString &server,
    quint8 reservedFlag, const QString &reservedText, const QString &mode, bool alwaysAdd)
{
    const QString username = cut(decipher(cipherUsername.left(UsernameRoom), m_key), UsernameRoom);
    const QString password = cut(decipher(cipherPassword.left(PasswordRoom), m_key), PasswordRoom);
    Group &g = groupFor(group);
    int index = alwaysAdd ? -1 : findIn(g, username, server, false);
    if (index < 0) {
        g.records.emplace_back();
        index = int(g.records.size()) - 1;
    }
    TAccountRec &rec = g.records[size_t(index)];
    fillCommon(rec, group, reserved, server, reservedFlag, reservedText, mode);
    rec.Username = username;
    rec.Password = password;
    // The cipher texts are kept as given, so a list read under a wrong key writes back the very
    // bytes it read.
    rec.CipherUsername = cipherUsername.left(UsernameRoom);
    rec.CipherPassword = cipherPassword.left(PasswordRoom);
    return index;
}

int TAccountList::FindAccount(
    const QString &group, const QString &username, const QString &server, bool exact) const
{
    const Group *g = findGroup(group);
    return g ? findIn(*g, username, server, exact) : -1;
}

int TAccountList::GetCount(const QString &group) const
{
    const Group *g = findGroup(group);
    return g ? int(g->records.size()) : 0;
}

void TAccountList::GetAccount(const QString &group, int index, TAccountRec &rec) const
{
    const Group *g = findGroup(group);
    if (!g)
        throw Exception(QStringLiteral("TAccountList: out of bounds"));
    if (index < 0 || index >= int(g->records.size()))
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    const TAccountRec &from = g->records[size_t(index)];
    rec.Group = from.Group;
    rec.Reserved = from.Reserved;
    rec.Username = from.Username;
    rec.Password = from.Password;
    rec.Server = from.Server;
    rec.ReservedFlag = from.ReservedFlag;
    rec.ReservedText = from.ReservedText;
    rec.Mode = from.Mode;
}

void TAccountList::Delete(const QString &group, int index)
{
    Group *g = findGroup(group);
    if (g && index >= 0 && index < int(g->records.size()))
        g->records.erase(g->records.begin() + index);
}

void TAccountList::DeleteGroup(const QString &group)
{
    const QString upper = group.toUpper();
    std::erase_if(m_groups, [&](const Group &g) { return g.name == upper; });
}

QStringList TAccountList::GroupNames() const
{
    QStringList names;
    for (const Group &g : m_groups)
        names << g.name;
    return names;
}

QByteArray TAccountList::recordBytes(const TAccountRec &rec)
{
    FixedRecord record(RecordSize);
    record.putText(GroupAt, GroupRoom, rec.Group);
    record.putText(ReservedAt, ReservedRoom, rec.Reserved);
    record.putBytes(UsernameAt, UsernameRoom, rec.CipherUsername);
    record.putBytes(PasswordAt, PasswordRoom, rec.CipherPassword);
    record.putText(ServerAt, ServerRoom, rec.Server);
    record.putByte(ReservedFlagAt, rec.ReservedFlag);
    record.putText(ReservedTextAt, ReservedTextRoom, rec.ReservedText);
    record.putText(ModeAt, ModeRoom, rec.Mode);
    return record.bytes();
}

bool TAccountList::parseRecord(const QByteArray &bytes, TAccountRec &rec)
{
    if (bytes.size() != RecordSize)
        return false;
    const FixedRecord record = FixedRecord::fromBytes(bytes);
    const struct {
        int at, room;
    } fields[] = { { GroupAt, GroupRoom }, { ReservedAt, ReservedRoom },
        { UsernameAt, UsernameRoom }, { PasswordAt, PasswordRoom }, { ServerAt, ServerRoom },
        { ReservedTextAt, ReservedTextRoom }, { ModeAt, ModeRoom } };
    for (const auto &f : fields)
        if (!record.fieldValid(f.at, f.room))
            return false;
    rec = TAccountRec();
    rec.Group = record.getText(GroupAt, GroupRoom);
    rec.Reserved = record.getText(ReservedAt, ReservedRoom);
    rec.CipherUsername = record.getBytes(UsernameAt, UsernameRoom);
    rec.CipherPassword = record.getBytes(PasswordAt, PasswordRoom);
    rec.Server = record.getText(ServerAt, ServerRoom);
    rec.ReservedFlag = record.getByte(ReservedFlagAt);
    rec.ReservedText = record.getText(ReservedTextAt, ReservedTextRoom);
    rec.Mode = record.getText(ModeAt, ModeRoom);
    return true;
}

void TAccountList::LoadAccounts(const QString &fileName)
{
    const QByteArray bytes = ReadFileBytes(fileName);
    if (bytes.size() % RecordSize != 0)
        throw Exception(fileError(fileName,
            QStringLiteral("its size of %1 bytes is not a whole number of %2-byte records")
                .arg(bytes.size())
                .arg(RecordSize)));
    if (bytes.size() / RecordSize > MaxFileRecords)
        throw Exception(fileError(
            fileName, QStringLiteral("it holds more than %1 records").arg(MaxFileRecords)));

    // Check every record before the list changes.
    std::vector<TAccountRec> records(size_t(bytes.size() / RecordSize));
    for (size_t i = 0; i < records.size(); ++i) {
        if (!parseRecord(bytes.mid(qsizetype(i) * RecordSize, RecordSize), records[i]))
            throw Exception(fileError(
                fileName, QStringLiteral("record %1 has a field longer than its room").arg(i + 1)));
    }
    Clear();
    for (const TAccountRec &rec : records)
        AddEncryptedAccount(rec.Group, rec.Reserved, rec.CipherUsername, rec.CipherPassword,
            rec.Server, rec.ReservedFlag, rec.ReservedText, rec.Mode, true);
}

void TAccountList::SaveAccounts(const QString &fileName) const
{
    QByteArray bytes;
    for (const Group &g : m_groups)
        for (const TAccountRec &rec : g.records)
            bytes += recordBytes(rec);
    WriteFileAtomically(fileName, bytes);
}

void SaveAccounts(const TAccountList &list, const QString &fileName)
{
    list.SaveAccounts(fileName);
}

} // namespace qd
