#include "engine/recompression_graph.h"

#include <algorithm>

#include "engine/compressor_selection.h"
#include "engine/engine_messages.h"
#include "engine/failure_cause.h"
#include "engine/player_audio.h"
#include "engine/player_file_plan.h"
#include "media/api/class_registry.h"
#include "media/api/pin_lookup.h"
#include "media/api/uuids.h"
#include "platform/file_attributes.h"
#include "platform/message_box.h"
#include "platform/win_types.h"
#include "text/text_conversion.h"

namespace {

// Every object of the graph is created with this context: whatever server the class registry has.
constexpr DWORD kClassContext = CLSCTX_ALL;

// A failing step: its message, then everything obtained so far released in reverse order.
HRESULT Fail(RecompressionGraph& graph, const char* message, HRESULT hr) {
    AfxMessageBox(message);
    TearDownRecompressionGraph(graph);
    return FAILED(hr) ? hr : E_FAIL;
}

// A new sample grabber and its control interface; both empty when either cannot be had.
HRESULT CreateSampleGrabber(InterfaceRef<IBaseFilter>& grabber, InterfaceRef<ISampleGrabber>& control) {
    HRESULT hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, kClassContext, IBaseFilter::iid,
                                  grabber.ReceiveVoid());
    if (SUCCEEDED(hr) && grabber) hr = control.Query(grabber.Get());
    if (FAILED(hr) || !grabber || !control) {
        control.Reset();
        grabber.Reset();
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    return S_OK;
}

// Connect through the graph builder; a missing pin fails the connection that needs it.
HRESULT ConnectPins(IGraphBuilder* graph, IPin* output, IPin* input) {
    if (output == nullptr || input == nullptr) return E_POINTER;
    return graph->Connect(output, input);
}

// Puts the MP3 encoder between audioSource and the grabber: intelligent connect gives it PCM
// through the audio decoder, and audioSource becomes the encoder's output. A failure shows its
// message.
HRESULT InsertMp3Encoder(IGraphBuilder* graph, InterfaceRef<IPin>& audioSource) {
    InterfaceRef<IBaseFilter> encoder;
    HRESULT hr =
        CoCreateInstance(CLSID_Mp3Encoder, nullptr, kClassContext, IBaseFilter::iid, encoder.ReceiveVoid());
    if (SUCCEEDED(hr) && encoder) hr = graph->AddFilter(encoder.Get(), u"Mp3Encoder");
    if (FAILED(hr) || !encoder) {
        AfxMessageBox(kCannotAddAudioGrabber);
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    InterfaceRef<IPin> encoderIn = InputPinAt(encoder.Get(), 0);
    if (FAILED(hr = ConnectPins(graph, audioSource.Get(), encoderIn.Get()))) {
        AfxMessageBox(kCannotConnectAudioSource);
        return hr;
    }
    audioSource = OutputPinAt(encoder.Get(), 0);
    return S_OK;
}

// Routes the first audio output upstream of the compressor's feed through an audio grabber into
// the multiplexer's second input, coded as MP3 on the way where audio asks for it. S_OK also when
// there is no audio to route: the output then has video only, without a message. A failure shows
// its message; the branch's own references are released on return, before the caller releases
// the graph.
HRESULT AddAudioBranch(RecompressionGraph& graph, AudioChoice audio) {
    InterfaceRef<IPin> feedingPin;
    graph.compressorIn->ConnectedTo(feedingPin.Receive());
    InterfaceRef<IPin> audioSource;
    FindUpstreamOutputPin(feedingPin.Get(), MEDIATYPE_Audio, 0, audioSource.Receive());
    if (!audioSource) return S_OK;

    HRESULT hr = S_OK;
    if (ConvertsToMp3(audio, *audioSource.Get()) &&
        FAILED(hr = InsertMp3Encoder(graph.graph.Get(), audioSource))) {
        return hr;
    }

    InterfaceRef<IBaseFilter> audioGrabber;
    InterfaceRef<ISampleGrabber> audioGrabberControl;
    hr = CreateSampleGrabber(audioGrabber, audioGrabberControl);
    if (FAILED(hr)) {
        AfxMessageBox(kCannotCreateSampleGrabber);
        return hr;
    }
    // Audio of any subtype: whatever the splitter (or the encoder) delivers goes into the file
    // unchanged.
    media::MediaType audioType;
    audioType.majortype = MEDIATYPE_Audio;
    audioGrabberControl->SetMediaType(&audioType);

    if (FAILED(hr = graph.graph->AddFilter(audioGrabber.Get(), u"AudioGrabber"))) {
        AfxMessageBox(kCannotAddAudioGrabber);
        return hr;
    }
    InterfaceRef<IPin> audioGrabberIn = InputPinAt(audioGrabber.Get(), 0);
    if (FAILED(hr = ConnectPins(graph.graph.Get(), audioSource.Get(), audioGrabberIn.Get()))) {
        AfxMessageBox(kCannotConnectAudioSource);
        return hr;
    }
    // The multiplexer offers a second, free input once its first one is connected.
    InterfaceRef<IPin> audioGrabberOut = OutputPinAt(audioGrabber.Get(), 0);
    InterfaceRef<IPin> muxAudioIn = InputPinAt(graph.mux.Get(), 1);
    if (FAILED(hr = ConnectPins(graph.graph.Get(), audioGrabberOut.Get(), muxAudioIn.Get()))) {
        AfxMessageBox(kCannotConnectAudioToMux);
        return hr;
    }
    return S_OK;
}

// The filter that feeds the grabber, or an empty holder.
InterfaceRef<IBaseFilter> GrabberFeeder(const RecompressionGraph& graph, InterfaceRef<IPin>& feed) {
    graph.videoGrabberIn->ConnectedTo(feed.Receive());
    PIN_INFO info{};
    if (!feed || FAILED(feed->QueryPinInfo(&info))) return {};
    return InterfaceRef<IBaseFilter>::Adopt(info.pFilter);
}

// Parts the feed from the grabber and connects it to `into` instead: the grabber itself, once the
// feeder delivers otherwise, or a filter of its own put in between.
HRESULT RefeedFrom(RecompressionGraph& graph, IPin* feed, IPin* into) {
    graph.graph->Disconnect(feed);
    graph.graph->Disconnect(graph.videoGrabberIn.Get());
    return ConnectPins(graph.graph.Get(), feed, into);
}

// The time of one picture as the grabber gets them, 100-ns units; 0 when the type tells none.
LONGLONG GrabbedFrameTime(const RecompressionGraph& graph) {
    media::MediaType type;
    if (FAILED(graph.videoGrabberIn->ConnectionMediaType(&type))) return 0;
    const VIDEOINFOHEADER* info = type.VideoInfo();
    return info != nullptr ? info->AvgTimePerFrame : 0;
}

// Under a player's profile, the filter that feeds the grabber (IPictureCadence: the decoder, which
// also deinterlaces) thins a stream faster than the profile takes; its output then joins the
// grabber again at the new rate. A fast stream that the splitter delivers as RGB24 gets a colour
// converter of its own to thin it.
HRESULT KeepPlayerCadence(RecompressionGraph& graph, PlayerProfile player) {
    if (player == PlayerProfile::None) return S_OK;
    InterfaceRef<IPin> feed;
    InterfaceRef<IBaseFilter> feeder = GrabberFeeder(graph, feed);
    if (!feeder) return VFW_E_NOT_CONNECTED;
    InterfaceRef<IPictureCadence> cadence;
    HRESULT hr = S_OK;
    if (SUCCEEDED(cadence.Query(feeder.Get()))) {
        hr = cadence->put_Deinterlace(TRUE);
        if (SUCCEEDED(hr)) hr = cadence->put_HighestFrameRate(HighestFrameRate(player));
        if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
        return RefeedFrom(graph, feed.Get(), graph.videoGrabberIn.Get());
    }
    const LONGLONG frameTime = GrabbedFrameTime(graph);
    if (frameTime <= 0 || frameTime * HighestFrameRate(player) >= 10'000'000) return S_OK;
    hr = CoCreateInstance(CLSID_Colour, nullptr, kClassContext, IBaseFilter::iid, feeder.ReceiveVoid());
    if (SUCCEEDED(hr)) hr = graph.graph->AddFilter(feeder.Get(), u"Frame Rate Limit");
    if (SUCCEEDED(hr)) hr = cadence.Query(feeder.Get());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = RefeedFrom(graph, feed.Get(), InputPinAt(feeder.Get(), 0).Get()))) return hr;
    // Set once the input is connected, where the converter learns the input's rate.
    if (FAILED(hr = cadence->put_HighestFrameRate(HighestFrameRate(player)))) return hr;
    return ConnectPins(graph.graph.Get(), OutputPinAt(feeder.Get(), 0).Get(), graph.videoGrabberIn.Get());
}

