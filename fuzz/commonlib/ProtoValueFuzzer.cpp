// Feeds arbitrary bytes to the value reader. Whatever it accepts must be canonical: written
// back, it gives the same bytes, and the stream reader must agree with the buffer reader.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "commonlib/core/MemoryStream.h"
#include "commonlib/core/ProtoValueStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ProtoValue value;
    const ProtoDecodeError error = DecodeProtoValue(bytes, value);

    CMemoryReadStream stream(bytes);
    ProtoValue streamed;
    const ProtoDecodeError streamError = ReadProtoValue(stream, streamed);
    if (error == ProtoDecodeError::None) {
        if (streamError != ProtoDecodeError::None || stream.Remaining() != 0) std::abort();
    } else if (error != ProtoDecodeError::TrailingBytes && streamError != error) {
        std::abort();
    }
    if (error != ProtoDecodeError::None) return 0;

    std::string again;
    if (!EncodeProtoValue(value, again) || again != bytes) std::abort();
    return 0;
}
