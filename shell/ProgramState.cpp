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
    for (auto& h : hooks()) h();
}

void addResetHook(std::function<void()> hook) { hooks().push_back(std::move(hook)); }

}  // namespace zelmora
