// The installed compressors: the catalogue as the system device enumerator gives it, and the
// compressor filter fed by a small RGB24 source and read by a recording sink.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/api/class_registry.h"
#include "media/api/device_interfaces.h"
#include "media/api/task_memory.h"
#include "media/api/uuids.h"
#include "media/catalogue/compressor_catalogue.h"
#include "media/catalogue/compressor_filter.h"
#include "media/com/com_ptr.h"
#include "media/com/wide_text.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/media_sample.h"
#include "media/graph/filter_base.h"

#include "media/recording_sink.h"

namespace media {
namespace {

constexpr REFERENCE_TIME kFrameTime = kUnitsPerSecond / 25;
constexpr std::chrono::seconds kPatience{60};

// ---- the catalogue --------------------------------------------------------------------------

struct CatalogueItem {
    HRESULT nameResult = E_FAIL;
    std::string name;
    std::string displayName;
};

ComPtr<ICreateDevEnum> DeviceEnumerator() {
    ComPtr<ICreateDevEnum> devices;
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                               devices.ReceiveVoid()),
              S_OK);
    return devices;
}

// The category's enumerator, or empty when it gives none.
ComPtr<IEnumMoniker> CompressorMonikers() {
    ComPtr<IEnumMoniker> monikers;
    if (ComPtr<ICreateDevEnum> devices = DeviceEnumerator()) {
        devices->CreateClassEnumerator(CLSID_VideoCompressorCategory, monikers.Receive(), 0);
    }
    return monikers;
}

// Walks the video compressor category one moniker at a time, as the application does.
std::vector<CatalogueItem> ReadCatalogue() {
    ComPtr<IEnumMoniker> monikers = CompressorMonikers();
    if (!monikers) return {};
    std::vector<CatalogueItem> items;
    monikers->Reset();
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Receive(), nullptr) == S_OK) {
        CatalogueItem item;
        ComPtr<IPropertyBag> bag;
        EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReceiveVoid()), S_OK);
        VARIANT name;
        VariantInit(&name);
        item.nameResult = bag->Read(u"FriendlyName", &name, nullptr);
        if (item.nameResult == S_OK) {
            EXPECT_EQ(name.vt, VT_BSTR);
            item.name = ToUtf8(name.bstrVal);
        }
        VariantClear(&name);
        LPOLESTR display = nullptr;
        EXPECT_EQ(moniker->GetDisplayName(nullptr, nullptr, &display), S_OK);
        item.displayName = ToUtf8(display);
        CoTaskMemFree(display);
        items.push_back(item);
    }
    return items;
}

ComPtr<IBaseFilter> BindEntry(IEnumMoniker& monikers) {
    ComPtr<IMoniker> moniker;
    ComPtr<IBaseFilter> filter;
    if (monikers.Next(1, moniker.Receive(), nullptr) == S_OK) {
        moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReceiveVoid());
    }
    return filter;
}

class CompressorCatalogueTest : public ::testing::Test {
protected:
    void TearDown() override { ResetCompressorCatalogueForTesting(); }
};

TEST_F(CompressorCatalogueTest, ListsSoftwareEncodersInAStableOrder) {
    const std::vector<CatalogueItem> first = ReadCatalogue();
    ASSERT_FALSE(first.empty());
    std::vector<std::string> names;
    for (const CatalogueItem& item : first) {
        EXPECT_EQ(item.nameResult, S_OK) << item.displayName;
        EXPECT_FALSE(item.name.empty()) << item.displayName;
        EXPECT_EQ(item.displayName.rfind("@device:cm:{33D9A760-90C8-11D0-BD43-00A0C911CE86}\\", 0), 0u);
        for (const char* hardware :
             {"nvenc", "vaapi", "qsv", "v4l2m2m", "omx", "amf", "videotoolbox", "svtav1"}) {
            EXPECT_EQ(item.displayName.find(hardware), std::string::npos) << item.displayName;
        }
        names.push_back(item.name);
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "libxvidcore MPEG-4 part 2"), names.end());
    // Encoders without an AVI FourCC or without a pixel format swscale makes are not offered.
    EXPECT_EQ(std::find(names.begin(), names.end(), "raw video"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "GIF (Graphics Interchange Format)"), names.end());

    std::vector<std::string> again;
    for (const CatalogueItem& item : ReadCatalogue()) again.push_back(item.name);
    EXPECT_EQ(again, names);
}

