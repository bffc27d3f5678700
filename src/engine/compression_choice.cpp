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
    return hr;
}
