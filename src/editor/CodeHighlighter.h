#pragma once

#include <vector>

namespace qd {

class TCodeNavigator;
class THighlightHost;

// A highlighter component: editors attach it through their Highlighter property, and their
// start/stop and keyword passes call its three hooks. The base does nothing.
//
// BaseIndex is the number of keys that come ahead of the highlighter's own in the editor's
// numbering: the key entries it writes into attributes count from there.
class TCodeHighlighter {
public:
    TCodeHighlighter() = default;
    // Detaches from every editor still using it (their Highlighter becomes none) and from every
    // highlighter that names it as sub-highlighter.
    virtual ~TCodeHighlighter();
    TCodeHighlighter(const TCodeHighlighter &) = delete;
    TCodeHighlighter &operator=(const TCodeHighlighter &) = delete;

    // Colours the keywords between the two positions.
    virtual void ApplyKeywords(TCodeNavigator &startNav, TCodeNavigator &endNav, int baseIndex);
    // Opens a range at the first start key found from nav up to endNav; on success nav stands
    // after the start key.
    virtual bool FindStartKey(TCodeNavigator &nav, TCodeNavigator &endNav, int baseIndex);
    // Closes the range open at nav at its stop key found up to endNav; on success nav stands
    // after the stop key.
    virtual bool FindStopKey(TCodeNavigator &nav, TCodeNavigator &endNav, int baseIndex);

    // The editors that have this highlighter attached.
    const std::vector<THighlightHost *> &Editors() const { return m_editors; }

    // A highlighter that refers to this one (as sub-highlighter) is told when it goes away.
    void watch(TCodeHighlighter *referrer);
    void unwatch(TCodeHighlighter *referrer);

protected:
    virtual void referenceGone(TCodeHighlighter *) { }

private:
    friend class THighlightHost;
    std::vector<THighlightHost *> m_editors;
    std::vector<TCodeHighlighter *> m_referrers;
    std::vector<TCodeHighlighter *> m_watching;
};

} // namespace qd
