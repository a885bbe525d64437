#include "display/AnalysisLink.h"

#include <QWidget>

#include "shell/Neighbours.h"
#include "shell/WindowRegistry.h"

namespace zelmora::display::analysis {

void close() {
    if (QWidget* w = windows().ifLoaded(Win::frmAnalyze)) frameOf(w)->close();
}

void showBehind(QWidget* front) {
    QWidget* w = windows().show(Win::frmAnalyze);
    bringForward(front);
    // Just under the frame, not under every window: the camera window would
    // otherwise cover the figures while frames keep coming.
    stackBehind(w, front);
}

void updateHistory() {
    if (auto* a = windows().ifLoadedAs<IAnalysisWindow>(Win::frmAnalyze)) a->updateHistory();
}

void updateHistoryOnStarClick() {
    if (auto* a = windows().ifLoadedAs<IAnalysisWindow>(Win::frmAnalyze))
        a->updateHistoryOnStarClick();
}

}  // namespace zelmora::display::analysis
