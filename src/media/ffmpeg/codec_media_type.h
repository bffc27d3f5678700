#pragma once

// How FFmpeg streams are described as media types, and back.
//
// Compressed streams: subtype = the FourCC GUID of the stream's AVI tag (or a private GUID for a
// codec without one), format = VIDEOINFOHEADER or WAVEFORMATEX followed by the codec extradata,
// and pUnk = an ICodecParameters object with the full AVCodecParameters, so that a decoder or the
// multiplexer needs nothing else.
// Uncompressed video: subtype = MEDIASUBTYPE_RGB24 / RGB32 (rows bottom-up, 4-byte aligned), a
// FourCC GUID for the common YUV layouts, or a private GUID per pixel format; planes packed
// without padding. Uncompressed audio: MEDIASUBTYPE_PCM, interleaved little-endian samples.
//
// Pixels that are not square (a DVD's, say) keep their shape in the BITMAPINFOHEADER's pixel
// densities: a pixel is 1/biXPelsPerMeter wide and 1/biYPelsPerMeter high, so the sample aspect
// (width:height of one pixel) is biYPelsPerMeter:biXPelsPerMeter. Both are 0, as in any bitmap
// that says nothing of its resolution, for square pixels.

#include <cstdint>

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
}

#include "media/api/media_type.h"
#include "media/api/unknown.h"

struct AVStream;

struct ICodecParameters : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x7E55A2E1, 0x0001, 0x4C1D, {0x9A, 0x6B, 0x54, 0x45, 0x53, 0x53, 0x41, 0x52}};
    // Owned by the object; valid while the caller holds its reference.
    virtual const AVCodecParameters* Parameters() = 0;
    // The time base of the stream's own timestamps, for codecs that care (informational).
    virtual AVRational TimeBase() = 0;
    // The container's display matrix (nine values as libavutil/display.h lays them out), which
    // turns or mirrors the stored pictures to show them; null when they are shown as stored.
    // Owned by the object.
    virtual const std::int32_t* DisplayMatrix() = 0;
};

namespace media {

inline constexpr REFERENCE_TIME kUnitsPerSecond = 10'000'000;

// 100-ns units <-> a stream's time base.
[[nodiscard]] REFERENCE_TIME ToReferenceTime(std::int64_t timestamp, AVRational timeBase);
[[nodiscard]] std::int64_t FromReferenceTime(REFERENCE_TIME time, AVRational timeBase);

// A compressed (or raw) stream as a media type, carrying a copy of parameters in pUnk.
// frameRate may be {0, 1} when unknown.
[[nodiscard]] MediaType MediaTypeFromCodecParameters(const AVCodecParameters& parameters, AVRational timeBase,
                                                     AVRational frameRate,
                                                     const std::int32_t* displayMatrix = nullptr);
// The type a demuxed stream is delivered as, with parameters (the stream's own, or what a
// repacker makes of them): for video, also the geometry a player shows it with, which the
// container may say rather than the codec (the sample aspect of a QuickTime 'pasp' box or an AVI
// 'vprp' header, the display matrix of a QuickTime track).
[[nodiscard]] MediaType MediaTypeOfStream(const AVStream& stream, const AVCodecParameters& parameters,
                                          AVRational frameRate);
// The codec parameters carried by a type, or null. Valid while the type lives.
[[nodiscard]] const AVCodecParameters* CodecParametersOf(const AM_MEDIA_TYPE& type);
// The display matrix carried by a type (see ICodecParameters), or null. Valid while the type lives.
[[nodiscard]] const std::int32_t* DisplayMatrixOf(const AM_MEDIA_TYPE& type);
// The codec a compressed type stands for, from its parameters or else from its subtype.
[[nodiscard]] AVCodecID CodecIdOf(const AM_MEDIA_TYPE& type);

// Subtypes of uncompressed video.
[[nodiscard]] GUID SubtypeFromPixelFormat(AVPixelFormat format);
// AV_PIX_FMT_NONE when the subtype is not uncompressed video we know.
[[nodiscard]] AVPixelFormat PixelFormatFromSubtype(const GUID& subtype);

struct RawVideoLayout {
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int width = 0;
    int height = 0;
    bool bottomUp = false;          // RGB rows stored last row first, as in a DIB
    int imageSize = 0;              // bytes of one frame
    REFERENCE_TIME frameTime = 0;   // AvgTimePerFrame, 0 when unknown
    AVRational sampleAspect{0, 1};  // width:height of one pixel; 0:1 for square pixels
};

// The sample aspect a video format block gives (see above); 0:1 for square pixels.
[[nodiscard]] AVRational SampleAspectOf(const VIDEOINFOHEADER& format);
// Whether a sample aspect stands for pixels that are not square.
[[nodiscard]] bool IsAnamorphic(AVRational sampleAspect);

// An uncompressed video type. frameTime is the average time per frame in 100-ns units.
[[nodiscard]] MediaType RawVideoType(AVPixelFormat format, int width, int height, REFERENCE_TIME frameTime,
                                     AVRational sampleAspect = {0, 1});
// The layout of an uncompressed video type; format NONE when type is not one.
[[nodiscard]] RawVideoLayout RawVideoLayoutOf(const AM_MEDIA_TYPE& type);
// Plane pointers and strides for a frame of layout stored at buffer (negative strides bottom-up).
void FillPlanes(const RawVideoLayout& layout, BYTE* buffer, std::uint8_t* data[4], int linesize[4]);

// An uncompressed audio type: interleaved little-endian PCM (8-bit unsigned, 16/24/32-bit signed).
[[nodiscard]] MediaType PcmAudioType(int sampleRate, int channels, int bitsPerSample);

}  // namespace media
