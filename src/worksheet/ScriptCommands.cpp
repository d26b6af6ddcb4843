#include "worksheet/QueryThread.h"

#include "oracle/OracleCI.h"
#include "oracle/OraclePackage.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleDataSet.h"
#include "worksheet/ConnectStatement.h"
#include "worksheet/KXException.h"
#include "worksheet/ObjectDescriber.h"

namespace qd {

namespace {

bool isAbbreviation(const QString &word, const char *full, int shortest)
{
    const QString f = QString::fromLatin1(full);
    return word.size() >= shortest && word.size() <= f.size() && f.startsWith(word);
}

// DEFINE's tokens with "name=value" and "name =value" taken apart, so that the forms with and
// without blanks around "=" mean the same.
TStringList defineTokens(const TStringList &words)
{
    TStringList out;
    for (int i = 0; i < words.Count(); ++i) {
        const QString &w = words[i];
        const qsizetype eq = w.indexOf(u'=');
        const bool splittable = (i == 1 || (i == 2 && out.Count() == 2)) && eq >= 0 && w != u"=";
        if (!splittable) {
            out.Add(w);
            continue;
        }
        if (eq > 0)
            out.Add(w.left(eq));
        out.Add(QStringLiteral("="));
        if (eq + 1 < w.size())
            out.Add(w.mid(eq + 1));
    }
    return out;
}

} // namespace

QString TQueryThread::askValue(TScriptPrompt prompt)
{
    QString value;
    bool ok = false;
    synchronize([&](TScriptHost &host) { ok = host.PromptForValue(prompt, value); });
    if (!ok)
        throw EKXException(QStringLiteral("User cancelled the substitution variable prompt."));
    return value;
}

void TQueryThread::VariableCommand(const TStringList &words)
{
    if (words.Count() < 3)
        throw EKXException(QStringLiteral("Variable declaration incomplete."));
    const QString &type = words[2];
    quint8 kind = 0;
    if (type == u"NUMBER")
        kind = kvkBindNumber;
    else if (type == u"CHAR")
        kind = kvkBindChar;
    else
        throw EKXException(
            QStringLiteral("Variable declaration type ") + type + QStringLiteral(" not allowed."));
    m_state.BindVariables.SetVar(words[1], kind, Variant::Null());
}

void TQueryThread::DefineCommand(const TStringList &statementWords)
{
    const TStringList words = defineTokens(statementWords);
    if (words.Count() >= 3) {
        if (words[2] != u"=")
            throw EKXException(QStringLiteral("Improperly formatted DEFINE command."));
        const QString value = words.Count() > 3 ? words[3] : QString();
        m_state.SubstitutionVariables.SetVar(words[1], kvkSubstitution, Variant(value));
    } else if (words.Count() == 2) {
        if (!m_state.SubstitutionVariables.Exists(words[1]))
            return;
        m_textMode = true;
        AddOutputLine(QStringLiteral("Substitution variable ") + words[1].toUpper()
            + QStringLiteral(" = \"")
            + m_state.SubstitutionVariables.GetValue(words[1]).AsString()
            + QStringLiteral("\" (CHAR)"));
    } else {
        throw EKXException(QStringLiteral("Must specify a variable name in DEFINE command."));
    }
}

void TQueryThread::AcceptCommand(const TStringList &words)
{
    if (words.Count() < 2)
        throw EKXException(QStringLiteral("Missing variable name on ACCEPT command."));
    const QString name = words[1];
    TScriptPrompt prompt;
    prompt.Text = QStringLiteral("Enter a value for ") + name;
    prompt.MaskKind = 1;
    bool typeGiven = false;
    bool promptGiven = false;
    auto nextWord = [&](int &i, const char *missing) {
        if (i + 1 >= words.Count())
            throw EKXException(QString::fromLatin1(missing));
        return words[++i];
    };
    for (int i = 2; i < words.Count(); ++i) {
        const QString w = words[i].toUpper();
        const bool isNumber = isAbbreviation(w, "NUMBER", 3);
        if (isNumber || w == u"CHAR" || w == u"DATE") {
            if (typeGiven)
                throw EKXException(
                    QStringLiteral("Too many datatype specifiers on ACCEPT command."));
            typeGiven = true;
            prompt.MaskKind = isNumber ? 0 : w == u"CHAR" ? 1 : 2;
        } else if (isAbbreviation(w, "FORMAT", 3)) {
            prompt.Format = nextWord(i, "Missing FORMAT string on ACCEPT command.");
        } else if (isAbbreviation(w, "DEFAULT", 3)) {
            prompt.Default = nextWord(i, "Missing DEFAULT string on ACCEPT command.");
        } else if (w == u"PROMPT" || isAbbreviation(w, "NOPROMPT", 4)) {
            if (promptGiven)
                throw EKXException(QStringLiteral(
                    "Too many PROMPT|NOPROMPT specifiers on ACCEPT command."));
            promptGiven = true;
            if (w == u"PROMPT")
                prompt.Text = nextWord(i, "Missing PROMPT string on ACCEPT command.");
        } else if (w == u"HIDE") {
            prompt.Hide = true;
        } else {
            throw EKXException(QStringLiteral("Improperly formatted ACCEPT command."));
        }
    }
    const QString value = askValue(prompt);
    m_state.SubstitutionVariables.SetVar(name, kvkSubstitution, Variant(value));
}

void TQueryThread::DescribeToText(const TStringList &lines, const TStringList &)
{
    m_textMode = true;
    const QString name = lines.Count() > 0 ? lines[0].trimmed() : QString();
    if (name.contains(u'@')) {
        AddOutputLine(QStringLiteral("Cannot specify a database link in a describe statement."));
        AddOutputLine(QString());
        return;
    }
    TObjectDescriber *describer = ObjectDescriber();
    if (!describer)
        throw EKXException(QStringLiteral("Object descriptions are not available."));
    TStringList text;
    bool isQuery = false;
    QString owner, objectName, subName, dbLink;
    describer->GetObjectDescription(
        *m_session, name, false, true, text, isQuery, owner, objectName, subName, dbLink);
    for (int i = 0; i < text.Count(); ++i)
        AddOutputLine(text[i]);
    AddOutputLine(QString());
}

void TQueryThread::DescribeCommand(
    const TStringList &lines, const TStringList &words, const StatementPlace &place)
{
    const QString name = lines.Count() > 0 ? lines[0].trimmed() : QString();
    if (name.contains(u'@')) {
        DescribeToText(lines, words);
        return;
    }
    TObjectDescriber *describer = ObjectDescriber();
    if (!describer)
        throw EKXException(QStringLiteral("Object descriptions are not available."));
    TStringList text;
    bool isQuery = false;
    QString owner, objectName, subName, dbLink;
    describer->GetObjectDescription(
        *m_session, name, true, true, text, isQuery, owner, objectName, subName, dbLink);
    if (!isQuery) {
        m_textMode = true;
        for (int i = 0; i < text.Count(); ++i)
            AddOutputLine(text[i]);
        AddOutputLine(QString());
        return;
    }
    m_textMode = false;
    TOracleDataSet &dataSet = *m_dataSet;
    try {
        if (dataSet.Active())
            dataSet.Close();
        dataSet.SQL().Clear();
        dataSet.SQL().AddStrings(text);
        dataSet.DeleteVariables();
        dataSet.DeclareVariable(QStringLiteral("obj_owner"), SQLT_STR);
        dataSet.DeclareVariable(QStringLiteral("obj_name"), SQLT_STR);
        dataSet.SetVariable(QStringLiteral("obj_owner"), Variant(owner));
        dataSet.SetVariable(QStringLiteral("obj_name"), Variant(objectName));
        dataSet.Open();
        synchronize([](TScriptHost &host) { host.AttachGridDataSet(); });
    } catch (const EDatabaseError &e) {
        ReportStatementError(std::current_exception(), e.Message(), false, false,
            m_settings.ServerOutputOn, place.Nested, place.StartColumn, place.FirstLine, 1, 1);
    }
}

void TQueryThread::ConnectCommand(const TStringList &lines, const TStringList &)
{
    m_textMode = true;
    TScriptLogon logon;
    if (lines.Count() > 1) {
        QStringList parts;
        for (int i = 1; i < lines.Count(); ++i)
            parts.append(lines[i]);
        QString error;
        if (!ParseConnectStatement(parts.join(u' '), logon.Username, logon.Password,
                logon.Database, logon.ConnectAs, error))
            throw EKXException(QStringLiteral("CONNECT: ") + error);
    }
    const bool askFirst
        = logon.Username.isEmpty() || logon.Password.isEmpty() || logon.Database.isEmpty();
    bool connected = false;
    synchronize([&](TScriptHost &host) { connected = host.ConnectSession(logon, askFirst); });
    if (!connected)
        throw EKXException(QStringLiteral("User cancelled CONNECT command."));
    // The new session has its own server output, off until asked for.
    if (m_settings.ServerOutputOn)
        m_session->DBMS_Output().Enable(m_settings.DBMSOutputBuffer);
    AddOutputLine(QStringLiteral("\rConnected To ") + m_session->LogonUsername() + u'@'
        + m_session->LogonDatabase());
    AddOutputLine(QString());
}

} // namespace qd
