// The AVI multiplexer, the file writer and the capture graph builder. Packets come from the sample
// files (through the real splitter, or pushed by a source of the test's own that controls their
// times); every output is read back with libavformat alone.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <gtest/gtest.h>

#include "media/api/class_registry.h"
#include "media/api/task_memory.h"
#include "media/api/uuids.h"
#include "media/com/com_ptr.h"
#include "media/com/wide_text.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/media_sample.h"
#include "media/graph/filter_base.h"

#include "support/read_back.h"
#include "support/samples_dir.h"

using namespace media;
namespace fs = std::filesystem;
using testsupport::ReadBack;
using testsupport::SamplePath;

namespace {

constexpr REFERENCE_TIME kSecond = 10'000'000;

class TypedOutput final : public OutputPin {
public:
    TypedOutput(FilterBase& filter, MediaType type) : OutputPin(filter, u"Out"), m_type(std::move(type)) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& t) override {
        return t.majortype == m_type.majortype && t.subtype == m_type.subtype ? S_OK
                                                                              : VFW_E_TYPE_NOT_ACCEPTED;
    }
    std::vector<MediaType> OfferedTypes() override { return {m_type}; }

private:
    MediaType m_type;
};

// The packets of a sample file, read with libavformat and pushed by the test thread with the times
// the splitter gives them (100-ns units from the start of the file), each stream moved by an
// offset of the test's choosing.
class PacketSource final : public FilterBase {
public:
    explicit PacketSource(const fs::path& file) : FilterBase(GUID_NULL) {
        AVFormatContext* opened = nullptr;
        if (avformat_open_input(&opened, file.c_str(), nullptr, nullptr) < 0) return;
        m_input.reset(opened);
        if (avformat_find_stream_info(opened, nullptr) < 0) return;
        for (unsigned i = 0; i < opened->nb_streams; ++i) {
            const AVStream& s = *opened->streams[i];
            const AVMediaType kind = s.codecpar->codec_type;
            m_pinOf.push_back(kind == AVMEDIA_TYPE_VIDEO || kind == AVMEDIA_TYPE_AUDIO ? int(m_pins.size())
                                                                                       : -1);
            if (m_pinOf.back() < 0) continue;
            MediaType type = MediaTypeFromCodecParameters(*s.codecpar, s.time_base, s.r_frame_rate);
            // A video stream keeps the file's own FourCC when AVI has it, as a compressor names its own.
            const AVCodecTag* const aviTags[] = {avformat_get_riff_video_tags(), nullptr};
            if (kind == AVMEDIA_TYPE_VIDEO && s.codecpar->codec_tag != 0 &&
                av_codec_get_id(aviTags, s.codecpar->codec_tag) == s.codecpar->codec_id) {
                type.subtype = FourCCGuid(s.codecpar->codec_tag);
                reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader.biCompression =
                    s.codecpar->codec_tag;
            }
            m_pins.push_back(std::make_unique<TypedOutput>(*this, std::move(type)));
            m_offsets.push_back(0);
        }
    }
    std::vector<PinBase*> Pins() override {
        std::vector<PinBase*> pins;
        for (auto& p : m_pins) pins.push_back(p.get());
        return pins;
    }
    std::size_t PinCount() const { return m_pins.size(); }
    TypedOutput& Out(std::size_t i) { return *m_pins.at(i); }
    void Shift(std::size_t pin, REFERENCE_TIME offset) { m_offsets.at(pin) = offset; }

