// A stand-in for an ActiveX object, for the host tests and the test module that serves it
// through "DllGetClassObject"; header-only and free of calls into the platform library, so
// the module can carry the same class. It activates in place the way such objects do
// (windowless when its options ask for it and the site allows it, else in the window its
// site gives) and records what the host sends it. Tests reach the object behind any of its
// interfaces through IFakeProbe.
#pragma once

#include <functional>
#include <vector>

#include "platform/com/ComApi.h"
#include "platform/com/OleEmbedding.h"
#include "platform/window/WinMessages.h"

namespace fakeax {

class CFakeOleObject;

// The class the test module serves.
inline constexpr CLSID CLSID_FakeModuleObject = {
    0x7E57AC02, 0x0002, 0x4A11, {0x8B, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};

inline constexpr IID IID_IFakeProbe = {0x7E57AC01, 0x0001, 0x4A11, {0x8B, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};

// Reaches the test object behind any of its interfaces.
struct IFakeProbe : IUnknown {
    virtual CFakeOleObject* Self() noexcept = 0;

protected:
    ~IFakeProbe() = default;
};

// Points of the drawn rectangle further than this inside its edges hit the object, whose
// window messages answer kMessageResult.
inline constexpr int kHitInset = 10;
inline constexpr LRESULT kMessageResult = 77;

struct FakeOptions {
    bool windowless = true;
    HRESULT initNewResult = S_OK;
    // Keep a reference on the client site after SetClientSite(null), as a careless
    // object would, until the object dies.
    bool keepSite = false;
    // What TranslateAccelerator answers.
    HRESULT acceleratorAnswer = S_OK;
    const char* origin = "test";
    int* alive = nullptr;
};

class CFakeOleObject : public IOleObject,
                       public IOleControl,
                       public IViewObjectEx,
                       public IOleInPlaceObjectWindowless,
                       public IOleInPlaceActiveObject,
                       public IPersistStreamInit,
                       public IObjectWithSite,
                       public IFakeProbe {
public:
    explicit CFakeOleObject(const FakeOptions& options) : options(options) {
        if (options.alive != nullptr) ++*options.alive;
    }
    CFakeOleObject(const CFakeOleObject&) = delete;
    CFakeOleObject& operator=(const CFakeOleObject&) = delete;

    FakeOptions options;
    std::vector<UINT> messages;    // OnWindowMessage
    std::vector<UINT> translated;  // TranslateAccelerator
    std::vector<LONG> verbs;
    RECT lastObjectRect{};
    bool active = false;
    bool activeWindowless = false;
    HWND window = nullptr;  // the window it was activated in
    IOleClientSite* clientSite = nullptr;
    IOleInPlaceSite* inPlaceSite = nullptr;
    IOleInPlaceSiteWindowless* windowlessSite = nullptr;
    IOleInPlaceFrame* frame = nullptr;
    IUnknown* site = nullptr;  // from IObjectWithSite
    IOleClientSite* keptSite = nullptr;
    std::function<void(HDC, const RECTL&)> onDraw;

    // ---- IUnknown ----
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleObject) {
            *object = static_cast<IOleObject*>(this);
        } else if (iid == IID_IOleControl) {
            *object = static_cast<IOleControl*>(this);
        } else if (iid == IID_IViewObject || iid == IID_IViewObject2 || iid == IID_IViewObjectEx) {
            *object = static_cast<IViewObjectEx*>(this);
        } else if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow ||
                   (options.windowless && iid == IID_IOleInPlaceObjectWindowless)) {
            *object = static_cast<IOleInPlaceObjectWindowless*>(this);
        } else if (iid == IID_IOleInPlaceActiveObject) {
            *object = static_cast<IOleInPlaceActiveObject*>(this);
        } else if (iid == IID_IPersistStreamInit) {
            *object = static_cast<IPersistStreamInit*>(this);
        } else if (iid == IID_IObjectWithSite) {
            *object = static_cast<IObjectWithSite*>(this);
        } else if (iid == IID_IFakeProbe) {
            *object = static_cast<IFakeProbe*>(this);
        } else {
            *object = QueryMore(iid);
            if (*object == nullptr) return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++m_refs; }
    ULONG Release() noexcept override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    CFakeOleObject* Self() noexcept override { return this; }

    // ---- IOleObject ----
    HRESULT SetClientSite(IOleClientSite* newSite) noexcept override {
        if (newSite == nullptr && options.keepSite && clientSite != nullptr && keptSite == nullptr) {
            keptSite = clientSite;
            keptSite->AddRef();
        }
        if (newSite != nullptr) newSite->AddRef();
        Drop(clientSite);
        clientSite = newSite;
        return S_OK;
    }
    HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) noexcept override { return S_OK; }
    HRESULT Close(DWORD) noexcept override {
        Deactivate();
        return S_OK;
    }
    HRESULT DoVerb(LONG verb, MSG*, IOleClientSite* verbSite, LONG, HWND parent, const RECT*) noexcept override {
        verbs.push_back(verb);
        if (verbSite == nullptr) return E_INVALIDARG;
        if (verb != OLEIVERB_PRIMARY && verb != OLEIVERB_SHOW && verb != OLEIVERB_INPLACEACTIVATE &&
            verb != OLEIVERB_UIACTIVATE) {
            return E_NOTIMPL;
        }
        const HRESULT activated = Activate(verbSite, parent);
        if (SUCCEEDED(activated) && verb == OLEIVERB_UIACTIVATE && inPlaceSite != nullptr) inPlaceSite->OnUIActivate();
        return activated;
    }
    HRESULT SetExtent(DWORD, SIZEL*) noexcept override { return S_OK; }
    HRESULT GetMiscStatus(DWORD, DWORD* status) noexcept override {
        *status = 0;
        return S_OK;
    }