// A picture larger than largest is made smaller by the filter that feeds the grabber (the
// decoder, or the colour converter for uncompressed input), in the conversion to RGB24 it makes
// anyway; that filter's output then joins the grabber again at the new size. RGB24 that the
// splitter delivers as it is gets a colour converter of its own to scale it.
HRESULT LimitPictureSize(RecompressionGraph& graph, const PictureLimit& largest) {
    if (!largest.IsSet()) return S_OK;
    InterfaceRef<IPin> feed;
    InterfaceRef<IBaseFilter> feeder = GrabberFeeder(graph, feed);
    if (!feeder) return VFW_E_NOT_CONNECTED;
    InterfaceRef<IPictureLimit> limit;
    HRESULT hr = S_OK;
    if (SUCCEEDED(limit.Query(feeder.Get()))) {
        // Pictures within the limit keep the connection they have.
        hr = limit->put_LargestPicture(largest.width, largest.height);
        if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
        return RefeedFrom(graph, feed.Get(), graph.videoGrabberIn.Get());
    }
    hr = CoCreateInstance(CLSID_Colour, nullptr, kClassContext, IBaseFilter::iid, feeder.ReceiveVoid());
    if (SUCCEEDED(hr)) hr = graph.graph->AddFilter(feeder.Get(), u"Picture Limit");
    if (SUCCEEDED(hr)) hr = limit.Query(feeder.Get());
    if (SUCCEEDED(hr)) hr = limit->put_LargestPicture(largest.width, largest.height);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = RefeedFrom(graph, feed.Get(), InputPinAt(feeder.Get(), 0).Get()))) return hr;
    return ConnectPins(graph.graph.Get(), OutputPinAt(feeder.Get(), 0).Get(), graph.videoGrabberIn.Get());
}