TEST_F(CompressorCatalogueTest, PropertyBagAnswersOnlyWhatItKnows) {
    SetCompressorCatalogueForTesting({{.friendlyName = "libxvidcore MPEG-4 part 2",
                                       .encoderName = "libxvid",
                                       .fourcc = MakeFourCC('X', 'V', 'I', 'D')}});
    ComPtr<IEnumMoniker> monikers = CompressorMonikers();
    ASSERT_TRUE(monikers);
    ComPtr<IMoniker> moniker;
    ASSERT_EQ(monikers->Next(1, moniker.Receive(), nullptr), S_OK);
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReceiveVoid()), S_OK);

    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(bag->Read(u"FccHandler", &value, nullptr), S_OK);
    EXPECT_EQ(ToUtf8(value.bstrVal), "XVID");
    VariantClear(&value);

    for (const char16_t* unknown : {u"Description", u"friendlyname", u""}) {
        EXPECT_TRUE(FAILED(bag->Read(unknown, &value, nullptr)));
        EXPECT_EQ(value.vt, VT_EMPTY);
    }
    // A caller asking for a number where the property is text gets no string to free.
    value.vt = VT_I4;
    EXPECT_TRUE(FAILED(bag->Read(u"FriendlyName", &value, nullptr)));
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(bag->Read(nullptr, &value, nullptr), E_POINTER);
    EXPECT_EQ(bag->Write(u"FriendlyName", &value), E_ACCESSDENIED);
}

TEST_F(CompressorCatalogueTest, EmptyOrUnknownCategoryAnswersSuccessWithoutEnumerator) {
    ComPtr<ICreateDevEnum> devices = DeviceEnumerator();
    ASSERT_TRUE(devices);
    ComPtr<IEnumMoniker> monikers;
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_FilterGraph, monikers.Receive(), 0), S_FALSE);
    EXPECT_FALSE(monikers);

    SetCompressorCatalogueForTesting({});
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_VideoCompressorCategory, monikers.Receive(), 0), S_FALSE);
    EXPECT_FALSE(monikers);
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_VideoCompressorCategory, nullptr, 0), E_POINTER);
}

