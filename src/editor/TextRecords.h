#pragma once

#include <QtGlobal>

namespace qd {

// Limits of the text model. The defaults are the product's; tests pass small ones to reach the
// limits without gigabytes of text.
struct TTextLimits {
    // Characters one paragraph may hold; a replacement that would pass it fails "Text too long".
    qint64 MaxParagraphLength = 2147483547;
    // Size (removed characters + 13) of the largest undo record; a replacement that removes more
    // clears the undo list and records nothing.
    qint64 MaxUndoRecordSize = 2147483547;
    // Display lines of one paragraph beyond its first.
    qint64 MaxFurtherLines = 59652323;
};

// One display line of a paragraph, as word wrap cut it. Offsets are within the paragraph (a
// paragraph holds at most 2147483547 characters, so they fit 32 bits).
struct TLineRecord {
    qint32 StartOffset = 0; // first character of the line
    qint32 EndOffset = 0; // just past the last (the next line's start; the length on the last line)
    qint32 Width = 0; // pixels without trailing blanks
    qint32 FullWidth = 0; // pixels with trailing blanks
    qint32 Spaces = 0; // blanks between words after the last tab (justified alignment)
    qint32 JustifyStart = 0; // offset after the last tab
    qint32 AttrAtStart = 0; // index of the attribute record in effect at the line's start
    quint8 StyleAtStart = 0; // style byte in effect at the line's start
};

// Style bits of a style byte, and the in-band codes that toggle them.
enum : quint8 {
    StyleBold = 1,
    StyleItalic = 2,
    StyleUnderline = 4,
    StyleStrikeOut = 8,
    StyleHighlight = 16,
    StyleAltFont = 32,
    StyleSets = 128, // in an attribute record: the record sets a style
    StyleStartStop = 0xC0, // both top bits: a start/stop record with a highlighter index
};

// A dynamic attribute record: fifteen 32-bit words laid over the text by highlighters.
// Word 0 is the offset in the paragraph where the record takes effect; in a paragraph's start
// record it is instead the count of paragraphs sharing the record. Word 1's low byte is the style
// byte; when both of its top bits are set (a start/stop record) the next byte is the signed index
// a highlighter gave the record. Word 2 is the background colour and word 3 the text colour (-1 =
// none), word 4 a context value reported by clicks, word 5's low 16 bits a mouse cursor; the rest
// belongs to the pass or highlighter that set the record.
struct TAttrRecord {
    qint32 Words[15] = {};

    qint32 Offset() const { return Words[0]; }
    void SetOffset(qint32 offset) { Words[0] = offset; }
    qint32 RefCount() const { return Words[0]; }
    quint8 Style() const { return quint8(Words[1] & 0xFF); }
    void SetStyle(quint8 style) { Words[1] = (Words[1] & ~0xFF) | style; }
    // The highlighter's index of a start/stop record; -1 for every other record.
    int HighlighterIndex() const
    {
        return (Style() & StyleStartStop) == StyleStartStop ? int(qint8((Words[1] >> 8) & 0xFF))
                                                            : -1;
    }
    qint32 BackColor() const { return Words[2]; }
    qint32 TextColor() const { return Words[3]; }
    qint32 Context() const { return Words[4]; }
    int Cursor() const { return Words[5] & 0xFFFF; }

    // Same look and data, whatever the offset or count in word 0.
    bool SameContents(const TAttrRecord &other) const
    {
        for (int i = 1; i < 15; ++i)
            if (Words[i] != other.Words[i])
                return false;
        return true;
    }
};

// One paragraph: a line of the text as typed, without its line break. The fields are ordered so
// that no padding falls between them (96 bytes on 64-bit): the text holds one per line.
struct TParagraph {
    char16_t *Text = nullptr; // the characters (style codes included); none when never allocated
    TAttrRecord *StartAttr = nullptr; // attribute in effect at the start; shared, counted
    TLineRecord *FurtherLines = nullptr; // lines 1 .. LineCount - 1
    TAttrRecord *Attrs = nullptr; // in ascending order of offset
    qint32 Length = 0; // characters in use
    qint32 Capacity = 0; // characters the buffer holds
    qint32 TextColor = -1; // colour of the whole paragraph's text, -1 = none
    qint32 BackColor = -1; // background of the whole paragraph, -1 = none
    qint32 LineCount = 1; // display lines, at least 1
    qint32 AttrCount = 0; // attribute records starting inside the paragraph
    qint32 AttrCapacity = 0;
    TLineRecord FirstLine; // display line 0
    bool Formatted = false; // the display lines are up to date
    bool StartStopApplied = false; // the start/stop pass has covered the paragraph
    bool KeywordsApplied = false; // the keyword pass has covered the paragraph
    // Text lies inside a loaded text the list holds (no buffer of its own, Capacity 0); the
    // paragraph's first change copies it out.
    bool SharedText = false;
};

} // namespace qd
