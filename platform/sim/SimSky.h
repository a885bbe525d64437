#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sim/SimExport.h"
#include "platform/sim/StarField.h"

namespace zelmora::sim {

// What the shutter contact did: opened, or closed after being open for
// exposureMs milliseconds (as measured by the sky's time source).
struct ShutterEvent {
    bool open = false;
    std::int64_t atMs = 0;
    std::int64_t exposureMs = 0;  // set when the contact closes
};

// The simulated sky: one instance per process, shared by every simulator.
//
//  - The simulated camera takes its pictures of it (snapshot() at the moment of the
//    exposure, then the pure renderFrame()).
//  - A focuser simulator moves it: setFocuserPosition(). Stars are Gaussians with
//        sigma = sqrt(sigma_seeing^2 + (blurPerStep * (focuser - bestFocus))^2)
//    sensor pixels, and each star keeps its total light, so its peak drops as it
//    blurs. The seeing is given as a full width at half maximum.
//  - A cable fake closes and opens the shutter contact: pressShutter() /
//    releaseShutter(). Listeners (the camera) hear both; the close carries the
//    time the contact was held, which a camera in Bulb uses as its exposure.
//  - The whole field drifts slowly (setDrift), as an imperfectly tracked mount
//    does; the tracking log sees it.
//
// Time comes from setTimeSource() (milliseconds, any origin); by default the
// steady clock. The sky cannot reach the program's clock itself (it would get a
// copy of it in this library), so whoever sets the program's clock installs it
// here too: setTimeSource([] { return platform::clock().monotonicMs(); }).
// A test that installs a source capturing its own objects resets the sky after.
// Every member is thread-safe. Listeners run on the thread that moved the contact,
// outside the sky's lock; a listener removed while it runs may finish that run.
class ZELMORA_SIM_API SimSky {
public:
    static SimSky& instance();

    // Back to the defaults: seed 1, seeing 2.5 px, focuser and best focus 5000,
    // 0.01 px of blur per step, no drift, contact open (shutter closed), steady
    // clock. Listeners stay registered (they belong to the simulators, not the test).
    void reset();

    // The star field.
    void setSeed(std::uint32_t seed);
    std::uint32_t seed() const;
    void setSeeing(double fwhmPx);
    double seeing() const;

    // Focus.
    void setFocuserPosition(int position);
    int focuserPosition() const;
    void setBestFocus(int position);
    int bestFocus() const;
    void setBlurPerStep(double sigmaPxPerStep);
    double blurPerStep() const;
    double starSigma() const;  // sigma of every star now, sensor pixels

    // Slow drift of the field, sensor pixels per second.
    void setDrift(double xPxPerSec, double yPxPerSec);
    void driftOffset(double& x, double& y) const;

    // Time.
    void setTimeSource(std::function<std::int64_t()> nowMs);  // empty: steady clock
    std::int64_t nowMs() const;

    // The shutter contact.
    void pressShutter();
    void releaseShutter();
    bool shutterOpen() const;
    using ShutterListener = std::function<void(const ShutterEvent&)>;
    int addShutterListener(ShutterListener listener);
    void removeShutterListener(int id);

    // The sky as it is now. Each snapshot carries fresh noise.
    SkySnapshot snapshot();
    Frame render(const RenderRequest& request) { return renderFrame(snapshot(), request); }

private:
    SimSky();
    std::int64_t nowLocked() const;
    double sigmaLocked() const;
    void offsetLocked(double& x, double& y) const;
    // Adds the drift so far to the base offset and starts the next stretch now.
    void keepDriftSoFarLocked();
    void notify(const ShutterEvent& e);

    mutable std::mutex mu_;
    std::uint32_t seed_ = 1;
    std::shared_ptr<const std::vector<Star>> stars_;
    double seeingFwhm_ = 2.5;
    int focuser_ = 5000;
    int bestFocus_ = 5000;
    double blurPerStep_ = 0.01;
    double driftX_ = 0, driftY_ = 0;
    double baseOffsetX_ = 0, baseOffsetY_ = 0;
    std::int64_t driftOriginMs_ = 0;
    std::function<std::int64_t()> timeSource_;
    bool shutterOpen_ = false;
    std::int64_t openedAtMs_ = 0;
    std::uint64_t frameCount_ = 0;
    int nextListenerId_ = 1;
    std::map<int, ShutterListener> listeners_;
};

}  // namespace zelmora::sim
