#include "worksheet/ScriptRunSettings.h"

#include "classlib/Exception.h"
#include "shell/Settings.h"

#include <QtGlobal>

namespace qd {

namespace {

// A setting that was never read from a file counts as its default; a missing declaration keeps
// the run's built-in value.
const TSettingItem *findItem(const TSettings &settings, const char *name)
{
    try {
        return settings.FindSetting(QString::fromLatin1(name));
    } catch (const Exception &) {
        return nullptr;
    }
}

void readBool(const TSettings &settings, const char *name, bool &target)
{
    if (const TSettingItem *item = findItem(settings, name)) {
        try {
            target = item->Value().IsNullOrEmpty() ? item->GetBoolDefault()
                                                   : item->Value().AsBoolean();
        } catch (const Exception &) {
        }
    }
}

void readInt(const TSettings &settings, const char *name, int lo, int hi, int &target)
{
    if (const TSettingItem *item = findItem(settings, name)) {
        try {
            const qint64 value = item->Value().IsNullOrEmpty() ? item->GetIntDefault()
                                                               : item->Value().AsInteger();
            target = int(qBound(qint64(lo), value, qint64(hi)));
        } catch (const Exception &) {
        }
    }
}

void readString(const TSettings &settings, const char *name, QString &target)
{
    if (const TSettingItem *item = findItem(settings, name))
        target = item->Value().IsNullOrEmpty() ? item->GetStringDefault()
                                               : item->Value().AsString();
}

} // namespace

TScriptRunSettings ReadScriptRunSettings(const TSettings &settings)
{
    TScriptRunSettings s;
    readBool(settings, "ServerOutputOn", s.ServerOutputOn);
    readInt(settings, "DBMSOutputBuffer", 0, 100000000, s.DBMSOutputBuffer);
    readBool(settings, "ContinueOnError", s.ContinueOnError);
    readBool(settings, "ContinueOnOSError", s.ContinueOnOSError);
    readInt(settings, "ScreenBufferSize", 1, 99999, s.ScreenBufferSize);
    readInt(settings, "SpoolLineBreak", 1, 99999, s.SpoolLineBreak);
    readBool(settings, "ClearSpoolOut", s.ClearSpoolOut);
    readString(settings, "ScriptPath", s.ScriptPath);
    readInt(settings, "MaxNestedScript", 5, 999, s.MaxNestedScript);
    return s;
}

} // namespace qd
