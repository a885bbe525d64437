#include "shell/ProgramState.h"

#include <vector>

namespace zelmora {

namespace {
std::vector<std::function<void()>>& hooks() {
    static std::vector<std::function<void()>> h;
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
