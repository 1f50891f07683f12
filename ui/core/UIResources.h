// The skin resources of one window: its fonts, images (through a cache over the skin
// archive), "Default" attribute lists and colours (the default text colour and the hue,
// saturation and lightness shift).
//
// UI thread only; owned by a paint manager, which forwards its resource calls here. A
// resource set may name a parent set where fonts, images and "Default" lists are looked up
// when it has none of its own; the parent is not owned and must outlive this set. Fonts and
// bitmaps handed out stay owned here and are valid until the set is destroyed (images: until
// RemoveAllImages or a new archive). The archive is not owned either.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gdi/GdiTypes.h"
#include "platform/types/WinTypes.h"
#include "ui/core/UIString.h"
#include "ui/core/UIStringPtrMap.h"
#include "ui/render/FontSource.h"
#include "ui/render/ImageCache.h"
#include "ui/skin/SkinZip.h"

namespace SkinUI {

// A font of the skin; the text height is tm.tmHeight.
struct UIFontRecord {
    HFONT handle = nullptr;
    CUIString face;
    int size = 0;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    TEXTMETRICW tm{};
};

class CUIResources : public IFontSourceUI, public IImageSourceUI {
public:
    CUIResources();
    ~CUIResources() override;
    CUIResources(const CUIResources&) = delete;
    CUIResources& operator=(const CUIResources&) = delete;

    CUIResources* GetParent() const { return m_parent; }
    // False, and nothing changed, when the chain would lead back to this set.
    bool SetParent(CUIResources* parent);

    // --- "Default" attribute lists ---
    // The attribute text registered for a class tag here or up the parents; null when none.
    const CUIString* DefaultAttributesFor(std::wstring_view tag) const;
    void SetDefaultAttributes(std::wstring_view tag, std::wstring_view attributes);

    // --- fonts ---
    // Fonts by index, in the order they were added. An index outside the table (-1 included)
    // gives the default font: the one added as default, else the parent's, else a built-in
    // one. A set without fonts of its own uses its parent's table.
    // Returns the new index, or -1 when the font cannot be made (a size outside 1..1024
    // pixels included).
    int AddFont(std::wstring_view face, int size, bool bold, bool underline, bool italic, bool makeDefault = false);
    int FontCount() const { return static_cast<int>(m_fonts.size()); }
    HFONT FontHandleAt(int index) override;
    const UIFontRecord* FontRecordAt(int index) const;
    const UIFontRecord* DefaultFontRecord() const;
    int DefaultFontHeight() const;
    // A device context of our own, for measuring text.
    HDC MeasureDC() const;

    // --- images ---
    // Images come from the skin archive through the cache, loaded on first use; what the
    // cache cannot find is asked of the parent. Null when missing or undecodable.
    void SetSkinArchive(const CSkinZip* archive);
    const CSkinZip* GetSkinArchive() const { return m_archive; }
    const UIImageInfo* FindImage(const UIImageRef& ref) override;
    // Declares a skin file ("Image" element) and loads it now. A mask colour (not 0) then
    // applies wherever the file is used without a mask of its own.
    const UIImageInfo* AddImage(std::wstring_view name, DWORD mask = 0);
    void RemoveAllImages();

    // --- colours ---
    DWORD DefaultTextColor() const { return m_defaultTextColor; }
    void SetDefaultTextColor(DWORD argb) { m_defaultTextColor = argb; }
    // A colour after the hue, saturation and lightness shift (none by default): the hue
    // turned by `hueShift` degrees, saturation and lightness scaled by percentages.
    DWORD ShiftColor(DWORD argb) const;
    void SetColorShift(int hueShift, int saturationPercent, int lightnessPercent);

private:
    CUIResources* m_parent = nullptr;

    std::vector<std::unique_ptr<UIFontRecord>> m_fonts;
    std::unique_ptr<UIFontRecord> m_defaultFont;
    bool m_hasOwnDefaultFont = false;
    mutable std::unique_ptr<UIFontRecord> m_builtinFont;
    mutable HDC m_measureDc = nullptr;

    const CSkinZip* m_archive = nullptr;
    CUIImageCache m_images;
    std::vector<std::pair<std::wstring, DWORD>> m_imageMasks;

    CUIStringPtrMap m_defaultAttributes;  // tag -> CUIString*
    DWORD m_defaultTextColor = 0xFF000000;
    int m_hueShift = 0;
    int m_saturation = 100;
    int m_lightness = 100;
};

}  // namespace SkinUI
