#include "media/api/media_type.h"

#include <cstring>
#include <utility>

#include "media/api/interface_ref.h"
#include "media/api/task_memory.h"
#include "media/api/uuids.h"

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    if (target == nullptr || source == nullptr) return E_POINTER;
    *target = *source;
    if (source->cbFormat != 0 && source->pbFormat != nullptr) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (target->pbFormat == nullptr) {
            target->cbFormat = 0;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
        target->cbFormat = 0;
        target->pbFormat = nullptr;
    }
    target->pUnk = InterfaceRef<IUnknown>(source->pUnk).Detach();
    return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE& type) {
    if (type.cbFormat != 0) {
        CoTaskMemFree(type.pbFormat);
        type.cbFormat = 0;
        type.pbFormat = nullptr;
    }
    // The type's reference goes with the holder.
    (void)InterfaceRef<IUnknown>::Adopt(std::exchange(type.pUnk, nullptr));
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (type == nullptr) return nullptr;
    if (FAILED(CopyMediaType(type, source))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

namespace media {

MediaType::MediaType() : AM_MEDIA_TYPE{} {
    bFixedSizeSamples = TRUE;
    lSampleSize = 1;
}

MediaType::MediaType(const AM_MEDIA_TYPE& other) : AM_MEDIA_TYPE{} {
    if (FAILED(CopyMediaType(this, &other))) *static_cast<AM_MEDIA_TYPE*>(this) = AM_MEDIA_TYPE{};
}

MediaType::MediaType(const MediaType& other) : MediaType(static_cast<const AM_MEDIA_TYPE&>(other)) {}

MediaType::MediaType(MediaType&& other) noexcept : AM_MEDIA_TYPE(other) {
    other.pUnk = nullptr;
    other.cbFormat = 0;
    other.pbFormat = nullptr;
}

MediaType& MediaType::operator=(const MediaType& other) {
    if (this != &other) {
        MediaType copy(other);
        *this = std::move(copy);
    }
    return *this;
}

MediaType& MediaType::operator=(MediaType&& other) noexcept {
    if (this != &other) {
        Clear();
        static_cast<AM_MEDIA_TYPE&>(*this) = other;
        other.pUnk = nullptr;
        other.cbFormat = 0;
        other.pbFormat = nullptr;
    }
    return *this;
}

MediaType::~MediaType() { Clear(); }

void MediaType::Clear() {
    FreeMediaType(*this);
    pbFormat = nullptr;
}

BYTE* MediaType::AllocFormat(std::size_t size, REFGUID formatType) {
    if (cbFormat != 0) CoTaskMemFree(pbFormat);
    pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(size));
    cbFormat = pbFormat ? static_cast<ULONG>(size) : 0;
    if (pbFormat) std::memset(pbFormat, 0, size);
    formattype = formatType;
    return pbFormat;
}

void MediaType::SetUnknown(IUnknown* unknown) {
    // The new reference is taken before the old one goes: unknown may be held only by it.
    const InterfaceRef<IUnknown> previous = InterfaceRef<IUnknown>::Adopt(pUnk);
    pUnk = InterfaceRef<IUnknown>(unknown).Detach();
}

const VIDEOINFOHEADER* MediaType::VideoInfo() const {
    if (formattype != FORMAT_VideoInfo || cbFormat < sizeof(VIDEOINFOHEADER) || pbFormat == nullptr) return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(pbFormat);
}

const WAVEFORMATEX* MediaType::WaveFormat() const {
    if (formattype != FORMAT_WaveFormatEx || cbFormat < sizeof(WAVEFORMATEX) || pbFormat == nullptr) return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(pbFormat);
}

bool MatchesPartialType(const AM_MEDIA_TYPE& full, const AM_MEDIA_TYPE* partial) {
    if (partial == nullptr) return true;
    if (partial->majortype != GUID_NULL && partial->majortype != full.majortype) return false;
    if (partial->subtype != GUID_NULL && partial->subtype != full.subtype) return false;
    if (partial->formattype != GUID_NULL && partial->formattype != full.formattype) return false;
    return true;
}

}  // namespace media
