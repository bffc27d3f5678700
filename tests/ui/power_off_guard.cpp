// Every test that may reach the power-off replaces it with a recorder. Any other request fails
// the test that made it, instead of merely being refused.

#include <gtest/gtest.h>

#include "platform/power_off.h"

namespace {

class PowerOffGuard : public ::testing::Environment {
public:
    void SetUp() override {
        SetPowerOffHandler([](UINT flags) {
            ADD_FAILURE() << "a test asked to switch the computer off (flags " << flags
                          << ") without a recorder";
            return BOOL{0};
        });
    }
    void TearDown() override { SetPowerOffHandler({}); }
};

[[maybe_unused]] ::testing::Environment* const kGuard =
    ::testing::AddGlobalTestEnvironment(new PowerOffGuard);

}  // namespace
