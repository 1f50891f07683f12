#include "ui/render/ImageCache.h"

#include <algorithm>
#include <cwctype>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageDecode.h"
#include "platform/resource/Resource.h"
#include "ui/skin/SkinZip.h"

namespace SkinUI {
namespace {

constexpr int64_t kNoMask = -1;

// The archive compares names without case and with either separator; the cache must too,
// or one image would be decoded once per spelling.
std::wstring FileKey(std::wstring_view name) {
    std::wstring key(name);
    for (wchar_t& c : key) {
        c = c == L'\\' ? L'/' : static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return key;
}

// Straight RGB of a premultiplied pixel; only meaningful for pixels with some alpha.
DWORD StraightRgb(DWORD pixel) {
    const DWORD alpha = pixel >> 24;
    if (alpha == 0 || alpha == 255) return pixel & 0x00FFFFFF;
    auto channel = [&](int shift) {
        const DWORD value = ((pixel >> shift) & 0xFF) * 255 + alpha / 2;
        return std::min<DWORD>(value / alpha, 255) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

// The widest run of opaque pixels of every row, for images with alpha.
void FindOpaqueRuns(UIImageInfo* image) {
    image->opaqueRuns.clear();
    BITMAP bits;
    if (!image->hasAlpha || GetObjectW(image->bitmap, sizeof(bits), &bits) != sizeof(bits) || !bits.bmBits) return;
    image->opaqueRuns.reserve(static_cast<size_t>(image->height));
    for (int y = 0; y < image->height; ++y) {
        const auto* row = reinterpret_cast<const DWORD*>(static_cast<const uint8_t*>(bits.bmBits) +
                                                         static_cast<size_t>(y) * bits.bmWidthBytes);
        std::pair<int, int> widest{0, 0};
        for (int x = 0; x < image->width;) {
            if ((row[x] >> 24) != 0xFF) {
                ++x;
                continue;
            }
            const int from = x;
            while (x < image->width && (row[x] >> 24) == 0xFF)
                ++x;
            if (x - from > widest.second - widest.first) widest = {from, x};
        }
        image->opaqueRuns.push_back(widest);
    }
}

}  // namespace

bool UIImageInfo::IsOpaque(const RECT& rect) const {
    if (!hasAlpha) return true;
    if (rect.top < 0 || rect.bottom > static_cast<LONG>(opaqueRuns.size())) return false;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        const auto& [from, to] = opaqueRuns[static_cast<size_t>(y)];
        if (from > rect.left || to < rect.right) return false;
    }
    return true;
}

CUIImageCache::~CUIImageCache() {
    Clear();
}

void CUIImageCache::SetSkinZip(const CSkinZip* zip) {
    m_zip = zip;
    m_failed.clear();
    m_recent.clear();
}

CUIImageCache::Key CUIImageCache::KeyOf(const UIImageRef& ref) {
    const int64_t mask = ref.mask ? static_cast<int64_t>(*ref.mask & 0x00FFFFFF) : kNoMask;
    if (ref.origin == UIImageRef::Origin::Resource) {
        const platform::ResourceName type =
            ref.resType.empty() ? platform::ResourceName(RT_RCDATA) : platform::ResourceName(ref.resType.c_str());
        return Key{static_cast<int>(ref.origin), platform::ResourceName(ref.name.c_str()).Key(), type.Key(), mask};
    }
    return Key{static_cast<int>(ref.origin), FileKey(ref.name), std::wstring(), mask};
}

bool CUIImageCache::ReadBytes(const UIImageRef& ref, std::vector<uint8_t>* bytes) const {
    if (ref.name.empty()) return false;
    if (ref.origin == UIImageRef::Origin::SkinFile) return m_zip && m_zip->ReadEntry(ref.name, bytes);
    const LPCWSTR type = ref.resType.empty() ? RT_RCDATA : ref.resType.c_str();
    HRSRC found = FindResourceW(nullptr, ref.name.c_str(), type);
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const auto* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (!data) return false;
    bytes->assign(data, data + SizeofResource(nullptr, found));
    return true;
}

const UIImageInfo* CUIImageCache::Insert(const Key& key, std::span<const uint8_t> bytes) {
    auto decoded = platform::DecodeImage(bytes);
    if (!decoded) return nullptr;
    auto [it, inserted] =
        m_images.emplace(key, UIImageInfo{decoded->bitmap, decoded->width, decoded->height, decoded->hasAlpha, {}});
    (void)inserted;
    FindOpaqueRuns(&it->second);
    return &it->second;
}

const UIImageInfo* CUIImageCache::InsertMasked(const Key& key, const UIImageInfo& base, DWORD mask) {
    BITMAP source;
    if (GetObjectW(base.bitmap, sizeof(source), &source) != sizeof(source) || !source.bmBits) return nullptr;
    DWORD* to = nullptr;
    HBITMAP copy = platform::CreateTopDownBitmap(nullptr, base.width, base.height, &to);
    if (!copy || !to) return nullptr;
    const auto* fromRows = static_cast<const uint8_t*>(source.bmBits);
    const DWORD rgb = mask & 0x00FFFFFF;
    bool keyedOut = false;
    for (int y = 0; y < base.height; ++y) {
        const auto* from = reinterpret_cast<const DWORD*>(fromRows + static_cast<size_t>(y) * source.bmWidthBytes);
        for (int x = 0; x < base.width; ++x) {
            const DWORD pixel = from[x];
            const bool masked = (pixel >> 24) != 0 && StraightRgb(pixel) == rgb;
            to[static_cast<size_t>(y) * base.width + x] = masked ? 0 : pixel;
            keyedOut = keyedOut || masked;
        }
    }
    auto [it, inserted] =
        m_images.emplace(key, UIImageInfo{copy, base.width, base.height, base.hasAlpha || keyedOut, {}});
    (void)inserted;
    FindOpaqueRuns(&it->second);
    return &it->second;
}

const UIImageInfo* CUIImageCache::FindImage(const UIImageRef& ref) {
    constexpr size_t kRecent = 16;
    for (size_t i = 0; i < m_recent.size(); ++i) {
        const UIImageRef& known = m_recent[i].ref;
        if (known.origin != ref.origin || known.mask != ref.mask || known.name != ref.name ||
            known.resType != ref.resType) {
            continue;
        }
        std::rotate(m_recent.begin(), m_recent.begin() + static_cast<std::ptrdiff_t>(i),
                    m_recent.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return m_recent.front().image;
    }
    const UIImageInfo* image = Find(ref);
    if (image != nullptr) {
        if (m_recent.size() == kRecent) m_recent.pop_back();
        m_recent.insert(m_recent.begin(), Recent{ref, image});
    }
    return image;
}

const UIImageInfo* CUIImageCache::Find(const UIImageRef& ref) {
    const Key key = KeyOf(ref);
    if (auto it = m_images.find(key); it != m_images.end()) return &it->second;
    const Key plainKey{std::get<0>(key), std::get<1>(key), std::get<2>(key), kNoMask};
    const UIImageInfo* plain = nullptr;
    if (auto it = m_images.find(plainKey); it != m_images.end()) {
        plain = &it->second;
    } else {
        if (m_failed.count(plainKey) != 0) return nullptr;
        std::vector<uint8_t> bytes;
        if (ReadBytes(ref, &bytes)) plain = Insert(plainKey, bytes);
        if (plain == nullptr) {
            m_failed.insert(plainKey);
            return nullptr;
        }
    }
    if (!plain || !ref.mask) return plain;
    return InsertMasked(key, *plain, *ref.mask);
}

bool CUIImageCache::AddImage(std::wstring_view name, std::span<const uint8_t> bytes) {
    if (name.empty()) return false;
    auto decoded = platform::DecodeImage(bytes);
    if (!decoded) return false;
    RemoveImage(name);
    m_recent.clear();
    const Key key{static_cast<int>(UIImageRef::Origin::SkinFile), FileKey(name), std::wstring(), kNoMask};
    auto [it, inserted] =
        m_images.emplace(key, UIImageInfo{decoded->bitmap, decoded->width, decoded->height, decoded->hasAlpha, {}});
    (void)inserted;
    FindOpaqueRuns(&it->second);
    return true;
}

void CUIImageCache::RemoveImage(std::wstring_view name) {
    m_recent.clear();
    const std::wstring fileKey = FileKey(name);
    m_failed.erase(Key{static_cast<int>(UIImageRef::Origin::SkinFile), fileKey, std::wstring(), kNoMask});
    for (auto it = m_images.begin(); it != m_images.end();) {
        const auto& [origin, key, type, mask] = it->first;
        if (origin == static_cast<int>(UIImageRef::Origin::SkinFile) && key == fileKey) {
            DeleteObject(it->second.bitmap);
            it = m_images.erase(it);
        } else {
            ++it;
        }
    }
}

void CUIImageCache::Clear() {
    m_recent.clear();
    for (auto& [key, info] : m_images)
        DeleteObject(info.bitmap);
    m_images.clear();
    m_failed.clear();
}

}  // namespace SkinUI