    // ---- IPersistStreamInit ----
    HRESULT InitNew() noexcept override { return options.initNewResult; }

    // ---- IViewObjectEx ----
    HRESULT Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc, const RECTL* bounds, const RECTL*,
                 BOOL (*)(ULONG_PTR), ULONG_PTR) noexcept override {
        if (onDraw) onDraw(drawDc, *bounds);
        return S_OK;
    }
    HRESULT QueryHitPoint(DWORD, const RECT* bounds, POINT location, LONG, DWORD* result) noexcept override {
        const bool inside = location.x >= bounds->left + kHitInset && location.x < bounds->right - kHitInset &&
                            location.y >= bounds->top + kHitInset && location.y < bounds->bottom - kHitInset;
        *result = inside ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }

    // ---- IOleWindow (in-place object and active object) ----
    HRESULT GetWindow(HWND* hwnd) noexcept override {
        *hwnd = activeWindowless ? nullptr : window;
        return *hwnd != nullptr ? S_OK : E_FAIL;
    }
    HRESULT ContextSensitiveHelp(BOOL) noexcept override { return S_OK; }

    // ---- IOleInPlaceObjectWindowless ----
    HRESULT SetObjectRects(const RECT* position, const RECT*) noexcept override {
        lastObjectRect = *position;
        return S_OK;
    }
    HRESULT OnWindowMessage(UINT message, WPARAM, LPARAM, LRESULT* result) noexcept override {
        messages.push_back(message);
        if (windowlessSite != nullptr) {
            if (message == WM_LBUTTONDOWN) {
                windowlessSite->SetFocus(TRUE);
                windowlessSite->SetCapture(TRUE);
            } else if (message == WM_LBUTTONUP) {
                windowlessSite->SetCapture(FALSE);
            }
        }
        *result = kMessageResult;
        return S_OK;
    }

    // ---- IOleInPlaceActiveObject ----
    HRESULT TranslateAccelerator(MSG* message) noexcept override {
        translated.push_back(message->message);
        return options.acceleratorAnswer;
    }

    // ---- IObjectWithSite ----
    HRESULT SetSite(IUnknown* newSite) noexcept override {
        if (newSite != nullptr) newSite->AddRef();
        Drop(site);
        site = newSite;
        return S_OK;
    }
    HRESULT GetSite(REFIID iid, void** out) noexcept override {
        *out = nullptr;
        return site != nullptr ? site->QueryInterface(iid, out) : E_FAIL;
    }

    // Leaves in-place activation the way an object does when it closes.
    void Deactivate() {
        if (!active) return;
        active = false;
        if (frame != nullptr) frame->SetActiveObject(nullptr, nullptr);
        Drop(frame);
        if (windowlessSite != nullptr) {
            windowlessSite->OnInPlaceDeactivateEx(TRUE);
        } else if (inPlaceSite != nullptr) {
            inPlaceSite->OnInPlaceDeactivate();
        }
        Drop(windowlessSite);
        Drop(inPlaceSite);
        window = nullptr;
    }

