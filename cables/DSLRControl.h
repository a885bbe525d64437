#pragma once

// The one door to the shutter cable. Press and release go to the cable in use,
// decided on every call: the DSUSB box when enabled, else the serial port when
// enabled, else the parallel port. None of these reports a failure: a failing
// step is skipped and the next one runs.
namespace zelmora::cables::DSLRControl {

void PressShutter();
void ReleaseShutter();
// All eight data lines low.
void ClearDataPort();
// Start-up: the chosen cable ready and at rest.
void InitShutterPort();
void LoadParallelSetup();
void SavePortSetup();
void ParallelPress();
void ParallelRelease();

}  // namespace zelmora::cables::DSLRControl
