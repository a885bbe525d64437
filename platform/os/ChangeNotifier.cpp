#include "platform/os/ChangeNotifier.h"

#include <sys/inotify.h>
#include <unistd.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>

namespace zelmora::platform {

struct InotifyChangeNotifier::Instance {
    int fd = -1;
    bool subtree = false;
    std::uint32_t mask = 0;
    std::map<int, QString> watches;  // watch descriptor -> folder
    std::unique_ptr<QSocketNotifier> notifier;
    int rootWd = -1;  // the watch on the folder itself
    bool signalled = false;
    bool failed = false;
    bool gone = false;          // the folder itself is no longer watched
    bool goneReported = false;  // and take() has said so
};

InotifyChangeNotifier::InotifyChangeNotifier() = default;

InotifyChangeNotifier::~InotifyChangeNotifier() {
    while (!open_.empty()) close(open_.begin()->first);
}

std::uint32_t InotifyChangeNotifier::inotifyMask(std::uint32_t filter) {
    std::uint32_t m = 0;
    if (filter & kFileName) m |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    if (filter & kLastWrite) m |= IN_MODIFY | IN_CLOSE_WRITE;
    if (filter & kAttributes) m |= IN_ATTRIB;
    return m;
}

void InotifyChangeNotifier::addWatches(Instance& in, const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    // New sub-folders must be seen to be watched, whatever the filter says.
    // The folder itself going away (deleted, moved, unmounted) is noticed too.
    const bool root = in.rootWd < 0;
    const std::uint32_t mask = in.mask | IN_ONLYDIR | IN_DONT_FOLLOW |
                               (in.subtree ? IN_CREATE | IN_MOVED_TO : 0) |
                               (root ? IN_DELETE_SELF | IN_MOVE_SELF : 0);
    const int wd = inotify_add_watch(in.fd, path.constData(), mask);
    if (wd < 0) return;
    if (root) in.rootWd = wd;
    in.watches[wd] = folder;
    if (!in.subtree) return;
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    while (it.hasNext()) addWatches(in, it.next());
}

int InotifyChangeNotifier::open(const QString& folder, bool subtree, std::uint32_t filter) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return -1;
    auto in = std::make_unique<Instance>();
    in->fd = fd;
    in->subtree = subtree;
    in->mask = inotifyMask(filter);
    addWatches(*in, folder);
    if (in->watches.empty()) {
        ::close(fd);
        return -1;
    }
    in->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    Instance* raw = in.get();
    QObject::connect(in->notifier.get(), &QSocketNotifier::activated, this, [this, raw] {
        drain(*raw);
        if (raw->signalled || raw->failed || (raw->gone && !raw->goneReported))
            if (wake_) wake_();
    });
    open_[fd] = std::move(in);
    return fd;
}

// Reads every queued event; the descriptor stays readable until it is drained,
// so this also keeps the socket notifier from firing again and again.
void InotifyChangeNotifier::drain(Instance& in) {
    alignas(inotify_event) char buf[8192];
    for (;;) {
        const ssize_t n = ::read(in.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) in.failed = true;
            return;
        }
        if (n == 0) return;
        for (char* p = buf; p < buf + n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(p);
            p += sizeof(inotify_event) + ev->len;
            if (ev->wd == in.rootWd && in.rootWd >= 0 &&
                (ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED))) {
                // A folder moved away keeps its watch, on its new path: drop it.
                if (ev->mask & IN_MOVE_SELF) inotify_rm_watch(in.fd, ev->wd);
                in.gone = true;
            }
            if (ev->mask & IN_IGNORED) {
                in.watches.erase(ev->wd);
                continue;
            }
            const bool isDir = ev->mask & IN_ISDIR;
            if (in.subtree && isDir && (ev->mask & (IN_CREATE | IN_MOVED_TO)) && ev->len) {
                auto w = in.watches.find(ev->wd);
                if (w != in.watches.end())
                    addWatches(in, w->second + QLatin1Char('/') + QFile::decodeName(ev->name));
            }
            // Only the kinds the filter asked for signal (sub-folder creation is
            // watched for its own sake).
            if ((ev->mask & in.mask) || (ev->mask & IN_Q_OVERFLOW)) in.signalled = true;
        }
    }
}

ChangeNotifier::Signals InotifyChangeNotifier::take() {
    Signals s;
    for (auto& [fd, in] : open_) {
        drain(*in);
        if (in->failed) s.failed = true;
        if (in->signalled) s.ready.push_back(fd);
        in->signalled = false;
        if (in->gone && !in->goneReported) {
            in->goneReported = true;
            s.gone.push_back(fd);
        }
    }
    return s;
}

void InotifyChangeNotifier::close(int handle) {
    auto it = open_.find(handle);
    if (it == open_.end()) return;
    it->second->notifier.reset();
    ::close(it->second->fd);
    open_.erase(it);
}

std::vector<int> InotifyChangeNotifier::openHandles() const {
    std::vector<int> h;
    for (const auto& kv : open_) h.push_back(kv.first);
    return h;
}

int RecordingChangeNotifier::open(const QString& folder, bool subtree, std::uint32_t filter) {
    if (failOpen.contains(folder)) {
        journal->calls
            << QStringLiteral("open %1 %2 %3 failed").arg(folder).arg(subtree).arg(filter);
        return -1;
    }
    const int h = next_++;
    journal->calls
        << QStringLiteral("open %1 %2 %3 -> %4").arg(folder).arg(subtree).arg(filter).arg(h);
    journal->openNow.insert(h);
    return h;
}

ChangeNotifier::Signals RecordingChangeNotifier::take() {
    Signals s;
    s.failed = std::exchange(failNext_, false);
    s.ready = std::exchange(pending_, {});
    s.gone = std::exchange(lost_, {});
    return s;
}

void RecordingChangeNotifier::close(int handle) {
    journal->calls << QStringLiteral("close %1").arg(handle);
    journal->openNow.erase(handle);
}

void RecordingChangeNotifier::signal(int handle) {
    if (std::find(pending_.begin(), pending_.end(), handle) == pending_.end())
        pending_.push_back(handle);
    if (wake_) wake_();
}

void RecordingChangeNotifier::lose(int handle) {
    journal->calls << QStringLiteral("lost %1").arg(handle);
    lost_.push_back(handle);
    if (wake_) wake_();
}

}  // namespace zelmora::platform
