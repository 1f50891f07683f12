#include "ui/core/Delegate.h"

#include <algorithm>

namespace SkinUI {

CUIEventSource::~CUIEventSource() {
    for (CDelegateBase* handler : m_handlers)
        delete handler;
    for (CDelegateBase* handler : m_removed)
        delete handler;
}

void CUIEventSource::AddHandler(const CDelegateBase& handler) {
    m_handlers.push_back(handler.Clone());
}

bool CUIEventSource::RemoveHandler(const CDelegateBase& handler) {
    for (size_t i = 0; i < m_handlers.size(); ++i) {
        CDelegateBase* entry = m_handlers[i];
        if (entry == nullptr || !entry->Equals(handler)) continue;
        if (m_firing > 0) {
            // The entry may be the handler running right now; free it once the Fire is over.
            m_removed.push_back(entry);
            m_handlers[i] = nullptr;
        } else {
            m_handlers.erase(m_handlers.begin() + static_cast<std::ptrdiff_t>(i));
            delete entry;
        }
        return true;
    }
    return false;
}

void CUIEventSource::RemoveAllHandlers() {
    if (m_firing > 0) {
        for (CDelegateBase*& entry : m_handlers) {
            if (entry != nullptr) m_removed.push_back(entry);
            entry = nullptr;
        }
        return;
    }
    for (CDelegateBase* handler : m_handlers)
        delete handler;
    m_handlers.clear();
}

int CUIEventSource::HandlerCount() const {
    return static_cast<int>(std::count_if(m_handlers.begin(), m_handlers.end(),
                                          [](const CDelegateBase* handler) { return handler != nullptr; }));
}

bool CUIEventSource::Fire(void* parameter) {
    ++m_firing;
    bool result = true;
    // Handlers appended by a handler wait for the next Fire.
    const size_t count = m_handlers.size();
    for (size_t i = 0; i < count; ++i) {
        CDelegateBase* handler = m_handlers[i];
        if (handler == nullptr) continue;
        if (!handler->Call(parameter)) {
            result = false;
            break;
        }
    }
    if (--m_firing == 0) Compact();
    return result;
}

void CUIEventSource::Compact() {
    m_handlers.erase(std::remove(m_handlers.begin(), m_handlers.end(), nullptr), m_handlers.end());
    for (CDelegateBase* handler : m_removed)
        delete handler;
    m_removed.clear();
}

}  // namespace SkinUI
