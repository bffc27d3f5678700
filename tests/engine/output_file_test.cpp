// Where a job's output goes: written beside its name and moved into place when the graph stops.
// A stop keeps a finished file, a failure keeps whatever had the name before, two jobs into one
// name never mix, and names are bytes that reach their files exactly.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include "engine/conversion_job.h"
#include "engine/job_ending.h"
#include "media/graph/pin_base.h"
#include "recompression_fixture.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace fs = std::filesystem;
using testsupport::ReadBack;
using testsupport::SamplePath;

namespace {

using OutputFileTest = RecompressionTest;

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// While it lives, no file of this process may grow past `limit` bytes: writes beyond fail as
// on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit small = m_saved;
        small.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, SIG_DFL);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
};

TEST_F(OutputFileTest, StoppedAtAnyMomentTheOutputIsAValidIndexedFile) {
    for (int delayMs : {0, 30, 120}) {
        SCOPED_TRACE(delayMs);
        const fs::path output = m_dir / ("stopped" + std::to_string(delayMs) + ".avi");
        WriteFile(output, "an earlier output");
        ASSERT_EQ(Build(SamplePath("mpeg2_ac3.mpg"), output), S_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        m_graph.control->Stop();
        TearDownRecompressionGraph(m_graph);
        // A stop before the first picture writes nothing: the earlier output stays.
        if (Contents(output) == "an earlier output") continue;
        const auto out = ReadBack(output);
        EXPECT_TRUE(out.Ok()) << out.error;
        EXPECT_TRUE(out.aviIndex.HasIndex());
        EXPECT_GT(out.Video().shownFrames, 0);
    }
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"stopped0.avi", "stopped120.avi", "stopped30.avi"}))
        << "nothing written beside the outputs is left";
}

TEST_F(OutputFileTest, AJobItsCallerLeavesStopsIntoAFinishedFileAndAJobRunToItsEndShowsAllOfIt) {
    const fs::path output = m_dir / "left.avi";
    {
        ConversionJob job;
        ASSERT_EQ(job.Start(SamplePath("mpeg2_ac3.mpg").string(), output.string(), m_xvid, true, false, m_compressor),
                  S_OK);
        int progressed = 0;
        (void)job.WaitForEnd([] { return false; }, [&progressed](int) { ++progressed; });
        EXPECT_EQ(progressed, 0) << "a wait left by its caller reads no progress";
        const HRESULT stopped = job.Stop();
        EXPECT_TRUE(stopped == S_OK || stopped == S_FALSE);
        EXPECT_EQ(fs::exists(output), stopped == S_OK) << "S_FALSE: stopped before the first picture";
        job.TearDown();
        EXPECT_EQ(job.Stop(), E_UNEXPECTED) << "nothing left to stop";
    }
    // Whatever it wrote is a finished file.
    if (fs::exists(output)) {
        EXPECT_TRUE(ReadBack(output).Ok());
    }

    ConversionJob whole;
    ASSERT_EQ(whole.Start(SamplePath("mpeg4_mp3.avi").string(), (m_dir / "whole.avi").string(), m_xvid, true, false,
                          m_compressor),
              S_OK);
    std::vector<int> percents;
    EXPECT_EQ(whole.WaitForEnd([] { return true; }, [&percents](int percent) { percents.push_back(percent); }),
              EC_COMPLETE);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_GE(percents.back(), 95);
    EXPECT_LE(percents.back(), 100);
    EXPECT_EQ(whole.Stop(), S_OK);
}

