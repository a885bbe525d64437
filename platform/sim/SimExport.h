#pragma once

// The simulated sky is one shared library so that every simulator in the process
// (camera, focuser, cables) sees the same sky; only what is marked here is exported.
#define ZELMORA_SIM_API __attribute__((visibility("default")))
