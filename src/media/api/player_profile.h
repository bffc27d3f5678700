#pragma once

// The playback profiles of the stand-alone players that still need AVI files (DVD and media
// players, TV and car sets): each was certified against a consumer MPEG-4 part 2 profile, and
// refuses, stutters or plays silent where a file breaks one of its published numbers. A filter
// that offers IPlayerProfile keeps the rules that concern it: the compressor its rates, buffer
// and coding tools, the AVI multiplexer one RIFF without OpenDML continuations.

#include "media/api/unknown.h"

enum PlayerProfileCode : LONG {
    PlayerProfile_None = 0,
    PlayerProfile_HomeTheater = 1,  // DVD players: up to 720 x 576
    PlayerProfile_Hd = 2,           // HD players: up to 1280 x 720
};

// The published numbers of a profile, and the declared profile and level of MPEG-4 part 2 whose
// own limits the stream keeps as well.
struct PlayerProfileRules {
    LONGLONG averageBits = 0;      // average video bits per second
    LONGLONG peakBits = 0;         // video bits in any one second; the buffer fills at this rate
    LONGLONG bufferBytes = 0;      // the decoder's buffer (starting 75 % full), never empty
    int longestBFrameRun = 0;      // B-frames in a row
    int keyFrameDistance = 0;      // frames from one key frame to the next, at most
    int profileAndLevel = 0;       // profile_and_level_indication the stream declares
    LONGLONG levelPeakBits = 0;    // the declared level's highest rate
    LONGLONG levelBufferBits = 0;  // the declared level's VBV buffer
};

// Home Theater: ASP at level 5 has exactly its picture and rate limits. HD: no Advanced Simple
// level reaches 1280 x 720, so its streams are Simple Profile level 6 (no B-frames), which does.
inline constexpr PlayerProfileRules kHomeTheaterRules{.averageBits = 4'854'000,
                                                      .peakBits = 8'000'000,
                                                      .bufferBytes = 384 * 1024,
                                                      .longestBFrameRun = 1,
                                                      .keyFrameDistance = 250,
                                                      .profileAndLevel = 0xF5,
                                                      .levelPeakBits = 8'000'000,
                                                      .levelBufferBits = 112 * 16384};
inline constexpr PlayerProfileRules kHdRules{.averageBits = 9'708'000,
                                             .peakBits = 16'000'000,
                                             .bufferBytes = 768 * 1024,
                                             .longestBFrameRun = 2,
                                             .keyFrameDistance = 250,
                                             .profileAndLevel = 0x06,
                                             .levelPeakBits = 12'000'000,
                                             .levelBufferBits = 248 * 16384};

// The rules of profile; null for PlayerProfile_None or an unknown value.
[[nodiscard]] constexpr const PlayerProfileRules* RulesOf(LONG profile) {
    if (profile == PlayerProfile_HomeTheater) return &kHomeTheaterRules;
    if (profile == PlayerProfile_Hd) return &kHdRules;
    return nullptr;
}

// The encoder's own buffer model, stricter than the player's so that every rule holds at once:
// a buffer no larger than the declared level's, filled at a rate such that rate and a full
// buffer together stay within the one-second peak, less a tenth (the encoder counts its buffer a
// frame at a time, a player's second need not start on a frame's boundary). The buffer takes at
// most a fifth of that, leaving the rest to the fill rate, which the average stays below.
struct PlayerRateControl {
    LONGLONG averageBits = 0;  // bits per second
    LONGLONG fillBits = 0;     // the rate the buffer fills at
    LONGLONG bufferBits = 0;
};

// The rate control for rules at the asked average (0 or less: the profile's own average).
[[nodiscard]] constexpr PlayerRateControl PlayerRateControlFor(const PlayerProfileRules& rules,
                                                               LONGLONG askedBits) {
    const LONGLONG peak =
        (rules.peakBits < rules.levelPeakBits ? rules.peakBits : rules.levelPeakBits) * 9 / 10;
    LONGLONG buffer =
        rules.levelBufferBits < rules.bufferBytes * 8 ? rules.levelBufferBits : rules.bufferBytes * 8;
    if (buffer > peak / 5) buffer = peak / 5;
    PlayerRateControl control{.averageBits = 0, .fillBits = peak - buffer, .bufferBits = buffer};
    const LONGLONG ceiling = rules.averageBits < control.fillBits ? rules.averageBits : control.fillBits;
    control.averageBits = askedBits > 0 && askedBits < ceiling ? askedBits : ceiling;
    return control;
}

// An AVI file these players read is one RIFF of AVI 1.0, whose 32-bit offsets they read as
// signed: it stays under 2 GiB.
inline constexpr LONGLONG kLargestPlayerFile = 2LL * 1024 * 1024 * 1024;

struct IPlayerProfile : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x3C0F6A1E, 0x8B52, 0x4D6A, {0x91, 0x7E, 0x2A, 0x55, 0xC4, 0x0B, 0x63, 0xD8}};
    // A PlayerProfile; PlayerProfile_None writes as without one. Takes effect when the filter next
    // leaves Stopped (the compressor: when its input next connects). E_INVALIDARG for an unknown
    // profile, E_NOTIMPL from a compressor that cannot code for these players. MT safe.
    virtual HRESULT put_PlayerProfile(LONG profile) = 0;
    virtual HRESULT get_PlayerProfile(LONG* profile) = 0;
};

inline constexpr IID IID_IPlayerProfile = IPlayerProfile::iid;
