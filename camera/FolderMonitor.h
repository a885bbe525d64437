#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/os/ChangeNotifier.h"

namespace zelmora::camera {

// Watches folders for new and changed files. A change notification only says
// that something in a folder changed; the files are found by listing the
// folder again and comparing with a snapshot of every file version seen.
// StartMonitoring runs until StopMonitoring, letting events run while it waits.
class FolderMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr int kErrInProgress = -2147213650;  // 0x80041EAE
    static constexpr int kErrTooMany = -2147213649;     // 0x80041EAF
    static constexpr int kMaxFolders = 63;

    // Without a notifier, the factory's (inotify unless a test set another;
    // the program state reset puts inotify back).
    using NotifierFactory = std::function<std::unique_ptr<platform::ChangeNotifier>()>;
    static void setNotifierFactory(NotifierFactory factory);

    explicit FolderMonitor(std::unique_ptr<platform::ChangeNotifier> notifier = nullptr,
                           QObject* parent = nullptr);
    // Stops a run still in progress; its StartMonitoring returns at the end of
    // its slice without touching this object again.
    ~FolderMonitor() override;

    // A watched folder that is gone (deleted, moved away, unmounted) is traced
    // and watched again, everything in it new, once its path is a folder again;
    // gone for longer than this, the run ends as a failed wait ends.
    static constexpr qint64 kGoneGraceMs = 10000;

    // Closes the watches and ends the run at the end of its slice; lets no
    // events run, so a caller may go on using itself afterwards.
    void StopMonitoring();
    void StartMonitoring();
    bool isMonitoring() const;
    void setIsMonitoring(bool value);
    QStringList ChangedList();
    void AddFolder(const QStringList& paths);
    void AddFolder(const QString& path) { AddFolder(QStringList{path}); }
    QStringList Folders() const;

    bool IncludeSubFolders() const;
    void setIncludeSubFolders(bool value);
    QString Mask() const;
    void setMask(const QString& value);
    std::int32_t WaitTime() const;
    void setWaitTime(std::int32_t ms);
    bool Changed() const;
    void setChanged(bool value);
    bool Attributes() const;
    void setAttributes(bool value);
    bool Deleted() const;
    void setDeleted(bool value);

    std::uint32_t notifyFilter() const;
    // The failures the runs noted ("source: description"), also traced.
    QStringList notes() const;

signals:
    void ChangeOccurred();

private:
    struct State;
    std::shared_ptr<State> d_;
};

}  // namespace zelmora::camera
