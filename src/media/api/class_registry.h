#pragma once

// Object creation by class id, as CoCreateInstance does, over the classes that the media layer
// registers (filter graph, capture graph builder, sample grabber, system device enumerator, ...).

#include <functional>

#include "media/api/unknown.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_ALL = 0x17;

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Always succeeds here: the media layer needs no per-thread set-up. S_OK when the thread was not
// initialised, S_FALSE when it already was (since its last CoUninitialize).
HRESULT CoInitializeEx(void* reserved, DWORD coinit);
void CoUninitialize();

// Creates an object of the class and returns the requested interface (transfer full).
// REGDB_E_CLASSNOTREG for an unknown class, CLASS_E_NOAGGREGATION when outer is given. Defined
// by the layer's root (registered_classes.cpp), which registers the layer's own classes on
// first use and then creates through the registry below.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** object);

namespace media {
// A factory returns a new object with one reference owned by the caller, or null.
using ClassFactory = std::function<IUnknown*()>;
// Adds or replaces a class. MT safe.
void RegisterClass(REFCLSID clsid, ClassFactory factory);
void UnregisterClass(REFCLSID clsid);
// CoCreateInstance over the classes registered so far. MT safe.
HRESULT CreateRegisteredInstance(REFCLSID clsid, IUnknown* outer, REFIID riid, void** object);
}  // namespace media
