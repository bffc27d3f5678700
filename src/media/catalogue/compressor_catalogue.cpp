#include "media/catalogue/compressor_catalogue.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/catalogue/compressor_defaults.h"
#include "media/catalogue/system_device_enumerator.h"
#include "media/registered_classes.h"

namespace media {
namespace {

// Wrappers of hardware encoders: they need a device and are not "installed" in the sense the
// user means. Some (qsv, omx) do not set AV_CODEC_CAP_HARDWARE, so their names tell.
constexpr std::array<std::string_view, 14> kHardwareWords{
    "nvenc",        "vaapi",      "qsv",  "v4l2m2m", "omx",    "amf",  "mf",
    "videotoolbox", "mediacodec", "cuda", "vdpau",   "vulkan", "mmal", "rkmpp"};

// Encoders that are not safe to offer. SVT-AV1 hangs when it is closed before it was sent the end
// of a stream, which the compressor's connection test does. FFmpeg 5.1's Apple Video (rpza)
// encoder corrupts its heap at some frame widths, DVD's 720 among them (712 and 720 crash where
// 704 and 1280 don't), so no trial at another size can tell whether a job will crash.
constexpr std::array<std::string_view, 2> kUnsafeEncoders{"libsvtav1", "rpza"};

bool IsHardwareWord(std::string_view word) {
    return std::find(kHardwareWords.begin(), kHardwareWords.end(), word) != kHardwareWords.end();
}

// Whether any '_'-separated part of the encoder's name names a hardware interface.
bool NameMentionsHardware(std::string_view name) {
    while (!name.empty()) {
        const std::size_t cut = name.find('_');
        if (IsHardwareWord(name.substr(0, cut))) return true;
        if (cut == std::string_view::npos) break;
        name.remove_prefix(cut + 1);
    }
    return false;
}

bool TakesRgbThroughSwscale(const AVCodec& codec) {
    if (codec.pix_fmts == nullptr) return false;
    for (const AVPixelFormat* f = codec.pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
        if (sws_isSupportedOutput(*f) > 0) return true;
    }
    return false;
}

std::mutex g_testingLock;
std::optional<std::vector<CompressorEntry>>& TestingCatalogue() {
    static std::optional<std::vector<CompressorEntry>> entries;
    return entries;
}

}  // namespace

bool IsInstalledCompressor(const AVCodec& codec) {
    if (!av_codec_is_encoder(&codec) || codec.type != AVMEDIA_TYPE_VIDEO) return false;
    if ((codec.capabilities & (AV_CODEC_CAP_HARDWARE | AV_CODEC_CAP_EXPERIMENTAL)) != 0) return false;
    if (codec.wrapper_name != nullptr && IsHardwareWord(codec.wrapper_name)) return false;
    if (NameMentionsHardware(codec.name)) return false;
    if (std::find(kUnsafeEncoders.begin(), kUnsafeEncoders.end(), codec.name) != kUnsafeEncoders.end()) {
        return false;
    }
    return AviFourCC(codec) != 0 && TakesRgbThroughSwscale(codec);
}

std::vector<CompressorEntry> InstalledCompressors() {
    {
        std::lock_guard lock(g_testingLock);
        if (TestingCatalogue()) return *TestingCatalogue();
    }
    std::vector<CompressorEntry> entries;
    void* position = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&position)) {
        if (!IsInstalledCompressor(*codec)) continue;
        entries.push_back({.friendlyName = codec->long_name ? codec->long_name : codec->name,
                           .encoderName = codec->name,
                           .fourcc = AviFourCC(*codec)});
    }
    return entries;
}

void SetCompressorCatalogueForTesting(std::vector<CompressorEntry> entries) {
    std::lock_guard lock(g_testingLock);
    TestingCatalogue() = std::move(entries);
}

void ResetCompressorCatalogueForTesting() {
    std::lock_guard lock(g_testingLock);
    TestingCatalogue().reset();
}

void RegisterCompressorCatalogue() {
    RegisterClass(CLSID_SystemDeviceEnum, [] { return CreateSystemDeviceEnumerator(); });
}

}  // namespace media
