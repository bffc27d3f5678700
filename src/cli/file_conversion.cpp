#include "cli/file_conversion.h"

#include <cstdint>
#include <cstdio>

#include <sys/stat.h>

#include "cli/start_failure_cause.h"
#include "cli/stop_signals.h"
#include "engine/conversion_job.h"
#include "engine/engine_messages.h"
#include "engine/failure_cause.h"
#include "engine/job_ending.h"
#include "engine/video_frame_counter.h"
#include "platform/message_box.h"
#include "platform/win_types.h"
#include "text/message_catalogue.h"
#include "text/path_parts.h"

namespace {

constexpr HRESULT kOutputExists = HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);

JobResult Failure(std::string reason, bool shown = false) {
    return {JobOutcome::Failed, std::move(reason), shown};
}

std::string ExistsReason(const std::string& output) {
    return FormatText(Translated("%s exists (--overwrite replaces it)"), output.c_str());
}

// How the job ended, once its graph has stopped: eventCode from the wait, completed from Stop,
// cause the first failure a filter reported, in words.
JobResult Ending(const ListedJob& job, LONG eventCode, HRESULT completed, const std::string& cause) {
    const int signal = StopSignal();
    switch (JudgeJobEnding(eventCode, completed, signal != 0)) {
        case JobEnding::StoppedOnRequest: {
            return {JobOutcome::Stopped,
                    FormatText(completed == S_FALSE
                                   ? Translated("stopped by signal %d; %s was not written: the "
                                                "stop came before the first picture")
                                   : Translated("stopped by signal %d; %s keeps what was converted"),
                               signal, job.output.c_str())};
        }
        case JobEnding::OutputAppeared:
            return Failure(FormatText(
                Translated("%s appeared while converting and was kept; this conversion was discarded"),
                job.output.c_str()));
        case JobEnding::OutputNotCompleted:
            return Failure(
                FormatText(Translated("the output could not be completed: %s; %s keeps what it had"),
                           (cause.empty() ? ResultText(completed) : cause).c_str(), job.output.c_str()));
        case JobEnding::FailedPartWay:
            return Failure(FormatText(
                Translated("the conversion failed part-way: %s; %s keeps what it had"),
                (cause.empty() ? FormatText(Translated("event %ld"), static_cast<long>(eventCode)) : cause)
                    .c_str(),
                job.output.c_str()));
        case JobEnding::Converted:
            break;
    }
    return {JobOutcome::Converted, {}};
}

}  // namespace

JobResult ConvertFile(const ListedJob& job, const JobSettings& settings,
                      InterfaceRef<IBaseFilter>& compressorFilter, ProgressLine& progress,
                      MessageRelay& messages) {
    // The window refuses such a row before it probes it; the engine checks only the output.
    if (job.input.size() > MAX_PATH - 1) {
        AfxMessageBox(kFileNameTooLong);
        return Failure(kFileNameTooLong, true);
    }
    struct stat existing {};
    if (!settings.overwrite && ::lstat(job.output.c_str(), &existing) == 0)
        return Failure(ExistsReason(job.output));
    // No folder is made for an input that can't even be read: the conversion fails on it before
    // it looks at the output. (One made for nothing is not removed again: it could be taken from
    // under another run's output, which has no name in it until it is finished.)
    if (settings.createFolder && UnreadableInputCause(job.input).empty())
        (void)::mkdir(FolderOf(job.output).c_str(), 0777);

    ConversionJob conversion;
    HRESULT hr = S_OK;
    {
        const StopSignalsBlocked streamingThreadsIgnoreSignals;
        messages.HoldBack();
        hr = conversion.Start(job.input, job.output, settings.compressorIndex, settings.keepAudio,
                              settings.ignoreWarnings, compressorFilter,
                              settings.overwrite ? ExistingOutput::Replace : ExistingOutput::Keep,
                              settings.compression);
        messages.ShowHeld(FAILED(hr) && hr != kOutputExists ? StartFailureCause(job, hr) : std::string());
    }
    if (hr == kOutputExists) return Failure(ExistsReason(job.output));
    if (FAILED(hr)) {
        const bool shown = !messages.LastMessage().empty();
        return Failure(
            shown ? messages.LastMessage()
                  : FormatText(Translated("the conversion could not start (%s)"), ResultText(hr).c_str()),
            shown);
    }

    const auto counter = InterfaceRef<VideoFrameCounter>::Adopt(VideoFrameCounter::Create());
    (void)conversion.WatchVideoFrames(counter.Get());
    const LONG eventCode = conversion.WaitForEnd(
        [] { return StopSignal() == 0; }, [&](int percent) { progress.Update(percent, counter->Frames()); });
    const HRESULT completed = conversion.Stop();
    const std::string cause = conversion.FailureCause();
    if (const LONGLONG skipped = conversion.SkippedInput(); skipped > 0) {
        messages.Show(FormatText(Translated("%.1f s of the input skipped where its times jump"),
                                 static_cast<double>(skipped) / 1e7));
    }
    conversion.TearDown();
    return Ending(job, eventCode, completed, cause);
}
