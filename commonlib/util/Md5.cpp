#include "commonlib/util/Md5.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace {

// The file is read in large blocks so that the 1024-byte pieces do not turn into
// 1024-byte system calls; the pieces only pace the progress updates.
constexpr size_t kReadBlock = 256 * 1024;
constexpr size_t kProgressPiece = 1024;

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

inline uint32_t Rotl(uint32_t x, int s) {
    return (x << s) | (x >> (32 - s));
}

// One 64-byte block per iteration; the rounds are written out so the compiler keeps the
// state and the sixteen message words in registers.
void Transform(uint32_t state[4], const uint8_t* data, size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks != 0; --blocks, data += 64) {
        const uint32_t x0 = Load32(data), x1 = Load32(data + 4), x2 = Load32(data + 8), x3 = Load32(data + 12),
                       x4 = Load32(data + 16), x5 = Load32(data + 20), x6 = Load32(data + 24), x7 = Load32(data + 28),
                       x8 = Load32(data + 32), x9 = Load32(data + 36), x10 = Load32(data + 40), x11 = Load32(data + 44),
                       x12 = Load32(data + 48), x13 = Load32(data + 52), x14 = Load32(data + 56),
                       x15 = Load32(data + 60);
        const uint32_t sa = a, sb = b, sc = c, sd = d;

#define XJ_MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
// (x & z) | (y & ~z), with the two halves disjoint so an add can join them off the critical path.
#define XJ_MD5_G(x, y, z) (((x) & (z)) + ((y) & ~(z)))
#define XJ_MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define XJ_MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define XJ_MD5_STEP(f, w, x, y, z, m, k, s) \
    w += f(x, y, z) + (m) + (k);            \
    w = Rotl(w, s) + (x)

        XJ_MD5_STEP(XJ_MD5_F, a, b, c, d, x0, 0xd76aa478, 7);
        XJ_MD5_STEP(XJ_MD5_F, d, a, b, c, x1, 0xe8c7b756, 12);
        XJ_MD5_STEP(XJ_MD5_F, c, d, a, b, x2, 0x242070db, 17);
        XJ_MD5_STEP(XJ_MD5_F, b, c, d, a, x3, 0xc1bdceee, 22);
        XJ_MD5_STEP(XJ_MD5_F, a, b, c, d, x4, 0xf57c0faf, 7);
        XJ_MD5_STEP(XJ_MD5_F, d, a, b, c, x5, 0x4787c62a, 12);
        XJ_MD5_STEP(XJ_MD5_F, c, d, a, b, x6, 0xa8304613, 17);
        XJ_MD5_STEP(XJ_MD5_F, b, c, d, a, x7, 0xfd469501, 22);
        XJ_MD5_STEP(XJ_MD5_F, a, b, c, d, x8, 0x698098d8, 7);
        XJ_MD5_STEP(XJ_MD5_F, d, a, b, c, x9, 0x8b44f7af, 12);
        XJ_MD5_STEP(XJ_MD5_F, c, d, a, b, x10, 0xffff5bb1, 17);
        XJ_MD5_STEP(XJ_MD5_F, b, c, d, a, x11, 0x895cd7be, 22);
        XJ_MD5_STEP(XJ_MD5_F, a, b, c, d, x12, 0x6b901122, 7);
        XJ_MD5_STEP(XJ_MD5_F, d, a, b, c, x13, 0xfd987193, 12);
        XJ_MD5_STEP(XJ_MD5_F, c, d, a, b, x14, 0xa679438e, 17);
        XJ_MD5_STEP(XJ_MD5_F, b, c, d, a, x15, 0x49b40821, 22);

        XJ_MD5_STEP(XJ_MD5_G, a, b, c, d, x1, 0xf61e2562, 5);
        XJ_MD5_STEP(XJ_MD5_G, d, a, b, c, x6, 0xc040b340, 9);
        XJ_MD5_STEP(XJ_MD5_G, c, d, a, b, x11, 0x265e5a51, 14);
        XJ_MD5_STEP(XJ_MD5_G, b, c, d, a, x0, 0xe9b6c7aa, 20);
        XJ_MD5_STEP(XJ_MD5_G, a, b, c, d, x5, 0xd62f105d, 5);
        XJ_MD5_STEP(XJ_MD5_G, d, a, b, c, x10, 0x02441453, 9);
        XJ_MD5_STEP(XJ_MD5_G, c, d, a, b, x15, 0xd8a1e681, 14);
        XJ_MD5_STEP(XJ_MD5_G, b, c, d, a, x4, 0xe7d3fbc8, 20);
        XJ_MD5_STEP(XJ_MD5_G, a, b, c, d, x9, 0x21e1cde6, 5);
        XJ_MD5_STEP(XJ_MD5_G, d, a, b, c, x14, 0xc33707d6, 9);
        XJ_MD5_STEP(XJ_MD5_G, c, d, a, b, x3, 0xf4d50d87, 14);
        XJ_MD5_STEP(XJ_MD5_G, b, c, d, a, x8, 0x455a14ed, 20);
        XJ_MD5_STEP(XJ_MD5_G, a, b, c, d, x13, 0xa9e3e905, 5);
        XJ_MD5_STEP(XJ_MD5_G, d, a, b, c, x2, 0xfcefa3f8, 9);
        XJ_MD5_STEP(XJ_MD5_G, c, d, a, b, x7, 0x676f02d9, 14);
        XJ_MD5_STEP(XJ_MD5_G, b, c, d, a, x12, 0x8d2a4c8a, 20);

        XJ_MD5_STEP(XJ_MD5_H, a, b, c, d, x5, 0xfffa3942, 4);
        XJ_MD5_STEP(XJ_MD5_H, d, a, b, c, x8, 0x8771f681, 11);
        XJ_MD5_STEP(XJ_MD5_H, c, d, a, b, x11, 0x6d9d6122, 16);
        XJ_MD5_STEP(XJ_MD5_H, b, c, d, a, x14, 0xfde5380c, 23);
        XJ_MD5_STEP(XJ_MD5_H, a, b, c, d, x1, 0xa4beea44, 4);
        XJ_MD5_STEP(XJ_MD5_H, d, a, b, c, x4, 0x4bdecfa9, 11);
        XJ_MD5_STEP(XJ_MD5_H, c, d, a, b, x7, 0xf6bb4b60, 16);
        XJ_MD5_STEP(XJ_MD5_H, b, c, d, a, x10, 0xbebfbc70, 23);
        XJ_MD5_STEP(XJ_MD5_H, a, b, c, d, x13, 0x289b7ec6, 4);
        XJ_MD5_STEP(XJ_MD5_H, d, a, b, c, x0, 0xeaa127fa, 11);
        XJ_MD5_STEP(XJ_MD5_H, c, d, a, b, x3, 0xd4ef3085, 16);
        XJ_MD5_STEP(XJ_MD5_H, b, c, d, a, x6, 0x04881d05, 23);
        XJ_MD5_STEP(XJ_MD5_H, a, b, c, d, x9, 0xd9d4d039, 4);
        XJ_MD5_STEP(XJ_MD5_H, d, a, b, c, x12, 0xe6db99e5, 11);
        XJ_MD5_STEP(XJ_MD5_H, c, d, a, b, x15, 0x1fa27cf8, 16);
        XJ_MD5_STEP(XJ_MD5_H, b, c, d, a, x2, 0xc4ac5665, 23);

        XJ_MD5_STEP(XJ_MD5_I, a, b, c, d, x0, 0xf4292244, 6);
        XJ_MD5_STEP(XJ_MD5_I, d, a, b, c, x7, 0x432aff97, 10);
        XJ_MD5_STEP(XJ_MD5_I, c, d, a, b, x14, 0xab9423a7, 15);
        XJ_MD5_STEP(XJ_MD5_I, b, c, d, a, x5, 0xfc93a039, 21);
        XJ_MD5_STEP(XJ_MD5_I, a, b, c, d, x12, 0x655b59c3, 6);
        XJ_MD5_STEP(XJ_MD5_I, d, a, b, c, x3, 0x8f0ccc92, 10);
        XJ_MD5_STEP(XJ_MD5_I, c, d, a, b, x10, 0xffeff47d, 15);
        XJ_MD5_STEP(XJ_MD5_I, b, c, d, a, x1, 0x85845dd1, 21);
        XJ_MD5_STEP(XJ_MD5_I, a, b, c, d, x8, 0x6fa87e4f, 6);
        XJ_MD5_STEP(XJ_MD5_I, d, a, b, c, x15, 0xfe2ce6e0, 10);
        XJ_MD5_STEP(XJ_MD5_I, c, d, a, b, x6, 0xa3014314, 15);
        XJ_MD5_STEP(XJ_MD5_I, b, c, d, a, x13, 0x4e0811a1, 21);
        XJ_MD5_STEP(XJ_MD5_I, a, b, c, d, x4, 0xf7537e82, 6);
        XJ_MD5_STEP(XJ_MD5_I, d, a, b, c, x11, 0xbd3af235, 10);
        XJ_MD5_STEP(XJ_MD5_I, c, d, a, b, x2, 0x2ad7d2bb, 15);
        XJ_MD5_STEP(XJ_MD5_I, b, c, d, a, x9, 0xeb86d391, 21);

#undef XJ_MD5_STEP
#undef XJ_MD5_I
#undef XJ_MD5_H
#undef XJ_MD5_G
#undef XJ_MD5_F

        a += sa;
        b += sb;
        c += sc;
        d += sd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

int PercentOf(uint64_t done, int64_t total) {
    if (total <= 0) return 0;
    if (done >= static_cast<uint64_t>(total)) return 100;
    return static_cast<int>(static_cast<unsigned __int128>(done) * 100 / static_cast<uint64_t>(total));
}

template <class Char>
std::basic_string<Char> HexOf(const uint8_t (&digest)[16], bool ok) {
    if (!ok) return {};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::basic_string<Char> out(32, Char('0'));
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = static_cast<Char>(kDigits[digest[i] >> 4]);
        out[2 * i + 1] = static_cast<Char>(kDigits[digest[i] & 0x0F]);
    }
    return out;
}

}  // namespace

