#include "platform/window/Icon.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <utility>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageDecode.h"
#include "platform/resource/Resource.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/DisplayTypes.h"
#include "platform/window/Screen.h"

namespace platform {

namespace {

constexpr size_t kGroupHeader = 6;
constexpr size_t kGroupEntry = 14;
constexpr size_t kDibHeader = 40;
// No icon is larger; a hostile header must not make a huge image.
constexpr int kMaxIconSide = 1024;

// Where an icon came from: its group's resource name and the ids of all the group's images.
struct IconFamily {
    std::wstring groupKey;
    std::vector<WORD> ids;
};

struct IconTable {
    std::mutex mutex;
    std::map<HICON, IconImage> icons;
    std::map<HICON, IconFamily> families;
    std::map<std::pair<std::wstring, WORD>, HICON> shared;  // (group key, image id)
    std::map<HWND, std::pair<HICON, HICON>> windows;        // small, big
    uintptr_t next = 0x20000;
};

IconTable& Icons() {
    static IconTable table;
    return table;
}

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(U16(p)) | (static_cast<uint32_t>(U16(p + 2)) << 16);
}

std::span<const uint8_t> ResourceBytes(LPCWSTR name, LPCWSTR type) {
    HRSRC found = FindResourceW(nullptr, name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(nullptr, found);
    const auto* data = loaded != nullptr ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (data == nullptr) return {};
    return {data, SizeofResource(nullptr, found)};
}

std::optional<IconImage> FromPng(std::span<const uint8_t> bytes) {
    auto decoded = DecodeImage(bytes);
    if (!decoded) return std::nullopt;
    IconImage image;
    image.width = decoded->width;
    image.height = decoded->height;
    image.argb.resize(static_cast<size_t>(image.width) * image.height);
    for (size_t i = 0; i < image.argb.size(); ++i) {
        // Undo the premultiplication the decoder applies.
        const uint32_t pixel = decoded->bits[i];
        const uint32_t alpha = pixel >> 24;
        uint32_t straight = pixel;
        if (alpha != 0 && alpha != 255) {
            straight = alpha << 24;
            for (int shift = 0; shift < 24; shift += 8) {
                const uint32_t channel = (((pixel >> shift) & 0xFF) * 255 + alpha / 2) / alpha;
                straight |= std::min<uint32_t>(channel, 255) << shift;
            }
        }
        image.argb[i] = straight;
    }
    DeleteObject(decoded->bitmap);
    return image;
}

// A 32-bit DIB: the header, then the colour rows bottom-up (the AND mask after them is not
// needed, the alpha says it all); the header's height counts both.
std::optional<IconImage> FromDib(std::span<const uint8_t> bytes) {
    if (bytes.size() < kDibHeader || U32(bytes.data()) < kDibHeader) return std::nullopt;
    const auto width = static_cast<int32_t>(U32(bytes.data() + 4));
    const auto height = static_cast<int32_t>(U32(bytes.data() + 8)) / 2;
    const uint16_t bits = U16(bytes.data() + 14);
    const uint32_t compression = U32(bytes.data() + 16);
    if (width <= 0 || height <= 0 || width > kMaxIconSide || height > kMaxIconSide || bits != 32 || compression != 0) {
        return std::nullopt;
    }
    const size_t offset = U32(bytes.data());
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    if (offset > bytes.size() || bytes.size() - offset < rowBytes * height) return std::nullopt;
    IconImage image;
    image.width = width;
    image.height = height;
    image.argb.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bytes.data() + offset + rowBytes * (height - 1 - y);
        for (int x = 0; x < width; ++x)
            image.argb[static_cast<size_t>(y) * width + x] = U32(row + 4 * x);
    }
    return image;
}

// The shared icon of image `id` of a group, loaded the first time.
HICON LoadGroupImage(const IconFamily& family, WORD id) {
    IconTable& table = Icons();
    {
        std::lock_guard lock(table.mutex);
        const auto known = table.shared.find({family.groupKey, id});
        if (known != table.shared.end()) return known->second;
    }
    const std::span<const uint8_t> bytes = ResourceBytes(MAKEINTRESOURCEW(id), RT_ICON);
    if (bytes.empty()) return nullptr;
    static const uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
    const bool png = bytes.size() >= sizeof(kPng) && std::memcmp(bytes.data(), kPng, sizeof(kPng)) == 0;
    auto image = png ? FromPng(bytes) : FromDib(bytes);
    if (!image) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    std::lock_guard lock(table.mutex);
    auto& slot = table.shared[{family.groupKey, id}];
    if (slot == nullptr) {
        slot = reinterpret_cast<HICON>(table.next++);
        table.icons[slot] = std::move(*image);
        table.families[slot] = family;
    }
    return slot;
}

}  // namespace

