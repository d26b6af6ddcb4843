#pragma once

#include "editor/CodeHighlighter.h"
#include "editor/HighlightRecord.h"
#include "editor/KeywordList.h"
#include "editor/KeywordMatcher.h"
#include "editor/StartStopKeyList.h"

#include <functional>

namespace qd {

class CodeDocument;
class THighlightHost;

// The highlighter behind TExtHighlighter and TNumberHighlighter: an extended keyword list and an
// extended start/stop list searched with a separator set of its own, scopes and priorities that
// decide where a key applies, nesting levels (at most 16) and an optional sub-highlighter that
// runs after it and numbers its start/stop items after this one's.
//
// Where a key applies, at a position whose attribute is A: a key of Priority 32767 applies at any
// level; otherwise it applies when its Scope is 0 and its Priority is above the enclosing
// priority (0 outside every mark, 32767 inside a keyword mark, else the Priority of the open
// start/stop item), or when the enclosing context (A's context when A sets a style, else 0)
// equals its Scope. Nothing new opens where the level is already 15.
class TCustomExtHighlighter : public TCodeHighlighter {
public:
    TCustomExtHighlighter();
    ~TCustomExtHighlighter() override;

    TExtKeywordList &Keywords() { return m_keywords; }
    TExtStartStopList &StartStopKeys() { return m_startStop; }
    const TSeparatorSet &SeparatorSet() const { return m_separators; }
    // Reading: the set's characters from code 27 to 255; writing: codes 0-26 and every
    // character of chars.
    QString Separators() const { return m_separators.Text(); }
    void SetSeparators(const QString &chars);
    TCodeHighlighter *SubHighlighter() const { return m_sub; }
    void SetSubHighlighter(TCodeHighlighter *sub);
    bool Active() const { return m_active; }
    void SetActive(bool on) { m_active = on; }

    // Sender; the hit's start and end (end none for OnStart); the key's index; Accept (True on
    // entry, False rejects the hit).
    using KeyEvent = std::function<void(TCustomExtHighlighter *sender, TCodeNavigator &startNav,
        TCodeNavigator *endNav, int index, bool &accept)>;
    KeyEvent OnKeyword;
    KeyEvent OnStart;
    KeyEvent OnStop;

    // Settings of number marks (TNumberHighlighter publishes them).
    bool AltFont = false;
    qint16 ContextNum = 0;
    qint32 Background = -1;
    qint32 Foreground = -1;
    quint8 Style = 0;
    int Priority = 0;
    int Scope = 0;
    std::function<void(TCustomExtHighlighter *sender, int context, bool &allowed)> OnQueryHilit;

    void ApplyKeywords(TCodeNavigator &startNav, TCodeNavigator &endNav, int baseIndex) override;
    bool FindStartKey(TCodeNavigator &nav, TCodeNavigator &endNav, int baseIndex) override;
    bool FindStopKey(TCodeNavigator &nav, TCodeNavigator &endNav, int baseIndex) override;

    // Whether a key of scope and priority applies where attribute is in force.
    bool Applies(int scope, int priority, const TAttrRecord &attribute, int baseIndex) const;

protected:
    void referenceGone(TCodeHighlighter *gone) override;
    // Lays attribute over startNav .. endNav through host (the editor of doc), or directly
    // when doc has none.
    static void mark(THighlightHost *host, CodeDocument &doc, TCodeNavigator &startNav,
        TCodeNavigator &endNav, const TAttrRecord &attribute);
    static void invalidate(TCodeNavigator &nav, qint64 first, qint64 last);

private:
    struct StartMatch {
        qint64 Pos = 0;
        qsizetype Item = 0;
        qint64 Length = 0;
        TAttrRecord Cur;
    };
    // What OnStart said of a start key. A stop search first looks whether a nested start key comes
    // before the stop; the start search that follows takes the same answers, so OnStart is asked
    // once per key.
    struct StartDecision {
        const TParagraph *Par;
        qint64 Pos;
        qsizetype Item;
        int BaseIndex;
        bool Accept;
    };
    // The first start key that qualifies from nav's offset up to endOff.
    bool searchStart(TCodeNavigator &nav, qint64 endOff, int baseIndex, StartMatch &match);
    void prepareSeparatorTests();
    bool markKeyword(THighlightHost *host, TCodeNavigator &startNav, qint64 parIndex,
        const TKeywordHit &hit, int baseIndex);

    TExtKeywordList m_keywords;
    TExtStartStopList m_startStop;
    TSeparatorSet m_separators;
    TCodeHighlighter *m_sub = nullptr;
    bool m_active = true;
    TKeywordMatcher m_matcher;
    std::vector<StartDecision> m_decisions;
    std::vector<TKeywordHit> m_hits; // kept between calls, as is the upper-cased text
    QString m_upper;
    TSeparatorSet m_testsFor;
    std::array<quint64, 4> m_firstChars {};
    bool m_anyWideFirst = false;
    TCodeNavigator *m_a = nullptr;
    TCodeNavigator *m_b = nullptr;
    TCodeNavigator *m_c = nullptr;
};

// The highlighter that editors attach: TCustomExtHighlighter with its keyword and start/stop
// behaviour published.
class TExtHighlighter : public TCustomExtHighlighter {
};

} // namespace qd
