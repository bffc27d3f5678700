#pragma once

// Damages media files the way broken downloads, bad tools and hostile files do: in their headers
// and in the sizes they declare. Each mutation is drawn from a seeded generator, so a case number
// and a seed always give the same damaged file.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace clitest {

struct Mutation {
    std::vector<std::uint8_t> bytes;  // the damaged file
    std::string description;          // what was done, for the report
};

// One damaged copy of file (its bytes), drawn with random. The kinds, in about equal shares:
// - a declared size (an AVI chunk's, a QuickTime atom's) set to an edge value;
// - a field of a header record (AVI stream header and format, QuickTime sample tables, MPEG
//   stream headers) set to an edge value: 0, 1, all ones, the largest signed value, ...;
// - a few header bytes overwritten at random;
// - the file cut short at a random length.
[[nodiscard]] Mutation MutateHeader(const std::vector<std::uint8_t>& file, std::mt19937& random);

}  // namespace clitest
