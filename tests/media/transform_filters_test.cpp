// The synchronous filters between the splitter and the compressor: the video decoder, the colour
// space converter and the sample grabber, fed from libavformat packets by a small test source and
// checked against libavcodec's own decoding of the same files; and the MP3 encoder on the audio
// side.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/com/com_ptr.h"
#include "media/com/wide_text.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/media_sample.h"
#include "media/filters/picture_fit.h"
#include "media/graph/filter_base.h"
#include "media/graph/pin_base.h"
#include "support/samples_dir.h"

namespace media {
namespace {

// --- test filters -------------------------------------------------------------------------------

// A source whose one output pin offers a fixed type; the test thread pushes samples through it.
class TestSource final : public FilterBase {
public:
    explicit TestSource(MediaType type) : FilterBase(GUID_NULL), m_output(*this, std::move(type)) {}
    std::vector<PinBase*> Pins() override { return {&m_output}; }
    IPin* Output() { return &m_output; }

    HRESULT Send(const BYTE* data, int size, std::optional<REFERENCE_TIME> start, REFERENCE_TIME duration,
                 bool key) {
        ComPtr<MediaSample> sample = ComPtr<MediaSample>::Adopt(MediaSample::Create(size));
        BYTE* buffer = nullptr;
        sample->GetPointer(&buffer);
        if (size > 0) std::memcpy(buffer, data, static_cast<std::size_t>(size));
        if (start) {
            REFERENCE_TIME stop = *start + duration;
            sample->SetTime(&*start, duration > 0 ? &stop : nullptr);
        }
        sample->SetSyncPoint(key ? TRUE : FALSE);
        return m_output.Deliver(sample.Get());
    }
    HRESULT Deliver(IMediaSample* sample) { return m_output.Deliver(sample); }
    HRESULT EndOfStream() { return m_output.DeliverEndOfStream(); }

private:
    class Pin final : public OutputPin {
    public:
        Pin(FilterBase& filter, MediaType type) : OutputPin(filter, u"Output"), m_type(std::move(type)) {}
        HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override {
            return type.majortype == m_type.majortype && type.subtype == m_type.subtype
                       ? S_OK
                       : VFW_E_TYPE_NOT_ACCEPTED;
        }
        std::vector<MediaType> OfferedTypes() override { return {m_type}; }

    private:
        MediaType m_type;
    };
    Pin m_output;
};

// A sink that records what reaches it.
class TestSink final : public FilterBase {
public:
    explicit TestSink(ULONG miscFlags = 0) : FilterBase(GUID_NULL, miscFlags), m_input(*this) {}
    std::vector<PinBase*> Pins() override { return {&m_input}; }
    IPin* Input() { return &m_input; }
    [[nodiscard]] const MediaType& Type() const { return m_input.ConnectionType(); }

    struct Received {
        REFERENCE_TIME start = -1;
        REFERENCE_TIME stop = -1;
        LONG length = 0;
    };
    std::function<bool(const AM_MEDIA_TYPE&)> accepts = [](const AM_MEDIA_TYPE&) { return true; };
    std::vector<Received> received;
    std::vector<BYTE> firstData;
    IMediaSample* lastSample = nullptr;  // identity only, never dereferenced
    int endOfStreams = 0;

private:
    class Pin final : public InputPin {
    public:
        explicit Pin(TestSink& sink) : InputPin(sink, u"Input"), m_sink(sink) {}
        HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override {
            return m_sink.accepts(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
        }
        HRESULT Receive(IMediaSample* sample) override {
            if (!IsAccepting()) return VFW_E_WRONG_STATE;
            Received r;
            sample->GetTime(&r.start, &r.stop);
            r.length = sample->GetActualDataLength();
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            if (m_sink.received.empty()) m_sink.firstData.assign(data, data + r.length);
            m_sink.received.push_back(r);
            m_sink.lastSample = sample;
            return S_OK;
        }
        HRESULT EndOfStream() override {
            ++m_sink.endOfStreams;
            if (m_sink.GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER) {
                m_sink.NotifyEvent(EC_COMPLETE, S_OK,
                                   reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(&m_sink)));
            }
            return S_OK;
        }

    private:
        TestSink& m_sink;
    };
    Pin m_input;
};

ComPtr<IBaseFilter> Create(const CLSID& clsid) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.ReceiveVoid()),
              S_OK);
    return filter;
}

ComPtr<IPin> PinOf(IBaseFilter* filter, const char16_t* name) {
    ComPtr<IPin> pin;
    EXPECT_EQ(filter->FindPin(name, pin.Receive()), S_OK);
    return pin;
}

ComPtr<IMemInputPin> Receiver(IBaseFilter* filter) {
    return PinOf(filter, u"Input").As<IMemInputPin>();
}

// Filters joined pin to pin, upstream first. Stops and disconnects everything when it goes, so
// that a failing test leaks nothing either.
struct Chain {
    std::vector<ComPtr<IBaseFilter>> filters;
    std::vector<std::pair<ComPtr<IPin>, ComPtr<IPin>>> links;

    HRESULT Link(IPin* output, IPin* input) {
        const HRESULT hr = output->Connect(input, nullptr);
        if (SUCCEEDED(hr)) links.emplace_back(ComPtr<IPin>(output), ComPtr<IPin>(input));
        return hr;
    }
    void Pause() {
        for (auto it = filters.rbegin(); it != filters.rend(); ++it) EXPECT_EQ((*it)->Pause(), S_OK);
    }
    void Stop() {
        for (auto& f : filters) f->Stop();
    }
    ~Chain() {
        Stop();
        for (auto& [output, input] : links) {
            output->Disconnect();
            input->Disconnect();
        }
    }
};

// --- reading the samples ------------------------------------------------------------------------

