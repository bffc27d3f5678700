#pragma once

// The interfaces of the filter-graph framework, with the ids and method sets of the original
// platform, by subject. Methods that this layer does not need answer E_NOTIMPL where they are
// implemented. Unless said otherwise, an interface pointer returned through an out-parameter
// carries a new reference that the caller owns (transfer full), and one passed in is borrowed.

#include "media/api/control_interfaces.h"
#include "media/api/detector_interfaces.h"
#include "media/api/filter_interfaces.h"
#include "media/api/picture_cadence.h"
#include "media/api/picture_limit.h"
#include "media/api/player_profile.h"
#include "media/api/sink_interfaces.h"
#include "media/api/video_compression.h"
#include "media/api/window_interfaces.h"

// Interface ids under their platform names.
inline constexpr IID IID_IPersist = IPersist::iid;
inline constexpr IID IID_IMediaFilter = IMediaFilter::iid;
inline constexpr IID IID_IBaseFilter = IBaseFilter::iid;
inline constexpr IID IID_IPin = IPin::iid;
inline constexpr IID IID_IEnumPins = IEnumPins::iid;
inline constexpr IID IID_IEnumMediaTypes = IEnumMediaTypes::iid;
inline constexpr IID IID_IEnumFilters = IEnumFilters::iid;
inline constexpr IID IID_IMediaSample = IMediaSample::iid;
inline constexpr IID IID_IMemInputPin = IMemInputPin::iid;
inline constexpr IID IID_IFilterGraph = IFilterGraph::iid;
inline constexpr IID IID_IGraphBuilder = IGraphBuilder::iid;
inline constexpr IID IID_IMediaControl = IMediaControl::iid;
inline constexpr IID IID_IMediaSeeking = IMediaSeeking::iid;
inline constexpr IID IID_IMediaEvent = IMediaEvent::iid;
inline constexpr IID IID_IMediaEventSink = IMediaEventSink::iid;
inline constexpr IID IID_IReferenceClock = IReferenceClock::iid;
inline constexpr IID IID_IAMFilterMiscFlags = IAMFilterMiscFlags::iid;
inline constexpr IID IID_IFileSourceFilter = IFileSourceFilter::iid;
inline constexpr IID IID_IFileSinkFilter = IFileSinkFilter::iid;
inline constexpr IID IID_IFileSinkFilter2 = IFileSinkFilter2::iid;
inline constexpr IID IID_IAsyncReader = IAsyncReader::iid;
inline constexpr IID IID_IStream = IStream::iid;
inline constexpr IID IID_IConfigInterleaving = IConfigInterleaving::iid;
inline constexpr IID IID_ISampleGrabber = ISampleGrabber::iid;
inline constexpr IID IID_ISampleGrabberCB = ISampleGrabberCB::iid;
inline constexpr IID IID_ICaptureGraphBuilder = ICaptureGraphBuilder::iid;
inline constexpr IID IID_IVideoWindow = IVideoWindow::iid;
inline constexpr IID IID_IMediaDet = IMediaDet::iid;
inline constexpr IID IID_IQualProp = IQualProp::iid;