TEST_F(CompressorCatalogueTest, TestingCatalogueKeepsItsOrderAndItsUnreadableNames) {
    SetCompressorCatalogueForTesting({
        {.friendlyName = "DivX Pro 5.0 Codec", .encoderName = "mpeg4"},
        {.friendlyName = "Broken", .encoderName = "mpeg4", .nameUnreadable = true},
        {.friendlyName = "XviD MPEG-4 Codec", .encoderName = "libxvid"},
        {.friendlyName = "Gone", .encoderName = "no-such-encoder"},
    });
    const std::vector<CatalogueItem> items = ReadCatalogue();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].name, "DivX Pro 5.0 Codec");
    EXPECT_TRUE(FAILED(items[1].nameResult));
    EXPECT_EQ(items[2].name, "XviD MPEG-4 Codec");

    ComPtr<IEnumMoniker> monikers = CompressorMonikers();
    ASSERT_TRUE(monikers);
    ASSERT_EQ(monikers->Skip(2), S_OK);
    ComPtr<IEnumMoniker> fromThird;
    ASSERT_EQ(monikers->Clone(fromThird.Receive()), S_OK);
    EXPECT_TRUE(BindEntry(*fromThird.Get()));   // XviD
    EXPECT_FALSE(BindEntry(*fromThird.Get()));  // an encoder this FFmpeg lacks binds to nothing

    // Asking for more than are left gives what there is and S_FALSE.
    IMoniker* rest[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(monikers->Next(3, rest, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i) rest[i]->Release();
    EXPECT_EQ(monikers->Skip(1), S_FALSE);
    EXPECT_EQ(monikers->Next(2, rest, nullptr), E_INVALIDARG);
}

// ---- the compressor filter ------------------------------------------------------------------

// Offers one RGB24 type and delivers pictures when the test says so.
class TestSource final : public FilterBase {
public:
    TestSource(int width, int height, REFERENCE_TIME frameTime)
        : FilterBase(GUID_NULL), m_pin(*this, RawVideoType(AV_PIX_FMT_BGR24, width, height, frameTime)) {}
    std::vector<PinBase*> Pins() override { return {&m_pin}; }
    IPin* Output() { return &m_pin; }
    const MediaType& Type() const { return m_pin.type; }

    // A picture whose top half is white and bottom half black, stamped at frame number frame.
    HRESULT Deliver(REFERENCE_TIME start) {
        const RawVideoLayout layout = RawVideoLayoutOf(m_pin.type);
        ComPtr<IMediaSample> sample = ComPtr<IMediaSample>::Adopt(MediaSample::Create(layout.imageSize));
        BYTE* image = nullptr;
        sample->GetPointer(&image);
        std::uint8_t* planes[4];
        int strides[4];
        FillPlanes(layout, image, planes, strides);
        for (int row = 0; row < layout.height; ++row) {
            std::memset(planes[0] + static_cast<std::ptrdiff_t>(row) * strides[0],
                        row < layout.height / 2 ? 255 : 0, static_cast<std::size_t>(layout.width) * 3);
        }
        REFERENCE_TIME stop = start + kFrameTime;
        sample->SetTime(&start, &stop);
        return m_pin.Deliver(sample.Get());
    }
    HRESULT DeliverEndOfStream() { return m_pin.DeliverEndOfStream(); }

private:
    struct Pin final : OutputPin {
        Pin(FilterBase& filter, MediaType offered) : OutputPin(filter, u"Out"), type(std::move(offered)) {}
        HRESULT CheckMediaType(const AM_MEDIA_TYPE& t) override {
            return t.subtype == type.subtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
        }
        std::vector<MediaType> OfferedTypes() override { return {type}; }
        MediaType type;
    };
    Pin m_pin;
};

ComPtr<IPin> PinOf(IBaseFilter& filter, const char16_t* name) {
    ComPtr<IPin> pin;
    filter.FindPin(name, pin.Receive());
    return pin;
}

// A source, the compressor of encoder and a sink, connected; the filters are stopped.
struct Chain {
    Chain(const char* encoder, int width, int height, REFERENCE_TIME frameTime = kFrameTime)
        : source(ComPtr<TestSource>::Adopt(new TestSource(width, height, frameTime))),
          compressor(ComPtr<IBaseFilter>::Adopt(CreateCompressorFilter(encoder))),
          sink(ComPtr<mediatest::RecordingSink>::Adopt(mediatest::RecordingSink::Create(MEDIATYPE_Video))) {}

    [[nodiscard]] HRESULT Connect() {
        const HRESULT in =
            source->Output()->Connect(PinOf(*compressor.Get(), u"Input").Get(), &source->Type());
        if (FAILED(in)) return in;
        return PinOf(*compressor.Get(), u"Output")->Connect(sink->Input(), nullptr);
    }
    void Pause() {
        ASSERT_EQ(sink->Pause(), S_OK);
        ASSERT_EQ(compressor->Pause(), S_OK);
        ASSERT_EQ(source->Pause(), S_OK);
    }
    void Stop() {
        source->Stop();
        compressor->Stop();
        sink->Stop();
    }
    ~Chain() {
        Stop();
        // Connections hold references across filters; break them so that everything is freed.
        for (IBaseFilter* f : {static_cast<IBaseFilter*>(source.Get()), compressor.Get(),
                               static_cast<IBaseFilter*>(sink.Get())}) {
            if (f == nullptr) continue;
            for (const char16_t* name : {u"Out", u"Input", u"Output", u"In"}) {
                if (ComPtr<IPin> pin = PinOf(*f, name)) pin->Disconnect();
            }
        }
    }

    ComPtr<TestSource> source;
    ComPtr<IBaseFilter> compressor;
    ComPtr<mediatest::RecordingSink> sink;
};

// Decodes the first packet and gives the luma of the picture's top-left and bottom-left corners.
std::pair<int, int> DecodedCorners(AVCodecID codec, const std::vector<std::uint8_t>& packetData) {
    AvCodecContextPtr decoder(avcodec_alloc_context3(avcodec_find_decoder(codec)));
    EXPECT_EQ(avcodec_open2(decoder.get(), decoder->codec, nullptr), 0);
    AvPacketPtr packet(av_packet_alloc());
    av_new_packet(packet.get(), static_cast<int>(packetData.size()));
    std::memcpy(packet->data, packetData.data(), packetData.size());
    AvFramePtr frame(av_frame_alloc());
    avcodec_send_packet(decoder.get(), packet.get());
    avcodec_send_packet(decoder.get(), nullptr);
    if (avcodec_receive_frame(decoder.get(), frame.get()) < 0) return {-1, -1};
    return {frame->data[0][0],
            frame->data[0][static_cast<std::ptrdiff_t>(frame->height - 1) * frame->linesize[0]]};
}

TEST(CompressorFilterTest, HasOneInputAndOneOutputPin) {
    ComPtr<IBaseFilter> filter = ComPtr<IBaseFilter>::Adopt(CreateCompressorFilter("libxvid"));
    ASSERT_TRUE(filter);
    CLSID clsid{};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_VideoCompressor);
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(filter->EnumPins(pins.Receive()), S_OK);
    std::vector<PIN_DIRECTION> directions;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Receive(), nullptr) == S_OK) {
        PIN_DIRECTION direction{};
        pin->QueryDirection(&direction);
        directions.push_back(direction);
    }
    EXPECT_EQ(directions, (std::vector<PIN_DIRECTION>{PINDIR_INPUT, PINDIR_OUTPUT}));
    // Nothing to offer before the input knows the picture size.
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(PinOf(*filter.Get(), u"Output")->EnumMediaTypes(types.Receive()), S_OK);
    AM_MEDIA_TYPE* type = nullptr;
    EXPECT_EQ(types->Next(1, &type, nullptr), S_FALSE);
    EXPECT_FALSE(CreateCompressorFilter("h264_vaapi"));
    EXPECT_FALSE(CreateCompressorFilter("libsvtav1"));
}

