// tessarel-convert as scripts run it, its output not a terminal: the window's naming over several
// files, the compressor by name, failures with and without --keep-going, existing outputs, and
// --help against the manual page.

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "convert_run.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace fs = std::filesystem;
using testsupport::ReadBack;
using testsupport::SamplePath;

namespace clitest {
namespace {

fs::path CopySample(const ScratchFolder& folder, const std::string& sample, const std::string& name) {
    fs::create_directories((folder / name).parent_path());
    fs::copy_file(SamplePath(sample), folder / name);
    return folder / name;
}

bool Converted(const fs::path& output) {
    const testsupport::MediaSummary out = ReadBack(output);
    return out.Ok() && out.HasVideo() && out.Video().shownFrames > 0;
}

TEST(CommandLine, SeveralFilesGoToConvertedBesideThemByTheWindowsNamingRules) {
    ScratchFolder folder("several");
    // Two inputs with one base name, and a name that is not UTF-8.
    const fs::path first = CopySample(folder, "mpeg1_mp2.mpg", "clip.mpg");
    const fs::path second = CopySample(folder, "h264_aac.mov", "clip.mov");
    const fs::path third = CopySample(folder, "video_only.avi", "caf\xe9.avi");
    const ConvertRun run = RunConvert({first.string(), second.string(), third.string()});
    ASSERT_TRUE(run.Succeeded()) << run.errors;
    EXPECT_TRUE(Converted(folder / "converted/clip.avi"));
    EXPECT_TRUE(Converted(folder / "converted/clip (2).avi"));
    EXPECT_TRUE(Converted(folder / "converted/caf\xe9.avi"));
    EXPECT_TRUE(ReadBack(folder / "converted/clip (2).avi").HasAudio()) << "the audio is carried";
    // One line per converted file.
    EXPECT_TRUE(std::regex_match(
        run.output, std::regex(R"((\[[123]/3\] [^\n]+ -> [^\n]+\.avi  \d+:\d\d  \d+ fps\n){3})")))
        << run.output;

    const ConvertRun again = RunConvert({"-q", "--output-dir", (folder / "elsewhere/").string(),
                                         first.string(), (folder / "converted/clip.avi").string()});
    ASSERT_TRUE(again.Succeeded()) << again.errors;
    EXPECT_TRUE(again.output.empty()) << again.output;
    EXPECT_TRUE(Converted(folder / "elsewhere/clip.avi"));
    EXPECT_TRUE(Converted(folder / "elsewhere/clip (2).avi"));
}

TEST(CommandLine, CompressorByAUniquePartOfItsNameElseAUsageErrorWithTheCandidates) {
    ScratchFolder folder("compressor");
    const std::string input = SamplePath("video_only.avi").string();
    const ConvertRun named =
        RunConvert({"--compressor", "MOTION jpeg", "-o", (folder / "m.avi").string(), input});
    ASSERT_TRUE(named.Succeeded()) << named.errors;
    EXPECT_EQ(ReadBack(folder / "m.avi").Video().codecName, "mjpeg");

    const ConvertRun none = RunConvert({"--compressor", "no such codec", input});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.errors.find("Motion JPEG"), std::string::npos) << "lists the candidates: " << none.errors;
    const ConvertRun several = RunConvert({"--compressor", "mpeg", input});
    EXPECT_EQ(several.exitCode, 2);
    EXPECT_NE(several.errors.find("matches several"), std::string::npos) << several.errors;
    EXPECT_EQ(RunConvert({"-o", "x.avi", input, input + "2"}).exitCode, 2) << "-o with two files";
    EXPECT_FALSE(fs::exists(SamplePath("converted")));
}

TEST(CommandLine, AFailedFileEndsTheRunUnlessKeepGoing) {
    ScratchFolder folder("keep-going");
    const fs::path good = CopySample(folder, "mpeg1_mp2.mpg", "a.mpg");
    const fs::path broken = CopySample(folder, "not_media.avi", "b.avi");
    const fs::path last = CopySample(folder, "video_only.avi", "c.avi");

    const ConvertRun stops = RunConvert({good.string(), broken.string(), last.string()});
    EXPECT_EQ(stops.exitCode, 1);
    EXPECT_TRUE(Converted(folder / "converted/a.avi"));
    EXPECT_FALSE(fs::exists(folder / "converted/c.avi")) << "nothing after the failure";
    EXPECT_NE(stops.errors.find("1 more file was not converted"), std::string::npos) << stops.errors;

    fs::remove_all(folder / "converted");
    const ConvertRun goesOn = RunConvert({"--keep-going", good.string(), broken.string(), last.string()});
    EXPECT_EQ(goesOn.exitCode, 1);
    EXPECT_TRUE(Converted(folder / "converted/a.avi"));
    EXPECT_TRUE(Converted(folder / "converted/c.avi"));
    EXPECT_FALSE(fs::exists(folder / "converted/b.avi"));
    EXPECT_NE(goesOn.errors.find("1 of 3 files failed:\n  " + broken.string() + ": "), std::string::npos)
        << goesOn.errors;
}

TEST(CommandLine, AnExistingOutputIsReplacedOnlyWithOverwrite) {
    ScratchFolder folder("overwrite");
    const std::string input = SamplePath("mpeg1_mp2.mpg").string();
    const fs::path output = folder / "out.avi";
    std::ofstream(output) << "earlier";

    const ConvertRun refused = RunConvert({"-o", output.string(), input});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.errors.find("out.avi exists (--overwrite replaces it)"), std::string::npos)
        << refused.errors;
    EXPECT_EQ(Contents(output), "earlier");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1)
        << "nothing written";

    const ConvertRun replaced = RunConvert({"--overwrite", "-o", output.string(), input});
    ASSERT_TRUE(replaced.Succeeded()) << replaced.errors;
    EXPECT_TRUE(Converted(output));
}

// Every option token ("-o", "--output-dir") in text from the line that begins with start up to
// the first line after it that begins with end.
std::set<std::string> OptionsIn(const std::string& text, const std::string& start, const std::string& end) {
    const auto from = text.find("\n" + start);
    const auto to = text.find("\n" + end, from + 1);
    const std::string section = text.substr(from, to == std::string::npos ? to : to - from);
    static const std::regex option(R"((^|[\s,\[])(--?[a-z][a-z-]*))");
    std::set<std::string> options;
    for (auto it = std::sregex_iterator(section.begin(), section.end(), option); it != std::sregex_iterator();
         ++it)
        options.insert((*it)[2]);
    return options;
}

TEST(CommandLine, HelpAndTheManualPageNameTheSameOptions) {
    const ConvertRun help = RunConvert({"--help"});
    ASSERT_TRUE(help.Succeeded()) << help.errors;
    // The page's own escapes: "\-" is a minus sign.
    const std::string page = std::regex_replace(Contents(TESSAREL_CONVERT_MANUAL), std::regex(R"(\\-)"), "-");
    const std::set<std::string> helped = OptionsIn(help.output, "Options:", "\n");
    EXPECT_EQ(helped, OptionsIn(page, ".SH OPTIONS", ".SH"));
    EXPECT_EQ(helped.size(), 13u);
}

}  // namespace
}  // namespace clitest
