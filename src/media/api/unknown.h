#pragma once

// The root interface of the object model. Interfaces carry their id as `iid` and name the
// interface they extend as `Parent`, so that QueryInterface can answer for the whole chain.

#include "media/api/guid.h"
#include "media/api/types.h"

struct IUnknown {
    static constexpr IID iid = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

    // On success *object holds a new reference that the caller owns.
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};
// Interfaces have no virtual destructor: objects are destroyed only by their own Release.

inline constexpr IID IID_IUnknown = IUnknown::iid;

// Interface id of an interface type.
template <class I>
constexpr const IID& IidOf() {
    return I::iid;
}
