#pragma once

// The catalogue of installed video compressors: the video compressor category of the system
// device enumerator, in the order it lists them, counting only entries whose "FriendlyName"
// reads. A catalogue index is a position in that order; it is also the compressor list's index
// and the number kept in the settings file. Nothing is cached: every call walks the category
// anew. Failures show their message (see engine_messages.h). User-interface thread only.

#include <string>
#include <vector>

#include "media/api/interfaces.h"

// Fills names with the display names of the catalogue, in catalogue order (names is emptied
// first), and sets autoCompressorIndex to the index of the automatic choice when an entry
// qualifies; otherwise autoCompressorIndex keeps what the caller put there. An empty category
// gives an empty list. Returns 0, or the failing result after its message (names stays empty).
// encoders, when given, gets each entry's encoder name ("libx264"), empty where none is told.
HRESULT EnumerateCompressors(std::vector<std::string>& names, LONG& autoCompressorIndex,
                             std::vector<std::string>* encoders = nullptr);

// Whether a display name makes its entry a candidate for the automatic choice: its lower-cased
// form contains "divx" or "xvid" anywhere. The last candidate in catalogue order is chosen.
[[nodiscard]] bool IsAutomaticChoiceName(const std::string& name);

// Binds the entry at index to a new compressor filter and stores the reference (the caller
// owns it) at *filter, which is set to null first and stays null when nothing could be bound.
// An index outside the catalogue binds nothing without a message.
void GetCompressor(LONG index, IBaseFilter** filter);
