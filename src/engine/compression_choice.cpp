#include "engine/compression_choice.h"

#include <array>
#include <utility>

#include "media/api/interface_ref.h"

namespace {

constexpr std::array<std::pair<AudioChoice, std::string_view>, 3> kAudioChoiceNames{{
    {AudioChoice::Keep, "keep"},
    {AudioChoice::Mp3WhenNeeded, "mp3-when-needed"},
    {AudioChoice::Mp3, "mp3"},
}};

constexpr std::array<std::pair<PlayerProfile, std::string_view>, 2> kPlayerNames{{
    {PlayerProfile_HomeTheater, "dvd-player"},
    {PlayerProfile_Hd, "hd-player"},
}};

}  // namespace

std::string_view PlayerProfileName(PlayerProfile player) {
    for (const auto& [named, name] : kPlayerNames)
        if (named == player) return name;
    return {};
}

std::optional<PlayerProfile> PlayerProfileNamed(std::string_view name) {
    for (const auto& [player, named] : kPlayerNames)
        if (named == name) return player;
    return std::nullopt;
}

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
    if (SUCCEEDED(hr) && choice.player != PlayerProfile_None) {
        InterfaceRef<IPlayerProfile> player;
        hr = filter.QueryInterface(IID_IPlayerProfile, player.ReceiveVoid());
        if (SUCCEEDED(hr)) hr = player->put_PlayerProfile(choice.player);
    }
    return hr;
}
