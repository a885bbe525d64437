#include "platform/os/Media.h"

#include <QAudioDevice>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>

#include "platform/core/ApplicationEnd.h"
#include "platform/time/Clock.h"

namespace zelmora::platform {

namespace {

class QtDesktop : public DesktopService {
public:
    bool open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

// The sound effect of the playing sound is a Qt object: the service goes with
// the application, before Qt Multimedia's own globals.
std::shared_ptr<SoundService>& soundSlot() {
    static std::shared_ptr<SoundService> slot;
    static const bool letGo = [] {
        atApplicationEnd([] { slot.reset(); });
        return true;
    }();
    (void)letGo;
    return slot;
}
std::shared_ptr<DesktopService>& desktopSlot() {
    static std::shared_ptr<DesktopService> slot;
    return slot;
}

}  // namespace

QtSoundService::QtSoundService() = default;
QtSoundService::~QtSoundService() = default;

void QtSoundService::play(const QString& path, bool wait) {
    if (!QFileInfo::exists(path)) return;
    effect_ = std::make_unique<QSoundEffect>();
    effect_->setSource(QUrl::fromLocalFile(path));
    effect_->play();
    // With no audio output the effect reports playing for ever: nothing is
    // heard, so nothing is waited for.
    if (!wait || QMediaDevices::audioOutputs().isEmpty()) return;
    // Keep the user interface alive until the sound ends (or a minute passes).
    auto control = std::make_shared<WaitControl>();
    for (int i = 0;
         i < 600 && effect_ && (effect_->isPlaying() || effect_->status() == QSoundEffect::Loading);
         ++i)
        if (!clock().pumpFor(100, control)) break;
}

void QtSoundService::stop() {
    if (effect_) effect_->stop();
}

bool QtSoundService::loading() const {
    return effect_ && effect_->status() == QSoundEffect::Loading;
}

SoundService& SoundService::instance() {
    if (!soundSlot()) soundSlot() = std::make_shared<QtSoundService>();
    return *soundSlot();
}
void SoundService::setInstance(std::shared_ptr<SoundService> s) {
    soundSlot() = std::move(s);
}

DesktopService& DesktopService::instance() {
    if (!desktopSlot()) desktopSlot() = std::make_shared<QtDesktop>();
    return *desktopSlot();
}
void DesktopService::setInstance(std::shared_ptr<DesktopService> s) {
    desktopSlot() = std::move(s);
}

}  // namespace zelmora::platform
