#include "editor/KeywordMatcher.h"

#include <QVarLengthArray>

#include <algorithm>

namespace qd {

namespace {

constexpr char16_t Claimed = 5;

// True when some proper prefix of t is also a suffix of it (two occurrences may overlap).
bool canOverlapItself(QStringView t)
{
    const qsizetype n = t.size();
    std::vector<qsizetype> fail(size_t(n), 0);
    for (qsizetype i = 1, k = 0; i < n; ++i) {
        while (k > 0 && t[i] != t[k])
            k = fail[size_t(k - 1)];
        if (t[i] == t[k])
            ++k;
        fail[size_t(i)] = k;
    }
    return n > 0 && fail[size_t(n - 1)] > 0;
}

} // namespace

void TKeywordMatcher::Update(const TKeywordList &list, const TSeparatorSet &separators)
{
    if (m_list == &list && m_version == list.Version() && m_seps == separators)
        return;
    m_list = &list;
    m_version = list.Version();
    m_seps = separators;
    m_keys.clear();
    m_tokenExact.clear();
    m_tokenUpper.clear();
    m_multiExact.clear();
    m_multiUpper.clear();
    m_literal.clear();
    m_allFast = true;
    m_lengths = 0;
    m_firsts = {};
    m_caseMode = list.CaseMode();
    m_longestMulti = 0;

    // A separator set holding letters could make a character and its upper-case form differ in
    // kind; keys compared without case then go the plain way.
    bool letterSeps = false;
    for (char16_t c = 27; c < 256; ++c)
        if (separators.Contains(c) && QChar(c).isLetter())
            letterSeps = true;

    m_keys.resize(size_t(list.Count()));
    for (qsizetype i = 0; i < list.Count(); ++i) {
        Key &key = m_keys[size_t(i)];
        key.Text = list.Prepared(i);
        const quint8 options = list.Info(i).Options;
        key.MatchCase = options & koMatchCase;
        key.WholeWords = options & koWholeWords;
        const QStringView t(key.Text);
        if (t.isEmpty()) {
            key.K = kEmpty;
            continue;
        }
        qsizetype firstSep = -1;
        for (qsizetype j = 0; j < t.size() && firstSep < 0; ++j)
            if (isSep(t[j].unicode()))
                firstSep = j;
        if (!key.WholeWords || (letterSeps && !key.MatchCase))
            key.K = kLiteral;
        else if (firstSep < 0)
            key.K = kToken;
        else if (firstSep == 0 || isSep(t.back().unicode()) || canOverlapItself(t))
            key.K = kLiteral;
        else
            key.K = kMulti;
        key.FirstTokenLength = qint32(firstSep < 0 ? t.size() : firstSep);
    }
    // Index the keys only now that the texts no longer move.
    for (qint32 i = 0; i < qint32(m_keys.size()); ++i) {
        const Key &key = m_keys[size_t(i)];
        const QStringView t(key.Text);
        if (key.K == kToken || key.K == kMulti) {
            const qsizetype first = key.K == kToken ? t.size() : key.FirstTokenLength;
            m_lengths |= quint64(1) << qMin<qsizetype>(first, 63);
            const char16_t c = t.front().unicode();
            // A key without case also stands for its lower-case letters in the text.
            for (char16_t f : { c, key.MatchCase ? c : QChar(c).toLower().unicode() }) {
                if (f < 256)
                    m_firsts[f >> 6] |= quint64(1) << (f & 63);
                else
                    m_firsts[4] = 1;
            }
        }
        switch (key.K) {
        case kToken:
            (key.MatchCase ? m_tokenExact : m_tokenUpper)[t].push_back(i);
            break;
        case kMulti:
            m_longestMulti = qMax(m_longestMulti, qint32(t.size()));
            (key.MatchCase ? m_multiExact : m_multiUpper)[t.left(key.FirstTokenLength)].push_back(
                i);
            break;
        case kLiteral:
            m_literal.push_back(i);
            m_allFast = false;
            break;
        case kEmpty:
            break;
        }
    }
}

void TKeywordMatcher::literalScan(qint32 k, QStringView text, QStringView upper, qint32 sb,
    qint32 se, qint32 lo, qint32 hi, std::vector<TKeywordHit> &out, QChar *claimText,
    QChar *claimUpper) const
{
    const Key &key = m_keys[size_t(k)];
    const QStringView hay = key.MatchCase ? text : upper;
    const qint32 n = qint32(key.Text.size());
    qsizetype p = hay.indexOf(key.Text, lo);
    while (p >= 0 && p + n <= hi) {
        const bool counted = !key.WholeWords
            || ((p == sb || isSep(text[p - 1].unicode()))
                && (p + n == se || isSep(text[p + n].unicode())));
        if (counted) {
            out.push_back({ k, qint32(p), n });
            if (claimText) {
                for (qsizetype i = p; i < p + n; ++i)
                    claimText[i] = claimUpper[i] = QChar(Claimed);
            }
        }
        p = hay.indexOf(key.Text, p + n);
    }
}

void TKeywordMatcher::tokenCandidates(QStringView text, QStringView upper, qint32 sb, qint32 se,
    std::vector<TKeywordHit> &out, qint64 from, qint64 to, bool ranged) const
{
    const bool exact = !m_tokenExact.isEmpty();
    const bool upperTokens = !m_tokenUpper.isEmpty();
    const bool multiExact = !m_multiExact.isEmpty();
    const bool multiUpper = !m_multiUpper.isEmpty();
    const QChar *t = text.data();
    const bool lazyUpper = upper.isEmpty();
    QVarLengthArray<QChar, 128> buffer;
    qint32 i = sb;
    while (i < se) {
        while (i < se && isSep(t[i].unicode()))
            ++i;
        if (i >= se)
            break;
        const qint32 ts = i;
        while (i < se && !isSep(t[i].unicode()))
            ++i;
        const qint32 te = i;
        const qint32 len = te - ts;
        if (!((m_lengths >> qMin(len, 63)) & 1))
            continue;
        {
            const char16_t f = t[ts].unicode();
            if (f < 256 ? !((m_firsts[f >> 6] >> (f & 63)) & 1) : !m_firsts[4]) {
                // Upper-casing may still map it onto a key's first letter.
                const char16_t u = lazyUpper ? UpperChar(QChar(f), m_caseMode).unicode()
                                             : upper[ts].unicode();
                if (u == f || (u < 256 ? !((m_firsts[u >> 6] >> (u & 63)) & 1) : !m_firsts[4]))
                    continue;
            }
        }
        const auto inRange = [&](qint32 start, qint32 n) {
            return !ranged || (start >= qMax<qint64>(sb, from - n) && start + n <= qMin<qint64>(se, to + n));
        };
        // The hay for keys without case: the upper-cased text, or the token (and what a key of
        // several words may cover after it) upper-cased now; base is where hay starts.
        QStringView upperHay = upper;
        qint32 base = 0;
        if (lazyUpper && (upperTokens || multiUpper)) {
            const qint32 span = qMin(se - ts, qMax(len, m_longestMulti));
            buffer.resize(span);
            for (qint32 j = 0; j < span; ++j)
                buffer[j] = UpperChar(t[ts + j], m_caseMode);
            upperHay = QStringView(buffer.constData(), span);
            base = ts;
        }
        const auto addTokens = [&](const Index &index, QStringView hay, qint32 base) {
            const auto it = index.constFind(hay.mid(ts - base, len));
            if (it == index.cend())
                return;
            for (qint32 k : it.value())
                if (inRange(ts, len))
                    out.push_back({ k, ts, len });
        };
        const auto addMulti = [&](const Index &index, QStringView hay, qint32 base) {
            const auto it = index.constFind(hay.mid(ts - base, len));
            if (it == index.cend())
                return;
            for (qint32 k : it.value()) {
                const QString &kt = m_keys[size_t(k)].Text;
                const qint32 n = qint32(kt.size());
                if (ts + n > se || !inRange(ts, n))
                    continue;
                if (hay.mid(ts - base, n) != QStringView(kt))
                    continue;
                if (ts + n != se && !isSep(t[ts + n].unicode()))
                    continue;
                out.push_back({ k, ts, n });
            }
        };
        if (exact)
            addTokens(m_tokenExact, text, 0);
        if (upperTokens)
            addTokens(m_tokenUpper, upperHay, base);
        if (multiExact)
            addMulti(m_multiExact, text, 0);
        if (multiUpper)
            addMulti(m_multiUpper, upperHay, base);
    }
}

void TKeywordMatcher::CollectIndependent(QStringView text, QStringView upper, qint32 stretchStart,
    qint32 stretchEnd, qint64 from, qint64 to, std::vector<TKeywordHit> &out) const
{
    out.clear();
    if (m_keys.empty() || stretchEnd <= stretchStart)
        return;
    tokenCandidates(text, upper, stretchStart, stretchEnd, out, from, to, true);
    for (qint32 k : m_literal) {
        const qint32 n = qint32(m_keys[size_t(k)].Text.size());
        const qint32 lo = qint32(qMax<qint64>(stretchStart, from - n));
        const qint32 hi = qint32(qMin<qint64>(stretchEnd, to + n));
        if (hi - lo >= n)
            literalScan(k, text, upper, stretchStart, stretchEnd, lo, hi, out, nullptr, nullptr);
    }
    std::sort(out.begin(), out.end(), [](const TKeywordHit &a, const TKeywordHit &b) {
        return a.Keyword != b.Keyword ? a.Keyword < b.Keyword : a.Offset < b.Offset;
    });
}

void TKeywordMatcher::CollectClaiming(
    QString &text, QString &upper, std::vector<TKeywordHit> &out) const
{
    out.clear();
    const qint32 n = qint32(text.size());
    if (m_keys.empty() || n == 0 || upper.size() != n)
        return;
    // Writable buffers first, so the views below stay on them.
    QChar *tw = text.data();
    QChar *uw = upper.data();
    const QStringView tv(tw, n);
    const QStringView uv(uw, n);
    if (!m_allFast) {
        // Keywords one after another, as their claims change what the later ones see.
        for (qint32 k = 0; k < qint32(m_keys.size()); ++k)
            if (m_keys[size_t(k)].K != kEmpty)
                literalScan(k, tv, uv, 0, n, 0, n, out, tw, uw);
        return;
    }
    // Every keyword is a whole word bounded by word characters, so a claim never makes a new
    // word boundary: the candidates of the unclaimed text, taken in keyword order, are the hits
    // unless an earlier hit claimed one of their characters.
    std::vector<TKeywordHit> candidates;
    tokenCandidates(tv, uv, 0, n, candidates, 0, n, false);
    std::sort(candidates.begin(), candidates.end(), [](const TKeywordHit &a, const TKeywordHit &b) {
        return a.Keyword != b.Keyword ? a.Keyword < b.Keyword : a.Offset < b.Offset;
    });
    std::vector<bool> taken(size_t(n), false);
    for (const TKeywordHit &hit : candidates) {
        bool free = true;
        for (qint32 i = hit.Offset; i < hit.Offset + hit.Length && free; ++i)
            free = !taken[size_t(i)];
        if (!free)
            continue;
        for (qint32 i = hit.Offset; i < hit.Offset + hit.Length; ++i)
            taken[size_t(i)] = true;
        out.push_back(hit);
        for (qint32 i = hit.Offset; i < hit.Offset + hit.Length; ++i)
            tw[i] = uw[i] = QChar(Claimed);
    }
}

} // namespace qd
