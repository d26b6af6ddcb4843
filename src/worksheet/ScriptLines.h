#pragma once

#include "worksheet/KXStatement.h"

#include <QStringView>

#include <vector>

namespace qd {

// The lines of one script file as spans of its text, which the splitter reads in place, and the
// spans of the statements it takes out of them. Made from the text as a whole (lines end at
// CR LF, LF or CR; a final line break does not start another line) or from lines given one by
// one, which are copied into one text.
class TScriptLines {
public:
    explicit TScriptLines(const QString &text);
    explicit TScriptLines(const TStringList &lines);

    int Count() const { return int(m_lines.size()); }
    // Line i (from 0), without its line break.
    QStringView operator[](int i) const
    {
        const TKXTextSpan &span = m_lines[size_t(i)];
        return QStringView(m_text->Script.constData() + span.offset, span.length);
    }
    // From now on line i is read behind its first count characters (the text of a comment
    // closed there, in front of a statement). The script's text itself is not changed.
    void CutStart(int i, qsizetype count);

    // The text the statements' spans point into.
    TKXScriptText &Text() { return *m_text; }
    const QExplicitlySharedDataPointer<TKXScriptText> &SharedText() const { return m_text; }

    // Where a statement's spans begin; the spans added since then, and prepared text, are taken
    // back by Rewind (a statement that the mode filter does not keep).
    struct Mark {
        size_t spans = 0;
        qsizetype prepared = 0;
    };
    Mark Position() const { return Mark { m_text->Spans.size(), m_text->Prepared.size() }; }
    void Rewind(const Mark &mark);

    // Adds a line or word to the statement being taken: a view into one of the script's lines
    // points there, other text is copied into the prepared text.
    void Add(QStringView text);
    // The same, upper-cased (a to z only); only text that changes is copied.
    void AddUpper(QStringView text);
    // Builds prepared text in pieces: BeginPrepared, Append any number of times, EndPrepared
    // adds it as one line.
    qsizetype BeginPrepared() const { return m_text->Prepared.size(); }
    void Append(QStringView text) { m_text->Prepared.append(text); }
    void Append(QChar c) { m_text->Prepared.append(c); }
    void EndPrepared(qsizetype begin);
    // Spans added since mark, and the last of them.
    int AddedSince(const Mark &mark) const { return int(m_text->Spans.size() - mark.spans); }
    QStringView Last() const { return m_text->View(m_text->Spans.back()); }
    void RemoveLast();

private:
    bool inScript(QStringView text) const;

    QExplicitlySharedDataPointer<TKXScriptText> m_text;
    std::vector<TKXTextSpan> m_lines;
};

} // namespace qd
