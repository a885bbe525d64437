#pragma once

#include "platform/core/Api.h"

#include <QString>
#include <QUrl>
#include <memory>
#include <vector>

ZELMORA_API_BEGIN

class QSoundEffect;

namespace zelmora::platform {

// Plays wave files. Production uses Qt Multimedia; tests install the recorder.
class SoundService {
public:
    virtual ~SoundService() = default;
    // wait: return only when the sound has finished (events keep being dispatched).
    virtual void play(const QString& path, bool wait) = 0;
    virtual void stop() = 0;

    static SoundService& instance();
    static void setInstance(std::shared_ptr<SoundService> service);
};

// Opens documents and web pages with the desktop's associated program.
class DesktopService {
public:
    virtual ~DesktopService() = default;
    // Returns false when nothing could open it.
    virtual bool open(const QUrl& url) = 0;

    static DesktopService& instance();
    static void setInstance(std::shared_ptr<DesktopService> service);
};

// Qt Multimedia's sound effects.
class QtSoundService : public SoundService {
public:
    QtSoundService();
    ~QtSoundService() override;
    void play(const QString& path, bool wait) override;
    void stop() override;
    // The last sound is still being read.
    bool loading() const;

private:
    std::unique_ptr<QSoundEffect> effect_;
};

class RecordingSound : public SoundService {
public:
    struct Played {
        QString path;
        bool wait;
    };
    void play(const QString& path, bool wait) override { played.push_back({path, wait}); }
    void stop() override { ++stops; }
    std::vector<Played> played;
    int stops = 0;
};

class RecordingDesktop : public DesktopService {
public:
    bool open(const QUrl& url) override {
        opened.push_back(url);
        return result;
    }
    std::vector<QUrl> opened;
    bool result = true;
};

}  // namespace zelmora::platform

ZELMORA_API_END