// The writer's mode without AM_FILE_OVERWRITE: it will replace nothing.
HRESULT KeepExistingOutput(IFileSinkFilter* sink) {
    InterfaceRef<IFileSinkFilter2> writer;
    const HRESULT hr = writer.Query(sink);
    return FAILED(hr) ? hr : writer->SetMode(0);
}

bool IsPlainDirectoryOrMissing(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || attributes == FILE_ATTRIBUTE_DIRECTORY;
}

// Under players' rules: the multiplexer keeps to one RIFF, and a long film's video rate is lowered
// so that the file stays under 2 GiB; a film too long for a watchable picture in one file is said
// to be so. Needs the graph connected and its duration.
HRESULT FitPlayerFile(RecompressionGraph& graph, IBaseFilter& compressor, const CompressionChoice& choice,
                      bool durationKnown, bool ignoreWarnings) {
    InterfaceRef<IPlayerProfile> muxPlayer;
    HRESULT hr = muxPlayer.Query(graph.mux.Get());
    if (SUCCEEDED(hr)) hr = muxPlayer->put_PlayerProfile(PlayerProfileCodeOf(choice.player));
    if (FAILED(hr)) return hr;

    media::MediaType video;
    if (FAILED(hr = graph.compressorIn->ConnectionMediaType(&video))) return hr;
    LONGLONG audioBytesPerSecond = 0;
    if (InterfaceRef<IPin> audioIn = InputPinAt(graph.mux.Get(), 1)) {
        media::MediaType audio;
        if (SUCCEEDED(audioIn->ConnectionMediaType(&audio)) && audio.WaveFormat() != nullptr)
            audioBytesPerSecond = audio.WaveFormat()->nAvgBytesPerSec;
    }
    const double seconds = durationKnown ? static_cast<double>(graph.duration) / 1e7 : 0;
    const PlayerFilePlan plan =
        PlanPlayerFile(choice, PlayerFileInputOf(video, audioBytesPerSecond, seconds, choice.largest));
    if (plan.lowered) {
        InterfaceRef<IVideoDataRate> rate;
        if (SUCCEEDED(hr = rate.Query(&compressor))) hr = rate->put_DataRate(plan.videoBitsPerSecond);
        if (FAILED(hr)) return hr;
    }
    if (plan.tooLong && !ignoreWarnings) AfxMessageBox(kFilmTooLongForOneFile);
    return S_OK;
}

}  // namespace

RecompressionGraph::~RecompressionGraph() {
    TearDownRecompressionGraph(*this);
}

