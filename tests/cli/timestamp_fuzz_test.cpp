// Damaged timestamps in MPEG program and transport streams, converted by tessarel-convert: the
// PES timestamps of the first, middle or last packet of a stream moved by ±3 s, ±60 s or ±1 h,
// every timestamp moved across the 33-bit wrap, a file joined to itself, and the second half of a
// file moved on (a real gap, kept) or back (a restart, made continuous). Whatever the damage, the
// output holds every audio byte and every picture of the undamaged file's output, with the sound
// within 40 ms of where it was against the pictures, and lasts as long, but for a real gap.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "convert_run.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace clitest {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::int64_t kClock = 90000;
constexpr std::int64_t kWrap = std::int64_t{1} << 33;

// One PES packet's timestamp fields (PTS, then DTS when present), by byte offset.
struct Pes {
    bool video = false;
    std::vector<std::size_t> stamps;
};

// The PES header at offset: where its PTS and DTS lie, MPEG-1 or MPEG-2 style.
void AddPes(const Bytes& file, std::size_t at, std::vector<Pes>& found) {
    const std::uint8_t id = file[at + 3];
    const bool video = (id & 0xF0) == 0xE0;
    if (!video && (id & 0xE0) != 0xC0 && id != 0xBD) return;
    std::size_t p = at + 6;
    Pes pes{video, {}};
    if ((file[p] & 0xC0) == 0x80) {  // MPEG-2: flags, then the header's length
        if (file[p + 1] & 0x80) pes.stamps.push_back(p + 3);
        if (file[p + 1] & 0x40) pes.stamps.push_back(p + 8);
    } else {  // MPEG-1: stuffing, the buffer size, then '0010' PTS or '0011' PTS and DTS
        while (p < file.size() && file[p] == 0xFF) ++p;
        if ((file[p] & 0xC0) == 0x40) p += 2;
        if ((file[p] & 0xE0) == 0x20) pes.stamps.push_back(p);
        if ((file[p] & 0xF0) == 0x30) pes.stamps.push_back(p + 5);
    }
    if (!pes.stamps.empty()) found.push_back(pes);
}

// The timed PES packets of a program stream (pack by pack) or a transport stream (188-byte packets
// that start a PES packet), in file order.
std::vector<Pes> TimedPes(const Bytes& file) {
    std::vector<Pes> found;
    if (file[0] == 0x47) {
        for (std::size_t at = 0; at + 188 <= file.size(); at += 188) {
            std::size_t p = at + 4 + ((file[at + 3] & 0x20) ? 1 + file[at + 4] : 0);
            if ((file[at + 1] & 0x40) && p + 20 < at + 188 && file[p] == 0 && file[p + 1] == 0 &&
                file[p + 2] == 1)
                AddPes(file, p, found);
        }
        return found;
    }
    for (std::size_t at = 0; at + 14 < file.size();) {
        if (file[at] != 0 || file[at + 1] != 0 || file[at + 2] != 1) {
            ++at;
        } else if (file[at + 3] == 0xBA) {  // pack header, MPEG-2 or MPEG-1
            at += (file[at + 4] & 0xC0) == 0x40 ? 14 + (file[at + 13] & 7) : 12;
        } else {
            AddPes(file, at, found);
            at += 6 + (file[at + 4] << 8 | file[at + 5]);
        }
    }
    return found;
}

void Move(Bytes& file, std::size_t at, std::int64_t by) {
    const std::int64_t old = std::int64_t{file[at] >> 1 & 7} << 30 | file[at + 1] << 22 |
                             (file[at + 2] >> 1) << 15 | file[at + 3] << 7 | file[at + 4] >> 1;
    const std::int64_t now = ((old + by) % kWrap + kWrap) % kWrap;
    file[at] = static_cast<std::uint8_t>((file[at] & 0xF0) | (now >> 29 & 0x0E) | 1);
    file[at + 1] = static_cast<std::uint8_t>(now >> 22);
    file[at + 2] = static_cast<std::uint8_t>((now >> 14 & 0xFE) | 1);
    file[at + 3] = static_cast<std::uint8_t>(now >> 7);
    file[at + 4] = static_cast<std::uint8_t>((now << 1 & 0xFE) | 1);
}

struct Case {
    std::string name;
    Bytes bytes;
    int copies = 1;     // of the undamaged file's contents that the output must hold
    double longer = 0;  // seconds the output lasts longer than copies of the undamaged one
};

