// Pin lookups on a real graph: the input file's splitter behind a video grabber, and the AVI
// multiplexer that the capture graph builder adds.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "media/api/class_registry.h"
#include "media/api/interface_ref.h"
#include "media/api/media_type.h"
#include "media/api/pin_lookup.h"
#include "media/api/task_memory.h"
#include "media/api/uuids.h"
#include "support/samples_dir.h"
#include "text/text_conversion.h"

namespace fs = std::filesystem;

namespace {

// The major type of the first media type a pin offers, or GUID_NULL.
GUID FirstMajorType(IPin* pin) {
    InterfaceRef<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.Receive()))) return GUID_NULL;
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &type, &fetched) != S_OK) return GUID_NULL;
    const GUID major = type->majortype;
    FreeMediaType(*type);
    CoTaskMemFree(type);
    return major;
}

IBaseFilter* FilterOf(IPin* pin) {
    PIN_INFO info{};
    pin->QueryPinInfo(&info);
    InterfaceRef<IBaseFilter> owner = InterfaceRef<IBaseFilter>::Adopt(info.pFilter);
    return owner.Get();  // the graph keeps it alive
}

// mpeg1_mp2.mpg (one video and one audio stream) -> video grabber, plus an AVI multiplexer.
class PinLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_output = fs::temp_directory_path() / ("tessarel-pins-" + std::to_string(::getpid()) + ".avi");
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IGraphBuilder::iid,
                                   m_graph.ReceiveVoid()),
                  S_OK);
        const std::u16string input = ToWide(testsupport::SamplePath("mpeg1_mp2.mpg").string());
        ASSERT_EQ(m_graph->AddSourceFilter(input.c_str(), u"Source", m_source.Receive()), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_ALL, IBaseFilter::iid,
                                   m_grabber.ReceiveVoid()),
                  S_OK);
        InterfaceRef<ISampleGrabber> control;
        ASSERT_EQ(control.Query(m_grabber.Get()), S_OK);
        media::MediaType videoType;
        videoType.majortype = MEDIATYPE_Video;
        videoType.subtype = MEDIASUBTYPE_RGB24;
        ASSERT_EQ(control->SetMediaType(&videoType), S_OK);
        ASSERT_EQ(m_graph->AddFilter(m_grabber.Get(), u"VideoGrabber"), S_OK);
        ASSERT_EQ(
            m_graph->Connect(OutputPinAt(m_source.Get(), 0).Get(), InputPinAt(m_grabber.Get(), 0).Get()),
            S_OK);
        m_grabberOut = OutputPinAt(m_grabber.Get(), 0);
        ASSERT_TRUE(m_grabberOut);
    }
    void TearDown() override {
        m_grabberOut.Reset();
        m_mux.Reset();
        m_grabber.Reset();
        m_source.Reset();
        m_graph.Reset();
        fs::remove(m_output);
    }

    void AddMultiplexer() {
        InterfaceRef<ICaptureGraphBuilder> builder;
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_ALL, ICaptureGraphBuilder::iid,
                                   builder.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(builder->SetFiltergraph(m_graph.Get()), S_OK);
        InterfaceRef<IFileSinkFilter> sink;
        const std::u16string output = ToWide(m_output.string());
        ASSERT_EQ(
            builder->SetOutputFileName(&MEDIASUBTYPE_Avi, output.c_str(), m_mux.Receive(), sink.Receive()),
            S_OK);
    }

    fs::path m_output;
    InterfaceRef<IGraphBuilder> m_graph;
    InterfaceRef<IBaseFilter> m_source;
    InterfaceRef<IBaseFilter> m_grabber;
    InterfaceRef<IPin> m_grabberOut;
    InterfaceRef<IBaseFilter> m_mux;
};