TEST(CompressorFilterTest, RefusesPicturesItsEncoderCannotCode) {
    struct Case {
        const char* encoder;
        int width;
        int height;
        REFERENCE_TIME frameTime;
        bool accepted;
    };
    constexpr REFERENCE_TIME kNtsc = 333667;  // 30000/1001 frames per second, rounded
    for (const Case& c :
         {Case{"h261", 320, 240, kFrameTime, false}, Case{"h261", 352, 288, kFrameTime, true},
          Case{"h263", 320, 240, kFrameTime, false}, Case{"dvvideo", 320, 240, kFrameTime, false},
          Case{"mpeg4", 321, 241, kFrameTime, true}, Case{"libxvid", 320, 240, kFrameTime, true},
          Case{"mpeg1video", 352, 240, kNtsc, true},
          Case{"mpeg1video", 352, 240, kUnitsPerSecond / 7, false}}) {
        Chain chain(c.encoder, c.width, c.height, c.frameTime);
        const HRESULT hr = chain.source->Output()->Connect(PinOf(*chain.compressor.Get(), u"Input").Get(),
                                                           &chain.source->Type());
        EXPECT_EQ(hr, c.accepted ? S_OK : VFW_E_TYPE_NOT_ACCEPTED)
            << c.encoder << " " << c.width << "x" << c.height << " every " << c.frameTime;
    }
    // Only uncompressed video reaches the encoder at all.
    ComPtr<IBaseFilter> filter = ComPtr<IBaseFilter>::Adopt(CreateCompressorFilter("libxvid"));
    MediaType audio = PcmAudioType(44100, 2, 16);
    EXPECT_EQ(PinOf(*filter.Get(), u"Input")->QueryAccept(&audio), S_FALSE);
}

