#include "platform/rcsdk/tests/SimRcFixture.h"

using namespace zelmora;
using namespace zelmora::simrc_test;

namespace {

// A callback that notices being called after its session was ended, and takes a
// little time so that the end often arrives while it runs.
struct Guarded {
    std::atomic<bool> ended{false};
    std::atomic<int> inside{0};
    std::atomic<int> afterEnd{0};
    std::atomic<int> calls{0};

    static std::uint32_t release(std::uint32_t, const void*, std::uint32_t, void* c) {
        return static_cast<Guarded*>(c)->enter();
    }
    static std::uint32_t device(std::uint32_t, std::uint32_t, std::uint32_t, void* c) {
        return static_cast<Guarded*>(c)->enter();
    }
    std::uint32_t enter() {
        ++inside;
        if (ended) ++afterEnd;
        ++calls;
        std::this_thread::sleep_for(std::chrono::microseconds(150));
        --inside;
        return 0;
    }
};

class SessionLifetimeTest : public SimRcTest {};

TEST_F(SessionLifetimeTest, NoCallbackRunsOnceEndCloseOrFinishHasReturned) {
    enum Way { End, Close, Finish, Unregister };
    int delivered = 0;
    for (int i = 0; i < 40; ++i) {
        for (Way way : {End, Close, Finish, Unregister}) {
            Guarded rel, dev;
            const RCHandle s = open();
            RCHandle reg = 0;
            ASSERT_EQ(RCStartCaptureSession(s, &Guarded::release, &rel), 0u);
            ASSERT_EQ(RCRegisterEventCallbackFunction(s, &Guarded::device, &dev, &reg), 0u);
            ASSERT_EQ(RCSelectReleaseDataKind(s, RC_KIND_THUMB_TO_PC | RC_KIND_PICTURE_TO_PC), 0u);
            ASSERT_EQ(RCCapture(s), 0u);
            for (int k = 0; k < 3; ++k) {
                simrc::fireSettingsChanged();
                simrc::fireDeviceEvent(RC_SEVERITY_WARNING | 1);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(37 * (i % 9)));
            switch (way) {
                case End:
                    ASSERT_EQ(RCEndCaptureSession(s), 0u);
                    break;
                case Close:
                    ASSERT_EQ(RCCloseSource(s), 0u);
                    break;
                case Finish:
                    ASSERT_EQ(RCFinishSDK(), 0u);
                    break;
                case Unregister:
                    ASSERT_EQ(RCUnregisterEventCallbackFunction(s, reg), 0u);
                    ASSERT_EQ(RCEndCaptureSession(s), 0u);
                    break;
            }
            // Ending the session leaves the device events registered; the rest end both.
            const bool devEnded = way != End;
            EXPECT_EQ(rel.inside, 0) << "a callback was still running when the call returned";
            if (devEnded) {
                EXPECT_EQ(dev.inside, 0) << "a callback was still running when the call returned";
            }
            rel.ended = true;
            dev.ended = devEnded;
            simrc::fireSettingsChanged();
            simrc::fireDeviceEvent(RC_SEVERITY_WARNING | 2);
            ASSERT_TRUE(simrc::waitUntilIdle());
            EXPECT_EQ(rel.afterEnd, 0) << "way " << way << " round " << i;
            EXPECT_EQ(dev.afterEnd, 0) << "way " << way << " round " << i;
            delivered += rel.calls + dev.calls;
            if (way == End || way == Unregister) {
                EXPECT_EQ(RCCloseSource(s), 0u);
            }
            if (way == Finish) {
                const RCVersionRecord v = version();
                ASSERT_EQ(RCStartSDK(&v, 0), 0u);
            }
            EXPECT_EQ(simrc::openSources(), 0);
        }
    }
    EXPECT_GT(delivered, 0);  // the races above did run callbacks
}

// Ending or closing from inside a callback (on the library's thread) must not
// wait for that callback itself.
TEST_F(SessionLifetimeTest, EndAndCloseFromInsideTheCallback) {
    struct Ender {
        RCHandle source = 0;
        bool close = false;
        std::atomic<int> calls{0};
        std::atomic<RCResult> result{1};
        static std::uint32_t cb(std::uint32_t event, const void*, std::uint32_t, void* c) {
            auto* self = static_cast<Ender*>(c);
            ++self->calls;
            if (event == RC_EVENT_RELEASE_START)
                self->result =
                    self->close ? RCCloseSource(self->source) : RCEndCaptureSession(self->source);
            return 0;
        }
    };
    for (bool close : {false, true}) {
        Ender e;
        e.close = close;
        e.source = open();
        ASSERT_EQ(RCStartCaptureSession(e.source, &Ender::cb, &e), 0u);
        ASSERT_EQ(RCSelectReleaseDataKind(e.source, RC_KIND_PICTURE_TO_PC), 0u);
        ASSERT_EQ(RCCapture(e.source), 0u);
        ASSERT_TRUE(simrc::waitUntilIdle());
        EXPECT_EQ(e.result, 0u);
        EXPECT_EQ(e.calls, 1);  // nothing after the release start
        if (!close) {
            EXPECT_EQ(RCCloseSource(e.source), 0u);
        }
        EXPECT_EQ(simrc::openSources(), 0);
    }
}

}  // namespace
