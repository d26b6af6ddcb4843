#include "browsers/NavigatorImages.h"
#include "browsers/OracleDescriber.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarlo Desk"));
    qd::LoadNavigatorImages();
    qd::InstallOracleDescriber();
    return 0;
}
