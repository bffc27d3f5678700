#include "cli/compressor_choice.h"

#include <algorithm>
#include <cstdio>

#include "engine/compressor_catalogue.h"
#include "engine/compressor_selection.h"

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

std::vector<std::size_t> AllIndices(std::size_t count) {
    std::vector<std::size_t> indices(count);
    for (std::size_t i = 0; i < count; ++i) indices[i] = i;
    return indices;
}

}  // namespace

CompressorChoice MatchCompressor(const std::vector<std::string>& names, const std::string& wanted) {
    CompressorChoice choice;
    if (!wanted.empty() &&
        std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (wanted.size() <= 9 && std::stoul(wanted) < names.size()) {
            choice.index = static_cast<LONG>(std::stoul(wanted));
        } else {
            choice.usageError = "no compressor has the index " + wanted +
                                "; the compressors are:" + Listed(names, AllIndices(names.size()));
        }
        return choice;
    }
    const std::string lowered = Lowered(wanted);
    std::vector<std::size_t> holding;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = Lowered(names[i]);
        if (name == lowered) {
            choice.index = static_cast<LONG>(i);
            return choice;
        }
        if (name.find(lowered) != std::string::npos) holding.push_back(i);
    }
    if (holding.size() == 1) {
        choice.index = static_cast<LONG>(holding.front());
    } else if (holding.empty()) {
        choice.usageError = "no compressor matches '" + wanted +
                            "'; the compressors are:" + Listed(names, AllIndices(names.size()));
    } else {
        choice.usageError = "'" + wanted + "' matches several compressors:" + Listed(names, holding);
    }
    return choice;
}

CompressorChoice ChooseCompressor(const std::optional<std::string>& wanted, bool quiet) {
    std::vector<std::string> names;
    LONG automatic = -1;
    (void)EnumerateCompressors(names, automatic);
    if (wanted) return MatchCompressor(names, *wanted);
    CompressorChoice choice;
    choice.index = StartupCompressorIndex(automatic);
    if (automatic == -1 && !quiet) {
        std::fprintf(stderr,
                     "tessarel-convert: no Xvid or DivX compressor is installed; converting with the stored "
                     "choice, compressor %ld\n",
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
                    static_cast<LONG>(i) == automatic ? "\t(automatic)" : "");
    }
    return 0;
}
