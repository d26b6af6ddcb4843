#include "browsers/FrameSQLBrowser.h"
#include "browsers/NavigatorImages.h"
#include "browsers/OracleDescriber.h"
#include "platform/MainInstance.h"
#include "shell/FileAssociate.h"
#include "shell/KXLogonForm.h"
#include "shell/MDIMainForm.h"
#include "shell/QtScreenServices.h"
#include "shell/QuarloDeskProgram.h"
#include "shell/SQLHistoryForm.h"
#include "shell/WindowServices.h"
#include "tools/ShowPlan.h"
#include "tools/WizardWizard.h"
#include "worksheet/SQLForm.h"
#include "worksheet/VarPrompt.h"

#include <QApplication>
#include <QDir>

namespace {

// Every window of the folders above the shell registers its factory here, before the main
// window exists; a window left out makes its commands say it is not available yet.
void registerWindows(qd::WindowFactories &factories)
{
    factories.Worksheet = [](QWidget *owner, const qd::TLogonValues &logon,
                              const QString &fileOrText, bool asFile) -> QWidget * {
        return qd::TSQLForm::CreateWorksheet(owner, logon, fileOrText, asFile);
    };
    factories.MaskedPrompt = &qd::AskMaskedPromptValue;
    factories.FileAssociate = [](QWidget *parent, qd::TMILAssociate &associate,
                                  qd::TSettings &settings, const QStringList &extensions,
                                  const QStringList &descriptions) {
        qd::TFileAssociate dialog(associate, settings, parent);
        return dialog.Show(extensions, descriptions);
    };
    factories.SQLHistory = [](QWidget *) -> QWidget * {
        qd::MainWindowInterface *main = qd::mainWindow();
        return new qd::TFrmSQLHistory(main ? main->SQLDbf() : nullptr, main);
    };
    factories.WizardEditor = [](QWidget *owner, const QString &fileName) -> QWidget * {
        return qd::TfrmWizardWizard::CreateForFile(owner, fileName);
    };
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList parameters = QApplication::arguments();
    parameters.removeFirst();

    // One copy per user and display: a later start hands its files over and ends here,
    // before it loads or writes anything of its own.
    qd::TMainInstance instance;
    if (instance.CheckInstance(qd::QuarloDeskProgram::FileArguments(parameters), QDir::currentPath()))
        return 0;

    qd::QtScreenServices::install();
    qd::LoadNavigatorImages();
    qd::InstallOracleDescriber();
    qd::InstallSQLBrowserFrame();
    qd::InstallShowPlanWindow();
    registerWindows(qd::windowFactories());

    int result = 0;
    {
        qd::QuarloDeskProgram program(parameters);
        instance.SetOnOpenFiles([&program](qd::TMainInstance *, const QStringList &files) {
            program.MainForm()->OpenFilesFromOutside(files);
        });
        result = program.Run();
        instance.SetOnOpenFiles(nullptr);
    }
    qd::QtScreenServices::uninstall();
    return result;
}
