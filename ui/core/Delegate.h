// Delegates (a callable bound to a free function or to an object and one of its methods)
// and the event source that keeps heap clones of them, as the notify sources of controls do.
//
// UI thread only; no locking. A delegate does not own its target object: the target must
// outlive every clone held by an event source, or be removed from it first.
// The parameter is untyped; notify sources pass the notification record.
// A handler may add or remove handlers of the source that is calling it: handlers added
// during a Fire are not called by that Fire, and a removed handler is freed only after the
// outermost Fire returns, so a handler may remove itself. The source itself must outlive
// its Fire.
#pragma once

#include <vector>

namespace SkinUI {

class CDelegateBase {
public:
    virtual ~CDelegateBase() = default;
    // A heap copy with the same target; the caller owns it.
    virtual CDelegateBase* Clone() const = 0;
    virtual bool Call(void* parameter) = 0;
    // Same kind, same target, same function: what removal compares.
    virtual bool Equals(const CDelegateBase& other) const = 0;

    bool operator()(void* parameter) { return Call(parameter); }
};

// Calls a free function.
class CFunctionDelegate final : public CDelegateBase {
public:
    using Function = bool (*)(void* parameter);
    explicit CFunctionDelegate(Function function) : m_function(function) {}

    CDelegateBase* Clone() const override { return new CFunctionDelegate(*this); }
    bool Call(void* parameter) override { return m_function != nullptr && m_function(parameter); }
    bool Equals(const CDelegateBase& other) const override {
        const auto* same = dynamic_cast<const CFunctionDelegate*>(&other);
        return same != nullptr && same->m_function == m_function;
    }

private:
    Function m_function;
};

// Calls `method` of `TTarget` on an object of `TObject` (which derives from `TTarget`, or is
// it). The call goes through the object's virtual table, so an override runs.
template <class TObject, class TTarget = TObject>
class CDelegate final : public CDelegateBase {
public:
    using Method = bool (TTarget::*)(void* parameter);
    CDelegate(TObject* object, Method method) : m_object(object), m_method(method) {}

    CDelegateBase* Clone() const override { return new CDelegate(*this); }
    bool Call(void* parameter) override {
        if (m_object == nullptr || m_method == nullptr) return false;
        TTarget* target = m_object;
        return (target->*m_method)(parameter);
    }
    bool Equals(const CDelegateBase& other) const override {
        const auto* same = dynamic_cast<const CDelegate*>(&other);
        return same != nullptr && same->m_object == m_object && same->m_method == m_method;
    }

private:
    TObject* m_object;
    Method m_method;
};

inline CFunctionDelegate MakeDelegate(CFunctionDelegate::Function function) {
    return CFunctionDelegate(function);
}

template <class TObject, class TTarget>
CDelegate<TObject, TTarget> MakeDelegate(TObject* object, bool (TTarget::*method)(void*)) {
    return CDelegate<TObject, TTarget>(object, method);
}

class CUIEventSource {
public:
    CUIEventSource() = default;
    ~CUIEventSource();
    CUIEventSource(const CUIEventSource&) = delete;
    CUIEventSource& operator=(const CUIEventSource&) = delete;

    // Stores a heap clone of `handler` after the existing ones.
    void AddHandler(const CDelegateBase& handler);
    CUIEventSource& operator+=(const CDelegateBase& handler) {
        AddHandler(handler);
        return *this;
    }
    // Removes the first handler equal to `handler`; false when there is none.
    bool RemoveHandler(const CDelegateBase& handler);
    CUIEventSource& operator-=(const CDelegateBase& handler) {
        RemoveHandler(handler);
        return *this;
    }
    void RemoveAllHandlers();

    int HandlerCount() const;
    bool IsEmpty() const { return HandlerCount() == 0; }

    // Calls the handlers in order and stops at the first that returns false.
    // True when every handler returned true (or there are none).
    bool Fire(void* parameter);

private:
    void Compact();

    // Null entries are handlers removed while a Fire was running.
    std::vector<CDelegateBase*> m_handlers;
    std::vector<CDelegateBase*> m_removed;
    int m_firing = 0;
};

}  // namespace SkinUI
