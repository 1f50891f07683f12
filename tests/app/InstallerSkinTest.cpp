// The installer's skins as the program ships them (its "ZIPRES" resource): every file builds
// without a complaint, every attribute is one the framework reads, with a value it takes;
// every control the windows look up is there with the class they use; the sizes and places
// the main window computes with hold; the program's texts fit where they are shown.
// RendersBothSkinsForAPerson writes pictures of the windows in their states to
// <build>/artifacts/skins, for a person to look at; nothing compares them.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/display/HeadlessDisplay.h"
#include "platform/gdi/Gdi.h"
#include "platform/resource/Resource.h"
#include "platform/strings/StringConv.h"
#include "platform/window/Icon.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"
#include "support/MessagePump.h"
#include "support/PngBytes.h"
#include "support/RectCheck.h"
#include "ui/basic/LabelUI.h"
#include "ui/basic/OptionUI.h"
#include "ui/basic/ProgressUI.h"
#include "ui/core/AttributeText.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"
#include "ui/core/TabLayoutUI.h"
#include "ui/render/RenderEngine.h"
#include "ui/skin/ImageSpec.h"
#include "ui/window/WindowImplBase.h"
#include "ui/window/WndShadow.h"

using SkinUI::CControlUI;
using SkinUI::CUIPaintManager;
using SkinUI::CUIString;

namespace {

constexpr wchar_t kMainSkin[] = L"InstallPackages.xml";
constexpr wchar_t kBoxSkin[] = L"MessageBox.xml";

// The heights the main window shows: the install page, with the custom options, and the
// progress view (the window less 36, the options when shown and the install row).
constexpr int kInstallHeight = 434;
constexpr int kCustomHeight = kInstallHeight + 86;
constexpr int kProgressHeight = kInstallHeight - 36 - 84;
constexpr int kProgressHeightGameIdZero = kInstallHeight - 84;

std::string Narrow(std::wstring_view text) {
    return platform::Utf8FromWide(std::wstring(text));
}

class CSkinWindow : public SkinUI::WindowImplBase {
public:
    explicit CSkinWindow(std::wstring skin) : m_skin(std::move(skin)) {}

    CControlUI* Find(const wchar_t* name) { return m_pm.ControlByName(name); }
    template <class T>
    T* Find(const wchar_t* name, const wchar_t* facet) {
        CControlUI* control = Find(name);
        return control != nullptr ? static_cast<T*>(control->QueryFacet(facet)) : nullptr;
    }

protected:
    LPCWSTR RegisteredClassName() const override { return L"InstallerSkinTest"; }
    std::wstring SkinFileName() const override { return m_skin; }

private:
    std::wstring m_skin;
};

// The headless display, for the test's lifetime; the skin comes from the program's resource.
class InstallerSkinTest : public ::testing::Test {
protected:
    InstallerSkinTest() {
        platform::SetWindowBackend(&display);
        SkinUI::CWndShadow::RegisterShadowClass();
    }
    ~InstallerSkinTest() override {
        SkinUI::WindowImplBase::ReleaseSkinArchive();
        platform::SetWindowBackend(nullptr);
    }

