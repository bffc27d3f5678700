#include "engine/player_file_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "engine/player_audio.h"
#include "media/api/bstr.h"
#include "media/api/class_registry.h"
#include "media/api/interface_ref.h"
#include "media/api/uuids.h"
#include "text/text_conversion.h"

namespace {

// A 3 % margin below 2 GiB for the encoder's average, which overshoots a little on short scenes
// and settles over a film; and room for the header.
constexpr double kShareOfLargestFile = 0.97;
constexpr LONGLONG kHeaderBytes = 1 << 20;
// Each chunk costs its header (8 bytes), its idx1 entry (16) and at most one byte of padding;
// audio comes in up to about 50 chunks a second (AC-3: 31, MP3 at 48 kHz: 42).
constexpr double kBytesPerChunk = 25;
constexpr double kAudioChunksPerSecond = 50;
// What our MP3 encoder codes at 32 kHz and above: 192 kbit/s.
constexpr LONGLONG kMp3BytesPerSecond = 24'000;
// Below 1,000 kbit/s a 720-wide picture is no longer watchable; a wider one needs more.
constexpr double kWatchableBitsPerColumn = 1'000'000.0 / 720;

}  // namespace

PlayerFileInput PlayerFileInputOf(const AM_MEDIA_TYPE& video, LONGLONG audioBytesPerSecond, double seconds,
                                  const PictureLimit& largest) {
    PlayerFileInput input{.seconds = seconds, .audioBytesPerSecond = audioBytesPerSecond};
    if (video.formattype != FORMAT_VideoInfo || video.pbFormat == nullptr ||
        video.cbFormat < sizeof(VIDEOINFOHEADER))
        return input;
    const auto* header = reinterpret_cast<const VIDEOINFOHEADER*>(video.pbFormat);
    if (header->AvgTimePerFrame > 0)
        input.framesPerSecond = 1e7 / static_cast<double>(header->AvgTimePerFrame);
    input.width = std::abs(static_cast<int>(header->bmiHeader.biWidth));
    if (largest.IsSet()) input.width = std::min(input.width, largest.width);
    return input;
}

bool DetectPlayerFileInput(const std::string& inputPath, const CompressionChoice& choice, bool keepAudio,
                           PlayerFileInput& input) {
    InterfaceRef<IMediaDet> detector;
    if (FAILED(
            CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_ALL, IID_IMediaDet, detector.ReceiveVoid())) ||
        !detector)
        return false;
    const std::u16string wide = ToWide(inputPath);
    const BSTR name = SysAllocString(wide.c_str());
    const HRESULT opened = detector->put_Filename(name);
    SysFreeString(name);
    LONG streams = 0;
    if (FAILED(opened) || FAILED(detector->get_OutputStreams(&streams))) return false;
    double seconds = 0;
    std::optional<media::MediaType> video;
    LONGLONG audioBytesPerSecond = -1;
    for (LONG stream = 0; stream < streams; ++stream) {
        media::MediaType type;
        if (FAILED(detector->put_CurrentStream(stream)) || FAILED(detector->get_StreamMediaType(&type)))
            continue;
        if (type.majortype == MEDIATYPE_Video && !video) video = type;
        if (type.majortype == MEDIATYPE_Audio && keepAudio && audioBytesPerSecond < 0) {
            audioBytesPerSecond = ConvertsToMp3(choice.audio, type) ? kMp3BytesPerSecond
                                  : type.WaveFormat() != nullptr    ? type.WaveFormat()->nAvgBytesPerSec
                                                                    : 0;
        }
    }
    if (!video) return false;
    (void)detector->get_StreamLength(&seconds);
    input = PlayerFileInputOf(*video, std::max<LONGLONG>(audioBytesPerSecond, 0), seconds, choice.largest);
    return true;
}

PlayerFilePlan PlanPlayerFile(const CompressionChoice& choice, const PlayerFileInput& input) {
    PlayerFilePlan plan;
    const PlayerProfileRules* rules = RulesOf(PlayerProfileCodeOf(choice.player));
    if (rules == nullptr) return plan;
    const PlayerRateControl control = PlayerRateControlFor(*rules, choice.dataRate);
    plan.videoBitsPerSecond = control.averageBits;
    if (input.seconds <= 0) return plan;

    const double chunksPerSecond =
        std::max(input.framesPerSecond, 1.0) + (input.audioBytesPerSecond > 0 ? kAudioChunksPerSecond : 0);
    const double otherBytesPerSecond =
        static_cast<double>(input.audioBytesPerSecond) + chunksPerSecond * kBytesPerChunk;
    const auto bytesAt = [&](double videoBits) {
        return static_cast<LONGLONG>(std::ceil(input.seconds * (videoBits / 8 + otherBytesPerSecond))) +
               kHeaderBytes;
    };
    const double budget = static_cast<double>(kLargestPlayerFile) * kShareOfLargestFile - kHeaderBytes;
    const double fitting = (budget / input.seconds - otherBytesPerSecond) * 8;
    if (fitting < static_cast<double>(plan.videoBitsPerSecond)) {
        plan.videoBitsPerSecond = std::max<LONGLONG>(static_cast<LONGLONG>(fitting) / 1000 * 1000, 1000);
        plan.lowered = true;
    }
    plan.expectedBytes = bytesAt(static_cast<double>(plan.videoBitsPerSecond));
    plan.tooLong = plan.lowered && input.width > 0 &&
                   static_cast<double>(plan.videoBitsPerSecond) < kWatchableBitsPerColumn * input.width;
    return plan;
}
