#include "shell/MainSettings.h"
#include "shell/Settings.h"
#include "worksheet/QueryThread.h"
#include "worksheet/ScriptHost.h"
#include "worksheet/ScriptRunSettings.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

TEST(ErrorWordLength, StopsAtTheFirstSeparatorOrTheEndOfTheLine)
{
    struct Case {
        const char *line;
        int column;
        int length;
    };
    const Case cases[] = {
        { "select nme from emp", 7, 3 }, // up to the blank
        { "where x=(1)", 6, 1 }, // up to "="
        { "abc(def)", 0, 3 },
        { "abc|def", 0, 3 },
        { "v%rowtype", 0, 1 },
        { "tail_word", 5, 4 }, // to the end of the line
        { "x", 1, 0 }, // caret at the end
        { "", 0, 0 },
        { "a'b", 0, 1 },
        { "a\"b", 0, 1 },
        { "a\tb", 0, 1 },
        { "a;b", 0, 1 },
        { "a,b+c-d*e/f", 0, 1 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(ErrorWordLength(QString::fromLatin1(c.line), c.column), c.length)
            << c.line << " @" << c.column;
}

TEST(ScriptRunSettings, DefaultsOfTheDeclaredSettingsAndStoredValues)
{
    TSettings settings;
    declareMainSettings(settings);
    TScriptRunSettings s = ReadScriptRunSettings(settings);
    EXPECT_TRUE(s.ServerOutputOn);
    EXPECT_EQ(s.DBMSOutputBuffer, 2000);
    EXPECT_FALSE(s.ContinueOnError);
    EXPECT_FALSE(s.ContinueOnOSError);
    EXPECT_EQ(s.ScreenBufferSize, 500);
    EXPECT_EQ(s.SpoolLineBreak, 10);
    EXPECT_FALSE(s.ClearSpoolOut);
    EXPECT_EQ(s.MaxNestedScript, 5);

    settings.FindSetting(QStringLiteral("ContinueOnError"))->SetValue(Variant(true));
    settings.FindSetting(QStringLiteral("ScreenBufferSize"))->SetValue(Variant(qint64(42)));
    settings.FindSetting(QStringLiteral("ScriptPath"))->SetValue(Variant(QStringLiteral("/a;/b")));
    settings.FindSetting(QStringLiteral("SpoolLineBreak"))->SetValue(Variant(qint64(0)));
    s = ReadScriptRunSettings(settings);
    EXPECT_TRUE(s.ContinueOnError);
    EXPECT_EQ(s.ScreenBufferSize, 42);
    EXPECT_EQ(s.ScriptPath, QStringLiteral("/a;/b"));
    EXPECT_EQ(s.SpoolLineBreak, 1); // kept inside the declared range
}

} // namespace
} // namespace qd
