#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

// The adaptive Huffman coder of the BLOB compressor, the prefix code of match positions and the
// bit streams it writes and reads. Kept apart from the match finder so that the coder can be
// exercised symbol by symbol.

namespace qd::lzh {

inline constexpr int THRESHOLD = 2;
inline constexpr int F = 60;
inline constexpr int N_CHAR = 256 - THRESHOLD + F; // literals 0..255, lengths 3..60 as 256..313
inline constexpr int T = N_CHAR * 2 - 1; // tree nodes
inline constexpr int R = T - 1; // root
inline constexpr unsigned MAX_FREQ = 0x8000; // root frequency that triggers a rebuild
inline constexpr int N = 4096; // ring size
inline constexpr int RingStart = N - F; // first position written; the ones before start as spaces

// Prefix code for the upper 6 bits of a match position: a canonical code with 1 entry of
// 3 bits, 3 of 4, 8 of 5, 12 of 6, 24 of 7 and 16 of 8.
struct PositionTables {
    std::array<std::uint8_t, 64> pLen {};
    std::array<std::uint8_t, 64> pCode {};
    std::array<std::uint8_t, 256> dCode {};
    std::array<std::uint8_t, 256> dLen {};
};

inline constexpr PositionTables makePositionTables()
{
    PositionTables t;
    constexpr int counts[] = { 1, 3, 8, 12, 24, 16 }; // code lengths 3..8
    int entry = 0;
    unsigned code = 0; // left-aligned in 8 bits
    for (int k = 0; k < 6; ++k) {
        const int len = 3 + k;
        for (int n = 0; n < counts[k]; ++n, ++entry) {
            t.pLen[entry] = std::uint8_t(len);
            t.pCode[entry] = std::uint8_t(code);
            code += 1u << (8 - len);
        }
    }
    for (int i = 0; i < 64; ++i) {
        const int span = 1 << (8 - t.pLen[i]);
        for (int b = 0; b < span; ++b) {
            t.dCode[t.pCode[i] + b] = std::uint8_t(i);
            t.dLen[t.pCode[i] + b] = t.pLen[i];
        }
    }
    return t;
}

inline constexpr PositionTables Tables = makePositionTables();
static_assert(Tables.pCode[1] == 0x20 && Tables.pCode[12] == 0x90 && Tables.pCode[63] == 0xFF);

// Big-endian bit sequence; the last byte is padded with 0 bits. Whole bytes reach the output in
// batches: at the latest on flush or when the writer goes.
class BitWriter {
public:
    explicit BitWriter(QByteArray &out)
        : m_out(out)
    {
    }
    ~BitWriter() { drain(); }
    BitWriter(const BitWriter &) = delete;
    BitWriter &operator=(const BitWriter &) = delete;

    void put(std::uint32_t bits, int count) // count <= 32, value right-aligned
    {
        m_acc = (m_acc << count) | (std::uint64_t(bits) & ((std::uint64_t(1) << count) - 1));
        m_count += count;
        while (m_count >= 8) {
            m_count -= 8;
            m_pending[m_used++] = char((m_acc >> m_count) & 0xFF);
        }
        if (m_used > PendingSize - 8)
            drain();
    }
    void flush()
    {
        if (m_count > 0)
            m_pending[m_used++] = char((m_acc << (8 - m_count)) & 0xFF);
        m_count = 0;
        drain();
    }

private:
    static constexpr int PendingSize = 4096;
    void drain()
    {
        if (m_used > 0)
            m_out.append(m_pending, m_used);
        m_used = 0;
    }

    QByteArray &m_out;
    std::uint64_t m_acc = 0;
    int m_count = 0;
    int m_used = 0;
    char m_pending[PendingSize];
};

// Reads the same sequence; past the end it yields 0 bits and remembers that it ran out.
class BitReader {
public:
    explicit BitReader(QByteArrayView in)
        : m_in(reinterpret_cast<const std::uint8_t *>(in.data()))
        , m_size(in.size())
    {
    }
    int bit()
    {
        if (m_count == 0 && !refill())
            return 0;
        --m_count;
        return int((m_acc >> m_count) & 1);
    }
    unsigned bits(int count) // count <= 32
    {
        unsigned v = 0;
        while (count > 0) {
            if (m_count == 0 && !refill())
                return v << count;
            const int take = std::min(count, m_count);
            m_count -= take;
            v = (v << take) | unsigned((m_acc >> m_count) & ((std::uint64_t(1) << take) - 1));
            count -= take;
        }
        return v;
    }
    bool overrun() const { return m_overrun; }

private:
    // Loads the next bytes (up to seven) below the bits still held; false past the end.
    bool refill()
    {
        if (m_pos >= m_size) {
            m_overrun = true;
            return false;
        }
        while (m_count <= 48 && m_pos < m_size) {
            m_acc = (m_acc << 8) | m_in[m_pos++];
            m_count += 8;
        }
        return true;
    }

    const std::uint8_t *m_in;
    qsizetype m_size;
    qsizetype m_pos = 0;
    std::uint64_t m_acc = 0;
    int m_count = 0; // bits of m_acc not yet read (the low ones)
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
        // Walk leaf to root, then send root first: the leaf's bit is the lowest of the code. A
        // code deeper than 32 levels (which the frequency limit keeps far away) still comes out
        // whole, in pieces.
        std::array<std::uint32_t, T / 32 + 1> pieces;
        std::uint32_t code = 0;
        int depth = 0;
        int k = m_prnt[symbol + T];
        do {
            if (depth > 0 && depth % 32 == 0) {
                pieces[size_t(depth / 32 - 1)] = code;
                code = 0;
            }
            code |= std::uint32_t(k & 1) << (depth % 32);
            ++depth;
            k = m_prnt[k];
        } while (k != R);
        const int length = depth;
        out.put(code, (depth - 1) % 32 + 1);
        for (int piece = (depth - 1) / 32 - 1; piece >= 0; --piece)
            out.put(pieces[size_t(piece)], 32);
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
