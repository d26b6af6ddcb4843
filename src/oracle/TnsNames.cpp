#include "oracle/TnsNames.h"

#include <algorithm>

namespace qd {

TnsNames::TnsNames(LineReader reader, QString defaultDomain)
    : m_reader(std::move(reader)), m_defaultDomain(std::move(defaultDomain))
{
}

void TnsNames::parseFile(const QString &fileName, QStringList &aliases)
{
    m_visited.clear();
    parse(fileName, aliases, 0);
}

void TnsNames::parse(QString fileName, QStringList &aliases, int depth)
{
    // A UNC path written with an extra leading backslash.
    while (fileName.startsWith(QLatin1String("\\\\\\")))
        fileName.remove(0, 1);
    if (depth > MaxIncludeDepth || m_visited.contains(fileName))
        return;
    m_visited.insert(fileName);

    const QStringList lines = m_reader(fileName);
    const bool worldDomain = m_defaultDomain.compare(QLatin1String("WORLD"), Qt::CaseInsensitive) == 0;
    const QString domainSuffix = QLatin1Char('.') + m_defaultDomain;
    int parenDepth = 0;
    bool includePending = false;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1Char('#')))
            continue;
        QString entry;
        for (const QChar c : line) {
            if (c == QLatin1Char('('))
                ++parenDepth;
            if (parenDepth == 0 && c.unicode() >= 32)
                entry += c;
            // A stray ")" must not hide the rest of the file: depth stops at zero.
            if (c == QLatin1Char(')') && parenDepth > 0)
                --parenDepth;
        }
        entry = entry.trimmed();
        if (entry.isEmpty())
            continue;
        const int equals = entry.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            const QString value = entry.mid(equals + 1).trimmed();
            QString name = entry.left(equals).trimmed();
            if (worldDomain && name.endsWith(domainSuffix, Qt::CaseInsensitive))
                name.chop(domainSuffix.size());
            if (name.compare(QLatin1String("ifile"), Qt::CaseInsensitive) == 0) {
                if (value.isEmpty()) {
                    includePending = true;
                } else {
                    parse(value, aliases, depth + 1);
                    includePending = false;
                }
            } else {
                for (const QString &alias : splitCommaText(name))
                    insertSorted(aliases, alias);
            }
        } else if (includePending) {
            parse(entry, aliases, depth + 1);
            includePending = false;
        }
    }
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
    const auto less = [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    };
    const auto it = std::lower_bound(list.begin(), list.end(), name, less);
    if (it != list.end() && it->compare(name, Qt::CaseInsensitive) == 0)
        return;
    list.insert(it, name);
}

} // namespace qd
