#pragma once

#include "editor/CodeDocument.h"
#include "editor/HighlightRecord.h"
#include "editor/KeywordList.h"
#include "editor/KeywordMatcher.h"
#include "editor/StartStopKeyList.h"

#include <functional>
#include <memory>

namespace qd {

class TCodeHighlighter;

// Lays attribute over the range between two navigators of doc (in either order):
// - with markForFormat, the paragraphs of the range become dirty for re-formatting;
// - the record takes style bit 7 when styleOn is set; otherwise its style byte is 0, and nothing is
//   inserted at the start when the attribute in force at the end carries no style either;
// - every record inside the range goes, the paragraphs of the range are marked unformatted, and
//   those after the first start with a shared copy of the record;
// - the attribute that was in force at the end is put back there (unless the range ends at the end
//   of the text, or a record already starts there), so the text after keeps its look.
void SetAttributeRange(CodeDocument &doc, TCodeNavigator &startNav, TCodeNavigator &endNav,
    bool markForFormat, bool styleOn, const TAttrRecord &attribute);

// What the editor's highlighting needs of the editor, and the editor's own two passes.
//
// The editor widget (TCodeMemo) owns one for its text model; tests make one over a bare
// CodeDocument. The host keeps the editor's own keyword and start/stop lists, the switches that
// apply them, the separator set, the attached highlighter and the state the passes remember.
//
// Highlighting works paragraph by paragraph: a paragraph's look depends only on its text and on
// its start attribute (the state carried from the paragraph before). Highlighting a paragraph
// drops its records (except those the passes keep), opens and closes start/stop ranges from its
// start attribute on, then marks keywords; the state at its end becomes the next paragraph's
// start attribute. After an edit the paragraphs of the edit are highlighted, and the following
// ones as long as the state carried into them differs from the one they had, so an opened comment
// colours everything below it and closing it again stops at the first paragraph whose state is
// as before.
class THighlightHost {
public:
    explicit THighlightHost(CodeDocument &document);
    virtual ~THighlightHost();
    THighlightHost(const THighlightHost &) = delete;
    THighlightHost &operator=(const THighlightHost &) = delete;

    // The host of the editor whose text document is; none when it has none.
    static THighlightHost *Of(const CodeDocument *document);

    CodeDocument &Document() const { return m_doc; }

    TKeywordList &Keywords() { return m_keywords; }
    TStartStopKeyList &StartStopKeys() { return m_startStop; }
    bool ApplyKeyWords() const { return m_applyKeywords; }
    void SetApplyKeyWords(bool on) { m_applyKeywords = on; }
    bool ApplyStartStopKeys() const { return m_applyStartStop; }
    void SetApplyStartStopKeys(bool on) { m_applyStartStop = on; }

    // The editor's word separators (the editor may keep them itself and override this).
    virtual const TSeparatorSet &WordSeparators() const { return m_separators; }
    QString Separators() const { return WordSeparators().Text(); }
    // The editor core's own SetSeparators forwards here; set them through the editor there.
    void SetSeparators(const QString &chars);

    TCodeHighlighter *Highlighter() const { return m_highlighter; }
    // Detaches from the old highlighter's editor list and joins the new one's.
    void SetHighlighter(TCodeHighlighter *highlighter);

    // How many paragraphs past its range a pass may carry a changed state before it leaves the
    // rest to HighlightSlice (0: no limit). The editor sets about a screenful.
    qint64 FlowLimit() const { return m_flowLimit; }
    void SetFlowLimit(qint64 paragraphs) { m_flowLimit = qMax<qint64>(0, paragraphs); }

    // The editor's two passes; both highlight the paragraphs from from's to to's whole and carry
    // a changed end state on (see the class comment).
    virtual void ApplyStartStopPass(TCodeNavigator &from, TCodeNavigator &to);
    virtual void ApplyKeywordPass(TCodeNavigator &from, qint64 to);

