// Damaged timestamps in MPEG program and transport streams, converted by tessarel-convert: the
// PES timestamps of the first, middle or last packet of a stream moved by ±3 s, ±60 s or ±1 h,
// every timestamp moved across the 33-bit wrap, a file joined to itself, and the second half of a
// file moved on (a real gap, kept) or back (a restart, made continuous). Whatever the damage, the
// output holds every audio byte and every picture of the undamaged file's output, with the sound
// within 40 ms of where it was against the pictures (in the marker recording, at every second),
// and lasts as long, but for a real gap, which holds silence.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "convert_run.h"
#include "support/read_back.h"
#include "support/samples_dir.h"
#include "support/sync_markers.h"

namespace clitest {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::int64_t kClock = 90000;
constexpr std::int64_t kWrap = std::int64_t{1} << 33;

// One PES packet's timestamp fields (PTS, then DTS when present) and the bytes that carry it (one
// span in a program stream, its 188-byte packets in a transport stream), by byte offset.
struct Pes {
    bool video = false;
    std::vector<std::size_t> stamps;
    std::vector<std::pair<std::size_t, std::size_t>> spans;  // begin, end
};

// The PES header at offset: where its PTS and DTS lie, MPEG-1 or MPEG-2 style.
void AddPes(const Bytes& file, std::size_t at, std::vector<Pes>& found) {
    const std::uint8_t id = file[at + 3];
    const bool video = (id & 0xF0) == 0xE0;
    if (!video && (id & 0xE0) != 0xC0 && id != 0xBD) return;
    std::size_t p = at + 6;
    Pes pes{video, {}, {}};
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

// The transport packets of each PES packet found: those of its PID up to the next PES start.
void AddTransportSpans(const Bytes& file, std::vector<Pes>& found) {
    std::map<int, Pes*> open;
    std::size_t next = 0;
    for (std::size_t at = 0; at + 188 <= file.size(); at += 188) {
        const int pid = (file[at + 1] & 0x1F) << 8 | file[at + 2];
        const bool starts = (file[at + 1] & 0x40) != 0;
        if (starts) {
            open.erase(pid);
            if (next < found.size() && found[next].stamps.front() > at &&
                found[next].stamps.front() < at + 188)
                open[pid] = &found[next++];
        }
        if (const auto it = open.find(pid); it != open.end()) it->second->spans.emplace_back(at, at + 188);
    }
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
        AddTransportSpans(file, found);
        return found;
    }
    for (std::size_t at = 0; at + 14 < file.size();) {
        if (file[at] != 0 || file[at + 1] != 0 || file[at + 2] != 1) {
            ++at;
        } else if (file[at + 3] == 0xBA) {  // pack header, MPEG-2 or MPEG-1
            at += (file[at + 4] & 0xC0) == 0x40 ? 14 + (file[at + 13] & 7) : 12;
        } else {
            const std::size_t end = at + 6 + (file[at + 4] << 8 | file[at + 5]);
            const std::size_t before = found.size();
            AddPes(file, at, found);
            if (found.size() > before) found.back().spans.emplace_back(at, end);
            at = end;
        }
    }
    return found;
}

std::int64_t StampAt(const Bytes& file, std::size_t at) {
    return std::int64_t{file[at] >> 1 & 7} << 30 | file[at + 1] << 22 | (file[at + 2] >> 1) << 15 |
           file[at + 3] << 7 | file[at + 4] >> 1;
}

void Set(Bytes& file, std::size_t at, std::int64_t now) {
    file[at] = static_cast<std::uint8_t>((file[at] & 0xF0) | (now >> 29 & 0x0E) | 1);
    file[at + 1] = static_cast<std::uint8_t>(now >> 22);
    file[at + 2] = static_cast<std::uint8_t>((now >> 14 & 0xFE) | 1);
    file[at + 3] = static_cast<std::uint8_t>(now >> 7);
    file[at + 4] = static_cast<std::uint8_t>((now << 1 & 0xFE) | 1);
}

void Move(Bytes& file, std::size_t at, std::int64_t by) {
    Set(file, at, ((StampAt(file, at) + by) % kWrap + kWrap) % kWrap);
}

struct Case {
    std::string name;
    Bytes bytes;
    int copies = 1;     // of the undamaged file's contents that the output must hold
    double longer = 0;  // seconds the output lasts longer than copies of the undamaged one
};

// middleOnly: only the middle packet of each stream is moved, which a long file has time to show.
std::vector<Case> Cases(const Bytes& file, bool middleOnly) {
    const std::vector<Pes> pes = TimedPes(file);
    std::vector<Case> cases;
    for (const bool video : {true, false}) {
        std::vector<const Pes*> ofStream;
        for (const Pes& p : pes)
            if (p.video == video) ofStream.push_back(&p);
        const std::size_t positions[] = {ofStream.size() / 2, 0, ofStream.size() - 1};
        for (const std::size_t position : std::span(positions, middleOnly ? 1 : 3)) {
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

// All of the expected bytes; where a gap was kept, with silence between two parts of them.
bool HoldsAudio(const Bytes& got, const Bytes& expected, bool gap) {
    if (!gap || got.size() < expected.size()) return got == expected;
    const auto before = std::mismatch(expected.begin(), expected.end(), got.begin()).first - expected.begin();
    const auto after =
        std::mismatch(expected.rbegin(), expected.rend(), got.rbegin()).first - expected.rbegin();
    return before + after >= static_cast<std::ptrdiff_t>(expected.size());
}

TEST(TimestampFuzz, EveryPacketIsKeptInStep) {
    ScratchFolder folder("timestamps");
    int cases = 0;
    std::string failures;
    // The markers' beeps must be with their flashes at every second, not only at the start.
    for (const char* sample : {"mpeg1_mp2.mpg", "mpeg2_ac3.mpg", "mpeg2_mp2.ts", "marker_mp2.ts"}) {
        const std::filesystem::path path = testsupport::SamplePath(sample);
        const bool markers = std::string_view(sample).starts_with("marker");
        std::ifstream in(path, std::ios::binary);
        const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_GT(file.size(), 188u) << sample;
        const std::optional<Output> reference = Convert(path, folder / "reference.avi");
        ASSERT_TRUE(reference && reference->pictures > 0) << sample;
        for (const Case& c : Cases(file, markers)) {
            const std::filesystem::path input = folder / ("damaged" + path.extension().string());
            std::ofstream(input, std::ios::binary)
                .write(reinterpret_cast<const char*>(c.bytes.data()),
                       static_cast<std::streamsize>(c.bytes.size()));
            const std::optional<Output> got = Convert(input, folder / "damaged.avi");
            const double worst =
                markers ? testsupport::FindSyncMarkers(folder / "damaged.avi").WorstOffset() : 0;
            Bytes audio;
            for (int copy = 0; copy < c.copies; ++copy)
                audio.insert(audio.end(), reference->audio.begin(), reference->audio.end());
            ++cases;
            if (!got) {
                failures += "\n  " + std::string(sample) + ", " + c.name + ": failed";
            } else if (got->pictures != reference->pictures * c.copies ||
                       !HoldsAudio(got->audio, audio, c.longer > 0) ||
                       std::abs(got->offset - reference->offset) > 0.040 || worst > 0.040 ||
                       std::abs(got->seconds - reference->seconds * c.copies - c.longer) > 0.1) {
                failures += "\n  " + std::string(sample) + ", " + c.name + ": " +
                            std::to_string(got->pictures) + " pictures, " +
                            std::to_string(got->audio.size()) + " audio bytes, sound moved " +
                            std::to_string(got->offset - reference->offset) + " s, markers " +
                            std::to_string(worst) + " s apart, " + std::to_string(got->seconds) + " s long";
            }
        }
    }
    std::printf("timestamp fuzz: %d cases, %zu lost packets, step or length\n", cases,
                static_cast<std::size_t>(std::count(failures.begin(), failures.end(), '\n')));
    EXPECT_TRUE(failures.empty()) << failures;
}

// ---- damaged marker recordings -----------------------------------------------------------------

std::vector<const Pes*> OfStream(const std::vector<Pes>& pes, bool video) {
    std::vector<const Pes*> found;
    for (const Pes& p : pes)
        if (p.video == video) found.push_back(&p);
    return found;
}

void MoveAll(Bytes& file, const Pes& pes, std::int64_t by) {
    for (const std::size_t at : pes.stamps) Move(file, at, by);
}

// The I or P picture (one with both stamps) nearest the middle of the video.
const Pes& ReferencePicture(const std::vector<Pes>& pes) {
    const std::vector<const Pes*> video = OfStream(pes, true);
    for (std::size_t i = video.size() / 2; i < video.size(); ++i)
        if (video[i]->stamps.size() == 2) return *video[i];
    return *video[video.size() / 2];
}

// Five audio packets in a row from the middle on, all between two beeps: their loss takes no beep.
std::vector<const Pes*> QuietAudioRun(const Bytes& file, const std::vector<Pes>& pes) {
    const std::vector<const Pes*> audio = OfStream(pes, false);
    for (std::size_t i = audio.size() / 2; i + 5 < audio.size(); ++i) {
        const std::int64_t start = StampAt(file, audio[0]->stamps[0]);
        const double from =
            static_cast<double>((StampAt(file, audio[i]->stamps[0]) - start) % kClock) / kClock;
        const double to =
            static_cast<double>(StampAt(file, audio[i + 5]->stamps[0]) - StampAt(file, audio[i]->stamps[0])) /
            kClock;
        if (from > 0.6 && from + to < 1.4)
            return {audio.begin() + static_cast<std::ptrdiff_t>(i),
                    audio.begin() + static_cast<std::ptrdiff_t>(i) + 5};
    }
    return {};
}

// Packets lost in reception: a program stream's become padding, a transport stream's null packets.
void Drop(Bytes& file, const Pes& pes) {
    for (const auto& [begin, end] : pes.spans) {
        if (file[0] == 0x47) {
            file[begin + 1] = static_cast<std::uint8_t>((file[begin + 1] & 0xE0) | 0x1F);
            file[begin + 2] = 0xFF;
        } else {
            file[begin + 3] = 0xBE;
            std::fill(file.begin() + static_cast<std::ptrdiff_t>(begin) + 6,
                      file.begin() + static_cast<std::ptrdiff_t>(end), 0xFF);
        }
    }
}

// The packets' bytes once more, right after the last of them.
void Repeat(Bytes& file, const std::vector<const Pes*>& run) {
    Bytes copy;
    for (const Pes* pes : run)
        for (const auto& [begin, end] : pes->spans)
            copy.insert(copy.end(), file.begin() + static_cast<std::ptrdiff_t>(begin),
                        file.begin() + static_cast<std::ptrdiff_t>(end));
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(run.back()->spans.back().second), copy.begin(),
                copy.end());
}

struct MarkerDamage {
    std::string name;
    std::function<void(Bytes&, const std::vector<Pes>&)> damage;
    double longer = 0;         // seconds of frozen picture and silence a player shows in the damaged file
    bool toldSkipped = false;  // the error output says how much of the input was skipped
    // PCM: silence goes in as chunks of the stream's usual size, so the output holds a few audio
    // chunks more than the input has packets at most, not one more per sample of silence.
    bool pcmChunks = false;
};

std::vector<MarkerDamage> MarkerDamages() {
    const auto secondHalf = [](double seconds) {
        return [seconds](Bytes& file, const std::vector<Pes>& pes) {
            for (std::size_t i = pes.size() / 2; i < pes.size(); ++i)
                MoveAll(file, pes[i], static_cast<std::int64_t>(seconds * kClock));
        };
    };
    const auto pictureRun = [](double seconds) {
        return [seconds](Bytes& file, const std::vector<Pes>& pes) {
            const std::vector<const Pes*> video = OfStream(pes, true);
            for (std::size_t i = 100; i < 117; ++i)
                MoveAll(file, *video[i], static_cast<std::int64_t>(seconds * kClock));
        };
    };
    const auto oneStamp = [](std::size_t which, double seconds) {
        return [which, seconds](Bytes& file, const std::vector<Pes>& pes) {
            const Pes& picture = ReferencePicture(pes);
            Move(file, picture.stamps[std::min(which, picture.stamps.size() - 1)],
                 static_cast<std::int64_t>(seconds * kClock));
        };
    };
    const auto setStamps = [](std::size_t from, std::size_t to, std::int64_t value) {
        return [from, to, value](Bytes& file, const std::vector<Pes>& pes) {
            const Pes& picture = ReferencePicture(pes);
            for (std::size_t i = from; i < std::min(to, picture.stamps.size()); ++i)
                Set(file, picture.stamps[i], value);
        };
    };
    std::vector<MarkerDamage> damages{
        {"undamaged", [](Bytes&, const std::vector<Pes>&) {}},
        {"second half moved +2 s", secondHalf(2), 2},
        {"second half moved +9.9 s", secondHalf(9.9), 9.9},
        {"17 pictures moved +9.9 s and back", pictureRun(9.9)},
        {"17 pictures moved +0.5 s and back", pictureRun(0.5)},
        {"an I/P picture's PTS +5 s", oneStamp(0, 5)},
        {"an I/P picture's DTS -0.5 s", oneStamp(1, -0.5)},
        {"an I/P picture's DTS -5 s", oneStamp(1, -5)},
        {"a picture's DTS set to 2^33-1", setStamps(1, 2, kWrap - 1)},
        {"a picture stamped 2^33-1", setStamps(0, 2, kWrap - 1)},
        {"5 audio packets dropped",
         [](Bytes& file, const std::vector<Pes>& pes) {
             for (const Pes* lost : QuietAudioRun(file, pes)) Drop(file, *lost);
         }},
        {"5 audio packets repeated",
         [](Bytes& file, const std::vector<Pes>& pes) {
             const std::vector<const Pes*> audio = OfStream(pes, false);
             Repeat(file, {audio.begin() + 40, audio.begin() + 45});
         }},
        {"three bad picture stamps",
         [](Bytes& file, const std::vector<Pes>& pes) {
             const std::vector<const Pes*> video = OfStream(pes, true);
             MoveAll(file, *video[36], -100 * kClock);
             for (const std::size_t at : video[109]->stamps) Set(file, at, 0);
             for (const std::size_t at : video[194]->stamps) Set(file, at, kWrap - 1);
         }},
    };
    for (const double seconds : {0.5, -0.5, 5.0, -5.0}) {
        char name[64];
        std::snprintf(name, sizeof name, "both stamps of a picture moved %+.1f s", seconds);
        damages.push_back({name, [seconds](Bytes& file, const std::vector<Pes>& pes) {
                               MoveAll(file, ReferencePicture(pes),
                                       static_cast<std::int64_t>(seconds * kClock));
                           }});
    }
    return damages;
}

// A box of the QuickTime file's audio track ("stts", "stco"): where its entry count lies. The audio
// track's boxes follow its handler, the first "soun" in the file.
std::size_t AudioTableCount(const Bytes& file, std::string_view box) {
    const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
    return bytes.find(box, bytes.find("soun")) + 8;
}

std::uint32_t BigEndian(const Bytes& file, std::size_t at) {
    return std::uint32_t{file[at]} << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
}

void SetBigEndian(Bytes& file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// The same for any track's table, the track found by its handler ("vide", "soun").
std::size_t TableCount(const Bytes& file, std::string_view handler, std::string_view box) {
    const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
    return bytes.find(box, bytes.find(handler)) + 8;
}

// A table's entries of entry bytes each (one value a sample or a chunk), written anew from
// values, run-length coded as the table's first field; the boxes around it grow or shrink. The
// movie box ends the file, so no chunk moves.
void RewriteTable(Bytes& file, std::size_t count, std::size_t entry,
                  const std::vector<std::vector<std::uint32_t>>& runs) {
    Bytes entries;
    for (const std::vector<std::uint32_t>& run : runs)
        for (const std::uint32_t field : run)
            for (int shift = 24; shift >= 0; shift -= 8)
                entries.push_back(static_cast<std::uint8_t>(field >> shift));
    const std::size_t end = count + 4 + entry * BigEndian(file, count);
    const auto grown =
        static_cast<std::uint32_t>(entries.size()) - static_cast<std::uint32_t>(end - count - 4);
    const std::size_t table = count - 12;    // the table's box: size, type, version and flags, count
    for (std::size_t at = 0; at < table;) {  // the boxes that hold it
        const std::uint32_t size = BigEndian(file, at);
        if (size < 8) return;
        if (at + size > count) SetBigEndian(file, at, size + grown);
        at += at + size > count ? 8 : size;
    }
    SetBigEndian(file, table, BigEndian(file, table) + grown);
    SetBigEndian(file, count, static_cast<std::uint32_t>(runs.size()));
    file.erase(file.begin() + static_cast<std::ptrdiff_t>(count + 4),
               file.begin() + static_cast<std::ptrdiff_t>(end));
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(count + 4), entries.begin(), entries.end());
}

// A sample table of (count, value) runs: its value for every sample, and back.
std::vector<std::uint32_t> PerSample(const Bytes& file, std::size_t count) {
    std::vector<std::uint32_t> values;
    for (std::size_t run = 0; run < BigEndian(file, count); ++run)
        values.insert(values.end(), BigEndian(file, count + 4 + 8 * run),
                      BigEndian(file, count + 8 + 8 * run));
    return values;
}
void SetPerSample(Bytes& file, std::size_t count, const std::vector<std::uint32_t>& values) {
    std::vector<std::vector<std::uint32_t>> runs;
    for (const std::uint32_t value : values) {
        if (runs.empty() || runs.back()[1] != value) runs.push_back({0, value});
        ++runs.back()[0];
    }
    RewriteTable(file, count, 8, runs);
}

// Sample index's value in a (count, value) table set to value.
void SetSampleValue(Bytes& file, std::string_view handler, std::string_view box, std::size_t from,
                    std::size_t samples, std::uint32_t value) {
    const std::size_t count = TableCount(file, handler, box);
    std::vector<std::uint32_t> values = PerSample(file, count);
    std::fill_n(values.begin() + static_cast<std::ptrdiff_t>(from), samples, value);
    SetPerSample(file, count, values);
}

// The video chunk at index (one picture in these files) read from where: its offset set anew.
void MoveVideoChunk(Bytes& file, std::size_t index, std::uint32_t where) {
    SetBigEndian(file, TableCount(file, "vide", "stco") + 4 + 4 * index, where);
}

std::vector<MarkerDamage> HevcDamages() {
    // Video chunk 118 holds one picture, sample 119 (the first chunk holds two), a B-picture no
    // other refers to; sound follows it.
    return {{"undamaged", [](Bytes&, const std::vector<Pes>&) {}},
            {"a picture's chunk offset past the end of the file",
             [](Bytes& file, const std::vector<Pes>&) {
                 MoveVideoChunk(file, 118, static_cast<std::uint32_t>(file.size()) + 100000);
             }},
            {"a picture's chunk offset just past its data",
             [](Bytes& file, const std::vector<Pes>&) {
                 const std::size_t sizes = TableCount(file, "vide", "stsz") + 4;  // after the common size
                 MoveVideoChunk(file, 118,
                                BigEndian(file, TableCount(file, "vide", "stco") + 4 + 4 * 118) +
                                    BigEndian(file, sizes + 4 + 4 * 119));
             }},
            {"a picture's chunk naming a sample description the track lacks",
             [](Bytes& file, const std::vector<Pes>&) {
                 const std::size_t count = TableCount(file, "vide", "stsc");  // (1, 2, 1), (2, 1, 1)
                 RewriteTable(file, count, 12, {{1, 2, 1}, {2, 1, 1}, {119, 1, 2}, {120, 1, 1}});
             }},
            {"nine pictures' composition offsets negative", [](Bytes& file, const std::vector<Pes>&) {
                 SetSampleValue(file, "vide", "ctts", 107, 9, static_cast<std::uint32_t>(-1536));
             }}};
}

// Its stamps' stall is not in the pictures: a rewrite to the constant rate takes it out.
std::vector<MarkerDamage> VariableRateDamages() {
    return {{"video durations rewritten to the constant rate",
             [](Bytes& file, const std::vector<Pes>&) { SetSampleValue(file, "vide", "stts", 0, 250, 3600); },
             -0.32}};
}

std::vector<MarkerDamage> QuickTimeDamages() {
    return {{"an audio duration entry of one hour",
             [](Bytes& file, const std::vector<Pes>&) {
                 SetSampleValue(file, "soun", "stts", 234, 1, 3600 * 48000);
             },
             0, true},
            {"the pictures' times 2,500 s apart in the middle",
             [](Bytes& file, const std::vector<Pes>&) {
                 SetSampleValue(file, "vide", "stts", 130, 1, 2500 * 12800);
             },
             0, true},
            {"an audio chunk offset past the end of the file",
             [](Bytes& file, const std::vector<Pes>&) {
                 const std::size_t count = AudioTableCount(file, "stco");
                 SetBigEndian(file, count + 4 + 4 * (BigEndian(file, count) / 3),
                              static_cast<std::uint32_t>(file.size()) + 100000);
             }},
            {"audio sample durations all 0", [](Bytes& file, const std::vector<Pes>&) {
                 const std::size_t count = AudioTableCount(file, "stts");
                 for (std::size_t entry = 0; entry < BigEndian(file, count); ++entry)
                     SetBigEndian(file, count + 8 + 8 * entry, 0);
             }}};
}

// ---- damage of the MPEG kinds broadcast and DVD recordings have -------------------------------

// A reference B picture of a B-pyramid near the middle of the video: one with both stamps that is
// shown before the picture decoded just before it. (Plain MPEG-2's B pictures carry no DTS.)
const Pes& ReferenceBPicture(const Bytes& file, const std::vector<Pes>& pes) {
    const std::vector<const Pes*> video = OfStream(pes, true);
    for (std::size_t i = video.size() / 2; i < video.size(); ++i) {
        if (video[i]->stamps.size() == 2 &&
            StampAt(file, video[i]->stamps[0]) < StampAt(file, video[i - 1]->stamps[0]))
            return *video[i];
    }
    return *video[video.size() / 2];
}

// The first audio packet from the from-th on that lies wholly between two beeps.
const Pes* QuietAudioPes(const Bytes& file, const std::vector<Pes>& pes, std::size_t from) {
    const std::vector<const Pes*> audio = OfStream(pes, false);
    const std::int64_t start = StampAt(file, audio[0]->stamps[0]);
    for (std::size_t i = from; i + 1 < audio.size(); ++i) {
        const std::int64_t at = StampAt(file, audio[i]->stamps[0]) - start;
        const std::int64_t end = StampAt(file, audio[i + 1]->stamps[0]) - start;
        if (at % kClock > kClock * 6 / 10 && end - at < kClock / 2 &&
            end % kClock < kClock * 4 / 10 + end - at)
            return audio[i];
    }
    return nullptr;
}

MarkerDamage Named(const std::string& name) {
    for (MarkerDamage& damage : MarkerDamages())
        if (damage.name == name) return damage;
    return {};
}

// The damage each of these samples was found to need: nothing for the others.
std::vector<MarkerDamage> BroadcastDamages(const std::string& sample) {
    std::vector<MarkerDamage> damages{Named("undamaged")};
    const auto referenceB = [](std::optional<double> seconds) {
        return [seconds](Bytes& file, const std::vector<Pes>& pes) {
            const std::size_t pts = ReferenceBPicture(file, pes).stamps[0];
            seconds ? Move(file, pts, static_cast<std::int64_t>(*seconds * kClock))
                    : Set(file, pts, kWrap - 1);
        };
    };
    const auto repeated = [](std::ptrdiff_t count) {
        return [count](Bytes& file, const std::vector<Pes>& pes) {
            const std::vector<const Pes*> audio = OfStream(pes, false);
            Repeat(file, {audio.begin() + 41, audio.begin() + 41 + count});
        };
    };
    if (sample == "marker_ts_h264_aac.ts") {
        for (const double seconds : {0.5, -0.5, 5.0, -5.0}) {
            char name[64];
            std::snprintf(name, sizeof name, "a reference B picture's PTS %+.1f s", seconds);
            damages.push_back({name, referenceB(seconds)});
        }
        damages.push_back({"a reference B picture's PTS set to 2^33-1", referenceB(std::nullopt)});
        damages.push_back(Named("17 pictures moved +0.5 s and back"));
    } else if (sample == "marker_mpeg_pal_mp2.mpg") {
        damages.push_back(Named("17 pictures moved +9.9 s and back"));
        damages.push_back({"5 audio packets of 5 frames dropped through the file",
                           [](Bytes& file, const std::vector<Pes>& pes) {
                               const std::size_t count = OfStream(pes, false).size();
                               for (std::size_t k = 1; k <= 5; ++k)
                                   if (const Pes* lost = QuietAudioPes(file, pes, count * k / 6))
                                       Drop(file, *lost);
                           }});
    } else if (sample == "marker_dvd_ntsc_ac3.mpg") {
        for (const int count : {1, 5, 20})
            damages.push_back({std::to_string(count) + " audio packs repeated", repeated(count)});
    } else if (sample == "marker_dvd_lpcm.mpg") {
        damages.push_back({.name = "an audio packet dropped",
                           .damage =
                               [](Bytes& file, const std::vector<Pes>& pes) {
                                   Drop(file, *QuietAudioPes(file, pes, OfStream(pes, false).size() / 2));
                               },
                           .pcmChunks = true});
    } else {
        return {};
    }
    return damages;
}

// Every marker is there, every beep with its flash, and the picture as long as a player shows it;
// with the audio carried as it is, and coded anew as MP3.
TEST(TimestampFuzz, DamagedRecordingsStayInStepAtEveryMarker) {
    ScratchFolder folder("markers");
    std::string failures;
    struct Run {
        const char* sample;
        const char* audio;
    };
    for (const auto& [sample, audio] :
         {Run{"marker_ac3.mpg", "keep"}, Run{"marker_mp2.ts", "keep"}, Run{"marker_aac.mov", "keep"},
          Run{"marker_dts.ts", "keep"}, Run{"marker_ac3.mpg", "mp3"}, Run{"marker_aac.mov", "mp3"},
          Run{"marker_ts_h264_aac.ts", "keep"}, Run{"marker_mpeg_pal_mp2.mpg", "keep"},
          Run{"marker_dvd_ntsc_ac3.mpg", "keep"}, Run{"marker_dvd_lpcm.mpg", "keep"},
          Run{"marker_mp4_hevc.mp4", "keep"}, Run{"marker_mov_vfr.mov", "keep"}}) {
        const bool mp3 = std::string_view(audio) == "mp3";
        const std::filesystem::path path = testsupport::SamplePath(sample);
        std::ifstream in(path, std::ios::binary);
        const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const bool quickTime = path.extension() == ".mov" || path.extension() == ".mp4";
        const std::vector<Pes> pes = quickTime ? std::vector<Pes>{} : TimedPes(file);
        const testsupport::SyncMarkers shown = testsupport::FindSyncMarkers(path);
        ASSERT_EQ(shown.flashes.size(), 10u) << sample;
        std::vector<MarkerDamage> damages = quickTime ? QuickTimeDamages() : MarkerDamages();
        if (path.extension() == ".mp4") damages = HevcDamages();
        if (path.filename() == "marker_mov_vfr.mov") damages = VariableRateDamages();
        if (std::vector<MarkerDamage> kinds = BroadcastDamages(path.filename().string()); !kinds.empty()) {
            damages = std::move(kinds);
        } else if (path.filename() == "marker_dts.ts") {
            // No silence can be coded in DTS: the gap is closed in both streams instead.
            damages = {damages[1]};
            damages[0].longer = 0;
        }
        for (const MarkerDamage& damage : damages) {
            Bytes damaged = file;
            damage.damage(damaged, pes);
            const std::filesystem::path input = folder / ("damaged" + path.extension().string());
            std::ofstream(input, std::ios::binary)
                .write(reinterpret_cast<const char*>(damaged.data()),
                       static_cast<std::streamsize>(damaged.size()));
            const std::filesystem::path output = folder / "damaged.avi";
            const ConvertRun run =
                RunConvert({"-q", "--overwrite", "--audio", audio, "-o", output.string(), input.string()});
            const bool converted = run.Succeeded();
            const bool told = run.errors.find("of the input skipped") != std::string::npos;
            if (mp3 && &damage == &damages.front()) {
                EXPECT_EQ(testsupport::ReadBack(output).Audio().codecId, AV_CODEC_ID_MP3) << sample;
            }
            const testsupport::SyncMarkers got = testsupport::FindSyncMarkers(output);
            const double worst = got.WorstOffset();
            if (damage.pcmChunks) {
                EXPECT_LE(testsupport::ReadBack(output).Audio().packetCount,
                          static_cast<std::int64_t>(OfStream(pes, false).size()) + 4)
                    << sample << ", " << damage.name;
            }
            std::printf("markers: %s, %s, %s: worst offset %.3f s, %zu flashes, %.2f s\n", sample, audio,
                        damage.name.c_str(), worst, got.flashes.size(), got.pictureEnd);
            if (!converted || told != damage.toldSkipped || got.flashes.size() != shown.flashes.size() ||
                worst > 0.040 ||
                std::abs(got.pictureEnd - got.pictureStart - (shown.pictureEnd - shown.pictureStart) -
                         damage.longer) > 0.041) {
                failures += "\n  " + std::string(sample) + ", " + audio + ", " + damage.name +
                            (converted ? "" : ": failed") + (told ? ": told of skipped time" : "") + ": " +
                            std::to_string(got.flashes.size()) + " flashes, " +
                            std::to_string(got.beeps.size()) + " beeps, worst offset " +
                            std::to_string(worst) + " s, " + std::to_string(got.pictureEnd) + " s long";
            }
        }
    }
    EXPECT_TRUE(failures.empty()) << failures;
}

}  // namespace
}  // namespace clitest
