#pragma once

#include <deque>
#include <mutex>
#include <string>

#include "platform/rcsdk/RemoteCapture.h"

namespace zelmora::vosquin {

// One image the camera reported ready: the library's block (handed back unchanged
// for the download), the save folder as it was when the image was reported (always
// ending in a separator) and the source it came from.
struct ReleaseRecord {
    RCImageReadyBlock block{};
    std::string folder;
    RCHandle source = 0;
};

// First in, first out, shared between the camera library's thread (which pushes)
// and the GUI thread (which pops). It also keeps the copy of the save folder the
// library thread reads, so that thread never touches a widget.
class CReleaseQueue {
public:
    bool Pop(ReleaseRecord& out);  // false when empty
    bool empty() const;
    std::size_t size() const;
    void clear();
    // A closed queue drops what is pushed (the dialog is going away).
    void setAccepting(bool on);

    void setSaveFolder(std::string folder);

    // Builds a record with the save folder as it is now (or fallbackFolder when it
    // is empty; a missing final separator is added) and pushes it, in one step.
    // False when the queue is closed.
    bool pushImageReady(const RCImageReadyBlock& block, RCHandle source,
                        const std::string& fallbackFolder);

private:
    mutable std::mutex mu_;
    std::deque<ReleaseRecord> items_;
    std::string saveFolder_;
    bool accepting_ = true;
};

// A folder as a prefix for file names: "/" added when it does not end in one. A
// final backslash (a folder written with backslashes) counts as the separator.
std::string withSeparator(std::string folder);

}  // namespace zelmora::vosquin
