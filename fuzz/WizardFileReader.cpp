// Wizard file reader: any bytes read with both readers' defaults without a crash, a hang or
// memory beyond the file's size, refusing only with a message; what the editor reads writes
// and reads back to the same wizard, and writes again to the same bytes.
#include "classlib/Exception.h"
#include "shell/WizardFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

bool sameWizard(const qd::TWizardFile &a, const qd::TWizardFile &b)
{
    if (a.Title != b.Title || a.Lines != b.Lines || a.Pages.size() != b.Pages.size())
        return false;
    for (qsizetype p = 0; p < a.Pages.size(); ++p) {
        const qd::TWizardPage &x = a.Pages[p];
        const qd::TWizardPage &y = b.Pages[p];
        if (x.Title != y.Title || x.Variables.size() != y.Variables.size())
            return false;
        for (qsizetype j = 0; j < x.Variables.size(); ++j)
            if (x.Variables[j].DataType != y.Variables[j].DataType
                || x.Variables[j].Name != y.Variables[j].Name
                || x.Variables[j].Prompt != y.Variables[j].Prompt)
                return false;
    }
    return true;
}

// Nothing read may outgrow the file: every line, page and variable stands on a line of its own.
void checkBounded(const qd::TWizardFile &wizard, std::size_t size)
{
    qsizetype items = wizard.Lines.size() + wizard.Pages.size();
    for (const qd::TWizardPage &page : wizard.Pages)
        items += page.Variables.size();
    if (std::size_t(items) > size + 1)
        __builtin_trap();
}

bool read(const QString &path, qd::TWizardReader reader, qd::TWizardFile &wizard)
{
    try {
        qd::ReadWizardFile(path, reader, wizard);
        return true;
    } catch (const qd::Exception &error) {
        if (error.Message().isEmpty())
            __builtin_trap();
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 8192)
        return 0;
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.qdz"));
    const QString again = dir.filePath(QStringLiteral("again.qdz"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    qd::TWizardFile runner;
    read(path, qd::TWizardReader::Runner, runner);
    checkBounded(runner, size);
    qd::WizardActionFromText(runner.Action);

    qd::TWizardFile editor;
    if (!read(path, qd::TWizardReader::Editor, editor)) {
        checkBounded(editor, size);
        return 0;
    }
    checkBounded(editor, size);
    // Values come from single lines, so the writer never refuses them.
    qd::WriteWizardFile(path, editor);
    qd::TWizardFile reread;
    if (!read(path, qd::TWizardReader::Editor, reread) || !sameWizard(editor, reread))
        __builtin_trap();
    qd::WriteWizardFile(again, reread);
    QFile first(path), second(again);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly)
        || first.readAll() != second.readAll())
        __builtin_trap();
    return 0;
}