TEST(CompressorFilterTest, OffersTheFourCCPlayersExpectAtTheInputsSizeAndRate) {
    Chain chain("libxvid", 320, 240);
    ASSERT_EQ(chain.Connect(), S_OK);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(chain.sink->Input()->ConnectionMediaType(&type), S_OK);
    const DWORD xvid = MakeFourCC('X', 'V', 'I', 'D');
    EXPECT_EQ(type.majortype, MEDIATYPE_Video);
    EXPECT_EQ(type.subtype, FourCCGuid(xvid));
    ASSERT_EQ(type.formattype, FORMAT_VideoInfo);
    const auto* header = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    EXPECT_EQ(header->bmiHeader.biCompression, xvid);
    EXPECT_EQ(header->bmiHeader.biWidth, 320);
    EXPECT_EQ(header->bmiHeader.biHeight, 240);
    EXPECT_EQ(header->AvgTimePerFrame, kFrameTime);
    const AVCodecParameters* parameters = CodecParametersOf(type);
    ASSERT_NE(parameters, nullptr);
    EXPECT_EQ(parameters->codec_id, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(parameters->codec_tag, xvid);
    FreeMediaType(type);
}

TEST(CompressorFilterTest, AnEncoderOfSomeSizeMultipleCodesTheLargestSuchPartOfThePicture) {
    struct Case {
        const char* encoder;
        int codedWidth;
        int codedHeight;
    };
    // libxvid codes even sizes, H.263+ multiples of 4; FFmpeg's MPEG-4 part 2 encoder any size.
    for (const Case& c : {Case{"libxvid", 320, 240}, Case{"h263p", 320, 240}, Case{"mpeg4", 321, 241}}) {
        SCOPED_TRACE(c.encoder);
        Chain chain(c.encoder, 321, 241);
        ASSERT_EQ(chain.Connect(), S_OK);
        AM_MEDIA_TYPE type{};
        ASSERT_EQ(chain.sink->Input()->ConnectionMediaType(&type), S_OK);
        const auto* header = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
        EXPECT_EQ(header->bmiHeader.biWidth, c.codedWidth);
        EXPECT_EQ(header->bmiHeader.biHeight, c.codedHeight);
        const AVCodecID codec = CodecIdOf(type);
        FreeMediaType(type);

        chain.sink->KeepPayload(true);
        chain.Pause();
        ASSERT_EQ(chain.source->Deliver(0), S_OK);
        ASSERT_EQ(chain.source->DeliverEndOfStream(), S_OK);
        ASSERT_TRUE(chain.sink->WaitForEndOfStream(kPatience));
        // The top of the picture stays at the top: the last row, not the first, is the one dropped.
        const auto [top, bottom] = DecodedCorners(codec, chain.sink->Payload());
        EXPECT_GT(top, 200);
        EXPECT_LT(bottom, 40);
    }
}

TEST(CompressorFilterTest, TheFourCCNamesTheColourFormatCoded) {
    // Ut Video says its layout in the FourCC: RGB planes are ULRG, never ULRA (with alpha).
    Chain chain("utvideo", 176, 144);
    ASSERT_EQ(chain.Connect(), S_OK);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(chain.sink->Input()->ConnectionMediaType(&type), S_OK);
    EXPECT_EQ(type.subtype, FourCCGuid(MakeFourCC('U', 'L', 'R', 'G')));
    FreeMediaType(type);
}

TEST(CompressorFilterTest, EncodesEveryPictureWithItsTimeAndRunsAgainAfterStop) {
    constexpr int kFrames = 30;
    for (const char* encoder : {"libxvid", "mpeg4", "libx264", "mjpeg"}) {
        SCOPED_TRACE(encoder);
        Chain chain(encoder, 320, 240);
        ASSERT_EQ(chain.Connect(), S_OK);
        for (int run = 0; run < 2; ++run) {
            chain.sink->Clear();
            chain.Pause();
            for (int i = 0; i < kFrames; ++i) ASSERT_EQ(chain.source->Deliver(i * kFrameTime), S_OK);
            ASSERT_EQ(chain.source->DeliverEndOfStream(), S_OK);
            ASSERT_TRUE(chain.sink->WaitForEndOfStream(kPatience));
            chain.Stop();
            const std::vector<mediatest::RecordedSample> packets = chain.sink->Samples();
            ASSERT_EQ(packets.size(), static_cast<std::size_t>(kFrames));
            EXPECT_TRUE(packets.front().syncPoint);
            for (int i = 0; i < kFrames; ++i) {
                EXPECT_EQ(packets[i].start, i * kFrameTime);
                EXPECT_EQ(packets[i].stop, (i + 1) * kFrameTime);
            }
            EXPECT_EQ(chain.sink->EndOfStreamCount(), 1);
        }
    }
}

TEST(CompressorFilterTest, KeepsGapsAndSeparatesCollidingTimes) {
    Chain chain("mpeg4", 176, 144);
    ASSERT_EQ(chain.Connect(), S_OK);
    chain.Pause();
    // Frames 0, 1, then a gap to 5; then two pictures stamped within one frame time of frame 6.
    for (REFERENCE_TIME start :
         {REFERENCE_TIME{0}, kFrameTime, 5 * kFrameTime, 6 * kFrameTime, 6 * kFrameTime + 1000}) {
        ASSERT_EQ(chain.source->Deliver(start), S_OK);
    }
    ASSERT_EQ(chain.source->DeliverEndOfStream(), S_OK);
    ASSERT_TRUE(chain.sink->WaitForEndOfStream(kPatience));
    std::vector<REFERENCE_TIME> starts;
    for (const mediatest::RecordedSample& p : chain.sink->Samples()) starts.push_back(p.start / kFrameTime);
    EXPECT_EQ(starts, (std::vector<REFERENCE_TIME>{0, 1, 5, 6, 7}));
}

TEST(CompressorFilterTest, AfterAFlushTheStreamStartsAfreshWithAKeyFrame) {
    Chain chain("mpeg4", 176, 144);
    ASSERT_EQ(chain.Connect(), S_OK);
    chain.Pause();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(chain.source->Deliver(i * kFrameTime), S_OK);
    IPin* input = PinOf(*chain.compressor.Get(), u"Input").Get();
    ASSERT_EQ(input->BeginFlush(), S_OK);
    EXPECT_EQ(chain.source->Deliver(3 * kFrameTime), VFW_E_WRONG_STATE);
    ASSERT_EQ(input->EndFlush(), S_OK);
    for (int i = 10; i < 13; ++i) ASSERT_EQ(chain.source->Deliver(i * kFrameTime), S_OK);
    ASSERT_EQ(chain.source->DeliverEndOfStream(), S_OK);
    ASSERT_TRUE(chain.sink->WaitForEndOfStream(kPatience));
    // Pictures from before the flush may or may not have made it; those after it all do.
    const std::vector<mediatest::RecordedSample> packets = chain.sink->Samples();
    ASSERT_GE(packets.size(), 3u);
    const auto afterFlush = packets.end() - 3;
    EXPECT_EQ(afterFlush->start, 10 * kFrameTime);
    EXPECT_TRUE(afterFlush->syncPoint);
    EXPECT_EQ((afterFlush + 2)->start, 12 * kFrameTime);
}

TEST(CompressorFilterTest, BottomUpRgbKeepsItsTopAtTheTop) {
    Chain chain("mpeg4", 176, 144);
    ASSERT_EQ(chain.Connect(), S_OK);
    chain.sink->KeepPayload(true);
    chain.Pause();
    ASSERT_EQ(chain.source->Deliver(0), S_OK);
    ASSERT_EQ(chain.source->DeliverEndOfStream(), S_OK);
    ASSERT_TRUE(chain.sink->WaitForEndOfStream(kPatience));
    const auto [top, bottom] = DecodedCorners(AV_CODEC_ID_MPEG4, chain.sink->Payload());
    EXPECT_GT(top, 200);
    EXPECT_LT(bottom, 40);
}

TEST(CompressorFilterTest, RefusesSamplesWhenStoppedOrTooShort) {
    Chain chain("mpeg4", 176, 144);
    ASSERT_EQ(chain.Connect(), S_OK);
    EXPECT_EQ(chain.source->Deliver(0), VFW_E_WRONG_STATE);
    chain.Pause();
    ComPtr<IMediaSample> shortSample = ComPtr<IMediaSample>::Adopt(MediaSample::Create(100));
    ComPtr<IMemInputPin> input = PinOf(*chain.compressor.Get(), u"Input").As<IMemInputPin>();
    EXPECT_EQ(input->Receive(shortSample.Get()), E_INVALIDARG);
    chain.Stop();
    EXPECT_EQ(chain.source->Deliver(0), VFW_E_WRONG_STATE);
    EXPECT_TRUE(chain.sink->Samples().empty());
}

TEST(CompressorFilterTest, StopWithAFullQueueReturnsAndFreesEverything) {
    Chain chain("libxvid", 320, 240);
    ASSERT_EQ(chain.Connect(), S_OK);
    chain.sink->DelayEachSample(std::chrono::seconds(1));
    chain.Pause();
    std::mutex lock;
    std::condition_variable delivered;
    int accepted = 0;
    HRESULT last = S_OK;
    std::thread sender([&] {
        for (int i = 0; i < 50; ++i) {
            const HRESULT hr = chain.source->Deliver(i * kFrameTime);
            std::lock_guard l(lock);
            last = hr;
            if (FAILED(hr)) break;
            ++accepted;
            delivered.notify_all();
        }
    });
    {
        // One picture's packet is in the slow sink; four more pictures fill the queue.
        std::unique_lock l(lock);
        delivered.wait(l, [&] { return accepted >= 5; });
    }
    // Stop turns the blocked sender away at once and leaves the queued pictures unencoded.
    const auto stopping = std::chrono::steady_clock::now();
    chain.compressor->Stop();
    sender.join();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::milliseconds(2500));
    EXPECT_LT(accepted, 50);
    EXPECT_EQ(last, VFW_E_WRONG_STATE);
}

