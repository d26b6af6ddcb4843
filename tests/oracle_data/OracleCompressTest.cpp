#include "ClassicLzhEncoder.h"
#include "oracle_data/OracleCompress.h"
#include "oracle_data/LzhHuffman.h"

#include "classlib/Exception.h"

#include <QCryptographicHash>
#include <QMutexLocker>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace qd;

namespace {

// Deterministic inputs; the same recipes are in tools/lzhuf_vectors.py.
QByteArray lcgBytes(int count, std::uint32_t seed)
{
    QByteArray out;
    out.reserve(count);
    std::uint32_t x = seed;
    for (int i = 0; i < count; ++i) {
        x = (x * 1103515245u + 12345u) & 0x7FFFFFFFu;
        out.append(char((x >> 16) & 0xFF));
    }
    return out;
}

QByteArray lcgText(int count, std::uint32_t seed)
{
    static const char *const words[] = { "select ", "from ", "where ", "dept ", "emp ", "ename, ",
        "sal ", "= ", "and ", "order by ", "1000 ", "\n" };
    QByteArray out;
    std::uint32_t x = seed;
    while (out.size() < count) {
        x = (x * 1103515245u + 12345u) & 0x7FFFFFFFu;
        out.append(words[(x >> 16) % 12]);
    }
    out.truncate(count);
    return out;
}

TBlobCompression compressionOn()
{
    TBlobCompression c;
    c.CompressBLOBs = true;
    return c;
}

QByteArray compressed(const QByteArray &value)
{
    QByteArray v = value;
    EXPECT_TRUE(CompressBlobValue(compressionOn(), nullptr, v));
    return v;
}

// Decompresses with compression switched off: a container is decoded regardless.
QByteArray decompressed(const QByteArray &value, QString *problem = nullptr)
{
    QByteArray v = value;
    DecompressBlobValue(TBlobCompression {}, nullptr, v, problem);
    return v;
}

const QByteArray kHead = QByteArray::fromHex("9100a63888b7cc1b");

// The container the classic encoder wrote for value.
QByteArray classicContainer(const QByteArray &value)
{
    QByteArray v = kHead;
    const auto length = std::uint32_t(value.size());
    for (int i = 0; i < 4; ++i)
        v.append(char((length >> (8 * i)) & 0xFF));
    return v + test::ClassicLzhEncode(value);
}

} // namespace

TEST(OracleCompress, RoundTripsAtTheRingAndLookAheadBoundaries)
{
    const std::vector<int> lengths
        = { 1, 2, 3, 59, 60, 61, 119, 4035, 4036, 4095, 4096, 4097, 9000 };
    for (int length : lengths) {
        const std::vector<std::pair<const char *, QByteArray>> inputs = {
            { "text", lcgText(length, 5) },
            { "random", lcgBytes(length, 9) },
            { "one byte repeated", QByteArray(length, 'z') },
            { "spaces", QByteArray(length, ' ') },
        };
        for (const auto &[kind, input] : inputs) {
            SCOPED_TRACE(std::string(kind) + " of length " + std::to_string(length));
            const QByteArray packed = compressed(input);
            ASSERT_TRUE(packed.startsWith(kHead));
            const std::uint32_t stored = std::uint8_t(packed[8]) | std::uint8_t(packed[9]) << 8
                | std::uint8_t(packed[10]) << 16 | std::uint32_t(std::uint8_t(packed[11])) << 24;
            EXPECT_EQ(stored, std::uint32_t(length));
            QString problem;
            EXPECT_EQ(decompressed(packed, &problem), input);
            EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
            // What the classic encoder wrote for the same value decodes as well.
            EXPECT_EQ(decompressed(classicContainer(input), &problem), input);
            EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
        }
    }
}

TEST(OracleCompress, RoundTripsMegabytesOfMixedTextAndRandomBytes)
{
    QByteArray input;
    for (int block = 0; input.size() < 3 * 1024 * 1024; ++block)
        input += block % 3 == 2 ? lcgBytes(20000 + block * 37, block) : lcgText(90000, block);
    const QByteArray packed = compressed(input);
    EXPECT_LT(packed.size(), input.size());
    EXPECT_EQ(decompressed(packed), input);
    EXPECT_EQ(decompressed(classicContainer(input)), input);
}

