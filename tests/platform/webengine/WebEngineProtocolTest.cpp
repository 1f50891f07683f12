#include "platform/webengine/WebEngineProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::webengine::EncodeMessage;
using platform::webengine::kMaxBodySize;
using platform::webengine::Message;
using platform::webengine::MessageReader;
using platform::webengine::MessageType;

namespace {

std::vector<Message> ReadAll(MessageReader& reader, MessageReader::Result* last) {
    std::vector<Message> messages;
    Message message;
    while ((*last = reader.Next(&message)) == MessageReader::Result::Message)
        messages.push_back(message);
    return messages;
}

std::string Frame(std::uint32_t length, std::uint8_t type, std::string rest = {}) {
    std::string frame;
    for (int i = 0; i < 4; ++i)
        frame.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
    frame.push_back(static_cast<char>(type));
    return frame + rest;
}

}  // namespace

TEST(WebEngineProtocolTest, MessagesSurviveAnySplitOfTheStream) {
    const std::vector<Message> sent = {
        {MessageType::Ready, 0, 0x1E00003, ""},
        {MessageType::BeforeNavigate, 7, 0, "http://127.0.0.1:8080/页面?q=1"},
        {MessageType::NavigateError, 0, -2, "file:///nowhere"},
        {MessageType::Decide, 4294967295u, 1, ""},
        {MessageType::ContextMenu, 9, platform::webengine::PackPoint(-20, 1080), ""},
        {MessageType::MenuAnswer, 9, 0, ""},
    };
    std::string stream;
    for (const Message& message : sent)
        stream += EncodeMessage(message);
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{16}, stream.size()}) {
        SCOPED_TRACE(piece);
        MessageReader reader;
        std::vector<Message> received;
        MessageReader::Result last = MessageReader::Result::NeedMore;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.Feed(std::string_view(stream).substr(at, piece));
            const auto got = ReadAll(reader, &last);
            received.insert(received.end(), got.begin(), got.end());
            EXPECT_EQ(last, MessageReader::Result::NeedMore);
        }
        EXPECT_EQ(received, sent);
    }
    // A text too long for a frame is cut at a character boundary, never refused.
    std::string longTitle = "x";
    while (longTitle.size() <= kMaxBodySize)
        longTitle += "页";
    MessageReader reader;
    reader.Feed(EncodeMessage(Message{MessageType::TitleChange, 0, 0, longTitle}));
    Message title;
    ASSERT_EQ(reader.Next(&title), MessageReader::Result::Message);
    EXPECT_LT(title.text.size(), kMaxBodySize);
    EXPECT_EQ(title.text.substr(0, 1), "x");
    EXPECT_EQ((title.text.size() - 1) % 3, 0u) << "a character was split";
}

TEST(WebEngineProtocolTest, RefusesMalformedFramesForGood) {
    const struct {
        const char* why;
        std::string bytes;
    } cases[] = {
        {"body shorter than its header", Frame(5, 1, std::string(4, '\0'))},
        {"body longer than allowed", Frame(kMaxBodySize + 1, 1)},
        {"unknown type", Frame(13, 0x30, std::string(12, '\0'))},
        {"type between the two ranges", Frame(13, 8, std::string(12, '\0'))},
        {"type past the helper's range", Frame(13, 73, std::string(12, '\0'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        MessageReader reader;
        reader.Feed(c.bytes);
        Message message;
        EXPECT_EQ(reader.Next(&message), MessageReader::Result::Malformed);
        reader.Feed(EncodeMessage(Message{MessageType::Stop, 0, 0, ""}));
        EXPECT_EQ(reader.Next(&message), MessageReader::Result::Malformed);
    }
}

TEST(WebEngineProtocolTest, APointKeepsItsSignsInOneValue) {
    using platform::webengine::PackPoint;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{-1, 5}, std::pair{1920, -1}, std::pair{-32768, -70000}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        EXPECT_EQ(platform::webengine::PointX(PackPoint(x, y)), x);
        EXPECT_EQ(platform::webengine::PointY(PackPoint(x, y)), y);
    }
}
