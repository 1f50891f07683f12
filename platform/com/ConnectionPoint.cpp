#include "platform/com/ConnectionPoint.h"

#include <new>

namespace platform {

CDispatchConnectionPoint::CDispatchConnectionPoint(IConnectionPointContainer* container, REFIID eventIid)
    : m_container(container), m_eventIid(eventIid) {}

ComPtr<CDispatchConnectionPoint> CDispatchConnectionPoint::Create(IConnectionPointContainer* container,
                                                                  REFIID eventIid) {
    return ComPtr<CDispatchConnectionPoint>::Adopt(new (std::nothrow) CDispatchConnectionPoint(container, eventIid));
}

HRESULT CDispatchConnectionPoint::Fire(DISPID member, DISPPARAMS* params) {
    std::vector<ComPtr<IDispatch>> sinks;
    sinks.reserve(m_sinks.size());
    for (const Connection& connection : m_sinks)
        sinks.push_back(connection.sink);
    const ComPtr<CDispatchConnectionPoint> keepAlive(this);  // a sink may drop the last outside reference
    HRESULT first = S_OK;
    for (const ComPtr<IDispatch>& sink : sinks) {
        const HRESULT result =
            sink->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr, nullptr, nullptr);
        if (FAILED(result) && SUCCEEDED(first)) first = result;
    }
    return first;
}

void CDispatchConnectionPoint::DisconnectAll() {
    std::vector<Connection> released;
    released.swap(m_sinks);  // sinks are released after the list is consistent again
}

HRESULT CDispatchConnectionPoint::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CDispatchConnectionPoint::AddRef() noexcept {
    return ++m_refs;
}

ULONG CDispatchConnectionPoint::Release() noexcept {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT CDispatchConnectionPoint::GetConnectionInterface(IID* iid) noexcept {
    if (iid == nullptr) return E_POINTER;
    *iid = m_eventIid;
    return S_OK;
}

HRESULT CDispatchConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) noexcept {
    if (container == nullptr) return E_POINTER;
    *container = m_container;
    if (m_container == nullptr) return E_UNEXPECTED;
    m_container->AddRef();
    return S_OK;
}

HRESULT CDispatchConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
    if (cookie == nullptr) return E_POINTER;
    *cookie = 0;
    if (sink == nullptr) return E_POINTER;
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(m_eventIid, events.ReceiveVoid())) || !events) return CONNECT_E_CANNOTCONNECT;
    const DWORD assigned = m_nextCookie++;
    if (m_nextCookie == 0) m_nextCookie = 1;
    m_sinks.push_back(Connection{assigned, std::move(events)});
    *cookie = assigned;
    return S_OK;
}

HRESULT CDispatchConnectionPoint::Unadvise(DWORD cookie) noexcept {
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->cookie == cookie) {
            const ComPtr<IDispatch> released = std::move(it->sink);
            m_sinks.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace platform
