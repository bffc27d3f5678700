// tessarel-convert: the window's conversion from the command line. See help_text.cpp and the
// manual page tessarel-convert(1).

#include <cstdio>
#include <string>
#include <vector>

#include "cli/compressor_choice.h"
#include "cli/convert_options.h"
#include "cli/file_batch.h"
#include "cli/help_text.h"
#include "cli/stop_signals.h"
#include "media/api/class_registry.h"
#include "media/api/ffmpeg_log.h"
#include "text/message_catalogue.h"

int main(int argc, char** argv) {
    (void)UseMessageLanguage(MessageLanguageOfEnvironment(), InstalledLocaleFolder());
    const ParsedArguments parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    const ConvertOptions& options = parsed.options;
    if (!parsed.usageError.empty()) {
        std::fprintf(stderr, "tessarel-convert: %s\n%s", parsed.usageError.c_str(), Translated(kTryHelp));
        return 2;
    }
    if (options.help) return std::fputs(Translated(kHelpText), stdout) < 0 ? 1 : 0;
    if (options.version) return std::fputs(VersionText(), stdout) < 0 ? 1 : 0;

    if (options.verbose) media::SetFfmpegLogging(media::FfmpegLogging::Warnings);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int status = options.list          ? ListCompressors()
                       : options.listPresets ? ListPresets()
                                             : ConvertFiles(options);
    CoUninitialize();
    // A shell stops its loop only for a program that a signal ended.
    DieByStopSignal();
    return status;
}
