#include "sky/ScopeDriver.h"

#include "shell/ProgramState.h"

namespace zelmora::sky {

std::shared_ptr<drivers::Telescope>& scope() {
    static std::shared_ptr<drivers::Telescope> driver;
    static const bool hooked = [] {
        addResetHook([] { driver.reset(); });
        return true;
    }();
    (void)hooked;
    return driver;
}

}  // namespace zelmora::sky
