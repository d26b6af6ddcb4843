#pragma once

#include <QString>

namespace qd {

class TSettings;
struct SettingFont;

// A worksheet's reading of its settings copy: the value, or the setting's declared default
// while it holds none; the given fallback when the store has no such setting.
bool WorksheetBool(const TSettings &settings, const QString &name, bool fallback);
int WorksheetInt(const TSettings &settings, const QString &name, int fallback);
QString WorksheetString(const TSettings &settings, const QString &name, const QString &fallback);
// A font setting; false when it is missing or unreadable (the control keeps its font).
bool WorksheetFont(const TSettings &settings, const QString &name, SettingFont &font);

} // namespace qd