TEST(OracleCompress, RepeatsAreFoundAsFarBackAsTheRingReachesAndNoFurther)
{
    // Random bytes, then their first 600 again at a given distance: a repeat within the reach
    // of a match (the ring less its look-ahead, 4036 bytes) codes in a few bytes; one further
    // back cannot be matched and costs about as much as the random bytes themselves.
    const auto sizeFor = [](int distance) {
        const QByteArray block = lcgBytes(distance, 21);
        const QByteArray input = block + block.left(600);
        const QByteArray packed = compressed(input);
        EXPECT_EQ(decompressed(packed), input) << distance;
        return packed.size() - compressed(block).size();
    };
    for (int distance : { 601, 2048, 4035, 4036 })
        EXPECT_LT(sizeFor(distance), 60) << distance;
    for (int distance : { 4037, 4096, 4097 })
        EXPECT_GT(sizeFor(distance), 500) << distance;
}

TEST(OracleCompress, MatchesReachIntoTheRingsStartingSpaces)
{
    // The decoder's ring starts as spaces, so leading spaces (and text that begins with them)
    // code as matches from the first byte on.
    for (const QByteArray &input : { QByteArray(200, ' '), QByteArray(" x") + QByteArray(3, ' '),
             QByteArray(4100, ' ') + "tail" }) {
        SCOPED_TRACE(input.size());
        const QByteArray packed = compressed(input);
        EXPECT_EQ(decompressed(packed), input);
    }
    EXPECT_LT(compressed(QByteArray(200, ' ')).size(), 8 + 4 + 10);
}

TEST(OracleCompress, EmptyInputCodesToTheLengthAlone)
{
    QByteArray out;
    LzhCompress(QByteArrayView(), out);
    EXPECT_EQ(out, QByteArray(4, '\0'));
    QByteArray back;
    LzhDecompress(out, back);
    EXPECT_TRUE(back.isEmpty());

    // An empty value is never compressed, and a container announcing 0 bytes keeps the
    // stored bytes as the value.
    QByteArray empty;
    EXPECT_FALSE(CompressBlobValue(compressionOn(), nullptr, empty));
    EXPECT_TRUE(empty.isEmpty());
    const QByteArray zeroLength = kHead + QByteArray(4, '\0');
    QByteArray v = zeroLength;
    QString problem;
    EXPECT_FALSE(DecompressBlobValue(compressionOn(), nullptr, v, &problem));
    EXPECT_EQ(v, zeroLength);
    EXPECT_TRUE(problem.isEmpty());
}

TEST(OracleCompress, OneByteValueMatchesTheHandCheckedContainer)
{
    // "A" (65) with the starting tree: leaf 65 hangs under nodes 346, 487, 557, 592, 610, 619,
    // 623 and 625 below the root 626 (parent of node x is 314 + x / 2). Odd nodes give 1, so
    // the code root first is 1 1 1 0 0 1 1 0 1: bytes E6 80 after padding.
    const QByteArray expected = QByteArray::fromHex("9100a63888b7cc1b"
                                                    "01000000"
                                                    "e680");
    EXPECT_EQ(compressed("A"), expected);
    EXPECT_EQ(decompressed(expected), QByteArray("A"));
}

