#include "shell/ProgramState.h"

#include <vector>

#include "platform/core/ApplicationEnd.h"

namespace zelmora {

namespace {
std::vector<std::function<void()>>& hooks() {
    static std::vector<std::function<void()>> h;
    // The program-wide objects (the camera object, the cable set-up) are Qt
    // objects: they go with the application, the program's or a test's.
    static const bool letGo = [] {
        platform::atApplicationEnd(resetProgramState);
        return true;
    }();
    (void)letGo;
    return h;
}
}  // namespace

ProgramState& state() {
    static ProgramState s;
    return s;
}

void resetProgramState() {
    state() = ProgramState{};
    // By index: a hook may be the first use of a subsystem that registers its
    // own hook (as the camera object does), which grows the list.
    for (std::size_t i = 0; i < hooks().size(); ++i) {
        const std::function<void()> hook = hooks()[i];
        hook();
    }
}

void addResetHook(std::function<void()> hook) {
    hooks().push_back(std::move(hook));
}

}  // namespace zelmora
