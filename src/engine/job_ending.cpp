#include "engine/job_ending.h"

#include "media/api/interfaces.h"

JobEnding JudgeJobEnding(LONG eventCode, HRESULT completed, bool stopRequested) {
    if (stopRequested && SUCCEEDED(completed)) return JobEnding::StoppedOnRequest;
    if (completed == HRESULT_FROM_WIN32(ERROR_FILE_EXISTS)) return JobEnding::OutputAppeared;
    if (FAILED(completed) && (eventCode == EC_COMPLETE || stopRequested))
        return JobEnding::OutputNotCompleted;
    if (eventCode != EC_COMPLETE) return JobEnding::FailedPartWay;
    return JobEnding::Converted;
}
