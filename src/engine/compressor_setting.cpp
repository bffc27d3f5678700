#include "engine/compressor_setting.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/profile_file.h"

LONG ReadStoredCompressorIndex() {
    char text[256];
    GetPrivateProfileStringA(kCompressorSection, kCompressorNumberKey, "1", text, sizeof text,
                             kSettingsFileName);
    text[sizeof text - 1] = '\0';
    // atoi's reading without its undefined behaviour on overflow.
    const long value = std::strtol(text, nullptr, 10);
    constexpr long kLowest = std::numeric_limits<LONG>::min();
    constexpr long kHighest = std::numeric_limits<LONG>::max();
    return static_cast<LONG>(value < kLowest ? kLowest : value > kHighest ? kHighest : value);
}

void StoreCompressorIndex(LONG index) {
    char text[32];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(index));
    WritePrivateProfileStringA(kCompressorSection, kCompressorNumberKey, text, kSettingsFileName);
}