    // Created at (100, 80) and shown, as the program shows it.
    HWND Open(CSkinWindow& window) {
        const HWND hwnd = window.CreateHwnd(nullptr, L"skin", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
        if (hwnd == nullptr) return nullptr;
        SetWindowPos(hwnd, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        window.ShowHwnd(true, true);
        Settle(window);
        return hwnd;
    }
    // Lets queued input arrive, then lays out and paints.
    static void Settle(CSkinWindow& window) {
        testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
        window.PaintManager().UpdateLayout();
        UpdateWindow(window.GetHWND());
    }
    static SIZE WindowSize(HWND hwnd) {
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        return SIZE{rect.right - rect.left, rect.bottom - rect.top};
    }
    static void SetHeight(CSkinWindow& window, int height) {
        RECT rect{};
        GetWindowRect(window.GetHWND(), &rect);
        SetWindowPos(window.GetHWND(), nullptr, rect.left, rect.top, rect.right - rect.left, height,
                     SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);
        Settle(window);
    }

    platform::HeadlessDisplay display;
};

std::string SkinText(const wchar_t* file) {
    std::vector<uint8_t> bytes;
    const SkinUI::CSkinZip* zip = SkinUI::WindowImplBase::SkinArchive();
    if (zip == nullptr || !zip->ReadEntry(file, &bytes)) return {};
    return std::string(bytes.begin(), bytes.end());
}

// --- the attribute vocabulary the framework reads, by tag --------------------------------

enum class Kind { Text, Int, Bool, Color, Rect, Size, Image, FontIndex, Align, VAlign };
using Vocabulary = std::map<std::string, Kind, std::less<>>;

const Vocabulary kControlWords = {{"name", Kind::Text},     {"text", Kind::Text},         {"tooltip", Kind::Text},
                                  {"userdata", Kind::Text}, {"pos", Kind::Rect},          {"padding", Kind::Rect},
                                  {"width", Kind::Int},     {"height", Kind::Int},        {"minwidth", Kind::Int},
                                  {"maxwidth", Kind::Int},  {"minheight", Kind::Int},     {"maxheight", Kind::Int},
                                  {"bkcolor", Kind::Color}, {"bordercolor", Kind::Color}, {"bordersize", Kind::Int},
                                  {"bkimage", Kind::Image}, {"colorhsl", Kind::Bool},     {"enabled", Kind::Bool},
                                  {"mouse", Kind::Bool},    {"visible", Kind::Bool},      {"float", Kind::Bool}};
const Vocabulary kContainerWords = {{"inset", Kind::Rect}, {"childpadding", Kind::Int}, {"mousechild", Kind::Bool}};
const Vocabulary kTabWords = {{"selectedid", Kind::Int}};
const Vocabulary kLabelWords = {{"align", Kind::Align},      {"valign", Kind::VAlign},
                                {"endellipsis", Kind::Bool}, {"font", Kind::FontIndex},
                                {"textcolor", Kind::Color},  {"disabledtextcolor", Kind::Color},
                                {"textpadding", Kind::Rect}, {"showhtml", Kind::Bool}};
const Vocabulary kButtonWords = {{"normalimage", Kind::Image},     {"hotimage", Kind::Image},
                                 {"pushedimage", Kind::Image},     {"focusedimage", Kind::Image},
                                 {"disabledimage", Kind::Image},   {"hottextcolor", Kind::Color},
                                 {"pushedtextcolor", Kind::Color}, {"focusedtextcolor", Kind::Color}};
const Vocabulary kOptionWords = {{"group", Kind::Text},
                                 {"selected", Kind::Bool},
                                 {"selectedimage", Kind::Image},
                                 {"selectedhotimage", Kind::Image},
                                 {"selectedtextcolor", Kind::Color}};
const Vocabulary kEditWords = {
    {"maxchar", Kind::Int},    {"password", Kind::Bool},         {"numberonly", Kind::Bool},
    {"readonly", Kind::Bool},  {"selectedbkcolor", Kind::Color}, {"normalimage", Kind::Image},
    {"hotimage", Kind::Image}, {"focusedimage", Kind::Image},    {"disabledimage", Kind::Image}};
const Vocabulary kProgressWords = {
    {"hor", Kind::Bool}, {"min", Kind::Int}, {"max", Kind::Int}, {"value", Kind::Int}, {"foreimage", Kind::Image}};
const Vocabulary kWindowWords = {{"size", Kind::Size},
                                 {"mininfo", Kind::Size},
                                 {"maxinfo", Kind::Size},
                                 {"caption", Kind::Rect},
                                 {"sizebox", Kind::Rect},
                                 {"roundcorner", Kind::Size},
                                 {"defaultfontcolor", Kind::Color},
                                 {"shadow", Kind::Image},
                                 {"shadowborder", Kind::Rect}};
const Vocabulary kFontWords = {{"name", Kind::Text},      {"size", Kind::Int},    {"bold", Kind::Bool},
                               {"underline", Kind::Bool}, {"italic", Kind::Bool}, {"default", Kind::Bool}};

// The tags the shipped skins may use (the classes the installer's windows are built of).
const std::map<std::string, std::vector<const Vocabulary*>, std::less<>>& TagVocabularies() {
    static const std::map<std::string, std::vector<const Vocabulary*>, std::less<>> tags = {
        {"Control", {&kControlWords}},
        {"Container", {&kControlWords, &kContainerWords}},
        {"VerticalLayout", {&kControlWords, &kContainerWords}},
        {"HorizontalLayout", {&kControlWords, &kContainerWords}},
        {"TabLayout", {&kControlWords, &kContainerWords, &kTabWords}},
        {"Label", {&kControlWords, &kLabelWords}},
        {"Button", {&kControlWords, &kLabelWords, &kButtonWords}},
        {"Option", {&kControlWords, &kLabelWords, &kButtonWords, &kOptionWords}},
        {"Edit", {&kControlWords, &kLabelWords, &kEditWords}},
        {"Progress", {&kControlWords, &kLabelWords, &kProgressWords}},
    };
    return tags;
}

std::optional<Kind> KindOf(const std::vector<const Vocabulary*>& vocabularies, std::string_view name) {
    for (const Vocabulary* words : vocabularies) {
        const auto found = words->find(name);
        if (found != words->end()) return found->second;
    }
    return std::nullopt;
}

// Lints one skin file; each problem is one line naming the element and the attribute.
class SkinLint {
public:
    SkinLint(CUIPaintManager& images, const wchar_t* file) : m_images(images), m_file(Narrow(file)) {}

    std::vector<std::string> Run(const std::string& xml) {
        pugi::xml_document document;
        if (!document.load_buffer(xml.data(), xml.size())) return {m_file + ": not well-formed XML"};
        const pugi::xml_node window = document.document_element();
        if (std::string_view(window.name()) != "Window") return {m_file + ": the root is not a Window"};
        for (const pugi::xml_node font : window.children("Font")) {
            (void)font;
            ++m_fontCount;
        }
        Check(window, {&kWindowWords});
        for (const pugi::xml_node child : window.children()) {
            if (child.type() != pugi::node_element) continue;
            if (std::string_view(child.name()) == "Font") {
                Check(child, {&kFontWords});
            } else {
                Walk(child);
            }
        }
        return m_problems;
    }

private:
    void Walk(const pugi::xml_node& element) {
        const auto& tags = TagVocabularies();
        const auto found = tags.find(std::string_view(element.name()));
        if (found == tags.end()) {
            Problem(element, "", "a tag the installer's skins do not use");
        } else {
            Check(element, found->second);
        }
        const std::string name = element.attribute("name").value();
        if (!name.empty() && !m_names.insert(name).second) Problem(element, "name", "a second control named " + name);
        for (const pugi::xml_node child : element.children())
            if (child.type() == pugi::node_element) Walk(child);
    }

    void Check(const pugi::xml_node& element, const std::vector<const Vocabulary*>& vocabularies) {
        for (const pugi::xml_attribute attribute : element.attributes()) {
            const std::string_view name = attribute.name();
            const std::wstring value = platform::WideFromUtf8(attribute.value());
            const std::optional<Kind> kind = KindOf(vocabularies, name);
            if (!kind) {
                Problem(element, name, "not an attribute of this tag");
                continue;
            }
            const std::string bad = ValueProblem(*kind, value);
            if (!bad.empty()) Problem(element, name, bad + " (\"" + attribute.value() + "\")");
        }
    }

    std::string ValueProblem(Kind kind, const std::wstring& value) {
        int number = 0;
        RECT rect{};
        SIZE size{};
        DWORD color = 0;
        switch (kind) {
            case Kind::Text:
                return {};
            case Kind::Int:
                return SkinUI::ParseInt(value, &number) ? "" : "not a number";
            case Kind::Bool:
                return value == L"true" || value == L"false" ? "" : "neither true nor false";
            case Kind::Color:
                // Six digits parse too, with alpha 0: an invisible colour.
                if (value.size() != 9 || value[0] != L'#' || !SkinUI::ParseColor(value, &color))
                    return "not a #AARRGGBB colour";
                return (color >> 24) == 0 ? "fully transparent" : "";
            case Kind::Rect:
                return SkinUI::ParseRect(value, &rect) ? "" : "not a rectangle";
            case Kind::Size:
                return SkinUI::ParseSize(value, &size) ? "" : "not a size";
            case Kind::FontIndex:
                if (!SkinUI::ParseInt(value, &number)) return "not a number";
                return number >= 0 && number < m_fontCount ? "" : "no such font";
            case Kind::Align:
                return value == L"left" || value == L"center" || value == L"right" ? "" : "not left, center or right";
            case Kind::VAlign:
                return value == L"top" || value == L"vcenter" || value == L"bottom" ? "" : "not top, vcenter or bottom";
            case Kind::Image:
                return ImageProblem(value);
        }
        return {};
    }

    std::string ImageProblem(const std::wstring& value) {
        SkinUI::UIImageSpec spec;
        if (!SkinUI::ParseImageSpec(value, &spec)) return "a malformed image spec";
        if (!spec.file) return "an image spec without a file";
        const SkinUI::UIImageInfo* image =
            m_images.FindImage(SkinUI::UIImageRef{SkinUI::UIImageRef::Origin::SkinFile, *spec.file, {}, std::nullopt});
        if (image == nullptr) return "an image the archive does not hold as a decodable file";
        const RECT whole{0, 0, image->width, image->height};
        const RECT source = spec.source.value_or(whole);
        if (source.left < 0 || source.top < 0 || source.right > image->width || source.bottom > image->height ||
            source.left >= source.right || source.top >= source.bottom)
            return "a source outside the image";
        if (spec.corner && (spec.corner->left + spec.corner->right > source.right - source.left ||
                            spec.corner->top + spec.corner->bottom > source.bottom - source.top))
            return "corners wider than the source";
        return {};
    }

    void Problem(const pugi::xml_node& element, std::string_view attribute, const std::string& what) {
        std::string where = m_file + ": <" + element.name();
        const std::string name = element.attribute("name").value();
        if (!name.empty()) where += " name=" + name;
        where += ">";
        if (!attribute.empty()) where += " " + std::string(attribute);
        m_problems.push_back(where + ": " + what);
    }

    CUIPaintManager& m_images;
    std::string m_file;
    int m_fontCount = 0;
    std::set<std::string> m_names;
    std::vector<std::string> m_problems;
};

std::string Lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

// Whether `text` fits on one line in the label's text area, with its current font.
::testing::AssertionResult FitsIn(CSkinWindow& window, CControlUI* control, std::wstring_view text, int font) {
    auto* label = control != nullptr ? static_cast<SkinUI::CLabelUI*>(control->QueryFacet(L"Label")) : nullptr;
    if (label == nullptr) return ::testing::AssertionFailure() << "no label";
    const RECT& b = label->GetBounds();
    const RECT& pad = label->GetTextPadding();
    const int room = (b.right - b.left) - pad.left - pad.right;
    RECT measured{0, 0, 0, 0};
    SkinUI::CUIRenderEngine::DrawPlainText(window.PaintManager().MeasureDC(), &window.PaintManager(), measured, text, 0,
                                           font, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    if (measured.right <= room) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Narrow(text) << " needs " << measured.right << " pixels, "
                                         << Narrow(label->GetName().View()) << " has " << room;
}

// Every named control is there (with the class `facet` names), so a test can go on using them.
::testing::AssertionResult Has(CSkinWindow& window,
                               std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> names) {
    for (const auto& [name, facet] : names) {
        CControlUI* control = window.Find(name);
        if (control == nullptr || control->QueryFacet(facet) == nullptr)
            return ::testing::AssertionFailure() << "no " << Narrow(facet) << " named " << Narrow(name);
    }
    return ::testing::AssertionSuccess();
}

const std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> kMainControls = {
    {L"pro_InstallProgress", L"Progress"},
    {L"lb_tip1", L"Label"},
    {L"about_free", L"Container"},
    {L"hlayout_install", L"Container"},
    {L"tb_main", L"TabLayout"},
    {L"btn_install", L"Button"},
    {L"opt_agree", L"Option"},
    {L"btn_agreement", L"Button"},
    {L"btn_free", L"Button"},
    {L"btn_min", L"Button"},
    {L"btn_close", L"Button"},
    {L"edit_input", L"Edit"},
    {L"btn_select", L"Button"},
    {L"lb_tip", L"Label"},
    {L"change_ad", L"Label"},
    {L"page_progress", L"Container"}};
const std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> kBoxControls = {
    {L"btn_ok", L"Button"}, {L"btn_cancel", L"Button"}, {L"btn_close", L"Button"},   {L"lb_title", L"Label"},
    {L"lb_text", L"Label"}, {L"lb_code", L"Label"},     {L"hlt_btn_0", L"Container"}};

}  // namespace

TEST_F(InstallerSkinTest, EverySkinBuildsCleanlyWithAttributesTheFrameworkReads) {
    for (const wchar_t* file : {kMainSkin, kBoxSkin}) {
        SCOPED_TRACE(Narrow(file));
        const std::string xml = SkinText(file);
        ASSERT_FALSE(xml.empty()) << "the skin archive lacks the file";
        CUIPaintManager manager;
        manager.SetSkinArchive(SkinUI::WindowImplBase::SkinArchive());
        SkinUI::CUIDialogBuilder builder;
        CControlUI* root = builder.BuildFromText(xml, &manager);
        ASSERT_NE(root, nullptr) << Narrow(builder.LastError());
        manager.AttachRoot(root);
        EXPECT_EQ(Narrow(builder.LastError()), "");
        EXPECT_EQ(Lines(SkinLint(manager, file).Run(xml)), "");
    }
}

TEST_F(InstallerSkinTest, TheControlsTheWindowsLookUpAreThereWithTheirClasses) {
    struct Lookup {
        const wchar_t* name;
        const wchar_t* facet;  // null: the window code relies on its absence
    };
    const struct {
        const wchar_t* file;
        std::vector<Lookup> lookups;
    } skins[] = {
        {kMainSkin,
         {{L"pro_InstallProgress", L"Progress"},
          {L"lb_tip1", L"Label"},
          {L"lb_tip2", L"Label"},
          {L"btn_min", L"Button"},
          {L"btn_close", L"Button"},
          {L"about_free", L"Container"},
          {L"hlayout_install", L"Container"},
          {L"btn_install", L"Button"},
          {L"tb_main", L"TabLayout"},
          {L"btn_free", L"Button"},
          {L"edit_input", L"Edit"},
          {L"btn_select", L"Button"},
          {L"btn_agreement", L"Button"},
          {L"lb_tip", L"Label"},
          {L"change_ad", L"Label"},
          {L"opt_agree", L"Option"},
          // Absent on purpose: with "opt_auto" the install would register the launcher to
          // start with the system and write the choice into the client's preferences.
          {L"opt_auto", nullptr},
          {L"lb_download", nullptr},
          {L"vlt_bk", nullptr},
          {L"btn_agreement1", nullptr}}},
        {kBoxSkin,
         {{L"btn_cancel", L"Button"},
          {L"btn_ok", L"Button"},
          {L"btn_close", L"Button"},
          {L"lb_title", L"Label"},
          {L"lb_text", L"Label"},
          {L"hlt_btn_0", L"Container"},
          {L"lb_code", L"Label"}}},
    };
    for (const auto& skin : skins) {
        SCOPED_TRACE(Narrow(skin.file));
        CSkinWindow window(skin.file);
        ASSERT_NE(Open(window), nullptr);
        for (const Lookup& lookup : skin.lookups) {
            SCOPED_TRACE(Narrow(lookup.name));
            CControlUI* control = window.Find(lookup.name);
            if (lookup.facet == nullptr) {
                EXPECT_EQ(control, nullptr);
            } else {
                ASSERT_NE(control, nullptr);
                EXPECT_NE(control->QueryFacet(lookup.facet), nullptr) << "not a " << Narrow(lookup.facet);
            }
        }
        DestroyWindow(window.GetHWND());
    }

    // What the windows find at start, before their code changes anything.
    {
        CSkinWindow main(kMainSkin);
        ASSERT_NE(Open(main), nullptr);
        ASSERT_TRUE(Has(main, kMainControls));
        EXPECT_TRUE(main.Find<SkinUI::COptionUI>(L"opt_agree", L"Option")->IsSelected());
        EXPECT_EQ(main.Find(L"opt_agree")->GetCaption(), CUIString(L"阅读并同意"));
        EXPECT_FALSE(main.Find(L"about_free")->IsVisibleFlag()) << "the custom options start folded away";
        EXPECT_EQ(main.Find<SkinUI::CTabLayoutUI>(L"tb_main", L"TabLayout")->CurrentPage(), 0);
        EXPECT_EQ(main.Find(L"btn_free")->GetCaption(), CUIString(L"自定义选项"));
        EXPECT_EQ(main.Find(L"btn_free")->GetBackImage(), CUIString(L"file='icon_down.png' dest='0,0,15,15'"))
            << "the closed state's image, as the window sets it when the options fold away";
        EXPECT_EQ(main.Find<SkinUI::CLabelUI>(L"lb_tip1", L"Label")->m_fontIndex, 3)
            << "the percent font, which the window restores after a failed check";
        EXPECT_GT(main.PaintManager().FontCount(), 4) << "the window switches the bubble to font 4";
        bool slogan = false;
        main.PaintManager().GetRoot()->FindControl(
            [](CControlUI* control, void* found) {
                if (control->GetCaption() != CUIString(L"安装Tarnvik体验更好的游戏服务")) return false;
                *static_cast<bool*>(found) = control->IsShown();
                return true;
            },
            &slogan, SkinUI::kFindAll);
        EXPECT_TRUE(slogan);
        DestroyWindow(main.GetHWND());
    }
    {
        CSkinWindow box(kBoxSkin);
        ASSERT_NE(Open(box), nullptr);
        ASSERT_TRUE(Has(box, kBoxControls));
        EXPECT_EQ(box.Find(L"lb_title")->GetCaption(), CUIString(L"退出安装"));
        EXPECT_EQ(box.Find(L"lb_text")->GetCaption(), CUIString(L"是否退出安装？"));
        EXPECT_EQ(box.Find(L"btn_ok")->GetCaption(), CUIString(L"确定"));
        EXPECT_EQ(box.Find(L"btn_cancel")->GetCaption(), CUIString(L"取消"));
        EXPECT_EQ(box.Find(L"btn_close")->GetTooltip(), CUIString(L"关闭"));
        EXPECT_EQ(box.Find<SkinUI::CLabelUI>(L"lb_code", L"Label")->m_textColor, 0xFF7F8486u);
        EXPECT_EQ(box.Find(L"btn_cancel")->GetParentControl(), box.Find(L"hlt_btn_0"))
            << "hiding hlt_btn_0 must take the cancel button with it";
        DestroyWindow(box.GetHWND());
    }
}

TEST_F(InstallerSkinTest, TheMainWindowHasTheSizesItsCodeComputesWith) {
    CSkinWindow window(kMainSkin);
    const HWND hwnd = Open(window);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(Has(window, kMainControls));
    CUIPaintManager& pm = window.PaintManager();
    EXPECT_EQ(WindowSize(hwnd).cx, 540);
    EXPECT_EQ(WindowSize(hwnd).cy, kInstallHeight);
    EXPECT_EQ(pm.GetMinSize().cx, 540);
    EXPECT_EQ(pm.GetMinSize().cy, 434);
    EXPECT_EQ(pm.GetMaxSize().cx, 540);
    EXPECT_EQ(pm.GetMaxSize().cy, 514);
    EXPECT_GE(pm.GetCaptionRect().bottom, kCustomHeight) << "the window is dragged from anywhere, at every height";
    EXPECT_EQ(window.Find(L"about_free")->GetPresetHeight(), 86);
    EXPECT_EQ(window.Find(L"hlayout_install")->GetPresetHeight(), 84);

    const RECT client{0, 0, 540, 0};
    auto expectInside = [&](int height) {
        for (const wchar_t* name :
             {L"btn_install", L"opt_agree", L"btn_agreement", L"btn_free", L"btn_min", L"btn_close", L"edit_input",
              L"btn_select", L"lb_tip", L"change_ad", L"pro_InstallProgress"}) {
            CControlUI* control = window.Find(name);
            if (!control->IsShown()) continue;
            const RECT& b = control->GetBounds();
            EXPECT_TRUE(b.left >= client.left && b.right <= client.right && b.top >= 0 && b.bottom <= height &&
                        b.right > b.left && b.bottom > b.top)
                << Narrow(name) << " at height " << height;
        }
    };
    expectInside(kInstallHeight);
    {
        SCOPED_TRACE("the custom options unfolded");
        SetHeight(window, kCustomHeight);
        window.Find(L"about_free")->Show(true);
        Settle(window);
        EXPECT_EQ(window.Find(L"about_free")->GetBounds().bottom, kCustomHeight) << "they fill the added height";
        EXPECT_EQ(window.Find(L"btn_install")->GetBounds().top, 318) << "the rest of the page stays where it was";
        expectInside(kCustomHeight);
    }

    auto* bar = window.Find<SkinUI::CProgressUI>(L"pro_InstallProgress", L"Progress");
    auto* tab = window.Find<SkinUI::CTabLayoutUI>(L"tb_main", L"TabLayout");
    for (const int height : {kProgressHeight, kProgressHeightGameIdZero}) {
        SCOPED_TRACE("the progress view " + std::to_string(height) + " high");
        SetHeight(window, height);
        tab->ShowPage(1);
        Settle(window);
        // The picture ends where the bubble reaches into it; a taller window adds to the top.
        EXPECT_EQ(window.Find(L"change_ad")->GetBounds(), (RECT{0, height - 24 - 290, 540, height - 24}));
        EXPECT_EQ(bar->GetBounds(), (RECT{0, height - 6, 540, height})) << "the bar lies along the window's bottom";
        expectInside(height);
        // The window draws the bar as wide as its value: every width up to the bar's own.
        bar->SetProgress(540);
        EXPECT_EQ(bar->GetProgress(), 540);
        bar->SetProgress(0);
        // The bubble is placed over the bar's leading edge by the window's height; it must
        // stay there through later layouts, and end above the bar.
        CControlUI* bubble = window.Find(L"lb_tip1");
        const int width = 486;
        const RECT place{width - 14, height - 34, width + 14, height - 11};
        bubble->Show(true);
        bubble->SetBounds(place);
        window.Find(L"page_progress")->RequestRelayout();
        Settle(window);
        EXPECT_EQ(bubble->GetBounds(), place);
        EXPECT_LE(place.bottom, bar->GetBounds().top);
        bubble->Show(false);
        tab->ShowPage(0);
    }
}

TEST_F(InstallerSkinTest, TheMessageBoxKeepsItsButtonsAtTheRightEdge) {
    CSkinWindow box(kBoxSkin);
    const HWND hwnd = Open(box);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(Has(box, kBoxControls));
    EXPECT_EQ(WindowSize(hwnd).cx, 280);
    EXPECT_EQ(WindowSize(hwnd).cy, 115);
    EXPECT_EQ(box.PaintManager().GetCaptionRect().bottom, 35);
    const RECT title = box.Find(L"lb_title")->GetBounds();
    EXPECT_LE(title.bottom, 35) << "the title stays in the caption area";
    const RECT cancel = box.Find(L"btn_cancel")->GetBounds();
    EXPECT_LT(box.Find(L"btn_ok")->GetBounds().right, cancel.left);
    // With one button, OK takes the cancel button's place at the edge.
    box.Find(L"hlt_btn_0")->Show(false);
    Settle(box);
    EXPECT_EQ(box.Find(L"btn_ok")->GetBounds().right, cancel.right);
    EXPECT_GT(box.Find(L"lb_code")->GetBounds().right - box.Find(L"lb_code")->GetBounds().left,
              cancel.right - cancel.left)
        << "the code line gets the room the button left";
}

TEST_F(InstallerSkinTest, BothWindowsCastTheirShadow) {
    for (const wchar_t* file : {kMainSkin, kBoxSkin}) {
        SCOPED_TRACE(Narrow(file));
        CSkinWindow window(file);
        ASSERT_NE(Open(window), nullptr);
        EXPECT_NE(window.Shadow().GetHWND(), nullptr);
        EXPECT_EQ(window.Shadow().Insets(), (RECT{5, 4, 5, 6}));
        EXPECT_EQ(window.PaintManager().GetRoundCorner().cx, 2);
        EXPECT_EQ(window.PaintManager().GetRoundCorner().cy, 2);
    }
}

TEST_F(InstallerSkinTest, TheProgramsTextsFitWhereTheyAreShown) {
    {
        CSkinWindow box(kBoxSkin);
        ASSERT_NE(Open(box), nullptr);
        ASSERT_TRUE(Has(box, kBoxControls));
        for (const wchar_t* text :
             {L"您已经运行了一个Tarnvik安装程序。", L"是否退出安装？", L"请点击阅读 软件许可协议 并勾选同意。",
              L"文件已损坏，请重新下载！", L"连接超时，请检查网络是否正常"})
            EXPECT_TRUE(FitsIn(box, box.Find(L"lb_text"), text, 0));
        EXPECT_TRUE(FitsIn(box, box.Find(L"lb_title"), L"提示信息", 1));
        for (const wchar_t* caption : {L"重新下载", L"退出安装", L"重试"}) {
            EXPECT_TRUE(FitsIn(box, box.Find(L"btn_ok"), caption, 0));
            EXPECT_TRUE(FitsIn(box, box.Find(L"btn_cancel"), caption, 0));
        }
        box.Find(L"hlt_btn_0")->Show(false);
        Settle(box);
        EXPECT_TRUE(FitsIn(box, box.Find(L"lb_code"), L"code:-2147483648 type:5", 2));
        DestroyWindow(box.GetHWND());
    }
    CSkinWindow main(kMainSkin);
    ASSERT_NE(Open(main), nullptr);
    ASSERT_TRUE(Has(main, kMainControls));
    SetHeight(main, kCustomHeight);
    main.Find(L"about_free")->Show(true);
    Settle(main);
    for (const wchar_t* text :
         {L"所需磁盘空间：400.00MB          可用磁盘空间：1023.99GB", L"安装目录无效，请选择正确的目录",
          L"该磁盘剩余空间不足，请选择其他目录安装", L"该目录权限不足，请选择其他目录安装"})
        EXPECT_TRUE(FitsIn(main, main.Find(L"lb_tip"), text, 0));
    // The bubble is 28 pixels wide wherever the window puts it.
    CControlUI* bubble = main.Find(L"lb_tip1");
    bubble->SetBounds(RECT{100, 0, 128, 23});
    EXPECT_TRUE(FitsIn(main, bubble, L"100%", 3));
    EXPECT_TRUE(FitsIn(main, bubble, L"安装中", 4));
}

TEST_F(InstallerSkinTest, TheProgramIconHasAnImageForEveryDesktopSize) {
    for (const int size : {16, 24, 32, 48, 256}) {
        SCOPED_TRACE(size);
        const HICON icon = LoadImageW(nullptr, MAKEINTRESOURCEW(SkinUI::CWindowWnd::kWindowIconId), IMAGE_ICON, size,
                                      size, LR_DEFAULTCOLOR);
        const auto image = platform::IconImageOf(icon);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->width, size);
        EXPECT_EQ(image->height, size);
        EXPECT_EQ(image->argb[0] >> 24, 0u) << "the tile's corner is round";
        EXPECT_EQ(image->argb[static_cast<size_t>(size / 2) * size + size / 2] >> 24, 0xFFu);
    }
    CSkinWindow window(kMainSkin);
    ASSERT_NE(Open(window), nullptr);
    EXPECT_TRUE(window.SetWindowIcon());
    EXPECT_NE(platform::WindowIcon(window.GetHWND(), ICON_BIG), nullptr);
    EXPECT_NE(platform::WindowIcon(window.GetHWND(), ICON_SMALL), nullptr);
}

// Pictures of both windows for a person to look at (not compared): the install page, its
// buttons hot and pushed, the custom options, the progress view while downloading and while
// installing, and the message box in the program's uses.
TEST_F(InstallerSkinTest, RendersBothSkinsForAPerson) {
    std::error_code error;
    const auto dir =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path().parent_path() / "artifacts" / "skins";
    std::filesystem::create_directories(dir, error);
    auto save = [&](HWND hwnd, const char* name) {
        const SIZE size = WindowSize(hwnd);
        std::vector<uint32_t> pixels(static_cast<size_t>(size.cx) * size.cy);
        ASSERT_TRUE(platform::CopyShownPixels(hwnd, RECT{0, 0, size.cx, size.cy}, pixels.data()));
        const std::vector<uint8_t> png = testsupport::PngBytes(size.cx, size.cy, pixels);
        std::ofstream((dir / name).string(), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    };
    // The window with its shadow window under it, over a plain desktop.
    auto saveOnDesktop = [&](CSkinWindow& window, const char* name) {
        const HWND shadow = window.Shadow().GetHWND();
        ASSERT_NE(shadow, nullptr);
        RECT outer{};
        RECT inner{};
        GetWindowRect(shadow, &outer);
        GetWindowRect(window.GetHWND(), &inner);
        const int width = outer.right - outer.left + 40;
        const int height = outer.bottom - outer.top + 40;
        std::vector<uint32_t> canvas(static_cast<size_t>(width) * height, 0xFFE9ECF0);
        auto layer = [&](HWND hwnd, const RECT& place) {
            const int w = place.right - place.left;
            const int h = place.bottom - place.top;
            std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
            ASSERT_TRUE(platform::CopyShownPixels(hwnd, RECT{0, 0, w, h}, pixels.data()));
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const uint32_t src = pixels[static_cast<size_t>(y) * w + x];
                    uint32_t& dst = canvas[static_cast<size_t>(y + place.top - outer.top + 20) * width +
                                           (x + place.left - outer.left + 20)];
                    const uint32_t keep = 255 - (src >> 24);
                    uint32_t out = 0xFF000000u;
                    for (int shift = 0; shift < 24; shift += 8)
                        out |= std::min<uint32_t>(255, ((src >> shift) & 0xFF) + ((dst >> shift) & 0xFF) * keep / 255)
                               << shift;
                    dst = out;
                }
            }
        };
        layer(shadow, outer);
        layer(window.GetHWND(), inner);
        const std::vector<uint8_t> png = testsupport::PngBytes(width, height, canvas);
        std::ofstream((dir / name).string(), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    };
    auto pointAt = [&](CSkinWindow& window, const wchar_t* name) {
        Settle(window);
        const RECT b = window.Find(name)->GetBounds();
        POINT pt{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
        ClientToScreen(window.GetHWND(), &pt);
        display.MoveMouse(pt.x, pt.y);
        Settle(window);
    };

    {
        CSkinWindow main(kMainSkin);
        const HWND hwnd = Open(main);
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(Has(main, kMainControls));
        save(hwnd, "main-1-install.png");
        saveOnDesktop(main, "main-0-on-desktop.png");
        pointAt(main, L"btn_install");
        save(hwnd, "main-2-install-hot.png");
        display.PressButton(platform::RawInput::Button::Left);
        Settle(main);
        save(hwnd, "main-3-install-pushed.png");
        display.ReleaseButton(platform::RawInput::Button::Left);
        pointAt(main, L"btn_close");
        save(hwnd, "main-4-close-hot.png");

        // The custom options, as the window unfolds them.
        SetHeight(main, kCustomHeight);
        main.Find(L"about_free")->Show(true);
        main.Find(L"edit_input")->SetCaption(L"D:\\Quorvel网络\\QuorvelTarnvik");
        main.Find(L"lb_tip")->SetCaption(L"所需磁盘空间：400.00MB          可用磁盘空间：86.42GB");
        main.Find(L"btn_free")->SetBackImage(L"file='icon_up.png' dest='0,0,15,15'");
        pointAt(main, L"btn_select");
        save(hwnd, "main-5-custom.png");
        auto* tip = main.Find<SkinUI::CLabelUI>(L"lb_tip", L"Label");
        main.Find(L"edit_input")->SetCaption(L"1:\\游戏");
        tip->SetCaption(L"安装目录无效，请选择正确的目录");
        tip->SetTextColor(0xFFFF0000);
        main.Find(L"edit_input")->TakeFocus();
        pointAt(main, L"btn_free");
        save(hwnd, "main-6-custom-error.png");

        // The progress view: downloading at 37 %, then installing at 90 %, as the window draws them.
        SetHeight(main, kProgressHeight);
        main.Find<SkinUI::CTabLayoutUI>(L"tb_main", L"TabLayout")->ShowPage(1);
        auto* bar = main.Find<SkinUI::CProgressUI>(L"pro_InstallProgress", L"Progress");
        auto* bubble = main.Find<SkinUI::CLabelUI>(L"lb_tip1", L"Label");
        auto showBar = [&](int width, const wchar_t* caption, int font) {
            CUIString spec;
            spec.FormatShort(L" file='progress_fore.png' source='0,10,470,16'  dest='0,0,%d,6' ", width);
            bar->SetBackImage(spec);
            bar->SetProgress(width);
            const int height = WindowSize(hwnd).cy;
            bubble->Show(true);
            bubble->SetBounds(RECT{width - 14, height - 34, width + 14, height - 11});
            bubble->SetFontIndex(font);
            bubble->SetCaption(caption);
            display.MoveMouse(0, 0);
            Settle(main);
        };
        showBar(static_cast<int>(0.9f * 540 * 0.37f), L"37%", 3);
        save(hwnd, "main-7-downloading.png");
        showBar(486 + 20, L"安装中", 4);
        save(hwnd, "main-8-installing.png");
        // Game id 0 keeps the 36 pixels and shows the platform's picture.
        SetHeight(main, kProgressHeightGameIdZero);
        main.Find(L"change_ad")->SetBackImage(L"file='ad00.png'");
        showBar(static_cast<int>(0.9f * 540 * 0.05f), L"5%", 3);
        save(hwnd, "main-9-downloading-platform.png");
        DestroyWindow(hwnd);
    }

    struct BoxCase {
        const char* file;
        const wchar_t* title;
        const wchar_t* text;
        const wchar_t* ok;
        const wchar_t* cancel;  // null: the cancel button hidden
        const wchar_t* code;
        const wchar_t* hot;  // the control under the mouse, or null
    };
    const BoxCase boxes[] = {
        {"box-1-quit.png", L"退出安装", L"是否退出安装？", nullptr, L"", L"", nullptr},
        {"box-2-quit-ok-hot.png", L"退出安装", L"是否退出安装？", nullptr, L"", L"", L"btn_ok"},
        {"box-3-agreement.png", L"提示信息", L"请点击阅读 软件许可协议 并勾选同意。", nullptr, nullptr, L"", nullptr},
        {"box-4-damaged.png", L"提示信息", L"文件已损坏，请重新下载！", L"重新下载", L"退出安装", L"", L"btn_cancel"},
        {"box-5-retry.png", L"提示信息", L"连接超时，请检查网络是否正常", L"重试", nullptr, L"code:28 type:5",
         L"btn_close"},
        {"box-6-running.png", L"提示信息", L"您已经运行了一个Tarnvik安装程序。", nullptr, nullptr, L"", nullptr},
    };
    for (const BoxCase& c : boxes) {
        SCOPED_TRACE(c.file);
        CSkinWindow box(kBoxSkin);
        const HWND hwnd = Open(box);
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(Has(box, kBoxControls));
        box.Find(L"lb_title")->SetCaption(c.title);
        box.Find(L"lb_text")->SetCaption(c.text);
        box.Find(L"lb_code")->SetCaption(c.code);
        if (c.ok != nullptr) box.Find(L"btn_ok")->SetCaption(c.ok);
        if (c.cancel != nullptr && *c.cancel != 0) box.Find(L"btn_cancel")->SetCaption(c.cancel);
        box.Find(L"hlt_btn_0")->Show(c.cancel != nullptr);
        display.MoveMouse(0, 0);
        Settle(box);
        if (c.hot != nullptr) pointAt(box, c.hot);
        save(hwnd, c.file);
        if (&c == &boxes[0]) saveOnDesktop(box, "box-0-on-desktop.png");
        DestroyWindow(hwnd);
    }
}
