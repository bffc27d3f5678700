// The file source and the splitter: what loads, what connects, which pins appear, and what the
// streaming thread delivers, checked against libavformat reading the same files directly.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "media/api/class_registry.h"
#include "media/api/task_memory.h"
#include "media/api/uuids.h"
#include "media/com/com_ptr.h"
#include "media/com/wide_text.h"
#include "media/filters/open_source_files.h"
#include "media/graph/filter_registry.h"
#include "media/recording_sink.h"
#include "media/registered_classes.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace media {
namespace {

using mediatest::RecordedSample;
using mediatest::RecordingSink;
using namespace std::chrono_literals;

constexpr auto kTimeout = 30s;

ComPtr<IBaseFilter> CreateFilter(REFCLSID clsid) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.ReceiveVoid()),
              S_OK);
    return filter;
}

HRESULT LoadInto(IBaseFilter* source, const std::filesystem::path& file) {
    ComPtr<IFileSourceFilter> loader = ComPtr<IBaseFilter>(source).As<IFileSourceFilter>();
    return loader->Load(ToUtf16(file.string()).c_str(), nullptr);
}

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter, PIN_DIRECTION direction) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> pinEnum;
    filter->EnumPins(pinEnum.Receive());
    IPin* pin = nullptr;
    while (pinEnum->Next(1, &pin, nullptr) == S_OK) {
        ComPtr<IPin> held = ComPtr<IPin>::Adopt(pin);
        PIN_DIRECTION found{};
        held->QueryDirection(&found);
        if (found == direction) pins.push_back(held);
    }
    return pins;
}

std::u16string PinId(IPin* pin) {
    LPWSTR id = nullptr;
    pin->QueryId(&id);
    std::u16string text = id ? id : u"";
    CoTaskMemFree(id);
    return text;
}

double Seconds(REFERENCE_TIME time) {
    return static_cast<double>(time) / 1e7;
}

// A file source feeding a splitter, with recording sinks on the outputs the test attaches. The
// filters are stopped and every connection is undone on destruction, sinks first.
class SplitterChain {
public:
    explicit SplitterChain(const std::filesystem::path& file)
        : source(CreateFilter(CLSID_AsyncReader)), splitter(CreateFilter(CLSID_MediaSplitter)) {
        loadResult = LoadInto(source.Get(), file);
        if (SUCCEEDED(loadResult)) connectResult = SourcePin()->Connect(SplitterInput().Get(), nullptr);
    }
    ~SplitterChain() {
        Stop();
        for (auto& [output, sink] : m_sinks) {
            sink->Input()->Disconnect();
            output->Disconnect();
        }
        SplitterInput()->Disconnect();
        SourcePin()->Disconnect();
    }

    ComPtr<IPin> SourcePin() { return PinsOf(source.Get(), PINDIR_OUTPUT).front(); }
    ComPtr<IPin> SplitterInput() { return PinsOf(splitter.Get(), PINDIR_INPUT).front(); }
    std::vector<ComPtr<IPin>> Outputs() { return PinsOf(splitter.Get(), PINDIR_OUTPUT); }
    ComPtr<IMediaSeeking> Seeking() { return Outputs().front().As<IMediaSeeking>(); }

    RecordingSink* Attach(const ComPtr<IPin>& output) {
        ComPtr<RecordingSink> sink = ComPtr<RecordingSink>::Adopt(RecordingSink::Create());
        EXPECT_EQ(output->Connect(sink->Input(), nullptr), S_OK);
        m_sinks.emplace_back(output, sink);
        return sink.Get();
    }
    std::vector<RecordingSink*> AttachAll() {
        std::vector<RecordingSink*> sinks;
        for (const ComPtr<IPin>& output : Outputs()) sinks.push_back(Attach(output));
        return sinks;
    }

    // In the graph's order: sinks before the source on the way up, the source first on the way down.
    void Run() {
        for (auto& entry : m_sinks) entry.second->Run(0);
        ASSERT_EQ(splitter->Run(0), S_OK);
    }
    void Stop() {
        splitter->Stop();
        for (auto& entry : m_sinks) entry.second->Stop();
    }
    [[nodiscard]] bool WaitForEndOfStreams() {
        for (auto& entry : m_sinks) {
            if (!entry.second->WaitForEndOfStream(kTimeout)) return false;
        }
        return true;
    }

