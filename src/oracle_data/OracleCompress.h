#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QRecursiveMutex>
#include <QString>

#include <cstdint>
#include <functional>

namespace qd {

class TOracleDataSet;
class TBlobField;

// The two words that open a value compressed by the built-in coder; stored little-endian.
inline constexpr std::uint32_t CompressMagicWord1 = 0x38A60091;
inline constexpr std::uint32_t CompressMagicWord2 = 0x1BCCB788;

// Replaces the built-in coder: InStream holds the whole input value, OutStream starts empty
// and receives the whole result. Leaving OutStream empty keeps the value as it is.
using TCompressionEvent = std::function<void(
    TOracleDataSet *Sender, TBlobField *Field, const QByteArray &InStream, QByteArray &OutStream)>;

// What the owning dataset contributes to the compression of its BLOB values.
struct TBlobCompression {
    TOracleDataSet *DataSet = nullptr;
    bool CompressBLOBs = false;
    TCompressionEvent OnCompressBLOB;
    TCompressionEvent OnDecompressBLOB;
};

// Compresses Source whole: appends the 32-bit little-endian length of Source and the code
// stream to Dest. Holds the compressor lock throughout.
void LzhCompress(QByteArrayView Source, QByteArray &Dest);

// Decodes a 32-bit length and a code stream (the container without its magic words) and
// appends the value to Dest. Holds the compressor lock throughout. Raises qd::Exception when
// the input cannot be a stream the compressor wrote: too short for its length, a length that
// its code bytes cannot produce, a stream that ends early or a match that runs past the end.
// Dest is left as it was in that case.
void LzhDecompress(QByteArrayView Source, QByteArray &Dest);

// True when Value carries the container: at least 8 bytes opening with the two magic words.
bool IsCompressedBlobValue(QByteArrayView Value);

// Called for one BLOB value before it is sent. Returns false and leaves Value untouched when
// compression is off, the value is empty or the result would be empty; otherwise replaces
// Value by its compressed form (even when that is longer) and returns true.
bool CompressBlobValue(const TBlobCompression &Settings, TBlobField *Field, QByteArray &Value);

// Called for one value read from the server. A value in the container is decoded whatever
// CompressBLOBs says; other values go to OnDecompressBLOB when compression is on and the event
// is assigned. Returns true when Value was replaced by a non-empty result. A container that
// does not decode leaves Value as stored, returns false and, when Problem is given, describes
// what is wrong with it there (an empty Problem means nothing went wrong).
bool DecompressBlobValue(const TBlobCompression &Settings, TBlobField *Field, QByteArray &Value,
    QString *Problem = nullptr);

// The process-wide lock that serialises every compression and decompression.
QRecursiveMutex &CompressorLock();

} // namespace qd
