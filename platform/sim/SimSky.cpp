#include "platform/sim/SimSky.h"

#include <chrono>
#include <cmath>

namespace zelmora::sim {

namespace {
std::int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
constexpr double kFwhmPerSigma = 2.3548200450309493;  // 2 * sqrt(2 ln 2)
}  // namespace

SimSky& SimSky::instance() {
    static SimSky sky;
    return sky;
}

SimSky::SimSky() {
    stars_ = makeStarField(seed_);
    driftOriginMs_ = nowLocked();
}

void SimSky::reset() {
    std::lock_guard lock(mu_);
    if (seed_ != 1 || !stars_) stars_ = makeStarField(1);
    seed_ = 1;
    seeingFwhm_ = 2.5;
    focuser_ = 5000;
    bestFocus_ = 5000;
    blurPerStep_ = 0.01;
    timeSource_ = nullptr;
    driftX_ = driftY_ = 0;
    baseOffsetX_ = baseOffsetY_ = 0;
    driftOriginMs_ = nowLocked();
    shutterOpen_ = false;
    openedAtMs_ = 0;
    frameCount_ = 0;
}

void SimSky::setSeed(std::uint32_t seed) {
    auto stars = makeStarField(seed);
    std::lock_guard lock(mu_);
    seed_ = seed;
    stars_ = std::move(stars);
    frameCount_ = 0;
}

std::uint32_t SimSky::seed() const {
    std::lock_guard lock(mu_);
    return seed_;
}

void SimSky::setSeeing(double fwhmPx) {
    std::lock_guard lock(mu_);
    seeingFwhm_ = std::max(0.1, fwhmPx);
}

double SimSky::seeing() const {
    std::lock_guard lock(mu_);
    return seeingFwhm_;
}

void SimSky::setFocuserPosition(int position) {
    std::lock_guard lock(mu_);
    focuser_ = position;
}

int SimSky::focuserPosition() const {
    std::lock_guard lock(mu_);
    return focuser_;
}

void SimSky::setBestFocus(int position) {
    std::lock_guard lock(mu_);
    bestFocus_ = position;
}

int SimSky::bestFocus() const {
    std::lock_guard lock(mu_);
    return bestFocus_;
}

void SimSky::setBlurPerStep(double sigmaPxPerStep) {
    std::lock_guard lock(mu_);
    blurPerStep_ = std::abs(sigmaPxPerStep);
}

double SimSky::blurPerStep() const {
    std::lock_guard lock(mu_);
    return blurPerStep_;
}

double SimSky::starSigma() const {
    std::lock_guard lock(mu_);
    return sigmaLocked();
}

double SimSky::sigmaLocked() const {
    const double seeing = seeingFwhm_ / kFwhmPerSigma;
    const double defocus = blurPerStep_ * double(focuser_ - bestFocus_);
    return std::sqrt(seeing * seeing + defocus * defocus);
}

void SimSky::offsetLocked(double& x, double& y) const {
    const double secs = double(nowLocked() - driftOriginMs_) / 1000.0;
    x = baseOffsetX_ + driftX_ * secs;
    y = baseOffsetY_ + driftY_ * secs;
}

void SimSky::keepDriftSoFarLocked() {
    const std::int64_t now = nowLocked();
    const double secs = double(now - driftOriginMs_) / 1000.0;
    baseOffsetX_ += driftX_ * secs;
    baseOffsetY_ += driftY_ * secs;
    driftOriginMs_ = now;
}

void SimSky::setDrift(double xPxPerSec, double yPxPerSec) {
    std::lock_guard lock(mu_);
    // The new rate applies from now on.
    keepDriftSoFarLocked();
    driftX_ = xPxPerSec;
    driftY_ = yPxPerSec;
}

void SimSky::driftOffset(double& x, double& y) const {
    std::lock_guard lock(mu_);
    offsetLocked(x, y);
}

void SimSky::setTimeSource(std::function<std::int64_t()> nowMs) {
    std::lock_guard lock(mu_);
    // The new clock's origin starts the next stretch.
    keepDriftSoFarLocked();
    timeSource_ = std::move(nowMs);
    driftOriginMs_ = nowLocked();
    if (shutterOpen_) openedAtMs_ = driftOriginMs_;
}

std::int64_t SimSky::nowMs() const {
    std::lock_guard lock(mu_);
    return nowLocked();
}

std::int64_t SimSky::nowLocked() const {
    return timeSource_ ? timeSource_() : steadyMs();
}

void SimSky::pressShutter() {
    ShutterEvent e;
    {
        std::lock_guard lock(mu_);
        if (shutterOpen_) return;  // a second press while held changes nothing
        shutterOpen_ = true;
        openedAtMs_ = nowLocked();
        e.open = true;
        e.atMs = openedAtMs_;
    }
    notify(e);
}

void SimSky::releaseShutter() {
    ShutterEvent e;
    {
        std::lock_guard lock(mu_);
        if (!shutterOpen_) return;  // nothing was held
        shutterOpen_ = false;
        e.open = false;
        e.atMs = nowLocked();
        e.exposureMs = std::max<std::int64_t>(0, e.atMs - openedAtMs_);
    }
    notify(e);
}

bool SimSky::shutterOpen() const {
    std::lock_guard lock(mu_);
    return shutterOpen_;
}

int SimSky::addShutterListener(ShutterListener listener) {
    std::lock_guard lock(mu_);
    const int id = nextListenerId_++;
    listeners_.emplace(id, std::move(listener));
    return id;
}

void SimSky::removeShutterListener(int id) {
    std::lock_guard lock(mu_);
    listeners_.erase(id);
}

void SimSky::notify(const ShutterEvent& e) {
    std::vector<ShutterListener> copy;
    {
        std::lock_guard lock(mu_);
        for (const auto& [id, l] : listeners_) copy.push_back(l);
    }
    for (const auto& l : copy) l(e);
}

SkySnapshot SimSky::snapshot() {
    std::lock_guard lock(mu_);
    SkySnapshot s;
    s.stars = stars_;
    s.sigmaPx = sigmaLocked();
    offsetLocked(s.offsetX, s.offsetY);
    s.noiseSeed = (std::uint64_t(seed_) << 32) ^ ++frameCount_;
    return s;
}

}  // namespace zelmora::sim
