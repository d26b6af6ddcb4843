// The wizard file editor on a two-page wizard (its Variables sheet), and the wizard runner on
// the same file.
#include "Scene.h"

#include "shell/WizardFile.h"
#include "tools/WizardWizard.h"
#include "worksheet/WizardForm.h"

#include <QDir>
#include <QListWidget>
#include <QTabWidget>

namespace {

QString sampleWizardFile(const qd::screens::SceneContext &context)
{
    qd::TWizardFile wizard;
    wizard.Title = QStringLiteral("Staff of a department hired since a date");
    wizard.Lines = { QStringLiteral("select e.empno, e.ename, e.job, e.hiredate"),
        QStringLiteral("  from emp e"), QStringLiteral(" where e.deptno = &dept"),
        QStringLiteral("   and e.hiredate >= to_date('&since', 'MM/DD/YYYY')"),
        QStringLiteral("   and e.job like '&job%'"), QStringLiteral(" order by e.ename;") };
    wizard.Pages = {
        { QStringLiteral("Which department and job?"),
            { { QStringLiteral("Number"), QStringLiteral("DEPT"),
                  QStringLiteral("Department number:") },
                { QStringLiteral("String"), QStringLiteral("JOB"),
                    QStringLiteral("Job title starts with:") } } },
        { QStringLiteral("Hired since"),
            { { QStringLiteral("Date"), QStringLiteral("SINCE"),
                QStringLiteral("Hire date (MM/DD/YYYY):") } } },
    };
    const QString file = QDir(context.programDirectory).filePath(QStringLiteral("staff.qdz"));
    qd::WriteWizardFile(file, wizard);
    return file;
}

} // namespace

QD_SCREENSHOT_SCENE(wizardEditor, "wizard-editor", QSize(640, 440))
{
    auto *editor = qd::TfrmWizardWizard::CreateForFile(nullptr, sampleWizardFile(context));
    auto *sheets = editor->findChild<QTabWidget *>(QStringLiteral("pcWizard"));
    sheets->setCurrentWidget(editor->findChild<QWidget *>(QStringLiteral("tsVariables")));
    editor->findChild<QListWidget *>(QStringLiteral("lbVariables"))->setCurrentRow(2);
    return { editor };
}

QD_SCREENSHOT_SCENE(wizardEditorText, "wizard-editor-text", QSize(640, 440))
{
    auto *editor = qd::TfrmWizardWizard::CreateForFile(nullptr, sampleWizardFile(context));
    auto *sheets = editor->findChild<QTabWidget *>(QStringLiteral("pcWizard"));
    sheets->setCurrentWidget(editor->findChild<QWidget *>(QStringLiteral("tsText")));
    return { editor };
}

QD_SCREENSHOT_SCENE(wizardRunner, "wizard-runner", QSize(660, 360))
{
    return { qd::TfrmWizard::CreateWizard(nullptr, sampleWizardFile(context)) };
}
