#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/sim/SimSky.h"
#include "testing/TestEnv.h"

namespace zelmora::drivers::testing {

// A fresh sky, the built-in drivers only and a scripted chooser for each test.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimSky::instance().reset();
        DriverRegistry::instance().reset();
        ui = std::make_shared<ScriptedDriverUi>();
        ui->setOnUnexpected([](const QString& type) {
            ADD_FAILURE() << "Unexpected chooser for " << type.toStdString();
        });
        DriverUi::setBackend(ui);
    }
    void TearDown() override {
        DriverUi::setBackend(nullptr);
        DriverRegistry::instance().reset();
    }
    static qint64 now() { return testenv::vclock().monotonicMs(); }
    static int skyFocuser() { return sim::SimSky::instance().focuserPosition(); }

    std::shared_ptr<ScriptedDriverUi> ui;
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
