#pragma once

// Reference counting and QueryInterface for the classes that implement interfaces.

#include <atomic>
#include <type_traits>

#include "media/api/unknown.h"

namespace media {

// Number of media-layer objects alive in this process. MT safe. Tests expect zero after each test.
[[nodiscard]] long LiveObjectCount();

namespace detail {
void AdjustLiveObjects(long delta);

template <class I>
constexpr bool InterfaceMatches(REFIID riid) {
    if (riid == I::iid) return true;
    if constexpr (std::is_same_v<I, IUnknown>) {
        return false;
    } else {
        return InterfaceMatches<typename I::Parent>(riid);
    }
}

template <class First, class...>
struct FirstOf {
    using type = First;
};
}  // namespace detail

// Implements IUnknown for a class that derives from the given interfaces. The object starts
// with one reference, owned by whoever created it, and deletes itself on the last Release.
// AddRef and Release are MT safe.
template <class... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject() { detail::AdjustLiveObjects(1); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { detail::AdjustLiveObjects(-1); }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = FindOwnInterface(riid);
        if (*object == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return m_references.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG Release() override {
        const ULONG left = m_references.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

    // The object's identity: the IUnknown of its first interface. No reference is added.
    IUnknown* Identity() { return static_cast<typename detail::FirstOf<Interfaces...>::type*>(this); }

protected:
    // Interfaces implemented beside the base list (by a subclass that adds bases of its own).
    // Returns the interface pointer without adding a reference, or null.
    virtual void* FindExtraInterface(REFIID) { return nullptr; }

    void* FindOwnInterface(REFIID riid) {
        if (riid == IUnknown::iid) return Identity();
        void* found = nullptr;
        ((found == nullptr && detail::InterfaceMatches<Interfaces>(riid)
              ? (found = static_cast<Interfaces*>(this), true)
              : false),
         ...);
        return found != nullptr ? found : FindExtraInterface(riid);
    }

private:
    std::atomic<ULONG> m_references{1};
};

}  // namespace media
