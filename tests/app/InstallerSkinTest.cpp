// The installer's skins as the program ships them (its "ZIPRES" resource): every file builds
// through the real builder without a complaint, every attribute is one the framework reads
// for its tag, with a value it takes; every control the windows look up is there with the
// class they use; the sizes and places the windows compute with hold.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/display/HeadlessDisplay.h"
#include "platform/strings/StringConv.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"
#include "support/MessagePump.h"
#include "support/RectCheck.h"
#include "ui/core/AttributeText.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"
#include "ui/core/TabLayoutUI.h"
#include "ui/skin/ImageSpec.h"
#include "ui/window/WindowImplBase.h"
#include "ui/window/WndShadow.h"

using SkinUI::CControlUI;

namespace {

constexpr wchar_t kMainSkin[] = L"InstallPackages.xml";
constexpr wchar_t kBoxSkin[] = L"MessageBox.xml";
// The main window's heights: the install page, with the custom options unfolded, and the
// progress view (less the game id's band of 36 and the install row of 84, or only the row).
constexpr int kInstallHeight = 434;
constexpr int kCustomHeight = kInstallHeight + 86;
constexpr int kProgressHeights[] = {kInstallHeight - 36 - 84, kInstallHeight - 84};

std::string Narrow(std::wstring_view text) {
    return platform::Utf8FromWide(std::wstring(text));
}

class CSkinWindow : public SkinUI::WindowImplBase {
public:
    explicit CSkinWindow(std::wstring skin) : m_skin(std::move(skin)) {}
    CControlUI* Find(const wchar_t* name) { return m_pm.ControlByName(name); }
    // Created at (100, 80), shown and laid out at `height` (0: the skin's own).
    HWND Open(int height = 0) {
        if (CreateHwnd(nullptr, L"skin", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0) == nullptr) return nullptr;
        ShowHwnd(true, true);
        SetHeight(height);
        return GetHWND();
    }
    void SetHeight(int height) {
        RECT rect{};
        GetWindowRect(GetHWND(), &rect);
        SetWindowPos(GetHWND(), nullptr, 100, 80, rect.right - rect.left, height > 0 ? height : rect.bottom - rect.top,
                     SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);
        Settle();
    }
    void Settle() {
        testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
        m_pm.UpdateLayout();
        UpdateWindow(GetHWND());
    }

protected:
    LPCWSTR RegisteredClassName() const override { return L"InstallerSkinTest"; }
    std::wstring SkinFileName() const override { return m_skin; }

private:
    std::wstring m_skin;
};

class InstallerSkinTest : public ::testing::Test {
protected:
    InstallerSkinTest() {
        platform::SetWindowBackend(&m_display);
        SkinUI::CWndShadow::RegisterShadowClass();
    }
    ~InstallerSkinTest() override {
        SkinUI::WindowImplBase::ReleaseSkinArchive();
        platform::SetWindowBackend(nullptr);
    }
    platform::HeadlessDisplay m_display;
};

// The attributes the framework reads, by the tags that read them, as "name:kind": t(ext),
// i(nteger), b(oolean), c(olour), r(ectangle), s(ize), m (image), f(ont index), a (horizontal)
// and v (vertical alignment). A tag no line names is not one the installer's skins use.
const std::pair<std::string, std::string> kWords[] = {
    {"Window",
     "size:s mininfo:s maxinfo:s caption:r sizebox:r roundcorner:s shadow:m shadowborder:r "
     "defaultfontcolor:c"},
    {"Font", "name:t size:i bold:b underline:b italic:b default:b"},
    {"Control Container VerticalLayout HorizontalLayout TabLayout Label Button Option Edit Progress",
     "name:t text:t tooltip:t userdata:t pos:r padding:r width:i height:i minwidth:i maxwidth:i minheight:i "
     "maxheight:i bkcolor:c bordercolor:c bordersize:i bkimage:m colorhsl:b enabled:b mouse:b visible:b float:b"},
    {"Container VerticalLayout HorizontalLayout TabLayout", "inset:r childpadding:i mousechild:b"},
    {"TabLayout", "selectedid:i"},
    {"Label Button Option Edit Progress",
     "align:a valign:v endellipsis:b font:f textcolor:c disabledtextcolor:c textpadding:r showhtml:b"},
    {"Button Option Edit", "normalimage:m hotimage:m focusedimage:m disabledimage:m"},
    {"Button Option", "pushedimage:m hottextcolor:c pushedtextcolor:c focusedtextcolor:c"},
    {"Option", "group:t selected:b selectedimage:m selectedhotimage:m selectedtextcolor:c"},
    {"Edit", "maxchar:i password:b numberonly:b readonly:b selectedbkcolor:c"},
    {"Progress", "hor:b min:i max:i value:i foreimage:m"},
};

// Lints one skin file; each problem is a line naming the element and the attribute.
class SkinLint {
public:
    SkinLint(SkinUI::CUIPaintManager& images, std::string file) : m_images(images), m_file(std::move(file)) {}

