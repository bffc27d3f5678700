// tessarel-convert as scripts run it, its output not a terminal: the window's naming over several
// files, the compressor by name, failures with and without --keep-going, existing outputs, and
// --help against the manual page.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "convert_run.h"
#include "support/decoded_pictures.h"
#include "support/player_rules.h"
#include "support/read_back.h"
#include "support/samples_dir.h"
#include "support/sync_markers.h"

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

// The first video stream's picture format as ffprobe reads it: "yuv420p".
std::string PixelFormatOf(const fs::path& file) {
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries stream=pix_fmt -of csv=p=0 '" + file.string() +
        "'";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        for (int c; (c = std::fgetc(pipe)) != EOF;) text += static_cast<char>(c);
        ::pclose(pipe);
    }
    return text.substr(0, text.find('\n'));
}

// The first video stream's packets as ffprobe reads them: each one's size and whether it is a key frame.
std::vector<std::pair<int, bool>> VideoPackets(const fs::path& file) {
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries packet=size,flags -of csv=p=0 '" + file.string() +
        "'";
    std::vector<std::pair<int, bool>> packets;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            const std::string text(line);
            packets.emplace_back(std::atoi(text.c_str()), text.find(",K") != std::string::npos);
        }
        ::pclose(pipe);
    }
    return packets;
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
    // Names users type, and pictures every player takes: 4:2:0, not the 4:4:4 nearest to RGB.
    const struct {
        const char* name;
        const char* codec;
        const char* pixelFormat;
    } kTyped[] = {{"MOTION jpeg", "mjpeg", "yuvj420p"},
                  {"h264", "h264", "yuv420p"},
                  {"libx264", "h264", "yuv420p"},
                  {"x264", "h264", "yuv420p"},
                  {"mpeg4", "mpeg4", "yuv420p"}};
    for (const auto& typed : kTyped) {
        const fs::path output = folder / (std::string(typed.name) + ".avi");
        const ConvertRun named = RunConvert({"--compressor", typed.name, "-o", output.string(), input});
        ASSERT_TRUE(named.Succeeded()) << typed.name << ": " << named.errors;
        EXPECT_EQ(ReadBack(output).Video().codecName, typed.codec) << typed.name;
        EXPECT_EQ(PixelFormatOf(output), typed.pixelFormat) << typed.name;
    }

    const ConvertRun none = RunConvert({"--compressor", "no such codec", input});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.errors.find("Motion JPEG"), std::string::npos) << "lists the candidates: " << none.errors;
    const ConvertRun several = RunConvert({"--compressor", "mpeg", input});
    EXPECT_EQ(several.exitCode, 2);
    EXPECT_NE(several.errors.find("matches several"), std::string::npos) << several.errors;
    EXPECT_EQ(RunConvert({"-o", "x.avi", input, input + "2"}).exitCode, 2) << "-o with two files";
    EXPECT_FALSE(fs::exists(SamplePath("converted")));
}

