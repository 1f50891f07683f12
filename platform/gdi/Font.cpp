#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <set>

#include "platform/gdi/GdiText.h"
#include "platform/gdi/TextLayout.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"

namespace platform::gdi {
namespace {

constexpr int kDefaultEmPixels = 12;
constexpr int kMaxEmPixels = 2048;  // far beyond any UI font; keeps bad heights from sizing huge glyphs
constexpr int kReferenceEm = 100;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower;
}

struct ContextDeleter {
    void operator()(PangoContext* context) const { g_object_unref(context); }
};

const std::set<std::string>& InstalledFamilies() {
    thread_local const std::set<std::string> families = [] {
        std::set<std::string> names;
        PangoFontFamily** list = nullptr;
        int count = 0;
        pango_font_map_list_families(pango_cairo_font_map_get_default(), &list, &count);
        for (int i = 0; i < count; ++i)
            names.insert(Lower(pango_font_family_get_name(list[i])));
        g_free(list);
        return names;
    }();
    return families;
}

// Width of `sample` in whole pixels, rounded up.
int SampleWidth(const PangoFontDescription* description, const char* sample) {
    PangoLayout* layout = pango_layout_new(TextContext());
    pango_layout_set_font_description(layout, description);
    pango_layout_set_text(layout, sample, -1);
    const int width = LogicalExtents(layout).width;
    g_object_unref(layout);
    return width;
}

// Ascent and descent of a line of mixed Latin and Chinese text, exactly as DrawTextW lays it out.
void LineMetrics(const PangoFontDescription* description, int* ascent, int* descent) {
    PangoLayout* layout = pango_layout_new(TextContext());
    pango_layout_set_font_description(layout, description);
    pango_layout_set_text(layout, "Ag\xE4\xB8\xAD", -1);
    const int baseline = pango_layout_get_baseline(layout);
    const PixelExtents extents = LogicalExtents(layout);
    *ascent = static_cast<int>(std::ceil(baseline / static_cast<double>(PANGO_SCALE)));
    *descent = std::max(0, extents.height - *ascent);
    g_object_unref(layout);
}

}  // namespace

PangoContext* TextContext() {
    thread_local std::unique_ptr<PangoContext, ContextDeleter> context = [] {
        PangoContext* created = pango_font_map_create_context(pango_cairo_font_map_get_default());
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(created, options);
        cairo_font_options_destroy(options);
        pango_cairo_context_set_resolution(created, 96);
        pango_context_set_language(created, pango_language_from_string("zh-cn"));
        return std::unique_ptr<PangoContext, ContextDeleter>(created);
    }();
    return context.get();
}

std::string ResolveFace(std::string_view requested) {
    if (!requested.empty() && InstalledFamilies().count(Lower(requested))) return std::string(requested);
    return Utf8FromWide(kPinnedFontFace);
}

FontObject::FontObject(const LOGFONTW& logFont) : GdiObject(OBJ_FONT), m_logFont(logFont) {
    m_logFont.lfFaceName[LF_FACESIZE - 1] = 0;
    const std::wstring_view face(m_logFont.lfFaceName);
    m_description = pango_font_description_new();
    pango_font_description_set_family(m_description, ResolveFace(Utf8FromWide(face)).c_str());
    const int weight = m_logFont.lfWeight <= 0 ? FW_NORMAL : std::clamp<int>(m_logFont.lfWeight, 100, 1000);
    pango_font_description_set_weight(m_description, static_cast<PangoWeight>(weight));
    pango_font_description_set_style(m_description, m_logFont.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);

    const LONG height = std::clamp<LONG>(m_logFont.lfHeight, -kMaxEmPixels, kMaxEmPixels);
    double em = kDefaultEmPixels;
    if (height < 0) em = -height;
    if (height > 0) {
        // A positive height is the cell (ascent + descent); find the em size that fills it.
        pango_font_description_set_absolute_size(m_description, kReferenceEm * PANGO_SCALE);
        int ascent = 0, descent = 0;
        LineMetrics(m_description, &ascent, &descent);
        em = std::max(1.0, std::floor(height * static_cast<double>(kReferenceEm) / std::max(1, ascent + descent)));
    }
    pango_font_description_set_absolute_size(m_description, em * PANGO_SCALE);

    int ascent = 0, descent = 0;
    LineMetrics(m_description, &ascent, &descent);
    PangoFontMetrics* metrics = pango_context_get_metrics(TextContext(), m_description, nullptr);
    const int average = std::max(1, PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(metrics)));
    pango_font_metrics_unref(metrics);
    m_metrics.tmHeight = ascent + descent;
    m_metrics.tmAscent = ascent;
    m_metrics.tmDescent = descent;
    m_metrics.tmInternalLeading = std::max(0, m_metrics.tmHeight - static_cast<int>(em));
    m_metrics.tmAveCharWidth = average;
    m_metrics.tmMaxCharWidth =
        std::max({average, SampleWidth(m_description, "W"), SampleWidth(m_description, "\xE4\xB8\xAD")});
    m_metrics.tmWeight = weight;
    m_metrics.tmDigitizedAspectX = 96;
    m_metrics.tmDigitizedAspectY = 96;
    m_metrics.tmFirstChar = 0x20;
    m_metrics.tmLastChar = 0xFFFC;
    m_metrics.tmDefaultChar = L'?';
    m_metrics.tmBreakChar = L' ';
    m_metrics.tmItalic = m_logFont.lfItalic ? 1 : 0;
    m_metrics.tmUnderlined = m_logFont.lfUnderline ? 1 : 0;
    m_metrics.tmStruckOut = m_logFont.lfStrikeOut ? 1 : 0;
    m_metrics.tmPitchAndFamily = FF_SWISS | 0x06;  // variable pitch, outline font
    m_metrics.tmCharSet = m_logFont.lfCharSet;
}

FontObject::~FontObject() {
    pango_font_description_free(m_description);
}

}  // namespace platform::gdi

using namespace platform::gdi;

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
    if (!logFont) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HFONT>(RegisterObject(std::make_shared<FontObject>(*logFont)));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName) {
    LOGFONTW logFont;
    logFont.lfHeight = height;
    logFont.lfWidth = width;
    logFont.lfEscapement = escapement;
    logFont.lfOrientation = orientation;
    logFont.lfWeight = weight;
    logFont.lfItalic = italic ? 1 : 0;
    logFont.lfUnderline = underline ? 1 : 0;
    logFont.lfStrikeOut = strikeOut ? 1 : 0;
    logFont.lfCharSet = static_cast<BYTE>(charSet);
    logFont.lfOutPrecision = static_cast<BYTE>(outPrecision);
    logFont.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    logFont.lfQuality = static_cast<BYTE>(quality);
    logFont.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName) {
        // Longer names are cut, as LOGFONTW holds at most 31 characters.
        for (int i = 0; i < LF_FACESIZE - 1 && faceName[i]; ++i)
            logFont.lfFaceName[i] = faceName[i];
    }
    return CreateFontIndirectW(&logFont);
}

// fontconfig keeps its font cache for the whole process on purpose; leak checking
// would report it at every exit of a program that drew text.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
