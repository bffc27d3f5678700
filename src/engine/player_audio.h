#pragma once

// Which audio is coded anew as MP3 for the players that still need AVI files (DVD and media
// players, car and TV sets): they decode MP3, MPEG-1 audio layers 1 and 2, AC-3 and PCM, and
// commonly nothing else.

#include "engine/compression_choice.h"
#include "media/api/interfaces.h"

// Whether the audio that audioSource offers first becomes MP3 under choice: always under Mp3,
// never under Keep, under Mp3WhenNeeded unless players commonly decode it as it is, under Mp3OrAc3
// unless it is MP3 or AC-3 already. A pin that offers no type keeps its audio.
[[nodiscard]] bool ConvertsToMp3(AudioChoice choice, IPin& audioSource);
// The same for audio of type.
[[nodiscard]] bool ConvertsToMp3(AudioChoice choice, const AM_MEDIA_TYPE& type);
