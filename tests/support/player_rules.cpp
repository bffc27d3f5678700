#include "support/player_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>

namespace testsupport {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return at + 4 > b.size()
               ? 0
               : b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::string Id(const Bytes& b, std::size_t at) {
    return at + 4 > b.size()
               ? std::string()
               : std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}

// MSB-first bits of an MPEG-4 header.
struct Bits {
    const Bytes& b;
    std::size_t bit;
    unsigned Take(int n) {
        unsigned v = 0;
        for (int i = 0; i < n; ++i, ++bit)
            v = v << 1 | (bit / 8 < b.size() ? b[bit / 8] >> (7 - bit % 8) & 1 : 0);
        return v;
    }
};

// What the stream's headers declare: the first VOS's and VOL's fields.
struct StreamHeaders {
    int profileAndLevel = -1, objectType = -1, aspectInfo = -1, spriteEnable = -1, quantType = -1,
        quarterPel = 0;
};

void ReadVol(const Bytes& f, std::size_t at, StreamHeaders& h) {
    Bits r{f, at * 8};
    r.Take(1);
    h.objectType = static_cast<int>(r.Take(8));
    int verid = 1;
    if (r.Take(1)) verid = static_cast<int>(r.Take(4)), r.Take(3);
    h.aspectInfo = static_cast<int>(r.Take(4));
    if (h.aspectInfo == 15) r.Take(16);
    if (r.Take(1)) {  // vol_control_parameters
        r.Take(3);
        if (r.Take(1)) r.Take(79);  // vbv_parameters with their markers
    }
    if (r.Take(2) != 0) return;  // only rectangular shapes are parsed further
    r.Take(1);
    const unsigned resolution = r.Take(16);
    r.Take(1);
    int timeBits = 1;
    while ((1u << timeBits) < resolution) ++timeBits;
    if (r.Take(1)) r.Take(timeBits);
    r.Take(1 + 13 + 1 + 13 + 1 + 1 + 1);  // marker, width, marker, height, marker, interlaced, obmc
    h.spriteEnable = static_cast<int>(r.Take(verid == 1 ? 1 : 2));
    if (h.spriteEnable != 0) return;
    if (r.Take(1)) r.Take(8);  // not_8_bit
    h.quantType = static_cast<int>(r.Take(1));
    if (h.quantType != 0) return;
    if (verid != 1) h.quarterPel = static_cast<int>(r.Take(1));
}

// A declared level's own limits: macroblocks a picture, a second, and its VBV.
struct Level {
    int indication, picture, perSecond;
    long long bufferBits, peakBits;
};
// Simple Profile levels 5 and 6, Advanced Simple level 5: the ones that reach these pictures.
constexpr Level kLevels[] = {{0x05, 1620, 40500, 112 * 16384, 8'000'000},
                             {0x06, 3600, 108000, 248 * 16384, 12'000'000},
                             {0xF5, 1620, 40500, 112 * 16384, 8'000'000}};

// The frame at which a bucket of bufferBits, filled at peakBits a second and starting three
// quarters full, runs empty; none when it never does.
std::optional<std::size_t> EmptyAt(const std::vector<long long>& bits, double fps, long long bufferBits,
                                   long long peakBits) {
    double full = 0.75 * static_cast<double>(bufferBits);
    for (std::size_t i = 0; i < bits.size(); ++i) {
        full -= static_cast<double>(bits[i]);
        if (full < 0) return i;
        full = std::min(static_cast<double>(bufferBits), full + static_cast<double>(peakBits) / fps);
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> PlayerRuleBreaks(const std::filesystem::path& avi, const PlayerRules& rules) {
    std::ifstream in(avi, std::ios::binary);
    const Bytes f{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> breaks;
    const auto rule = [&breaks](bool kept, const std::string& what) {
        if (!kept) breaks.push_back(what);
    };
    rule(Id(f, 0) == "RIFF" && Id(f, 8) == "AVI " && U32(f, 4) + 8ull == f.size() && f.size() < (1ull << 31),
         "one RIFF 'AVI ' chunk that is the whole file, under 2 GiB");
    if (!breaks.empty()) return breaks;

    // The header: the video stream's handler, rate and picture; the audio's tag.
    std::string handler, compression;
    double fps = 0;
    long width = 0, height = 0;
    std::uint32_t shape = 0;  // vprp's frame aspect, x in the high half; 0 without one
    std::vector<unsigned> audioTags;
    std::size_t movi = 0, idx1 = 0;
    for (std::size_t at = 12; at + 8 <= f.size(); at += 8 + U32(f, at + 4) + (U32(f, at + 4) & 1)) {
        if (Id(f, at) == "LIST" && Id(f, at + 8) == "movi") movi = at + 8;
        if (Id(f, at) == "idx1") idx1 = at;
        if (Id(f, at) != "LIST" || Id(f, at + 8) != "hdrl") continue;
        for (std::size_t s = at + 12; s < at + 8 + U32(f, at + 4);
             s += 8 + U32(f, s + 4) + (U32(f, s + 4) & 1)) {
            if (Id(f, s) != "LIST" || Id(f, s + 8) != "strl") continue;
            const std::size_t strh = s + 12, strf = strh + 8 + U32(f, strh + 4);
            if (Id(f, strh + 8) == "vids" && handler.empty()) {
                handler = Id(f, strh + 12);
                fps = static_cast<double>(U32(f, strh + 8 + 24)) / U32(f, strh + 8 + 20);
                width = static_cast<std::int32_t>(U32(f, strf + 12));
                height = std::abs(static_cast<std::int32_t>(U32(f, strf + 16)));
                compression = Id(f, strf + 8 + 16);
                for (std::size_t c = strh; c < s + 8 + U32(f, s + 4);
                     c += 8 + U32(f, c + 4) + (U32(f, c + 4) & 1))
                    if (Id(f, c) == "vprp") shape = U32(f, c + 8 + 20);
            } else if (Id(f, strh + 8) == "auds") {
                audioTags.push_back(f[strf + 8] | f[strf + 9] << 8);
            }
        }
    }
    rule(handler == "DX50" && compression == "DX50", "FourCC DX50, not " + handler + "/" + compression);
    rule(fps > 0 && fps <= 30.001, "at most 30 fps, not " + std::to_string(fps));
    const int tallest = fps <= 25.001 ? rules.tallestUpTo25 : rules.tallestUpTo30;
    rule(width <= rules.widest && height <= tallest,
         "at most " + std::to_string(rules.widest) + "x" + std::to_string(tallest) + " at " +
             std::to_string(fps) + " fps, not " + std::to_string(width) + "x" + std::to_string(height));
    for (unsigned tag : audioTags)
        rule(tag == 0x55 || tag == 0x2000, "audio MP3 or AC-3, not tag " + std::to_string(tag));
    rule(movi != 0 && idx1 != 0, "a movi list and an idx1");
    if (!breaks.empty()) return breaks;

    // Every video frame through the idx1, in order, with its key-frame flag.
    std::vector<long long> bits;
    std::vector<char> types;  // I, P, B, S for each frame, '-' for a skipped one
    StreamHeaders declared;
    int packed = 0, wrongFlags = 0;
    for (std::size_t e = idx1 + 8; e + 16 <= idx1 + 8 + U32(f, idx1 + 4); e += 16) {
        if (Id(f, e).substr(0, 2) != "00") continue;
        const std::size_t size = U32(f, e + 12), data = movi + U32(f, e + 8) + 8;
        if (Id(f, data - 8) != Id(f, e) || data + size > f.size()) {
            rule(false, "an idx1 entry that points at its chunk");
            return breaks;
        }
        bits.push_back(static_cast<long long>(size) * 8);
        char type = '-';
        int vops = 0;
        for (std::size_t i = data; i + 4 < data + size; ++i) {
            if (f[i] != 0 || f[i + 1] != 0 || f[i + 2] != 1) continue;
            const std::uint8_t code = f[i + 3];
            if (code == 0xB0 && declared.profileAndLevel < 0) declared.profileAndLevel = f[i + 4];
            if (code >= 0x20 && code <= 0x2F && declared.objectType < 0) ReadVol(f, i + 4, declared);
            if (code == 0xB2) {  // user data: DivX's names a packed bitstream with a final 'p'
                std::string user;
                for (std::size_t j = i + 4; j < data + size && f[j] != 0; ++j)
                    user += static_cast<char>(f[j]);
                packed += user.starts_with("DivX") && user.ends_with("p");
            }
            if (code == 0xB6 && ++vops == 1) type = "IPBS"[f[i + 4] >> 6];
        }
        if (vops > 1) ++packed;
        types.push_back(type);
        const bool flagged = (U32(f, e + 4) & 0x10) != 0;
        if (flagged != (type == 'I')) ++wrongFlags;
    }
    rule(!bits.empty() && types.front() == 'I', "a first frame that is a key frame");
    rule(wrongFlags == 0,
         "key-frame flags on exactly the I-frames (" + std::to_string(wrongFlags) + " wrong)");
    rule(packed == 0, "no packed bitstream");
    rule(std::count(types.begin(), types.end(), 'S') == 0 && declared.spriteEnable == 0, "no GMC");
    rule(declared.quarterPel == 0, "no quarter-pel");
    rule(declared.quantType == 0, "H.263 quantisation");
    const bool squarePixels = shape == 0 || std::abs(static_cast<double>(shape >> 16) * height /
                                                         (static_cast<double>(shape & 0xFFFF) * width) -
                                                     1) < 0.01;
    rule(squarePixels ? declared.aspectInfo == 1 : declared.aspectInfo >= 2 && declared.aspectInfo <= 5,
         std::string("pixel-aspect code ") + (squarePixels ? "1" : "2 to 5") + ", not " +
             std::to_string(declared.aspectInfo));
    int run = 0, longestRun = 0, sinceKey = 0, longestGap = 0;
    for (char type : types) {
        run = type == 'B' ? run + 1 : 0;
        longestRun = std::max(longestRun, run);
        sinceKey = type == 'I' ? 1 : sinceKey + 1;
        longestGap = std::max(longestGap, sinceKey);
    }
    rule(longestRun <= rules.longestBFrameRun,
         "at most " + std::to_string(rules.longestBFrameRun) + " B-frames in a row");
    rule(longestGap <= 250, "key frames at most 250 apart, not " + std::to_string(longestGap));

    // The rates, the buffer, and the declared level's own limits.
    const std::size_t second = static_cast<std::size_t>(std::lround(fps));
    long long peak = 0, total = 0;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        total += bits[i];
        long long window = 0;
        for (std::size_t j = i; j < std::min(bits.size(), i + second); ++j) window += bits[j];
        peak = std::max(peak, window);
    }
    rule(peak <= rules.peakBits,
         "at most " + std::to_string(rules.peakBits) + " bits in any second, not " + std::to_string(peak));
    rule(static_cast<double>(total) * fps / static_cast<double>(bits.size()) <=
             static_cast<double>(rules.averageBits),
         "an average within " + std::to_string(rules.averageBits));
    if (const auto empty = EmptyAt(bits, fps, rules.bufferBytes * 8, rules.peakBits))
        rule(false, std::string(rules.name) + " buffer empty at frame " + std::to_string(*empty));
    const Level* level = std::find_if(std::begin(kLevels), std::end(kLevels), [&](const Level& l) {
        return l.indication == declared.profileAndLevel;
    });
    if (level == std::end(kLevels)) {
        rule(false, "a known declared profile and level, not " + std::to_string(declared.profileAndLevel));
        return breaks;
    }
    const long macroblocks = (width + 15) / 16 * ((height + 15) / 16);
    rule(macroblocks <= level->picture && static_cast<double>(macroblocks) * fps <= level->perSecond + 1,
         "a picture and rate within the declared level");
    rule(!EmptyAt(bits, fps, level->bufferBits, level->peakBits), "the declared level's buffer never empty");
    rule(level->indication >= 0xF0 ||
             (declared.objectType == 1 && std::count(types.begin(), types.end(), 'B') == 0),
         "a Simple Profile stream of simple objects without B-frames");
    return breaks;
}

}  // namespace testsupport
