// After every test no media object, task-allocator block or string may be left alive.

#include <gtest/gtest.h>

#include "media/api/bstr.h"
#include "media/api/com_object.h"
#include "media/api/task_memory.h"

namespace {

class LiveObjectsCheck : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        EXPECT_EQ(media::LiveObjectCount(), 0) << "media objects leaked";
        EXPECT_EQ(media::LiveTaskMemoryBlocks(), 0) << "task-allocator blocks leaked";
        EXPECT_EQ(media::LiveStrings(), 0) << "strings leaked";
    }
};

const bool g_registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new LiveObjectsCheck);
    return true;
}();

}  // namespace