    // Delivers up to count packets to the connected pins (all that are left when count < 0) and
    // returns how many the receivers took; stops at the first refusal.
    int Push(int count = -1) {
        AvPacketPtr packet(av_packet_alloc());
        int pushed = 0;
        while ((count < 0 || pushed < count) && av_read_frame(m_input.get(), packet.get()) >= 0) {
            const int pin = m_pinOf[static_cast<std::size_t>(packet->stream_index)];
            HRESULT hr = S_OK;
            if (pin >= 0 && m_pins[static_cast<std::size_t>(pin)]->IsConnected()) {
                hr = Deliver(static_cast<std::size_t>(pin), *packet);
                if (hr == S_OK) ++pushed;
            }
            av_packet_unref(packet.get());
            if (hr != S_OK) break;
        }
        return pushed;
    }
    void EndStreams() {
        for (auto& p : m_pins) {
            if (p->IsConnected()) p->DeliverEndOfStream();
        }
    }

private:
    HRESULT Deliver(std::size_t pin, const AVPacket& packet) {
        const AVRational timeBase = m_input->streams[packet.stream_index]->time_base;
        const std::int64_t stamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
        const REFERENCE_TIME origin = m_input->start_time != AV_NOPTS_VALUE ? m_input->start_time * 10 : 0;
        REFERENCE_TIME start = ToReferenceTime(stamp, timeBase) - origin + m_offsets[pin];
        REFERENCE_TIME stop = start + ToReferenceTime(packet.duration, timeBase);
        ComPtr<IMediaSample> sample = ComPtr<IMediaSample>::Adopt(MediaSample::Create(packet.size));
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, packet.data, static_cast<std::size_t>(packet.size));
        sample->SetActualDataLength(packet.size);
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint((packet.flags & AV_PKT_FLAG_KEY) != 0);
        return m_pins[pin]->Deliver(sample.Get());
    }

    AvFormatInputPtr m_input;
    std::vector<std::unique_ptr<TypedOutput>> m_pins;
    std::vector<int> m_pinOf;  // by stream index of the file
    std::vector<REFERENCE_TIME> m_offsets;
};

// Pushes samples of the test's own making, one output pin per type.
class SyntheticSource final : public FilterBase {
public:
    explicit SyntheticSource(std::vector<MediaType> types) : FilterBase(GUID_NULL) {
        for (auto& type : types) m_pins.push_back(std::make_unique<TypedOutput>(*this, std::move(type)));
    }
    std::vector<PinBase*> Pins() override {
        std::vector<PinBase*> pins;
        for (auto& p : m_pins) pins.push_back(p.get());
        return pins;
    }
    std::size_t PinCount() const { return m_pins.size(); }
    TypedOutput& Out(std::size_t i) { return *m_pins.at(i); }

    HRESULT Push(std::size_t pin, REFERENCE_TIME start, const std::vector<std::uint8_t>& payload) {
        ComPtr<IMediaSample> sample =
            ComPtr<IMediaSample>::Adopt(MediaSample::Create(static_cast<int>(payload.size())));
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, payload.data(), payload.size());
        REFERENCE_TIME stop = start + kSecond / 25;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        return m_pins.at(pin)->Deliver(sample.Get());
    }
    void EndStreams() {
        for (auto& p : m_pins) p->DeliverEndOfStream();
    }
    // As a decoder or compressor upstream fails.
    void Fail(HRESULT hr) { AbortStream(hr, m_pins.front().get()); }

private:
    std::vector<std::unique_ptr<TypedOutput>> m_pins;
};

ComPtr<IPin> PinAt(IBaseFilter* filter, PIN_DIRECTION direction, int index) {
    ComPtr<IEnumPins> pins;
    filter->EnumPins(pins.Receive());
    IPin* pin = nullptr;
    ULONG fetched = 0;
    while (pins->Next(1, &pin, &fetched) == S_OK) {
        ComPtr<IPin> held = ComPtr<IPin>::Adopt(pin);
        PIN_DIRECTION d{};
        held->QueryDirection(&d);
        if (d == direction && index-- == 0) return held;
    }
    return {};
}

