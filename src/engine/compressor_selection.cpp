#include "engine/compressor_selection.h"

#include "engine/compressor_catalogue.h"
#include "engine/compressor_setting.h"

LONG StartupCompressorIndex(LONG autoCompressorIndex) {
    const LONG stored = ReadStoredCompressorIndex();
    return autoCompressorIndex > -1 ? autoCompressorIndex : stored;
}

void RebindCompressor(LONG index, InterfaceRef<IBaseFilter>& compressorFilter) {
    compressorFilter.Reset();
    GetCompressor(index, compressorFilter.Receive());
}

void OnCompressorSelected(LONG index, InterfaceRef<IBaseFilter>& compressorFilter) {
    StoreCompressorIndex(index);
    RebindCompressor(index, compressorFilter);
}