TEST(JobEndingTest, OnlyAnEndWithItsFileInPlaceIsAConversion) {
    constexpr HRESULT kExists = HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    constexpr HRESULT kFull = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    const struct {
        LONG eventCode;
        HRESULT completed;
        bool stopRequested;
        JobEnding ending;
    } cases[] = {
        {EC_COMPLETE, S_OK, false, JobEnding::Converted},
        {EC_COMPLETE, kFull, false, JobEnding::OutputNotCompleted},
        {EC_COMPLETE, kExists, false, JobEnding::OutputAppeared},
        {EC_ERRORABORT, S_OK, false, JobEnding::FailedPartWay},
        {EC_ERRORABORT, kFull, false, JobEnding::FailedPartWay},
        {0, S_FALSE, true, JobEnding::StoppedOnRequest},
        {0, kFull, true, JobEnding::OutputNotCompleted},
        {0, kExists, true, JobEnding::OutputAppeared},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeJobEnding(c.eventCode, c.completed, c.stopRequested), c.ending)
            << c.eventCode << " " << std::hex << c.completed << " " << c.stopRequested;
        EXPECT_EQ(JobSucceeded(c.eventCode, c.completed),
                  c.ending == JobEnding::Converted && !c.stopRequested);
    }
}

TEST_F(OutputFileTest, AFinishedJobReplacesAnEarlierFileAndTakesItsPermissions) {
    const fs::path output = m_dir / "out.avi";
    WriteFile(output, "an earlier output");
    fs::permissions(output, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(Convert(SamplePath("video_only.avi"), output), EC_COMPLETE);
    EXPECT_EQ(m_stopResult, S_OK);
    EXPECT_TRUE(ReadBack(output).Ok());
    EXPECT_EQ(fs::status(output).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.avi"});
}

TEST_F(OutputFileTest, AFullDiskKeepsTheEarlierFileAndLeavesNothingOfTheNewOne) {
    const fs::path output = m_dir / "out.avi";
    const fs::path fresh = m_dir / "fresh.avi";
    fs::copy_file(SamplePath("mpeg4_mp3.avi"), output);
    const std::string earlier = Contents(output);
    {
        FileSizeLimit limit(64 * 1024);
        for (const fs::path& target : {output, fresh}) {
            SCOPED_TRACE(target);
            ASSERT_EQ(Build(SamplePath("mjpeg_pcm.avi"), target), S_OK);
            EXPECT_EQ(WaitStopAndTearDown(), EC_ERRORABORT);
        }
    }
    EXPECT_TRUE(Contents(output) == earlier) << "the earlier output is untouched";
    EXPECT_FALSE(fs::exists(fresh)) << "a failed job leaves no partial file";
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.avi"});
}

TEST_F(OutputFileTest, AFileThatCannotBeMovedIntoPlaceFailsTheJobAndKeepsTheEarlierFile) {
    const fs::path output = m_dir / "out.avi";
    WriteFile(output, "an earlier output");
    ASSERT_EQ(Build(SamplePath("video_only.avi"), output), S_OK);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.avi"}) << "the file being written has no name";
    // A folder takes the output's name while the job runs: nothing can replace it.
    fs::remove(output);
    fs::create_directory(output);
    WriteFile(output / "earlier.avi", "an earlier output");
    EXPECT_EQ(WaitStopAndTearDown(), EC_COMPLETE) << "the conversion itself reached its end";
    EXPECT_TRUE(FAILED(m_stopResult)) << "yet its file could not take its name";
    EXPECT_EQ(Contents(output / "earlier.avi"), "an earlier output");
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.avi"});
}

TEST_F(OutputFileTest, AnErrorAbortUpstreamKeepsTheEarlierFile) {
    const fs::path output = m_dir / "out.avi";
    WriteFile(output, "an earlier output");
    ASSERT_EQ(Build(SamplePath("mpeg1_mp2.mpg"), output), S_OK);
    // As a decoder or compressor reports a streaming error: first down its stream, then to the
    // graph.
    InterfaceRef<media::IUpstreamFailure> stream;
    ASSERT_EQ(stream.Query(m_graph.muxIn.Get()), S_OK);
    stream->StreamFailed(E_FAIL);
    InterfaceRef<IMediaEventSink> sink;
    ASSERT_EQ(sink.Query(m_graph.graph.Get()), S_OK);
    sink->Notify(EC_ERRORABORT, E_FAIL, 0);
    EXPECT_EQ(WaitStopAndTearDown(), EC_ERRORABORT);
    sink.Reset();
    EXPECT_EQ(Contents(output), "an earlier output");
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.avi"});
}

TEST_F(OutputFileTest, TwoJobsIntoOneNameAtOnceLeaveOneWholeFile) {
    const fs::path output = m_dir / "out.avi";
    const fs::path inputs[] = {SamplePath("mpeg4_mp3.avi"), SamplePath("mjpeg_pcm.avi")};
    RecompressionGraph other;
    InterfaceRef<IBaseFilter> otherCompressor;
    ASSERT_EQ(Build(inputs[0], output), S_OK);
    ASSERT_EQ(BuildRecompressionGraph(inputs[1].string(), output.string(), m_xvid, true, false,
                                      otherCompressor, other),
              S_OK);
    EXPECT_EQ(WaitStopAndTearDown(), EC_COMPLETE);
    EXPECT_EQ(WaitStopAndTearDown(other), EC_COMPLETE);
    otherCompressor.Reset();

    // The file is one of the two conversions, whole: its frames and audio bytes are one input's.
    const auto out = ReadBack(output);
    ASSERT_TRUE(out.Ok()) << out.error;
    EXPECT_TRUE(out.aviIndex.HasIndex());
    ASSERT_TRUE(out.HasVideo() && out.HasAudio());
    bool matched = false;
    for (const fs::path& input : inputs) {
        const auto in = ReadBack(input);
        matched = matched || (out.Video().packetCount == in.Video().packetCount &&
                              out.Audio().audioMd5 == in.Audio().audioMd5);
    }
    EXPECT_TRUE(matched) << "the output mixes both jobs";
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.avi"});
}

TEST_F(OutputFileTest, JobsThatKeepExistingFilesNeverReplaceOneEvenIfItTookTheNameMeanwhile) {
    const fs::path output = m_dir / "out.avi";
    constexpr HRESULT kExists = HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    RecompressionGraph first;
    RecompressionGraph second;
    InterfaceRef<IBaseFilter> compressor;
    const auto build = [&](const char* sample, RecompressionGraph& graph) {
        return BuildRecompressionGraph(SamplePath(sample).string(), output.string(), m_xvid, true, false,
                                       compressor, graph, ExistingOutput::Keep);
    };
    ASSERT_EQ(build("mpeg4_mp3.avi", first), S_OK);
    ASSERT_EQ(build("mjpeg_pcm.avi", second), S_OK);
    EXPECT_EQ(WaitStopAndTearDown(first), EC_COMPLETE);
    EXPECT_EQ(m_stopResult, S_OK);
    const std::string kept = Contents(output);
    EXPECT_EQ(WaitStopAndTearDown(second), EC_COMPLETE);
    EXPECT_EQ(m_stopResult, kExists) << "the second finished after the first took the name";
    EXPECT_TRUE(Contents(output) == kept);
    EXPECT_EQ(build("mjpeg_pcm.avi", second), kExists) << "a taken name refuses the start";
    compressor.Reset();
    EXPECT_TRUE(Contents(output) == kept);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.avi"});
}

TEST_F(OutputFileTest, TheInputIsNeverOverwrittenUnderAnyName) {
    const fs::path input = m_dir / "input.avi";
    fs::copy_file(SamplePath("mjpeg_pcm.avi"), input);
    fs::create_symlink(input, m_dir / "link.avi");
    const std::string before = Contents(input);
    for (const fs::path& output : {input, m_dir / "link.avi"}) {
        SCOPED_TRACE(output);
        m_messages.Clear();
        ExpectFailureWith(Build(input, output), "無法執行壓縮圖形");
    }
    EXPECT_TRUE(Contents(input) == before) << "not a byte of the input changed";
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"input.avi", "link.avi"}));
}

TEST_F(OutputFileTest, NamesThatAreNotUtf8ReachTheirFilesExactly) {
    // Latin-1 names, as an old archive or a camera may leave them.
    const fs::path input = m_dir / "caf\xE9.mpg";
    const fs::path output = m_dir / "r\xE9sult.avi";
    fs::copy_file(SamplePath("mpeg1_mp2.mpg"), input);
    ASSERT_EQ(Convert(input, output), EC_COMPLETE);
    EXPECT_TRUE(ReadBack(output).Ok());
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"caf\xE9.mpg", "r\xE9sult.avi"}));
}

}  // namespace
