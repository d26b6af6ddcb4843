#include "shell/WindowServices.h"

#include "oracle/QStringPrinter.h"
#include "oracle/ScreenServices.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

TEST(WindowServices, MissingWindowIsAnnouncedByName)
{
    QStringList shown;
    ScreenServices services;
    services.message = [&](TMessageKind, const QString &text) { shown.append(text); };
    InstallScreenServices(services);
    ShowWindowNotAvailable(QStringLiteral("SQL worksheet"));
    ResetScreenServices();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.first(), QStringLiteral("The SQL worksheet window is not available yet."));
}

TEST(WindowServices, MainWindowIsRegisteredOnlyWhileSet)
{
    EXPECT_EQ(mainWindow(), nullptr);
    EXPECT_FALSE(windowFactories().Worksheet); // tests register nothing by themselves
}

} // namespace
