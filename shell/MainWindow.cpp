#include "shell/MainWindow.h"

namespace zelmora {

namespace {
IMainWindow*& slot() {
    static IMainWindow* w = nullptr;
    return w;
}
}  // namespace

IMainWindow* mainWindow() {
    return slot();
}

void setMainWindow(IMainWindow* window) {
    slot() = window;
}

}  // namespace zelmora
