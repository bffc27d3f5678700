#pragma once

// InterfaceRef: the owning holder of one counted interface reference, for the whole program.
// AddRef and Release are called by hand only here and in the object base; everything else holds
// its references in one of these.

#include <utility>

#include "media/api/unknown.h"

template <class I>
class InterfaceRef {
public:
    InterfaceRef() = default;
    // Takes a reference of its own on pointer (AddRef when not null).
    explicit InterfaceRef(I* pointer) : m_pointer(pointer) {
        if (m_pointer) m_pointer->AddRef();
    }
    InterfaceRef(const InterfaceRef& other) : InterfaceRef(other.m_pointer) {}
    InterfaceRef(InterfaceRef&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    InterfaceRef& operator=(InterfaceRef other) noexcept {
        std::swap(m_pointer, other.m_pointer);
        return *this;
    }
    ~InterfaceRef() { Reset(); }

    // Stores pointer with a reference of its own (AddRef when not null); the previous one is
    // released afterwards, so assigning the held pointer again is safe.
    InterfaceRef& operator=(I* pointer) {
        if (pointer) pointer->AddRef();
        I* previous = std::exchange(m_pointer, pointer);
        if (previous) previous->Release();
        return *this;
    }

    // Takes over a reference that the caller already owns (transfer full).
    [[nodiscard]] static InterfaceRef Adopt(I* pointer) {
        InterfaceRef held;
        held.m_pointer = pointer;
        return held;
    }

    // Empties the holder, then queries source for I into it; stays empty when source is null
    // or does not offer I. Returns the query's result (E_POINTER for a null source).
    HRESULT Query(IUnknown* source) {
        Reset();
        if (source == nullptr) return E_POINTER;
        const HRESULT hr = source->QueryInterface(I::iid, ReceiveVoid());
        if (FAILED(hr)) m_pointer = nullptr;  // a failing query may leave anything behind
        return hr;
    }

    // The held object's interface U in a holder of its own; empty when it offers none.
    template <class U>
    [[nodiscard]] InterfaceRef<U> As() const {
        InterfaceRef<U> other;
        if (m_pointer) (void)other.Query(m_pointer);
        return other;
    }

    // Empties the holder, releasing its reference if it held one.
    void Reset() {
        if (I* pointer = std::exchange(m_pointer, nullptr)) pointer->Release();
    }

    // The out-parameter of a call that hands out a new reference: empties the holder first.
    [[nodiscard]] I** Receive() {
        Reset();
        return &m_pointer;
    }
    [[nodiscard]] void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    // Hands the reference to the caller (transfer full) and leaves the holder empty.
    [[nodiscard]] I* Detach() { return std::exchange(m_pointer, nullptr); }

    [[nodiscard]] I* Get() const { return m_pointer; }
    I* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

private:
    I* m_pointer = nullptr;
};

// Hands out a new reference to pointer through an out-parameter, the usual way interfaces return
// objects: the caller owns it. E_POINTER for a null out-parameter.
template <class T, class U>
HRESULT ReturnInterface(T* pointer, U** out) {
    if (out == nullptr) return E_POINTER;
    *out = InterfaceRef<U>(pointer).Detach();
    return S_OK;
}
