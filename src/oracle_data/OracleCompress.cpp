#include "oracle_data/OracleCompress.h"

#include "classlib/Exception.h"
#include "oracle_data/LzhHuffman.h"

#include <QMutexLocker>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

// The built-in coder is LZHUF: LZSS matches of 3 to 60 bytes within a 4096-byte ring that starts
// as spaces, and an adaptive Huffman code for literals and match lengths. The stored format is
// fixed by the decoder; the encoder may choose any matches the decoder reproduces, so it finds
// them with hash chains over the input rather than the classic binary trees.

namespace qd {

namespace {

using lzh::BitReader;
using lzh::BitWriter;
using lzh::F; // longest match
using lzh::HuffmanTree;
using lzh::THRESHOLD; // matches longer than this are coded

using lzh::N; // ring size
using lzh::RingStart; // first position written; the ones before start as spaces
using lzh::Tables;

// The largest value a code stream of one byte can announce: a match needs at least one bit
// for its length symbol and nine for its position, and yields at most F bytes.
constexpr std::uint64_t MaxBytesPerCodeByte = 8 * F / 10;

// What the decoder's ring holds before the first byte: RingStart spaces, then never-written
// positions. The encoder sees its input behind those spaces, so a match may reach back into them.
constexpr int Prefix = RingStart;
// How far back a match may start: the ring minus the look-ahead the classic encoder kept in it.
constexpr int MaxDistance = N - F;

// Greedy match search with hash chains over the spaces and the input in one buffer: each
// position is chained behind the last one whose next three bytes hash alike; the search walks a
// chain from the newest entry and keeps the longest match, the nearest among equals (nearer
// positions take shorter codes).
class MatchFinder {
public:
    explicit MatchFinder(QByteArrayView source)
        : m_bytes(size_t(Prefix) + size_t(source.size()))
        , m_head(size_t(1) << HashBits, -1)
        , m_prev(size_t(ChainSize), -1)
    {
        std::fill(m_bytes.begin(), m_bytes.begin() + Prefix, std::uint8_t(' '));
        if (!source.isEmpty())
            std::memcpy(m_bytes.data() + Prefix, source.data(), size_t(source.size()));
        m_size = qsizetype(m_bytes.size());
    }

    const std::uint8_t *bytes() const { return m_bytes.data(); }
    qsizetype size() const { return m_size; }

    // Chains position at (which must have three bytes after it).
    void insert(qsizetype at)
    {
        const std::uint32_t h = hash(at);
        m_prev[size_t(at & (ChainSize - 1))] = m_head[h];
        m_head[h] = std::int32_t(at);
    }

    // Chains every position of [from, to) that has three bytes after it.
    void insertRange(qsizetype from, qsizetype to)
    {
        to = std::min(to, m_size - 2);
        for (qsizetype at = from; at < to; ++at)
            insert(at);
    }

    // The longest match for the bytes at `at` (at most maxLength), with its distance back.
    int find(qsizetype at, int maxLength, int &distance) const
    {
        if (maxLength <= THRESHOLD)
            return 0;
        const std::uint8_t *here = m_bytes.data() + at;
        const qsizetype limit = at - MaxDistance;
        int best = THRESHOLD;
        std::int32_t candidate = m_head[hash(at)];
        for (int chain = MaxChain; chain > 0 && candidate >= 0 && candidate >= limit; --chain) {
            const std::uint8_t *there = m_bytes.data() + candidate;
            // One byte past the best so far decides most candidates at once.
            if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
                int length = 2;
                while (length < maxLength && there[length] == here[length])
                    ++length;
                if (length > best) {
                    best = length;
                    distance = int(at - candidate);
                    if (length >= maxLength)
                        break;
                }
            }
            candidate = m_prev[size_t(candidate & (ChainSize - 1))];
        }
        return best > THRESHOLD ? best : 0;
    }

private:
    static constexpr int HashBits = 15;
    // Positions remembered per chain slot; covers MaxDistance, so a candidate within reach was
    // never overwritten by a newer one.
    static constexpr int ChainSize = N;
    // Candidates tried per search: enough for text that repeats a few words, bounded for input
    // where every chain is long.
    static constexpr int MaxChain = 48;
    static_assert(MaxDistance <= ChainSize);

