#pragma once

// Direct transcriptions of the keyword searches, keyword after keyword through the text, kept as
// the reference the product's linear matcher is compared with.

#include "editor/CodeDocument.h"
#include "editor/ExtHighlighter.h"
#include "editor/HighlightHost.h"
#include "editor/KeywordMatcher.h"

#include <vector>

namespace qd::test {

inline bool transcribedSep(const TSeparatorSet &seps, QChar c)
{
    return seps.Contains(c.unicode());
}

// The editor's keyword pass: keywords in list order through the window, each counted occurrence
// replaced by the character 5 in both copies.
inline std::vector<TKeywordHit> transcribedClaiming(
    const TKeywordList &list, const TSeparatorSet &seps, QString text, QString upper)
{
    std::vector<TKeywordHit> hits;
    const qsizetype size = text.size();
    for (qsizetype k = 0; k < list.Count(); ++k) {
        const QString key = list.Prepared(k);
        const qsizetype n = key.size();
        if (n == 0)
            continue;
        const bool matchCase = list.Info(k).Options & koMatchCase;
        const bool whole = list.Info(k).Options & koWholeWords;
        qsizetype p = (matchCase ? text : upper).indexOf(key, 0);
        while (p >= 0 && p + n <= size) {
            const bool counted = !whole
                || ((p == 0 || transcribedSep(seps, text[p - 1]))
                    && (p + n == size || transcribedSep(seps, text[p + n])));
            if (counted) {
                hits.push_back({ qint32(k), qint32(p), qint32(n) });
                for (qsizetype i = p; i < p + n; ++i)
                    text[i] = upper[i] = QChar(char16_t(5));
            }
            p = (matchCase ? text : upper).indexOf(key, p + n);
        }
    }
    return hits;
}

// The extended highlighter's collection: every keyword searched on its own in its part of the
// stretch.
inline std::vector<TKeywordHit> transcribedIndependent(const TKeywordList &list,
    const TSeparatorSet &seps, const QString &text, const QString &upper, qint64 sb, qint64 se,
    qint64 from, qint64 to)
{
    std::vector<TKeywordHit> hits;
    for (qsizetype k = 0; k < list.Count(); ++k) {
        const QString key = list.Prepared(k);
        const qsizetype n = key.size();
        if (n == 0)
            continue;
        const bool matchCase = list.Info(k).Options & koMatchCase;
        const bool whole = list.Info(k).Options & koWholeWords;
        const QString &hay = matchCase ? text : upper;
        const qint64 lo = qMax(sb, from - n);
        const qint64 hi = qMin(se, to + n);
        qsizetype p = lo <= hay.size() ? hay.indexOf(key, lo) : -1;
        while (p >= 0 && p + n <= hi) {
            const bool counted = !whole
                || ((p == sb || transcribedSep(seps, text[p - 1]))
                    && (p + n == se || transcribedSep(seps, text[p + n])));
            if (counted)
                hits.push_back({ qint32(k), qint32(p), qint32(n) });
            p = hay.indexOf(key, p + n);
        }
    }
    return hits;
}

// TExtHighlighter with its keyword hook transcribed: keywords one after another, hits marked in
// batches of 16, each hit checked against the records under it and laid over the text.
class TranscribedExtHighlighter : public TExtHighlighter {
public:
    void ApplyKeywords(TCodeNavigator &startNav, TCodeNavigator &endNav, int baseIndex) override
    {
        if (Active() && !Keywords().IsEmpty() && startNav.Memo()) {
            CodeDocument &doc = *startNav.Memo();
            TCodeNavigator *s = &startNav;
            TCodeNavigator *e = &endNav;
            if (e->Position() < s->Position())
                std::swap(s, e);
            const qint64 fp = s->ParIndex();
            const qint64 so = s->ParOffset();
            const qint64 lp = e->ParIndex();
            const qint64 eo = e->ParOffset();
            const int longest = Keywords().Longest();
            for (qint64 k = fp; k <= lp; ++k) {
                const TParagraph *p = doc.Paragraphs().At(k);
                const qint64 length = p->Length;
                const qint64 sb = k == fp ? qBound<qint64>(0, so - (longest + 1), length) : 0;
                const qint64 se = k == lp ? qBound<qint64>(0, eo + longest, length) : length;
                if (se <= sb)
                    continue;
                const QString text(reinterpret_cast<const QChar *>(p->Text), p->Length);
                const QString upper = UpperCaseText(text, Keywords().CaseMode());
                const std::vector<TKeywordHit> all = transcribedIndependent(Keywords(),
                    SeparatorSet(), text, upper, sb, se, k == fp ? so : sb, k == lp ? eo : se);
                std::vector<TKeywordHit> batch;
                for (const TKeywordHit &hit : all) {
                    batch.push_back(hit);
                    if (batch.size() == 16) {
                        markBatch(doc, k, batch, baseIndex);
                        batch.clear();
                    }
                }
                markBatch(doc, k, batch, baseIndex);
            }
        }
        if (SubHighlighter())
            SubHighlighter()->ApplyKeywords(startNav, endNav, baseIndex);
    }

private:
    void markBatch(CodeDocument &doc, qint64 k, const std::vector<TKeywordHit> &batch, int base)
    {
        TParagraph *p = doc.Paragraphs().At(k);
        for (const TKeywordHit &hit : batch) {
            const TAttrRecord at = *hl::AttrAt(p, hit.Offset);
            const int level = hl::Level(at);
            if (level >= 15)
                continue;
            const TKeywordInfo &info = Keywords().Info(hit.Keyword);
            if (!Applies(info.Scope, info.Priority, at, base))
                continue;
            bool open = false;
            bool drop = false;
            for (qint32 i = 0; i < p->AttrCount && !drop; ++i) {
                const TAttrRecord &r = p->Attrs[i];
                if (r.Offset() <= hit.Offset || r.Offset() > hit.Offset + hit.Length)
                    continue;
                const bool levelled = (hl::Flags(r) & 0xC0) == 0xC0;
                if (!levelled)
                    open = false;
                else if (r.Offset() == hit.Offset + hit.Length)
                    continue;
                else if (hl::Level(r) >= level && !(quint16(hl::Entry(r, hl::Level(r))) & 0x8000))
                    open = true;
                else
                    drop = true;
            }
            if (drop || open)
                continue;
            TAttrRecord rec;
            for (int i = 0; i <= level; ++i)
                hl::SetEntry(rec, i, hl::Entry(at, i));
            hl::SetEntry(rec, level + 1, qint16(base + hit.Keyword));
            hl::SetFlags(rec, quint8(info.Style | 0xC0));
            hl::SetLevel(rec, level + 1);
            rec.Words[2] = info.Background;
            rec.Words[3] = info.Foreground;
            rec.Words[4] = info.ContextNum;
            hl::SetTag(rec, info.Tag);
            hl::SetOpenLength(rec, hit.Length);
            TCodeNavigator a(&doc);
            TCodeNavigator b(&doc);
            const qint64 start = doc.Paragraphs().StartPos(k);
            a.SetPos(start + hit.Offset);
            b.SetPos(start + hit.Offset + hit.Length);
            SetAttributeRange(doc, a, b, false, true, rec);
        }
    }
};

} // namespace qd::test
