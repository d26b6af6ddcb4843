#include "oracle_data/OracleCompress.h"

#include "classlib/Exception.h"
#include "oracle_data/LzhHuffman.h"

#include <QMutexLocker>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

// The built-in coder is LZHUF: LZSS matching over a 4096-byte ring with binary search trees,
// and an adaptive Huffman code for literals and match lengths. Stored values must decode in
// every build, so every table and tie-break below fixes produced bytes.

namespace qd {

namespace {

using lzh::BitReader;
using lzh::BitWriter;
using lzh::F; // longest match
using lzh::HuffmanTree;
using lzh::THRESHOLD; // matches longer than this are coded

constexpr int N = 4096; // ring size
constexpr int NIL = N; // empty tree link
constexpr int RingStart = N - F; // first position written; the ones before start as spaces

// The largest value a code stream of one byte can announce: a match needs at least one bit
// for its length symbol and nine for its position, and yields at most F bytes.
constexpr std::uint64_t MaxBytesPerCodeByte = 8 * F / 10;

// Prefix code for the upper 6 bits of a match position: a canonical code with 1 entry of
// 3 bits, 3 of 4, 8 of 5, 12 of 6, 24 of 7 and 16 of 8.
struct PositionTables {
    std::array<std::uint8_t, 64> pLen {};
    std::array<std::uint8_t, 64> pCode {};
    std::array<std::uint8_t, 256> dCode {};
    std::array<std::uint8_t, 256> dLen {};
};

constexpr PositionTables makePositionTables()
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

constexpr PositionTables Tables = makePositionTables();
static_assert(Tables.pCode[1] == 0x20 && Tables.pCode[12] == 0x90 && Tables.pCode[63] == 0xFF);

// LZSS match finder: one binary search tree per first byte over the strings of the ring.
class MatchFinder {
public:
    MatchFinder()
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

void appendUInt32(QByteArray &out, std::uint32_t v)
{
    const char bytes[4]
        = { char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF) };
    out.append(bytes, 4);
}

std::uint32_t readUInt32(QByteArrayView in, qsizetype at)
{
    return std::uint32_t(std::uint8_t(in[at])) | std::uint32_t(std::uint8_t(in[at + 1])) << 8
        | std::uint32_t(std::uint8_t(in[at + 2])) << 16
        | std::uint32_t(std::uint8_t(in[at + 3])) << 24;
}

void encode(QByteArrayView source, QByteArray &dest)
{
    const qsizetype count = source.size();
    if (count == 0)
        return;
    auto tree = std::make_unique<HuffmanTree>();
    auto finder = std::make_unique<MatchFinder>();
    std::uint8_t *text = finder->text();
    BitWriter out(dest);
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
            out.put(Tables.pCode[upper] >> (8 - Tables.pLen[upper]), Tables.pLen[upper]);
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
}

void decode(QByteArrayView code, std::uint32_t length, QByteArray &out)
{
    if (length == 0)
        return;
    auto tree = std::make_unique<HuffmanTree>();
    // Positions past RingStart start as zeros; a stream that reads them before they were
    // written was not made by the compressor and is rejected below.
    std::vector<std::uint8_t> ring(N, 0);
    std::fill(ring.begin(), ring.begin() + RingStart, std::uint8_t(' '));
    BitReader in(code);
    out.reserve(out.size() + std::min<qsizetype>(length, 64 * 1024 * 1024));

    std::uint64_t written = 0;
    int r = RingStart;
    const auto truncated = [] {
        throw Exception(QStringLiteral("Compressed BLOB value is truncated: its code stream ends "
                                       "before the announced length is reached"));
    };
    while (written < length) {
        const int c = tree->decode(in);
        if (in.overrun())
            truncated();
        if (c < 256) {
            out.append(char(c));
            ring[r] = std::uint8_t(c);
            r = (r + 1) & (N - 1);
            ++written;
            continue;
        }
        unsigned i = in.bits(8);
        const unsigned upper = unsigned(Tables.dCode[i]) << 6;
        i = (i << (Tables.dLen[i] - 2)) | in.bits(Tables.dLen[i] - 2);
        if (in.overrun())
            truncated();
        const int position = int(upper | (i & 0x3F));
        const int start = (r - position - 1) & (N - 1);
        const int matchLength = c - 255 + THRESHOLD;
        if (written + std::uint64_t(matchLength) > length)
            throw Exception(QStringLiteral("Compressed BLOB value is corrupt: a match runs past "
                                           "the announced length"));
        for (int k = 0; k < matchLength; ++k) {
            const int from = (start + k) & (N - 1);
            if (from >= RingStart && std::uint64_t(from - RingStart) >= written)
                throw Exception(QStringLiteral("Compressed BLOB value is corrupt: a match refers "
                                               "to bytes that were never written"));
            const std::uint8_t b = ring[from];
            out.append(char(b));
            ring[r] = b;
            r = (r + 1) & (N - 1);
            ++written;
        }
    }
}

} // namespace

QRecursiveMutex &CompressorLock()
{
    static QRecursiveMutex lock;
    return lock;
}

void LzhCompress(QByteArrayView Source, QByteArray &Dest)
{
    QMutexLocker locker(&CompressorLock());
    if (std::uint64_t(Source.size()) > 0xFFFFFFFFu)
        throw Exception(QStringLiteral("BLOB value too large to compress"));
    const qsizetype start = Dest.size();
    try {
        appendUInt32(Dest, std::uint32_t(Source.size()));
        encode(Source, Dest);
    } catch (...) {
        Dest.truncate(start);
        throw;
    }
}

void LzhDecompress(QByteArrayView Source, QByteArray &Dest)
{
    QMutexLocker locker(&CompressorLock());
    if (Source.size() < 4)
        throw Exception(
            QStringLiteral("Compressed BLOB value is truncated: its length is missing"));
    const std::uint32_t length = readUInt32(Source, 0);
    const QByteArrayView code = Source.sliced(4);
    // Check the announced length against what the code bytes can yield before allocating.
    if (length > std::uint64_t(code.size()) * MaxBytesPerCodeByte)
        throw Exception(QStringLiteral("Compressed BLOB value is corrupt: it announces %1 bytes, "
                                       "more than its %2 code bytes can hold")
                            .arg(length)
                            .arg(code.size()));
    const qsizetype start = Dest.size();
    try {
        decode(code, length, Dest);
    } catch (...) {
        Dest.truncate(start);
        throw;
    }
}

bool IsCompressedBlobValue(QByteArrayView Value)
{
    return Value.size() >= 8 && readUInt32(Value, 0) == CompressMagicWord1
        && readUInt32(Value, 4) == CompressMagicWord2;
}

bool CompressBlobValue(const TBlobCompression &Settings, TBlobField *Field, QByteArray &Value)
{
    if (!Settings.CompressBLOBs || Value.isEmpty())
        return false;
    const QByteArray in = Value;
    QByteArray out;
    if (Settings.OnCompressBLOB) {
        Settings.OnCompressBLOB(Settings.DataSet, Field, in, out);
    } else {
        appendUInt32(out, CompressMagicWord1);
        appendUInt32(out, CompressMagicWord2);
        LzhCompress(in, out);
    }
    if (out.isEmpty())
        return false;
    Value = out;
    return true;
}

bool DecompressBlobValue(
    const TBlobCompression &Settings, TBlobField *Field, QByteArray &Value, QString *Problem)
{
    if (Problem)
        Problem->clear();
    if (Value.isEmpty())
        return false;
    QByteArray out;
    if (IsCompressedBlobValue(Value)) {
        try {
            LzhDecompress(QByteArrayView(Value).sliced(8), out);
        } catch (const Exception &e) {
            if (Problem)
                *Problem = e.Message();
            return false;
        }
    } else {
        if (!Settings.CompressBLOBs || !Settings.OnDecompressBLOB)
            return false;
        const QByteArray in = Value;
        Settings.OnDecompressBLOB(Settings.DataSet, Field, in, out);
    }
    if (out.isEmpty())
        return false;
    Value = out;
    return true;
}

} // namespace qd
