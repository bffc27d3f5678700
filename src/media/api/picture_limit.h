#pragma once

// The largest picture a video filter delivers, for a consumer that takes no larger one (a player
// that plays at most 720 x 576). A picture larger than the limit as shown (turned upright, its
// pixels' shape applied) comes out scaled down to fit, keeping its display aspect, with square
// pixels and even sides; a picture within the limit comes out exactly as it would without one.
// Offered by the video decoder and the colour converter, which scale in the conversion they make
// anyway.

#include "media/api/unknown.h"

struct IPictureLimit : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0xAA2CB0EF, 0x949A, 0x4B8F, {0x9C, 0x16, 0xE5, 0xB1, 0x8B, 0x65, 0xB0, 0x2B}};
    // width x height in pixels; 0 x 0 (either at 0): no limit. Takes effect at the output's next
    // connection: a connected output is disconnected and connected again by the caller. S_OK when
    // the pictures the output offers change, S_FALSE when they stay as they are (within the limit,
    // or not known before the input connects). E_INVALIDARG for a negative side,
    // VFW_E_NOT_STOPPED unless the filter is stopped. Application thread.
    virtual HRESULT put_LargestPicture(LONG width, LONG height) = 0;
    virtual HRESULT get_LargestPicture(LONG* width, LONG* height) = 0;
};

inline constexpr IID IID_IPictureLimit = IPictureLimit::iid;
