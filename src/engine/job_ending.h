#pragma once

// How a job ended, judged once for the window and the command line from what the job reported:
// the event code its wait returned and the result of its Stop (ConversionJob).

#include "media/api/types.h"

enum class JobEnding {
    Converted,           // reached its end, and its file is in place
    StoppedOnRequest,    // stopped on the user's request; its output keeps what was converted, or
                         // what it had when the stop came before the first picture (Stop: S_FALSE)
    OutputAppeared,      // a file took the output's name while converting and was kept
    OutputNotCompleted,  // the conversion ended, but its file could not be put in place
    FailedPartWay,       // a filter failed before the end; the output keeps what it had
};

// eventCode: WaitForEnd's. completed: Stop's. stopRequested: the wait was left on the user's
// request (a stop signal) rather than by an event.
[[nodiscard]] JobEnding JudgeJobEnding(LONG eventCode, HRESULT completed, bool stopRequested);

// Only a job that reached its end with its file in place is done.
[[nodiscard]] inline bool JobSucceeded(LONG eventCode, HRESULT completed) {
    return JudgeJobEnding(eventCode, completed, false) == JobEnding::Converted;
}
