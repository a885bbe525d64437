#pragma once

#include <QString>

// The one door to the shutter cable. Press and release go to the cable in use,
// decided on every call: the DSUSB box when enabled, else the serial port when
// enabled, else the parallel port. None of these raises: a failing step is
// skipped and the next one runs.
namespace zelmora::cables::DSLRControl {

// What the user is told while no cable is set up.
inline const QString kNoCableText =
    QStringLiteral("no shutter cable is set up: choose one in Port Setup");
// "" while the cable in use can be driven: the DSUSB box or the serial port
// chosen, or a parallel port selected; otherwise kNoCableText.
QString cableProblem();
// Whether the press closed the contact (drove a line, or found it held).
bool PressShutter();
void ReleaseShutter();
// ReleaseShutter without a pass of the event loop between or after its
// writes, and without a message box: for the ways out (a Stop, a window
// closing, a destructor, shutdown), where nothing may run under the caller.
// A failure is traced only.
void ReleaseShutterAtOnce();
// All eight data lines low.
void ClearDataPort();
// Start-up: the chosen cable ready and at rest.
void InitShutterPort();
void LoadParallelSetup();
void SavePortSetup();
bool ParallelPress();
// atOnce: no pass of the event loop between the writes or after them.
void ParallelRelease(bool atOnce = false);

}  // namespace zelmora::cables::DSLRControl
