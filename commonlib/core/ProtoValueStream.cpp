#include "commonlib/core/ProtoValueStream.h"

#include <bit>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// Decoding input held in memory: the fast path for whole buffers.
class SpanSource {
public:
    explicit SpanSource(std::string_view bytes)
        : m_pos(reinterpret_cast<const uint8_t*>(bytes.data())), m_end(m_pos + bytes.size()) {}

    uint64_t Remaining() const { return static_cast<uint64_t>(m_end - m_pos); }
    bool ReadByte(uint8_t& out) {
        if (m_pos == m_end) return false;
        out = *m_pos++;
        return true;
    }
    bool Read(void* data, size_t size) {
        if (size > Remaining()) return false;
        if (size != 0) std::memcpy(data, m_pos, size);
        m_pos += size;
        return true;
    }
    // The next `size` bytes in place; null when fewer remain.
    const uint8_t* Take(size_t size, std::string&) {
        if (size > Remaining()) return nullptr;
        const uint8_t* bytes = m_pos;
        m_pos += size;
        return bytes;
    }

private:
    const uint8_t* m_pos;
    const uint8_t* m_end;
};

class StreamSource {
public:
    explicit StreamSource(IBaseStream& stream) : m_stream(stream) {}

    uint64_t Remaining() const { return m_stream.Remaining(); }
    bool ReadByte(uint8_t& out) { return m_stream.Read(&out, 1); }
    bool Read(void* data, size_t size) { return m_stream.Read(data, size); }
    // The next `size` bytes, copied into `scratch`; null when fewer remain.
    const uint8_t* Take(size_t size, std::string& scratch) {
        scratch.resize(size);
        if (!m_stream.Read(scratch.data(), size)) return nullptr;
        return reinterpret_cast<const uint8_t*>(scratch.data());
    }

private:
    IBaseStream& m_stream;
};

void PutVarint(std::string& out, uint64_t value) {
    char buffer[10];
    size_t n = 0;
    while (value >= 0x80) {
        buffer[n++] = static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    buffer[n++] = static_cast<char>(value);
    out.append(buffer, n);
}

size_t Utf16Length(const std::wstring& text) {
    size_t units = text.size();
    for (wchar_t c : text) {
        const auto code = static_cast<uint32_t>(c);
        if (code >= 0x10000 && code <= 0x10FFFF) ++units;
    }
    return units;
}

void PutUtf16(std::string& out, const std::wstring& text) {
    PutVarint(out, Utf16Length(text));
    const size_t start = out.size();
    out.resize(start + 2 * Utf16Length(text));
    char* p = out.data() + start;
    auto put = [&p](uint32_t unit) {
        *p++ = static_cast<char>(unit & 0xFF);
        *p++ = static_cast<char>(unit >> 8);
    };
    for (wchar_t c : text) {
        const auto code = static_cast<uint32_t>(c);
        if (code < 0xD800 || (code > 0xDFFF && code < 0x10000)) {
            put(code);
        } else if (code >= 0x10000 && code <= 0x10FFFF) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(kReplacement);
        }
    }
}

// Strict: an unpaired surrogate fails, since the writer never produces one.
bool DecodeUtf16(const uint8_t* bytes, size_t units, std::wstring& out) {
    out.resize(units);
    wchar_t* text = out.data();
    size_t length = 0;
    for (size_t i = 0; i < units; ++i) {
        const uint32_t unit = bytes[2 * i] | (uint32_t{bytes[2 * i + 1]} << 8);
        if (unit < 0xD800 || unit > 0xDFFF) {
            text[length++] = static_cast<wchar_t>(unit);
            continue;
        }
        if (unit > 0xDBFF || i + 1 == units) return false;
        const uint32_t low = bytes[2 * i + 2] | (uint32_t{bytes[2 * i + 3]} << 8);
        if (low < 0xDC00 || low > 0xDFFF) return false;
        text[length++] = static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
    }
    out.resize(length);
    return true;
}

}  // namespace

// Reaches into ProtoValue for the decoder's in-order map inserts and the encoder's walk.
class ProtoValueCodec {
public:
    static bool Encode(const ProtoValue& value, std::string& out, int depth);

    template <class Source>
    static ProtoDecodeError Decode(Source& in, ProtoValue& out, int depth);

private:
    template <class Source>
    static ProtoDecodeError ReadVarint(Source& in, uint64_t& out);
    template <class Source>
    static ProtoDecodeError ReadUtf16(Source& in, std::wstring& out);
};

