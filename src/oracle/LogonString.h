#pragma once

#include <QString>
#include <QStringList>

namespace qd {

// How a session connects: as an ordinary user or with a system privilege.
enum TConnectAsOption { caNormal, caSYSDBA, caSYSOPER };

// "SYSDBA", "SYSOPER", or empty for caNormal.
QString ConnectAsToString(TConnectAsOption mode);
// caSYSDBA for "SYSDBA", caSYSOPER for "SYSOPER" (any letter case), else caNormal.
TConnectAsOption StringToConnectAs(const QString &text);

// Splits " AS <mode>" off a logon string: logon keeps the trimmed text before the first
// " AS " (in its own letter case; tabs count as blanks), mode gets the trimmed upper-case
// text after it. Without one, logon is unchanged and mode is empty. An " AS " inside double
// quotes belongs to a quoted name or password and is not a separator.
void SplitConnectMode(QString &logon, QString &mode);

// The logon string user[/password][@database][ as mode].
QString ComposeLogonString(
    const QString &user, const QString &password, const QString &database, const QString &mode);

// Splits a logon string into its parts; an empty logon string is first composed from the
// given parts. Double quotes are kept with the part they stand in, and "/" and "@" inside
// them are no separators. The database begins after the last unquoted "@", so an "@" in a
// password does not cut it. True when a password, a database or a mode was found.
bool ParseLogon(
    const QString &logon, QString &user, QString &password, QString &database, QString &mode);

// The logon string for monitors and logs: user[@database][ as mode], never a password, even
// when the user name was typed as user/password@database.
QString LogonStringWithoutPassword(
    const QString &user, const QString &database, const QString &mode);

// The connection description that accompanies a logon report: names and values alternating,
// "Username", "Password", "Database", "ConnectAs", "AUDSID", "OCIDLL". The password line is
// kept for monitors that read the pairs by position, but its value is always empty.
QStringList ConnectionDescription(const QString &user, const QString &database,
    TConnectAsOption mode, const QString &audsid, const QString &ociDll);

} // namespace qd
