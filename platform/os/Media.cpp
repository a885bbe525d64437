#include "platform/os/Media.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QSoundEffect>

#include "platform/time/Clock.h"

namespace zelmora::platform {

namespace {

class QtSound : public SoundService {
public:
    void play(const QString& path, bool wait) override {
        if (!QFileInfo::exists(path)) return;
        effect_ = std::make_unique<QSoundEffect>();
        effect_->setSource(QUrl::fromLocalFile(path));
        effect_->play();
        if (!wait) return;
        // Keep the user interface alive until the sound ends (or a minute passes).
        auto control = std::make_shared<WaitControl>();
        for (int i = 0; i < 600 && effect_ &&
                        (effect_->isPlaying() || effect_->status() == QSoundEffect::Loading);
             ++i)
            if (!clock().pumpFor(100, control)) break;
    }
    void stop() override {
        if (effect_) effect_->stop();
    }

private:
    std::unique_ptr<QSoundEffect> effect_;
};

class QtDesktop : public DesktopService {
public:
    bool open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

std::shared_ptr<SoundService>& soundSlot() {
    static std::shared_ptr<SoundService> slot;
    return slot;
}
std::shared_ptr<DesktopService>& desktopSlot() {
    static std::shared_ptr<DesktopService> slot;
    return slot;
}

}  // namespace

SoundService& SoundService::instance() {
    if (!soundSlot()) soundSlot() = std::make_shared<QtSound>();
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
