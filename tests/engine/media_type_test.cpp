// A media type owns a format block only when cbFormat says so, owns the reference in pUnk,
// and gives each back exactly once.

#include <array>
#include <cstring>

#include <gtest/gtest.h>

#include "media/api/class_registry.h"
#include "media/api/com_object.h"
#include "media/api/interface_ref.h"
#include "media/api/interfaces.h"
#include "media/api/media_type.h"
#include "media/api/task_memory.h"
#include "media/api/uuids.h"

namespace {

TEST(MediaType, StartsZeroedWithFixedSamplesOfSizeOne) {
    media::MediaType value;
    AM_MEDIA_TYPE expected;
    std::memset(&expected, 0, sizeof expected);
    expected.bFixedSizeSamples = TRUE;
    expected.lSampleSize = 1;
    EXPECT_EQ(std::memcmp(static_cast<AM_MEDIA_TYPE*>(&value), &expected, sizeof expected), 0);

    value.majortype = MEDIATYPE_Audio;
    EXPECT_EQ(value.majortype, MEDIATYPE_Audio);
    EXPECT_EQ(value.subtype, GUID_NULL);
    EXPECT_EQ(value.formattype, GUID_NULL);
    EXPECT_EQ(value.bFixedSizeSamples, TRUE);
    EXPECT_EQ(value.lSampleSize, 1u);
    value.subtype = MEDIASUBTYPE_RGB24;
    EXPECT_EQ(value.majortype, MEDIATYPE_Audio);
    EXPECT_EQ(value.subtype, MEDIASUBTYPE_RGB24);
}

TEST(MediaType, FreesAnOwnedFormatBlockOnce) {
    const long blocksBefore = media::LiveTaskMemoryBlocks();
    media::MediaType value;
    value.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    value.cbFormat = sizeof(VIDEOINFOHEADER);
    ASSERT_EQ(media::LiveTaskMemoryBlocks(), blocksBefore + 1);

    FreeMediaType(value);
    EXPECT_EQ(media::LiveTaskMemoryBlocks(), blocksBefore);
    EXPECT_EQ(value.cbFormat, 0u);
    EXPECT_EQ(value.pbFormat, nullptr);
    FreeMediaType(value);  // a second release finds nothing to free
}

TEST(MediaType, LeavesAFormatPointerWithoutSizeAlone) {
    // Not task-allocator memory: freeing it would corrupt the heap.
    std::array<BYTE, 16> notOwned{};
    {
        media::MediaType value;
        value.pbFormat = notOwned.data();
        FreeMediaType(value);
        EXPECT_EQ(value.pbFormat, notOwned.data());
        value.pbFormat = notOwned.data();
    }  // nor on destruction
}

TEST(MediaType, ReleasesTheObjectItHolds) {
    InterfaceRef<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_ALL, IUnknown::iid, object.ReceiveVoid()),
              S_OK);
    const long alive = media::LiveObjectCount();  // the grabber with its pins
    {
        media::MediaType value;
        value.pUnk = object.Detach();  // the value now holds the only reference
        EXPECT_EQ(media::LiveObjectCount(), alive);
    }
    EXPECT_EQ(media::LiveObjectCount(), 0);
}

TEST(InterfaceRef, QueriesAssignsAndReleasesOneReferenceEach) {
    InterfaceRef<IBaseFilter> grabber;
    ASSERT_EQ(
        CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_ALL, IBaseFilter::iid, grabber.ReceiveVoid()),
        S_OK);
    const long alive = media::LiveObjectCount();  // the grabber with its pins
    InterfaceRef<ISampleGrabber> control;
    EXPECT_EQ(control.Query(grabber.Get()), S_OK);
    EXPECT_TRUE(control);
    InterfaceRef<IMediaSeeking> seeking;
    EXPECT_LT(seeking.Query(grabber.Get()), 0);
    EXPECT_FALSE(seeking) << "a failed query leaves the holder empty";
    EXPECT_EQ(seeking.Query(nullptr), E_POINTER);

    InterfaceRef<IBaseFilter> second;
    second = grabber.Get();
    second = grabber.Get();  // assigning the held pointer again keeps one reference
    grabber.Reset();
    control.Reset();
    EXPECT_EQ(media::LiveObjectCount(), alive) << "the second holder keeps the grabber alive";
    second.Reset();
    EXPECT_EQ(media::LiveObjectCount(), 0);
}

}  // namespace
