#pragma once

#include "editor/ExtHighlighter.h"

namespace qd {

// Colours numbers: runs of decimal digits, and "$" followed by hexadecimal digits (a lone "$"
// counts). It replaces only the keyword hook and is meant to run as another highlighter's
// SubHighlighter, so it sees every stretch the main highlighter re-colours.
//
// A token is the run of characters up to the next separator (Separators); it is a number when
// all of it is. Numbers are coloured only in regions whose context equals Scope: context 0 in
// plain text, 32768 in a styled record that is not a highlighting mark, else the mark's context;
// OnQueryHilit may change the verdict per region.
class TNumberHighlighter : public TCustomExtHighlighter {
public:
    void ApplyKeywords(TCodeNavigator &startNav, TCodeNavigator &endNav, int baseIndex) override;
    bool FindStartKey(TCodeNavigator &, TCodeNavigator &, int) override { return false; }
    bool FindStopKey(TCodeNavigator &, TCodeNavigator &, int) override { return false; }

    // Whether token (at least one character) is a number by the rules above.
    static bool IsNumber(QStringView token);

private:
    bool allowed(const TAttrRecord &attribute);
};

} // namespace qd
