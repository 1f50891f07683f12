#include "ui/core/UIResources.h"

#include <algorithm>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiText.h"
#include "ui/render/ColorHsl.h"

namespace SkinUI {

namespace {

// Larger fonts are refused: no skin needs them, and a hostile size must not cost seconds.
constexpr int kMaxFontSize = 1024;

std::unique_ptr<UIFontRecord> MakeFont(HDC dc, std::wstring_view face, int size, bool bold, bool underline,
                                       bool italic) {
    const std::wstring faceName(face);
    HFONT font = CreateFontW(-size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? 1 : 0, underline ? 1 : 0, 0,
                             DEFAULT_CHARSET, 0, 0, 0, 0, faceName.c_str());
    if (font == nullptr) return nullptr;
    auto record = std::make_unique<UIFontRecord>();
    record->handle = font;
    record->face = CUIString(face);
    record->size = size;
    record->bold = bold;
    record->underline = underline;
    record->italic = italic;
    HGDIOBJ old = SelectObject(dc, font);
    const BOOL measured = GetTextMetricsW(dc, &record->tm);
    SelectObject(dc, old);
    if (!measured) {
        DeleteObject(font);
        return nullptr;
    }
    return record;
}

}  // namespace

CUIResources::CUIResources() = default;

CUIResources::~CUIResources() {
    for (int i = 0; i < m_defaultAttributes.Count(); ++i)
        delete static_cast<CUIString*>(m_defaultAttributes.ValueAt(i));
    for (const auto& font : m_fonts)
        DeleteObject(font->handle);
    if (m_hasOwnDefaultFont && m_defaultFont != nullptr) DeleteObject(m_defaultFont->handle);
    if (m_builtinFont != nullptr) DeleteObject(m_builtinFont->handle);
    if (m_measureDc != nullptr) DeleteDC(m_measureDc);
}

bool CUIResources::SetParent(CUIResources* parent) {
    // A chain that loops back would make every lookup endless.
    for (CUIResources* up = parent; up != nullptr; up = up->m_parent) {
        if (up == this) return false;
    }
    m_parent = parent;
    return true;
}

const CUIString* CUIResources::DefaultAttributesFor(std::wstring_view tag) const {
    for (const CUIResources* set = this; set != nullptr; set = set->m_parent) {
        if (void* found = set->m_defaultAttributes.Find(tag)) return static_cast<const CUIString*>(found);
    }
    return nullptr;
}

void CUIResources::SetDefaultAttributes(std::wstring_view tag, std::wstring_view attributes) {
    auto* text = new CUIString(attributes);
    delete static_cast<CUIString*>(m_defaultAttributes.Set(tag, text));
}

HDC CUIResources::MeasureDC() const {
    if (m_measureDc == nullptr) m_measureDc = CreateCompatibleDC(nullptr);
    return m_measureDc;
}

int CUIResources::AddFont(std::wstring_view face, int size, bool bold, bool underline, bool italic, bool makeDefault) {
    if (size <= 0 || size > kMaxFontSize || MeasureDC() == nullptr) return -1;
    auto record = MakeFont(MeasureDC(), face, size, bold, underline, italic);
    if (record == nullptr) return -1;
    if (makeDefault) {
        // The default keeps a handle of its own, so the table and the default free separately.
        auto copy = MakeFont(MeasureDC(), face, size, bold, underline, italic);
        if (copy == nullptr) {
            DeleteObject(record->handle);
            return -1;
        }
        if (m_hasOwnDefaultFont && m_defaultFont != nullptr) DeleteObject(m_defaultFont->handle);
        m_defaultFont = std::move(copy);
        m_hasOwnDefaultFont = true;
    }
    m_fonts.push_back(std::move(record));
    return static_cast<int>(m_fonts.size()) - 1;
}

const UIFontRecord* CUIResources::DefaultFontRecord() const {
    for (const CUIResources* set = this; set != nullptr; set = set->m_parent) {
        if (set->m_hasOwnDefaultFont) return set->m_defaultFont.get();
    }
    if (m_builtinFont == nullptr && MeasureDC() != nullptr) {
        m_builtinFont = MakeFont(MeasureDC(), platform::kPinnedFontFace, 12, false, false, false);
    }
    return m_builtinFont.get();
}

const UIFontRecord* CUIResources::FontRecordAt(int index) const {
    for (const CUIResources* set = this; set != nullptr; set = set->m_parent) {
        if (set->m_fonts.empty()) continue;
        if (index >= 0 && index < static_cast<int>(set->m_fonts.size())) return set->m_fonts[index].get();
        break;
    }
    return DefaultFontRecord();
}

HFONT CUIResources::FontHandleAt(int index) {
    const UIFontRecord* record = FontRecordAt(index);
    return record != nullptr ? record->handle : nullptr;
}

int CUIResources::DefaultFontHeight() const {
    const UIFontRecord* record = DefaultFontRecord();
    return record != nullptr ? record->tm.tmHeight : 0;
}

void CUIResources::SetSkinArchive(const CSkinZip* archive) {
    m_archive = archive;
    m_images.SetSkinZip(archive);
}

const UIImageInfo* CUIResources::FindImage(const UIImageRef& ref) {
    if (ref.origin == UIImageRef::Origin::SkinFile && !ref.mask) {
        for (const auto& [name, mask] : m_imageMasks) {
            if (name != ref.name) continue;
            UIImageRef masked = ref;
            masked.mask = mask;
            if (const UIImageInfo* image = m_images.FindImage(masked)) return image;
            break;
        }
    }
    if (const UIImageInfo* image = m_images.FindImage(ref)) return image;
    return m_parent != nullptr ? m_parent->FindImage(ref) : nullptr;
}

const UIImageInfo* CUIResources::AddImage(std::wstring_view name, DWORD mask) {
    if (name.empty()) return nullptr;
    if (mask != 0) {
        auto known = std::find_if(m_imageMasks.begin(), m_imageMasks.end(),
                                  [name](const auto& entry) { return entry.first == name; });
        if (known != m_imageMasks.end()) {
            known->second = mask;
        } else {
            m_imageMasks.emplace_back(std::wstring(name), mask);
        }
    }
    UIImageRef ref;
    ref.name = std::wstring(name);
    return FindImage(ref);
}

void CUIResources::RemoveAllImages() {
    m_images.Clear();
    m_imageMasks.clear();
}

DWORD CUIResources::ShiftColor(DWORD argb) const {
    return AdjustColor(argb, m_hueShift, m_saturation, m_lightness);
}

void CUIResources::SetColorShift(int hueShift, int saturationPercent, int lightnessPercent) {
    m_hueShift = hueShift;
    m_saturation = saturationPercent;
    m_lightness = lightnessPercent;
}

}  // namespace SkinUI
