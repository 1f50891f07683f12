// A byte stream that values are written to and read from.
//
// Reads are all-or-nothing: a read that cannot be satisfied in full takes nothing and
// returns false, so a decoder never sees half a field. Remaining() is what a reader checks
// every length against before it allocates. Streams are not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>

class IBaseStream {
public:
    virtual ~IBaseStream() = default;

    // Appends `size` bytes; false (and nothing written) when the stream cannot take them.
    [[nodiscard]] virtual bool Write(const void* data, size_t size) = 0;
    // Takes exactly `size` bytes; false (and nothing taken) when fewer remain.
    [[nodiscard]] virtual bool Read(void* data, size_t size) = 0;
    // Bytes that Read can still deliver.
    virtual uint64_t Remaining() const = 0;
};
