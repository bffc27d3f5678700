#include "media/filters/splitter_composition_offsets.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

extern "C" {
#include <libavutil/avutil.h>
}

namespace media {
namespace {

// A movie box larger than this is not read: its tables would take more memory than they are worth.
constexpr std::int64_t kMaxMovieBox = 64 << 20;
constexpr std::size_t kMaxSamples = 1 << 24;
// The least delay counts when at least one sample in this many has it; a table with more samples
// than that off its grid is left as it is.
constexpr std::size_t kShareOfLeastDelayed = 20;
// How far from its own decoding slot a picture with a bad offset may be put back: no codec
// reorders pictures further.
constexpr std::size_t kMaxReorderFrames = 16;

using Bytes = std::vector<std::uint8_t>;

struct Box {
    std::string_view type;
    std::size_t body = 0;  // where its contents start
    std::size_t end = 0;
};

std::uint32_t Be32(const Bytes& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

std::uint64_t Be64(const Bytes& bytes, std::size_t at) {
    return std::uint64_t{Be32(bytes, at)} << 32 | Be32(bytes, at + 4);
}

// The boxes directly inside [begin, end), as far as their sizes hold together.
std::vector<Box> Children(const Bytes& bytes, std::size_t begin, std::size_t end) {
    std::vector<Box> boxes;
    for (std::size_t at = begin; at + 8 <= end;) {
        std::uint64_t size = Be32(bytes, at);
        std::size_t header = 8;
        if (size == 1 && at + 16 <= end) {
            size = Be64(bytes, at + 8);
            header = 16;
        } else if (size == 0) {
            size = end - at;
        }
        if (size < header || size > end - at) break;
        boxes.push_back({std::string_view(reinterpret_cast<const char*>(&bytes[at + 4]), 4), at + header,
                         at + static_cast<std::size_t>(size)});
        at += static_cast<std::size_t>(size);
    }
    return boxes;
}

std::optional<Box> Child(const Bytes& bytes, const Box& parent, std::string_view type) {
    for (const Box& box : Children(bytes, parent.body, parent.end))
        if (box.type == type) return box;
    return std::nullopt;
}

// The movie box's bytes, found among the file's top-level boxes.
std::optional<Bytes> MovieBox(AVIOContext& io) {
    const std::int64_t length = avio_size(&io);
    std::int64_t at = 0;
    Bytes header(16);
    while (length > 0 && at + 8 <= length) {
        if (avio_seek(&io, at, SEEK_SET) != at || avio_read(&io, header.data(), 16) < 8) return std::nullopt;
        std::int64_t size = Be32(header, 0);
        if (size == 1) size = static_cast<std::int64_t>(Be64(header, 8));
        if (size == 0) size = length - at;
        if (size < 8 || size > length - at) return std::nullopt;
        if (std::string_view(reinterpret_cast<const char*>(&header[4]), 4) == "moov") {
            if (size > kMaxMovieBox) return std::nullopt;
            Bytes box(static_cast<std::size_t>(size));
            if (avio_seek(&io, at, SEEK_SET) != at ||
                avio_read(&io, box.data(), static_cast<int>(size)) != static_cast<int>(size))
                return std::nullopt;
            return box;
        }
        at += size;
    }
    return std::nullopt;
}

// A full box's entry count and where its entries start, when count entries of entrySize fit.
std::optional<std::pair<std::uint32_t, std::size_t>> Entries(const Bytes& bytes, const Box& box,
                                                             std::size_t before, std::size_t entrySize) {
    if (box.body + 8 + before > box.end) return std::nullopt;
    const std::uint32_t count = Be32(bytes, box.body + 4 + before);
    const std::size_t first = box.body + 8 + before;
    if (count > kMaxSamples || (box.end - first) / entrySize < count) return std::nullopt;
    return std::pair{count, first};
}

}  // namespace

std::optional<SplitterCompositionOffsets> SplitterCompositionOffsets::Read(AVIOContext& io, int trackId) {
    const std::optional<Bytes> movie = MovieBox(io);
    if (!movie) return std::nullopt;
    const Bytes& bytes = *movie;
    const std::vector<Box> top = Children(bytes, 0, bytes.size());
    if (top.empty()) return std::nullopt;
    for (const Box& track : Children(bytes, top.front().body, top.front().end)) {
        if (track.type != "trak") continue;
        const std::optional<Box> header = Child(bytes, track, "tkhd");
        if (!header || header->body + 24 > header->end) continue;
        const std::size_t idAt = header->body + (bytes[header->body] == 1 ? 20 : 12);
        if (Be32(bytes, idAt) != static_cast<std::uint32_t>(trackId)) continue;
        std::optional<Box> table = Child(bytes, track, "mdia");
        if (table) table = Child(bytes, *table, "minf");
        if (table) table = Child(bytes, *table, "stbl");
        if (!table) return std::nullopt;
        const std::optional<Box> ctts = Child(bytes, *table, "ctts");
        const std::optional<Box> stsz = Child(bytes, *table, "stsz");
        const std::optional<Box> stsc = Child(bytes, *table, "stsc");
        std::optional<Box> stco = Child(bytes, *table, "stco");
        const bool wide = !stco;
        if (wide) stco = Child(bytes, *table, "co64");
        if (!ctts || !stsz || !stsc || !stco) return std::nullopt;

        const auto sizes = Entries(bytes, *stsz, 4, 4);
        const auto chunksPerRun = Entries(bytes, *stsc, 0, 12);
        const auto chunks = Entries(bytes, *stco, 0, wide ? 8 : 4);
        const auto offsetRuns = Entries(bytes, *ctts, 0, 8);
        const std::optional<Box> stts = Child(bytes, *table, "stts");
        const auto durationRuns = stts ? Entries(bytes, *stts, 0, 8) : std::nullopt;
        if (!sizes || !chunksPerRun || !chunks || !offsetRuns || !durationRuns) return std::nullopt;
        const std::uint32_t sampleCount = sizes->first;
        const std::uint32_t fixedSize = Be32(bytes, stsz->body + 4);
        if (fixedSize == 0 && (stsz->end - sizes->second) / 4 < sampleCount) return std::nullopt;

        std::vector<std::int32_t> offsets;
        for (std::uint32_t run = 0; run < offsetRuns->first && offsets.size() < sampleCount; ++run) {
            const std::size_t at = offsetRuns->second + 8 * std::size_t{run};
            const std::uint32_t count =
                std::min(Be32(bytes, at), sampleCount - static_cast<std::uint32_t>(offsets.size()));
            offsets.insert(offsets.end(), count, static_cast<std::int32_t>(Be32(bytes, at + 4)));
        }

        std::vector<std::int64_t> decodeTimes;
        std::int64_t decodeTime = 0;
        for (std::uint32_t run = 0; run < durationRuns->first && decodeTimes.size() < sampleCount; ++run) {
            const std::size_t at = durationRuns->second + 8 * std::size_t{run};
            const std::uint32_t count =
                std::min(Be32(bytes, at), sampleCount - static_cast<std::uint32_t>(decodeTimes.size()));
            for (std::uint32_t i = 0; i < count; ++i, decodeTime += Be32(bytes, at + 4))
                decodeTimes.push_back(decodeTime);
        }

        std::vector<Sample> samples;
        samples.reserve(sampleCount);
        std::uint32_t run = 0;
        for (std::uint32_t chunk = 0; chunk < chunks->first && samples.size() < sampleCount; ++chunk) {
            while (run + 1 < chunksPerRun->first &&
                   Be32(bytes, chunksPerRun->second + 12 * (run + 1)) <= chunk + 1)
                ++run;
            const std::uint32_t perChunk = Be32(bytes, chunksPerRun->second + 12 * std::size_t{run} + 4);
            const std::size_t chunkAt = chunks->second + (wide ? 8 : 4) * std::size_t{chunk};
            std::int64_t position =
                wide ? static_cast<std::int64_t>(Be64(bytes, chunkAt)) : std::int64_t{Be32(bytes, chunkAt)};
            for (std::uint32_t i = 0; i < perChunk && samples.size() < sampleCount; ++i) {
                const auto index = static_cast<std::uint32_t>(samples.size());
                samples.push_back({position, index});
                position += fixedSize != 0 ? fixedSize : Be32(bytes, sizes->second + 4 * std::size_t{index});
            }
        }
        std::sort(samples.begin(), samples.end(),
                  [](const Sample& a, const Sample& b) { return a.position < b.position; });
        std::vector<std::int32_t> shown = ShownOffsets(decodeTimes, offsets);
        return SplitterCompositionOffsets(std::move(samples), std::move(offsets), std::move(shown));
    }
    return std::nullopt;
}

std::vector<std::int32_t> SplitterCompositionOffsets::ShownOffsets(
    const std::vector<std::int64_t>& decodeTimes, const std::vector<std::int32_t>& offsets) {
    const std::size_t count = std::min(decodeTimes.size(), offsets.size());
    std::vector<std::int32_t> shown(offsets.begin(), offsets.begin() + static_cast<std::ptrdiff_t>(count));
    if (count < 3) return shown;
    // The delay of the pictures shown as soon as they are decoded: the least offset a good share
    // of the samples has. Every picture is shown on the grid of decoding times moved by it.
    std::vector<std::int32_t> sorted = shown;
    std::sort(sorted.begin(), sorted.end());
    const std::int32_t delay = sorted[count / kShareOfLeastDelayed];
    std::vector<std::int64_t> grid(count);
    for (std::size_t i = 0; i < count; ++i) grid[i] = decodeTimes[i] + delay;
    // The grid slot each sample claims: the nearest, when within half a frame of it.
    const auto slotOf = [&](std::int64_t time) -> std::optional<std::size_t> {
        const auto next = std::lower_bound(grid.begin(), grid.end(), time);
        std::optional<std::size_t> best;
        for (auto it : {next, next == grid.begin() ? next : next - 1}) {
            if (it == grid.end()) continue;
            const auto slot = static_cast<std::size_t>(it - grid.begin());
            const std::int64_t frame =
                (slot + 1 < count ? grid[slot + 1] : grid[slot]) - (slot > 0 ? grid[slot - 1] : grid[slot]);
            if (std::llabs(*it - time) * 4 <= frame &&
                (!best || std::llabs(*it - time) < std::llabs(grid[*best] - time)))
                best = slot;
        }
        return best;
    };
    std::vector<std::optional<std::size_t>> claims(count);
    std::vector<std::size_t> owner(count, count);  // the sample a slot is taken by
    std::size_t offGrid = 0;
    for (std::size_t i = 0; i < count; ++i) {
        claims[i] = slotOf(decodeTimes[i] + shown[i]);
        if (!claims[i]) ++offGrid;
    }
    // A table whose pictures don't sit on its own grid (a variable rate with reordering) is left
    // as it is: there is no telling a bad offset from a good one.
    if (offGrid * kShareOfLeastDelayed > count) return shown;
    // Two samples on one slot: the one whose offset the table has less often is the bad one, or
    // when they are alike, the one further from its own decoding slot. Only one that claims a later
    // slot is moved: a picture that claims to be shown before pictures decoded ahead of it comes out
    // of the decoder after them and is shown in its place anyway, while one shown later would hold
    // up every picture after it.
    const auto often = [&](std::size_t sample) {
        const auto [first, last] = std::equal_range(sorted.begin(), sorted.end(), shown[sample]);
        return last - first;
    };
    const auto away = [&](std::size_t sample) { return grid[*claims[sample]] - grid[sample]; };
    std::vector<bool> bad(count, false);
    for (std::size_t i = 0; i < count; ++i) {
        if (!claims[i]) continue;
        std::size_t& taken = owner[*claims[i]];
        if (taken == count) {
            taken = i;
            continue;
        }
        const bool alike = often(i) == often(taken);
        const std::size_t worse =
            (alike ? std::llabs(away(i)) > std::llabs(away(taken)) : often(i) < often(taken)) ? i : taken;
        if (away(worse) <= 0) continue;
        bad[worse] = true;
        if (worse == taken) taken = i;
    }
    // Each bad one takes the free slot nearest its own decoding slot, in decoding order.
    for (std::size_t i = 0; i < count; ++i) {
        if (!bad[i]) continue;
        std::optional<std::size_t> free;
        for (std::size_t reach = 0; reach <= kMaxReorderFrames && !free; ++reach) {
            if (i + reach < count && owner[i + reach] == count)
                free = i + reach;
            else if (reach <= i && owner[i - reach] == count)
                free = i - reach;
        }
        if (!free) continue;
        owner[*free] = i;
        shown[i] = static_cast<std::int32_t>(grid[*free] - decodeTimes[i]);
    }
    return shown;
}

void SplitterCompositionOffsets::Mend(AVPacket& packet) {
    if (packet.pos < 0 || packet.pts == AV_NOPTS_VALUE || packet.dts == AV_NOPTS_VALUE) return;
    const auto found =
        std::lower_bound(m_byPosition.begin(), m_byPosition.end(), packet.pos,
                         [](const Sample& sample, std::int64_t at) { return sample.position < at; });
    if (found == m_byPosition.end() || found->position != packet.pos || found->index >= m_offsets.size())
        return;
    const std::uint32_t index = found->index;
    // Samples between this packet's and the last one's were left out: libavformat's count of
    // offsets fell behind by as many.
    if (m_previous && index > *m_previous + 1) m_missed += index - *m_previous - 1;
    m_previous = index;
    const std::int64_t given = packet.pts - packet.dts;
    if (!m_shift && m_missed == 0) m_shift = given - m_offsets[index];
    if (!m_shift) return;
    if (m_missed > index || index >= m_shown.size()) return;
    // Only what the count explains is mended: anything else is left as the demuxer gave it.
    if (given - *m_shift == m_offsets[index - m_missed]) packet.pts = packet.dts + *m_shift + m_shown[index];
}

}  // namespace media
