#pragma once

namespace qd {

class TSettings;

// Appends the main window's 34 settings, in their fixed order, with their sections, defaults,
// ranges and editor texts.
void declareMainSettings(TSettings &settings);

} // namespace qd
