#pragma once

// The media layer's own owning holder of one interface reference.

#include <utility>

#include "media/com/unknown.h"

namespace media {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes a new reference (AddRef) on p.
    explicit ComPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }

    // Adopts a reference the caller already owns (transfer full).
    static ComPtr Adopt(T* p) {
        ComPtr r;
        r.m_p = p;
        return r;
    }

    void Reset() {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    // Hands the reference to the caller (transfer full).
    [[nodiscard]] T* Detach() { return std::exchange(m_p, nullptr); }
    // Out-parameter for calls that return a new reference; empties the holder first.
    T** Receive() {
        Reset();
        return &m_p;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    template <class U>
    [[nodiscard]] ComPtr<U> As() const {
        ComPtr<U> r;
        if (m_p) m_p->QueryInterface(U::iid, r.ReceiveVoid());
        return r;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

// Hands out a new reference to p through an out-parameter, the usual way interfaces return objects.
template <class T, class U>
HRESULT ReturnInterface(T* p, U** out) {
    if (out == nullptr) return E_POINTER;
    *out = p;
    if (p) p->AddRef();
    return S_OK;
}

}  // namespace media
