#pragma once

// The sequence of pictures a video filter delivers, for a consumer that takes only progressive
// pictures at a limited rate (a stand-alone player certified for at most 30 a second). Offered by
// the video decoder, which thins and deinterlaces the decoded pictures before its conversion.

#include "media/api/types.h"
#include "media/api/unknown.h"

struct IPictureCadence : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x91CB2469, 0x8AE8, 0x4EAD, {0x9F, 0x6D, 0x9B, 0x57, 0x59, 0x1E, 0x17, 0x13}};
    // At most framesPerSecond pictures a second (0: no limit): a faster stream keeps one picture
    // in n, n the smallest whole number that brings its rate within the limit (59.94 becomes 29.97,
    // 50 becomes 25), and the output's type says the new rate. The pictures kept keep their times,
    // so sound stays in step. Takes effect at the output's next connection, as IPictureLimit's
    // limit does: S_OK when the pictures the output offers change, S_FALSE when they stay.
    // E_INVALIDARG for a negative rate, VFW_E_NOT_STOPPED unless the filter is stopped.
    // Application thread.
    virtual HRESULT put_HighestFrameRate(LONG framesPerSecond) = 0;
    // Whether interlaced pictures come out deinterlaced, one picture for each picture, in the field
    // order each says. A picture counts as interlaced when the decoder reports it so: a stream's
    // declared field order alone is not enough, since film DVDs declare one over progressive
    // pictures, which deinterlacing would only blur. Progressive pictures pass unchanged.
    // VFW_E_NOT_STOPPED unless the filter is stopped. Application thread.
    virtual HRESULT put_Deinterlace(BOOL deinterlace) = 0;
};

inline constexpr IID IID_IPictureCadence = IPictureCadence::iid;
