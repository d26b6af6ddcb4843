#pragma once

#include "editor/HighlightRecord.h"
#include "editor/KeywordList.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <vector>

namespace qd {

// One keyword found in a paragraph.
struct TKeywordHit {
    qint32 Keyword; // index in the list
    qint32 Offset; // in the paragraph
    qint32 Length;
    bool operator==(const TKeywordHit &o) const
    {
        return Keyword == o.Keyword && Offset == o.Offset && Length == o.Length;
    }
};

// Finds the keywords of a list in text at a cost linear in the text, with the results of
// searching the keywords one after another:
// - a whole-word keyword without separators inside is looked up by hash, token by token;
// - a whole-word keyword with separators inside, beginning and ending with a word character and
//   unable to overlap itself, is tried at the token starts where its first token stands;
// - any other keyword (not whole-word, with a separator at an edge, or able to overlap itself) is
//   searched through the text on its own.
// The matcher is rebuilt when the list or the separator set changes.
class TKeywordMatcher {
public:
    void Update(const TKeywordList &list, const TSeparatorSet &separators);

    // Every keyword searched on its own (upper may be empty when AllFast(): tokens are then
    // upper-cased as they are looked up): occurrences lying within [max(stretchStart, from - n),
    // min(stretchEnd, to + n)] for a keyword of n characters, searched in text when it matches
    // case and in upper otherwise, resuming after each occurrence at its end; a whole-word
    // keyword counts only with separators (or the stretch's edges) on both sides. Hits come
    // ordered by keyword, then offset. Empty keywords never match.
    void CollectIndependent(QStringView text, QStringView upper, qint32 stretchStart,
        qint32 stretchEnd, qint64 from, qint64 to, std::vector<TKeywordHit> &out) const;

    // Keywords in list order over the whole of text and upper, each counted occurrence claiming
    // its characters (they become the character 5 in both copies, so no later keyword matches
    // there). Hits come in the order they were found (by keyword, then offset).
    void CollectClaiming(QString &text, QString &upper, std::vector<TKeywordHit> &out) const;

    bool AllFast() const { return m_allFast; }

private:
    enum Kind : quint8 { kEmpty, kToken, kMulti, kLiteral };
    struct Key {
        QString Text; // prepared
        qint32 FirstTokenLength = 0;
        bool MatchCase = false;
        bool WholeWords = false;
        Kind K = kEmpty;
    };
    using Index = QHash<QStringView, std::vector<qint32>>;

    bool isSep(char16_t c) const { return m_seps.Contains(c); }
    void literalScan(qint32 k, QStringView text, QStringView upper, qint32 sb, qint32 se,
        qint32 lo, qint32 hi, std::vector<TKeywordHit> &out, QChar *claimText,
        QChar *claimUpper) const;
    void tokenCandidates(QStringView text, QStringView upper, qint32 sb, qint32 se,
        std::vector<TKeywordHit> &out, qint64 from, qint64 to, bool ranged) const;

    const TKeywordList *m_list = nullptr;
    quint64 m_version = ~quint64(0);
    TSeparatorSet m_seps;
    std::vector<Key> m_keys;
    Index m_tokenExact, m_tokenUpper, m_multiExact, m_multiUpper;
    std::vector<qint32> m_literal;
    bool m_allFast = true;
    TcmUpperCase m_caseMode = cmuAscii;
    qint32 m_longestMulti = 0;
    // Token lengths (1-63, bit 63 for longer) and first characters (below 256, bit set for any
    // character above) of the hashed keys: most words of a text are no keyword and stop here.
    quint64 m_lengths = 0;
    std::array<quint64, 5> m_firsts {};
};

} // namespace qd
