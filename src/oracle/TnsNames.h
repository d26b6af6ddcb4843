#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace qd {

// Reader of the client's network configuration: the alias names of tnsnames.ora (with
// the files it includes by "ifile") and names.default_domain of sqlnet.ora.
//
// Only text outside parentheses counts, so a description may span many lines; lines
// beginning with "#" are comments. Includes are followed at most MaxIncludeDepth deep
// and each file is read at most once per parse, so include cycles end and a file
// included many times costs one read.
class TnsNames {
public:
    static constexpr int MaxIncludeDepth = 16;

    // Reads a file as lines; a missing file gives none. May throw qd::Exception.
    using LineReader = std::function<QStringList(const QString &path)>;

    // defaultDomain: names.default_domain of sqlnet.ora; when it is "world" (any
    // case), an alias "SALES.WORLD" is listed as "SALES".
    TnsNames(LineReader reader, QString defaultDomain);

    // Adds the aliases of fileName and of its includes to aliases, which stays sorted
    // (case-insensitively) and without duplicates (the first spelling stays).
    void parseFile(const QString &fileName, QStringList &aliases);

    // The value of the first "names.default_domain = value" line, trimmed; empty when
    // no line sets it.
    static QString defaultDomainFromLines(const QStringList &lines);

    // Splits text as a comma-separated list: commas and blanks separate, double quotes
    // group (a doubled quote inside stands for one). Empty pieces are dropped.
    static QStringList splitCommaText(const QString &text);

    // Inserts name into a case-insensitively sorted list unless an equal name is there.
    static void insertSorted(QStringList &list, const QString &name);

private:
    void parse(QString fileName, QStringList &aliases, int depth);

    LineReader m_reader;
    QString m_defaultDomain;
    QSet<QString> m_visited;
};

} // namespace qd