TEST(CommandLine, QualityDataRateAndKeyFrameDistanceReachTheCompressor) {
    ScratchFolder folder("settings");
    const std::string input = SamplePath("marker_ac3.mpg").string();  // 250 frames of noise, 10 s
    const auto convert = [&](std::vector<std::string> arguments) {
        const fs::path output = folder / "out.avi";
        arguments.insert(arguments.end(),
                         {"--overwrite", "--compressor", "xvid", "-o", output.string(), input});
        const ConvertRun run = RunConvert(arguments);
        EXPECT_TRUE(run.Succeeded()) << run.errors;
        std::int64_t bytes = 0;
        std::vector<int> keyFrames;
        const std::vector<std::pair<int, bool>> packets = VideoPackets(output);
        for (std::size_t i = 0; i < packets.size(); ++i) {
            bytes += packets[i].first;
            if (packets[i].second) keyFrames.push_back(static_cast<int>(i));
        }
        EXPECT_EQ(packets.size(), 250u);
        return std::pair{bytes, keyFrames};
    };
    const std::int64_t best = convert({"--quality", "90"}).first;
    const std::int64_t middle = convert({"--quality", "50"}).first;
    EXPECT_GT(best, middle);
    EXPECT_GT(middle, convert({"--quality", "10"}).first);
    // An average of 300 kbit/s over 10 s, within 15 %, more than quality 90 spends on this noise.
    EXPECT_NEAR(static_cast<double>(convert({"--bitrate", "300"}).first), 375'000, 375'000 * 0.15);
    const std::vector<int> keyFrames = convert({"--keyint", "50"}).second;
    ASSERT_FALSE(keyFrames.empty());
    EXPECT_EQ(keyFrames.front(), 0);
    for (std::size_t i = 1; i < keyFrames.size(); ++i) EXPECT_LE(keyFrames[i] - keyFrames[i - 1], 50);
    EXPECT_GE(keyFrames.size(), 5u);

    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"--quality", "101"},
                                               {"--quality", "9x"},
                                               {"--keyint", "0"},
                                               {"--quality", "50", "--bitrate", "900"},
                                               {"--max-size", "720"},
                                               {"--max-size", "8x8"},
                                               {"--audio", "aac"},
                                               {"--preset", "vcd"},
                                               {"--list-presets"}}) {
        std::vector<std::string> arguments = wrong;
        arguments.push_back(input);
        EXPECT_EQ(RunConvert(arguments).exitCode, 2) << wrong.front();
    }
}

// The preset for the players that still need AVI files, on a phone's H.264 and AAC: DX50, a picture
// that fits PAL's (only shrunk, its shape kept), and MP3 of the sound's length at 192 kbit/s.
// How combed a picture is: the share of its pixels that stand out from both rows around them the
// same way (lighter or darker than both, by 16 levels of green at least), as one field's rows do
// woven between another's of a different moment. Thin horizontal lines aside, rare in a
// progressive picture.
double Combing(const testsupport::DecodedPictures& pictures, std::size_t picture) {
    int combed = 0;
    for (int y = 1; y + 1 < pictures.height; ++y) {
        for (int x = 0; x < pictures.width; ++x) {
            const int g = pictures.At(picture, x, y)[1];
            combed += (g - pictures.At(picture, x, y - 1)[1]) * (g - pictures.At(picture, x, y + 1)[1]) > 256;
        }
    }
    return static_cast<double>(combed) / (pictures.width * (pictures.height - 2));
}

