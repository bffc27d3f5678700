#include "engine/compressor_catalogue.h"

#include <optional>

#include "engine/engine_messages.h"
#include "media/api/bstr.h"
#include "media/api/class_registry.h"
#include "media/api/device_interfaces.h"
#include "media/api/interface_ref.h"
#include "media/api/uuids.h"
#include "platform/message_box.h"
#include "text/text_conversion.h"

namespace {

// Creates the system device enumerator and the enumerator of the video compressor category,
// showing the message of the step that fails. On success category may still be empty: the
// platform answers an empty category that way.
HRESULT OpenCompressorCategory(InterfaceRef<ICreateDevEnum>& devices, InterfaceRef<IEnumMoniker>& category) {
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, ICreateDevEnum::iid,
                                  devices.ReceiveVoid());
    if (FAILED(hr) || !devices) {
        AfxMessageBox(kCannotCreateSystemEnumerator);
        devices.Reset();
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = devices->CreateClassEnumerator(CLSID_VideoCompressorCategory, category.Receive(), 0);
    if (FAILED(hr)) {
        AfxMessageBox(kCannotCreateCategoryEnumerator);
        category.Reset();
        devices.Reset();
        return hr;
    }
    return S_OK;
}

// A text property of a catalogue entry, or nullopt when its property bag or the property does not
// read. An entry whose "FriendlyName" does not read is not part of the catalogue.
std::optional<std::string> PropertyOf(IMoniker* moniker, const char16_t* property = u"FriendlyName") {
    InterfaceRef<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReceiveVoid())) || !bag) {
        return std::nullopt;
    }
    VARIANT name;
    VariantInit(&name);
    std::optional<std::string> result;
    if (bag->Read(property, &name, nullptr) == S_OK && name.vt == VT_BSTR) {
        result = ToNarrow(name.bstrVal);
    }
    VariantClear(&name);
    return result;
}

// The next entry of the category whose name reads, or an empty moniker at the end. The request's
// result is not looked at, only whether a moniker came back.
InterfaceRef<IMoniker> NextNamedEntry(IEnumMoniker* category, std::string* name) {
    for (;;) {
        InterfaceRef<IMoniker> moniker;
        ULONG fetched = 0;
        category->Next(1, moniker.Receive(), &fetched);
        if (!moniker) return moniker;
        if (auto read = PropertyOf(moniker.Get())) {
            if (name) *name = std::move(*read);
            return moniker;
        }
    }
}

}  // namespace

bool IsAutomaticChoiceName(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower.find("divx") != std::string::npos || lower.find("xvid") != std::string::npos;
}

HRESULT EnumerateCompressors(std::vector<std::string>& names, LONG& autoCompressorIndex,
                             std::vector<std::string>* encoders) {
    names.clear();
    if (encoders) encoders->clear();
    InterfaceRef<ICreateDevEnum> devices;
    InterfaceRef<IEnumMoniker> category;
    const HRESULT hr = OpenCompressorCategory(devices, category);
    if (FAILED(hr) || !category) return hr;

    category->Reset();
    std::string name;
    while (const InterfaceRef<IMoniker> entry = NextNamedEntry(category.Get(), &name)) {
        if (IsAutomaticChoiceName(name)) autoCompressorIndex = static_cast<LONG>(names.size());
        names.push_back(name);
        if (encoders) encoders->push_back(PropertyOf(entry.Get(), u"Encoder").value_or(""));
    }
    return S_OK;
}

void GetCompressor(LONG index, IBaseFilter** filter) {
    if (filter == nullptr) {
        AfxMessageBox(kGetCompressorInvalidPointer);
        return;
    }
    *filter = nullptr;
    InterfaceRef<ICreateDevEnum> devices;
    InterfaceRef<IEnumMoniker> category;
    if (FAILED(OpenCompressorCategory(devices, category)) || !category || index < 0) return;

    category->Reset();
    for (LONG passed = 0;; ++passed) {
        InterfaceRef<IMoniker> entry = NextNamedEntry(category.Get(), nullptr);
        if (!entry) return;
        if (passed < index) continue;
        const HRESULT hr =
            entry->BindToObject(nullptr, nullptr, IBaseFilter::iid, reinterpret_cast<void**>(filter));
        if (FAILED(hr) || *filter == nullptr) {
            *filter = nullptr;
            AfxMessageBox(kCannotBindCompressor);
        }
        return;
    }
}
