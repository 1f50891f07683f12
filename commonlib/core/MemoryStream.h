// Streams over memory, for building a value's bytes before they go to a file or the wire
// and for decoding bytes that were read in whole.
//
// CMemoryStream owns a growing buffer: writes append at its end, reads consume from its front.
// CMemoryReadStream reads borrowed bytes, which must outlive it; it refuses writes.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "commonlib/core/BaseStream.h"

class CMemoryStream final : public IBaseStream {
public:
    CMemoryStream() = default;
    explicit CMemoryStream(std::string bytes) : m_buffer(std::move(bytes)) {}

    [[nodiscard]] bool Write(const void* data, size_t size) override;
    [[nodiscard]] bool Read(void* data, size_t size) override;
    uint64_t Remaining() const override { return m_buffer.size() - m_readPos; }

    // Everything written, including bytes already read.
    const std::string& Buffer() const { return m_buffer; }
    // Hands the buffer over and leaves the stream empty.
    std::string Release();

private:
    std::string m_buffer;
    size_t m_readPos = 0;
};

class CMemoryReadStream final : public IBaseStream {
public:
    explicit CMemoryReadStream(std::string_view bytes) : m_bytes(bytes) {}

    [[nodiscard]] bool Write(const void*, size_t) override { return false; }
    [[nodiscard]] bool Read(void* data, size_t size) override;
    uint64_t Remaining() const override { return m_bytes.size() - m_pos; }

    size_t Position() const { return m_pos; }

private:
    std::string_view m_bytes;
    size_t m_pos = 0;
};
