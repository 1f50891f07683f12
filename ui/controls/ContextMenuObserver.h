// An observer list for context menus: receivers are registered and then sent a
// ContextMenuParam, first to last or last to first. The program holds one instance,
// ContextMenuObserver().
//
// UI thread only, no lock. The observer keeps plain pointers: a receiver must remove itself
// before it is destroyed, and must not add or remove receivers from within one of the
// observer's calls, which walk the live list. Destroying the observer tells no receiver.
#pragma once

#include "ui/core/UIPtrArray.h"

namespace SkinUI {

template <class ReturnT, class ParamT>
class ObserverImplBase;

// What the observer calls on a receiver.
template <class ReturnT, class ParamT>
class ReceiverImplBase {
public:
    virtual void AttachObserver(ObserverImplBase<ReturnT, ParamT>* observer) = 0;
    virtual ReturnT Receive(ParamT param) = 0;
    virtual ReturnT Respond(ParamT param, ObserverImplBase<ReturnT, ParamT>* observer) = 0;

protected:
    ~ReceiverImplBase() = default;
};

template <class ReturnT, class ParamT>
class ObserverImplBase {
public:
    virtual ~ObserverImplBase() = default;
    virtual void AddReceiver(ReceiverImplBase<ReturnT, ParamT>* receiver) = 0;
    virtual void RemoveReceiver(ReceiverImplBase<ReturnT, ParamT>* receiver) = 0;
    virtual ReturnT Broadcast(ParamT param) = 0;
    virtual ReturnT BroadcastReverse(ParamT param) = 0;
    virtual ReturnT NotifyReceivers(ParamT param) = 0;
};

template <class ReturnT, class ParamT>
class ObserverImpl : public ObserverImplBase<ReturnT, ParamT> {
public:
    using Receiver = ReceiverImplBase<ReturnT, ParamT>;

    // Appends (a receiver may be registered more than once), then tells it its observer.
    void AddReceiver(Receiver* receiver) override {
        if (receiver == nullptr) return;
        m_receivers.Append(receiver);
        receiver->AttachObserver(this);
    }
    // Removes the first entry of the receiver, without calling it.
    void RemoveReceiver(Receiver* receiver) override {
        if (receiver == nullptr) return;
        const int index = m_receivers.IndexOf(receiver);
        if (index >= 0) m_receivers.RemoveAt(index);
    }
    // Receive on every receiver, first registered first; their results are not used.
    ReturnT Broadcast(ParamT param) override {
        for (int i = 0; i < m_receivers.Count(); ++i)
            At(i)->Receive(param);
        return ReturnT();
    }
    ReturnT BroadcastReverse(ParamT param) override {
        for (int i = m_receivers.Count() - 1; i >= 0; --i)
            At(i)->Receive(param);
        return ReturnT();
    }
    // Respond on every receiver, first registered first.
    ReturnT NotifyReceivers(ParamT param) override {
        for (int i = 0; i < m_receivers.Count(); ++i)
            At(i)->Respond(param, this);
        return ReturnT();
    }

private:
    Receiver* At(int index) const { return static_cast<Receiver*>(m_receivers.ItemAt(index)); }

    CUIPtrArray m_receivers;
};

// The payload; nothing in the program gives its two fields a meaning yet.
struct ContextMenuParam {
    int wParam = 0;
    int lParam = 0;
};

using IContextMenuReceiver = ReceiverImplBase<int, ContextMenuParam>;
using ContextMenuObserverImpl = ObserverImpl<int, ContextMenuParam>;

// The program's one context-menu observer, made on first use and destroyed at exit.
inline ContextMenuObserverImpl& ContextMenuObserver() {
    static ContextMenuObserverImpl observer;
    return observer;
}

}  // namespace SkinUI
