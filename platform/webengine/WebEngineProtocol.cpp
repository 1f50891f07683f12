#include "platform/webengine/WebEngineProtocol.h"

namespace platform::webengine {

namespace {

constexpr std::size_t kHeaderSize = 1 + 4 + 8;

void PutLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t GetLittleEndian(std::string_view bytes, std::size_t at, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

bool KnownType(std::uint8_t type) {
    return (type >= static_cast<std::uint8_t>(MessageType::Navigate) &&
            type <= static_cast<std::uint8_t>(MessageType::MenuAnswer)) ||
           (type >= static_cast<std::uint8_t>(MessageType::Ready) &&
            type <= static_cast<std::uint8_t>(MessageType::ContextMenu));
}

// The longest prefix of `text` within `limit` bytes that does not split a UTF-8 character.
std::string_view FitText(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

}  // namespace

std::string EncodeMessage(const Message& message) {
    const std::string_view text = FitText(message.text, kMaxBodySize - kHeaderSize);
    std::string frame;
    frame.reserve(4 + kHeaderSize + text.size());
    PutLittleEndian(frame, kHeaderSize + text.size(), 4);
    frame.push_back(static_cast<char>(message.type));
    PutLittleEndian(frame, message.id, 4);
    PutLittleEndian(frame, static_cast<std::uint64_t>(message.value), 8);
    frame.append(text);
    return frame;
}

void MessageReader::Feed(std::string_view bytes) {
    if (m_broken) return;
    // Consumed frames are dropped only now, so Next never moves the buffer under a caller.
    m_buffer.erase(0, m_start);
    m_start = 0;
    m_buffer.append(bytes);
}

MessageReader::Result MessageReader::Next(Message* out) {
    if (m_broken) return Result::Malformed;
    const std::string_view pending = std::string_view(m_buffer).substr(m_start);
    if (pending.size() < 4) return Result::NeedMore;
    const std::uint64_t length = GetLittleEndian(pending, 0, 4);
    const bool badType = pending.size() > 4 && !KnownType(static_cast<std::uint8_t>(pending[4]));
    if (length < kHeaderSize || length > kMaxBodySize || badType) {
        m_broken = true;
        m_buffer.clear();
        m_start = 0;
        return Result::Malformed;
    }
    if (pending.size() - 4 < length) return Result::NeedMore;
    out->type = static_cast<MessageType>(pending[4]);
    out->id = static_cast<std::uint32_t>(GetLittleEndian(pending, 5, 4));
    out->value = static_cast<std::int64_t>(GetLittleEndian(pending, 9, 8));
    out->text.assign(pending.substr(4 + kHeaderSize, length - kHeaderSize));
    m_start += 4 + length;
    return Result::Message;
}

}  // namespace platform::webengine
