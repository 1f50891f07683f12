// The messages between the web browser object and its engine helper process, and their
// framing on the stream socket that joins the two.
//
// Every frame is a 4-byte little-endian body length, then the body: a type byte, a
// 32-bit id, a 64-bit value (both little-endian) and the rest as UTF-8 text. The helper
// is built from this same file, so both sides always agree; the numbers still stay fixed.
// Frames come from another process: a reader refuses any frame that is too long, too
// short or of an unknown type, and the stream is then unusable (the peer is broken).
//
// No threads, no allocation beyond the strings; used on one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::webengine {

enum class MessageType : std::uint8_t {
    // Object -> helper.
    Navigate = 1,  // text: the URL
    Stop = 2,
    Refresh = 3,
    GoBack = 4,
    GoForward = 5,
    Decide = 6,      // id: the BeforeNavigate it answers; value: 1 go on, 0 cancel
    MenuAnswer = 7,  // id: the ContextMenu it answers; value: 1 the engine shows its own, 0 it shows none
    // Helper -> object.
    Ready = 64,             // value: the native window the view lives in, to be embedded
    BeforeNavigate = 65,    // id: to answer with Decide; text: the URL
    NavigateComplete = 66,  // text: the URL now shown
    DocumentComplete = 67,  // text: the URL
    TitleChange = 68,       // text: the document's title
    NavigateError = 69,     // text: the URL; value: a LoadFailure, or the HTTP status (400 to 599) of an error page
    NewWindow = 70,         // text: the URL a page wanted a new window for (always refused)
    History = 71,           // value: kCanGoBack and kCanGoForward bits
    ContextMenu = 72,       // id: to answer with MenuAnswer; value: the screen point (PackPoint)
};

enum class LoadFailure : std::int64_t {
    NotFound = 1,  // no such file, host or server
    Failed = 2,    // anything else
};

inline constexpr std::int64_t kCanGoBack = 1;
inline constexpr std::int64_t kCanGoForward = 2;

// HTTP statuses that NavigateError carries as they are.
inline constexpr std::int64_t kFirstHttpError = 400;
inline constexpr std::int64_t kLastHttpError = 599;

// A screen point in one value: x in the low 32 bits, y in the high ones.
constexpr std::int64_t PackPoint(std::int32_t x, std::int32_t y) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(y)) << 32) |
                                     static_cast<std::uint32_t>(x));
}
constexpr std::int32_t PointX(std::int64_t packed) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(packed)));
}
constexpr std::int32_t PointY(std::int64_t packed) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(packed) >> 32));
}

struct Message {
    MessageType type = MessageType::Stop;
    std::uint32_t id = 0;
    std::int64_t value = 0;
    std::string text;

    bool operator==(const Message&) const = default;
};

// The largest body a reader accepts: far above any URL or title a page has.
inline constexpr std::size_t kMaxBodySize = 1 << 20;

// The whole frame of `message`. Text beyond kMaxBodySize is cut (at a character boundary)
// so that a frame is never refused for its length.
std::string EncodeMessage(const Message& message);

// Gathers frames from stream bytes in any pieces.
class MessageReader {
public:
    enum class Result { Message, NeedMore, Malformed };

    void Feed(std::string_view bytes);
    // The next whole message into `out`. Malformed stays the answer from then on.
    [[nodiscard]] Result Next(Message* out);

private:
    std::string m_buffer;
    std::size_t m_start = 0;
    bool m_broken = false;
};

}  // namespace platform::webengine
