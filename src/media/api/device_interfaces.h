#pragma once

// The device catalogue's interfaces, with the ids of the original platform: the system device
// enumerator hands out an enumerator of monikers for a category; each moniker names one device,
// opens its property bag (its friendly name) and binds to the device's filter.
// IMoniker carries only the methods this layer needs, in the platform's argument shapes.
// An interface pointer returned through an out-parameter carries a new reference that the caller
// owns (transfer full); one passed in is borrowed.

#include "media/api/bstr.h"
#include "media/api/unknown.h"

// Neither is used here: callers pass null, as the platform allows.
struct IBindCtx;
struct IErrorLog;

struct IMoniker : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x0000000F, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    // A new object of the named device for riid (IID_IBaseFilter: a new filter).
    virtual HRESULT BindToObject(IBindCtx* context, IMoniker* left, REFIID riid, void** object) = 0;
    // The device's storage for riid (IID_IPropertyBag: its properties).
    virtual HRESULT BindToStorage(IBindCtx* context, IMoniker* left, REFIID riid, void** object) = 0;
    // The moniker's name in task-allocator memory; the caller frees it with CoTaskMemFree.
    virtual HRESULT GetDisplayName(IBindCtx* context, IMoniker* left, LPOLESTR* name) = 0;
};

struct IEnumMoniker : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x00000102, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    // S_OK when count monikers were returned, S_FALSE when fewer were left.
    virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumMoniker** clone) = 0;
};

struct ICreateDevEnum : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x29840822, 0x5B84, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
    // An enumerator over the devices of category. S_FALSE and a null enumerator when the category
    // is unknown or empty.
    virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD flags) = 0;
};

struct IPropertyBag : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    // Reads a property into value. value->vt VT_EMPTY takes the property's own type; another vt
    // asks for that type. A string comes as a new BSTR that the caller frees. On failure value is
    // left as it was.
    virtual HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* errorLog) = 0;
    virtual HRESULT Write(LPCOLESTR name, VARIANT* value) = 0;
};

inline constexpr IID IID_IMoniker = IMoniker::iid;
inline constexpr IID IID_IEnumMoniker = IEnumMoniker::iid;
inline constexpr IID IID_ICreateDevEnum = ICreateDevEnum::iid;
inline constexpr IID IID_IPropertyBag = IPropertyBag::iid;
