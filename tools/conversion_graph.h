#pragma once

// One file through the conversion graph, driven directly through the media layer's interfaces:
// source -> (splitter, decoder, converter) -> RGB24 grabber -> compressor -> AVI mux -> writer,
// plus, when asked, the first audio output upstream of the grabber -> audio grabber -> mux.
// For developer tools, tests and benchmarks of the media layer.

#include <string>
#include <vector>

#include "media/com/com_ptr.h"
#include "media/graph/interfaces.h"

namespace tools {

// The display names of the installed video compressors, in catalogue order.
[[nodiscard]] std::vector<std::string> CompressorNames();
// The last compressor whose lower-cased name contains "divx" or "xvid", or -1.
[[nodiscard]] int AutomaticCompressorIndex(const std::vector<std::string>& names);
// A new filter for the compressor at index, or empty.
[[nodiscard]] media::ComPtr<IBaseFilter> BindCompressor(int index);

struct ConversionGraph {
    media::ComPtr<IGraphBuilder> graph;
    media::ComPtr<IMediaControl> control;
    media::ComPtr<IMediaEvent> events;
    media::ComPtr<IMediaSeeking> seeking;
    bool hasAudio = false;
};

// Builds and configures the graph (not started). On failure returns the failing result and
// sets error to what failed.
[[nodiscard]] HRESULT BuildConversionGraph(const std::string& input, const std::string& output, int compressorIndex,
                                           bool keepAudio, ConversionGraph& result, std::string& error);

}  // namespace tools
