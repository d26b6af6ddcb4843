#include "oracle/TnsNames.h"

#include "classlib/Exception.h"

#include <QDir>

#include <algorithm>

namespace qd {

TnsNames::TnsNames(LineReader reader, QString defaultDomain)
    : m_reader(std::move(reader))
    , m_defaultDomain(std::move(defaultDomain))
{
}

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

bool isAbsolute(const QString &path)
{
    if (!path.isEmpty() && isSeparator(path[0]))
        return true;
    // A drive letter: C:\net\more.ora
    return path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter();
}

// One key per file however its path is spelt ("dir/./a.ora" and "dir/a.ora").
QString fileKey(const QString &path)
{
    return path.contains(QLatin1Char('\\')) ? path : QDir::cleanPath(path);
}

// Whether text continues the name list begun by pending: a comma ends the one or starts the
// other.
bool continuesList(const QString &pending, const QString &text)
{
    return !pending.isEmpty()
        && (pending.endsWith(QLatin1Char(',')) || text.trimmed().startsWith(QLatin1Char(',')));
}

} // namespace

QStringList TnsNames::parseFile(const QString &fileName)
{
    m_aliases.clear();
    m_aliasIndex.clear();
    m_done.clear();
    m_chain.clear();
    m_warnings.clear();
    m_tooManyFiles = false;
    m_tooDeep = false;
    parse(fileName, QString(), 0);
    return m_aliases;
}

QString TnsNames::resolveInclude(const QString &includingFile, const QString &value)
{
    QString path = value.trimmed();
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        path = path.mid(1, path.size() - 2).trimmed();
    if (path.isEmpty() || isAbsolute(path))
        return path;
    qsizetype cut = includingFile.size() - 1;
    while (cut >= 0 && !isSeparator(includingFile[cut]))
        --cut;
    if (cut < 0)
        return path;
    return includingFile.left(cut + 1) + path;
}

void TnsNames::warn(const QString &text)
{
    if (!m_warnings.contains(text))
        m_warnings.append(text);
}

void TnsNames::parse(QString fileName, const QString &includedFrom, int depth)
{
    // A UNC path written with an extra leading backslash.
    while (fileName.startsWith(QLatin1String("\\\\\\")))
        fileName.remove(0, 1);
    const QString key = fileKey(fileName);
    const QString namedIn = QStringLiteral(" (named in ") + includedFrom + QLatin1Char(')');
    if (m_chain.contains(key)) {
        warn(QStringLiteral("Include cycle: ") + fileName + QStringLiteral(" is included again by ")
            + includedFrom);
        return;
    }
    if (m_done.contains(key))
        return; // its aliases are listed already
    if (depth > MaxIncludeDepth) {
        if (!m_tooDeep) {
            warn(QStringLiteral("Includes nested too deep: ") + fileName + namedIn
                + QStringLiteral(" and others as deep are not read"));
            m_tooDeep = true;
        }
        return;
    }
    if (m_done.size() >= MaxFiles) {
        if (!m_tooManyFiles) {
            warn(QStringLiteral("Too many included files: ") + fileName + namedIn
                + QStringLiteral(" and those after it are not read"));
            m_tooManyFiles = true;
        }
        return;
    }
    m_done.insert(key);

    std::optional<QStringList> lines;
    try {
        lines = m_reader(fileName);
    } catch (const Exception &e) {
        warn(e.Message());
        return;
    }
    if (!lines) {
        if (!includedFrom.isEmpty())
            warn(QStringLiteral("Included file not found: ") + fileName + namedIn);
        return;
    }
    m_chain.append(key);
    parseLines(fileName, *lines, depth);
    m_chain.removeLast();
}

