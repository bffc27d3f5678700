#include "engine/compression_setting.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <system_error>

#include "engine/compressor_setting.h"
#include "platform/profile_file.h"

namespace {

constexpr char kQualityKey[] = "Quality";
constexpr char kDataRateKey[] = "DataRate";
constexpr char kKeyFrameRateKey[] = "KeyFrameRate";
constexpr char kLargestPictureKey[] = "LargestPicture";
constexpr char kAudioKey[] = "Audio";
constexpr char kPlayerKey[] = "Player";

std::string StoredValue(const std::string& section, const char* key) {
    char text[256];
    GetPrivateProfileStringA(section.c_str(), key, "", text, sizeof text, kSettingsFileName);
    text[sizeof text - 1] = '\0';
    return text;
}

// text as a whole number from low to high in decimal digits only; nothing for anything else.
std::optional<long> WholeNumber(std::string_view text, long low, long high) {
    long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < low || number > high)
        return std::nullopt;
    return number;
}

std::optional<PictureLimit> ReadPictureLimit(std::string_view text) {
    const std::size_t by = text.find('x');
    if (by == std::string_view::npos) return std::nullopt;
    const auto width = WholeNumber(text.substr(0, by), kSmallestPictureSide, kLargestPictureSide);
    const auto height = WholeNumber(text.substr(by + 1), kSmallestPictureSide, kLargestPictureSide);
    if (!width || !height) return std::nullopt;
    return PictureLimit{static_cast<int>(*width), static_cast<int>(*height)};
}

// A section's name is written between brackets on a line of its own.
bool CanNameSection(const std::string& name) {
    return !name.empty() && name.find_first_of("]\r\n") == std::string::npos;
}

}  // namespace

CompressionChoice ReadStoredCompressionChoice(const std::string& compressorName) {
    CompressionChoice choice;
    if (!CanNameSection(compressorName)) return choice;

    if (const auto rate = WholeNumber(StoredValue(compressorName, kDataRateKey), 1, kHighestDataRateKbits))
        choice.dataRate = static_cast<LONGLONG>(*rate) * 1000;
    else if (const auto percent =
                 WholeNumber(StoredValue(compressorName, kQualityKey), 0, kHighestQualityPercent))
        choice.quality = static_cast<double>(*percent) / 100.0;
    if (const auto frames =
            WholeNumber(StoredValue(compressorName, kKeyFrameRateKey), 1, kHighestKeyFrameRate))
        choice.keyFrameRate = static_cast<LONG>(*frames);
    if (const auto largest = ReadPictureLimit(StoredValue(compressorName, kLargestPictureKey)))
        choice.largest = *largest;
    if (const auto audio = AudioChoiceNamed(StoredValue(compressorName, kAudioKey))) choice.audio = *audio;
    if (const auto player = PlayerProfileNamed(StoredValue(compressorName, kPlayerKey))) choice.player = *player;
    return choice;
}

bool StoreCompressionChoice(const std::string& compressorName, const CompressionChoice& choice) {
    if (!CanNameSection(compressorName)) return false;
    const auto store = [&compressorName](const char* key, const std::optional<std::string>& value) {
        return WritePrivateProfileStringA(compressorName.c_str(), key, value ? value->c_str() : nullptr,
                                          kSettingsFileName) != FALSE;
    };
    const auto numberOrNone = [](bool set, long long number) {
        return set ? std::optional<std::string>(std::to_string(number)) : std::nullopt;
    };

    const bool rate = choice.dataRate > 0;
    const bool quality = !rate && choice.quality >= 0;
    std::optional<std::string> largest;
    if (choice.largest.IsSet())
        largest = std::to_string(choice.largest.width) + "x" + std::to_string(choice.largest.height);
    std::optional<std::string> audio;
    if (choice.audio != AudioChoice::Keep) audio = std::string(AudioChoiceName(choice.audio));
    std::optional<std::string> player;
    if (choice.player != PlayerProfile::None) player = std::string(PlayerProfileName(choice.player));

    bool stored = store(kQualityKey, numberOrNone(quality, std::lround(choice.quality * 100)));
    stored = store(kDataRateKey, numberOrNone(rate, std::max<LONGLONG>(1, (choice.dataRate + 500) / 1000))) &&
             stored;
    stored = store(kKeyFrameRateKey, numberOrNone(choice.keyFrameRate > 0, choice.keyFrameRate)) && stored;
    stored = store(kLargestPictureKey, largest) && stored;
    stored = store(kAudioKey, audio) && stored;
    stored = store(kPlayerKey, player) && stored;
    return stored;
}
