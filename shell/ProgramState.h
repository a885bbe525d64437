#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace zelmora {

// The program-wide flags and values that the windows and modules share.
// One instance, owned by the shell; tests reset it before each test.
// Booleans here are plain bool: the stored texts "True"/"False" are made by Conv.
struct ProgramState {
    // Tracing and message boxes.
    bool bTraceOn = false;
    QString sCurrentProc;
    bool bMsgBoxShowing = false;  // a modal box is up, or the mouse is over the toolbar

    // Colours and sound.
    std::uint32_t lForeColor = 192;  // 0x00BBGGRR
    bool bNightVision = false;       // the program's windows in red (NightColours)
    bool bMute = false;

    // Star measurement.
    std::int32_t lMeasureChannel = 0;  // 0 RGB, 1 R, 2 G, 3 B
    bool bAnalysisPaused = false;
    bool bNewStar = false;
    bool bStarChosen = false;
    std::int32_t lStarX = 0;
    std::int32_t lStarY = 0;
    std::int32_t lCursorOffsetX = 0;
    std::int32_t lCursorOffsetY = 0;

    // Camera.
    bool bReleaseInProgress = false;
    bool bWaitingForDownload = false;
    bool b300D = false, bD60 = false, b20D = false, b350D = false, b20DA = false, b1D = false;
    bool bFocusMode = false;
    bool bFolderMonitoring = false;
    std::int32_t iSelectedCamera = 0;
    bool bSimulationMode = false;
    bool bMonitorMode = false;            // pictures come from another program's folder
    std::int32_t lRemoteAppTaskId = 999;  // the remote application's process; 999 = none
    QString sSimulatedFile;               // the last simulated frame's file name
    bool bConnecting = false;             // a connect is inside the camera control's Connect
    QString sCameraName;                  // the chosen camera's name, for the trace

    // Display.
    bool bZoomActive = false;
    bool bFrameImageOpen = false;
    bool vFullScreenOpen = false;

    // Capture and sequences.
    std::int32_t iSequenceTotal = 0;
    std::int32_t iSequenceFrame = 0;
    bool bSequenceRunning = false;
    bool bLastSequenceStep = false;

    // Cables.
    bool bComPortOpen = false;
    bool bSerialEnabled = false;
    bool bDSUSBEnabled = false;
    bool bDSUSBConnected = false;

    // Telescope.
    QString sScopeID;
    bool bScopeLinked = false;
    QString sCatalogueFile;

    // Sounds.
    QString sAlarmWavFile;
};

ProgramState& state();

// Puts the program state back to its start values and runs every reset hook
// that a subsystem registered for its own program-wide objects. Runs again
// when the application object ends.
void resetProgramState();
void addResetHook(std::function<void()> hook);

}  // namespace zelmora
