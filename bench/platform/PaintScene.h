// The installer's main window as a paint workload (540x434): background, a banner and icons
// blended from a decoded PNG, a progress bar and a screenful of Latin and Chinese text.
// The drawing benchmark's frame.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageDecode.h"

namespace paintbench {

constexpr int kWidth = 540;
constexpr int kHeight = 434;

inline std::vector<uint8_t> MakePng(int width, int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, width, height);
    cairo_pattern_add_color_stop_rgba(gradient, 0, 0.2, 0.4, 0.8, 1);
    cairo_pattern_add_color_stop_rgba(gradient, 1, 0.9, 0.5, 0.1, 0.5);
    cairo_set_source(cr, gradient);
    cairo_paint(cr);
    cairo_pattern_destroy(gradient);
    cairo_destroy(cr);
    std::vector<uint8_t> bytes;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<uint8_t>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    cairo_surface_destroy(surface);
    return bytes;
}

// The image (selected into its own DC) and the two fonts the frame draws with.
class PaintResources {
public:
    PaintResources() {
        m_imageDc = CreateCompatibleDC(nullptr);
        m_image = platform::DecodeImage(MakePng(64, 64))->bitmap;
        m_oldImage = SelectObject(m_imageDc, m_image);
        m_font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"微软雅黑");
        m_bold = CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"微软雅黑");
    }
    ~PaintResources() {
        SelectObject(m_imageDc, m_oldImage);
        DeleteObject(m_image);
        DeleteObject(m_font);
        DeleteObject(m_bold);
        DeleteDC(m_imageDc);
    }
    PaintResources(const PaintResources&) = delete;
    PaintResources& operator=(const PaintResources&) = delete;

    // One whole frame into `dc`.
    void DrawFrame(HDC dc) const {
        platform::FillRectAlpha(dc, RECT{0, 0, kWidth, kHeight}, 0xFFF4F6FA);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(dc, 0, 0, kWidth, 120, m_imageDc, 0, 0, 64, 64, blend);  // banner
        for (int i = 0; i < 6; ++i)
            AlphaBlend(dc, 20 + i * 84, 140, 64, 64, m_imageDc, 0, 0, 64, 64, blend);  // icons
        SetBkMode(dc, TRANSPARENT);
        SaveDC(dc);
        SelectObject(dc, m_bold);
        SetTextColor(dc, RGB(255, 255, 255));
        RECT title{20, 20, 520, 60};
        DrawTextW(dc, L"Quorvel 安装程序", -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        RestoreDC(dc, -1);
        SaveDC(dc);
        SelectObject(dc, m_font);
        SetTextColor(dc, RGB(40, 40, 40));
        for (int line = 0; line < 10; ++line) {
            RECT row{20, 220 + line * 18, 520, 238 + line * 18};
            IntersectClipRect(dc, 20, 220, 520, 400);
            DrawTextW(dc, L"正在下载游戏客户端 Downloading the game client, please wait… 剩余时间 3 分钟", -1, &row,
                      DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | (line % 2 ? DT_RIGHT : DT_LEFT));
            SelectClipRgn(dc, nullptr);
        }
        RECT wrapped{20, 400, 520, 434};
        DrawTextW(dc, L"安装完成后将自动启动客户端。 The launcher starts when the install is done.", -1, &wrapped,
                  DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
        RestoreDC(dc, -1);
        platform::FillRectAlpha(dc, RECT{20, 210, 520, 216}, 0xFFDDE3EE);  // progress bar
        platform::FillRectAlpha(dc, RECT{20, 210, 330, 216}, 0xFF2F80ED);
        platform::DrawLineAlpha(dc, POINT{0, 433}, POINT{540, 433}, 1, 0x40000000, PS_SOLID);
    }

private:
    HDC m_imageDc = nullptr;
    HBITMAP m_image = nullptr;
    HGDIOBJ m_oldImage = nullptr;
    HFONT m_font = nullptr;
    HFONT m_bold = nullptr;
};

}  // namespace paintbench
