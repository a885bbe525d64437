#include "focus/FocusWindows.h"

#include "focus/frmAnalyze.h"
#include "shell/WindowRegistry.h"

namespace zelmora::focus {

void registerWindows() {
    windows().registerWindow(Win::frmAnalyze, [] { return new frmAnalyze; });
}

}  // namespace zelmora::focus
