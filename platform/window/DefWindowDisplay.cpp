#include "platform/window/DefWindowDisplay.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/window/Focus.h"
#include "platform/window/Icon.h"
#include "platform/window/InputRouter.h"
#include "platform/window/Menu.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

LRESULT HitTest(const WindowObject& window, LPARAM lParam) {
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const POINT origin = ScreenOrigin(window);
    const RECT client = window.ClientRect();
    point.x -= origin.x;
    point.y -= origin.y;
    if (point.x < 0 || point.y < 0 || point.x >= client.right || point.y >= client.bottom) return HTNOWHERE;
    return HTCLIENT;
}

LPCWSTR CursorForHit(LRESULT hit) {
    switch (hit) {
        case HTLEFT:
        case HTRIGHT:
            return IDC_SIZEWE;
        case HTTOP:
        case HTBOTTOM:
            return IDC_SIZENS;
        case HTTOPLEFT:
        case HTBOTTOMRIGHT:
            return IDC_SIZENWSE;
        case HTTOPRIGHT:
        case HTBOTTOMLEFT:
            return IDC_SIZENESW;
        default:
            return IDC_ARROW;
    }
}

bool IsSizingHit(LRESULT hit) {
    return hit >= HTLEFT && hit <= HTBOTTOMRIGHT;
}

void ClampToTrackSize(HWND hwnd, WINDOWPOS* pos) {
    const MINMAXINFO info = QueryMinMaxInfo(hwnd);
    pos->cx = std::clamp<int>(pos->cx, info.ptMinTrackSize.x, std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
    pos->cy = std::clamp<int>(pos->cy, info.ptMinTrackSize.y, std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
}

}  // namespace

bool DefaultDisplayMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto window = LookUpWindow(hwnd);
    if (!window) return false;
    const bool child = (window->Style() & WS_CHILD) != 0;
    *result = 0;
    switch (message) {
        case WM_NCHITTEST:
            *result = HitTest(*window, lParam);
            return true;
        case WM_SETCURSOR: {
            if (child && SendMessageW(window->Parent(), WM_SETCURSOR, wParam, lParam)) {
                *result = TRUE;
                return true;
            }
            const auto hit = static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam)));
            if (hit == HTCLIENT) {
                if (HCURSOR cursor = window->Class()->info.hCursor) {
                    SetCursor(cursor);
                    *result = TRUE;
                }
                return true;
            }
            SetCursor(LoadCursorW(nullptr, CursorForHit(hit)));
            *result = TRUE;
            return true;
        }
        case WM_MOUSEACTIVATE:
            if (child) {
                if (LRESULT answer = SendMessageW(window->Parent(), WM_MOUSEACTIVATE, wParam, lParam)) {
                    *result = answer;
                    return true;
                }
            }
            *result = MA_ACTIVATE;
            return true;
        case WM_MOUSEWHEEL:
            // Unhandled wheel turns go up to the parent, which may scroll.
            if (child) *result = SendMessageW(window->Parent(), message, wParam, lParam);
            return true;
        case WM_NCLBUTTONDOWN:
            if (wParam == static_cast<WPARAM>(HTCAPTION)) {
                SendMessageW(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
            } else if (IsSizingHit(static_cast<LRESULT>(wParam))) {
                SendMessageW(hwnd, WM_SYSCOMMAND, SC_SIZE | (wParam - HTLEFT + 1), lParam);
            }
            return true;
        case WM_NCLBUTTONDBLCLK:
            if (wParam == static_cast<WPARAM>(HTCAPTION) && (window->Style() & WS_MAXIMIZEBOX)) {
                SendMessageW(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
            }
            return true;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    SendMessageW(hwnd, WM_CLOSE, 0, 0);
                    break;
                case SC_MINIMIZE:
                    ShowWindow(hwnd, SW_MINIMIZE);
                    break;
                case SC_MAXIMIZE:
                    ShowWindow(hwnd, SW_MAXIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(hwnd, SW_RESTORE);
                    break;
                case SC_MOVE:
                    InputRouter::Instance().BeginDrag(hwnd, HTCAPTION);
                    break;
                case SC_SIZE: {
                    const WPARAM edge = wParam & 0x000F;
                    if (edge >= 1 && edge <= 8) InputRouter::Instance().BeginDrag(hwnd, HTLEFT + edge - 1);
                    break;
                }
                default:
                    break;
            }
            return true;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4 && (lParam & (LPARAM{1} << 29))) {
                auto top = TopLevelWindow(window);
                if (SystemCommandEnabled(top->Handle(), SC_CLOSE)) {
                    PostMessageW(top->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
                }
            }
            return true;
        case WM_WINDOWPOSCHANGING: {
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            // As in Win32, only sizable or overlapped windows are held to their track sizes here; pop-ups
            // meet them when the user drags an edge.
            const DWORD style = window->Style();
            const bool sizable = (style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD));
            if (pos && sizable && !(pos->flags & SWP_NOSIZE) && !(style & (WS_MINIMIZE | WS_MAXIMIZE))) {
                ClampToTrackSize(hwnd, pos);
            }
            return true;
        }
        case WM_WINDOWPOSCHANGED: {
            const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (!pos) return true;
            if (!(pos->flags & SWP_NOCLIENTMOVE)) {
                SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(pos->x), static_cast<WORD>(pos->y)));
            }
            if (!(pos->flags & SWP_NOCLIENTSIZE)) {
                const DWORD style = window->Style();
                const WPARAM kind = (style & WS_MINIMIZE)   ? SIZE_MINIMIZED
                                    : (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED
                                                            : SIZE_RESTORED;
                SendMessageW(hwnd, WM_SIZE, kind, MAKELPARAM(static_cast<WORD>(pos->cx), static_cast<WORD>(pos->cy)));
            }
            return true;
        }
        case WM_NCACTIVATE:
            *result = TRUE;
            return true;
        case WM_SETTEXT: {
            window->SetTitle(lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"");
            if (IWindowBackend* backend = BackendFor(*window); backend && !child) backend->WindowChanged(*window);
            *result = TRUE;
            return true;
        }
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<LPWSTR>(lParam);
            if (!buffer || wParam == 0) return true;
            const std::wstring title = window->Title();
            const size_t count = std::min(title.size(), static_cast<size_t>(wParam - 1));
            std::wmemcpy(buffer, title.data(), count);
            buffer[count] = L'\0';
            *result = static_cast<LRESULT>(count);
            return true;
        }
        case WM_SETICON: {
            if (wParam != ICON_SMALL && wParam != ICON_BIG) return true;
            *result = reinterpret_cast<LRESULT>(SetWindowIconHandle(hwnd, wParam, reinterpret_cast<HICON>(lParam)));
            if (IWindowBackend* backend = BackendFor(*window); backend && !child) backend->WindowChanged(*window);
            return true;
        }
        case WM_GETICON:
            *result = reinterpret_cast<LRESULT>(WindowIcon(hwnd, wParam == ICON_BIG ? ICON_BIG : ICON_SMALL));
            return true;
        case WM_GETTEXTLENGTH:
            *result = static_cast<LRESULT>(window->Title().size());
            return true;
        case WM_ERASEBKGND: {
            HBRUSH brush = window->Class()->info.hbrBackground;
            if (!brush || !wParam) return true;
            const RECT client = window->ClientRect();
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            *result = TRUE;
            return true;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(hwnd, &paint)) EndPaint(hwnd, &paint);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace platform
