// MD5 digests of byte buffers and of whole files (C streams).
//
// The stream form is what the install worker uses to check the downloaded installer: it
// publishes its progress in the process-wide MD5 percent, computed against the process-wide
// file size that the caller sets beforehand. The UI thread polls the percent while a worker
// thread computes; both values are atomics, so any thread may read or write them.
//
// A digest that could not be computed (a null stream, a read error) has no hex text: the
// hex accessors return an empty string, which never equals a real digest.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The size the stream digest divides by; 0 or negative means unknown.
std::atomic<int64_t>& Md5SharedFileSize();
// 0 to 100; 100 once a stream digest has ended.
std::atomic<int>& Md5SharedPercent();

class MD5 {
public:
    // Digests the stream to its end, then closes it (also on failure). Reads in pieces of
    // 1024 bytes, updating the shared percent after each.
    explicit MD5(std::FILE* stream);
    MD5(const void* buffer, size_t length);

    // 32 lower-case hexadecimal characters, or empty when the digest failed.
    std::string hex_digest() const;
    std::wstring hex_digestW() const;

private:
    void Update(const uint8_t* data, size_t length);
    void Finalize();

    uint32_t m_state[4];
    uint64_t m_length = 0;  // bytes fed so far
    uint8_t m_buffer[64];   // a partial block waiting for more input
    uint8_t m_digest[16] = {};
    bool m_ok = false;
};
