// Connection points: how an object that fires events (the container of its connection
// points) lets clients connect sinks to one event interface, and a ready connection
// point for dispatch event interfaces that such objects can hand out.
//
// The ready point belongs to the thread of the object that owns it; sinks are called on
// that thread, from inside Fire. It keeps a reference on every connected sink until
// Unadvise or DisconnectAll, and only a plain pointer to its container, which the
// container clears (DetachContainer) before it goes away.
#pragma once

#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/com/OleAuto.h"

inline constexpr IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

inline constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202);

struct IConnectionPoint;

struct IConnectionPointContainer : IUnknown {
    // CONNECT_E_NOCONNECTION when the object fires no such events.
    virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept = 0;

protected:
    ~IConnectionPointContainer() = default;
};

struct IConnectionPoint : IUnknown {
    virtual HRESULT GetConnectionInterface(IID* iid) noexcept = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) noexcept = 0;
    // The sink must answer the point's event interface; the cookie is never 0.
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) noexcept = 0;
    virtual HRESULT Unadvise(DWORD cookie) noexcept = 0;

protected:
    ~IConnectionPoint() = default;
};

namespace platform {

class CDispatchConnectionPoint final : public IConnectionPoint {
public:
    // `container` answers GetConnectionPointContainer; sinks are asked for `eventIid`.
    static ComPtr<CDispatchConnectionPoint> Create(IConnectionPointContainer* container, REFIID eventIid);

    // Calls Invoke(member, IID_NULL, ...) on every sink connected when the call starts
    // (a sink may unadvise itself or others meanwhile). Returns the first failure of a
    // sink, else S_OK.
    HRESULT Fire(DISPID member, DISPPARAMS* params);
    std::size_t SinkCount() const { return m_sinks.size(); }
    // Releases every sink, e.g. when the owner closes.
    void DisconnectAll();
    void DetachContainer() { m_container = nullptr; }

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;
    HRESULT GetConnectionInterface(IID* iid) noexcept override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) noexcept override;
    HRESULT Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT Unadvise(DWORD cookie) noexcept override;

private:
    struct Connection {
        DWORD cookie;
        ComPtr<IDispatch> sink;
    };

    CDispatchConnectionPoint(IConnectionPointContainer* container, REFIID eventIid);
    ~CDispatchConnectionPoint() = default;

    ULONG m_refs = 1;
    IConnectionPointContainer* m_container;
    const IID m_eventIid;
    std::vector<Connection> m_sinks;
    DWORD m_nextCookie = 1;
};

}  // namespace platform