    std::string Run(const std::string& xml) {
        pugi::xml_document document;
        if (!document.load_buffer(xml.data(), xml.size())) return m_file + ": not well-formed XML";
        for ([[maybe_unused]] const pugi::xml_node font : document.document_element().children("Font"))
            ++m_fontCount;
        Walk(document.document_element());
        return m_problems;
    }

private:
    void Walk(const pugi::xml_node& element) {
        const std::string tag = " " + std::string(element.name()) + " ";
        std::string words = " ";
        for (const auto& [tags, line] : kWords)
            if ((" " + tags + " ").find(tag) != std::string::npos) words += line + " ";
        if (words == " ") Problem(element, "", "a tag the installer's skins do not use");
        for (const pugi::xml_attribute attribute : element.attributes()) {
            const size_t at = words.find(" " + std::string(attribute.name()) + ":");
            const char kind = at == std::string::npos ? 0 : words[at + std::strlen(attribute.name()) + 2];
            const std::string bad = kind != 0 ? ValueProblem(kind, platform::WideFromUtf8(attribute.value()))
                                              : "not an attribute of this tag";
            if (!bad.empty()) Problem(element, attribute.name(), bad + " (\"" + attribute.value() + "\")");
        }
        const std::string name = element.attribute("name").value();
        if (std::string_view(element.name()) != "Font" && !name.empty() && !m_names.insert(name).second)
            Problem(element, "name", "a second control of that name");
        for (const pugi::xml_node child : element.children())
            if (child.type() == pugi::node_element) Walk(child);
    }

    std::string ValueProblem(char kind, const std::wstring& value) {
        int number = 0;
        RECT rect{};
        SIZE size{};
        DWORD color = 0;
        switch (kind) {
            case 'i':
                return SkinUI::ParseInt(value, &number) ? "" : "not a number";
            case 'b':
                return value == L"true" || value == L"false" ? "" : "neither true nor false";
            case 'c':
                // Six digits parse too, with alpha 0: an invisible colour.
                return value.size() == 9 && SkinUI::ParseColor(value, &color) && (color >> 24) != 0
                           ? ""
                           : "not an opaque #AARRGGBB colour";
            case 'r':
                return SkinUI::ParseRect(value, &rect) ? "" : "not a rectangle";
            case 's':
                return SkinUI::ParseSize(value, &size) ? "" : "not a size";
            case 'f':
                return SkinUI::ParseInt(value, &number) && number >= 0 && number < m_fontCount ? "" : "no such font";
            case 'a':
                return value == L"left" || value == L"center" || value == L"right" ? "" : "not left, center or right";
            case 'v':
                return value == L"top" || value == L"vcenter" || value == L"bottom" ? "" : "not top, vcenter or bottom";
            case 'm':
                return ImageProblem(value);
        }
        return {};
    }

    std::string ImageProblem(const std::wstring& value) {
        SkinUI::UIImageSpec spec;
        if (!SkinUI::ParseImageSpec(value, &spec) || !spec.file) return "a malformed image spec";
        const SkinUI::UIImageInfo* image =
            m_images.FindImage(SkinUI::UIImageRef{SkinUI::UIImageRef::Origin::SkinFile, *spec.file, {}, std::nullopt});
        if (image == nullptr) return "an image the archive does not hold as a decodable file";
        const RECT source = spec.source.value_or(RECT{0, 0, image->width, image->height});
        if (source.left < 0 || source.top < 0 || source.right > image->width || source.bottom > image->height ||
            source.left >= source.right || source.top >= source.bottom)
            return "a source outside the image";
        if (spec.corner && (spec.corner->left + spec.corner->right > source.right - source.left ||
                            spec.corner->top + spec.corner->bottom > source.bottom - source.top))
            return "corners wider than the source";
        return {};
    }

    void Problem(const pugi::xml_node& element, std::string_view attribute, const std::string& what) {
        m_problems += m_file + ": <" + element.name() + " name=" + element.attribute("name").value() + "> " +
                      std::string(attribute) + ": " + what + "\n";
    }

    SkinUI::CUIPaintManager& m_images;
    std::string m_file;
    int m_fontCount = 0;
    std::set<std::string> m_names;
    std::string m_problems;
};

}  // namespace