// Quality, key-frame distance and data rate reach the encoder only through the filter's
// interfaces, and only when the filter next leaves Stopped.
TEST(CompressorFilterTest, CompressionSettingsChangeWhatTheEncoderWrites) {
    constexpr int kFrames = 12;
    const auto encode = [](const char* encoder, double quality, LONG keyFrameRate, LONGLONG dataRate) {
        Chain chain(encoder, 320, 240);
        EXPECT_EQ(chain.Connect(), S_OK);
        const ComPtr<IAMVideoCompression> compression = chain.compressor.As<IAMVideoCompression>();
        const ComPtr<IVideoDataRate> rate = chain.compressor.As<IVideoDataRate>();
        EXPECT_TRUE(compression && rate);
        EXPECT_EQ(compression->put_Quality(quality), S_OK);
        EXPECT_EQ(compression->put_KeyFrameRate(keyFrameRate), S_OK);
        EXPECT_EQ(rate->put_DataRate(dataRate), S_OK);
        chain.Pause();
        for (int i = 0; i < kFrames; ++i) EXPECT_EQ(chain.source->Deliver(i * kFrameTime), S_OK);
        EXPECT_EQ(chain.source->DeliverEndOfStream(), S_OK);
        EXPECT_TRUE(chain.sink->WaitForEndOfStream(kPatience));
        std::size_t bytes = 0;
        std::vector<int> keyFrames;
        const std::vector<mediatest::RecordedSample> packets = chain.sink->Samples();
        for (std::size_t i = 0; i < packets.size(); ++i) {
            bytes += packets[i].size;
            if (packets[i].syncPoint) keyFrames.push_back(static_cast<int>(i));
        }
        return std::pair{bytes, keyFrames};
    };
    // The test picture is flat: only encoders that spend more on its one edge tell quality apart.
    for (const char* encoder : {"libxvid", "libx264"}) {
        SCOPED_TRACE(encoder);
        EXPECT_GT(encode(encoder, 0.9, -1, 0).first, encode(encoder, 0.1, -1, 0).first);
        EXPECT_EQ(encode(encoder, -1.0, 5, 0).second, (std::vector<int>{0, 5, 10}));
        EXPECT_EQ(encode(encoder, -1.0, -1, 0).second, (std::vector<int>{0}));
        // A high rate spends more than the default quantizer on the same pictures.
        EXPECT_GT(encode(encoder, -1.0, -1, 20'000'000).first, encode(encoder, -1.0, -1, 0).first);
    }

    ComPtr<IBaseFilter> xvid = ComPtr<IBaseFilter>::Adopt(CreateCompressorFilter("libxvid"));
    const ComPtr<IAMVideoCompression> compression = xvid.As<IAMVideoCompression>();
    ASSERT_TRUE(compression);
    EXPECT_EQ(compression->put_Quality(1.5), E_INVALIDARG);
    EXPECT_EQ(compression->put_KeyFrameRate(0), E_INVALIDARG);
    LONG keyFrameRate = 0;
    LONG capabilities = 0;
    double quality = 0;
    int versionSize = 4;  // room for one character and the terminator
    WCHAR version[2] = {u'?', u'?'};
    ASSERT_EQ(compression->GetInfo(version, &versionSize, nullptr, nullptr, &keyFrameRate, nullptr, &quality,
                                   &capabilities),
              S_OK);
    EXPECT_EQ(std::u16string(version), u"l");
    EXPECT_EQ(versionSize, static_cast<int>(sizeof(u"libxvid")));
    EXPECT_EQ(keyFrameRate, 250);
    EXPECT_NEAR(quality, 27.0 / 29.0, 1e-9);  // quantizer 4 of 2..31
    EXPECT_EQ(capabilities,
              CompressionCaps_CanQuality | CompressionCaps_CanCrunch | CompressionCaps_CanKeyFrame);
}

}  // namespace
}  // namespace media
