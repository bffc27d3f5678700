// recompress: converts one file the way a conversion job does (the recompression graph, the
// compressor catalogue, the same wait), for developers and benchmarks. The system's messages go
// to the error output.
//   recompress --list
//   recompress [--compressor INDEX] [--no-audio] [--ignore-warnings] [--verbose] INPUT OUTPUT
// Without --compressor the compressor is the one the program would choose at start-up. FFmpeg's
// own warnings are shown only with --verbose.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compressor_catalogue.h"
#include "engine/compressor_selection.h"
#include "engine/interface_ref.h"
#include "engine/recompression_graph.h"
#include "media/com/class_registry.h"
#include "media/ffmpeg_log.h"
#include "platform/message_box.h"

namespace {

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

// The system's messages, one per line: their "\r\n" breaks become plain line breaks.
int PrintMessage(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c != '\r') line += c;
    }
    std::fprintf(stderr, "recompress: %s\n", line.c_str());
    return IDOK;
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

// The batch run's wait: 100 ms slices until the graph reports an event, with the percent done.
LONG WaitForJob(RecompressionGraph& job) {
    LONG code = 0;
    int shownPercent = -1;
    while (code == 0) {
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
    LONG compressorIndex = options.compressor;
    if (!options.compressorGiven) {
        std::vector<std::string> names;
        LONG automatic = -1;
        EnumerateCompressors(names, automatic);
        compressorIndex = StartupCompressorIndex(automatic);
    }
    InterfaceRef<IBaseFilter> compressor;
    RecompressionGraph job;
    if (FAILED(BuildRecompressionGraph(options.input, options.output, compressorIndex, options.keepAudio,
                                       options.ignoreWarnings, compressor, job))) {
        return 1;
    }
    const LONG code = WaitForJob(job);
    job.control->Stop();
    TearDownRecompressionGraph(job);
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
    SetMessageBoxHandler(PrintMessage);
    if (options.verbose) media::SetFfmpegLogging(media::FfmpegLogging::Warnings);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int status = options.list ? ListCompressors() : Convert(options);
    CoUninitialize();
    return status;
}
