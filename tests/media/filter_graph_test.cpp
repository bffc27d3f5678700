// The graph manager with small filters of the test's own: intelligent connect, state changes,
// completion and abort events, and clean-up.

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/ffmpeg/media_sample.h"
#include "media/graph/filter_base.h"
#include "media/graph/filter_registry.h"

using namespace media;

namespace {

const GUID kRawTest = FourCCGuid(MakeFourCC('T', 'S', 'T', '1'));
const GUID kCookedTest = FourCCGuid(MakeFourCC('T', 'S', 'T', '2'));
const GUID kUnreachable = FourCCGuid(MakeFourCC('T', 'S', 'T', '3'));
const CLSID kTestIntermediate = TessarelClassId(0x7E01);

MediaType TypeWithSubtype(const GUID& subtype) {
    MediaType t;
    t.majortype = MEDIATYPE_Video;
    t.subtype = subtype;
    t.formattype = FORMAT_None;
    return t;
}

class OfferingOutput : public OutputPin {
public:
    OfferingOutput(FilterBase& f, GUID subtype) : OutputPin(f, u"Out"), m_subtype(subtype) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& t) override { return t.subtype == m_subtype ? S_OK : E_FAIL; }
    std::vector<MediaType> OfferedTypes() override { return {TypeWithSubtype(m_subtype)}; }

private:
    GUID m_subtype;
};

// Pushes `count` samples then the end of stream; with count < 0 it streams until stopped.
class TestSource final : public FilterBase {
public:
    explicit TestSource(int count) : FilterBase(GUID_NULL), m_out(*this, kRawTest), m_count(count) {}
    std::vector<PinBase*> Pins() override { return {&m_out}; }
    OfferingOutput m_out;

protected:
    HRESULT OnActivate() override {
        m_thread = std::jthread([this](std::stop_token stop) {
            for (int i = 0; (m_count < 0 || i < m_count) && !stop.stop_requested(); ++i) {
                ComPtr<IMediaSample> s = ComPtr<IMediaSample>::Adopt(MediaSample::Create(16));
                REFERENCE_TIME start = i * 400000LL, end = start + 400000LL;
                s->SetTime(&start, &end);
                if (m_out.Deliver(s.Get()) != S_OK) return;
                if (m_count < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (!stop.stop_requested()) m_out.DeliverEndOfStream();
        });
        return S_OK;
    }
    void OnDeactivate() override {
        m_thread.request_stop();
        if (m_thread.joinable()) m_thread.join();
    }

private:
    int m_count;
    std::jthread m_thread;
};

class PassInput : public InputPin {
public:
    PassInput(FilterBase& f, GUID accepted, OutputPin* forward)
        : InputPin(f, u"In"), m_accepted(accepted), m_forward(forward) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& t) override { return t.subtype == m_accepted ? S_OK : E_FAIL; }
    HRESULT Receive(IMediaSample* s) override {
        if (!IsAccepting()) return VFW_E_WRONG_STATE;
        ++received;
        return m_forward ? m_forward->Deliver(s) : S_OK;
    }
    HRESULT EndOfStream() override {
        if (m_forward) return m_forward->DeliverEndOfStream();
        Filter().NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(&Filter()));
        return S_OK;
    }
    std::atomic<int> received{0};

private:
    GUID m_accepted;
    OutputPin* m_forward;
};

// Turns TST1 into TST2: what intelligent connect has to find.
class TestIntermediate final : public FilterBase {
public:
    TestIntermediate() : FilterBase(kTestIntermediate), m_out(*this, kCookedTest), m_in(*this, kRawTest, &m_out) {}
    std::vector<PinBase*> Pins() override { return {&m_in, &m_out}; }

private:
    OfferingOutput m_out;
    PassInput m_in;
};

class TestRenderer final : public FilterBase {
public:
    explicit TestRenderer(GUID accepted)
        : FilterBase(GUID_NULL, AM_FILTER_MISC_FLAGS_IS_RENDERER), m_in(*this, accepted, nullptr) {}
    std::vector<PinBase*> Pins() override { return {&m_in}; }
    PassInput m_in;
};

class FilterGraphTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterClass(kTestIntermediate, [] { return static_cast<IBaseFilter*>(new TestIntermediate); });
        RegisterIntermediateFilter({kTestIntermediate, u"Test Intermediate", MERIT_UNLIKELY,
                                    [](const AM_MEDIA_TYPE& t) { return t.subtype == kRawTest; }});
    }

    void SetUp() override {
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IGraphBuilder::iid, m_graph.ReceiveVoid()),
                  S_OK);
        m_control = m_graph.As<IMediaControl>();
        m_events = m_graph.As<IMediaEvent>();
    }

    int FilterCount() {
        ComPtr<IEnumFilters> e;
        m_graph->EnumFilters(e.Receive());
        int n = 0;
        IBaseFilter* f = nullptr;
        ULONG fetched = 0;
        while (e->Next(1, &f, &fetched) == S_OK) {
            f->Release();
            ++n;
        }
        return n;
    }

    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IMediaControl> m_control;
    ComPtr<IMediaEvent> m_events;
};

TEST_F(FilterGraphTest, ConnectInsertsARegisteredFilterAndRunsToCompletion) {
    auto* source = new TestSource(25);
    auto* renderer = new TestRenderer(kCookedTest);
    ASSERT_EQ(m_graph->AddFilter(source, u"Source"), S_OK);
    ASSERT_EQ(m_graph->AddFilter(renderer, u"Renderer"), S_OK);

    ASSERT_EQ(m_graph->Connect(&source->m_out, &renderer->m_in), S_OK);
    EXPECT_EQ(FilterCount(), 3);
    ComPtr<IBaseFilter> inserted;
    EXPECT_EQ(m_graph->FindFilterByName(u"Test Intermediate", inserted.Receive()), S_OK);

    LONG code = -1;
    EXPECT_EQ(m_events->WaitForCompletion(0, &code), VFW_E_WRONG_STATE) << "nothing runs yet";
    ASSERT_EQ(m_control->Run(), S_OK);
    EXPECT_EQ(m_events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(renderer->m_in.received.load(), 25);
    EXPECT_EQ(m_control->Stop(), S_OK);

    source->Release();
    renderer->Release();
}

TEST_F(FilterGraphTest, ConnectFailsCleanlyWhenNothingBridgesTheTypes) {
    auto* source = new TestSource(1);
    auto* renderer = new TestRenderer(kUnreachable);
    m_graph->AddFilter(source, u"Source");
    m_graph->AddFilter(renderer, u"Renderer");

    EXPECT_EQ(m_graph->Connect(&source->m_out, &renderer->m_in), VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(FilterCount(), 2) << "a tried intermediate filter is taken out again";
    EXPECT_FALSE(source->m_out.IsConnected());

    source->Release();
    renderer->Release();
}

TEST_F(FilterGraphTest, WaitTimesOutWhileRunningAndStopJoinsTheStream) {
    auto* source = new TestSource(-1);
    auto* renderer = new TestRenderer(kRawTest);
    m_graph->AddFilter(source, u"Source");
    m_graph->AddFilter(renderer, u"Renderer");
    ASSERT_EQ(m_graph->Connect(&source->m_out, &renderer->m_in), S_OK);
    ASSERT_EQ(m_control->Run(), S_OK);

    LONG code = -1;
    EXPECT_EQ(m_events->WaitForCompletion(100, &code), E_ABORT);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(m_control->Stop(), S_OK);
    OAFilterState state = -1;
    m_control->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_GT(renderer->m_in.received.load(), 0);

    source->Release();
    renderer->Release();
}

TEST_F(FilterGraphTest, StreamingErrorsReachTheWaiterAsAbort) {
    auto* renderer = new TestRenderer(kRawTest);
    m_graph->AddFilter(renderer, u"Renderer");
    ASSERT_EQ(m_control->Run(), S_OK);
    renderer->NotifyEvent(EC_ERRORABORT, E_FAIL);
    LONG code = 0;
    EXPECT_EQ(m_events->WaitForCompletion(1000, &code), S_OK);
    EXPECT_EQ(code, EC_ERRORABORT);
    m_control->Stop();
    renderer->Release();
}

TEST_F(FilterGraphTest, AnAbortHoldsItsPinUntilFreedAndGoesWithARemovedFilter) {
    // One abort is taken before its filter leaves the graph: its pin stays readable until
    // FreeEventParams. The other is still queued when its filter leaves: it leaves with it.
    auto* taken = new TestRenderer(kRawTest);
    auto* queued = new TestRenderer(kRawTest);
    m_graph->AddFilter(taken, u"Taken");
    m_graph->AddFilter(queued, u"Queued");
    ASSERT_EQ(m_control->Run(), S_OK);
    for (TestRenderer* r : {taken, queued})
        r->NotifyEvent(EC_ERRORABORT, E_FAIL, reinterpret_cast<LONG_PTR>(static_cast<IPin*>(&r->m_in)));
    m_control->Stop();
    LONG code = 0;
    LONG_PTR result = 0;
    LONG_PTR pin = 0;
    ASSERT_EQ(m_events->GetEvent(&code, &result, &pin, 0), S_OK);
    for (TestRenderer* r : {taken, queued}) {
        m_graph->RemoveFilter(r);
        r->Release();
    }
    PIN_INFO info{};
    ASSERT_EQ(reinterpret_cast<IPin*>(pin)->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(ComPtr<IBaseFilter>::Adopt(info.pFilter).Get(), static_cast<IBaseFilter*>(taken));
    EXPECT_EQ(m_events->FreeEventParams(code, result, pin), S_OK);
    EXPECT_EQ(m_events->GetEvent(&code, &result, &pin, 0), E_ABORT) << "no event names a pin that is gone";
}

TEST_F(FilterGraphTest, DuplicateNamesAreMadeUniqueAndRemoveDisconnects) {
    auto* a = new TestSource(1);
    auto* b = new TestRenderer(kRawTest);
    EXPECT_EQ(m_graph->AddFilter(a, u"Same"), S_OK);
    EXPECT_EQ(m_graph->AddFilter(b, u"Same"), VFW_S_DUPLICATE_NAME);
    ASSERT_EQ(m_graph->ConnectDirect(&a->m_out, &b->m_in, nullptr), S_OK);
    EXPECT_EQ(m_graph->RemoveFilter(b), S_OK);
    EXPECT_FALSE(a->m_out.IsConnected());
    EXPECT_FALSE(b->m_in.IsConnected());
    FILTER_INFO info{};
    b->QueryFilterInfo(&info);
    EXPECT_EQ(info.pGraph, nullptr);
    a->Release();
    b->Release();
}

TEST_F(FilterGraphTest, GraphWithoutSeekingSinksAnswersNotImplemented) {
    ComPtr<IMediaSeeking> seeking = m_graph.As<IMediaSeeking>();
    DWORD caps = 0;
    LONGLONG duration = 0;
    EXPECT_EQ(seeking->GetCapabilities(&caps), E_NOTIMPL);
    EXPECT_EQ(seeking->CheckCapabilities(&caps), E_NOTIMPL) << "not E_FAIL: nothing was asked of a sink";
    EXPECT_EQ(seeking->GetDuration(&duration), E_NOTIMPL);
    EXPECT_EQ(seeking->GetPositions(&duration, nullptr), E_NOTIMPL);
    EXPECT_EQ(seeking->GetAvailable(nullptr, &duration), E_NOTIMPL);
    EXPECT_EQ(seeking->IsUsingTimeFormat(&TIME_FORMAT_MEDIA_TIME), S_OK) << "the time format is the graph's";
}

}  // namespace
