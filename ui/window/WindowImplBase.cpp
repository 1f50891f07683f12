#include "ui/window/WindowImplBase.h"

#include <pugixml.hpp>

#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/resource/Resource.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/controls/ControlTags.h"
#include "ui/core/AttributeText.h"

namespace SkinUI {

namespace {

// The thread's shared skin archive (UI thread only, as every window).
std::shared_ptr<CSkinZip>& SharedArchive() {
    static std::shared_ptr<CSkinZip> archive;
    return archive;
}

std::shared_ptr<CSkinZip> ArchiveFromResource() {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(WindowImplBase::kSkinResourceId), L"ZIPRES");
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return nullptr;
    HSKINZIP zip = OpenSkinZip(bytes, SizeofResource(nullptr, found));
    if (zip == nullptr) return nullptr;
    return std::shared_ptr<CSkinZip>(zip, &CloseSkinZip);
}

// The shadow settings of the skin's "Window" element, which the dialog builder leaves to the
// window: "shadow" (the image) and "shadowborder" (left, top, right, bottom).
struct ShadowSettings {
    std::wstring image;
    RECT insets{};
};

bool ReadShadowSettings(const CSkinZip& archive, std::wstring_view fileName, ShadowSettings* out) {
    std::vector<uint8_t> bytes;
    if (!archive.ReadEntry(fileName, &bytes)) return false;
    pugi::xml_document document;
    if (!document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8)) return false;
    const pugi::xml_node window = document.document_element();
    if (std::string_view(window.name()) != "Window") return false;
    const std::wstring image = platform::WideFromUtf8(window.attribute("shadow").value());
    RECT insets{};
    if (image.empty() || !ParseRect(platform::WideFromUtf8(window.attribute("shadowborder").value()), &insets)) {
        return false;
    }
    out->image = image;
    out->insets = insets;
    return true;
}

bool Contains(const RECT& rect, POINT pt) {
    return pt.x >= rect.left && pt.x < rect.right && pt.y >= rect.top && pt.y < rect.bottom;
}

}  // namespace

WindowImplBase::WindowImplBase() : m_tooltip(&m_pm) {}

WindowImplBase::~WindowImplBase() {
    // Before the paint manager and the shadow go: the window must not reach them half-destroyed.
    ReleaseWindow();
    m_shadow.Detach();
    m_pm.RemoveNotifier(this);
}

void WindowImplBase::SetSkinArchive(HSKINZIP zip) {
    HSKINZIP held = RetainSkinZip(zip);
    SharedArchive() = held != nullptr ? std::shared_ptr<CSkinZip>(held, &CloseSkinZip) : nullptr;
}

const CSkinZip* WindowImplBase::SkinArchive() {
    auto& archive = SharedArchive();
    if (archive == nullptr) archive = ArchiveFromResource();
    return archive.get();
}

bool WindowImplBase::HasSkinArchive() {
    return SharedArchive() != nullptr;
}

void WindowImplBase::ReleaseSkinArchive() {
    SharedArchive().reset();
}

