// Fuzzes the logon-string parser: no crash, and the password never leaks into descriptions.
#include "oracle/LogonString.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString logon
        = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString user, password, database, mode;
    qd::ParseLogon(logon, user, password, database, mode);
    QString rest = logon;
    QString splitMode;
    qd::SplitConnectMode(rest, splitMode);
    if (rest.size() > logon.size())
        __builtin_trap();
    qd::StringToConnectAs(mode);
    const QStringList description
        = qd::ConnectionDescription(logon, QString(), qd::caNormal, QString(), QString());
    if (description.size() != 12 || !description.at(3).isEmpty())
        __builtin_trap();
    qd::LogonStringWithoutPassword(logon, database, mode);
    return 0;
}