    // Highlights paragraphs first .. last and carries the state on.
    void HighlightParagraphs(qint64 first, qint64 last);
    // Highlights up to maxParagraphs paragraphs that are not yet highlighted, in text order from
    // the last place a pass stopped; false when none is left.
    bool HighlightSlice(qint64 maxParagraphs);
    // Highlights every paragraph not yet highlighted.
    void HighlightAll();
    // Drops every record and flag and highlights nothing yet (HighlightSlice, or the editor's
    // background formatting, then starts over).
    void Rehighlight();

    // Lays attribute over a range (see SetAttributeRange); the editor may add to it.
    virtual void SetAttribute(TCodeNavigator &startNav, TCodeNavigator &endNav, bool markForFormat,
        bool styleOn, const TAttrRecord &attribute);

    // The record that was in force before the range at level opened, seen from offset of
    // paragraph parIndex: the nearest earlier record (through earlier paragraphs and their start
    // records) whose level is below level; the plain record when none is.
    TAttrRecord OuterRecord(qint64 parIndex, qint64 offset, int level) const;
    // The look of text outside every range: paragraph 0's start record when it is not levelled.
    TAttrRecord PlainRecord() const;

    // The state at the end of the last paragraph a pass highlighted, and that paragraph.
    const TAttrRecord &LastAttr() const { return m_lastAttr; }
    qint64 LastParagraph() const { return m_lastParagraph; }

    // Called with the paragraphs whose look a pass changed (the widget repaints their lines).
    std::function<void(THighlightHost *sender, qint64 first, qint64 last)> OnInvalidate;
    // Called when paragraphs from index on were left unhighlighted and unformatted for the
    // background (a pass reached FlowLimit, or Rehighlight); the editor schedules its slices.
    // Without a handler Rehighlight marks the whole text dirty instead.
    std::function<void(THighlightHost *sender, qint64 index)> OnPending;

    // Removes records of paragraph p whose offset lies in [from, to) (to < 0: to the end).
    static void RemoveRecords(TParagraph *p, qint64 from, qint64 to, bool keepKept = false);
    // Inserts a copy of record at offset of p, after the records already at that offset.
    static void InsertRecord(TParagraph *p, qint64 offset, const TAttrRecord &record);

protected:
    // Highlights one paragraph whole from its start attribute.
    void highlightParagraph(qint64 index);

private:
    void startStopScan(qint64 index);
    bool startStep(TCodeNavigator &nav, TCodeNavigator &endNav);
    bool stopStep(TCodeNavigator &nav, TCodeNavigator &endNav);
    // The first of the editor's own start keys from nav on: its offset in nav's paragraph and
    // item, -1 when none; ownStartOpen opens its range and moves nav after the key.
    qint64 ownStartFind(TCodeNavigator &nav, qsizetype &item);
    void ownStartOpen(TCodeNavigator &nav, qint64 pos, qsizetype item);
    bool ownStopSearch(TCodeNavigator &nav, int pair);
    void ownKeywordPass(qint64 index, qint64 from, qint64 to);
    void prepareOwnPairs();
    void carryState(qint64 index);

    CodeDocument &m_doc;
    TKeywordList m_keywords;
    TStartStopKeyList m_startStop;
    bool m_applyKeywords = true;
    bool m_applyStartStop = true;
    TSeparatorSet m_separators;
    TCodeHighlighter *m_highlighter = nullptr;
    qint64 m_flowLimit = 0;
    qint64 m_pendingHint = 0;
    qint64 m_justFirst = 0; // paragraphs the last start/stop pass highlighted whole
    qint64 m_justLast = -1;
    TAttrRecord m_lastAttr;
    qint64 m_lastParagraph = -1;
    TKeywordMatcher m_matcher;
    struct PairTests {
        bool StartBeginsWord, StartEndsWord, StopBeginsWord, StopEndsWord;
    };
    std::vector<PairTests> m_pairTests;
    TSeparatorSet m_pairTestsSeps;
    // Scratch positions of the passes.
    TCodeNavigator *m_nav = nullptr;
    TCodeNavigator *m_endNav = nullptr;
};

} // namespace qd