TEST(CommandLine, TheDvdPlayerPresetMakesWhatADvdPlayerPlays) {
    ScratchFolder folder("preset");
    struct Case {
        const char* sample;
        int width;  // as stored
        int height;
        int keptOneIn;      // input pictures per output picture: above 30 fps every other one
        const char* audio;  // "mp3", "ac3" carried byte for byte, or none
        bool interlaced = false;
    };
    for (const Case& phone : {Case{"wide_1080p.mov", 720, 406, 1, "mp3"}, Case{"rotate90.mov", 180, 320, 1, "mp3"},
                              // Above 25 fps at most 480 lines.
                              Case{"phone_portrait_60fps.mp4", 270, 480, 2, "mp3"},
                              Case{"ntsc_interlaced_ac3.mpg", 720, 480, 1, "ac3", true},
                              // Interlaced by its QuickTime header alone.
                              Case{"capture_fiel.mov", 320, 240, 1, nullptr, true},
                              // Uncompressed from the splitter.
                              Case{"raw_60fps.avi", 64, 48, 2, nullptr},
                              Case{"hd1080p50_ac3_51.ts", 720, 406, 2, "ac3"},
                              Case{"pal_16x9_mp2.mpg", 720, 406, 1, "mp3"},
                              // Up to 25 fps up to 576 lines: 768x576 as shown.
                              Case{"dvd_pal_4x3.mpg", 720, 540, 1, nullptr}}) {
        const fs::path output = folder / "out.avi";
        const ConvertRun run = RunConvert(
            {"--overwrite", "--preset", "dvd-player", "-o", output.string(), SamplePath(phone.sample)});
        ASSERT_TRUE(run.Succeeded()) << run.errors;
        const testsupport::MediaSummary in = ReadBack(SamplePath(phone.sample));
        const testsupport::MediaSummary out = ReadBack(output);
        ASSERT_TRUE(out.Ok() && out.HasVideo()) << out.error;
        ASSERT_EQ(out.HasAudio(), phone.audio != nullptr) << phone.sample;
        EXPECT_EQ(out.Video().fourcc, "DX50");
        EXPECT_EQ(out.Video().width, phone.width) << phone.sample;
        EXPECT_EQ(out.Video().height, phone.height) << phone.sample;
        EXPECT_NEAR(static_cast<double>(out.Video().shownFrames),
                    static_cast<double>(in.Video().shownFrames) / phone.keptOneIn, 1.0)
            << phone.sample;
        // The rate the file declares: the input's, divided.
        const auto frameTime = [](const testsupport::StreamSummary& video) {
            return (video.videoPts.back() - video.videoPts.front()) / static_cast<double>(video.videoPts.size() - 1);
        };
        EXPECT_NEAR(frameTime(out.Video()), frameTime(in.Video()) * phone.keptOneIn, 0.0005) << phone.sample;
        EXPECT_GE(frameTime(out.Video()), 1.0 / 30.001) << phone.sample;
        if (phone.interlaced) {
            // Without a preset the woven fields stay: over twice as combed.
            const fs::path plain = folder / "plain.avi";
            ASSERT_TRUE(RunConvert({"--overwrite", "-o", plain.string(), SamplePath(phone.sample)}).Succeeded());
            const testsupport::DecodedPictures shown = testsupport::DecodePictures(output, 5, 1);
            ASSERT_TRUE(shown.error.empty() && shown.rgb.size() == 1) << shown.error;
            EXPECT_GT(Combing(testsupport::DecodePictures(plain, 5, 1), 0), 2 * Combing(shown, 0)) << phone.sample;
        }

        if (phone.audio == nullptr) continue;
        EXPECT_EQ(out.Audio().codecName, phone.audio);
        if (std::string(phone.audio) == "ac3") {
            EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5) << phone.sample;
            continue;
        }
        // A constant 24,000 bytes a second; the length within one MP3 frame of the input's.
        const double seconds = static_cast<double>(out.Audio().audioBytes.size()) / 24'000;
        const double inputSeconds = in.Audio().lastPts - in.Audio().firstPts;
        EXPECT_NEAR(seconds, inputSeconds, 2 * 1152.0 / in.Audio().sampleRate) << phone.sample;
        if (phone.keptOneIn > 1) {
            // The pictures kept keep their times: each flash comes with its beep.
            const testsupport::SyncMarkers markers = testsupport::FindSyncMarkers(output);
            EXPECT_EQ(markers.flashes.size(), 3U) << markers.error;
            EXPECT_LT(markers.WorstOffset(), 0.034) << phone.sample;
        }
    }
}

// What people bring to stand-alone players, through every preset, judged by the players' published
// rules from the output's bytes: a cut from a still to noise, a 60 fps portrait phone clip, an
// interlaced NTSC DVD with AC-3, a 1080p50 transport stream with AC-3 5.1, a PAL 16:9 DVD with MP2.
TEST(CommandLine, EveryPresetKeepsItsPlayersRules) {
    ScratchFolder folder("player-rules");
    const std::pair<const char*, testsupport::PlayerRules> presets[] = {{"dvd-player", testsupport::kHomeTheaterRules},
                                                                         {"hd-player", testsupport::kHdRules}};
    for (const auto& [preset, rules] : presets) {
        for (const char* sample : {"still_to_noise_cut.ts", "phone_portrait_60fps.mp4", "ntsc_interlaced_ac3.mpg",
                                   "hd1080p50_ac3_51.ts", "pal_16x9_mp2.mpg"}) {
            const fs::path output = folder / "out.avi";
            const ConvertRun run =
                RunConvert({"--overwrite", "--preset", preset, "-o", output.string(), SamplePath(sample)});
            ASSERT_TRUE(run.Succeeded()) << preset << " " << sample << ": " << run.errors;
            for (const std::string& broken : testsupport::PlayerRuleBreaks(output, rules))
                ADD_FAILURE() << preset << " on " << sample << " breaks: " << broken;
        }
    }
}