// Values stored by earlier versions were written by the classic encoder; its streams must decode
// for good. The vectors come from an independent transcription of that encoder
// (tests/oracle_data/tools/lzhuf_vectors.py, see its header to regenerate); the test's own copy of
// the encoder must reproduce them, which makes its streams of other inputs trustworthy too. The
// product's encoder chooses its matches differently: its output must decode to the input and
// compress about as well.
TEST(OracleCompress, ClassicStreamsStillDecodeAndTheEncoderCompressesAsWell)
{
    struct Small {
        const char *name;
        QByteArray input;
        const char *containerHex;
    };
    QByteArray counting;
    for (int i = 0; i < 61; ++i)
        counting.append(char(i));
    QByteArray squares;
    for (int i = 0; i < 300; ++i)
        squares.append(char((i * i) % 251));
    const Small small[] = {
        { "one byte", "A", "9100a63888b7cc1b01000000e680" },
        { "abracadabra", "abracadabra abracadabra abracadabra",
            "9100a63888b7cc1b23000000f6fbbfd8befc1f08d035082c" },
        { "61 counting bytes", counting,
            "9100a63888b7cc1b3d000000c66371d8fc86472593ca6572d97cc667359bce6773d9fd068745a3d269"
            "74da7d46a755abd66b75dafd86c765b3da6d76db7dc6e775bbde6f77dbfe070785c3e27178dc7e40" },
        { "spaces then text", QByteArray(70, ' ') + "x", "9100a63888b7cc1b47000000c51dc9800100" },
        { "squares mod 251", squares,
            "9100a63888b7cc1b2c010000c66372195ce69761bde6777e00a386aa0db91d9757f44294eba7eb039d"
            "37eafc83eb9a0f09234ed7fc939bf51de4fd07f9dfc2aee469f7ce9dbc27cc843cfc59bc4b7db58ee2"
            "ef95abecfe1fa130e32cfcf1e51c86509d7a97f350a203b36218e877107ffbfe3200373b30be5bfde7"
            "e8f5e984c05e0e068bedbf4f39251303fafa7bfd7e8f379690929496989a9c9ea0a2a4a6a8aaacaeb0"
            "b2b4b6b8babcbec0c2c4c6c8caccced0d2d4d6d8dadcdee0e2e4e6e8eaeceef0f2f4f6f8fafcff0103"
            "0507090b0d0f11131517191b1d1f21232527292b2d2f31333537393b3d3f41434547494b4d4f515355"
            "57595b5d5f61636567696b6b69676563615f5d5b59575553514ed34e80" },
    };
    for (const Small &v : small) {
        SCOPED_TRACE(v.name);
        const QByteArray expected = QByteArray::fromHex(v.containerHex);
        EXPECT_EQ(classicContainer(v.input).toHex(), expected.toHex());
        EXPECT_EQ(decompressed(expected), v.input);
        const QByteArray packed = compressed(v.input);
        EXPECT_EQ(decompressed(packed), v.input);
        EXPECT_LE(packed.size(), expected.size() + 1);
    }

    // Longer inputs run past the ring and through the rebuild of the code tree at 0x8000;
    // they are compared by size and digest.
    struct Large {
        const char *name;
        QByteArray input;
        int size;
        const char *sha256;
    };
    const Large large[] = {
        { "random 40000 then text 30000", lcgBytes(40000, 7) + lcgText(30000, 11), 47052,
            "e5a40dc0ce87525ca32ed7cdb3ac401f505cf20fc9e23356317fd3cf9b5652dc" },
        { "text 9000", lcgText(9000, 3), 1822,
            "858a2a02e0e40f3e9d505bc954418a7a3fa94f6eba5c18b5b5fbe9cb494b7fbd" },
    };
    for (const Large &v : large) {
        SCOPED_TRACE(v.name);
        const QByteArray classic = classicContainer(v.input);
        EXPECT_EQ(classic.size(), v.size);
        EXPECT_EQ(QCryptographicHash::hash(classic, QCryptographicHash::Sha256).toHex(),
            QByteArray(v.sha256));
        EXPECT_EQ(decompressed(classic), v.input);
        const QByteArray packed = compressed(v.input);
        EXPECT_EQ(decompressed(packed), v.input);
        EXPECT_LE(packed.size(), v.size * 102 / 100);
    }
}

TEST(OracleCompress, ContainerIsRecognisedOnlyFromEightBytesWithBothMagicWords)
{
    EXPECT_TRUE(IsCompressedBlobValue(kHead));
    EXPECT_FALSE(IsCompressedBlobValue(kHead.left(7)));
    EXPECT_FALSE(IsCompressedBlobValue(QByteArray::fromHex("9100a63888b7cc1c")));
    EXPECT_FALSE(IsCompressedBlobValue(QByteArray::fromHex("9200a63888b7cc1b")));

    // Seven bytes that open like a container go to the decompress event as plain values.
    TBlobCompression settings = compressionOn();
    QByteArray seen;
    settings.OnDecompressBLOB
        = [&](TOracleDataSet *, TBlobField *, const QByteArray &in, QByteArray &out) {
              seen = in;
              out = "plain";
          };
    QByteArray v = kHead.left(7);
    EXPECT_TRUE(DecompressBlobValue(settings, nullptr, v));
    EXPECT_EQ(seen, kHead.left(7));
    EXPECT_EQ(v, QByteArray("plain"));
}

