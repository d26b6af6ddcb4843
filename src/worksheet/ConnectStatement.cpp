#include "worksheet/ConnectStatement.h"

namespace qd {

namespace {

// A small scanner over the CONNECT arguments.
class ConnectScanner {
public:
    explicit ConnectScanner(const QString &text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text.at(m_pos); }
    void skip() { ++m_pos; }
    bool skipBlanks()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && peek().isSpace())
            ++m_pos;
        return m_pos > start;
    }

    // A part: a double-quoted text ("" inside stands for one quote) or a run of characters up
    // to a blank or one of stops. False with errorText on an unclosed quote.
    bool part(const QString &stops, QString &value, QString &errorText, const char *what)
    {
        value.clear();
        if (peek() == u'"') {
            skip();
            for (;;) {
                if (atEnd()) {
                    errorText = QStringLiteral("missing closing quote in ")
                        + QString::fromLatin1(what);
                    return false;
                }
                const QChar c = peek();
                skip();
                if (c == u'"') {
                    if (peek() == u'"') {
                        value += c;
                        skip();
                        continue;
                    }
                    break;
                }
                value += c;
            }
            return true;
        }
        while (!atEnd() && !peek().isSpace() && !stops.contains(peek())) {
            value += peek();
            skip();
        }
        return true;
    }

    // The rest of the text from here, for error messages.
    QString rest() const { return m_text.mid(m_pos); }

private:
    const QString &m_text;
    qsizetype m_pos = 0;
};

} // namespace

bool ParseConnectStatement(const QString &text, QString &username, QString &password,
    QString &instance, QString &connectAs, QString &errorText)
{
    username.clear();
    password.clear();
    instance.clear();
    connectAs.clear();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return true;
    if (trimmed.startsWith(u'/')) {
        errorText = QStringLiteral("OS Logon not supported");
        return false;
    }

    ConnectScanner scan(trimmed);
    QString user, pass, db, mode;
    if (!scan.part(QStringLiteral("/@"), user, errorText, "user name"))
        return false;
    if (scan.peek() == u'/') {
        scan.skip();
        if (!scan.part(QStringLiteral("@"), pass, errorText, "password"))
            return false;
    }
    if (scan.peek() == u'@') {
        scan.skip();
        if (!scan.part(QString(), db, errorText, "database"))
            return false;
        if (db.isEmpty()) {
            errorText = QStringLiteral("missing database name after \"@\"");
            return false;
        }
    }
    const bool blank = scan.skipBlanks();
    if (!scan.atEnd()) {
        QString word;
        QString ignored;
        scan.part(QString(), word, ignored, "");
        if (!blank || word.compare(u"AS", Qt::CaseInsensitive) != 0) {
            errorText = QStringLiteral("unexpected text \"") + scan.rest().prepend(word).trimmed()
                + u'"';
            return false;
        }
        scan.skipBlanks();
        scan.part(QString(), mode, ignored, "");
        mode = mode.toUpper();
        if (mode.isEmpty()) {
            errorText = QStringLiteral("missing SYSDBA or SYSOPER after AS");
            return false;
        }
        if (mode != u"SYSDBA" && mode != u"SYSOPER") {
            errorText = QStringLiteral("unknown connect mode \"") + mode
                + QStringLiteral("\" (SYSDBA or SYSOPER expected)");
            return false;
        }
        scan.skipBlanks();
        if (!scan.atEnd()) {
            errorText = QStringLiteral("unexpected text \"") + scan.rest().trimmed() + u'"';
            return false;
        }
    }
    if (user.isEmpty()) {
        errorText = QStringLiteral("missing user name");
        return false;
    }
    username = user;
    password = pass;
    instance = db;
    connectAs = mode;
    return true;
}

} // namespace qd
