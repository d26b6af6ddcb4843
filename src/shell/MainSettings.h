#pragma once

#include <QString>

namespace qd {

class TSettings;

// "QuarloDesk.Ini" in the program's directory (created when missing).
QString mainSettingsFileName();

// Appends the main window's 34 settings, in their fixed order, with their sections, defaults,
// ranges and editor texts.
void declareMainSettings(TSettings &settings);

} // namespace qd
