#pragma once

#include "editor/CodeNavigator.h"
#include "editor/ParagraphsList.h"
#include "editor/TextMeasurer.h"
#include "editor/UndoList.h"

#include <QFlags>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

namespace qd {

// Options of the editor (the widget owns most of them; the text model reads the two that change
// how text is replaced: cmoDiscardTrailingSpaces and cmoPutExtraSpaces).
enum TCodeMemoOption : quint32 {
    cmoKeepColumnPos = 1u << 0,
    cmoPutExtraSpaces = 1u << 1,
    cmoWrapCaret = 1u << 2,
    cmoInsertKeyActive = 1u << 3,
    cmoWideOverwriteCaret = 1u << 4,
    cmoLargeWordSelect = 1u << 5,
    cmoAutoScrollBars = 1u << 6,
    cmoNoDragnDrop = 1u << 7,
    cmoAutoIndent = 1u << 8,
    cmoBackIndent = 1u << 9,
    cmoWindowsSelColors = 1u << 10,
    cmoFullLineSelect = 1u << 11,
    cmoDiscardTrailingSpaces = 1u << 12,
    cmoNoFineScroll = 1u << 13,
    cmoNoLineSelection = 1u << 14,
    cmoNoDefaultPopup = 1u << 15,
    cmoBlockSelection = 1u << 16,
    cmoAutoLineBreak = 1u << 17,
    cmoPlainClipboard = 1u << 18,
};
Q_DECLARE_FLAGS(TCodeMemoOptions, TCodeMemoOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TCodeMemoOptions)

// The text model of the editor, with no window: the paragraphs, the navigators that stay valid
// across edits, the selection, the one replacement through which every change of text goes, and
// undo and redo. The editor widget (TCodeMemo) derives from it and adds fonts, formatting,
// painting and input; tests drive it alone with a fixed-width measurer.
//
// Text model:
// - The text is a list of paragraphs (Paragraphs()), at least one. Absolute positions count the
//   paragraphs joined by CR LF; TextLength() is the last paragraph's end.
// - A lone LF is an ordinary character of its paragraph; only CR (or CR LF) ends a paragraph.
//   Any character may be stored, NUL included.
// - With StaticFormat() on, the characters 1, 2, 3, 4 and 21 are in-band style codes (see
//   StyleCodes.h): a replacement keeps the style of the text after it, and adjacent codes that
//   cancel are removed again.
//
// Changing text: select (SetSelStart, SetSelLength) and ReplaceSel, or SetSelText. Each
// replacement records undo information: typing at the caret extends one record until the caret
// is moved (SetSelStart, SetSelLength or SetBreakMerge). Undo and Redo replay records through
// ReplaceSel exactly, byte for byte.
//
// Formatting: every replacement marks the paragraphs it touched as dirty; when the update count
// returns to 0 (BeginUpdate/EndUpdate brackets, or the end of a replacement outside one) the
// virtual Reformat runs. The base formats each dirty paragraph into one display line measured with
// the measurer; the widget overrides FormatParagraph and Reformat with word wrap.
//
// Navigators: hold navigators of a document by plain pointer. The document frees every
// navigator still registered with it when it is destroyed, firing their OnFree.
//
// Only the thread that owns the document uses it.
class CodeDocument {
public:
    explicit CodeDocument(const TTextLimits &limits = {});
    virtual ~CodeDocument();
    CodeDocument(const CodeDocument &) = delete;
    CodeDocument &operator=(const CodeDocument &) = delete;

    // --- text
    TParagraphsList &Paragraphs() { return m_pars; }
    const TParagraphsList &Paragraphs() const { return m_pars; }
    qint64 TextLength() const { return m_pars.TextLength(); }
    qint64 ParagraphCount() const { return m_pars.Count(); }
    qint64 LineCount() const { return m_pars.LineCount(); }
    // Position of a paragraph's first character; ERangeError outside the paragraphs.
    qint64 ParagraphStart(qint64 index) const;
    QString GetParagraphText(qint64 index) const { return m_pars.Text(index).toString(); }
    // Text from from to to (clamped to 0 .. TextLength()), CR LF between paragraphs; empty when
    // from is not below to.
    QString GetTextRange(qint64 from, qint64 to) const;
    QString Text() const { return GetTextRange(0, TextLength()); }
    // Character at a position: the paragraph's, CR (13) at its end, LF (10) inside the break.
    char16_t CharAt(qint64 position) const;

