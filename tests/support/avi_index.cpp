#include "support/avi_index.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

namespace testsupport {
namespace {

constexpr std::uint64_t kChunkHeaderSize = 8;  // four-character id, then a little-endian size
constexpr std::uint32_t kIdx1EntrySize = 16;

// Random access to a file's bytes without loading it: outputs past 1 GiB are scanned too.
class RiffFile {
public:
    explicit RiffFile(const std::filesystem::path& file) : m_stream(file, std::ios::binary) {
        std::error_code error;
        const auto size = std::filesystem::file_size(file, error);
        m_size = error ? 0 : size;
    }

    [[nodiscard]] std::uint64_t Size() const { return m_size; }

    [[nodiscard]] std::optional<std::string> FourCcAt(std::uint64_t offset) {
        std::array<char, 4> bytes{};
        if (!ReadAt(offset, bytes)) return std::nullopt;
        return std::string(bytes.begin(), bytes.end());
    }

    [[nodiscard]] std::optional<std::uint32_t> U32At(std::uint64_t offset) {
        std::array<char, 4> bytes{};
        if (!ReadAt(offset, bytes)) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i) {
            value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        }
        return value;
    }

private:
    bool ReadAt(std::uint64_t offset, std::array<char, 4>& bytes) {
        if (offset + bytes.size() > m_size) return false;
        m_stream.clear();
        m_stream.seekg(static_cast<std::streamoff>(offset));
        m_stream.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(m_stream);
    }

    std::ifstream m_stream;
    std::uint64_t m_size = 0;
};

// The data chunks of the movi list in [begin, end), 'ix##' indexes left out.
int CountDataChunks(RiffFile& file, std::uint64_t begin, std::uint64_t end) {
    int count = 0;
    for (std::uint64_t offset = begin; offset + kChunkHeaderSize <= end;) {
        const auto id = file.FourCcAt(offset);
        const auto size = file.U32At(offset + 4);
        if (!id || !size) break;
        if (id->compare(0, 2, "ix") != 0 && *id != "LIST") ++count;
        offset += kChunkHeaderSize + *size + (*size & 1U);
    }
    return count;
}

// The idx1 entries at [begin, end) that name the chunk at their offset, counted from the movi
// list's type.
int CountFoundEntries(RiffFile& file, std::uint64_t begin, std::uint64_t end, std::uint64_t movi) {
    int found = 0;
    for (std::uint64_t entry = begin; entry + kIdx1EntrySize <= end; entry += kIdx1EntrySize) {
        const auto id = file.FourCcAt(entry);
        const auto offset = file.U32At(entry + 8);
        if (id && offset && file.FourCcAt(movi + *offset) == id) ++found;
    }
    return found;
}

// Walks the chunks in [begin, end), descending into the header lists where the stream headers and
// their super indexes live. The movi list is skipped whole: it holds only data and 'ix##' chunks.
void ScanChunks(RiffFile& file, std::uint64_t begin, std::uint64_t end, AviIndexInfo& info) {
    std::uint64_t movi = 0;
    std::optional<std::string> streamType;  // the fccType of the last stream header
    std::uint64_t offset = begin;
    while (offset + kChunkHeaderSize <= end) {
        const auto id = file.FourCcAt(offset);
        const auto size = file.U32At(offset + 4);
        if (!id || !size) return;
        const std::uint64_t dataBegin = offset + kChunkHeaderSize;
        const std::uint64_t dataEnd = std::min<std::uint64_t>(dataBegin + *size, end);

        if (*id == "idx1" && *size >= kIdx1EntrySize) {
            info.hasIdx1 = true;
            if (info.riffChunks == 1 && movi > 0)
                info.idx1EntriesFound = CountFoundEntries(file, dataBegin, dataEnd, movi);
        } else if (*id == "strh") {
            streamType = file.FourCcAt(dataBegin);
        } else if (*id == "strf" && streamType == "auds") {
            if (const auto tag = file.U32At(dataBegin))
                info.audioFormatTags.push_back(static_cast<std::uint16_t>(*tag & 0xFFFFU));
        } else if (*id == "indx") {
            // wLongsPerEntry (2), bIndexSubType (1), bIndexType (1), then nEntriesInUse. Writers
            // reserve the super index up front and fill it only when the file grows past one RIFF.
            const auto entriesInUse = file.U32At(dataBegin + 4);
            if (entriesInUse && *entriesInUse > 0) info.hasOpenDmlIndex = true;
        } else if (*id == "LIST") {
            const auto listType = file.FourCcAt(dataBegin);
            if (listType == "hdrl" || listType == "strl") ScanChunks(file, dataBegin + 4, dataEnd, info);
            if (listType == "movi" && info.riffChunks == 1) {
                movi = dataBegin;
                info.firstMoviChunks = CountDataChunks(file, dataBegin + 4, dataEnd);
            }
        }
        // Chunks are padded to an even length.
        offset = dataBegin + *size + (*size & 1U);
    }
}

}  // namespace

AviIndexInfo ScanAviIndex(const std::filesystem::path& file) {
    AviIndexInfo info;
    RiffFile riff(file);
    std::uint64_t offset = 0;
    while (offset + kChunkHeaderSize + 4 <= riff.Size()) {
        const auto id = riff.FourCcAt(offset);
        const auto size = riff.U32At(offset + 4);
        const auto form = riff.FourCcAt(offset + kChunkHeaderSize);
        if (!id || !size || !form || *id != "RIFF") break;
        if (info.riffChunks == 0 ? *form != "AVI " : *form != "AVIX") break;
        info.isAvi = true;
        ++info.riffChunks;
        // A writer that never finished leaves the size at zero: take the rest of the file.
        const std::uint64_t declaredEnd = offset + kChunkHeaderSize + *size;
        const std::uint64_t end = *size == 0 ? riff.Size() : std::min(declaredEnd, riff.Size());
        ScanChunks(riff, offset + kChunkHeaderSize + 4, end, info);
        if (*size == 0) break;
        offset = declaredEnd + (*size & 1U);
    }
    return info;
}

}  // namespace testsupport
