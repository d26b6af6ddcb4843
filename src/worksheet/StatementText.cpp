#include "worksheet/StatementText.h"

#include "worksheet/KXScript.h"

namespace qd {

namespace {

bool endsName(QChar c, bool dotEndsName)
{
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u'(':
    case u')':
    case u',':
    case u'+':
    case u'-':
    case u'*':
    case u'/':
    case u'=':
    case u'\'':
    case u'"':
    case u';':
    case u'%':
    case u'|':
    case u'<':
    case u'>':
    case u'!':
        return true;
    case u'.':
        return dotEndsName;
    default:
        return false;
    }
}

qsizetype countQuotes(QStringView text)
{
    return text.count(u'\'');
}

} // namespace

void FindVariableRefs(const QString &marker, bool ignoreQuotes, bool dotEndsName,
    TStringList &names, int startLine, const TStringList &lines)
{
    names.Clear();
    if (marker.isEmpty())
        return;
    startLine = qMax(startLine, 0);
    // Quotes are counted once, as the search moves on: lines before startLine first.
    qsizetype quotes = 0;
    if (!ignoreQuotes) {
        for (int l = 0; l < qMin(startLine, lines.Count()); ++l)
            quotes += countQuotes(lines[l]);
    }
    for (int l = startLine; l < lines.Count(); ++l) {
        const QString &line = lines[l];
        qsizetype counted = 0; // quotes of this line are counted up to here
        qsizetype from = 0;
        for (;;) {
            const qsizetype at = line.indexOf(marker, from);
            if (at < 0)
                break;
            if (!ignoreQuotes) {
                quotes += countQuotes(QStringView(line).mid(counted, at - counted));
                counted = at;
            }
            qsizetype end = at + marker.size();
            while (end < line.size() && !endsName(line[end], dotEndsName))
                ++end;
            const qsizetype nameStart = at + marker.size();
            if ((ignoreQuotes || quotes % 2 == 0) && end > nameStart)
                names.Add(line.mid(nameStart, end - nameStart).toUpper());
            from = qMax(end, at + 1);
        }
        if (!ignoreQuotes)
            quotes += countQuotes(QStringView(line).mid(counted));
    }
}

QString GetCreatedObjectName(const TStringList &words)
{
    QString joined;
    for (int k = 0; k < words.Count(); ++k)
        joined += words[k] + QLatin1Char(' ');
    struct Form {
        const char *text;
        int nameIndex;
    };
    static const Form forms[] = {
        { "CREATE PROCEDURE ", 2 },
        { "CREATE FUNCTION ", 2 },
        { "CREATE TRIGGER ", 2 },
        { "CREATE PACKAGE BODY ", 3 },
        { "CREATE PACKAGE ", 2 },
        { "CREATE LIBRARY ", 2 },
        { "CREATE TYPE BODY ", 3 },
        { "CREATE TYPE ", 2 },
        { "CREATE OR REPLACE PROCEDURE ", 4 },
        { "CREATE OR REPLACE FUNCTION ", 4 },
        { "CREATE OR REPLACE TRIGGER ", 4 },
        { "CREATE OR REPLACE PACKAGE BODY ", 5 },
        { "CREATE OR REPLACE PACKAGE ", 4 },
        { "CREATE OR REPLACE LIBRARY ", 4 },
        { "CREATE OR REPLACE TYPE BODY ", 5 },
        { "CREATE OR REPLACE TYPE ", 4 },
        { "CREATE VIEW ", 2 },
        { "CREATE FORCE VIEW ", 3 },
        { "CREATE OR REPLACE VIEW ", 4 },
        { "CREATE OR REPLACE FORCE VIEW ", 5 },
    };
    QString name;
    for (const Form &form : forms) {
        if (joined.contains(QLatin1String(form.text))) {
            if (form.nameIndex < words.Count())
                name = words[form.nameIndex];
            break;
        }
    }
    const qsizetype paren = name.indexOf(u'(');
    if (paren >= 0)
        name.truncate(paren);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name = name.mid(dot + 1);
    return name;
}

QString GetKindObjectType(TKXStatementKind kind)
{
    switch (kind) {
    case skCreateProcedure:
        return QStringLiteral("PROCEDURE");
    case skCreateFunction:
        return QStringLiteral("FUNCTION");
    case skCreateTrigger:
        return QStringLiteral("TRIGGER");
    case skCreatePackage:
        return QStringLiteral("PACKAGE");
    case skCreatePackageBody:
        return QStringLiteral("PACKAGE BODY");
    case skCreateType:
        return QStringLiteral("TYPE");
    case skCreateTypeBody:
        return QStringLiteral("TYPE BODY");
    case skCreateView:
        return QStringLiteral("VIEW");
    default:
        return QString();
    }
}

void GetStatementAtCaret(
    const TStringList &text, TStringList &statementLines, int caretLine, int maxNested)
{
    TKXScript script;
    script.Parse(text, kpmAtCaret, caretLine, maxNested);
    if (script.StatementCount() == 0)
        return;
    // The first real statement: behind a nested-script call, the first of that script.
    for (script.First(); !script.Eof(); script.Next()) {
        if (IsCountedKind(script.CurrentStatement().Kind)) {
            statementLines = script.CurrentStatement().Lines();
            return;
        }
    }
}

} // namespace qd
