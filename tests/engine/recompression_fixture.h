#pragma once

// Jobs through the recompression graph on real files, waited on as the batch run waits (100 ms
// slices, progress from the position and the duration), stopped and torn down. Each test gets a
// folder of its own; every message is recorded.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <unistd.h>

#include "engine/compressor_catalogue.h"
#include "engine/job_percent.h"
#include "engine/recompression_graph.h"
#include "media/api/com_object.h"
#include "message_recorder.h"

// The catalogue index of the first compressor with this display name, or -1.
inline LONG CompressorNamed(const std::string& name) {
    std::vector<std::string> names;
    LONG automatic = -1;
    EnumerateCompressors(names, automatic);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<LONG>(i);
    }
    return -1;
}

class RecompressionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test) c = c == '/' ? '-' : c;
        m_dir = std::filesystem::temp_directory_path() /
                ("tessarel-recompression-" + std::to_string(::getpid()) + "-" + test);
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_xvid = CompressorNamed("libxvidcore MPEG-4 part 2");
        ASSERT_GE(m_xvid, 0) << "the Xvid compressor must be installed";
    }
    void TearDown() override {
        TearDownRecompressionGraph(m_graph);
        m_compressor.Reset();
        std::filesystem::remove_all(m_dir);
    }

    HRESULT Build(const std::filesystem::path& input, const std::filesystem::path& output,
                  bool keepAudio = true, bool ignoreWarnings = false) {
        return BuildWith(m_xvid, input, output, keepAudio, ignoreWarnings);
    }
    HRESULT BuildWith(LONG compressor, const std::filesystem::path& input,
                      const std::filesystem::path& output, bool keepAudio = true,
                      bool ignoreWarnings = false) {
        return BuildRecompressionGraph(input.string(), output.string(), compressor, keepAudio, ignoreWarnings,
                                       m_compressor, m_graph, ExistingOutput::Replace, m_choice);
    }

    // Waits for the running graph as the batch run does, then stops it and tears it down.
    // Returns the event code that ended the wait (0 when the job took over two minutes); what the
    // stop said of the output file is in m_stopResult.
    LONG WaitStopAndTearDown() { return WaitStopAndTearDown(m_graph); }
    LONG WaitStopAndTearDown(RecompressionGraph& graph) {
        LONG code = 0;
        for (int slice = 0; code == 0 && slice < 1200; ++slice) {
            graph.events->WaitForCompletion(100, &code);
            LONGLONG position = 0;
            graph.seeking->GetCurrentPosition(&position);
            m_lastPercent = PercentOf(position, graph.duration);
        }
        m_stopResult = StopRecompressionGraph(graph);
        TearDownRecompressionGraph(graph);
        return code;
    }

    // Builds with the Xvid compressor, expecting no message, and runs the job to its end.
    LONG Convert(const std::filesystem::path& input, const std::filesystem::path& output,
                 bool keepAudio = true) {
        return ConvertWith(m_xvid, input, output, keepAudio);
    }
    LONG ConvertWith(LONG compressor, const std::filesystem::path& input, const std::filesystem::path& output,
                     bool keepAudio = true) {
        const HRESULT hr = BuildWith(compressor, input, output, keepAudio);
        EXPECT_EQ(hr, S_OK) << input;
        EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.Messages().front();
        return SUCCEEDED(hr) ? WaitStopAndTearDown() : -1;
    }

    // A failed build: exactly this message, and nothing of the graph left alive.
    void ExpectFailureWith(HRESULT hr, const std::string& message) {
        EXPECT_LT(hr, 0);
        EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{message});
        EXPECT_FALSE(m_graph.graph);
        m_compressor.Reset();
        EXPECT_EQ(media::LiveObjectCount(), 0) << "a failed build releases everything it obtained";
    }

    // The names in the test's folder, sorted.
    [[nodiscard]] std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    MessageRecorder m_messages;
    std::filesystem::path m_dir;
    LONG m_xvid = -1;
    InterfaceRef<IBaseFilter> m_compressor;
    CompressionChoice m_choice;  // what every build of the test asks for
    RecompressionGraph m_graph;
    int m_lastPercent = -1;
    HRESULT m_stopResult = E_UNEXPECTED;
};
