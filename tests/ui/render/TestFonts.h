// A font table for render tests: index 0 is a 14-pixel font (also the default), index 1 a
// 28-pixel one. Owns its fonts; used on the test's thread.
#pragma once

#include <vector>

#include "platform/gdi/Gdi.h"
#include "ui/render/FontSource.h"

namespace rendertest {

class CTestFonts : public SkinUI::IFontSourceUI {
public:
    CTestFonts() {
        m_fonts.push_back(CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, nullptr));
        m_fonts.push_back(CreateFontW(-28, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, nullptr));
    }
    ~CTestFonts() override {
        for (HFONT font : m_fonts)
            DeleteObject(font);
    }
    CTestFonts(const CTestFonts&) = delete;
    CTestFonts& operator=(const CTestFonts&) = delete;

    HFONT FontHandleAt(int index) override {
        return index >= 0 && index < static_cast<int>(m_fonts.size()) ? m_fonts[index] : m_fonts[0];
    }

private:
    std::vector<HFONT> m_fonts;
};

}  // namespace rendertest
