#pragma once

#include <gtest/gtest.h>

#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/sim/SimSky.h"
#include "testing/TestEnv.h"

namespace zelmora::drivers::testing {

// The test environment already gives each test a fresh sky on the program's
// clock, the built-in drivers only and a scripted chooser.
class DriverTest : public ::testing::Test {
protected:
    static qint64 now() { return testenv::vclock().monotonicMs(); }
    static int skyFocuser() { return sim::SimSky::instance().focuserPosition(); }

    ScriptedDriverUi* const ui = &testenv::driverUi();
};

// Runs fn and returns the AppError number it raised, or -1 when it raised none.
template <typename F>
int errorNumber(F&& fn) {
    try {
        fn();
    } catch (const AppError& e) {
        return e.number();
    }
    return -1;
}

}  // namespace zelmora::drivers::testing