void TnsNames::parseLines(const QString &fileName, const QStringList &lines, int depth)
{
    const bool worldDomain
        = m_defaultDomain.compare(QLatin1String("WORLD"), Qt::CaseInsensitive) == 0;
    const QString domainSuffix = QLatin1Char('.') + m_defaultDomain;
    int parenDepth = 0;
    bool includePending = false;
    QString pendingNames; // the first lines of a name list that ends on a later line
    for (qsizetype lineNo = 0; lineNo < lines.size(); ++lineNo) {
        QStringView line(lines[lineNo]);
        if (lineNo == 0 && line.startsWith(QChar(0xFEFF)))
            line = line.mid(1);
        QString entry;
        bool quoted = false;
        for (const QChar c : line) {
            if (c == QLatin1Char('"'))
                quoted = !quoted;
            else if (!quoted && c == QLatin1Char('#'))
                break; // a comment, to the end of the line
            if (!quoted && c == QLatin1Char('('))
                ++parenDepth;
            if (parenDepth == 0 && c.unicode() >= 32)
                entry += c;
            // A stray ")" must not hide the rest of the file: depth stops at zero.
            if (!quoted && c == QLatin1Char(')') && parenDepth > 0)
                --parenDepth;
        }
        entry = entry.trimmed();
        if (entry.isEmpty())
            continue;
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        if (equals < 0) {
            if (includePending) {
                parse(resolveInclude(fileName, entry), fileName, depth + 1);
                includePending = false;
            } else if (continuesList(pendingNames, entry)) {
                pendingNames += QLatin1Char(' ') + entry;
            } else {
                // Names of a list whose comma comes on a later line; if none does, they
                // belong to no entry and are dropped.
                pendingNames = entry;
            }
            continue;
        }
        const QString value = entry.mid(equals + 1).trimmed();
        QString names = entry.left(equals);
        if (continuesList(pendingNames, names))
            names.prepend(pendingNames + QLatin1Char(' '));
        pendingNames.clear();
        if (names.trimmed().compare(QLatin1String("ifile"), Qt::CaseInsensitive) == 0) {
            if (value.isEmpty()) {
                includePending = true;
            } else {
                parse(resolveInclude(fileName, value), fileName, depth + 1);
                includePending = false;
            }
            continue;
        }
        for (QString alias : splitCommaText(names)) {
            if (worldDomain && alias.size() > domainSuffix.size()
                && alias.endsWith(domainSuffix, Qt::CaseInsensitive))
                alias.chop(domainSuffix.size());
            addAlias(alias);
        }
    }
}

void TnsNames::addAlias(const QString &name)
{
    const QString key = name.toLower();
    const auto found = m_aliasIndex.constFind(key);
    if (found != m_aliasIndex.cend()) {
        m_aliases[*found] = name; // a later definition wins
        return;
    }
    m_aliasIndex.insert(key, m_aliases.size());
    m_aliases.append(name);
}

QString TnsNames::defaultDomainFromLines(const QStringList &lines)
{
    for (const QString &line : lines) {
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        if (line.left(equals).trimmed().toLower() == QLatin1String("names.default_domain"))
            return line.mid(equals + 1).trimmed();
    }
    return QString();
}

QStringList TnsNames::splitCommaText(const QString &text)
{
    QStringList pieces;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto isBlank = [](QChar c) { return c.unicode() <= 32; };
    while (i < n) {
        while (i < n && (isBlank(text[i]) || text[i] == QLatin1Char(',')))
            ++i;
        if (i >= n)
            break;
        QString piece;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        piece += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                piece += text[i++];
            }
        } else {
            while (i < n && !isBlank(text[i]) && text[i] != QLatin1Char(','))
                piece += text[i++];
        }
        if (!piece.isEmpty())
            pieces.append(piece);
    }
    return pieces;
}

void TnsNames::insertSorted(QStringList &list, const QString &name)
{
    const auto less
        = [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; };
    const auto it = std::lower_bound(list.begin(), list.end(), name, less);
    if (it != list.end() && it->compare(name, Qt::CaseInsensitive) == 0)
        return;
    list.insert(it, name);
}

} // namespace qd
