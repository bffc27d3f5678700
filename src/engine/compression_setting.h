#pragma once

// The compression settings the user chose in the window for each compressor, kept in the
// settings file "tessarel.ini" in one section per compressor, named by its display name:
//
//     [libxvidcore MPEG-4 part 2]
//     Quality=80              0 (smallest) to 100 (best)
//     DataRate=4000           kbit/s, instead of quality
//     KeyFrameRate=250        at most this many frames from one key frame to the next
//     LargestPicture=720x576  width x height
//     Audio=mp3-or-ac3        keep, mp3-when-needed, mp3 or mp3-or-ac3
//     Player=home-theater     the players whose rules a preset keeps: home-theater or hd
//
// A key that is missing leaves that setting at the compressor's (or the program's) default, and
// so does a value that does not read back as written here: a hand-edited file never fails a
// conversion. The command line reads none of this.

#include <string>

#include "engine/compression_choice.h"

// The limits of each setting, the same as the command line's.
inline constexpr int kHighestQualityPercent = 100;
inline constexpr LONG kHighestDataRateKbits = 1'000'000;
inline constexpr LONG kHighestKeyFrameRate = 100'000;
inline constexpr int kSmallestPictureSide = 16;
inline constexpr int kLargestPictureSide = 16'384;

// The settings stored for the compressor called compressorName; every setting at its default
// when nothing (readable) is stored. A data rate, when stored, replaces the quality.
[[nodiscard]] CompressionChoice ReadStoredCompressionChoice(const std::string& compressorName);

// Stores choice for compressorName, a setting at its default as a missing key. False when the
// file could not be written (it then keeps what it had, key by key) or the name cannot be a
// section's.
[[nodiscard]] bool StoreCompressionChoice(const std::string& compressorName, const CompressionChoice& choice);
