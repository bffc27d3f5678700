#pragma once

// Which compressor is bound: the start-up choice and a change of selection in the compressor
// list. The window keeps the bound filter and passes its holder in.

#include "media/api/interface_ref.h"
#include "media/api/interfaces.h"

// The index selected at start-up: the automatic choice when there is one (0 or more), the
// stored index otherwise. The stored index may lie outside the list; then nothing is selected.
[[nodiscard]] LONG StartupCompressorIndex(LONG autoCompressorIndex);

// Releases the compressor held in compressorFilter, then binds the catalogue entry at index
// into it (empty when nothing could be bound).
void RebindCompressor(LONG index, InterfaceRef<IBaseFilter>& compressorFilter);

// The user picked index in the compressor list: it is stored for the next start and bound.
void OnCompressorSelected(LONG index, InterfaceRef<IBaseFilter>& compressorFilter);
