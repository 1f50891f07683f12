// The program's variant value: null, 64-bit integer, double, narrow (byte) string, wide string,
// array of values, or map from wide string to value. It is the payload of events, HTTP results,
// reports and the resume file; ProtoValueStream.h gives its binary form.
//
// A plain value type with no internal locking: one thread at a time, copies are deep.
// Accessors throw ProtoValueException when the value holds another type. Map keys are kept
// in UTF-16 code-unit order; a key with a code point that UTF-16 cannot carry (a surrogate,
// or past U+10FFFF) is stored with U+FFFD in its place, so every map written out reads back
// unchanged.
#pragma once

#include <concepts>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "commonlib/core/ProtoValueException.h"

class ProtoValue {
public:
    // The numbers are the type bytes of the binary format: stored in files, never renumber.
    enum class Type : uint8_t {
        Null = 0,
        Integer = 1,
        Real = 2,
        NarrowString = 3,
        String = 4,
        Array = 5,
        Map = 6,
    };

    struct KeyLess {
        using is_transparent = void;
        bool operator()(std::wstring_view a, std::wstring_view b) const;
    };
    using Array = std::vector<ProtoValue>;
    using Map = std::map<std::wstring, ProtoValue, KeyLess>;

    ProtoValue() = default;
    // An empty value of the given type (0, 0.0, "", empty array or map).
    explicit ProtoValue(Type type);
    template <std::integral T>
    requires(!std::same_as<T, bool>) ProtoValue(T value) : m_data(static_cast<int64_t>(value)) {}
    ProtoValue(bool) = delete;
    ProtoValue(double value) : m_data(value) {}
    ProtoValue(std::wstring value) : m_data(std::move(value)) {}
    ProtoValue(const wchar_t* value) : m_data(std::wstring(value)) {}
    ProtoValue(std::string value) : m_data(std::move(value)) {}
    ProtoValue(const char* value) : m_data(std::string(value)) {}

    Type type() const { return static_cast<Type>(m_data.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isNarrowString() const { return type() == Type::NarrowString; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isMap() const { return type() == Type::Map; }

    int64_t integer() const;
    double real() const;
    const std::wstring& string() const;
    const std::string& narrowString() const;
    const Array& array() const;
    Array& array();
    // Read-only: entries are added through operator[], which keeps the keys encodable.
    const Map& map() const;

    // Map entry; a null value becomes an empty map first, an absent key gets a null entry.
    ProtoValue& operator[](const std::wstring& key);
    // Map entry or a shared null when absent; does not insert.
    const ProtoValue& operator[](const std::wstring& key) const;
    // Array element; throws when the index is at or past the size.
    ProtoValue& operator[](size_t index);
    const ProtoValue& operator[](size_t index) const;

    // Appends to an array (a null value becomes an empty array first); returns the new element.
    ProtoValue& append(ProtoValue value);

    // Entries of an array or map; 0 for null; throws for the scalar types.
    size_t size() const;
    // False for anything but a map holding the key.
    bool hasKey(const std::wstring& key) const;
    // The map's entry under key, or `fallback` when there is none or this is not a map.
    ProtoValue get(const std::wstring& key, const ProtoValue& fallback) const;
    // Back to null.
    void clear() { m_data = std::monostate{}; }

    friend bool operator==(const ProtoValue& a, const ProtoValue& b) { return a.m_data == b.m_data; }

private:
    friend class ProtoValueCodec;

    [[noreturn]] void ThrowWrongType(Type wanted) const;

    // The alternatives' order is the Type numbering.
    std::variant<std::monostate, int64_t, double, std::string, std::wstring, Array, Map> m_data;
};

// The name of a type, for messages.
const wchar_t* ProtoValueTypeName(ProtoValue::Type type);
