#pragma once

// How far a conversion job has come, in whole percent: the one rule that the window's progress
// bar and the command line both show.

#include "media/api/types.h"

// position as a whole percent of duration (100-ns units both), truncated toward zero. Past the
// duration (an input whose length was guessed) it goes above 100; with a duration of 0 any
// position is past it. Never overflows.
[[nodiscard]] int PercentOf(LONGLONG position, LONGLONG duration);

// percent as a bar from 0 to 100 shows it: a position past the range shows as full, one before
// it as empty.
[[nodiscard]] int ShownPercent(int percent);
