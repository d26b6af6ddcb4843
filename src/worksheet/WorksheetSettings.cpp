#include "worksheet/WorksheetSettings.h"

#include "classlib/Exception.h"
#include "shell/Settings.h"

namespace qd {

namespace {

const TSettingItem *find(const TSettings &settings, const QString &name)
{
    for (int i = 0; i < settings.Settings().Count(); ++i) {
        const TSettingItem *item = settings.Settings().Items(i);
        if (item->Name().compare(name, Qt::CaseInsensitive) == 0)
            return item;
    }
    return nullptr;
}

} // namespace

bool WorksheetBool(const TSettings &settings, const QString &name, bool fallback)
{
    const TSettingItem *item = find(settings, name);
    if (!item)
        return fallback;
    return item->Value().IsNullOrEmpty() ? item->GetBoolDefault() : item->Value().AsBoolean();
}

int WorksheetInt(const TSettings &settings, const QString &name, int fallback)
{
    const TSettingItem *item = find(settings, name);
    if (!item)
        return fallback;
    try {
        return item->Value().IsNullOrEmpty() ? item->GetIntDefault() : item->Value().toInt();
    } catch (const std::exception &) {
        return fallback;
    }
}

QString WorksheetString(const TSettings &settings, const QString &name, const QString &fallback)
{
    const TSettingItem *item = find(settings, name);
    if (!item)
        return fallback;
    return item->Value().IsNullOrEmpty() ? item->GetStringDefault() : item->Value().AsString();
}

bool WorksheetFont(const TSettings &settings, const QString &name, SettingFont &font)
{
    const TSettingItem *item = find(settings, name);
    if (!item)
        return false;
    try {
        if (item->Value().IsNullOrEmpty())
            SettingStringToFont(item->DefaultValue(), font);
        else
            font = item->GetFont();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace qd
