#include "commonlib/util/ProtoValueJsonConvertor.h"

#include <json/json.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "platform/strings/StringConv.h"

namespace {

Json::Value ToJson(const ProtoValue& value) {
    using Type = ProtoValue::Type;
    switch (value.type()) {
        case Type::Null:
            return Json::Value();
        case Type::Integer:
            return Json::Value(static_cast<Json::Int64>(value.integer()));
        case Type::Real:
            return std::isfinite(value.real()) ? Json::Value(value.real()) : Json::Value();
        case Type::NarrowString:
            return Json::Value(value.narrowString());
        case Type::String:
            return Json::Value(platform::Utf8FromWide(value.string()));
        case Type::Array: {
            Json::Value out(Json::arrayValue);
            for (const ProtoValue& item : value.array())
                out.append(ToJson(item));
            return out;
        }
        case Type::Map: {
            Json::Value out(Json::objectValue);
            for (const auto& [key, item] : value.map())
                out[platform::Utf8FromWide(key)] = ToJson(item);
            return out;
        }
    }
    return Json::Value();
}

}  // namespace

std::wstring ProtoValueToJsonText(const ProtoValue& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    // Characters stay as they are instead of \u escapes; the caller widens the text anyway.
    builder["emitUTF8"] = true;
    const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
    std::ostringstream text;
    writer->write(ToJson(value), &text);
    return platform::WideFromUtf8(text.str());
}