TEST(OracleCompress, ContainerIsDecodedWhateverTheSettingsAndBypassesTheEvent)
{
    const QByteArray packed = compressed("hello hello hello");
    for (bool on : { false, true }) {
        TBlobCompression settings;
        settings.CompressBLOBs = on;
        int calls = 0;
        settings.OnDecompressBLOB
            = [&](TOracleDataSet *, TBlobField *, const QByteArray &, QByteArray &out) {
                  ++calls;
                  out = "event";
              };
        QByteArray v = packed;
        EXPECT_TRUE(DecompressBlobValue(settings, nullptr, v));
        EXPECT_EQ(v, QByteArray("hello hello hello"));
        EXPECT_EQ(calls, 0);
    }
}

TEST(OracleCompress, EventsReplaceTheBuiltInCoder)
{
    struct Case {
        bool compressOn;
        bool handlerWrites;
        bool expectChanged;
    };
    const Case cases[] = {
        { false, true, false }, // compression off: no event, value untouched
        { true, true, true }, { true, false, false }, // an empty result keeps the value
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "on=" << c.compressOn << " writes=" << c.handlerWrites);
        TBlobCompression settings;
        settings.CompressBLOBs = c.compressOn;
        auto *const dataSet = reinterpret_cast<TOracleDataSet *>(0x1000);
        auto *const field = reinterpret_cast<TBlobField *>(0x2000);
        settings.DataSet = dataSet;
        int calls = 0;
        const auto handler
            = [&](TOracleDataSet *sender, TBlobField *f, const QByteArray &in, QByteArray &out) {
                  ++calls;
                  EXPECT_EQ(sender, dataSet);
                  EXPECT_EQ(f, field);
                  EXPECT_TRUE(out.isEmpty());
                  if (c.handlerWrites)
                      out = "<" + in + ">";
              };
        settings.OnCompressBLOB = handler;
        settings.OnDecompressBLOB = handler;

        QByteArray v = "value";
        EXPECT_EQ(CompressBlobValue(settings, field, v), c.expectChanged);
        EXPECT_EQ(v, c.expectChanged ? QByteArray("<value>") : QByteArray("value"));
        QByteArray w = "plain";
        EXPECT_EQ(DecompressBlobValue(settings, field, w), c.expectChanged);
        EXPECT_EQ(w, c.expectChanged ? QByteArray("<plain>") : QByteArray("plain"));
        EXPECT_EQ(calls, c.compressOn ? 2 : 0);
    }

    // Without the event a value that is no container is left alone even when compression is on.
    QByteArray v = "not compressed";
    EXPECT_FALSE(DecompressBlobValue(compressionOn(), nullptr, v));
    EXPECT_EQ(v, QByteArray("not compressed"));
}

TEST(OracleCompress, CompressedFormIsUsedEvenWhenLonger)
{
    QByteArray v = lcgBytes(50, 1);
    EXPECT_TRUE(CompressBlobValue(compressionOn(), nullptr, v));
    EXPECT_GT(v.size(), 50);
}

// A bit sequence of the codes a fresh tree gives, for hand-made streams.
namespace {
QByteArray freshTreeStream(const std::vector<std::pair<std::uint32_t, int>> &fields)
{
    QByteArray out;
    lzh::BitWriter bits(out);
    for (const auto &[value, count] : fields)
        bits.put(value, count);
    bits.flush();
    return out;
}

// The code of a symbol in the starting tree, root first (parent of node x is 314 + x / 2).
std::pair<std::uint32_t, int> startingCode(int symbol)
{
    std::uint32_t code = 0;
    int length = 0;
    for (int node = symbol; node != lzh::R; node = lzh::N_CHAR + node / 2)
        code |= std::uint32_t(node & 1) << length++;
    return { code, length };
}

QByteArray container(std::uint32_t length, const QByteArray &code)
{
    QByteArray v = kHead;
    for (int i = 0; i < 4; ++i)
        v.append(char((length >> (8 * i)) & 0xFF));
    return v + code;
}
} // namespace