bool ProtoValueCodec::Encode(const ProtoValue& value, std::string& out, int depth) {
    using Type = ProtoValue::Type;
    const Type type = value.type();
    out.push_back(static_cast<char>(type));
    switch (type) {
        case Type::Null:
            return true;
        case Type::Integer: {
            const auto n = static_cast<uint64_t>(std::get<int64_t>(value.m_data));
            PutVarint(out, (n << 1) ^ (0 - (n >> 63)));
            return true;
        }
        case Type::Real: {
            uint64_t bits = std::bit_cast<uint64_t>(std::get<double>(value.m_data));
            char bytes[8];
            for (char& b : bytes) {
                b = static_cast<char>(bits & 0xFF);
                bits >>= 8;
            }
            out.append(bytes, 8);
            return true;
        }
        case Type::NarrowString: {
            const std::string& text = std::get<std::string>(value.m_data);
            PutVarint(out, text.size());
            out.append(text);
            return true;
        }
        case Type::String:
            PutUtf16(out, std::get<std::wstring>(value.m_data));
            return true;
        case Type::Array: {
            if (depth >= kMaxProtoValueDepth) return false;
            const auto& items = std::get<ProtoValue::Array>(value.m_data);
            PutVarint(out, items.size());
            for (const ProtoValue& item : items) {
                if (!Encode(item, out, depth + 1)) return false;
            }
            return true;
        }
        case Type::Map: {
            if (depth >= kMaxProtoValueDepth) return false;
            const auto& entries = std::get<ProtoValue::Map>(value.m_data);
            PutVarint(out, entries.size());
            for (const auto& [key, item] : entries) {
                PutUtf16(out, key);
                if (!Encode(item, out, depth + 1)) return false;
            }
            return true;
        }
    }
    return false;
}

template <class Source>
ProtoDecodeError ProtoValueCodec::ReadVarint(Source& in, uint64_t& out) {
    uint64_t value = 0;
    for (int i = 0; i < 10; ++i) {
        uint8_t byte = 0;
        if (!in.ReadByte(byte)) return ProtoDecodeError::Truncated;
        if (i == 9 && byte > 1) return ProtoDecodeError::BadVarint;
        value |= uint64_t{byte & 0x7Fu} << (7 * i);
        if (!(byte & 0x80)) {
            if (byte == 0 && i > 0) return ProtoDecodeError::BadVarint;
            out = value;
            return ProtoDecodeError::None;
        }
    }
    return ProtoDecodeError::BadVarint;
}

template <class Source>
ProtoDecodeError ProtoValueCodec::ReadUtf16(Source& in, std::wstring& out) {
    uint64_t units = 0;
    if (auto e = ReadVarint(in, units); e != ProtoDecodeError::None) return e;
    if (units > in.Remaining() / 2) return ProtoDecodeError::LengthPastEnd;
    std::string scratch;
    const uint8_t* bytes = in.Take(static_cast<size_t>(units) * 2, scratch);
    if (!bytes) return ProtoDecodeError::Truncated;
    return DecodeUtf16(bytes, static_cast<size_t>(units), out) ? ProtoDecodeError::None : ProtoDecodeError::BadUtf16;
}

