#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qd {

// Reader of the client's network configuration: the alias names of tnsnames.ora (with
// the files it includes by "ifile") and names.default_domain of sqlnet.ora.
//
// Only text outside parentheses counts, so a description may span many lines; "#"
// starts a comment that runs to the end of its line (outside double quotes). A list of
// names may span lines ("a," / "b," / "c = (...)"). An include names its file relative
// to the directory of the file that names it, as the client resolves it; its name may
// be in double quotes. Includes are followed at most MaxIncludeDepth deep and each file
// is read at most once per parse, MaxFiles files at most. A problem with a file (an include that is
// missing, unreadable, a directory, part of a cycle, nested too deep) is recorded once in
// warnings() and the rest of the files are still read.
class TnsNames {
public:
    static constexpr int MaxIncludeDepth = 16;
    // Files read by one parse at most: includes that branch through a directory link
    // name new paths at every level, and must not multiply without end.
    static constexpr int MaxFiles = 256;

    // The lines of a file; nothing when the file does not exist. Throws qd::Exception
    // for a file that exists but cannot be read.
    using LineReader = std::function<std::optional<QStringList>(const QString &path)>;

    // defaultDomain: names.default_domain of sqlnet.ora; when it is "world" (any
    // case), an alias "SALES.WORLD" is listed as "SALES".
    TnsNames(LineReader reader, QString defaultDomain);

    // The aliases of fileName and of its includes, each once (names compared without
    // case) in the order first seen; the spelling of the last definition stays. A
    // missing fileName gives none and no warning.
    QStringList parseFile(const QString &fileName);

    // The problems met by the last parseFile, one line each, naming the file.
    const QStringList &warnings() const { return m_warnings; }

    // The value of the first "names.default_domain = value" line, trimmed; empty when
    // no line sets it.
    static QString defaultDomainFromLines(const QStringList &lines);

    // Splits text as a comma-separated list: commas and blanks separate, double quotes
    // group (a doubled quote inside stands for one). Empty pieces are dropped.
    static QStringList splitCommaText(const QString &text);

    // Inserts name into a case-insensitively sorted list unless an equal name is there.
    static void insertSorted(QStringList &list, const QString &name);

    // The path an include value names, read from includingFile: without surrounding
    // double quotes, and relative to includingFile's directory unless absolute.
    static QString resolveInclude(const QString &includingFile, const QString &value);

private:
    void parse(QString fileName, const QString &includedFrom, int depth);
    void parseLines(const QString &fileName, const QStringList &lines, int depth);
    void addAlias(const QString &name);
    void warn(const QString &text);

    LineReader m_reader;
    QString m_defaultDomain;
    QStringList m_aliases;
    QHash<QString, qsizetype> m_aliasIndex; // lower-cased name -> position in m_aliases
    QSet<QString> m_done; // files read (or found unreadable) in this parse
    QStringList m_chain; // files being read, outermost first
    QStringList m_warnings;
    bool m_tooManyFiles = false;
    bool m_tooDeep = false;
};

} // namespace qd