std::vector<Case> Cases(const Bytes& file) {
    const std::vector<Pes> pes = TimedPes(file);
    std::vector<Case> cases;
    for (const bool video : {true, false}) {
        std::vector<const Pes*> ofStream;
        for (const Pes& p : pes)
            if (p.video == video) ofStream.push_back(&p);
        const std::size_t positions[] = {0, ofStream.size() / 2, ofStream.size() - 1};
        for (const std::size_t position : positions) {
            for (const std::int64_t seconds : {3, -3, 60, -60, 3600, -3600}) {
                Case damaged{std::string(video ? "video" : "audio") + " PES " + std::to_string(position) +
                                 " moved " + std::to_string(seconds) + " s",
                             file};
                for (const std::size_t at : ofStream[position]->stamps)
                    Move(damaged.bytes, at, seconds * kClock);
                cases.push_back(std::move(damaged));
            }
        }
    }
    // Every stamp 2 s short of the wrap: the samples start between 0.5 s and 1.5 s.
    Case wrapped{"wrapping", file};
    for (const Pes& p : pes)
        for (const std::size_t at : p.stamps) Move(wrapped.bytes, at, kWrap - 2 * kClock);
    cases.push_back(std::move(wrapped));
    for (const std::int64_t seconds : {2, -2, 30}) {
        Case moved{"second half moved " + std::to_string(seconds) + " s", file, 1, seconds == 2 ? 2.0 : 0.0};
        for (std::size_t i = pes.size() / 2; i < pes.size(); ++i)
            for (const std::size_t at : pes[i].stamps) Move(moved.bytes, at, seconds * kClock);
        cases.push_back(std::move(moved));
    }
    Case joined{"joined to itself", file, 2};
    joined.bytes.insert(joined.bytes.end(), file.begin(), file.end());
    cases.push_back(std::move(joined));
    return cases;
}

// What a player finds in an output: the pictures it shows, the sound's bytes, where the sound
// starts against the first picture, and how long it lasts; empty when the conversion failed.
struct Output {
    std::int64_t pictures = 0;
    Bytes audio;
    double offset = 0;
    double seconds = 0;
};

std::optional<Output> Convert(const std::filesystem::path& input, const std::filesystem::path& output) {
    if (!RunConvert({"-q", "--overwrite", "-o", output.string(), input.string()}).Succeeded()) return {};
    const testsupport::MediaSummary out = testsupport::ReadBack(output);
    if (!out.HasVideo() || !out.HasAudio() || out.Video().shownFrameTimes.empty()) return Output{};
    return Output{out.Video().shownFrames, out.Audio().audioBytes,
                  out.Audio().firstPts - out.Video().shownFrameTimes.front(), out.durationSeconds};
}

TEST(TimestampFuzz, EveryPacketIsKeptInStep) {
    ScratchFolder folder("timestamps");
    int cases = 0;
    std::string failures;
    for (const char* sample : {"mpeg1_mp2.mpg", "mpeg2_ac3.mpg", "mpeg2_mp2.ts"}) {
        const std::filesystem::path path = testsupport::SamplePath(sample);
        std::ifstream in(path, std::ios::binary);
        const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_GT(file.size(), 188u) << sample;
        const std::optional<Output> reference = Convert(path, folder / "reference.avi");
        ASSERT_TRUE(reference && reference->pictures > 0) << sample;
        for (const Case& c : Cases(file)) {
            const std::filesystem::path input = folder / ("damaged" + path.extension().string());
            std::ofstream(input, std::ios::binary)
                .write(reinterpret_cast<const char*>(c.bytes.data()),
                       static_cast<std::streamsize>(c.bytes.size()));
            const std::optional<Output> got = Convert(input, folder / "damaged.avi");
            Bytes audio;
            for (int copy = 0; copy < c.copies; ++copy)
                audio.insert(audio.end(), reference->audio.begin(), reference->audio.end());
            ++cases;
            if (!got) {
                failures += "\n  " + std::string(sample) + ", " + c.name + ": failed";
            } else if (got->pictures != reference->pictures * c.copies || got->audio != audio ||
                       std::abs(got->offset - reference->offset) > 0.040 ||
                       std::abs(got->seconds - reference->seconds * c.copies - c.longer) > 0.1) {
                failures += "\n  " + std::string(sample) + ", " + c.name + ": " +
                            std::to_string(got->pictures) + " pictures, " +
                            std::to_string(got->audio.size()) + " audio bytes, sound moved " +
                            std::to_string(got->offset - reference->offset) + " s, " +
                            std::to_string(got->seconds) + " s long";
            }
        }
    }
    std::printf("timestamp fuzz: %d cases, %zu lost packets, step or length\n", cases,
                static_cast<std::size_t>(std::count(failures.begin(), failures.end(), '\n')));
    EXPECT_TRUE(failures.empty()) << failures;
}

}  // namespace
}  // namespace clitest
