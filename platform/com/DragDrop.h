// Drop targets registered per window, as the OLE drag-and-drop calls keep them.
//
// RegisterDragDrop takes a reference to the target until RevokeDragDrop (or
// until the window's registration is replaced by nothing: there is none
// without a revoke). This platform has no drag source of its own and takes no
// drops from other programs, so nothing calls a registered target here; the
// registry is what lets a window's owner pair its registrations correctly.
// Any thread; the registry locks.
#pragma once

#include "platform/com/ComBase.h"
#include "platform/com/OleEmbedding.h"
#include "platform/window/WindowTypes.h"

// POINTL and the IDataObject declaration come with the OLE embedding interfaces.

inline constexpr IID IID_IDropTarget = {0x00000122, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IDropTarget : public IUnknown {
public:
    virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;

protected:
    ~IDropTarget() = default;
};

inline constexpr HRESULT DRAGDROP_E_NOTREGISTERED = static_cast<HRESULT>(0x80040100);
inline constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = static_cast<HRESULT>(0x80040101);
inline constexpr HRESULT DRAGDROP_E_INVALIDHWND = static_cast<HRESULT>(0x80040102);

// E_INVALIDARG for a null target, DRAGDROP_E_INVALIDHWND for a dead window.
HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target);
HRESULT RevokeDragDrop(HWND hwnd);

namespace platform {

// The target registered for the window, without a new reference; null when none.
IDropTarget* RegisteredDropTarget(HWND hwnd);

}  // namespace platform
