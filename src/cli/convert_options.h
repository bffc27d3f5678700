#pragma once

// The command line of tessarel-convert, parsed: what the user asked for, or why the line is not
// one the program takes (a usage error).

#include <optional>
#include <string>
#include <vector>

struct ConvertOptions {
    std::vector<std::string> files;         // the inputs, in the order given
    std::string output;                     // -o: the one output's name
    std::string outputDir;                  // --output-dir: where every output goes
    std::optional<std::string> compressor;  // --compressor: a name, a part of one, or an index
    int quality = -1;                       // --quality: 0 (smallest) to 100 (best); -1: the compressor's own
    int bitRateKbits = 0;                   // --bitrate: average kbit/s instead of quality; 0: quality
    int keyFrameInterval = -1;              // --keyint: at most this many frames between key frames; -1: own
    int maxWidth = 0;                       // --max-size: the largest picture; 0 x 0: each its own size
    int maxHeight = 0;
    std::string audio = "keep";   // --audio: keep, mp3, mp3-when-needed or mp3-or-ac3
    std::string player = "none";  // the players whose rules --preset keeps: none, home-theater, hd
    std::string preset;           // --preset: the last one named, for --dry-run
    bool rateFromPreset = false;  // the data rate is the preset's: --quality replaces it
    bool listPresets = false;
    bool list = false;
    bool keepAudio = true;
    bool overwrite = false;
    bool skipExisting = false;  // a FILE whose output exists is passed over, and counts as done
    bool keepGoing = false;
    bool dryRun = false;        // each FILE's output and the compressor are printed, nothing converted
    bool jsonProgress = false;  // --progress=json: one JSON object per line, for front ends
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

struct ParsedArguments {
    ConvertOptions options;
    std::string usageError;  // empty when the line is good
};

// Options may come in any order among the files; "--" ends them, so a file may begin with "-".
// An option's value follows it as the next argument, or after "=" for a long option, or glued to
// a short one ("-oOUT"). The options are one table: a new one is one row.
[[nodiscard]] ParsedArguments ParseArguments(const std::vector<std::string>& arguments);