template <class Source>
ProtoDecodeError ProtoValueCodec::Decode(Source& in, ProtoValue& out, int depth) {
    using Type = ProtoValue::Type;
    using E = ProtoDecodeError;
    uint8_t typeByte = 0;
    if (!in.ReadByte(typeByte)) return E::Truncated;
    if (typeByte > static_cast<uint8_t>(Type::Map)) return E::UnknownType;
    switch (static_cast<Type>(typeByte)) {
        case Type::Null:
            out.m_data = std::monostate{};
            return E::None;
        case Type::Integer: {
            uint64_t z = 0;
            if (auto e = ReadVarint(in, z); e != E::None) return e;
            out.m_data = static_cast<int64_t>((z >> 1) ^ (0 - (z & 1)));
            return E::None;
        }
        case Type::Real: {
            uint8_t bytes[8];
            if (!in.Read(bytes, 8)) return E::Truncated;
            uint64_t bits = 0;
            for (int i = 7; i >= 0; --i)
                bits = (bits << 8) | bytes[i];
            out.m_data = std::bit_cast<double>(bits);
            return E::None;
        }
        case Type::NarrowString: {
            uint64_t size = 0;
            if (auto e = ReadVarint(in, size); e != E::None) return e;
            if (size > in.Remaining()) return E::LengthPastEnd;
            std::string text(static_cast<size_t>(size), '\0');
            if (!in.Read(text.data(), text.size())) return E::Truncated;
            out.m_data = std::move(text);
            return E::None;
        }
        case Type::String: {
            std::wstring text;
            if (auto e = ReadUtf16(in, text); e != E::None) return e;
            out.m_data = std::move(text);
            return E::None;
        }
        case Type::Array: {
            if (depth >= kMaxProtoValueDepth) return E::TooDeep;
            uint64_t count = 0;
            if (auto e = ReadVarint(in, count); e != E::None) return e;
            // Every element takes at least its type byte. No reserve by the count: nested
            // arrays could each claim the whole rest of the input, and memory must stay in
            // proportion to what was actually read.
            if (count > in.Remaining()) return E::LengthPastEnd;
            ProtoValue::Array items;
            for (uint64_t i = 0; i < count; ++i) {
                if (auto e = Decode(in, items.emplace_back(), depth + 1); e != E::None) return e;
            }
            out.m_data = std::move(items);
            return E::None;
        }
        case Type::Map: {
            if (depth >= kMaxProtoValueDepth) return E::TooDeep;
            uint64_t count = 0;
            if (auto e = ReadVarint(in, count); e != E::None) return e;
            // Every entry takes at least a key length and a type byte.
            if (count > in.Remaining() / 2) return E::LengthPastEnd;
            ProtoValue::Map entries;
            const ProtoValue::KeyLess less;
            std::wstring key;
            for (uint64_t i = 0; i < count; ++i) {
                if (auto e = ReadUtf16(in, key); e != E::None) return e;
                if (!entries.empty() && !less(entries.rbegin()->first, key)) return E::KeyOrder;
                auto it = entries.emplace_hint(entries.end(), std::move(key), ProtoValue());
                if (auto e = Decode(in, it->second, depth + 1); e != E::None) return e;
            }
            out.m_data = std::move(entries);
            return E::None;
        }
    }
    return E::UnknownType;
}

const char* ProtoDecodeErrorText(ProtoDecodeError error) {
    switch (error) {
        case ProtoDecodeError::None:
            return "no error";
        case ProtoDecodeError::Truncated:
            return "input ends inside a value";
        case ProtoDecodeError::UnknownType:
            return "unknown type byte";
        case ProtoDecodeError::BadVarint:
            return "malformed varint";
        case ProtoDecodeError::LengthPastEnd:
            return "length past the end of the input";
        case ProtoDecodeError::TooDeep:
            return "values nested too deep";
        case ProtoDecodeError::BadUtf16:
            return "unpaired surrogate in a string";
        case ProtoDecodeError::KeyOrder:
            return "map keys out of order";
        case ProtoDecodeError::TrailingBytes:
            return "bytes after the value";
    }
    return "unknown error";
}

bool EncodeProtoValue(const ProtoValue& value, std::string& out) {
    std::string bytes;
    if (!ProtoValueCodec::Encode(value, bytes, 0)) return false;
    out = std::move(bytes);
    return true;
}

ProtoDecodeError DecodeProtoValue(std::string_view bytes, ProtoValue& out) {
    SpanSource in(bytes);
    ProtoValue value;
    if (auto e = ProtoValueCodec::Decode(in, value, 0); e != ProtoDecodeError::None) return e;
    if (in.Remaining() != 0) return ProtoDecodeError::TrailingBytes;
    out = std::move(value);
    return ProtoDecodeError::None;
}

bool WriteProtoValue(IBaseStream& stream, const ProtoValue& value) {
    std::string bytes;
    if (!ProtoValueCodec::Encode(value, bytes, 0)) return false;
    return stream.Write(bytes.data(), bytes.size());
}

ProtoDecodeError ReadProtoValue(IBaseStream& stream, ProtoValue& out) {
    StreamSource in(stream);
    ProtoValue value;
    if (auto e = ProtoValueCodec::Decode(in, value, 0); e != ProtoDecodeError::None) return e;
    out = std::move(value);
    return ProtoDecodeError::None;
}