TEST_F(PinLookupTest, FindsTheSplittersAudioOutputUpstreamOfTheVideoGrabber) {
    InterfaceRef<IPin> audio;
    ASSERT_EQ(FindUpstreamOutputPin(m_grabberOut.Get(), MEDIATYPE_Audio, 0, audio.Receive()), S_OK);
    ASSERT_TRUE(audio);
    EXPECT_EQ(FirstMajorType(audio.Get()), MEDIATYPE_Audio);
    PIN_DIRECTION direction{};
    ASSERT_EQ(audio->QueryDirection(&direction), S_OK);
    EXPECT_EQ(direction, PINDIR_OUTPUT);
    IBaseFilter* owner = FilterOf(audio.Get());
    EXPECT_NE(owner, m_grabber.Get());
    EXPECT_NE(owner, m_source.Get());
    InterfaceRef<IPin> peer;
    EXPECT_LT(audio->ConnectedTo(peer.Receive()), 0) << "a free output pin matches as well";

    // The input has one audio stream only.
    InterfaceRef<IPin> second;
    EXPECT_EQ(FindUpstreamOutputPin(m_grabberOut.Get(), MEDIATYPE_Audio, 1, second.Receive()), E_FAIL);
    EXPECT_FALSE(second);
}

TEST_F(PinLookupTest, SearchesTheStartPinsOwnFilterFirst) {
    InterfaceRef<IPin> video;
    ASSERT_EQ(FindUpstreamOutputPin(m_grabberOut.Get(), MEDIATYPE_Video, 0, video.Receive()), S_OK);
    EXPECT_EQ(video.Get(), m_grabberOut.Get());
}

TEST_F(PinLookupTest, EndsAtTheSourceWhenNoOutputMatches) {
    // No pin of this graph offers a format GUID as its major type.
    InterfaceRef<IPin> none;
    EXPECT_EQ(FindUpstreamOutputPin(m_grabberOut.Get(), FORMAT_VideoInfo, 0, none.Receive()), E_FAIL);
    EXPECT_FALSE(none);
    EXPECT_EQ(FindUpstreamOutputPin(nullptr, MEDIATYPE_Audio, 0, none.Receive()), E_FAIL);
    EXPECT_EQ(FindUpstreamOutputPin(m_grabberOut.Get(), MEDIATYPE_Audio, 0, nullptr), E_POINTER);
}

TEST_F(PinLookupTest, TheMultiplexerOffersASecondInputOnceTheFirstIsConnected) {
    AddMultiplexer();
    EXPECT_TRUE(InputPinAt(m_mux.Get(), 0));
    EXPECT_FALSE(InputPinAt(m_mux.Get(), 1));

    InterfaceRef<IPin> audio;
    ASSERT_EQ(FindUpstreamOutputPin(m_grabberOut.Get(), MEDIATYPE_Audio, 0, audio.Receive()), S_OK);
    ASSERT_EQ(m_graph->Connect(audio.Get(), InputPinAt(m_mux.Get(), 0).Get()), S_OK);
    InterfaceRef<IPin> second = InputPinAt(m_mux.Get(), 1);
    ASSERT_TRUE(second);
    InterfaceRef<IPin> peer;
    EXPECT_LT(second->ConnectedTo(peer.Receive()), 0) << "the second input is the free one";
}

TEST_F(PinLookupTest, PinAtFailsForADirectionTheFilterLacks) {
    InterfaceRef<IPin> pin;
    EXPECT_EQ(PinAt(m_source.Get(), PINDIR_INPUT, 0, pin.Receive()), E_FAIL) << "a file source has no input";
    EXPECT_FALSE(pin);
    EXPECT_FALSE(InputPinAt(m_source.Get(), 0));
    EXPECT_FALSE(OutputPinAt(m_source.Get(), 1)) << "nor a second output";
    EXPECT_EQ(PinAt(nullptr, PINDIR_INPUT, 0, pin.Receive()), E_POINTER);
    EXPECT_EQ(PinAt(m_source.Get(), PINDIR_OUTPUT, 0, nullptr), E_POINTER);
}

}  // namespace
