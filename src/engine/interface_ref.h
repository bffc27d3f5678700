#pragma once

// InterfaceRef: the owning holder of one counted interface reference. The only place in the
// application that calls AddRef and Release by hand.

#include <utility>

#include "media/com/unknown.h"

template <class I>
class InterfaceRef {
public:
    InterfaceRef() = default;
    InterfaceRef(const InterfaceRef&) = delete;
    InterfaceRef& operator=(const InterfaceRef&) = delete;
    InterfaceRef(InterfaceRef&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    InterfaceRef& operator=(InterfaceRef&& other) noexcept {
        if (this != &other) {
            Release();
            m_pointer = std::exchange(other.m_pointer, nullptr);
        }
        return *this;
    }
    ~InterfaceRef() { Release(); }

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
        Release();
        if (source == nullptr) return E_POINTER;
        const HRESULT hr = source->QueryInterface(I::iid, ReceiveVoid());
        if (FAILED(hr)) m_pointer = nullptr;  // a failing query may leave anything behind
        return hr;
    }

    // Empties the holder and calls Release once if it held a pointer.
    void Release() {
        if (I* pointer = std::exchange(m_pointer, nullptr)) pointer->Release();
    }

    // The out-parameter of a call that hands out a new reference: empties the holder first.
    [[nodiscard]] I** Receive() {
        Release();
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
