#include "cli/compressor_choice.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "engine/compression_presets.h"
#include "engine/compressor_catalogue.h"
#include "engine/compressor_selection.h"
#include "text/message_catalogue.h"

namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

std::string Listed(const std::vector<std::string>& names, const std::vector<std::size_t>& indices) {
    std::string text;
    for (std::size_t index : indices) text += "\n  " + std::to_string(index) + "  " + names[index];
    return text;
}

// The encoders a short name stands for, the first installed one chosen. DivX and Xvid write the
// same MPEG-4 part 2 that FFmpeg's own encoder writes.
struct ShortName {
    std::string_view name;
    std::array<std::string_view, 2> encoders;
};
constexpr ShortName kShortNames[] = {
    {"h264", {"libx264", {}}},
    {"x264", {"libx264", {}}},
    {"xvid", {"libxvid", "mpeg4"}},
    {"divx", {"libxvid", "mpeg4"}},
};

// The entry that lowered names exactly, by its name, its encoder's name or a short name.
std::optional<std::size_t> ExactMatch(const std::vector<std::string>& names,
                                      const std::vector<std::string>& encoders, const std::string& lowered) {
    const auto encoderIndex = [&](std::string_view encoder) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < encoders.size() && i < names.size(); ++i)
            if (!encoder.empty() && Lowered(encoders[i]) == encoder) return i;
        return std::nullopt;
    };
    for (std::size_t i = 0; i < names.size(); ++i)
        if (Lowered(names[i]) == lowered) return i;
    if (const auto index = encoderIndex(lowered)) return index;
    for (const ShortName& shortName : kShortNames) {
        if (shortName.name != lowered) continue;
        for (std::string_view encoder : shortName.encoders)
            if (const auto index = encoderIndex(encoder)) return index;
    }
    return std::nullopt;
}

std::vector<std::size_t> AllIndices(std::size_t count) {
    std::vector<std::size_t> indices(count);
    for (std::size_t i = 0; i < count; ++i) indices[i] = i;
    return indices;
}

}  // namespace

CompressorChoice MatchCompressor(const std::vector<std::string>& names,
                                 const std::vector<std::string>& encoders, const std::string& wanted) {
    CompressorChoice choice;
    if (!wanted.empty() &&
        std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (wanted.size() <= 9 && std::stoul(wanted) < names.size()) {
            choice.index = static_cast<LONG>(std::stoul(wanted));
        } else {
            choice.usageError = FormatText(Translated("no compressor has the index %s; the compressors are:"),
                                           wanted.c_str()) +
                                Listed(names, AllIndices(names.size()));
        }
        return choice;
    }
    const std::string lowered = Lowered(wanted);
    if (const auto exact = ExactMatch(names, encoders, lowered)) {
        choice.index = static_cast<LONG>(*exact);
        return choice;
    }
    std::vector<std::size_t> holding;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (Lowered(names[i]).find(lowered) != std::string::npos) holding.push_back(i);
    if (holding.size() == 1) {
        choice.index = static_cast<LONG>(holding.front());
    } else if (holding.empty()) {
        choice.usageError =
            FormatText(Translated("no compressor matches '%s'; the compressors are:"), wanted.c_str()) +
            Listed(names, AllIndices(names.size()));
    } else {
        choice.usageError = FormatText(Translated("'%s' matches several compressors:"), wanted.c_str()) +
                            Listed(names, holding);
    }
    return choice;
}

CompressorChoice ChooseCompressor(const std::optional<std::string>& wanted, bool quiet) {
    std::vector<std::string> names;
    std::vector<std::string> encoders;
    LONG automatic = -1;
    (void)EnumerateCompressors(names, automatic, &encoders);
    CompressorChoice choice;
    if (wanted) {
        choice = MatchCompressor(names, encoders, *wanted);
    } else {
        choice.index = StartupCompressorIndex(automatic);
    }
    if (choice.index >= 0 && static_cast<std::size_t>(choice.index) < names.size())
        choice.name = names[static_cast<std::size_t>(choice.index)];
    if (wanted) return choice;
    if (automatic == -1 && !quiet) {
        std::fprintf(
            stderr,
            Translated("tessarel-convert: no Xvid or DivX compressor is installed; converting with the "
                       "stored choice, compressor %ld\n"),
            static_cast<long>(choice.index));
    }
    return choice;
}

int ListCompressors() {
    std::vector<std::string> names;
    LONG automatic = -1;
    if (FAILED(EnumerateCompressors(names, automatic))) return 1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::printf("%zu\t%s%s\n", i, names[i].c_str(),
                    static_cast<LONG>(i) == automatic ? Translated("\t(automatic)") : "");
    }
    return 0;
}

int ListPresets() {
    for (const CompressionPreset& preset : CompressionPresets()) {
        std::printf("%.*s\t%s\n", static_cast<int>(preset.name.size()), preset.name.data(),
                    Translated(preset.summary.data()));
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