protected:
    virtual ~CFakeOleObject() {
        Deactivate();
        Drop(clientSite);
        Drop(site);
        Drop(keptSite);
        if (options.alive != nullptr) --*options.alive;
    }
    // Further interfaces of a derived object (no reference taken); null when none.
    virtual void* QueryMore(REFIID) { return nullptr; }

    template <typename T>
    static void Drop(T*& pointer) {
        if (T* held = pointer) {
            pointer = nullptr;
            held->Release();
        }
    }

private:
    HRESULT Activate(IOleClientSite* verbSite, HWND parent) {
        if (active) return S_OK;
        HRESULT result = E_FAIL;
        if (options.windowless && SUCCEEDED(verbSite->QueryInterface(IID_IOleInPlaceSiteWindowless,
                                                                     reinterpret_cast<void**>(&windowlessSite)))) {
            if (windowlessSite->CanWindowlessActivate() == S_OK) {
                BOOL noRedraw = FALSE;
                result = windowlessSite->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
                activeWindowless = SUCCEEDED(result);
            }
            if (!activeWindowless) Drop(windowlessSite);
        }
        if (!activeWindowless) {
            if (FAILED(verbSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlaceSite)))) {
                return E_NOINTERFACE;
            }
            if (inPlaceSite->CanInPlaceActivate() != S_OK) {
                Drop(inPlaceSite);
                return E_FAIL;
            }
            result = inPlaceSite->OnInPlaceActivate();
            if (FAILED(result)) {
                Drop(inPlaceSite);
                return result;
            }
            inPlaceSite->GetWindow(&window);
        } else {
            windowlessSite->AddRef();
            inPlaceSite = windowlessSite;
            window = parent;
        }
        IOleInPlaceUIWindow* document = nullptr;
        RECT where{};
        RECT clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        if (SUCCEEDED(inPlaceSite->GetWindowContext(&frame, &document, &where, &clip, &frameInfo)) &&
            frame != nullptr) {
            frame->SetActiveObject(this, L"fake");
        }
        Drop(document);
        active = true;
        return S_OK;
    }

    ULONG m_refs = 1;
};

// Makes CFakeOleObject-like objects with fixed options; lives as long as its references.
template <typename Object = CFakeOleObject>
class CFakeFactory final : public IClassFactory {
public:
    explicit CFakeFactory(const FakeOptions& options) : options(options) {}

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        if (object == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() noexcept override { return ++m_refs; }
    ULONG Release() noexcept override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        auto* made = new Object(options);
        const HRESULT result = made->QueryInterface(iid, object);
        made->Release();
        if (SUCCEEDED(result) && onCreate) onCreate(made);
        return result;
    }
    HRESULT LockServer(BOOL) noexcept override { return S_OK; }

    FakeOptions options;
    std::function<void(Object*)> onCreate;

private:
    ~CFakeFactory() = default;
    ULONG m_refs = 1;
};

}  // namespace fakeax
