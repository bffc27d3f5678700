#pragma once

// Which compressor the command line converts with: --compressor matched against the
// catalogue's names, or the automatic choice that the window starts with.

#include <optional>
#include <string>
#include <vector>

#include "media/api/types.h"

struct CompressorChoice {
    LONG index = -1;
    std::string name;        // the entry's name, when index is in the catalogue
    std::string usageError;  // empty when index is the choice
};

// The catalogue entry that wanted means: an index when it is all digits; otherwise, in any case,
// the entry whose name or encoder name ("libx264", beside encoders[i]) it is, or the one a short
// name users type stands for ("h264", "x264", "xvid", "divx"), or else the one entry whose name
// holds it. No entry, or more than one, is a usage error that lists the candidates.
[[nodiscard]] CompressorChoice MatchCompressor(const std::vector<std::string>& names,
                                               const std::vector<std::string>& encoders,
                                               const std::string& wanted);

// wanted matched against the installed catalogue, or, without it, the automatic choice (the
// stored one when nothing qualifies, with a warning on the error output unless quiet).
[[nodiscard]] CompressorChoice ChooseCompressor(const std::optional<std::string>& wanted, bool quiet);

// --list: "INDEX<TAB>NAME", and "<TAB>(automatic)" after the automatic choice. 0, or 1 when the
// catalogue cannot be read (its message has been shown).
[[nodiscard]] int ListCompressors();

// --list-presets: "NAME<TAB>SUMMARY" for each preset. 0, or 1 when the list cannot be written.
[[nodiscard]] int ListPresets();
