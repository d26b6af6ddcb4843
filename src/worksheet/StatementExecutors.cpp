#include "worksheet/QueryThread.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleError.h"
#include "oracle/OraclePackage.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleDataSet.h"
#include "worksheet/KXException.h"
#include "worksheet/StatementText.h"
#include "worksheet/SubstituteVariables.h"

#include <QRegularExpression>

namespace qd {

namespace {

// The bind types script variables are given: CHAR as a string, NUMBER as a float.
int bindTypeOf(quint8 kind)
{
    return kind == kvkBindNumber ? SQLT_FLT : SQLT_STR;
}

// Text cut or padded with blanks to width.
QString fitted(const QString &text, int width)
{
    return text.size() >= width ? text.left(width) : text.leftJustified(width, u' ');
}

// Appends value to row as a column of width characters: each line break (CR LF, LF or CR)
// becomes one blank, then the text is cut or padded with blanks to width, without making a
// string per value.
void appendColumn(QString &row, QStringView value, int width)
{
    qsizetype written = 0;
    const QStringView taken = value.left(width);
    qsizetype lineBreak = 0;
    while (lineBreak < taken.size() && taken[lineBreak] != u'\n' && taken[lineBreak] != u'\r')
        ++lineBreak;
    if (lineBreak == taken.size()) {
        row.append(taken);
        written = taken.size();
    } else {
        for (qsizetype k = 0; k < value.size() && written < width; ++k) {
            QChar c = value[k];
            if (c == u'\r' && k + 1 < value.size() && value[k + 1] == u'\n') {
                ++k;
                c = u' ';
            } else if (c == u'\n' || c == u'\r') {
                c = u' ';
            }
            row.append(c);
            ++written;
        }
    }
    if (written < width)
        row.resize(row.size() + (width - written), u' ');
}

QString rowsText(int n, const char *verb)
{
    return (n == 1 ? QStringLiteral("1 row ") : QString::number(n) + QStringLiteral(" rows "))
        + QString::fromLatin1(verb) + u'.';
}

// Type word of the created-object messages.
QString createdTypeWord(TKXStatementKind kind)
{
    switch (kind) {
    case skCreateProcedure:
        return QStringLiteral("Procedure");
    case skCreateFunction:
        return QStringLiteral("Function");
    case skCreateTrigger:
        return QStringLiteral("Trigger");
    case skCreatePackage:
        return QStringLiteral("Package");
    case skCreatePackageBody:
        return QStringLiteral("Package body");
    case skCreateType:
        return QStringLiteral("Type");
    case skCreateTypeBody:
        return QStringLiteral("Type body");
    case skCreateView:
        return QStringLiteral("View");
    default:
        return QStringLiteral("Object");
    }
}

// The column width of a field in text output: its string size, or 80 for a column that is
// text only because the runner fetches every column as text (numbers and dates) and for one
// without a size.
int textWidth(const TOracleQuery &query, int index)
{
    const int internal = query.FieldInternalType(index);
    const int size = internal == SQLT_NUM || internal == SQLT_VNU || internal == SQLT_DAT
        ? 0
        : query.FieldSize(index);
    return size > 0 ? size : 80;
}

// The lines of a server text, whatever line ends it uses.
QStringList textLines(const QString &text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\\r\\n|\\n|\\r"));
    return text.split(lineEnd);
}

// Flag of the last call's warnings: stored code was created with compilation errors.
constexpr int CompiledWithErrorsFlag = 32;

// Declares on a query or dataset every script bind variable (VARIABLE) the statement names, each
// once, with its value; boundNames gets every name referenced, in order, for the copy back.
template <class Target>
void bindScriptVariables(
    Target &target, const TStringList &lines, const TKXVars &variables, QStringList &boundNames)
{
    target.DeleteVariables();
    TStringList names;
    FindVariableRefs(QStringLiteral(":"), false, true, names, 0, lines);
    boundNames.clear();
    for (int i = 0; i < names.Count(); ++i) {
        const QString &name = names[i];
        if (boundNames.contains(name))
            continue;
        boundNames.append(name);
        const quint8 kind = variables.GetKind(name);
        if (kind != kvkBindChar && kind != kvkBindNumber)
            continue;
        target.DeclareVariable(name, bindTypeOf(kind));
        target.SetVariable(name, variables.GetValue(name));
    }
}

// Copies the values a statement left in its script bind variables back into the script's table.
template <class Source>
void readBackScriptVariables(
    Source &source, const QStringList &boundNames, TKXVars &variables)
{
    for (const QString &name : boundNames) {
        const quint8 kind = variables.GetKind(name);
        if (kind == kvkBindChar || kind == kvkBindNumber)
            variables.SetValue(name, source.GetVariable(name));
    }
}

} // namespace

// ---- Shared steps ---------------------------------------------------------------------------

void TQueryThread::SubstituteVariables(TStringList &lines)
{
    const bool answered = qd::SubstituteVariables(
        lines, m_state.SubstitutionVariables, [this](const QString &promptText, const QString &) {
            TScriptPrompt prompt;
            prompt.Text = promptText;
            QString value;
            bool ok = false;
            synchronize([&](TScriptHost &host) { ok = host.PromptForValue(prompt, value); });
            return ok ? std::optional<QString>(value) : std::nullopt;
        });
    if (!answered)
        throw EKXException(QStringLiteral("User cancelled the substitution variable prompt."));
}

void TQueryThread::SetBindVariables(TOracleQuery &query, const TStringList &lines)
{
    bindScriptVariables(query, lines, m_state.BindVariables, m_statementBindNames);
}

void TQueryThread::SetBindVariables(TOracleDataSet &dataSet, const TStringList &lines)
{
    bindScriptVariables(dataSet, lines, m_state.BindVariables, m_statementBindNames);
}

void TQueryThread::GetBindVariables(TOracleQuery &query)
{
    readBackScriptVariables(query, m_statementBindNames, m_state.BindVariables);
}

void TQueryThread::GetBindVariables(TOracleDataSet &dataSet)
{
    readBackScriptVariables(dataSet, m_statementBindNames, m_state.BindVariables);
}

void TQueryThread::FetchDbmsOutput()
{
    if (!m_session->Connected())
        return;
    TDBMS_Output &output = m_session->DBMS_Output();
    for (;;) {
        int status = 1;
        const QString line = output.Get_Line(status);
        if (status != 0)
            break;
        AddOutputLine(line);
        // A stop ends a long read at the line in hand; the rest stays with the server.
        if (Terminated())
            break;
    }
}

// Must be called inside the catch block of error.
void TQueryThread::reportServerError(
    const EOracleError &error, int errLine, int errCol, const StatementPlace &place)
{
    // A position the server did not give is the statement's start; the start column counts
    // only on the statement's first line, which the splitter cut behind it.
    if (errLine < 1)
        errLine = 1;
    if (errCol < 1)
        errCol = 1;
    const int startColumn = errLine == 1 ? place.StartColumn : 0;
    ReportStatementError(std::current_exception(), error.Message(), true,
        m_settings.ContinueOnError, m_settings.ServerOutputOn, place.Nested, startColumn,
        place.FirstLine, errCol, errLine);
}

// ---- Statements -----------------------------------------------------------------------------

void TQueryThread::ExecuteSqlStatement(TStringList &lines, TKXStatementKind kind,
    const QString &firstWord, const StatementPlace &place)
{
    m_textMode = true;
    TOracleQuery &query = *m_query;
    query.Close();
    query.SQL().Clear();
    ShowExecutingStatus(place.FirstLine);
    SubstituteVariables(lines);
    try {
        SetBindVariables(query, lines);
        query.SQL().AddStrings(lines);
        query.Execute();
        GetBindVariables(query);
        if (m_settings.ServerOutputOn)
            FetchDbmsOutput();
        AddOutputLine(QString());
        const int n = query.RowsProcessed();
        switch (kind) {
        case skUpdate:
            AddOutputLine(rowsText(n, "updated"));
            break;
        case skInsert:
            AddOutputLine(rowsText(n, "inserted"));
            break;
        case skDelete:
            AddOutputLine(rowsText(n, "deleted"));
            break;
        case skMerge:
            AddOutputLine(rowsText(n, "merged"));
            break;
        default:
            AddOutputLine(firstWord + QStringLiteral(" statement processed."));
            break;
        }
        AddOutputLine(QString());
    } catch (const EOracleError &e) {
        reportServerError(e, query.ErrorLine(), query.ErrorPosition(), place);
    }
}

void TQueryThread::ExecuteProcedureCommand(TStringList &lines, const StatementPlace &place)
{
    m_textMode = true;
    if (lines.Count() == 0 || lines.Text().trimmed().isEmpty())
        throw EKXException(QStringLiteral("No PL/SQL procedure specified in EXECUTE command."));
    ShowExecutingStatus(place.FirstLine);
    runPlSql(lines, place, QStringLiteral("PL/SQL procedure completed successfully."));
}

void TQueryThread::ExecutePlSqlBlock(TStringList &lines, const StatementPlace &place)
{
    m_textMode = true;
    ShowExecutingStatus(place.FirstLine);
    SubstituteVariables(lines);
    runPlSql(lines, place, QStringLiteral("PL/SQL block completed successfully."));
}

// An EXECUTE call or a block: binds the script variables in and back, shows the server output
// and the completion line, or lists the server's error at its place.
void TQueryThread::runPlSql(
    TStringList &lines, const StatementPlace &place, const QString &completedLine)
{
    TOracleQuery &query = *m_query;
    query.Close();
    query.SQL().Clear();
    try {
        SetBindVariables(query, lines);
        query.SQL().AddStrings(lines);
        query.Execute();
        GetBindVariables(query);
        if (m_settings.ServerOutputOn)
            FetchDbmsOutput();
        AddOutputLine(QString());
        AddOutputLine(completedLine);
        AddOutputLine(QString());
    } catch (const EOracleError &e) {
        reportServerError(e, query.ErrorLine(), query.ErrorPosition(), place);
    }
}

void TQueryThread::ExecuteSelectToText(TStringList &lines, const StatementPlace &place)
{
    m_textMode = true;
    TOracleQuery &query = *m_query;
    query.Close();
    query.SQL().Clear();
    ShowExecutingStatus(place.FirstLine);
    SubstituteVariables(lines);
    try {
        SetBindVariables(query, lines);
        query.SQL().AddStrings(lines);
        query.Execute();
        showRunStatus(QStringLiteral("Spooling Data..."));
        if (m_settings.ServerOutputOn)
            FetchDbmsOutput();

        const int fields = query.FieldCount();
        QList<int> widths;
        QString heading;
        QString underline;
        for (int i = 0; i < fields; ++i) {
            const int w = textWidth(query, i);
            widths.append(w);
            if (i > 0) {
                heading += u' ';
                underline += u' ';
            }
            heading += fitted(query.FieldName(i), w);
            underline += QString(w, u'-');
        }
        AddOutputLine(heading);
        AddOutputLine(underline);

        // Every row line has the same length: its room is made once per row.
        qsizetype rowLength = fields > 0 ? fields - 1 : 0;
        for (const int w : std::as_const(widths))
            rowLength += w;
        bool fetchedWithRow = false;
        while (!query.Eof()) {
            QString row;
            row.reserve(rowLength);
            QStringList truncated;
            for (int i = 0; i < fields; ++i) {
                if (i > 0)
                    row += u' ';
                appendColumn(row, query.FieldAsString(i), widths[i]);
                if (query.FieldTruncated(i))
                    truncated.append(query.FieldName(i));
            }
            AddOutputLine(row);
            // The row is shown with what arrived; the user learns which values were cut.
            if (!truncated.isEmpty())
                AddOutputLine(QStringLiteral("Warning: ORA-01406: fetched column value was "
                                             "truncated (")
                    + truncated.join(QStringLiteral(", ")) + u')');
            // Server output can only have come with a round trip: the execute (fetched above)
            // or the fetch that brought this row, which leaves it first in the buffer.
            if (m_settings.ServerOutputOn && fetchedWithRow)
                FetchDbmsOutput();
            if (Terminated()) {
                AddOutputLine(QString());
                AddOutputLine(QStringLiteral("User canceled query before all rows returned."));
                AddOutputLine(QString());
                return;
            }
            query.Next();
            fetchedWithRow = query.BufferIndex() == 0;
        }
        AddOutputLine(QString());
        GetBindVariables(query);
        const int n = query.RowsProcessed();
        if (n == 0)
            AddOutputLine(QStringLiteral("Query returned no rows."));
        else if (n == 1)
            AddOutputLine(QStringLiteral("Query returned 1 row."));
        else
            AddOutputLine(QStringLiteral("Query returned %1 rows.").arg(n));
        AddOutputLine(QString());
    } catch (const EOracleError &e) {
        reportServerError(e, query.ErrorLine(), query.ErrorPosition(), place);
    }
}

void TQueryThread::ExecuteSelectToGrid(TStringList &lines, const StatementPlace &place)
{
    m_textMode = false;
    TOracleDataSet &dataSet = *m_dataSet;
    ShowExecutingStatus(place.FirstLine);
    SubstituteVariables(lines);
    try {
        SetBindVariables(dataSet, lines);
        dataSet.SQL().Clear();
        dataSet.SQL().AddStrings(lines);
        dataSet.Open();
        GetBindVariables(dataSet);
        synchronize([](TScriptHost &host) { host.AttachGridDataSet(); });
    } catch (const Exception &e) {
        // The grid shows no text: the error goes to the error list only.
        int errLine = dataSet.ErrorLine();
        int errCol = dataSet.ErrorPosition();
        if (errLine < 1)
            errLine = 1;
        if (errCol < 1)
            errCol = 1;
        ReportStatementError(std::current_exception(), e.Message(), false, false,
            m_settings.ServerOutputOn, place.Nested, errLine == 1 ? place.StartColumn : 0,
            place.FirstLine, errCol, errLine);
    }
}

void TQueryThread::CreateStoredObject(
    TStringList &lines, const TKXStatement &statement, const StatementPlace &place)
{
    m_textMode = true;
    TOracleQuery &query = *m_query;
    query.Close();
    query.DeleteVariables();
    query.SQL().Clear();
    ShowExecutingStatus(place.FirstLine);
    SubstituteVariables(lines);
    try {
        SetBindVariables(query, lines);
        query.SQL().AddStrings(lines);
        query.Execute();
        m_state.LastObjectName = GetCreatedObjectName(statement.Words()).left(31);
        m_state.LastObjectKind = statement.Kind;
        const bool withErrors = (query.WarningFlags() & CompiledWithErrorsFlag) != 0;
        GetBindVariables(query);
        if (m_settings.ServerOutputOn)
            FetchDbmsOutput();
        AddOutputLine(QString());
        if (withErrors) {
            AddOutputLine(QStringLiteral("Warning: ") + createdTypeWord(statement.Kind)
                + QStringLiteral(" created with compilation errors."));
            ShowErrorsCommand(m_state.LastObjectName, statement.Kind, false, place);
        } else {
            AddOutputLine(createdTypeWord(statement.Kind) + QStringLiteral(" created."));
        }
        AddOutputLine(QString());
    } catch (const EOracleError &e) {
        reportServerError(e, query.ErrorLine(), query.ErrorPosition(), place);
    }
}

void TQueryThread::ShowErrorsCommand(
    const QString &name, TKXStatementKind kind, bool toOutput, const StatementPlace &place)
{
    m_textMode = true;
    const QString type = GetKindObjectType(kind);
    TOracleQuery &query = *m_query;
    try {
        query.Close();
        query.DeleteVariables();
        query.SQL().Clear();
        query.SQL().Add(QStringLiteral("select line, position, text "));
        query.SQL().Add(QStringLiteral("from user_errors "));
        query.SQL().Add(QStringLiteral("where upper(rtrim(name)) = upper(rtrim(:name)) "));
        query.SQL().Add(QStringLiteral("and upper(rtrim(type)) = upper(rtrim(:type)) "));
        query.SQL().Add(QStringLiteral("order by sequence"));
        query.DeclareVariable(QStringLiteral("name"), SQLT_STR);
        query.DeclareVariable(QStringLiteral("type"), SQLT_STR);
        query.SetVariable(QStringLiteral("name"), Variant(name));
        query.SetVariable(QStringLiteral("type"), Variant(type));
        query.Execute();
        if (query.Eof()) {
            if (toOutput) {
                if (!type.isEmpty() && !name.isEmpty())
                    AddOutputLine(QStringLiteral("No errors for ") + type + u' ' + name + u'.');
                else if (!type.isEmpty())
                    AddOutputLine(QStringLiteral("No errors for ") + type + u'.');
                else
                    AddOutputLine(QStringLiteral("No errors."));
                AddOutputLine(QString());
            }
        } else {
            if (toOutput) {
                AddOutputLine(QStringLiteral("Errors for ") + type + u' ' + name + u':');
                AddOutputLine(QString());
            }
            const QString indent(6, u' ');
            while (!query.Eof()) {
                const int line = query.FieldAsString(0).toInt();
                const int position = query.FieldAsString(1).toInt();
                const QString text = query.FieldAsString(2);
                if (toOutput) {
                    QStringList parts = textLines(text);
                    AddOutputLine(QStringLiteral("Line %1 Position %2:").arg(line).arg(position)
                        + indent + parts.takeFirst());
                    for (const QString &part : std::as_const(parts))
                        AddOutputLine(indent + part);
                    AddOutputLine(QString());
                } else if (place.Nested) {
                    AddErrorLine(text, place.FirstLine + 1, 1);
                } else {
                    AddErrorLine(text, line + place.FirstLine, position);
                }
                // A stop ends the listing at this row.
                if (Terminated())
                    break;
                query.Next();
            }
        }
        if (m_settings.ServerOutputOn)
            FetchDbmsOutput();
    } catch (const EOracleError &e) {
        ReportStatementError(std::current_exception(),
            QStringLiteral("Error retrieving compile errors: ") + e.Message(), true,
            m_settings.ContinueOnError, m_settings.ServerOutputOn, place.Nested,
            place.StartColumn, place.FirstLine, 1, 1);
    }
}

void TQueryThread::RerunLastCommand(const TKXStatement &statement, const StatementPlace &place)
{
    TStringList lines = m_lastStatement;
    switch (m_lastKind) {
    case skSelect:
        ExecuteSelectToText(lines, place);
        break;
    case skUpdate:
    case skInsert:
    case skDelete:
    case skMerge:
    case skOtherSQL:
        ExecuteSqlStatement(lines, m_lastKind,
            statement.WordCount() > 0 ? statement.Word(0) : QStringLiteral("/"), place);
        break;
    default:
        return;
    }
    // What ran is what "/" remembers next.
    m_lastStatement = lines;
}

void TQueryThread::SpoolCommand(
    const TStringList &lines, const QString &secondWord, const StatementPlace &place)
{
    if (secondWord == u"OFF") {
        closeSpool();
        m_spooling = false;
        m_spoolFileName.clear();
        return;
    }
    const QString fileName = lines.Count() > 0 ? lines[0].trimmed() : QString();
    if (fileName.isEmpty())
        return;
    closeSpool();
    m_spooling = false;
    m_spoolFileName = fileName;
    m_spoolFile.setFileName(fileName);
    // Unbuffered: a failed write is seen at the line that failed, not at some later flush.
    if (m_spoolFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        m_spooling = true;
        return;
    }
    // Nothing is spooled into a file that could not be made.
    const QString message = QStringLiteral("Error opening spool file ") + fileName
        + QStringLiteral("\n") + m_spoolFile.errorString();
    m_spoolFileName.clear();
    const EKXException error(message);
    ReportStatementError(std::make_exception_ptr(error), message, false,
        m_settings.ContinueOnError, false, place.Nested, place.StartColumn, place.FirstLine, 1,
        1);
}

void TQueryThread::PromptCommand(const TStringList &lines)
{
    m_textMode = true;
    AddOutputLine(lines.Text().trimmed());
    AddOutputLine(QString());
}

void TQueryThread::UnrecognizedCommand(const TStringList &lines, const StatementPlace &place)
{
    m_textMode = true;
    const QString first = lines.Count() > 0 ? lines[0] : QString();
    ReportStatementError(nullptr,
        QStringLiteral("Unrecognized command beginning: \"") + first.left(30)
            + QStringLiteral("...\""),
        true, false, false, place.Nested, place.StartColumn, place.FirstLine, 1, 1);
}

} // namespace qd
