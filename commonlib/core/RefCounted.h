// Atomic reference counts for objects shared between threads (curl requests, queued
// UI-thread tasks), and the smart pointer that holds them.
//
// An object starts with a count of 0; the first CRefPtr (or AddRef) takes it to 1, and
// the Release that brings it back to 0 deletes the object on whichever thread that is,
// so destructors must not assume a thread. Objects are created with new and never
// deleted directly.
#pragma once

#include <atomic>
#include <utility>

class CRefThreadSafeBase {
public:
    CRefThreadSafeBase(const CRefThreadSafeBase&) = delete;
    CRefThreadSafeBase& operator=(const CRefThreadSafeBase&) = delete;

    // Both return the count after the change.
    int AddRef() const { return m_refCount.fetch_add(1, std::memory_order_relaxed) + 1; }
    int Release() const {
        const int after = m_refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (after == 0) delete this;
        return after;
    }

protected:
    CRefThreadSafeBase() = default;
    virtual ~CRefThreadSafeBase() = default;

private:
    mutable std::atomic<int> m_refCount{0};
};

template <typename T>
class CRefPtr {
public:
    CRefPtr() = default;
    CRefPtr(T* object) : m_object(object) {  // NOLINT: implicit, like the raw pointer it wraps
        if (m_object) m_object->AddRef();
    }
    CRefPtr(const CRefPtr& other) : CRefPtr(other.m_object) {}
    CRefPtr(CRefPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    template <typename U>
    CRefPtr(const CRefPtr<U>& other) : CRefPtr(other.Get()) {}
    ~CRefPtr() {
        if (m_object) m_object->Release();
    }

    CRefPtr& operator=(CRefPtr other) noexcept {
        std::swap(m_object, other.m_object);
        return *this;
    }

    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    void Reset() { CRefPtr().Swap(*this); }
    void Swap(CRefPtr& other) noexcept { std::swap(m_object, other.m_object); }

    friend bool operator==(const CRefPtr& a, const CRefPtr& b) { return a.m_object == b.m_object; }

private:
    T* m_object = nullptr;
};
