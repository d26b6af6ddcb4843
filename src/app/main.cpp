#include "browsers/NavigatorImages.h"
#include "browsers/OracleDescriber.h"
#include "shell/WindowServices.h"

#include <QApplication>

namespace {

// Every window of the folders above the shell registers its factory here, before the main
// window exists; a window left out makes its commands say it is not available yet.
void registerWindows(qd::WindowFactories &factories)
{
    (void)factories;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarlo Desk"));
    qd::LoadNavigatorImages();
    qd::InstallOracleDescriber();
    registerWindows(qd::windowFactories());
    return 0;
}