TEST(OracleCompress, UntrustworthyContainersAreKeptAsStoredAndReported)
{
    const QByteArray good = compressed(lcgText(5000, 2));
    // A match of 4 bytes as the first symbol, pointing at ring positions never written.
    const QByteArray unwritten
        = freshTreeStream({ startingCode(256 + 4 - 3), { 0xFF, 8 }, { 0x3F, 6 } });
    // A match of 5 bytes when only 2 are announced.
    const QByteArray pastTheEnd
        = freshTreeStream({ startingCode(256 + 5 - 3), { 0x00, 3 }, { 0x00, 6 } });

    struct Case {
        const char *name;
        QByteArray value;
        const char *problemWord;
    };
    const Case cases[] = {
        { "no length", kHead + "\x01\x00", "truncated" },
        { "huge length from two code bytes", container(0xFFFFFFF0u, "\xE6\x80"), "announces" },
        { "length just past what the code bytes can hold", container(2 * 48 + 1, "\xFF\xFF"),
            "announces" },
        { "code stream cut short", good.left(good.size() / 2), "truncated" },
        { "length raised above the stream", container(30, "\xE6\x80"), "truncated" },
        { "match into unwritten ring", container(4, unwritten), "never written" },
        { "match past the announced length", container(2, pastTheEnd), "past" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray v = c.value;
        QString problem;
        EXPECT_FALSE(DecompressBlobValue(compressionOn(), nullptr, v, &problem));
        EXPECT_EQ(v, c.value);
        EXPECT_TRUE(problem.contains(QLatin1StringView(c.problemWord))) << problem.toStdString();

        QByteArray dest = "kept";
        EXPECT_THROW(LzhDecompress(QByteArrayView(c.value).sliced(8), dest), Exception);
        EXPECT_EQ(dest, QByteArray("kept"));
    }

    // The limit itself is reachable: two code bytes may announce up to 96 bytes.
    QString problem;
    decompressed(container(96, "\xFF\xFF"), &problem);
    EXPECT_FALSE(problem.contains("announces")) << problem.toStdString();
}

TEST(OracleCompress, CodesDeeperThanSixteenBitsComeOutWhole)
{
    // Eight symbols with counts in Fibonacci proportion, scaled to the weight of the 306
    // symbols left at 1, make a chain eight levels deep above a subtree of all the rare ones;
    // the rarest then have 17-bit codes, which a 16-bit code register would cut.
    const int fibonacci[] = { 1, 2, 3, 5, 8, 13, 21, 34 };
    std::vector<int> chain;
    for (int k = 0; k < 8; ++k)
        for (int n = 0; n < 305 * fibonacci[k]; ++n)
            chain.push_back(100 + k);
    // Spread the symbols out so that the adaptive tree sees the skew throughout.
    std::vector<int> order;
    for (size_t stride = 0; stride < 7; ++stride)
        for (size_t i = stride; i < chain.size(); i += 7)
            order.push_back(chain[i]);
    for (int s = 0; s < lzh::N_CHAR; ++s)
        if (s < 100 || s >= 108)
            order.push_back(s);

    QByteArray stream;
    lzh::BitWriter out(stream);
    lzh::HuffmanTree encoder;
    int longest = 0;
    for (int s : order)
        longest = std::max(longest, encoder.encode(s, out));
    out.flush();
    EXPECT_GT(longest, 16);
    EXPECT_LT(order.size(), size_t(lzh::MAX_FREQ)); // no rebuild halves the skew

    lzh::HuffmanTree decoder;
    lzh::BitReader in(stream);
    for (size_t i = 0; i < order.size(); ++i)
        ASSERT_EQ(decoder.decode(in), order[i]) << "symbol " << i;
    EXPECT_FALSE(in.overrun());
}

TEST(OracleCompress, EveryRunHoldsTheCompressorLock)
{
    const QByteArray input = lcgText(1000, 4);
    std::atomic<bool> compressDone { false };
    std::atomic<bool> decompressDone { false };
    const QByteArray packed = compressed(input);
    std::thread compressor, decompressor;
    {
        QMutexLocker held(&CompressorLock());
        compressor = std::thread([&] {
            QByteArray out;
            LzhCompress(input, out);
            compressDone = true;
        });
        decompressor = std::thread([&] {
            QByteArray out;
            LzhDecompress(QByteArrayView(packed).sliced(8), out);
            decompressDone = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(compressDone);
        EXPECT_FALSE(decompressDone);
    }
    compressor.join();
    decompressor.join();
    EXPECT_TRUE(compressDone);
    EXPECT_TRUE(decompressDone);
}

TEST(OracleCompress, ParallelCallersGetTheirOwnResults)
{
    std::vector<std::thread> threads;
    std::atomic<int> failures { 0 };
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 5; ++i) {
                const QByteArray input = lcgText(3000 + 100 * t + i, std::uint32_t(t * 10 + i));
                QByteArray v = input;
                if (!CompressBlobValue(compressionOn(), nullptr, v)
                    || !DecompressBlobValue(TBlobCompression {}, nullptr, v) || v != input)
                    ++failures;
            }
        });
    }
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(failures, 0);
}
