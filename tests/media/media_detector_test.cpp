// The media detector: the streams it reports for each sample against libavformat's own view of
// the file, the files it refuses, and mutated headers, which must never crash, hang, change the
// file or report a stream that isn't there.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include "media/api/bstr.h"
#include "media/api/class_registry.h"
#include "media/api/interfaces.h"
#include "media/api/uuids.h"
#include "media/com/com_ptr.h"
#include "media/com/wide_text.h"
#include "support/ffmpeg_handles.h"
#include "support/samples_dir.h"

namespace media {
namespace {

namespace fs = std::filesystem;
using testsupport::SamplePath;
using testsupport::SamplesDir;

struct Bstr {
    explicit Bstr(const fs::path& path) : text(SysAllocString(ToUtf16(path.string()).c_str())) {}
    ~Bstr() { SysFreeString(text); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR text;
};

ComPtr<IMediaDet> CreateDetector() {
    ComPtr<IMediaDet> detector;
    // 0x17: every class context, as the program asks.
    EXPECT_EQ(CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_ALL, IID_IMediaDet, detector.ReceiveVoid()),
              S_OK);
    return detector;
}

HRESULT Open(IMediaDet& detector, const fs::path& file) {
    const Bstr name(file);
    return detector.put_Filename(name.text);
}

// The major type of every stream the detector reports, in its order; empty after a failure.
std::vector<GUID> ReportedTypes(IMediaDet& detector) {
    std::vector<GUID> types;
    LONG count = 0;
    if (FAILED(detector.get_OutputStreams(&count))) return types;
    for (LONG stream = 0; stream < count; ++stream) {
        GUID type = GUID_NULL;
        if (FAILED(detector.put_CurrentStream(stream)) || FAILED(detector.get_StreamType(&type))) return {};
        types.push_back(type);
    }
    return types;
}

// libavformat's own view, opened by path: the audio and video streams that name a codec. Null
// when it can't open the file.
std::optional<std::vector<GUID>> LibavformatTypes(const fs::path& file) {
    AVFormatContext* opening = nullptr;
    if (avformat_open_input(&opening, ("file:" + file.string()).c_str(), nullptr, nullptr) < 0)
        return std::nullopt;
    testsupport::InputFormatContextPtr input(opening);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) return std::nullopt;
    std::vector<GUID> types;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters& parameters = *input->streams[i]->codecpar;
        if (parameters.codec_id == AV_CODEC_ID_NONE) continue;
        if (parameters.codec_type == AVMEDIA_TYPE_VIDEO) types.push_back(MEDIATYPE_Video);
        if (parameters.codec_type == AVMEDIA_TYPE_AUDIO) types.push_back(MEDIATYPE_Audio);
    }
    return types;
}

std::vector<char> ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& file, const std::vector<char>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(MediaDetector, ReportsTheAudioAndVideoStreamsLibavformatFinds) {
    ComPtr<IMediaDet> detector = CreateDetector();
    ASSERT_TRUE(detector);
    const std::vector<GUID> audioVideo{MEDIATYPE_Video, MEDIATYPE_Audio};
    const struct {
        const char* name;
        std::vector<GUID> types;
    } cases[] = {
        {"mpeg1_mp2.mpg", audioVideo},
        {"mpeg2_ac3.mpg", audioVideo},
        {"mpeg4_mp3.avi", audioVideo},
        {"h264_aac.mov", audioVideo},
        {"pcm_be.mov", audioVideo},
        {"video_only.avi", {MEDIATYPE_Video}},
        {"audio_only.mpg", {MEDIATYPE_Audio}},
        {"two_audio.avi", {MEDIATYPE_Video, MEDIATYPE_Audio, MEDIATYPE_Audio}},
        {"long_raw.m4v", {MEDIATYPE_Video}},
    };
    // One detector for all: each file replaces the one before.
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        ASSERT_EQ(Open(*detector.Get(), SamplePath(expected.name)), S_OK);
        const std::vector<GUID> reported = ReportedTypes(*detector.Get());
        EXPECT_EQ(reported, expected.types);
        EXPECT_EQ(LibavformatTypes(SamplePath(expected.name)), reported);

        BSTR name = nullptr;
        ASSERT_EQ(detector->get_Filename(&name), S_OK);
        EXPECT_EQ(ToUtf8(name), SamplePath(expected.name).string());
        SysFreeString(name);
    }
}

TEST(MediaDetector, RefusesWhatCannotBeOpenedAndForgetsTheFileBefore) {
    ComPtr<IMediaDet> detector = CreateDetector();
    ASSERT_TRUE(detector);
    for (const fs::path& file : {SamplePath("no such file.mpg"), SamplesDir(), SamplePath("empty.mpg"),
                                 SamplePath("not_media.avi")}) {
        SCOPED_TRACE(file.string());
        ASSERT_EQ(Open(*detector.Get(), SamplePath("mpeg1_mp2.mpg")), S_OK);
        EXPECT_LT(Open(*detector.Get(), file), 0);
        LONG count = -1;
        EXPECT_LT(detector->get_OutputStreams(&count), 0);
        EXPECT_EQ(count, 0);
        GUID type = MEDIATYPE_Audio;
        EXPECT_LT(detector->get_StreamType(&type), 0);
        BSTR name = SysAllocString(u"stale");
        SysFreeString(name);
        ASSERT_EQ(detector->get_Filename(&name), S_OK);
        EXPECT_EQ(name, nullptr);
    }
    EXPECT_EQ(detector->put_Filename(nullptr), E_POINTER);
}

