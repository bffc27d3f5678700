#pragma once

// A checker of the published rules of the consumer MPEG-4 part 2 playback profiles, from an AVI
// file's bytes alone: the numbers here are the profiles' own, not the program's.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct PlayerRules {
    const char* name;
    int widest, tallestUpTo25, tallestUpTo30;  // largest picture by frame rate
    long long averageBits, peakBits, bufferBytes;
    int longestBFrameRun;
};

inline constexpr PlayerRules kHomeTheaterRules{"Home Theater", 720,       576,        480,
                                               4'854'000,      8'000'000, 384 * 1024, 1};
inline constexpr PlayerRules kHdRules{"HD", 1280, 720, 720, 9'708'000, 16'000'000, 768 * 1024, 2};

// Every rule the file breaks, one line each: empty when it keeps them all. The stream's pixel-aspect
// code agrees with the picture shape the header declares ('vprp'; none: square pixels): 1 for
// square pixels, else one of the standard shapes (2 to 5).
[[nodiscard]] std::vector<std::string> PlayerRuleBreaks(const std::filesystem::path& avi,
                                                        const PlayerRules& rules);

}  // namespace testsupport
