// recompress: converts one file the way a conversion job does (the recompression graph, the
// compressor catalogue, the same wait), for developers and benchmarks. The system's messages go
// to the error output (the message seam's default).
//   recompress --list
//   recompress [--compressor INDEX] [--no-audio] [--ignore-warnings] [--verbose] INPUT OUTPUT
// Without --compressor the compressor is the one the program would choose at start-up. FFmpeg's
// own warnings are shown only with --verbose.
// SIGINT and SIGTERM stop the conversion as the Stop button does: the output keeps what was
// converted, as a finished file; the exit status is then 128 + the signal's number. A second
// signal ends the program at once.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <signal.h>

#include "engine/compressor_catalogue.h"
#include "engine/compressor_selection.h"
#include "engine/interface_ref.h"
#include "engine/recompression_graph.h"
#include "media/com/class_registry.h"
#include "media/ffmpeg/ffmpeg_log.h"

namespace {

// The stop signal that arrived, 0 while none did. Written by the handler, read by the wait.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "read and written from a signal handler");

extern "C" void OnStopSignal(int signal) {
    g_stopSignal.store(signal);
}

// Only the main thread takes the stop signals: the graph's threads are started with them blocked
// (they inherit the mask), so their system calls are never interrupted. A signal that arrives
// while they are blocked waits until the main thread lets it in.
void BlockStopSignals(bool block) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(block ? SIG_BLOCK : SIG_UNBLOCK, &signals, nullptr);
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // a second signal takes its default course
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

struct Options {
    bool list = false;
    bool keepAudio = true;
    bool ignoreWarnings = false;
    bool verbose = false;
    bool compressorGiven = false;
    LONG compressor = -1;
    std::string input;
    std::string output;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: recompress --list\n"
                 "       recompress [--compressor INDEX] [--no-audio] [--ignore-warnings] [--verbose] "
                 "INPUT OUTPUT\n");
    return 2;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--list") {
            options.list = true;
        } else if (arg == "--no-audio") {
            options.keepAudio = false;
        } else if (arg == "--ignore-warnings") {
            options.ignoreWarnings = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--compressor" && i + 1 < argc) {
            char* end = nullptr;
            options.compressor = static_cast<LONG>(std::strtol(argv[++i], &end, 10));
            if (end == nullptr || *end != '\0') return false;
            options.compressorGiven = true;
        } else if (!arg.starts_with("--")) {
            paths.emplace_back(arg);
        } else {
            return false;
        }
    }
    if (options.list) return paths.empty();
    if (paths.size() != 2) return false;
    options.input = paths[0];
    options.output = paths[1];
    return true;
}

int ListCompressors() {
    std::vector<std::string> names;
    LONG automatic = -1;
    if (FAILED(EnumerateCompressors(names, automatic))) return 1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::printf("%zu\t%s%s\n", i, names[i].c_str(),
                    static_cast<LONG>(i) == automatic ? "\t(automatic)" : "");
    }
    return 0;
}

// The batch run's wait: 100 ms slices until the graph reports an event or a stop signal
// arrives, with the percent done.
LONG WaitForJob(RecompressionGraph& job) {
    LONG code = 0;
    int shownPercent = -1;
    while (code == 0 && g_stopSignal.load() == 0) {
        job.events->WaitForCompletion(100, &code);
        LONGLONG position = 0;
        job.seeking->GetCurrentPosition(&position);
        const int percent =
            static_cast<int>(static_cast<double>(position) * 100.0 / static_cast<double>(job.duration));
        if (percent != shownPercent) {
            std::printf("\r%3d%%", percent);
            std::fflush(stdout);
            shownPercent = percent;
        }
    }
    std::printf("\n");
    return code;
}

int Convert(const Options& options) {
    BlockStopSignals(true);
    CatchStopSignals();
    LONG compressorIndex = options.compressor;
    if (!options.compressorGiven) {
        std::vector<std::string> names;
        LONG automatic = -1;
        EnumerateCompressors(names, automatic);
        compressorIndex = StartupCompressorIndex(automatic);
    }
    InterfaceRef<IBaseFilter> compressor;
    RecompressionGraph job;
    const HRESULT built = BuildRecompressionGraph(options.input, options.output, compressorIndex,
                                                  options.keepAudio, options.ignoreWarnings, compressor, job);
    BlockStopSignals(false);
    if (FAILED(built)) return g_stopSignal.load() != 0 ? 128 + g_stopSignal.load() : 1;
    const LONG code = WaitForJob(job);
    const HRESULT completed = StopRecompressionGraph(job);
    TearDownRecompressionGraph(job);
    const int signal = g_stopSignal.load();
    // A job that reached its end, or was stopped, still needs its file completed and in place.
    if (FAILED(completed) && (code == EC_COMPLETE || signal != 0)) {
        std::fprintf(
            stderr, "recompress: the output could not be completed (0x%08lx); %s keeps what it had\n",
            static_cast<unsigned long>(static_cast<std::uint32_t>(completed)), options.output.c_str());
        return 1;
    }
    if (signal != 0) {
        std::fprintf(stderr, "recompress: stopped by signal %d; the output keeps what was converted\n",
                     signal);
        return 128 + signal;
    }
    if (code != EC_COMPLETE) {
        std::fprintf(stderr, "recompress: the conversion ended with event %ld\n", static_cast<long>(code));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options)) return Usage();
    if (options.verbose) media::SetFfmpegLogging(media::FfmpegLogging::Warnings);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int status = options.list ? ListCompressors() : Convert(options);
    CoUninitialize();
    return status;
}