std::u16string Wide(const fs::path& path) {
    return ToUtf16(path.string());
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Compressed types as the splitter offers them.
MediaType Mpeg4VideoType() {
    AVCodecParameters* video = avcodec_parameters_alloc();
    video->codec_type = AVMEDIA_TYPE_VIDEO;
    video->codec_id = AV_CODEC_ID_MPEG4;
    video->width = 320;
    video->height = 240;
    MediaType type = MediaTypeFromCodecParameters(*video, {1, 25}, {25, 1});
    avcodec_parameters_free(&video);
    return type;
}
MediaType AudioType(AVCodecID codec, int channels) {
    AVCodecParameters* audio = avcodec_parameters_alloc();
    audio->codec_type = AVMEDIA_TYPE_AUDIO;
    audio->codec_id = codec;
    audio->sample_rate = 48000;
    av_channel_layout_default(&audio->ch_layout, channels);
    MediaType type = MediaTypeFromCodecParameters(*audio, {1, 48000}, {0, 1});
    avcodec_parameters_free(&audio);
    return type;
}

class AviMuxTest : public ::testing::Test {
protected:
    static std::string TestName() {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        return name;
    }
    void SetUp() override {
        m_dir =
            fs::temp_directory_path() / ("tessarel-avimux-" + std::to_string(::getpid()) + "-" + TestName());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IGraphBuilder::iid,
                                   m_graph.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_ALL, ICaptureGraphBuilder::iid,
                                   m_builder.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(m_builder->SetFiltergraph(m_graph.Get()), S_OK);
        m_control = m_graph.As<IMediaControl>();
        m_events = m_graph.As<IMediaEvent>();
    }
    void TearDown() override {
        if (m_control) m_control->Stop();
        fs::remove_all(m_dir);
    }

    HRESULT AddMux(const fs::path& output) {
        return m_builder->SetOutputFileName(&MEDIASUBTYPE_Avi, Wide(output).c_str(), m_mux.Receive(),
                                            m_sink.Receive());
    }
    // Adds the mux for output and source, each pin of the source to the next mux input.
    template <class Source>
    void Attach(Source* source, const fs::path& output) {
        ASSERT_EQ(AddMux(output), S_OK);
        ASSERT_EQ(m_graph->AddFilter(source, u"Source"), S_OK);
        for (std::size_t i = 0; i < source->PinCount(); ++i) {
            ComPtr<IPin> input = PinAt(m_mux.Get(), PINDIR_INPUT, static_cast<int>(i));
            ASSERT_TRUE(input) << "a free input pin after " << i << " connections";
            ASSERT_EQ(m_graph->ConnectDirect(&source->Out(i), input.Get(), nullptr), S_OK);
        }
    }
    LONG WaitForEnd() {
        LONG code = 0;
        m_events->WaitForCompletion(10000, &code);
        return code;
    }
    int FilterCount() {
        ComPtr<IEnumFilters> filters;
        m_graph->EnumFilters(filters.Receive());
        IBaseFilter* f = nullptr;
        ULONG fetched = 0;
        int n = 0;
        while (filters->Next(1, &f, &fetched) == S_OK) {
            f->Release();
            ++n;
        }
        return n;
    }

    fs::path m_dir;
    ComPtr<IGraphBuilder> m_graph;
    ComPtr<ICaptureGraphBuilder> m_builder;
    ComPtr<IMediaControl> m_control;
    ComPtr<IMediaEvent> m_events;
    ComPtr<IBaseFilter> m_mux;
    ComPtr<IFileSinkFilter> m_sink;
};

void ExpectSameTimes(const std::vector<double>& expected, const std::vector<double>& actual,
                     double tolerance) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "frame " << i;
    }
}

// ---- whole files -------------------------------------------------------------------------------

class SplitterRemux : public AviMuxTest, public ::testing::WithParamInterface<const char*> {};

// Samples whose video has no B-frames: a stream copy keeps every frame time. (An AVI holds frames
// in decoding order, with no times of their own.)
INSTANTIATE_TEST_SUITE_P(AviMux, SplitterRemux,
                         ::testing::Values("mpeg4_mp3.avi", "mjpeg_pcm.avi", "odd_size.avi", "pcm_be.mov",
                                           "late_video.mov"));

