#pragma once

// How a conversion for players fits one file they read: one RIFF of AVI 1.0 under 2 GiB, its
// video, audio and index together, with a margin for the encoder's rate, which holds its average
// only over the whole film. A long film's video rate is lowered to fit; below what its picture
// needs to be watchable, the film is too long for one file.

#include <string>

#include "engine/compression_choice.h"

// What is known of the input before it is converted.
struct PlayerFileInput {
    double seconds = 0;                // its length; 0 when it tells none
    double framesPerSecond = 25;       // of the output
    LONGLONG audioBytesPerSecond = 0;  // of the audio the output carries; 0 without audio
    int width = 0;                     // of the coded picture; 0 when not known
};

struct PlayerFilePlan {
    LONGLONG videoBitsPerSecond = 0;  // what the video is coded at
    LONGLONG expectedBytes = 0;       // the whole file at that rate
    bool lowered = false;             // below the chosen rate, to fit
    bool tooLong = false;             // below the rate its picture's width needs to be watchable
};

// The input from the video's type (its frame time, and its width within largest), the audio the
// output carries and the input's length.
[[nodiscard]] PlayerFileInput PlayerFileInputOf(const AM_MEDIA_TYPE& video, LONGLONG audioBytesPerSecond,
                                                double seconds, const PictureLimit& largest);

// The input at inputPath as the media detector sees it: its first video stream's type, its first
// audio stream's rate (as MP3 when choice codes it anew; none unless keepAudio) and its length.
// False when the detector cannot open it or finds no video.
[[nodiscard]] bool DetectPlayerFileInput(const std::string& inputPath, const CompressionChoice& choice,
                                         bool keepAudio, PlayerFileInput& input);

// The plan under choice's players (choice.player set). An input whose length is unknown keeps
// the chosen rate.
[[nodiscard]] PlayerFilePlan PlanPlayerFile(const CompressionChoice& choice, const PlayerFileInput& input);