HRESULT BuildRecompressionGraph(const std::string& inputPath, const std::string& outputPath,
                                LONG compressorIndex, bool keepAudio, bool ignoreWarnings,
                                InterfaceRef<IBaseFilter>& compressorFilter, RecompressionGraph& graph,
                                ExistingOutput existing, const CompressionChoice& choice) {
    TearDownRecompressionGraph(graph);
    graph.duration = 0;
    graph.failureCause.clear();
    graph.skippedInput = 0;

    // The writer takes the path as the platform would: at most MAX_PATH - 1 bytes.
    if (outputPath.size() > MAX_PATH - 1) return Fail(graph, kFileNameTooLong, E_INVALIDARG);

    // The input exists. A folder with attributes beyond the directory bit gets past this and
    // fails when the source loads it.
    if (IsPlainDirectoryOrMissing(inputPath)) {
        return Fail(graph, kInputFileMissing, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    }
    const std::u16string wideInput = ToWide(inputPath);
    const std::u16string wideOutput = ToWide(outputPath);

    // The graph.
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, kClassContext, IGraphBuilder::iid,
                                  graph.graph.ReceiveVoid());
    if (FAILED(hr) || !graph.graph) return Fail(graph, kCannotCreateGraph, hr);

    // The capture graph builder, attached to it.
    hr = CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, kClassContext, ICaptureGraphBuilder::iid,
                          graph.builder.ReceiveVoid());
    if (SUCCEEDED(hr) && graph.builder) hr = graph.builder->SetFiltergraph(graph.graph.Get());
    if (FAILED(hr) || !graph.builder) return Fail(graph, kCannotSetCaptureGraph, hr);

    // The source; only whether a filter came back counts.
    graph.graph->AddSourceFilter(wideInput.c_str(), u"Source", graph.source.Receive());
    if (!graph.source) return Fail(graph, kCannotLoadSourceFilter, VFW_E_CANNOT_RENDER);

    // A freshly bound compressor; an empty holder fails when the compressor joins the graph.
    RebindCompressor(compressorIndex, compressorFilter);

    // The video grabber.
    if (FAILED(hr = CreateSampleGrabber(graph.videoGrabber, graph.videoGrabberControl))) {
        return Fail(graph, kCannotCreateSampleGrabber, hr);
    }

    // It takes only uncompressed 24-bit RGB, which is what every compressor accepts.
    graph.videoType.majortype = MEDIATYPE_Video;
    graph.videoType.subtype = MEDIASUBTYPE_RGB24;
    if (FAILED(hr = graph.videoGrabberControl->SetMediaType(&graph.videoType))) {
        return Fail(graph, kCannotSetGrabberMediaType, hr);
    }

    // The AVI multiplexer and the file writer, already joined, writing outputPath.
    hr = graph.builder->SetOutputFileName(&MEDIASUBTYPE_Avi, wideOutput.c_str(), graph.mux.Receive(),
                                          graph.sink.Receive());
    if (FAILED(hr) || !graph.mux) return Fail(graph, kCannotSetMuxAndFileWriter, hr);
    if (graph.sink) graph.writer.Query(graph.sink.Get());
    if (existing == ExistingOutput::Keep && FAILED(hr = KeepExistingOutput(graph.sink.Get()))) {
        return Fail(graph, kCannotSetMuxAndFileWriter, hr);
    }

    // The grabber and the compressor join the graph.
    if (FAILED(hr = graph.graph->AddFilter(graph.videoGrabber.Get(), u"VideoGrabber"))) {
        return Fail(graph, kCannotAddVideoGrabber, hr);
    }
    if (!compressorFilter) return Fail(graph, kCannotAddCompressor, E_POINTER);
    if (FAILED(hr = graph.graph->AddFilter(compressorFilter.Get(), u"Compressor")) ||
        FAILED(hr = ApplyCompressionChoice(*compressorFilter.Get(), choice))) {
        return Fail(graph, kCannotAddCompressor, hr);
    }

    // The pins of the video path; a missing one fails the connection that needs it.
    graph.sourceOut = OutputPinAt(graph.source.Get(), 0);
    graph.videoGrabberIn = InputPinAt(graph.videoGrabber.Get(), 0);
    graph.videoGrabberOut = OutputPinAt(graph.videoGrabber.Get(), 0);
    graph.compressorIn = InputPinAt(compressorFilter.Get(), 0);
    graph.compressorOut = OutputPinAt(compressorFilter.Get(), 0);
    graph.muxIn = InputPinAt(graph.mux.Get(), 0);

    // Source to grabber (splitter, decoders and converters come in as needed), grabber to
    // compressor, compressor to multiplexer.
    if (FAILED(hr = ConnectPins(graph.graph.Get(), graph.sourceOut.Get(), graph.videoGrabberIn.Get())) ||
        FAILED(hr = KeepPlayerCadence(graph, choice.player)) ||
        FAILED(hr = LimitPictureSize(graph, PlayerPictureLimit(choice.player, GrabbedFrameTime(graph),
                                                               choice.largest)))) {
        return Fail(graph, kCannotConnectVideoChain, hr);
    }
    if (FAILED(hr = ConnectPins(graph.graph.Get(), graph.videoGrabberOut.Get(), graph.compressorIn.Get()))) {
        return Fail(graph, kCannotConnectCompressor, hr);
    }
    if (FAILED(hr = ConnectPins(graph.graph.Get(), graph.compressorOut.Get(), graph.muxIn.Get()))) {
        return Fail(graph, kCannotConnectCompressorToMux, hr);
    }

    // The audio, when asked for.
    if (keepAudio && FAILED(hr = AddAudioBranch(graph, choice.audio))) {
        TearDownRecompressionGraph(graph);
        return hr;
    }

    // The graph's control, seeking, event and clock interfaces.
    graph.control.Query(graph.graph.Get());
    graph.seeking.Query(graph.graph.Get());
    graph.events.Query(graph.graph.Get());
    graph.clockFilter.Query(graph.graph.Get());

    // No reference clock: run as fast as the filters can. Failing that, it still converts.
    hr = graph.clockFilter ? graph.clockFilter->SetSyncSource(nullptr) : E_NOINTERFACE;
    if (FAILED(hr)) AfxMessageBox(kCannotRunWithoutClock);

    // Seeking must answer; the capabilities themselves are not needed.
    DWORD capabilities = 0;
    hr = graph.seeking ? graph.seeking->GetCapabilities(&capabilities) : E_NOINTERFACE;
    if (FAILED(hr)) return Fail(graph, kCannotReadSeekingCapabilities, hr);

    // The duration drives the progress; without one, progress is measured against 20 s.
    graph.duration = 0;
    graph.seeking->GetDuration(&graph.duration);
    const bool durationKnown = graph.duration > 0;
    if (graph.duration == 0) {
        graph.duration = kAssumedDuration;
        if (!ignoreWarnings) AfxMessageBox(kUnknownDuration);
    }
    if (choice.player != PlayerProfile::None &&
        FAILED(hr = FitPlayerFile(graph, *compressorFilter.Get(), choice, durationKnown, ignoreWarnings))) {
        return Fail(graph, kCannotSetMuxAndFileWriter, hr);
    }

    // Full interleaving, one second of interleave and preroll.
    hr = graph.interleaving.Query(graph.mux.Get());
    if (SUCCEEDED(hr)) hr = graph.interleaving->put_Mode(INTERLEAVE_FULL);
    if (FAILED(hr)) return Fail(graph, kCannotSetInterleavingMode, hr);
    if (FAILED(hr = graph.interleaving->put_Interleaving(&kInterleaveTime, &kInterleaveTime))) {
        return Fail(graph, kCannotSetInterleavingTimes, hr);
    }

    // Run. The job is watched through events and seeking, so both must be there.
    hr = graph.control && graph.events ? graph.control->Run() : E_NOINTERFACE;
    if (FAILED(hr)) return Fail(graph, kCannotRunGraph, hr);
    return S_OK;
}