TEST_P(SplitterRemux, KeepsCodecSizeFramesTimingAndAudioBytes) {
    const fs::path input = SamplePath(GetParam());
    const fs::path output = m_dir / "remux.avi";
    ASSERT_EQ(AddMux(output), S_OK);
    ComPtr<IBaseFilter> source;
    ASSERT_EQ(m_graph->AddSourceFilter(Wide(input).c_str(), u"Source", source.Receive()), S_OK);
    ComPtr<IPin> videoIn = PinAt(m_mux.Get(), PINDIR_INPUT, 0);
    ASSERT_EQ(m_graph->Connect(PinAt(source.Get(), PINDIR_OUTPUT, 0).Get(), videoIn.Get()), S_OK);

    // The audio pin is the splitter's free one; the mux offers its second input for it.
    ComPtr<IPin> splitterVideo;
    ASSERT_EQ(videoIn->ConnectedTo(splitterVideo.Receive()), S_OK);
    PIN_INFO info{};
    splitterVideo->QueryPinInfo(&info);
    ComPtr<IBaseFilter> splitter = ComPtr<IBaseFilter>::Adopt(info.pFilter);
    ComPtr<IPin> audioOut;
    for (int i = 0; ComPtr<IPin> pin = PinAt(splitter.Get(), PINDIR_OUTPUT, i); ++i) {
        ComPtr<IPin> peer;
        if (pin->ConnectedTo(peer.Receive()) != S_OK) audioOut = pin;
    }
    ASSERT_TRUE(audioOut);
    ASSERT_EQ(m_graph->ConnectDirect(audioOut.Get(), PinAt(m_mux.Get(), PINDIR_INPUT, 1).Get(), nullptr),
              S_OK);
    EXPECT_TRUE(PinAt(m_mux.Get(), PINDIR_INPUT, 2)) << "one free input pin stays";

    m_mux.As<IConfigInterleaving>()->put_Mode(INTERLEAVE_FULL);
    ComPtr<IMediaSeeking> seeking = m_graph.As<IMediaSeeking>();
    LONGLONG duration = 0;
    ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_NEAR(static_cast<double>(duration) / kSecond, 3.0, 0.05) << "from the splitter, through the mux";
    DWORD capabilities = AM_SEEKING_CanGetDuration | AM_SEEKING_CanSeekAbsolute;
    EXPECT_EQ(seeking->CheckCapabilities(&capabilities), S_FALSE);
    EXPECT_EQ(capabilities, AM_SEEKING_CanGetDuration) << "the mux reports; it cannot reposition";
    LONGLONG latest = -1;
    ASSERT_EQ(m_mux.As<IMediaSeeking>()->GetAvailable(nullptr, &latest), S_OK);
    EXPECT_EQ(latest, 0) << "what is available is what has been written: nothing yet";

    ASSERT_EQ(m_control->Run(), S_OK);
    ASSERT_EQ(WaitForEnd(), EC_COMPLETE);
    LONGLONG position = 0;
    ASSERT_EQ(seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_NEAR(static_cast<double>(position) / kSecond, 3.0, 0.05);
    m_control->Stop();

    const auto in = ReadBack(input);
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_TRUE(out.aviIndex.hasIdx1);
    ASSERT_TRUE(out.HasVideo() && out.HasAudio());
    EXPECT_EQ(out.Video().codecId, in.Video().codecId);
    EXPECT_EQ(out.Video().width, in.Video().width);
    EXPECT_EQ(out.Video().height, in.Video().height);
    // Off the 1/25 s grid by half a frame at worst (late_video.mov starts half-way between two).
    ExpectSameTimes(in.Video().videoPts, out.Video().videoPts, 0.5 / 25 + 1e-6);
    EXPECT_EQ(out.Audio().sampleRate, in.Audio().sampleRate);
    EXPECT_EQ(out.Audio().channels, in.Audio().channels);
    EXPECT_NEAR(out.Audio().firstPts, in.Audio().firstPts, 1e-6);
    EXPECT_NEAR(out.Audio().lastPts, in.Audio().lastPts, 1e-6) << "frame-based audio counted in frames";
    std::vector<std::uint8_t> expected = in.Audio().audioBytes;
    if (in.Audio().codecId == AV_CODEC_ID_PCM_S16BE) {
        // Handed on as the little-endian PCM that an AVI file holds, samples unchanged.
        for (std::size_t i = 0; i + 1 < expected.size(); i += 2) std::swap(expected[i], expected[i + 1]);
    } else {
        EXPECT_EQ(out.Audio().codecId, in.Audio().codecId);
    }
    EXPECT_TRUE(out.Audio().audioBytes == expected) << "audio bytes differ";
}

TEST_F(AviMuxTest, AGapInVariableFrameRateVideoStaysAGap) {
    const fs::path output = m_dir / "vfr.avi";
    auto* source = new PacketSource(SamplePath("vfr.mov"));
    Attach(source, output);
    ASSERT_EQ(m_control->Run(), S_OK);
    source->Push();
    source->EndStreams();
    EXPECT_EQ(WaitForEnd(), EC_COMPLETE);
    m_control->Stop();
    source->Release();

    const auto in = ReadBack(SamplePath("vfr.mov"));
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_EQ(out.Video().packetCount, 50) << "no frame is duplicated into the gap";
    EXPECT_EQ(out.Video().declaredFrames, 75) << "the gap is 25 skipped frames";
    ExpectSameTimes(in.Video().videoPts, out.Video().videoPts, 0.001);
    EXPECT_EQ(out.Audio().codecName, "pcm_s16le");
    EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5);
}

