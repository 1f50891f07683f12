#include "platform/window/Menu.h"

#include <array>
#include <map>
#include <mutex>

#include "platform/types/ErrorCodes.h"
#include "platform/window/WinMessages.h"
#include "platform/window/WindowApi.h"

namespace platform {

namespace {

constexpr std::array<UINT, 6> kCommands = {static_cast<UINT>(SC_RESTORE),  static_cast<UINT>(SC_MOVE),
                                           static_cast<UINT>(SC_SIZE),     static_cast<UINT>(SC_MINIMIZE),
                                           static_cast<UINT>(SC_MAXIMIZE), static_cast<UINT>(SC_CLOSE)};

struct SystemMenu {
    HWND hwnd = nullptr;
    std::array<UINT, kCommands.size()> states{};
};

struct MenuTable {
    std::mutex mutex;
    std::map<HMENU, SystemMenu> menus;
    std::map<HWND, HMENU> byWindow;
    uintptr_t next = 0x10000;
};

MenuTable& Menus() {
    static MenuTable table;
    return table;
}

// Index of the item, or -1.
int ItemIndex(UINT item, UINT flags) {
    if (flags & MF_BYPOSITION) return item < kCommands.size() ? static_cast<int>(item) : -1;
    for (size_t i = 0; i < kCommands.size(); ++i) {
        if (kCommands[i] == (item & 0xFFF0)) return static_cast<int>(i);
    }
    return -1;
}

// The item's state, or null; an unknown menu also sets the last error. The caller holds the
// table's lock.
UINT* ItemState(MenuTable& table, HMENU menu, UINT item, UINT flags) {
    const auto found = table.menus.find(menu);
    if (found == table.menus.end()) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    const int index = ItemIndex(item, flags);
    return index < 0 ? nullptr : &found->second.states[index];
}

}  // namespace

bool SystemCommandEnabled(HWND hwnd, UINT command) {
    MenuTable& table = Menus();
    std::lock_guard lock(table.mutex);
    const auto found = table.byWindow.find(hwnd);
    if (found == table.byWindow.end()) return true;
    const int index = ItemIndex(command, MF_BYCOMMAND);
    return index < 0 || (table.menus[found->second].states[index] & (MF_GRAYED | MF_DISABLED)) == 0;
}

void ForgetSystemMenu(HWND hwnd) {
    MenuTable& table = Menus();
    std::lock_guard lock(table.mutex);
    const auto found = table.byWindow.find(hwnd);
    if (found == table.byWindow.end()) return;
    table.menus.erase(found->second);
    table.byWindow.erase(found);
}

}  // namespace platform

HMENU GetSystemMenu(HWND hwnd, BOOL revert) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    platform::MenuTable& table = platform::Menus();
    std::lock_guard lock(table.mutex);
    const auto found = table.byWindow.find(hwnd);
    if (revert) {
        if (found != table.byWindow.end()) table.menus[found->second].states.fill(MF_ENABLED);
        return nullptr;
    }
    if (found != table.byWindow.end()) return found->second;
    const auto menu = reinterpret_cast<HMENU>(table.next++);
    table.menus[menu].hwnd = hwnd;
    table.byWindow[hwnd] = menu;
    return menu;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    platform::MenuTable& table = platform::Menus();
    std::lock_guard lock(table.mutex);
    UINT* state = platform::ItemState(table, menu, item, flags);
    if (state == nullptr) return kMenuItemMissing;
    const UINT previous = *state;
    *state = flags & (MF_GRAYED | MF_DISABLED);
    return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    platform::MenuTable& table = platform::Menus();
    std::lock_guard lock(table.mutex);
    const UINT* state = platform::ItemState(table, menu, item, flags);
    return state == nullptr ? kMenuItemMissing : *state;
}