// The first video stream of a sample file, as the splitter would describe and deliver it.
class VideoPackets {
public:
    explicit VideoPackets(const std::string& name) {
        const std::string path = testsupport::SamplePath(name).string();
        AVFormatContext* context = nullptr;
        if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0) return;
        m_format.reset(context);
        if (avformat_find_stream_info(context, nullptr) < 0) return;
        m_stream = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    }
    [[nodiscard]] bool Ok() const { return m_stream >= 0; }
    [[nodiscard]] AVStream* Stream() const { return m_format->streams[m_stream]; }
    [[nodiscard]] MediaType Type() const {
        return MediaTypeFromCodecParameters(*Stream()->codecpar, Stream()->time_base,
                                            Stream()->avg_frame_rate);
    }
    // Calls use(packet) for each packet of the stream, in file order.
    void ForEachPacket(const std::function<void(const AVPacket&)>& use) {
        AvPacketPtr packet(av_packet_alloc());
        while (av_read_frame(m_format.get(), packet.get()) >= 0) {
            if (packet->stream_index == m_stream) use(*packet);
            av_packet_unref(packet.get());
        }
    }
    // Delivers every packet through source, times relative to the file's start; returns how many
    // deliveries failed.
    int SendAll(TestSource& source) {
        const std::int64_t origin = m_format->start_time == AV_NOPTS_VALUE ? 0 : m_format->start_time;
        int failures = 0;
        ForEachPacket([&](const AVPacket& packet) {
            std::optional<REFERENCE_TIME> start;
            if (packet.pts != AV_NOPTS_VALUE) {
                start = ToReferenceTime(packet.pts, Stream()->time_base) -
                        ToReferenceTime(origin, AVRational{1, AV_TIME_BASE});
            }
            const REFERENCE_TIME duration = ToReferenceTime(packet.duration, Stream()->time_base);
            failures += FAILED(source.Send(packet.data, packet.size, start, duration,
                                           (packet.flags & AV_PKT_FLAG_KEY) != 0));
        });
        return failures;
    }

private:
    AvFormatInputPtr m_format;
    int m_stream = -1;
};

struct ReferenceDecode {
    int frames = 0;
    int width = 0;
    int height = 0;
};

// What libavcodec alone makes of a sample's video.
ReferenceDecode DecodeWithLibavcodec(const std::string& name) {
    ReferenceDecode result;
    VideoPackets input(name);
    if (!input.Ok()) return result;
    const AVCodec* decoder = avcodec_find_decoder(input.Stream()->codecpar->codec_id);
    AvCodecContextPtr codec(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(codec.get(), input.Stream()->codecpar);
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return result;
    AvFramePtr frame(av_frame_alloc());
    auto takeFrames = [&] {
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
            ++result.frames;
            result.width = frame->width;
            result.height = frame->height;
        }
    };
    input.ForEachPacket([&](const AVPacket& packet) {
        avcodec_send_packet(codec.get(), &packet);
        takeFrames();
    });
    avcodec_send_packet(codec.get(), nullptr);
    takeFrames();
    return result;
}

// A sample's video packets pushed by the test thread through source -> decoder -> sink, for
// tests that need to feed the decoder themselves afterwards.
struct DecodeRun {
    ComPtr<TestSource> source;
    ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(new TestSink);
    Chain chain;

    // Without codec parameters the type describes the stream by its format block alone.
    explicit DecodeRun(const std::string& name, bool withCodecParameters = true) {
        Build(name, withCodecParameters);
    }
    void Build(const std::string& name, bool withCodecParameters) {
        VideoPackets packets(name);
        ASSERT_TRUE(packets.Ok()) << name;
        MediaType type = packets.Type();
        if (!withCodecParameters) type.SetUnknown(nullptr);
        source = ComPtr<TestSource>::Adopt(new TestSource(std::move(type)));
        ComPtr<IBaseFilter> decoder = Create(CLSID_VideoDecoder);
        chain.filters = {ComPtr<IBaseFilter>(source.Get()), decoder, ComPtr<IBaseFilter>(sink.Get())};
        ASSERT_EQ(chain.Link(source->Output(), PinOf(decoder.Get(), u"Input").Get()), S_OK);
        ASSERT_EQ(chain.Link(PinOf(decoder.Get(), u"Output").Get(), sink->Input()), S_OK);
        chain.Pause();
        EXPECT_EQ(packets.SendAll(*source.Get()), 0);
        EXPECT_EQ(source->EndOfStream(), S_OK);
    }
};

// A sample file through a running graph: file source -> splitter -> decoder [-> converter] ->
// sink, with the splitter and converter put in by intelligent connect.
struct FileRun {
    ComPtr<IGraphBuilder> graph;
    ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(new TestSink(AM_FILTER_MISC_FLAGS_IS_RENDERER));
    LONG completion = 0;

