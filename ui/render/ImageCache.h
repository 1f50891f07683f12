// Decoded skin images, looked up by name: files of the skin archive, or resources of the
// program ("res"/"restype" in an image spec).
//
// Owned and used by the UI thread (the paint manager owns one); no lock. The cache owns every
// bitmap it hands out: a UIImageInfo pointer stays valid until that entry is removed, the cache
// is cleared or destroyed. The archive is not owned and must outlive the cache or be replaced
// with SetSkinZip first. A failed load returns null and is remembered, so a file that does
// not decode costs its read and decode once, not on every paint; SetSkinZip (even with the
// same archive), AddImage of that name and Clear forget the failures.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/types/WinTypes.h"

namespace SkinUI {

class CSkinZip;

struct UIImageInfo {
    HBITMAP bitmap = nullptr;  // top-down 32-bit premultiplied ARGB
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    // With alpha: each row's widest run of fully opaque pixels, [first, second).
    std::vector<std::pair<int, int>> opaqueRuns;

    // Whether every pixel of `rect` (which lies inside the image) is fully opaque.
    bool IsOpaque(const RECT& rect) const;
};

// Where an image comes from, and the colour keyed out of it.
struct UIImageRef {
    enum class Origin { SkinFile = 0, Resource = 1 };

    Origin origin = Origin::SkinFile;
    std::wstring name;     // the archive entry, or the resource name ("#101" for an id)
    std::wstring resType;  // resources only; empty means RT_RCDATA
    // Pixels of this colour (alpha ignored) become fully transparent.
    std::optional<DWORD> mask;
};

// What the render engine asks for images; the paint manager answers from its cache and its
// resource parents.
class IImageSourceUI {
public:
    virtual ~IImageSourceUI() = default;
    // Null when the image cannot be found or decoded.
    virtual const UIImageInfo* FindImage(const UIImageRef& ref) = 0;
};

class CUIImageCache : public IImageSourceUI {
public:
    explicit CUIImageCache(const CSkinZip* zip = nullptr) : m_zip(zip) {}
    ~CUIImageCache() override;
    CUIImageCache(const CUIImageCache&) = delete;
    CUIImageCache& operator=(const CUIImageCache&) = delete;

    // Entries already loaded from the previous archive stay until removed.
    void SetSkinZip(const CSkinZip* zip);

    // Loads on first use: the archive entry (name compared as the archive does) or the
    // resource, decoded. A masked image is a copy of the plain one with the mask applied,
    // so both are kept.
    const UIImageInfo* FindImage(const UIImageRef& ref) override;

    // Decodes `bytes` and keeps them under `name` as a skin file, replacing an entry of that
    // name (the masked copies too). False, and the cache unchanged, when they do not decode.
    bool AddImage(std::wstring_view name, std::span<const uint8_t> bytes);
    // Drops every entry (masked copies included) loaded under that skin file name.
    void RemoveImage(std::wstring_view name);
    void Clear();
    int Count() const { return static_cast<int>(m_images.size()); }

private:
    using Key = std::tuple<int, std::wstring, std::wstring, int64_t>;
    static Key KeyOf(const UIImageRef& ref);
    const UIImageInfo* Find(const UIImageRef& ref);
    bool ReadBytes(const UIImageRef& ref, std::vector<uint8_t>* bytes) const;
    const UIImageInfo* Insert(const Key& key, std::span<const uint8_t> bytes);
    const UIImageInfo* InsertMasked(const Key& key, const UIImageInfo& base, DWORD mask);

    // Answers to recent lookups by the reference as given, most recent first: a paint looks
    // the same few images up again and again, and making the key cost more than a small draw.
    // Emptied whenever an entry goes or is replaced.
    struct Recent {
        UIImageRef ref;
        const UIImageInfo* image;
    };
    std::vector<Recent> m_recent;

    const CSkinZip* m_zip;
    std::map<Key, UIImageInfo> m_images;
    // Plain keys whose file or resource could not be read or decoded.
    std::set<Key> m_failed;
};

}  // namespace SkinUI
