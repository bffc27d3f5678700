#pragma once

// Media-type descriptions: the AM_MEDIA_TYPE record with its VIDEOINFOHEADER and WAVEFORMATEX
// format blocks, and an owning value class for code inside the media layer.

#include <cstddef>

#include "media/api/guid.h"
#include "media/api/unknown.h"

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;  // one reference held by the record when not null
    ULONG cbFormat;
    BYTE* pbFormat;  // task-allocator memory of cbFormat bytes
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // positive: rows bottom-up
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

inline constexpr DWORD BI_RGB = 0;

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;  // codec extradata, when any, follows it in the format block
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;  // bytes of codec extradata that follow the record
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

inline constexpr WORD WAVE_FORMAT_PCM = 1;

// Deep copy: a new format block from the task allocator and a new reference on pUnk.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// Frees the format block (when cbFormat is not zero) and releases pUnk; the record stays.
void FreeMediaType(AM_MEDIA_TYPE& type);
// A record from the task allocator holding a deep copy of source; null on failure.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);
// FreeMediaType, then the record itself back to the task allocator.
void DeleteMediaType(AM_MEDIA_TYPE* type);

namespace media {

// An owning media type: copies are deep, destruction frees the format block and pUnk.
class MediaType : public AM_MEDIA_TYPE {
public:
    MediaType();
    explicit MediaType(const AM_MEDIA_TYPE& other);
    MediaType(const MediaType& other);
    MediaType(MediaType&& other) noexcept;
    MediaType& operator=(const MediaType& other);
    MediaType& operator=(MediaType&& other) noexcept;
    ~MediaType();

    // A format block of size bytes, zeroed, owned by this type. Returns it.
    BYTE* AllocFormat(std::size_t size, REFGUID formatType);
    // Takes one new reference on unknown (the previous one is released).
    void SetUnknown(IUnknown* unknown);

    [[nodiscard]] const VIDEOINFOHEADER* VideoInfo() const;
    [[nodiscard]] const WAVEFORMATEX* WaveFormat() const;

private:
    void Clear();
};

// Whether a fully specified type satisfies a partial one, in which GUID_NULL fields mean "any".
[[nodiscard]] bool MatchesPartialType(const AM_MEDIA_TYPE& full, const AM_MEDIA_TYPE* partial);

}  // namespace media