    ComPtr<IBaseFilter> source;
    ComPtr<IBaseFilter> splitter;
    HRESULT loadResult = E_FAIL;
    HRESULT connectResult = E_FAIL;

private:
    std::vector<std::pair<ComPtr<IPin>, ComPtr<RecordingSink>>> m_sinks;
};

class ScratchFolder {
public:
    ScratchFolder()
        : m_path(std::filesystem::temp_directory_path() / ("splitter_test_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() { std::filesystem::remove_all(m_path); }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// --- file source ---------------------------------------------------------------------------------

TEST(FileSourceTest, LoadRefusesWhatItCannotReadWithTheMatchingCode) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder / "folder");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::ofstream(folder / "empty").close();

    const struct {
        std::filesystem::path path;
        HRESULT expected;
    } cases[] = {
        {folder / "missing.mpg", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
        {folder / "no_such_folder" / "clip.mpg", HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
        {folder / "folder", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)},
        // A FIFO must neither block the caller nor be taken for a file.
        {folder / "fifo", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)},
        {folder / "empty", S_OK},
    };
    for (const auto& c : cases) {
        ComPtr<IBaseFilter> source = CreateFilter(CLSID_AsyncReader);
        EXPECT_EQ(LoadInto(source.Get(), c.path), c.expected) << c.path;
    }

    ComPtr<IBaseFilter> source = CreateFilter(CLSID_AsyncReader);
    ASSERT_EQ(LoadInto(source.Get(), folder / "missing.mpg"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(LoadInto(source.Get(), folder / "empty"), S_OK) << "a failed load leaves the source unloaded";
    EXPECT_EQ(LoadInto(source.Get(), folder / "empty"), E_UNEXPECTED) << "a source reads one file";
    const char16_t loneSurrogate[] = {u'a', 0xD800, u'b', 0};
    ComPtr<IBaseFilter> other = CreateFilter(CLSID_AsyncReader);
    EXPECT_EQ(other.As<IFileSourceFilter>()->Load(loneSurrogate, nullptr),
              HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
}

TEST(FileSourceTest, LoadRefusesAFileWithoutReadPermission) {
    if (::geteuid() == 0) GTEST_SKIP() << "root can read any file";
    ScratchFolder folder;
    std::ofstream(folder / "locked") << "data";
    std::filesystem::permissions(folder / "locked", std::filesystem::perms::none);
    ComPtr<IBaseFilter> source = CreateFilter(CLSID_AsyncReader);
    EXPECT_EQ(LoadInto(source.Get(), folder / "locked"), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
}

TEST(FileSourceTest, ReadsAnyRangeFromAnyThreadAndMarksTheFileOpen) {
    ScratchFolder folder;
    std::vector<BYTE> content(100'000);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<BYTE>(i * 7 + i / 251);
    std::ofstream(folder / "data.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    struct stat info {};
    ASSERT_EQ(::stat((folder / "data.bin").c_str(), &info), 0);

    {
        ComPtr<IBaseFilter> source = CreateFilter(CLSID_AsyncReader);
        EXPECT_FALSE(IsOpenAsSource(info.st_dev, info.st_ino));
        ASSERT_EQ(LoadInto(source.Get(), folder / "data.bin"), S_OK);
        EXPECT_TRUE(IsOpenAsSource(info.st_dev, info.st_ino));

        LPOLESTR name = nullptr;
        ASSERT_EQ(source.As<IFileSourceFilter>()->GetCurFile(&name, nullptr), S_OK);
        EXPECT_EQ(ToUtf8(name), (folder / "data.bin").string());
        CoTaskMemFree(name);

        ComPtr<IAsyncReader> reader = PinsOf(source.Get(), PINDIR_OUTPUT).front().As<IAsyncReader>();
        ASSERT_TRUE(reader);
        LONGLONG total = 0;
        LONGLONG available = 0;
        ASSERT_EQ(reader->Length(&total, &available), S_OK);
        EXPECT_EQ(total, 100'000);

        // Two threads reading interleaved ranges must each get exactly their own bytes.
        auto readAll = [&](int phase, bool& allMatched) {
            allMatched = true;
            std::vector<BYTE> buffer(997);
            for (LONGLONG at = phase * 997; at + 997 <= total; at += 2 * 997) {
                allMatched = allMatched && reader->SyncRead(at, 997, buffer.data()) == S_OK &&
                             std::equal(buffer.begin(), buffer.end(), content.begin() + at);
            }
        };
        bool firstMatched = false;
        bool secondMatched = false;
        std::thread other([&] { readAll(1, secondMatched); });
        readAll(0, firstMatched);
        other.join();
        EXPECT_TRUE(firstMatched && secondMatched);

        std::vector<BYTE> tail(40, 0xEE);
        EXPECT_EQ(reader->SyncRead(99'980, 40, tail.data()), S_FALSE) << "the file ends before the range";
        EXPECT_TRUE(std::equal(tail.begin(), tail.begin() + 20, content.end() - 20));
        EXPECT_TRUE(std::all_of(tail.begin() + 20, tail.end(), [](BYTE b) { return b == 0; }));
        EXPECT_EQ(reader->SyncRead(-1, 4, tail.data()), E_INVALIDARG);
    }
    EXPECT_FALSE(IsOpenAsSource(info.st_dev, info.st_ino)) << "the mark goes with the source";
}

// --- connection ----------------------------------------------------------------------------------

TEST(SplitterTest, IsRegisteredForIntelligentConnectOfByteStreams) {
    EnsureMediaClassesRegistered();  // as the first CoCreateInstance does
    const std::vector<RegisteredFilter> filters = IntermediateFiltersByMerit();
    const auto entry = std::find_if(filters.begin(), filters.end(),
                                    [](const RegisteredFilter& f) { return f.clsid == CLSID_MediaSplitter; });
    ASSERT_NE(entry, filters.end());
    EXPECT_EQ(entry->name, u"Splitter");
    EXPECT_EQ(entry->merit, MERIT_NORMAL + 0x1000);
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Stream;
    EXPECT_TRUE(entry->mayAcceptInput(type));
    type.majortype = MEDIATYPE_Video;
    EXPECT_FALSE(entry->mayAcceptInput(type));
}

TEST(SplitterTest, ConnectionFailsCleanlyForFilesThatAreNotMedia) {
    for (const char* name : {"empty.mpg", "not_media.avi"}) {
        SCOPED_TRACE(name);
        SplitterChain chain(testsupport::SamplePath(name));
        ASSERT_EQ(chain.loadResult, S_OK);
        EXPECT_TRUE(FAILED(chain.connectResult));
        // The code itself, as the splitter's input answers the source's offer.
        AM_MEDIA_TYPE stream{};
        stream.majortype = MEDIATYPE_Stream;
        stream.formattype = FORMAT_None;
        const HRESULT refused = chain.SplitterInput()->ReceiveConnection(chain.SourcePin().Get(), &stream);
        EXPECT_TRUE(refused == VFW_E_UNKNOWN_FILE_TYPE || refused == VFW_E_INVALID_FILE_FORMAT)
            << std::hex << refused;
        ComPtr<IPin> peer;
        EXPECT_EQ(chain.SourcePin()->ConnectedTo(peer.Receive()), VFW_E_NOT_CONNECTED);
        EXPECT_EQ(chain.SplitterInput()->ConnectedTo(peer.Receive()), VFW_E_NOT_CONNECTED);
        EXPECT_TRUE(chain.Outputs().empty());
    }
}

TEST(SplitterTest, DisconnectingTheInputTakesTheOutputsAndTheirConnectionsAway) {
    SplitterChain chain(testsupport::SamplePath("mpeg4_mp3.avi"));
    ASSERT_EQ(chain.connectResult, S_OK);
    ComPtr<IPin> video = chain.Outputs().front();
    ComPtr<RecordingSink> sink = ComPtr<RecordingSink>::Adopt(RecordingSink::Create());
    ASSERT_EQ(video->Connect(sink->Input(), nullptr), S_OK);

    ASSERT_EQ(chain.SplitterInput()->Disconnect(), S_OK);
    EXPECT_TRUE(chain.Outputs().empty());
    ComPtr<IPin> peer;
    EXPECT_EQ(sink->Input()->ConnectedTo(peer.Receive()), VFW_E_NOT_CONNECTED);
    // A caller still holding a dropped pin may use it without harm.
    LONGLONG duration = -1;
    EXPECT_EQ(video.As<IMediaSeeking>()->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 0);
    EXPECT_EQ(video.As<IMediaSeeking>()->SetPositions(&duration, AM_SEEKING_AbsolutePositioning, nullptr, 0),
              VFW_E_NOT_CONNECTED);
}

// --- every valid sample --------------------------------------------------------------------------

WORD ExpectedFormatTag(const std::string& codecName) {
    if (codecName == "mp2") return 0x0050;
    if (codecName == "mp3") return 0x0055;
    if (codecName == "ac3") return 0x2000;
    if (codecName == "aac") return 0x00FF;
    if (codecName.starts_with("pcm_")) return WAVE_FORMAT_PCM;
    return 0;
}

std::vector<std::uint8_t> SwappedPairs(std::vector<std::uint8_t> bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

class SplitterSampleTest : public ::testing::TestWithParam<const char*> {
protected:
    std::filesystem::path File() const { return testsupport::SamplePath(GetParam()); }
};

TEST_P(SplitterSampleTest, OffersOnePinPerStreamWithItsFormatAndDuration) {
    const testsupport::MediaSummary expected = testsupport::ReadBack(File());
    ASSERT_TRUE(expected.Ok()) << expected.error;
    SplitterChain chain(File());
    ASSERT_EQ(chain.connectResult, S_OK);

    const std::vector<ComPtr<IPin>> outputs = chain.Outputs();
    ASSERT_EQ(static_cast<int>(outputs.size()),
              expected.CountOf(AVMEDIA_TYPE_VIDEO) + expected.CountOf(AVMEDIA_TYPE_AUDIO));
    auto output = outputs.begin();
    for (const testsupport::StreamSummary& stream : expected.streams) {
        if (!stream.IsVideo() && !stream.IsAudio()) continue;
        SCOPED_TRACE(stream.codecName);
        EXPECT_EQ(PinId(output->Get()),
                  ToUtf16((stream.IsVideo() ? "Video " : "Audio ") + std::to_string(stream.index)));
        ComPtr<IEnumMediaTypes> types;
        ASSERT_EQ(output->Get()->EnumMediaTypes(types.Receive()), S_OK);
        AM_MEDIA_TYPE* offered = nullptr;
        ASSERT_EQ(types->Next(1, &offered, nullptr), S_OK);
        const MediaType type(*offered);
        DeleteMediaType(offered);
        EXPECT_EQ(types->Next(1, &offered, nullptr), S_FALSE) << "exactly one type";
        if (stream.IsVideo()) {
            ASSERT_NE(type.VideoInfo(), nullptr);
            EXPECT_EQ(type.VideoInfo()->bmiHeader.biWidth, stream.width);
            EXPECT_EQ(type.VideoInfo()->bmiHeader.biHeight, stream.height);
        } else {
            ASSERT_NE(type.WaveFormat(), nullptr);
            EXPECT_EQ(type.WaveFormat()->wFormatTag, ExpectedFormatTag(stream.codecName));
            EXPECT_EQ(type.WaveFormat()->nSamplesPerSec, static_cast<DWORD>(stream.sampleRate));
            EXPECT_EQ(type.WaveFormat()->nChannels, stream.channels);
        }
        ++output;
    }

    LONGLONG duration = 0;
    ASSERT_EQ(chain.Seeking()->GetDuration(&duration), S_OK);
    EXPECT_NEAR(Seconds(duration), expected.durationSeconds, 0.1);
}

TEST_P(SplitterSampleTest, DeliversEveryPacketOfEveryStreamInOrder) {
    const testsupport::MediaSummary expected = testsupport::ReadBack(File());
    SplitterChain chain(File());
    ASSERT_EQ(chain.connectResult, S_OK);
    std::vector<RecordingSink*> sinks = chain.AttachAll();
    for (RecordingSink* sink : sinks) sink->KeepPayload(true);
    chain.Run();
    ASSERT_TRUE(chain.WaitForEndOfStreams());

    std::size_t next = 0;
    for (const testsupport::StreamSummary& stream : expected.streams) {
        if (!stream.IsVideo() && !stream.IsAudio()) continue;
        SCOPED_TRACE(stream.codecName);
        RecordingSink& sink = *sinks[next++];
        const std::vector<RecordedSample> samples = sink.Samples();
        EXPECT_EQ(sink.EndOfStreamCount(), 1);
        ASSERT_EQ(static_cast<std::int64_t>(samples.size()), stream.packetCount);
        EXPECT_TRUE(samples.front().discontinuity && samples.front().syncPoint);
        EXPECT_EQ(
            std::count_if(samples.begin(), samples.end(), [](const auto& s) { return s.discontinuity; }), 1);
        // Nothing before the start of the file, not even AAC's priming packet, which players drop.
        EXPECT_TRUE(std::all_of(samples.begin(), samples.end(),
                                [&](const auto& s) { return s.hasTime && s.start >= 0 && !s.preroll; }));
        if (stream.IsAudio()) {
            EXPECT_TRUE(std::is_sorted(samples.begin(), samples.end(),
                                       [](const auto& a, const auto& b) { return a.start < b.start; }));
            const bool bigEndian = stream.codecName == "pcm_s16be";
            EXPECT_TRUE(sink.Payload() == (bigEndian ? SwappedPairs(stream.audioBytes) : stream.audioBytes))
                << "audio bytes differ from the file's";
        } else {
            // Same spacing as libavformat's own timestamps (the splitter only moves their origin).
            std::vector<double> times;
            for (const RecordedSample& s : samples) times.push_back(Seconds(s.start));
            std::sort(times.begin(), times.end());
            for (std::size_t i = 0; i < times.size(); ++i) {
                ASSERT_NEAR(times[i] - times[0], stream.videoPts[i] - stream.videoPts[0], 1e-4)
                    << "frame " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SplitterSampleTest,
                         ::testing::Values("mpeg1_mp2.mpg", "mpeg2_ac3.mpg", "mpeg4_mp3.avi", "mjpeg_pcm.avi",
                                           "h264_aac.mov", "pcm_be.mov", "video_only.avi", "audio_only.mpg",
                                           "vfr.mov", "odd_size.avi", "late_video.mov"),
                         [](const auto& test) {
                             std::string name = test.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

// --- particular inputs ---------------------------------------------------------------------------

TEST(SplitterTest, StreamsKeepTheirOffsetFromTheStartOfTheFile) {
    SplitterChain chain(testsupport::SamplePath("late_video.mov"));
    ASSERT_EQ(chain.connectResult, S_OK);
    std::vector<RecordingSink*> sinks = chain.AttachAll();
    chain.Run();
    ASSERT_TRUE(chain.WaitForEndOfStreams());
    const std::vector<ComPtr<IPin>> outputs = chain.Outputs();
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const bool video = PinId(outputs[i].Get()).starts_with(u"Video");
        EXPECT_NEAR(Seconds(sinks[i]->Samples().front().start), video ? 0.5 : 0.0, 0.01);
    }
}

TEST(SplitterTest, WhatAnEditListCutsAwayIsPrerollVideoAndNoAudio) {
    const std::filesystem::path file = testsupport::SamplePath("trimmed.mov");
    const testsupport::MediaSummary expected = testsupport::ReadBack(file);
    ASSERT_TRUE(expected.Ok()) << expected.error;
    SplitterChain chain(file);
    ASSERT_EQ(chain.connectResult, S_OK);
    std::vector<RecordingSink*> sinks = chain.AttachAll();
    ASSERT_EQ(sinks.size(), 2u);
    sinks[1]->KeepPayload(true);
    chain.Run();
    ASSERT_TRUE(chain.WaitForEndOfStreams());

    // Video: every packet, since the pictures after the cut need the ones before it; the cut ones
    // as preroll. What is shown starts at 0.
    const std::vector<RecordedSample> video = sinks[0]->Samples();
    const testsupport::StreamSummary& videoIn = expected.Video();
    ASSERT_GT(videoIn.discardedPackets, 0);
    EXPECT_EQ(static_cast<std::int64_t>(video.size()), videoIn.packetCount + videoIn.discardedPackets);
    EXPECT_EQ(std::count_if(video.begin(), video.end(), [](const auto& s) { return s.preroll; }),
              videoIn.discardedPackets);
    REFERENCE_TIME firstShown = std::numeric_limits<REFERENCE_TIME>::max();
    for (const RecordedSample& s : video) {
        if (s.preroll) {
            EXPECT_LT(s.start, 0);
        } else {
            firstShown = std::min(firstShown, s.start);
        }
    }
    EXPECT_EQ(firstShown, 0);

    // Audio: no preroll, and nothing a player would not play but the straddling packet's cut part:
    // the stream starts within half a packet of 0, with the file's own bytes.
    const std::vector<RecordedSample> audio = sinks[1]->Samples();
    ASSERT_FALSE(audio.empty());
    EXPECT_TRUE(std::none_of(audio.begin(), audio.end(), [](const auto& s) { return s.preroll; }));
    const REFERENCE_TIME packet = audio.front().stop - audio.front().start;
    EXPECT_LE(std::abs(audio.front().start), packet / 2);
    const std::vector<std::uint8_t> payload = sinks[1]->Payload();
    const std::vector<std::uint8_t>& kept = expected.Audio().audioBytes;
    ASSERT_LE(payload.size(), kept.size());
    EXPECT_TRUE(
        std::equal(payload.begin(), payload.end(), kept.end() - static_cast<std::ptrdiff_t>(payload.size())));
    EXPECT_LE(static_cast<std::int64_t>(audio.size()), expected.Audio().packetCount);
    EXPECT_GE(static_cast<std::int64_t>(audio.size()), expected.Audio().packetCount - 1);
}

TEST(SplitterTest, OddFrameSizeIsOfferedAsItIs) {
    SplitterChain chain(testsupport::SamplePath("odd_size.avi"));
    ASSERT_EQ(chain.connectResult, S_OK);
    ComPtr<IEnumMediaTypes> types;
    chain.Outputs().front()->EnumMediaTypes(types.Receive());
    AM_MEDIA_TYPE* type = nullptr;
    ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    EXPECT_EQ(info->bmiHeader.biWidth, 321);
    EXPECT_EQ(info->bmiHeader.biHeight, 241);
    EXPECT_EQ(info->AvgTimePerFrame, 400'000);
    DeleteMediaType(type);
}

TEST(SplitterTest, BigEndianPcmIsOfferedAsLittleEndianPcm) {
    SplitterChain chain(testsupport::SamplePath("pcm_be.mov"));
    ASSERT_EQ(chain.connectResult, S_OK);
    ComPtr<IPin> audio = chain.Outputs().back();
    RecordingSink* sink = chain.Attach(audio);
    const WAVEFORMATEX* format = sink->ConnectionType().WaveFormat();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(sink->ConnectionType().subtype, MEDIASUBTYPE_PCM);
    EXPECT_EQ(format->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format->wBitsPerSample, 16);
    EXPECT_EQ(format->nBlockAlign, 4);
    EXPECT_EQ(format->nAvgBytesPerSec, 48'000u * 4);
}

TEST(SplitterTest, DvdLpcmArrivesAsTheSamePcmSamplesThatFfmpegDecodes) {
    ScratchFolder folder;
    const std::string vob = (folder / "lpcm.vob").string();
    const std::string decoded = (folder / "lpcm.raw").string();
    const std::string make =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
        "'aevalsrc=exprs=0.25*sin(2*PI*440*t)|0.25*sin(2*PI*660*t):sample_rate=48000:duration=2' "
        "-c:a pcm_dvd -sample_fmt s16 -f vob '" +
        vob + "' && ffmpeg -nostdin -loglevel error -y -i '" + vob + "' -f s16le '" + decoded + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::ifstream raw(decoded, std::ios::binary);
    const std::vector<std::uint8_t> expected((std::istreambuf_iterator<char>(raw)),
                                             std::istreambuf_iterator<char>());

    SplitterChain chain(vob);
    ASSERT_EQ(chain.connectResult, S_OK);
    RecordingSink* sink = chain.Attach(chain.Outputs().front());
    sink->KeepPayload(true);
    EXPECT_EQ(sink->ConnectionType().subtype, MEDIASUBTYPE_PCM);
    EXPECT_EQ(sink->ConnectionType().WaveFormat()->wBitsPerSample, 16);
    chain.Run();
    ASSERT_TRUE(chain.WaitForEndOfStreams());
    const std::vector<RecordedSample> samples = sink->Samples();
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](const auto& s) { return s.size % 4 == 0; }))
        << "only whole sample frames";
    EXPECT_EQ(sink->Payload().size(), expected.size());
    EXPECT_TRUE(sink->Payload() == expected);
}

TEST(SplitterTest, DamagedFilesDeliverWhatCanBeReadThenEndTheStream) {
    const testsupport::MediaSummary whole = testsupport::ReadBack(testsupport::SamplePath("mpeg1_mp2.mpg"));
    for (const char* name : {"truncated.mpg", "corrupt_middle.avi"}) {
        SCOPED_TRACE(name);
        SplitterChain chain(testsupport::SamplePath(name));
        ASSERT_EQ(chain.connectResult, S_OK);
        std::vector<RecordingSink*> sinks = chain.AttachAll();
        chain.Run();
        ASSERT_TRUE(chain.WaitForEndOfStreams());
        EXPECT_GT(sinks.front()->Samples().size(), 10u);
        if (std::string(name) == "truncated.mpg") {
            EXPECT_LT(static_cast<std::int64_t>(sinks.front()->Samples().size()), whole.Video().packetCount);
        }
    }
}

// --- streaming control ---------------------------------------------------------------------------

TEST(SplitterTest, OnlyConnectedStreamsAreDelivered) {
    const testsupport::MediaSummary expected =
        testsupport::ReadBack(testsupport::SamplePath("mpeg4_mp3.avi"));
    SplitterChain chain(testsupport::SamplePath("mpeg4_mp3.avi"));
    ASSERT_EQ(chain.connectResult, S_OK);
    RecordingSink* video = chain.Attach(chain.Outputs().front());
    chain.Run();
    ASSERT_TRUE(chain.WaitForEndOfStreams());
    const std::vector<RecordedSample> samples = video->Samples();
    EXPECT_EQ(static_cast<std::int64_t>(samples.size()), expected.Video().packetCount);
    EXPECT_EQ(std::count_if(samples.begin(), samples.end(), [](const auto& s) { return s.syncPoint; }), 3)
        << "a key frame every 25 frames";
}

TEST(SplitterTest, AFailedDeliveryStopsStreamingWithoutEndOfStream) {
    SplitterChain chain(testsupport::SamplePath("mjpeg_pcm.avi"));
    ASSERT_EQ(chain.connectResult, S_OK);
    std::vector<RecordingSink*> sinks = chain.AttachAll();
    sinks[0]->FailAfter(5);
    chain.Run();
    ASSERT_TRUE(sinks[0]->WaitForSamples(5, kTimeout));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sinks[0]->Samples().size(), 5u);
    const std::size_t audioSoFar = sinks[1]->Samples().size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sinks[1]->Samples().size(), audioSoFar) << "the other stream stops as well";
    EXPECT_EQ(sinks[0]->EndOfStreamCount() + sinks[1]->EndOfStreamCount(), 0);
}

TEST(SplitterTest, StopJoinsTheStreamingThreadAtAnyMoment) {
    for (const auto wait : {0ms, 1ms, 5ms, 20ms, 80ms}) {
        SplitterChain chain(testsupport::SamplePath("mpeg2_ac3.mpg"));
        ASSERT_EQ(chain.connectResult, S_OK);
        for (RecordingSink* sink : chain.AttachAll()) sink->DelayEachSample(300us);
        chain.Run();
        std::this_thread::sleep_for(wait);
        const auto before = std::chrono::steady_clock::now();
        chain.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 2s) << "after " << wait.count() << " ms";
    }
}

TEST(SplitterTest, SeekingWhileStoppedStartsTheNextRunAtTheKeyFrameBefore) {
    SplitterChain chain(testsupport::SamplePath("video_only.avi"));
    ASSERT_EQ(chain.connectResult, S_OK);
    RecordingSink* sink = chain.Attach(chain.Outputs().front());
    ComPtr<IMediaSeeking> seeking = chain.Seeking();
    LONGLONG position = 15'000'000;
    ASSERT_EQ(
        seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
        S_OK);
    ASSERT_EQ(seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, 15'000'000);

    chain.Run();
    ASSERT_TRUE(chain.WaitForEndOfStreams());
    std::vector<RecordedSample> samples = sink->Samples();
    ASSERT_EQ(samples.size(), 50u) << "from the key frame at 1 s to the end";
    EXPECT_EQ(samples.front().start, 10'000'000);
    EXPECT_TRUE(samples.front().syncPoint && samples.front().discontinuity);
    ASSERT_EQ(seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, 29'600'000) << "the last frame delivered";

    // As preview does it: stop, back to the start, play again.
    chain.Stop();
    sink->Clear();
    position = 0;
    ASSERT_EQ(
        seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
        S_OK);
    chain.Run();
    ASSERT_TRUE(chain.WaitForEndOfStreams());
    samples = sink->Samples();
    ASSERT_EQ(samples.size(), 75u);
    EXPECT_EQ(samples.front().start, 0);
}

TEST(SplitterTest, SeekingWhileRunningFlushesDownstreamAndRestarts) {
    SplitterChain chain(testsupport::SamplePath("video_only.avi"));
    ASSERT_EQ(chain.connectResult, S_OK);
    RecordingSink* sink = chain.Attach(chain.Outputs().front());
    sink->DelayEachSample(2ms);
    chain.Run();
    ASSERT_TRUE(sink->WaitForSamples(10, kTimeout));
    LONGLONG position = 0;
    ASSERT_EQ(chain.Seeking()->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_TRUE(chain.WaitForEndOfStreams());

    EXPECT_EQ(sink->BeginFlushCount(), 1);
    EXPECT_EQ(sink->EndFlushCount(), 1);
    EXPECT_EQ(sink->SegmentStarts().size(), 2u);
    const std::vector<RecordedSample> samples = sink->Samples();
    const auto restart =
        std::find_if(samples.begin() + 1, samples.end(), [](const auto& s) { return s.discontinuity; });
    ASSERT_NE(restart, samples.end());
    EXPECT_EQ(restart->start, 0);
    EXPECT_EQ(samples.end() - restart, 75) << "every frame again after the seek";

    // At the end the thread waits: a new seek streams again.
    position = 20'000'000;
    sink->Clear();
    ASSERT_EQ(chain.Seeking()->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_TRUE(chain.WaitForEndOfStreams());
    EXPECT_EQ(sink->Samples().size(), 25u);
}

TEST(SplitterTest, SeekingSpeaksMediaTimeOnly) {
    SplitterChain chain(testsupport::SamplePath("mjpeg_pcm.avi"));
    ASSERT_EQ(chain.connectResult, S_OK);
    ComPtr<IMediaSeeking> seeking = chain.Seeking();
    DWORD capabilities = 0;
    ASSERT_EQ(seeking->GetCapabilities(&capabilities), S_OK);
    EXPECT_EQ(capabilities, AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetCurrentPos |
                                AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetStopPos);
    GUID format = GUID_NULL;
    ASSERT_EQ(seeking->GetTimeFormat(&format), S_OK);
    EXPECT_EQ(format, TIME_FORMAT_MEDIA_TIME);
    EXPECT_EQ(seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME), S_OK);
    EXPECT_TRUE(FAILED(seeking->SetTimeFormat(&TIME_FORMAT_NONE)));
    LONGLONG position = 10'000'000;
    EXPECT_EQ(seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, &position,
                                    AM_SEEKING_AbsolutePositioning),
              E_NOTIMPL)
        << "stop positions are not supported, and nothing moves";
    ASSERT_EQ(seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, 0);
}

}  // namespace
}  // namespace media
