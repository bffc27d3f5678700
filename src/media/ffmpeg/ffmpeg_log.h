#pragma once

// How much of FFmpeg's own logging reaches the error output. The media layer reports what goes
// wrong through its results and events; FFmpeg's messages ("Packet corrupt", "deprecated pixel
// format used") are for developers, so by default none is shown.

namespace media {

enum class FfmpegLogging {
    Quiet,     // nothing
    Warnings,  // errors and warnings
};

// Sets the level for the whole process; it holds from then on, also over the default. MT safe.
void SetFfmpegLogging(FfmpegLogging logging);

// Makes the default (Quiet) take effect unless a level was set already. The media layer calls it
// at first use; calling it again does nothing. MT safe.
void ApplyDefaultFfmpegLogging();

}  // namespace media
