#include "cli/file_batch.h"

#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "cli/compressor_choice.h"
#include "cli/file_conversion.h"
#include "cli/help_text.h"
#include "cli/job_plan.h"
#include "cli/message_relay.h"
#include "cli/progress_line.h"
#include "cli/stop_signals.h"
#include "engine/player_file_plan.h"
#include "text/message_catalogue.h"

namespace {

constexpr int kAnyFailed = 1;
constexpr int kUsageError = 2;

struct FailedFile {
    std::string file;
    std::string reason;
};

// "DIR" without trailing slashes ("/" stays); the jobs make it when they write into it. Empty when
// something else has the name, after saying so.
std::string PreparedOutputDir(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    struct stat status {};
    if (::stat(dir.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
        std::fprintf(stderr, Translated("tessarel-convert: %s is not a folder\n"), dir.c_str());
        return {};
    }
    return dir;
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// --dry-run: what the run would do, one line per FILE, and the compressor.
// A setting's value, or "own" where the compressor keeps its own.
std::string SettingText(int value, bool own) {
    return own ? std::string("own") : std::to_string(value);
}

// The options' compression settings, as the compressor takes them.
CompressionChoice CompressionChoiceOf(const ConvertOptions& options) {
    CompressionChoice choice;
    if (options.quality >= 0) choice.quality = options.quality / 100.0;
    if (options.keyFrameInterval > 0) choice.keyFrameRate = options.keyFrameInterval;
    choice.dataRate = LONGLONG{options.bitRateKbits} * 1000;
    choice.largest = {options.maxWidth, options.maxHeight};
    choice.audio = AudioChoiceNamed(options.audio).value_or(AudioChoice::Keep);
    choice.player = PlayerProfileNamed(options.player).value_or(PlayerProfile::None);
    return choice;
}

// For players: the video rate a job will be coded at, and the one file it makes, from the input's
// length; a warning when the film is too long for one file at a watchable rate.
void PrintPlayerPlan(const ListedJob& job, const CompressionChoice& choice, bool keepAudio) {
    PlayerFileInput input;
    const bool detected = DetectPlayerFileInput(job.input, choice, keepAudio, input);
    const PlayerFilePlan plan = PlanPlayerFile(choice, input);
    const LONGLONG chosen = PlanPlayerFile(choice, PlayerFileInput{}).videoBitsPerSecond;
    std::printf(Translated("  video rate: %lld kbit/s"),
                static_cast<long long>(plan.videoBitsPerSecond / 1000));
    if (plan.lowered)
        std::printf(Translated(" (lowered from %lld to fit one 2 GiB file)"),
                    static_cast<long long>(chosen / 1000));
    if (!detected || input.seconds <= 0)
        std::printf("%s", Translated(", length unknown\n"));
    else
        std::printf(Translated(", %.0f s, about %lld bytes in one AVI 1.0 file\n"), input.seconds,
                    static_cast<long long>(plan.expectedBytes));
    if (plan.tooLong)
        std::fprintf(stderr,
                     Translated("tessarel-convert: %s: warning: too long for one file at watchable quality: "
                                "its video gets %lld kbit/s\n"),
                     job.input.c_str(), static_cast<long long>(plan.videoBitsPerSecond / 1000));
}

void PrintPlan(const std::vector<ListedJob>& jobs, const CompressorChoice& compressor,
               const ConvertOptions& options) {
    std::printf("compressor: %ld\t%s\n", static_cast<long>(compressor.index), compressor.name.c_str());
    const std::string largest =
        options.maxWidth > 0 ? std::to_string(options.maxWidth) + "x" + std::to_string(options.maxHeight)
                             : "own";
    std::printf("settings: quality=%s bitrate=%s keyint=%s max-size=%s audio=%s%s%s\n",
                SettingText(options.quality, options.quality < 0).c_str(),
                SettingText(options.bitRateKbits, options.bitRateKbits <= 0).c_str(),
                SettingText(options.keyFrameInterval, options.keyFrameInterval <= 0).c_str(), largest.c_str(),
                options.keepAudio ? options.audio.c_str() : "none",
                options.preset.empty() ? "" : " preset=", options.preset.c_str());
    const bool skipExisting = options.skipExisting;
    const CompressionChoice choice = CompressionChoiceOf(options);
    for (const ListedJob& job : jobs) {
        const bool skipped = skipExisting && Exists(job.output);
        std::printf("%s -> %s%s\n", job.input.c_str(), job.output.c_str(),
                    skipped ? Translated(" (exists, skipped)") : "");
        if (options.player != "none" && !skipped) PrintPlayerPlan(job, choice, options.keepAudio);
    }
}

// With --keep-going, every failure again at the end; and whatever was left undone.
void Summarise(const std::vector<FailedFile>& failures, std::size_t jobs, std::size_t notStarted,
               bool keepGoing) {
    if (keepGoing && !failures.empty() && jobs > 1) {
        std::fprintf(stderr, Translated("tessarel-convert: %zu of %zu files failed:\n"), failures.size(),
                     jobs);
        for (const FailedFile& failure : failures)
            std::fprintf(stderr, "  %s: %s\n", failure.file.c_str(), failure.reason.c_str());
    }
    if (notStarted == 0) return;
    std::fprintf(stderr,
                 notStarted == 1 ? Translated("tessarel-convert: %zu more file was not converted%s\n")
                                 : Translated("tessarel-convert: %zu more files were not converted%s\n"),
                 notStarted, StopSignal() != 0 ? "" : Translated(" (--keep-going goes on after a failure)"));
}

}  // namespace

int ConvertFiles(const ConvertOptions& options) {
    const CompressorChoice compressor = ChooseCompressor(options.compressor, options.quiet);
    if (!compressor.usageError.empty()) {
        std::fprintf(stderr, "tessarel-convert: %s\n%s", compressor.usageError.c_str(), Translated(kTryHelp));
        return kUsageError;
    }
    if (!options.output.empty() && IsFolder(options.output)) {
        std::fprintf(
            stderr, Translated("tessarel-convert: -o %s is a folder; --output-dir puts the output into it\n"),
            options.output.c_str());
        std::fputs(Translated(kTryHelp), stderr);
        return kUsageError;
    }
    std::string outputDir;
    if (!options.outputDir.empty() && (outputDir = PreparedOutputDir(options.outputDir)).empty())
        return kAnyFailed;

    const std::vector<ListedJob> jobs = PlanJobs(options.files, options.output, outputDir);
    if (options.dryRun) {
        PrintPlan(jobs, compressor, options);
        return std::fflush(stdout) == 0 ? 0 : kAnyFailed;
    }
    JobSettings settings;
    settings.compressorIndex = compressor.index;
    settings.compression = CompressionChoiceOf(options);
    settings.keepAudio = options.keepAudio;
    settings.overwrite = options.overwrite;
    settings.ignoreWarnings = options.quiet;
    settings.createFolder = options.output.empty();

    CatchStopSignals();
    ProgressLine progress(ProgressStyleFor(STDOUT_FILENO, options.quiet, options.jsonProgress));
    MessageRelay messages(progress);
    InterfaceRef<IBaseFilter> compressorFilter;
    std::vector<FailedFile> failures;
    std::size_t next = 0;
    while (next < jobs.size() && StopSignal() == 0) {
        const ListedJob& job = jobs[next++];
        messages.BeginFile(job.input);
        progress.Begin(static_cast<int>(next), static_cast<int>(jobs.size()), job.input);
        if (options.skipExisting && Exists(job.output)) {
            progress.Skipped(job.output);
            continue;
        }
        const JobResult result = ConvertFile(job, settings, compressorFilter, progress, messages);
        if (result.outcome == JobOutcome::Converted) {
            progress.Converted(job.output);
            continue;
        }
        progress.Ended(result.outcome == JobOutcome::Failed ? "failed" : "stopped");
        if (!result.shown) messages.Show(result.reason);
        if (result.outcome == JobOutcome::Failed) {
            failures.push_back({job.input, result.reason});
            if (!options.keepGoing) break;
        }
    }
    messages.BeginFile({});
    Summarise(failures, jobs.size(), jobs.size() - next, options.keepGoing);
    if (const int signal = StopSignal(); signal != 0) return 128 + signal;
    return failures.empty() ? 0 : kAnyFailed;
}
