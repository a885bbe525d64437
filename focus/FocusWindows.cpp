#include "focus/FocusWindows.h"

#include "focus/frmAnalyze.h"
#include "focus/frmAutoFocusRslts.h"
#include "focus/frmAutofocus.h"
#include "shell/WindowRegistry.h"

namespace zelmora::focus {

void registerWindows() {
    windows().registerWindow(Win::frmAnalyze, [] { return new frmAnalyze; });
    windows().registerWindow(Win::frmAutofocus, [] { return new frmAutofocus; });
    windows().registerWindow(Win::frmAutoFocusRslts, [] { return new frmAutoFocusRslts; });
}

}  // namespace zelmora::focus
