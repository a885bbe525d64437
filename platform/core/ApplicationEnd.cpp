#include "platform/core/ApplicationEnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <vector>

namespace zelmora::platform {

namespace {

std::vector<std::function<void()>>& routines() {
    static std::vector<std::function<void()>> r;
    return r;
}

// Counts the deletions that a flush of the posted events performs.
class DeletionCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::DeferredDelete) ++deleted;
        return false;
    }
    int deleted = 0;
};

void deleteWhatIsScheduled() {
    DeletionCounter counter;
    QCoreApplication::instance()->installEventFilter(&counter);
    // An object deleted may schedule the deletion of others (a sound effect its
    // audio output): again until a pass deletes nothing.
    int before = -1;
    while (counter.deleted != before) {
        before = counter.deleted;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCoreApplication::instance()->removeEventFilter(&counter);
}

void applicationEnds() {
    // A copy: a routine may register another.
    const std::vector<std::function<void()>> all = routines();
    for (auto it = all.rbegin(); it != all.rend(); ++it) (*it)();
    deleteWhatIsScheduled();
}

// Every application object, a second one in the same process included, ends
// through the routines: Qt forgets its post routines once it has run them.
void applicationStarts() {
    qAddPostRoutine(applicationEnds);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(applicationStarts)

void atApplicationEnd(std::function<void()> letGo) {
    routines().push_back(std::move(letGo));
}

}  // namespace zelmora::platform
