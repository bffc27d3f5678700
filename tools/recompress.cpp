// recompress: converts one file through the conversion graph, for developers and benchmarks.
//   recompress --list
//   recompress [--compressor INDEX] [--no-audio] INPUT OUTPUT

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "conversion_graph.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: recompress --list\n       recompress [--compressor INDEX] [--no-audio] INPUT OUTPUT\n");
    return 2;
}

int ListCompressors() {
    const auto names = tools::CompressorNames();
    for (std::size_t i = 0; i < names.size(); ++i) std::printf("%zu\t%s\n", i, names[i].c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int compressor = -1;
    bool keepAudio = true;
    std::string paths[2];
    int pathCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--list") return ListCompressors();
        if (arg == "--no-audio") {
            keepAudio = false;
        } else if (arg == "--compressor" && i + 1 < argc) {
            char* end = nullptr;
            compressor = static_cast<int>(std::strtol(argv[++i], &end, 10));
            if (end == nullptr || *end != '\0') return Usage();
        } else if (pathCount < 2 && !arg.starts_with("--")) {
            paths[pathCount++] = std::string(arg);
        } else {
            return Usage();
        }
    }
    if (pathCount != 2) return Usage();
    if (compressor < 0) compressor = tools::AutomaticCompressorIndex(tools::CompressorNames());

    tools::ConversionGraph job;
    std::string error;
    HRESULT hr = tools::BuildConversionGraph(paths[0], paths[1], compressor, keepAudio, job, error);
    if (FAILED(hr)) {
        std::fprintf(stderr, "recompress: %s (0x%08X)\n", error.c_str(), static_cast<unsigned>(hr));
        return 1;
    }
    LONGLONG duration = 0;
    job.seeking->GetDuration(&duration);
    if ((hr = job.control->Run()) < 0) {
        std::fprintf(stderr, "recompress: cannot run the graph (0x%08X)\n", static_cast<unsigned>(hr));
        return 1;
    }
    LONG code = 0;
    int lastPercent = -1;
    while (code == 0) {
        job.events->WaitForCompletion(100, &code);
        LONGLONG position = 0;
        job.seeking->GetCurrentPosition(&position);
        const int percent = duration > 0 ? static_cast<int>(position * 100.0 / static_cast<double>(duration)) : 0;
        if (percent != lastPercent) {
            std::printf("\r%3d%%", percent);
            std::fflush(stdout);
            lastPercent = percent;
        }
    }
    job.control->Stop();
    std::printf("\n");
    if (code != EC_COMPLETE) {
        std::fprintf(stderr, "recompress: the conversion stopped with event %d\n", static_cast<int>(code));
        return 1;
    }
    return 0;
}
