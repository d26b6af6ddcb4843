#include "oracle/LogonString.h"

namespace qd {

namespace {

// Trim as the class library does it: blanks and control characters.
QString trimControl(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= ' ')
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= ' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

QString ConnectAsToString(TConnectAsOption mode)
{
    switch (mode) {
    case caSYSDBA:
        return QStringLiteral("SYSDBA");
    case caSYSOPER:
        return QStringLiteral("SYSOPER");
    case caNormal:
        break;
    }
    return QString();
}

TConnectAsOption StringToConnectAs(const QString &text)
{
    const QString upper = text.toUpper();
    if (upper == QLatin1String("SYSDBA"))
        return caSYSDBA;
    if (upper == QLatin1String("SYSOPER"))
        return caSYSOPER;
    return caNormal;
}

void SplitConnectMode(QString &logon, QString &mode)
{
    // Character by character so that positions in the copy match the original (a whole-string
    // upper-casing may change the length).
    QString upper(logon.size(), QChar());
    for (qsizetype i = 0; i < logon.size(); ++i) {
        const QChar c = logon.at(i);
        upper[i] = c == u'\t' ? QChar(u' ') : c.toUpper();
    }
    static const QString as = QStringLiteral(" AS ");
    qsizetype found = -1;
    bool quoted = false;
    for (qsizetype i = 0; i + as.size() <= upper.size(); ++i) {
        if (upper.at(i) == u'"')
            quoted = !quoted;
        else if (!quoted && QStringView(upper).mid(i, as.size()) == as) {
            found = i;
            break;
        }
    }
    if (found < 0) {
        mode.clear();
        return;
    }
    mode = trimControl(upper.mid(found + as.size()));
    logon = trimControl(logon.left(found));
}

QString ComposeLogonString(
    const QString &user, const QString &password, const QString &database, const QString &mode)
{
    QString result = user;
    if (!password.isEmpty())
        result += u'/' + password;
    if (!database.isEmpty())
        result += u'@' + database;
    if (!mode.isEmpty())
        result += QStringLiteral(" as ") + mode;
    return result;
}

bool ParseLogon(
    const QString &logon, QString &user, QString &password, QString &database, QString &mode)
{
    QString text = logon.isEmpty() ? ComposeLogonString(user, password, database, mode) : logon;
    user.clear();
    password.clear();
    database.clear();
    SplitConnectMode(text, mode);

    qsizetype databaseStart = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'"')
            quoted = !quoted;
        else if (!quoted && text.at(i) == u'@')
            databaseStart = i;
    }
    const qsizetype credentialsEnd = databaseStart < 0 ? text.size() : databaseStart;

    QString *part = &user;
    quoted = false;
    for (qsizetype i = 0; i < credentialsEnd; ++i) {
        const QChar c = text.at(i);
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u'/' && part == &user) {
            part = &password;
            continue;
        }
        *part += c;
    }
    if (databaseStart >= 0)
        database = text.mid(databaseStart + 1);
    return !password.isEmpty() || !database.isEmpty() || !mode.isEmpty();
}

QString LogonStringWithoutPassword(
    const QString &user, const QString &database, const QString &mode)
{
    QString parsedUser = user;
    QString password;
    QString parsedDatabase = database;
    QString parsedMode = mode;
    // The user field may still hold a whole logon string; only its user part is shown.
    ParseLogon(user, parsedUser, password, parsedDatabase, parsedMode);
    if (parsedDatabase.isEmpty())
        parsedDatabase = database;
    if (parsedMode.isEmpty())
        parsedMode = mode;
    return ComposeLogonString(parsedUser, QString(), parsedDatabase, parsedMode);
}

QStringList ConnectionDescription(const QString &user, const QString &database,
    TConnectAsOption mode, const QString &audsid, const QString &ociDll)
{
    QString parsedUser = user;
    QString password;
    QString parsedDatabase;
    QString parsedMode;
    ParseLogon(user, parsedUser, password, parsedDatabase, parsedMode);
    return { QStringLiteral("Username"), parsedUser, QStringLiteral("Password"), QString(),
        QStringLiteral("Database"), database.isEmpty() ? parsedDatabase : database,
        QStringLiteral("ConnectAs"), ConnectAsToString(mode), QStringLiteral("AUDSID"), audsid,
        QStringLiteral("OCIDLL"), ociDll };
}

} // namespace qd
