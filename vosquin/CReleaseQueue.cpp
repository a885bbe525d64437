#include "vosquin/CReleaseQueue.h"

namespace zelmora::vosquin {

std::string withSeparator(std::string folder) {
    if (folder.empty()) return folder;
    if (folder.back() == '\\') folder.back() = '/';
    if (folder.back() != '/') folder += '/';
    return folder;
}

bool CReleaseQueue::Pop(ReleaseRecord& out) {
    std::lock_guard lock(mu_);
    if (items_.empty()) return false;
    out = std::move(items_.front());
    items_.pop_front();
    return true;
}

bool CReleaseQueue::empty() const {
    std::lock_guard lock(mu_);
    return items_.empty();
}

std::size_t CReleaseQueue::size() const {
    std::lock_guard lock(mu_);
    return items_.size();
}

void CReleaseQueue::clear() {
    std::lock_guard lock(mu_);
    items_.clear();
}

void CReleaseQueue::setSaveFolder(std::string folder) {
    std::lock_guard lock(mu_);
    saveFolder_ = std::move(folder);
}

void CReleaseQueue::setAccepting(bool on) {
    std::lock_guard lock(mu_);
    accepting_ = on;
}

bool CReleaseQueue::pushImageReady(const RCImageReadyBlock& block, RCHandle source,
                                   const std::string& fallbackFolder) {
    ReleaseRecord r;
    r.block = block;
    r.source = source;
    std::lock_guard lock(mu_);
    if (!accepting_) return false;
    r.folder = withSeparator(saveFolder_.empty() ? fallbackFolder : saveFolder_);
    items_.push_back(std::move(r));
    return true;
}

}  // namespace zelmora::vosquin
