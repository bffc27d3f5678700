#include "engine/compression_choice.h"

#include "media/api/interface_ref.h"

HRESULT ApplyCompressionChoice(IBaseFilter& filter, const CompressionChoice& choice) {
    if (choice.IsDefault()) return S_OK;
    InterfaceRef<IAMVideoCompression> compression;
    InterfaceRef<IVideoDataRate> rate;
    if (FAILED(filter.QueryInterface(IID_IAMVideoCompression, compression.ReceiveVoid())) ||
        FAILED(filter.QueryInterface(IID_IVideoDataRate, rate.ReceiveVoid()))) {
        return E_NOINTERFACE;
    }
    HRESULT hr = compression->put_Quality(choice.quality);
    if (SUCCEEDED(hr)) hr = compression->put_KeyFrameRate(choice.keyFrameRate);
    if (SUCCEEDED(hr)) hr = rate->put_DataRate(choice.dataRate);
    return hr;
}
