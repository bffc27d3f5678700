#pragma once

// The compression settings of a video compressor, with the ids and method set of the original
// platform, and the data rate it kept in the output format's header, here a method of its own.
// Settings take effect when the compressor next leaves Stopped; a value of -1 (quality, key-frame
// rate) or 0 (data rate) leaves the compressor's own default.

#include "media/api/unknown.h"

enum CompressionCaps : LONG {
    CompressionCaps_CanQuality = 0x01,
    CompressionCaps_CanCrunch = 0x02,  // a data rate
    CompressionCaps_CanKeyFrame = 0x04,
    CompressionCaps_CanBFrame = 0x08,
    CompressionCaps_CanWindow = 0x10,
};

struct IAMVideoCompression : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0xC6E13343, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
    // At most this many frames from one key frame to the next; -1: the default. MT safe.
    virtual HRESULT put_KeyFrameRate(LONG keyFrameRate) = 0;
    virtual HRESULT get_KeyFrameRate(LONG* keyFrameRate) = 0;
    // Not supported: frames keep the compressor's own pattern.
    virtual HRESULT put_PFramesPerKeyFrame(LONG frames) = 0;
    virtual HRESULT get_PFramesPerKeyFrame(LONG* frames) = 0;
    // 0.0 (smallest) to 1.0 (best); -1.0: the default. MT safe.
    virtual HRESULT put_Quality(double quality) = 0;
    virtual HRESULT get_Quality(double* quality) = 0;
    virtual HRESULT put_WindowSize(LONGLONG windowSize) = 0;
    virtual HRESULT get_WindowSize(LONGLONG* windowSize) = 0;
    // The compressor's name and description (either may be null, with its size pointer), its
    // defaults and what it supports (CompressionCaps flags). Sizes are in bytes and say, on
    // return, how much each text takes. MT safe.
    virtual HRESULT GetInfo(WCHAR* version, int* versionSize, WCHAR* description, int* descriptionSize,
                            LONG* defaultKeyFrameRate, LONG* defaultPFramesPerKey, double* defaultQuality,
                            LONG* capabilities) = 0;
    virtual HRESULT OverrideKeyFrame(LONG frameNumber) = 0;
    virtual HRESULT OverrideFrameSize(LONG frameNumber, LONG size) = 0;
};

// The average data rate of a compressor, in one pass.
struct IVideoDataRate : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x5E1B7A54, 0x2C1D, 0x4F7E, {0x9A, 0x31, 0x6D, 0x0C, 0x8B, 0x42, 0x17, 0xE3}};
    // Bits per second; 0: the compressor's default (quality, not rate). Instead of quality when
    // set. MT safe.
    virtual HRESULT put_DataRate(LONGLONG bitsPerSecond) = 0;
    virtual HRESULT get_DataRate(LONGLONG* bitsPerSecond) = 0;
};

inline constexpr IID IID_IAMVideoCompression = IAMVideoCompression::iid;
inline constexpr IID IID_IVideoDataRate = IVideoDataRate::iid;