// A two-hour film under a preset is planned into one AVI 1.0 file under 2 GiB, its video rate
// lowered to fit but still watchable, and no warning.
TEST(CommandLine, ALongFilmIsPlannedIntoOneFileUnderTwoGiB) {
    const ConvertRun planned = RunConvert({"--dry-run", "--preset", "dvd-player", SamplePath("two_hour_film.mp4")});
    ASSERT_TRUE(planned.Succeeded()) << planned.errors;
    std::smatch found;
    ASSERT_TRUE(std::regex_search(planned.output, found,
                                  std::regex(R"(video rate: (\d+) kbit/s \(lowered from 4000 to fit one 2 GiB file\), )"
                                             R"(7200 s, about (\d+) bytes in one AVI 1.0 file)")))
        << planned.output;
    EXPECT_GT(std::stoll(found[1]), 1000);
    EXPECT_GT(std::stoll(found[2]), 1'900'000'000);
    EXPECT_LT(std::stoll(found[2]), 2'147'483'648LL - 16 * 1024 * 1024);
    EXPECT_EQ(planned.errors.find("too long"), std::string::npos) << planned.errors;
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

    // A stopped batch starts again: an output that is there is passed over, as done.
    const ConvertRun skipped = RunConvert({"--skip-existing", "-o", output.string(), input});
    ASSERT_TRUE(skipped.Succeeded()) << skipped.errors;
    EXPECT_NE(skipped.output.find("out.avi exists, skipped"), std::string::npos) << skipped.output;
    const ConvertRun planned =
        RunConvert({"--dry-run", "--keyint", "50", "--compressor", "mjpeg", input, input + "2"});
    ASSERT_TRUE(planned.Succeeded()) << planned.errors;
    EXPECT_TRUE(planned.output.starts_with("compressor: ")) << planned.output;
    EXPECT_TRUE(planned.output.ends_with(
        "\tMJPEG (Motion JPEG)\nsettings: quality=own bitrate=own keyint=50 max-size=own audio=keep\n" +
        input + " -> " + SamplePath("converted/mpeg1_mp2.avi").string() + "\n" + input + "2 -> " +
        SamplePath("converted/mpeg1_mp2 (2).avi").string() + "\n"))
        << planned.output;
    // A preset sets everything; what follows it changes single settings (a quality its data rate).
    const ConvertRun preset = RunConvert({"--dry-run", "--preset", "dvd-player", "--quality", "70", input});
    EXPECT_NE(preset.output.find("\nsettings: quality=70 bitrate=own keyint=250 max-size=720x576 "
                                 "audio=mp3-or-ac3 preset=dvd-player\n"),
              std::string::npos)
        << preset.output;
    EXPECT_EQ(Contents(output), "earlier");

    const ConvertRun replaced = RunConvert({"--overwrite", "--progress=json", "-o", output.string(), input});
    ASSERT_TRUE(replaced.Succeeded()) << replaced.errors;
    EXPECT_TRUE(Converted(output));
    // One object per line for front ends, ending with the result.
    const std::string object = R"(\{"file":")" + input +
                               R"(","index":1,"count":1,"percent":\d+,"fps":\d+,"eta":(\d+|null),"state":")";
    EXPECT_TRUE(std::regex_match(
        replaced.output, std::regex("(" + object + "converting\"\\}\n)+" + object + "converted\"\\}\n")))
        << replaced.output;
}

TEST(CommandLine, EveryFailureNamesItsCauseAfterTheWindowsMessage) {
    ScratchFolder folder("causes");
    const std::string good = SamplePath("mpeg1_mp2.mpg").string();
    fs::create_directory(folder / "folder");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::ofstream(folder / "text.mpg") << "not a video\n";
    fs::copy_file(good, folder / "unreadable.mpg");
    fs::permissions(folder / "unreadable.mpg", fs::perms::none);
    fs::create_directory(folder / "read-only");
    fs::permissions(folder / "read-only", fs::perms::owner_read | fs::perms::owner_exec);
    // Root reads and writes whatever the permissions say.
    const bool root = ::geteuid() == 0;
    const struct {
        std::vector<std::string> arguments;
        std::string said;
        bool skippedByRoot = false;
    } kCases[] = {
        {{(folder / "folder").string()}, "指定的輸入檔案不存在.: is a directory"},
        {{(folder / "fifo").string()}, "無法載入檔案的來源濾鏡: is not a regular file"},
        {{"--output-dir", (folder / "out").string(), "/dev/zero"},
         "無法載入檔案的來源濾鏡: is not a regular file"},
        {{(folder / "unreadable.mpg").string()}, ": Permission denied", true},
        {{(folder / "text.mpg").string()}, "無法連接視訊鏈: is not a media file FFmpeg can read ("},
        {{"--output-dir", (folder / "out").string(), SamplePath("audio_only.mpg").string()},
         "無法連接視訊鏈: holds no video stream"},
        {{"--output-dir", (folder / "read-only").string(), good},
         "output folder " + (folder / "read-only").string() + ": Permission denied",
         true},
        {{"-o", (folder / "missing/out.avi").string(), good},
         "無法設定 MUX 和檔案寫入: output folder " + (folder / "missing").string() +
             ": No such file or directory"},
    };
    for (const auto& failure : kCases) {
        if (failure.skippedByRoot && root) continue;
        const ConvertRun run = RunConvert(failure.arguments);
        EXPECT_EQ(run.exitCode, 1) << failure.said;
        EXPECT_NE(run.errors.find(failure.said), std::string::npos) << run.errors;
    }
    // The same failure in each language: the desktop's, else the text as written under C.
    const struct {
        const char* locale;
        std::string said;
    } kLanguages[] = {
        {"C.UTF-8", "無法連接視訊鏈: holds no video stream"},
        {"en_US.UTF-8", "Could not connect the video chain: holds no video stream"},
        {"zh_TW.UTF-8", "無法連接視訊鏈: 沒有視訊資料流"},
        {"de_DE.UTF-8", "Could not connect the video chain: holds no video stream"},
    };
    for (const auto& language : kLanguages) {
        const ConvertRun run =
            RunConvert({"--output-dir", (folder / "out").string(), SamplePath("audio_only.mpg").string()},
                       std::chrono::seconds(60), {std::string("LC_ALL=") + language.locale, "LANGUAGE="});
        EXPECT_EQ(run.exitCode, 1) << language.locale;
        EXPECT_NE(run.errors.find(language.said), std::string::npos) << language.locale << ": " << run.errors;
    }
    // -o on a folder, or for another container, is refused before anything starts.
    for (const std::string& output : {(folder / "folder").string(), (folder / "out.mkv").string()}) {
        const ConvertRun run = RunConvert({"--overwrite", "-o", output, good});
        EXPECT_EQ(run.exitCode, 2) << run.errors;
        EXPECT_NE(run.errors.find(output +
                                  (output.ends_with("mkv") ? ": the output is an AVI file" : " is a folder")),
                  std::string::npos)
            << run.errors;
    }
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
    EXPECT_EQ(helped.size(), 23u);
    for (std::size_t from = 0, to = 0; from < help.output.size(); from = to + 1) {
        to = help.output.find('\n', from);
        EXPECT_LE(to - from, 80u) << "fits 80 columns: " << help.output.substr(from, to - from);
    }
}

}  // namespace
}  // namespace clitest
