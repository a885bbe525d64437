#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/rcsdk/RemoteCapture.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/SimSky.h"

namespace zelmora::simrc_test {

// One release event as the callback saw it.
struct SeenEvent {
    std::uint32_t event = 0;
    RCImageReadyBlock block{};  // event 34
    std::uint32_t count = 0;    // event 29
    std::thread::id thread;
};

// Records release events; safe to read after simrc::waitUntilIdle().
struct EventLog {
    std::mutex m;
    std::vector<SeenEvent> events;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};

    static std::uint32_t callback(std::uint32_t event, const void* data, std::uint32_t,
                                  void* context) {
        auto* log = static_cast<EventLog*>(context);
        if (log->inside.fetch_add(1) != 0) ++log->overlaps;
        SeenEvent e;
        e.event = event;
        e.thread = std::this_thread::get_id();
        if (event == RC_EVENT_IMAGE_READY) std::memcpy(&e.block, data, sizeof(e.block));
        if (event == RC_EVENT_RELEASE_COMPLETE && data) std::memcpy(&e.count, data, 4);
        {
            std::lock_guard lock(log->m);
            log->events.push_back(e);
        }
        log->inside.fetch_sub(1);
        return 0;
    }

    std::vector<std::uint32_t> codes() {
        std::lock_guard lock(m);
        std::vector<std::uint32_t> v;
        for (const auto& e : events) v.push_back(e.event);
        return v;
    }
    std::vector<RCImageReadyBlock> images() {
        std::lock_guard lock(m);
        std::vector<RCImageReadyBlock> v;
        for (const auto& e : events)
            if (e.event == RC_EVENT_IMAGE_READY) v.push_back(e.block);
        return v;
    }
};

class SimRcTest : public ::testing::Test {
protected:
    // The test environment has just reset the library and the sky.
    void SetUp() override {
        const RCVersionRecord v = version();
        ASSERT_EQ(RCStartSDK(&v, 0), 0u);
    }
    void TearDown() override {
        simrc::reset();
        sim::SimSky::instance().reset();
    }

    // What a client built for this library passes to RCStartSDK.
    static RCVersionRecord version() {
        RCVersionRecord v{};
        v.structSize = 40;
        v.major = 8;
        return v;
    }

    static RCDeviceRecord device(int index = 0) {
        RCHandle e = 0;
        RCDeviceRecord rec{};
        EXPECT_EQ(RCEnumDeviceReset(1, &e), 0u);
        for (int i = 0; i <= index; ++i) EXPECT_EQ(RCEnumDeviceNext(e, &rec), 0u);
        EXPECT_EQ(RCEnumDeviceRelease(e), 0u);
        return rec;
    }

    static RCHandle open(int index = 0) {
        const RCDeviceRecord rec = device(index);
        RCHandle s = 0;
        EXPECT_EQ(RCOpenSource(&rec, &s), 0u);
        return s;
    }

    // An open source with a capture session recording into log, sending kinds to the PC.
    RCHandle session(std::uint32_t kinds = RC_KIND_THUMB_TO_PC | RC_KIND_PICTURE_TO_PC) {
        const RCHandle s = open();
        EXPECT_EQ(RCStartCaptureSession(s, &EventLog::callback, &log), 0u);
        EXPECT_EQ(RCSelectReleaseDataKind(s, kinds), 0u);
        return s;
    }

    // Captures and waits for every event of the release.
    void captureAndWait(RCHandle s) {
        ASSERT_EQ(RCCapture(s), 0u);
        ASSERT_TRUE(simrc::waitUntilIdle());
    }

    EventLog log;
};

}  // namespace zelmora::simrc_test
