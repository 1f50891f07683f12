// Test stand-ins for the objects the Flash and web browser controls host: a player that
// fires Flash events and a browser that navigates without any network, fires its events
// through a connection point, hands out a document with a script-error event, and
// records the UI handler installed on it.
//
// Test thread only; events fire synchronously from Fire/Navigate2/Complete.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/com/BrowserInterfaces.h"
#include "platform/com/ConnectionPoint.h"
#include "ui/controls/ActiveXFixture.h"
#include "ui/controls/FlashUI.h"

namespace fakeax {

// IUnknown and IDispatch of one dispatch-derived interface `Interface` (with `iid`); the
// property gets of Invoke come from named values.
template <typename Interface>
class CFakeDispatch : public Interface {
public:
    explicit CFakeDispatch(const IID& iid) : m_iid(iid) {}

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        if (object == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_iid) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
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
    HRESULT GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        if (names == nullptr || ids == nullptr || count != 1) return E_INVALIDARG;
        for (std::size_t i = 0; i < properties.size(); ++i) {
            if (properties[i].first == names[0]) {
                ids[0] = static_cast<DISPID>(i + 1);
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                   UINT*) noexcept override {
        if (member < 1 || static_cast<std::size_t>(member) > properties.size()) return DISP_E_MEMBERNOTFOUND;
        if (flags != DISPATCH_PROPERTYGET || result == nullptr) return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(properties[static_cast<std::size_t>(member) - 1].second.c_str());
        return S_OK;
    }

    std::vector<std::pair<std::wstring, std::wstring>> properties;

protected:
    virtual ~CFakeDispatch() = default;

private:
    const IID m_iid;
    ULONG m_refs = 1;
};

class CFakeEvent final : public CFakeDispatch<IHTMLEventObj> {
public:
    CFakeEvent() : CFakeDispatch(IID_IHTMLEventObj) {
        properties = {{L"errorLine", L"3"},
                      {L"errorCharacter", L"14"},
                      {L"errorCode", L"0"},
                      {L"errorMessage", L"x is not defined"},
                      {L"errorUrl", L"about:test"}};
    }
};

class CFakeHtmlWindow final : public CFakeDispatch<IHTMLWindow2> {
public:
    CFakeHtmlWindow() : CFakeDispatch(IID_IHTMLWindow2) {}
    HRESULT get_event(IHTMLEventObj** result) noexcept override {
        if (result == nullptr) return E_POINTER;
        *result = event;
        if (event != nullptr) event->AddRef();
        return S_OK;
    }
    CFakeEvent* event = new CFakeEvent();

private:
    ~CFakeHtmlWindow() override { event->Release(); }
};

class CFakeDocument final : public CFakeDispatch<IHTMLDocument2>, public ICustomDoc {
public:
    CFakeDocument() : CFakeDispatch(IID_IHTMLDocument2) {}
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        if (object != nullptr && iid == IID_ICustomDoc) {
            *object = static_cast<ICustomDoc*>(this);
            AddRef();
            return S_OK;
        }
        return CFakeDispatch::QueryInterface(iid, object);
    }
    ULONG AddRef() noexcept override { return CFakeDispatch::AddRef(); }
    ULONG Release() noexcept override { return CFakeDispatch::Release(); }
    HRESULT get_parentWindow(IHTMLWindow2** result) noexcept override {
        if (result == nullptr) return E_POINTER;
        window->AddRef();
        *result = window;
        return S_OK;
    }
    HRESULT SetUIHandler(IDocHostUIHandler* handler) noexcept override {
        if (handler != nullptr) handler->AddRef();
        if (uiHandler != nullptr) uiHandler->Release();
        uiHandler = handler;
        return S_OK;
    }
    CFakeHtmlWindow* window = new CFakeHtmlWindow();
    IDocHostUIHandler* uiHandler = nullptr;

private:
    ~CFakeDocument() override {
        if (uiHandler != nullptr) uiHandler->Release();
        window->Release();
    }
};

// The dispatch stubs and one connection point of a fake object that fires events.
class CEventSource : public IConnectionPointContainer {
public:
    explicit CEventSource(const IID& events) : point(platform::CDispatchConnectionPoint::Create(this, events)) {}
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** result) noexcept override {
        if (result == nullptr) return E_POINTER;
        IID events{};
        point->GetConnectionInterface(&events);
        if (!(iid == events)) {
            *result = nullptr;
            return CONNECT_E_NOCONNECTION;
        }
        point->AddRef();
        *result = point.Get();
        return S_OK;
    }

