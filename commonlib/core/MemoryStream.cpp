#include "commonlib/core/MemoryStream.h"

#include <cstring>
#include <utility>

bool CMemoryStream::Write(const void* data, size_t size) {
    if (size == 0) return true;
    m_buffer.append(static_cast<const char*>(data), size);
    return true;
}

bool CMemoryStream::Read(void* data, size_t size) {
    if (size > m_buffer.size() - m_readPos) return false;
    if (size != 0) std::memcpy(data, m_buffer.data() + m_readPos, size);
    m_readPos += size;
    return true;
}

std::string CMemoryStream::Release() {
    std::string out = std::move(m_buffer);
    m_buffer.clear();
    m_readPos = 0;
    return out;
}

bool CMemoryReadStream::Read(void* data, size_t size) {
    if (size > m_bytes.size() - m_pos) return false;
    if (size != 0) std::memcpy(data, m_bytes.data() + m_pos, size);
    m_pos += size;
    return true;
}
