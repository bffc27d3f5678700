#include "cli/convert_options.h"

#include <string_view>

namespace {

// A long option that takes a value: "--name VALUE" or "--name=VALUE".
bool TakeValue(std::string_view name, const std::vector<std::string>& arguments, std::size_t& i,
               std::string& value, std::string& error) {
    const std::string_view argument = arguments[i];
    if (!argument.starts_with(name)) return false;
    if (argument.size() > name.size()) {
        if (argument[name.size()] != '=' || !name.starts_with("--")) return false;
        value = argument.substr(name.size() + 1);
    } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
    } else {
        error = "option " + std::string(name) + " needs a value";
        return true;
    }
    if (value.empty()) error = "option " + std::string(name) + " needs a value";
    return true;
}

// What the options mean together.
std::string Contradiction(const ConvertOptions& options) {
    if (options.help || options.version) return {};
    if (options.list) return options.files.empty() ? std::string() : "--list takes no FILE";
    if (options.files.empty()) return "no FILE to convert";
    if (!options.output.empty() && options.files.size() != 1) return "-o names the output of one FILE only";
    if (!options.output.empty() && !options.outputDir.empty())
        return "-o and --output-dir exclude each other";
    if (options.quiet && options.verbose) return "--quiet and --verbose exclude each other";
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
        std::string value;
        if (optionsEnded || argument == "-" || !argument.starts_with("-")) {
            options.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--list") {
            options.list = true;
        } else if (argument == "--no-audio") {
            options.keepAudio = false;
        } else if (argument == "--overwrite") {
            options.overwrite = true;
        } else if (argument == "--keep-going") {
            options.keepGoing = true;
        } else if (argument == "-q" || argument == "--quiet") {
            options.quiet = true;
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else if (argument == "-h" || argument == "--help") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (TakeValue("--compressor", arguments, i, value, error)) {
            options.compressor = value;
        } else if (TakeValue("--output-dir", arguments, i, value, error)) {
            options.outputDir = value;
        } else if (argument.starts_with("-o") && argument.size() > 2) {
            options.output = argument.substr(2);
        } else if (TakeValue("-o", arguments, i, value, error)) {
            options.output = value;
        } else {
            error = "unknown option " + argument;
        }
    }
    if (error.empty()) error = Contradiction(options);
    return parsed;
}
