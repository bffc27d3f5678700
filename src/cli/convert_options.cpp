#include "cli/convert_options.h"

#include <charconv>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/compression_presets.h"
#include "engine/compression_setting.h"

namespace {

// One option of the table: its short and long spellings, and what it sets. An option with a
// value gets it as the next argument, after "=" (long spelling) or glued on (short spelling).
struct OptionRule {
    std::string_view shortName;  // "-o", or empty
    std::string_view longName;   // "--output-dir", or empty
    bool takesValue = false;
    // Sets what the option means; returns a usage error, or empty.
    std::string (*apply)(ConvertOptions& options, const std::string& value) = nullptr;
};

template <bool ConvertOptions::*flag, bool value = true>
std::string Set(ConvertOptions& options, const std::string&) {
    options.*flag = value;
    return {};
}

template <auto field>
std::string SetText(ConvertOptions& options, const std::string& value) {
    options.*field = value;
    return {};
}

// A whole number from low to high, written in decimal digits only, for the option name.
template <int ConvertOptions::*field, int low, int high>
std::string SetNumber(ConvertOptions& options, const std::string& value, std::string_view name) {
    int number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || number < low || number > high) {
        return std::string(name) + " takes a whole number from " + std::to_string(low) + " to " +
               std::to_string(high) + ", not '" + value + "'";
    }
    options.*field = number;
    return {};
}

// A quality given after a preset replaces the preset's data rate, as a data rate replaces quality.
std::string SetQuality(ConvertOptions& options, const std::string& value) {
    if (options.rateFromPreset) options.bitRateKbits = 0;
    options.rateFromPreset = false;
    return SetNumber<&ConvertOptions::quality, 0, kHighestQualityPercent>(options, value, "--quality");
}
std::string SetBitRate(ConvertOptions& options, const std::string& value) {
    options.rateFromPreset = false;
    return SetNumber<&ConvertOptions::bitRateKbits, 1, kHighestDataRateKbits>(options, value, "--bitrate");
}
std::string SetKeyFrameInterval(ConvertOptions& options, const std::string& value) {
    return SetNumber<&ConvertOptions::keyFrameInterval, 1, kHighestKeyFrameRate>(options, value, "--keyint");
}

// WxH, each side from 16 to 16384 pixels ("x" or "X" between them).
std::string SetMaxSize(ConvertOptions& options, const std::string& value) {
    const std::string error = "--max-size takes WIDTHxHEIGHT, each from 16 to 16384, not '" + value + "'";
    const auto by = value.find_first_of("xX");
    if (by == std::string::npos) return error;
    int sides[2] = {};
    const std::string_view parts[2] = {std::string_view(value).substr(0, by),
                                       std::string_view(value).substr(by + 1)};
    for (int i = 0; i < 2; ++i) {
        const auto [end, failure] =
            std::from_chars(parts[i].data(), parts[i].data() + parts[i].size(), sides[i]);
        if (parts[i].empty() || failure != std::errc() || end != parts[i].data() + parts[i].size() ||
            sides[i] < kSmallestPictureSide || sides[i] > kLargestPictureSide) {
            return error;
        }
    }
    options.maxWidth = sides[0];
    options.maxHeight = sides[1];
    return {};
}

std::string SetAudio(ConvertOptions& options, const std::string& value) {
    if (!AudioChoiceNamed(value))
        return "--audio takes keep, mp3, mp3-when-needed or mp3-or-ac3, not '" + value + "'";
    options.audio = value;
    return {};
}

// Every setting the preset has, as if given here: what follows on the line overrides it.
std::string SetPreset(ConvertOptions& options, const std::string& value) {
    const CompressionPreset* preset = FindCompressionPreset(value);
    if (preset == nullptr) return "no preset is called '" + value + "'; --list-presets lists them";
    const CompressionChoice& choice = preset->choice;
    options.preset = preset->name;
    options.compressor = std::string(preset->compressor);
    options.quality = choice.quality < 0 ? -1 : static_cast<int>(choice.quality * 100 + 0.5);
    options.bitRateKbits = static_cast<int>(choice.dataRate / 1000);
    options.rateFromPreset = choice.dataRate > 0;
    options.keyFrameInterval = choice.keyFrameRate;
    options.maxWidth = choice.largest.width;
    options.maxHeight = choice.largest.height;
    options.audio = AudioChoiceName(choice.audio);
    options.player = PlayerProfileName(choice.player);
    return {};
}

