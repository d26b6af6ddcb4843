#pragma once

#include "editor/ParagraphsList.h"

#include <QString>

#include <functional>
#include <limits>
#include <memory>

namespace qd {

class CodeDocument;

// A position in the text of one document that stays valid while the text is edited: the caret,
// the ends of the selection, bookmarks, highlighters' scan positions and printed page starts.
//
// The document moves every navigator made for it when text is replaced: one inside the replaced
// range goes to the range's start (to the end of the new text when FollowInsertion is set), one
// after it keeps its distance to the text after the range.
//
// A navigator also caches where its position lies (paragraph, offset, display line, attribute
// record); every cache is recomputed on demand when unset, so walking through the text is cheap.
// Positions count paragraph breaks as CR LF; a position just past a paragraph's CR still belongs
// to that paragraph.
class TCodeNavigator {
public:
    static constexpr qint32 Unset = std::numeric_limits<qint32>::max();

    // memo: the document whose text the navigator walks (registered with it, which moves it on
    // edits and frees it with itself); none for a free-standing navigator, which can only walk
    // text after Assign from a navigator of a document, while that text is unchanged.
    explicit TCodeNavigator(CodeDocument *memo = nullptr);
    // Unregisters from the document and fires OnFree.
    ~TCodeNavigator();
    TCodeNavigator(const TCodeNavigator &) = delete;
    TCodeNavigator &operator=(const TCodeNavigator &) = delete;

    // When the navigator lies inside a replaced range, it goes to the end of the new text.
    bool FollowInsertion = false;
    // Fired by the destructor (also when the document frees the navigator).
    std::function<void(TCodeNavigator *sender)> OnFree;

    CodeDocument *Memo() const { return m_memo; }
    qint64 Position() const { return m_pos; }

    qint64 ParIndex();
    TParagraph *ParRecord();
    qint64 ParOffset();
    TLinesList &LinesView();
    // Index of the first attribute record of the paragraph whose offset is not below ours.
    qint32 AttrIndex();
    // Display line within the paragraph; a position at a line's end belongs to the next line,
    // except on the last line.
    qint32 LineInPar();
    // Display line over the whole text.
    qint64 LineIndex();
    // Offset from the start of the display line.
    qint64 Column();
    // Moves within the display line (Column cut to the line's length).
    void SetColumn(qint64 column);

    void SetPos(qint64 position);
    void SetParagraph(qint64 index);
    // Moves to the start of display line line (cut to the last line) and returns its record.
    TLineRecord *SetLine(qint64 line);

    // The character at the navigator: the paragraph's, CR (13) at its end, LF (10) beyond.
    char16_t CharAt();
    // The style byte in effect here: with static formatting, the line's style at start toggled by
    // the style codes from the line's start up to the navigator; 0 without.
    quint8 StyleAt();

    // The attribute record in effect: the record before AttrIndex(), or the start attribute.
    TAttrRecord *CurrentAttr();
    void GetAttr(TAttrRecord &record) { record = *CurrentAttr(); }
    // Inserts a copy of record at the navigator (its offset word set to ours) and steps past it.
    void InsertAttr(const TAttrRecord &record);
    // Removes the record at AttrIndex(); "Internal CodeMemo error" unless it lies at our offset.
    void RemoveAttr();
    // Steps AttrIndex() over every record at our offset.
    void SkipAttrsHere();
    // Moves back onto the nearest attribute record before AttrIndex(), through earlier paragraphs;
    // false without moving when none lies at or after limit.
    bool PrevAttr(qint64 limit);
    // Moves forward onto the attribute record at or after AttrIndex(), through later paragraphs;
    // false without moving when none lies at or before limit.
    bool NextAttr(qint64 limit);

    // Takes position and caches of other (and, for a free-standing navigator, its text).
    void Assign(TCodeNavigator &other);
    // count characters of the text from the navigator on (CR LF between paragraphs), without
    // moving; fewer at the end of the text.
    QString ReadText(qint64 count);
    // Forgets the cached paragraph; the position stays.
    void Invalidate();

private:
    friend class CodeDocument;
    TParagraphsList *list() const;
    void resolve();
    void bindLines();
    void detach() { m_memo = m_source = nullptr; }

    CodeDocument *m_memo = nullptr; // registered owner
    CodeDocument *m_source = nullptr; // whose text is walked (the owner, or an Assign source)
    qint64 m_pos = 0;
    TParagraph *m_par = nullptr;
    qint64 m_parIndex = -1;
    qint64 m_offset = 0;
    qint32 m_attrIndex = Unset;
    qint32 m_lineIndex = Unset;
    std::unique_ptr<TLinesList> m_lines;
};

} // namespace qd