TEST(MediaDetector, TheCurrentStreamStaysWithinTheFile) {
    ComPtr<IMediaDet> detector = CreateDetector();
    ASSERT_TRUE(detector);
    LONG current = -1;
    EXPECT_EQ(detector->put_CurrentStream(0), E_INVALIDARG);  // no file yet
    ASSERT_EQ(Open(*detector.Get(), SamplePath("two_audio.avi")), S_OK);
    ASSERT_EQ(detector->put_CurrentStream(2), S_OK);
    for (const LONG outside : {-1L, 3L, 1L << 30})
        EXPECT_EQ(detector->put_CurrentStream(outside), E_INVALIDARG);
    ASSERT_EQ(detector->get_CurrentStream(&current), S_OK);
    EXPECT_EQ(current, 2);
    GUID type = GUID_NULL;
    ASSERT_EQ(detector->get_StreamType(&type), S_OK);
    EXPECT_EQ(type, MEDIATYPE_Audio);
    // Another file starts again at its first stream.
    ASSERT_EQ(Open(*detector.Get(), SamplePath("video_only.avi")), S_OK);
    ASSERT_EQ(detector->get_CurrentStream(&current), S_OK);
    EXPECT_EQ(current, 0);
}

// Mutates the headers and sizes of sample files: bytes flipped or set to extreme values near
// the start and the end of the file (where AVI, MPEG and QuickTime keep their headers and
// indexes), and files cut short. Counts what went wrong; TESSAREL_FUZZ_CASES sets the number of
// mutants per sample (a longer run by hand).
TEST(MediaDetector, MutatedHeadersNeverCrashHangChangeTheFileOrInventStreams) {
    const char* configured = std::getenv("TESSAREL_FUZZ_CASES");
    const int casesPerSample = configured != nullptr ? std::atoi(configured) : 30;
    const fs::path dir = fs::temp_directory_path() / ("tessarel-detector-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::mt19937 random(20240611);
    // Damaged headers make FFmpeg say so at every turn; what counts is counted below.
    const int logLevel = av_log_get_level();
    av_log_set_level(AV_LOG_QUIET);

    int cases = 0, refused = 0, slow = 0, inventedStreams = 0, disagreements = 0, changedInputs = 0;
    for (const char* sample :
         {"mpeg1_mp2.mpg", "mpeg2_ac3.mpg", "mpeg4_mp3.avi", "mjpeg_pcm.avi", "h264_aac.mov", "pcm_be.mov"}) {
        const std::vector<char> original = ReadAll(SamplePath(sample));
        ASSERT_GT(original.size(), 8192U);
        for (int i = 0; i < casesPerSample; ++i) {
            std::vector<char> bytes = original;
            const auto pick = [&](std::size_t below) {
                return std::uniform_int_distribution<std::size_t>(0, below - 1)(random);
            };
            // A place in the first or last 4 KiB.
            const auto headerPlace = [&] {
                const std::size_t offset = pick(4096);
                return pick(2) == 0 ? offset : bytes.size() - 1 - offset;
            };
            switch (i % 4) {
                case 0:  // a few bytes flipped
                    for (std::size_t n = 1 + pick(8); n > 0; --n)
                        bytes[headerPlace()] ^= static_cast<char>(1 + pick(255));
                    break;
                case 1: {  // a 32-bit field set to an extreme
                    const std::uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF};
                    const std::uint32_t value = extremes[pick(std::size(extremes))];
                    const std::size_t at = std::min(headerPlace(), bytes.size() - 4);
                    for (int b = 0; b < 4; ++b)
                        bytes[at + static_cast<std::size_t>(b)] = static_cast<char>(value >> (8 * b));
                    break;
                }
                case 2:  // cut short
                    bytes.resize(pick(bytes.size()));
                    break;
                default:  // both
                    bytes[headerPlace()] ^= static_cast<char>(1 + pick(255));
                    bytes.resize(bytes.size() / 2 + pick(bytes.size() / 2));
                    break;
            }
            const fs::path mutant = dir / (std::to_string(cases) + "_" + sample);
            WriteAll(mutant, bytes);
            ++cases;

            ComPtr<IMediaDet> detector = CreateDetector();
            ASSERT_TRUE(detector);
            const auto start = std::chrono::steady_clock::now();
            const HRESULT hr = Open(*detector.Get(), mutant);
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) ++slow;
            if (FAILED(hr)) {
                ++refused;
            } else {
                const std::vector<GUID> reported = ReportedTypes(*detector.Get());
                if (reported.empty()) ++inventedStreams;
                for (const GUID& type : reported) {
                    if (type != MEDIATYPE_Audio && type != MEDIATYPE_Video) ++inventedStreams;
                }
                if (LibavformatTypes(mutant) != reported) ++disagreements;
            }
            if (ReadAll(mutant) != bytes) ++changedInputs;
            fs::remove(mutant);
        }
    }
    fs::remove_all(dir);
    av_log_set_level(logLevel);
    std::printf(
        "detector fuzz: %d mutants, %d refused, %d probed, %d disagree with libavformat by path, "
        "%d slow, %d with invented streams, %d inputs changed\n",
        cases, refused, cases - refused, disagreements, slow, inventedStreams, changedInputs);
    EXPECT_EQ(slow, 0);
    EXPECT_EQ(inventedStreams, 0);
    EXPECT_EQ(changedInputs, 0);
}

}  // namespace
}  // namespace media
