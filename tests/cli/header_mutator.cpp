#include "header_mutator.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace clitest {
namespace {

enum class Order { Little, Big };

// A place in the file where a header record starts, and how its size field is laid out.
struct Anchor {
    std::size_t offset = 0;  // of the record's identifier
    std::string_view id;
    Order order = Order::Little;
};

// RIFF chunks (AVI): the identifier, then a little-endian size.
constexpr std::array<std::string_view, 10> kRiffIds = {"RIFF", "LIST", "avih", "strh", "strf",
                                                       "strd", "indx", "idx1", "movi", "odml"};
// QuickTime atoms: a big-endian size, then the identifier.
constexpr std::array<std::string_view, 17> kAtomIds = {"moov", "mvhd", "trak", "tkhd", "edts", "elst",
                                                       "mdia", "mdhd", "hdlr", "minf", "stbl", "stsd",
                                                       "stts", "ctts", "stss", "stsc", "stsz"};
// MPEG start codes of the headers that describe streams and their packets.
constexpr std::array<std::uint8_t, 6> kMpegCodes = {0xBA, 0xBB, 0xB3, 0xB5, 0xE0, 0xC0};

constexpr std::array<std::uint32_t, 14> kEdgeValues = {0,          1,          2,          0x7F,      0x80,
                                                       0xFF,       0x7FFF,     0x8000,     0xFFFF,    0x10000,
                                                       0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

std::vector<Anchor> FindAnchors(const std::vector<std::uint8_t>& file) {
    std::vector<Anchor> anchors;
    const auto find = [&](std::string_view id, Order order) {
        const auto* begin = file.data();
        const auto* end = file.data() + file.size();
        for (const auto* at = std::search(begin, end, id.begin(), id.end()); at != end;
             at = std::search(at + 1, end, id.begin(), id.end())) {
            anchors.push_back({static_cast<std::size_t>(at - begin), id, order});
        }
    };
    for (std::string_view id : kRiffIds) find(id, Order::Little);
    for (std::string_view id : kAtomIds) find(id, Order::Big);
    for (std::size_t i = 0; i + 4 <= file.size(); ++i) {
        if (file[i] == 0 && file[i + 1] == 0 && file[i + 2] == 1 &&
            std::find(kMpegCodes.begin(), kMpegCodes.end(), file[i + 3]) != kMpegCodes.end()) {
            anchors.push_back({i, "MPEG start code", Order::Big});
        }
    }
    return anchors;
}

std::size_t Draw(std::mt19937& random, std::size_t below) {
    return std::uniform_int_distribution<std::size_t>(0, below - 1)(random);
}

void Store(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value, int width, Order order) {
    for (int i = 0; i < width && at + static_cast<std::size_t>(i) < bytes.size(); ++i) {
        const int shift = order == Order::Little ? 8 * i : 8 * (width - 1 - i);
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> shift);
    }
}

std::string Hex(std::uint32_t value) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "0x%X", value);
    return text.data();
}

}  // namespace

Mutation MutateHeader(const std::vector<std::uint8_t>& file, std::mt19937& random) {
    Mutation mutation{file, {}};
    std::vector<std::uint8_t>& bytes = mutation.bytes;
    if (bytes.size() < 16) return mutation;
    const std::vector<Anchor> anchors = FindAnchors(file);
    const std::size_t kind = anchors.empty() ? 2 + Draw(random, 2) : Draw(random, 4);

    if (kind == 0 || kind == 1) {
        const Anchor& anchor = anchors[Draw(random, anchors.size())];
        const std::uint32_t value = kEdgeValues[Draw(random, kEdgeValues.size())];
        if (kind == 0 && anchor.id != "MPEG start code") {
            // The size field: after a RIFF identifier, before a QuickTime one.
            const std::size_t at = anchor.order == Order::Little
                                       ? anchor.offset + 4
                                       : anchor.offset - std::min<std::size_t>(anchor.offset, 4);
            Store(bytes, at, value, 4, anchor.order);
            mutation.description =
                std::string(anchor.id) + " size at " + std::to_string(at) + " = " + Hex(value);
        } else {
            // A field within the record's first 64 bytes, 1, 2 or 4 bytes wide.
            const int width = std::array{1, 2, 4}[Draw(random, 3)];
            const std::size_t at = anchor.offset + 4 + Draw(random, 64);
            Store(bytes, at, value, width, anchor.order);
            mutation.description = std::string(anchor.id) + " field at " + std::to_string(at) + " (" +
                                   std::to_string(width) + " bytes) = " + Hex(value);
        }
    } else if (kind == 2) {
        // A few bytes of the header region (the first 16 KiB, or near a record) at random.
        const std::size_t count = 1 + Draw(random, 8);
        const std::size_t around = anchors.empty() ? 0 : anchors[Draw(random, anchors.size())].offset;
        mutation.description = std::to_string(count) + " random bytes near " + std::to_string(around) + ":";
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = std::min(bytes.size() - 1, around + Draw(random, 16384));
            bytes[at] = static_cast<std::uint8_t>(Draw(random, 256));
            mutation.description += " " + std::to_string(at);
        }
    } else {
        const std::size_t length = 1 + Draw(random, bytes.size() - 1);
        bytes.resize(length);
        mutation.description = "cut to " + std::to_string(length) + " bytes";
    }
    return mutation;
}

}  // namespace clitest
