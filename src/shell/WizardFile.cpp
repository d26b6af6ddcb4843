#include "shell/WizardFile.h"

#include "classlib/Exception.h"
#include "classlib/IniFile.h"
#include "classlib/StringList.h"
#include "classlib/TextFile.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace qd {

namespace {

// Far beyond any wizard a person writes; a larger file is not read into memory at all.
constexpr qint64 maxWizardFileSize = 16 * 1024 * 1024;

[[noreturn]] void raiseCorrupt()
{
    throw Exception(WizardFileCorruptMessage());
}

// One section's keys (upper-cased) and values as written, read in one pass over the file.
class SectionValues {
public:
    SectionValues() = default;
    SectionValues(const TIniFile &ini, const QString &section)
    {
        TStringList lines;
        ini.ReadSectionValuesAsWritten(section, lines);
        m_values.reserve(lines.Count());
        for (int i = 0; i < lines.Count(); ++i) {
            const QString &line = lines[i];
            const qsizetype eq = line.indexOf(u'=');
            m_values.insert(line.left(eq).toUpper(), line.mid(eq + 1));
        }
    }

    // A text line of the wizard: blanks are part of it.
    QString asWritten(const QString &key, const QString &def) const
    {
        const auto it = m_values.constFind(key.toUpper());
        return it == m_values.constEnd() ? def : *it;
    }
    // Every other value reads as the ini layer gives it, trimmed.
    QString text(const QString &key, const QString &def) const
    {
        const auto it = m_values.constFind(key.toUpper());
        return it == m_values.constEnd() ? def : it->trimmed();
    }
    // A decimal count; missing or not a number reads as -1 (none).
    int count(const QString &key) const
    {
        bool ok = false;
        const int value = text(key, QString()).toInt(&ok, 10);
        return ok ? value : -1;
    }

private:
    QHash<QString, QString> m_values;
};

void checkWritable(const QString &value)
{
    if (value.contains(u'\r') || value.contains(u'\n'))
        throw Exception(
            QStringLiteral("A wizard value cannot hold a line break: \"%1\"").arg(value.simplified()));
}

} // namespace

QString WizardFileCorruptMessage()
{
    return QStringLiteral("This Quarlo Desk Wizard file is corrupt, or not supported by this "
                          "version of Quarlo Desk.");
}

TQDWizAction WizardActionFromText(const QString &action)
{
    const QString upper = action.toUpper();
    if (upper == u"DROP")
        return wizDrop;
    if (upper == u"EXECUTE")
        return wizExecute;
    return wizPreview;
}

void ReadWizardFile(const QString &fileName, TWizardReader reader, TWizardFile &wizard)
{
    const QFileInfo info(fileName);
    if (!info.isFile())
        throw Exception(QStringLiteral("The file \"%1\" does not exist.").arg(fileName));
    if (info.size() > maxWizardFileSize)
        raiseCorrupt();
    const TIniFile ini(fileName);
    const bool editor = reader == TWizardReader::Editor;

    const SectionValues head(ini, QStringLiteral("wizard"));
    if (head.text(QStringLiteral("version"), QStringLiteral("0")) != u"1")
        raiseCorrupt();
    // Every line, page and variable of a true file stands on a line of its own, so no count can
    // be more than the file's lines; a larger one would only drive a long loop over nothing.
    int budget = ini.LineCount();
    const auto take = [&budget](int count) {
        if (count > budget)
            raiseCorrupt();
        budget -= std::max(count, 0);
    };

    if (!editor)
        wizard.Action = head.text(QStringLiteral("action"), QStringLiteral("preview"));
    wizard.Title
        = head.text(QStringLiteral("wizdesc"), QStringLiteral("Quarlo Desk Drag and Drop Wizard"));

    const int lineCount = head.count(QStringLiteral("wizlines"));
    take(lineCount);
    for (int i = 0; i < lineCount; ++i)
        wizard.Lines.append(head.asWritten(QStringLiteral("wiz%1").arg(i), QString()));

    const int pageCount = head.count(QStringLiteral("pages"));
    take(pageCount);
    // Only sections that are there are looked for, each in one pass over the file.
    QSet<QString> sections;
    {
        TStringList names;
        ini.ReadSections(names);
        for (int i = 0; i < names.Count(); ++i)
            sections.insert(names[i].toUpper());
    }
    for (int p = 0; p < pageCount; ++p) {
        const QString section = QStringLiteral("Page%1").arg(p);
        const SectionValues values = sections.contains(section.toUpper())
            ? SectionValues(ini, section)
            : SectionValues();
        TWizardPage page;
        page.Title = values.text(QStringLiteral("desc"), editor ? section : QString());
        const int variableCount = values.count(QStringLiteral("values"));
        take(variableCount);
        for (int j = 0; j < variableCount; ++j) {
            TWizardVariable variable;
            variable.DataType = values.text(QStringLiteral("valtype%1").arg(j), QString());
            variable.Name = values.text(QStringLiteral("valname%1").arg(j),
                editor ? QStringLiteral("VAR%1").arg(j) : QString());
            variable.Prompt = values.text(
                QStringLiteral("valprompt%1").arg(j), QStringLiteral("Enter the value:"));
            page.Variables.append(variable);
        }
        wizard.Pages.append(page);
    }
}

QByteArray WizardFileBytes(const TWizardFile &wizard)
{
    QStringList lines;
    const auto add = [&lines](const QString &line) {
        checkWritable(line);
        lines.append(line);
    };
    add(QStringLiteral("[wizard]"));
    add(QStringLiteral("version=1"));
    add(QStringLiteral("action=drop"));
    add(QStringLiteral("wizdesc=") + wizard.Title);
    add(QStringLiteral("wizlines=%1").arg(wizard.Lines.size()));
    add(QStringLiteral("pages=%1").arg(wizard.Pages.size()));
    for (qsizetype i = 0; i < wizard.Lines.size(); ++i)
        add(QStringLiteral("wiz%1=").arg(i) + wizard.Lines[i]);
    for (qsizetype p = 0; p < wizard.Pages.size(); ++p) {
        const TWizardPage &page = wizard.Pages[p];
        add(QString());
        add(QStringLiteral("[Page%1]").arg(p));
        add(QStringLiteral("desc=") + page.Title);
        add(QString());
        for (qsizetype j = 0; j < page.Variables.size(); ++j) {
            const TWizardVariable &variable = page.Variables[j];
            add(QStringLiteral("valtype%1=").arg(j) + variable.DataType);
            add(QStringLiteral("valname%1=").arg(j) + variable.Name);
            add(QStringLiteral("valprompt%1=").arg(j) + variable.Prompt);
            add(QString());
        }
        add(QStringLiteral("values=%1").arg(page.Variables.size()));
    }
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return text.toUtf8();
}

void WriteWizardFile(const QString &fileName, const TWizardFile &wizard)
{
    WriteFileAtomically(fileName, WizardFileBytes(wizard));
}

} // namespace qd
