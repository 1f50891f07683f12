#include "commonlib/core/ProtoValue.h"

#include "platform/strings/StringConv.h"

namespace {

bool IsUtf16Encodable(wchar_t c) {
    const auto code = static_cast<uint32_t>(c);
    return code < 0xD800 || (code > 0xDFFF && code <= 0x10FFFF);
}

// Keys that UTF-16 cannot hold would change on the way through a file and could then
// collide or move; they are stored as they will read back.
std::wstring EncodableKey(const std::wstring& key) {
    std::wstring copy = key;
    for (wchar_t& c : copy) {
        if (!IsUtf16Encodable(c)) c = static_cast<wchar_t>(platform::kReplacementChar);
    }
    return copy;
}

bool NeedsKeyRepair(const std::wstring& key) {
    for (wchar_t c : key) {
        if (!IsUtf16Encodable(c)) return true;
    }
    return false;
}

}  // namespace

bool ProtoValue::KeyLess::operator()(std::wstring_view a, std::wstring_view b) const {
    return platform::CompareUtf16Order(a, b) < 0;
}

ProtoValue::ProtoValue(Type type) {
    switch (type) {
        case Type::Null:
            break;
        case Type::Integer:
            m_data = int64_t{0};
            break;
        case Type::Real:
            m_data = 0.0;
            break;
        case Type::NarrowString:
            m_data = std::string();
            break;
        case Type::String:
            m_data = std::wstring();
            break;
        case Type::Array:
            m_data = Array();
            break;
        case Type::Map:
            m_data = Map();
            break;
    }
}

const wchar_t* ProtoValueTypeName(ProtoValue::Type type) {
    switch (type) {
        case ProtoValue::Type::Null:
            return L"null";
        case ProtoValue::Type::Integer:
            return L"integer";
        case ProtoValue::Type::Real:
            return L"real";
        case ProtoValue::Type::NarrowString:
            return L"narrow string";
        case ProtoValue::Type::String:
            return L"string";
        case ProtoValue::Type::Array:
            return L"array";
        case ProtoValue::Type::Map:
            return L"map";
    }
    return L"unknown";
}

void ProtoValue::ThrowWrongType(Type wanted) const {
    XJ_THROW(ProtoValueException, ProtoValueException::kWrongType,
             std::wstring(L"ProtoValue: ") + ProtoValueTypeName(wanted) + L" expected, " + ProtoValueTypeName(type()) +
                 L" held");
}

int64_t ProtoValue::integer() const {
    if (const auto* v = std::get_if<int64_t>(&m_data)) return *v;
    ThrowWrongType(Type::Integer);
}

double ProtoValue::real() const {
    if (const auto* v = std::get_if<double>(&m_data)) return *v;
    ThrowWrongType(Type::Real);
}

const std::wstring& ProtoValue::string() const {
    if (const auto* v = std::get_if<std::wstring>(&m_data)) return *v;
    ThrowWrongType(Type::String);
}

const std::string& ProtoValue::narrowString() const {
    if (const auto* v = std::get_if<std::string>(&m_data)) return *v;
    ThrowWrongType(Type::NarrowString);
}

const ProtoValue::Array& ProtoValue::array() const {
    if (const auto* v = std::get_if<Array>(&m_data)) return *v;
    ThrowWrongType(Type::Array);
}

ProtoValue::Array& ProtoValue::array() {
    if (auto* v = std::get_if<Array>(&m_data)) return *v;
    ThrowWrongType(Type::Array);
}

const ProtoValue::Map& ProtoValue::map() const {
    if (const auto* v = std::get_if<Map>(&m_data)) return *v;
    ThrowWrongType(Type::Map);
}

ProtoValue& ProtoValue::operator[](const std::wstring& key) {
    if (isNull()) m_data = Map();
    auto* entries = std::get_if<Map>(&m_data);
    if (!entries) ThrowWrongType(Type::Map);
    if (NeedsKeyRepair(key)) return (*entries)[EncodableKey(key)];
    auto it = entries->lower_bound(key);
    if (it != entries->end() && it->first == key) return it->second;
    return entries->emplace_hint(it, key, ProtoValue())->second;
}

const ProtoValue& ProtoValue::operator[](const std::wstring& key) const {
    static const ProtoValue kNull;
    if (isNull()) return kNull;
    const Map& entries = map();
    auto it = NeedsKeyRepair(key) ? entries.find(EncodableKey(key)) : entries.find(key);
    return it == entries.end() ? kNull : it->second;
}

ProtoValue& ProtoValue::operator[](size_t index) {
    Array& items = array();
    if (index >= items.size()) {
        XJ_THROW(ProtoValueException, ProtoValueException::kIndexOutOfRange,
                 L"ProtoValue: index " + std::to_wstring(index) + L" past size " + std::to_wstring(items.size()));
    }
    return items[index];
}

const ProtoValue& ProtoValue::operator[](size_t index) const {
    const Array& items = array();
    if (index >= items.size()) {
        XJ_THROW(ProtoValueException, ProtoValueException::kIndexOutOfRange,
                 L"ProtoValue: index " + std::to_wstring(index) + L" past size " + std::to_wstring(items.size()));
    }
    return items[index];
}

ProtoValue& ProtoValue::append(ProtoValue value) {
    if (isNull()) m_data = Array();
    Array& items = array();
    items.push_back(std::move(value));
    return items.back();
}

size_t ProtoValue::size() const {
    switch (type()) {
        case Type::Null:
            return 0;
        case Type::Array:
            return std::get<Array>(m_data).size();
        case Type::Map:
            return std::get<Map>(m_data).size();
        default:
            ThrowWrongType(Type::Array);
    }
}

bool ProtoValue::hasKey(const std::wstring& key) const {
    const auto* entries = std::get_if<Map>(&m_data);
    if (!entries) return false;
    return NeedsKeyRepair(key) ? entries->count(EncodableKey(key)) != 0 : entries->count(key) != 0;
}

ProtoValue ProtoValue::get(const std::wstring& key, const ProtoValue& fallback) const {
    const auto* entries = std::get_if<Map>(&m_data);
    if (!entries) return fallback;
    auto it = NeedsKeyRepair(key) ? entries->find(EncodableKey(key)) : entries->find(key);
    return it == entries->end() ? fallback : it->second;
}