    platform::ComPtr<platform::CDispatchConnectionPoint> point;

protected:
    ~CEventSource() {
        point->DetachContainer();
        point->DisconnectAll();
    }
};

// A test object that is also the dispatch interface `Interface` (with `iid`) and fires `events`.
template <typename Interface>
class CFakePlayer : public CFakeOleObject, public Interface, public CEventSource {
public:
    CFakePlayer(const FakeOptions& options, const IID& iid, const IID& events)
        : CFakeOleObject(options), CEventSource(events), m_iid(iid) {}

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        return CFakeOleObject::QueryInterface(iid, object);
    }
    ULONG AddRef() noexcept override { return CFakeOleObject::AddRef(); }
    ULONG Release() noexcept override { return CFakeOleObject::Release(); }
    HRESULT GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        return E_NOTIMPL;
    }

protected:
    void* QueryMore(REFIID iid) override {
        if (iid == m_iid || iid == IID_IDispatch) return static_cast<Interface*>(this);
        if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
        return nullptr;
    }

private:
    const IID m_iid;
};

// A Flash player without a movie: the player interface and its events.
class CFakeFlash final : public CFakePlayer<IShockwaveFlash> {
public:
    explicit CFakeFlash(const FakeOptions& options)
        : CFakePlayer(options, IID_IShockwaveFlash, DIID__IShockwaveFlashEvents) {}
};

// A browser that shows nothing: Navigate2 fires BeforeNavigate2 at once; Complete() makes
// the new document current and fires NavigateComplete2.
class CFakeBrowser final : public CFakePlayer<IWebBrowser2> {
public:
    explicit CFakeBrowser(const FakeOptions& options)
        : CFakePlayer(options, IID_IWebBrowser2, DIID_DWebBrowserEvents2) {}

    HRESULT Navigate2(VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) noexcept override {
        if (url == nullptr || url->vt != VT_BSTR || url->bstrVal == nullptr) return E_INVALIDARG;
        navigations.emplace_back(url->bstrVal);
        VARIANT empty = axtest::Of(VT_EMPTY), address = axtest::Of(VT_BSTR, url->bstrVal);
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT args[7];  // last argument first
        std::fill(std::begin(args), std::end(args), axtest::Of(VT_BYREF | VT_VARIANT, &empty));
        args[0] = axtest::Of(VT_BYREF | VT_BOOL, &cancel);
        args[5] = axtest::Of(VT_BYREF | VT_VARIANT, &address);
        args[6] = axtest::Of(VT_DISPATCH, static_cast<IWebBrowser2*>(this));
        DISPPARAMS params{args, nullptr, 7, 0};
        point->Fire(DISPID_BEFORENAVIGATE2, &params);
        return S_OK;
    }
    HRESULT get_Document(IDispatch** result) noexcept override {
        if (result == nullptr) return E_POINTER;
        *result = document;
        if (document != nullptr) document->AddRef();
        return S_OK;
    }
    HRESULT GoBack() noexcept override { return E_NOTIMPL; }
    HRESULT GoForward() noexcept override { return E_NOTIMPL; }
    HRESULT Refresh() noexcept override { return E_NOTIMPL; }
    HRESULT Stop() noexcept override { return E_NOTIMPL; }
    HRESULT get_LocationName(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT get_LocationURL(BSTR*) noexcept override { return E_NOTIMPL; }

    // The last navigation arrives: a new document, then NavigateComplete2.
    HRESULT Complete() {
        if (document != nullptr) document->Release();
        document = new CFakeDocument();
        VARIANT address = axtest::Of(VT_BSTR, navigations.empty() ? nullptr : navigations.back().data());
        VARIANT args[2] = {axtest::Of(VT_BYREF | VT_VARIANT, &address),
                           axtest::Of(VT_DISPATCH, static_cast<IWebBrowser2*>(this))};
        DISPPARAMS params{args, nullptr, 2, 0};
        return point->Fire(DISPID_NAVIGATECOMPLETE2, &params);
    }

    std::vector<std::wstring> navigations;
    CFakeDocument* document = nullptr;

private:
    ~CFakeBrowser() override {
        if (document != nullptr) document->Release();
    }
};

}  // namespace fakeax