    std::uint32_t hash(qsizetype at) const
    {
        const std::uint32_t v = std::uint32_t(m_bytes[size_t(at)]) << 16
            | std::uint32_t(m_bytes[size_t(at) + 1]) << 8 | m_bytes[size_t(at) + 2];
        return (v * 2654435761u) >> (32 - HashBits);
    }

    std::vector<std::uint8_t> m_bytes;
    std::vector<std::int32_t> m_head;
    std::vector<std::int32_t> m_prev;
    qsizetype m_size = 0;
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
    if (source.isEmpty())
        return;
    auto tree = std::make_unique<HuffmanTree>();
    MatchFinder finder(source);
    const std::uint8_t *bytes = finder.bytes();
    const qsizetype end = finder.size();
    BitWriter out(dest);
    // The ring's spaces can be matched from the first byte on.
    finder.insertRange(0, Prefix);
    qsizetype at = Prefix;
    while (at < end) {
        int distance = 0;
        const int length = finder.find(at, int(std::min<qsizetype>(F, end - at)), distance);
        if (length == 0) {
            tree->encode(bytes[at], out);
            finder.insertRange(at, at + 1);
            ++at;
            continue;
        }
        tree->encode(255 - THRESHOLD + length, out);
        const int position = distance - 1;
        const int upper = position >> 6;
        out.put(Tables.pCode[upper] >> (8 - Tables.pLen[upper]), Tables.pLen[upper]);
        out.put(position & 0x3F, 6);
        finder.insertRange(at, at + length);
        at += length;
    }
    out.flush();
}

void decode(QByteArrayView code, std::uint32_t length, QByteArray &out)
{
    if (length == 0)
        return;
    auto tree = std::make_unique<HuffmanTree>();
    BitReader in(code);
    // The value is written straight into its place; LzhDecompress cuts it off again on error.
    const qsizetype start = out.size();
    out.resize(start + qsizetype(length));
    auto *value = reinterpret_cast<std::uint8_t *>(out.data() + start);

    std::uint32_t written = 0;
    const auto truncated = [] {
        throw Exception(QStringLiteral("Compressed BLOB value is truncated: its code stream ends "
                                       "before the announced length is reached"));
    };
    while (written < length) {
        const int c = tree->decode(in);
        if (in.overrun())
            truncated();
        if (c < 256) {
            value[written++] = std::uint8_t(c);
            continue;
        }
        unsigned i = in.bits(8);
        const unsigned upper = unsigned(Tables.dCode[i]) << 6;
        i = (i << (Tables.dLen[i] - 2)) | in.bits(Tables.dLen[i] - 2);
        if (in.overrun())
            truncated();
        const std::uint32_t distance = (upper | (i & 0x3F)) + 1;
        const std::uint32_t matchLength = std::uint32_t(c - 255 + THRESHOLD);
        if (std::uint64_t(written) + matchLength > length)
            throw Exception(QStringLiteral("Compressed BLOB value is corrupt: a match runs past "
                                           "the announced length"));
        if (distance <= written) {
            // Within what was written; a near match repeats bytes it writes itself.
            const std::uint8_t *from = value + (written - distance);
            std::uint8_t *to = value + written;
            for (std::uint32_t k = 0; k < matchLength; ++k)
                to[k] = from[k];
            written += matchLength;
            continue;
        }
        // Reaching back before the first byte: the ring's starting spaces, and past them
        // positions that were never written.
        for (std::uint32_t k = 0; k < matchLength; ++k, ++written) {
            const std::int64_t from = std::int64_t(written) - distance;
            if (from >= 0)
                value[written] = value[from];
            else if (from >= -std::int64_t(Prefix))
                value[written] = ' ';
            else
                throw Exception(QStringLiteral("Compressed BLOB value is corrupt: a match refers "
                                               "to bytes that were never written"));
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