std::atomic<int64_t>& Md5SharedFileSize() {
    static std::atomic<int64_t> size{0};
    return size;
}

std::atomic<int>& Md5SharedPercent() {
    static std::atomic<int> percent{0};
    return percent;
}

MD5::MD5(std::FILE* stream) : m_state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {
    std::atomic<int>& percent = Md5SharedPercent();
    if (stream) {
        const int64_t total = Md5SharedFileSize().load(std::memory_order_relaxed);
        auto block = std::make_unique_for_overwrite<uint8_t[]>(kReadBlock);
        uint64_t done = 0;
        bool failed = false;
        for (;;) {
            const size_t got = std::fread(block.get(), 1, kReadBlock, stream);
            for (size_t offset = 0; offset < got; offset += kProgressPiece) {
                const size_t piece = std::min(kProgressPiece, got - offset);
                Update(block.get() + offset, piece);
                done += piece;
                percent.store(PercentOf(done, total), std::memory_order_relaxed);
            }
            if (got < kReadBlock) {
                failed = std::ferror(stream) != 0;
                break;
            }
        }
        std::fclose(stream);
        if (!failed) Finalize();
    }
    percent.store(100, std::memory_order_relaxed);
}

MD5::MD5(const void* buffer, size_t length) : m_state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {
    if (!buffer && length != 0) return;  // no bytes to digest: leave the digest failed
    if (length != 0) Update(static_cast<const uint8_t*>(buffer), length);
    Finalize();
}

