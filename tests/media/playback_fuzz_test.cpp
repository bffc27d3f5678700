// Mutated samples through RenderFile and a short play: headers with flipped bytes, size fields
// stamped over, files cut short. No case may crash or hang, and none may build a playback graph
// from a file in which libavformat alone finds nothing to play.

#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "media/filters/audio_output.h"
#include "playback_support.h"
#include "support/read_back.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using media::ComPtr;

namespace {

struct Mutation {
    std::string name;
    std::vector<char> bytes;
};

std::vector<char> ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<Mutation> MutationsOf(const std::vector<char>& original, unsigned seed) {
    std::vector<Mutation> mutations;
    for (int percent : {1, 5, 20, 50, 80, 99}) {
        mutations.push_back(
            {"cut to " + std::to_string(percent) + "%",
             std::vector<char>(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(
                                                                        original.size() * percent / 100))});
    }
    std::mt19937 random(seed);
    const std::size_t header = std::min<std::size_t>(original.size(), 4096);
    for (int i = 0; i < 8; ++i) {
        Mutation m{"header bytes flipped #" + std::to_string(i), original};
        for (int flips = 0; flips < 12; ++flips) {
            m.bytes[random() % header] ^= static_cast<char>(1 + random() % 255);
        }
        mutations.push_back(std::move(m));
    }
    // A size or count field read as huge: four bytes of 0x7FFFFFFF at an aligned header offset.
    for (int i = 0; i < 4; ++i) {
        Mutation m{"size field stamped #" + std::to_string(i), original};
        const std::size_t at = (random() % (std::min<std::size_t>(header, 1024) / 4)) * 4;
        const char huge[4] = {'\xFF', '\xFF', '\xFF', '\x7F'};
        for (std::size_t k = 0; k < 4 && at + k < m.bytes.size(); ++k) m.bytes[at + k] = huge[k];
        mutations.push_back(std::move(m));
    }
    return mutations;
}

TEST(PlaybackFuzzTest, MutatedSamplesNeverCrashHangOrPlayWhatIsNotThere) {
    media::UseNullAudioOutputOnly(true);
    const fs::path dir = fs::temp_directory_path() / ("tessarel-playback-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    int cases = 0;
    int refused = 0;
    int played = 0;
    int hangs = 0;
    int falseSuccesses = 0;
    unsigned seed = 20240607;
    for (const char* sample :
         {"mpeg1_mp2.mpg", "mpeg2_ac3.mpg", "mpeg4_mp3.avi", "mjpeg_pcm.avi", "h264_aac.mov"}) {
        for (const Mutation& mutation : MutationsOf(ReadAll(testsupport::SamplePath(sample)), seed++)) {
            SCOPED_TRACE(std::string(sample) + ", " + mutation.name);
            ++cases;
            const fs::path file = dir / (std::string("case") + fs::path(sample).extension().string());
            {
                std::ofstream out(file, std::ios::binary | std::ios::trunc);
                out.write(mutation.bytes.data(), static_cast<std::streamsize>(mutation.bytes.size()));
            }
            const auto started = std::chrono::steady_clock::now();
            {
                mediatest::RecordingSurface surface;
                ComPtr<IGraphBuilder> graph;
                ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IGraphBuilder::iid,
                                           graph.ReceiveVoid()),
                          S_OK);
                const std::u16string path = media::ToUtf16(file.string());
                const HRESULT rendered = graph->RenderFile(path.c_str(), nullptr);
                if (FAILED(rendered)) {
                    ++refused;
                } else {
                    ++played;
                    const testsupport::MediaSummary summary = testsupport::ReadBack(file);
                    bool anyPacket = false;
                    for (const auto& stream : summary.streams)
                        anyPacket = anyPacket || stream.packetCount > 0;
                    if (!anyPacket) ++falseSuccesses;
                    EXPECT_TRUE(anyPacket) << "a graph built for a file with nothing to play";
                    if (ComPtr<IVideoWindow> window = graph.As<IVideoWindow>()) {
                        window->put_Owner(VideoSurfaceHandle(&surface));
                    }
                    ComPtr<IMediaControl> control = graph.As<IMediaControl>();
                    control->Pause();
                    OAFilterState state = State_Stopped;
                    control->GetState(2000, &state);
                    control->Run();
                    std::this_thread::sleep_for(150ms);
                    control->Stop();
                }
            }
            if (std::chrono::steady_clock::now() - started > 6s) {
                ++hangs;
                ADD_FAILURE()
                    << "took "
                    << std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()
                    << " s";
            }
        }
    }
    fs::remove_all(dir);
    media::UseNullAudioOutputOnly(false);
    std::cout << "playback fuzz: " << cases << " cases, " << played << " played, " << refused << " refused, "
              << hangs << " hangs, " << falseSuccesses << " false successes, 0 crashes\n";
    EXPECT_EQ(hangs, 0);
    EXPECT_EQ(falseSuccesses, 0);
}

}  // namespace