TEST_F(AviMuxTest, StreamsThatStartLateKeepTheirOffsets) {
    struct Case {
        const char* sample;
        const char* fourcc;
        double audioTolerance;  // seconds
    };
    // late_video.mov: video from 0.5 s, half-way between two frames of the 1/25 s grid; its PCM
    // audio moved to 0.3 s. mpeg4_mp3.avi: audio moved to 0.3 s, in whole MP3 frames (1152 samples).
    for (const Case c : {Case{"late_video.mov", "mp4v", 1e-4}, Case{"mpeg4_mp3.avi", "XVID", 0.027}}) {
        SCOPED_TRACE(c.sample);
        const fs::path output = m_dir / (std::string(c.sample) + ".avi");
        auto* source = new PacketSource(SamplePath(c.sample));
        source->Shift(1, 3 * kSecond / 10);
        Attach(source, output);
        ASSERT_EQ(m_control->Run(), S_OK);
        source->Push();
        source->EndStreams();
        EXPECT_EQ(WaitForEnd(), EC_COMPLETE);
        m_control->Stop();
        m_graph->RemoveFilter(source);
        m_graph->RemoveFilter(m_mux.Get());
        m_graph->RemoveFilter(m_sink.As<IBaseFilter>().Get());
        source->Release();

        const auto in = ReadBack(SamplePath(c.sample));
        const auto out = ReadBack(output);
        ASSERT_TRUE(out.Ok()) << out.error;
        EXPECT_EQ(out.Video().fourcc, c.fourcc);
        ExpectSameTimes(in.Video().videoPts, out.Video().videoPts, 0.5 / 25 + 1e-6);
        EXPECT_NEAR(out.Audio().firstPts, 0.3, c.audioTolerance);
        EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5);
    }
}

TEST_F(AviMuxTest, StopInTheMiddleLeavesAReadableIndexedFile) {
    for (const InterleavingMode mode : {INTERLEAVE_CAPTURE, INTERLEAVE_NONE}) {
        SCOPED_TRACE(mode);
        const fs::path output = m_dir / ("stopped" + std::to_string(mode) + ".avi");
        auto* source = new PacketSource(SamplePath("mpeg4_mp3.avi"));
        Attach(source, output);
        ASSERT_EQ(m_mux.As<IConfigInterleaving>()->put_Mode(mode), S_OK);
        ASSERT_EQ(m_control->Run(), S_OK);
        ASSERT_EQ(source->Push(100), 100);
        LONG code = -1;
        EXPECT_EQ(m_events->WaitForCompletion(0, &code), E_ABORT) << "no end of stream, no completion";
        m_control->Stop();
        m_graph->RemoveFilter(source);
        m_graph->RemoveFilter(m_mux.Get());
        m_graph->RemoveFilter(m_sink.As<IBaseFilter>().Get());
        source->Release();

        const auto out = ReadBack(output);
        ASSERT_TRUE(out.Ok()) << out.error;
        EXPECT_TRUE(out.aviIndex.hasIdx1);
        ASSERT_TRUE(out.HasVideo() && out.HasAudio());
        // All 100 packets (video and audio together) are in the file, none lost to buffering.
        EXPECT_EQ(out.Video().packetCount + out.Audio().packetCount, 100);
        EXPECT_GT(out.Video().packetCount, 0);
    }
}

