#include "cables/CablesWindows.h"

#include "cables/CableShutter.h"
#include "cables/frmNewPortAddress.h"
#include "cables/frmSelectPort.h"
#include "shell/WindowRegistry.h"

namespace zelmora::cables {

void registerWindows() {
    // Both set-up windows stand on their own, centred on the screen.
    windows().registerWindow(
        Win::frmSelectPort, [] { return new frmSelectPort; }, false);
    windows().registerWindow(
        frmNewPortAddress::kName, [] { return new frmNewPortAddress; }, false);
    installCables();
}

}  // namespace zelmora::cables