TEST_F(InstallerSkinTest, EverySkinBuildsCleanlyWithTheControlsTheWindowsLookUp) {
    // "name:class" for each control the window code looks up; "-" for one it relies on not finding.
    const struct {
        const wchar_t* file;
        const wchar_t* lookups;
    } skins[] = {
        {kMainSkin,
         L"pro_InstallProgress:Progress lb_tip1:Label lb_tip2:Label btn_min:Button btn_close:Button "
         L"about_free:Container hlayout_install:Container btn_install:Button tb_main:TabLayout btn_free:Button "
         L"edit_input:Edit btn_select:Button btn_agreement:Button lb_tip:Label change_ad:Label opt_agree:Option "
         L"page_progress:Container "
         // With "opt_auto" the install would register the launcher to start with the system.
         L"opt_auto:- lb_download:- vlt_bk:- btn_agreement1:-"},
        {kBoxSkin,
         L"btn_cancel:Button btn_ok:Button btn_close:Button lb_title:Label lb_text:Label hlt_btn_0:Container "
         L"lb_code:Label"},
    };
    for (const auto& skin : skins) {
        SCOPED_TRACE(Narrow(skin.file));
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(SkinUI::WindowImplBase::SkinArchive()->ReadEntry(skin.file, &bytes));
        const std::string xml(bytes.begin(), bytes.end());
        SkinUI::CUIPaintManager manager;
        manager.SetSkinArchive(SkinUI::WindowImplBase::SkinArchive());
        SkinUI::CUIDialogBuilder builder;
        CControlUI* root = builder.BuildFromText(xml, &manager);
        ASSERT_NE(root, nullptr) << Narrow(builder.LastError());
        manager.AttachRoot(root);
        EXPECT_EQ(Narrow(builder.LastError()), "");
        EXPECT_EQ(SkinLint(manager, Narrow(skin.file)).Run(xml), "");
        std::wistringstream lookups(skin.lookups);
        for (std::wstring word; lookups >> word;) {
            const std::wstring name = word.substr(0, word.find(L':'));
            const std::wstring facet = word.substr(word.find(L':') + 1);
            CControlUI* control = manager.ControlByName(name.c_str());
            EXPECT_TRUE(facet == L"-" ? control == nullptr : control && control->QueryFacet(facet.c_str()))
                << Narrow(word);
        }
    }
}

TEST_F(InstallerSkinTest, TheSizesAndPlacesTheWindowsComputeWith) {
    CSkinWindow window(kMainSkin);
    ASSERT_NE(window.Open(), nullptr);
    RECT rect{};
    GetWindowRect(window.GetHWND(), &rect);
    EXPECT_EQ(rect.right - rect.left, 540);
    EXPECT_EQ(rect.bottom - rect.top, kInstallHeight);
    EXPECT_GE(window.PaintManager().GetCaptionRect().bottom, kCustomHeight) << "dragged from anywhere, at any height";
    EXPECT_EQ(window.Find(L"about_free")->GetPresetHeight(), 86);
    EXPECT_EQ(window.Find(L"hlayout_install")->GetPresetHeight(), 84);
    auto* tab = static_cast<SkinUI::CTabLayoutUI*>(window.Find(L"tb_main")->QueryFacet(L"TabLayout"));
    {
        SCOPED_TRACE("the custom options unfolded");
        window.SetHeight(kCustomHeight);
        window.Find(L"about_free")->Show(true);
        window.Settle();
        EXPECT_EQ(window.Find(L"about_free")->GetBounds().bottom, kCustomHeight) << "they fill the added height";
        EXPECT_EQ(window.Find(L"btn_install")->GetBounds().top, 318) << "the rest of the page stays where it was";
    }
    tab->ShowPage(1);
    for (const int height : kProgressHeights) {
        SCOPED_TRACE("the progress view " + std::to_string(height) + " high");
        window.SetHeight(height);
        const RECT bar = window.Find(L"pro_InstallProgress")->GetBounds();
        EXPECT_EQ(bar, (RECT{0, height - 6, 540, height})) << "the bar lies along the window's bottom";
        // The window places the bubble over the bar's leading edge by its own height; the
        // place must survive later layouts and end above the bar.
        CControlUI* bubble = window.Find(L"lb_tip1");
        const RECT place{486 - 14, height - 34, 486 + 14, height - 11};
        bubble->Show(true);
        bubble->SetBounds(place);
        window.Find(L"page_progress")->RequestRelayout();
        window.Settle();
        EXPECT_EQ(bubble->GetBounds(), place);
        EXPECT_LE(place.bottom, bar.top);
    }
    DestroyWindow(window.GetHWND());

    CSkinWindow box(kBoxSkin);
    ASSERT_NE(box.Open(), nullptr);
    const RECT cancel = box.Find(L"btn_cancel")->GetBounds();
    EXPECT_EQ(box.Find(L"btn_cancel")->GetParentControl(), box.Find(L"hlt_btn_0")) << "hidden with hlt_btn_0";
    EXPECT_LT(box.Find(L"btn_ok")->GetBounds().right, cancel.left);
    // With one button, OK takes the cancel button's place at the edge.
    box.Find(L"hlt_btn_0")->Show(false);
    box.Settle();
    EXPECT_EQ(box.Find(L"btn_ok")->GetBounds().right, cancel.right);
    DestroyWindow(box.GetHWND());
}

TEST_F(InstallerSkinTest, TheProgramsWindowsKnowEveryExtendedControlsTag) {
    // The window base registers them before its first skin: no program can forget it.
    CSkinWindow window(kBoxSkin);
    ASSERT_NE(window.Open(), nullptr);
    for (const wchar_t* tag : {L"RichEdit", L"DateTime", L"ComboBox", L"List", L"ListHeader", L"ListHeaderItem",
                               L"ListLabelElement", L"ListTextElement", L"ListContainerElement", L"TreeNode",
                               L"TreeView", L"Menu", L"ExpandList", L"Combo", L"ActiveX", L"Flash", L"WebBrowser"}) {
        EXPECT_TRUE(SkinUI::CUIControlFactory::Instance().IsRegistered(tag)) << Narrow(tag);
    }
    DestroyWindow(window.GetHWND());
}
