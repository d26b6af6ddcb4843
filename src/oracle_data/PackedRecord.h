#pragma once

// The packed form of a stored record: the record header, one presence bit per stored field
// (set: the field has a value), then each field's value at its stored offset. Texts are not
// kept in the slot: the slot holds a pointer to a zero-terminated copy in the record store's
// text heap (TRecordDataList::HoldText), so a slot keeps a fixed size whatever the text.

#include "OracleRecordStore.h"

#include <cstring>

namespace qd::PackedRecord {

// The presence bits start right after the header.
constexpr int NullBitsOffset = static_cast<int>(sizeof(TRecordHeader));

// Bytes of presence bits for this many fields.
constexpr int NullBytes(int fields)
{
    return (fields + 7) / 8;
}

inline bool IsPresent(const char *record, int bit)
{
    return (record[NullBitsOffset + bit / 8] >> (bit % 8)) & 1;
}

inline void SetPresent(char *record, int bit, bool present)
{
    const char mask = static_cast<char>(1 << (bit % 8));
    char &bits = record[NullBitsOffset + bit / 8];
    bits = present ? static_cast<char>(bits | mask) : static_cast<char>(bits & ~mask);
}

// The held text a slot points to (null when none was stored).
inline const char *Text(const char *record, int offset)
{
    const char *text = nullptr;
    std::memcpy(&text, record + offset, sizeof text);
    return text;
}

inline void SetText(char *record, int offset, const char *held)
{
    std::memcpy(record + offset, &held, sizeof held);
}

// Bytes a text takes in the slot.
constexpr int TextSlotSize = static_cast<int>(sizeof(const char *));

} // namespace qd::PackedRecord
