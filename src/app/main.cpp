#include "browsers/NavigatorImages.h"
#include "browsers/OracleDescriber.h"
#include "shell/QtScreenServices.h"
#include "shell/QuarloDeskProgram.h"
#include "shell/SQLHistoryForm.h"
#include "shell/WindowServices.h"
#include "tools/WizardWizard.h"
#include "worksheet/SQLForm.h"
#include "worksheet/VarPrompt.h"

#include <QApplication>

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
    qd::QtScreenServices::install();
    qd::LoadNavigatorImages();
    qd::InstallOracleDescriber();
    registerWindows(qd::windowFactories());

    QStringList parameters = QApplication::arguments();
    parameters.removeFirst();
    int result = 0;
    {
        qd::QuarloDeskProgram program(parameters);
        result = program.Run();
    }
    qd::QtScreenServices::uninstall();
    return result;
}