std::vector<IconImage> IconFamilyOf(HICON icon) {
    std::optional<IconFamily> family;
    {
        IconTable& table = Icons();
        std::lock_guard lock(table.mutex);
        if (const auto found = table.families.find(icon); found != table.families.end()) family = found->second;
    }
    std::vector<IconImage> images;
    if (!family) {
        if (auto own = IconImageOf(icon)) images.push_back(std::move(*own));
        return images;
    }
    for (const WORD id : family->ids) {
        auto image = IconImageOf(LoadGroupImage(*family, id));
        const bool seen = image && std::any_of(images.begin(), images.end(), [&](const IconImage& other) {
                              return other.width == image->width && other.height == image->height;
                          });
        if (image && !seen) images.push_back(std::move(*image));
    }
    std::sort(images.begin(), images.end(),
              [](const IconImage& a, const IconImage& b) { return a.width * a.height < b.width * b.height; });
    return images;
}

std::optional<IconImage> IconImageOf(HICON icon) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    const auto found = table.icons.find(icon);
    if (found == table.icons.end()) return std::nullopt;
    return found->second;
}

HICON WindowIcon(HWND hwnd, WPARAM kind) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    const auto found = table.windows.find(hwnd);
    if (found == table.windows.end()) return nullptr;
    return kind == ICON_BIG ? found->second.second : found->second.first;
}

HICON SetWindowIconHandle(HWND hwnd, WPARAM kind, HICON icon) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    auto& slots = table.windows[hwnd];
    HICON& slot = kind == ICON_BIG ? slots.second : slots.first;
    return std::exchange(slot, icon);
}

void ForgetWindowIcons(HWND hwnd) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    table.windows.erase(hwnd);
}

}  // namespace platform

HICON LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int /*height*/, UINT /*flags*/) {
    if (type != IMAGE_ICON || !platform::IsProgramModule(instance)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::span<const uint8_t> group = platform::ResourceBytes(name, RT_GROUP_ICON);
    if (group.empty()) return nullptr;
    if (group.size() < platform::kGroupHeader || platform::U16(group.data() + 2) != 1) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const size_t count = platform::U16(group.data() + 4);
    if (count == 0 || group.size() < platform::kGroupHeader + count * platform::kGroupEntry) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    // The same width, else the smallest larger one, else the largest.
    const auto widthAt = [&](size_t i) {
        const uint8_t w = group[platform::kGroupHeader + i * platform::kGroupEntry];
        return w == 0 ? 256 : static_cast<int>(w);
    };
    size_t largest = 0;
    std::optional<size_t> fitting;
    for (size_t i = 0; i < count; ++i) {
        if (widthAt(i) > widthAt(largest)) largest = i;
        if (width > 0 && widthAt(i) >= width && (!fitting || widthAt(i) < widthAt(*fitting))) fitting = i;
    }
    const size_t chosen = fitting.value_or(largest);
    platform::IconFamily family{platform::ResourceName(name).Key(), {}};
    for (size_t i = 0; i < count; ++i)
        family.ids.push_back(platform::U16(group.data() + platform::kGroupHeader + i * platform::kGroupEntry + 12));
    return platform::LoadGroupImage(family, family.ids[chosen]);
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    return LoadImageW(instance, name, IMAGE_ICON, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED);
}

BOOL DestroyIcon(HICON icon) {
    return platform::IconImageOf(icon) ? TRUE : FALSE;
}