std::string SetProgress(ConvertOptions& options, const std::string& value) {
    if (value != "json") return "--progress takes only json";
    options.jsonProgress = true;
    return {};
}

constexpr OptionRule kOptions[] = {
    {"-o", "", true, SetText<&ConvertOptions::output>},
    {"", "--output-dir", true, SetText<&ConvertOptions::outputDir>},
    {"", "--compressor", true, SetText<&ConvertOptions::compressor>},
    {"", "--quality", true, SetQuality},
    {"", "--bitrate", true, SetBitRate},
    {"", "--keyint", true, SetKeyFrameInterval},
    {"", "--max-size", true, SetMaxSize},
    {"", "--audio", true, SetAudio},
    {"", "--preset", true, SetPreset},
    {"", "--list-presets", false, Set<&ConvertOptions::listPresets>},
    {"", "--list", false, Set<&ConvertOptions::list>},
    {"", "--no-audio", false, Set<&ConvertOptions::keepAudio, false>},
    {"", "--overwrite", false, Set<&ConvertOptions::overwrite>},
    {"", "--skip-existing", false, Set<&ConvertOptions::skipExisting>},
    {"", "--keep-going", false, Set<&ConvertOptions::keepGoing>},
    {"", "--dry-run", false, Set<&ConvertOptions::dryRun>},
    {"", "--progress", true, SetProgress},
    {"-q", "--quiet", false, Set<&ConvertOptions::quiet>},
    {"", "--verbose", false, Set<&ConvertOptions::verbose>},
    {"-h", "--help", false, Set<&ConvertOptions::help>},
    {"", "--version", false, Set<&ConvertOptions::version>},
};

// The rule argument spells, and the value glued to it ("--name=VALUE", "-oVALUE") if any.
const OptionRule* RuleFor(std::string_view argument, std::optional<std::string>& glued) {
    for (const OptionRule& rule : kOptions) {
        if (!rule.longName.empty() && argument.starts_with(rule.longName)) {
            if (argument.size() == rule.longName.size()) return &rule;
            if (argument[rule.longName.size()] == '=') {
                glued = std::string(argument.substr(rule.longName.size() + 1));
                return &rule;
            }
        }
        if (!rule.shortName.empty() && argument.starts_with(rule.shortName)) {
            if (argument.size() == rule.shortName.size()) return &rule;
            if (rule.takesValue) {
                glued = std::string(argument.substr(rule.shortName.size()));
                return &rule;
            }
        }
    }
    return nullptr;
}

// The name's extension, lower-cased with its dot; empty when it has none.
std::string ExtensionOf(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    std::string extension = name.substr(dot);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

// What the options mean together.
std::string Contradiction(const ConvertOptions& options) {
    if (options.help || options.version) return {};
    if (options.list) return options.files.empty() ? std::string() : "--list takes no FILE";
    if (options.listPresets) return options.files.empty() ? std::string() : "--list-presets takes no FILE";
    if (options.files.empty()) return "no FILE to convert";
    if (!options.output.empty() && options.files.size() != 1) return "-o names the output of one FILE only";
    if (!options.output.empty() && !options.outputDir.empty())
        return "-o and --output-dir exclude each other";
    if (const std::string extension = ExtensionOf(options.output); !extension.empty() && extension != ".avi")
        return "-o " + options.output + ": the output is an AVI file; name it .avi";
    if (options.quiet && options.verbose) return "--quiet and --verbose exclude each other";
    if (options.quality >= 0 && options.bitRateKbits > 0)
        return "--quality and --bitrate exclude each other: a data rate replaces quality";
    if (options.overwrite && options.skipExisting)
        return "--overwrite and --skip-existing exclude each other";
    return {};
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& arguments) {
    ParsedArguments parsed;
    ConvertOptions& options = parsed.options;
    std::string& error = parsed.usageError;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size() && error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument == "-" || !argument.starts_with("-")) {
            options.files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> value;
        const OptionRule* rule = RuleFor(argument, value);
        if (rule == nullptr) {
            error = "unknown option " + argument;
            continue;
        }
        const std::string name(rule->longName.empty() ? rule->shortName : rule->longName);
        if (!rule->takesValue && value) {
            error = "option " + name + " takes no value";
            continue;
        }
        if (rule->takesValue && !value && i + 1 < arguments.size()) value = arguments[++i];
        if (rule->takesValue && (!value || value->empty())) {
            error = "option " + name + " needs a value";
            continue;
        }
        error = rule->apply(options, value.value_or(std::string()));
    }
    if (error.empty()) error = Contradiction(options);
    return parsed;
}
