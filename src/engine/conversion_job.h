#pragma once

// ConversionJob: the mechanics of converting one input into one AVI file, shared by the window's
// run and the command line. It builds and starts the job's recompression graph, waits on it in
// short slices with its progress in between, stops it (which completes the file and moves it
// into place) and releases it. What the user sees between the slices is the caller's business.
// User-interface (main) thread only.

#include <functional>
#include <string>

#include "engine/recompression_graph.h"

class ConversionJob {
public:
    // How long one wait on the graph lasts: the window's reaction time and the progress's
    // refresh interval.
    static constexpr LONG kWaitSliceMs = 100;

    ConversionJob() = default;
    ConversionJob(const ConversionJob&) = delete;
    ConversionJob& operator=(const ConversionJob&) = delete;
    // Releases what is still held, in the reverse order of acquisition; a running graph is
    // stopped on the way by its own release.
    ~ConversionJob() = default;

    // Builds the graph for inputPath -> outputPath and starts it; the messages and their order
    // are BuildRecompressionGraph's. compressorFilter is the caller's bound compressor, bound
    // anew from compressorIndex and given choice. existing says what becomes of a file that has the output's
    // name. On failure the step's message has been shown and nothing is held.
    [[nodiscard]] HRESULT Start(const std::string& inputPath, const std::string& outputPath,
                                LONG compressorIndex, bool keepAudio, bool ignoreWarnings,
                                InterfaceRef<IBaseFilter>& compressorFilter,
                                ExistingOutput existing = ExistingOutput::Replace,
                                const CompressionChoice& choice = {});

    // Has watcher's SampleCB called, on a streaming thread, for every video frame that goes to
    // the compressor from now on; the job holds a reference to it until TearDown. Only while
    // started.
    HRESULT WatchVideoFrames(ISampleGrabberCB* watcher);

    // Called after every slice, before the progress is read: false leaves the wait at once
    // (the window closing, a stop signal).
    using KeepWaiting = std::function<bool()>;
    // Called after every slice that keepWaiting let through, with PercentOf the job's position.
    using Progressed = std::function<void(int percent)>;

    // Waits slice by slice until the graph reports an event or keepWaiting ends the wait, and
    // returns the event's code: EC_COMPLETE for a job that reached its end, 0 for none yet.
    [[nodiscard]] LONG WaitForEnd(const KeepWaiting& keepWaiting, const Progressed& progressed);

    // The job's progress now, by PercentOf.
    [[nodiscard]] int Percent() const;

    // Stops the graph, however the job ended, which completes the output file and moves it into
    // place. S_OK when the file is in place; S_FALSE when the job wrote none (stopped before its
    // first picture), and the output keeps what it had; otherwise the failure (the output then
    // keeps what it had before the job). E_UNEXPECTED when the job was never started.
    [[nodiscard]] HRESULT Stop();

    // Why the job failed, in words (AbortCause), after Stop; empty when no filter reported a
    // failure.
    [[nodiscard]] const std::string& FailureCause() const { return m_graph.failureCause; }

    // How much of the input's time the conversion closed up (stamps that jump, a damaged table),
    // after Stop; 100-ns units, 0 when none or under a second.
    [[nodiscard]] LONGLONG SkippedInput() const { return m_graph.skippedInput; }

    // Releases every reference of the job in the reverse order of acquisition.
    void TearDown() { TearDownRecompressionGraph(m_graph); }

    // 100-ns units; 20 seconds when the input tells none.
    [[nodiscard]] LONGLONG Duration() const { return m_graph.duration; }

private:
    RecompressionGraph m_graph;
    std::string m_outputPath;
    std::string m_outputBefore;  // what identified the file at the output path at the start
};
