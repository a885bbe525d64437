#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace zelmora::platform {

// Folder change notifications. A handle watches one folder (and, on request,
// every folder below it) for the kinds of change in the filter; it becomes
// signalled when such a change happens and stays signalled until taken.
class ChangeNotifier {
public:
    // Filter bits.
    enum Filter : std::uint32_t { kFileName = 1, kAttributes = 4, kLastWrite = 16 };

    struct Signals {
        bool failed = false;     // waiting on the handles failed
        std::vector<int> ready;  // the signalled handles, now reset
        // Handles whose folder is no longer watched (deleted, moved away or
        // unmounted); each is reported once and stays open until closed.
        std::vector<int> gone;
    };

    virtual ~ChangeNotifier() = default;
    // A new handle (>= 0), or -1 when the folder cannot be watched.
    virtual int open(const QString& folder, bool subtree, std::uint32_t filter) = 0;
    // Takes (and resets) every signalled handle, without waiting.
    virtual Signals take() = 0;
    // Closes an open handle; an unknown or already closed one is left alone.
    virtual void close(int handle) = 0;
    // Called (on this thread) when a handle may have become signalled.
    virtual void setWake(std::function<void()> wake) = 0;
};

// inotify: one instance (its descriptor is the handle) per folder, one watch
// per folder of the subtree; folders made later get watches as they appear.
class InotifyChangeNotifier : public QObject, public ChangeNotifier {
public:
    InotifyChangeNotifier();
    ~InotifyChangeNotifier() override;

    int open(const QString& folder, bool subtree, std::uint32_t filter) override;
    Signals take() override;
    void close(int handle) override;
    void setWake(std::function<void()> wake) override { wake_ = std::move(wake); }

    // The handles open now.
    std::vector<int> openHandles() const;
    static std::uint32_t inotifyMask(std::uint32_t filter);

private:
    struct Instance;
    void drain(Instance& in);
    void addWatches(Instance& in, const QString& folder);

    std::map<int, std::unique_ptr<Instance>> open_;
    std::function<void()> wake_;
};

// For tests: records the calls and signals what the test says.
class RecordingChangeNotifier : public ChangeNotifier {
public:
    int open(const QString& folder, bool subtree, std::uint32_t filter) override;
    Signals take() override;
    void close(int handle) override;
    void setWake(std::function<void()> wake) override { wake_ = std::move(wake); }

    // Marks a handle signalled and wakes the waiting side.
    void signal(int handle);
    // The next take() reports a failed wait.
    void failNextWait() { failNext_ = true; }
    // The handle's folder is no longer watched; wakes the waiting side.
    void lose(int handle);

    // What was asked, kept apart so that it outlives the notifier.
    struct Journal {
        QStringList calls;
        std::set<int> openNow;
    };
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    QStringList failOpen;  // folders whose open fails

private:
    int next_ = 100;
    std::vector<int> pending_;
    std::vector<int> lost_;
    bool failNext_ = false;
    std::function<void()> wake_;
};

}  // namespace zelmora::platform
