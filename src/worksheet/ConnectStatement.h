#pragma once

#include <QString>

namespace qd {

// Takes a script's CONNECT arguments apart in the forms of a command-line client:
//   user[/password][@database] [AS SYSDBA | AS SYSOPER]
// Each part may be written in double quotes to hold blanks, "/" or "@" (the quotes are not
// part of the value); case is kept everywhere (passwords are case-sensitive). ConnectAs comes
// back as "SYSDBA", "SYSOPER" or empty.
//
// text is what follows the command word. An empty text is true with every part empty (the
// caller then asks for the logon). Operating-system logons ("/", "/@db", "/ as sysdba") give
// false with "OS Logon not supported". Other malformed text gives false and says why in
// errorText (the caller puts "CONNECT: " in front).
bool ParseConnectStatement(const QString &text, QString &username, QString &password,
    QString &instance, QString &connectAs, QString &errorText);

} // namespace qd
