#include "media/catalogue/compressor_moniker.h"

#include "media/api/com_object.h"
#include "media/api/uuids.h"
#include "media/catalogue/compressor_filter.h"
#include "media/catalogue/compressor_property_bag.h"
#include "media/catalogue/guid_text.h"
#include "media/com/com_ptr.h"
#include "media/com/wide_text.h"

namespace media {
namespace {

class CompressorMoniker final : public ComObject<IMoniker> {
public:
    explicit CompressorMoniker(CompressorEntry entry) : m_entry(std::move(entry)) {}

    HRESULT BindToObject(IBindCtx*, IMoniker*, REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        const ComPtr<IBaseFilter> filter =
            ComPtr<IBaseFilter>::Adopt(CreateCompressorFilter(m_entry.encoderName));
        if (!filter) return REGDB_E_CLASSNOTREG;  // the encoder is gone from this FFmpeg build
        return filter->QueryInterface(riid, object);
    }

    HRESULT BindToStorage(IBindCtx*, IMoniker*, REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid != IPropertyBag::iid) return E_NOINTERFACE;
        *object = CreateCompressorPropertyBag(m_entry);
        return S_OK;
    }

    HRESULT GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* name) override {
        if (name == nullptr) return E_POINTER;
        *name = TaskMemString(u"@device:cm:" + GuidToText(CLSID_VideoCompressorCategory) + u"\\" +
                              ToUtf16(m_entry.encoderName));
        return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    const CompressorEntry m_entry;
};

}  // namespace

IMoniker* CreateCompressorMoniker(CompressorEntry entry) {
    return new CompressorMoniker(std::move(entry));
}

}  // namespace media
