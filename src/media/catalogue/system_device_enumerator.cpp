#include "media/catalogue/system_device_enumerator.h"

#include "media/api/com_object.h"
#include "media/api/device_interfaces.h"
#include "media/api/uuids.h"
#include "media/catalogue/compressor_catalogue.h"
#include "media/catalogue/moniker_enumerator.h"

namespace media {
namespace {

class SystemDeviceEnumerator final : public ComObject<ICreateDevEnum> {
public:
    // Like the platform, an unknown or empty category is a success without an enumerator.
    HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD) override {
        if (enumerator == nullptr) return E_POINTER;
        *enumerator = nullptr;
        if (category != CLSID_VideoCompressorCategory) return S_FALSE;
        std::vector<CompressorEntry> entries = InstalledCompressors();
        if (entries.empty()) return S_FALSE;
        *enumerator = CreateMonikerEnumerator(std::move(entries));
        return S_OK;
    }
};

}  // namespace

IUnknown* CreateSystemDeviceEnumerator() {
    return (new SystemDeviceEnumerator)->Identity();
}

}  // namespace media
