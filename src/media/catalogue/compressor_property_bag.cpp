#include "media/catalogue/compressor_property_bag.h"

#include <string>
#include <string_view>

#include "media/api/com_object.h"
#include "media/api/uuids.h"
#include "media/catalogue/guid_text.h"
#include "media/com/wide_text.h"

namespace media {
namespace {

// What the platform answers when a property cannot be given in the type asked for.
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005);

class CompressorPropertyBag final : public ComObject<IPropertyBag> {
public:
    explicit CompressorPropertyBag(CompressorEntry entry) : m_entry(std::move(entry)) {}

    HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (name == nullptr || value == nullptr) return E_POINTER;
        const std::u16string_view property(name);
        if (property == u"FriendlyName") {
            if (m_entry.nameUnreadable) return E_FAIL;
            return ReadString(ToUtf16(m_entry.friendlyName), value);
        }
        // The encoder's own name, as FFmpeg's tools and users know it ("libx264", "mjpeg").
        if (property == u"Encoder" && !m_entry.encoderName.empty())
            return ReadString(ToUtf16(m_entry.encoderName), value);
        if (property == u"CLSID") return ReadString(GuidToText(CLSID_VideoCompressor), value);
        if (property == u"FccHandler" && m_entry.fourcc != 0) {
            std::u16string fourcc;
            for (int shift = 0; shift < 32; shift += 8)
                fourcc += static_cast<char16_t>((m_entry.fourcc >> shift) & 0xFF);
            return ReadString(fourcc, value);
        }
        return E_INVALIDARG;
    }

    // The catalogue belongs to the system: its entries are not written through here.
    HRESULT Write(LPCOLESTR name, VARIANT* value) override {
        if (name == nullptr || value == nullptr) return E_POINTER;
        return E_ACCESSDENIED;
    }

private:
    static HRESULT ReadString(std::u16string_view text, VARIANT* value) {
        if (value->vt != VT_EMPTY && value->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
        const BSTR copy = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
        if (copy == nullptr) return E_OUTOFMEMORY;
        value->vt = VT_BSTR;
        value->bstrVal = copy;
        return S_OK;
    }

    const CompressorEntry m_entry;
};

}  // namespace

IPropertyBag* CreateCompressorPropertyBag(CompressorEntry entry) {
    return new CompressorPropertyBag(std::move(entry));
}

}  // namespace media
