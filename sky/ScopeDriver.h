#pragma once

#include <memory>

#include "platform/drivers/Telescope.h"

namespace zelmora::sky {

// The program's telescope driver object: made by the main window's telescope
// set-up, linked and released by its link commands, and driven by the
// telescope control window. Empty while no driver is chosen. Emptied when the
// program state is reset.
std::shared_ptr<drivers::Telescope>& scope();

}  // namespace zelmora::sky
