#include "camera/FolderMonitor.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "platform/core/AppError.h"
#include "platform/os/ChangeNotifier.h"
#include "platform/time/Clock.h"
#include "shell/DirUtils.h"
#include "shell/Globals.h"
#include "shell/ListUtils.h"
#include "shell/ProgramState.h"

namespace zelmora::camera {

namespace DF = DirectoryFunctions;
namespace fs = std::filesystem;

namespace {
// Between the path and the rest of a snapshot key; no path contains it.
constexpr QChar kKeySep = QChar(0);

std::unique_ptr<platform::ChangeNotifier> makeInotify() {
    return std::make_unique<platform::InotifyChangeNotifier>();
}

FolderMonitor::NotifierFactory& factory() {
    static FolderMonitor::NotifierFactory f = makeInotify;
    return f;
}
}  // namespace

void FolderMonitor::setNotifierFactory(NotifierFactory f) {
    static const bool once = [] {
        addResetHook([] { factory() = makeInotify; });
        return true;
    }();
    (void)once;
    factory() = f ? std::move(f) : NotifierFactory(makeInotify);
}

struct FolderMonitor::State {
    std::unique_ptr<platform::ChangeNotifier> notifier;
    bool stopped = true;
    bool running = false;    // a StartMonitoring is on the stack
    bool destroyed = false;  // the object is gone; the running call only winds down
    bool includeSubFolders = false;
    QString mask;
    std::vector<QString> folders;
    std::vector<int> handles;
    // Per folder: when its watch was found gone (-1 while it is watched).
    std::vector<qint64> goneSince;
    QString lostFolder;  // the folder given up on, for the run's note
    std::vector<std::int32_t> fired;
    std::int32_t waitTime = 100;
    bool changed = false;
    bool attributes = false;
    bool deleted = false;
    std::uint32_t filter =
        platform::ChangeNotifier::kFileName | platform::ChangeNotifier::kLastWrite;
    std::unique_ptr<std::unordered_set<QString>> snapshot;
    std::shared_ptr<platform::WaitControl> wait;
    QStringList notes;

    void note(const QString& source, const QString& description) {
        const QString line =
            description.isEmpty() ? source : source + QStringLiteral(": ") + description;
        notes << line;
        Globals::WriteLogLine(QStringLiteral("FolderMonitor ") + line);
    }

    // Each open handle is closed once; the list is emptied so that nothing
    // closes a descriptor number that may by now belong to another file.
    void stop() {
        for (int h : handles)
            if (h >= 0) notifier->close(h);
        handles.clear();
        goneSince.clear();
        stopped = true;
        snapshot.reset();
        if (wait) wait->stop();
    }

    QString keyOf(const QString& path) const {
        QString key = path + kKeySep;
        std::error_code ec;
        const fs::path p(QFile::encodeName(path).toStdString());
        const auto st = fs::symlink_status(p, ec);
        if (!ec && fs::exists(st)) {
            const auto t = fs::last_write_time(p, ec);
            if (!ec) key += QString::number(static_cast<qint64>(t.time_since_epoch().count()));
            if (attributes) {
                int a = DF::kArchive;
                if ((st.permissions() & fs::perms::owner_write) == fs::perms::none)
                    a |= DF::kReadOnly;
                if (QFileInfo(path).fileName().startsWith(u'.')) a |= DF::kHidden;
                key += QString::number(a);
            }
        }
        return key;
    }

    // A watched folder whose watch is gone (deleted, moved away, unmounted):
    // its handle is closed and the path looked at again every slice.
    void lose(std::size_t i) {
        if (handles[i] >= 0) notifier->close(handles[i]);
        handles[i] = -1;
        goneSince[i] = platform::clock().monotonicMs();
        Globals::WriteLogLine(QStringLiteral("FolderMonitor: the watched folder is gone "
                                             "(deleted, moved or unmounted): ") +
                              folders[i]);
    }

    // The folder is there again: watched anew, and everything in it counts as
    // new, so that the next ChangedList lists what is there.
    bool rewatch(std::size_t i) {
        if (DF::SafeDir(folders[i], DF::kDirectory).isEmpty()) return false;
        const int h = notifier->open(folders[i], includeSubFolders, filter);
        if (h < 0) return false;
        handles[i] = h;
        goneSince[i] = -1;
        if (snapshot) {
            const QString prefix = folders[i].endsWith(u'/') ? folders[i] : folders[i] + u'/';
            for (auto it = snapshot->begin(); it != snapshot->end();)
                it = it->startsWith(prefix) ? snapshot->erase(it) : std::next(it);
        }
        Globals::WriteLogLine(QStringLiteral("FolderMonitor: watching again: ") + folders[i]);
        return true;
    }

