#pragma once

// The compressor index the user picked by hand, kept in the settings file "tessarel.ini",
// section "Compressor", key "CompressorNumber", as decimal text.

#include "media/api/types.h"

inline constexpr char kSettingsFileName[] = "tessarel.ini";
inline constexpr char kCompressorSection[] = "Compressor";
inline constexpr char kCompressorNumberKey[] = "CompressorNumber";

// The stored index; 1 when the file or the key is missing. Read as the C library's atoi reads
// text (leading blanks, an optional sign, the digits that follow; 0 for text that does not
// start with a number), except that a number beyond the range of LONG gives the nearest LONG.
[[nodiscard]] LONG ReadStoredCompressorIndex();

// Stores index for the next start. A failed write goes unnoticed: the setting is a convenience.
void StoreCompressorIndex(LONG index);
