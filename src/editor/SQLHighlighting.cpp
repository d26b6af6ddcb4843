#include "editor/SQLHighlighting.h"

#include "editor/CodeMemoCore.h"
#include "editor/HighlightHost.h"

namespace qd {

QString SQLEditorSeparators()
{
    return QStringLiteral("\t \"'()+,-./:;<=>[]{|}");
}

TSQLHighlighting::TSQLHighlighting()
{
    m_sql.SetSubHighlighter(&m_numbers);
    TExtStartStopList &keys = m_sql.StartStopKeys();
    // Options none (not match-case, not whole-word), style none, context 1, scope 0, priority 20,
    // tag 0, no background.
    keys.AddExt(QStringLiteral("--"), QString(), 0, 0, 1, 0, 20, 0, -1, clSQLComment, true);
    keys.AddExt(QStringLiteral("/*"), QStringLiteral("*/"), 0, 0, 1, 0, 20, 0, -1, clSQLComment,
        false);
    keys.AddExt(QStringLiteral("'"), QStringLiteral("'"), 0, 0, 1, 0, 20, 0, -1, clSQLString, false);

    m_numbers.SetSeparators(QStringLiteral("\t ()*+,-./:;<=>[]{|}"));
    m_numbers.AltFont = false;
    m_numbers.Background = -1;
    m_numbers.ContextNum = 0;
    m_numbers.Foreground = clSQLNumber;
    m_numbers.Priority = 15;
    m_numbers.Scope = 0;
    m_numbers.Style = 0;
}

void TSQLHighlighting::AddKeywords(const QStringList &keywords, qint32 color)
{
    TExtKeywordList &list = m_sql.Keywords();
    list.BeginUpdate();
    for (const QString &word : keywords)
        list.AddKeyword(word, koWholeWords, 0, 1, 0, 10, 0, -1, color);
    list.EndUpdate();
}

void TSQLHighlighting::AttachTo(CodeMemoCore &editor)
{
    editor.SetSeparators(SQLEditorSeparators());
    editor.SetHighlighter(&m_sql);
    editor.Highlighting().Rehighlight();
}

void TSQLHighlighting::AttachTo(THighlightHost &editor)
{
    editor.SetSeparators(SQLEditorSeparators());
    editor.SetHighlighter(&m_sql);
}

QStringList BuiltInSQLKeywords()
{
    // Reserved words of Oracle SQL and PL/SQL and the keywords a script most often holds.
    static const char *const words[] = { "ACCESS", "ADD", "ALL", "ALTER", "AND", "ANY", "ARRAY",
        "AS", "ASC", "AT", "AUDIT", "AUTHID", "AVG", "BEGIN", "BETWEEN", "BINARY_INTEGER", "BODY",
        "BOOLEAN", "BULK", "BY", "CASE", "CHAR", "CHAR_BASE", "CHECK", "CLOSE", "CLUSTER",
        "CLUSTERS", "COALESCE", "COLAUTH", "COLLECT", "COLUMN", "COLUMNS", "COMMENT", "COMMIT",
        "COMPRESS", "CONNECT", "CONSTANT", "CONSTRAINT", "CONTINUE", "COUNT", "CRASH", "CREATE",
        "CROSS", "CURRENT", "CURRVAL", "CURSOR", "DATE", "DAY", "DECLARE", "DECIMAL", "DEFAULT",
        "DELETE", "DESC", "DISTINCT", "DO", "DROP", "ELSE", "ELSIF", "END", "EXCEPTION",
        "EXCEPTIONS", "EXCLUSIVE", "EXECUTE", "EXISTS", "EXIT", "EXTENDS", "EXTRACT", "FALSE",
        "FETCH", "FILE", "FLOAT", "FOR", "FORALL", "FOREIGN", "FROM", "FULL", "FUNCTION", "GOTO",
        "GRANT", "GROUP", "HAVING", "HEAP", "HOUR", "IDENTIFIED", "IF", "IMMEDIATE", "IN",
        "INCREMENT", "INDEX", "INDEXES", "INDICATOR", "INITIAL", "INNER", "INSERT", "INTEGER",
        "INTERFACE", "INTERSECT", "INTERVAL", "INTO", "IS", "ISOLATION", "JAVA", "JOIN", "KEY",
        "LEFT", "LEVEL", "LIKE", "LIMITED", "LOCK", "LONG", "LOOP", "MAX", "MAXEXTENTS", "MERGE",
        "MIN", "MINUS", "MINUTE", "MLSLABEL", "MOD", "MODE", "MODIFY", "MONTH", "NATURAL",
        "NATURALN", "NEW", "NEXTVAL", "NOAUDIT", "NOCOMPRESS", "NOCOPY", "NOT", "NOWAIT", "NULL",
        "NULLIF", "NUMBER", "NUMBER_BASE", "OCIROWID", "OF", "OFFLINE", "ON", "ONLINE", "OPAQUE",
        "OPEN", "OPERATOR", "OPTION", "OR", "ORDER", "ORGANIZATION", "OTHERS", "OUT", "OUTER",
        "PACKAGE", "PARTITION", "PCTFREE", "PIPELINED", "PLS_INTEGER", "POSITIVE", "POSITIVEN",
        "PRAGMA", "PRIMARY", "PRIOR", "PRIVATE", "PRIVILEGES", "PROCEDURE", "PUBLIC", "RAISE",
        "RANGE", "RAW", "REAL", "RECORD", "REF", "REFERENCES", "RELEASE", "RENAME", "REPLACE",
        "RESOURCE", "RETURN", "RETURNING", "REVERSE", "REVOKE", "RIGHT", "ROLLBACK", "ROW",
        "ROWID", "ROWNUM", "ROWS", "ROWTYPE", "SAVEPOINT", "SECOND", "SELECT", "SEPARATE",
        "SEQUENCE", "SESSION", "SET", "SHARE", "SIZE", "SMALLINT", "SPACE", "SQL", "SQLCODE",
        "SQLERRM", "START", "STDDEV", "SUBTYPE", "SUCCESSFUL", "SUM", "SYNONYM", "SYSDATE",
        "TABLE", "THEN", "TIME", "TIMESTAMP", "TO", "TRIGGER", "TRUE", "TRUNCATE", "TYPE", "UID",
        "UNION", "UNIQUE", "UPDATE", "USE", "USER", "USING", "VALIDATE", "VALUES", "VARCHAR",
        "VARCHAR2", "VARIANCE", "VIEW", "VIEWS", "WHEN", "WHENEVER", "WHERE", "WHILE", "WITH",
        "WORK", "WRITE", "YEAR", "ZONE" };
    QStringList out;
    out.reserve(int(std::size(words)));
    for (const char *w : words)
        out << QString::fromLatin1(w);
    return out;
}

} // namespace qd