    // Folder indexes that signalled, all of them; empty on time-out or stop.
    enum class WaitResult { Fired, Stopped, Failed, Lost };
    WaitResult waitForChange(std::vector<int>& indexes) {
        for (;;) {
            if (stopped || platform::shuttingDown()) return WaitResult::Stopped;
            const platform::ChangeNotifier::Signals s = notifier->take();
            if (s.failed) return WaitResult::Failed;
            for (std::size_t i = 0; i < handles.size(); ++i) {
                if (handles[i] >= 0 &&
                    std::find(s.gone.begin(), s.gone.end(), handles[i]) != s.gone.end())
                    lose(i);
                else if (handles[i] >= 0 &&
                         std::find(s.ready.begin(), s.ready.end(), handles[i]) != s.ready.end())
                    indexes.push_back(static_cast<int>(i));
            }
            for (std::size_t i = 0; i < goneSince.size(); ++i) {
                if (goneSince[i] < 0) continue;
                if (rewatch(i)) {
                    indexes.push_back(static_cast<int>(i));
                } else if (platform::clock().monotonicMs() - goneSince[i] > kGoneGraceMs) {
                    lostFolder = folders[i];
                    return WaitResult::Lost;
                }
            }
            if (!indexes.empty()) return WaitResult::Fired;
            wait = std::make_shared<platform::WaitControl>();
            auto slice = wait;
            platform::clock().pumpFor(std::max(1, waitTime), slice);
            if (wait == slice) wait.reset();
        }
    }
};

FolderMonitor::FolderMonitor(std::unique_ptr<platform::ChangeNotifier> notifier, QObject* parent)
    : QObject(parent), d_(std::make_shared<State>()) {
    d_->notifier = notifier ? std::move(notifier) : factory()();
    d_->notifier->setWake([w = std::weak_ptr<State>(d_)] {
        if (auto d = w.lock())
            if (d->wait) d->wait->stop();
    });
}

FolderMonitor::~FolderMonitor() {
    d_->destroyed = true;
    d_->stop();
    d_->notifier->setWake(nullptr);
}

// Lets no events run: a caller may go on using itself afterwards, and the run
// on the stack ends at the end of its slice.
void FolderMonitor::StopMonitoring() {
    d_->stop();
}

void FolderMonitor::StartMonitoring() {
    auto d = d_;  // the run keeps the state alive if the object goes
    if (d->running || d->folders.empty()) return;
    d->running = true;
    d->snapshot = std::make_unique<std::unordered_set<QString>>();
    const QString src = QStringLiteral("FileNotification.StartMonitoring()");
    for (const QString& folder : d->folders) {
        if (DF::SafeDir(folder, DF::kDirectory).isEmpty())
            d->note(src, QStringLiteral("Invalid path specified for monitoring ") + folder);
        try {
            for (const QString& f : DF::GetFileList(folder, d->includeSubFolders, d->mask)) {
                if (d->snapshot) d->snapshot->insert(d->keyOf(f));
                platform::passEvents();
            }
        } catch (const AppError& e) {
            d->note(src, e.description());
        }
        if (d->destroyed) break;
        d->stopped = false;
        const int h = d->notifier->open(folder, d->includeSubFolders, d->filter);
        if (h < 0) d->note(src, QStringLiteral("Failed to initialize folder for monitoring"));
        d->handles.push_back(h);
        d->goneSince.push_back(-1);
    }
    bool first = true;
    QPointer<FolderMonitor> self(this);
    while (!d->stopped && !d->destroyed) {
        std::vector<int> indexes;
        const auto r = d->waitForChange(indexes);
        if (r == State::WaitResult::Failed) {
            if (!d->stopped)
                d->note(QStringLiteral("FolderNotification.StartMonitoring()"),
                        first ? QString() : QStringLiteral("Wait failed"));
            d->stop();
            break;
        }
        if (r == State::WaitResult::Lost) {
            // Ends as a failed wait does: the owner hears of it through the notes.
            d->note(QStringLiteral("FolderNotification.StartMonitoring()"),
                    QStringLiteral("The watched folder is gone: ") + d->lostFolder);
            d->stop();
            break;
        }
        if (r == State::WaitResult::Stopped) break;
        first = false;
        platform::passEvents();
        for (int k : indexes) {
            if (d->destroyed || d->stopped) break;
            if (ArrayFunctions::ArrayIndexOf(d->fired, k) < 0)
                ArrayFunctions::ArrayAppend(d->fired, k);
            d->changed = true;
            if (self) emit self->ChangeOccurred();
        }
    }
    d->running = false;
}

bool FolderMonitor::isMonitoring() const {
    return !d_->stopped;
}

void FolderMonitor::setIsMonitoring(bool value) {
    d_->stopped = !value;
}

QStringList FolderMonitor::ChangedList() {
    auto d = d_;
    QStringList result;
    if (!d->changed || d->stopped) return result;
    d->changed = false;
    const std::vector<std::int32_t> fired = std::exchange(d->fired, {});
    for (std::int32_t k : fired) {
        if (k < 0 || k >= static_cast<int>(d->folders.size()) || !d->snapshot) continue;
        const QString folder = d->folders[static_cast<std::size_t>(k)];
        QStringList listed;
        try {
            listed = DF::GetFileList(folder, d->includeSubFolders, d->mask);
        } catch (const AppError& e) {
            d->note(QStringLiteral("FolderMonitor.ChangedList"), e.description());
            continue;
        }
        for (const QString& f : listed) {
            const QString key = d->keyOf(f);
            if (d->snapshot && d->snapshot->insert(key).second) result << f;
            platform::passEvents();
        }
        if (d->deleted && d->snapshot) {
            // Only the keys under this folder: another folder's files are not
            // missing from this listing.
            const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
            const QSet<QString> present(listed.begin(), listed.end());
            QStringList gone;
            for (auto it = d->snapshot->begin(); it != d->snapshot->end();) {
                const QString path = it->left(it->indexOf(kKeySep));
                const bool under =
                    path.startsWith(prefix) &&
                    (d->includeSubFolders || !path.mid(prefix.size()).contains(u'/'));
                if (under && !present.contains(path)) {
                    if (!gone.contains(path)) gone << path;
                    it = d->snapshot->erase(it);
                } else {
                    ++it;
                }
            }
            gone.sort();
            result << gone;
        }
    }
    return result;
}

void FolderMonitor::AddFolder(const QStringList& paths) {
    const QString src = QStringLiteral("FolderMonitor.Folder");
    if (!d_->stopped)
        throw AppError(kErrInProgress, src,
                       QStringLiteral("Can not add folder to monitor while monitoring in progess"));
    // The whole call counts, so a call with several paths cannot pass 63.
    if (d_->folders.size() + static_cast<std::size_t>(paths.size()) >
        static_cast<std::size_t>(kMaxFolders))
        throw AppError(kErrTooMany, src,
                       QStringLiteral("Only 63 folders can be monitored simultaneously"));
    for (const QString& path : paths) {
        // The folder stored (and watched) is the trimmed one.
        if (DF::SafeDir(path.trimmed(), DF::kDirectory).isEmpty())
            throw AppError(AppError::kPathNotFound, src,
                           QStringLiteral("Invalid path specified for monitoring ") + path);
        d_->folders.push_back(path.trimmed());
    }
}

QStringList FolderMonitor::Folders() const {
    return QStringList(d_->folders.begin(), d_->folders.end());
}

bool FolderMonitor::IncludeSubFolders() const {
    return d_->includeSubFolders;
}
void FolderMonitor::setIncludeSubFolders(bool value) {
    d_->includeSubFolders = value;
}
QString FolderMonitor::Mask() const {
    return d_->mask;
}
void FolderMonitor::setMask(const QString& value) {
    d_->mask = value;
}
std::int32_t FolderMonitor::WaitTime() const {
    return d_->waitTime;
}
void FolderMonitor::setWaitTime(std::int32_t ms) {
    d_->waitTime = ms;
}
bool FolderMonitor::Changed() const {
    return d_->changed;
}
void FolderMonitor::setChanged(bool value) {
    d_->changed = value;
}
bool FolderMonitor::Attributes() const {
    return d_->attributes;
}

// Attribute changes stay in the filter once asked for.
void FolderMonitor::setAttributes(bool value) {
    d_->attributes = value;
    if (value) d_->filter |= platform::ChangeNotifier::kAttributes;
}

bool FolderMonitor::Deleted() const {
    return d_->deleted;
}
void FolderMonitor::setDeleted(bool value) {
    d_->deleted = value;
}
std::uint32_t FolderMonitor::notifyFilter() const {
    return d_->filter;
}
QStringList FolderMonitor::notes() const {
    return d_->notes;
}

}  // namespace zelmora::camera
