#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The sync markers of a file as a player shows and plays them (the marker samples: a grey picture
// and a beep together once a second over black and silence): when each grey picture comes up,
// when each beep starts, and where the picture ends. Times in seconds on the player's clock: a
// picture at its presentation time, the sound from where its first packet starts, continuously.
struct SyncMarkers {
    std::string error;  // empty when both streams opened and decoded
    std::vector<double> flashes;
    std::vector<double> beeps;
    double pictureStart = 0;  // the first picture's time
    double pictureEnd = 0;    // the last picture's time plus one frame

    // The largest distance between a beep and its flash, paired in order; infinity when their
    // counts differ.
    [[nodiscard]] double WorstOffset() const;
};

[[nodiscard]] SyncMarkers FindSyncMarkers(const std::filesystem::path& file);

}  // namespace testsupport
