#include "engine/media_type_value.h"

#include <cstring>

#include "engine/interface_ref.h"
#include "media/com/task_memory.h"

MediaTypeValue::MediaTypeValue() : AM_MEDIA_TYPE() {
    std::memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
    bFixedSizeSamples = TRUE;
    lSampleSize = 1;
}

void MediaTypeValue::ReleaseMediaTypeContents(AM_MEDIA_TYPE& type) {
    if (type.cbFormat != 0) {
        CoTaskMemFree(type.pbFormat);
        type.cbFormat = 0;
        type.pbFormat = nullptr;
    }
    if (type.pUnk != nullptr) {
        InterfaceRef<IUnknown> held = InterfaceRef<IUnknown>::Adopt(type.pUnk);
        held.Release();
        type.pUnk = nullptr;
    }
}
