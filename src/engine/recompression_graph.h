#pragma once

// The graph that re-encodes one input file into an AVI file:
//
//   Source -> (splitter, decoders, converters that Connect inserts) -> VideoGrabber (RGB24 only)
//          -> Compressor -> AVI multiplexer input 0 -> file writer
//   and, when audio is kept and found upstream of the grabber:
//   first audio output -> AudioGrabber (any audio) -> multiplexer input 1
//
// Under a largest picture, the filter that feeds the grabber (IPictureLimit) scales a larger
// picture down as it converts it to RGB24. Under a player's profile, the decoder first
// deinterlaces and thins the pictures to the profile's rate (IPictureCadence), and the largest
// picture is the profile's at the rate that results, within the one chosen.
//
// It runs without a reference clock, so as fast as decoding and compression go. States: built
// and running (BuildRecompressionGraph), stopped (StopRecompressionGraph, which completes the
// file), released (TearDownRecompressionGraph). User-interface thread only.

#include <string>

#include "engine/compression_choice.h"
#include "media/api/interface_ref.h"
#include "media/api/interfaces.h"
#include "media/api/media_type.h"

// Everything obtained for one job, in the order it is obtained; it is released in the reverse
// order, by TearDownRecompressionGraph or, at the latest, by the destructor.
struct RecompressionGraph {
    InterfaceRef<IGraphBuilder> graph;
    InterfaceRef<ICaptureGraphBuilder> builder;
    InterfaceRef<IBaseFilter> source;        // "Source"
    InterfaceRef<IBaseFilter> videoGrabber;  // "VideoGrabber"
    InterfaceRef<ISampleGrabber> videoGrabberControl;
    media::MediaType videoType;          // video, RGB24
    InterfaceRef<IBaseFilter> mux;       // the AVI multiplexer
    InterfaceRef<IFileSinkFilter> sink;  // the file writer
    InterfaceRef<IBaseFilter> writer;    // the file writer again; held, not otherwise used
    InterfaceRef<IPin> sourceOut;
    InterfaceRef<IPin> videoGrabberIn;
    InterfaceRef<IPin> videoGrabberOut;
    InterfaceRef<IPin> compressorIn;
    InterfaceRef<IPin> compressorOut;
    InterfaceRef<IPin> muxIn;
    InterfaceRef<IMediaControl> control;
    InterfaceRef<IMediaSeeking> seeking;
    InterfaceRef<IMediaEvent> events;
    InterfaceRef<IMediaFilter> clockFilter;
    InterfaceRef<IConfigInterleaving> interleaving;
    // 100-ns units; 20 seconds when the input's duration cannot be told.
    LONGLONG duration = 0;
    // The first error abort's cause in words (AbortCause), once the graph has stopped.
    std::string failureCause;

    RecompressionGraph() = default;
    RecompressionGraph(const RecompressionGraph&) = delete;
    RecompressionGraph& operator=(const RecompressionGraph&) = delete;
    ~RecompressionGraph();
};

// What a job does to a file that already has its output's name: replace it when the job's file
// is finished (the window), or keep it, refusing to start and never replacing a file that takes
// the name while the job runs (the command line without --overwrite). A kept file makes the
// start, or the stop, fail with HRESULT_FROM_WIN32(ERROR_FILE_EXISTS).
enum class ExistingOutput { Replace, Keep };

inline constexpr LONGLONG kAssumedDuration = 200'000'000;      // 20 s, when the input tells none
inline constexpr REFERENCE_TIME kInterleaveTime = 10'000'000;  // 1 s, interleave and preroll

// Builds the graph for inputPath -> outputPath (UTF-8 paths), configures and starts it. The
// compressor is bound anew from the catalogue at compressorIndex (-1: none selected) into
// compressorFilter, which the caller keeps and which stays bound afterwards, failure or not.
// keepAudio routes the input's first audio stream into the output when there is one (silently
// video only otherwise); ignoreWarnings suppresses the warning about an unknown duration.
// choice is set on the compressor once it is bound; its audio says whether the audio is coded
// anew as MP3 on the way.
// A graph that still holds references from an earlier job is torn down first.
//
// Returns S_OK with graph running. On failure the step's message has been shown, everything the
// build obtained has been released in reverse order, and the failing result is returned.
// Whatever was already written at outputPath stays.
[[nodiscard]] HRESULT BuildRecompressionGraph(const std::string& inputPath, const std::string& outputPath,
                                              LONG compressorIndex, bool keepAudio, bool ignoreWarnings,
                                              InterfaceRef<IBaseFilter>& compressorFilter,
                                              RecompressionGraph& graph,
                                              ExistingOutput existing = ExistingOutput::Replace,
                                              const CompressionChoice& choice = {});

// Stops a running graph, which completes the output file and moves it into place. Returns the
// failure a filter reported on the way, a file that could not be completed or moved into place
// among them (the output then keeps whatever it had before the job), else S_OK. The job's end
// event says whether the conversion reached its end; this says whether its file is there. The
// first error abort's cause is left in graph.failureCause.
[[nodiscard]] HRESULT StopRecompressionGraph(RecompressionGraph& graph);

// Releases every reference of a stopped graph, in the reverse order of acquisition.
void TearDownRecompressionGraph(RecompressionGraph& graph);
