// The binary form of a ProtoValue, as the resume file and other stored values use it.
//
//   value         := type byte, payload (type bytes are ProtoValue::Type's numbers)
//   Null (0)         no payload
//   Integer (1)      varint of the zigzag form (n << 1) ^ (n >> 63), so small negatives stay short
//   Real (2)         the 8 bytes of the IEEE 754 double, least significant first
//   NarrowString (3) varint byte count, the bytes
//   String (4)       varint count of UTF-16 code units, the units in UTF-16LE
//   Array (5)        varint element count, the elements
//   Map (6)          varint entry count, then per entry the key (as a String payload) and the value;
//                    keys strictly ascending in UTF-16 code-unit order
//   varint        := unsigned base 128, low group first, high bit set on all but the last byte;
//                    at most 10 bytes and never longer than needed
//
// The format carries no version of its own; a file built on it keeps a version key inside
// its map. Containers nest at most kMaxProtoValueDepth deep.
//
// Reading treats the bytes as hostile: any violation fails with an error code, the output
// value is untouched, nothing is read past the input and no allocation is sized by a count
// that the remaining input could not hold. Every function here is reentrant.
#pragma once

#include <string>
#include <string_view>

#include "commonlib/core/BaseStream.h"
#include "commonlib/core/ProtoValue.h"

inline constexpr int kMaxProtoValueDepth = 64;

enum class ProtoDecodeError : int {
    None = 0,
    Truncated = 1,      // the input ends inside a value
    UnknownType = 2,    // a type byte outside ProtoValue::Type
    BadVarint = 3,      // longer than 10 bytes, past 64 bits, or not minimal
    LengthPastEnd = 4,  // a length or count larger than the remaining input can hold
    TooDeep = 5,        // containers nested past kMaxProtoValueDepth
    BadUtf16 = 6,       // a string or key with an unpaired surrogate
    KeyOrder = 7,       // map keys not strictly ascending (also duplicates)
    TrailingBytes = 8,  // bytes left after the value where the whole input was one value
};

const char* ProtoDecodeErrorText(ProtoDecodeError error);

// The value's bytes; false (and `out` unchanged) when it nests deeper than the reader accepts.
[[nodiscard]] bool EncodeProtoValue(const ProtoValue& value, std::string& out);
// Decodes `bytes` as exactly one value.
[[nodiscard]] ProtoDecodeError DecodeProtoValue(std::string_view bytes, ProtoValue& out);

// Writes one value in a single stream write; false when it nests too deep or the stream
// refuses the bytes (the stream is then unchanged).
[[nodiscard]] bool WriteProtoValue(IBaseStream& stream, const ProtoValue& value);
// Reads one value from the stream's current position; bytes after it stay in the stream.
// On failure the stream's position is unspecified.
[[nodiscard]] ProtoDecodeError ReadProtoValue(IBaseStream& stream, ProtoValue& out);
