#include "platform/rcsdk/SimLibrary.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/rcsdk/CaptureRender.h"
#include "platform/rcsdk/RawDevelopment.h"
#include "platform/sim/SimSky.h"

namespace zelmora::simrc::detail {

SimLibrary& SimLibrary::instance() {
    static SimLibrary library;
    return library;
}

SimLibrary::SimLibrary() {
    replaceDevices({profiles::eos20D()});
    // The cable works the camera's shutter through the sky's contact.
    shutterListener_ = sim::SimSky::instance().addShutterListener(
        [this](const sim::ShutterEvent& e) { onShutter(e.open, e.exposureMs); });
}

SimLibrary::~SimLibrary() {
    sim::SimSky::instance().removeShutterListener(shutterListener_);
    closeAll(false);
}

void SimLibrary::replaceDevices(std::vector<CameraProfile> profiles) {
    devices.clear();
    deviceOrder.clear();
    for (CameraProfile& p : profiles) {
        Device d;
        d.id = nextDeviceId++;
        d.nextNumber = p.firstImageNumber;
        d.state = std::move(p);
        deviceOrder.push_back(d.id);
        devices.emplace(d.id, std::move(d));
    }
}

Source* SimLibrary::source(RCHandle id) {
    auto it = sources.find(id);
    return it == sources.end() ? nullptr : it->second.get();
}

std::shared_ptr<Source> SimLibrary::sourcePtr(RCHandle id) {
    auto it = sources.find(id);
    return it == sources.end() ? nullptr : it->second;
}

Device* SimLibrary::deviceOf(const Source& s) {
    auto it = devices.find(s.deviceId);
    return it == devices.end() ? nullptr : &it->second;
}

Device* SimLibrary::deviceAt(int index) {
    if (index < 0 || index >= int(deviceOrder.size())) return nullptr;
    auto it = devices.find(deviceOrder[std::size_t(index)]);
    return it == devices.end() ? nullptr : &it->second;
}

RCResult SimLibrary::lookup(RCHandle id, Source*& s, Device*& d) {
    s = nullptr;
    d = nullptr;
    if (started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    s = source(id);
    if (!s) return RC_COMP_LIBRARY | RC_ERR_INVALID_HANDLE;
    d = deviceOf(*s);
    // The camera was unplugged (the device list changed under the open source).
    if (!d) return RC_COMP_CAMERA | RC_ERR_COMMUNICATION;
    return RC_OK;
}

RCHandle SimLibrary::newEnumerator(std::string kind, std::vector<std::uint32_t> items) {
    const RCHandle h = newHandle();
    Enumerator e;
    e.kind = std::move(kind);
    e.items = std::move(items);
    enumerators.emplace(h, std::move(e));
    return h;
}

RCResult SimLibrary::findEnumerator(RCHandle h, std::string_view kind, Enumerator*& e) {
    e = nullptr;
    if (started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    auto it = enumerators.find(h);
    if (it == enumerators.end() || it->second.kind != kind)
        return RC_COMP_LIBRARY | RC_ERR_INVALID_HANDLE;
    e = &it->second;
    return RC_OK;
}

RCResult SimLibrary::releaseEnumerator(RCHandle h, std::string_view kind) {
    Enumerator* e = nullptr;
    if (RCResult r = findEnumerator(h, kind, e)) return r;
    enumerators.erase(h);
    return RC_OK;
}

RCResult SimLibrary::enter(const char* function) {
    std::lock_guard lock(faultMu_);
    ++callCounts_[function];
    auto it = faults_.find(std::string_view(function));
    if (it == faults_.end()) return RC_OK;
    Fault& f = it->second;
    if (f.skip > 0) {
        --f.skip;
        return RC_OK;
    }
    const RCResult code = f.code;
    if (f.count > 0 && --f.count == 0) faults_.erase(it);
    return code;
}

void SimLibrary::addFault(std::string_view function, RCResult code, int count, int skip) {
    std::lock_guard lock(faultMu_);
    if (count == 0) {
        faults_.erase(std::string(function));
        return;
    }
    faults_[std::string(function)] = Fault{code, count, std::max(0, skip)};
}

void SimLibrary::clearFaults() {
    std::lock_guard lock(faultMu_);
    faults_.clear();
}

void SimLibrary::clearFaultsAndCounts() {
    std::lock_guard lock(faultMu_);
    faults_.clear();
    callCounts_.clear();
}

int SimLibrary::calls(std::string_view function) {
    std::lock_guard lock(faultMu_);
    auto it = callCounts_.find(function);
    return it == callCounts_.end() ? 0 : it->second;
}

std::shared_ptr<Source> SimLibrary::openSource(std::uint32_t deviceId) {
    auto s = std::make_shared<Source>();
    s->id = newHandle();
    s->deviceId = deviceId;
    s->volume = newHandle();
    volumes[s->volume] = s->id;
    sources[s->id] = s;
    s->thread = std::thread([this, s] { workerLoop(s); });
    return s;
}

void SimLibrary::quiesce(Source& s) {
    // A callback that closes or ends its own source must not wait for itself.
    if (s.deliveringThread.load() == std::this_thread::get_id()) return;
    std::lock_guard wait(s.delivery);
}

void SimLibrary::closeSource(RCHandle id) {
    std::shared_ptr<Source> s;
    {
        std::lock_guard lock(mu);
        auto it = sources.find(id);
        if (it == sources.end()) return;
        s = it->second;
        sources.erase(it);
        volumes.erase(s->volume);
        if (Device* d = deviceOf(*s); d && d->sessionSource == id) {
            d->sessionSource = 0;
            d->captureInFlight = false;
        }
        s->stopping = true;
        s->session = false;
        ++s->generation;
        if (s->thread.get_id() == std::this_thread::get_id()) {
            // Closed from its own callback: the thread ends once the callback returns;
            // until then it counts as busy.
            s->detached = true;
            ++lingering_;
        }
        s->registrations.clear();
        s->pending.clear();
        s->jobs.clear();
        s->inlineJobs.clear();
        s->wake.notify_all();
        idle_.notify_all();
    }
    quiesce(*s);
    if (s->thread.joinable()) {
        if (s->detached)
            s->thread.detach();
        else
            s->thread.join();
    }
}

void SimLibrary::closeAll(bool onlyIfFinished) {
    std::vector<RCHandle> ids;
    {
        std::lock_guard lock(mu);
        if (onlyIfFinished && started > 0) return;
        for (const auto& [id, s] : sources) ids.push_back(id);
        enumerators.clear();
        rawObjects.clear();
        cardItems.clear();
        pictures.clear();
    }
    for (RCHandle id : ids) closeSource(id);
}

void SimLibrary::post(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Source>& s,
                      Job job) {
    if (s->stopping) return;
    if (!synchronous) {
        s->jobs.push_back(std::move(job));
        s->wake.notify_one();
        return;
    }
    s->inlineJobs.push_back(std::move(job));
    if (s->inlineThread != std::thread::id{}) return;  // the running loop takes it
    s->inlineThread = std::this_thread::get_id();
    ++s->running;
    while (!s->inlineJobs.empty() && !s->stopping) {
        Job next = std::move(s->inlineJobs.front());
        s->inlineJobs.pop_front();
        lock.unlock();
        runJob(s, next);
        lock.lock();
    }
    s->inlineThread = std::thread::id{};
    --s->running;
    idle_.notify_all();
}

bool SimLibrary::waitIdle(int timeoutMs) {
    std::unique_lock lock(mu);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        if (lingering_ > 0) return false;
        for (const auto& [id, s] : sources)
            if (!s->jobs.empty() || !s->inlineJobs.empty() || s->running > 0) return false;
        return true;
    });
}

void SimLibrary::workerLoop(std::shared_ptr<Source> s) {
    std::unique_lock lock(mu);
    for (;;) {
        s->wake.wait(lock, [&] { return s->stopping || !s->jobs.empty(); });
        if (s->stopping) break;
        Job job = std::move(s->jobs.front());
        s->jobs.pop_front();
        ++s->running;
        lock.unlock();
        runJob(s, job);
        lock.lock();
        --s->running;
        idle_.notify_all();
    }
    s->jobs.clear();
    if (s->detached) --lingering_;
    idle_.notify_all();
}

void SimLibrary::runJob(const std::shared_ptr<Source>& s, const Job& job) {
    switch (job.type) {
        case Job::Capture:
            runCapture(s, job);
            break;
        case Job::ReleaseEvent:
            deliverRelease(*s, job.generation, job.code, nullptr);
            break;
        case Job::DeviceEvent:
            deliverDevice(*s, job.code);
            break;
    }
}

void SimLibrary::deliverRelease(Source& s, std::uint64_t generation, std::uint32_t event,
                                const void* data) {
    std::lock_guard one(s.delivery);
    s.deliveringThread = std::this_thread::get_id();
    RCReleaseEventCallback callback = nullptr;
    void* context = nullptr;
    {
        std::lock_guard lock(mu);
        if (!s.stopping && s.session && s.generation == generation) {
            callback = s.callback;
            context = s.context;
        }
    }
    if (callback) callback(event, data, 0, context);
    s.deliveringThread = std::thread::id{};
}

void SimLibrary::deliverDevice(Source& s, std::uint32_t code) {
    std::lock_guard one(s.delivery);
    s.deliveringThread = std::this_thread::get_id();
    std::vector<RCHandle> regs;
    {
        std::lock_guard lock(mu);
        for (const auto& [id, r] : s.registrations) regs.push_back(id);
    }
    for (RCHandle id : regs) {
        DeviceRegistration r;
        {
            std::lock_guard lock(mu);
            auto it = s.registrations.find(id);
            if (s.stopping || it == s.registrations.end()) continue;
            r = it->second;
        }
        r.callback(code, 0, 0, r.context);
    }
    s.deliveringThread = std::thread::id{};
}

void SimLibrary::runCapture(const std::shared_ptr<Source>& s, const Job& job) {
    const CaptureJob& c = *job.capture;
    auto current = [&] { return !s->stopping && s->generation == job.generation; };
    if (c.delayMs > 0) {
        std::unique_lock lock(mu);
        s->wake.wait_for(lock, std::chrono::milliseconds(c.delayMs), [&] { return !current(); });
        if (!current()) return;
    }
    if (c.fromBody) deliverRelease(*s, job.generation, RC_EVENT_CAMERA_BUTTON, nullptr);
    deliverRelease(*s, job.generation, RC_EVENT_RELEASE_START, nullptr);

    std::vector<RenderedImage> images;
    bool failed = false;
    try {
        images = renderCapture(c, c.kinds & RC_KIND_THUMB_TO_PC, c.kinds & RC_KIND_PICTURE_TO_PC);
    } catch (...) {
        failed = true;
    }

    std::vector<RCImageReadyBlock> blocks;
    {
        std::lock_guard lock(mu);
        if (!current()) return;
        for (const RenderedImage& img : images) {
            PendingImage p;
            p.block.number = c.number;
            p.block.kind = img.kind;
            p.block.format = img.format;
            p.block.size = std::uint32_t(img.bytes->size());
            p.bytes = img.bytes;
            s->pending[{c.number, img.kind}] = p;
            blocks.push_back(p.block);
        }
        // The camera is ready for the next release once its images are made.
        if (Device* d = deviceOf(*s); d && d->sessionSource == s->id) d->captureInFlight = false;
    }
    if (failed) {
        deliverRelease(*s, job.generation, RC_EVENT_HARDWARE_ERROR, nullptr);
        return;
    }
    const std::uint32_t count = std::uint32_t(blocks.size());
    deliverRelease(*s, job.generation, RC_EVENT_RELEASE_COMPLETE, &count);
    // Under release control the images are fetched with RCGetReleasedData after
    // the count; only a capture session hears of each one.
    bool releaseControl = false;
    {
        std::lock_guard lock(mu);
        releaseControl = s->releaseControl;
    }
    if (!releaseControl)
        for (const RCImageReadyBlock& b : blocks)
            deliverRelease(*s, job.generation, RC_EVENT_IMAGE_READY, &b);
    if (c.settingsChangedAfter)
        deliverRelease(*s, job.generation, RC_EVENT_SETTINGS_CHANGED, nullptr);
}

bool SimLibrary::inBulb(const CameraProfile& c) {
    return c.mode == RC_MODE_BULB ||
           ((c.mode == RC_MODE_MANUAL || c.mode == RC_MODE_MANUAL2) && c.tv == RC_TV_BULB);
}

double SimLibrary::tvSeconds(std::uint16_t tv) {
    // Codes count eighths of a stop; 56 is one second.
    if (tv < 8 || tv > 200) return 1.0;
    return std::pow(2.0, (56.0 - double(tv)) / 8.0);
}

RCResult SimLibrary::startCapture(std::unique_lock<std::mutex>& lock, Device& d, Source* session,
                                  bool fromBody, std::int64_t exposureMs, bool bulb) {
    CameraProfile& cam = d.state;
    std::uint32_t kinds = session ? session->kinds : 0;
    // A release on the body with nothing to send to the PC goes to the card.
    if (fromBody && (kinds & (RC_KIND_THUMB_TO_PC | RC_KIND_PICTURE_TO_PC)) == 0)
        kinds |= RC_KIND_PICTURE_TO_CARD;
    const bool toCard = kinds & (RC_KIND_THUMB_TO_CARD | RC_KIND_PICTURE_TO_CARD);
    if (toCard && !cam.card) return RC_COMP_CAMERA | RC_ERR_NO_CARD;
    if (toCard && cam.shotsLeft == 0) return RC_COMP_CAMERA | RC_ERR_CARD_FULL;

    auto job = newCaptureJob(d, kinds, fromBody, exposureMs, bulb);

    if (toCard) --cam.shotsLeft;
    // The capture session hears the release even when everything went to the card.
    if (session && session->session) {
        d.captureInFlight = true;
        post(lock, sourcePtr(session->id), Job{Job::Capture, session->generation, 0, job});
    }
    return RC_OK;
}

std::shared_ptr<CaptureJob> SimLibrary::newCaptureJob(Device& d, std::uint32_t kinds, bool fromBody,
                                                      std::int64_t exposureMs, bool bulb) {
    const CameraProfile& cam = d.state;
    auto job = std::make_shared<CaptureJob>();
    job->number = d.nextNumber++;
    job->kinds = kinds;
    job->fromBody = fromBody;
    job->sky = sim::SimSky::instance().snapshot();
    job->sensorWidth = sensorOverrideW > 0 ? sensorOverrideW : cam.sensorWidth;
    job->sensorHeight = sensorOverrideH > 0 ? sensorOverrideH : cam.sensorHeight;
    job->iso = cam.iso;
    job->quality = cam.format.quality;
    job->size = cam.format.size;
    job->rawPlusJpeg = cam.rawPlusJpeg;
    job->settingsChangedAfter = cam.settingsChangedAfterCapture;
    job->model = cam.modelName;
    job->delayMs = bulb ? 0 : std::int64_t(std::llround(double(exposureMs) * timeScale));
    job->record.number = job->number;
    job->record.kinds = kinds;
    job->record.exposureMs = exposureMs;
    job->record.bulb = bulb;
    job->record.fromBody = fromBody;
    job->record.focuserPosition = sim::SimSky::instance().focuserPosition();
    job->record.quality = job->quality;
    job->record.size = job->size;
    captureLog.push_back(job->record);
    return job;
}

void SimLibrary::notifySettingsChanged(std::unique_lock<std::mutex>& lock, Device& d) {
    if (!d.sessionSource) return;
    auto s = sourcePtr(d.sessionSource);
    if (!s || !s->session) return;
    post(lock, s, Job{Job::ReleaseEvent, s->generation, RC_EVENT_SETTINGS_CHANGED, nullptr});
}

void SimLibrary::onShutter(bool open, std::int64_t exposureMs) {
    std::unique_lock lock(mu);
    // The cable is plugged into the first camera.
    Device* d = deviceAt(0);
    if (!d) return;
    const bool bulb = inBulb(d->state);
    // In Bulb the exposure lasts as long as the contact is held; otherwise the
    // press starts an exposure of the camera's shutter time.
    if (open == bulb) return;
    if (d->captureInFlight) return;  // a busy camera ignores the button
    const std::int64_t ms =
        bulb ? exposureMs : std::int64_t(std::llround(tvSeconds(d->state.tv) * 1000));
    Source* session = d->sessionSource ? source(d->sessionSource) : nullptr;
    startCapture(lock, *d, session, true, ms, bulb);
}

}  // namespace zelmora::simrc::detail
