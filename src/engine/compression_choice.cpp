#include "engine/compression_choice.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include "media/api/interface_ref.h"

namespace {

constexpr std::array<std::pair<AudioChoice, std::string_view>, 4> kAudioChoiceNames{{
    {AudioChoice::Keep, "keep"},
    {AudioChoice::Mp3WhenNeeded, "mp3-when-needed"},
    {AudioChoice::Mp3, "mp3"},
    {AudioChoice::Mp3OrAc3, "mp3-or-ac3"},
}};

constexpr std::array<std::pair<PlayerProfile, std::string_view>, 3> kPlayerProfileNames{{
    {PlayerProfile::None, "none"},
    {PlayerProfile::HomeTheater, "home-theater"},
    {PlayerProfile::Hd, "hd"},
}};

constexpr LONGLONG kUnitsPerSecond = 10'000'000;

// The largest picture of a profile's level and the fastest rate it holds at, slowest first.
struct PictureStep {
    int framesPerSecond;
    PictureLimit largest;
};
constexpr PictureStep kHomeTheaterSteps[] = {{25, {720, 576}}, {30, {720, 480}}};
constexpr PictureStep kHdSteps[] = {{30, {1280, 720}}};

}  // namespace

std::string_view AudioChoiceName(AudioChoice choice) {
    for (const auto& [named, name] : kAudioChoiceNames)
        if (named == choice) return name;
    return kAudioChoiceNames.front().second;
}

std::optional<AudioChoice> AudioChoiceNamed(std::string_view name) {
    for (const auto& [choice, named] : kAudioChoiceNames)
        if (named == name) return choice;
    return std::nullopt;
}

std::string_view PlayerProfileName(PlayerProfile profile) {
    for (const auto& [named, name] : kPlayerProfileNames)
        if (named == profile) return name;
    return kPlayerProfileNames.front().second;
}

std::optional<PlayerProfile> PlayerProfileNamed(std::string_view name) {
    for (const auto& [profile, named] : kPlayerProfileNames)
        if (named == name) return profile;
    return std::nullopt;
}

int HighestFrameRate(PlayerProfile profile) {
    return profile == PlayerProfile::None ? 0 : 30;
}

PictureLimit PlayerPictureLimit(PlayerProfile profile, LONGLONG frameTime, PictureLimit chosen) {
    std::span<const PictureStep> steps;
    if (profile == PlayerProfile::HomeTheater) steps = kHomeTheaterSteps;
    if (profile == PlayerProfile::Hd) steps = kHdSteps;
    if (steps.empty()) return chosen;
    // The first step whose rate the pictures keep to, exactly: a picture time shorter by a tick
    // is a faster rate as a player reads the file's header. Unknown and faster rates take the last.
    PictureLimit allowed = steps.back().largest;
    for (const PictureStep& step : steps) {
        if (frameTime > 0 && frameTime * step.framesPerSecond >= kUnitsPerSecond) {
            allowed = step.largest;
            break;
        }
    }
    if (!chosen.IsSet()) return allowed;
    return {std::min(allowed.width, chosen.width), std::min(allowed.height, chosen.height)};
}

HRESULT ApplyCompressionChoice(IBaseFilter& filter, const CompressionChoice& choice) {
    if (choice.IsDefault()) return S_OK;
    InterfaceRef<IAMVideoCompression> compression;
    InterfaceRef<IVideoDataRate> rate;
    if (FAILED(filter.QueryInterface(IID_IAMVideoCompression, compression.ReceiveVoid())) ||
        FAILED(filter.QueryInterface(IID_IVideoDataRate, rate.ReceiveVoid()))) {
        return E_NOINTERFACE;
    }
    HRESULT hr = compression->put_Quality(choice.quality);
    if (SUCCEEDED(hr)) hr = compression->put_KeyFrameRate(choice.keyFrameRate);
    if (SUCCEEDED(hr)) hr = rate->put_DataRate(choice.dataRate);
    if (SUCCEEDED(hr) && choice.player != PlayerProfile::None) {
        InterfaceRef<IPlayerProfile> player;
        hr = filter.QueryInterface(IID_IPlayerProfile, player.ReceiveVoid());
        if (SUCCEEDED(hr)) hr = player->put_PlayerProfile(PlayerProfileCodeOf(choice.player));
    }
    return hr;
}
