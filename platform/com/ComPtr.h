// A reference on a COM interface that releases itself.
//
// Construction from a raw pointer and copies take a new reference; Attach adopts one
// that the caller already holds, Detach hands it back. Not thread-safe by itself: a
// ComPtr belongs to the thread that uses it, whatever the object allows.
#pragma once

#include <cstddef>
#include <utility>

#include "platform/com/ComBase.h"

namespace platform {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}  // NOLINT: null converts implicitly, as for raw pointers
    explicit ComPtr(T* object) : m_object(object) {
        if (m_object != nullptr) m_object->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_object) {}
    ComPtr(ComPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ComPtr& operator=(const ComPtr& other) {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ~ComPtr() { Reset(); }

    static ComPtr Adopt(T* object) {
        ComPtr result;
        result.m_object = object;
        return result;
    }

    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    void Reset() {
        if (T* object = std::exchange(m_object, nullptr)) object->Release();
    }
    // Takes over a reference the caller holds.
    void Attach(T* object) {
        Reset();
        m_object = object;
    }
    // Gives up the reference without releasing it.
    [[nodiscard]] T* Detach() { return std::exchange(m_object, nullptr); }
    // For out parameters: releases what is held and returns where the new pointer goes.
    T** Receive() {
        Reset();
        return &m_object;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    // Another interface of the same object; null on failure.
    template <typename U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> result;
        if (m_object != nullptr) m_object->QueryInterface(iid, result.ReceiveVoid());
        return result;
    }

    void Swap(ComPtr& other) noexcept { std::swap(m_object, other.m_object); }

private:
    T* m_object = nullptr;
};

}  // namespace platform