void MD5::Update(const uint8_t* data, size_t length) {
    size_t buffered = static_cast<size_t>(m_length % 64);
    m_length += length;
    if (buffered != 0) {
        const size_t take = std::min(length, 64 - buffered);
        std::memcpy(m_buffer + buffered, data, take);
        data += take;
        length -= take;
        if (buffered + take < 64) return;
        Transform(m_state, m_buffer, 1);
    }
    if (length >= 64) {
        Transform(m_state, data, length / 64);
        data += length / 64 * 64;
        length %= 64;
    }
    if (length != 0) std::memcpy(m_buffer, data, length);
}

void MD5::Finalize() {
    const uint64_t bits = m_length * 8;
    uint8_t tail[72] = {0x80};
    const size_t buffered = static_cast<size_t>(m_length % 64);
    const size_t padding = (buffered < 56 ? 56 : 120) - buffered;
    for (int i = 0; i < 8; ++i)
        tail[padding + i] = static_cast<uint8_t>(bits >> (8 * i));
    Update(tail, padding + 8);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            m_digest[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (8 * j));
    }
    m_ok = true;
}

std::string MD5::hex_digest() const {
    return HexOf<char>(m_digest, m_ok);
}

std::wstring MD5::hex_digestW() const {
    return HexOf<wchar_t>(m_digest, m_ok);
}