TEST_F(AviMuxTest, AFailedWriteAbortsAndRefusesFurtherSamples) {
    // The file may not grow past 64 KiB: writes beyond fail as on a full disk.
    struct FileSizeLimit {
        rlimit saved{};
        FileSizeLimit() {
            ::signal(SIGXFSZ, SIG_IGN);
            ::getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 64 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        ~FileSizeLimit() {
            ::setrlimit(RLIMIT_FSIZE, &saved);
            ::signal(SIGXFSZ, SIG_DFL);
        }
    };
    const fs::path output = m_dir / "full.avi";
    auto* source = new PacketSource(SamplePath("mpeg4_mp3.avi"));
    Attach(source, output);
    {
        FileSizeLimit limit;
        ASSERT_EQ(m_control->Run(), S_OK);
        EXPECT_LT(source->Push(), 150) << "the mux refuses samples once a write failed";
        source->EndStreams();
        LONG code = 0;
        EXPECT_EQ(m_events->WaitForCompletion(5000, &code), S_OK);
        EXPECT_EQ(code, EC_ERRORABORT);
        LONG event = 0;
        LONG_PTR result = 0;
        LONG_PTR unused = 0;
        while (m_events->GetEvent(&event, &result, &unused, 0) == S_OK && event != EC_ERRORABORT) {
            m_events->FreeEventParams(event, result, unused);
        }
        m_events->FreeEventParams(event, result, unused);
        EXPECT_EQ(event, EC_ERRORABORT);
        EXPECT_EQ(static_cast<HRESULT>(result), HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
        m_control->Stop();
    }
    source->Release();
}

TEST_F(AviMuxTest, WithoutAPictureAnEarlierFileStaysWhetherTheStreamsEndOrTheGraphStops) {
    // Nothing came through for the video (an input with no decodable picture, or a stop before the
    // first one): the file would play sound over nothing. An end is an error, a stop is not; in
    // both cases whatever had the name stays.
    for (const bool ended : {true, false}) {
        const fs::path output = m_dir / (ended ? "ended.avi" : "stopped.avi");
        std::ofstream(output) << "an earlier file";
        auto* source = new SyntheticSource({Mpeg4VideoType(), PcmAudioType(48000, 2, 16)});
        Attach(source, output);
        ASSERT_EQ(m_control->Run(), S_OK);
        for (int i = 0; i < 25; ++i)
            ASSERT_EQ(source->Push(1, i * kSecond / 25, std::vector<std::uint8_t>(7680)), S_OK);
        if (ended) source->EndStreams();
        EXPECT_EQ(WaitForEnd(), ended ? EC_ERRORABORT : 0);
        m_control->Stop();
        m_graph->RemoveFilter(source);
        m_graph->RemoveFilter(m_mux.Get());
        m_graph->RemoveFilter(m_sink.As<IBaseFilter>().Get());
        source->Release();
        EXPECT_EQ(Contents(output), "an earlier file") << (ended ? "ended" : "stopped");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2) << "nothing beside";
}

TEST_F(AviMuxTest, AFailureUpstreamKeepsTheEarlierFileWhateverTheGraphDoesNext) {
    // The streams fail, then end; a repositioning that cannot move anything follows, or the graph
    // is simply stopped. Neither turns the failed run into a file.
    for (const bool repositioned : {true, false}) {
        const fs::path output = m_dir / (repositioned ? "repositioned.avi" : "stopped.avi");
        std::ofstream(output) << "an earlier file";
        auto* source = new SyntheticSource({Mpeg4VideoType(), PcmAudioType(48000, 2, 16)});
        Attach(source, output);
        ASSERT_EQ(m_control->Run(), S_OK);
        for (int i = 0; i < 25; ++i) {
            ASSERT_EQ(source->Push(0, i * kSecond / 25, std::vector<std::uint8_t>(100)), S_OK);
            ASSERT_EQ(source->Push(1, i * kSecond / 25, std::vector<std::uint8_t>(7680)), S_OK);
        }
        source->Fail(E_FAIL);
        if (repositioned) {
            source->EndStreams();
            LONGLONG start = 0;
            EXPECT_TRUE(FAILED(m_graph.As<IMediaSeeking>()->SetPositions(
                &start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning)));
        }
        EXPECT_EQ(WaitForEnd(), EC_ERRORABORT) << "a failed run stays failed";
        m_control->Stop();
        m_graph->RemoveFilter(source);
        m_graph->RemoveFilter(m_mux.Get());
        m_graph->RemoveFilter(m_sink.As<IBaseFilter>().Get());
        source->Release();
        EXPECT_EQ(Contents(output), "an earlier file") << (repositioned ? "repositioned" : "stopped");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2) << "nothing beside";
}

TEST_F(AviMuxTest, PrerollSamplesAreNotWritten) {
    auto* source = new SyntheticSource({Mpeg4VideoType()});
    const fs::path output = m_dir / "preroll.avi";
    Attach(source, output);
    ASSERT_EQ(m_control->Run(), S_OK);
    for (int i = 0; i < 10; ++i) {
        ComPtr<IMediaSample> sample = ComPtr<IMediaSample>::Adopt(MediaSample::Create(100));
        REFERENCE_TIME start = (i - 5) * kSecond / 25;
        REFERENCE_TIME stop = start + kSecond / 25;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sample->SetPreroll(i < 5 ? TRUE : FALSE);
        ASSERT_EQ(source->Out(0).Deliver(sample.Get()), S_OK);
    }
    source->EndStreams();
    EXPECT_EQ(WaitForEnd(), EC_COMPLETE);
    m_control->Stop();
    source->Release();
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.HasVideo());
    EXPECT_EQ(out.Video().packetCount, 5);
    EXPECT_NEAR(out.Video().firstPts, 0.0, 1e-6);
}

TEST_F(AviMuxTest, FilesPastOneGibibyteContinueAsOpenDml) {
    // 1100 video frames of 1 MiB and PCM audio beside them: the file crosses the 1 GiB RIFF limit.
    auto* source = new SyntheticSource({Mpeg4VideoType(), PcmAudioType(48000, 2, 16)});
    const fs::path output = m_dir / "big.avi";
    Attach(source, output);
    ASSERT_EQ(m_control->Run(), S_OK);
    constexpr int kFrames = 1100;
    constexpr int kAudioBytesPerFrame = 48000 / 25 * 4;
    std::vector<std::uint8_t> audio;
    for (int i = 0; i < kFrames; ++i) {
        const REFERENCE_TIME start = i * kSecond / 25;
        ASSERT_EQ(source->Push(0, start, std::vector<std::uint8_t>(1 << 20, static_cast<std::uint8_t>(i))),
                  S_OK);
        std::vector<std::uint8_t> chunk(kAudioBytesPerFrame);
        for (std::size_t b = 0; b < chunk.size(); ++b) chunk[b] = static_cast<std::uint8_t>(b * 7 + i);
        audio.insert(audio.end(), chunk.begin(), chunk.end());
        ASSERT_EQ(source->Push(1, start, std::move(chunk)), S_OK);
    }
    source->EndStreams();
    EXPECT_EQ(WaitForEnd(), EC_COMPLETE);
    m_control->Stop();
    source->Release();

    const auto out = ReadBack(output);
    EXPECT_GT(fs::file_size(output), std::uintmax_t{1} << 30);
    EXPECT_GT(out.aviIndex.riffChunks, 1);
    EXPECT_TRUE(out.aviIndex.hasOpenDmlIndex);
    // A reader that knows no OpenDML finds every chunk of the first RIFF chunk through its idx1.
    EXPECT_TRUE(out.aviIndex.hasIdx1);
    EXPECT_GT(out.aviIndex.firstMoviChunks, 1000);
    EXPECT_EQ(out.aviIndex.idx1EntriesFound, out.aviIndex.firstMoviChunks);
    ASSERT_TRUE(out.HasVideo() && out.HasAudio());
    EXPECT_EQ(out.Video().packetCount, kFrames);
    EXPECT_NEAR(out.Video().lastPts, (kFrames - 1) / 25.0, 1e-6);
    EXPECT_TRUE(out.Audio().audioBytes == audio) << "audio bytes differ";
}

// ---- settings and types ------------------------------------------------------------------------

TEST_F(AviMuxTest, InterleavingSettingsRoundTrip) {
    ASSERT_EQ(AddMux(m_dir / "settings.avi"), S_OK);
    ComPtr<IConfigInterleaving> config = m_mux.As<IConfigInterleaving>();
    ASSERT_TRUE(config);
    InterleavingMode mode{};
    REFERENCE_TIME interleave = -1;
    REFERENCE_TIME preroll = -1;
    EXPECT_EQ(config->get_Mode(&mode), S_OK);
    EXPECT_EQ(mode, INTERLEAVE_CAPTURE);
    EXPECT_EQ(config->get_Interleaving(&interleave, &preroll), S_OK);
    EXPECT_EQ(interleave, kSecond);
    EXPECT_EQ(preroll, 0);

    const REFERENCE_TIME half = kSecond / 2;
    const REFERENCE_TIME negative = -1;
    EXPECT_EQ(config->put_Mode(INTERLEAVE_FULL), S_OK);
    EXPECT_EQ(config->put_Interleaving(&half, &kSecond), S_OK);
    EXPECT_EQ(config->put_Mode(static_cast<InterleavingMode>(7)), E_INVALIDARG);
    EXPECT_EQ(config->put_Interleaving(&negative, nullptr), E_INVALIDARG);
    config->get_Mode(&mode);
    config->get_Interleaving(&interleave, &preroll);
    EXPECT_EQ(mode, INTERLEAVE_FULL);
    EXPECT_EQ(interleave, half);
    EXPECT_EQ(preroll, kSecond);
}

TEST_F(AviMuxTest, InputsTakeOnlyWhatAnAviFileCanHold) {
    ASSERT_EQ(AddMux(m_dir / "types.avi"), S_OK);
    ComPtr<IPin> input = PinAt(m_mux.Get(), PINDIR_INPUT, 0);

    const MediaType video = Mpeg4VideoType();
    const MediaType pcm = PcmAudioType(44100, 2, 16);
    const MediaType raw = RawVideoType(AV_PIX_FMT_BGR24, 320, 240, kSecond / 25);
    const MediaType bigEndian = AudioType(AV_CODEC_ID_PCM_S16BE, 2);
    EXPECT_EQ(input->QueryAccept(&video), S_OK);
    EXPECT_EQ(input->QueryAccept(&pcm), S_OK);
    EXPECT_EQ(input->QueryAccept(&raw), S_FALSE) << "uncompressed video goes through a compressor first";
    EXPECT_EQ(input->QueryAccept(&bigEndian), S_FALSE) << "big-endian PCM has no WAVE tag";

    // Audio the writer would copy but that no reader opens: a header claiming 65,535 channels.
    for (const AVCodecID codec : {AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_MP2}) {
        SCOPED_TRACE(avcodec_get_name(codec));
        const MediaType sixChannels = AudioType(codec, 6);
        const MediaType tooManyChannels = AudioType(codec, 65535);
        EXPECT_EQ(input->QueryAccept(&sixChannels), S_OK);
        EXPECT_EQ(input->QueryAccept(&tooManyChannels), S_FALSE);
    }
}

// ---- capture graph builder and file writer -----------------------------------------------------

TEST_F(AviMuxTest, SetOutputFileNameRefusesBadRequestsAndLeavesTheGraphAsItWas) {
    ComPtr<ICaptureGraphBuilder> unset;
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_ALL, ICaptureGraphBuilder::iid,
                               unset.ReceiveVoid()),
              S_OK);
    const std::u16string good = Wide(m_dir / "out.avi");
    EXPECT_EQ(unset->SetOutputFileName(&MEDIASUBTYPE_Avi, good.c_str(), m_mux.Receive(), m_sink.Receive()),
              E_UNEXPECTED);
    ComPtr<IGraphBuilder> other;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IGraphBuilder::iid, other.ReceiveVoid());
    EXPECT_EQ(m_builder->SetFiltergraph(other.Get()), E_UNEXPECTED);

    const GUID notAvi = MEDIASUBTYPE_RGB24;
    EXPECT_EQ(m_builder->SetOutputFileName(&notAvi, good.c_str(), m_mux.Receive(), m_sink.Receive()),
              E_INVALIDARG);
    EXPECT_EQ(AddMux(m_dir / "missing" / "out.avi"), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(FAILED(AddMux(m_dir))) << "a directory is no output file";
    EXPECT_EQ(AddMux(""), HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
    EXPECT_FALSE(m_mux);
    EXPECT_FALSE(m_sink);
    EXPECT_EQ(FilterCount(), 0);

    ASSERT_EQ(AddMux(m_dir / "out.avi"), S_OK);
    EXPECT_EQ(FilterCount(), 2);
    ComPtr<IBaseFilter> found;
    EXPECT_EQ(m_graph->FindFilterByName(u"AVI Mux", found.Receive()), S_OK);
    EXPECT_EQ(found.Get(), m_mux.Get());
    EXPECT_EQ(m_graph->FindFilterByName(u"File Writer", found.Receive()), S_OK);
    ComPtr<IPin> writerIn;
    EXPECT_EQ(PinAt(m_mux.Get(), PINDIR_OUTPUT, 0)->ConnectedTo(writerIn.Receive()), S_OK);
    LPOLESTR current = nullptr;
    ASSERT_EQ(m_sink->GetCurFile(&current, nullptr), S_OK);
    EXPECT_EQ(std::u16string(current), good);
    CoTaskMemFree(current);
    EXPECT_FALSE(fs::exists(m_dir / "out.avi")) << "nothing is written before the graph starts";
}

TEST_F(AviMuxTest, TheWriterNeverOverwritesAFileOpenAsSource) {
    const fs::path input = m_dir / "input.avi";
    fs::copy_file(SamplePath("video_only.avi"), input);
    const std::string before = Contents(input);
    fs::create_symlink(input, m_dir / "link.avi");

    ComPtr<IBaseFilter> source;
    ASSERT_EQ(m_graph->AddSourceFilter(Wide(input).c_str(), u"Source", source.Receive()), S_OK);
    for (const char* name : {"input.avi", "link.avi"}) {
        SCOPED_TRACE(name);
        ComPtr<IBaseFilter> writer;
        ASSERT_EQ(
            CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_ALL, IBaseFilter::iid, writer.ReceiveVoid()),
            S_OK);
        ASSERT_EQ(writer.As<IFileSinkFilter>()->SetFileName(Wide(m_dir / name).c_str(), nullptr), S_OK);
        EXPECT_EQ(writer->Pause(), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
        writer->Stop();
    }
    EXPECT_EQ(Contents(input), before) << "not a byte of the input changed";
}

}  // namespace
