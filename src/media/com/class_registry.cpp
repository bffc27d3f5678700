#include "media/api/class_registry.h"

#include <mutex>
#include <utility>
#include <vector>

#include "media/api/interface_ref.h"

namespace media {
namespace {

struct RegisteredClass {
    CLSID clsid;
    ClassFactory factory;
};

std::mutex g_lock;

std::vector<RegisteredClass>& Classes() {
    static std::vector<RegisteredClass> classes;
    return classes;
}

ClassFactory FindFactory(REFCLSID clsid) {
    std::lock_guard lock(g_lock);
    for (const auto& c : Classes()) {
        if (c.clsid == clsid) return c.factory;
    }
    return {};
}

}  // namespace

void RegisterClass(REFCLSID clsid, ClassFactory factory) {
    std::lock_guard lock(g_lock);
    for (auto& c : Classes()) {
        if (c.clsid == clsid) {
            c.factory = std::move(factory);
            return;
        }
    }
    Classes().push_back({clsid, std::move(factory)});
}

void UnregisterClass(REFCLSID clsid) {
    std::lock_guard lock(g_lock);
    std::erase_if(Classes(), [&](const RegisteredClass& c) { return c.clsid == clsid; });
}

HRESULT CreateRegisteredInstance(REFCLSID clsid, IUnknown* outer, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ClassFactory factory = FindFactory(clsid);
    if (!factory) return REGDB_E_CLASSNOTREG;
    // The creator's own reference goes when the query has taken the caller's.
    const InterfaceRef<IUnknown> created = InterfaceRef<IUnknown>::Adopt(factory());
    if (!created) return E_OUTOFMEMORY;
    return created->QueryInterface(riid, object);
}

}  // namespace media

namespace {
thread_local bool t_initialised = false;
}

HRESULT CoInitializeEx(void*, DWORD) {
    if (t_initialised) return S_FALSE;
    t_initialised = true;
    return S_OK;
}

void CoUninitialize() {
    t_initialised = false;
}