HWND WindowImplBase::CreateHwnd(HWND owner, LPCWSTR title, DWORD style, DWORD exStyle, int x, int y, int width,
                                int height, HMENU menu) {
    const HWND hwnd = CWindowWnd::CreateHwnd(owner, title, style, exStyle, x, y, width, height, menu);
    if (hwnd == nullptr) return nullptr;
    const SIZE size = m_pm.GetInitialSize();
    if (size.cx > 0 && size.cy > 0 && IsWindow(hwnd)) {
        SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

bool WindowImplBase::BuildSkin() {
    SkinArchive();
    m_archive = SharedArchive();
    if (m_archive == nullptr) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    m_pm.Bind(m_hwnd);
    m_pm.SetSkinArchive(m_archive.get());
    m_pm.AddNotifier(this);
    RegisterControlTags();
    CUIDialogBuilder builder;
    CControlUI* root = builder.BuildFromSkinFile(m_archive.get(), SkinFileName(), &m_pm, this);
    if (root == nullptr) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    m_pm.AttachRoot(root);

    ShadowSettings shadow;
    if (ReadShadowSettings(*m_archive, SkinFileName(), &shadow) && m_shadow.SetImage(shadow.image, shadow.insets)) {
        m_shadow.Attach(m_hwnd, &m_pm);
    }
    RECT client{};
    if (GetClientRect(m_hwnd, &client)) {
        m_pm.SetClientSize(SIZE{client.right, client.bottom});
        ApplyRoundCorners(client.right, client.bottom);
    }
    return true;
}

CControlUI* WindowImplBase::CreateControl(std::wstring_view /*tag*/) {
    return nullptr;
}

void WindowImplBase::OnNotify(UINotifyMsg& msg) {
    if (msg.type == L"click" && msg.sender != nullptr && msg.sender->GetName() == L"btn_min") {
        SendMessageW(m_hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    }
}

bool WindowImplBase::OnDefaultKey(WPARAM key) {
    if (key != VK_ESCAPE) return false;
    PostClose(kEscapeCloseResult);
    return true;
}

LRESULT WindowImplBase::OnSysCommandMsg(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::HitTest(LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(m_hwnd, &pt);
    RECT client{};
    GetClientRect(m_hwnd, &client);
    if (!Contains(client, pt)) return HTNOWHERE;

    const RECT& box = m_pm.GetSizeBox();
    if (!IsZoomed(m_hwnd) && (box.left > 0 || box.top > 0 || box.right > 0 || box.bottom > 0)) {
        const bool left = pt.x < client.left + box.left;
        const bool right = pt.x >= client.right - box.right;
        const bool top = pt.y < client.top + box.top;
        const bool bottom = pt.y >= client.bottom - box.bottom;
        if (top && left) return HTTOPLEFT;
        if (top && right) return HTTOPRIGHT;
        if (bottom && left) return HTBOTTOMLEFT;
        if (bottom && right) return HTBOTTOMRIGHT;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
        if (top) return HTTOP;
        if (bottom) return HTBOTTOM;
    }

    // "caption" is left, top and right insets and the height from the top.
    const RECT& caption = m_pm.GetCaptionRect();
    const RECT area{client.left + caption.left, client.top + caption.top, client.right - caption.right,
                    client.top + caption.bottom};
    if (caption.bottom > 0 && Contains(area, pt)) {
        // The mouse may arrive before the first paint has laid the controls out.
        m_pm.UpdateLayout();
        // Controls that take input stay usable inside the caption; the rest drags the window.
        CControlUI* control = m_pm.ControlAtPoint(pt.x, pt.y);
        if (control == nullptr || (control->GetBehaviourFlags() &
                                   (kBehaviourFocusStop | kBehaviourFocusOnPress | kBehaviourHandlesMouse)) == 0) {
            return HTCAPTION;
        }
    }
    return HTCLIENT;
}

void WindowImplBase::ApplyRoundCorners(int width, int height) {
    const SIZE corner = m_pm.GetRoundCorner();
    if (corner.cx <= 0 || corner.cy <= 0 || width <= 0 || height <= 0) return;
    // A maximised window fills the work area: no corners to cut.
    if (IsZoomed(m_hwnd)) {
        SetWindowRgn(m_hwnd, nullptr, TRUE);
        return;
    }
    HRGN region = CreateRoundRectRgn(0, 0, width, height, corner.cx, corner.cy);
    if (region != nullptr) SetWindowRgn(m_hwnd, region, TRUE);
}

LRESULT WindowImplBase::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            if (!BuildSkin()) return -1;
            OnWindowReady();
            return 0;
        case WM_DESTROY:
            m_shadow.Detach();
            break;
        case WM_NCHITTEST:
            return HitTest(lParam);
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            const SIZE minSize = m_pm.GetMinSize();
            const SIZE maxSize = m_pm.GetMaxSize();
            if (info != nullptr && minSize.cx > 0 && minSize.cy > 0)
                info->ptMinTrackSize = POINT{minSize.cx, minSize.cy};
            if (info != nullptr && maxSize.cx > 0 && maxSize.cy > 0)
                info->ptMaxTrackSize = POINT{maxSize.cx, maxSize.cy};
            return 0;
        }
        case WM_SIZE:
            ApplyRoundCorners(LOWORD(static_cast<DWORD_PTR>(lParam)), HIWORD(static_cast<DWORD_PTR>(lParam)));
            m_shadow.OnOwnerMessage(message, wParam, lParam);
            break;
        case WM_MOVE:
        case WM_SHOWWINDOW:
            m_shadow.OnOwnerMessage(message, wParam, lParam);
            break;
        case WM_KEYDOWN: {
            // Tab moves the focus even where the message loop does not pre-translate.
            MSG msg{};
            msg.hwnd = m_hwnd;
            msg.message = message;
            msg.wParam = wParam;
            msg.lParam = lParam;
            if (wParam == VK_TAB && m_pm.PreFilterMessage(&msg)) return 0;
            if (OnDefaultKey(wParam)) return 0;
            break;
        }
        case WM_SYSCOMMAND: {
            bool handled = false;
            const LRESULT result = OnSysCommandMsg(message, wParam, lParam, handled);
            if (handled) return result;
            return CWindowWnd::OnWindowMessage(message, wParam, lParam);
        }
        default:
            break;
    }
    LRESULT result = 0;
    if (m_pm.HandleWindowMessage(message, wParam, lParam, result)) return result;
    return CWindowWnd::OnWindowMessage(message, wParam, lParam);
}

void WindowImplBase::OnLastMessage(HWND /*hwnd*/) {
    m_pm.RemoveNotifier(this);
    m_pm.Bind(nullptr);
}

}  // namespace SkinUI
