#include "oracle/OracleSqlText.h"

#include "classlib/Exception.h"

namespace qd {

namespace {

bool isNameCharacter(QChar c)
{
    const ushort u = c.unicode();
    if (u >= 128)
        return true;
    return u == '#' || u == '$' || u == '_' || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z')
        || (u >= 'a' && u <= 'z');
}

QChar at(const QString &text, qsizetype i)
{
    return i < text.size() ? text.at(i) : QChar();
}

// Blanks and control characters, as the class library's Trim removes them.
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

TStringList FindVariables(const QString &sql, bool allowDuplicates)
{
    enum class State { Scanning, Variable, Quoted, BlockComment, LineComment };
    // The appended line break ends a trailing name or line comment.
    const QString text = sql + QStringLiteral("\r\n");
    TStringList result;
    State state = State::Scanning;
    QString name;
    qsizetype colon = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (state) {
        case State::Scanning:
            if (c == u':') {
                state = State::Variable;
                name.clear();
                colon = i + 1;
            } else if (c == u'\'') {
                state = State::Quoted;
            } else if (c == u'/' && at(text, i + 1) == u'*') {
                state = State::BlockComment;
                ++i; // the "*" opens the comment and cannot also close it
            } else if (c == u'-' && at(text, i + 1) == u'-') {
                state = State::LineComment;
                ++i;
            }
            break;
        case State::Quoted:
            if (c == u'\'')
                state = State::Scanning;
            break;
        case State::BlockComment:
            if (c == u'*' && at(text, i + 1) == u'/') {
                state = State::Scanning;
                ++i;
            }
            break;
        case State::LineComment:
            // Lines end with a line feed, with or without a carriage return before it.
            if (c == u'\n')
                state = State::Scanning;
            break;
        case State::Variable:
            if (isNameCharacter(c)) {
                name += c;
                break;
            }
            if (!name.isEmpty()) {
                const QString upper = name.toUpper();
                if (allowDuplicates || result.IndexOf(upper) < 0)
                    result.AddInteger(upper, colon);
            }
            state = State::Scanning;
            // A quote or comment right after a name still opens a literal or comment, so
            // their colons stay hidden. A colon there does not start a new name (":a:b"
            // names only A).
            if (c == u'\'' || c == u'/' || c == u'-')
                --i;
            break;
        }
    }
    return result;
}

QString RemoveComments(const QString &sql)
{
    enum class State { Normal, Quoted, BlockComment, LineComment };
    QString result;
    result.reserve(sql.size());
    State state = State::Normal;
    // A comment separates the words around it: where nothing else does, a blank stays in its
    // place ("a/*x*/from" is "a from", not "afrom").
    bool separate = false;
    const auto leaveComment = [&] {
        state = State::Normal;
        separate = !result.isEmpty() && !result.back().isSpace();
    };
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        const QChar next = at(sql, i + 1);
        switch (state) {
        case State::Normal:
            if (c == u'/' && next == u'*') {
                state = State::BlockComment;
                ++i;
                break;
            }
            if (c == u'-' && next == u'-') {
                state = State::LineComment;
                ++i;
                break;
            }
            if (separate && !c.isSpace())
                result += u' ';
            separate = false;
            result += c;
            if (c == u'\'')
                state = State::Quoted;
            break;
        case State::Quoted:
            result += c;
            if (c == u'\'')
                state = State::Normal;
            break;
        case State::BlockComment:
            if (c == u'*' && next == u'/') {
                leaveComment();
                ++i;
            }
            break;
        case State::LineComment:
            // The line break that ends the comment goes with it (CR LF or a bare LF).
            if (c == u'\r' && next == u'\n') {
                leaveComment();
                ++i;
            } else if (c == u'\n') {
                leaveComment();
            }
            break;
        }
    }
    return trimControl(result);
}

QString QuoteWhenNeeded(const QString &name, const QString &extraAllowed)
{
    bool quoted = false;
    for (const QChar c : name) {
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (isNameCharacter(c) || extraAllowed.contains(c))
            continue;
        return u'"' + name + u'"';
    }
    return name;
}

QString ByteArrayToText(const Variant &value)
{
    if (value.IsNullOrEmpty())
        return QString();
    if (const QByteArray *bytes = value.BytesPtr())
        return QString::fromLatin1(*bytes);
    throw EConvertError(QStringLiteral("Invalid variant type for a byte array: ")
        + Variant::KindName(value.Kind()));
}

QString CountText(qint64 number, const QString &word)
{
    return QString::number(number) + u' ' + word + (number == 1 ? QString() : QStringLiteral("s"));
}

} // namespace qd
