#include "editor/CodeHighlighter.h"

#include "editor/HighlightHost.h"

#include <algorithm>

namespace qd {

TCodeHighlighter::~TCodeHighlighter()
{
    while (!m_editors.empty())
        m_editors.back()->SetHighlighter(nullptr);
    for (TCodeHighlighter *referrer : std::vector<TCodeHighlighter *>(m_referrers)) {
        auto &w = referrer->m_watching;
        w.erase(std::remove(w.begin(), w.end(), this), w.end());
        referrer->referenceGone(this);
    }
    for (TCodeHighlighter *watched : m_watching) {
        auto &r = watched->m_referrers;
        r.erase(std::remove(r.begin(), r.end(), this), r.end());
    }
}

void TCodeHighlighter::watch(TCodeHighlighter *referrer)
{
    m_referrers.push_back(referrer);
    referrer->m_watching.push_back(this);
}

void TCodeHighlighter::unwatch(TCodeHighlighter *referrer)
{
    auto it = std::find(m_referrers.begin(), m_referrers.end(), referrer);
    if (it == m_referrers.end())
        return;
    m_referrers.erase(it);
    auto &w = referrer->m_watching;
    auto wit = std::find(w.begin(), w.end(), this);
    if (wit != w.end())
        w.erase(wit);
}

void TCodeHighlighter::ApplyKeywords(TCodeNavigator &, TCodeNavigator &, int) { }

bool TCodeHighlighter::FindStartKey(TCodeNavigator &, TCodeNavigator &, int)
{
    return false;
}

bool TCodeHighlighter::FindStopKey(TCodeNavigator &, TCodeNavigator &, int)
{
    return false;
}

} // namespace qd
