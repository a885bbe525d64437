#include "display/AnalysisLink.h"

#include <QWidget>

#include "shell/Neighbours.h"
#include "shell/WindowRegistry.h"

namespace zelmora::display::analysis {

void close() {
    if (QWidget* w = windows().ifLoaded(Win::frmAnalyze)) frameOf(w)->close();
}

void showBehind(QWidget* front) {
    if (QWidget* w = windows().show(Win::frmAnalyze)) frameOf(w)->lower();
    if (front) frameOf(front)->raise();
}

void updateHistory() {
    if (auto* a = windows().ifLoadedAs<IAnalysisWindow>(Win::frmAnalyze)) a->updateHistory();
}

}  // namespace zelmora::display::analysis