HRESULT StopRecompressionGraph(RecompressionGraph& graph) {
    if (!graph.control) return E_UNEXPECTED;
    (void)graph.control->Stop();
    // The file writer completes the file while it stops and reports a failure as an event,
    // after the job's own end event; the queue holds every event of the job.
    HRESULT result = S_OK;
    LONG code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    while (graph.events && graph.events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
        if (code == EC_ERRORABORT && graph.failureCause.empty())
            graph.failureCause = AbortCause(static_cast<HRESULT>(param1), reinterpret_cast<IPin*>(param2));
        if (code == EC_INPUT_TIME_SKIPPED)
            graph.skippedInput = std::max<LONGLONG>(graph.skippedInput, param1);
        if (code == EC_ERRORABORT && SUCCEEDED(result))
            result = FAILED(static_cast<HRESULT>(param1)) ? static_cast<HRESULT>(param1) : E_FAIL;
        (void)graph.events->FreeEventParams(code, param1, param2);
    }
    return result;
}

void TearDownRecompressionGraph(RecompressionGraph& graph) {
    graph.interleaving.Reset();
    graph.clockFilter.Reset();
    graph.events.Reset();
    graph.seeking.Reset();
    graph.control.Reset();
    graph.muxIn.Reset();
    graph.compressorOut.Reset();
    graph.compressorIn.Reset();
    graph.videoGrabberOut.Reset();
    graph.videoGrabberIn.Reset();
    graph.sourceOut.Reset();
    graph.writer.Reset();
    graph.sink.Reset();
    graph.mux.Reset();
    graph.videoType = media::MediaType();
    graph.videoGrabberControl.Reset();
    graph.videoGrabber.Reset();
    graph.source.Reset();
    graph.builder.Reset();
    graph.graph.Reset();
}
