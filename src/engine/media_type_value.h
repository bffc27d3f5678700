#pragma once

// MediaTypeValue: one media-type description built in place for a sample grabber. It is an
// AM_MEDIA_TYPE and nothing more, so its address goes wherever an AM_MEDIA_TYPE* is expected.

#include <type_traits>

#include "media/graph/media_type.h"

class MediaTypeValue : public AM_MEDIA_TYPE {
public:
    // Every byte zero (GUID_NULL types, no format block, no object) except fixed-size samples
    // of size 1.
    MediaTypeValue();
    // Lives where it was built and is used in place: never copied or moved.
    MediaTypeValue(const MediaTypeValue&) = delete;
    MediaTypeValue& operator=(const MediaTypeValue&) = delete;
    ~MediaTypeValue() { ReleaseContents(); }

    // Copy the GUID's 16 bytes into majortype / subtype; nothing else changes.
    void SetMajorType(const GUID& majorType) { majortype = majorType; }
    void SetSubtypeGuid(const GUID& subtypeGuid) { subtype = subtypeGuid; }

    // Gives back what the value carries: the format block when cbFormat says it owns one
    // (with cbFormat 0, pbFormat is neither freed nor cleared), then the reference in pUnk.
    // Each part is reset as it goes, so a second call releases nothing.
    void ReleaseContents() { ReleaseMediaTypeContents(*this); }

    // The same release for any AM_MEDIA_TYPE record, such as those pin enumerators hand out.
    static void ReleaseMediaTypeContents(AM_MEDIA_TYPE& type);
};

static_assert(sizeof(MediaTypeValue) == sizeof(AM_MEDIA_TYPE));
static_assert(std::is_standard_layout_v<MediaTypeValue>);
