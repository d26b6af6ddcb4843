#pragma once

// The classic LZHUF encoder (LZSS with binary search trees over the ring), as earlier versions
// wrote every compressed BLOB value. The product's encoder finds its matches differently; values
// stored by the classic one must still decode, so the tests make such streams with this.

#include "oracle_data/LzhHuffman.h"

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>
#include <memory>
#include <vector>

namespace qd::test {

using lzh::F;
using lzh::N;
using lzh::RingStart;
using lzh::THRESHOLD;
constexpr int NIL = N; // empty tree link

// Match finder: one binary search tree per first byte over the strings of the ring.
class TreeMatchFinder {
public:
    TreeMatchFinder()
        : m_text(N + F - 1, 0)
        , m_lson(N + 1, NIL)
        , m_rson(N + 257, NIL)
        , m_dad(N + 1, NIL)
    {
        // The ring starts as spaces up to RingStart; the rest (and the mirror past N that lets
        // comparisons run over the ring's end) starts as zeros. Those zeros are only ever
        // compared past the end of the input, where they can steer the choice between matches
        // of equal effect, so they are fixed here to keep the produced bytes reproducible.
        std::fill(m_text.begin(), m_text.begin() + RingStart, std::uint8_t(' '));
    }

    std::uint8_t *text() { return m_text.data(); }
    int matchLength = 0;
    int matchPosition = 0;

    void insert(int r)
    {
        int cmp = 1;
        const std::uint8_t *key = &m_text[r];
        int p = N + 1 + key[0];
        m_rson[r] = m_lson[r] = NIL;
        matchLength = 0;
        for (;;) {
            if (cmp >= 0) {
                if (m_rson[p] != NIL) {
                    p = m_rson[p];
                } else {
                    m_rson[p] = r;
                    m_dad[r] = p;
                    return;
                }
            } else {
                if (m_lson[p] != NIL) {
                    p = m_lson[p];
                } else {
                    m_lson[p] = r;
                    m_dad[r] = p;
                    return;
                }
            }
            int i = 1;
            for (; i < F; ++i) {
                cmp = int(key[i]) - int(m_text[p + i]);
                if (cmp != 0)
                    break;
            }
            if (i > THRESHOLD) {
                const int position = ((r - p) & (N - 1)) - 1;
                if (i > matchLength) {
                    matchPosition = position;
                    matchLength = i;
                    if (matchLength >= F)
                        break;
                } else if (i == matchLength && position < matchPosition) {
                    matchPosition = position;
                }
            }
        }
        // A full-length match: the new string takes the old one's place in the tree.
        m_dad[r] = m_dad[p];
        m_lson[r] = m_lson[p];
        m_rson[r] = m_rson[p];
        m_dad[m_lson[p]] = r;
        m_dad[m_rson[p]] = r;
        if (m_rson[m_dad[p]] == p)
            m_rson[m_dad[p]] = r;
        else
            m_lson[m_dad[p]] = r;
        m_dad[p] = NIL;
    }

    void remove(int p)
    {
        if (m_dad[p] == NIL)
            return;
        int q;
        if (m_rson[p] == NIL) {
            q = m_lson[p];
        } else if (m_lson[p] == NIL) {
            q = m_rson[p];
        } else {
            q = m_lson[p];
            if (m_rson[q] != NIL) {
                do {
                    q = m_rson[q];
                } while (m_rson[q] != NIL);
                m_rson[m_dad[q]] = m_lson[q];
                m_dad[m_lson[q]] = m_dad[q];
                m_lson[q] = m_lson[p];
                m_dad[m_lson[p]] = q;
            }
            m_rson[q] = m_rson[p];
            m_dad[m_rson[p]] = q;
        }
        m_dad[q] = m_dad[p];
        if (m_rson[m_dad[p]] == p)
            m_rson[m_dad[p]] = q;
        else
            m_lson[m_dad[p]] = q;
        m_dad[p] = NIL;
    }

private:
    std::vector<std::uint8_t> m_text;
    std::vector<int> m_lson, m_rson, m_dad;
};


// The code stream (without the length) the classic encoder writes for source.
inline QByteArray ClassicLzhEncode(QByteArrayView source)
{
    QByteArray dest;
    const qsizetype count = source.size();
    if (count == 0)
        return dest;
    auto tree = std::make_unique<lzh::HuffmanTree>();
    auto finder = std::make_unique<TreeMatchFinder>();
    std::uint8_t *text = finder->text();
    lzh::BitWriter out(dest);
    qsizetype next = 0; // next input byte

    int s = 0;
    int r = RingStart;
    int len = 0;
    while (len < F && next < count)
        text[r + len++] = std::uint8_t(source[next++]);
    for (int i = 1; i <= F; ++i)
        finder->insert(r - i);
    finder->insert(r);

    while (len > 0) {
        if (finder->matchLength > len)
            finder->matchLength = len;
        if (finder->matchLength <= THRESHOLD) {
            finder->matchLength = 1;
            tree->encode(text[r], out);
        } else {
            tree->encode(255 - THRESHOLD + finder->matchLength, out);
            const int position = finder->matchPosition;
            const int upper = position >> 6;
            out.put(lzh::Tables.pCode[upper] >> (8 - lzh::Tables.pLen[upper]), lzh::Tables.pLen[upper]);
            out.put(position & 0x3F, 6);
        }
        const int lastMatchLength = finder->matchLength;
        int i = 0;
        for (; i < lastMatchLength && next < count; ++i) {
            const std::uint8_t c = std::uint8_t(source[next++]);
            finder->remove(s);
            text[s] = c;
            if (s < F - 1)
                text[s + N] = c;
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            finder->insert(r);
        }
        for (; i < lastMatchLength; ++i) {
            finder->remove(s);
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            if (--len)
                finder->insert(r);
        }
    }
    out.flush();
    return dest;
}

} // namespace qd::test
