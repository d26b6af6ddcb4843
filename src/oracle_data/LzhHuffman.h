#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <cstring>

// The adaptive Huffman coder of the BLOB compressor and the bit streams it writes and reads.
// Kept apart from the match finder so that the coder can be exercised symbol by symbol.

namespace qd::lzh {

inline constexpr int THRESHOLD = 2;
inline constexpr int F = 60;
inline constexpr int N_CHAR = 256 - THRESHOLD + F; // literals 0..255, lengths 3..60 as 256..313
inline constexpr int T = N_CHAR * 2 - 1; // tree nodes
inline constexpr int R = T - 1; // root
inline constexpr unsigned MAX_FREQ = 0x8000; // root frequency that triggers a rebuild

// Big-endian bit sequence; the last byte is padded with 0 bits.
class BitWriter {
public:
    explicit BitWriter(QByteArray &out)
        : m_out(out)
    {
    }
    void put(std::uint32_t bits, int count) // count <= 24, value right-aligned
    {
        m_acc = (m_acc << count) | (bits & ((1u << count) - 1));
        m_count += count;
        while (m_count >= 8) {
            m_count -= 8;
            m_out.append(char((m_acc >> m_count) & 0xFF));
        }
    }
    void flush()
    {
        if (m_count > 0)
            m_out.append(char((m_acc << (8 - m_count)) & 0xFF));
        m_count = 0;
    }

private:
    QByteArray &m_out;
    std::uint64_t m_acc = 0;
    int m_count = 0;
};

// Reads the same sequence; past the end it yields 0 bits and remembers that it ran out.
class BitReader {
public:
    explicit BitReader(QByteArrayView in)
        : m_in(in)
    {
    }
    int bit()
    {
        const qsizetype byte = m_pos >> 3;
        if (byte >= m_in.size()) {
            m_overrun = true;
            return 0;
        }
        const int b = (std::uint8_t(m_in[byte]) >> (7 - (m_pos & 7))) & 1;
        ++m_pos;
        return b;
    }
    unsigned bits(int count)
    {
        unsigned v = 0;
        while (count-- > 0)
            v = (v << 1) | unsigned(bit());
        return v;
    }
    bool overrun() const { return m_overrun; }

private:
    QByteArrayView m_in;
    qsizetype m_pos = 0;
    bool m_overrun = false;
};

// The adaptive Huffman tree: leaves son[] >= T stand for symbol son - T; the children of an
// internal node c are son[c] and son[c] + 1; prnt[T + s] finds the leaf of symbol s.
class HuffmanTree {
public:
    HuffmanTree()
    {
        for (int i = 0; i < N_CHAR; ++i) {
            m_freq[i] = 1;
            m_son[i] = i + T;
            m_prnt[i + T] = i;
        }
        for (int i = 0, j = N_CHAR; j <= R; i += 2, ++j) {
            m_freq[j] = m_freq[i] + m_freq[i + 1];
            m_son[j] = i;
            m_prnt[i] = m_prnt[i + 1] = j;
        }
        m_freq[T] = 0xFFFF; // sentinel that stops the search in update()
        m_prnt[R] = 0;
    }

    // Writes the code of symbol and adapts the tree; returns the code length in bits.
    int encode(int symbol, BitWriter &out)
    {
        // Walk leaf to root, then send root first. The path is written bit by bit, so a
        // code deeper than 16 levels still comes out whole.
        std::array<std::uint8_t, T> path;
        int depth = 0;
        int k = m_prnt[symbol + T];
        do {
            path[depth++] = std::uint8_t(k & 1);
            k = m_prnt[k];
        } while (k != R);
        const int length = depth;
        while (depth > 0)
            out.put(path[--depth], 1);
        update(symbol);
        return length;
    }

    // Reads one symbol and adapts the tree the same way.
    int decode(BitReader &in)
    {
        int c = m_son[R];
        while (c < T)
            c = m_son[c + in.bit()];
        c -= T;
        update(c);
        return c;
    }

private:
    void rebuild()
    {
        // Keep the leaves in order with halved frequencies, then pair them up again,
        // inserting each new internal node where frequencies stay non-decreasing.
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (m_son[i] >= T) {
                m_freq[j] = (m_freq[i] + 1) / 2;
                m_son[j] = m_son[i];
                ++j;
            }
        }
        for (int i = 0, j2 = N_CHAR; j2 < T; i += 2, ++j2) {
            const unsigned f = m_freq[i] + m_freq[i + 1];
            m_freq[j2] = f;
            int k = j2 - 1;
            while (f < m_freq[k])
                --k;
            ++k;
            std::memmove(&m_freq[k + 1], &m_freq[k], sizeof(m_freq[0]) * size_t(j2 - k));
            m_freq[k] = f;
            std::memmove(&m_son[k + 1], &m_son[k], sizeof(m_son[0]) * size_t(j2 - k));
            m_son[k] = i;
        }
        for (int i = 0; i < T; ++i) {
            const int k = m_son[i];
            if (k >= T)
                m_prnt[k] = i;
            else
                m_prnt[k] = m_prnt[k + 1] = i;
        }
    }

    void update(int symbol)
    {
        if (m_freq[R] >= MAX_FREQ)
            rebuild();
        int c = m_prnt[symbol + T];
        do {
            const unsigned k = ++m_freq[c];
            int l = c + 1;
            if (k > m_freq[l]) {
                while (k > m_freq[++l]) { }
                --l;
                m_freq[c] = m_freq[l];
                m_freq[l] = k;

                const int i = m_son[c];
                m_prnt[i] = l;
                if (i < T)
                    m_prnt[i + 1] = l;
                const int j = m_son[l];
                m_son[l] = i;
                m_prnt[j] = c;
                if (j < T)
                    m_prnt[j + 1] = c;
                m_son[c] = j;
                c = l;
            }
            c = m_prnt[c];
        } while (c != 0);
    }

    std::array<unsigned, T + 1> m_freq {};
    std::array<int, T + N_CHAR> m_prnt {};
    std::array<int, T> m_son {};
};

} // namespace qd::lzh
