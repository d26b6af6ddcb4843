#pragma once

// The wizard file (".qdz"): a wizard's title, its SQL text and its pages of prompts for the
// substitution variables of that text. The wizard editor writes it; the editor and the wizard
// runner read it back through the one reader here, each with its own defaults for missing keys.

#include <QList>
#include <QString>
#include <QStringList>

namespace qd {

// What the caller does with a finished wizard's text.
enum TQDWizAction { wizDrop, wizPreview, wizExecute };

struct TWizardVariable {
    QString DataType; // "String", "Number", "Date" or "DateTime" as the editor writes them
    QString Name; // the substitution variable's name, without its "&"
    QString Prompt;
};

struct TWizardPage {
    QString Title;
    QList<TWizardVariable> Variables;
};

struct TWizardFile {
    // As read; the writer always writes "drop".
    QString Action;
    QString Title;
    QStringList Lines;
    QList<TWizardPage> Pages;
};

// Whose defaults fill in missing keys: the runner shows blanks where the editor shows names
// the user can recognise and change.
enum class TWizardReader { Runner, Editor };

// The message for a file that is not a version 1 wizard file or whose counts cannot be true.
QString WizardFileCorruptMessage();

// "DROP" and "EXECUTE" in any case; everything else is a preview.
TQDWizAction WizardActionFromText(const QString &action);

// Reads the file into wizard, which the caller passes empty. Raises Exception for a file that
// cannot be read, and with WizardFileCorruptMessage() for a version other than "1", a file too
// large to be a wizard, or a count of lines, pages or variables beyond the file's line count;
// wizard then holds what was read before the fault.
void ReadWizardFile(const QString &fileName, TWizardReader reader, TWizardFile &wizard);

// The file's bytes: the lines of the format in their fixed order, each ended by CR LF. Raises
// Exception for a value with a line break, which could not be read back.
QByteArray WizardFileBytes(const TWizardFile &wizard);
// Writes WizardFileBytes atomically: a failed write leaves the old file whole.
void WriteWizardFile(const QString &fileName, const TWizardFile &wizard);

} // namespace qd
