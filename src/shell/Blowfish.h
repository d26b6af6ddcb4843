#pragma once

#include <QtGlobal>

namespace qd {

// State of one Blowfish operation: the key schedule's P-array and S-boxes and the CFB-8
// feedback register. Keep it on the stack and BlowfishBurn it when done.
struct TBlowfishContext {
    quint8 IV[8];
    quint8 Feedback[8];
    quint32 S[4][256];
    quint32 P[18];
};

// Runs the standard key schedule over key[0..keyLength). The IV (8 bytes) seeds the feedback
// register; without one both are zero. Raises Exception when keyLength is outside 1..56.
void BlowfishInit(
    TBlowfishContext &context, const quint8 *key, int keyLength, const quint8 *iv = nullptr);

// Encrypts one 8-byte block (16 rounds). Blowfish decryption is never needed: CFB runs the
// cipher forwards in both directions.
void BlowfishEncryptBlock(const TBlowfishContext &context, const quint8 *input, quint8 *output);

// 8-bit cipher feedback over length bytes. Input and output may be the same buffer; the
// feedback register carries over from one call to the next.
void BlowfishEncryptCFB8(
    TBlowfishContext &context, const quint8 *input, quint8 *output, qsizetype length);
void BlowfishDecryptCFB8(
    TBlowfishContext &context, const quint8 *input, quint8 *output, qsizetype length);

// Overwrites the whole context with zero bytes, in a way the compiler may not drop.
void BlowfishBurn(TBlowfishContext &context);

} // namespace qd