    // --- selection
    TCodeNavigator &SelStartNav() { return *m_selStart; } // the lower end
    TCodeNavigator &SelEndNav() { return *m_selEnd; } // the upper end
    TCodeNavigator &Caret() { return *m_caret; } // one of the two
    qint64 GetSelStart() const { return m_caret->Position(); }
    // Caret to position (clamped to 0 .. TextLength()); collapses the selection, clears the
    // virtual column, ends the current undo merge.
    void SetSelStart(qint64 position);
    // End of the selection seen from the caret: negative when it reaches back from the caret.
    qint64 SelLength() const { return m_selLength; }
    // Selects n characters from the caret (backwards when negative), cut to the text; the caret
    // stays; ends the current undo merge.
    void SetSelLength(qint64 n);
    // Selects the whole text with the caret at its end.
    void SelectAll();
    QString GetSelText() const;
    // ReplaceSel, first padding text with blanks up to a virtual column under cmoPutExtraSpaces.
    void SetSelText(const QString &text);
    void ClearSelection() { ReplaceSel(QString()); }

    // Column block: replacing the selection first cuts the block's columns out of every paragraph
    // from the selection's first to its last. Columns count tab stops and (with static formatting)
    // zero-width style codes.
    bool ColumnSelection() const { return m_columnSelection; }
    void SetColumnBlock(bool on, qint64 column1 = 0, qint64 column2 = 0);
    qint64 VirtualColumn() const { return m_virtualColumn; }
    void SetVirtualColumn(qint64 column) { m_virtualColumn = qMax<qint64>(0, column); }
    // The next replacement starts a new undo record.
    void SetBreakMerge() { m_breakMerge = true; }

    // --- replacement
    enum TReplaceFlag {
        rfNoStyleRestore = 1, // do not append codes that restore the style after the text
        rfNoCodeCleanup = 2, // do not remove adjacent style codes that cancel
        rfGroupUndo = 4, // undone and redone together with the record before (a text move)
    };
    // Replaces the selection by text (which may hold CR, CR LF, LF and NULs). Fires
    // OnBeforeChange (which may change the text) before anything changes and OnParse with the
    // changed range after. "Text too long" when a paragraph would pass the length limit: nothing
    // has changed then and no undo record is left. Afterwards the selection is empty and the caret
    // stands after the new text.
    virtual void ReplaceSel(const QString &text, int flags = 0);

    // --- undo and redo
    void Undo();
    void Redo();
    void ClearUndo() { m_undo.Clear(); }
    bool CanUndo() const { return m_undo.Index() >= (m_undoing ? 2 : 1); }
    bool CanRedo() const
    {
        return m_undoing ? m_undo.Index() <= m_undo.Count() : m_undo.Index() < m_undo.Count();
    }
    const TUndoList &UndoList() const { return m_undo; }
    qint64 UndoMaxSpace() const { return m_undo.MaxSpace(); }
    void SetUndoMaxSpace(qint64 bytes) { m_undo.SetMaxSpace(bytes); }
    qint64 UndoMaxLevel() const { return m_undo.MaxLevel(); }
    void SetUndoMaxLevel(qint64 level) { m_undo.SetMaxLevel(level); }
    const TUndoRecord &GetUndoRecord(qint64 index) const { return m_undo.Record(index); }
    void DeleteUndoRecord(qint64 index) { m_undo.DeleteRecord(index); }

    // --- update bracket and formatting
    void BeginUpdate() { ++m_updateCount; }
    // Back at 0: Reformat.
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }
    // Formats the dirty paragraphs, clears the dirty range and fires the change notification.
    virtual void Reformat();
    // Breaks one paragraph into display lines (here: one line, measured) and marks it formatted.
    virtual void FormatParagraph(qint64 index);
    // Paragraphs changed since the last Reformat (DirtyLast() < DirtyFirst(): none).
    qint64 DirtyFirst() const { return m_dirtyFirst; }
    qint64 DirtyLast() const { return m_dirtyLast; }
    void MarkDirty(qint64 first, qint64 last);