    FileRun(const std::string& name, bool toRgb24) { Build(name, toRgb24); }
    void Build(const std::string& name, bool toRgb24) {
        ASSERT_EQ(
            CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, graph.ReceiveVoid()),
            S_OK);
        const std::u16string path = ToUtf16(testsupport::SamplePath(name).string());
        ComPtr<IBaseFilter> source;
        ASSERT_EQ(graph->AddSourceFilter(path.c_str(), u"Source", source.Receive()), S_OK);
        ComPtr<IBaseFilter> decoder = Create(CLSID_VideoDecoder);
        ASSERT_EQ(graph->AddFilter(decoder.Get(), u"Decoder"), S_OK);
        ASSERT_EQ(graph->AddFilter(sink.Get(), u"Sink"), S_OK);
        ASSERT_EQ(graph->Connect(PinOf(source.Get(), u"Output").Get(), PinOf(decoder.Get(), u"Input").Get()),
                  S_OK);
        if (toRgb24) sink->accepts = [](const AM_MEDIA_TYPE& t) { return t.subtype == MEDIASUBTYPE_RGB24; };
        ASSERT_EQ(graph->Connect(PinOf(decoder.Get(), u"Output").Get(), sink->Input()), S_OK);
        ComPtr<IMediaControl> control = graph.As<IMediaControl>();
        ASSERT_EQ(control->Run(), S_OK);
        EXPECT_EQ(graph.As<IMediaEvent>()->WaitForCompletion(30'000, &completion), S_OK);
        control->Stop();  // joins the splitter's thread: the sink is the test's to read from here on
    }
};

int PixelOffset(int stride, int x, int row) {
    return row * stride + x * 3;
}

// Checks the B, G, R bytes at offset within tolerance.
void ExpectBgr(const std::vector<BYTE>& image, int offset, int b, int g, int r) {
    ASSERT_LE(static_cast<std::size_t>(offset + 3), image.size());
    constexpr int kTolerance = 16;
    EXPECT_NEAR(image[offset], b, kTolerance) << "blue at byte " << offset;
    EXPECT_NEAR(image[offset + 1], g, kTolerance) << "green at byte " << offset;
    EXPECT_NEAR(image[offset + 2], r, kTolerance) << "red at byte " << offset;
}

// --- the decoder --------------------------------------------------------------------------------

TEST(TransformFilters, DecoderGivesLibavcodecsFramesAtTheStreamsSize) {
    for (const char* name : {"mpeg1_mp2.mpg", "mpeg2_ac3.mpg", "mpeg4_mp3.avi", "mjpeg_pcm.avi",
                             "h264_aac.mov", "odd_size.avi", "vfr.mov"}) {
        SCOPED_TRACE(name);
        const ReferenceDecode reference = DecodeWithLibavcodec(name);
        ASSERT_GT(reference.frames, 0);
        FileRun run(name, false);
        EXPECT_EQ(run.completion, EC_COMPLETE);
        const RawVideoLayout layout = RawVideoLayoutOf(run.sink->Type());
        EXPECT_EQ(layout.width, reference.width);
        EXPECT_EQ(layout.height, reference.height);
        EXPECT_EQ(static_cast<int>(run.sink->received.size()), reference.frames);
        EXPECT_EQ(run.sink->endOfStreams, 1);
        // 25 frames a second, in display order: one frame every 40 ms (vfr.mov has its gap).
        const bool constantRate = std::string(name) != "vfr.mov";
        std::optional<REFERENCE_TIME> previous;
        for (const auto& r : run.sink->received) {
            EXPECT_EQ(r.length, layout.imageSize);
            if (previous) {
                EXPECT_GT(r.start, *previous);
                EXPECT_TRUE(!constantRate || r.start - *previous == 400'000) << "at " << r.start;
            }
            previous = r.start;
        }
    }
}

TEST(TransformFilters, DecoderOpensFromTheFormatBlockAlone) {
    // H.264 from QuickTime decodes nothing without the extradata that follows the VIDEOINFOHEADER.
    for (const char* name : {"h264_aac.mov", "mpeg4_mp3.avi"}) {
        SCOPED_TRACE(name);
        DecodeRun run(name, false);
        EXPECT_EQ(static_cast<int>(run.sink->received.size()), DecodeWithLibavcodec(name).frames);
    }
}

TEST(TransformFilters, DecoderKeepsTheInputsFrameTimes) {
    {
        FileRun run("video_only.avi", false);
        ASSERT_EQ(run.sink->received.size(), 75u);
        for (std::size_t i = 0; i < run.sink->received.size(); ++i) {
            EXPECT_EQ(run.sink->received[i].start, static_cast<REFERENCE_TIME>(i) * 400'000);
            EXPECT_EQ(run.sink->received[i].stop, static_cast<REFERENCE_TIME>(i + 1) * 400'000);
        }
    }
    {
        // A gap in a variable-frame-rate input stays a gap: nothing may start inside [1 s, 2 s).
        FileRun run("vfr.mov", false);
        ASSERT_EQ(run.sink->received.size(), 50u);
        for (const auto& r : run.sink->received)
            EXPECT_TRUE(r.start < 10'000'000 || r.start >= 20'000'000) << r.start;
        EXPECT_GE(run.sink->received[25].start, 20'000'000);
    }
}

TEST(TransformFilters, DecoderShowsOnlyWhatAnEditListKeeps) {
    // 150 pictures from the key frame before the cut, of which players show 117, from time 0.
    FileRun run("trimmed.mov", false);
    EXPECT_EQ(run.completion, EC_COMPLETE);
    ASSERT_EQ(run.sink->received.size(), 117u);
    EXPECT_EQ(run.sink->received.front().start, 0);
}

TEST(TransformFilters, DecoderSkipsCorruptDataAndGoesOn) {
    FileRun run("corrupt_middle.avi", false);
    EXPECT_EQ(run.completion, EC_COMPLETE);
    EXPECT_GT(run.sink->received.size(), 60u);
    EXPECT_EQ(run.sink->endOfStreams, 1);

    // Packets of pure noise in a stream that was good so far.
    DecodeRun noisy("video_only.avi");
    const std::size_t before = noisy.sink->received.size();
    std::vector<BYTE> noise(4096);
    unsigned state = 12345;
    for (auto& b : noise) b = static_cast<BYTE>((state = state * 1103515245u + 12345u) >> 16);
    noisy.chain.Stop();
    noisy.chain.Pause();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(noisy.source->Send(noise.data(), 1000 + i * 100, 0, 0, i == 0), S_OK);
    EXPECT_EQ(noisy.source->EndOfStream(), S_OK);
    EXPECT_EQ(noisy.sink->endOfStreams, 2);
    EXPECT_GE(noisy.sink->received.size(), before);
}

TEST(TransformFilters, DecoderRunsAgainAfterStop) {
    DecodeRun run("h264_aac.mov");
    ASSERT_EQ(run.sink->received.size(), 75u);
    run.chain.Stop();
    run.chain.Pause();
    VideoPackets packets("h264_aac.mov");
    EXPECT_EQ(packets.SendAll(*run.source.Get()), 0);
    EXPECT_EQ(run.source->EndOfStream(), S_OK);
    EXPECT_EQ(run.sink->received.size(), 150u);
    EXPECT_EQ(run.sink->received[75].start, run.sink->received[0].start);
}

TEST(TransformFilters, DecoderConvertsFramesThatChangeSizeInMidStream) {
    // Connected for the 320x240 4:2:0 pictures of one file, fed the 321x241 4:4:4 pictures of
    // another: every sample must still have the connected layout, and show the picture.
    VideoPackets announced("mjpeg_pcm.avi");
    ComPtr<TestSource> source = ComPtr<TestSource>::Adopt(new TestSource(announced.Type()));
    ComPtr<IBaseFilter> decoder = Create(CLSID_VideoDecoder);
    ComPtr<IBaseFilter> converter = Create(CLSID_Colour);
    ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(new TestSink);
    sink->accepts = [](const AM_MEDIA_TYPE& t) { return t.subtype == MEDIASUBTYPE_RGB24; };
    Chain chain;
    chain.filters = {ComPtr<IBaseFilter>(source.Get()), decoder, converter, ComPtr<IBaseFilter>(sink.Get())};
    ASSERT_EQ(chain.Link(source->Output(), PinOf(decoder.Get(), u"Input").Get()), S_OK);
    ASSERT_EQ(chain.Link(PinOf(decoder.Get(), u"Output").Get(), PinOf(converter.Get(), u"Input").Get()),
              S_OK);
    ASSERT_EQ(chain.Link(PinOf(converter.Get(), u"Output").Get(), sink->Input()), S_OK);
    chain.Pause();
    VideoPackets actual("odd_size.avi");
    EXPECT_EQ(actual.SendAll(*source.Get()), 0);
    ASSERT_EQ(sink->received.size(), 75u);
    const int stride = 320 * 3;
    EXPECT_EQ(sink->received[0].length, stride * 240);
    // testsrc: a white column at the right edge, magenta near x=100, in every row.
    for (int row : {0, 120, 239}) {
        ExpectBgr(sink->firstData, PixelOffset(stride, 319, row), 255, 255, 255);
        ExpectBgr(sink->firstData, PixelOffset(stride, 100, row), 255, 0, 255);
    }
}

TEST(TransformFilters, APictureFitsWithinTheLargestAsShownInEvenSides) {
    using media::PictureShape;
    struct Case {
        PictureShape picture;
        int largestWidth;
        int largestHeight;
        PictureShape fitted;
    };
    for (const auto& [picture, largestWidth, largestHeight, fitted] :
         {Case{{320, 240, {0, 1}}, 640, 480, {320, 240, {0, 1}}},       // never scaled up
          Case{{800, 400, {1, 2}}, 720, 576, {400, 400, {1, 1}}},       // shown within, but stored too wide
          Case{{1920, 1080, {0, 1}}, 721, 577, {720, 406, {1, 1}}},     // 721 x 405.6: even, within the limit
          Case{{1000, 10, {0, 1}}, 100, 100, {100, 2, {1, 1}}},         // no side below 2
          Case{{720, 576, {100, 1}}, 720, 576, {720, 576, {100, 1}}}})  // a damaged aspect counts as square
        EXPECT_EQ(media::FitWithin(picture, largestWidth, largestHeight), fitted)
            << picture.width << "x" << picture.height << " in " << largestWidth << "x" << largestHeight;
}

// --- the converter ------------------------------------------------------------------------------

TEST(TransformFilters, ConverterWritesBottomUpRgb24Rows) {
    // SMPTE bars: grey at the top left, a blue bar at the top right, -I blue and white at the
    // bottom. The first row in memory is the bottom of the picture.
    FileRun bars("mpeg2_ac3.mpg", true);
    ASSERT_EQ(bars.sink->received.size(), 75u);
    const int stride = 352 * 3;
    ASSERT_EQ(bars.sink->received[0].length, stride * 288);
    const int top = 287;
    const int bottom = 0;
    ExpectBgr(bars.sink->firstData, PixelOffset(stride, 5, top), 190, 190, 190);
    ExpectBgr(bars.sink->firstData, PixelOffset(stride, 345, top), 191, 0, 0);
    ExpectBgr(bars.sink->firstData, PixelOffset(stride, 5, bottom), 103, 61, 0);
    ExpectBgr(bars.sink->firstData, PixelOffset(stride, 110, bottom), 255, 255, 255);

    // 321 pixels of 3 bytes make 963 bytes: rows are padded to 964.
    FileRun odd("odd_size.avi", true);
    ASSERT_EQ(odd.sink->received.size(), 75u);
    const int oddStride = 964;
    ASSERT_EQ(odd.sink->received[0].length, oddStride * 241);
    for (int row : {0, 1, 120, 240}) {
        SCOPED_TRACE(row);
        ExpectBgr(odd.sink->firstData, PixelOffset(oddStride, 320, row), 255, 255, 255);
        ExpectBgr(odd.sink->firstData, PixelOffset(oddStride, 100, row), 255, 0, 255);
        ExpectBgr(odd.sink->firstData, PixelOffset(oddStride, 0, row), 0, 0, 0);
        EXPECT_EQ(odd.sink->firstData[static_cast<std::size_t>(row * oddStride + 963)], 0) << "padding";
    }
}

TEST(TransformFilters, ConverterOffersRgb24FirstAndCopiesSampleTimes) {
    ComPtr<TestSource> source =
        ComPtr<TestSource>::Adopt(new TestSource(RawVideoType(AV_PIX_FMT_YUV420P, 16, 8, 400'000)));
    ComPtr<IBaseFilter> converter = Create(CLSID_Colour);
    ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(new TestSink);
    Chain chain;
    chain.filters = {ComPtr<IBaseFilter>(source.Get()), converter, ComPtr<IBaseFilter>(sink.Get())};
    ComPtr<IPin> output = PinOf(converter.Get(), u"Output");
    ComPtr<IEnumMediaTypes> none;
    ASSERT_EQ(output->EnumMediaTypes(none.Receive()), S_OK);
    AM_MEDIA_TYPE* offered[4] = {};
    ULONG fetched = 0;
    EXPECT_EQ(none->Next(4, offered, &fetched), S_FALSE) << "nothing to offer before the input is connected";
    EXPECT_EQ(fetched, 0u);

    ASSERT_EQ(chain.Link(source->Output(), PinOf(converter.Get(), u"Input").Get()), S_OK);
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(output->EnumMediaTypes(types.Receive()), S_OK);
    ASSERT_EQ(types->Next(4, offered, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 3u);
    EXPECT_EQ(offered[0]->subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(offered[1]->subtype, MEDIASUBTYPE_RGB32);
    EXPECT_EQ(offered[2]->subtype, SubtypeFromPixelFormat(AV_PIX_FMT_YUV420P));
    for (ULONG i = 0; i < fetched; ++i) DeleteMediaType(offered[i]);

    ASSERT_EQ(chain.Link(output.Get(), sink->Input()), S_OK);
    EXPECT_EQ(sink->Type().subtype, MEDIASUBTYPE_RGB24);
    chain.Pause();
    std::vector<BYTE> picture(16 * 8 * 3 / 2, 128);
    EXPECT_EQ(source->Send(picture.data(), static_cast<int>(picture.size()), 800'000, 400'000, true), S_OK);
    ASSERT_EQ(sink->received.size(), 1u);
    EXPECT_EQ(sink->received[0].start, 800'000);
    EXPECT_EQ(sink->received[0].stop, 1'200'000);
    // A sample too short for one picture is refused rather than read past its end.
    EXPECT_TRUE(FAILED(source->Send(picture.data(), 10, 0, 0, true)));
    EXPECT_EQ(sink->received.size(), 1u);
}

TEST(TransformFilters, ConverterRefusesAtConnectionWhatLibswscaleCannotRead) {
    // Y411 (packed 4:1:1) decodes but libswscale has no reader for it: a refused connection says
    // so at once, where a failure at the first picture would end the run half way.
    ComPtr<IBaseFilter> converter = Create(CLSID_Colour);
    ComPtr<IPin> input = PinOf(converter.Get(), u"Input");
    const MediaType y411 = RawVideoType(AV_PIX_FMT_UYYVYY411, 16, 8, 400'000);
    const MediaType pal8 = RawVideoType(AV_PIX_FMT_PAL8, 16, 8, 400'000);
    EXPECT_EQ(input->QueryAccept(&y411), S_FALSE);
    EXPECT_EQ(input->QueryAccept(&pal8), S_OK);
}

TEST(TransformFilters, DamagedPictureSizesAreRefusedAtConnection) {
    AvCodecParametersPtr parameters(avcodec_parameters_alloc());
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = AV_CODEC_ID_MPEG4;
    ComPtr<IPin> decoderInput = PinOf(Create(CLSID_VideoDecoder).Get(), u"Input");
    ComPtr<IPin> converterInput = PinOf(Create(CLSID_Colour).Get(), u"Input");
    for (const auto& [width, height] : {std::pair{0, 240}, std::pair{320, 0}, std::pair{100'000, 100'000}}) {
        parameters->width = width;
        parameters->height = height;
        const MediaType compressed =
            MediaTypeFromCodecParameters(*parameters, AVRational{1, 25}, AVRational{25, 1});
        EXPECT_EQ(decoderInput->QueryAccept(&compressed), S_FALSE) << width << "x" << height;
        const MediaType raw = RawVideoType(AV_PIX_FMT_YUV420P, width, height, 0);
        EXPECT_EQ(converterInput->QueryAccept(&raw), S_FALSE) << width << "x" << height;
    }
    parameters->width = 320;
    parameters->height = 240;
    const MediaType good = MediaTypeFromCodecParameters(*parameters, AVRational{1, 25}, AVRational{25, 1});
    EXPECT_EQ(decoderInput->QueryAccept(&good), S_OK);
}

// --- the MP3 encoder ----------------------------------------------------------------------------

// One second of a tone in 10 ms samples from 0.5 s on, its third quarter 0.3 s late (a gap coded as
// silence) and its last quarter 12 s later still (a gap left to the multiplexer), through the
// encoder: the rates and channels MP3 has are kept, others resampled and mixed down; the packets
// run on without a hole from where the sound starts (within a frame) to the long gap, the sound
// after it begins a packet of its own, and the last ends within a frame of the sound's end.
TEST(TransformFilters, Mp3EncoderKeepsWhatMp3HasFillsTheGapAndKeepsTheLength) {
    struct Case {
        int rate, channels;
        int codedRate, codedChannels;
        DWORD bytesPerSecond;
    };
    for (const Case c :
         {Case{44100, 2, 44100, 2, 24000}, Case{22050, 1, 22050, 1, 20000}, Case{11025, 1, 11025, 1, 8000},
          Case{96000, 6, 48000, 2, 24000}, Case{37800, 2, 44100, 2, 24000}}) {
        auto source = ComPtr<TestSource>::Adopt(new TestSource(PcmAudioType(c.rate, c.channels, 16)));
        ComPtr<IBaseFilter> encoder = Create(CLSID_Mp3Encoder);
        auto sink = ComPtr<TestSink>::Adopt(new TestSink);
        Chain chain;
        chain.filters = {ComPtr<IBaseFilter>(source.Get()), encoder, ComPtr<IBaseFilter>(sink.Get())};
        ASSERT_EQ(chain.Link(source->Output(), PinOf(encoder.Get(), u"Input").Get()), S_OK);
        ASSERT_EQ(chain.Link(PinOf(encoder.Get(), u"Output").Get(), sink->Input()), S_OK);
        const WAVEFORMATEX* coded = sink->Type().WaveFormat();
        ASSERT_NE(coded, nullptr);
        EXPECT_EQ(coded->nSamplesPerSec, static_cast<DWORD>(c.codedRate)) << c.rate;
        EXPECT_EQ(coded->nChannels, c.codedChannels) << c.rate;
        EXPECT_EQ(coded->nAvgBytesPerSec, c.bytesPerSecond) << c.rate;
        EXPECT_EQ(coded->nBlockAlign, 1) << c.rate;

        chain.Pause();
        const int perSample = c.rate / 100;
        std::vector<std::int16_t> tone(static_cast<std::size_t>(perSample * c.channels));
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i / c.channels) * 0.1));
        for (int i = 0; i < 100; ++i) {
            const REFERENCE_TIME start =
                5'000'000 + i * 100'000 + (i >= 50 ? 3'000'000 : 0) + (i >= 75 ? 120'000'000 : 0);
            ASSERT_EQ(source->Send(reinterpret_cast<const BYTE*>(tone.data()),
                                   static_cast<int>(tone.size() * 2), start, 100'000, true),
                      S_OK);
        }
        EXPECT_EQ(source->EndOfStream(), S_OK);
        EXPECT_EQ(sink->endOfStreams, 1);
        const auto& packets = sink->received;
        ASSERT_FALSE(packets.empty());
        const REFERENCE_TIME frame = (c.codedRate >= 32000 ? 1152 : 576) * 10'000'000LL / c.codedRate;
        // The first packet starts the encoder's delay (its format block says how long) before the sound.
        WORD delay = 0;
        std::memcpy(&delay, sink->Type().pbFormat + 28, sizeof delay);
        EXPECT_NEAR(static_cast<double>(packets.front().start + delay * 10'000'000LL / c.codedRate),
                    5'000'000, 10'000'000.0 / c.codedRate)
            << c.rate;
        EXPECT_NEAR(static_cast<double>(packets.back().stop), 138'000'000, frame) << c.rate;
        // Players count time in bytes at the declared rate: it must be the rate coded.
        LONGLONG bytes = 0;
        for (const auto& packet : packets) bytes += packet.length;
        const REFERENCE_TIME played = static_cast<REFERENCE_TIME>(packets.size()) * frame;
        EXPECT_NEAR(static_cast<double>(bytes) * 1e7 / static_cast<double>(played), c.bytesPerSecond,
                    c.bytesPerSecond / 100.0)
            << c.rate;
        const double sample = 1e7 / c.codedRate;
        std::size_t jumps = 0;
        for (std::size_t i = 1; i < packets.size(); ++i) {
            if (std::abs(packets[i].start - packets[i - 1].stop) <= sample) continue;
            ++jumps;
            EXPECT_NEAR(static_cast<double>(packets[i].start), 135'500'000, sample) << c.rate;
        }
        EXPECT_EQ(jumps, 1u) << c.rate;
    }
}

// --- the grabber --------------------------------------------------------------------------------

// The colour charts: 128x64, eight 32x32 blocks, left to right with the top row first.
struct Rgb {
    int r;
    int g;
    int b;
};
constexpr Rgb kChart[] = {{255, 0, 0}, {0, 255, 0},   {0, 0, 255},   {255, 255, 255},
                          {0, 0, 0},   {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};

// Checks the middle of each block of a chart that reached a sink as bottom-up RGB24.
void ExpectChart(const std::vector<BYTE>& image, const Rgb (&blocks)[8]) {
    constexpr int kStride = 128 * 3;
    for (int block = 0; block < 8; ++block) {
        SCOPED_TRACE("block " + std::to_string(block));
        const int x = block % 4 * 32 + 16;
        const int y = block / 4 * 32 + 16;
        ExpectBgr(image, PixelOffset(kStride, x, 63 - y), blocks[block].b, blocks[block].g, blocks[block].r);
    }
}

class ChartColours : public ::testing::TestWithParam<const char*> {};

TEST_P(ChartColours, ReachRgb24) {
    FileRun run(GetParam(), true);
    EXPECT_EQ(run.completion, EC_COMPLETE);
    ASSERT_EQ(run.sink->received.size(), 25u);
    ExpectChart(run.sink->firstData, kChart);
}

// Palette (AVI and QuickTime), RGB555, RGB565, ARGB, YUV with alpha, 10 and 12 bits.
INSTANTIATE_TEST_SUITE_P(PixelFormats, ChartColours,
                         ::testing::Values("chart_pal8.avi", "chart_pal8.mov", "chart_rgb555.avi",
                                           "chart_rgb565.nut", "chart_argb.mov", "chart_yuva.avi",
                                           "chart_10bit.mov", "chart_12bit.avi"),
                         [](const auto& test) {
                             std::string name = test.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(TransformFilters, GreyReachesRgb24AsTheSameGreyLevels) {
    FileRun run("chart_grey.avi", true);
    EXPECT_EQ(run.completion, EC_COMPLETE);
    Rgb levels[8];
    for (int block = 0; block < 8; ++block) levels[block] = {36 * block, 36 * block, 36 * block};
    ExpectChart(run.sink->firstData, levels);
}

HRESULT QueryAccept(IPin* pin, const MediaType& type) {
    return pin->QueryAccept(&type);
}

ComPtr<ISampleGrabber> Grabber(const GUID& major, const GUID& subtype) {
    ComPtr<ISampleGrabber> grabber;
    EXPECT_EQ(
        CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_ALL, IID_ISampleGrabber, grabber.ReceiveVoid()),
        S_OK);
    MediaType wanted;
    wanted.majortype = major;
    wanted.subtype = subtype;
    EXPECT_EQ(grabber->SetMediaType(&wanted), S_OK);
    return grabber;
}

MediaType AudioType(AVCodecID codec) {
    AvCodecParametersPtr parameters(avcodec_parameters_alloc());
    parameters->codec_type = AVMEDIA_TYPE_AUDIO;
    parameters->codec_id = codec;
    parameters->sample_rate = 48000;
    av_channel_layout_default(&parameters->ch_layout, 2);
    return MediaTypeFromCodecParameters(*parameters, AVRational{1, 48000}, AVRational{0, 1});
}

TEST(TransformFilters, GrabberAcceptsOnlyTheTypeItWasGiven) {
    ComPtr<ISampleGrabber> rgb = Grabber(MEDIATYPE_Video, MEDIASUBTYPE_RGB24);
    ComPtr<IPin> rgbInput = PinOf(rgb.As<IBaseFilter>().Get(), u"Input");
    EXPECT_EQ(QueryAccept(rgbInput.Get(), RawVideoType(AV_PIX_FMT_BGR24, 320, 240, 0)), S_OK);
    EXPECT_EQ(QueryAccept(rgbInput.Get(), RawVideoType(AV_PIX_FMT_YUV420P, 320, 240, 0)), S_FALSE);
    EXPECT_EQ(QueryAccept(rgbInput.Get(), RawVideoType(AV_PIX_FMT_BGRA, 320, 240, 0)), S_FALSE);

    ComPtr<ISampleGrabber> audio = Grabber(MEDIATYPE_Audio, GUID_NULL);
    ComPtr<IPin> audioInput = PinOf(audio.As<IBaseFilter>().Get(), u"Input");
    for (AVCodecID codec : {AV_CODEC_ID_MP2, AV_CODEC_ID_AC3, AV_CODEC_ID_AAC, AV_CODEC_ID_MP3}) {
        EXPECT_EQ(QueryAccept(audioInput.Get(), AudioType(codec)), S_OK) << avcodec_get_name(codec);
    }
    EXPECT_EQ(QueryAccept(audioInput.Get(), PcmAudioType(48000, 2, 16)), S_OK);
    EXPECT_EQ(QueryAccept(audioInput.Get(), RawVideoType(AV_PIX_FMT_BGR24, 320, 240, 0)), S_FALSE);

    EXPECT_EQ(audio->SetMediaType(nullptr), E_POINTER);
    AM_MEDIA_TYPE connected{};
    EXPECT_EQ(audio->GetConnectedMediaType(&connected), VFW_E_NOT_CONNECTED);
    // Nothing on the output until the input is connected.
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(PinOf(audio.As<IBaseFilter>().Get(), u"Output")->EnumMediaTypes(types.Receive()), S_OK);
    AM_MEDIA_TYPE* offered = nullptr;
    EXPECT_EQ(types->Next(1, &offered, nullptr), S_FALSE);
}

// The first output pin of filter whose preferred type has major type major.
ComPtr<IPin> OutputCarrying(IBaseFilter* filter, const GUID& major) {
    ComPtr<IEnumPins> pins;
    filter->EnumPins(pins.Receive());
    for (ComPtr<IPin> pin; pins->Next(1, pin.Receive(), nullptr) == S_OK;) {
        PIN_DIRECTION direction{};
        ComPtr<IEnumMediaTypes> types;
        AM_MEDIA_TYPE* first = nullptr;
        if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT ||
            FAILED(pin->EnumMediaTypes(types.Receive())) || types->Next(1, &first, nullptr) != S_OK) {
            continue;
        }
        const bool matches = first->majortype == major;
        DeleteMediaType(first);
        if (matches) return pin;
    }
    return {};
}

// A new graph with a file source for a sample file in it.
void GraphWithSource(const char* sample, ComPtr<IGraphBuilder>& graph, ComPtr<IBaseFilter>& source) {
    ASSERT_EQ(
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, graph.ReceiveVoid()),
        S_OK);
    const std::u16string path = ToUtf16(testsupport::SamplePath(sample).string());
    ASSERT_EQ(graph->AddSourceFilter(path.c_str(), u"Source", source.Receive()), S_OK);
}

TEST(TransformFilters, FileReachesAnRgbGrabberThroughDecoderAndAudioStaysCompressed) {
    // The recompression graph's chain: intelligent connect from the file source to a grabber that
    // wants RGB24 inserts the splitter and the decoder; an audio grabber that wants any audio
    // takes the splitter's MP2 as it is.
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> source;
    ASSERT_NO_FATAL_FAILURE(GraphWithSource("mpeg1_mp2.mpg", graph, source));
    ComPtr<ISampleGrabber> video = Grabber(MEDIATYPE_Video, MEDIASUBTYPE_RGB24);
    ComPtr<ISampleGrabber> audio = Grabber(MEDIATYPE_Audio, GUID_NULL);
    ComPtr<IBaseFilter> videoFilter = video.As<IBaseFilter>();
    ComPtr<IBaseFilter> audioFilter = audio.As<IBaseFilter>();
    ComPtr<TestSink> videoSink = ComPtr<TestSink>::Adopt(new TestSink(AM_FILTER_MISC_FLAGS_IS_RENDERER));
    ComPtr<TestSink> audioSink = ComPtr<TestSink>::Adopt(new TestSink(AM_FILTER_MISC_FLAGS_IS_RENDERER));
    ASSERT_EQ(graph->AddFilter(videoFilter.Get(), u"VideoGrabber"), S_OK);
    ASSERT_EQ(graph->AddFilter(audioFilter.Get(), u"AudioGrabber"), S_OK);
    ASSERT_EQ(graph->AddFilter(videoSink.Get(), u"VideoSink"), S_OK);
    ASSERT_EQ(graph->AddFilter(audioSink.Get(), u"AudioSink"), S_OK);

    ASSERT_EQ(graph->Connect(PinOf(source.Get(), u"Output").Get(), PinOf(videoFilter.Get(), u"Input").Get()),
              S_OK);
    ComPtr<IBaseFilter> splitter;
    ComPtr<IBaseFilter> found;
    ASSERT_EQ(graph->FindFilterByName(u"Splitter", splitter.Receive()), S_OK);
    EXPECT_EQ(graph->FindFilterByName(u"Video Decoder", found.Receive()), S_OK);
    // The decoder gives RGB24 itself: no converter, and no copy of each picture, in between.
    EXPECT_NE(graph->FindFilterByName(u"Colour Space Converter", found.Receive()), S_OK);
    MediaType videoType;
    ASSERT_EQ(video->GetConnectedMediaType(&videoType), S_OK);
    EXPECT_EQ(videoType.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(RawVideoLayoutOf(videoType).width, 320);

    ComPtr<IPin> audioOut = OutputCarrying(splitter.Get(), MEDIATYPE_Audio);
    ASSERT_TRUE(audioOut);
    ASSERT_EQ(graph->Connect(audioOut.Get(), PinOf(audioFilter.Get(), u"Input").Get()), S_OK);
    MediaType audioType;
    ASSERT_EQ(audio->GetConnectedMediaType(&audioType), S_OK);
    EXPECT_EQ(CodecIdOf(audioType), AV_CODEC_ID_MP2);
    ASSERT_EQ(graph->Connect(PinOf(videoFilter.Get(), u"Output").Get(), videoSink->Input()), S_OK);
    ASSERT_EQ(graph->Connect(PinOf(audioFilter.Get(), u"Output").Get(), audioSink->Input()), S_OK);

    ComPtr<IMediaControl> control = graph.As<IMediaControl>();
    ComPtr<IMediaEvent> events = graph.As<IMediaEvent>();
    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    EXPECT_EQ(events->WaitForCompletion(30'000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(control->Stop(), S_OK);  // joins the splitter's thread: the sinks are ours to read now
    EXPECT_EQ(videoSink->received.size(), 75u);
    REFERENCE_TIME previous = -1;
    for (const auto& r : videoSink->received) {
        EXPECT_EQ(r.length, 320 * 3 * 240);
        EXPECT_GT(r.start, previous);
        previous = r.start;
    }
    EXPECT_GT(audioSink->received.size(), 0u);
    EXPECT_EQ(videoSink->endOfStreams, 1);
    EXPECT_EQ(audioSink->endOfStreams, 1);
}

class RecordingCallback final : public ComObject<ISampleGrabberCB> {
public:
    HRESULT SampleCB(double time, IMediaSample* sample) override {
        times.push_back(time);
        samples.push_back(sample);
        return S_OK;
    }
    HRESULT BufferCB(double time, BYTE* buffer, LONG length) override {
        times.push_back(time);
        buffer[0] = 0xEE;  // must not reach downstream
        lengths.push_back(length);
        return S_OK;
    }
    std::vector<double> times;
    std::vector<IMediaSample*> samples;  // identity only
    std::vector<LONG> lengths;
};

TEST(TransformFilters, GrabberPassesTheSameSamplesOn) {
    const MediaType type = RawVideoType(AV_PIX_FMT_BGR24, 4, 2, 400'000);
    ComPtr<TestSource> source = ComPtr<TestSource>::Adopt(new TestSource(type));
    ComPtr<ISampleGrabber> grabber = Grabber(MEDIATYPE_Video, MEDIASUBTYPE_RGB24);
    ComPtr<IBaseFilter> grabberFilter = grabber.As<IBaseFilter>();
    ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(new TestSink);
    ComPtr<RecordingCallback> callback = ComPtr<RecordingCallback>::Adopt(new RecordingCallback);
    Chain chain;
    chain.filters = {ComPtr<IBaseFilter>(source.Get()), grabberFilter, ComPtr<IBaseFilter>(sink.Get())};
    ASSERT_EQ(chain.Link(source->Output(), PinOf(grabberFilter.Get(), u"Input").Get()), S_OK);
    ASSERT_EQ(chain.Link(PinOf(grabberFilter.Get(), u"Output").Get(), sink->Input()), S_OK);
    MediaType connected;
    ASSERT_EQ(grabber->GetConnectedMediaType(&connected), S_OK);
    EXPECT_EQ(connected.cbFormat, type.cbFormat);
    EXPECT_EQ(std::memcmp(connected.pbFormat, type.pbFormat, type.cbFormat), 0);
    ASSERT_EQ(grabber->SetBufferSamples(TRUE), S_OK);
    ASSERT_EQ(grabber->SetCallback(callback.Get(), 0), S_OK);
    chain.Pause();

    LONG size = 0;
    EXPECT_EQ(grabber->GetCurrentBuffer(&size, nullptr), VFW_E_WRONG_STATE) << "no sample yet";
    ComPtr<MediaSample> sample = ComPtr<MediaSample>::Adopt(MediaSample::Create(type.lSampleSize));
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    for (ULONG i = 0; i < type.lSampleSize; ++i) data[i] = static_cast<BYTE>(i + 1);
    REFERENCE_TIME start = 5'000'000;
    sample->SetTime(&start, nullptr);
    ASSERT_EQ(source->Deliver(sample.Get()), S_OK);
    EXPECT_EQ(sink->lastSample, sample.Get());
    ASSERT_EQ(callback->samples.size(), 1u);
    EXPECT_EQ(callback->samples[0], sample.Get());
    EXPECT_DOUBLE_EQ(callback->times[0], 0.5);

    ASSERT_EQ(grabber->GetCurrentBuffer(&size, nullptr), S_OK);
    ASSERT_EQ(size, static_cast<LONG>(type.lSampleSize));
    std::vector<LONG> copy(static_cast<std::size_t>(size + 3) / 4);
    LONG tooSmall = size - 1;
    EXPECT_EQ(grabber->GetCurrentBuffer(&tooSmall, copy.data()), E_OUTOFMEMORY);
    ASSERT_EQ(grabber->GetCurrentBuffer(&size, copy.data()), S_OK);
    EXPECT_EQ(std::memcmp(copy.data(), data, static_cast<std::size_t>(size)), 0);

    // BufferCB works on a copy; one-shot ends the stream after the next sample.
    ASSERT_EQ(grabber->SetCallback(callback.Get(), 1), S_OK);
    EXPECT_EQ(grabber->SetCallback(callback.Get(), 2), E_INVALIDARG);
    ASSERT_EQ(grabber->SetOneShot(TRUE), S_OK);
    EXPECT_EQ(source->Deliver(sample.Get()), S_FALSE);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(callback->lengths, std::vector<LONG>{size});
    EXPECT_EQ(source->Deliver(sample.Get()), S_FALSE);
    EXPECT_EQ(source->EndOfStream(), S_OK);
    EXPECT_EQ(sink->received.size(), 2u);
    EXPECT_EQ(sink->endOfStreams, 1);
    EXPECT_EQ(grabber->SetCallback(nullptr, 0), S_OK);
}

// On the splitter's thread, while the graph stops: the callback waits until the splitter has been
// told to stop, then asks both filters for their clock and pins, as a callback may.
class CallbackDuringStop final : public ComObject<ISampleGrabberCB> {
public:
    CallbackDuringStop(IBaseFilter* splitter, IBaseFilter* grabber)
        : m_splitter(splitter), m_grabber(grabber) {}
    HRESULT SampleCB(double, IMediaSample*) override {
        if (answered.load()) return S_OK;
        entered = true;
        FILTER_STATE state = State_Running;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_splitter->GetState(0, &state) == S_OK && state != State_Stopped &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        for (IBaseFilter* filter : {m_splitter, m_grabber}) {
            ComPtr<IReferenceClock> clock;
            ComPtr<IEnumPins> pins;
            if (FAILED(filter->GetSyncSource(clock.Receive())) || FAILED(filter->EnumPins(pins.Receive())))
                return E_FAIL;
        }
        answered = true;
        return S_OK;
    }
    HRESULT BufferCB(double, BYTE*, LONG) override { return S_OK; }
    std::atomic<bool> entered{false};
    std::atomic<bool> answered{false};

private:
    IBaseFilter* m_splitter;
    IBaseFilter* m_grabber;
};

TEST(TransformFilters, GrabberCallbackMayAskForClockAndPinsWhileTheGraphStops) {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> source;
    ASSERT_NO_FATAL_FAILURE(GraphWithSource("mpeg1_mp2.mpg", graph, source));
    ComPtr<ISampleGrabber> grabber = Grabber(MEDIATYPE_Video, MEDIASUBTYPE_RGB24);
    ComPtr<IBaseFilter> grabberFilter = grabber.As<IBaseFilter>();
    ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(new TestSink(AM_FILTER_MISC_FLAGS_IS_RENDERER));
    ASSERT_EQ(graph->AddFilter(grabberFilter.Get(), u"Grabber"), S_OK);
    ASSERT_EQ(graph->AddFilter(sink.Get(), u"Sink"), S_OK);
    ASSERT_EQ(
        graph->Connect(PinOf(source.Get(), u"Output").Get(), PinOf(grabberFilter.Get(), u"Input").Get()),
        S_OK);
    ASSERT_EQ(graph->Connect(PinOf(grabberFilter.Get(), u"Output").Get(), sink->Input()), S_OK);
    ComPtr<IBaseFilter> splitter;
    ASSERT_EQ(graph->FindFilterByName(u"Splitter", splitter.Receive()), S_OK);
    ComPtr<CallbackDuringStop> callback =
        ComPtr<CallbackDuringStop>::Adopt(new CallbackDuringStop(splitter.Get(), grabberFilter.Get()));
    ASSERT_EQ(grabber->SetCallback(callback.Get(), 0), S_OK);

    ComPtr<IMediaControl> control = graph.As<IMediaControl>();
    ASSERT_EQ(control->Run(), S_OK);
    while (!callback->entered.load()) std::this_thread::yield();
    auto stopped = std::async(std::launch::async, [&] { return control->Stop(); });
    if (stopped.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "Stop never returned: a lock the callback needs is held across the join";
        std::_Exit(1);  // the stuck threads cannot be unwound
    }
    EXPECT_EQ(stopped.get(), S_OK);
    EXPECT_TRUE(callback->answered.load());
    EXPECT_EQ(grabber->SetCallback(nullptr, 0), S_OK);
}

// --- state --------------------------------------------------------------------------------------

TEST(TransformFilters, SamplesAreRefusedWhileStoppedOrFlushing) {
    const MediaType type = RawVideoType(AV_PIX_FMT_BGR24, 4, 2, 0);
    for (const CLSID& clsid : {CLSID_Colour, CLSID_SampleGrabber, CLSID_VideoDecoder}) {
        const bool decoder = clsid == CLSID_VideoDecoder;
        VideoPackets packets("video_only.avi");
        ComPtr<TestSource> source =
            ComPtr<TestSource>::Adopt(new TestSource(decoder ? packets.Type() : type));
        ComPtr<IBaseFilter> filter = Create(clsid);
        ComPtr<TestSink> sink = ComPtr<TestSink>::Adopt(new TestSink);
        Chain chain;
        chain.filters = {ComPtr<IBaseFilter>(source.Get()), filter, ComPtr<IBaseFilter>(sink.Get())};
        ASSERT_EQ(chain.Link(source->Output(), PinOf(filter.Get(), u"Input").Get()), S_OK);
        ASSERT_EQ(chain.Link(PinOf(filter.Get(), u"Output").Get(), sink->Input()), S_OK);
        ComPtr<IMemInputPin> input = Receiver(filter.Get());
        ComPtr<MediaSample> sample = ComPtr<MediaSample>::Adopt(MediaSample::Create(type.lSampleSize));

        EXPECT_EQ(input->Receive(sample.Get()), VFW_E_WRONG_STATE);
        EXPECT_EQ(PinOf(filter.Get(), u"Input")->EndOfStream(), VFW_E_WRONG_STATE);
        chain.Pause();
        ComPtr<IPin> inputPin = PinOf(filter.Get(), u"Input");
        EXPECT_EQ(inputPin->BeginFlush(), S_OK);
        EXPECT_EQ(input->Receive(sample.Get()), VFW_E_WRONG_STATE);
        EXPECT_EQ(inputPin->EndFlush(), S_OK);
        if (!decoder) {
            EXPECT_EQ(input->Receive(sample.Get()), S_OK);
        }
        chain.Stop();
        EXPECT_EQ(input->Receive(sample.Get()), VFW_E_WRONG_STATE);
        EXPECT_EQ(sink->received.size(), decoder ? 0u : 1u);
        EXPECT_EQ(sink->endOfStreams, 0);
    }
}

}  // namespace
}  // namespace media