    // --- highlighting
    // Run after a replacement outside an outer update over the changed range, when the first
    // paragraph had the pass applied before; the highlighters override them.
    virtual void ApplyStartStopPass(TCodeNavigator &from, TCodeNavigator &to);
    virtual void ApplyKeywordPass(TCodeNavigator &from, qint64 to);
    // Navigators with a cached paragraph, past from and in a paragraph not after toParagraph,
    // forget their attribute and line indexes.
    void InvalidateNavigators(qint64 from, qint64 toParagraph);
    // Clears every paragraph's attributes and flags and marks the whole text dirty.
    void ClearAttributes();

    // --- properties
    TCodeMemoOptions Options() const { return m_options; }
    void SetOptions(TCodeMemoOptions options) { m_options = options; }
    bool StaticFormat() const { return m_staticFormat; }
    void SetStaticFormat(bool on) { m_staticFormat = on; }
    int TabStops() const { return m_tabStops; }
    void SetTabStops(int tabStops) { m_tabStops = tabStops; }
    bool Modified() const { return m_modified; }
    void SetModified(bool modified) { m_modified = modified; }
    const TextMeasurer &Measurer() const { return *m_measurer; }
    // measurer must outlive the document (or be replaced); none restores the default.
    void SetMeasurer(const TextMeasurer *measurer);

    // --- events
    std::function<void(CodeDocument *sender, QString &text)> OnBeforeChange;
    std::function<void(CodeDocument *sender, qint64 startOffset, qint64 stopOffset)> OnParse;
    std::function<void(CodeDocument *sender)> OnChange;

    const std::vector<TCodeNavigator *> &Navigators() const { return m_navigators; }

    // Throws std::logic_error when an invariant of the text, the navigators, the selection or the
    // undo list fails.
    void Check() const;

protected:
    // The change notification at the end of Reformat: fires OnChange.
    virtual void Change();
    // After SetSelStart or SetSelLength moved the selection, with its ends before the move.
    virtual void SelectionChanged(qint64 oldLower, qint64 oldUpper);
    // Forgets the dirty range (after the derived Reformat handled it).
    void ClearDirty()
    {
        m_dirtyFirst = ParagraphCount();
        m_dirtyLast = -1;
    }
    // Navigators with a cached paragraph in first .. last forget their display line.
    void ForgetLineIndexes(qint64 first, qint64 last);

private:
    friend class TCodeNavigator;
    void registerNavigator(TCodeNavigator *nav) { m_navigators.push_back(nav); }
    void unregisterNavigator(TCodeNavigator *nav);

    void replaceRange(qint64 a, qint64 b, QString text, int flags);
    void cutColumnBlock();
    void setSelectionRaw(qint64 lower, qint64 upper, bool caretAtUpper);
    void moveNavigators(
        qint64 a, qint64 b, qint64 n, qint64 fp, qint64 fo, qint64 lp, qint64 parsAdded);
    void runPasses(qint64 a, qint64 n, qint64 fp);
    QList<qint64> redundantCodes(qint64 from, qint64 to) const;
    void replay(bool undo);

    TParagraphsList m_pars;
    TUndoList m_undo;
    std::vector<TCodeNavigator *> m_navigators;
    TCodeNavigator *m_selStart = nullptr;
    TCodeNavigator *m_selEnd = nullptr;
    TCodeNavigator *m_caret = nullptr;
    qint64 m_selLength = 0;
    bool m_columnSelection = false;
    qint64 m_blockColumn1 = 0;
    qint64 m_blockColumn2 = 0;
    qint64 m_virtualColumn = 0;
    bool m_breakMerge = false;
    bool m_replaying = false;
    bool m_undoing = false;
    bool m_cleaning = false;
    bool m_recordWritten = false;
    qint64 m_recordsInCall = 0; // undo records written by the current replacement
    bool m_modified = false;
    int m_updateCount = 0;
    qint64 m_dirtyFirst = 0;
    qint64 m_dirtyLast = -1;
    TCodeMemoOptions m_options
        = cmoWrapCaret | cmoInsertKeyActive | cmoWideOverwriteCaret | cmoAutoScrollBars;
    bool m_staticFormat = true;
    int m_tabStops = 8;
    const TextMeasurer *m_measurer;
};

} // namespace qd
